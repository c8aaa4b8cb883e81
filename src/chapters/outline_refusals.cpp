#include "chapters/outline_refusals.h"

#include "ui/prompts.h"

namespace {

using Reason = Outline::Reason;

// A row naming a command is that command's own words; a row without one
// serves every command.
struct RefusalText
{
    Reason reason;
    const char *command;
    const char *text;
    MsgStyle style;
    const char *caption;
};

const RefusalText kRefusals[] = {
    {Reason::EmptyTitle, nullptr, "增加失败！请输入章节标题！", MsgCritical, "警告"},
    {Reason::EmptyName, "新建分卷", "没有输入分卷名！添加失败！", MsgCritical, ""},
    {Reason::EmptyName, "修改分卷名", "没有输入分卷名！修改失败！", MsgCritical, ""},
    {Reason::DuplicateName, nullptr, "不能输入重名分卷，请修改！", MsgCritical, ""},
    {Reason::VolumeGone, nullptr, "找不到该分卷，修改失败！", MsgCritical, ""},
    {Reason::ChapterGone, "修改章节名", "找不到该章节，修改失败！", MsgCritical, ""},
    {Reason::ChapterGone, nullptr, "找不到该章节，请重新点击分卷！", MsgInformation, "提示"},
    {Reason::LastVolume, nullptr, "这是最后一卷，不可以删除，您可以将其修改！", MsgInformation, "提示"},
    {Reason::HoldsEveryChapter, nullptr, "该分卷包含全部章节，不可以删除，您可以将其修改！", MsgInformation, "提示"},
    {Reason::LastChapter, nullptr, "这是最后一章，不可以删除，您可以将其修改！", MsgInformation, "提示"},
};

} // namespace

bool tellRefusal(Prompts &prompts, QWidget *parent, const QString &command, const Outline::Result &r)
{
    if (r.ok())
        return false;
    if (r.reason == Reason::StoreFailed) {
        showStoreError(prompts, parent, command, r.storeError);
        return true;
    }
    for (const RefusalText &t : kRefusals) {
        if (t.reason == r.reason && (!t.command || command == QString::fromUtf8(t.command))) {
            prompts.message(parent, QString::fromUtf8(t.text), t.style, QString::fromUtf8(t.caption));
            break;
        }
    }
    return true;
}
