// The writer's day as the editor records it: what typing, the input method,
// pasting, importing, deleting and undo add to it, the 今日 panel with and
// without a goal, the record file that keeps it across runs and survives a
// kill, and a record that cannot be written.
#include "app/writing_log.h"
#include "editor/frm_edit.h"
#include "store/platform.h"
#include "writing_fixture.h"
#include "open_chapter.h"
#include "store/ansi_codec.h"
#include "store/writing_record.h"

#include <QClipboard>
#include <QDir>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QtTest>
#include <cstdio>

namespace {

const char *const kChildSwitch = "--record-into";
// How long the child records, and the most a kill may lose.
constexpr int kChildRunsMs = 13000;
constexpr int kMostLostMs = 10000;

// The child: records one character every few milliseconds and writes, after
// each, the time and how many it has recorded.
int recordInto(const QString &path)
{
    WritingLog log(path);
    const qint64 until = QDateTime::currentMSecsSinceEpoch() + kChildRunsMs;
    DayFigures one;
    one.added = {1, 1};
    for (int n = 1; QDateTime::currentMSecsSinceEpoch() < until; ++n) {
        log.record(QStringLiteral("夜航船.mdb"), 1, {{log.today(), one}});
        std::printf("%lld %d\n", QDateTime::currentMSecsSinceEpoch(), n);
        std::fflush(stdout);
        QTest::qWait(20);
    }
    return 0;
}

// The figures kept in the record file at path, summed over its rows.
DayFigures inFile(const QString &path)
{
    WritingRecord record(path);
    QVector<RecordRow> rows;
    record.readRows(QDate(2000, 1, 1), QDate(2100, 1, 1), &rows);
    DayFigures sum;
    for (const RecordRow &r : std::as_const(rows)) {
        sum.added += {r.figures[0], r.figures[1]};
        sum.net += {r.figures[2], r.figures[3]};
        sum.imported += {r.figures[4], r.figures[5]};
        sum.minutes += int(r.figures[6]);
    }
    return sum;
}

} // namespace

class tst_writing_day : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dayRecordsWritingApartFromImportsAndUndo_data();
    void dayRecordsWritingApartFromImportsAndUndo();
    void todayPanelAndRecordFollowTheRuleAndTheGoalAcrossRuns();
    void unwritableRecordLosesNothingAndSaysWhy();
    void killedProgramLosesAtMostTheLastTenSeconds();

private:
    // Opens the chapter of start text with the cursor at its end.
    frm_edit *open(const QString &start);
    void run(frm_edit *editor, const QString &action);

    WritingFixture *m_fx = nullptr;
    OpenChapter *m_chapter = nullptr;
};

void tst_writing_day::init()
{
    m_fx = new WritingFixture;
    QGuiApplication::clipboard()->clear();
}

void tst_writing_day::cleanup()
{
    deleteEditors();
    delete m_chapter;
    m_chapter = nullptr;
    delete m_fx;
    m_fx = nullptr;
}

frm_edit *tst_writing_day::open(const QString &start)
{
    m_chapter = new OpenChapter(*m_fx, start);
    frm_edit *editor = openInEditor(m_fx->ctx, *m_chapter);
    if (editor)
        editor->Text1->moveCursor(QTextCursor::End);
    return editor;
}

void tst_writing_day::run(frm_edit *editor, const QString &action)
{
    const QString verb = action.section(QLatin1Char(':'), 0, 0);
    const QString text = action.section(QLatin1Char(':'), 1);
    const QHash<QString, QAction *> commands = {
        {"selectall", editor->quanxuan}, {"cut", editor->jianqie}, {"undo", editor->chexiao}};
    if (verb == QLatin1String("type")) {
        typeText(editor->Text1, text);
    } else if (verb == QLatin1String("commit")) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(editor->Text1, &event);
    } else if (verb == QLatin1String("paste")) {
        QGuiApplication::clipboard()->setText(text);
        editor->zhantie->trigger();
    } else if (QAction *command = commands.value(verb)) {
        command->trigger();
    } else if (verb == QLatin1String("backspace")) {
        for (int i = text.toInt(); i > 0; --i)
            QTest::keyClick(editor->Text1, Qt::Key_Backspace);
    } else if (verb == QLatin1String("import")) {
        const QString file = m_fx->path(QStringLiteral("导入.txt"));
        m_fx->writeFile(file, ansi::encode(text));
        m_fx->prompts.files = {file};
        editor->Command3_Click();
    } else {
        QFAIL(qPrintable(QStringLiteral("no action %1").arg(action)));
    }
}

void tst_writing_day::dayRecordsWritingApartFromImportsAndUndo_data()
{
    // Figures by 含标点, added also by 不含标点, in a chapter that starts as
    // 章节内容.
    QTest::addColumn<QString>("actions"); // one after another, by "|"
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("addedBare");
    QTest::addColumn<int>("net");
    QTest::addColumn<int>("imported");
    QTest::newRow("typing") << QStringLiteral("type:你好，世界。") << 6 << 4 << 6 << 0;
    QTest::newRow("input method commit") << QStringLiteral("commit:中文") << 2 << 2 << 2 << 0;
    QTest::newRow("typing then undo nets zero") << QStringLiteral("type:你好 ab|undo") << 0 << 0 << 0 << 0;
    QTest::newRow("an undo undone puts the typing back") << QStringLiteral("type:你好|undo|undo") << 2 << 2 << 2 << 0;
    QTest::newRow("pasting") << QStringLiteral("paste:天地玄黄，宇宙洪荒。") << 10 << 8 << 10 << 0;
    QTest::newRow("pasting then undo nets zero") << QStringLiteral("paste:天地玄黄|undo") << 0 << 0 << 0 << 0;
    QTest::newRow("deleting adds nothing") << QStringLiteral("selectall|cut") << 0 << 0 << -4 << 0;
    QTest::newRow("a deletion undone adds nothing") << QStringLiteral("selectall|cut|undo") << 0 << 0 << 0 << 0;
    QTest::newRow("backspace") << QStringLiteral("backspace:2") << 0 << 0 << -2 << 0;
    QTest::newRow("typing over a selection") << QStringLiteral("selectall|type:新") << 1 << 1 << -3 << 0;
    QTest::newRow("the same text pasted over itself") << QStringLiteral("selectall|paste:章节内容") << 0 << 0 << 0 << 0;
    QTest::newRow("importing is kept apart") << QStringLiteral("import:第一行。\r\n第二行") << 0 << 0 << 3 << 7;
    QTest::newRow("typing after an import") << QStringLiteral("import:abc|type:字") << 1 << 1 << 0 << 3;
}

void tst_writing_day::dayRecordsWritingApartFromImportsAndUndo()
{
    QFETCH(QString, actions);
    QFETCH(int, added);
    QFETCH(int, addedBare);
    QFETCH(int, net);
    QFETCH(int, imported);
    frm_edit *editor = open(QStringLiteral("章节内容"));
    QVERIFY(editor);
    for (const QString &action : actions.split(QLatin1Char('|')))
        run(editor, action);

    QVector<WritingLog::Row> rows;
    QVERIFY(m_fx->log().rows(0, m_fx->log().today(), &rows));
    QCOMPARE(rows.size(), 1);
    const WritingLog::Row &row = rows.first();
    QCOMPARE(row.day, m_fx->log().today());
    QCOMPARE(row.novel, QFileInfo(m_chapter->path).fileName());
    QCOMPARE(row.chapter, m_chapter->id);
    QCOMPARE(row.figures.added.all, added);
    QCOMPARE(row.figures.added.bare, addedBare);
    QCOMPARE(row.figures.net.all, net);
    QCOMPARE(row.figures.imported.all, imported);
    QCOMPARE(row.figures.minutes, 1);
    // The same in the file, and on the panel.
    const DayFigures kept = inFile(m_fx->recordPath());
    QCOMPARE(kept.added, row.figures.added);
    QCOMPARE(kept.net, row.figures.net);
    QCOMPARE(kept.imported, row.figures.imported);
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 %1").arg(added));
}

void tst_writing_day::todayPanelAndRecordFollowTheRuleAndTheGoalAcrossRuns()
{
    frm_edit *editor = open(QStringLiteral("开头"));
    QVERIFY(editor);
    // The designed panels keep their places; 今日 comes after 字数.
    QCOMPARE(editor->panelText(7), QStringLiteral("字数："));
    QCOMPARE(editor->panelText(8), QStringLiteral("2"));
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 0"));
    auto *count = editor->StatusBar1->findChild<QWidget *>(QStringLiteral("Panel8"));
    auto *today = editor->StatusBar1->findChild<QWidget *>(QStringLiteral("Panel9"));
    QVERIFY(count && today);
    QVERIFY(today->geometry().left() >= count->geometry().right());

    typeText(editor->Text1, QStringLiteral("你好，"));
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 3"));
    m_fx->log().setGoal(4000);
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 3/4000"));
    m_fx->log().setRule(CountRule::WithoutPunctuation);
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 2/4000"));
    // A new day starts from nothing, with the goal still in force; one set
    // then leaves the day before its own.
    m_fx->now = m_fx->now.addDays(1);
    typeText(editor->Text1, QStringLiteral("天"));
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 1/4000"));
    m_fx->log().setGoal(0);
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 1"));
    QCOMPARE(editor->panelText(8), QStringLiteral("6"));
    m_fx->log().setGoal(800);
    QCOMPARE(goalOn(m_fx->log().goals(), m_fx->log().today() - 1), 4000);
    // The next run of the program reads the day, the rule and the goal back.
    deleteEditors();
    m_fx->startLog();
    QCOMPARE(m_fx->log().rule(), CountRule::WithoutPunctuation);
    QCOMPARE(m_fx->log().goal(), 800);
    QCOMPARE(m_fx->log().todayAdded(), (CharCounts{1, 1}));
    QCOMPARE(goalOn(m_fx->log().goals(), m_fx->log().today() - 1), 4000);
}

void tst_writing_day::unwritableRecordLosesNothingAndSaysWhy()
{
    // A folder where the record file should be: no write can succeed.
    const QString path = m_fx->path(QStringLiteral("别处/") + WritingLog::recordFileName());
    QVERIFY(QDir().mkpath(path));
    m_fx->startLog(path);
    frm_edit *editor = open(QStringLiteral("开头"));
    QVERIFY(editor);
    typeText(editor->Text1, QStringLiteral("一二三"));
    QVERIFY(!m_fx->log().writeNow());
    QVERIFY(!m_fx->log().error().isEmpty());
    typeText(editor->Text1, QStringLiteral("四"));
    QVector<WritingLog::Row> rows;
    m_fx->log().rows(0, m_fx->log().today(), &rows);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().figures.added.all, 4);
    QCOMPARE(editor->panelText(9), QStringLiteral("今日 4"));

    // Once the file can be made, everything kept meanwhile is written.
    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(m_fx->log().writeNow());
    QVERIFY(m_fx->log().error().isEmpty());
    QCOMPARE(inFile(path).added.all, 4);
}

void tst_writing_day::killedProgramLosesAtMostTheLastTenSeconds()
{
    const QString path = m_fx->recordPath();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kChildSwitch), path});
    QVERIFY(child.waitForStarted());
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    const qint64 killAt =
        started + kMostLostMs + 500 + QRandomGenerator::global()->bounded(kChildRunsMs - kMostLostMs - 1500);
    // Times and counts the child reported, in order.
    QVector<QPair<qint64, int>> reported;
    const auto take = [&] {
        while (child.canReadLine()) {
            const QList<QByteArray> fields = child.readLine().trimmed().split(' ');
            if (fields.size() == 2)
                reported.append({fields[0].toLongLong(), fields[1].toInt()});
        }
    };
    while (QDateTime::currentMSecsSinceEpoch() < killAt && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        take();
    }
    QCOMPARE(child.state(), QProcess::Running);
    const qint64 killed = QDateTime::currentMSecsSinceEpoch();
    child.kill(); // SIGKILL, or TerminateProcess: nothing of the child runs after it
    QVERIFY(child.waitForFinished(10000));
    take();
    QVERIFY(!reported.isEmpty());

    // Everything recorded more than ten seconds before the kill is kept, and
    // nothing that was never recorded.
    int before = 0;
    for (const auto &[at, count] : std::as_const(reported)) {
        if (at <= killed - kMostLostMs)
            before = count;
    }
    QVERIFY(before > 0);
    const qint64 kept = inFile(path).added.all;
    QVERIFY2(kept >= before && kept <= reported.last().second + 1,
             qPrintable(QStringLiteral("kept %1, recorded %2 ten seconds before the kill, %3 in all")
                            .arg(kept)
                            .arg(before)
                            .arg(reported.last().second)));
    QCOMPARE(sqlColumn(path, QStringLiteral("PRAGMA integrity_check")), QVariantList{QStringLiteral("ok")});
}

static int run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kChildSwitch) == 0)
        return recordInto(QString::fromLocal8Bit(argv[2]));
    tst_writing_day test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

// Ends as the program ends; see platform::endProgram.
int main(int argc, char *argv[])
{
    return platform::endProgram(run(argc, argv));
}

#include "tst_writing_day.moc"
