// Cover pictures in the library list, decoded only when first painted: a
// library of hundreds of novels opens without decoding covers nobody sees.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QSize>

// An icon for a cover's bytes; when they are not a picture, fallbackBytes
// (the default cover) are shown instead.
QIcon coverIcon(const QByteArray &bytes, const QByteArray &fallbackBytes);

// Decodes a cover at no more than about twice size (a power-of-two fraction
// of the picture, which the JPEG decoder does for free).
QPixmap decodeCover(const QByteArray &bytes, const QSize &size);
