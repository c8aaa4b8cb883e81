#include "store/snapshot.h"

#include "store/file_lister.h"
#include "store/novel_file.h"
#include "store/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
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
// Times a copy may let go of the log for the editor's writer and start
// again before it gives up until the typing rests.
constexpr int kMostPasses = 8;

constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 24 * kHour;

qint64 dataVersion(sqlite::Db &db)
{
    db.armTimeLimit();
    sqlite::Statement st(db, QStringLiteral("PRAGMA data_version"));
    return st.next() ? st.int64(0) : -1;
}

bool isWal(sqlite::Db &db)
{
    db.armTimeLimit();
    sqlite::Statement st(db, QStringLiteral("PRAGMA journal_mode"));
    return st.next() && st.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
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
    if (m_source.isOpen())
        return true;
    // Read-write without create: a vanished file is an error, and when this
    // connection is the last to let go of the novel it folds the log back
    // into the file, as the chapter manager's own would have.
    sqlite::NovelOptions options;
    options.busyTimeoutMs = kBusyTimeoutMs;
    m_refused = Result::Unreadable;
    if (!sqlite::openNovel(m_source, m_novel, options, &m_error))
        return false;
    m_source.armTimeLimit();
    const sqlite::Verdict verdict = sqlite::checkNovel(m_source, sqlite::PageCheck::None, &m_error);
    if (verdict != sqlite::Verdict::Novel) {
        m_refused = verdict == sqlite::Verdict::Damaged ? Result::Damaged : Result::Unreadable;
        close();
        return false;
    }
    m_version = dataVersion(m_source);
    return true;
}

void NovelSnapshot::close()
{
    m_source.close();
}

bool NovelSnapshot::changedSince()
{
    const qint64 now = dataVersion(m_source);
    return now < 0 || m_version < 0 || now != m_version;
}

NovelSnapshot::Result NovelSnapshot::takeIfChanged(const QDateTime &now, const std::atomic_bool *cancel)
{
    if (m_source.isOpen() && !changedSince()) {
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
        return m_refused;
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
        result = check(temp, cancel);
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
    // The copy is a file of the snapshot's own making, written page by page
    // and never read here. It needs no journal: a half-made copy is thrown
    // away. Its pages reach the disk when the copy is committed.
    sqlite::Db dest;
    if (!dest.open(temp, SQLITE_OPEN_READWRITE))
        return fail(Result::Unwritable, dest.errorText());
    dest.exec("PRAGMA journal_mode=OFF");

    // In a file written ahead through a log, one read transaction sees one
    // stored state from the first page to the last while the editor goes on
    // storing. Without the log a reader would hold up the editor, so the copy
    // goes a step at a time and starts again when the novel changes. The
    // editor's writer may also ask for the log back, to start it again once
    // it has grown long: the copy then lets go of it and starts again later.
    const bool wal = isWal(m_source);
    QFile flusher(temp);
    flusher.open(QIODevice::ReadOnly);
    Result result = Result::Kept;
    int steps = 0, waits = 0, passes = 0;
    for (;;) {
        const quint64 asked = sqlite::logReleaseRequests();
        bool reading = false;
        if (wal) {
            m_source.armTimeLimit();
            reading = m_source.exec("BEGIN");
            sqlite::Statement first(m_source, QStringLiteral("SELECT count(*) FROM sqlite_master"));
            if (!first.next())
                result =
                    fail(sqlite::isDamage(first.code()) ? Result::Damaged : Result::Unreadable, m_source.errorText());
        }
        *version = dataVersion(m_source);

        sqlite3_backup *backup =
            result == Result::Kept ? sqlite3_backup_init(dest.handle(), "main", m_source.handle(), "main") : nullptr;
        if (result == Result::Kept && !backup)
            result = fail(Result::Unwritable, dest.errorText());
        bool letGo = false;
        while (backup && result == Result::Kept) {
            if (cancel && *cancel) {
                result = Result::Cancelled;
                break;
            }
            if (reading && sqlite::logReleaseRequests() != asked) {
                letGo = true;
                break;
            }
            const int rc = sqlite3_backup_step(backup, kPagesPerStep);
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
            result = fail(sqlite::isDamage(rc) ? Result::Damaged : Result::Unwritable,
                          QString::fromUtf8(sqlite3_errstr(rc)));
        }
        if (backup) {
            const int rc = sqlite3_backup_finish(backup);
            if (result == Result::Kept && !letGo && rc != SQLITE_OK)
                result = fail(sqlite::isDamage(rc) ? Result::Damaged : Result::Unwritable,
                              QString::fromUtf8(sqlite3_errstr(rc)));
        }
        if (reading)
            m_source.exec("COMMIT");
        if (!letGo || result != Result::Kept)
            break;
        if (++passes > kMostPasses) {
            result = fail(Result::Busy, QStringLiteral("小说一直在改动"));
            break;
        }
        // Read again once the writer has copied its log into the file, so as
        // not to hold up that copy once more.
        for (int i = 0; sqlite::logReleaseUnderway() && i < kBusyTimeoutMs / 5 && !(cancel && *cancel); ++i)
            sqlite3_sleep(5);
    }
    dest.close();
    return result;
}

NovelSnapshot::Result NovelSnapshot::check(const QString &temp, const std::atomic_bool *cancel)
{
    // Nobody else knows the copy: it is read as it lies, with no lock and no
    // log files beside it. It was made here page by page, so its check takes
    // as long as its size asks and ends early only when cancelled.
    sqlite::Db db;
    sqlite::NovelOptions options;
    options.access = sqlite::Access::ReadOnly;
    db.setCancel(cancel);
    QString why;
    if (!sqlite::openNovel(db, temp, options, &why))
        return fail(Result::Unwritable, why);
    db.setDeadline(std::chrono::steady_clock::time_point::max());
    switch (sqlite::checkNovel(db, sqlite::PageCheck::Quick, &why)) {
    case sqlite::Verdict::Novel:
        return Result::Kept;
    case sqlite::Verdict::Damaged:
        return fail(Result::Damaged, why);
    case sqlite::Verdict::Unreadable:
        break;
    }
    return cancel && *cancel ? Result::Cancelled : fail(Result::Unreadable, why);
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
