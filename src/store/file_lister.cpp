#include "store/file_lister.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

const QString kNoSuchDirectory = QStringLiteral("目录不存在");

int ListFiles(const QString &directory, const QString &pattern, QStringList &names)
{
    QString dir = directory;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');

    QDir d(dir);
    d.setNameFilters({pattern});
    d.setFilter(QDir::Files);
    d.setSorting(QDir::Name | QDir::IgnoreCase);
    const QStringList found = d.exists() ? d.entryList() : QStringList();
    names = found.isEmpty() ? QStringList{QString()} : found;
    return names.size();
}

QString listingProblem(const QString &directory)
{
    const QByteArray name = QFile::encodeName(directory.isEmpty() ? QStringLiteral("/") : directory);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? kNoSuchDirectory : QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("不是目录");
    DIR *d = ::opendir(name.constData());
    if (!d)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::closedir(d);
    return {};
}
