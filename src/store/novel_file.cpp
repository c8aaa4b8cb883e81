#include "store/novel_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QStringList>

namespace novelfile {

QStringList sidecars(const QString &path)
{
    return {path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), path + QStringLiteral("-journal")};
}

static bool runScript(const QString &path, const QString &script, const QByteArray &cover, QString *error)
{
    const QString name = QStringLiteral("yz_create_%1").arg(quintptr(&path));
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        if (!ok && error)
            *error = db.lastError().text();
        const QStringList statements = script.split(QRegularExpression(QStringLiteral(";\\s*\\n")), Qt::SkipEmptyParts);
        for (const QString &raw : statements) {
            if (!ok)
                break;
            QString sql;
            for (const QString &line : raw.split(QLatin1Char('\n'))) {
                if (!line.trimmed().startsWith(QLatin1String("--")))
                    sql += line + QLatin1Char('\n');
            }
            sql = sql.trimmed();
            if (sql.endsWith(QLatin1Char(';')))
                sql.chop(1);
            if (sql.isEmpty())
                continue;
            QSqlQuery q(db);
            if (sql.contains(QLatin1String(":cover"))) {
                q.prepare(sql);
                q.bindValue(QStringLiteral(":cover"), cover);
                ok = q.exec();
            } else {
                ok = q.exec(sql);
            }
            if (!ok && error)
                *error = q.lastError().text() + QStringLiteral(" (") + sql.left(60) + QLatin1Char(')');
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool createFromScript(const QString &path, const QString &script, const QByteArray &coverBytes, QString *error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("文件已存在：%1").arg(path);
        return false;
    }
    if (runScript(path, script, coverBytes, error))
        return true;
    remove(path);
    return false;
}

bool remove(const QString &path, QString *error)
{
    QFile f(path);
    if (f.exists() && !f.remove()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    for (const QString &side : sidecars(path))
        QFile::remove(side);
    return true;
}

} // namespace novelfile
