#include "store/novel_file.h"

#include "store/plain_file.h"
#include "store/platform.h"
#include "store/sqlite_db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryFile>

namespace novelfile {

// Novels being made are named so; the library lists no hidden file.
static const QString kUnfinishedPrefix = QStringLiteral(".新小说-");

QStringList sidecars(const QString &path)
{
    // The longest of these is kLongestSidecarSuffix.
    return {path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), path + QStringLiteral("-journal")};
}

static bool runScript(const QString &path, const QString &script, const QByteArray &cover, QString *error)
{
    sqlite::Db db;
    sqlite::NovelOptions options;
    options.access = sqlite::Access::Create;
    if (!sqlite::openNovel(db, path, options, error))
        return false;
    const QStringList statements = script.split(QRegularExpression(QStringLiteral(";\\s*\\n")), Qt::SkipEmptyParts);
    for (const QString &raw : statements) {
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
        // Each statement has the time limit of its own.
        db.armTimeLimit();
        sqlite::Statement st(db, sql);
        if (sql.contains(QLatin1String(":cover")))
            st.bind(QByteArrayLiteral(":cover"), cover);
        if (!st.run()) {
            if (error)
                *error = db.errorText() + QStringLiteral(" (") + sql.left(60) + QLatin1Char(')');
            return false;
        }
    }
    return true;
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

static bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

QString fileNameFor(const QString &title)
{
    return title + QStringLiteral(".mdb");
}

NameProblem titleNameProblem(const QString &title)
{
    for (const QChar c : title) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return NameProblem::Separator;
        if (c.category() == QChar::Other_Control)
            return NameProblem::ControlCharacter;
    }
    // A leading dot hides the file from the library. Spaces and dots
    // elsewhere are a name like any other: ".mdb" follows the title, so no
    // system drops a space or dot at the title's end.
    if (title.isEmpty() || title.front() == QLatin1Char('.'))
        return NameProblem::LeadingDot;
    // SQLite keeps its log and journal beside the novel under the novel's
    // name and a suffix: a name that leaves no room for them makes a novel
    // that can be neither opened nor deleted.
    if (fileNameFor(title).toUtf8().size() + kLongestSidecarSuffix > kMaxFileNameBytes)
        return NameProblem::TooLong;
    return NameProblem::None;
}

bool readCover(const QString &path, QByteArray &bytes, QString *error)
{
    plainfile::Problem problem = plainfile::Problem::None;
    QString why;
    QByteArray data;
    if (!plainfile::read(path, kMaxCoverBytes, data, &problem, &why))
        return failWith(error, problem == plainfile::Problem::NotPlain ? QStringLiteral("不是图片文件") : why);
    if (data.isEmpty())
        return failWith(error, QStringLiteral("文件是空的"));
    bytes = std::move(data);
    return true;
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo target(path);
    QTemporaryFile out(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral("-XXXXXX"));
    if (!out.open())
        return failWith(error, out.errorString());
    if (out.write(bytes) != bytes.size() || !out.flush())
        return failWith(error, out.errorString());
    // The new file takes the name itself: a link of that name is replaced,
    // not followed, and a pipe is never opened.
    QString why;
    if (!platform::replaceFile(out.fileName(), path, &why))
        return failWith(error, why);
    out.setAutoRemove(false);
    return true;
}

bool copyToTemporary(const QString &source, const QString &directory, QString *tempPath, QString *error)
{
    QFile in;
    plainfile::Problem problem = plainfile::Problem::None;
    QString why;
    if (!plainfile::open(source, kMaxTemplateBytes, in, &problem, &why)) {
        if (problem == plainfile::Problem::Missing || problem == plainfile::Problem::NotPlain)
            why = QStringLiteral("找不到文件：%1").arg(source);
        return failWith(error, why);
    }
    QTemporaryFile out(directory + QStringLiteral("/") + kUnfinishedPrefix + QStringLiteral("XXXXXX.tmp"));
    if (!out.open())
        return failWith(error, out.errorString());
    QByteArray block;
    qint64 copied = 0;
    for (;;) {
        block = in.read(1 << 20);
        if (block.isEmpty())
            break;
        // A template that grows while it is copied is being written by
        // someone: its copy would be no novel either.
        if ((copied += block.size()) > kMaxTemplateBytes)
            return failWith(error, QStringLiteral("文件太大"));
        if (out.write(block) != block.size())
            return failWith(error, out.errorString());
    }
    if (in.error() != QFileDevice::NoError)
        return failWith(error, in.errorString());
    // A temporary file is private to its owner; the novel is a file like
    // the template it was copied from.
    if (!out.flush() || !out.setPermissions(in.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return failWith(error, out.errorString());
    out.setAutoRemove(false);
    *tempPath = out.fileName();
    return true;
}

bool placeNew(const QString &from, const QString &to, QString *error)
{
    // A log that SQLite could not fold back into the file on closing holds
    // part of the novel; the file alone would be half made.
    if (QFileInfo(from + QStringLiteral("-wal")).size() > 0)
        return failWith(error, QStringLiteral("小说文件没有写完整"));
    // A dangling link counts as taken: writing through it would make a file
    // somewhere else.
    const QFileInfo target(to);
    if (target.exists() || target.isSymLink())
        return failWith(error, QStringLiteral("文件已存在：%1").arg(to));
    QFile f(from);
    if (!f.rename(to))
        return failWith(error, f.errorString());
    for (const QString &side : sidecars(from))
        QFile::remove(side);
    return true;
}

bool isSoundNovel(const QString &path, QString *error)
{
    sqlite::Db db;
    sqlite::NovelOptions options;
    options.access = sqlite::Access::ReadOnly;
    QString why;
    if (sqlite::openNovel(db, path, options, &why) &&
        sqlite::checkNovel(db, sqlite::PageCheck::Full, &why) == sqlite::Verdict::Novel)
        return true;
    return failWith(error, QStringLiteral("小说文件已损坏（%1）").arg(why));
}

void removeUnfinished(const QString &directory)
{
    const QDir dir(directory);
    const QStringList left =
        dir.entryList({kUnfinishedPrefix + QStringLiteral("??????.tmp*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : left)
        QFile::remove(dir.filePath(name));
}

} // namespace novelfile
