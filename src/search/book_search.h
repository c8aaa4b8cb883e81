// The whole-book search: reads every chapter of a novel in the novel's order
// on a thread of its own, through a read-only connection of its own, finds
// the query in each and hands back the chapters with hits in pieces, the
// first piece as soon as a screenful is found. A new search calls off the
// one under way; what a called-off search found is never handed back.
#pragma once

#include "app/text_search.h"
#include "app/worker_thread.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <QWaitCondition>
#include <atomic>

// One hit as the results show it: where it is in the chapter's text, and
// about 20 characters either side with the hit marked.
struct FoundHit
{
    TextHit hit;
    QString context;
    int markStart = 0;
    int markLength = 0;
};

// A chapter with hits, and what it held when it was searched.
struct FoundChapter
{
    qint64 rowid = 0;
    qint64 number = 0; // 编号, the key of its row in the chapter list
    QString volume;
    QString title;
    int textLength = 0;
    size_t fingerprint = 0;
    QVector<FoundHit> hits;
};

// How a search ended.
struct BookSearchOutcome
{
    enum class Reason {
        None,
        Query,       // the query stopped it: see query
        StoreFailed, // the novel could not be read: see storeError
        VolumeGone,  // the volume to search is no longer in the novel
        Cancelled,
    };
    Reason reason = Reason::None;
    TextSearch::Result query;
    QString storeError;
    // More hits than are listed were there: only the first kMostHits are.
    bool truncated = false;
};

// The hit's context: about radius characters either side (a surrogate pair
// is one), line breaks shown as ¶, a long hit shortened in the middle.
FoundHit describeHit(QStringView text, const TextHit &hit, int radius = 20);

class BookSearch : public QObject
{
    Q_OBJECT
public:
    // More hits than this are not listed: a search for a single common
    // character would otherwise hold more than the book.
    static constexpr int kMostHits = 100000;

    explicit BookSearch(QObject *parent = nullptr);
    // Calls off the search under way and waits for its thread.
    ~BookSearch() override;

    // Searches the novel file at path for query (prepared by the caller, so
    // that a bad one is told before anything starts), in the chapters of
    // volume alone when volume is not empty. Calls off the search under way.
    void start(const QString &path, const TextQuery &query, const QString &volume);
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    // The next chapters with hits, in the novel's order.
    void found(const QVector<FoundChapter> &chapters);
    void finished(const BookSearchOutcome &outcome);

private:
    struct Job
    {
        quint64 number = 0;
        QString path;
        TextQuery query;
        QString volume;
    };

    void run();
    void search(const Job &job);
    // Hands what the thread found to the owner's thread, unless job has
    // been called off by then.
    void post(quint64 job, QVector<FoundChapter> chapters);
    void postEnd(quint64 job, const BookSearchOutcome &outcome);

    WorkerThread m_worker;
    QMutex m_mutex;
    QWaitCondition m_work;
    Job m_next;
    bool m_pending = false;
    bool m_stop = false;
    // The newest job asked for; the thread's job is called off once it is
    // not that one any more.
    std::atomic<quint64> m_newest{0};
    std::atomic_bool m_cancel{false};
    bool m_running = false;
};
