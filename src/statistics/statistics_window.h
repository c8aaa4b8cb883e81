// 写作统计: the writer's day and the days before it. Today's added, net and
// imported characters, the minutes spent and 码字速度; the daily goal and how
// much of it is done, the streak of days that met it; a chart of the
// characters added per day; the novel's 正文字数; the counting rule and the
// goal, set here. Figures of this novel or of all novels.
#pragma once

#include "app/char_count.h"
#include "statistics/writing_figures.h"

#include <QPointer>
#include <QWidget>

class DayChart;
class QComboBox;
class QLabel;
class QProgressBar;
class QSpinBox;
class WritingLog;

class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    // The figures of log, for the novel file at novelPath and for all novels.
    // Without a log the window shows an empty record.
    StatisticsWindow(WritingLog *log, const QString &novelPath, QWidget *parent = nullptr);

    const QString &novelPath() const { return m_novelPath; }
    const WritingFigures &figures() const { return m_figures; }
    // Reads the log again and shows it.
    void refresh();

    QComboBox *scopeBox = nullptr;  // 本书 or 全部小说
    QComboBox *periodBox = nullptr; // the chart's days
    QComboBox *ruleBox = nullptr;   // 含标点 or 不含标点
    QSpinBox *goalBox = nullptr;
    QLabel *addedValue = nullptr;
    QLabel *netValue = nullptr;
    QLabel *importedValue = nullptr;
    QLabel *minutesValue = nullptr;
    QLabel *speedValue = nullptr;
    QLabel *goalLabel = nullptr;
    QProgressBar *goalBar = nullptr;
    QLabel *streakLabel = nullptr;
    QLabel *novelLabel = nullptr;
    QLabel *problemLabel = nullptr;
    DayChart *chart = nullptr;

protected:
    bool event(QEvent *event) override;

private:
    void showFigures();
    void ruleChosen();
    void goalSet();

    QPointer<WritingLog> m_log;
    QString m_novelPath;
    QString m_novel; // its file name, as the log knows it
    QVector<WritingLog::Row> m_rows;
    WritingFigures m_figures;
    CharCounts m_novelCount;
    QString m_novelProblem;
};
