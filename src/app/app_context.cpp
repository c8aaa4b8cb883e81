#include "app/app_context.h"

#include "store/file_lister.h"
#include "store/ini_reader.h"
#include "store/novel_file.h"

#include <QDir>
#include <QFileInfo>

QStringList AppContext::iniPaths() const
{
    const QString name = QStringLiteral("Config.ini");
    QStringList paths;
    if (!userDir.isEmpty())
        paths << userDir + QLatin1Char('/') + name;
    paths << programFile(name);
    return paths;
}

QString AppContext::setting(const QString &section, const QString &key, const QString &defaultValue) const
{
    // Each file's value stands in for the missing key of the file read before it.
    const QStringList paths = iniPaths();
    QString value = defaultValue;
    for (auto it = paths.crbegin(); it != paths.crend(); ++it)
        value = ReadIniValue(*it, section, key, value);
    return value;
}

QString AppContext::dataPrefix() const
{
    return setting(QStringLiteral("Main"), QStringLiteral("Path"), writableFile(QStringLiteral("data"))) +
           QLatin1Char('/');
}

QString skinFilePath(const AppContext &ctx)
{
    const QString dir =
        ctx.setting(QStringLiteral("Skin"), QStringLiteral("Path"), ctx.programFile(QStringLiteral("skin")));
    const QString name = ctx.setting(QStringLiteral("Skin"), QStringLiteral("Name"), QStringLiteral("skinh.she"));
    return dir + QLatin1Char('/') + name;
}

namespace {

// Copies the novels beside the program into the new data directory. A copy
// that fails leaves nothing behind and does not stop the others.
void copyBundledNovels(const QString &from, const QString &to)
{
    QStringList names;
    ListFiles(from, QStringLiteral("*.mdb"), names);
    for (const QString &name : std::as_const(names)) {
        QString temp;
        if (!name.isEmpty() && novelfile::copyToTemporary(from + QLatin1Char('/') + name, to, &temp) &&
            !novelfile::placeNew(temp, to + QLatin1Char('/') + name))
            QFile::remove(temp);
    }
}

} // namespace

void settleDirectories(AppContext &ctx, const QString &programDir, const QString &userLocation)
{
    ctx.programDir = programDir;
    ctx.userDir.clear();
    if (QFileInfo(programDir).isWritable() || userLocation.isEmpty())
        return;
    ctx.userDir = userLocation;
    const QString dataDir = ctx.writableFile(QStringLiteral("data"));
    // Only the default data directory is the program's to make; one that
    // exists already is the user's, even when they emptied it.
    if (ctx.dataPrefix() != dataDir + QLatin1Char('/') || QFileInfo::exists(dataDir) || !QDir().mkpath(dataDir))
        return;
    copyBundledNovels(ctx.programFile(QStringLiteral("data")), dataDir);
}
