#include "app/writing_log.h"

#include "app/worker_thread.h"
#include "store/writing_record.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTimer>
#include <QWaitCondition>

namespace {

const QString kRuleSetting = QStringLiteral("计字规则");

std::array<qint64, RecordRow::kFigures> toFigures(const DayFigures &f)
{
    return {f.added.all, f.added.bare, f.net.all, f.net.bare, f.imported.all, f.imported.bare, f.minutes};
}

DayFigures fromFigures(const std::array<qint64, RecordRow::kFigures> &v)
{
    DayFigures f;
    f.added = {v[0], v[1]};
    f.net = {v[2], v[3]};
    f.imported = {v[4], v[5]};
    f.minutes = int(v[6]);
    return f;
}

// Adds newer to into: rows of one day, novel and chapter become one, and
// newer settings replace older ones.
void merge(RecordBatch &into, const RecordBatch &newer)
{
    for (const RecordRow &row : newer.rows) {
        auto same = std::find_if(into.rows.begin(), into.rows.end(), [&](const RecordRow &r) {
            return r.date == row.date && r.chapter == row.chapter && r.novel == row.novel;
        });
        if (same == into.rows.end()) {
            into.rows.append(row);
            continue;
        }
        for (int i = 0; i < RecordRow::kFigures; ++i)
            same->figures[size_t(i)] += row.figures[size_t(i)];
    }
    for (auto it = newer.settings.begin(); it != newer.settings.end(); ++it)
        into.settings.insert(it.key(), it.value());
    for (auto it = newer.goals.begin(); it != newer.goals.end(); ++it)
        into.goals.insert(it.key(), it.value());
}

} // namespace

// Writes the record on a thread of its own, with a connection of its own
// made and closed there. A batch that could not be written is kept and
// written with the next one.
class RecordWriter
{
public:
    explicit RecordWriter(const QString &path) : m_path(path)
    {
        m_worker.start(QStringLiteral("WritingRecord"), [this] { run(); });
    }
    // Writes what was handed over, then ends the thread.
    ~RecordWriter()
    {
        m_worker.stop(m_mutex, m_work, [this] { m_stop = true; });
    }

    // Hands a batch over; an empty one has whatever was kept tried again.
    quint64 submit(const RecordBatch &batch)
    {
        QMutexLocker lock(&m_mutex);
        merge(m_waiting, batch);
        m_work.wakeOne();
        return ++m_submitted;
    }
    // Waits for the batch of that number; true when it is in the file.
    bool wait(quint64 number)
    {
        QMutexLocker lock(&m_mutex);
        while (m_finished < number)
            m_idle.wait(&m_mutex);
        return m_waiting.isEmpty() && m_error.isEmpty();
    }
    QString error() const
    {
        QMutexLocker lock(&m_mutex);
        return m_error;
    }
    // What was handed over and is not in the file.
    RecordBatch unwritten() const
    {
        QMutexLocker lock(&m_mutex);
        RecordBatch all = m_writing;
        merge(all, m_waiting);
        return all;
    }

private:
    void run()
    {
        WritingRecord record(m_path);
        QMutexLocker lock(&m_mutex);
        for (;;) {
            while (!m_stop && m_finished == m_submitted)
                m_work.wait(&m_mutex);
            if (m_finished == m_submitted)
                break;
            const quint64 number = m_submitted;
            m_writing = std::exchange(m_waiting, RecordBatch());
            lock.unlock();
            const bool ok = m_writing.isEmpty() || record.write(m_writing);
            lock.relock();
            if (ok) {
                m_error.clear();
            } else {
                m_error = record.lastError();
                // Kept for the next try; what came meanwhile is newer.
                merge(m_writing, m_waiting);
                m_waiting = m_writing;
                // A record that fails stays closed until the next try, which
                // finds it anew: the disk may have room again.
                record.close();
            }
            m_writing = RecordBatch();
            m_finished = number;
            m_idle.wakeAll();
            if (m_stop && m_finished == m_submitted)
                break;
        }
        lock.unlock();
        record.close();
        lock.relock();
        m_finished = m_submitted;
        m_idle.wakeAll();
    }

    const QString m_path;
    WorkerThread m_worker;
    mutable QMutex m_mutex;
    QWaitCondition m_work;
    QWaitCondition m_idle;
    RecordBatch m_waiting;
    RecordBatch m_writing;
    quint64 m_submitted = 0;
    quint64 m_finished = 0;
    bool m_stop = false;
    QString m_error;
};

QString WritingLog::recordFileName()
{
    return QStringLiteral("写作统计.db");
}

WritingLog::WritingLog(const QString &recordPath, std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent), m_path(recordPath), m_clock(std::move(clock))
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(kWriteEveryMs);
    connect(m_timer, &QTimer::timeout, this, &WritingLog::handOver);
    m_addedDay = today();
    if (m_path.isEmpty())
        return;
    // What the writer chose before, and what today already holds: read once,
    // before anything is typed.
    {
        WritingRecord record(m_path);
        QHash<QString, QString> settings;
        QMap<QDate, qint64> goals;
        if (record.readSettings(&settings, &goals)) {
            m_rule = countRuleNamed(settings.value(kRuleSetting));
            for (auto it = goals.begin(); it != goals.end(); ++it)
                m_goals.insert(it.key().toJulianDay(), it.value());
        }
        QVector<RecordRow> rows;
        const QDate day = QDate::fromJulianDay(m_addedDay);
        if (record.readRows(day, day, &rows)) {
            for (const RecordRow &row : std::as_const(rows))
                m_added += fromFigures(row.figures).added;
        }
    }
    m_writer = new RecordWriter(m_path);
}

WritingLog::~WritingLog()
{
    handOver();
    delete m_writer;
}

WritingLog::Moment WritingLog::now() const
{
    if (m_clock) {
        const QDateTime at = m_clock();
        const qint64 minute = localMinute(at);
        return {at.toMSecsSinceEpoch(), minute, dayOfMinute(minute)};
    }
    // The system's local time takes microseconds to work out: once a minute.
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    if (m_minuteFrom < 0 || msecs < m_minuteFrom || msecs >= m_minuteFrom + 60000) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(msecs);
        const qint64 minute = localMinute(at);
        const qint64 local = msecs + qint64(at.offsetFromUtc()) * 1000;
        m_minuteFrom = msecs - (local - minute * 60000);
        m_moment = {msecs, minute, dayOfMinute(minute)};
    }
    m_moment.msecs = msecs;
    return m_moment;
}

void WritingLog::record(const QString &novel, qint64 chapter, const QVector<DayChange> &changes)
{
    const Moment at = now();
    const qint64 day = at.day;
    for (const DayChange &c : changes)
        add({c.day, novel, chapter}, c.figures);
    for (const DayChange &c : m_minutes.touch(at.msecs, at.minute))
        add({c.day, novel, chapter}, c.figures);
    if (m_addedDay != day) {
        // The first change of a new day: nothing of the day was kept before.
        m_addedDay = day;
        m_added = {};
    }
    for (const DayChange &c : changes) {
        if (c.day == day)
            m_added += c.figures.added;
    }
    if (!m_timer->isActive())
        m_timer->start();
    emit changed();
}

void WritingLog::add(const Key &key, const DayFigures &figures)
{
    if (!figures.isZero())
        m_pending[key] += figures;
}

CharCounts WritingLog::todayAdded() const
{
    return m_addedDay == today() ? m_added : CharCounts();
}

void WritingLog::setRule(CountRule rule)
{
    if (rule == m_rule)
        return;
    m_rule = rule;
    m_pendingSettings.insert(kRuleSetting, countRuleName(rule));
    handOver();
    emit changed();
}

void WritingLog::setGoal(qint64 goal)
{
    goal = std::max<qint64>(0, goal);
    if (goal == this->goal())
        return;
    m_goals.insert(today(), goal);
    m_pendingGoals.insert(today(), goal);
    handOver();
    emit changed();
}

void WritingLog::handOver()
{
    m_timer->stop();
    if (!m_writer || (m_pending.isEmpty() && m_pendingSettings.isEmpty() && m_pendingGoals.isEmpty()))
        return;
    RecordBatch batch;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        RecordRow row;
        row.date = QDate::fromJulianDay(it.key().day);
        row.novel = it.key().novel;
        row.chapter = it.key().chapter;
        row.figures = toFigures(it.value());
        batch.rows.append(row);
    }
    batch.settings = std::exchange(m_pendingSettings, {});
    for (auto it = m_pendingGoals.cbegin(); it != m_pendingGoals.cend(); ++it)
        batch.goals.insert(QDate::fromJulianDay(it.key()), it.value());
    m_pendingGoals.clear();
    m_pending.clear();
    m_writer->submit(batch);
}

bool WritingLog::writeNow()
{
    if (!m_writer)
        return m_path.isEmpty();
    handOver();
    return m_writer->wait(m_writer->submit({}));
}

QString WritingLog::error() const
{
    return m_writer ? m_writer->error() : QString();
}

bool WritingLog::rows(qint64 from, qint64 to, QVector<Row> *rows, QString *why)
{
    rows->clear();
    QHash<Key, DayFigures> all;
    bool ok = true;
    if (m_writer) {
        writeNow();
        WritingRecord record(m_path);
        QVector<RecordRow> kept;
        ok = record.readRows(QDate::fromJulianDay(from), QDate::fromJulianDay(to), &kept);
        if (!ok && why)
            *why = record.lastError();
        if (ok) {
            for (const RecordRow &r : std::as_const(kept))
                all[{r.date.toJulianDay(), r.novel, r.chapter}] += fromFigures(r.figures);
        }
        for (const RecordRow &r : m_writer->unwritten().rows) {
            if (r.date.toJulianDay() >= from && r.date.toJulianDay() <= to)
                all[{r.date.toJulianDay(), r.novel, r.chapter}] += fromFigures(r.figures);
        }
    }
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.key().day >= from && it.key().day <= to)
            all[it.key()] += it.value();
    }
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        rows->append({it.key().day, it.key().novel, it.key().chapter, it.value()});
    std::sort(rows->begin(), rows->end(), [](const Row &a, const Row &b) { return a.day < b.day; });
    return ok;
}
