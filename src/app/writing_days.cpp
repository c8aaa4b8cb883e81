#include "app/writing_days.h"

#include <algorithm>

DayFigures &DayFigures::operator+=(const DayFigures &o)
{
    added += o.added;
    net += o.net;
    imported += o.imported;
    minutes += o.minutes;
    return *this;
}

namespace {

// Adds f to the change of day in changes, keeping one entry per day.
void addTo(QVector<DayChange> &changes, qint64 day, const DayFigures &f)
{
    for (DayChange &c : changes) {
        if (c.day == day) {
            c.figures += f;
            return;
        }
    }
    changes.append({day, f});
}

// The stretches without what they share at their ends: a change reported
// wider than what really changed (a whole text put back, the same text
// pasted over itself) counts only its difference.
void trimCommon(QStringView &a, QStringView &b)
{
    qsizetype head = 0;
    const qsizetype shorter = std::min(a.size(), b.size());
    while (head < shorter && a[head] == b[head])
        ++head;
    // Never between the halves of a surrogate pair.
    if (head > 0 && head < shorter && QChar::isLowSurrogate(a[head].unicode()))
        --head;
    a = a.mid(head);
    b = b.mid(head);
    qsizetype tail = 0;
    const qsizetype rest = std::min(a.size(), b.size());
    while (tail < rest && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    if (tail > 0 && tail < rest && QChar::isLowSurrogate(a[a.size() - tail].unicode()))
        --tail;
    a.chop(tail);
    b.chop(tail);
}

} // namespace

void ChapterTally::load(QStringView text)
{
    m_total = countChars(text);
    m_added.clear();
    m_steps = 0;
}

void ChapterTally::forgetUndone(int steps)
{
    while (!m_added.empty() && m_added.back().step >= steps)
        m_added.pop_back();
}

QVector<DayChange> ChapterTally::change(QStringView removed, QStringView inserted, int undoSteps, qint64 day)
{
    trimCommon(removed, inserted);
    const CharCounts gone = countChars(removed);
    const CharCounts put = countChars(inserted);
    m_total += put - gone;

    QVector<DayChange> changes;
    DayFigures here;
    here.net = put - gone;
    if (undoSteps < m_steps) {
        // An undo: what the steps undone had added is taken back, on the
        // days they added it.
        for (auto it = m_added.rbegin(); it != m_added.rend() && it->step >= undoSteps; ++it) {
            if (it->step < m_steps) {
                DayFigures back;
                back.added -= it->added;
                addTo(changes, it->day, back);
            }
        }
    } else {
        // An edit, or a redo, which puts back what an edit put in: what it
        // puts in is added. Steps undone before it are gone from the history.
        forgetUndone(m_steps);
        here.added = put;
        const int step = std::max(0, undoSteps - 1);
        if (!put.isZero()) {
            if (!m_added.empty() && m_added.back().step == step && m_added.back().day == day)
                m_added.back().added += put;
            else
                m_added.push_back({step, day, put});
        }
    }
    m_steps = undoSteps;
    addTo(changes, day, here);
    return changes;
}

QVector<DayChange> ChapterTally::import(QStringView before, QStringView after, qint64 day)
{
    trimCommon(before, after);
    const CharCounts gone = countChars(before);
    const CharCounts put = countChars(after);
    m_total += put - gone;
    m_added.clear();
    m_steps = 0;
    DayFigures f;
    f.net = put - gone;
    f.imported = put;
    return {{day, f}};
}

qint64 localMinute(const QDateTime &at)
{
    const qint64 local = at.toSecsSinceEpoch() + at.offsetFromUtc();
    return local >= 0 ? local / 60 : (local - 59) / 60;
}

QVector<DayChange> ActiveMinutes::touch(qint64 utcMsecs, qint64 minute)
{
    QVector<DayChange> changes;
    const bool shortPause = m_lastMinute >= 0 && utcMsecs - m_lastMsecs <= kLongestPauseMs;
    if (minute != m_lastMinute) {
        for (qint64 m = shortPause && minute > m_lastMinute ? m_lastMinute + 1 : minute; m <= minute; ++m) {
            DayFigures f;
            f.minutes = 1;
            addTo(changes, dayOfMinute(m), f);
        }
        m_lastMinute = minute;
    }
    m_lastMsecs = utcMsecs;
    return changes;
}

qint64 goalOn(const GoalHistory &goals, qint64 day)
{
    auto it = goals.upperBound(day);
    if (it == goals.begin())
        return 0;
    return std::prev(it).value();
}

Streak streakOf(const QMap<qint64, qint64> &addedByDay, const GoalHistory &goals, qint64 today)
{
    const auto met = [&](qint64 day) {
        const qint64 goal = goalOn(goals, day);
        return goal > 0 && addedByDay.value(day) >= goal;
    };
    Streak s;
    int run = 0;
    qint64 previous = 0;
    for (auto it = addedByDay.begin(); it != addedByDay.end() && it.key() <= today; ++it) {
        if (!met(it.key())) {
            run = 0;
            continue;
        }
        run = (run > 0 && it.key() == previous + 1) ? run + 1 : 1;
        previous = it.key();
        s.longest = std::max(s.longest, run);
    }
    for (qint64 day = met(today) ? today : today - 1; met(day); --day)
        ++s.current;
    return s;
}

qint64 charsPerHour(qint64 added, int minutes)
{
    return minutes > 0 ? (added * 60 + minutes / 2) / minutes : 0;
}
