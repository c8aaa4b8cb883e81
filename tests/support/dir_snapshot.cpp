#include "dir_snapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

QMap<QString, QByteArray> dirSnapshot(const QString &dir)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir base(dir);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (f.open(QIODevice::ReadOnly))
            hash.addData(&f);
        out.insert(base.relativeFilePath(path), hash.result());
    }
    return out;
}
