#include "chapters/frm_write.h"

#include "app/app_context.h"
#include "app/snapshot_keeper.h"
#include "ui/prompts.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString kVolumes = QStringLiteral("分卷");
const QString kChapters = QStringLiteral("小说");
const QString kVolumeName = QStringLiteral("分卷");
const QString kId = QStringLiteral("编号");
const QString kOwner = QStringLiteral("所属分卷");
const QString kTitle = QStringLiteral("章节名称");
const QString kText = QStringLiteral("章节内容");
const QString kNotice = QStringLiteral("提示");

constexpr int kKeyRole = Qt::UserRole;

QTreeWidgetItem *makeNode(const QString &text, const QString &key)
{
    auto *item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKeyRole, key);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    return item;
}

// The chapter number a key names ("num12" gives 12), -1 for any other text.
qint64 keyId(const QString &key)
{
    bool ok = false;
    const qint64 id = key.startsWith(QLatin1String("num")) ? key.mid(3).toLongLong(&ok) : -1;
    return ok ? id : -1;
}

} // namespace

// The tree's in-place label editor. The begin handler runs when an editor is
// asked for and may refuse it; the text the user confirmed is held until the
// tree has closed the editor, so that the end handler's message boxes never
// open over a live editor, which would confirm it a second time when it loses
// the focus to them. Escape, or cancel(), closes the editor confirming nothing.
class TreeLabelDelegate : public QStyledItemDelegate
{
public:
    TreeLabelDelegate(frm_write *owner, QTreeWidget *tree) : QStyledItemDelegate(tree), m_owner(owner), m_tree(tree)
    {
        tree->setItemDelegate(this);
        // Connected after the tree's own slot, which closes the editor first.
        connect(this, &QAbstractItemDelegate::closeEditor, this, &TreeLabelDelegate::editorClosed);
    }

    // The window is going: its handlers must no longer be called.
    void release() { m_owner = nullptr; }

    // Closes an open editor as Escape does: nothing is confirmed or stored.
    void cancel()
    {
        m_confirmed = QPersistentModelIndex();
        if (QWidget *editor = m_editor.data())
            emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        QTreeWidgetItem *node = m_owner && m_owner->treeEditAllowed() ? nodeAt(index) : nullptr;
        bool cancel = node == nullptr;
        if (node)
            m_owner->TreeView1_BeforeLabelEdit(node, cancel);
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
        QTreeWidgetItem *node = m_owner && m_owner->treeEditAllowed() ? nodeAt(index) : nullptr;
        if (!node)
            return;
        bool cancel = false;
        m_owner->TreeView1_AfterLabelEdit(node, cancel, m_text);
    }

    frm_write *m_owner;
    QTreeWidget *m_tree;
    mutable QPointer<QWidget> m_editor;
    mutable QPersistentModelIndex m_confirmed;
    mutable QString m_text;
};

frm_write::frm_write(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frm_write"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    const QFont songti(QStringLiteral("宋体"), 9);
    setFont(songti);
    setFixedSize(tw(14955), tw(9105));

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    placeTw(TreeView1, 120, 120, 3975, 8895);
    TreeView1->setFont(songti);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setSortingEnabled(false);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    // A click on the selected node begins its rename one double-click time
    // later, through m_renameTimer: a timer of our own, so that a rename that
    // has not begun yet can be called off (see cancelTreeEdit).
    TreeView1->setEditTriggers(QAbstractItemView::EditKeyPressed);
    TreeView1->setContextMenuPolicy(Qt::PreventContextMenu);
    m_labelEditor = new TreeLabelDelegate(this, TreeView1);
    TreeView1->viewport()->installEventFilter(this);
    m_renameTimer = new QTimer(this);
    m_renameTimer->setSingleShot(true);
    connect(m_renameTimer, &QTimer::timeout, this, &frm_write::beginDelayedRename);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    placeTw(Frame1, 4200, 45, 10695, 9000);

    ListView1 = new QTreeWidget(Frame1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    placeTw(ListView1, 120, 240, 10455, 8655);
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("章节"), QStringLiteral("字数")});
    ListView1->setColumnWidth(0, tw(1000));
    ListView1->setColumnWidth(1, tw(3000));
    ListView1->setColumnWidth(2, tw(1440));
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSortingEnabled(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::PreventContextMenu);
    ListView1->viewport()->installEventFilter(this);

    zhangjiecaozuo = new QMenu(QStringLiteral("章节操作"), this);
    zhangjiecaozuo->setObjectName(QStringLiteral("zhangjiecaozuo"));
    xinjian = addMenuItem(zhangjiecaozuo, "xinjian", QStringLiteral("新建章节(&N)"));
    shanchu = addMenuItem(zhangjiecaozuo, "shanchu", QStringLiteral("删除章节(&D)"));
    sss = zhangjiecaozuo->addSeparator();
    sss->setObjectName(QStringLiteral("sss"));
    yueduzhangjie = addMenuItem(zhangjiecaozuo, "yueduzhangjie", QStringLiteral("阅读章节(&R)"));
    xiugaizhangjie = addMenuItem(zhangjiecaozuo, "xiugaizhangjie", QStringLiteral("修改章节(&M)"));
    chakanfuzhu = addMenuItem(zhangjiecaozuo, "chakanfuzhu", QStringLiteral("章节附注(&P)"));

    fenjuancaozuo = new QMenu(QStringLiteral("分卷操作"), this);
    fenjuancaozuo->setObjectName(QStringLiteral("fenjuancaozuo"));
    xinjianfenjuan = addMenuItem(fenjuancaozuo, "xinjianfenjuan", QStringLiteral("新建分卷(&F)"));
    shanchufenjuan = addMenuItem(fenjuancaozuo, "shanchufenjuan", QStringLiteral("删除分卷(&C)"));

    teshu = new QMenu(QStringLiteral("特殊章节修改"), this);
    teshu->setObjectName(QStringLiteral("teshu"));
    teshuzengjia = addMenuItem(teshu, "teshuzengjia", QStringLiteral("新增章节(&N)"));

    connect(xinjian, &QAction::triggered, this, &frm_write::xinjian_Click);
    connect(shanchu, &QAction::triggered, this, &frm_write::shanchu_Click);
    connect(yueduzhangjie, &QAction::triggered, this, &frm_write::yueduzhangjie_Click);
    connect(xiugaizhangjie, &QAction::triggered, this, &frm_write::xiugaizhangjie_Click);
    connect(chakanfuzhu, &QAction::triggered, this, &frm_write::chakanfuzhu_Click);
    connect(xinjianfenjuan, &QAction::triggered, this, &frm_write::xinjianfenjuan_Click);
    connect(shanchufenjuan, &QAction::triggered, this, &frm_write::shanchufenjuan_Click);
    connect(teshuzengjia, &QAction::triggered, this, &frm_write::teshuzengjia_Click);

    Form_Load();
    if (m_ctx.snapshots)
        m_ctx.snapshots->watch(this, m_ctx.currentNovelPath);
}

frm_write::~frm_write()
{
    // An editor still open in the tree is closed after this window's own
    // members are gone.
    m_labelEditor->release();
}

QAction *frm_write::addMenuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void frm_write::Form_Load()
{
    LoadChapters();
}

void frm_write::closeEvent(QCloseEvent *event)
{
    // While the editor is open this window takes no input, its close box
    // included: the editor stores every keystroke through Data1.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    Data1.close();
    if (m_ctx.snapshots)
        m_ctx.snapshots->release(this);
    m_ctx.nav->showLibrary();
    event->accept();
}

bool frm_write::event(QEvent *event)
{
    // Clicking this window while the editor is open brings the editor to the
    // front, where the keys go, instead of a window that takes none.
    if (event->type() == QEvent::WindowActivate && !isEnabled())
        m_ctx.nav->raiseOpenedFrom(this);
    return QWidget::event(event);
}

void frm_write::storeFailed(const QString &what, const QString &why)
{
    showStoreError(*m_ctx.prompts, this, what, why);
}

QString frm_write::chapterKey(qint64 id)
{
    return QStringLiteral("num") + QString::number(id);
}

QString frm_write::nodeKey(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kKeyRole).toString() : QString();
}

QTreeWidgetItem *frm_write::volumeNode(const QString &name) const
{
    return m_volumeNodes.value(name);
}

QTreeWidgetItem *frm_write::addVolumeNode(const QString &name)
{
    QTreeWidgetItem *node = makeNode(name, name);
    TreeView1->addTopLevelItem(node);
    m_volumeNodes.insert(name, node);
    return node;
}

QTreeWidgetItem *frm_write::addChapterNode(QTreeWidgetItem *volume, qint64 id, const QString &title)
{
    QTreeWidgetItem *node = makeNode(title, chapterKey(id));
    volume->addChild(node);
    return node;
}

QTreeWidgetItem *frm_write::addListRow(qint64 id, const QString &number, const QString &title, const QString &length)
{
    auto *row = new QTreeWidgetItem(QStringList{number, title, length});
    row->setData(0, kKeyRole, chapterKey(id));
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    ListView1->addTopLevelItem(row);
    return row;
}

QTreeWidgetItem *frm_write::selectedNode() const
{
    const QList<QTreeWidgetItem *> selected = TreeView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem *frm_write::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem *frm_write::chapterNode(const QString &key) const
{
    for (int v = 0; v < TreeView1->topLevelItemCount(); ++v) {
        QTreeWidgetItem *volume = TreeView1->topLevelItem(v);
        for (int c = 0; c < volume->childCount(); ++c) {
            if (nodeKey(volume->child(c)) == key)
                return volume->child(c);
        }
    }
    return nullptr;
}

void frm_write::removeListRows(const QStringList &keys)
{
    for (int i = ListView1->topLevelItemCount() - 1; i >= 0; --i) {
        if (keys.contains(nodeKey(ListView1->topLevelItem(i))))
            delete ListView1->takeTopLevelItem(i);
    }
}

void frm_write::LoadChapters()
{
    Data1.setDatabaseName(m_ctx.currentNovelPath);
    if (!rebuildTree(true))
        storeFailed(QStringLiteral("打开小说"), Data1.lastError());
}

bool frm_write::rebuildTree(bool reportHomeless)
{
    // Every volume first, then every chapter under its volume: chapters keep
    // table order under their volume whatever order the volumes have.
    QList<QTreeWidgetItem *> roots;
    QHash<QString, QTreeWidgetItem *> volumes;
    Data1.setRecordSource(kVolumes);
    if (!Data1.Refresh())
        return false;
    const int volumeCount = Data1.RecordCount();
    roots.reserve(volumeCount);
    Data1.MoveFirst();
    for (int i = 0; i < volumeCount; ++i, Data1.MoveNext()) {
        const QString name = Data1.text(kVolumeName);
        // A name stored twice by other means shows once, holding the chapters.
        if (volumes.contains(name))
            continue;
        QTreeWidgetItem *node = makeNode(name, name);
        roots.append(node);
        volumes.insert(name, node);
    }

    Data1.setRecordSource(kChapters);
    if (!Data1.Refresh()) {
        qDeleteAll(roots);
        return false;
    }
    const int chapterCount = Data1.RecordCount();
    int homeless = 0;
    Data1.MoveFirst();
    for (int i = 0; i < chapterCount; ++i, Data1.MoveNext()) {
        QTreeWidgetItem *volume = volumes.value(Data1.text(kOwner));
        if (!volume) {
            ++homeless;
            continue;
        }
        volume->addChild(makeNode(Data1.text(kTitle), chapterKey(Data1.value(kId).toLongLong())));
    }
    Data1.MoveLast();

    TreeView1->clear();
    m_volumeNodes = volumes;
    TreeView1->addTopLevelItems(roots);
    if (reportHomeless && homeless > 0)
        m_ctx.prompts->message(this, QStringLiteral("有%1个章节所属的分卷不存在，未显示在目录中！").arg(homeless),
                               MsgInformation, kNotice);
    return true;
}

void frm_write::TreeView1_Click()
{
    QTreeWidgetItem *node = selectedNode();
    if (!node || node->parent())
        return;
    ListView1->clear();
    if (!openSet(kChapters, QStringLiteral("读取章节列表")))
        return;
    // "序号" is the chapter's place in the whole chapter table.
    const QString name = node->text(0);
    const int n = Data1.RecordCount();
    Data1.MoveFirst();
    for (int i = 0; i < n; ++i, Data1.MoveNext()) {
        if (Data1.text(kOwner) != name)
            continue;
        const int length = Data1.textLength(kText);
        if (length < 0) {
            ListView1->clear();
            storeFailed(QStringLiteral("读取章节列表"), Data1.lastError());
            return;
        }
        addListRow(Data1.value(kId).toLongLong(), QString::number(i + 1), Data1.text(kTitle), QString::number(length));
    }
    Data1.MoveLast();
}

void frm_write::TreeView1_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button == Qt::RightButton)
        fenjuancaozuo->popup(globalPos);
}

void frm_write::ListView1_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    if (ListView1->topLevelItemCount() == 0) {
        if (button == Qt::RightButton)
            teshu->popup(globalPos);
        return;
    }
    if (!selectedRow() || !positionOnSelectedRow())
        return;
    if (button == Qt::RightButton)
        zhangjiecaozuo->popup(globalPos);
}

bool frm_write::openSet(const QString &table, const QString &what)
{
    Data1.setRecordSource(table);
    if (Data1.Refresh())
        return true;
    storeFailed(what, Data1.lastError());
    return false;
}

bool frm_write::positionOnSelectedRow()
{
    QTreeWidgetItem *row = selectedRow();
    if (!row)
        return false;
    if (!openSet(kChapters, QStringLiteral("读取章节")))
        return false;
    Data1.MoveFirst();
    const qint64 id = keyId(nodeKey(row));
    // A row whose chapter is gone must not leave the first chapter of the
    // novel to the chapter commands.
    if (id < 0 || !Data1.FindFirst(kId, id)) {
        m_ctx.prompts->message(this, QStringLiteral("找不到该章节，请重新点击分卷！"), MsgInformation, kNotice);
        return false;
    }
    return true;
}

bool frm_write::treeEditAllowed() const
{
    return isEnabled() && !m_notesOpen;
}

void frm_write::cancelTreeEdit()
{
    m_renameTimer->stop();
    m_labelEditor->cancel();
}

QTreeWidgetItem *frm_write::selectedLabelAt(const QPoint &pos) const
{
    // The node's own place, right of the expand sign: a click on the sign
    // opens or closes the volume and renames nothing.
    QTreeWidgetItem *under = TreeView1->itemAt(pos);
    if (!under || !under->isSelected() || pos.x() < TreeView1->visualItemRect(under).left())
        return nullptr;
    return under;
}

void frm_write::beginDelayedRename()
{
    QTreeWidgetItem *node = selectedNode();
    if (node && node == TreeView1->currentItem() && treeEditAllowed())
        TreeView1->editItem(node);
}

void frm_write::xinjian_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("新建章节");
    if (!openSet(kChapters, what))
        return;
    // The chapter goes to the volume chosen in the tree: the volume node
    // itself, or the volume of the chapter node chosen.
    QTreeWidgetItem *node = selectedNode();
    if (!node) {
        ask.message(this, QStringLiteral("请先在目录中选中一个分卷，再新建章节！"), MsgInformation, kNotice);
        return;
    }
    QTreeWidgetItem *volume = node->parent() ? node->parent() : node;
    const QString volumeName = volume->text(0);

    const QString title = ask.input(this, QStringLiteral("请输入章节标题，格式：第n章 标题内容"), QString());
    if (title.isEmpty()) {
        ask.message(this, QStringLiteral("增加失败！请输入章节标题！"), MsgCritical, QStringLiteral("警告"));
        return;
    }
    Data1.AddNew();
    Data1.setValue(kOwner, volumeName);
    Data1.setValue(kTitle, title);
    Data1.setValue(kText, QStringLiteral("章节内容"));
    Data1.setValue(QStringLiteral("章节附注"), QStringLiteral("章节附注"));
    if (!Data1.Update()) {
        storeFailed(what, Data1.lastError());
        return;
    }
    Data1.MoveLast();
    const qint64 id = Data1.value(kId).toLongLong();

    addChapterNode(volume, id, title);
    // The row joins whatever volume the list shows, numbered by its 编号.
    addListRow(id, QString::number(id), title, QStringLiteral("0"));

    if (ask.message(this, QStringLiteral("新章节添加完毕，是否开始编辑？"), MsgAskYesNo, QStringLiteral("询问？")) ==
        MsgYes)
        m_ctx.nav->showFromManager(ManagerWindow::EditNewChapter, Data1, this);
}

void frm_write::teshuzengjia_Click()
{
    xinjian_Click();
}

void frm_write::xiugaizhangjie_Click()
{
    cancelTreeEdit();
    if (selectedRow())
        m_ctx.nav->showFromManager(ManagerWindow::EditChapter, Data1, this);
}

void frm_write::yueduzhangjie_Click()
{
    cancelTreeEdit();
    if (selectedRow())
        m_ctx.nav->showFromManager(ManagerWindow::ReadChapter, Data1, this);
}

void frm_write::chakanfuzhu_Click()
{
    cancelTreeEdit();
    m_notesOpen = true;
    m_ctx.nav->showFromManager(ManagerWindow::ChapterNotes, Data1, this);
    m_notesOpen = false;
}

void frm_write::xinjianfenjuan_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("新建分卷");
    if (!openSet(kVolumes, what))
        return;
    const QString name = ask.input(this, QStringLiteral("请输入分卷名 格式：第n卷 分卷标题"), QString());
    if (name.isEmpty()) {
        ask.message(this, QStringLiteral("没有输入分卷名！添加失败！"), MsgCritical, QString());
        return;
    }
    if (Data1.FindFirst(kVolumeName, name)) {
        ask.message(this, QStringLiteral("不能输入重名分卷，请修改！"), MsgCritical, QString());
        return;
    }
    // The name is stored with the record itself, so that no nameless volume
    // is ever left in the file.
    Data1.AddNew();
    Data1.setValue(kVolumeName, name);
    if (!Data1.Update()) {
        storeFailed(what, Data1.lastError());
        return;
    }
    Data1.MoveLast();
    addVolumeNode(name);
    ask.message(this, QStringLiteral("成功添加"), MsgInformation, QString());
}

void frm_write::shanchufenjuan_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("删除分卷");
    QTreeWidgetItem *node = selectedNode();
    if (!node)
        return;
    if (ask.message(this, QStringLiteral("你确定要删除该分卷吗？该操作讲删除该分卷下所有章节，且该操作不可还原！"),
                    MsgAskYesNo, QStringLiteral("询问？")) != MsgYes)
        return;
    if (!openSet(kVolumes, what))
        return;
    if (Data1.RecordCount() == 1) {
        ask.message(this, QStringLiteral("这是最后一卷，不可以删除，您可以将其修改！"), MsgInformation, kNotice);
        return;
    }
    QTreeWidgetItem *volume = node->parent() ? node->parent() : node;
    const QString name = nodeKey(volume);

    if (!openSet(kChapters, what))
        return;
    int owned = 0;
    Data1.MoveFirst();
    for (int i = 0; i < Data1.RecordCount(); ++i, Data1.MoveNext())
        owned += Data1.text(kOwner) == name ? 1 : 0;
    // A novel always keeps at least one chapter.
    if (owned > 0 && owned == Data1.RecordCount()) {
        ask.message(this, QStringLiteral("该分卷包含全部章节，不可以删除，您可以将其修改！"), MsgInformation, kNotice);
        return;
    }

    // The volume and all its chapters go together or not at all.
    QStringList gone;
    bool stored = Data1.BeginTrans();
    Data1.MoveFirst();
    while (stored && !Data1.Eof()) {
        if (Data1.text(kOwner) == name) {
            const QString key = chapterKey(Data1.value(kId).toLongLong());
            stored = Data1.Delete();
            if (stored)
                gone << key;
        }
        Data1.MoveNext();
    }
    if (stored) {
        Data1.setRecordSource(kVolumes);
        stored = Data1.Refresh();
        if (stored && Data1.FindFirst(kVolumeName, name))
            stored = Data1.Delete();
    }
    stored = stored && Data1.CommitTrans();
    if (!stored) {
        const QString why = Data1.lastError();
        Data1.Rollback();
        storeFailed(what, why);
        return;
    }
    removeListRows(gone);
    m_volumeNodes.remove(name);
    delete volume;
    Data1.setRecordSource(kChapters);
    Data1.Refresh();
    ask.message(this, QStringLiteral("删除完成！"), MsgInformation, kNotice);
}

void frm_write::shanchu_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("删除章节");
    if (Data1.recordSource() != kChapters && !openSet(kChapters, what))
        return;
    if (Data1.RecordCount() == 1) {
        ask.message(this, QStringLiteral("这是最后一章，不可以删除，您可以将其修改！"), MsgInformation, kNotice);
        return;
    }
    QTreeWidgetItem *row = selectedRow();
    if (!row)
        return;
    if (ask.message(this, QStringLiteral("你确定要删除该章吗？删除后讲不可恢复！"), MsgAskYesNo, QString()) != MsgYes)
        return;
    const QString key = nodeKey(row);
    // Only the chapter of the selected row is ever deleted.
    if (!(Data1.hasCurrent() && chapterKey(Data1.value(kId).toLongLong()) == key) && !positionOnSelectedRow())
        return;
    if (!Data1.Delete()) {
        storeFailed(what, Data1.lastError());
        return;
    }
    if (!rebuildTree(false)) {
        // The chapter is gone from the file: take its node away at least.
        const QString why = Data1.lastError();
        delete chapterNode(key);
        storeFailed(QStringLiteral("刷新目录"), why);
    }
    delete row;
    ask.message(this, QStringLiteral("删除成功"), MsgInformation, QString());
}

void frm_write::TreeView1_BeforeLabelEdit(QTreeWidgetItem *node, bool &cancel)
{
    const bool volume = !node->parent();
    if (!openSet(volume ? kVolumes : kChapters, volume ? QStringLiteral("修改分卷名") : QStringLiteral("修改章节名"))) {
        cancel = true;
        return;
    }
    if (volume) {
        Data1.FindFirst(kVolumeName, node->text(0));
        m_oldVolumeName = node->text(0);
    } else {
        Data1.MoveFirst();
        Data1.FindFirst(kId, keyId(nodeKey(node)));
    }
}

void frm_write::TreeView1_AfterLabelEdit(QTreeWidgetItem *node, bool &cancel, const QString &newString)
{
    // A refused or failed rename keeps the node's old text.
    cancel = node->parent() ? !renameChapter(node, newString) : !renameVolume(node, newString);
    if (!cancel)
        node->setText(0, newString);
}

bool frm_write::renameVolume(QTreeWidgetItem *node, const QString &newName)
{
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("修改分卷名");
    const QString oldName = m_oldVolumeName;
    if (newName == oldName)
        return true;
    // The name keys the volume and ties its chapters to it: it must stay
    // non-empty and unique.
    if (newName.isEmpty()) {
        ask.message(this, QStringLiteral("没有输入分卷名！修改失败！"), MsgCritical, QString());
        return false;
    }
    if (!openSet(kVolumes, what))
        return false;
    if (Data1.FindFirst(kVolumeName, newName)) {
        ask.message(this, QStringLiteral("不能输入重名分卷，请修改！"), MsgCritical, QString());
        return false;
    }
    if (!Data1.FindFirst(kVolumeName, oldName)) {
        ask.message(this, QStringLiteral("找不到该分卷，修改失败！"), MsgCritical, QString());
        return false;
    }
    // The volume and its chapters change together or not at all: a volume
    // renamed without all its chapters would hide them from the tree.
    bool stored = Data1.BeginTrans() && storeField(kVolumeName, newName);
    if (stored) {
        Data1.setRecordSource(kChapters);
        stored = Data1.Refresh();
        Data1.MoveFirst();
        for (int i = 0; stored && i < Data1.RecordCount(); ++i, Data1.MoveNext()) {
            if (Data1.text(kOwner) != oldName)
                continue;
            stored = storeField(kOwner, newName);
        }
    }
    stored = stored && Data1.CommitTrans();
    if (!stored) {
        const QString why = Data1.lastError();
        Data1.Rollback();
        storeFailed(what, why);
        return false;
    }
    Data1.MoveLast();
    node->setData(0, kKeyRole, newName);
    m_volumeNodes.remove(oldName);
    m_volumeNodes.insert(newName, node);
    return true;
}

bool frm_write::renameChapter(QTreeWidgetItem *node, const QString &newTitle)
{
    const QString what = QStringLiteral("修改章节名");
    if (!openSet(kChapters, what))
        return false;
    Data1.MoveFirst();
    if (!Data1.FindFirst(kId, keyId(nodeKey(node)))) {
        m_ctx.prompts->message(this, QStringLiteral("找不到该章节，修改失败！"), MsgCritical, QString());
        return false;
    }
    if (Data1.text(kTitle) == newTitle || storeField(kTitle, newTitle))
        return true;
    storeFailed(what, Data1.lastError());
    return false;
}

bool frm_write::storeField(const QString &field, const QVariant &value)
{
    if (!Data1.Edit())
        return false;
    Data1.setValue(field, value);
    return Data1.Update();
}

bool frm_write::eventFilter(QObject *watched, QEvent *event)
{
    // Filters see the mouse even on a disabled window. While the editor is
    // open no press may move Data1 off the chapter the editor stores into.
    if (!isEnabled())
        return QWidget::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (watched == TreeView1->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            auto *me = static_cast<QMouseEvent *>(event);
            // A press calls off a rename that has not begun yet; a left press
            // on the selected node may begin one when it is released.
            m_renameTimer->stop();
            m_pressedSelected = me->button() == Qt::LeftButton ? selectedLabelAt(me->position().toPoint()) : nullptr;
            TreeView1_MouseDown(me->button(), me->globalPosition().toPoint());
            // The right button opens the menu without choosing the node under
            // it: the volume commands act on the selection as it was.
            return me->button() == Qt::RightButton;
        }
        if (type == QEvent::MouseButtonDblClick) {
            m_renameTimer->stop();
            m_pressedSelected = nullptr;
        }
        if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (m_pressedSelected && selectedLabelAt(me->position().toPoint()) == m_pressedSelected)
                m_renameTimer->start(QApplication::doubleClickInterval());
            m_pressedSelected = nullptr;
            TreeView1_Click();
        }
    } else if (watched == ListView1->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            m_renameTimer->stop();
            // Any button chooses the row under the pointer, or none on empty
            // space, before the press is handled.
            auto *me = static_cast<QMouseEvent *>(event);
            const QPoint at(ListView1->columnViewportPosition(0), me->position().toPoint().y());
            QTreeWidgetItem *row = ListView1->itemAt(at);
            if (row) {
                ListView1->setCurrentItem(row);
            } else {
                ListView1->clearSelection();
                ListView1->setCurrentItem(nullptr);
            }
            ListView1_MouseDown(me->button(), me->globalPosition().toPoint());
            return true;
        }
        // Dragging with a button held must not move the selection away from
        // the chapter the press made current.
        if (type == QEvent::MouseMove && static_cast<QMouseEvent *>(event)->buttons() != Qt::NoButton)
            return true;
        if (type == QEvent::MouseButtonDblClick)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
