// Things on disk that a reader must never wait on or be fooled by: pipes,
// read-only media, full disks.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <thread>

// Whether pipes and devices can stand in the file system under any name, as
// on Linux. Windows has neither: its devices are names (see devicePaths()).
bool fileSystemHoldsPipesAndDevices();
// Why a test of pipes, device files or links skips where there are none.
constexpr const char *kNoSpecialFiles = "this system has no pipes, device files or links that a user makes in the "
                                        "file system; its device names are tested in tst_system_paths";
// Paths that name a device rather than a file on this system, the endless
// and bottomless ones first.
QStringList devicePaths();

// Whether a file another program holds open can be deleted (not on Windows).
bool openFilesCanBeDeleted();
// Whether file names in dir differ by letter case alone (not on Windows).
bool namesDifferByCase(const QString &dir);

// A named pipe at path that tells whether anyone opened it for reading.
// Whoever does is let go at once with an empty read, so that a test of code
// that must never open the pipe fails instead of waiting for ever.
class FifoWatch
{
public:
    explicit FifoWatch(const QString &path);
    ~FifoWatch();
    FifoWatch(const FifoWatch &) = delete;
    FifoWatch &operator=(const FifoWatch &) = delete;

    bool isValid() const { return m_valid; }
    bool wasOpened() const { return m_opened; }

private:
    QByteArray m_path;
    bool m_valid = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::thread m_thread;
};

// A mount made for one test and taken away with it. Mounting needs root;
// where it is refused, skipReason says why and the test skips.
class ScopedMount
{
public:
    // dir becomes a read-only view of source.
    static ScopedMount readOnlyBind(const QString &source, const QString &dir);
    // dir becomes an empty file system of the given size.
    static ScopedMount tmpfs(const QString &dir, qint64 bytes);
    ScopedMount(ScopedMount &&other) noexcept;
    ~ScopedMount();

    bool isMounted() const { return !m_dir.isEmpty(); }
    QString skipReason() const { return m_skipReason; }

private:
    ScopedMount() = default;
    QByteArray m_dir;
    QString m_skipReason;
};

// Writes into dir until its file system has no space left; returns the path
// of the file that fills it.
QString fillDisk(const QString &dir);

// While it lives, this thread reads directories by their permissions even as
// root: root's right to read and search anything is set aside, and given
// back at the end. isActive() is false where it cannot be set aside.
class PermissionsBite
{
public:
    PermissionsBite();
    ~PermissionsBite();
    PermissionsBite(const PermissionsBite &) = delete;
    PermissionsBite &operator=(const PermissionsBite &) = delete;
    bool isActive() const { return m_active; }

private:
    bool m_active = false;
    quint32 m_saved[2] = {0, 0};
};
