#include "store/ansi_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace ansi {

QString decode(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
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
