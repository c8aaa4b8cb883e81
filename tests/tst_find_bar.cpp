// The chapter editor's find bar, driven by its keys and buttons: hit by hit
// with wrapping, the hits in view marked, replacing one and all in edit mode
// as one undo step stored like typing, nothing replaced in read mode, and
// what it says of a query it cannot use.
#include "editor/find_bar.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kPair = QString::fromUtf8("\xF0\xA0\x80\x80"); // 𠀀, two units

FindBar *barOf(frm_edit *editor)
{
    return editor->findChild<FindBar *>();
}

// The selection as the file keeps it: a block break as CR LF.
QString selected(const frm_edit *editor)
{
    return editor->Text1->textCursor().selectedText().replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
}

} // namespace

class tst_find_bar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void goesHitByHitAndWraps_data();
    void goesHitByHitAndWraps();
    void replacesOneThenAllAsOneUndoStep();
    void readModeFindsButNeverReplaces();
    void saysWhatIsWrongWithTheQuery_data();
    void saysWhatIsWrongWithTheQuery();
    void showsTheWholeBooksHitNearestToItsPlace();

private:
    frm_edit *open(OpenChapter &chapter, bool edit = true);

    ProgramFixture *m_fx = nullptr;
};

void tst_find_bar::init()
{
    m_fx = new ProgramFixture;
}

void tst_find_bar::cleanup()
{
    deleteEditors();
    delete m_fx;
    m_fx = nullptr;
}

frm_edit *tst_find_bar::open(OpenChapter &chapter, bool edit)
{
    frm_edit *editor = openInEditor(m_fx->ctx, chapter, edit);
    if (editor)
        editor->Text1->moveCursor(QTextCursor::Start);
    return editor;
}

void tst_find_bar::goesHitByHitAndWraps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options");   // "c", "w", "r" as in the bar's boxes
    QTest::addColumn<QStringList>("steps"); // "+" Enter, "-" Shift+Enter, "3" F3
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QStringList>("selections");
    QTest::addColumn<int>("marks");

    QTest::newRow("forward, wrapping to the start")
        << "李四见李四，李四走"
        << "李四"
        << "" << QStringList{"+", "3", "+", "+"}
        << QStringList{"第 1 / 3 处", "第 2 / 3 处", "第 3 / 3 处", "第 1 / 3 处　已到末尾，从开头继续"}
        << QStringList{"李四", "李四", "李四", "李四"} << 3;
    QTest::newRow("backward from the start wraps to the end")
        << "ab AB"
        << "ab"
        << "" << QStringList{"-", "-"} << QStringList{"第 2 / 2 处　已到开头，从末尾继续", "第 1 / 2 处"}
        << QStringList{"AB", "ab"} << 2;
    QTest::newRow("hits after line breaks and pairs land on their text")
        << kPair + "甲\r\n乙，x\r\n" + kPair + "乙,y"
        << "乙,."
        << "rw" << QStringList{"+", "+"} << QStringList{"第 1 / 2 处", "第 2 / 2 处"} << QStringList{"乙，x", "乙,y"}
        << 2;
    QTest::newRow("a hit across a line break")
        << "甲。\r\n乙"
        << "。\\r\\n乙"
        << "r" << QStringList{"+"} << QStringList{"第 1 / 1 处"} << QStringList{"。\r\n乙"} << 1;
}

void tst_find_bar::goesHitByHitAndWraps()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, states);
    QFETCH(QStringList, selections);
    QFETCH(int, marks);

    OpenChapter chapter(*m_fx, text);
    frm_edit *editor = open(chapter);
    FindBar *bar = barOf(editor);
    QVERIFY(bar && bar->isHidden());
    QTest::keyClick(editor->Text1, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(bar->isVisible() && bar->findText->hasFocus());
    QVERIFY(!bar->replaceText->isVisible());
    bar->caseSensitive->setChecked(options.contains(QLatin1Char('c')));
    bar->widthInsensitive->setChecked(options.contains(QLatin1Char('w')));
    bar->useRegex->setChecked(options.contains(QLatin1Char('r')));
    typeText(bar->findText, pattern);
    QTRY_VERIFY(bar->findState->text().startsWith(QStringLiteral("共 ")));
    // Every hit on screen is marked.
    QCOMPARE(editor->Text1->extraSelections().size(), marks);

    for (int i = 0; i < steps.size(); ++i) {
        if (steps[i] == QLatin1String("3"))
            QTest::keyClick(editor->Text1, Qt::Key_F3);
        else
            QTest::keyClick(bar->findText, Qt::Key_Return,
                            steps[i] == QLatin1String("-") ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(bar->findState->text(), states[i]);
        QCOMPARE(selected(editor), selections[i]);
    }

    QTest::keyClick(bar->findText, Qt::Key_Escape);
    QTRY_VERIFY(bar->isHidden());
    QVERIFY(editor->Text1->hasFocus());
    QVERIFY(editor->Text1->extraSelections().isEmpty());
    QCOMPARE(chapter.storedText(), text); // finding stores nothing
}

void tst_find_bar::replacesOneThenAllAsOneUndoStep()
{
    const QString text = QStringLiteral("张三说：张三来了。\r\n张三走了。");
    OpenChapter chapter(*m_fx, text);
    frm_edit *editor = open(chapter);
    FindBar *bar = barOf(editor);
    QTest::keyClick(editor->Text1, Qt::Key_H, Qt::ControlModifier);
    QTRY_VERIFY(bar->replaceText->isVisible());
    typeText(bar->findText, QStringLiteral("张三"));
    bar->replaceText->setText(QStringLiteral("李四"));

    // The first press finds, the next replaces what was found and moves on.
    QTest::mouseClick(bar->replaceOne, Qt::LeftButton);
    QCOMPARE(bar->findState->text(), QStringLiteral("第 1 / 3 处"));
    QTest::mouseClick(bar->replaceOne, Qt::LeftButton);
    QCOMPARE(bar->findState->text(), QStringLiteral("第 1 / 2 处"));
    QCOMPARE(chapter.storedText(), QStringLiteral("李四说：张三来了。\r\n张三走了。"));

    QTest::mouseClick(bar->replaceAll, Qt::LeftButton);
    QCOMPARE(bar->findState->text(), QStringLiteral("已替换 2 处"));
    QCOMPARE(chapter.storedText(), QStringLiteral("李四说：李四来了。\r\n李四走了。"));

    // The editor's one-level undo takes back the whole replace at once.
    editor->chexiao_Click();
    QCOMPARE(chapter.storedText(), QStringLiteral("李四说：张三来了。\r\n张三走了。"));

    // A replacement that would leave the chapter empty is refused.
    bar->useRegex->setChecked(true);
    bar->findText->setText(QStringLiteral("[\\s\\S]+"));
    bar->replaceText->clear();
    QTest::mouseClick(bar->replaceAll, Qt::LeftButton);
    QCOMPARE(bar->findState->text(), QStringLiteral("替换后本章将没有任何文字，未替换！"));
    QCOMPARE(chapter.storedText(), QStringLiteral("李四说：张三来了。\r\n张三走了。"));
}

void tst_find_bar::readModeFindsButNeverReplaces()
{
    OpenChapter chapter(*m_fx, QStringLiteral("张三张三"));
    frm_edit *editor = open(chapter, false);
    FindBar *bar = barOf(editor);
    bar->chazhaotihuan->trigger(); // the popup's item opens the bar as Ctrl+H does
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(!bar->replaceText->isVisible() && !bar->replaceAll->isVisible());
    typeText(bar->findText, QStringLiteral("张三"));
    QTest::keyClick(bar->findText, Qt::Key_Return);
    QCOMPARE(bar->findState->text(), QStringLiteral("第 1 / 2 处"));
    bar->replaceText->setText(QStringLiteral("李四"));
    bar->replaceCurrent();
    bar->replaceEveryHit();
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("张三张三"));
    QCOMPARE(chapter.storedText(), QStringLiteral("张三张三"));
}

void tst_find_bar::saysWhatIsWrongWithTheQuery_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("state");

    QTest::newRow("unclosed group") << "第(章"
                                    << "正则表达式有误（第 4 个字符处）：missing closing parenthesis";
    QTest::newRow("nothing there") << "丙"
                                   << "找不到“丙”";
}

void tst_find_bar::saysWhatIsWrongWithTheQuery()
{
    QFETCH(QString, pattern);
    QFETCH(QString, state);

    OpenChapter chapter(*m_fx, QStringLiteral("甲乙"));
    frm_edit *editor = open(chapter);
    FindBar *bar = barOf(editor);
    bar->open(false);
    bar->useRegex->setChecked(true);
    bar->findText->setText(pattern);
    QTest::keyClick(bar->findText, Qt::Key_Return);
    QCOMPARE(bar->findState->text(), state);
    QVERIFY(!editor->Text1->textCursor().hasSelection());
}

void tst_find_bar::showsTheWholeBooksHitNearestToItsPlace()
{
    // Typed into since the book was searched: the hit that was at 3004 is
    // now at 3005, and is still the one selected, in view.
    QString text = QStringLiteral("甲乙\r\n") + QString(3000, QChar(0x4E01)) + QStringLiteral("甲乙");
    OpenChapter chapter(*m_fx, text);
    frm_edit *editor = open(chapter);
    editor->Text1->insertPlainText(QStringLiteral("丙"));
    TextQuery query;
    query.pattern = QStringLiteral("甲乙");
    showFoundHit(editor, query, 4 + 3000);
    QCOMPARE(barOf(editor)->findState->text(), QStringLiteral("第 2 / 2 处"));
    QCOMPARE(editor->Text1->textCursor().selectionStart(), 1 + 3 + 3000);
    QVERIFY(editor->Text1->viewport()->rect().contains(editor->Text1->cursorRect()));
}

YZ_TEST_MAIN(tst_find_bar)
#include "tst_find_bar.moc"
