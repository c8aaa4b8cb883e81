// Reading the snapshots of a novel off the window's thread: a chapter's
// texts for its history, or the chapters the novel has lost. One scan at a
// time per owner; the rows come back to the owner's thread as they are read,
// so that a list fills as it goes. Never writes a snapshot.
#pragma once

#include "history/chapter_history.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <atomic>
#include <functional>

class QDateTime;
class QThread;

// The note for a snapshot that could not be read.
QString skippedNote(const QDateTime &taken, const QString &why);

class SnapshotScan : public QObject
{
    Q_OBJECT
public:
    explicit SnapshotScan(QObject *parent = nullptr);
    // Calls off the scan under way and waits for its thread.
    ~SnapshotScan() override;

    // The texts of chapter id in each snapshot of the novel, newest first,
    // after its current text; a scan under way is called off first.
    void readHistory(const QString &novelPath, qint64 id, const QString &currentText);
    // The chapters of the snapshots that the novel, holding present, lost.
    void findLost(const QString &novelPath, const QVector<StoredChapterEntry> &present);
    bool isRunning() const;

signals:
    // rows[i] is row indexes[i] of the history, added or changed.
    void historyRows(const QVector<int> &indexes, const QVector<HistoryRow> &rows);
    void lostChapters(const QVector<LostChapter> &found);
    // The scan is over; snapshots is how many there were, skipped says
    // which of them could not be read and why.
    void finished(int snapshots, const QStringList &skipped);

private:
    void start(std::function<void()> job);
    void stop();
    // Runs fn on the owner's thread, unless the scan was called off.
    void post(std::function<void()> fn);

    QThread *m_thread = nullptr;
    std::atomic_bool m_cancel{false};
    // Which scan is the owner's: rows of one called off never reach it.
    int m_scan = 0;
};
