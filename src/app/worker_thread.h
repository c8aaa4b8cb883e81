// The thread of an object that works in the background: started on the
// object's loop once the object is ready, and on stop() told to end, woken
// and waited for, so that the object goes with nothing of it still running.
#pragma once

#include <QString>
#include <QThread>
#include <functional>
#include <memory>

class QMutex;
class QWaitCondition;

class WorkerThread
{
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;
    // Waits for a loop that was never stopped; stop() should have been.
    ~WorkerThread();

    void start(const QString &name, std::function<void()> loop, QThread::Priority priority = QThread::InheritPriority);
    // Runs tellToEnd under mutex (it sets what the loop looks at between
    // pieces of work), wakes every waiter on work, then waits for the loop to
    // return.
    void stop(QMutex &mutex, QWaitCondition &work, const std::function<void()> &tellToEnd);

private:
    std::unique_ptr<QThread> m_thread;
};
