#include "store/file_lister.h"

#include "store/platform.h"

#include <QDir>

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
    bool missing = false;
    const QString problem = platform::directoryProblem(directory, &missing);
    return missing ? kNoSuchDirectory : problem;
}
