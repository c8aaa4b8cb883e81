// The chapter editor's commands: full screen and restore, import and export
// of GBK text files, and the 功能菜单 popup with the clipboard, select all
// and one-level undo.
#include "editor/frm_edit.h"

#include "app/app_context.h"
#include "editor/box_text.h"
#include "store/ansi_codec.h"
#include "store/plain_file.h"
#include "ui/prompts.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>

namespace {

// A file larger than this is no chapter; reading it would only exhaust memory.
constexpr qint64 kLargestImport = qint64(256) * 1024 * 1024;

} // namespace

void frm_edit::buildPopup()
{
    gongneng = new QMenu(QStringLiteral("功能菜单"), this);
    gongneng->setObjectName(QStringLiteral("gongneng"));
    fuzhu = addPopupItem("fuzhu", QStringLiteral("复制(&C)"), "Ctrl+C", &frm_edit::fuzhu_Click);
    zhantie = addPopupItem("zhantie", QStringLiteral("粘贴(&V)"), "Ctrl+V", &frm_edit::zhantie_Click);
    jianqie = addPopupItem("jianqie", QStringLiteral("剪切(&T)"), "Ctrl+T", &frm_edit::jianqie_Click);
    quanxuan = addPopupItem("quanxuan", QStringLiteral("全选(&S)"), "Ctrl+S", &frm_edit::quanxuan_Click);
    chexiao = addPopupItem("chexiao", QStringLiteral("撤销(&U)"), "Ctrl+U", &frm_edit::chexiao_Click);
    gongneng->addSeparator()->setObjectName(QStringLiteral("fenge"));
    ziliaochaxun = addPopupItem("ziliaochaxun", QStringLiteral("资料查询"), nullptr, nullptr);
    juese = addPopupItem("juese", QStringLiteral("角色查询"), nullptr, nullptr);
    gongneng->addSeparator()->setObjectName(QStringLiteral("fengess"));
    about = addPopupItem("about", QStringLiteral("关于我们"), nullptr, &frm_edit::about_Click);
}

QAction *frm_edit::addPopupItem(const char *name, const QString &caption, const char *keys, void (frm_edit::*slot)())
{
    QAction *a = gongneng->addAction(caption);
    a->setObjectName(QLatin1String(name));
    // The shortcut is shown as a reminder; while the menu is closed the text
    // box's own keys do the editing.
    if (keys)
        a->setShortcut(QKeySequence(QLatin1String(keys)));
    a->setShortcutContext(Qt::WidgetShortcut);
    if (slot)
        connect(a, &QAction::triggered, this, slot);
    return a;
}

void frm_edit::Command1_Click()
{
    setWindowState(Qt::WindowNoState);
    if (!(windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Changing the flags hides a shown window; show it again at once.
        const bool shown = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (shown)
            show();
    }
    if (QScreen *s = screen()) {
        const QRect area = s->geometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        resize(area.size() - frame);
        move(area.topLeft());
    }
    Command2->setEnabled(true);
    Command1->setEnabled(false);
}

void frm_edit::Command2_Click()
{
    setWindowState(Qt::WindowMaximized);
    Command1->setEnabled(true);
    Command2->setEnabled(false);
}

void frm_edit::Command3_Click()
{
    if (Text1->isReadOnly() || !CommonDialog1.showOpen(*m_ctx.prompts, this))
        return;
    const QString name = CommonDialog1.fileName();
    // Only a regular file is read: a pipe or device named like a text file
    // would never end.
    QByteArray bytes;
    QString why;
    plainfile::Problem problem = plainfile::Problem::None;
    if (!plainfile::read(name, kLargestImport, bytes, &problem, &why)) {
        if (problem == plainfile::Problem::TooBig)
            why = QStringLiteral("文件太大，不是一个章节的文字");
        m_ctx.prompts->message(this, QStringLiteral("导入失败！无法读取文件：%1\n（%2）").arg(name, why), MsgCritical,
                               QStringLiteral("提示"));
        return;
    }
    replaceText(ansi::decode(bytes));
}

void frm_edit::Command4_Click()
{
    const QByteArray bytes = ansi::encode(boxtext::text(Text1->document()));
    if (!CommonDialog1.showSave(*m_ctx.prompts, this))
        return;
    const QString name = CommonDialog1.fileName();
    // Written beside and put in place when whole: a failed export leaves the
    // old file as it was instead of half a text. Where no file can be made
    // beside it, the export fails rather than write over the old file.
    QSaveFile file(name);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return;
    const QString why = file.errorString();
    file.cancelWriting();
    m_ctx.prompts->message(this, QStringLiteral("导出失败！无法写入文件：%1\n（%2）").arg(name, why), MsgCritical,
                           QStringLiteral("提示"));
}

void frm_edit::fuzhu_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QString selected = Text1->textCursor().selectedText();
    selected.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    clipboard->setText(selected);
}

void frm_edit::zhantie_Click()
{
    if (Text1->isReadOnly())
        return;
    Text1->insertPlainText(QGuiApplication::clipboard()->text());
}

void frm_edit::jianqie_Click()
{
    if (Text1->isReadOnly())
        return;
    Text1->textCursor().removeSelectedText();
}

void frm_edit::quanxuan_Click()
{
    Text1->selectAll();
}

void frm_edit::chexiao_Click()
{
    // One level, as the text box has always kept it: an undo right after an
    // undo takes the first one back.
    if (Text1->isReadOnly())
        return;
    const QTextDocument *doc = Text1->document();
    const bool redo = m_undoneLast && doc->isRedoAvailable();
    if (!redo && !doc->isUndoAvailable())
        return;
    m_undoing = true;
    if (redo)
        Text1->redo();
    else
        Text1->undo();
    m_undoing = false;
    m_undoneLast = !redo;
}

void frm_edit::about_Click()
{
    m_ctx.nav->showAbout(this);
}
