#include "history/snapshot_scan.h"

#include "store/snapshot.h"

#include <QThread>

QString skippedNote(const QDateTime &taken, const QString &why)
{
    return QStringLiteral("%1 的快照无法读取，已跳过（%2）")
        .arg(taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), why);
}

SnapshotScan::SnapshotScan(QObject *parent) : QObject(parent)
{
}

SnapshotScan::~SnapshotScan()
{
    stop();
}

bool SnapshotScan::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void SnapshotScan::stop()
{
    if (!m_thread)
        return;
    m_cancel = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

void SnapshotScan::start(std::function<void()> job)
{
    stop();
    m_cancel = false;
    ++m_scan;
    m_thread = QThread::create(std::move(job));
    m_thread->setObjectName(QStringLiteral("history"));
    m_thread->start();
}

void SnapshotScan::post(std::function<void()> fn)
{
    // The owner joins the thread before it goes, and what is still posted to
    // it then goes with it.
    QMetaObject::invokeMethod(
        this,
        [this, scan = m_scan, fn = std::move(fn)] {
            if (scan == m_scan)
                fn();
        },
        Qt::QueuedConnection);
}

void SnapshotScan::readHistory(const QString &novelPath, qint64 id, const QString &currentText)
{
    start([this, novelPath, id, currentText] {
        HistoryBuilder builder(currentText);
        const auto send = [&](const QVector<int> &indexes) {
            if (indexes.isEmpty())
                return;
            QVector<HistoryRow> rows;
            for (int i : indexes)
                rows.append(builder.rows().at(i));
            post([this, indexes, rows] { emit historyRows(indexes, rows); });
        };
        send({0});
        const QVector<SnapshotFile> snapshots = snapshotsOf(novelPath);
        SnapshotReader reader(&m_cancel);
        for (const SnapshotFile &s : snapshots) {
            StoredChapter chapter;
            const SnapshotReader::Outcome outcome = reader.readChapter(s.path, id, &chapter);
            if (outcome == SnapshotReader::Outcome::Cancelled || m_cancel)
                return;
            if (outcome == SnapshotReader::Outcome::Missing) {
                // 编号 is never given twice: no older snapshot holds it either.
                send(builder.absent());
                break;
            }
            send(outcome == SnapshotReader::Outcome::Found ? builder.add(s.taken, s.path, chapter.text)
                                                           : builder.skip(s.taken, s.path, reader.why()));
        }
        const int count = int(snapshots.size());
        post([this, count] { emit finished(count, {}); });
    });
}

void SnapshotScan::findLost(const QString &novelPath, const QVector<StoredChapterEntry> &present)
{
    start([this, novelPath, present] {
        LostChapterFinder finder(present);
        QStringList skipped;
        const QVector<SnapshotFile> snapshots = snapshotsOf(novelPath);
        SnapshotReader reader(&m_cancel);
        for (const SnapshotFile &s : snapshots) {
            QVector<StoredChapterEntry> chapters;
            const SnapshotReader::Outcome outcome = reader.listChapters(s.path, &chapters);
            if (outcome == SnapshotReader::Outcome::Cancelled || m_cancel)
                return;
            if (outcome != SnapshotReader::Outcome::Found) {
                skipped << skippedNote(s.taken, reader.why());
                continue;
            }
            const QVector<LostChapter> found = finder.add(s.taken, s.path, chapters);
            if (!found.isEmpty())
                post([this, found] { emit lostChapters(found); });
        }
        const int count = int(snapshots.size());
        post([this, count, skipped] { emit finished(count, skipped); });
    });
}
