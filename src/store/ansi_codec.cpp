#include "store/ansi_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace ansi {

QString decode(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    QString text = decoder.decode(bytes);
    // A lead byte at the very end waits in the decoder for a second byte
    // that never comes. A line feed is never the second byte of a GBK
    // character: handed on, it makes the decoder give the waiting byte up as
    // the invalid byte it is, a U+FFFD like any other; the line feed itself
    // is dropped again.
    QString rest = decoder.decode(QByteArrayView("\n", 1));
    rest.chop(1);
    return text + rest;
}

QByteArray encode(const QString &text)
{
    QStringEncoder encoder("GBK");
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder.encode(text);
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
