// Finding what the writer looks for in a chapter's text and putting the
// replacement in its place: plain text or a regular expression, Latin letters
// in either case, full-width and half-width forms as one. Whatever is folded
// to compare it, every position is one of the text as given (the text as the
// novel file keeps it, line breaks as CR LF): folding changes one UTF-16 unit
// into one, so a hit found in the folded text lies at the same place in the
// original, surrogate pairs and line breaks included.
#pragma once

#include <QHash>
#include <QRegularExpression>
#include <QString>
#include <QVector>
#include <atomic>
#include <chrono>

struct TextQuery
{
    QString pattern;
    // Off: A and a are one, and Ａ and ａ; letters of other scripts are
    // always compared as written.
    bool caseSensitive = false;
    // On: a full-width form and its half-width one are one (，and ,  ；and ;
    // Ａ and A, the ideographic space and the space).
    bool widthInsensitive = false;
    bool regex = false;

    bool operator==(const TextQuery &o) const
    {
        return pattern == o.pattern && caseSensitive == o.caseSensitive && widthInsensitive == o.widthInsensitive &&
               regex == o.regex;
    }
    bool operator!=(const TextQuery &o) const { return !(*this == o); }
};

// A stretch of a text: where a hit starts and how long it is, in UTF-16 units.
struct TextHit
{
    int start = 0;
    int length = 0;
    int end() const { return start + length; }
    bool operator==(const TextHit &o) const { return start == o.start && length == o.length; }
};

// What a search is allowed: a flag that calls it off, and a time it must be
// done by.
struct SearchBound
{
    const std::atomic_bool *cancel = nullptr;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    bool overdue() const { return std::chrono::steady_clock::now() >= deadline; }
};

class TextSearch
{
public:
    enum class Reason {
        None,
        EmptyPattern,   // nothing to look for
        BadPattern,     // not a regular expression: detail says why, position where
        BadReplacement, // the replacement names a group the expression lacks
        TooComplex,     // the expression gave up on a text (too much backtracking)
        Cancelled,      // the bound's flag was set
        TimedOut,       // the bound's deadline passed
    };

    struct Result
    {
        Reason reason = Reason::None;
        // 1-based, in characters, of the pattern or the replacement.
        int position = 0;
        QString detail;
        bool ok() const { return reason == Reason::None; }
        explicit operator bool() const { return ok(); }
    };

    // Takes the query and the replacement; EmptyPattern, BadPattern or
    // BadReplacement when they cannot be used. The replacement is taken as
    // written, except with a regular expression, where $0..$99, ${n} and
    // ${name}, \0..\9 name groups, $$ is $, \\ is \, \t a tab and \n a line
    // break (CR LF, as the file keeps one).
    Result prepare(const TextQuery &query, const QString &replacement = QString());
    const TextQuery &query() const { return m_query; }
    bool isPrepared() const { return m_prepared; }

    // Appends every hit in text to hits, in order, none overlapping and none
    // empty. A regular expression stops with TimedOut, Cancelled or
    // TooComplex; what it found before is kept.
    Result findAll(QStringView text, QVector<TextHit> *hits, const SearchBound &bound = {}) const;

    // text with each of hits (found in text, in order) replaced.
    QString replaced(QStringView text, const QVector<TextHit> &hits) const;
    // What replaces one hit found in text.
    QString replacementFor(QStringView text, const TextHit &hit) const;

    // The text as the search compares it: each unit folded as the query
    // asks, a lone surrogate made U+FFFD; as long as text.
    QString comparable(QStringView text) const;

private:
    struct Part
    {
        QString literal;
        int group = -1;
    };

    Result parseReplacement(const QString &replacement);
    // The replacement of hit, its groups taken from text; folded is text
    // as the expression ran over it.
    QString expand(QStringView text, QStringView folded, const TextHit &hit) const;
    bool folds() const { return !m_query.caseSensitive || m_query.widthInsensitive; }
    // The text the regular expression runs over: text itself where nothing
    // is folded and it is valid UTF-16, else its comparable form in buffer.
    QStringView subject(QStringView text, QString &buffer) const;

    TextQuery m_query;
    bool m_prepared = false;
    // Plain search: the folded needle, and whether the text needs folding
    // at all to find it.
    QString m_needle;
    bool m_needleFolds = false;
    QRegularExpression m_re;
    QVector<Part> m_replacement;
    bool m_replacementUsesGroups = false;
};

namespace textfold {

// One UTF-16 unit as a search compares it: full-width forms as their
// half-width ones when width, Latin capitals (A-Z, Ａ-Ｚ) as small letters
// when latinCase.
char16_t unit(char16_t c, bool width, bool latinCase);

// The pattern as it must run over text folded the same way: every character
// that folds written as the one it folds to, in a form the expression takes
// as that character alone, escapes, group names and options kept.
QString pattern(const QString &pattern, bool width, bool latinCase);

} // namespace textfold

// What to tell the writer about a query that could not be used, or a search
// that was stopped; empty for a search called off by a newer one.
QString textSearchProblem(const TextSearch::Result &result);

// A cheap fingerprint of a text, to tell whether a chapter still holds the
// text a search saw.
inline size_t textFingerprint(QStringView text)
{
    return qHash(text, size_t(0x9e3779b97f4a7c15ULL)) ^ size_t(text.size());
}
