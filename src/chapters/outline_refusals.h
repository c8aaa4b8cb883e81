// What the chapter manager tells the user when a command was not done: a
// store failure as what failed and why, a refusal of the outline in the words
// the manager has always used for it.
#pragma once

#include "chapters/outline.h"

class Prompts;
class QWidget;

// Tells the user why command (its name in the store message: "新建分卷",
// "修改章节名"...) was not done; false, telling nothing, when r is a success.
bool tellRefusal(Prompts &prompts, QWidget *parent, const QString &command, const Outline::Result &r);
