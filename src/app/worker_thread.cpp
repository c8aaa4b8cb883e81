#include "app/worker_thread.h"

#include <QMutex>
#include <QWaitCondition>

WorkerThread::~WorkerThread()
{
    if (m_thread)
        m_thread->wait();
}

void WorkerThread::start(const QString &name, std::function<void()> loop, QThread::Priority priority)
{
    m_thread.reset(QThread::create(std::move(loop)));
    m_thread->setObjectName(name);
    m_thread->start(priority);
}

void WorkerThread::stop(QMutex &mutex, QWaitCondition &work, const std::function<void()> &tellToEnd)
{
    if (!m_thread)
        return;
    {
        QMutexLocker lock(&mutex);
        tellToEnd();
        work.wakeAll();
    }
    m_thread->wait();
    m_thread.reset();
}
