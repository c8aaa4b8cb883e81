#include "chapters/frm_write.h"

#include "app/app_context.h"
#include "app/snapshot_keeper.h"
#include "chapters/manager_commands.h"
#include "chapters/outline_refusals.h"
#include "chapters/tree_label_editing.h"
#include "ui/prompts.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>

namespace {

using Reason = Outline::Reason;

const QString kNotice = QStringLiteral("提示");

} // namespace

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
    TreeView1->setContextMenuPolicy(Qt::PreventContextMenu);
    TreeView1->viewport()->installEventFilter(this);
    m_labelEditing = new TreeLabelEditing(
        TreeView1, [this] { return treeEditAllowed(); },
        [this](QTreeWidgetItem *node, bool &cancel) { TreeView1_BeforeLabelEdit(node, cancel); },
        [this](QTreeWidgetItem *node, bool &cancel, const QString &text) {
            TreeView1_AfterLabelEdit(node, cancel, text);
        });

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
    m_items = ChapterTree(TreeView1, ListView1);

    zhangjiecaozuo = new QMenu(QStringLiteral("章节操作"), this);
    zhangjiecaozuo->setObjectName(QStringLiteral("zhangjiecaozuo"));
    xinjian = addMenuItem(zhangjiecaozuo, "xinjian", QStringLiteral("新建章节(&N)"), &frm_write::xinjian_Click);
    shanchu = addMenuItem(zhangjiecaozuo, "shanchu", QStringLiteral("删除章节(&D)"), &frm_write::shanchu_Click);
    sss = zhangjiecaozuo->addSeparator();
    sss->setObjectName(QStringLiteral("sss"));
    yueduzhangjie =
        addMenuItem(zhangjiecaozuo, "yueduzhangjie", QStringLiteral("阅读章节(&R)"), &frm_write::yueduzhangjie_Click);
    xiugaizhangjie =
        addMenuItem(zhangjiecaozuo, "xiugaizhangjie", QStringLiteral("修改章节(&M)"), &frm_write::xiugaizhangjie_Click);
    chakanfuzhu =
        addMenuItem(zhangjiecaozuo, "chakanfuzhu", QStringLiteral("章节附注(&P)"), &frm_write::chakanfuzhu_Click);
    zhangjiecaozuo->addSeparator()->setObjectName(QStringLiteral("lishifenge"));
    lishibanben =
        addMenuItem(zhangjiecaozuo, "lishibanben", QStringLiteral("历史版本(&H)"), &frm_write::lishibanben_Click);

    fenjuancaozuo = new QMenu(QStringLiteral("分卷操作"), this);
    fenjuancaozuo->setObjectName(QStringLiteral("fenjuancaozuo"));
    xinjianfenjuan =
        addMenuItem(fenjuancaozuo, "xinjianfenjuan", QStringLiteral("新建分卷(&F)"), &frm_write::xinjianfenjuan_Click);
    shanchufenjuan =
        addMenuItem(fenjuancaozuo, "shanchufenjuan", QStringLiteral("删除分卷(&C)"), &frm_write::shanchufenjuan_Click);
    fenjuancaozuo->addSeparator()->setObjectName(QStringLiteral("zhaohuifenge"));
    zhaohuizhangjie = addMenuItem(fenjuancaozuo, "zhaohuizhangjie", QStringLiteral("找回删除的章节(&G)"),
                                  &frm_write::zhaohuizhangjie_Click);

    teshu = new QMenu(QStringLiteral("特殊章节修改"), this);
    teshu->setObjectName(QStringLiteral("teshu"));
    teshuzengjia = addMenuItem(teshu, "teshuzengjia", QStringLiteral("新增章节(&N)"), &frm_write::teshuzengjia_Click);
    const QList<QMenu *> menus{zhangjiecaozuo, fenjuancaozuo, teshu};
    xiezuotongji = addManagerCommand(
        this, menus,
        {QStringLiteral("写作统计(&T)"), "xiezuotongji", "tongjifenge", QKeySequence(Qt::CTRL | Qt::Key_T)},
        [this] { m_ctx.nav->showFromManager(ManagerWindow::WritingStatistics, Data1, this); });
    quanshuchazhao = addManagerCommand(
        this, menus,
        {QStringLiteral("全书查找替换(&S)"), "quanshuchazhao", "chazhaofenge", QKeySequence(Qt::CTRL | Qt::Key_F)},
        [this] { m_ctx.nav->showFromManager(ManagerWindow::BookSearch, Data1, this); });
    Form_Load();
}

frm_write::~frm_write()
{
    // An editor still open in the tree is closed after this window's own
    // members are gone.
    m_labelEditing->release();
}

QAction *frm_write::addMenuItem(QMenu *menu, const char *name, const QString &caption, void (frm_write::*slot)())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void frm_write::Form_Load()
{
    // Only a novel that opens is one to keep snapshots of: a file refused
    // here is no novel of the user's to copy.
    if (LoadChapters() && m_ctx.snapshots)
        m_ctx.snapshots->watch(this, m_ctx.currentNovelPath);
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

bool frm_write::refused(const QString &what, const Outline::Result &r)
{
    return tellRefusal(*m_ctx.prompts, this, what, r);
}

bool frm_write::LoadChapters()
{
    Data1.setDatabaseName(m_ctx.currentNovelPath);
    OutlineTree tree;
    if (refused(QStringLiteral("打开小说"), m_outline.read(&tree)))
        return false;
    m_items.show(tree);
    if (tree.homeless > 0)
        m_ctx.prompts->message(this, QStringLiteral("有%1个章节所属的分卷不存在，未显示在目录中！").arg(tree.homeless),
                               MsgInformation, kNotice);
    return true;
}

void frm_write::TreeView1_Click()
{
    QTreeWidgetItem *node = m_items.selectedNode();
    if (!node || node->parent())
        return;
    ListView1->clear();
    QVector<ListedChapter> rows;
    if (!refused(QStringLiteral("读取章节列表"), m_outline.readVolume(node->text(0), &rows)))
        m_items.showRows(rows);
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
    if (!m_items.selectedRow() || !positionOnSelectedRow())
        return;
    if (button == Qt::RightButton)
        zhangjiecaozuo->popup(globalPos);
}

bool frm_write::positionOnSelectedRow()
{
    QTreeWidgetItem *row = m_items.selectedRow();
    return row && !refused(QStringLiteral("读取章节"), m_outline.findChapter(ChapterTree::keyId(nodeKey(row))));
}

bool frm_write::treeEditAllowed() const
{
    return isEnabled() && !m_notesOpen;
}

void frm_write::cancelTreeEdit()
{
    m_labelEditing->cancel();
}

void frm_write::xinjian_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("新建章节");
    if (refused(what, m_outline.openChapters()))
        return;
    // The chapter goes to the volume chosen in the tree: the volume node
    // itself, or the volume of the chapter node chosen.
    QTreeWidgetItem *node = m_items.selectedNode();
    if (!node) {
        ask.message(this, QStringLiteral("请先在目录中选中一个分卷，再新建章节！"), MsgInformation, kNotice);
        return;
    }
    QTreeWidgetItem *volume = node->parent() ? node->parent() : node;
    const QString title = ask.input(this, QStringLiteral("请输入章节标题，格式：第n章 标题内容"), QString());
    qint64 id = 0;
    if (refused(what, m_outline.addChapter(volume->text(0), title, &id)))
        return;

    m_items.addChapter(volume, id, title);
    // The row joins whatever volume the list shows, numbered by its 编号.
    m_items.addRow(id, QString::number(id), title, QStringLiteral("0"));

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
    if (m_items.selectedRow())
        m_ctx.nav->showFromManager(ManagerWindow::EditChapter, Data1, this);
}

void frm_write::yueduzhangjie_Click()
{
    cancelTreeEdit();
    if (m_items.selectedRow())
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
    if (refused(what, m_outline.openVolumes()))
        return;
    const QString name = ask.input(this, QStringLiteral("请输入分卷名 格式：第n卷 分卷标题"), QString());
    if (refused(what, m_outline.addVolume(name)))
        return;
    m_items.addVolume(name);
    ask.message(this, QStringLiteral("成功添加"), MsgInformation, QString());
}

void frm_write::shanchufenjuan_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    QTreeWidgetItem *node = m_items.selectedNode();
    if (!node)
        return;
    if (ask.message(this, QStringLiteral("你确定要删除该分卷吗？该操作讲删除该分卷下所有章节，且该操作不可还原！"),
                    MsgAskYesNo, QStringLiteral("询问？")) != MsgYes)
        return;
    QTreeWidgetItem *volume = node->parent() ? node->parent() : node;
    QVector<qint64> gone;
    snapshotBeforeChange();
    if (refused(QStringLiteral("删除分卷"), m_outline.deleteVolume(nodeKey(volume), &gone)))
        return;
    m_items.removeVolume(volume, gone);
    ask.message(this, QStringLiteral("删除完成！"), MsgInformation, kNotice);
}

void frm_write::shanchu_Click()
{
    cancelTreeEdit();
    Prompts &ask = *m_ctx.prompts;
    const QString what = QStringLiteral("删除章节");
    if (refused(what, m_outline.checkChapterDeletable()))
        return;
    QTreeWidgetItem *row = m_items.selectedRow();
    if (!row)
        return;
    if (ask.message(this, QStringLiteral("你确定要删除该章吗？删除后讲不可恢复！"), MsgAskYesNo, QString()) != MsgYes)
        return;
    const QString key = nodeKey(row);
    const qint64 id = ChapterTree::keyId(key);
    // Only the chapter of the selected row is ever deleted.
    if (!m_outline.standsOn(id) && !positionOnSelectedRow())
        return;
    snapshotBeforeChange();
    if (refused(what, m_outline.deleteChapter(id)))
        return;
    OutlineTree tree;
    const Outline::Result reread = m_outline.read(&tree);
    if (reread) {
        m_items.show(tree);
    } else {
        // The chapter is gone from the file: take its node away at least.
        delete m_items.chapterNode(key);
        refused(QStringLiteral("刷新目录"), reread);
    }
    delete row;
    ask.message(this, QStringLiteral("删除成功"), MsgInformation, QString());
}

void frm_write::snapshotBeforeChange()
{
    // Whatever the hour's slot holds. Where it cannot be taken (read-only
    // media, a full disk) the change the user asked for goes on, as quietly
    // as any snapshot that cannot be written.
    QString why;
    if (m_ctx.snapshots)
        m_ctx.snapshots->takeNow(m_ctx.currentNovelPath, &why);
}

void frm_write::lishibanben_Click()
{
    cancelTreeEdit();
    QTreeWidgetItem *row = m_items.selectedRow();
    if (!row)
        return;
    m_ctx.nav->showFromManager(ManagerWindow::ChapterHistory, Data1, this);
    // A text put back shows its length in the list.
    if (m_outline.standsOn(ChapterTree::keyId(nodeKey(row))))
        row->setText(2, QString::number(Data1.textLength(QStringLiteral("章节内容"))));
}

void frm_write::zhaohuizhangjie_Click()
{
    cancelTreeEdit();
    const int before = m_outline.openChapters() ? Data1.RecordCount() : -1;
    m_ctx.nav->showFromManager(ManagerWindow::LostChapters, Data1, this);
    // Chapters put back join the tree, with their volumes where those were gone.
    OutlineTree tree;
    if (m_outline.openChapters() && Data1.RecordCount() != before &&
        !refused(QStringLiteral("刷新目录"), m_outline.read(&tree)))
        m_items.show(tree);
}

void frm_write::TreeView1_BeforeLabelEdit(QTreeWidgetItem *node, bool &cancel)
{
    // The file must read before anything is typed; where the node's record
    // has gone is the end handler's to say.
    const bool volume = !node->parent();
    const Outline::Result found =
        volume ? m_outline.findVolume(node->text(0)) : m_outline.findChapter(ChapterTree::keyId(nodeKey(node)));
    if (found.reason == Reason::StoreFailed) {
        refused(volume ? QStringLiteral("修改分卷名") : QStringLiteral("修改章节名"), found);
        cancel = true;
        return;
    }
    if (volume)
        m_oldVolumeName = node->text(0);
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
    const QString oldName = m_oldVolumeName;
    if (refused(QStringLiteral("修改分卷名"), m_outline.renameVolume(oldName, newName)))
        return false;
    if (newName != oldName)
        m_items.rekeyVolume(node, oldName, newName);
    return true;
}

bool frm_write::renameChapter(QTreeWidgetItem *node, const QString &newTitle)
{
    return !refused(QStringLiteral("修改章节名"), m_outline.renameChapter(ChapterTree::keyId(nodeKey(node)), newTitle));
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
            TreeView1_MouseDown(me->button(), me->globalPosition().toPoint());
            // The right button opens the menu without choosing the node under
            // it: the volume commands act on the selection as it was.
            return me->button() == Qt::RightButton;
        }
        if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            TreeView1_Click();
    } else if (watched == ListView1->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            m_labelEditing->callOff();
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
