// The editor's store off the typing path: the copy of the text kept change by
// change matches the box after every kind of edit, the writer writes the
// newest text into its own chapter only, folds a burst into few writes, and
// reports a failure so that the next text tries again; the chapter's store
// says stored or refused and why for the newest text only, and tries a
// refused text again on its own.
#include "editor/box_text.h"
#include "editor/chapter_store.h"
#include "editor/chapter_writer.h"
#include "fixture.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>
#include <optional>

class tst_chapter_writer : public QObject
{
    Q_OBJECT

private slots:
    void mirrorFollowsEveryKindOfEdit();
    void newestTextGoesToItsChapterOnly();
    void burstDuringWritesBecomesFewerWrites();
    void failureIsReportedAndTheNextTextTriesAgain();
    void storeSaysStoredOrRefusedAndTriesAgainOnItsOwn();
    void onlyTheNewestTextCountsInTheStore_data();
    void onlyTheNewestTextCountsInTheStore();
};

void tst_chapter_writer::mirrorFollowsEveryKindOfEdit()
{
    QPlainTextEdit box;
    QTextDocument *doc = box.document();
    boxtext::Mirror mirror;
    box.setPlainText(QStringLiteral("第一行\n第二行\u00A0有不换行的空格\n\n第四行"));
    mirror.reset(doc);
    int mismatches = 0;
    connect(doc, &QTextDocument::contentsChange, this, [&](int position, int removed, int added) {
        mirror.apply(doc, position, removed, added);
        mismatches += mirror.text() == boxtext::text(doc) ? 0 : 1;
    });

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QStringList pieces = {QStringLiteral("字"),     QStringLiteral("\n"),       QStringLiteral("两行\n文字"),
                                QStringLiteral("\u00A0"), QStringLiteral("\u2028"),   QStringLiteral("𠀀"),
                                QStringLiteral("\t"),     QString(300, QChar(0x6587))};
    for (int step = 0; step < 400; ++step) {
        QTextCursor cursor(doc);
        const int length = doc->characterCount() - 1;
        cursor.setPosition(random.bounded(length + 1));
        switch (random.bounded(6)) {
        case 0:
        case 1:
            cursor.insertText(pieces[random.bounded(int(pieces.size()))]);
            break;
        case 2:
            cursor.setPosition(random.bounded(length + 1), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            break;
        case 3:
            cursor.setPosition(random.bounded(length + 1), QTextCursor::KeepAnchor);
            cursor.insertText(pieces[random.bounded(int(pieces.size()))]);
            break;
        case 4:
            box.undo();
            break;
        default:
            box.redo();
            break;
        }
        QVERIFY2(mirror.text() == boxtext::text(doc),
                 qPrintable(QStringLiteral("seed %1, step %2").arg(seed).arg(step)));
    }
    // A whole new text, and an emptied box.
    box.setPlainText(QStringLiteral("新的\r\n全文"));
    QCOMPARE(mirror.text(), boxtext::text(doc));
    box.clear();
    QCOMPARE(mirror.text(), QString());
    QCOMPARE(mismatches, 0);
    QCOMPARE(boxtext::fromBoxText(QStringLiteral("上\u2029下\u2029")), QStringLiteral("上\r\n下\r\n"));
}

void tst_chapter_writer::newestTextGoesToItsChapterOnly()
{
    ProgramFixture fx;
    NovelSpec recipe;
    recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("甲"), QStringLiteral("甲文")},
                       {QStringLiteral("第一卷"), QStringLiteral("乙"), QStringLiteral("乙文")}};
    OpenChapter chapter(fx, recipe, 1);
    ChapterWriter writer(chapter.path, chapter.id);
    // Said with the writer's lock released: a receiver on the writer's own
    // thread may ask it (under the lock, flush would never return), and
    // finds the text already counted as written.
    quint64 writtenWhenSaid = 0;
    connect(
        &writer, &ChapterWriter::stored, this, [&](quint64) { writtenWhenSaid = writer.written(); },
        Qt::DirectConnection);
    writer.submit(QStringLiteral("新\r\n乙文"));
    QVERIFY(writer.flush());
    QVERIFY(writer.isStored());
    QCOMPARE(writtenWhenSaid, quint64(1));
    QCOMPARE(sqlColumn(chapter.path, QStringLiteral("SELECT 章节内容 FROM 小说 ORDER BY 编号")),
             (QVariantList{QStringLiteral("甲文"), QStringLiteral("新\r\n乙文")}));
}

void tst_chapter_writer::burstDuringWritesBecomesFewerWrites()
{
    ProgramFixture fx;
    OpenChapter chapter(fx, QString(200000, QChar(0x5B57)));
    ChapterWriter writer(chapter.path, chapter.id);
    QSignalSpy stored(&writer, &ChapterWriter::stored);
    QString text(200000, QChar(0x5B57));
    const int keys = 60;
    for (int k = 1; k <= keys; ++k) {
        text += QChar(0x4E00 + k);
        writer.submit(text);
    }
    QVERIFY(writer.flush());
    QTRY_VERIFY(!stored.isEmpty() && stored.last().value(0).toULongLong() == quint64(keys));
    QVERIFY2(stored.size() < keys, qPrintable(QString::number(stored.size())));
    QCOMPARE(chapter.storedText(), text);
}

void tst_chapter_writer::failureIsReportedAndTheNextTextTriesAgain()
{
    ProgramFixture fx;
    OpenChapter chapter(fx, QStringLiteral("原文"));
    ChapterWriter writer(chapter.path, chapter.id);
    QSignalSpy failed(&writer, &ChapterWriter::failed);
    {
        FileLock lock(chapter.path);
        QVERIFY(lock.isLocked());
        writer.submit(QStringLiteral("原文一"));
        QVERIFY(!writer.flush());
        QVERIFY(!writer.isStored());
    }
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.first().value(0).toULongLong(), quint64(1));
    QVERIFY(!failed.first().value(1).toString().isEmpty());
    writer.submit(QStringLiteral("原文一二"));
    QVERIFY(writer.flush());
    QCOMPARE(chapter.storedText(), QStringLiteral("原文一二"));

    // A chapter deleted meanwhile is not written, nor any other instead.
    sqlColumn(chapter.path, QStringLiteral("DELETE FROM 小说"));
    writer.submit(QStringLiteral("无处可去"));
    QVERIFY(!writer.flush());
    QCOMPARE(sqlColumn(chapter.path, QStringLiteral("SELECT count(*) FROM 小说")).value(0).toInt(), 0);
}

void tst_chapter_writer::storeSaysStoredOrRefusedAndTriesAgainOnItsOwn()
{
    ProgramFixture fx;
    OpenChapter chapter(fx, QStringLiteral("原文"));
    QString newest = QStringLiteral("原文一");
    ChapterStore store(chapter.path, chapter.id, [&] { return newest; });
    QList<bool> said;
    connect(&store, &ChapterStore::stateChanged, this, [&](bool refused) { said << refused; });
    QSignalSpy writerFailed(store.findChild<ChapterWriter *>(), &ChapterWriter::failed);

    store.submit(newest);
    QVERIFY(store.waitUntilStored());
    QVERIFY(store.isStored());
    QCOMPARE(chapter.storedText(), newest);
    QVERIFY(!said.isEmpty() && !said.contains(true));

    // Refused, with the writer's reason, known as soon as the wait returns.
    FileLock lock(chapter.path);
    QVERIFY(lock.isLocked());
    newest = QStringLiteral("原文一二");
    store.submit(newest);
    QElapsedTimer sinceRefused;
    sinceRefused.start();
    QVERIFY(!store.waitUntilStored());
    QVERIFY(store.isRefused());
    QVERIFY(!store.isStored());
    QCOMPARE(said.last(), true);
    QCOMPARE(writerFailed.size(), 1);
    QCOMPARE(store.error(), writerFailed.first().value(1).toString());
    QVERIFY(!store.error().isEmpty());

    // Tried again on its own two seconds later, with the newest text then.
    newest = QStringLiteral("原文一二三");
    lock.release();
    QTRY_VERIFY_WITH_TIMEOUT(!store.isRefused(), 3 * ChapterStore::kRetryMs);
    QVERIFY2(sinceRefused.elapsed() >= ChapterStore::kRetryMs * 9 / 10,
             qPrintable(QString::number(sinceRefused.elapsed())));
    QCOMPARE(said.last(), false);
    QVERIFY(store.isStored());
    QCOMPARE(chapter.storedText(), newest);

    // A window opened on no chapter has every text refused, and says why.
    ChapterStore nowhere(chapter.path, -1, [&] { return newest; });
    nowhere.submit(newest);
    QVERIFY(!nowhere.waitUntilStored());
    QVERIFY(nowhere.isRefused());
    QCOMPARE(nowhere.error(), QStringLiteral("找不到打开时的章节"));
}

void tst_chapter_writer::onlyTheNewestTextCountsInTheStore_data()
{
    QTest::addColumn<bool>("olderRefused");
    QTest::addColumn<bool>("newerRefused");
    QTest::addColumn<QList<bool>>("said");
    // Handed over, handed over, [newest's outcome], the wait.
    QTest::newRow("older refused, newer stored") << true << false << QList<bool>{false, false, false, false};
    QTest::newRow("older stored, newer refused") << false << true << QList<bool>{false, false, true, true};
}

void tst_chapter_writer::onlyTheNewestTextCountsInTheStore()
{
    QFETCH(bool, olderRefused);
    QFETCH(bool, newerRefused);
    QFETCH(QList<bool>, said);
    ProgramFixture fx;
    OpenChapter chapter(fx, QStringLiteral("原文"));
    ChapterStore store(chapter.path, chapter.id, [] { return QStringLiteral("新的"); });
    auto *writer = store.findChild<ChapterWriter *>();
    QList<bool> heard;
    connect(&store, &ChapterStore::stateChanged, this, [&](bool refused) { heard << refused; });
    // Both outcomes are posted to the store before it takes either.
    const auto hand = [&](const QString &text, bool refused) {
        std::optional<FileLock> lock;
        if (refused)
            lock.emplace(chapter.path);
        store.submit(text);
        QCOMPARE(writer->flush(), !refused);
    };
    hand(QStringLiteral("旧的"), olderRefused);
    hand(QStringLiteral("新的"), newerRefused);
    QCOMPARE(store.waitUntilStored(), !newerRefused);
    QCOMPARE(store.isRefused(), newerRefused);
    QCOMPARE(store.error().isEmpty(), !newerRefused);
    QCOMPARE(heard, said);
    QCOMPARE(chapter.storedText(), newerRefused ? QStringLiteral("旧的") : QStringLiteral("新的"));
}

YZ_TEST_MAIN(tst_chapter_writer)
#include "tst_chapter_writer.moc"
