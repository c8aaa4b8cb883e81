#include "chapters/book_search_command.h"

#include "chapters/frm_write.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

QAction *addBookSearchCommand(QWidget *window, const QList<QMenu *> &menus, std::function<void()> open)
{
    auto *action = new QAction(QStringLiteral("全书查找替换(&S)"), window);
    action->setObjectName(QStringLiteral("quanshuchazhao"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window, std::move(open));
    window->addAction(action);
    for (QMenu *menu : menus) {
        menu->addSeparator()->setObjectName(QStringLiteral("chazhaofenge"));
        menu->addAction(action);
    }
    return action;
}

QString frm_write::selectedVolume() const
{
    const QTreeWidgetItem *node = m_items.selectedNode();
    if (!node)
        return {};
    return (node->parent() ? node->parent() : node)->text(0);
}

void frm_write::showChapterLengths(const QHash<qint64, int> &lengths)
{
    for (int i = 0, n = ListView1->topLevelItemCount(); i < n; ++i) {
        QTreeWidgetItem *row = ListView1->topLevelItem(i);
        const auto length = lengths.constFind(ChapterTree::keyId(nodeKey(row)));
        if (length != lengths.cend())
            row->setText(2, QString::number(*length));
    }
}
