#include "store/snapshot.h"

#include "store/file_lister.h"
#include "store/novel_file.h"
#include "store/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <QUrl>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

namespace {

const QString kNameFormat = QStringLiteral("yyyy-MM-dd HHmmss");
const QString kSuffix = QStringLiteral(".mdb");
// A copy being made is hidden, so that nobody takes it for a snapshot.
const QString kTempPrefix = QStringLiteral(".快照-");
const QString kTempSuffix = QStringLiteral(".tmp");
// A copy older than this was left by a program that ended while making it.
constexpr qint64 kStaleTempSeconds = 3600;
// Pages copied between two looks at the cancel flag: 1 MiB of a novel file.
constexpr int kPagesPerStep = 64;
// Steps between two flushes of the copy to the disk. A long novel's copy
// left to the end would be flushed in one piece, and the editor's own flush
// of a keystroke could wait behind it.
constexpr int kStepsPerFlush = 4;
// How long the snapshot's connection waits for a lock the editor holds: the
// editor never waits for the snapshot, the snapshot may wait for the editor.
constexpr int kBusyTimeoutMs = 2000;

constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 24 * kHour;

// A statement that finalizes itself.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_st, nullptr); }
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    // SQLITE_ROW, SQLITE_DONE or the error.
    int step() { return m_rc == SQLITE_OK ? sqlite3_step(m_st) : m_rc; }
    qint64 integer() const { return sqlite3_column_int64(m_st, 0); }
    QString text() const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_st, 0)),
                                 sqlite3_column_bytes(m_st, 0));
    }

private:
    sqlite3_stmt *m_st = nullptr;
    int m_rc = SQLITE_OK;
};

QString errorText(sqlite3 *db, int rc)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
}

qint64 dataVersion(sqlite3 *db)
{
    Statement st(db, "PRAGMA data_version");
    return st.step() == SQLITE_ROW ? st.integer() : -1;
}

bool isWal(sqlite3 *db)
{
    Statement st(db, "PRAGMA journal_mode");
    return st.step() == SQLITE_ROW && st.text().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
}

// A failure that says the novel's pages are not what a database holds.
bool isDamage(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QVector<QDateTime> timesOf(const QVector<SnapshotFile> &taken)
{
    QVector<QDateTime> out;
    out.reserve(taken.size());
    for (const SnapshotFile &t : taken)
        out.append(t.taken);
    return out;
}

// Removes the file at path and the files SQLite may have left beside it,
// when each is an ordinary file.
void removeOwnFile(const QString &path)
{
    for (const QString &file : QStringList{path} + novelfile::sidecars(path)) {
        if (platform::kindOfEntry(file) == platform::Kind::Regular)
            platform::removeEntry(file);
    }
}

// A copy being made, as take() names it: ".快照-" and six characters.
bool isCopyName(const QString &name)
{
    return name.startsWith(kTempPrefix) && name.endsWith(kTempSuffix) &&
           name.size() == kTempPrefix.size() + 6 + kTempSuffix.size();
}

// Header bytes that differ between two copies of the same pages: the change
// counter, the counter it is valid for, and the SQLite version that wrote it.
void maskHeader(QByteArray &block)
{
    for (int i : {24, 25, 26, 27, 92, 93, 94, 95, 96, 97, 98, 99}) {
        if (i < block.size())
            block[i] = 0;
    }
}

// Whether two novel files hold the same pages.
bool samePages(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    bool first = true;
    for (;;) {
        QByteArray ba = fa.read(1 << 20);
        QByteArray bb = fb.read(1 << 20);
        if (first) {
            maskHeader(ba);
            maskHeader(bb);
            first = false;
        }
        if (ba != bb)
            return false;
        if (ba.isEmpty())
            return fa.error() == QFileDevice::NoError && fb.error() == QFileDevice::NoError;
    }
}

// Which snapshots lose their slot to an earlier one, or are too old for any.
QVector<int> slotLosers(const QVector<QDateTime> &taken, const QDateTime &now)
{
    QVector<int> order(taken.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return taken[a] < taken[b]; });

    QSet<QString> filled;
    QVector<int> losers;
    for (int i : std::as_const(order)) {
        const QDateTime &t = taken[i];
        const qint64 age = t.secsTo(now);
        QString period;
        if (age < 0) {
            period = QStringLiteral("f");
        } else if (age <= kDay) {
            period = QStringLiteral("h") + t.toString(QStringLiteral("yyyyMMddHH"));
        } else if (age <= 14 * kDay) {
            period = QStringLiteral("d") + t.toString(QStringLiteral("yyyyMMdd"));
        } else if (age <= 8 * 7 * kDay) {
            int year = 0;
            const int week = t.date().weekNumber(&year);
            period = QStringLiteral("w%1-%2").arg(year).arg(week);
        } else {
            losers.append(i);
            continue;
        }
        if (filled.contains(period))
            losers.append(i);
        else
            filled.insert(period);
    }
    return losers;
}

} // namespace

QString snapshotFolder(const QString &novelPath)
{
    const QFileInfo info(novelPath);
    return info.absolutePath() + QStringLiteral("/.备份/") + info.fileName();
}

QString snapshotFileName(const QDateTime &taken)
{
    return taken.toString(kNameFormat) + kSuffix;
}

QDateTime snapshotTime(const QString &fileName)
{
    if (fileName.size() != kNameFormat.size() + kSuffix.size() || !fileName.endsWith(kSuffix))
        return {};
    const QDateTime t = QDateTime::fromString(fileName.left(kNameFormat.size()), kNameFormat);
    // Only the name the program gives: "2024-5-1 ..." or a shifted time is not one.
    return t.isValid() && snapshotFileName(t) == fileName ? t : QDateTime();
}

QVector<SnapshotFile> snapshotFilesIn(const QString &folder)
{
    QVector<SnapshotFile> out;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QDateTime t = snapshotTime(name);
        const QString path = folder + QLatin1Char('/') + name;
        if (t.isValid() && isSnapshotFile(path))
            out.append({t, path});
    }
    std::sort(out.begin(), out.end(), [](const SnapshotFile &a, const SnapshotFile &b) {
        return a.taken != b.taken ? a.taken > b.taken : a.path > b.path;
    });
    return out;
}

QVector<SnapshotFile> snapshotsOf(const QString &novelPath)
{
    return snapshotFilesIn(snapshotFolder(novelPath));
}

bool isSnapshotFile(const QString &path)
{
    return snapshotTime(QFileInfo(path).fileName()).isValid() &&
           platform::kindOfEntry(path) == platform::Kind::Regular && novelFileKind(path) == NovelFileKind::Novel;
}

QVector<int> snapshotsToRemove(const QVector<QDateTime> &taken, const QDateTime &now)
{
    QVector<int> newest(taken.size());
    std::iota(newest.begin(), newest.end(), 0);
    std::stable_sort(newest.begin(), newest.end(), [&](int a, int b) { return taken[a] > taken[b]; });
    newest.resize(std::min<int>(int(newest.size()), kNewestSnapshotsKept));

    QVector<int> remove = slotLosers(taken, now);
    remove.removeIf([&](int i) { return newest.contains(i); });
    std::sort(remove.begin(), remove.end());
    return remove;
}

bool snapshotDue(const QVector<QDateTime> &taken, const QDateTime &now)
{
    QVector<QDateTime> past;
    for (const QDateTime &t : taken) {
        if (t <= now)
            past.append(t);
    }
    past.append(now);
    return !slotLosers(past, now).contains(int(past.size() - 1));
}

NovelSnapshot::NovelSnapshot(const QString &novelPath, const QString &folder) : m_novel(novelPath), m_folder(folder)
{
}

NovelSnapshot::NovelSnapshot(const QString &novelPath) : NovelSnapshot(novelPath, snapshotFolder(novelPath))
{
}

NovelSnapshot::~NovelSnapshot()
{
    close();
}

NovelSnapshot::Result NovelSnapshot::fail(Result result, const QString &why)
{
    m_error = why;
    return result;
}

bool NovelSnapshot::open()
{
    if (m_source)
        return true;
    if (!QFileInfo(m_novel).isFile()) {
        m_error = QStringLiteral("找不到文件：%1").arg(m_novel);
        return false;
    }
    // Read-write without create: a vanished file is an error, and when this
    // connection is the last to let go of the novel it folds the log back
    // into the file, as the chapter manager's own would have.
    const int rc = sqlite3_open_v2(QFile::encodeName(m_novel).constData(), &m_source, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        m_error = errorText(m_source, rc);
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_source, 1);
    sqlite3_busy_timeout(m_source, kBusyTimeoutMs);
    m_version = dataVersion(m_source);
    return true;
}

void NovelSnapshot::close()
{
    if (m_source) {
        sqlite3_close_v2(m_source);
        m_source = nullptr;
    }
}

bool NovelSnapshot::changedSince()
{
    const qint64 now = dataVersion(m_source);
    return now < 0 || m_version < 0 || now != m_version;
}

NovelSnapshot::Result NovelSnapshot::takeIfChanged(const QDateTime &now, const std::atomic_bool *cancel)
{
    if (m_source && !changedSince()) {
        m_kept.clear();
        return Result::Unchanged;
    }
    return take(now, cancel);
}

NovelSnapshot::Result NovelSnapshot::take(const QDateTime &now, const std::atomic_bool *cancel)
{
    m_kept.clear();
    if (cancel && *cancel)
        return Result::Cancelled;
    if (!open())
        return Result::Unreadable;
    const QVector<SnapshotFile> before = snapshotFilesIn(m_folder);
    if (!snapshotDue(timesOf(before), now)) {
        prune(now);
        return Result::NotDue;
    }
    if (!QDir().mkpath(m_folder))
        return fail(Result::Unwritable, QStringLiteral("不能建立文件夹：%1").arg(m_folder));

    QString temp;
    {
        QTemporaryFile file(m_folder + QLatin1Char('/') + kTempPrefix + QStringLiteral("XXXXXX") + kTempSuffix);
        if (!file.open())
            return fail(Result::Unwritable, file.errorString());
        // A snapshot is a novel file like the one it was copied from.
        file.setPermissions(QFileInfo(m_novel).permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.setAutoRemove(false);
        temp = file.fileName();
    }

    qint64 version = -1;
    Result result = copyInto(temp, &version, cancel);
    if (result == Result::Kept)
        result = check(temp);
    // The newest snapshot up to now; one dated later stops no new one.
    const auto newest =
        std::find_if(before.cbegin(), before.cend(), [&](const SnapshotFile &s) { return s.taken <= now; });
    if (result == Result::Kept && newest != before.cend() && samePages(temp, newest->path))
        result = Result::SameAsPrevious;
    if (result == Result::Kept) {
        // The first free second: a good snapshot is never replaced.
        result = fail(Result::Unwritable, QStringLiteral("不能保存快照"));
        for (int i = 0; i < 5; ++i) {
            QDateTime at = now.addSecs(i);
            QString target = m_folder + QLatin1Char('/') + snapshotFileName(at);
            while (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
                at = at.addSecs(1);
                target = m_folder + QLatin1Char('/') + snapshotFileName(at);
            }
            if (novelfile::placeNew(temp, target)) {
                m_kept = target;
                result = Result::Kept;
                break;
            }
        }
    }
    if (result != Result::Kept)
        removeOwnFile(temp);
    if (result == Result::Kept || result == Result::SameAsPrevious)
        m_version = version;
    prune(now);
    return result;
}

NovelSnapshot::Result NovelSnapshot::copyInto(const QString &temp, qint64 *version, const std::atomic_bool *cancel)
{
    sqlite3 *dest = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &dest, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = errorText(dest, rc);
        sqlite3_close_v2(dest);
        return fail(Result::Unwritable, why);
    }
    // The copy needs no journal of its own: a half-made copy is thrown away.
    // Its pages reach the disk when the copy is committed.
    sqlite3_exec(dest, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);

    // In a file written ahead through a log, one read transaction sees one
    // stored state from the first page to the last while the editor goes on
    // storing. Without the log a reader would hold up the editor, so the copy
    // goes a step at a time and starts again when the novel changes.
    const bool wal = isWal(m_source);
    bool reading = false;
    Result result = Result::Kept;
    if (wal) {
        reading = sqlite3_exec(m_source, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
        Statement first(m_source, "SELECT count(*) FROM sqlite_master");
        rc = first.step();
        if (rc != SQLITE_ROW)
            result = fail(isDamage(rc) ? Result::Damaged : Result::Unreadable, errorText(m_source, rc));
    }
    *version = dataVersion(m_source);

    sqlite3_backup *backup = result == Result::Kept ? sqlite3_backup_init(dest, "main", m_source, "main") : nullptr;
    if (result == Result::Kept && !backup)
        result = fail(Result::Unwritable, errorText(dest, sqlite3_errcode(dest)));
    QFile flusher(temp);
    flusher.open(QIODevice::ReadOnly);
    int steps = 0, waits = 0;
    while (backup && result == Result::Kept) {
        if (cancel && *cancel) {
            result = Result::Cancelled;
            break;
        }
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_OK) {
            // Each change of the novel starts the copy again; a novel that
            // never rests long enough is copied another time.
            const int pages = sqlite3_backup_pagecount(backup);
            if (++steps > 8 * (pages / kPagesPerStep + 1) + 16)
                result = fail(Result::Busy, QStringLiteral("小说一直在改动"));
            if (steps % kStepsPerFlush == 0)
                platform::syncData(flusher);
            continue;
        }
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
            if (++waits > kBusyTimeoutMs / 5)
                result = fail(Result::Busy, QString::fromUtf8(sqlite3_errstr(rc)));
            else
                sqlite3_sleep(5);
            continue;
        }
        result = fail(isDamage(rc) ? Result::Damaged : Result::Unwritable, QString::fromUtf8(sqlite3_errstr(rc)));
    }
    if (backup) {
        rc = sqlite3_backup_finish(backup);
        if (result == Result::Kept && rc != SQLITE_OK)
            result = fail(isDamage(rc) ? Result::Damaged : Result::Unwritable, QString::fromUtf8(sqlite3_errstr(rc)));
    }
    if (reading)
        sqlite3_exec(m_source, "COMMIT", nullptr, nullptr, nullptr);
    rc = sqlite3_close_v2(dest);
    if (result == Result::Kept && rc != SQLITE_OK)
        result = fail(Result::Unwritable, QString::fromUtf8(sqlite3_errstr(rc)));
    return result;
}

NovelSnapshot::Result NovelSnapshot::check(const QString &temp)
{
    // Nobody else knows the copy: it is read as it lies, with no lock and no
    // log files beside it.
    const QString uri = QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(temp).absoluteFilePath()).toEncoded()) +
                        QStringLiteral("?immutable=1");
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(uri.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    Result result = Result::Kept;
    if (rc != SQLITE_OK) {
        result = fail(Result::Unwritable, errorText(db, rc));
    } else {
        Statement st(db, "PRAGMA quick_check");
        QStringList found;
        while ((rc = st.step()) == SQLITE_ROW)
            found << st.text();
        if (rc != SQLITE_DONE)
            result = fail(isDamage(rc) ? Result::Damaged : Result::Unreadable, errorText(db, rc));
        else if (found != QStringList{QStringLiteral("ok")})
            result = fail(Result::Damaged, found.join(QLatin1Char('\n')));
    }
    if (result == Result::Kept) {
        // A sound database that is not a novel is no copy of one.
        Statement tables(
            db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('信息', '分卷', '小说')");
        if (tables.step() != SQLITE_ROW || tables.integer() != 3)
            result = fail(Result::Damaged, QStringLiteral("不是小说文件"));
    }
    sqlite3_close_v2(db);
    return result;
}

void NovelSnapshot::prune(const QDateTime &now)
{
    const QDir dir(m_folder);
    if (!dir.exists())
        return;
    const QStringList copies =
        dir.entryList({kTempPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : copies) {
        const QString path = dir.filePath(name);
        if (isCopyName(name) && platform::kindOfEntry(path) == platform::Kind::Regular &&
            QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) > kStaleTempSeconds)
            removeOwnFile(path);
    }
    // Only our own snapshots count for the rule, and each is looked at again
    // just before it goes.
    const QVector<SnapshotFile> taken = snapshotFilesIn(m_folder);
    const QVector<int> gone = snapshotsToRemove(timesOf(taken), now);
    for (int i : gone) {
        if (isSnapshotFile(taken[i].path))
            removeOwnFile(taken[i].path);
    }
}
