// The skin: a Qt style sheet that gives every window of the program its look.
#pragma once

#include <QString>

// Puts the style sheet in skinFile on the whole application. A missing or
// unreadable file, or one that is not a regular file, leaves the plain look.
// Returns true when a skin was put on.
bool applySkin(const QString &skinFile);
// The largest skin file put on; anything bigger is no style sheet.
constexpr qint64 kMaxSkinBytes = 1024 * 1024;

// Lets "宋体" and the other fonts of the design find a CJK font here.
void installFontFallbacks();
