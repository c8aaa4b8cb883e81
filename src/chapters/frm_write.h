// frm_write, the chapter manager: the tree of one novel's volumes and
// chapters, the chapter list of the volume last clicked, and the volume and
// chapter commands reached through its three context menus. The commands'
// rules are the outline's; this window asks, tells and redraws.
#pragma once

#include "chapters/chapter_tree.h"
#include "chapters/outline.h"
#include "store/data_source.h"

#include <QWidget>

struct AppContext;
class QAction;
class QGroupBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class TreeLabelEditing;

class frm_write : public QWidget
{
    Q_OBJECT
public:
    explicit frm_write(AppContext &ctx, QWidget *parent = nullptr);
    ~frm_write() override;

    // Fills the empty tree from the novel named by CurrentNovelPath; false,
    // after telling the user, when the novel cannot be read.
    bool LoadChapters();

    // False while the editor or the notes window is open: no rename of the
    // tree may then begin or end, since it would move Data1 off their chapter.
    bool treeEditAllowed() const;

    // Node and row keys (see ChapterTree).
    static QString chapterKey(qint64 id) { return ChapterTree::chapterKey(id); }
    static QString nodeKey(const QTreeWidgetItem *item) { return ChapterTree::nodeKey(item); }
    // The root node of the volume with this name, or nullptr.
    QTreeWidgetItem *volumeNode(const QString &name) const { return m_items.volumeNode(name); }

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
    QAction *lishibanben = nullptr;
    QMenu *fenjuancaozuo = nullptr;
    QAction *xinjianfenjuan = nullptr;
    QAction *shanchufenjuan = nullptr;
    QAction *zhaohuizhangjie = nullptr;
    QMenu *teshu = nullptr;
    QAction *teshuzengjia = nullptr;
    // 写作统计(&T), at the end of each of the three menus, and Ctrl+T.
    QAction *xiezuotongji = nullptr;

    // 全书查找替换(&S), at the end of each of the three menus, and Ctrl+F.
    QAction *quanshuchazhao = nullptr;
    // The volume of the node selected in the tree; empty when none is.
    QString selectedVolume() const;
    // Chapters' texts were rewritten elsewhere: their rows show the new 字数.
    void showChapterLengths(const QHash<qint64, int> &lengths);

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
    void lishibanben_Click();
    void zhaohuizhangjie_Click();
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
    QAction *addMenuItem(QMenu *menu, const char *name, const QString &caption, void (frm_write::*slot)());
    // Tells the user why a command was not done: a store failure as what
    // failed, a refusal in its own words. False when r is a success.
    bool refused(const QString &what, const Outline::Result &r);
    // Makes the chapter of the selected list row current in Data1; says so
    // when it cannot.
    bool positionOnSelectedRow();
    bool renameVolume(QTreeWidgetItem *node, const QString &newName);
    bool renameChapter(QTreeWidgetItem *node, const QString &newTitle);
    // Calls off a rename about to begin and closes an open one unconfirmed.
    void cancelTreeEdit();
    // A snapshot of the novel before a change that takes many words away.
    void snapshotBeforeChange();

    AppContext &m_ctx;
    Outline m_outline{Data1};
    ChapterTree m_items;
    TreeLabelEditing *m_labelEditing = nullptr;
    bool m_notesOpen = false;
    // The volume name as it was when its edit began.
    QString m_oldVolumeName;
};
