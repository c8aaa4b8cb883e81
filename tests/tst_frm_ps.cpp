// The notes window: shows the current chapter's notes, stores them on 保存,
// and asks before closing away a change.
#include "editor/chapter_openers.h"
#include "editor/frm_ps.h"
#include "fixture.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class tst_frm_ps : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsTheNotesOfTheCurrentChapter();
    void closingUnchangedAsksAndWritesNothing();
    void saveStoresExactlyTheText_data();
    void saveStoresExactlyTheText();
    void closingChangedAsks_data();
    void closingChangedAsks();
    void notesTypedBackToTheStoredTextCountAsUnchanged();
    void failedSaveKeepsTheWindowAndTheNotes();
    void opensModalOnlyOnAChapter();

private:
    ProgramFixture *m_fx = nullptr;
};

void tst_frm_ps::init()
{
    m_fx = new ProgramFixture;
}

void tst_frm_ps::cleanup()
{
    delete m_fx;
    m_fx = nullptr;
}

void tst_frm_ps::showsTheNotesOfTheCurrentChapter()
{
    NovelSpec recipe;
    recipe.chapters = {
        {QStringLiteral("第一卷"), QStringLiteral("一"), QStringLiteral("正文"), QStringLiteral("甲的附注")},
        {QStringLiteral("第一卷"), QStringLiteral("二"), QStringLiteral("正文"), QStringLiteral("乙\r\n附注")}};
    OpenChapter chapter(*m_fx, recipe, 1);
    frm_ps notes(m_fx->ctx, chapter.Data1);
    QVERIFY(notes.isLoaded());
    QCOMPARE(notes.windowTitle(), QStringLiteral("章节附注"));
    QCOMPARE(notes.Text1->toPlainText(), QStringLiteral("乙\n附注"));
    QCOMPARE(notes.Command1->text(), QStringLiteral("保存"));
    QCOMPARE(notes.Command2->text(), QStringLiteral("关闭"));
}

void tst_frm_ps::closingUnchangedAsksAndWritesNothing()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"), QStringLiteral("附注\r\n两行"));
    frm_ps notes(m_fx->ctx, chapter.Data1);
    notes.show();
    // Any write would fail on the locked file and say so.
    FileLock lock(chapter.path);
    QTest::mouseClick(notes.Command2, Qt::LeftButton);
    QVERIFY(!notes.isVisible());
    QVERIFY(m_fx->prompts.calls.isEmpty());
}

void tst_frm_ps::saveStoresExactlyTheText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("appended") << QStringLiteral("，补充") << QStringLiteral("附注，补充");
    QTest::newRow("spaces kept") << QStringLiteral("  ") << QStringLiteral("附注  ");
    QTest::newRow("new line") << QStringLiteral("\n下") << QStringLiteral("附注\r\n下");
}

void tst_frm_ps::saveStoresExactlyTheText()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    OpenChapter chapter(*m_fx, QStringLiteral("正文"), QStringLiteral("附注"));
    frm_ps notes(m_fx->ctx, chapter.Data1);
    notes.show();
    notes.Text1->moveCursor(QTextCursor::End);
    typeText(notes.Text1, typed);
    QTest::mouseClick(notes.Command1, Qt::LeftButton);
    QVERIFY(!notes.isVisible());
    QCOMPARE(chapter.storedNotes(), stored);
    QVERIFY(m_fx->prompts.calls.isEmpty());
}

void tst_frm_ps::closingChangedAsks_data()
{
    QTest::addColumn<QString>("notesBefore");
    QTest::addColumn<QString>("boxAfter");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("notesAfter");
    QTest::newRow("yes stores") << QStringLiteral("附注") << QStringLiteral("新附注") << int(MsgYes)
                                << QStringLiteral("新附注");
    QTest::newRow("no keeps the old") << QStringLiteral("附注") << QStringLiteral("新附注") << int(MsgNo)
                                      << QStringLiteral("附注");
    QTest::newRow("letter case is a change")
        << QStringLiteral("Note") << QStringLiteral("note") << int(MsgYes) << QStringLiteral("note");
    QTest::newRow("cleared and stored") << QStringLiteral("附注") << QString() << int(MsgYes) << QString();
}

void tst_frm_ps::closingChangedAsks()
{
    QFETCH(QString, notesBefore);
    QFETCH(QString, boxAfter);
    QFETCH(int, answer);
    QFETCH(QString, notesAfter);
    OpenChapter chapter(*m_fx, QStringLiteral("正文"), notesBefore);
    frm_ps notes(m_fx->ctx, chapter.Data1);
    notes.show();
    notes.Text1->selectAll();
    notes.Text1->insertPlainText(boxAfter);
    m_fx->prompts.yesNo = {MsgResult(answer)};
    // The window's own close box.
    QVERIFY(notes.close());
    QVERIFY(!notes.isVisible());
    QCOMPARE(m_fx->prompts.calls.size(), 1);
    const PromptCall ask = m_fx->prompts.calls.first();
    QCOMPARE(ask.text, QStringLiteral("附注已经修改，请问是否需要保存后再退出？"));
    QCOMPARE(ask.style, int(MsgAskYesNo));
    QCOMPARE(ask.caption, QStringLiteral("询问"));
    QCOMPARE(chapter.storedNotes(), notesAfter);
}

void tst_frm_ps::notesTypedBackToTheStoredTextCountAsUnchanged()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"), QStringLiteral("附注"));
    frm_ps notes(m_fx->ctx, chapter.Data1);
    notes.show();
    notes.Text1->moveCursor(QTextCursor::End);
    typeText(notes.Text1, QStringLiteral("多"));
    QTest::keyClick(notes.Text1, Qt::Key_Backspace);
    QTest::mouseClick(notes.Command2, Qt::LeftButton);
    QVERIFY(!notes.isVisible());
    QVERIFY(m_fx->prompts.calls.isEmpty());
}

void tst_frm_ps::failedSaveKeepsTheWindowAndTheNotes()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"), QStringLiteral("附注"));
    frm_ps notes(m_fx->ctx, chapter.Data1);
    notes.show();
    notes.Text1->setPlainText(QStringLiteral("要紧的附注"));
    FileLock lock(chapter.path);
    QTest::mouseClick(notes.Command1, Qt::LeftButton);
    QVERIFY(notes.isVisible());
    QCOMPARE(m_fx->prompts.messages().size(), 1);
    QVERIFY(m_fx->prompts.messages().first().startsWith(QStringLiteral("保存附注失败！")));

    // Yes on close, still locked: the window stays rather than lose them.
    m_fx->prompts.clear();
    m_fx->prompts.yesNo = {MsgYes};
    QVERIFY(!notes.close());
    QVERIFY(notes.isVisible());
    QCOMPARE(notes.Text1->toPlainText(), QStringLiteral("要紧的附注"));

    lock.release();
    m_fx->prompts.yesNo = {MsgYes};
    QVERIFY(notes.close());
    QCOMPARE(chapter.storedNotes(), QStringLiteral("要紧的附注"));
}

void tst_frm_ps::opensModalOnlyOnAChapter()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"), QStringLiteral("附注"));
    bool sawModal = false;
    QTimer::singleShot(0, this, [&] {
        auto *notes = qobject_cast<frm_ps *>(QApplication::activeModalWidget());
        sawModal = notes && notes->isModal() && notes->Text1->toPlainText() == QStringLiteral("附注");
        if (notes)
            notes->close();
    });
    showChapterNotes(m_fx->ctx, chapter.Data1, &chapter.manager);
    QVERIFY(sawModal);
    QVERIFY(m_fx->prompts.calls.isEmpty());

    QVERIFY(chapter.Data1.Delete());
    showChapterNotes(m_fx->ctx, chapter.Data1, &chapter.manager);
    QCOMPARE(m_fx->prompts.messages(), QStringList{QStringLiteral("请选中一个章节后再操作！")});
}

YZ_TEST_MAIN(tst_frm_ps)
#include "tst_frm_ps.moc"
