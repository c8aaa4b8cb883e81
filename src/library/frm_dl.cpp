#include "library/frm_dl.h"

#include "app/app_context.h"
#include "library/cover_shelf.h"
#include "library/data_directory.h"
#include "store/file_lister.h"
#include "store/novel_file.h"
#include "ui/prompts.h"
#include "ui/skin.h"
#include "ui/twips.h"

#include <QApplication>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>

const char *const kProductSite = "yanzhou.example.org";

namespace {

const QSize kCoverSize(120, 150);
// Lines of files named in the message about files the library cannot show.
constexpr int kUnlistedShown = 12;

QFont songti(qreal points)
{
    // The int overload would cut 10.5 to 10.
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    return font;
}

// In words, why the file at path did not open as a novel.
QString whyUnlisted(const QString &path)
{
    QString why;
    switch (novelFileKind(path, &why)) {
    case NovelFileKind::Unreadable:
        return why.isEmpty() ? QStringLiteral("无法读取") : QStringLiteral("无法读取（%1）").arg(why);
    case NovelFileKind::Empty:
        return QStringLiteral("文件是空的");
    case NovelFileKind::NotADatabase:
    case NovelFileKind::NotANovel:
        return QStringLiteral("不是本程序的小说文件");
    case NovelFileKind::Damaged:
        return QStringLiteral("文件已损坏");
    case NovelFileKind::Novel:
        break;
    }
    return QStringLiteral("读不出小说信息，文件可能已损坏");
}

// One message for every file the library cannot show: "name：why" a line.
QString unlistedMessage(const QStringList &lines)
{
    QString text = QStringLiteral("数据目录中有%1个文件不能在书库中显示：\n").arg(lines.size());
    for (int i = 0; i < lines.size() && i < kUnlistedShown; ++i)
        text += QLatin1Char('\n') + lines[i];
    if (lines.size() > kUnlistedShown)
        text += QStringLiteral("\n……还有%1个").arg(lines.size() - kUnlistedShown);
    return text;
}

} // namespace

frm_dl::frm_dl(AppContext &ctx, QWidget *parent) : QMainWindow(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frm_dl"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(appTitle());
    setFont(songti(10.5));

    auto *central = new QWidget(this);
    central->setFixedSize(tw(11430), tw(9090));
    setCentralWidget(central);

    ListView1 = new QListWidget(central);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    placeTw(ListView1, 120, 120, 11175, 8895);
    ListView1->setFont(songti(14.25));
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setIconSize(kCoverSize);
    ListView1->setGridSize(QSize(kCoverSize.width() + 24, kCoverSize.height() + 48));
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setMovement(QListView::Static);
    ListView1->setDragEnabled(false);
    ListView1->setDragDropMode(QAbstractItemView::NoDragDrop);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setWordWrap(true);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1, &QListWidget::itemDoubleClicked, this, &frm_dl::ListView1_DblClick);
    m_covers =
        new CoverShelf(kCoverSize, ListView1->devicePixelRatioF(), m_ctx.programFile(QStringLiteral("默认.jpg")), this);
    connect(m_covers, &CoverShelf::coverArrived, ListView1->viewport(), qOverload<>(&QWidget::update));

    file_a = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file_a->setObjectName(QStringLiteral("file_a"));
    new_ = file_a->addAction(QStringLiteral("新建(&N)"), this, &frm_dl::new_Click);
    new_->setObjectName(QStringLiteral("new"));
    delete_ = file_a->addAction(QStringLiteral("删除(&D)"), this, &frm_dl::delete_Click);
    delete_->setObjectName(QStringLiteral("delete"));
    infor = file_a->addAction(QStringLiteral("信息(&I)"), this, &frm_dl::infor_Click);
    infor->setObjectName(QStringLiteral("infor"));
    ddd = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    ddd->setObjectName(QStringLiteral("ddd"));
    about = ddd->addAction(QStringLiteral("关于(&A)"), this, &frm_dl::about_Click);
    about->setObjectName(QStringLiteral("about"));
    guanwang = ddd->addAction(QStringLiteral("官网(&W)"), this, &frm_dl::guanwang_Click);
    guanwang->setObjectName(QStringLiteral("guanwang"));

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();
}

void frm_dl::Form_Load()
{
    applySkin(skinFilePath(m_ctx));
    Loadnovels();
}

void frm_dl::Loadnovels()
{
    // A file that is not a readable novel is passed over: it never stops the
    // loading, and entry k of the list still belongs to element k-1 of Novels.
    // What was passed over is said once, with the reason, rather than hidden.
    const QString prefix = m_ctx.dataPrefix();
    QStringList names;
    QList<QByteArray> unreachable;
    ListFiles(prefix, QStringLiteral("*.mdb"), names, &unreachable);
    QStringList unlisted;
    for (const QByteArray &raw : std::as_const(unreachable)) {
        bool gbk = false;
        const QString name = unreachableName(raw, &gbk);
        unlisted << QStringLiteral("“%1”：文件名%2，程序打不开，请给文件改名")
                        .arg(name, gbk ? QStringLiteral("是GBK编码") : QStringLiteral("不是UTF-8编码"));
    }
    Novels.clear();
    ListView1->clear();
    m_covers->clear();
    // A directory that cannot be read is said once, over the shown window,
    // rather than passed off as a library without novels.
    if (const QString problem = dataDirectoryProblem(m_ctx); !problem.isEmpty()) {
        const QString text = dataDirectoryMessage(m_ctx, problem);
        QMetaObject::invokeMethod(
            this, [this, text] { m_ctx.prompts->message(this, text, MsgCritical, QStringLiteral("提示")); },
            Qt::QueuedConnection);
    }

    for (const QString &name : std::as_const(names)) {
        if (name.isEmpty())
            continue;
        const QString path = prefix + name;
        Data1.setDatabaseName(path);
        Data1.setRecordSource(QStringLiteral("信息"));
        if (!Data1.RefreshFirst() || !Data1.MoveFirst()) {
            unlisted << QStringLiteral("“%1”：%2").arg(name, whyUnlisted(path));
            continue;
        }
        const QVariant title = Data1.value(QStringLiteral("书名"));
        if (!title.isValid()) {
            unlisted << QStringLiteral("“%1”：读不出书名").arg(name);
            continue;
        }
        // The cover is read when the entry is first painted, not here.
        auto *item = new QListWidgetItem(m_covers->icon(path, Data1.currentRowId()), title.toString());
        item->setToolTip(name);
        ListView1->addItem(item);
        Novels.append({int(Novels.size()) + 1, path});
    }
    // Hold no novel file open while the library is shown.
    Data1.close();

    const QString told = unlisted.isEmpty() ? QString() : unlistedMessage(unlisted);
    if (told != m_ctx.unlistedTold) {
        m_ctx.unlistedTold = told;
        if (!told.isEmpty()) {
            QMetaObject::invokeMethod(
                this, [this, told] { m_ctx.prompts->message(this, told, MsgInformation, QStringLiteral("提示")); },
                Qt::QueuedConnection);
        }
    }
}

int frm_dl::selectedIndex() const
{
    const QList<QListWidgetItem *> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int row = ListView1->row(selected.first());
    return row < Novels.size() ? row : -1;
}

bool frm_dl::openSelected(bool chapters)
{
    const int i = selectedIndex();
    if (i < 0) {
        m_ctx.prompts->message(this, QStringLiteral("请选中一本小说后再操作！"), MsgInformation,
                               QStringLiteral("提示"));
        return false;
    }
    m_ctx.currentNovelPath = Novels[i].FilePath;
    if (chapters)
        m_ctx.nav->showChapterManager();
    else
        m_ctx.nav->showNovelInfo();
    close();
    return true;
}

void frm_dl::ListView1_DblClick()
{
    if (selectedIndex() >= 0)
        openSelected(true);
}

void frm_dl::infor_Click()
{
    openSelected(false);
}

void frm_dl::new_Click()
{
    m_ctx.nav->showNewNovel();
    close();
}

void frm_dl::delete_Click()
{
    Prompts &ask = *m_ctx.prompts;
    const int i = selectedIndex();
    if (i < 0) {
        ask.message(this, QStringLiteral("请选中一本小说后再操作！"), MsgInformation, QStringLiteral("提示"));
        return;
    }
    if (ListView1->count() == 1) {
        ask.message(this, QStringLiteral("这是最后一本小说，不能删除！"), MsgInformation, QStringLiteral("提示"));
        return;
    }
    if (ask.message(this, QStringLiteral("你确定要删除选中的小说吗？"), MsgAskYesNo, QStringLiteral("询问？")) !=
        MsgYes)
        return;
    Data1.close();
    QString why;
    if (!novelfile::remove(Novels[i].FilePath, &why)) {
        ask.message(this, QStringLiteral("无法删除小说文件，小说没有删除！\n%1").arg(why), MsgCritical,
                    QStringLiteral("提示"));
        return;
    }
    delete ListView1->takeItem(i);
    Novels.removeAt(i);
    for (int k = i; k < Novels.size(); ++k)
        Novels[k].Position = k + 1;
    ask.message(this, QStringLiteral("成功删除选中小说！"), MsgInformation, QStringLiteral("提示"));
}

void frm_dl::about_Click()
{
    m_ctx.nav->showAbout(this);
}

void frm_dl::guanwang_Click()
{
    if (m_ctx.openUrl)
        m_ctx.openUrl(QUrl(QStringLiteral("http://") + QLatin1String(kProductSite)));
}

bool frm_dl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::RightButton) {
                if (QListWidgetItem *item = ListView1->itemAt(me->position().toPoint()))
                    ListView1->setCurrentItem(item);
                file_a->popup(me->globalPosition().toPoint());
                return true;
            }
            if (me->button() == Qt::LeftButton) {
                m_pressSelection = ListView1->selectionModel()->selection();
                m_pressCurrent = ListView1->currentIndex();
                m_pressPos = me->position().toPoint();
                m_dragging = false;
            }
        } else if (event->type() == QEvent::MouseMove) {
            // A left-button drag has no effect: the list never sees the
            // move, and once the mouse has gone further than a click's
            // tremble, the choice made by the press is taken back.
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->buttons() & Qt::LeftButton) {
                if (!m_dragging &&
                    (me->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
                    m_dragging = true;
                    QItemSelectionModel *chosen = ListView1->selectionModel();
                    chosen->setCurrentIndex(m_pressCurrent, QItemSelectionModel::NoUpdate);
                    chosen->select(m_pressSelection, QItemSelectionModel::ClearAndSelect);
                }
                return true;
            }
        } else if (event->type() == QEvent::ContextMenu) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
