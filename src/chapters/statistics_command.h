// The chapter manager's way to the 写作统计 window: "写作统计(&T)" after a
// separator at the end of each of its context menus, and Ctrl+T anywhere in
// the window.
#pragma once

#include <QList>
#include <functional>

class QAction;
class QMenu;
class QWidget;

// The one command, in each of menus and on window; open shows the window.
QAction *addStatisticsCommand(QWidget *window, const QList<QMenu *> &menus, std::function<void()> open);
