// The 写作统计 window on real widgets, opened from the chapter manager's menus
// and Ctrl+T: today's figures of the novel or of all novels, the goal and its
// streak, the chart of the last 30, 90 or 365 days, the novel's 正文字数, and
// the rule and the goal set there (kept as tst_writing_day checks).
#include "app/writing_log.h"
#include "chapters/frm_write.h"
#include "manager_window.h"
#include "statistics/day_chart.h"
#include "statistics/statistics_window.h"
#include "test_main.h"
#include "writing_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QtTest>

class tst_statistics_window : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ctrlTShowsTheDayTheGoalAndTheDaysByTheRuleSetThere();

private:
    // A change of `added` characters (含标点; 不含标点 one in five fewer) in
    // chapter 1 of novel, at the clock's time.
    void write(const QString &novel, qint64 added);
    static QList<StatisticsWindow *> shown();

    WritingFixture *m_fx = nullptr;
    frm_write *m_manager = nullptr;
    QString m_novel;
};

void tst_statistics_window::init()
{
    m_fx = new WritingFixture;
    NovelSpec recipe;
    recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), QStringLiteral("天地玄黄，宇宙洪荒。")},
                       {QStringLiteral("第一卷"), QStringLiteral("第二章"), QStringLiteral("日月盈昃\r\nABC")}};
    m_manager = openManager(*m_fx, recipe, &m_novel);
    QVERIFY(QTest::qWaitForWindowExposed(m_manager));
}

void tst_statistics_window::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<StatisticsWindow *>(w))
            delete w;
    }
    delete m_manager;
    delete m_fx;
}

void tst_statistics_window::write(const QString &novel, qint64 added)
{
    DayFigures f;
    f.added = {added, added - added / 5};
    f.net = f.added;
    m_fx->log().record(novel, 1, {{m_fx->log().today(), f}});
}

QList<StatisticsWindow *> tst_statistics_window::shown()
{
    QList<StatisticsWindow *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *s = qobject_cast<StatisticsWindow *>(w); s && s->isVisible())
            windows << s;
    }
    return windows;
}

void tst_statistics_window::ctrlTShowsTheDayTheGoalAndTheDaysByTheRuleSetThere()
{
    const QString novel = QFileInfo(m_novel).fileName();
    // Two days ago and yesterday the goal was met; today, three changes a
    // minute apart in this novel and one in another.
    m_fx->now = m_fx->now.addDays(-2);
    m_fx->log().setGoal(1000);
    write(novel, 1000);
    m_fx->now = m_fx->now.addDays(1);
    write(novel, 5000);
    m_fx->now = m_fx->now.addDays(1);
    write(novel, 600);
    m_fx->now = m_fx->now.addSecs(60);
    write(novel, 400);
    m_fx->now = m_fx->now.addSecs(60);
    write(novel, 200);
    write(QStringLiteral("另一本.mdb"), 300);

    // Its place in the menus is checked with the manager's other items.
    QCOMPARE(m_manager->xiezuotongji->text(), QStringLiteral("写作统计(&T)"));
    // Ctrl+T in the window; a second time brings the same window forward.
    QApplication::setActiveWindow(m_manager);
    QTest::keyClick(m_manager, Qt::Key_T, Qt::ControlModifier);
    StatisticsWindow *window = nullptr;
    QTRY_VERIFY((window = qobject_cast<StatisticsWindow *>(QApplication::activeWindow())));
    QCOMPARE(window->windowTitle(), QStringLiteral("写作统计"));
    QCOMPARE(window->novelPath(), m_novel);
    QCOMPARE(m_fx->nav.fromManager.last(), ManagerWindow::WritingStatistics);
    m_manager->activateWindow();
    QTest::keyClick(m_manager, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(shown(), QList<StatisticsWindow *>{window});
    QCOMPARE(window->addedValue->text(), QStringLiteral("1200 字"));
    QCOMPARE(window->netValue->text(), QStringLiteral("1200 字"));
    QCOMPARE(window->importedValue->text(), QStringLiteral("0 字"));
    QCOMPARE(window->minutesValue->text(), QStringLiteral("3 分钟"));
    QCOMPARE(window->speedValue->text(), QStringLiteral("24000 字/小时"));
    QCOMPARE(window->goalLabel->text(), QStringLiteral("今日已完成 1500/1000（全部小说）"));
    QCOMPARE(window->goalBar->value(), 100);
    QCOMPARE(window->streakLabel->text(), QStringLiteral("连续达标：当前 3 天，最长 3 天"));
    QCOMPARE(window->novelLabel->text(), QStringLiteral("本书正文字数：17 字（含标点）"));
    QCOMPARE(window->chart->values().size(), 30);
    QCOMPARE(window->chart->values().mid(27), (QVector<qint64>{1000, 5000, 1200}));
    QCOMPARE(window->chart->firstDay(), m_fx->log().today() - 29);

    window->scopeBox->setCurrentIndex(1);
    QCOMPARE(window->addedValue->text(), QStringLiteral("1500 字"));
    QCOMPARE(window->chart->values().last(), 1500);
    window->periodBox->setCurrentIndex(2);
    QCOMPARE(window->chart->values().size(), 365);
    // The chart draws whatever the days hold.
    QVERIFY(!window->chart->grab().isNull());
    // Its bars span the plot, the first day at the left, today at the right.
    const int middle = window->chart->height() / 2;
    int first = 0;
    while (first < window->chart->width() && window->chart->barAt(QPoint(first, middle)) < 0)
        ++first;
    int last = window->chart->width() - 1;
    while (last > first && window->chart->barAt(QPoint(last, middle)) < 0)
        --last;
    QCOMPARE(window->chart->barAt(QPoint(first, middle)), 0);
    QCOMPARE(window->chart->barAt(QPoint(last, middle)), 364);

    // Back from writing, the window shows what was written meanwhile.
    m_manager->activateWindow();
    QTRY_VERIFY(m_manager->isActiveWindow());
    write(novel, 100);
    window->activateWindow();
    QTRY_COMPARE(window->addedValue->text(), QStringLiteral("1600 字"));

    // The rule chosen here counts every day anew; a goal set here holds from
    // today, the earlier days keep theirs.
    QCOMPARE(window->ruleBox->currentText(), QStringLiteral("含标点"));
    m_fx->log().setGoal(0);
    window->ruleBox->setCurrentIndex(1);
    QCOMPARE(m_fx->log().rule(), CountRule::WithoutPunctuation);
    QCOMPARE(window->goalLabel->text(), QStringLiteral("未设目标"));
    QCOMPARE(window->addedValue->text(), QStringLiteral("1280 字"));
    QCOMPARE(window->novelLabel->text(), QStringLiteral("本书正文字数：15 字（不含标点）"));
    window->goalBox->setValue(300);
    emit window->goalBox->editingFinished();
    QCOMPARE(m_fx->log().goal(), 300);
    QCOMPARE(window->goalLabel->text(), QStringLiteral("今日已完成 1280/300（全部小说）"));
    QCOMPARE(window->streakLabel->text(), QStringLiteral("连续达标：当前 2 天，最长 2 天"));
}

YZ_TEST_MAIN(tst_statistics_window)
#include "tst_statistics_window.moc"
