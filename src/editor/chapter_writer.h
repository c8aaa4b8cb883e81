// The editor's store: writes the text of one chapter into its record on a
// thread of its own, so that a keystroke is on screen before its text is on
// disk, and a burst of keys during a slow write becomes one write.
#pragma once

#include "app/worker_thread.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

class ChapterWriter : public QObject
{
    Q_OBJECT
public:
    // The chapter whose rowid in 小说 of the novel file at path is chapterId.
    ChapterWriter(const QString &path, qint64 chapterId, QObject *parent = nullptr);
    // Waits for the write under way; a text handed over after it is dropped
    // (flush first to keep it).
    ~ChapterWriter() override;

    // Hands over the whole text as the file keeps it. Only the newest text
    // handed over is ever written; the number it returns is what stored()
    // and failed() report.
    quint64 submit(const QString &text);
    // Waits until every text handed over is written or has failed and its
    // outcome is posted; true when the newest one is in the file.
    bool flush();

    // The number of the newest text handed over, and of the newest in the file.
    quint64 submitted() const;
    quint64 written() const;
    bool isStored() const { return written() == submitted(); }

signals:
    // Sent from the writer's thread without its lock held, received on the
    // owner's; posted before the flush that waits for the text returns.
    void stored(quint64 number);
    void failed(quint64 number, const QString &why);

private:
    void run();

    const QString m_path;
    const qint64 m_chapterId;
    WorkerThread m_worker;

    mutable QMutex m_mutex;
    QWaitCondition m_work;
    QWaitCondition m_idle;
    QString m_pending;
    quint64 m_submitted = 0;
    quint64 m_taken = 0;    // the newest text the thread has taken to write
    quint64 m_finished = 0; // the newest text written or failed
    quint64 m_written = 0;  // the newest text in the file
    bool m_stop = false;
};
