#include "library/cover_shelf.h"

#include "store/cover_stream.h"
#include "store/novel_file.h"

#include <QBuffer>
#include <QIconEngine>
#include <QImageReader>
#include <QMutexLocker>
#include <QPainter>
#include <QPointer>
#include <algorithm>

namespace {

// Entries asked for and not yet read: beyond this, those painted longest ago
// are passed over (they are asked for again if painted again), so that a
// quick scroll through a long list leaves no long queue behind it.
constexpr int kMaxQueued = 64;

// The selected entry's cover is shaded in the list's selection colour.
const QColor kSelectedShade(181, 121, 61, 70);

} // namespace

// A list entry's cover: whatever the shelf holds for the entry when painted.
// Holds no picture of its own.
class CoverEngine : public QIconEngine
{
public:
    CoverEngine(CoverShelf *shelf, int ticket) : m_shelf(shelf), m_ticket(ticket) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const QPixmap pix = picture();
        if (pix.isNull())
            return;
        const QSize shown = pix.deviceIndependentSize().toSize().scaled(rect.size(), Qt::KeepAspectRatio);
        const QRect target(rect.x() + (rect.width() - shown.width()) / 2,
                           rect.y() + (rect.height() - shown.height()) / 2, shown.width(), shown.height());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawPixmap(target, pix);
        if (mode == QIcon::Selected)
            painter->fillRect(target, kSelectedShade);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        QPixmap pix = picture();
        if (pix.isNull())
            return {};
        pix.setDevicePixelRatio(1);
        if (pix.width() > size.width() || pix.height() > size.height())
            pix = pix.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode == QIcon::Selected) {
            QPainter p(&pix);
            p.fillRect(pix.rect(), kSelectedShade);
        }
        return pix;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine *clone() const override { return new CoverEngine(*this); }

private:
    QPixmap picture() const { return m_shelf ? m_shelf->picture(m_ticket) : QPixmap(); }

    QPointer<CoverShelf> m_shelf;
    int m_ticket;
};

CoverShelf::CoverShelf(const QSize &size, qreal devicePixelRatio, const QString &defaultCoverPath, QObject *parent,
                       int maxHeld)
    : QObject(parent), m_box(size * devicePixelRatio), m_ratio(devicePixelRatio), m_held(maxHeld)
{
    // Read as any cover the user picks: a pipe or a device in its place is
    // never opened.
    QByteArray bytes;
    if (novelfile::readCover(defaultCoverPath, bytes)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        m_default = QPixmap::fromImage(decode(buffer, m_box));
    }
    m_default.setDevicePixelRatio(m_ratio);
    m_worker.start(
        QStringLiteral("CoverShelf"), [this] { run(); }, QThread::LowPriority);
}

CoverShelf::~CoverShelf()
{
    m_worker.stop(m_mutex, m_work, [this] {
        m_stop = true;
        m_cancel = true;
    });
}

QIcon CoverShelf::icon(const QString &path, qint64 rowid)
{
    const int ticket = m_nextTicket++;
    m_sources.insert(ticket, {path, rowid});
    return QIcon(new CoverEngine(this, ticket));
}

void CoverShelf::clear()
{
    m_sources.clear();
    m_held.clear();
    m_asked.clear();
    QMutexLocker lock(&m_mutex);
    m_queue.clear();
    // The cover being read belongs to the list that was.
    m_cancel = true;
}

bool CoverShelf::busy() const
{
    QMutexLocker lock(&m_mutex);
    return !m_asked.isEmpty() || !m_queue.empty() || !m_taken.isEmpty();
}

QPixmap CoverShelf::picture(int ticket)
{
    if (const QPixmap *held = m_held.object(ticket))
        return *held;
    if (m_sources.contains(ticket))
        request(ticket);
    return m_default;
}

void CoverShelf::request(int ticket)
{
    if (m_asked.contains(ticket))
        return;
    if (m_asked.isEmpty())
        QMetaObject::invokeMethod(this, &CoverShelf::flushRequests, Qt::QueuedConnection);
    m_asked.append(ticket);
}

void CoverShelf::flushRequests()
{
    std::deque<Job> asked;
    for (int ticket : std::as_const(m_asked)) {
        const auto source = m_sources.constFind(ticket);
        if (source != m_sources.cend() && !m_held.contains(ticket))
            asked.push_back({ticket, *source});
    }
    m_asked.clear();
    QMutexLocker lock(&m_mutex);
    // Painted last, read first: what is on screen now goes before what was.
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        const int ticket = it->ticket;
        const bool again = std::any_of(asked.cbegin(), asked.cend(), [&](const Job &j) { return j.ticket == ticket; });
        it = again ? m_queue.erase(it) : it + 1;
    }
    for (auto it = asked.begin(); it != asked.end();)
        it = m_taken.contains(it->ticket) ? asked.erase(it) : it + 1;
    m_queue.insert(m_queue.begin(), asked.begin(), asked.end());
    if (m_queue.size() > size_t(kMaxQueued))
        m_queue.resize(kMaxQueued);
    m_work.wakeOne();
}

void CoverShelf::arrive(int ticket, const QImage &cover)
{
    {
        QMutexLocker lock(&m_mutex);
        m_taken.remove(ticket);
    }
    if (!m_sources.contains(ticket))
        return;
    QPixmap *pix = new QPixmap(cover.isNull() ? m_default : QPixmap::fromImage(cover));
    pix->setDevicePixelRatio(m_ratio);
    m_held.insert(ticket, pix);
    emit coverArrived();
}

QImage CoverShelf::decode(QIODevice &device, const QSize &box)
{
    QImageReader reader(&device);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > box.width() || size.height() > box.height()))
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

void CoverShelf::run()
{
    for (;;) {
        Job job;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_stop && m_queue.empty())
                m_work.wait(&m_mutex);
            if (m_stop)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_taken.insert(job.ticket);
            m_cancel = false;
        }
        QImage cover;
        {
            // The connection is gone before the picture is handed over.
            CoverStream stream(job.source.path, job.source.rowid, &m_cancel);
            if (stream.open(QIODevice::ReadOnly))
                cover = decode(stream, m_box);
        }
        QMutexLocker lock(&m_mutex);
        if (m_cancel) {
            m_taken.remove(job.ticket);
            continue;
        }
        QMetaObject::invokeMethod(
            this, [this, ticket = job.ticket, cover] { arrive(ticket, cover); }, Qt::QueuedConnection);
    }
}
