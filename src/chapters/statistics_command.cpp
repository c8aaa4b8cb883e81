#include "chapters/statistics_command.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

QAction *addStatisticsCommand(QWidget *window, const QList<QMenu *> &menus, std::function<void()> open)
{
    auto *action = new QAction(QStringLiteral("写作统计(&T)"), window);
    action->setObjectName(QStringLiteral("xiezuotongji"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window, std::move(open));
    window->addAction(action);
    for (QMenu *menu : menus) {
        menu->addSeparator()->setObjectName(QStringLiteral("tongjifenge"));
        menu->addAction(action);
    }
    return action;
}
