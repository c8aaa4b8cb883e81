#include "read_only_mount.h"

#include <QFile>
#include <QProcess>

namespace {

bool run(const QString &program, const QStringList &args, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (!ok && output->isEmpty())
        *output = p.errorString();
    return ok;
}

} // namespace

ReadOnlyMount::ReadOnlyMount(const QString &dir) : m_dir(dir)
{
    QString out;
    if (!run(QStringLiteral("mount"), {QStringLiteral("--bind"), QStringLiteral("-o"), QStringLiteral("ro"), dir, dir},
             &out)) {
        m_why = QStringLiteral("cannot make a read-only bind mount here (needs root): ") + out;
        return;
    }
    m_mounted = true;
    // Root writes through a mount that only claims to be read-only.
    QFile probe(dir + QStringLiteral("/.probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        m_why = QStringLiteral("the bind mount is not read-only here");
    }
}

ReadOnlyMount::~ReadOnlyMount()
{
    QString out;
    if (m_mounted && !run(QStringLiteral("umount"), {m_dir}, &out))
        qWarning("could not unmount %s: %s", qPrintable(m_dir), qPrintable(out));
}
