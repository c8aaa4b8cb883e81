#include "small_disk.h"

#include <QFile>
#include <QProcess>

SmallDisk::SmallDisk(qint64 sizeBytes, int files)
{
    if (!m_dir.isValid())
        return;
    QProcess mount;
    mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=%1,nr_inodes=%2").arg(sizeBytes).arg(files),
                                          QStringLiteral("tmpfs"), m_dir.path()});
    m_mounted = mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
}

void SmallDisk::useUpFileNames()
{
    for (int i = 0; i < 100000; ++i) {
        QFile f(m_dir.filePath(QStringLiteral(".fill%1").arg(i)));
        if (!f.open(QIODevice::WriteOnly))
            return;
    }
}
