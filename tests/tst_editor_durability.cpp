// Every stored keystroke survives the program being killed: a child process
// types into the editor and reports each keystroke once it is stored; the
// test kills it at a random moment and reads the chapter back.
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "open_chapter.h"
#include "store/platform.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <cstdio>

namespace {

const char *const kChildSwitch = "--type-into";
constexpr int kKeys = 400;

// Keystroke k (from 1) of the known sequence: mostly Chinese characters, a
// line break now and then, and a backspace now and then.
QString keyAt(int k)
{
    if (k % 17 == 0)
        return QStringLiteral("\n");
    if (k % 11 == 0)
        return QStringLiteral("\b");
    return QString(QChar(0x4E00 + (k * 37) % 500));
}

// The chapter text after the first `keys` keystrokes typed at its end.
QString textAfter(QString text, int keys)
{
    for (int k = 1; k <= keys; ++k) {
        const QString key = keyAt(k);
        if (key == QLatin1String("\n"))
            text += QStringLiteral("\r\n");
        else if (key == QLatin1String("\b"))
            text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
        else
            text += key;
    }
    return text;
}

QString startText(int units)
{
    QString text;
    for (int i = 0; i < units; ++i)
        text += (i % 200 == 199) ? QStringLiteral("\r\n") : QString(QChar(0x5B57 + i % 97));
    return text;
}

// The child: opens the chapter in the editor, types the sequence and writes
// the number of each keystroke to stdout once the editor has stored it.
int typeInto(const QString &novel)
{
    TestPrompts prompts;
    RecordingNavigator nav;
    AppContext ctx;
    ctx.prompts = &prompts;
    ctx.nav = &nav;
    DataSource data;
    data.setDatabaseName(novel);
    data.setRecordSource(QStringLiteral("小说"));
    QWidget manager;
    if (!data.Refresh() || !data.MoveFirst())
        return 3;
    frm_edit *editor = openChapterToEdit(ctx, data, &manager);
    if (!editor)
        return 4;
    editor->Text1->moveCursor(QTextCursor::End);
    std::printf("ready\n");
    std::fflush(stdout);
    for (int k = 1; k <= kKeys; ++k) {
        const QString key = keyAt(k);
        if (key == QLatin1String("\b"))
            QTest::keyClick(editor->Text1, Qt::Key_Backspace);
        else
            typeText(editor->Text1, key);
        if (!editor->waitUntilStored())
            return 5;
        std::printf("%d\n", k);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

class tst_editor_durability : public QObject
{
    Q_OBJECT

private slots:
    void childSequenceMatchesTheEditor();
    void killedEditorLosesNoStoredKeystroke_data();
    void killedEditorLosesNoStoredKeystroke();
};

void tst_editor_durability::childSequenceMatchesTheEditor()
{
    // Sanity of the expectation itself: an uninterrupted child ends with the
    // text the sequence predicts.
    ProgramFixture fx;
    OpenChapter chapter(fx, QStringLiteral("开头"));
    const QString path = chapter.path;
    chapter.Data1.close();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kChildSwitch), path});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说")).value(0).toString(),
             textAfter(QStringLiteral("开头"), kKeys));
}

void tst_editor_durability::killedEditorLosesNoStoredKeystroke_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("runs");
    QTest::newRow("chapter of 40,000 units") << 40000 << 40;
    QTest::newRow("chapter of 1,000,000 units") << 1000000 << 6;
}

void tst_editor_durability::killedEditorLosesNoStoredKeystroke()
{
    QFETCH(int, units);
    QFETCH(int, runs);
    const QString start = startText(units);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int run = 0; run < runs; ++run) {
        ProgramFixture fx;
        OpenChapter chapter(fx, start);
        const QString path = chapter.path;
        chapter.Data1.close();

        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kChildSwitch), path});
        QVERIFY(child.waitForStarted());

        const int killAt = random.bounded(1, kKeys / 2);
        int reported = -1;
        QByteArray pending;
        while (reported < killAt && child.state() == QProcess::Running) {
            if (!child.waitForReadyRead(30000))
                break;
            pending += child.readAllStandardOutput();
            while (pending.contains('\n')) {
                const int end = int(pending.indexOf('\n'));
                const QByteArray line = pending.left(end);
                pending.remove(0, end + 1);
                reported = line == "ready" ? 0 : line.toInt();
            }
        }
        QVERIFY2(reported >= killAt, qPrintable(QStringLiteral("run %1: child ended early").arg(run)));
        // Somewhere inside the next keystroke, or between two.
        QThread::usleep(random.bounded(3000));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        pending += child.readAllStandardOutput();
        for (const QByteArray &line : pending.split('\n')) {
            if (!line.isEmpty())
                reported = line.toInt();
        }

        // Reported keystrokes were stored; the one after may have been
        // stored just before the kill, before it could be reported.
        const QString stored = sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说")).value(0).toString();
        const bool asReported = stored == textAfter(start, reported);
        const bool oneMore = stored == textAfter(start, reported + 1);
        QVERIFY2(asReported || oneMore,
                 qPrintable(QStringLiteral("seed %1, run %2: killed after keystroke %3, chapter of %4 units")
                                .arg(seed)
                                .arg(run)
                                .arg(reported)
                                .arg(stored.size())));
        QCOMPARE(sqlColumn(path, QStringLiteral("PRAGMA integrity_check")), QVariantList{QStringLiteral("ok")});
    }
}

static int run(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], kChildSwitch) == 0) {
        QApplication app(argc, argv);
        return typeInto(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    tst_editor_durability test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

// Ends as the program ends; see platform::endProgram.
int main(int argc, char *argv[])
{
    return platform::endProgram(run(argc, argv));
}

#include "tst_editor_durability.moc"
