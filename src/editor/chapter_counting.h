// The editor's share of the writer's day: counts the chapter by the writer's
// rule as its text changes, hands each change to the writing log, and shows
// "今日 n" (with a goal, "今日 n/goal") in a status panel of its own after
// the designed ones.
#pragma once

#include "app/writing_days.h"

#include <QObject>
#include <QPointer>

namespace boxtext {
struct Change;
}
class StatusPanels;
class WritingLog;

class ChapterCounting : public QObject
{
    Q_OBJECT
public:
    // Counts chapter `chapter` (its rowid; below 0: none, nothing is
    // recorded) of the novel file at novelPath into log; without a log, into
    // one that keeps this window's figures in memory.
    ChapterCounting(WritingLog *log, const QString &novelPath, qint64 chapter, StatusPanels &panels,
                    QObject *parent = nullptr);

    // The whole text was replaced: by the chapter's own when loaded, else by
    // an imported file's.
    void replaced(QStringView before, QStringView after, bool loaded);
    // A change of the text, and the editor's undo steps after it.
    void changed(const boxtext::Change &change, int undoSteps);

    const ChapterTally &tally() const { return m_tally; }
    // The number of the panel "今日".
    int panel() const { return m_panel; }

private:
    void record(const QVector<DayChange> &changes);
    void showToday();

    QPointer<WritingLog> m_log;
    QString m_novel;
    qint64 m_chapter;
    StatusPanels &m_panels;
    int m_panel = 0;
    ChapterTally m_tally;
};
