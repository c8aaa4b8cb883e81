// What the program asks of the operating system that differs from one system
// to another, in one place: one implementation per system (platform_posix.cpp,
// platform_windows.cpp), chosen by the build. Nothing else in the program
// calls the system's file functions by name; paths go in and out as QString.
#pragma once

#include <QByteArrayView>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

class QFile;
class QFileDevice;

namespace platform {

// What a path names, links followed.
enum class Kind {
    Missing,   // nothing there, or a link that leads nowhere
    Regular,   // an ordinary file
    Directory, // a directory
    Other,     // a pipe, device, socket, or a name the system keeps for a device
    Unknown,   // the system refused to say (error tells why)
};

// The kind of what path names, and the size of a regular file, without
// opening it: opening a pipe waits for a writer, and opening a device may
// already do something.
Kind kindOf(const QString &path, qint64 *size = nullptr, QString *error = nullptr);

// Opens path for reading into file when it is a regular file, without ever
// waiting on a pipe or opening a device, and looks again once open, since the
// name may have been given to something else in between. kind and size say
// what was found; error says why it was refused.
bool openRegularForReading(const QString &path, QFile &file, Kind *kind, qint64 *size, QString *error);

// Why directory cannot be listed, in words; empty when it can. A missing
// directory gives missing set to true.
QString directoryProblem(const QString &directory, bool *missing = nullptr);

// The names of the files of directory (links followed) that no QString can
// carry, as their raw bytes: names that are not valid text in the system's
// encoding of file names (GBK bytes from an old archive where names are
// UTF-8), so that nothing that takes a path as a QString can reach the file.
// Empty where every name can be carried.
QList<QByteArray> unreachableFileNames(const QString &directory);

// Room left for the user on the volume that holds path, in bytes; -1 when the
// system does not say.
qint64 freeBytes(const QString &path);
// The volume that holds path takes no writes.
bool isReadOnlyVolume(const QString &path);

// Puts the file at from in place of to in one step: whatever had that name
// (a link, an older file) is replaced, never written through, and the change
// of names is on the disk before this returns.
bool replaceFile(const QString &from, const QString &to, QString *error = nullptr);

// Pushes what was written to file on to the disk.
bool syncData(QFileDevice &file);

// A short text that tells the user running the program from other users of
// the same machine, for names that must differ between them.
QString userKey();

// Why this system cannot hold name as the name of a file of its own, in
// words; empty when it can. Separators and control characters are the
// caller's to refuse on every system.
QString fileNameProblem(const QString &name);

// GBK, code page 936, whatever code page the system itself runs under.
// gbkToText takes whole characters only: single bytes, and lead bytes
// 0x81..0xFE each followed by a trail byte 0x40..0x7E or 0x80..0xFE
// (ansi_codec splits off whatever else); it gives one UTF-16 unit for each.
// textToGbk takes text without surrogates and gives "?" for a character GBK
// cannot hold.
QString gbkToText(QByteArrayView wholeCharacters);
QByteArray textToGbk(QStringView text);
// What path itself is, a link not followed: Regular only for an ordinary file
// that is no link, owned by the user running the program when ownFile is set.
// Never opens anything.
Kind kindOfEntry(const QString &path, bool ownFile = false, qint64 *size = nullptr);

// Removes what path itself names, never following a link: a file, a link, a
// pipe, a socket or an empty directory. True when nothing is left there.
bool removeEntry(const QString &path, QString *error = nullptr);

// A directory that only the user running the program may enter, for the
// program's locks and the socket a second start talks to: the session's own
// runtime directory where it is one (owned by the user and closed to everyone
// else), otherwise a directory of the program's own in the user's cache, made
// and closed to everyone else. Empty when there is none.
QString privateDirectory();

// The name under which the program holding key answers later starts, for a
// local server and its sockets: a socket in privateDirectory() (empty when
// there is none), or on Windows a named pipe, which stands in no directory;
// key carries the user and the session, as pipes are seen machine-wide.
QString serverNameFor(const QString &key);
// Clears the way for a server of that name: whatever a program that ended
// left at the socket's name goes. True when the name can be taken.
bool clearServerName(const QString &name);

// The lock on the file at path, in a directory only the user may enter.
enum class Lock {
    Taken,  // this process holds it until unlockFile or its end
    Held,   // a running process holds it
    Failed, // no lock could be made (error says why)
};
// Never waits. The file is made when missing; whatever stands at path that is
// not an ordinary file of the user's own (a link, a pipe, a directory, a file
// of another user) is removed first. What a lock file holds says nothing: a
// process that ended holds no lock, whatever it left in the file. handle
// identifies the lock for unlockFile.
Lock lockFile(const QString &path, qintptr *handle, QString *error = nullptr);
// Lets go of the lock and removes its file.
void unlockFile(qintptr handle, const QString &path);

// Ends the program with code once main is done with it: every window closed,
// every file stored and closed. Elsewhere it gives code back for main to
// return. On Windows the process ends here, without the libraries' own exit
// routines: in the MinGW build the C++ library's routine now and then waits
// forever there, for a lock the threads library lost track of when several
// threads ended together, and a program that never ends keeps holding its
// data directory against the next start.
int endProgram(int code);

} // namespace platform
