#include "chapters/tree_label_editing.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

// The tree's in-place label editor. The begin handler runs when an editor is
// asked for and may refuse it; the text the user confirmed is held until the
// tree has closed the editor, so that the end handler's message boxes never
// open over a live editor, which would confirm it a second time when it loses
// the focus to them. Escape, or cancel(), closes the editor confirming nothing.
class TreeLabelDelegate : public QStyledItemDelegate
{
public:
    TreeLabelDelegate(TreeLabelEditing *owner, QTreeWidget *tree)
        : QStyledItemDelegate(tree), m_owner(owner), m_tree(tree)
    {
        tree->setItemDelegate(this);
        // Connected after the tree's own slot, which closes the editor first.
        connect(this, &QAbstractItemDelegate::closeEditor, this, &TreeLabelDelegate::editorClosed);
    }

    void cancel()
    {
        m_confirmed = QPersistentModelIndex();
        if (QWidget *editor = m_editor.data())
            emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        QTreeWidgetItem *node = m_owner && m_owner->allowed() ? nodeAt(index) : nullptr;
        bool cancel = node == nullptr;
        if (node)
            m_owner->m_begin(node, cancel);
        if (cancel)
            return nullptr;
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        m_editor = editor;
        return editor;
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        m_confirmed = index;
        m_text = static_cast<QLineEdit *>(editor)->text();
    }

private:
    QTreeWidgetItem *nodeAt(const QModelIndex &index) const
    {
        if (!index.isValid())
            return nullptr;
        if (!index.parent().isValid())
            return m_tree->topLevelItem(index.row());
        QTreeWidgetItem *volume = m_tree->topLevelItem(index.parent().row());
        return volume ? volume->child(index.row()) : nullptr;
    }

    void editorClosed()
    {
        m_editor = nullptr;
        const QPersistentModelIndex index = std::exchange(m_confirmed, QPersistentModelIndex());
        QTreeWidgetItem *node = m_owner && m_owner->allowed() ? nodeAt(index) : nullptr;
        if (!node)
            return;
        bool cancel = false;
        m_owner->m_end(node, cancel, m_text);
    }

    // Gone first when the tree goes: an edit box closed after it calls nothing.
    QPointer<TreeLabelEditing> m_owner;
    QTreeWidget *m_tree;
    mutable QPointer<QWidget> m_editor;
    mutable QPersistentModelIndex m_confirmed;
    mutable QString m_text;
};

TreeLabelEditing::TreeLabelEditing(QTreeWidget *tree, Allowed allowed, Begin begin, End end)
    : QObject(tree), m_tree(tree), m_allowed(std::move(allowed)), m_begin(std::move(begin)), m_end(std::move(end))
{
    m_delegate = new TreeLabelDelegate(this, tree);
    // A click on the selected node begins its rename through m_timer; of the
    // view's own triggers only F2 is left.
    tree->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_viewport = tree->viewport();
    m_viewport->installEventFilter(this);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TreeLabelEditing::beginDelayedRename);
}

void TreeLabelEditing::release()
{
    m_allowed = nullptr;
    m_timer->stop();
}

void TreeLabelEditing::cancel()
{
    m_timer->stop();
    m_delegate->cancel();
}

void TreeLabelEditing::callOff()
{
    m_timer->stop();
}

QTreeWidgetItem *TreeLabelEditing::selectedLabelAt(const QPoint &pos) const
{
    // The node's own place, right of the expand sign: a click on the sign
    // opens or closes the volume and renames nothing.
    QTreeWidgetItem *under = m_tree->itemAt(pos);
    if (!under || !under->isSelected() || pos.x() < m_tree->visualItemRect(under).left())
        return nullptr;
    return under;
}

void TreeLabelEditing::beginDelayedRename()
{
    const QList<QTreeWidgetItem *> selected = m_tree->selectedItems();
    QTreeWidgetItem *node = selected.isEmpty() ? nullptr : selected.first();
    if (node && node == m_tree->currentItem() && allowed())
        m_tree->editItem(node);
}

bool TreeLabelEditing::eventFilter(QObject *watched, QEvent *event)
{
    // Only the mouse matters. The viewport also reports its children going
    // while the tree is half destroyed, when nothing of the tree's own
    // (viewport() included) may be called any more: the viewport is compared
    // with the one held since the start.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    // Filters see the mouse even on a disabled window; a disabled window
    // (the editor is open) begins and calls off nothing.
    if (watched != m_viewport || !m_tree->window()->isEnabled())
        return false;
    if (type == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        // A press calls off a rename that has not begun yet; a left press on
        // the selected node may begin one when it is released.
        m_timer->stop();
        m_pressedSelected = me->button() == Qt::LeftButton ? selectedLabelAt(me->position().toPoint()) : nullptr;
    } else if (type == QEvent::MouseButtonDblClick) {
        m_timer->stop();
        m_pressedSelected = nullptr;
    } else if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (m_pressedSelected && selectedLabelAt(me->position().toPoint()) == m_pressedSelected)
            m_timer->start(QApplication::doubleClickInterval());
        m_pressedSelected = nullptr;
    }
    return false;
}
