#include "history/deleted_chapters_window.h"

#include "app/app_context.h"
#include "store/data_source.h"
#include "ui/prompts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kNotice = QStringLiteral("提示");

} // namespace

DeletedChaptersWindow::DeletedChaptersWindow(AppContext &ctx, DataSource &novel, QWidget *manager)
    : QDialog(manager), m_ctx(ctx), m_history(novel)
{
    setObjectName(QStringLiteral("DeletedChaptersWindow"));
    setWindowTitle(QStringLiteral("找回删除的章节"));
    resize(760, 480);

    List1 = new QTreeWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setColumnCount(4);
    List1->setHeaderLabels(
        {QStringLiteral("章节"), QStringLiteral("分卷"), QStringLiteral("字数"), QStringLiteral("最后所在快照")});
    List1->setRootIsDecorated(false);
    List1->setUniformRowHeights(true);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setColumnWidth(0, 220);
    List1->setColumnWidth(1, 180);
    List1->setColumnWidth(2, 70);
    Label1 = new QLabel(QStringLiteral("正在读取快照……"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Command1 = new QPushButton(QStringLiteral("恢复此章节"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setEnabled(false);
    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Label1, 1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(List1, 1);
    layout->addLayout(buttons);

    connect(List1, &QTreeWidget::itemSelectionChanged, this,
            [this] { Command1->setEnabled(!List1->selectedItems().isEmpty()); });
    connect(Command1, &QPushButton::clicked, this, &DeletedChaptersWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_scan, &SnapshotScan::lostChapters, this, &DeletedChaptersWindow::lostChapters);
    connect(&m_scan, &SnapshotScan::finished, this, [this](int snapshots, const QStringList &skipped) {
        m_read = true;
        QString said = m_lost.isEmpty()
                           ? QStringLiteral("%1 个快照中没有已删除的章节。").arg(snapshots)
                           : QStringLiteral("%1 个快照中找到 %2 个已删除的章节。").arg(snapshots).arg(m_lost.size());
        if (!skipped.isEmpty())
            said += QLatin1Char('\n') + skipped.join(QLatin1Char('\n'));
        Label1->setText(said);
    });

    QVector<StoredChapterEntry> present;
    const ChapterHistory::Result r = m_history.chapters(&present);
    if (!r) {
        Label1->setText(QStringLiteral("未能读取小说：%1").arg(r.why));
        m_read = true;
        return;
    }
    m_scan.findLost(novel.databaseName(), present);
}

void DeletedChaptersWindow::lostChapters(const QVector<LostChapter> &found)
{
    for (const LostChapter &lost : found) {
        m_lost.append(lost);
        auto *item = new QTreeWidgetItem(List1);
        item->setText(0, lost.chapter.title);
        item->setText(1, lost.chapter.volume);
        item->setText(2, QString::number(lost.chapter.length));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, lost.lastSeen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
}

void DeletedChaptersWindow::Command1_Click()
{
    const QList<QTreeWidgetItem *> chosen = List1->selectedItems();
    if (chosen.isEmpty())
        return;
    QTreeWidgetItem *item = chosen.first();
    const int index = List1->indexOfTopLevelItem(item);
    const LostChapter &lost = m_lost[index];
    Prompts &ask = *m_ctx.prompts;
    SnapshotReader reader;
    StoredChapter chapter;
    if (reader.readChapter(lost.snapshot, lost.chapter.id, &chapter) != SnapshotReader::Outcome::Found) {
        ask.message(this, QStringLiteral("无法读取快照，没有恢复！\n（%1）").arg(reader.why()), MsgCritical, kNotice);
        return;
    }
    qint64 id = 0;
    bool volumeMade = false;
    const ChapterHistory::Result r = m_history.restoreChapter(chapter, &id, &volumeMade);
    if (!r) {
        showStoreError(ask, this, QStringLiteral("恢复章节"), r.why);
        return;
    }
    ++m_restored;
    delete item;
    m_lost.removeAt(index);
    ask.message(this,
                volumeMade ? QStringLiteral("“%1”已恢复，分卷“%2”已重新建立。").arg(chapter.title, chapter.volume)
                           : QStringLiteral("“%1”已恢复到分卷“%2”的末尾。").arg(chapter.title, chapter.volume),
                MsgInformation, kNotice);
}

int showDeletedChapters(AppContext &ctx, DataSource &data, QWidget *manager)
{
    DeletedChaptersWindow window(ctx, data, manager);
    window.exec();
    return window.restored();
}
