// What the 写作统计 window shows, worked out from the writing log's rows
// without a widget: today's figures of one novel or of all, the characters
// added per day for the chart, the goal and the streaks, and the novel's
// 正文字数 counted from its file.
#pragma once

#include "app/writing_log.h"

#include <QVector>

struct WritingFigures
{
    DayFigures today;     // in the chosen novel, or in all
    qint64 speed = 0;     // 码字速度, added per hour spent, by the rule
    qint64 firstDay = 0;  // the chart's first day
    QVector<qint64> days; // added by the rule on each day from firstDay to today
    qint64 goal = 0;      // today's goal; 0 for none
    qint64 goalDone = 0;  // added today in all novels, by the rule
    Streak streak;        // of all novels
};

// novel: a novel's file name, or empty for all novels. The chart covers the
// `days` days that end today.
WritingFigures gatherFigures(const QVector<WritingLog::Row> &rows, const QString &novel, qint64 today, int days,
                             CountRule rule, const GoalHistory &goals);

// 正文字数 of the novel file at path: every chapter's text, by both rules.
// False, with the reason, when the file cannot be read.
bool countNovel(const QString &path, CharCounts *counts, QString *why);
