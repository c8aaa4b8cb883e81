#include "app/text_search.h"

namespace {

// A regular expression runs over text as the novel keeps it: lines end in
// CR LF, and "$" or "." must know that a CR belongs to the line break.
const QString kLineBreaks = QStringLiteral("(*ANYCRLF)");

constexpr QRegularExpression::PatternOptions kPatternOptions =
    QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::MultilineOption;

// 1-based place, in characters, of the unit at index in text.
int characterPosition(QStringView text, qsizetype index)
{
    index = qBound<qsizetype>(0, index, text.size());
    int place = 1;
    for (qsizetype i = 0; i < index; ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++place;
    }
    return place;
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Whether some other unit folds to c, so that finding c takes a folded text.
bool isFoldImage(char16_t c, bool width, bool latinCase)
{
    if (latinCase && ((c >= u'a' && c <= u'z') || (c >= 0xFF41 && c <= 0xFF5A)))
        return true;
    if (!width)
        return false;
    if (c >= 0x20 && c <= 0x7E)
        return true;
    switch (c) {
    case 0xA2:
    case 0xA3:
    case 0xA5:
    case 0xA6:
    case 0xAC:
    case 0xAF:
    case 0x20A9:
    case 0x3001:
    case 0x3002:
    case 0x300C:
    case 0x300D:
        return true;
    default:
        return false;
    }
}

QString hexLiteral(char16_t c)
{
    return QStringLiteral("\\x{%1}").arg(uint(c), 0, 16);
}

} // namespace

namespace textfold {

char16_t unit(char16_t c, bool width, bool latinCase)
{
    if (width) {
        if (c >= 0xFF01 && c <= 0xFF5E) {
            c = char16_t(c - 0xFF01 + 0x21);
        } else {
            switch (c) {
            case 0x3000:
                c = 0x20;
                break; // ideographic space
            case 0xFFE0:
                c = 0xA2;
                break; // ￠
            case 0xFFE1:
                c = 0xA3;
                break; // ￡
            case 0xFFE2:
                c = 0xAC;
                break; // ￢
            case 0xFFE3:
                c = 0xAF;
                break; // ￣
            case 0xFFE4:
                c = 0xA6;
                break; // ￤
            case 0xFFE5:
                c = 0xA5;
                break; // ￥
            case 0xFFE6:
                c = 0x20A9;
                break; // ￦
            case 0xFF61:
                c = 0x3002;
                break; // ｡ is 。
            case 0xFF62:
                c = 0x300C;
                break; // ｢ is 「
            case 0xFF63:
                c = 0x300D;
                break; // ｣ is 」
            case 0xFF64:
                c = 0x3001;
                break; // ､ is 、
            default:
                break;
            }
        }
    }
    if (latinCase) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xFF21 && c <= 0xFF3A))
            c = char16_t(c + 0x20);
    }
    return c;
}

QString pattern(const QString &p, bool width, bool latinCase)
{
    if (!width && !latinCase)
        return p;
    const auto fold = [&](QChar c) { return unit(c.unicode(), width, latinCase); };
    // A character that folds is written as what it folds to: a Latin letter
    // as itself, anything else as a code, so that a full-width "（" stays a
    // character to find and never opens a group.
    const auto folded = [&](QChar c) {
        const char16_t f = fold(c);
        if (f == c.unicode())
            return QString(c);
        return isAsciiLetter(f) ? QString(QChar(f)) : hexLiteral(f);
    };
    const qsizetype n = p.size();
    QString out;
    out.reserve(n + 16);
    qsizetype i = 0;
    // Copies from i through the next close, or to the end.
    const auto copyThrough = [&](QChar close, bool lowerLetters) {
        const qsizetype end = p.indexOf(close, i);
        const qsizetype stop = end < 0 ? n : end + 1;
        for (; i < stop; ++i) {
            const QChar c = p.at(i);
            out += lowerLetters && c >= u'A' && c <= u'Z' ? QChar(c.unicode() + 0x20) : c;
        }
    };
    bool quoted = false;
    while (i < n) {
        const QChar c = p.at(i);
        if (quoted) {
            if (c == u'\\' && i + 1 < n && p.at(i + 1) == u'E') {
                out += QStringLiteral("\\E");
                i += 2;
                quoted = false;
            } else {
                out += QChar(fold(c)); // everything is literal between \Q and \E
                ++i;
            }
            continue;
        }
        if (c == u'\\') {
            if (i + 1 >= n) {
                out += c;
                ++i;
                continue;
            }
            const QChar d = p.at(i + 1);
            if (d == u'Q') {
                quoted = true;
                out += QStringLiteral("\\Q");
                i += 2;
                continue;
            }
            if (fold(d) != d.unicode() && !isAsciiLetter(d.unicode())) {
                // An escaped full-width character is that character.
                out += hexLiteral(fold(d));
                i += 2;
                continue;
            }
            // An escape keeps its letter: \D is no \d.
            out += c;
            out += d;
            i += 2;
            if (i < n && QStringLiteral("pPxNogk").contains(d) &&
                (p.at(i) == u'{' || p.at(i) == u'<' || p.at(i) == u'\'')) {
                const QChar open = p.at(i);
                const QChar close = open == u'{' ? u'}' : open == u'<' ? u'>' : u'\'';
                // Group names are folded wherever they stand, so that a
                // reference still finds its group.
                copyThrough(close, latinCase && (d == u'g' || d == u'k'));
            } else if (d == u'c' && i < n) {
                out += p.at(i++);
            }
            continue;
        }
        if (c == u'(' && i + 1 < n && p.at(i + 1) == u'*') {
            copyThrough(u')', false); // (*ANYCRLF), (*UCP)...
            continue;
        }
        if (c == u'(' && i + 2 < n && p.at(i + 1) == u'?') {
            const QChar e = p.at(i + 2);
            if (e == u'#') {
                copyThrough(u')', false);
                continue;
            }
            if (e == u'P') {
                out += QStringLiteral("(?P");
                i += 3;
                continue;
            }
            if ((e.unicode() < 128 && e.isLetter()) || e == u'-' || e == u'^') {
                // Options such as (?U) or (?i), and callouts, as written.
                qsizetype j = i + 2;
                while (j < n && p.at(j) != u':' && p.at(j) != u')')
                    ++j;
                out += QStringView(p).mid(i, j - i);
                i = j;
                continue;
            }
        }
        out += folded(c);
        ++i;
    }
    return out;
}

} // namespace textfold

TextSearch::Result TextSearch::prepare(const TextQuery &query, const QString &replacement)
{
    m_query = query;
    m_prepared = false;
    m_re = QRegularExpression();
    m_needle.clear();
    if (query.pattern.isEmpty())
        return {Reason::EmptyPattern, 0, {}};
    if (query.regex) {
        // The writer's own pattern says where it is wrong; the folded one
        // is the same expression written otherwise.
        const QRegularExpression asWritten(kLineBreaks + query.pattern, kPatternOptions);
        if (!asWritten.isValid()) {
            return {Reason::BadPattern,
                    characterPosition(query.pattern, asWritten.patternErrorOffset() - kLineBreaks.size()),
                    asWritten.errorString()};
        }
        m_re = QRegularExpression(kLineBreaks +
                                      textfold::pattern(query.pattern, query.widthInsensitive, !query.caseSensitive),
                                  kPatternOptions);
        if (!m_re.isValid())
            return {Reason::BadPattern, 1, m_re.errorString()};
        m_re.optimize();
        if (Result r = parseReplacement(replacement); !r)
            return r;
    } else {
        m_needle = comparable(query.pattern);
        m_needleFolds = false;
        if (folds()) {
            for (QChar c : std::as_const(m_needle))
                m_needleFolds = m_needleFolds || isFoldImage(c.unicode(), query.widthInsensitive, !query.caseSensitive);
        }
        if (!m_needleFolds)
            m_needle = query.pattern;
        m_replacement = {Part{replacement, -1}};
        m_replacementUsesGroups = false;
    }
    m_prepared = true;
    return {};
}

TextSearch::Result TextSearch::parseReplacement(const QString &r)
{
    m_replacement.clear();
    m_replacementUsesGroups = false;
    const int groups = m_re.captureCount();
    QString literal;
    const auto group = [&](int number) {
        m_replacement.append(Part{literal, -1});
        literal.clear();
        m_replacement.append(Part{{}, number});
        m_replacementUsesGroups = true;
    };
    const auto bad = [&](qsizetype at, const QString &why) {
        return Result{Reason::BadReplacement, characterPosition(r, at), why};
    };
    const qsizetype n = r.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = r.at(i);
        const QChar d = i + 1 < n ? r.at(i + 1) : QChar();
        if (c == u'\\' && i + 1 < n) {
            ++i;
            if (d.isDigit() && d.unicode() < 128) {
                if (d.digitValue() > groups)
                    return bad(i - 1, QStringLiteral("没有第 %1 个分组").arg(d.digitValue()));
                group(d.digitValue());
            } else if (d == u'n') {
                literal += QStringLiteral("\r\n");
            } else if (d == u't') {
                literal += QLatin1Char('\t');
            } else {
                literal += d;
            }
        } else if (c == u'$' && d == u'$') {
            literal += c;
            ++i;
        } else if (c == u'$' && d.isDigit() && d.unicode() < 128) {
            int number = d.digitValue();
            qsizetype used = 1;
            if (i + 2 < n && r.at(i + 2).isDigit() && r.at(i + 2).unicode() < 128 &&
                number * 10 + r.at(i + 2).digitValue() <= groups) {
                number = number * 10 + r.at(i + 2).digitValue();
                used = 2;
            }
            if (number > groups)
                return bad(i, QStringLiteral("没有第 %1 个分组").arg(number));
            group(number);
            i += used;
        } else if (c == u'$' && d == u'{') {
            const qsizetype close = r.indexOf(u'}', i + 2);
            if (close < 0)
                return bad(i, QStringLiteral("缺少“}”"));
            const QString name = r.mid(i + 2, close - i - 2);
            bool isNumber = false;
            const int number = name.toInt(&isNumber);
            if (isNumber) {
                if (number < 0 || number > groups)
                    return bad(i, QStringLiteral("没有第 %1 个分组").arg(number));
                group(number);
            } else {
                // Names are folded with the expression.
                const int index =
                    int(m_re.namedCaptureGroups().indexOf(textfold::pattern(name, false, !m_query.caseSensitive)));
                if (index < 0)
                    return bad(i, QStringLiteral("没有名为“%1”的分组").arg(name));
                group(index);
            }
            i = close;
        } else {
            literal += c;
        }
    }
    m_replacement.append(Part{literal, -1});
    return {};
}

QString TextSearch::comparable(QStringView text) const
{
    const bool width = m_query.widthInsensitive;
    const bool latinCase = !m_query.caseSensitive;
    QString out(text.size(), Qt::Uninitialized);
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    const char16_t *from = reinterpret_cast<const char16_t *>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = from[i];
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(from[i + 1])) {
            to[i] = c;
            to[i + 1] = from[i + 1];
            ++i;
        } else if (QChar::isSurrogate(c)) {
            to[i] = QChar::ReplacementCharacter;
        } else {
            to[i] = textfold::unit(c, width, latinCase);
        }
    }
    return out;
}

QStringView TextSearch::subject(QStringView text, QString &buffer) const
{
    if (!folds() && text.isValidUtf16())
        return text;
    buffer = comparable(text);
    return buffer;
}

TextSearch::Result TextSearch::findAll(QStringView text, QVector<TextHit> *hits, const SearchBound &bound) const
{
    if (!m_prepared)
        return {Reason::EmptyPattern, 0, {}};
    if (!m_query.regex) {
        QString buffer;
        QStringView haystack = text;
        if (m_needleFolds) {
            buffer = comparable(text);
            haystack = buffer;
        }
        const qsizetype length = m_needle.size();
        for (qsizetype at = haystack.indexOf(m_needle); at >= 0; at = haystack.indexOf(m_needle, at + length))
            hits->append(TextHit{int(at), int(length)});
        return {};
    }
    QString buffer;
    const QStringView s = subject(text, buffer);
    qsizetype offset = 0;
    while (offset <= s.size()) {
        if (bound.cancelled())
            return {Reason::Cancelled, 0, {}};
        if (bound.overdue())
            return {Reason::TimedOut, 0, {}};
        const QRegularExpressionMatch m = m_re.match(s, offset, QRegularExpression::NormalMatch,
                                                     QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!m.isValid())
            return {Reason::TooComplex, 0, {}};
        if (!m.hasMatch())
            break;
        const qsizetype start = m.capturedStart(0);
        const qsizetype end = m.capturedEnd(0);
        if (end > start) {
            hits->append(TextHit{int(start), int(end - start)});
            offset = end;
            continue;
        }
        // An empty match is no hit: look again one character on.
        offset = start + 1;
        if (offset < s.size() && s.at(offset).isLowSurrogate())
            ++offset;
    }
    return {};
}

QString TextSearch::expand(QStringView text, QStringView folded, const TextHit &hit) const
{
    QString out;
    if (!m_replacementUsesGroups) {
        for (const Part &part : m_replacement)
            out += part.literal;
        return out;
    }
    const QRegularExpressionMatch m = m_re.match(folded, hit.start, QRegularExpression::NormalMatch,
                                                 QRegularExpression::AnchorAtOffsetMatchOption |
                                                     QRegularExpression::DontCheckSubjectStringMatchOption);
    for (const Part &part : m_replacement) {
        out += part.literal;
        // A group is taken from the text as written, not as it was folded.
        if (part.group >= 0 && m.hasMatch() && m.capturedStart(part.group) >= 0)
            out += text.mid(m.capturedStart(part.group), m.capturedLength(part.group));
    }
    return out;
}

QString TextSearch::replacementFor(QStringView text, const TextHit &hit) const
{
    QString buffer;
    return expand(text, m_replacementUsesGroups ? subject(text, buffer) : text, hit);
}

QString TextSearch::replaced(QStringView text, const QVector<TextHit> &hits) const
{
    QString out;
    out.reserve(text.size());
    QString buffer;
    const QStringView folded = m_replacementUsesGroups ? subject(text, buffer) : text;
    const QString fixed = m_replacementUsesGroups ? QString() : expand(text, text, TextHit{});
    qsizetype from = 0;
    for (const TextHit &hit : hits) {
        out += text.mid(from, hit.start - from);
        out += m_replacementUsesGroups ? expand(text, folded, hit) : fixed;
        from = hit.end();
    }
    out += text.mid(from);
    return out;
}

QString textSearchProblem(const TextSearch::Result &r)
{
    switch (r.reason) {
    case TextSearch::Reason::None:
    case TextSearch::Reason::Cancelled:
        return {};
    case TextSearch::Reason::EmptyPattern:
        return QStringLiteral("请输入查找内容！");
    case TextSearch::Reason::BadPattern:
        return QStringLiteral("正则表达式有误（第 %1 个字符处）：%2").arg(r.position).arg(r.detail);
    case TextSearch::Reason::BadReplacement:
        return QStringLiteral("“替换为”有误（第 %1 个字符处）：%2").arg(r.position).arg(r.detail);
    case TextSearch::Reason::TooComplex:
        return QStringLiteral("正则表达式过于复杂，查找已停止。请把它写得更具体些。");
    case TextSearch::Reason::TimedOut:
        return QStringLiteral("查找用时过长，已停止。请把正则表达式写得更具体些。");
    }
    return {};
}
