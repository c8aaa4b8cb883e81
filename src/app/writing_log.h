// The writer's day as the program keeps it while it runs: every change of a
// chapter's text in the editor adds to today's figures in memory at once, and
// the record file is written on a thread of its own every few seconds, never
// in a keystroke. A kill or a power loss loses at most the last seconds. The
// counting rule and the daily goal are kept in the record file too.
#pragma once

#include "app/writing_days.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class RecordWriter;
class QTimer;

class WritingLog : public QObject
{
    Q_OBJECT
public:
    // How long a change waits in memory before it is handed to the writer.
    static constexpr int kWriteEveryMs = 4000;
    // The record's file name in the data directory.
    static QString recordFileName();

    // Keeps the record in the file at recordPath, read there at once for the
    // writer's choices and today's figures; with no path, in memory only.
    // clock gives the time of a change and today: the system's when empty.
    explicit WritingLog(const QString &recordPath, std::function<QDateTime()> clock = {}, QObject *parent = nullptr);
    // Writes what is left and waits for it.
    ~WritingLog() override;

    // The time now in the terms a change is kept in, read at every key: the
    // local minute and day are worked out once a minute.
    struct Moment
    {
        qint64 msecs;  // since the epoch
        qint64 minute; // local, since the epoch
        qint64 day;    // local, Julian
    };
    Moment now() const;
    qint64 today() const { return now().day; }

    // A change of chapter `chapter` of the novel file `novel` just happened,
    // making changes to the figures of its day (or of the days it undoes).
    void record(const QString &novel, qint64 chapter, const QVector<DayChange> &changes);

    CountRule rule() const { return m_rule; }
    void setRule(CountRule rule);
    // Today's goal in characters by the rule; 0 for none.
    qint64 goal() const { return goalOn(m_goals, today()); }
    // The goal from today on.
    void setGoal(qint64 goal);
    const GoalHistory &goals() const { return m_goals; }
    // Characters added today in all novels, by both rules.
    CharCounts todayAdded() const;

    // Hands everything over to the writer now, without waiting.
    void handOver();
    // Writes everything recorded so far and waits; false, with the reason in
    // error(), when the file could not take it (it is tried again later).
    bool writeNow();
    QString error() const;

    // One day of one chapter, as kept.
    struct Row
    {
        qint64 day = 0;
        QString novel;
        qint64 chapter = 0;
        DayFigures figures;
    };
    // Every row of the days from..to: what is in the file and what is not
    // there yet. False, with the reason in why, when the file cannot be
    // read; the rows not written yet are given all the same.
    bool rows(qint64 from, qint64 to, QVector<Row> *rows, QString *why = nullptr);

signals:
    // Today's figures, the rule or the goal changed.
    void changed();

private:
    struct Key
    {
        qint64 day;
        QString novel;
        qint64 chapter;
        friend bool operator==(const Key &a, const Key &b)
        {
            return a.day == b.day && a.chapter == b.chapter && a.novel == b.novel;
        }
        friend size_t qHash(const Key &k, size_t seed = 0) { return qHashMulti(seed, k.day, k.novel, k.chapter); }
    };
    void add(const Key &key, const DayFigures &figures);

    QString m_path;
    std::function<QDateTime()> m_clock;
    // The local minute now, from m_minuteFrom (since the epoch) for 60 s.
    mutable qint64 m_minuteFrom = -1;
    mutable Moment m_moment{};
    RecordWriter *m_writer = nullptr;
    QTimer *m_timer = nullptr;
    ActiveMinutes m_minutes;
    // Not handed to the writer yet.
    QHash<Key, DayFigures> m_pending;
    QHash<QString, QString> m_pendingSettings;
    QMap<qint64, qint64> m_pendingGoals;

    CountRule m_rule = CountRule::WithPunctuation;
    GoalHistory m_goals;
    qint64 m_addedDay = 0;
    CharCounts m_added; // on m_addedDay, in all novels
};
