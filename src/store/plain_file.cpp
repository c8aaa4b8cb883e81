#include "store/plain_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plainfile {

namespace {

bool refuse(Problem kind, const QString &text, Problem *problem, QString *why)
{
    if (problem)
        *problem = kind;
    if (why)
        *why = text;
    return false;
}

bool refuseErrno(int error, Problem *problem, QString *why)
{
    if (error == ENOENT || error == ENOTDIR)
        return refuse(Problem::Missing, QStringLiteral("文件不存在"), problem, why);
    return refuse(Problem::Unreadable, QString::fromLocal8Bit(std::strerror(error)), problem, why);
}

bool acceptable(const struct stat &st, qint64 maxBytes, Problem *problem, QString *why)
{
    if (!S_ISREG(st.st_mode))
        return refuse(Problem::NotPlain, QStringLiteral("不是普通文件"), problem, why);
    if (st.st_size > maxBytes)
        return refuse(Problem::TooBig, QStringLiteral("文件太大"), problem, why);
    return true;
}

} // namespace

bool open(const QString &path, qint64 maxBytes, QFile &file, Problem *problem, QString *why)
{
    if (problem)
        *problem = Problem::None;
    if (path.isEmpty())
        return refuse(Problem::Missing, QStringLiteral("文件不存在"), problem, why);
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: opening a pipe waits for a writer, and
    // opening a device may already do something.
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return refuseErrno(errno, problem, why);
    if (!acceptable(st, maxBytes, problem, why))
        return false;
    // Without waiting, and looked at again once open: the path may have been
    // given to a pipe in between.
    int fd;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return refuseErrno(errno, problem, why);
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return refuseErrno(error, problem, why);
    }
    if (!acceptable(st, maxBytes, problem, why)) {
        ::close(fd);
        return false;
    }
    // A regular file never blocks; the flag only mattered for the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(Problem::Unreadable, file.errorString(), problem, why);
    }
    return true;
}

bool read(const QString &path, qint64 maxBytes, QByteArray &bytes, Problem *problem, QString *why)
{
    QFile file;
    if (!open(path, maxBytes, file, problem, why))
        return false;
    QByteArray data;
    data.reserve(qsizetype(file.size()));
    constexpr qint64 kBlock = 1 << 20;
    for (;;) {
        const QByteArray block = file.read(std::min(kBlock, maxBytes - data.size() + 1));
        if (block.isEmpty())
            break;
        data += block;
        if (data.size() > maxBytes)
            return refuse(Problem::TooBig, QStringLiteral("文件太大"), problem, why);
    }
    if (file.error() != QFileDevice::NoError)
        return refuse(Problem::Unreadable, file.errorString(), problem, why);
    bytes = std::move(data);
    return true;
}

} // namespace plainfile
