// Novel files as whole files: making one from schema text, removing one.
#pragma once

#include <QByteArray>
#include <QString>

namespace novelfile {

// Creates a new novel file at path by running the SQL script (statements
// separated by ";" at line ends); the placeholder :cover takes coverBytes.
// The file must not exist yet. On failure nothing is left at path.
bool createFromScript(const QString &path, const QString &script, const QByteArray &coverBytes,
                      QString *error = nullptr);

// Removes the novel file and the files SQLite keeps beside it.
bool remove(const QString &path, QString *error = nullptr);

// The files SQLite may keep beside a novel file.
QStringList sidecars(const QString &path);

} // namespace novelfile
