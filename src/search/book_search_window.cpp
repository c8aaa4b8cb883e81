#include "search/book_search_window.h"

#include "app/app_context.h"
#include "app/snapshot_keeper.h"
#include "search/search_results.h"
#include "store/data_source.h"
#include "store/snapshot.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QWindow>

namespace {

const QString kNotice = QStringLiteral("提示");
// A message names at most this many chapters.
constexpr int kNamesShown = 10;

QString chapterList(const QStringList &names)
{
    QStringList shown = names.mid(0, kNamesShown);
    if (names.size() > kNamesShown)
        shown << QStringLiteral("……等共 %1 章").arg(names.size());
    return shown.join(QLatin1Char('\n'));
}

// A snapshot of the novel as it is now, whatever the hour's slot holds: by
// the program's snapshot keeper, after the snapshots it was asked for
// before; where there is none, through a connection of its own here. True
// when a snapshot holds the novel as it stands.
bool snapshotNow(SnapshotKeeper *keeper, const QString &novelPath, QString *why)
{
    if (keeper)
        return keeper->takeNow(novelPath, why);
    NovelSnapshot snapshot(novelPath);
    if (!snapshot.open()) {
        *why = snapshot.lastError();
        return false;
    }
    switch (snapshot.take(QDateTime::currentDateTime(), nullptr, NovelSnapshot::When::Now)) {
    case NovelSnapshot::Result::Kept:
    case NovelSnapshot::Result::SameAsPrevious:
        return true;
    default:
        *why = snapshot.lastError().isEmpty() ? QStringLiteral("未能保存快照") : snapshot.lastError();
        return false;
    }
}

} // namespace

BookSearchWindow::BookSearchWindow(AppContext &ctx, DataSource &source, QWidget *manager,
                                   std::function<QString()> selectedVolume)
    : QWidget(nullptr, Qt::Window), m_ctx(ctx), m_data(source), m_path(source.databaseName()), m_manager(manager),
      m_selectedVolume(std::move(selectedVolume))
{
    setObjectName(QStringLiteral("BookSearchWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("全书查找替换"));
    m_snapshot = [this](QString *why) { return snapshotNow(m_ctx.snapshots, m_path, why); };

    const auto named = [this](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    findText = named(new QLineEdit(this), "findText");
    replaceText = named(new QLineEdit(this), "replaceText");
    findText->setClearButtonEnabled(true);
    caseSensitive = named(new QCheckBox(QStringLiteral("区分大小写"), this), "caseSensitive");
    widthInsensitive = named(new QCheckBox(QStringLiteral("全角半角视为相同"), this), "widthInsensitive");
    useRegex = named(new QCheckBox(QStringLiteral("使用正则表达式"), this), "useRegex");
    scopeBook = named(new QRadioButton(QStringLiteral("全书"), this), "scopeBook");
    scopeVolume = named(new QRadioButton(QStringLiteral("选中的分卷"), this), "scopeVolume");
    scopeBook->setChecked(true);
    searchButton = named(new QPushButton(QStringLiteral("查找"), this), "searchButton");
    replaceAllButton = named(new QPushButton(QStringLiteral("全部替换"), this), "replaceAllButton");
    undoButton = named(new QPushButton(QStringLiteral("撤销全部替换"), this), "undoButton");
    searchButton->setDefault(true);
    replaceAllButton->setEnabled(false);
    undoButton->setEnabled(false);
    summary = named(new QLabel(this), "summary");

    m_model = new SearchResults(this);
    results = named(new QTreeView(this), "results");
    results->setModel(m_model);
    results->setItemDelegate(new HitDelegate(results));
    results->setHeaderHidden(true);
    results->setUniformRowHeights(true);
    results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results->setSelectionMode(QAbstractItemView::SingleSelection);
    results->setExpandsOnDoubleClick(false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("查找内容："), this), 0, 0);
    grid->addWidget(findText, 0, 1, 1, 3);
    grid->addWidget(searchButton, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("替换为："), this), 1, 0);
    grid->addWidget(replaceText, 1, 1, 1, 3);
    grid->addWidget(replaceAllButton, 1, 4);
    grid->addWidget(caseSensitive, 2, 1);
    grid->addWidget(widthInsensitive, 2, 2);
    grid->addWidget(useRegex, 2, 3);
    grid->addWidget(undoButton, 2, 4);
    grid->addWidget(new QLabel(QStringLiteral("范围："), this), 3, 0);
    grid->addWidget(scopeBook, 3, 1);
    grid->addWidget(scopeVolume, 3, 2, 1, 2);
    grid->addWidget(results, 4, 0, 1, 5);
    grid->addWidget(summary, 5, 0, 1, 5);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(4, 1);
    resize(720, 560);

    connect(searchButton, &QPushButton::clicked, this, &BookSearchWindow::startSearch);
    connect(findText, &QLineEdit::returnPressed, this, &BookSearchWindow::startSearch);
    connect(replaceAllButton, &QPushButton::clicked, this, &BookSearchWindow::replaceAll);
    connect(undoButton, &QPushButton::clicked, this, &BookSearchWindow::undoReplace);
    connect(results, &QTreeView::doubleClicked, this, &BookSearchWindow::openHit);
    connect(&m_search, &BookSearch::found, this, &BookSearchWindow::found);
    connect(&m_search, &BookSearch::finished, this, &BookSearchWindow::searchFinished);
    connect(m_model, &SearchResults::checkedCountChanged, this, [this] { showCounts(); });
    // Volumes and chapters open as they come; hits are their rows.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &parent, int first, int last) {
        if (parent.isValid() && parent.parent().isValid())
            return;
        for (int row = first; row <= last; ++row) {
            const QModelIndex item = m_model->index(row, 0, parent);
            results->expand(item);
            if (!parent.isValid()) {
                for (int c = 0, n = m_model->rowCount(item); c < n; ++c)
                    results->expand(m_model->index(c, 0, item));
            }
        }
    });
    if (manager)
        connect(manager, &QObject::destroyed, this, &QWidget::close);
    updateScope();
}

BookSearchWindow::~BookSearchWindow() = default;

void BookSearchWindow::showEvent(QShowEvent *event)
{
    // Kept above the manager without being its child, so that the manager
    // being disabled while the editor is open leaves this window usable.
    if (m_manager && windowHandle() && m_manager->window()->windowHandle())
        windowHandle()->setTransientParent(m_manager->window()->windowHandle());
    updateScope();
    QWidget::showEvent(event);
}

void BookSearchWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateScope();
    QWidget::changeEvent(event);
}

void BookSearchWindow::updateScope()
{
    const QString volume = m_selectedVolume ? m_selectedVolume() : QString();
    scopeVolume->setText(volume.isEmpty() ? QStringLiteral("选中的分卷（未选中）")
                                          : QStringLiteral("选中的分卷：%1").arg(volume));
}

TextQuery BookSearchWindow::query() const
{
    return {findText->text(), caseSensitive->isChecked(), widthInsensitive->isChecked(), useRegex->isChecked()};
}

void BookSearchWindow::tell(const QString &text)
{
    m_ctx.prompts->message(this, text, MsgInformation, kNotice);
}

bool BookSearchWindow::editorOpen() const
{
    return m_manager && !m_manager->isEnabled();
}

void BookSearchWindow::startSearch()
{
    const TextQuery q = query();
    TextSearch check;
    if (const auto r = check.prepare(q); !r) {
        tell(textSearchProblem(r));
        return;
    }
    QString volume;
    if (scopeVolume->isChecked()) {
        volume = m_selectedVolume ? m_selectedVolume() : QString();
        updateScope();
        if (volume.isEmpty()) {
            tell(QStringLiteral("请先在目录中选中一个分卷，再在这一卷中查找！"));
            return;
        }
    }
    m_model->clear();
    m_searched = q;
    m_truncated = false;
    m_search.start(m_path, q, volume);
    showCounts();
}

void BookSearchWindow::found(const QVector<FoundChapter> &chapters)
{
    m_model->append(chapters);
}

void BookSearchWindow::searchFinished(const BookSearchOutcome &outcome)
{
    using Reason = BookSearchOutcome::Reason;
    m_truncated = outcome.truncated;
    showCounts();
    switch (outcome.reason) {
    case Reason::None:
    case Reason::Cancelled:
        break;
    case Reason::Query:
        tell(textSearchProblem(outcome.query));
        break;
    case Reason::StoreFailed:
        showStoreError(*m_ctx.prompts, this, QStringLiteral("全书查找"), outcome.storeError);
        break;
    case Reason::VolumeGone:
        tell(QStringLiteral("要查找的分卷已不在小说中，请在目录中重新选择！"));
        break;
    }
}

void BookSearchWindow::showCounts()
{
    const int hits = m_model->hitCount();
    const int chapters = m_model->chapterCount();
    QString text;
    if (m_search.isRunning())
        text = QStringLiteral("正在查找……已找到 %1 处，%2 章").arg(hits).arg(chapters);
    else if (hits == 0 && !m_searched.pattern.isEmpty())
        text = QStringLiteral("没有找到“%1”").arg(m_searched.pattern);
    else if (hits > 0)
        text = QStringLiteral("共 %1 处，%2 章").arg(hits).arg(chapters);
    if (m_truncated)
        text += QStringLiteral("（只列出前 %1 处）").arg(BookSearch::kMostHits);
    if (hits > 0 && m_model->checkedCount() != hits)
        text += QStringLiteral("，勾选了 %1 处").arg(m_model->checkedCount());
    summary->setText(text);
    replaceAllButton->setEnabled(!m_search.isRunning() && m_model->checkedCount() > 0);
}

void BookSearchWindow::replaceAll()
{
    // While the editor is open it alone writes its chapter's text: a
    // replacement written under it would be lost at its next keystroke.
    if (editorOpen()) {
        tell(QStringLiteral("正在编辑章节时不能全部替换，请先关闭编辑窗口！"));
        return;
    }
    if (m_search.isRunning()) {
        tell(QStringLiteral("正在查找，请等查找结束后再替换！"));
        return;
    }
    const QVector<ChapterEdit> edits = m_model->checkedEdits();
    if (edits.isEmpty()) {
        tell(QStringLiteral("没有勾选要替换的地方！"));
        return;
    }
    TextSearch replacer;
    if (const auto r = replacer.prepare(m_searched, replaceText->text()); !r) {
        tell(textSearchProblem(r));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const BookReplace::Result r = m_replace.replace(m_path, replacer, edits, m_snapshot);
    QApplication::restoreOverrideCursor();

    using Reason = BookReplace::Reason;
    switch (r.reason) {
    case Reason::None:
        m_model->clear();
        m_searched = {};
        summary->setText(
            QStringLiteral("已替换 %1 处，%2 章。").arg(m_replace.hitsReplaced()).arg(m_replace.chaptersChanged()));
        undoButton->setEnabled(true);
        replaceAllButton->setEnabled(false);
        emit chapterLengthsChanged(m_replace.lengths());
        return;
    case Reason::ChangedSinceSearch:
        tell(QStringLiteral("以下章节在查找之后有过改动，没有替换任何文字，请重新查找：\n") + chapterList(r.chapters));
        return;
    case Reason::LeavesNoText:
        tell(QStringLiteral("替换后以下章节将没有任何文字，没有替换任何文字：\n") + chapterList(r.chapters));
        return;
    case Reason::SnapshotFailed:
        tell(QStringLiteral("无法先保存小说的快照，没有替换任何文字！\n（%1）").arg(r.detail));
        return;
    case Reason::StoreFailed:
        showStoreError(*m_ctx.prompts, this, QStringLiteral("全部替换"), r.detail);
        return;
    case Reason::NoChange:
        tell(QStringLiteral("替换后的文字与原来相同，没有改动任何章节。"));
        return;
    default:
        tell(QStringLiteral("没有勾选要替换的地方！"));
        return;
    }
}

void BookSearchWindow::undoReplace()
{
    if (editorOpen()) {
        tell(QStringLiteral("正在编辑章节时不能撤销全部替换，请先关闭编辑窗口！"));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int chapters = m_replace.chaptersChanged();
    const BookReplace::Result r = m_replace.undo(m_path);
    QApplication::restoreOverrideCursor();
    switch (r.reason) {
    case BookReplace::Reason::None:
        undoButton->setEnabled(false);
        summary->setText(QStringLiteral("已撤销全部替换，%1 章已还原。").arg(chapters));
        emit chapterLengthsChanged(m_replace.lengths());
        return;
    case BookReplace::Reason::ChangedSinceReplace:
        tell(QStringLiteral("以下章节在替换之后又有改动，没有撤销任何章节：\n") + chapterList(r.chapters));
        return;
    case BookReplace::Reason::StoreFailed:
        showStoreError(*m_ctx.prompts, this, QStringLiteral("撤销全部替换"), r.detail);
        return;
    default:
        undoButton->setEnabled(false);
        return;
    }
}

void BookSearchWindow::openHit(const QModelIndex &index)
{
    const FoundHit *hit = m_model->hitAt(index);
    const FoundChapter *chapter = m_model->chapterAt(index);
    if (!hit || !chapter || !m_manager)
        return;
    if (editorOpen()) {
        // The manager's data source stands on the editor's chapter and must
        // stay there: only a hit of that chapter can be shown.
        if (m_data.hasCurrent() && m_data.currentRowId() == chapter->rowid &&
            m_ctx.nav->showHitInEditor(m_manager, m_searched, hit->hit.start))
            return;
        tell(QStringLiteral("正在编辑另一章，请先关闭编辑窗口，再打开这一处！"));
        return;
    }
    // As 修改章节 opens a chapter: the manager's data source on it, then the
    // editor, here with the hit selected.
    m_data.setRecordSource(QStringLiteral("小说"));
    if (!m_data.Refresh()) {
        showStoreError(*m_ctx.prompts, this, QStringLiteral("打开章节"), m_data.lastError());
        return;
    }
    if (!m_data.FindRowId(chapter->rowid)) {
        tell(QStringLiteral("这一章已不在小说中，请重新查找！"));
        return;
    }
    m_ctx.nav->showFromManager(ManagerWindow::EditChapter, m_data, m_manager);
    m_ctx.nav->showHitInEditor(m_manager, m_searched, hit->hit.start);
}
