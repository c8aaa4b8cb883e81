// The system's ANSI code page (GBK): settings, imported and exported text.
#pragma once

#include <QByteArray>
#include <QString>

namespace ansi {

// Bytes in GBK to text. Bytes that do not form a GBK character become U+FFFD,
// wherever they stand, a lone lead byte at the very end included.
QString decode(const QByteArray &bytes);

// Text to GBK bytes; a character GBK cannot hold becomes "?", but one that
// shows nothing (a zero-width space, a byte-order mark) is left out.
QByteArray encode(const QString &text);

// Length of the longest prefix of bytes, at most maxBytes long, that does not
// end inside a two-byte GBK character.
int prefixLength(const QByteArray &bytes, int maxBytes);

} // namespace ansi
