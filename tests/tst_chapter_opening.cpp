// The chapter manager opening its chapters: the chapter menu's edit, read and
// notes commands, and the new-chapter command with the editor opened on the
// new chapter, all driven through the real windows.
#include "chapters/frm_write.h"
#include "editor/frm_edit.h"
#include "editor/frm_ps.h"
#include "fixture.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace {

NovelSpec twoVolumes()
{
    NovelSpec recipe;
    recipe.volumes = {QStringLiteral("第一卷"), QStringLiteral("第二卷"), QStringLiteral("第三卷")};
    recipe.chapters = {
        {QStringLiteral("第一卷"), QStringLiteral("a1"), QStringLiteral("甲的正文"), QStringLiteral("甲的附注")},
        {QStringLiteral("第二卷"), QStringLiteral("b1"), QStringLiteral("乙的正文"), QStringLiteral("乙的附注")},
        {QStringLiteral("第一卷"), QStringLiteral("a2"), QStringLiteral("丙\r\n正文"), QStringLiteral("丙的附注")}};
    return recipe;
}

} // namespace

class tst_chapter_opening : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFixture> f;
    QPointer<frm_write> w;
    QString novel;

    void open(const NovelSpec &recipe = twoVolumes())
    {
        w = openManager(*f, recipe, &novel);
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

    QTreeWidgetItem *node(const QString &text) const { return treeNode(w, text); }

    void clickNode(const QString &text)
    {
        QTreeWidgetItem *item = node(text);
        QVERIFY(item);
        clickTreeNode(w, item);
    }

    void pressRow(int row, Qt::MouseButton button) { pressListRow(w, row, button); }

    // The chapter menu's command on the chapter of the row, as a user picks it.
    void chooseForRow(int row, QAction *command)
    {
        pressRow(row, Qt::RightButton);
        QTRY_VERIFY(w->zhangjiecaozuo->isVisible());
        w->zhangjiecaozuo->close();
        command->trigger();
    }

    QString stored(const QString &field, const QString &title) const
    {
        waitForEditors();
        return sqlColumn(novel, QStringLiteral("SELECT %1 FROM 小说 WHERE 章节名称 = '%2'").arg(field, title))
            .value(0)
            .toString();
    }

private slots:
    void init() { f = std::make_unique<ProgramFixture>(); }

    void cleanup()
    {
        deleteEditors();
        delete w;
        f.reset();
    }

    void editCommandOpensTheRowsChapterAndDisablesTheManager()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        const QStringList rowsBefore = listRows(w->ListView1);
        // A left press on one row, then a right press on another: the last
        // press chooses the chapter.
        pressRow(0, Qt::LeftButton);
        chooseForRow(1, w->xiugaizhangjie);
        QPointer<frm_edit> editor = shownEditor();
        QVERIFY(editor);
        QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("丙\n正文"));
        QCOMPARE(editor->panelText(2), QStringLiteral("编辑"));
        QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));
        QCOMPARE(editor->panelText(8), QStringLiteral("5"));
        // Typing goes into the text, not into the font list.
        QCOMPARE(editor->focusWidget(), editor->Text1);
        QVERIFY(!w->isEnabled());
        QCOMPARE(f->nav.fromManager, QVector<ManagerWindow>{ManagerWindow::EditChapter});
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("a2")), QStringLiteral("丙\r\n正文"));

        editor->Text1->moveCursor(QTextCursor::End);
        typeText(editor->Text1, QStringLiteral("续"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("a2")), QStringLiteral("丙\r\n正文续"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("a1")), QStringLiteral("甲的正文"));

        editor->close();
        QVERIFY(w->isEnabled());
        QTRY_VERIFY(editor.isNull());
        // Nothing in the manager is reloaded.
        QCOMPARE(listRows(w->ListView1), rowsBefore);
        QVERIFY(f->prompts.calls.isEmpty());
    }

    void managerStaysOpenWhileTheEditorIs()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        chooseForRow(0, w->xiugaizhangjie);
        QPointer<frm_edit> editor = shownEditor();
        QVERIFY(editor);
        // The close box of the disabled manager does nothing: typing must
        // still reach the chapter.
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(f->nav.shown.isEmpty());
        // Activating it brings the editor, where the keys go, to the front.
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QList<QWindow *> focused;
        QObject listening;
        connect(qApp, &QGuiApplication::focusWindowChanged, &listening, [&](QWindow *window) { focused << window; });
        w->activateWindow();
        QTRY_VERIFY(focused.contains(w->windowHandle()));
        QTRY_COMPARE(QApplication::activeWindow(), editor.data());
        // Nor does a click on its tree or list: the editor's chapter stays
        // the one it stores into.
        QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {},
                          w->TreeView1->visualItemRect(node(QStringLiteral("第二卷"))).center());
        pressRow(1, Qt::LeftButton);
        editor->Text1->moveCursor(QTextCursor::End);
        typeText(editor->Text1, QStringLiteral("续"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("a1")), QStringLiteral("甲的正文续"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("a2")), QStringLiteral("丙\r\n正文"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("b1")), QStringLiteral("乙的正文"));

        editor->close();
        QTRY_VERIFY(editor.isNull());
        QVERIFY(w->close());
        QCOMPARE(f->nav.shown, QStringList{QStringLiteral("frm_dl")});
    }

    void readCommandOpensLockedThenEditingWorksAgain()
    {
        open();
        clickNode(QStringLiteral("第二卷"));
        chooseForRow(0, w->yueduzhangjie);
        QPointer<frm_edit> editor = shownEditor();
        QVERIFY(editor);
        QCOMPARE(editor->panelText(2), QStringLiteral("阅读"));
        QCOMPARE(editor->panelText(4), QStringLiteral("阅读模式"));
        QCOMPARE(editor->panelText(8), QStringLiteral("4"));
        QVERIFY(!editor->Command3->isEnabled());
        QVERIFY(!w->isEnabled());
        typeText(editor->Text1, QStringLiteral("改"));
        QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("乙的正文"));
        editor->close();
        QTRY_VERIFY(editor.isNull());
        QVERIFY(w->isEnabled());

        chooseForRow(0, w->xiugaizhangjie);
        editor = shownEditor();
        QVERIFY(editor);
        QVERIFY(editor->Command3->isEnabled());
        typeText(editor->Text1, QStringLiteral("改"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("b1")), QStringLiteral("改乙的正文"));
    }

    void openingCommandsWithoutASelectedRowDoNothing()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        w->xiugaizhangjie->trigger();
        w->yueduzhangjie->trigger();
        QVERIFY(!shownEditor());
        QVERIFY(w->isEnabled());
        QVERIFY(f->prompts.calls.isEmpty());
    }

    void openingWithDataOnNoChapterSaysSo()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        pressRow(0, Qt::LeftButton);
        // The data source left on the volumes, as a failed or other command
        // may leave it.
        w->Data1.setRecordSource(QStringLiteral("分卷"));
        QVERIFY(w->Data1.Refresh());
        w->xiugaizhangjie_Click();
        w->yueduzhangjie_Click();
        w->chakanfuzhu_Click();
        QVERIFY(!shownEditor());
        QCOMPARE(f->prompts.messages(), QStringList(3, QStringLiteral("请选中一个章节后再操作！")));
        QVERIFY(w->isEnabled());
    }

    void notesCommandShowsTheRowsNotesModal()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        bool modal = false;
        QString shown;
        QTimer::singleShot(0, this, [&] {
            auto *notes = qobject_cast<frm_ps *>(QApplication::activeModalWidget());
            QVERIFY(notes);
            modal = notes->isModal();
            shown = notes->Text1->toPlainText();
            notes->Text1->setPlainText(QStringLiteral("新的附注"));
            QTest::mouseClick(notes->Command1, Qt::LeftButton);
        });
        chooseForRow(1, w->chakanfuzhu);
        QCOMPARE(f->nav.fromManager, QVector<ManagerWindow>{ManagerWindow::ChapterNotes});
        QVERIFY(modal);
        QCOMPARE(shown, QStringLiteral("丙的附注"));
        QCOMPARE(stored(QStringLiteral("章节附注"), QStringLiteral("a2")), QStringLiteral("新的附注"));
        QCOMPARE(stored(QStringLiteral("章节附注"), QStringLiteral("a1")), QStringLiteral("甲的附注"));
        QVERIFY(f->prompts.calls.isEmpty());
    }

    void newChapterGoesToTheChosenVolume_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("volume node") << QStringLiteral("第一卷") << QStringLiteral("第一卷") << QStringLiteral("第一卷")
                                     << QStringList{QStringLiteral("1 a1 4"), QStringLiteral("3 a2 5"),
                                                    QStringLiteral("4 第4章 开端 0")};
        QTest::newRow("chapter node") << QStringLiteral("第一卷") << QStringLiteral("a1") << QStringLiteral("第一卷")
                                      << QStringList{QStringLiteral("1 a1 4"), QStringLiteral("3 a2 5"),
                                                     QStringLiteral("4 第4章 开端 0")};
        QTest::newRow("other volume's chapter")
            << QStringLiteral("第一卷") << QStringLiteral("b1") << QStringLiteral("第二卷")
            << QStringList{QStringLiteral("1 a1 4"), QStringLiteral("3 a2 5"), QStringLiteral("4 第4章 开端 0")};
    }

    void newChapterGoesToTheChosenVolume()
    {
        QFETCH(QString, listed);
        QFETCH(QString, chosen);
        QFETCH(QString, volume);
        QFETCH(QStringList, rows);
        open();
        clickNode(listed);
        QTreeWidgetItem *choice = node(chosen);
        w->TreeView1->setCurrentItem(choice);
        const int childrenBefore = node(volume)->childCount();

        f->prompts.inputs = {QStringLiteral("第4章 开端")};
        f->prompts.yesNo = {MsgNo};
        pressRow(0, Qt::RightButton);
        QTRY_VERIFY(w->zhangjiecaozuo->isVisible());
        w->zhangjiecaozuo->close();
        w->xinjian->trigger();

        QCOMPARE(f->prompts.calls.size(), 2);
        QCOMPARE(f->prompts.calls.at(0).kind, QStringLiteral("input"));
        QCOMPARE(f->prompts.calls.at(0).text, QStringLiteral("请输入章节标题，格式：第n章 标题内容"));
        QCOMPARE(f->prompts.calls.at(0).caption, appTitle());
        QVERIFY(f->prompts.calls.at(0).current.isEmpty());
        QCOMPARE(f->prompts.calls.at(1).text, QStringLiteral("新章节添加完毕，是否开始编辑？"));
        QCOMPARE(f->prompts.calls.at(1).style, int(MsgAskYesNo));
        QCOMPARE(f->prompts.calls.at(1).caption, QStringLiteral("询问？"));

        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 所属分卷 || '|' || 章节内容 || '|' || 章节附注 FROM 小说 "
                                                 "WHERE 编号 = 4")),
                 QVariantList{volume + QStringLiteral("|章节内容|章节附注")});
        QTreeWidgetItem *parent = node(volume);
        QCOMPARE(parent->childCount(), childrenBefore + 1);
        QTreeWidgetItem *added = parent->child(parent->childCount() - 1);
        QCOMPARE(added->text(0), QStringLiteral("第4章 开端"));
        QCOMPARE(frm_write::nodeKey(added), QStringLiteral("num4"));
        QVERIFY(!added->isSelected());
        QCOMPARE(listRows(w->ListView1), rows);
        QCOMPARE(frm_write::nodeKey(w->ListView1->topLevelItem(2)), QStringLiteral("num4"));
        QVERIFY(!shownEditor());
        QVERIFY(w->isEnabled());

        // The volume's own listing numbers it by place and counts its text.
        clickNode(volume);
        QVERIFY(listRows(w->ListView1).contains(QStringLiteral("4 第4章 开端 4")));
    }

    void yesOpensTheEditorEmptyOnTheNewChapter()
    {
        open();
        clickNode(QStringLiteral("第三卷"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        w->TreeView1->setCurrentItem(node(QStringLiteral("第三卷")));
        f->prompts.inputs = {QStringLiteral("第一章 起")};
        f->prompts.yesNo = {MsgYes};
        // The empty list offers 新增章节.
        QTest::mousePress(w->ListView1->viewport(), Qt::RightButton, {}, QPoint(30, 30));
        QTRY_VERIFY(w->teshu->isVisible());
        w->teshu->close();
        w->teshuzengjia->trigger();

        QPointer<frm_edit> editor = shownEditor();
        QVERIFY(editor);
        QVERIFY(editor->Text1->toPlainText().isEmpty());
        QCOMPARE(editor->panelText(2), QStringLiteral("编辑"));
        QVERIFY(editor->panelText(8).isEmpty());
        QVERIFY(!w->isEnabled());
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("第一章 起")), QStringLiteral("章节内容"));

        typeText(editor->Text1, QStringLiteral("第一句"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("第一章 起")), QStringLiteral("第一句"));
        QCOMPARE(stored(QStringLiteral("章节内容"), QStringLiteral("a2")), QStringLiteral("丙\r\n正文"));
        QCOMPARE(listRows(w->ListView1), QStringList{QStringLiteral("4 第一章 起 0")});
        editor->close();
        QVERIFY(w->isEnabled());
    }

    void newChapterWithoutATitleAddsNothing_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::newRow("cancelled") << QStringList();
        QTest::newRow("empty") << QStringList{QString()};
    }

    void newChapterWithoutATitleAddsNothing()
    {
        QFETCH(QStringList, inputs);
        open();
        clickNode(QStringLiteral("第一卷"));
        w->TreeView1->setCurrentItem(node(QStringLiteral("第一卷")));
        f->prompts.inputs = inputs;
        w->xinjian_Click();
        QCOMPARE(f->prompts.messages(), QStringList{QStringLiteral("增加失败！请输入章节标题！")});
        QCOMPARE(f->prompts.calls.last().style, int(MsgCritical));
        QCOMPARE(f->prompts.calls.last().caption, QStringLiteral("警告"));
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT COUNT(*) FROM 小说")), QVariantList{3});
        QCOMPARE(node(QStringLiteral("第一卷"))->childCount(), 2);
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        QCOMPARE(w->Data1.recordSource(), QStringLiteral("小说"));
    }

    void newChapterWithoutAChosenVolumeIsRefused()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        w->TreeView1->clearSelection();
        w->TreeView1->setCurrentItem(nullptr);
        f->prompts.inputs = {QStringLiteral("不该加入")};
        w->xinjian_Click();
        QCOMPARE(f->prompts.messages(), QStringList{QStringLiteral("请先在目录中选中一个分卷，再新建章节！")});
        QCOMPARE(f->prompts.calls.size(), 1);
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT COUNT(*) FROM 小说")), QVariantList{3});
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
    }

    void newChapterOnALockedFileSaysSoAndAddsNothing()
    {
        open();
        clickNode(QStringLiteral("第一卷"));
        w->TreeView1->setCurrentItem(node(QStringLiteral("第一卷")));
        f->prompts.inputs = {QStringLiteral("第4章")};
        FileLock lock(novel);
        w->xinjian_Click();
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY(f->prompts.messages().first().startsWith(QStringLiteral("新建章节失败！")));
        lock.release();
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT COUNT(*) FROM 小说")), QVariantList{3});
        QCOMPARE(node(QStringLiteral("第一卷"))->childCount(), 2);
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        QVERIFY(!shownEditor());
    }
};

YZ_TEST_MAIN(tst_chapter_opening)
#include "tst_chapter_opening.moc"
