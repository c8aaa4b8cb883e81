#include "chapters/chapter_tree.h"

#include <QTreeWidget>

namespace {

constexpr int kKeyRole = Qt::UserRole;

QTreeWidgetItem *makeNode(const QString &text, const QString &key)
{
    auto *item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKeyRole, key);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    return item;
}

QTreeWidgetItem *firstSelected(const QTreeWidget *view)
{
    const QList<QTreeWidgetItem *> selected = view->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace

QString ChapterTree::chapterKey(qint64 id)
{
    return QStringLiteral("num") + QString::number(id);
}

QString ChapterTree::nodeKey(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kKeyRole).toString() : QString();
}

qint64 ChapterTree::keyId(const QString &key)
{
    bool ok = false;
    const qint64 id = key.startsWith(QLatin1String("num")) ? key.mid(3).toLongLong(&ok) : -1;
    return ok ? id : -1;
}

void ChapterTree::show(const OutlineTree &tree)
{
    QList<QTreeWidgetItem *> roots;
    QHash<QString, QTreeWidgetItem *> volumes;
    roots.reserve(tree.volumes.size());
    for (const OutlineVolume &v : tree.volumes) {
        QTreeWidgetItem *node = makeNode(v.name, v.name);
        for (const OutlineChapter &c : v.chapters)
            node->addChild(makeNode(c.title, chapterKey(c.id)));
        roots.append(node);
        volumes.insert(v.name, node);
    }
    m_tree->clear();
    m_volumeNodes = volumes;
    m_tree->addTopLevelItems(roots);
}

QTreeWidgetItem *ChapterTree::chapterNode(const QString &key) const
{
    for (int v = 0; v < m_tree->topLevelItemCount(); ++v) {
        QTreeWidgetItem *volume = m_tree->topLevelItem(v);
        for (int c = 0; c < volume->childCount(); ++c) {
            if (nodeKey(volume->child(c)) == key)
                return volume->child(c);
        }
    }
    return nullptr;
}

QTreeWidgetItem *ChapterTree::selectedNode() const
{
    return firstSelected(m_tree);
}

void ChapterTree::addVolume(const QString &name)
{
    QTreeWidgetItem *node = makeNode(name, name);
    m_tree->addTopLevelItem(node);
    m_volumeNodes.insert(name, node);
}

void ChapterTree::addChapter(QTreeWidgetItem *volume, qint64 id, const QString &title)
{
    volume->addChild(makeNode(title, chapterKey(id)));
}

void ChapterTree::rekeyVolume(QTreeWidgetItem *volume, const QString &oldName, const QString &newName)
{
    volume->setData(0, kKeyRole, newName);
    m_volumeNodes.remove(oldName);
    m_volumeNodes.insert(newName, volume);
}

void ChapterTree::removeVolume(QTreeWidgetItem *volume, const QVector<qint64> &chapters)
{
    QStringList keys;
    for (const qint64 id : chapters)
        keys << chapterKey(id);
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i) {
        if (keys.contains(nodeKey(m_list->topLevelItem(i))))
            delete m_list->takeTopLevelItem(i);
    }
    m_volumeNodes.remove(nodeKey(volume));
    delete volume;
}

void ChapterTree::addRow(qint64 id, const QString &number, const QString &title, const QString &length)
{
    auto *row = new QTreeWidgetItem(QStringList{number, title, length});
    row->setData(0, kKeyRole, chapterKey(id));
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    m_list->addTopLevelItem(row);
}

void ChapterTree::showRows(const QVector<ListedChapter> &rows)
{
    for (const ListedChapter &row : rows)
        addRow(row.id, QString::number(row.place), row.title, QString::number(row.length));
}

QTreeWidgetItem *ChapterTree::selectedRow() const
{
    return firstSelected(m_list);
}
