// When the snapshots of a novel are taken: once the chapter manager is shown
// for it, and when the chapter manager lets go of it if anything was stored
// meanwhile. They are taken one after another on a thread of their own, each
// novel through a connection of its own, so that neither the window nor the
// editor ever waits for one.
#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <functional>

class QWidget;
class SnapshotWorker;

class SnapshotKeeper : public QObject
{
    Q_OBJECT
public:
    explicit SnapshotKeeper(QObject *parent = nullptr);
    // A snapshot still being taken gets the exit grace to finish; after that
    // it is cancelled, and its half-made copy removed. The novels themselves
    // are never written by a snapshot, so ending at any point loses nothing.
    ~SnapshotKeeper() override;

    // The window holds the novel: a snapshot is taken after the window is
    // first shown.
    void watch(QWidget *window, const QString &novelPath);
    // The window has let go of the novel: a snapshot when anything was stored
    // since the last one. A window destroyed unreleased is released then.
    void release(QWidget *window);

    // A snapshot of the novel now, whatever the hour's slot holds, before a
    // change that touches many words at once (deleting chapters, importing
    // over a chapter, replacing throughout the book, restoring an old text).
    // Waits until it is taken, after the snapshots asked for before it; true
    // when a snapshot holds the novel as it is now, else false with why. Not
    // from the snapshot thread itself.
    bool takeNow(const QString &novelPath, QString *why);

    void setExitGrace(int milliseconds) { m_exitGraceMs = milliseconds; }
    // Waits until every snapshot asked for so far is done; false when that
    // takes longer than the timeout.
    bool waitUntilIdle(int timeoutMs);

signals:
    // After each snapshot is taken or passed over; result is a
    // NovelSnapshot::Result.
    void finished(const QString &novelPath, int result);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Watched
    {
        int session = 0;
        QString novelPath;
        bool shown = false;
    };

    void post(std::function<void()> job);
    // A snapshot of the window's novel, the first time it is shown.
    void shown(QObject *window);
    // Releases a window given as an object only: one being destroyed.
    void forget(QObject *window);

    QThread m_thread;
    SnapshotWorker *m_worker = nullptr;
    std::atomic_bool m_cancel{false};
    int m_exitGraceMs = 2000;
    int m_nextSession = 0;
    QHash<QObject *, Watched> m_windows;

    QMutex m_mutex;
    QWaitCondition m_idle;
    int m_pending = 0;
};
