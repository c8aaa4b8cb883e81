#include "store/ansi_codec.h"

#include "store/platform.h"

namespace ansi {

namespace {

constexpr QChar kReplacement(0xFFFD);

bool isLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

bool isTrail(unsigned char c)
{
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Characters that show nothing (zero-width spaces and joiners, direction
// marks, variation selectors, the byte-order mark…) and that GBK lacks: left
// out rather than shown as "?", as the Linux build has always done.
bool isInvisibleAndNotGbk(char16_t c)
{
    return c == 0x00AD || c == 0x034F || c == 0x061C || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 ||
           (c >= 0xFFF0 && c <= 0xFFF8);
}

} // namespace

QString decode(const QByteArray &bytes)
{
    // What is a character and what is not is decided here, the same on every
    // system; the system only maps whole characters. A lead byte without a
    // trail byte after it, the last byte included, is a U+FFFD of its own,
    // and the byte after it is read afresh.
    QString text;
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    const auto at = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < n) {
        if (!isLead(at(i))) {
            ++i;
            continue;
        }
        if (i + 1 < n && isTrail(at(i + 1))) {
            i += 2;
            continue;
        }
        text += platform::gbkToText(QByteArrayView(bytes).sliced(runStart, i - runStart));
        text += kReplacement;
        runStart = ++i;
    }
    text += platform::gbkToText(QByteArrayView(bytes).sliced(runStart, n - runStart));
    return text;
}

QByteArray encode(const QString &text)
{
    // GBK holds no character beyond the first 65,536: each is one "?",
    // and so is half of one.
    const auto special = [](QChar c) { return c.isSurrogate() || isInvisibleAndNotGbk(c.unicode()); };
    qsizetype i = 0;
    while (i < text.size() && !special(text[i]))
        ++i;
    if (i == text.size())
        return platform::textToGbk(text);
    QString plain = text.left(i);
    plain.reserve(text.size());
    while (i < text.size()) {
        const QChar c = text[i++];
        if (!special(c)) {
            plain += c;
            continue;
        }
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i < text.size() && text[i].isLowSurrogate())
            ++i;
        plain += QLatin1Char('?');
    }
    return platform::textToGbk(plain);
}

int prefixLength(const QByteArray &bytes, int maxBytes)
{
    int i = 0;
    const int n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        // A lead byte 0x81..0xFE starts a two-byte character.
        const int width = (c >= 0x81 && c <= 0xFE && i + 1 < n) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return i;
}

} // namespace ansi
