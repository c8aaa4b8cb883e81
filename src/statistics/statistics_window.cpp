#include "statistics/statistics_window.h"

#include "app/writing_log.h"
#include "statistics/day_chart.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kPeriods[] = {30, 90, 365};
constexpr int kLargestGoal = 1000000;

QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

StatisticsWindow::StatisticsWindow(WritingLog *log, const QString &novelPath, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(log), m_novelPath(novelPath), m_novel(QFileInfo(novelPath).fileName())
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("写作统计"));
    if (!m_log)
        m_log = new WritingLog(QString(), {}, this);

    auto *top = new QHBoxLayout;
    scopeBox = new QComboBox(this);
    scopeBox->setObjectName(QStringLiteral("scopeBox"));
    scopeBox->addItems(
        {QStringLiteral("本书（%1）").arg(QFileInfo(novelPath).completeBaseName()), QStringLiteral("全部小说")});
    // Room for the novel's name and the arrow, whatever the skin's frame.
    scopeBox->setMinimumWidth(scopeBox->fontMetrics().horizontalAdvance(scopeBox->itemText(0)) + 40);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    for (int days : kPeriods)
        periodBox->addItem(QStringLiteral("最近%1天").arg(days), days);
    ruleBox = new QComboBox(this);
    ruleBox->setObjectName(QStringLiteral("ruleBox"));
    ruleBox->addItems({countRuleName(CountRule::WithPunctuation), countRuleName(CountRule::WithoutPunctuation)});
    ruleBox->setCurrentIndex(int(m_log->rule()));
    top->addWidget(new QLabel(QStringLiteral("范围"), this));
    top->addWidget(scopeBox);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("计字规则"), this));
    top->addWidget(ruleBox);
    top->addStretch();

    auto *today = new QGroupBox(QStringLiteral("今日"), this);
    auto *todayGrid = new QGridLayout(today);
    addedValue = valueLabel("addedValue", today);
    netValue = valueLabel("netValue", today);
    importedValue = valueLabel("importedValue", today);
    minutesValue = valueLabel("minutesValue", today);
    speedValue = valueLabel("speedValue", today);
    const std::pair<QString, QLabel *> cells[] = {{QStringLiteral("新增"), addedValue},
                                                  {QStringLiteral("净增"), netValue},
                                                  {QStringLiteral("导入"), importedValue},
                                                  {QStringLiteral("用时"), minutesValue},
                                                  {QStringLiteral("码字速度"), speedValue}};
    int column = 0;
    for (const auto &[caption, value] : cells) {
        todayGrid->addWidget(new QLabel(caption, today), 0, column);
        todayGrid->addWidget(value, 1, column++);
    }

    auto *goal = new QGroupBox(QStringLiteral("每日目标"), this);
    auto *goalGrid = new QGridLayout(goal);
    goalBox = new QSpinBox(goal);
    goalBox->setObjectName(QStringLiteral("goalBox"));
    goalBox->setRange(0, kLargestGoal);
    goalBox->setSingleStep(500);
    goalBox->setSuffix(QStringLiteral(" 字"));
    goalBox->setSpecialValueText(QStringLiteral("不设目标"));
    goalBox->setValue(int(std::min<qint64>(m_log->goal(), kLargestGoal)));
    goalBar = new QProgressBar(goal);
    goalBar->setObjectName(QStringLiteral("goalBar"));
    goalBar->setRange(0, 100);
    goalLabel = valueLabel("goalLabel", goal);
    streakLabel = valueLabel("streakLabel", goal);
    goalGrid->addWidget(new QLabel(QStringLiteral("每天新增"), goal), 0, 0);
    goalGrid->addWidget(goalBox, 0, 1);
    goalGrid->addWidget(goalLabel, 0, 2);
    goalGrid->addWidget(goalBar, 1, 0, 1, 3);
    goalGrid->addWidget(streakLabel, 2, 0, 1, 3);
    goalGrid->setColumnStretch(2, 1);

    auto *days = new QGroupBox(QStringLiteral("每日新增"), this);
    auto *daysLayout = new QVBoxLayout(days);
    auto *daysTop = new QHBoxLayout;
    daysTop->addWidget(periodBox);
    daysTop->addStretch();
    daysLayout->addLayout(daysTop);
    chart = new DayChart(days);
    daysLayout->addWidget(chart, 1);

    novelLabel = valueLabel("novelLabel", this);
    problemLabel = valueLabel("problemLabel", this);
    problemLabel->setWordWrap(true);
    problemLabel->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(today);
    layout->addWidget(goal);
    layout->addWidget(days, 1);
    layout->addWidget(novelLabel);
    layout->addWidget(problemLabel);
    resize(720, 600);

    // Left to right, top to bottom; the chart's days last.
    setTabOrder(scopeBox, ruleBox);
    setTabOrder(ruleBox, goalBox);
    setTabOrder(goalBox, periodBox);

    if (!countNovel(m_novelPath, &m_novelCount, &m_novelProblem) && m_novelProblem.isEmpty())
        m_novelProblem = QStringLiteral("无法读取");

    connect(scopeBox, &QComboBox::currentIndexChanged, this, &StatisticsWindow::showFigures);
    connect(periodBox, &QComboBox::currentIndexChanged, this, &StatisticsWindow::showFigures);
    connect(ruleBox, &QComboBox::currentIndexChanged, this, &StatisticsWindow::ruleChosen);
    connect(goalBox, &QSpinBox::editingFinished, this, &StatisticsWindow::goalSet);
    connect(m_log, &WritingLog::changed, this, [this] {
        // The rule or the goal changed elsewhere; the figures are read again
        // when the window is next activated.
        if (ruleBox->currentIndex() != int(m_log->rule()))
            ruleBox->setCurrentIndex(int(m_log->rule()));
    });
    refresh();
}

void StatisticsWindow::refresh()
{
    QString unread;
    const bool read = m_log->rows(0, m_log->today(), &m_rows, &unread);
    const QString unwritten = m_log->error();
    QString problem;
    if (!read)
        problem = QStringLiteral("写作记录无法读取（%1），只显示本次运行的数字。").arg(unread);
    else if (!unwritten.isEmpty())
        problem = QStringLiteral("写作记录暂时未能保存（%1），稍后会再试。").arg(unwritten);
    problemLabel->setText(problem);
    problemLabel->setVisible(!problem.isEmpty());
    showFigures();
}

void StatisticsWindow::showFigures()
{
    const CountRule rule = m_log->rule();
    const int days = periodBox->currentData().toInt();
    m_figures = gatherFigures(m_rows, scopeBox->currentIndex() == 0 ? m_novel : QString(), m_log->today(), days, rule,
                              m_log->goals());
    const WritingFigures &f = m_figures;
    addedValue->setText(QStringLiteral("%1 字").arg(f.today.added.by(rule)));
    netValue->setText(QStringLiteral("%1 字").arg(f.today.net.by(rule)));
    importedValue->setText(QStringLiteral("%1 字").arg(f.today.imported.by(rule)));
    minutesValue->setText(QStringLiteral("%1 分钟").arg(f.today.minutes));
    speedValue->setText(QStringLiteral("%1 字/小时").arg(f.speed));

    if (f.goal > 0) {
        goalLabel->setText(QStringLiteral("今日已完成 %1/%2（全部小说）").arg(f.goalDone).arg(f.goal));
        goalBar->setValue(int(std::clamp<qint64>(f.goalDone * 100 / f.goal, 0, 100)));
        streakLabel->setText(
            QStringLiteral("连续达标：当前 %1 天，最长 %2 天").arg(f.streak.current).arg(f.streak.longest));
    } else {
        goalLabel->setText(QStringLiteral("未设目标"));
        goalBar->setValue(0);
        streakLabel->setText(QStringLiteral("设定每日目标后，这里显示连续达标的天数。"));
    }
    chart->setDays(f.firstDay, f.days, scopeBox->currentIndex() == 1 ? f.goal : 0);
    novelLabel->setText(
        m_novelProblem.isEmpty()
            ? QStringLiteral("本书正文字数：%1 字（%2）").arg(m_novelCount.by(rule)).arg(countRuleName(rule))
            : QStringLiteral("本书正文字数：无法读取小说文件（%1）").arg(m_novelProblem));
}

void StatisticsWindow::ruleChosen()
{
    m_log->setRule(CountRule(ruleBox->currentIndex()));
    showFigures();
}

void StatisticsWindow::goalSet()
{
    m_log->setGoal(goalBox->value());
    showFigures();
}

bool StatisticsWindow::event(QEvent *event)
{
    // Back from the editor: what was written meanwhile is shown.
    if (event->type() == QEvent::WindowActivate)
        refresh();
    return QWidget::event(event);
}
