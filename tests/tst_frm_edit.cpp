// The chapter editor as the chapter manager opens it: panels, counting and
// storing on every change, read mode, font list and size box, Tab, resizing,
// and what happens when the novel file refuses a change.
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "hostile_files.h"
#include "open_chapter.h"
#include "test_main.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class tst_frm_edit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void editOpeningShowsCountsAndStoresNothing();
    void closingEnablesTheManagerAgain();
    void readOpeningLocksTheText();
    void newChapterOpeningStartsEmpty();
    void everyKeystrokeStoresTheWholeText();
    void countsUtf16UnitsWithLineBreaksAsTwo_data();
    void countsUtf16UnitsWithLineBreaksAsTwo();
    void fontSizeBoxTakesOnlyUsableSizes_data();
    void fontSizeBoxTakesOnlyUsableSizes();
    void fontListChangesTheWholeText();
    void tabInsertsATabOnlyInEditMode();
    void resizingScalesControlsAndKeepsTheFontBoxesInPlace();
    void clockShowsDateAndTime();
    void lockedFileKeepsTheTextAndRetries();
    void closingWithAnUnstoredChangeWarnsFirst();
    void deletedFileIsReportedNotIgnored();
    void openingWithoutAChapterIsRefused();

private:
    frm_edit *open(OpenChapter &chapter, bool edit = true);
    void type(frm_edit *editor, const QString &keys);

    ProgramFixture *m_fx = nullptr;
};

void tst_frm_edit::init()
{
    m_fx = new ProgramFixture;
}

void tst_frm_edit::cleanup()
{
    deleteEditors();
    delete m_fx;
    m_fx = nullptr;
}

frm_edit *tst_frm_edit::open(OpenChapter &chapter, bool edit)
{
    return openInEditor(m_fx->ctx, chapter, edit);
}

void tst_frm_edit::type(frm_edit *editor, const QString &keys)
{
    typeText(editor->Text1, keys);
}

void tst_frm_edit::editOpeningShowsCountsAndStoresNothing()
{
    const QString text = QStringLiteral("第一行\r\n第二行");
    OpenChapter chapter(*m_fx, text);
    const qint64 logBefore = chapter.logSize();
    frm_edit *editor = open(chapter);
    QVERIFY(editor);

    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("第一行\n第二行"));
    QCOMPARE(editor->panelText(1), QStringLiteral("功能："));
    QCOMPARE(editor->panelText(2), QStringLiteral("编辑"));
    QCOMPARE(editor->panelText(3), QStringLiteral("状态："));
    QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));
    QCOMPARE(editor->panelText(5), QStringLiteral("当前时间："));
    QCOMPARE(editor->panelText(7), QStringLiteral("字数："));
    QCOMPARE(editor->panelText(8), QStringLiteral("8"));
    QVERIFY(!chapter.manager.isEnabled());
    QVERIFY(editor->Command3->isEnabled());
    QVERIFY(editor->Command1->isEnabled());
    QVERIFY(!editor->Command2->isEnabled());
    // Loading is counted like a change but writes nothing.
    QCOMPARE(chapter.storedText(), text);
    QCOMPARE(chapter.logSize(), logBefore);
    QCOMPARE(editor->Text1->font().family(), QStringLiteral("宋体"));
    QCOMPARE(editor->Text1->font().pointSizeF(), 14.25);
    QCOMPARE(editor->Text2->text(), QStringLiteral("14.25"));
}

void tst_frm_edit::closingEnablesTheManagerAgain()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    QPointer<frm_edit> editor = open(chapter);
    editor->Text1->moveCursor(QTextCursor::End);
    type(editor, QStringLiteral("续"));
    QVERIFY(!chapter.manager.isEnabled());
    QVERIFY(editor->close());
    QVERIFY(chapter.manager.isEnabled());
    QTRY_VERIFY(editor.isNull());
    QCOMPARE(chapter.storedText(), QStringLiteral("正文续"));
    QVERIFY(m_fx->prompts.calls.isEmpty());
}

void tst_frm_edit::readOpeningLocksTheText()
{
    OpenChapter chapter(*m_fx, QStringLiteral("只读的正文"));
    QPointer<frm_edit> editor = open(chapter, false);
    QVERIFY(editor);
    QCOMPARE(editor->panelText(2), QStringLiteral("阅读"));
    QCOMPARE(editor->panelText(4), QStringLiteral("阅读模式"));
    QCOMPARE(editor->panelText(8), QStringLiteral("5"));
    QVERIFY(!editor->Command3->isEnabled());
    QVERIFY(editor->Text1->isReadOnly());
    QVERIFY(!chapter.manager.isEnabled());

    const qint64 logBefore = chapter.logSize();
    editor->Text1->moveCursor(QTextCursor::End);
    type(editor, QStringLiteral("改"));
    QTest::keyClick(editor->Text1, Qt::Key_Tab);
    QTest::keyClick(editor->Text1, Qt::Key_Backspace);
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("只读的正文"));
    QCOMPARE(editor->panelText(4), QStringLiteral("阅读模式"));
    QCOMPARE(chapter.logSize(), logBefore);
    QTRY_COMPARE(QApplication::focusWidget(), editor->Text1);

    editor->close();
    QVERIFY(chapter.manager.isEnabled());
    QTRY_VERIFY(editor.isNull());

    // The next opening is a fresh window: editable again.
    editor = open(chapter);
    QVERIFY(!editor->Text1->isReadOnly());
    QVERIFY(editor->Command3->isEnabled());
    editor->Text1->moveCursor(QTextCursor::End);
    type(editor, QStringLiteral("改"));
    QCOMPARE(chapter.storedText(), QStringLiteral("只读的正文改"));
}

void tst_frm_edit::newChapterOpeningStartsEmpty()
{
    OpenChapter chapter(*m_fx, QStringLiteral("章节内容"));
    frm_edit *editor = openEditorForNewChapter(m_fx->ctx, chapter.Data1, &chapter.manager);
    QVERIFY(editor);
    QVERIFY(editor->Text1->toPlainText().isEmpty());
    QCOMPARE(editor->panelText(2), QStringLiteral("编辑"));
    QVERIFY(editor->panelText(4).isEmpty());
    QVERIFY(editor->panelText(8).isEmpty());
    QVERIFY(!chapter.manager.isEnabled());
    QCOMPARE(chapter.storedText(), QStringLiteral("章节内容"));

    type(editor, QStringLiteral("开"));
    QCOMPARE(editor->panelText(8), QStringLiteral("1"));
    QCOMPARE(chapter.storedText(), QStringLiteral("开"));
}

void tst_frm_edit::everyKeystrokeStoresTheWholeText()
{
    OpenChapter chapter(*m_fx, QString());
    frm_edit *editor = open(chapter);
    QCOMPARE(editor->panelText(8), QStringLiteral("0"));

    const QString keys = QStringLiteral("天地玄黄");
    QString expected;
    for (const QChar c : keys) {
        type(editor, QString(c));
        expected += c;
        QCOMPARE(chapter.storedText(), expected);
        QCOMPARE(editor->panelText(8), QString::number(expected.size()));
    }
    QTest::keyClick(editor->Text1, Qt::Key_Return);
    QCOMPARE(chapter.storedText(), expected + QStringLiteral("\r\n"));
    QCOMPARE(editor->panelText(8), QString::number(expected.size() + 2));
    QTest::keyClick(editor->Text1, Qt::Key_Backspace);
    QCOMPARE(chapter.storedText(), expected);
    QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));
}

void tst_frm_edit::countsUtf16UnitsWithLineBreaksAsTwo_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("chinese, break, chinese") << QStringLiteral("天地人\r\n日月") << 7;
    QTest::newRow("letters and spaces") << QStringLiteral("a b，c。") << 6;
    QTest::newRow("empty lines") << QStringLiteral("\r\n\r\n") << 4;
    QTest::newRow("outside the basic plane") << QStringLiteral("𠀀字") << 3;
    QTest::newRow("lone line feed stored as a break") << QStringLiteral("上\n下") << 4;
    QTest::newRow("tab and no-break space") << QStringLiteral("\t\u00A0") << 2;
}

void tst_frm_edit::countsUtf16UnitsWithLineBreaksAsTwo()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    OpenChapter chapter(*m_fx, text);
    frm_edit *editor = open(chapter);
    QCOMPARE(editor->panelText(8), QString::number(count));
    QCOMPARE(chapter.storedText(), text);
    // The first change stores the text as the box holds it.
    editor->Text1->moveCursor(QTextCursor::End);
    type(editor, QStringLiteral("末"));
    QTest::keyClick(editor->Text1, Qt::Key_Backspace);
    QCOMPARE(chapter.storedText().size(), count);
    QCOMPARE(chapter.storedText(), QString(text).replace(QRegularExpression(QStringLiteral("\r?\n")), "\r\n"));
}

void tst_frm_edit::fontSizeBoxTakesOnlyUsableSizes_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<double>("size");
    QTest::newRow("whole number") << QStringLiteral("20") << 20.0;
    QTest::newRow("number then letters") << QStringLiteral("12.5pt") << 12.5;
    QTest::newRow("zero") << QStringLiteral("0") << 14.25;
    QTest::newRow("letters only") << QStringLiteral("大") << 14.25;
    QTest::newRow("empty") << QString() << 14.25;
    QTest::newRow("negative") << QStringLiteral("-8") << 14.25;
    QTest::newRow("huge") << QStringLiteral("99999999999999999999") << 14.25;
    QTest::newRow("too large") << QStringLiteral("100000") << 14.25;
}

void tst_frm_edit::fontSizeBoxTakesOnlyUsableSizes()
{
    QFETCH(QString, entry);
    QFETCH(double, size);
    OpenChapter chapter(*m_fx, QStringLiteral("字"));
    frm_edit *editor = open(chapter);
    editor->Text2->setText(entry);
    QCOMPARE(editor->Text1->font().pointSizeF(), size);
    // Changing the font is no change of the text.
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("字"));
}

void tst_frm_edit::fontListChangesTheWholeText()
{
    OpenChapter chapter(*m_fx, QStringLiteral("字体"));
    frm_edit *editor = open(chapter);
    QVERIFY(editor->Combo1->count() > 0);
    const int other = editor->Combo1->currentIndex() == 0 ? 1 % editor->Combo1->count() : 0;
    // A change of font is no change of the text: nothing is stored, so the
    // lock on the file goes unnoticed.
    FileLock lock(chapter.path);
    editor->Combo1->setCurrentIndex(other);
    editor->Text2->setText(QStringLiteral("20"));
    QCOMPARE(editor->Text1->font().family(), editor->Combo1->itemText(other));
    QCOMPARE(editor->Text1->font().pointSizeF(), 20.0);
    QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));
    QVERIFY(editor->isStored());
}

void tst_frm_edit::tabInsertsATabOnlyInEditMode()
{
    OpenChapter chapter(*m_fx, QStringLiteral("甲乙丙"));
    frm_edit *editor = open(chapter);
    QTextCursor cursor = editor->Text1->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    editor->Text1->setTextCursor(cursor);
    QTest::keyClick(editor->Text1, Qt::Key_Tab);
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("甲\t丙"));
    QCOMPARE(chapter.storedText(), QStringLiteral("甲\t丙"));
    QTRY_COMPARE(QApplication::focusWidget(), editor->Text1);
    QTest::keyClick(editor->Text1, Qt::Key_Tab);
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("甲\t\t丙"));
}

void tst_frm_edit::resizingScalesControlsAndKeepsTheFontBoxesInPlace()
{
    OpenChapter chapter(*m_fx, QStringLiteral("正文"));
    frm_edit *editor = open(chapter);
    QWidget *central = editor->centralWidget();
    const QRect text = editor->Text1->geometry();
    const QRect button = editor->Command4->geometry();
    const QRect fonts = editor->Combo1->geometry();
    const QSize before = central->size();

    editor->resize(editor->width() * 2, editor->height() + before.height());
    QTRY_COMPARE(central->width(), before.width() * 2);
    QCOMPARE(central->height(), before.height() * 2);
    QVERIFY(qAbs(editor->Text1->width() - 2 * text.width()) <= 1);
    QVERIFY(qAbs(editor->Text1->height() - 2 * text.height()) <= 1);
    QVERIFY(qAbs(editor->Command4->x() - 2 * button.x()) <= 1);
    // The size box keeps its place and size; the font list only its place,
    // its size follows the window like every other control.
    QCOMPARE(editor->Text2->geometry(), twRect(1800, 120, 735, 270));
    QCOMPARE(editor->Combo1->pos(), twRect(0, 120, 0, 0).topLeft());
    QVERIFY(qAbs(editor->Combo1->width() - 2 * fonts.width()) <= 1);
    QVERIFY(qAbs(editor->Combo1->height() - 2 * fonts.height()) <= 1);

    editor->resize(editor->width() / 2, editor->height() - before.height());
    QTRY_COMPARE(central->size(), before);
    QCOMPARE(editor->Text1->geometry(), text);
    QCOMPARE(editor->Command4->geometry(), button);
    QCOMPARE(editor->Combo1->geometry(), fonts);
}

void tst_frm_edit::clockShowsDateAndTime()
{
    OpenChapter chapter(*m_fx, QString());
    frm_edit *editor = open(chapter);
    QTRY_VERIFY(!editor->panelText(6).isEmpty());
    const QDateTime shown = QDateTime::fromString(editor->panelText(6), QStringLiteral("yyyy/M/d H:mm:ss"));
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) < 5);
}

void tst_frm_edit::lockedFileKeepsTheTextAndRetries()
{
    OpenChapter chapter(*m_fx, QStringLiteral("原文"));
    frm_edit *editor = open(chapter);
    editor->Text1->moveCursor(QTextCursor::End);
    FileLock lock(chapter.path);
    QVERIFY(lock.isLocked());

    type(editor, QStringLiteral("一"));
    QVERIFY(!editor->waitUntilStored());
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("原文一"));
    QCOMPARE(editor->panelText(4), QStringLiteral("未能保存！"));
    QCOMPARE(editor->panelText(8), QStringLiteral("3"));
    QVERIFY(!editor->isStored());
    QVERIFY(m_fx->prompts.calls.isEmpty());

    lock.release();
    // Tried again on its own, without another key.
    QTRY_COMPARE_WITH_TIMEOUT(editor->panelText(4), QStringLiteral("已经修改"), 5000);
    QCOMPARE(chapter.storedText(), QStringLiteral("原文一"));
    type(editor, QStringLiteral("二"));
    QCOMPARE(chapter.storedText(), QStringLiteral("原文一二"));
    QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));
    QVERIFY(editor->isStored());
}

void tst_frm_edit::closingWithAnUnstoredChangeWarnsFirst()
{
    OpenChapter chapter(*m_fx, QStringLiteral("原文"));
    QPointer<frm_edit> editor = open(chapter);
    editor->Text1->moveCursor(QTextCursor::End);
    {
        FileLock lock(chapter.path);
        type(editor, QStringLiteral("新"));
        QVERIFY(!editor->waitUntilStored());

        m_fx->prompts.yesNo = {MsgNo};
        QVERIFY(!editor->close());
        QCOMPARE(m_fx->prompts.calls.size(), 1);
        const PromptCall warning = m_fx->prompts.calls.first();
        QCOMPARE(warning.style, int(MsgAskYesNo));
        QCOMPARE(warning.caption, QStringLiteral("警告"));
        QVERIFY(warning.text.contains(QStringLiteral("没有存入小说文件")));
        QVERIFY(editor->isVisible());
        QVERIFY(!chapter.manager.isEnabled());
    }
    // With the file free again, closing stores the change and asks nothing.
    m_fx->prompts.clear();
    QVERIFY(editor->close());
    QVERIFY(m_fx->prompts.calls.isEmpty());
    QCOMPARE(chapter.storedText(), QStringLiteral("原文新"));
    QTRY_VERIFY(editor.isNull());

    // Yes closes and gives the change up.
    editor = open(chapter);
    editor->Text1->moveCursor(QTextCursor::End);
    FileLock lock(chapter.path);
    type(editor, QStringLiteral("丢"));
    m_fx->prompts.yesNo = {MsgYes};
    QVERIFY(editor->close());
    QVERIFY(chapter.manager.isEnabled());
    lock.release();
    QCOMPARE(chapter.storedText(), QStringLiteral("原文新"));
}

void tst_frm_edit::deletedFileIsReportedNotIgnored()
{
    if (!openFilesCanBeDeleted())
        QSKIP("this system deletes no file that the program holds open");
    OpenChapter chapter(*m_fx, QStringLiteral("原文"));
    frm_edit *editor = open(chapter);
    editor->Text1->moveCursor(QTextCursor::End);
    QVERIFY(QFile::remove(chapter.path));
    type(editor, QStringLiteral("后"));
    QVERIFY(!editor->waitUntilStored());
    QCOMPARE(editor->panelText(4), QStringLiteral("未能保存！"));
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("原文后"));
    QVERIFY(!editor->isStored());
    // Which of the two the user reads depends on whether the writer had
    // reached the file before it went; either says the file is gone.
    const QString why = editor->storeError();
    QVERIFY2(why.contains(QStringLiteral("已被删除或移走")) || why.startsWith(QStringLiteral("找不到文件")),
             qPrintable(why));
}

void tst_frm_edit::openingWithoutAChapterIsRefused()
{
    OpenChapter chapter(*m_fx, QStringLiteral("原文"));
    QVERIFY(chapter.Data1.Delete()); // stands on no record now
    QVERIFY(!openChapterToEdit(m_fx->ctx, chapter.Data1, &chapter.manager));
    QVERIFY(!openChapterToRead(m_fx->ctx, chapter.Data1, &chapter.manager));
    QVERIFY(!openEditorForNewChapter(m_fx->ctx, chapter.Data1, &chapter.manager));
    QCOMPARE(m_fx->prompts.messages(), QStringList(3, QStringLiteral("请选中一个章节后再操作！")));
    QCOMPARE(m_fx->prompts.calls.first().caption, QStringLiteral("提示"));
    QVERIFY(chapter.manager.isEnabled());
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY(!qobject_cast<frm_edit *>(w));
}

YZ_TEST_MAIN(tst_frm_edit)
#include "tst_frm_edit.moc"
