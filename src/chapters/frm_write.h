// frm_write, the chapter manager: the tree of one novel's volumes and
// chapters, the chapter list of the volume last clicked, and the volume and
// chapter commands reached through its three context menus.
#pragma once

#include "store/data_source.h"

#include <QHash>
#include <QWidget>

struct AppContext;
class QAction;
class QGroupBox;
class QMenu;
class QTreeWidget;
class QTimer;
class QTreeWidgetItem;
class TreeLabelDelegate;

class frm_write : public QWidget
{
    Q_OBJECT
public:
    explicit frm_write(AppContext &ctx, QWidget *parent = nullptr);
    ~frm_write() override;

    // Fills the empty tree from the novel named by CurrentNovelPath.
    void LoadChapters();

    // False while the editor or the notes window is open: no rename of the
    // tree may then begin or end, since it would move Data1 off their chapter.
    bool treeEditAllowed() const;

    // Node and row keys: the volume name for a volume node, "num" followed by
    // 编号 for a chapter node and a list row.
    static QString chapterKey(qint64 id);
    static QString nodeKey(const QTreeWidgetItem *item);
    // The root node of the volume with this name, or nullptr.
    QTreeWidgetItem *volumeNode(const QString &name) const;
    QTreeWidgetItem *addVolumeNode(const QString &name);
    QTreeWidgetItem *addChapterNode(QTreeWidgetItem *volume, qint64 id, const QString &title);
    QTreeWidgetItem *addListRow(qint64 id, const QString &number, const QString &title, const QString &length);

    DataSource Data1;
    QTreeWidget *TreeView1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QTreeWidget *ListView1 = nullptr;

    QMenu *zhangjiecaozuo = nullptr;
    QAction *xinjian = nullptr;
    QAction *shanchu = nullptr;
    QAction *sss = nullptr;
    QAction *yueduzhangjie = nullptr;
    QAction *xiugaizhangjie = nullptr;
    QAction *chakanfuzhu = nullptr;
    QMenu *fenjuancaozuo = nullptr;
    QAction *xinjianfenjuan = nullptr;
    QAction *shanchufenjuan = nullptr;
    QMenu *teshu = nullptr;
    QAction *teshuzengjia = nullptr;

public slots:
    void TreeView1_Click();
    void TreeView1_MouseDown(Qt::MouseButton button, const QPoint &globalPos);
    void ListView1_MouseDown(Qt::MouseButton button, const QPoint &globalPos);
    void xinjian_Click();
    void teshuzengjia_Click();
    void xiugaizhangjie_Click();
    void yueduzhangjie_Click();
    void chakanfuzhu_Click();
    void xinjianfenjuan_Click();
    void shanchufenjuan_Click();
    void shanchu_Click();
    // In-place renaming of the node being edited. cancel set by the begin
    // handler refuses the edit; set by the end handler it keeps the old text.
    void TreeView1_BeforeLabelEdit(QTreeWidgetItem *node, bool &cancel);
    void TreeView1_AfterLabelEdit(QTreeWidgetItem *node, bool &cancel, const QString &newString);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void Form_Load();
    QAction *addMenuItem(QMenu *menu, const char *name, const QString &caption);
    // Reads every volume and chapter through Data1 and replaces the tree with
    // them; on a store failure the tree is left as it was.
    bool rebuildTree(bool reportHomeless);
    // Points Data1 at table and refreshes it; reports a failure as what.
    bool openSet(const QString &table, const QString &what);
    // Makes the chapter of the selected list row current in Data1; says so
    // when it cannot.
    bool positionOnSelectedRow();
    QTreeWidgetItem *selectedNode() const;
    QTreeWidgetItem *selectedRow() const;
    QTreeWidgetItem *chapterNode(const QString &key) const;
    void removeListRows(const QStringList &keys);
    bool renameVolume(QTreeWidgetItem *node, const QString &newName);
    // Changes one field of Data1's current record and stores it.
    bool storeField(const QString &field, const QVariant &value);
    bool renameChapter(QTreeWidgetItem *node, const QString &newTitle);
    void storeFailed(const QString &what, const QString &why);
    // Calls off a rename about to begin and closes an open one unconfirmed.
    void cancelTreeEdit();
    void beginDelayedRename();
    // The selected node whose label is at pos in the tree, or nullptr.
    QTreeWidgetItem *selectedLabelAt(const QPoint &pos) const;

    AppContext &m_ctx;
    TreeLabelDelegate *m_labelEditor = nullptr;
    QTimer *m_renameTimer = nullptr;
    // The selected node a left press landed on: released on it, it is renamed.
    QTreeWidgetItem *m_pressedSelected = nullptr;
    bool m_notesOpen = false;
    QHash<QString, QTreeWidgetItem *> m_volumeNodes;
    // The volume name as it was when its edit began.
    QString m_oldVolumeName;
};
