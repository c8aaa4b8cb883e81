#include "store/file_lister.h"

#include <QDir>

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
