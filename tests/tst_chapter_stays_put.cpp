// The editor and the notes window write only into the chapter they were
// opened on, whatever the chapter manager's tree was about to do, and opening
// them writes nothing at all. Driven with real mouse and key events and the
// real double-click timing of the tree's delayed rename.
#include "chapters/frm_write.h"
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"
#include "editor/frm_ps.h"
#include "fixture.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

NovelSpec twoChapters()
{
    NovelSpec recipe;
    recipe.chapters = {
        {QStringLiteral("第一卷"), QStringLiteral("y1"), QStringLiteral("一的正文"), QStringLiteral("一的附注")},
        {QStringLiteral("第一卷"), QStringLiteral("j1"), QStringLiteral("二的正文"), QStringLiteral("二的附注")}};
    return recipe;
}

// Every chapter as "title:text:notes", in table order.
QStringList chapters(const QString &novel)
{
    waitForEditors();
    QStringList out;
    for (const QVariant &v : sqlColumn(novel, QStringLiteral("SELECT 章节名称 || ':' || 章节内容 || ':' || 章节附注 "
                                                             "FROM 小说 ORDER BY 编号")))
        out << v.toString();
    return out;
}

// Type and value of both long fields of every chapter, as SQLite stores them.
QStringList storedForms(const QString &novel)
{
    waitForEditors();
    QStringList out;
    for (const QVariant &v : sqlColumn(novel, QStringLiteral("SELECT typeof(章节内容) || quote(章节内容) || "
                                                             "typeof(章节附注) || quote(章节附注) FROM 小说")))
        out << v.toString();
    return out;
}

} // namespace

class tst_chapter_stays_put : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFixture> f;
    QPointer<frm_write> w;
    QString novel;

    QLineEdit *treeEditor() const { return w->TreeView1->viewport()->findChild<QLineEdit *>(); }

    // Clicks y1 once to choose it, and once more, slower than a double
    // click, so that the tree sets out to rename it.
    void armRenameOfFirstChapter()
    {
        const int interval = QApplication::doubleClickInterval();
        clickTreeNode(w, treeNode(w, QStringLiteral("第一卷")));
        QTreeWidgetItem *y1 = treeNode(w, QStringLiteral("y1"));
        QVERIFY(y1);
        y1->parent()->setExpanded(true);
        const QPoint at = w->TreeView1->visualItemRect(y1).center();
        QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, at);
        QTest::qWait(interval + 100);
        QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, at);
    }

    // A right press on j1's row and the menu key of a command, as a hand does.
    void chooseForSecondRow(Qt::Key key)
    {
        pressListRow(w, 1, Qt::RightButton);
        QTRY_VERIFY(w->zhangjiecaozuo->isVisible());
        QTest::keyClick(w->zhangjiecaozuo, key);
    }

private slots:
    void init()
    {
        f = std::make_unique<ProgramFixture>();
        QVERIFY(f->isValid());
    }

    void cleanup()
    {
        deleteEditors();
        delete w;
        f.reset();
    }

    void renameUnderwayNeverMovesTheEditorsChapter_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<double>("delay"); // in double-click intervals
        for (const char *command : {"edit", "notes", "new chapter"}) {
            for (const double delay : {0.0, 0.5, 0.9, 1.3, 2.0})
                QTest::addRow("%s after %.1f double-click times", command, delay)
                    << QString::fromLatin1(command) << delay;
        }
    }
    void renameUnderwayNeverMovesTheEditorsChapter()
    {
        QFETCH(QString, command);
        QFETCH(double, delay);
        const int interval = QApplication::doubleClickInterval();
        w = openManager(*f, twoChapters(), &novel);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        armRenameOfFirstChapter();
        QTest::qWait(int(delay * interval));

        QStringList expected = chapters(novel);
        if (command == QLatin1String("edit")) {
            chooseForSecondRow(Qt::Key_M);
            QPointer<frm_edit> editor = shownEditor();
            QVERIFY(editor);
            QTest::qWait(2 * interval);
            editor->Text1->moveCursor(QTextCursor::End);
            typeText(editor->Text1, QStringLiteral("改"));
            expected[1] = QStringLiteral("j1:二的正文改:二的附注");
        } else if (command == QLatin1String("notes")) {
            QTimer::singleShot(0, this, [&] {
                auto *notes = qobject_cast<frm_ps *>(QApplication::activeModalWidget());
                QVERIFY(notes);
                QTest::qWait(2 * interval);
                notes->Text1->moveCursor(QTextCursor::End);
                typeText(notes->Text1, QStringLiteral("补"));
                QTest::mouseClick(notes->Command1, Qt::LeftButton);
            });
            chooseForSecondRow(Qt::Key_P);
            expected[1] = QStringLiteral("j1:二的正文:二的附注补");
        } else {
            f->prompts.inputs = {QStringLiteral("新章")};
            f->prompts.yesNo = {MsgYes};
            // The input box is up for a while, as when a user types a title.
            f->prompts.onPrompt = [&](const PromptCall &) { QTest::qWait(2 * interval); };
            chooseForSecondRow(Qt::Key_N);
            QPointer<frm_edit> editor = shownEditor();
            QVERIFY(editor);
            typeText(editor->Text1, QStringLiteral("起"));
            expected << QStringLiteral("新章:起:章节附注");
        }
        QCOMPARE(chapters(novel), expected);
        QTRY_VERIFY(!treeEditor());
        QCOMPARE(treeNode(w, QStringLiteral("y1"))->text(0), QStringLiteral("y1"));
        QCOMPARE(f->prompts.messages().filter(QStringLiteral("失败")), QStringList());
    }

    void disabledManagerStartsNoRename()
    {
        w = openManager(*f, twoChapters(), &novel);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        clickTreeNode(w, treeNode(w, QStringLiteral("第一卷")));
        pressListRow(w, 1, Qt::RightButton);
        QTRY_VERIFY(w->zhangjiecaozuo->isVisible());
        QTest::keyClick(w->zhangjiecaozuo, Qt::Key_M);
        QVERIFY(shownEditor());
        // Nothing the tree is asked to do while the editor is open begins a
        // rename: neither a key nor a request from the program.
        w->TreeView1->setCurrentItem(treeNode(w, QStringLiteral("y1")));
        QTest::keyClick(w->TreeView1, Qt::Key_F2);
        w->TreeView1->editItem(treeNode(w, QStringLiteral("y1")));
        QVERIFY(!treeEditor());
        QCOMPARE(w->Data1.text(QStringLiteral("章节名称")), QStringLiteral("j1"));
    }

    void storeGoesOnlyToTheChapterOpened()
    {
        // Should the data source stand elsewhere all the same, the text still
        // goes to the chapter opened, and the notes are not stored (the user
        // is told so).
        OpenChapter chapter(*f, twoChapters(), 0);
        frm_edit *editor = openInEditor(f->ctx, chapter);
        QVERIFY(editor);
        QVERIFY(chapter.Data1.MoveNext());
        editor->Text1->moveCursor(QTextCursor::End);
        typeText(editor->Text1, QStringLiteral("改"));
        QVERIFY(chapter.Data1.MoveFirst());
        typeText(editor->Text1, QStringLiteral("好"));
        QCOMPARE(chapters(chapter.path), (QStringList{"y1:一的正文改好:一的附注", "j1:二的正文:二的附注"}));
        QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));
        deleteEditors();

        QTimer::singleShot(0, this, [&] {
            auto *notes = qobject_cast<frm_ps *>(QApplication::activeModalWidget());
            QVERIFY(notes);
            notes->Text1->setPlainText(QStringLiteral("新注"));
            QVERIFY(chapter.Data1.MoveNext());
            QTest::mouseClick(notes->Command1, Qt::LeftButton);
            QVERIFY(notes->isVisible());
            QVERIFY(chapter.Data1.MoveFirst());
            QTest::mouseClick(notes->Command1, Qt::LeftButton);
        });
        showChapterNotes(f->ctx, chapter.Data1, &chapter.manager);
        const QStringList told = f->prompts.messages();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith(QStringLiteral("保存附注失败！")), qPrintable(told[0]));
        QCOMPARE(chapters(chapter.path), (QStringList{"y1:一的正文改好:新注", "j1:二的正文:二的附注"}));
    }

    void openingAndClosingStoresNothing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("GBK bytes stored as a blob") << "X'D5FDCEC4B5DAD2BBD5C2'";
        QTest::newRow("null") << "NULL";
        QTest::newRow("paragraph separator") << "'上' || char(8233) || '下'";
        QTest::newRow("noncharacters the box turns into breaks") << "'上' || char(64976) || char(64977) || '下'";
        QTest::newRow("lone line feed") << "'上' || char(10) || '下'";
    }
    void openingAndClosingStoresNothing()
    {
        QFETCH(QString, value);
        OpenChapter chapter(*f, QStringLiteral("正文"));
        sqlColumn(chapter.path, QStringLiteral("UPDATE 小说 SET 章节内容 = %1, 章节附注 = %1").arg(value));
        const QStringList before = storedForms(chapter.path);
        const qint64 logBefore = chapter.logSize();

        for (const bool edit : {true, false}) {
            QPointer<frm_edit> editor = openInEditor(f->ctx, chapter, edit);
            QVERIFY(editor);
            editor->close();
            QTRY_VERIFY(editor.isNull());
        }
        QTimer::singleShot(0, this, [] {
            auto *notes = qobject_cast<frm_ps *>(QApplication::activeModalWidget());
            QVERIFY(notes);
            QTest::mouseClick(notes->Command2, Qt::LeftButton);
        });
        showChapterNotes(f->ctx, chapter.Data1, &chapter.manager);

        QCOMPARE(storedForms(chapter.path), before);
        QCOMPARE(chapter.logSize(), logBefore);
        QVERIFY(f->prompts.calls.isEmpty());
    }
};

YZ_TEST_MAIN(tst_chapter_stays_put)
#include "tst_chapter_stays_put.moc"
