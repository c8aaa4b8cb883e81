// The writer's day in figures: what a change of a chapter's text adds to the
// day's record (added, net, imported), the minutes spent writing, the streak
// of days that met the goal and the speed. Plain values only, so that the
// rules are tried without a window; days are QDate::toJulianDay numbers.
#pragma once

#include "app/char_count.h"

#include <QDateTime>
#include <QMap>
#include <QVector>
#include <vector>

// What one day holds for one chapter, or a change of it.
//  added    characters written: typed, committed by the input method, pasted;
//           an undo takes back what the change it undoes had added
//  net      how much the text grew, whatever made it grow or shrink
//  imported characters of text files put in by 导入, which is not writing
//  minutes  minutes spent writing (see ActiveMinutes)
struct DayFigures
{
    CharCounts added;
    CharCounts net;
    CharCounts imported;
    int minutes = 0;

    DayFigures &operator+=(const DayFigures &o);
    bool isZero() const { return added.isZero() && net.isZero() && imported.isZero() && minutes == 0; }
};

// A change of the figures of one day.
struct DayChange
{
    qint64 day = 0;
    DayFigures figures;
};

// One chapter's text as one editor holds it, counted by both rules, and what
// each change of it means for the day's record. The count is kept up to date
// from the stretches a change removes and puts in, never by counting the
// whole text again.
class ChapterTally
{
public:
    // The text as it was put into the editor: nothing written yet.
    void load(QStringView text);
    // The stretch removed was replaced by inserted (either may be empty).
    // undoSteps is how many steps the editor's undo history holds after the
    // change: fewer than before means the change was an undo, which takes
    // back what the undone steps had added, on the days they added it.
    QVector<DayChange> change(QStringView removed, QStringView inserted, int undoSteps, qint64 day);
    // The whole text before was replaced by a text file's; the undo history
    // starts again.
    QVector<DayChange> import(QStringView before, QStringView after, qint64 day);

    // 正文字数 of the chapter as it is now.
    const CharCounts &total() const { return m_total; }

private:
    // What the undo step `step` (counted from 0) added on `day`.
    struct Added
    {
        int step;
        qint64 day;
        CharCounts added;
    };
    void forgetUndone(int steps);

    CharCounts m_total;
    std::vector<Added> m_added; // in step order
    int m_steps = 0;            // the undo history's steps after the last change
};

// Local time in whole minutes since the epoch, and the day of such a minute.
qint64 localMinute(const QDateTime &at);
inline qint64 dayOfMinute(qint64 minute)
{
    // The epoch's Julian day is 2440588.
    return 2440588 + (minute >= 0 ? minute / 1440 : (minute - 1439) / 1440);
}

// Minutes spent writing: every minute in which the text changed, and the
// minutes of a pause between two changes when it lasts at most two minutes
// (thinking is writing); a longer pause counts nothing.
class ActiveMinutes
{
public:
    static constexpr int kLongestPauseMs = 120 * 1000;
    // A change at utcMsecs, in the local minute minute: the minutes it makes
    // active, each on its own day.
    QVector<DayChange> touch(qint64 utcMsecs, qint64 minute);
    QVector<DayChange> touch(const QDateTime &at) { return touch(at.toMSecsSinceEpoch(), localMinute(at)); }

private:
    qint64 m_lastMinute = -1;
    qint64 m_lastMsecs = 0;
};

// The goal in force on each day: the goal set on a day holds from that day
// on. 0: no goal.
using GoalHistory = QMap<qint64, qint64>;
qint64 goalOn(const GoalHistory &goals, qint64 day);

// Runs of consecutive days on which the characters added met that day's goal.
struct Streak
{
    int current = 0; // ending today, or yesterday while today is not met yet
    int longest = 0;
};
Streak streakOf(const QMap<qint64, qint64> &addedByDay, const GoalHistory &goals, qint64 today);

// 码字速度: characters added per hour spent writing; 0 without minutes.
qint64 charsPerHour(qint64 added, int minutes);
