// 正文字数: how many characters a text holds by the writer's rule. Both rules
// are counted in one pass and kept side by side, so that choosing the other
// rule shows every figure already kept without counting anything again.
#pragma once

#include <QString>
#include <QStringView>

// The two rules the writer chooses between.
enum class CountRule : int {
    WithPunctuation = 0,    // 含标点: every character that is not whitespace
    WithoutPunctuation = 1, // 不含标点: the same, punctuation left out
};

// "含标点" or "不含标点".
QString countRuleName(CountRule rule);
// The rule of that name; WithPunctuation for any other text.
CountRule countRuleNamed(const QString &name);

// A count by both rules; also a signed change of one.
struct CharCounts
{
    qint64 all = 0;  // 含标点
    qint64 bare = 0; // 不含标点

    qint64 by(CountRule rule) const { return rule == CountRule::WithoutPunctuation ? bare : all; }
    CharCounts &operator+=(const CharCounts &o)
    {
        all += o.all;
        bare += o.bare;
        return *this;
    }
    CharCounts &operator-=(const CharCounts &o)
    {
        all -= o.all;
        bare -= o.bare;
        return *this;
    }
    friend CharCounts operator+(CharCounts a, const CharCounts &b) { return a += b; }
    friend CharCounts operator-(CharCounts a, const CharCounts &b) { return a -= b; }
    friend bool operator==(const CharCounts &a, const CharCounts &b) { return a.all == b.all && a.bare == b.bare; }
    friend bool operator!=(const CharCounts &a, const CharCounts &b) { return !(a == b); }
    bool isZero() const { return all == 0 && bare == 0; }
};

// Counts text. A character is a code point: a surrogate pair counts once.
// Whitespace (spaces, U+3000, tabs, line breaks) never counts, nor do marks
// that combine with the character before them, emoji skin tones, and the
// invisible format and control characters (the joiner between emoji among
// them). Punctuation is Unicode's: the P categories.
//
// Counting is additive: the count of a text is the sum of the counts of any
// pieces it is cut into, so that a chapter's count can be kept up to date
// from the stretches that change. A surrogate pair cut in two counts on its
// first half, which is exact for every character that counts (the editor
// never cuts one; only a skin tone cut in two would count once).
CharCounts countChars(QStringView text);
