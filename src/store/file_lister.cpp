#include "store/file_lister.h"

#include "store/ansi_codec.h"
#include "store/platform.h"
#include "store/sqlite_db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

const QString kNoSuchDirectory = QStringLiteral("目录不存在");

int ListFiles(const QString &directory, const QString &pattern, QStringList &names, QList<QByteArray> *unreachable)
{
    QString dir = directory;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');

    QDir d(dir);
    d.setNameFilters({pattern});
    d.setFilter(QDir::Files);
    d.setSorting(QDir::Name | QDir::IgnoreCase);
    QStringList found = d.exists() ? d.entryList() : QStringList();

    // A name that is no valid text comes out of the listing as another name,
    // one that leads nowhere: it is said instead, never passed off as a novel.
    const QList<QByteArray> raw = d.exists() ? platform::unreachableFileNames(dir) : QList<QByteArray>();
    QSet<QString> garbled;
    for (const QByteArray &name : raw) {
        const QString near = QFile::decodeName(name);
        if (near.startsWith(QLatin1Char('.')) || !QDir::match(pattern, near))
            continue;
        garbled.insert(near);
        if (unreachable)
            *unreachable << name;
    }
    if (!garbled.isEmpty()) {
        found.removeIf([&](const QString &name) {
            return garbled.contains(name) && platform::kindOf(dir + name) == platform::Kind::Missing;
        });
    }
    names = found.isEmpty() ? QStringList{QString()} : found;
    return names.size();
}

QString listingProblem(const QString &directory)
{
    bool missing = false;
    const QString problem = platform::directoryProblem(directory, &missing);
    return missing ? kNoSuchDirectory : problem;
}

QString unreachableName(const QByteArray &rawName, bool *gbk)
{
    const QString asGbk = ansi::decode(rawName);
    const bool readsAsGbk = !asGbk.contains(QChar::ReplacementCharacter) && ansi::encode(asGbk) == rawName;
    if (gbk)
        *gbk = readsAsGbk;
    if (readsAsGbk)
        return asGbk;
    // UTF-8 where it is UTF-8; every byte that is not, written out.
    QString out;
    int i = 0;
    while (i < rawName.size()) {
        const uchar lead = uchar(rawName[i]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        const QByteArray piece = length ? rawName.mid(i, length) : QByteArray();
        const QString text = QString::fromUtf8(piece);
        if (length && piece.size() == length && !text.contains(QChar::ReplacementCharacter) && text.toUtf8() == piece) {
            out += text;
            i += length;
        } else {
            out += QString::asprintf("\\x%02X", uint(lead));
            ++i;
        }
    }
    return out;
}

NovelFileKind novelFileKind(const QString &path, QString *why)
{
    const auto said = [why](NovelFileKind kind, const QString &text = QString()) {
        if (why)
            *why = text;
        return kind;
    };
    QFile file;
    platform::Kind kind = platform::Kind::Missing;
    qint64 size = 0;
    QString error;
    if (!platform::openRegularForReading(path, file, &kind, &size, &error))
        return said(NovelFileKind::Unreadable, kind == platform::Kind::Unknown ? error : QString());
    if (size == 0)
        return said(NovelFileKind::Empty);
    if (file.read(16) != QByteArray("SQLite format 3\0", 16))
        return said(NovelFileKind::NotADatabase);
    file.close();

    // Read through the store's own way in: nothing is made beside the file,
    // and nothing stored in it runs.
    sqlite::Db db;
    sqlite::NovelOptions options;
    options.access = sqlite::Access::ReadOnly;
    NovelFileKind result = NovelFileKind::Damaged;
    if (sqlite::openNovel(db, path, options, &error)) {
        result = NovelFileKind::Novel;
        for (const QString &name : {QStringLiteral("信息"), QStringLiteral("分卷"), QStringLiteral("小说")}) {
            sqlite::TableKind table = sqlite::TableKind::Missing;
            if (!sqlite::tableKind(db, name, &table)) {
                error = db.errorText();
                result = NovelFileKind::Damaged;
                break;
            }
            if (table != sqlite::TableKind::Table)
                result = NovelFileKind::NotANovel;
        }
    }
    return said(result, result == NovelFileKind::Damaged ? error : QString());
}
