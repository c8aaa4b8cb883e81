#include "app/snapshot_keeper.h"

#include "store/snapshot.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QEvent>
#include <QWidget>
#include <memory>
#include <unordered_map>

// Lives on the snapshot thread: the open novels' snapshots by session.
class SnapshotWorker : public QObject
{
public:
    explicit SnapshotWorker(SnapshotKeeper *keeper, const std::atomic_bool *cancel) : m_keeper(keeper), m_cancel(cancel)
    {
    }

    void opened(int session, const QString &novelPath)
    {
        auto snapshot = std::make_unique<NovelSnapshot>(novelPath);
        const auto result = snapshot->take(QDateTime::currentDateTime(), m_cancel);
        m_sessions[session] = std::move(snapshot);
        report(novelPath, result);
    }

    void closed(int session)
    {
        const auto it = m_sessions.find(session);
        if (it == m_sessions.end())
            return;
        const std::unique_ptr<NovelSnapshot> snapshot = std::move(it->second);
        m_sessions.erase(it);
        const auto result = snapshot->takeIfChanged(QDateTime::currentDateTime(), m_cancel);
        // The last connection to let go of a novel folds its log back into
        // the file; that happens here, off the window's way.
        snapshot->close();
        report(snapshot->novelPath(), result);
    }

    NovelSnapshot::Result now(const QString &novelPath, QString *why)
    {
        NovelSnapshot snapshot(novelPath);
        const auto result = snapshot.take(QDateTime::currentDateTime(), m_cancel, NovelSnapshot::When::Now);
        *why = snapshot.lastError();
        report(novelPath, result);
        return result;
    }

private:
    // Told on the keeper's own thread, where its listeners live.
    void report(const QString &novelPath, NovelSnapshot::Result result)
    {
        SnapshotKeeper *keeper = m_keeper;
        QMetaObject::invokeMethod(
            keeper, [keeper, novelPath, result] { emit keeper->finished(novelPath, int(result)); },
            Qt::QueuedConnection);
    }

    SnapshotKeeper *m_keeper;
    const std::atomic_bool *m_cancel;
    std::unordered_map<int, std::unique_ptr<NovelSnapshot>> m_sessions;
};

SnapshotKeeper::SnapshotKeeper(QObject *parent) : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("snapshots"));
    m_worker = new SnapshotWorker(this, &m_cancel);
    m_worker->moveToThread(&m_thread);
    // Deleted on the snapshot thread as it ends, letting go of every novel.
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
}

SnapshotKeeper::~SnapshotKeeper()
{
    // Ends the thread after the snapshots already asked for.
    QMetaObject::invokeMethod(
        m_worker, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    if (!m_thread.wait(QDeadlineTimer(m_exitGraceMs))) {
        m_cancel = true;
        m_thread.wait();
    }
}

void SnapshotKeeper::post(std::function<void()> job)
{
    {
        QMutexLocker lock(&m_mutex);
        ++m_pending;
    }
    QMetaObject::invokeMethod(
        m_worker,
        [this, job = std::move(job)] {
            job();
            QMutexLocker lock(&m_mutex);
            if (--m_pending == 0)
                m_idle.wakeAll();
        },
        Qt::QueuedConnection);
}

bool SnapshotKeeper::waitUntilIdle(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (m_pending > 0) {
        if (!m_idle.wait(&m_mutex, deadline))
            return false;
    }
    return true;
}

bool SnapshotKeeper::takeNow(const QString &novelPath, QString *why)
{
    // The waiter's own: the job fills it and says so under the lock.
    struct Outcome
    {
        QMutex mutex;
        QWaitCondition done;
        bool finished = false;
        NovelSnapshot::Result result = NovelSnapshot::Result::Cancelled;
        QString why;
    };
    auto outcome = std::make_shared<Outcome>();
    post([worker = m_worker, novelPath, outcome] {
        QString reason;
        const auto result = worker->now(novelPath, &reason);
        QMutexLocker lock(&outcome->mutex);
        outcome->result = result;
        outcome->why = reason;
        outcome->finished = true;
        outcome->done.wakeAll();
    });
    QMutexLocker lock(&outcome->mutex);
    while (!outcome->finished)
        outcome->done.wait(&outcome->mutex);
    // The same state as the newest snapshot is held by that one.
    const bool held =
        outcome->result == NovelSnapshot::Result::Kept || outcome->result == NovelSnapshot::Result::SameAsPrevious;
    if (!held && why)
        *why = outcome->why.isEmpty() ? QStringLiteral("未能保存快照") : outcome->why;
    return held;
}

void SnapshotKeeper::watch(QWidget *window, const QString &novelPath)
{
    m_windows.insert(window, Watched{++m_nextSession, novelPath, false});
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, &SnapshotKeeper::forget);
    if (window->isVisible())
        shown(window);
}

bool SnapshotKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        shown(watched);
    return QObject::eventFilter(watched, event);
}

void SnapshotKeeper::shown(QObject *window)
{
    const auto it = m_windows.find(window);
    if (it == m_windows.end() || it->shown)
        return;
    it->shown = true;
    post([worker = m_worker, session = it->session, path = it->novelPath] { worker->opened(session, path); });
}

void SnapshotKeeper::release(QWidget *window)
{
    forget(window);
}

void SnapshotKeeper::forget(QObject *window)
{
    const auto it = m_windows.find(window);
    if (it == m_windows.end())
        return;
    const Watched w = *it;
    m_windows.erase(it);
    window->removeEventFilter(this);
    if (w.shown)
        post([worker = m_worker, session = w.session] { worker->closed(session); });
}
