// The system's side of platform.h on Linux and other POSIX systems.
#include "store/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

} // namespace platform
