#include "chapters/manager_commands.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

QAction *addManagerCommand(QWidget *window, const QList<QMenu *> &menus, const ManagerCommand &command,
                           std::function<void()> open)
{
    auto *action = new QAction(command.text, window);
    action->setObjectName(QLatin1String(command.name));
    action->setShortcut(command.key);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window, std::move(open));
    window->addAction(action);
    for (QMenu *menu : menus) {
        menu->addSeparator()->setObjectName(QLatin1String(command.separator));
        menu->addAction(action);
    }
    return action;
}
