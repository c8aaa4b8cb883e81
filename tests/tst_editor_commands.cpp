// The editor's commands: the 功能菜单 popup in place of the text box's own
// menu, clipboard, select all and one-level undo in both modes, full screen
// and restore, and import and export of GBK text files.
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "open_chapter.h"
#include "small_disk.h"
#include "store/ansi_codec.h"
#include "test_main.h"
#include "window_checks.h"

#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

namespace {

// How long a menu that should not open is waited for.
constexpr int kNoMenuMs = 500;

} // namespace

class tst_editor_commands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rightButtonOpensOnlyTheEditorsMenu();
    void contextMenuKeyOpensNothing();
    void rightPressOnTheScrollBarOpensNothing();
    void copyPutsTheSelectionOrNothingOnTheClipboard();
    void cutDeletesWithoutTouchingTheClipboard();
    void pasteReplacesTheSelection();
    void undoTwiceRestoresAndEachUndoIsStored();
    void readModeRefusesChangesButCopies();
    void fullScreenThenRestoreStaysOnTop();
    void importedGbkFileExportsByteIdentical();
    void exportWritesQuestionMarksAndReplacesLongerFiles();
    void importOfAnEmptyFileGivesTheEmptyText();
    void importKeepsABrokenLastByteAsAReplacementCharacter();
    void unreadableImportChangesNothing();
    void failedExportIsReported();
    void failedExportLeavesTheOldFileWhole();
    void cancelledDialogsDoNothing();
    void aboutShowsTheAboutBox();

private:
    frm_edit *open(OpenChapter &chapter, bool edit = true);
    void select(frm_edit *editor, int from, int to);

    ProgramFixture *m_fx = nullptr;
};

void tst_editor_commands::init()
{
    m_fx = new ProgramFixture;
    QGuiApplication::clipboard()->clear();
}

void tst_editor_commands::cleanup()
{
    deleteEditors();
    delete m_fx;
    m_fx = nullptr;
}

frm_edit *tst_editor_commands::open(OpenChapter &chapter, bool edit)
{
    return openInEditor(m_fx->ctx, chapter, edit);
}

void tst_editor_commands::select(frm_edit *editor, int from, int to)
{
    QTextCursor cursor = editor->Text1->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    editor->Text1->setTextCursor(cursor);
}

void tst_editor_commands::rightButtonOpensOnlyTheEditorsMenu()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter);
    QWidget *viewport = editor->Text1->viewport();
    QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    QTRY_VERIFY(editor->gongneng->isVisible());
    QCOMPARE(QApplication::activePopupWidget(), editor->gongneng);

    QStringList items;
    for (const QAction *a : editor->gongneng->actions())
        items << a->objectName() + QLatin1Char('=') + a->text() + QLatin1Char('=') + a->shortcut().toString();
    const QStringList expected = {QStringLiteral("fuzhu=复制(&C)=Ctrl+C"),
                                  QStringLiteral("zhantie=粘贴(&V)=Ctrl+V"),
                                  QStringLiteral("jianqie=剪切(&T)=Ctrl+T"),
                                  QStringLiteral("quanxuan=全选(&S)=Ctrl+S"),
                                  QStringLiteral("chexiao=撤销(&U)=Ctrl+U"),
                                  QStringLiteral("fenge=="),
                                  QStringLiteral("ziliaochaxun=资料查询="),
                                  QStringLiteral("juese=角色查询="),
                                  QStringLiteral("fengess=="),
                                  QStringLiteral("about=关于我们=")};
    QCOMPARE(items.mid(0, expected.size()), expected);
    // Find and replace comes after the designed items.
    QCOMPARE(items.mid(expected.size()),
             QStringList({QStringLiteral("chazhaofenge=="), QStringLiteral("chazhaotihuan=查找替换(&F)=Ctrl+H")}));
    QCOMPARE(editor->gongneng->title(), QStringLiteral("功能菜单"));

    // The lookups only close the menu.
    editor->gongneng->actions().at(6)->trigger();
    editor->gongneng->close();
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("正文"));

    // A context-menu event from the mouse reaches no menu either.
    QContextMenuEvent mouseMenu(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(viewport, &mouseMenu);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

void tst_editor_commands::contextMenuKeyOpensNothing()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter);
    PopupWatch popups;
    QTest::keyClick(editor->Text1, Qt::Key_Menu);
    QContextMenuEvent keyMenu(QContextMenuEvent::Keyboard, QPoint(5, 5), editor->Text1->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(editor->Text1, &keyMenu);
    QCOMPARE(popups.shownWithin(kNoMenuMs), QStringList());
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    QVERIFY(!editor->gongneng->isVisible());
}

void tst_editor_commands::rightPressOnTheScrollBarOpensNothing()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文\r\n").repeated(200));
    frm_edit *editor = open(chapter);
    QScrollBar *bar = editor->Text1->verticalScrollBar();
    QVERIFY(bar->isVisible());
    PopupWatch popups;

    // A real right press, through the window as the window system sends it,
    // then the menu request the toolkit makes of it.
    const QPoint onBar = bar->rect().center();
    QWindow *window = editor->windowHandle();
    const QPoint inWindow = window->mapFromGlobal(bar->mapToGlobal(onBar));
    QTest::mousePress(window, Qt::RightButton, {}, inWindow);
    QTest::mouseRelease(window, Qt::RightButton, {}, inWindow);
    QContextMenuEvent request(QContextMenuEvent::Mouse, onBar, bar->mapToGlobal(onBar));
    QApplication::sendEvent(bar, &request);
    QCOMPARE(popups.shownWithin(kNoMenuMs), QStringList());
    QVERIFY(!editor->gongneng->isVisible());
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("正文\n").repeated(200));
}

void tst_editor_commands::copyPutsTheSelectionOrNothingOnTheClipboard()
{
    OpenChapter chapter(*m_fx, QStringLiteral("甲乙\r\n丙"));
    frm_edit *editor = open(chapter);
    select(editor, 1, 4);
    editor->fuzhu->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("乙\n丙"));

    select(editor, 2, 2);
    editor->fuzhu->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QCOMPARE(chapter.storedText(), QStringLiteral("甲乙\r\n丙"));
}

void tst_editor_commands::cutDeletesWithoutTouchingTheClipboard()
{
    OpenChapter chapter(*m_fx, QStringLiteral("甲乙丙"));
    frm_edit *editor = open(chapter);
    QGuiApplication::clipboard()->setText(QStringLiteral("旧的"));
    select(editor, 0, 2);
    editor->jianqie->trigger();
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("丙"));
    QCOMPARE(chapter.storedText(), QStringLiteral("丙"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("旧的"));
    QCOMPARE(editor->panelText(8), QStringLiteral("1"));
}

void tst_editor_commands::pasteReplacesTheSelection()
{
    OpenChapter chapter(*m_fx, QStringLiteral("甲乙丙"));
    frm_edit *editor = open(chapter);
    QGuiApplication::clipboard()->setText(QStringLiteral("一\n二"));
    select(editor, 1, 2);
    editor->zhantie->trigger();
    QCOMPARE(chapter.storedText(), QStringLiteral("甲一\r\n二丙"));
    QCOMPARE(editor->panelText(8), QStringLiteral("6"));

    // A clipboard without text deletes the selection.
    QGuiApplication::clipboard()->clear();
    select(editor, 0, 1);
    editor->zhantie->trigger();
    QCOMPARE(chapter.storedText(), QStringLiteral("一\r\n二丙"));
}

void tst_editor_commands::undoTwiceRestoresAndEachUndoIsStored()
{
    OpenChapter chapter(*m_fx, QStringLiteral("原文"));
    frm_edit *editor = open(chapter);
    editor->Text1->moveCursor(QTextCursor::End);
    typeText(editor->Text1, QStringLiteral("新的"));
    QCOMPARE(chapter.storedText(), QStringLiteral("原文新的"));

    editor->chexiao->trigger();
    const QString undone = editor->Text1->toPlainText();
    QVERIFY(undone != QStringLiteral("原文新的"));
    QVERIFY(QStringLiteral("原文新的").startsWith(undone));
    QCOMPARE(chapter.storedText(), undone);

    editor->chexiao->trigger();
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("原文新的"));
    QCOMPARE(chapter.storedText(), QStringLiteral("原文新的"));

    // The box's own undo key goes the same one-level way.
    QTest::keyClick(editor->Text1, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor->Text1->toPlainText(), undone);
    QTest::keyClick(editor->Text1, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("原文新的"));

    // An edit after an undo is what the next undo takes back.
    editor->chexiao->trigger();
    editor->Text1->moveCursor(QTextCursor::End);
    typeText(editor->Text1, QStringLiteral("再"));
    const QString edited = editor->Text1->toPlainText();
    editor->chexiao->trigger();
    QCOMPARE(editor->Text1->toPlainText(), undone);
    editor->chexiao->trigger();
    QCOMPARE(editor->Text1->toPlainText(), edited);
    QCOMPARE(chapter.storedText(), edited);
}

void tst_editor_commands::readModeRefusesChangesButCopies()
{
    OpenChapter chapter(*m_fx, QStringLiteral("甲乙丙"));
    frm_edit *editor = open(chapter, false);
    const qint64 logBefore = chapter.logSize();
    QGuiApplication::clipboard()->setText(QStringLiteral("贴"));
    select(editor, 0, 1);
    editor->zhantie->trigger();
    editor->jianqie->trigger();
    editor->chexiao->trigger();
    QTest::keyClick(editor->Text1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(editor->Text1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("甲乙丙"));
    QCOMPARE(chapter.logSize(), logBefore);

    editor->fuzhu->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("甲"));
    editor->quanxuan->trigger();
    QCOMPARE(editor->Text1->textCursor().selectedText(), QStringLiteral("甲乙丙"));

    QTest::mouseClick(editor->Text1->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    QTRY_VERIFY(editor->gongneng->isVisible());
    editor->gongneng->close();
}

void tst_editor_commands::fullScreenThenRestoreStaysOnTop()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter);
    QTest::mouseClick(editor->Command1, Qt::LeftButton);
    QVERIFY(editor->isVisible());
    QVERIFY(editor->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(editor->frameGeometry(), editor->screen()->geometry());
    QVERIFY(!editor->Command1->isEnabled());
    QVERIFY(editor->Command2->isEnabled());
    // The text box follows the window.
    QTRY_VERIFY(editor->Text1->width() > editor->screen()->geometry().width() * 9 / 10);

    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QVERIFY(editor->windowState() & Qt::WindowMaximized);
    QVERIFY(editor->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(editor->Command1->isEnabled());
    QVERIFY(!editor->Command2->isEnabled());
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("正文"));
}

void tst_editor_commands::importedGbkFileExportsByteIdentical()
{
    OpenChapter chapter(*m_fx, QStringLiteral("旧的正文"));
    frm_edit *editor = open(chapter);
    const QByteArray gbk = ansi::encode(QStringLiteral("第一行，天地玄黄。\r\n第二行 abc"));
    QCOMPARE(gbk.size(), 30); // two bytes a Chinese character, no byte-order mark
    const QString in = m_fx->path(QStringLiteral("两行.txt"));
    const QString out = m_fx->path(QStringLiteral("导出.txt"));
    m_fx->writeFile(in, gbk);

    m_fx->prompts.files = {in, out};
    QTest::mouseClick(editor->Command3, Qt::LeftButton);
    QCOMPARE(editor->Text1->document()->blockCount(), 2);
    QCOMPARE(editor->Text1->document()->findBlockByNumber(1).text(), QStringLiteral("第二行 abc"));
    QCOMPARE(chapter.storedText(), QStringLiteral("第一行，天地玄黄。\r\n第二行 abc"));
    QCOMPARE(editor->panelText(8), QStringLiteral("18"));

    QTest::mouseClick(editor->Command4, Qt::LeftButton);
    QCOMPARE(readAll(out), gbk);
    QCOMPARE(m_fx->prompts.calls.size(), 2);
    QCOMPARE(m_fx->prompts.calls.at(0).kind, QStringLiteral("open"));
    QCOMPARE(m_fx->prompts.calls.at(0).text, QStringLiteral("文本文件(*.txt)|*.txt"));
    QCOMPARE(m_fx->prompts.calls.at(1).kind, QStringLiteral("save"));
    QCOMPARE(m_fx->prompts.calls.at(1).current, in);
}

void tst_editor_commands::exportWritesQuestionMarksAndReplacesLongerFiles()
{
    OpenChapter chapter(*m_fx, QStringLiteral("甲\u0E01乙"));
    frm_edit *editor = open(chapter, false);
    const QString out = m_fx->path(QStringLiteral("旧文件.txt"));
    m_fx->writeFile(out, QByteArray(1000, 'x'));
    m_fx->prompts.files = {out};
    editor->Command4_Click();
    QCOMPARE(readAll(out), ansi::encode(QStringLiteral("甲")) + '?' + ansi::encode(QStringLiteral("乙")));
    QVERIFY(m_fx->prompts.messages().isEmpty());
}

void tst_editor_commands::importOfAnEmptyFileGivesTheEmptyText()
{
    OpenChapter chapter(*m_fx, QStringLiteral("旧的正文"));
    frm_edit *editor = open(chapter);
    const QString empty = m_fx->path(QStringLiteral("空.txt"));
    m_fx->writeFile(empty, QByteArray());
    m_fx->prompts.files = {empty};
    editor->Command3_Click();
    QCOMPARE(editor->Text1->toPlainText(), QString());
    QCOMPARE(chapter.storedText(), QString());
    QCOMPARE(editor->panelText(8), QStringLiteral("0"));
    QVERIFY(m_fx->prompts.messages().isEmpty());
}

void tst_editor_commands::importKeepsABrokenLastByteAsAReplacementCharacter()
{
    OpenChapter chapter(*m_fx, QStringLiteral("旧的正文"));
    frm_edit *editor = open(chapter);
    const QString broken = m_fx->path(QStringLiteral("断尾.txt"));
    m_fx->writeFile(broken, "abc\xD6");
    m_fx->prompts.files = {broken};
    editor->Command3_Click();
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("abc\uFFFD"));
    QCOMPARE(chapter.storedText(), QStringLiteral("abc\uFFFD"));
    QCOMPARE(editor->panelText(8), QStringLiteral("4"));
}

void tst_editor_commands::unreadableImportChangesNothing()
{
    OpenChapter chapter(*m_fx, QStringLiteral("旧的正文"));
    frm_edit *editor = open(chapter);
    m_fx->prompts.files = {m_fx->path(QStringLiteral("不存在.txt")), m_fx->dataDir()};
    editor->Command3_Click();
    editor->Command3_Click();
    QCOMPARE(m_fx->prompts.messages().size(), 2);
    for (const PromptCall &c : std::as_const(m_fx->prompts.calls)) {
        if (c.kind == QLatin1String("message")) {
            QVERIFY(c.text.startsWith(QStringLiteral("导入失败！")));
            QCOMPARE(c.style, int(MsgCritical));
        }
    }
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("旧的正文"));
    QCOMPARE(chapter.storedText(), QStringLiteral("旧的正文"));
}

void tst_editor_commands::failedExportIsReported()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter);
    const QString nowhere = m_fx->path(QStringLiteral("没有的目录/导出.txt"));
    m_fx->prompts.files = {nowhere};
    editor->Command4_Click();
    QCOMPARE(m_fx->prompts.messages().size(), 1);
    QVERIFY(m_fx->prompts.messages().first().startsWith(QStringLiteral("导出失败！")));
    QVERIFY(!QFile::exists(nowhere));
}

void tst_editor_commands::failedExportLeavesTheOldFileWhole()
{
    // A full disk where no file can be made beside the old one: the export
    // must fail without writing into the old file.
    SmallDisk disk(512 * 1024, 16);
    if (!disk.isMounted())
        QSKIP("cannot mount a small file system here (needs root)");
    const QString out = disk.filePath(QStringLiteral("旧稿.txt"));
    const QByteArray old(300000, 'x');
    m_fx->writeFile(out, old);
    disk.useUpFileNames();
    OpenChapter chapter(*m_fx, QString(600000, QChar(0x5B57)));
    frm_edit *editor = open(chapter, false);
    m_fx->prompts.files = {out};
    editor->Command4_Click();
    QCOMPARE(m_fx->prompts.messages().size(), 1);
    QVERIFY(m_fx->prompts.messages().first().startsWith(QStringLiteral("导出失败！")));
    QCOMPARE(readAll(out), old);
}

void tst_editor_commands::cancelledDialogsDoNothing()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter);
    editor->Command3_Click();
    editor->Command4_Click();
    QCOMPARE(m_fx->prompts.calls.size(), 2);
    QVERIFY(m_fx->prompts.messages().isEmpty());
    QCOMPARE(chapter.storedText(), QStringLiteral("正文"));
}

void tst_editor_commands::aboutShowsTheAboutBox()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter, false);
    editor->about->trigger();
    QCOMPARE(m_fx->nav.shown, QStringList{QStringLiteral("frm_about")});
}

YZ_TEST_MAIN(tst_editor_commands)
#include "tst_editor_commands.moc"
