#include "editor/chapter_writer.h"

#include "store/data_source.h"

#include <QMutexLocker>
#include <QDeadlineTimer>

namespace {

// The log a chapter's writes may gather before the writer copies it into the
// file; a pause in the typing this long is taken for the time to copy it.
constexpr qint64 kLogLimitBytes = 64 * 1024 * 1024;
constexpr int kPauseMs = 1000;

} // namespace

ChapterWriter::ChapterWriter(const QString &path, qint64 chapterId, QObject *parent)
    : QObject(parent), m_path(path), m_chapterId(chapterId)
{
    m_worker.start(QStringLiteral("ChapterWriter"), [this] { run(); });
}

ChapterWriter::~ChapterWriter()
{
    m_worker.stop(m_mutex, m_work, [this] { m_stop = true; });
}

quint64 ChapterWriter::submit(const QString &text)
{
    QMutexLocker lock(&m_mutex);
    m_pending = text;
    ++m_submitted;
    m_work.wakeOne();
    return m_submitted;
}

bool ChapterWriter::flush()
{
    QMutexLocker lock(&m_mutex);
    while (m_finished < m_submitted)
        m_idle.wait(&m_mutex);
    return m_written == m_submitted;
}

quint64 ChapterWriter::submitted() const
{
    QMutexLocker lock(&m_mutex);
    return m_submitted;
}

quint64 ChapterWriter::written() const
{
    QMutexLocker lock(&m_mutex);
    return m_written;
}

void ChapterWriter::run()
{
    // The thread's own connection to the novel file, standing on the chapter
    // for as long as the editor is open: nothing else can move it.
    const QString chapterText = QStringLiteral("章节内容");
    DataSource data;
    data.setDatabaseName(m_path);
    data.setRecordSource(QStringLiteral("小说"));
    const auto reach = [&] {
        if (data.hasCurrent() && data.currentRowId() == m_chapterId)
            return true;
        if (!data.Refresh())
            return false;
        if (data.FindRowId(m_chapterId))
            return true;
        data.close();
        return false;
    };
    // Every write of a long chapter adds all its pages to the log. Copying
    // them into the file is left to pauses in the typing, when it delays no
    // keystroke, and to a log grown long, here on the writer's thread.
    data.setLogLimit(kLogLimitBytes);
    reach();
    bool logged = false;

    for (;;) {
        QString text;
        quint64 number = 0;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_stop && m_taken == m_submitted) {
                if (logged && !m_work.wait(&m_mutex, QDeadlineTimer(kPauseMs))) {
                    lock.unlock();
                    data.Checkpoint();
                    logged = false;
                    lock.relock();
                    continue;
                }
                if (!logged)
                    m_work.wait(&m_mutex);
            }
            if (m_stop)
                break;
            text = std::exchange(m_pending, QString());
            number = m_taken = m_submitted;
        }
        // Reached again after a failure: the file may be back, or free.
        bool ok = reach() && data.Edit();
        if (ok) {
            data.setValue(chapterText, text);
            ok = data.Update();
        }
        QString why;
        if (!ok)
            why = data.lastError().isEmpty() ? QStringLiteral("找不到打开时的章节") : data.lastError();
        logged = logged || ok;
        if (ok) {
            QMutexLocker lock(&m_mutex);
            m_written = number;
        }
        // Said with the lock released, so that a receiver may ask the writer
        // anything; a flush returns only once the text counts as finished,
        // after this, so whoever flushed finds the outcome already posted.
        if (ok)
            emit stored(number);
        else
            emit failed(number, why);
        QMutexLocker lock(&m_mutex);
        m_finished = number;
        m_idle.wakeAll();
    }
    data.close();
    // Whatever was handed over and never taken counts as finished, so that a
    // flush never waits on a thread that has ended.
    QMutexLocker lock(&m_mutex);
    m_finished = m_submitted;
    m_idle.wakeAll();
}
