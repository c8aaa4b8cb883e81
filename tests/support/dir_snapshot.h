// What a directory holds, file by file, to tell whether anything in it was
// made, removed or changed.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Relative path of every file under dir (hidden ones too) and a hash of its
// bytes.
QMap<QString, QByteArray> dirSnapshot(const QString &dir);
