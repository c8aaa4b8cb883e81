#include "history/history_window.h"

#include "app/app_context.h"
#include "app/snapshot_keeper.h"
#include "history/text_diff.h"
#include "store/data_source.h"
#include "ui/prompts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kNotice = QStringLiteral("提示");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// A chapter up to this many code units in both texts together is shown
// whole; a longer one only by its changed stretches.
constexpr int kWholeTextLimit = 6000;
// Characters of context around each changed stretch.
constexpr int kContext = 120;

// How one side of the comparison is drawn: the text of stretches [from, to)
// with the marked ranges set apart.
struct Side
{
    QTextEdit *edit;
    const QString &text;
    QVector<QPair<int, int>> shown;  // [from, to)
    QVector<QPair<int, int>> marked; // [from, to)
    QTextCharFormat mark;
};

void put(QTextCursor &cursor, const QString &text, const QTextCharFormat &format, bool marked)
{
    // A line break is a new line; a marked one also shows where it was.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (marked)
        shown.replace(QLatin1Char('\n'), QStringLiteral("↵\n"));
    cursor.insertText(shown, format);
}

void draw(const Side &side)
{
    QTextDocument *doc = side.edit->document();
    doc->clear();
    QTextCursor cursor(doc);
    const QTextCharFormat plain;
    QTextCharFormat gap;
    gap.setForeground(Qt::gray);
    int m = 0;
    for (int s = 0; s < side.shown.size(); ++s) {
        const auto [from, to] = side.shown[s];
        if (s > 0 || from > 0)
            cursor.insertText(s > 0 ? QStringLiteral("\n……\n") : QStringLiteral("……\n"), gap);
        int at = from;
        while (m < side.marked.size() && side.marked[m].first < to) {
            const auto [mFrom, mTo] = side.marked[m];
            put(cursor, side.text.mid(at, mFrom - at), plain, false);
            put(cursor, side.text.mid(mFrom, mTo - mFrom), side.mark, true);
            at = mTo;
            ++m;
        }
        put(cursor, side.text.mid(at, to - at), plain, false);
    }
    if (!side.shown.isEmpty() && side.shown.last().second < side.text.size())
        cursor.insertText(QStringLiteral("\n……"), gap);
    side.edit->moveCursor(QTextCursor::Start);
}

// The chosen text beside the current one, what the current text lacks
// marked in the first, what it gained in the second.
void compare(QTextEdit *older, QTextEdit *current, const QString &oldText, const QString &currentText)
{
    const textdiff::Diff diff = textdiff::compare(oldText, currentText);
    Side oldSide{older, oldText, {}, {}, {}};
    Side newSide{current, currentText, {}, {}, {}};
    oldSide.mark.setBackground(QColor(0xf4, 0xc2, 0xc2));
    oldSide.mark.setFontStrikeOut(true);
    newSide.mark.setBackground(QColor(0xc4, 0xe8, 0xc4));
    for (const textdiff::Change &c : diff.changes) {
        if (c.oldLength > 0)
            oldSide.marked.append({c.oldPos, c.oldPos + c.oldLength});
        if (c.newLength > 0)
            newSide.marked.append({c.newPos, c.newPos + c.newLength});
    }
    if (oldText.size() + currentText.size() <= kWholeTextLimit || diff.changes.isEmpty()) {
        oldSide.shown = {{0, int(oldText.size())}};
        newSide.shown = {{0, int(currentText.size())}};
    } else {
        for (const textdiff::Shown &s : textdiff::stretchesToShow(oldText, currentText, diff, kContext)) {
            oldSide.shown.append({s.oldFrom, s.oldTo});
            newSide.shown.append({s.newFrom, s.newTo});
        }
    }
    draw(oldSide);
    draw(newSide);
}

QString timeText(const HistoryRow &row)
{
    return row.isCurrent() ? QStringLiteral("当前内容") : row.taken.toString(kTimeFormat);
}

} // namespace

HistoryWindow::HistoryWindow(AppContext &ctx, DataSource &novel, QWidget *manager)
    : QDialog(manager), m_ctx(ctx), m_data(novel), m_manager(manager)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_id = novel.currentRowId();
    setWindowTitle(QStringLiteral("历史版本 - %1").arg(novel.text(QStringLiteral("章节名称"))));
    resize(1000, 640);

    List1 = new QTreeWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setColumnCount(3);
    List1->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("字数"), QStringLiteral("改动")});
    List1->setRootIsDecorated(false);
    List1->setUniformRowHeights(true);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setColumnWidth(0, 150);
    List1->setColumnWidth(1, 60);
    List1->setMinimumWidth(330);

    Text1 = new QTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2 = new QTextEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    for (QTextEdit *t : {Text1, Text2})
        t->setReadOnly(true);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    // Each text under a heading saying which it is.
    for (auto [text, heading] :
         {std::pair{Text1, QStringLiteral("所选版本")}, std::pair{Text2, QStringLiteral("当前内容")}}) {
        auto *pane = new QGroupBox(heading, Splitter1);
        auto *inside = new QVBoxLayout(pane);
        inside->setContentsMargins(4, 4, 4, 4);
        inside->addWidget(text);
        Splitter1->addWidget(pane);
    }

    Check1 = new QCheckBox(QStringLiteral("上下对照"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Command1 = new QPushButton(QStringLiteral("恢复此版本"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setEnabled(false);
    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto *panes = new QSplitter(Qt::Horizontal, this);
    panes->addWidget(List1);
    panes->addWidget(Splitter1);
    panes->setStretchFactor(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Label1, 1);
    buttons->addWidget(Check1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panes, 1);
    layout->addLayout(buttons);

    connect(List1, &QTreeWidget::itemSelectionChanged, this, &HistoryWindow::List1_Click);
    connect(Check1, &QCheckBox::toggled, this, &HistoryWindow::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, &HistoryWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_scan, &SnapshotScan::historyRows, this, &HistoryWindow::historyRows);
    connect(&m_scan, &SnapshotScan::finished, this, [this](int snapshots) {
        m_read = true;
        Label1->setText(QStringLiteral("共 %1 个快照，%2 个不同的版本").arg(snapshots).arg(m_rows.size() - 1));
    });
    // The two texts move together, at the same place of their length.
    for (auto [from, to] : {std::pair{Text1, Text2}, std::pair{Text2, Text1}}) {
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, from = from, to = to](int value) {
            if (m_syncing)
                return;
            m_syncing = true;
            const int range = from->verticalScrollBar()->maximum();
            to->verticalScrollBar()->setValue(
                range > 0 ? int(qint64(value) * to->verticalScrollBar()->maximum() / range) : 0);
            m_syncing = false;
        });
    }
    readHistory();
}

void HistoryWindow::readHistory()
{
    m_rows.clear();
    m_read = false;
    m_autoChosen = true;
    List1->clear();
    Text1->clear();
    Text2->clear();
    Command1->setEnabled(false);
    const QVariant current = m_data.value(QStringLiteral("章节内容"));
    if (!current.isValid()) {
        // Compared with nothing, every text would look wholly new.
        m_read = true;
        Label1->setText(QStringLiteral("未能读取当前内容：%1").arg(m_data.lastError()));
        return;
    }
    Label1->setText(QStringLiteral("正在读取快照……"));
    m_scan.readHistory(m_data.databaseName(), m_id, current.toString());
}

void HistoryWindow::historyRows(const QVector<int> &indexes, const QVector<HistoryRow> &rows)
{
    for (int i = 0; i < indexes.size(); ++i) {
        const int index = indexes[i];
        const HistoryRow &row = rows[i];
        QTreeWidgetItem *item = List1->topLevelItem(index);
        if (index >= m_rows.size()) {
            m_rows.append(row);
            item = new QTreeWidgetItem(List1);
        } else {
            m_rows[index] = row;
        }
        item->setText(0, timeText(row));
        if (row.isText()) {
            item->setText(1, QString::number(row.length));
            item->setText(2, changeText(row.inserted, row.deleted));
        } else {
            item->setText(2, QStringLiteral("无法读取，已跳过"));
            item->setToolTip(2, row.note);
            item->setForeground(0, Qt::gray);
        }
        for (int c : {1, 2})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    // Until the writer chooses, the newest earlier text is shown.
    const int chosen = chosenRow();
    if ((chosen < 0 || (chosen == 0 && m_autoChosen)) && List1->topLevelItemCount() > 0) {
        const int row = List1->topLevelItemCount() > 1 && m_rows[1].isText() ? 1 : 0;
        if (row != chosen)
            List1->setCurrentItem(List1->topLevelItem(row));
        m_autoChosen = true;
    }
}

int HistoryWindow::chosenRow() const
{
    const QList<QTreeWidgetItem *> chosen = List1->selectedItems();
    return chosen.isEmpty() ? -1 : List1->indexOfTopLevelItem(chosen.first());
}

void HistoryWindow::List1_Click()
{
    m_autoChosen = false;
    showRow(chosenRow());
}

void HistoryWindow::showRow(int index)
{
    const bool version = index > 0 && index < m_rows.size() && m_rows[index].isText();
    Command1->setEnabled(version);
    if (index < 0 || index >= m_rows.size() || m_rows.isEmpty())
        return;
    const HistoryRow &row = m_rows[index];
    if (!row.isText()) {
        Text1->setPlainText(row.note);
        Text2->clear();
        return;
    }
    compare(Text1, Text2, row.text, m_rows.first().text);
}

void HistoryWindow::Check1_Click()
{
    Splitter1->setOrientation(Check1->isChecked() ? Qt::Vertical : Qt::Horizontal);
}

void HistoryWindow::Command1_Click()
{
    const int index = chosenRow();
    if (index <= 0 || index >= m_rows.size() || !m_rows[index].isText())
        return;
    Prompts &ask = *m_ctx.prompts;
    // The editor stores into the chapter while it is open; it closes first.
    if (m_manager && !m_manager->isEnabled()) {
        ask.message(this, QStringLiteral("这一章正在编辑，请先关闭编辑窗口！"), MsgInformation, kNotice);
        return;
    }
    if (ask.message(this, QStringLiteral("用此版本替换当前章节内容吗？当前内容会先备份。"), MsgAskYesNo,
                    QStringLiteral("询问")) != MsgYes)
        return;
    // The text it replaces goes into a snapshot first, or nothing changes.
    QString why = QStringLiteral("没有保存快照的地方");
    if (!m_ctx.snapshots || !m_ctx.snapshots->takeNow(m_data.databaseName(), &why)) {
        ask.message(this, QStringLiteral("未能备份当前内容，没有恢复！\n（%1）").arg(why), MsgCritical, kNotice);
        return;
    }
    const ChapterHistory::Result r = m_history.restoreText(m_id, m_rows[index].text);
    if (r.reason == ChapterHistory::Reason::ChapterGone) {
        ask.message(this, QStringLiteral("这一章已经不在小说中了！"), MsgInformation, kNotice);
        return;
    }
    if (!r) {
        showStoreError(ask, this, QStringLiteral("恢复此版本"), r.why);
        return;
    }
    ask.message(this, QStringLiteral("已恢复此版本，原来的内容已存入快照。"), MsgInformation, kNotice);
    readHistory();
}

void showChapterHistory(AppContext &ctx, DataSource &data, QWidget *manager)
{
    if (data.recordSource() != QStringLiteral("小说") || !data.hasCurrent()) {
        ctx.prompts->message(manager, QStringLiteral("请选中一个章节后再操作！"), MsgInformation, kNotice);
        return;
    }
    HistoryWindow window(ctx, data, manager);
    window.exec();
}
