// hostile_files.h on Windows: no pipes or device files in the file system
// and no mounts; devices are names the system keeps in every directory.
#include "hostile_files.h"

#include <QFile>

bool fileSystemHoldsPipesAndDevices()
{
    return false;
}

QStringList devicePaths()
{
    // The console input waits for a key; NUL reads as empty; COM1 may be a
    // real port. Each also under a file name and in a directory, and the
    // device name spaces.
    return {QStringLiteral("CON"),
            QStringLiteral("C:/Windows/con.txt"),
            QStringLiteral("NUL"),
            QStringLiteral("nul.jpg"),
            QStringLiteral("COM1"),
            QStringLiteral("lpt1.ini"),
            QStringLiteral("CONIN$"),
            QStringLiteral("//./NUL"),
            QStringLiteral("\\\\.\\pipe\\yz"),
            QStringLiteral("\\\\?\\C:\\x")};
}

bool openFilesCanBeDeleted()
{
    return false;
}

bool namesDifferByCase(const QString &)
{
    return false;
}

FifoWatch::FifoWatch(const QString &path) : m_path(QFile::encodeName(path))
{
}

FifoWatch::~FifoWatch() = default;

ScopedMount ScopedMount::readOnlyBind(const QString &, const QString &)
{
    ScopedMount m;
    m.m_skipReason = QStringLiteral("Windows has no bind mounts; read-only media are tested on Linux");
    return m;
}

ScopedMount ScopedMount::tmpfs(const QString &, qint64)
{
    ScopedMount m;
    m.m_skipReason = QStringLiteral("Windows has no small file system to mount; a full disk is tested on Linux");
    return m;
}

ScopedMount::ScopedMount(ScopedMount &&other) noexcept
    : m_dir(std::exchange(other.m_dir, QByteArray())), m_skipReason(other.m_skipReason)
{
}

ScopedMount::~ScopedMount() = default;

QString fillDisk(const QString &dir)
{
    return dir + QStringLiteral("/filler");
}

PermissionsBite::PermissionsBite() = default;

PermissionsBite::~PermissionsBite() = default;
