// Commands of the chapter manager that open a window of their own: each stands
// after a separator of its own at the end of every context menu of the
// manager, and its shortcut works anywhere in the window.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;

struct ManagerCommand
{
    QString text;          // as the menus show it, with its access key
    const char *name;      // the action's object name
    const char *separator; // the object name of the separator before it
    QKeySequence key;
};

// The one action for command, in each of menus and on window; open shows the
// command's window.
QAction *addManagerCommand(QWidget *window, const QList<QMenu *> &menus, const ManagerCommand &command,
                           std::function<void()> open);
