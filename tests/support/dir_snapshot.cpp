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
        QCryptographicHash hash(QCryptographicHash::Sha1);
        // A pipe or device is there or not; opening it could wait for ever.
        if (it.fileInfo().isFile()) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                hash.addData(&f);
        } else {
            hash.addData("not a regular file");
        }
        out.insert(base.relativeFilePath(path), hash.result());
    }
    return out;
}
