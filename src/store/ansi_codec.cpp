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
    qsizetype i = 0;
    while (i < text.size() && !text[i].isSurrogate())
        ++i;
    if (i == text.size())
        return platform::textToGbk(text);
    QString plain = text.left(i);
    plain.reserve(text.size());
    while (i < text.size()) {
        const QChar c = text[i++];
        if (!c.isSurrogate()) {
            plain += c;
            continue;
        }
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
