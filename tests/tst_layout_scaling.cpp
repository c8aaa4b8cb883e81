// Proportional re-layout: rectangles remembered once, scaled from the
// remembered ones on every resize, so that nothing drifts.
#include "test_main.h"
#include "ui/layout_scaling.h"
#include "ui/twips.h"

#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

class tst_layout_scaling : public QObject
{
    Q_OBJECT

private slots:
    void scalesLeftAndWidthByWidthTopAndHeightByHeight();
    void returningToTheRecordedSizeRestoresEveryRectangle();
    void recordsTheRectangleAsSpaceEndedNumbers();
    void basesRoundHalfToEven_data();
    void basesRoundHalfToEven();
    void unrecordedControlShrinksToNothing();
    void skipsWhatItCannotPlace();
    void zeroSizeLeavesControlsAlone();
    void lastRecordingSetsTheBasesForEveryWindow();
    void followsTheRealWindowSize();
};

namespace {

QPushButton *control(QWidget *parent, const char *name, double l, double t, double w, double h)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    placeTw(b, l, t, w, h);
    return b;
}

} // namespace

void tst_layout_scaling::scalesLeftAndWidthByWidthTopAndHeightByHeight()
{
    QWidget form;
    QPushButton *b = control(&form, "Command1", 120, 240, 1200, 600);
    RecordLayoutAt(&form, 9000, 6000);
    ScaleLayoutAt(&form, 18000, 3000);
    QCOMPARE(b->geometry(), twRect(240, 120, 2400, 300));
}

void tst_layout_scaling::returningToTheRecordedSizeRestoresEveryRectangle()
{
    QWidget form;
    QPushButton *a = control(&form, "Command1", 120, 240, 1200, 600);
    QPushButton *b = control(&form, "Command2", 7005, 4995, 735, 255);
    const QRect ra = a->geometry();
    const QRect rb = b->geometry();
    RecordLayoutAt(&form, 9000, 6000);
    ScaleLayoutAt(&form, 18000, 3000);
    ScaleLayoutAt(&form, 9000, 6000);
    QCOMPARE(a->geometry(), ra);
    QCOMPARE(b->geometry(), rb);

    // Many odd sizes in a row: each starts from the remembered rectangle.
    for (int i = 1; i <= 50; ++i)
        ScaleLayoutAt(&form, 9000 + i * 137.0, 6000 - i * 53.0);
    ScaleLayoutAt(&form, 9000, 6000);
    QCOMPARE(a->geometry(), ra);
    QCOMPARE(b->geometry(), rb);
}

void tst_layout_scaling::recordsTheRectangleAsSpaceEndedNumbers()
{
    QWidget form;
    QPushButton *b = control(&form, "Command1", 120, 240, 1215, 255);
    RecordLayoutAt(&form, 9000, 6000);
    QCOMPARE(layoutTag(b), QStringLiteral("120 240 1215 255 "));
}

void tst_layout_scaling::basesRoundHalfToEven_data()
{
    QTest::addColumn<double>("inner");
    QTest::addColumn<int>("base");
    QTest::newRow("4620.5") << 4620.5 << 4620;
    QTest::newRow("4621.5") << 4621.5 << 4622;
    QTest::newRow("4620.4") << 4620.4 << 4620;
    QTest::newRow("4620.6") << 4620.6 << 4621;
}

void tst_layout_scaling::basesRoundHalfToEven()
{
    QFETCH(double, inner);
    QFETCH(int, base);
    QWidget form;
    RecordLayoutAt(&form, inner, inner + 1);
    QCOMPARE(BaseScaleWidth, base);
    QCOMPARE(BaseScaleHeight, roundHalfEven(inner + 1));
}

void tst_layout_scaling::unrecordedControlShrinksToNothing()
{
    QWidget form;
    control(&form, "Command1", 120, 240, 1200, 600);
    RecordLayoutAt(&form, 9000, 6000);
    QPushButton *late = control(&form, "Command2", 300, 300, 900, 300);
    ScaleLayoutAt(&form, 18000, 3000);
    QCOMPARE(late->geometry(), QRect(0, 0, 0, 0));
}

void tst_layout_scaling::skipsWhatItCannotPlace()
{
    QMainWindow form;
    auto *central = new QWidget(&form);
    form.setCentralWidget(central);
    auto *menu = new QMenu(QStringLiteral("菜单"), central);
    menu->setObjectName(QStringLiteral("caidan"));
    menu->addAction(QStringLiteral("项"))->setObjectName(QStringLiteral("xiang"));
    auto *timer = new QTimer(central);
    timer->setObjectName(QStringLiteral("Timer1"));
    // A widget a layout places, and an unnamed part of another widget.
    auto *box = new QWidget(central);
    box->setObjectName(QStringLiteral("Frame1"));
    placeTw(box, 3000, 3000, 3000, 1500);
    auto *managed = new QPushButton(box);
    managed->setObjectName(QStringLiteral("Managed"));
    (new QVBoxLayout(box))->addWidget(managed);
    auto *unnamed = new QWidget(central);
    placeTw(unnamed, 60, 60, 60, 60);
    QPushButton *after = control(central, "Command9", 120, 240, 1200, 600);

    const QRect menuRect = menu->geometry();
    RecordLayoutAt(&form, 9000, 6000);
    QVERIFY(layoutTag(menu).isEmpty());
    QVERIFY(layoutTag(managed).isEmpty());
    const QRect managedRect = managed->geometry();
    ScaleLayoutAt(&form, 18000, 3000);
    QCOMPARE(menu->geometry(), menuRect);
    QCOMPARE(unnamed->geometry(), twRect(60, 60, 60, 60));
    QCOMPARE(managed->geometry(), managedRect);
    QCOMPARE(box->geometry(), twRect(6000, 1500, 6000, 750));
    QCOMPARE(after->geometry(), twRect(240, 120, 2400, 300));
}

void tst_layout_scaling::zeroSizeLeavesControlsAlone()
{
    QWidget form;
    QPushButton *b = control(&form, "Command1", 120, 240, 1200, 600);
    RecordLayoutAt(&form, 9000, 6000);
    ScaleLayoutAt(&form, 0, 0);
    QCOMPARE(b->geometry(), twRect(120, 240, 1200, 600));
}

void tst_layout_scaling::lastRecordingSetsTheBasesForEveryWindow()
{
    QWidget first;
    QPushButton *b = control(&first, "Command1", 120, 240, 1200, 600);
    RecordLayoutAt(&first, 9000, 6000);
    QWidget second;
    RecordLayoutAt(&second, 4500, 3000);
    ScaleLayoutAt(&first, 9000, 6000);
    QCOMPARE(b->geometry(), twRect(240, 480, 2400, 1200));
}

void tst_layout_scaling::followsTheRealWindowSize()
{
    QWidget form;
    form.resize(600, 400);
    QPushButton *b = control(&form, "Command1", 1500, 1500, 3000, 1500);
    RecordLayout(&form);
    QCOMPARE(BaseScaleWidth, 9000);
    QCOMPARE(BaseScaleHeight, 6000);
    form.resize(1200, 200);
    ScaleLayout(&form);
    QCOMPARE(b->geometry(), QRect(200, 50, 400, 50));
}

YZ_TEST_MAIN(tst_layout_scaling)
#include "tst_layout_scaling.moc"
