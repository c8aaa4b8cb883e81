// Snapshots of a novel file: complete, checked copies of the novel kept in a
// folder of their own, and the rule that thins them out as they age. A
// snapshot is an ordinary novel file; copied into the data directory under
// another name it opens in the library like any novel.
#pragma once

#include "store/sqlite_db.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <atomic>

// The folder that keeps the snapshots of the novel file at novelPath: the
// hidden folder ".备份" of the novel's own directory, and in it one folder
// named after the novel's file name.
QString snapshotFolder(const QString &novelPath);

// A snapshot's file name says when it was taken ("2024-05-01 103000.mdb",
// local time); snapshotTime gives that time back, or an invalid time for a
// name that is not a snapshot's.
QString snapshotFileName(const QDateTime &taken);
QDateTime snapshotTime(const QString &fileName);

// One of a novel's snapshots: when its name says it was taken, and its path.
struct SnapshotFile
{
    QDateTime taken;
    QString path;
};

// The snapshots in folder, newest first. Only our own count: an ordinary
// file, not a link, named as the program names snapshots, that is an SQLite
// file holding the tables 信息, 分卷 and 小说. Whatever else lies there (the
// writer's notes, a link, a pipe, a copy of something else) is none of ours.
// Reads no more of each file than its header and its list of tables.
QVector<SnapshotFile> snapshotFilesIn(const QString &folder);
// The snapshots of the novel file at novelPath, newest first.
QVector<SnapshotFile> snapshotsOf(const QString &novelPath);
// Whether the file at path is one of our snapshots, by its kind, its name
// and what it holds, as snapshotFilesIn counts them.
bool isSnapshotFile(const QString &path);

// The newest snapshots are never removed, whatever the clock says: a clock
// set far forward would otherwise make every snapshot look old.
constexpr int kNewestSnapshotsKept = 3;

// Which of the snapshots taken at the given times the rule lets go of at now
// (indexes into taken). Kept: the first snapshot of each clock hour for the
// last 24 hours, of each day for 14 days, of each week for 8 weeks, and the
// kNewestSnapshotsKept newest; older ones go. The first is kept rather than
// the last because a snapshot taken later in the same hour may already hold
// the slip the writer wants undone. Snapshots dated after now (the clock was
// wrong when they were taken) share one slot of their own.
QVector<int> snapshotsToRemove(const QVector<QDateTime> &taken, const QDateTime &now);
// Whether a snapshot taken at now would be kept beside those taken before.
// One dated after now stops no new one.
bool snapshotDue(const QVector<QDateTime> &taken, const QDateTime &now);

// One novel's snapshots, taken through a connection of its own that reads
// the novel while the chapter manager and the editor keep storing into it.
// Never writes the novel file. Not for the user-interface thread: a snapshot
// of a long novel reads the whole file.
class NovelSnapshot
{
public:
    enum class Result {
        Kept,           // a new snapshot was kept
        NotDue,         // this hour already has its snapshot
        Unchanged,      // nothing was stored since the last snapshot
        SameAsPrevious, // the copy held what the newest snapshot holds
        Unwritable,     // the snapshot folder cannot take it (read-only, full)
        Unreadable,     // the novel file cannot be opened or read
        Damaged,        // the copy failed the check: the novel is damaged
        Busy,           // the novel kept changing under the copy
        Cancelled,
    };

    NovelSnapshot(const QString &novelPath, const QString &folder);
    explicit NovelSnapshot(const QString &novelPath);
    ~NovelSnapshot();
    NovelSnapshot(const NovelSnapshot &) = delete;
    NovelSnapshot &operator=(const NovelSnapshot &) = delete;

    // Opens the connection and notes the novel's state, so that a later
    // changedSince() can tell whether anything was stored in between. Only a
    // file that opens as a novel is ever copied.
    bool open();
    // Takes a snapshot named for now (or the next free second) when one is
    // due, keeps it when it passes the check and differs from the newest, and
    // removes what the rule no longer keeps. A set cancel ends it early with
    // nothing left behind.
    Result take(const QDateTime &now, const std::atomic_bool *cancel = nullptr);
    // As take, but only when something was stored since open or the last
    // snapshot was taken; Unchanged otherwise.
    Result takeIfChanged(const QDateTime &now, const std::atomic_bool *cancel = nullptr);
    // Removes the snapshots the rule no longer keeps, and copies left half
    // made by a program that ended while taking one.
    void prune(const QDateTime &now);
    // Lets go of the novel file.
    void close();

    const QString &novelPath() const { return m_novel; }
    const QString &folder() const { return m_folder; }
    // The snapshot the last take kept.
    const QString &keptPath() const { return m_kept; }
    const QString &lastError() const { return m_error; }

private:
    bool changedSince();
    Result copyInto(const QString &temp, qint64 *version, const std::atomic_bool *cancel);
    Result check(const QString &temp, const std::atomic_bool *cancel);
    Result fail(Result result, const QString &why);

    QString m_novel;
    QString m_folder;
    QString m_kept;
    QString m_error;
    sqlite::Db m_source;
    // Why the last open() failed.
    Result m_refused = Result::Unreadable;
    // PRAGMA data_version of the state the last snapshot (or open) saw.
    qint64 m_version = -1;
};
