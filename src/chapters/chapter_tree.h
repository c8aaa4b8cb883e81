// The items of the chapter manager's tree (volumes and their chapters) and of
// its chapter list, each carrying the key of what it stands for: the volume
// name for a volume node, "num" followed by 编号 for a chapter node and for a
// list row. Made from what the outline read; no store is touched here.
#pragma once

#include "chapters/outline.h"

#include <QHash>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

class ChapterTree
{
public:
    ChapterTree() = default;
    ChapterTree(QTreeWidget *tree, QTreeWidget *list) : m_tree(tree), m_list(list) {}

    static QString chapterKey(qint64 id);
    static QString nodeKey(const QTreeWidgetItem *item);
    // The chapter number a key names ("num12" gives 12), -1 for any other text.
    static qint64 keyId(const QString &key);

    // Replaces every node with the tree read: on load and after a deletion.
    void show(const OutlineTree &tree);
    // The root node of the volume with this name, or nullptr.
    QTreeWidgetItem *volumeNode(const QString &name) const { return m_volumeNodes.value(name); }
    QTreeWidgetItem *chapterNode(const QString &key) const;
    QTreeWidgetItem *selectedNode() const;
    void addVolume(const QString &name);
    void addChapter(QTreeWidgetItem *volume, qint64 id, const QString &title);
    // The volume renamed keeps its node under its new key.
    void rekeyVolume(QTreeWidgetItem *volume, const QString &oldName, const QString &newName);
    // The node of a volume deleted, and the rows of the chapters it took.
    void removeVolume(QTreeWidgetItem *volume, const QVector<qint64> &chapters);

    void addRow(qint64 id, const QString &number, const QString &title, const QString &length);
    // The rows of one volume's chapters, numbered by their place in the novel.
    void showRows(const QVector<ListedChapter> &rows);
    QTreeWidgetItem *selectedRow() const;

private:
    QTreeWidget *m_tree = nullptr;
    QTreeWidget *m_list = nullptr;
    QHash<QString, QTreeWidgetItem *> m_volumeNodes;
};
