#include "hostile_files.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

bool fileSystemHoldsPipesAndDevices()
{
    return true;
}

QStringList devicePaths()
{
    return {QStringLiteral("/dev/zero"), QStringLiteral("/dev/urandom"), QStringLiteral("/dev/null")};
}

bool openFilesCanBeDeleted()
{
    return true;
}

bool namesDifferByCase(const QString &dir)
{
    QFile probe(dir + QStringLiteral("/case-probe"));
    const bool made = probe.open(QIODevice::WriteOnly);
    probe.close();
    const bool differ = made && !QFile::exists(dir + QStringLiteral("/CASE-PROBE"));
    probe.remove();
    return differ;
}

FifoWatch::FifoWatch(const QString &path) : m_path(QFile::encodeName(path))
{
    m_valid = ::mkfifo(m_path.constData(), 0644) == 0;
    if (!m_valid)
        return;
    m_thread = std::thread([this] {
        // A writer can open the pipe without waiting only while a reader has
        // it open or is waiting in open(); closing it again gives that
        // reader the end of the file.
        while (!m_stop) {
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_opened = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
}

FifoWatch::~FifoWatch()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

ScopedMount ScopedMount::readOnlyBind(const QString &source, const QString &dir)
{
    ScopedMount m;
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(dir);
    if (::mount(src.constData(), dst.constData(), nullptr, MS_BIND, nullptr) != 0) {
        m.m_skipReason = QStringLiteral("a read-only bind mount needs root here: %1").arg(strerror(errno));
        return m;
    }
    m.m_dir = dst;
    if (::mount(nullptr, dst.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        m.m_skipReason = QStringLiteral("cannot make the bind mount read-only: %1").arg(strerror(errno));
        ::umount2(dst.constData(), MNT_DETACH);
        m.m_dir.clear();
    }
    return m;
}

ScopedMount ScopedMount::tmpfs(const QString &dir, qint64 bytes)
{
    ScopedMount m;
    const QByteArray dst = QFile::encodeName(dir);
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", dst.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        m.m_skipReason = QStringLiteral("a small tmpfs for a full disk needs root here: %1").arg(strerror(errno));
        return m;
    }
    m.m_dir = dst;
    return m;
}

ScopedMount::ScopedMount(ScopedMount &&other) noexcept
    : m_dir(std::exchange(other.m_dir, QByteArray())), m_skipReason(other.m_skipReason)
{
}

ScopedMount::~ScopedMount()
{
    if (!m_dir.isEmpty())
        ::umount2(m_dir.constData(), MNT_DETACH);
}

QString fillDisk(const QString &dir)
{
    const QString path = dir + QStringLiteral("/filler");
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return path;
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), block.size()) > 0) {
    }
    // The last partial block too.
    while (::write(fd, "x", 1) > 0) {
    }
    ::close(fd);
    return path;
}

namespace {

struct Capabilities
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    bool get() { return ::syscall(SYS_capget, &header, data) == 0; }
    bool set() { return ::syscall(SYS_capset, &header, data) == 0; }
};

} // namespace

PermissionsBite::PermissionsBite()
{
    if (::geteuid() != 0) {
        m_active = true;
        return;
    }
    Capabilities caps;
    if (!caps.get())
        return;
    m_saved[0] = caps.data[0].effective;
    m_saved[1] = caps.data[1].effective;
    caps.data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    m_active = caps.set();
}

PermissionsBite::~PermissionsBite()
{
    if (::geteuid() != 0 || !m_active)
        return;
    Capabilities caps;
    if (!caps.get())
        return;
    caps.data[0].effective = m_saved[0];
    caps.data[1].effective = m_saved[1];
    caps.set();
}
