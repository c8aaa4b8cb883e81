// The covers of the library list. The list is ready with the default cover
// in every entry; a novel's own cover is read and decoded on a thread of the
// shelf's own when its entry is first painted, at the size the list shows it,
// and only that small picture is kept. The pictures of entries painted
// longest ago are let go beyond a few screens' worth, so that the memory the
// covers take stays the same whatever the number of novels; such an entry
// shows its cover again, read afresh, when it is painted again.
#pragma once

#include "app/worker_thread.h"

#include <QCache>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QVector>
#include <QWaitCondition>
#include <atomic>
#include <deque>

class CoverShelf : public QObject
{
    Q_OBJECT
public:
    // Covers are shown within size (device-independent pixels, at the
    // given device pixel ratio); defaultCoverPath is the picture shown until
    // a cover is read and in place of one that is not a picture; at most
    // maxHeld decoded covers are kept (256 of 120 x 150 take about 18 MB).
    CoverShelf(const QSize &size, qreal devicePixelRatio, const QString &defaultCoverPath, QObject *parent = nullptr,
               int maxHeld = 256);
    // Stops reading at once (a cover being read is given up) and waits for
    // the thread, which then holds no novel file open.
    ~CoverShelf() override;

    // The icon of the cover of the 信息 record rowid of the novel file path.
    QIcon icon(const QString &path, qint64 rowid);
    // Forgets every icon handed out before: the list is filled again.
    void clear();

    // Covers asked for and not yet in place.
    bool busy() const;
    // Covers decoded and kept.
    int heldCount() const { return m_held.size(); }

signals:
    // A cover was put in place: the entries painted with it show it once
    // painted again.
    void coverArrived();

private:
    friend class CoverEngine;

    struct Source
    {
        QString path;
        qint64 rowid = -1;
    };
    struct Job
    {
        int ticket = 0;
        Source source;
    };

    // Decodes a picture within box (device pixels), keeping its proportions
    // and never enlarging it; a JPEG decoder takes it down by a power of two
    // as it reads. A null image when the bytes are not a picture.
    static QImage decode(QIODevice &device, const QSize &box);

    // The picture to paint for ticket: its cover when held, else the default
    // cover, and then the cover is asked for.
    QPixmap picture(int ticket);
    void request(int ticket);
    void flushRequests();
    void arrive(int ticket, const QImage &cover);
    void run();

    const QSize m_box; // in device pixels
    const qreal m_ratio;
    QPixmap m_default;
    QHash<int, Source> m_sources;
    QCache<int, QPixmap> m_held;
    int m_nextTicket = 0;
    // Asked for while painting, handed to the thread once the painting is
    // done, so that the entries are read in the order they were painted.
    QVector<int> m_asked;
    WorkerThread m_worker;

    mutable QMutex m_mutex;
    QWaitCondition m_work;
    std::deque<Job> m_queue; // the next to read first
    QSet<int> m_taken;       // being read, or read and on the way
    std::atomic_bool m_cancel{false};
    bool m_stop = false;
};
