// The chapter manager's way to 全书查找替换: "全书查找替换(&S)" after a
// separator at the end of each of its context menus, and Ctrl+F anywhere in
// the window; and what the manager shows of a replacement made there.
#pragma once

#include <QList>
#include <functional>

class QAction;
class QMenu;
class QWidget;

// The one command, in each of menus and on window; open shows the window.
QAction *addBookSearchCommand(QWidget *window, const QList<QMenu *> &menus, std::function<void()> open);
