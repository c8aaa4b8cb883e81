// The names Windows keeps for itself: devices (CON, NUL, COM1…), the device
// and pipe name spaces, and the characters a file name cannot hold. Plain
// text rules, the same on every system, so that they are tested everywhere;
// only the Windows side of the platform unit acts on them.
#pragma once

#include <QString>

namespace windowsnames {

// name, the last part of a path, is read by Windows as a device: CON,
// "con.txt", "CON .mdb", "NUL:", COM1 to COM9, LPT¹ and the like.
bool isReservedName(const QString &name);

// path leads to a device rather than a file: a reserved last part, the
// device name spaces (\\.\, \\?\, \??\), or a pipe or mail slot of a server
// (\\server\pipe\…).
bool isDevicePath(const QString &path);

// Why Windows cannot hold name as the name of a file of its own: the
// characters <>:"|?*, a reserved name, or a trailing dot or space that
// Windows would drop; empty when it can.
QString fileNameProblem(const QString &name);

} // namespace windowsnames
