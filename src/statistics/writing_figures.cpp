#include "statistics/writing_figures.h"

#include "store/data_source.h"

WritingFigures gatherFigures(const QVector<WritingLog::Row> &rows, const QString &novel, qint64 today, int days,
                             CountRule rule, const GoalHistory &goals)
{
    WritingFigures f;
    f.firstDay = today - std::max(1, days) + 1;
    f.days.fill(0, int(today - f.firstDay + 1));
    QMap<qint64, qint64> allByDay;
    for (const WritingLog::Row &row : rows) {
        const qint64 added = row.figures.added.by(rule);
        allByDay[row.day] += added;
        if (!novel.isEmpty() && row.novel != novel)
            continue;
        if (row.day == today)
            f.today += row.figures;
        if (row.day >= f.firstDay && row.day <= today)
            f.days[int(row.day - f.firstDay)] += added;
    }
    f.speed = charsPerHour(f.today.added.by(rule), f.today.minutes);
    f.goal = goalOn(goals, today);
    f.goalDone = allByDay.value(today);
    f.streak = streakOf(allByDay, goals, today);
    return f;
}

bool countNovel(const QString &path, CharCounts *counts, QString *why)
{
    *counts = {};
    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("小说"));
    const QString text = QStringLiteral("章节内容");
    bool ok = data.Refresh();
    for (bool more = ok && data.MoveFirst(); ok && more && !data.Eof(); more = data.MoveNext()) {
        const QVariant value = data.value(text);
        ok = value.isValid();
        *counts += countChars(value.toString());
    }
    if (!ok)
        *why = data.lastError();
    data.close();
    return ok;
}
