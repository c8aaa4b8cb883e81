// Renaming a node of the chapter manager's tree in place, and when a click
// begins it: a click on the label of the node already selected begins its
// rename one double-click time later, unless a double click or another press
// comes first; F2 begins it at once. The window decides, through its
// handlers, whether a rename may begin and what a confirmed name does.
#pragma once

#include <QObject>
#include <functional>

class QPoint;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TreeLabelDelegate;

class TreeLabelEditing : public QObject
{
public:
    // Whether a rename may begin or end now.
    using Allowed = std::function<bool()>;
    // Called as the edit box is asked for; cancel refuses it.
    using Begin = std::function<void(QTreeWidgetItem *node, bool &cancel)>;
    // Called with the text the user confirmed, once the edit box has closed.
    using End = std::function<void(QTreeWidgetItem *node, bool &cancel, const QString &newString)>;

    // Watches the mouse on the tree's viewport without taking any of it. Made
    // after the window's own filter on the viewport, so that it sees every
    // press first, those the window takes for its menu too.
    TreeLabelEditing(QTreeWidget *tree, Allowed allowed, Begin begin, End end);

    // The window is going: its handlers are no longer called, even by an edit
    // box closed after it.
    void release();
    // Calls off a rename about to begin and closes an open one confirming
    // nothing.
    void cancel();
    // Calls off a rename about to begin.
    void callOff();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TreeLabelDelegate;

    bool allowed() const { return m_allowed && m_allowed(); }
    void beginDelayedRename();
    // The selected node whose label is at pos in the viewport, or nullptr.
    QTreeWidgetItem *selectedLabelAt(const QPoint &pos) const;

    QTreeWidget *m_tree;
    // The tree's viewport, whose mouse is watched.
    QObject *m_viewport;
    Allowed m_allowed;
    Begin m_begin;
    End m_end;
    TreeLabelDelegate *m_delegate;
    // A timer of our own rather than the view's edit trigger, so that a
    // rename that has not begun yet can be called off.
    QTimer *m_timer;
    // The selected node a left press landed on: released on it, it is renamed.
    QTreeWidgetItem *m_pressedSelected = nullptr;
};
