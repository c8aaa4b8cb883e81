// Files the program reads by name: Config.ini, the skin, covers, the
// template, imported text. Only a regular file is read, and only up to a size
// the caller states, so that a pipe, a device or an endless file named in a
// setting or chosen in a dialog can neither hang the program nor fill its
// memory; it counts as an unreadable file of its kind.
#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace plainfile {

enum class Problem {
    None,
    Missing,    // nothing at that path (or a link that leads nowhere)
    NotPlain,   // a directory, pipe, device or socket
    TooBig,     // more than the caller takes
    Unreadable, // the system refused to open or read it
};

// Opens file on path for reading when path, after following links, is a
// regular file of at most maxBytes. A pipe or device is never opened, so
// nothing can wait on it. On failure problem says what kind of failure it
// was and why says it in words.
bool open(const QString &path, qint64 maxBytes, QFile &file, Problem *problem = nullptr, QString *why = nullptr);

// Reads the whole of a regular file of at most maxBytes into bytes; a file
// that grows past maxBytes while it is read is TooBig.
bool read(const QString &path, qint64 maxBytes, QByteArray &bytes, Problem *problem = nullptr, QString *why = nullptr);

} // namespace plainfile
