#include "editor/frm_ps.h"

#include "app/app_context.h"
#include "editor/box_text.h"
#include "store/data_source.h"
#include "ui/prompts.h"
#include "ui/twips.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kNotes = QStringLiteral("章节附注");
const QString kChapterTable = QStringLiteral("小说");

} // namespace

frm_ps::frm_ps(AppContext &ctx, DataSource &source, QWidget *parent) : QDialog(parent), m_ctx(ctx), m_data(source)
{
    setObjectName(QStringLiteral("frm_ps"));
    setWindowTitle(QStringLiteral("章节附注"));
    setFont(QFont(QStringLiteral("宋体"), 9));
    setModal(true);
    setFixedSize(tw(5910), tw(5835));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    placeTw(Text1, 120, 120, 5655, 4815);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);

    Command1 = new QPushButton(QStringLiteral("保存"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTw(Command1, 120, 5160, 1215, 495);
    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    placeTw(Command2, 4560, 5160, 1215, 495);
    // Enter belongs to the notes, not to a default button.
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);

    connect(Command1, &QPushButton::clicked, this, &frm_ps::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_ps::Command2_Click);
    Form_Load();
}

void frm_ps::Form_Load()
{
    m_chapterId = m_data.recordSource() == kChapterTable ? m_data.currentRowId() : -1;
    const QVariant notes = m_data.value(kNotes);
    m_loaded = notes.isValid();
    Text1->setPlainText(notes.toString());
    m_shown = boxtext::text(Text1->document());
}

bool frm_ps::storeNotes()
{
    // The notes go to the chapter they were read from, never to another one
    // the data source may have moved to.
    const bool same =
        m_chapterId >= 0 && m_data.recordSource() == kChapterTable && m_data.currentRowId() == m_chapterId;
    bool stored = same && m_data.Edit();
    const QString text = boxtext::text(Text1->document());
    if (stored) {
        m_data.setValue(kNotes, text);
        stored = m_data.Update();
    }
    if (stored)
        m_shown = text;
    if (!stored)
        showStoreError(*m_ctx.prompts, this, QStringLiteral("保存附注"),
                       same ? m_data.lastError() : QStringLiteral("找不到打开附注时的章节"));
    return stored;
}

void frm_ps::Command1_Click()
{
    if (storeNotes())
        close();
}

void frm_ps::Command2_Click()
{
    close();
}

bool frm_ps::Form_Unload()
{
    if (boxtext::text(Text1->document()) == m_shown)
        return true;
    const QString ask = QStringLiteral("附注已经修改，请问是否需要保存后再退出？");
    if (m_ctx.prompts->message(this, ask, MsgAskYesNo, QStringLiteral("询问")) != MsgYes)
        return true;
    // Notes the store refused stay on screen rather than being lost.
    return storeNotes();
}

void frm_ps::done(int result)
{
    if (Form_Unload())
        QDialog::done(result);
}
