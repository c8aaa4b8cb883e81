#include "editor/chapter_openers.h"

#include "app/app_context.h"
#include "editor/frm_edit.h"
#include "editor/frm_ps.h"
#include "store/data_source.h"
#include "ui/prompts.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kChapterTable = QStringLiteral("小说");

// The chapter's text, or an invalid value after the store error was shown.
QVariant chapterText(AppContext &ctx, DataSource &data, QWidget *manager)
{
    if (!hasCurrentChapter(ctx, data, manager))
        return {};
    QVariant text = data.value(QStringLiteral("章节内容"));
    if (!text.isValid())
        showStoreError(*ctx.prompts, manager, QStringLiteral("打开章节"), data.lastError());
    return text;
}

frm_edit *showEditor(AppContext &ctx, DataSource &data, QWidget *manager)
{
    auto *editor = new frm_edit(ctx, data, manager);
    editor->show();
    return editor;
}

void disable(QWidget *manager)
{
    if (manager)
        manager->setEnabled(false);
}

} // namespace

bool hasCurrentChapter(AppContext &ctx, DataSource &data, QWidget *manager)
{
    if (data.recordSource() == kChapterTable && data.hasCurrent())
        return true;
    ctx.prompts->message(manager, QStringLiteral("请选中一个章节后再操作！"), MsgInformation, QStringLiteral("提示"));
    return false;
}

frm_edit *openChapterToEdit(AppContext &ctx, DataSource &data, QWidget *manager)
{
    const QVariant text = chapterText(ctx, data, manager);
    if (!text.isValid())
        return nullptr;
    frm_edit *editor = showEditor(ctx, data, manager);
    editor->setPanelText(2, QStringLiteral("编辑"));
    // Putting the text in is counted like a change, but stores nothing: the
    // record keeps its value, and its type, until the user changes the text.
    editor->loadText(text.toString());
    disable(manager);
    return editor;
}

frm_edit *openChapterToRead(AppContext &ctx, DataSource &data, QWidget *manager)
{
    const QVariant text = chapterText(ctx, data, manager);
    if (!text.isValid())
        return nullptr;
    frm_edit *editor = showEditor(ctx, data, manager);
    editor->loadText(text.toString());
    editor->setPanelText(2, QStringLiteral("阅读"));
    editor->setPanelText(4, QStringLiteral("阅读模式"));
    editor->Command3->setEnabled(false);
    editor->Text1->setReadOnly(true);
    // Locked, the text can still be selected and copied from the keyboard.
    editor->Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    disable(manager);
    return editor;
}

frm_edit *openEditorForNewChapter(AppContext &ctx, DataSource &data, QWidget *manager)
{
    if (!hasCurrentChapter(ctx, data, manager))
        return nullptr;
    frm_edit *editor = showEditor(ctx, data, manager);
    editor->setPanelText(2, QStringLiteral("编辑"));
    disable(manager);
    return editor;
}

void showChapterNotes(AppContext &ctx, DataSource &data, QWidget *manager)
{
    if (!hasCurrentChapter(ctx, data, manager))
        return;
    frm_ps notes(ctx, data, manager);
    if (!notes.isLoaded()) {
        showStoreError(*ctx.prompts, manager, QStringLiteral("打开章节附注"), data.lastError());
        return;
    }
    notes.exec();
}
