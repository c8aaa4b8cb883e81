// Chinese typed through an input method (fcitx5, ibus): the composition shown
// while the writer picks characters is not the chapter's text; the chosen
// characters reach the chapter the same way typed keys do.
#include "editor/frm_edit.h"
#include "fixture.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QtTest>

class tst_input_method : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void compositionStoresNothingAndTheCommitStoresOnce();
    void abandonedCompositionStoresNothing();
    void readModeTakesNoCommittedText();

private:
    // What an input method sends while the writer is still choosing.
    static void compose(QWidget *box, const QString &preedit);
    // What it sends for the characters chosen; the composition ends with it.
    static void commit(QWidget *box, const QString &text);

    ProgramFixture *m_fx = nullptr;
};

void tst_input_method::init()
{
    m_fx = new ProgramFixture;
}

void tst_input_method::cleanup()
{
    deleteEditors();
    delete m_fx;
    m_fx = nullptr;
}

void tst_input_method::compose(QWidget *box, const QString &preedit)
{
    const QList<QInputMethodEvent::Attribute> attributes = {
        {QInputMethodEvent::Cursor, int(preedit.size()), 1, QVariant()}};
    QInputMethodEvent event(preedit, attributes);
    QApplication::sendEvent(box, &event);
}

void tst_input_method::commit(QWidget *box, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

void tst_input_method::compositionStoresNothingAndTheCommitStoresOnce()
{
    OpenChapter chapter(*m_fx, QStringLiteral("开头"));
    frm_edit *editor = openInEditor(m_fx->ctx, chapter);
    QVERIFY(editor);
    QPlainTextEdit *box = editor->Text1;
    box->moveCursor(QTextCursor::End);

    // A typed key shows what one store adds to the novel file's log; the
    // log's own header comes with the first store, so the second one counts.
    typeText(box, QStringLiteral("，"));
    qint64 log = chapter.logSize();
    typeText(box, QStringLiteral("，"));
    QCOMPARE(chapter.storedText(), QStringLiteral("开头，，"));
    const qint64 oneStore = chapter.logSize() - log;
    QVERIFY(oneStore > 0);

    log = chapter.logSize();
    compose(box, QStringLiteral("tian"));
    compose(box, QStringLiteral("tian'di"));
    compose(box, QStringLiteral("天地"));
    QCOMPARE(box->toPlainText(), QStringLiteral("开头，，"));
    QCOMPARE(chapter.storedText(), QStringLiteral("开头，，"));
    QCOMPARE(chapter.logSize(), log);
    QCOMPARE(editor->panelText(8), QStringLiteral("4"));

    commit(box, QStringLiteral("天地"));
    QCOMPARE(box->toPlainText(), QStringLiteral("开头，，天地"));
    QCOMPARE(chapter.storedText(), QStringLiteral("开头，，天地"));
    QCOMPARE(chapter.logSize() - log, oneStore);
    QCOMPARE(editor->panelText(8), QStringLiteral("6"));
    QCOMPARE(editor->panelText(4), QStringLiteral("已经修改"));

    // Typing goes on after the committed text.
    typeText(box, QStringLiteral("玄"));
    QCOMPARE(chapter.storedText(), QStringLiteral("开头，，天地玄"));
}

void tst_input_method::abandonedCompositionStoresNothing()
{
    OpenChapter chapter(*m_fx, QStringLiteral("开头"));
    frm_edit *editor = openInEditor(m_fx->ctx, chapter);
    QVERIFY(editor);
    const qint64 log = chapter.logSize();
    compose(editor->Text1, QStringLiteral("huang"));
    commit(editor->Text1, QString()); // Escape in the input method
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("开头"));
    QCOMPARE(chapter.logSize(), log);
    QCOMPARE(chapter.storedText(), QStringLiteral("开头"));
}

void tst_input_method::readModeTakesNoCommittedText()
{
    OpenChapter chapter(*m_fx, QStringLiteral("只读的正文"));
    frm_edit *editor = openInEditor(m_fx->ctx, chapter, false);
    QVERIFY(editor);
    // Input methods are told the box takes no input.
    // Input methods ask the box with focus whether it takes their text, as
    // Qt asks it for them.
    QCOMPARE(QGuiApplication::focusObject(), editor->Text1);
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(editor->Text1, &query);
    QCOMPARE(query.value(Qt::ImEnabled), QVariant(false));
    // Text that comes all the same is neither shown nor stored.
    const qint64 log = chapter.logSize();
    compose(editor->Text1, QStringLiteral("gai"));
    commit(editor->Text1, QStringLiteral("改"));
    QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("只读的正文"));
    QCOMPARE(chapter.logSize(), log);
    QCOMPARE(chapter.storedText(), QStringLiteral("只读的正文"));
    QCOMPARE(editor->panelText(4), QStringLiteral("阅读模式"));
}

YZ_TEST_MAIN(tst_input_method)
#include "tst_input_method.moc"
