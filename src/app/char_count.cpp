#include "app/char_count.h"

namespace {

// What one code point adds.
CharCounts classify(char32_t c)
{
    // Skin tones shade the emoji before them.
    if (c >= 0x1F3FB && c <= 0x1F3FF)
        return {};
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
        return {};
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
        return {1, 0};
    default:
        return {1, 1};
    }
}

} // namespace

QString countRuleName(CountRule rule)
{
    return rule == CountRule::WithoutPunctuation ? QStringLiteral("不含标点") : QStringLiteral("含标点");
}

CountRule countRuleNamed(const QString &name)
{
    return name == countRuleName(CountRule::WithoutPunctuation) ? CountRule::WithoutPunctuation
                                                                : CountRule::WithPunctuation;
}

CharCounts countChars(QStringView text)
{
    CharCounts n;
    const QChar *p = text.data();
    const QChar *const end = p + text.size();
    while (p < end) {
        const char16_t u = p->unicode();
        // Most of a chapter: CJK ideographs, then letters and digits.
        if (u >= 0x4E00 && u <= 0x9FFF) {
            ++n.all;
            ++n.bare;
            ++p;
            continue;
        }
        if (u < 0x80) {
            if (u > 0x20 && u != 0x7F) {
                ++n.all;
                if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '$' ||
                    u == '+' || u == '<' || u == '=' || u == '>' || u == '^' || u == '`' || u == '|' || u == '~')
                    ++n.bare;
            }
            ++p;
            continue;
        }
        if (QChar::isHighSurrogate(u)) {
            // A pair cut by a change counts on its first half, so that its
            // two pieces still add up to one character.
            if (p + 1 < end && QChar::isLowSurrogate(p[1].unicode())) {
                n += classify(QChar::surrogateToUcs4(u, p[1].unicode()));
                p += 2;
            } else {
                ++n.all;
                ++n.bare;
                ++p;
            }
            continue;
        }
        if (!QChar::isLowSurrogate(u))
            n += classify(u);
        ++p;
    }
    return n;
}
