// The system's side of platform.h on Linux and other POSIX systems.
#include "store/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Kind kindOfStat(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return Kind::Regular;
    if (S_ISDIR(st.st_mode))
        return Kind::Directory;
    return Kind::Other;
}

Kind kindOfErrno(int error, QString *why)
{
    if (error == ENOENT || error == ENOTDIR)
        return Kind::Missing;
    if (why)
        *why = errnoText(error);
    return Kind::Unknown;
}

} // namespace

Kind kindOf(const QString &path, qint64 *size, QString *error)
{
    if (path.isEmpty())
        return Kind::Missing;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return kindOfErrno(errno, error);
    if (size)
        *size = st.st_size;
    return kindOfStat(st);
}

bool openRegularForReading(const QString &path, QFile &file, Kind *kind, qint64 *size, QString *error)
{
    *kind = kindOf(path, size, error);
    if (*kind != Kind::Regular)
        return false;
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *kind = kindOfErrno(errno, error);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *kind = kindOfErrno(errno, error);
        ::close(fd);
        return false;
    }
    *kind = kindOfStat(st);
    if (size)
        *size = st.st_size;
    if (*kind != Kind::Regular) {
        ::close(fd);
        return false;
    }
    // A regular file never blocks; the flag only mattered for the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *kind = Kind::Unknown;
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString directoryProblem(const QString &directory, bool *missing)
{
    if (missing)
        *missing = false;
    const QByteArray name = QFile::encodeName(directory.isEmpty() ? QStringLiteral("/") : directory);
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        if (missing)
            *missing = errno == ENOENT || errno == ENOTDIR;
        return errnoText(errno);
    }
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("不是目录");
    DIR *d = ::opendir(name.constData());
    if (!d)
        return errnoText(errno);
    ::closedir(d);
    return {};
}

QList<QByteArray> unreachableFileNames(const QString &directory)
{
    QList<QByteArray> out;
    const QByteArray dirName = QFile::encodeName(directory);
    DIR *d = ::opendir(dirName.constData());
    if (!d)
        return out;
    while (const struct dirent *entry = ::readdir(d)) {
        const QByteArray name(entry->d_name);
        if (QFile::encodeName(QFile::decodeName(name)) == name)
            continue;
        struct stat st;
        const int dirFd = ::dirfd(d);
        if (dirFd >= 0 && ::fstatat(dirFd, name.constData(), &st, 0) == 0 && S_ISREG(st.st_mode))
            out.append(name);
    }
    ::closedir(d);
    return out;
}

qint64 freeBytes(const QString &path)
{
    struct statvfs fs;
    if (::statvfs(QFile::encodeName(path).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

bool isReadOnlyVolume(const QString &path)
{
    struct statvfs fs;
    return ::statvfs(QFile::encodeName(path).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
}

bool replaceFile(const QString &from, const QString &to, QString *error)
{
    // rename() puts the new file in place of the name itself: a link of that
    // name is replaced, not followed, and a pipe is never opened.
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error)
            *error = errnoText(errno);
        return false;
    }
    // The new name is on the disk once the directory that holds it is.
    const int dir = ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool syncData(QFileDevice &file)
{
    return file.isOpen() && ::fdatasync(file.handle()) == 0;
}

QString userKey()
{
    return QString::number(uint(::getuid()));
}

QString fileNameProblem(const QString &)
{
    // Any name without a separator, NUL included, is a name here.
    return {};
}

QString gbkToText(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

QByteArray textToGbk(QStringView text)
{
    QStringEncoder encoder("GBK");
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder.encode(text);
}

Kind kindOfEntry(const QString &path, bool ownFile, qint64 *size)
{
    if (path.isEmpty())
        return Kind::Missing;
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return kindOfErrno(errno, nullptr);
    if (size)
        *size = st.st_size;
    if (S_ISREG(st.st_mode) && ownFile && st.st_uid != ::getuid())
        return Kind::Other;
    return kindOfStat(st);
}

bool removeEntry(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) == 0 || errno == ENOENT)
        return true;
    if ((errno == EISDIR || errno == EPERM) && ::rmdir(name.constData()) == 0)
        return true;
    if (error)
        *error = errnoText(errno);
    return false;
}

namespace {

// A directory, links followed, that belongs to the user and that nobody else
// may read, enter or write. One of the user's that is open to others is
// closed first when close is set.
bool isPrivate(const QString &dir, bool close = false)
{
    const QByteArray name = QFile::encodeName(dir);
    struct stat st;
    if (::stat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 077) == 0 || (close && ::chmod(name.constData(), 0700) == 0);
}

} // namespace

QString privateDirectory()
{
    // Anyone may make a file or a directory of a name they can compute in a
    // shared place such as /tmp, before the program does.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivate(runtime))
        return QDir::cleanPath(runtime);
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString dir = QDir::cleanPath(cache + QStringLiteral("/yanzhou-run"));
    QDir().mkpath(cache);
    ::mkdir(QFile::encodeName(dir).constData(), 0700);
    return isPrivate(dir, true) ? dir : QString();
}

QString serverNameFor(const QString &key)
{
    const QString dir = privateDirectory();
    return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + key + QStringLiteral(".socket");
}

bool clearServerName(const QString &name)
{
    return removeEntry(name);
}

Lock lockFile(const QString &path, qintptr *handle, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return Lock::Failed;
    };
    // Another start may be making, locking or removing the same file at the
    // same time: each turn begins again from what stands there now.
    for (int turn = 0; turn < 8; ++turn) {
        const Kind there = kindOfEntry(path, true);
        if (there == Kind::Other || there == Kind::Directory) {
            QString why;
            if (!removeEntry(path, &why))
                return failed(why);
        }
        // No link followed, and a pipe that appears in between is not waited on.
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == ELOOP || errno == EISDIR || errno == ENXIO || errno == EEXIST || errno == EINTR)
                continue;
            // A lock file left read-only is the user's own: it goes.
            if (errno == EACCES && removeEntry(path))
                continue;
            return failed(errnoText(errno));
        }
        struct stat opened;
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int why = errno;
            ::close(fd);
            if (why == EWOULDBLOCK)
                return Lock::Held;
            if (why == EINTR)
                continue;
            return failed(errnoText(why));
        }
        // The holder before may have removed the file as it let go: a lock
        // on a file that no longer has the name locks nothing.
        struct stat named;
        if (::lstat(name.constData(), &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
            ::close(fd);
            continue;
        }
        *handle = fd;
        return Lock::Taken;
    }
    return failed(QStringLiteral("锁文件一直在变"));
}

void unlockFile(qintptr handle, const QString &path)
{
    const int fd = int(handle);
    struct stat opened, named;
    // Removed while still locked, so that nobody locks the file after it
    // has lost its name.
    if (::fstat(fd, &opened) == 0 && ::lstat(QFile::encodeName(path).constData(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        ::unlink(QFile::encodeName(path).constData());
    ::close(fd);
}

int endProgram(int code)
{
    return code;
}

} // namespace platform
