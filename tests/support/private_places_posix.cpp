// private_places.h where the session's runtime directory comes first and
// the program's own directory in the user's cache second.
#include "private_places.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// install -d with the given options ("-m 0700 -o someone") at path.
bool installDir(const QString &options, const QString &path)
{
    QStringList args{QStringLiteral("-d")};
    args << options.split(QLatin1Char(' '), Qt::SkipEmptyParts) << path;
    return QProcess::execute(QStringLiteral("install"), args) == 0;
}

} // namespace

bool makeOtherUser()
{
    return ::getuid() == 0 &&
           QProcess::execute(QStringLiteral("useradd"), {"-M", "-r", QString::fromLatin1(kOtherUser)}) == 0;
}

void removeOtherUser()
{
    QProcess::execute(QStringLiteral("userdel"), {QString::fromLatin1(kOtherUser)});
}

QString usePrivateDirectoryUnder(const QString &base)
{
    const QString run = base + QStringLiteral("/run");
    installDir(QStringLiteral("-m 0700"), run);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(base + QStringLiteral("/cache")));
    return run;
}

QList<PrivatePlace> privatePlaces()
{
    // The runtime directory and ours in the cache as they stand before
    // (none, or made with these options to install -d), and which of them
    // the program uses.
    struct Row
    {
        const char *name, *runtime, *ours, *used;
    };
    const Row rows[] = {
        {"no runtime directory", "", "", "ours"},
        {"a private runtime directory", "-m 0700", "", "runtime"},
        {"a runtime directory open to all, like /tmp", "-m 1777", "", "ours"},
        {"a runtime directory the group may read", "-m 0750", "", "ours"},
        {"a runtime directory of another user", "-m 0700 -o yanzhou-other", "", "ours"},
        {"ours, once made open to all", "", "-m 0755", "ours"},
        {"ours taken by another user", "", "-m 0755 -o yanzhou-other", ""},
    };
    QList<PrivatePlace> places;
    for (const Row &row : rows) {
        const QString runtime = QString::fromLatin1(row.runtime), ours = QString::fromLatin1(row.ours);
        const QString used = QString::fromLatin1(row.used);
        places.append({QString::fromLatin1(row.name), (runtime + ours).contains(QLatin1String(kOtherUser)),
                       [runtime, ours](const QString &base) {
                           const QString runDir = base + QStringLiteral("/run");
                           qunsetenv("XDG_RUNTIME_DIR");
                           if (!runtime.isEmpty()) {
                               if (!installDir(runtime, runDir))
                                   return false;
                               qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runDir));
                           }
                           if (!ours.isEmpty() && !installDir(ours, base + QStringLiteral("/cache/yanzhou-run")))
                               return false;
                           qputenv("XDG_CACHE_HOME", QFile::encodeName(base + QStringLiteral("/cache")));
                           return true;
                       },
                       used == QLatin1String("runtime") ? QStringLiteral("run")
                       : used.isEmpty()                 ? QString()
                                                        : QStringLiteral("cache/yanzhou-run")});
    }
    return places;
}

QString whyOthersMayEnter(const QString &dir)
{
    struct stat st;
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0)
        return QStringLiteral("it cannot be read");
    if (st.st_uid != ::getuid())
        return QStringLiteral("it belongs to user %1").arg(st.st_uid);
    if (st.st_mode & 077)
        return QStringLiteral("its mode is %1").arg(st.st_mode & 0777, 0, 8);
    return {};
}
