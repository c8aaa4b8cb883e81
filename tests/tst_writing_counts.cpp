// The writer's count and day without a window: both counting rules on a
// table of texts, the chapter's count kept from its changes alone (typing,
// deleting, undo and redo on a real document), the minutes spent writing
// with their pauses, and the streak of days that met the goal.
#include "app/writing_days.h"
#include "editor/box_text.h"
#include "test_main.h"

#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

class tst_writing_counts : public QObject
{
    Q_OBJECT

private slots:
    void bothRulesCountEveryPieceOfAText_data();
    void bothRulesCountEveryPieceOfAText();
    void chapterCountFollowsEveryChangeAndUndoTakesBackWhatItAdded();
    void minutesCountChangesAndShortPausesOnly_data();
    void minutesCountChangesAndShortPausesOnly();
    void streakCountsDaysThatMetTheirGoal_data();
    void streakCountsDaysThatMetTheirGoal();
};

void tst_writing_counts::bothRulesCountEveryPieceOfAText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("withPunctuation");
    QTest::addColumn<int>("withoutPunctuation");
    QTest::newRow("CJK with full-width punctuation")
        << QStringLiteral("“你好，”他说：“世界！”……——《书》（注）、；？") << 26 << 8;
    QTest::newRow("Latin words with spaces") << QStringLiteral("Hello, world. It's 2024!") << 21 << 17;
    QTest::newRow("half-width symbols are not punctuation") << QStringLiteral("1+1=2 $5 ~") << 8 << 8;
    QTest::newRow("U+3000 indentation and CRLF")
        << QStringLiteral("\u3000\u3000第一段。\r\n\u3000\u3000第二段。\r\n") << 8 << 6;
    QTest::newRow("tabs, spaces and line breaks only") << QStringLiteral(" \t\r\n\u3000\u2029\u00a0") << 0 << 0;
    QTest::newRow("emoji as surrogate pairs") << QStringLiteral("好\U0001F600\U0001F389") << 3 << 3;
    QTest::newRow("skin tone and variation selector add nothing")
        << QStringLiteral("\U0001F44D\U0001F3FD\u2764\uFE0F") << 2 << 2;
    QTest::newRow("joined emoji count each, the joiner nothing")
        << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467") << 3 << 3;
    QTest::newRow("combining marks add nothing") << QStringLiteral("e\u0301a\u0300\u0308") << 2 << 2;
    QTest::newRow("ideographs outside the basic plane") << QStringLiteral("\U00020000\U0002A6A5") << 2 << 2;
    QTest::newRow("zero-width space and byte-order mark") << QStringLiteral("\ufeff字\u200b字") << 2 << 2;
    QTest::newRow("empty") << QString() << 0 << 0;
}

void tst_writing_counts::bothRulesCountEveryPieceOfAText()
{
    QFETCH(QString, text);
    QFETCH(int, withPunctuation);
    QFETCH(int, withoutPunctuation);
    const CharCounts whole = countChars(text);
    QCOMPARE(whole.by(CountRule::WithPunctuation), withPunctuation);
    QCOMPARE(whole.by(CountRule::WithoutPunctuation), withoutPunctuation);
    // A chapter's count is kept from the stretches that change: the pieces
    // of a text, cut anywhere, add up to the whole.
    for (int cut = 0; cut <= text.size(); ++cut) {
        // A pair cut in two counts on its first half: exact for every
        // character that counts, one too many for a skin tone cut in two.
        if (cut > 0 && cut < text.size() && text[cut].isLowSurrogate() && countChars(text.mid(cut - 1, 2)).isZero())
            continue;
        const CharCounts pieces = countChars(QStringView(text).left(cut)) + countChars(QStringView(text).mid(cut));
        QVERIFY2(pieces == whole, qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }
}

void tst_writing_counts::chapterCountFollowsEveryChangeAndUndoTakesBackWhatItAdded()
{
    // Random edits of a real document, as the editor reports them: typing,
    // pasting over a selection, deleting, line breaks, undo and redo. After
    // each, the kept count is the count of the whole text, and what the day
    // holds as added is what the text holds of what was put in.
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QStringList pieces = {QStringLiteral("字"), QStringLiteral("，"),   QStringLiteral("😀"),
                                QStringLiteral("\n"), QStringLiteral("ab c"), QStringLiteral("“引号”。")};
    QTextDocument doc;
    // As in the editor's box: a document without a layout reports no change.
    doc.setDocumentLayout(new QPlainTextDocumentLayout(&doc));
    doc.setPlainText(QStringLiteral("第一章\n\u3000\u3000开头。"));
    boxtext::Mirror mirror;
    mirror.reset(&doc);
    ChapterTally tally;
    tally.load(mirror.text());
    DayFigures day;
    const qint64 today = 1;
    QObject::connect(&doc, &QTextDocument::contentsChange, [&](int position, int removed, int added) {
        boxtext::Change change;
        mirror.apply(&doc, position, removed, added, &change);
        for (const DayChange &c : tally.change(change.removed, change.inserted, doc.availableUndoSteps(), today))
            day += c.figures;
    });
    const CharCounts start = countChars(mirror.text());
    for (int step = 0; step < 400; ++step) {
        QTextCursor cursor(&doc);
        const int length = doc.characterCount() - 1;
        const int what = int(random.bounded(10));
        if (what < 6) {
            const int at = int(random.bounded(length + 1));
            cursor.setPosition(at);
            if (what == 5)
                cursor.setPosition(std::min(length, at + int(random.bounded(6))), QTextCursor::KeepAnchor);
            cursor.insertText(pieces[int(random.bounded(pieces.size()))]);
        } else if (what < 8 && length > 0) {
            const int at = int(random.bounded(length));
            cursor.setPosition(at);
            cursor.setPosition(std::min(length, at + 1 + int(random.bounded(4))), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else if (what == 8) {
            doc.undo();
        } else {
            doc.redo();
        }
        const QString text = boxtext::text(&doc);
        QVERIFY2(tally.total() == countChars(text), qPrintable(QStringLiteral("seed %1, step %2").arg(seed).arg(step)));
        QVERIFY2(day.net == countChars(text) - start,
                 qPrintable(QStringLiteral("seed %1, step %2").arg(seed).arg(step)));
    }
    // Undone all the way back: nothing added stays.
    while (doc.isUndoAvailable())
        doc.undo();
    QCOMPARE(boxtext::text(&doc), QStringLiteral("第一章\r\n\u3000\u3000开头。"));
    QVERIFY2(day.added.isZero(), qPrintable(QStringLiteral("seed %1: %2 added").arg(seed).arg(day.added.all)));
    QVERIFY(day.net.isZero());
}

void tst_writing_counts::minutesCountChangesAndShortPausesOnly_data()
{
    // Changes at these seconds after 23:50 of day 0; minutes on day 0 and 1.
    QTest::addColumn<QVector<int>>("seconds");
    QTest::addColumn<int>("firstDay");
    QTest::addColumn<int>("secondDay");
    QTest::newRow("one change") << QVector<int>{5} << 1 << 0;
    QTest::newRow("many changes in one minute") << QVector<int>{0, 10, 59} << 1 << 0;
    QTest::newRow("a pause of two minutes counts") << QVector<int>{0, 120} << 3 << 0;
    QTest::newRow("a pause of over two minutes does not") << QVector<int>{0, 121} << 2 << 0;
    QTest::newRow("a pause counts from the last change") << QVector<int>{0, 59, 178} << 3 << 0;
    QTest::newRow("steady writing for five minutes") << QVector<int>{0, 50, 100, 150, 200, 250, 299} << 5 << 0;
    QTest::newRow("thinking across midnight") << QVector<int>{530, 650} << 2 << 1;
    QTest::newRow("a long pause across midnight") << QVector<int>{500, 900} << 1 << 1;
}

void tst_writing_counts::minutesCountChangesAndShortPausesOnly()
{
    QFETCH(QVector<int>, seconds);
    QFETCH(int, firstDay);
    QFETCH(int, secondDay);
    const QDateTime start(QDate(2024, 5, 20), QTime(23, 50));
    const qint64 day0 = start.date().toJulianDay();
    ActiveMinutes minutes;
    QHash<qint64, int> byDay;
    for (int s : seconds) {
        for (const DayChange &c : minutes.touch(start.addSecs(s)))
            byDay[c.day] += c.figures.minutes;
    }
    QCOMPARE(byDay.value(day0), firstDay);
    QCOMPARE(byDay.value(day0 + 1), secondDay);
}

void tst_writing_counts::streakCountsDaysThatMetTheirGoal_data()
{
    // Characters added on days 1..n (today is the last), the goals set and
    // the days they were set on.
    QTest::addColumn<QVector<int>>("added");
    QTest::addColumn<GoalHistory>("goals");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("longest");
    const GoalHistory from1{{1, 100}};
    QTest::newRow("no goal, no streak") << QVector<int>{500, 500} << GoalHistory() << 0 << 0;
    QTest::newRow("met every day") << QVector<int>{100, 150, 100} << from1 << 3 << 3;
    QTest::newRow("today not met yet keeps yesterday's run") << QVector<int>{100, 100, 20} << from1 << 2 << 2;
    QTest::newRow("a missed day ends a run") << QVector<int>{100, 100, 100, 0, 100, 99} << from1 << 1 << 3;
    QTest::newRow("a raised goal holds from its day on")
        << QVector<int>{150, 150, 150} << GoalHistory{{1, 100}, {3, 200}} << 2 << 2;
    QTest::newRow("days before any goal do not count") << QVector<int>{900, 100} << GoalHistory{{2, 100}} << 1 << 1;
}

void tst_writing_counts::streakCountsDaysThatMetTheirGoal()
{
    QFETCH(QVector<int>, added);
    QFETCH(GoalHistory, goals);
    QFETCH(int, current);
    QFETCH(int, longest);
    QMap<qint64, qint64> byDay;
    for (int i = 0; i < added.size(); ++i) {
        if (added[i] > 0)
            byDay.insert(i + 1, added[i]);
    }
    const Streak s = streakOf(byDay, goals, added.size());
    QCOMPARE(s.current, current);
    QCOMPARE(s.longest, longest);
}

YZ_TEST_MAIN(tst_writing_counts)
#include "tst_writing_counts.moc"
