// A chapter's history and the chapters the novel lost, driven through the
// real windows from the chapter manager: the right rows and changes from
// several snapshots, a damaged one skipped with a note, the comparison
// marking the right characters, a restore that keeps the text it replaced,
// and deleted chapters and volumes coming back with their notes.
#include "app/snapshot_keeper.h"
#include "chapters/frm_write.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "history/deleted_chapters_window.h"
#include "history/history_window.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "read_only_mount.h"
#include "store/snapshot.h"
#include "test_main.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

namespace {

const QString kPair = QString::fromUcs4(U"𠀀");

// The texts of one chapter through the day, oldest first.
const QString kT0 = QStringLiteral("天色将晚，渡口只剩下一条船。");
const QString kT1 = kT0 + QStringLiteral("\r\n沈舟解开缆绳");
const QString kT2 = QStringLiteral("天色将晚，渡口只剩下一条%1。\r\n沈舟解开缆绳").arg(kPair);
const QString kNow = QStringLiteral("天色将晚，\r\n渡口剩下一条%1。\r\n沈舟解开缆绳").arg(kPair);

// The text a comparison pane shows, and the stretches it marks.
QStringList markedIn(const QTextEdit *edit)
{
    QStringList marked;
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().background().style() != Qt::NoBrush)
                marked << it.fragment().text();
        }
    }
    return marked;
}

QStringList listed(const QTreeWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list->topLevelItem(i);
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << row->text(c);
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QString stamp(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Runs fn on the modal window the next command shows, then closes it.
template <class Window> void onModal(std::function<void(Window *)> fn)
{
    QTimer::singleShot(0, [fn] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        const auto close = qScopeGuard([] {
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->reject();
        });
        QVERIFY(window);
        QTRY_VERIFY(window->isRead());
        fn(window);
    });
}

void chooseRow(QTreeWidget *list, int row)
{
    list->setCurrentItem(list->topLevelItem(row));
}

// Damages the pages of the chapter table, leaving the file's header and its
// list of tables as they were.
void damageChapters(const QString &snapshot)
{
    const int root =
        sqlColumn(snapshot, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '小说'")).value(0).toInt();
    QFile f(snapshot);
    QVERIFY(root > 1 && f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(qint64(root - 1) * 16384));
    f.write(QByteArray(16384, char(0x5a)));
}

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFixture> m_fx;
    std::unique_ptr<SnapshotKeeper> m_keeper;

private slots:
    void init()
    {
        m_fx = std::make_unique<ProgramFixture>();
        m_keeper = std::make_unique<SnapshotKeeper>();
        m_fx->ctx.snapshots = m_keeper.get();
        m_fx->nav.chapterWindows = &m_fx->windows;
    }

    void cleanup()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        QList<QPointer<QWidget>> open;
        for (QWidget *w : windows) {
            if (!w->parentWidget())
                open << w;
        }
        qDeleteAll(open);
        m_keeper.reset();
        m_fx.reset();
    }

    void aChapterShowsItsVersionsComparesThemAndTakesOneBack()
    {
        ProgramFixture &fx = *m_fx;
        NovelSpec recipe;
        recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), kT0},
                           {QStringLiteral("第一卷"), QStringLiteral("第二章"), QStringLiteral("别的")}};
        const QString novel = fx.addNovel(QStringLiteral("小说.mdb"), recipe);
        const QDateTime now = QDateTime::currentDateTime();
        const auto at = [&](int hoursAgo) { return now.addSecs(-3600 * hoursAgo); };
        NovelSnapshot snapshots(novel);
        const auto store = [&](int id, const QString &text) {
            sqlColumn(novel, QStringLiteral("UPDATE 小说 SET 章节内容 = '%1' WHERE 编号 = %2").arg(text).arg(id));
        };
        const auto take = [&](int hoursAgo) {
            QCOMPARE(snapshots.take(at(hoursAgo), nullptr, NovelSnapshot::When::Now), NovelSnapshot::Result::Kept);
        };
        take(6);
        store(1, kT1);
        take(5);
        // Only the other chapter changed: no row of its own.
        store(2, QStringLiteral("别的改了"));
        take(4);
        store(1, kT2);
        take(3);
        store(2, QStringLiteral("又改了"));
        take(2);
        damageChapters(snapshots.keptPath());
        snapshots.close();
        store(1, kNow);

        fx.ctx.currentNovelPath = novel;
        auto *w = new frm_write(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        clickTreeNode(w, treeNode(w, QStringLiteral("第一卷")));
        pressListRow(w, 0, Qt::LeftButton);
        QCOMPARE(listRows(w->ListView1).first(), QStringLiteral("1 第一章 %1").arg(kNow.size()));

        onModal<HistoryWindow>([&](HistoryWindow *h) {
            QCOMPARE(h->windowTitle(), QStringLiteral("历史版本 - 第一章"));
            QCOMPARE(listed(h->List1), (QStringList{
                                           QStringLiteral("当前内容|24|+2 / −1"),
                                           stamp(at(2)) + QStringLiteral("||无法读取，已跳过"),
                                           stamp(at(3)) + QStringLiteral("|23|+2 / −1"),
                                           stamp(at(4)) + QStringLiteral("|22|+8 / −0"),
                                           stamp(at(6)) + QStringLiteral("|14|"),
                                       }));
            // The oldest beside the current: what went and what came, the
            // pair and the line breaks whole.
            chooseRow(h->List1, 4);
            QCOMPARE(h->Text1->toPlainText(), kT0);
            QCOMPARE(markedIn(h->Text1), (QStringList{"只", "船"}));
            QCOMPARE(h->Text2->toPlainText(), QString(kNow).replace(QStringLiteral("\r\n"), QStringLiteral("↵\n")));
            QCOMPARE(markedIn(h->Text2), (QStringList{"↵", kPair, "↵", "沈舟解开缆绳"}));
            QVERIFY(h->Command1->isEnabled());
            h->Check1->click();
            QCOMPARE(h->Splitter1->orientation(), Qt::Vertical);
            // The current text and a skipped snapshot have nothing to restore.
            chooseRow(h->List1, 1);
            QVERIFY(!h->Command1->isEnabled());
            chooseRow(h->List1, 0);
            QVERIFY(!h->Command1->isEnabled());

            // Taking back the text of four hours ago, asked once.
            chooseRow(h->List1, 3);
            fx.prompts.clear();
            fx.prompts.yesNo = {MsgYes};
            h->Command1->click();
            QCOMPARE(fx.prompts.messages(), (QStringList{"用此版本替换当前章节内容吗？当前内容会先备份。",
                                                         "已恢复此版本，原来的内容已存入快照。"}));
            QTRY_VERIFY(h->isRead());
            // The replaced text is in the newest snapshot and is the row to
            // undo the restore with.
            QCOMPARE(h->rows().size(), 6);
            QCOMPARE(h->rows().at(0).text, kT1);
            QCOMPARE(h->rows().at(1).text, kNow);
            QCOMPARE(sqlColumn(h->rows().at(1).snapshot, QStringLiteral("SELECT 章节内容 FROM 小说 WHERE 编号 = 1")),
                     QVariantList{kNow});
        });
        QCOMPARE(w->lishibanben->text(), QStringLiteral("历史版本(&H)"));
        w->lishibanben->trigger();
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 章节内容 FROM 小说 ORDER BY 编号")),
                 (QVariantList{kT1, QStringLiteral("又改了")}));
        // The chapter list's 字数 follows the text put back.
        QCOMPARE(listRows(w->ListView1).first(), QStringLiteral("1 第一章 22"));
        QCOMPARE(fx.nav.fromManager, QVector<ManagerWindow>{ManagerWindow::ChapterHistory});
    }

    void aRestoreWithoutASnapshotOfTheCurrentTextChangesNothing_data()
    {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("no snapshots kept") << false;
        QTest::newRow("snapshot folder read-only") << true;
    }

    void aRestoreWithoutASnapshotOfTheCurrentTextChangesNothing()
    {
        QFETCH(bool, readOnlyFolder);
        ProgramFixture &fx = *m_fx;
        OpenChapter chapter(fx, QStringLiteral("旧文"));
        NovelSnapshot earlier(chapter.path);
        QCOMPARE(earlier.take(QDateTime::currentDateTime().addSecs(-7200)), NovelSnapshot::Result::Kept);
        earlier.close();
        sqlColumn(chapter.path, QStringLiteral("UPDATE 小说 SET 章节内容 = '新文'"));
        chapter.Data1.Refresh();
        chapter.Data1.FindRowId(chapter.id);
        std::unique_ptr<ReadOnlyMount> mount;
        if (readOnlyFolder) {
            mount = std::make_unique<ReadOnlyMount>(earlier.folder());
            if (!mount->isReadOnly())
                QSKIP(qPrintable(mount->why()));
        } else {
            fx.ctx.snapshots = nullptr;
        }

        HistoryWindow h(fx.ctx, chapter.Data1, &chapter.manager);
        h.show();
        QTRY_VERIFY(h.isRead());
        QCOMPARE(h.rows().size(), 2);
        chooseRow(h.List1, 1);
        fx.prompts.yesNo = {MsgYes};
        h.Command1->click();
        QCOMPARE(fx.prompts.messages().value(1).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("未能备份当前内容，没有恢复！"));
        QCOMPARE(chapter.storedText(), QStringLiteral("新文"));
        QCOMPARE(snapshotsOf(chapter.path).size(), 1);
    }

    void aLongChapterShowsOnlyItsChangedStretches()
    {
        ProgramFixture &fx = *m_fx;
        QString older;
        for (int i = 0; i < 9000; ++i)
            older += QChar(0x4E00 + i % 3000);
        QString current = older;
        current.replace(1000, 1, QStringLiteral("甲"));
        current.replace(8000, 1, QStringLiteral("乙"));
        OpenChapter chapter(fx, older);
        NovelSnapshot earlier(chapter.path);
        QCOMPARE(earlier.take(QDateTime::currentDateTime().addSecs(-3600)), NovelSnapshot::Result::Kept);
        earlier.close();
        sqlColumn(chapter.path, QStringLiteral("UPDATE 小说 SET 章节内容 = '%1'").arg(current));
        chapter.Data1.Refresh();
        chapter.Data1.FindRowId(chapter.id);

        HistoryWindow h(fx.ctx, chapter.Data1, &chapter.manager);
        h.show();
        QTRY_VERIFY(h.isRead());
        // The newest earlier text is shown without being chosen.
        QCOMPARE(h.List1->currentItem(), h.List1->topLevelItem(1));
        QCOMPARE(markedIn(h.Text1), (QStringList{older.mid(1000, 1), older.mid(8000, 1)}));
        QCOMPARE(markedIn(h.Text2), (QStringList{"甲", "乙"}));
        // Two stretches of the change and its context, the rest left out.
        const QString shown = h.Text2->toPlainText();
        QCOMPARE(shown.count(QStringLiteral("……")), 3);
        QVERIFY(shown.size() < 600);
        QVERIFY(shown.contains(current.mid(950, 100)));
    }

    void deletedChaptersAndVolumesComeBackWithTheirNotes()
    {
        ProgramFixture &fx = *m_fx;
        NovelSpec recipe;
        recipe.volumes = {QStringLiteral("第一卷"), QStringLiteral("第二卷")};
        recipe.chapters = {
            {QStringLiteral("第一卷"), QStringLiteral("第一章"), QStringLiteral("甲"), QStringLiteral("注一")},
            {QStringLiteral("第一卷"), QStringLiteral("第二章"), QStringLiteral("乙乙"), QStringLiteral("注二")},
            {QStringLiteral("第二卷"), QStringLiteral("第三章"), QStringLiteral("丙丙丙"), QStringLiteral("注三")}};
        QString novel;
        frm_write *w = openManager(fx, recipe, &novel);
        QVERIFY(QTest::qWaitForWindowExposed(w));

        // A chapter, then a volume with its chapter, each deleted as ever.
        clickTreeNode(w, treeNode(w, QStringLiteral("第一卷")));
        pressListRow(w, 1, Qt::LeftButton);
        fx.prompts.yesNo = {MsgYes};
        w->shanchu_Click();
        clickTreeNode(w, treeNode(w, QStringLiteral("第二卷")));
        fx.prompts.yesNo = {MsgYes};
        w->shanchufenjuan_Click();
        QCOMPARE(fx.prompts.messages(),
                 (QStringList{"你确定要删除该章吗？删除后讲不可恢复！", "删除成功",
                              "你确定要删除该分卷吗？该操作讲删除该分卷下所有章节，且该操作不可还原！", "删除完成！"}));
        QVERIFY(m_keeper->waitUntilIdle(10000));
        const QVector<SnapshotFile> taken = snapshotsOf(novel);
        QVERIFY(taken.size() >= 2);

        onModal<DeletedChaptersWindow>([&](DeletedChaptersWindow *d) {
            QCOMPARE(listed(d->List1), (QStringList{"第三章|第二卷|3|" + stamp(taken.at(0).taken),
                                                    "第二章|第一卷|2|" + stamp(taken.at(1).taken)}));
            fx.prompts.clear();
            for (int i = 0; i < 2; ++i) {
                chooseRow(d->List1, 0);
                d->Command1->click();
            }
            QCOMPARE(fx.prompts.messages(),
                     (QStringList{"“第三章”已恢复，分卷“第二卷”已重新建立。", "“第二章”已恢复到分卷“第一卷”的末尾。"}));
            QCOMPARE(d->List1->topLevelItemCount(), 0);
        });
        QCOMPARE(w->zhaohuizhangjie->text(), QStringLiteral("找回删除的章节(&G)"));
        w->zhaohuizhangjie->trigger();

        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 所属分卷 || '/' || 章节名称 || '/' || 章节内容 || '/' || "
                                                 "章节附注 FROM 小说 ORDER BY 编号")),
                 (QVariantList{"第一卷/第一章/甲/注一", "第二卷/第三章/丙丙丙/注三", "第一卷/第二章/乙乙/注二"}));
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QVariantList{"第一卷", "第二卷"}));
        // The tree has them again; chapters back are no longer lost.
        QVERIFY(treeNode(w, QStringLiteral("第三章")) && treeNode(w, QStringLiteral("第二章")));
        QCOMPARE(treeNode(w, QStringLiteral("第二章"))->parent()->text(0), QStringLiteral("第一卷"));
        onModal<DeletedChaptersWindow>([](DeletedChaptersWindow *d) {
            QCOMPARE(d->List1->topLevelItemCount(), 0);
            QVERIFY(d->Label1->text().contains(QStringLiteral("没有已删除的章节")));
        });
        w->zhaohuizhangjie_Click();
    }

    void importingOverAChapterKeepsTheTextItReplaced()
    {
        ProgramFixture &fx = *m_fx;
        OpenChapter chapter(fx, QStringLiteral("导入前的文字"));
        fx.ctx.currentNovelPath = chapter.path;
        const QString file = fx.path(QStringLiteral("新.txt"));
        fx.writeFile(file, QByteArray("abc"));
        frm_edit *editor = openInEditor(fx.ctx, chapter);
        QVERIFY(editor);
        fx.prompts.files = {file};
        editor->Command3_Click();
        waitForEditors();
        QCOMPARE(chapter.storedText(), QStringLiteral("abc"));
        const QVector<SnapshotFile> taken = snapshotsOf(chapter.path);
        QCOMPARE(taken.size(), 1);
        QCOMPARE(sqlColumn(taken.first().path, QStringLiteral("SELECT 章节内容 FROM 小说")),
                 QVariantList{"导入前的文字"});
        deleteEditors();
    }
};

YZ_TEST_MAIN(HistoryTest)
#include "tst_history.moc"
