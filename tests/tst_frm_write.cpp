// The chapter manager driven through its controls, menus and the prompts:
// tree loading, the chapter list, volume and chapter commands, renaming.
#include "app/snapshot_keeper.h"
#include "chapters/frm_write.h"
#include "fixture.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "other_program.h"
#include "store/snapshot.h"
#include "test_main.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace {

const QString kTitle = appTitle();

// "volume[chapter,chapter]" for each root node, in tree order.
QStringList treeShape(const QTreeWidget *tree)
{
    QStringList out;
    for (int v = 0; v < tree->topLevelItemCount(); ++v) {
        const QTreeWidgetItem *volume = tree->topLevelItem(v);
        QStringList chapters;
        for (int c = 0; c < volume->childCount(); ++c)
            chapters << volume->child(c)->text(0);
        out << volume->text(0) + QLatin1Char('[') + chapters.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    return out;
}

// Every box shown, as "text|style|caption" ("input:" before an input prompt).
QStringList boxes(const TestPrompts &prompts)
{
    QStringList out;
    for (const PromptCall &c : prompts.calls)
        out << (c.kind == QLatin1String("input") ? QStringLiteral("input:") + c.text + QLatin1Char('|') + c.caption
                                                 : QStringLiteral("%1|%2|%3").arg(c.text).arg(c.style).arg(c.caption));
    return out;
}

bool visibleMessageBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [](const QWidget *w) { return qobject_cast<const QMessageBox *>(w) && w->isVisible(); });
}

QStringList texts(const QString &path, const QString &sql)
{
    QStringList out;
    for (const QVariant &v : sqlColumn(path, sql))
        out << v.toString();
    return out;
}

// Three volumes; 第一卷 and 第二卷 hold chapters that alternate in the table.
NovelSpec threeVolumes()
{
    NovelSpec recipe;
    recipe.volumes = {QStringLiteral("第一卷"), QStringLiteral("第二卷"), QStringLiteral("第三卷")};
    recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("a1"), QStringLiteral("三个字")},
                       {QStringLiteral("第二卷"), QStringLiteral("b1"), QString()},
                       {QStringLiteral("第一卷"), QStringLiteral("a2"), QStringLiteral("x\r\ny")},
                       {QStringLiteral("第二卷"), QStringLiteral("b2"), QStringLiteral("正文")}};
    return recipe;
}

} // namespace

class tst_frm_write : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFixture> f;
    QPointer<frm_write> w;
    QString novel;

    void open(const NovelSpec &recipe)
    {
        w = openManager(*f, recipe, &novel);
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

    QTreeWidgetItem *node(const QString &text) const { return treeNode(w, text); }
    void clickNode(QTreeWidgetItem *item) { clickTreeNode(w, item); }
    void pressRow(int row, Qt::MouseButton button) { pressListRow(w, row, button); }

    // Renames through the tree's in-place editor, ending with Return or Escape.
    void rename(const QString &from, const QString &to, Qt::Key end = Qt::Key_Return)
    {
        QTreeWidgetItem *item = node(from);
        QVERIFY(item);
        if (item->parent())
            item->parent()->setExpanded(true);
        w->TreeView1->setCurrentItem(item);
        w->TreeView1->setFocus();
        QTest::keyClick(w->TreeView1, Qt::Key_F2);
        auto *editor = w->TreeView1->findChild<QLineEdit *>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), from);
        editor->clear();
        editor->insert(to); // keyClicks types Latin-1 only
        QTest::keyClick(editor, end);
        QTRY_VERIFY(!w->TreeView1->findChild<QLineEdit *>());
        QCoreApplication::processEvents();
    }

    qint64 currentId() const { return w->Data1.value(QStringLiteral("编号")).toLongLong(); }

private slots:
    void init()
    {
        f = std::make_unique<ProgramFixture>();
        QVERIFY(f->isValid());
    }
    void cleanup()
    {
        delete w;
        f.reset();
    }

    void windowHasItsControlsAndMenus()
    {
        open({});
        QCOMPARE(w->size(), QSize(997, 607));
        QVERIFY(w->windowTitle().isEmpty());
        QCOMPARE(w->TreeView1->geometry(), QRect(8, 8, 265, 593));
        QCOMPARE(w->ListView1->parentWidget(), w->Frame1);
        QCOMPARE(w->ListView1->headerItem()->text(0) + w->ListView1->headerItem()->text(1) +
                     w->ListView1->headerItem()->text(2),
                 QStringLiteral("序号章节字数"));
        // The designed items, then the history's and 写作统计(&T), each after a separator.
        const QStringList menus = {QStringLiteral("zhangjiecaozuo:xinjian,shanchu,sss,yueduzhangjie,xiugaizhangjie,"
                                                  "chakanfuzhu,lishifenge,lishibanben,tongjifenge,xiezuotongji"),
                                   QStringLiteral("fenjuancaozuo:xinjianfenjuan,shanchufenjuan,zhaohuifenge,"
                                                  "zhaohuizhangjie,tongjifenge,xiezuotongji"),
                                   QStringLiteral("teshu:teshuzengjia,tongjifenge,xiezuotongji")};
        for (const QString &m : menus) {
            auto *menu = w->findChild<QMenu *>(m.section(QLatin1Char(':'), 0, 0));
            QVERIFY(menu);
            QStringList names;
            for (QAction *a : menu->actions())
                names << a->objectName();
            // The commands of later windows come after the designed items.
            const QStringList designed = m.section(QLatin1Char(':'), 1).split(QLatin1Char(','));
            QCOMPARE(names.mid(0, designed.size()), designed);
        }
    }

    void loadBuildsTreeInTableOrder_data()
    {
        QTest::addColumn<QStringList>("volumes");
        QTest::addColumn<QStringList>("chapters"); // "volume/title"
        QTest::addColumn<QStringList>("shape");
        QTest::newRow("one each") << QStringList{"A"} << QStringList{"A/a1"} << QStringList{"A[a1]"};
        QTest::newRow("volumes B, A") << QStringList{"B", "A"} << QStringList{"A/a1", "B/b1", "A/a2"}
                                      << QStringList{"B[b1]", "A[a1,a2]"};
        QTest::newRow("empty volume") << QStringList{"A", "空", "B"} << QStringList{"B/b1", "A/a1"}
                                      << QStringList{"A[a1]", "空[]", "B[b1]"};
    }
    void loadBuildsTreeInTableOrder()
    {
        QFETCH(QStringList, volumes);
        QFETCH(QStringList, chapters);
        QFETCH(QStringList, shape);
        open(outlineRecipe(volumes, chapters));
        QCOMPARE(treeShape(w->TreeView1), shape);
        QCOMPARE(frm_write::nodeKey(w->TreeView1->topLevelItem(0)), volumes.first());
        QCOMPARE(frm_write::nodeKey(node(QStringLiteral("a1"))),
                 QStringLiteral("num%1").arg(chapters.indexOf("A/a1") + 1));
        QVERIFY(!w->TreeView1->topLevelItem(0)->isExpanded());
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QCOMPARE(w->Data1.recordSource(), QStringLiteral("小说"));
        QCOMPARE(w->Data1.AbsolutePosition(), chapters.size() - 1);
        QVERIFY(f->prompts.calls.isEmpty());
    }

    void chapterWithoutVolumeIsReportedNotFatal()
    {
        NovelSpec recipe = threeVolumes();
        recipe.chapters.append({QStringLiteral("无此卷"), QStringLiteral("孤儿"), QString()});
        open(recipe);
        QCOMPARE(treeShape(w->TreeView1), (QStringList{"第一卷[a1,a2]", "第二卷[b1,b2]", "第三卷[]"}));
        QCOMPARE(f->prompts.messages(), QStringList{QStringLiteral("有1个章节所属的分卷不存在，未显示在目录中！")});

        // Said when the window loads, not again at every deletion.
        f->prompts.clear();
        clickNode(node(QStringLiteral("第一卷")));
        pressRow(0, Qt::RightButton);
        w->zhangjiecaozuo->hide();
        f->prompts.yesNo = {MsgYes};
        w->shanchu_Click();
        QCOMPARE(f->prompts.messages(),
                 (QStringList{QStringLiteral("你确定要删除该章吗？删除后讲不可恢复！"), QStringLiteral("删除成功")}));
    }

    void slowSecondClickRenamesButNotOnTheExpandSign()
    {
        // A click on the chosen node's label, slower than a double click,
        // begins its rename one double-click time later; a click on its
        // expand sign only opens or closes the volume.
        open(threeVolumes());
        const int interval = QApplication::doubleClickInterval();
        QTreeWidgetItem *volume = node(QStringLiteral("第一卷"));
        clickNode(volume);
        QTest::qWait(interval + 100);
        const QRect label = w->TreeView1->visualItemRect(volume);
        QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, QPoint(label.left() - 8, label.center().y()));
        QTest::qWait(2 * interval);
        QVERIFY(!w->TreeView1->findChild<QLineEdit *>());
        QVERIFY(volume->isExpanded());

        QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, label.center());
        QVERIFY(!w->TreeView1->findChild<QLineEdit *>());
        QTRY_VERIFY(w->TreeView1->findChild<QLineEdit *>());
        QCOMPARE(w->TreeView1->findChild<QLineEdit *>()->text(), QStringLiteral("第一卷"));
        QTest::keyClick(w->TreeView1->findChild<QLineEdit *>(), Qt::Key_Escape);
        QVERIFY(f->prompts.calls.isEmpty());
    }

    void refusedRenameShowsOneRealMessage_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty volume name") << "第一卷"
                                           << ""
                                           << ""
                                           << "没有输入分卷名！修改失败！";
        QTest::newRow("another volume's name") << "第一卷"
                                               << "第三卷"
                                               << ""
                                               << "不能输入重名分卷，请修改！";
        QTest::newRow("chapter gone") << "a1"
                                      << "新题"
                                      << "chapter gone"
                                      << "找不到该章节，修改失败！";
        QTest::newRow("file locked") << "a1"
                                     << "新题"
                                     << "locked"
                                     << "修改章节名失败！";
    }
    void refusedRenameShowsOneRealMessage()
    {
        // The real message box takes the focus from the edit box: the box
        // must already be closed then, or it would confirm the name again.
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QtPrompts real;
        f->ctx.prompts = &real;
        open(threeVolumes());
        QStringList shown;
        QList<QPointer<QMessageBox>> seen;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                auto *box = qobject_cast<QMessageBox *>(window);
                if (!box || !box->isVisible())
                    continue;
                if (!seen.contains(box)) {
                    seen << box;
                    shown << box->text();
                } else {
                    box->done(QMessageBox::Ok);
                }
            }
        });
        watcher.start(50);

        QTreeWidgetItem *item = node(from);
        if (item->parent())
            item->parent()->setExpanded(true);
        w->TreeView1->setCurrentItem(item);
        w->TreeView1->setFocus();
        QTest::keyClick(w->TreeView1, Qt::Key_F2);
        auto *editor = w->TreeView1->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->clear();
        editor->insert(to);
        if (fault == QLatin1String("chapter gone"))
            sqlColumn(novel, QStringLiteral("DELETE FROM 小说 WHERE 章节名称 = 'a1'"));
        std::unique_ptr<FileLock> lock;
        if (fault == QLatin1String("locked"))
            lock = std::make_unique<FileLock>(novel);
        // The end handler's box runs its own event loop inside the key: a
        // second box, shown while the first took the focus, comes before the
        // key returns. What was posted meanwhile is delivered, and the boxes
        // answered, before they are counted.
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::sendPostedEvents();
        QTRY_VERIFY(!w->TreeView1->findChild<QLineEdit *>() && !visibleMessageBox());
        watcher.stop();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(message), qPrintable(shown[0]));
        QCOMPARE(node(from) != nullptr, true);
    }

    void missingFileIsReportedNotFatal()
    {
        f->ctx.currentNovelPath = f->path(QStringLiteral("data/不存在.mdb"));
        w = new frm_write(f->ctx);
        QCOMPARE(w->TreeView1->topLevelItemCount(), 0);
        QCOMPARE(f->prompts.calls.size(), 1);
        QVERIFY(f->prompts.calls[0].text.startsWith(QStringLiteral("打开小说失败！")));
        QVERIFY(!QFile::exists(f->ctx.currentNovelPath));
    }

    void novelThatDoesNotOpenIsGivenNoSnapshot_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("chapters are a view") << "view";
        QTest::newRow("reading outlasts the time bound") << "slow";
    }
    void novelThatDoesNotOpenIsGivenNoSnapshot()
    {
        QFETCH(QString, fault);
        const QString path = f->addNovel(QStringLiteral("拒绝.mdb"));
        if (fault == QLatin1String("view")) {
            sqlColumn(path, QStringLiteral("ALTER TABLE 小说 RENAME TO 旧"));
            sqlColumn(path, QStringLiteral("CREATE VIEW 小说 AS SELECT * FROM 旧"));
        } else {
            // A sound novel, only too long to read within the bound.
            sqlColumn(path, QStringLiteral("INSERT INTO 小说 (所属分卷, 章节名称) WITH RECURSIVE n(i) AS (SELECT 1 "
                                           "UNION ALL SELECT i + 1 FROM n WHERE i < 20000) SELECT '第一卷', 'c' || i "
                                           "FROM n"));
            DataSource::setTimeLimit(std::chrono::milliseconds(1));
        }
        const auto restore = qScopeGuard([] { DataSource::setTimeLimit(DataSource::kDefaultTimeLimit); });
        SnapshotKeeper keeper;
        QSignalSpy taken(&keeper, &SnapshotKeeper::finished);
        f->ctx.snapshots = &keeper;
        f->ctx.currentNovelPath = path;
        w = new frm_write(f->ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(f->prompts.messages().value(0).startsWith(QStringLiteral("打开小说失败！")));
        // A snapshot asked for would be done, and said so, by now.
        QVERIFY(keeper.waitUntilIdle(10000));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(taken.count(), 0);
        QVERIFY(!QFileInfo::exists(snapshotFolder(path)));
        delete w;
        f->ctx.snapshots = nullptr;
    }

    void volumeClickFillsListWithTablePositionsAndLengths()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第二卷")));
        QCOMPARE(listRows(w->ListView1), (QStringList{"2 b1 0", "4 b2 2"}));
        QCOMPARE(frm_write::nodeKey(w->ListView1->topLevelItem(1)), QStringLiteral("num4"));
        clickNode(node(QStringLiteral("a1"))); // a chapter node: the list stays
        QCOMPARE(listRows(w->ListView1), (QStringList{"2 b1 0", "4 b2 2"}));
        clickNode(node(QStringLiteral("第一卷")));
        QCOMPARE(listRows(w->ListView1), (QStringList{"1 a1 3", "3 a2 4"}));
        clickNode(node(QStringLiteral("第三卷")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
    }

    void listPressMakesRowCurrentAndOpensMenus()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第一卷")));
        pressRow(1, Qt::LeftButton);
        QCOMPARE(currentId(), qint64(3));
        QVERIFY(!w->zhangjiecaozuo->isVisible());
        pressRow(0, Qt::RightButton);
        QCOMPARE(currentId(), qint64(1));
        QTRY_VERIFY(w->zhangjiecaozuo->isVisible());
        QVERIFY(w->shanchu->isEnabled());
        w->zhangjiecaozuo->hide();
        // Empty space below the rows: no row selected, no menu.
        QTest::mousePress(w->ListView1->viewport(), Qt::RightButton, {}, QPoint(20, 300));
        QVERIFY(w->ListView1->selectedItems().isEmpty());
        QVERIFY(!w->zhangjiecaozuo->isVisible());
        clickNode(node(QStringLiteral("第三卷")));
        QTest::mousePress(w->ListView1->viewport(), Qt::RightButton, {}, QPoint(20, 30));
        QTRY_VERIFY(w->teshu->isVisible());
        QCOMPARE(w->teshuzengjia->text(), QStringLiteral("新增章节(&N)"));
    }

    void rowOfChapterGoneElsewhereChoosesNothing()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第一卷")));
        sqlColumn(novel, QStringLiteral("DELETE FROM 小说 WHERE 编号 = 3"));
        pressRow(1, Qt::RightButton);
        QVERIFY(!w->zhangjiecaozuo->isVisible());
        QCOMPARE(f->prompts.messages(), QStringList{QStringLiteral("找不到该章节，请重新点击分卷！")});
        f->prompts.yesNo = {MsgYes};
        w->shanchu_Click(); // must not take the first chapter instead
        QCOMPARE(texts(novel, QStringLiteral("SELECT 章节名称 FROM 小说")), (QStringList{"a1", "b1", "b2"}));
    }

    void treeRightPressOpensVolumeMenuWithoutSelecting()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第一卷")));
        QTest::mousePress(w->TreeView1->viewport(), Qt::RightButton, {},
                          w->TreeView1->visualItemRect(node(QStringLiteral("第三卷"))).center());
        QTRY_VERIFY(w->fenjuancaozuo->isVisible());
        QCOMPARE(w->TreeView1->selectedItems(), QList<QTreeWidgetItem *>{node(QStringLiteral("第一卷"))});
    }

    void addVolume_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("stored");
        const QStringList before{"第一卷", "第二卷", "第三卷"};
        QTest::newRow("new") << "第四卷 远方"
                             << "成功添加|64|" + kTitle << before + QStringList{"第四卷 远方"};
        QTest::newRow("quote") << "第'四卷"
                               << "成功添加|64|" + kTitle << before + QStringList{"第'四卷"};
        QTest::newRow("trailing space") << "第一卷 "
                                        << "成功添加|64|" + kTitle << before + QStringList{"第一卷 "};
        QTest::newRow("cancelled") << ""
                                   << "没有输入分卷名！添加失败！|16|" + kTitle << before;
        QTest::newRow("first taken") << "第一卷"
                                     << "不能输入重名分卷，请修改！|16|" + kTitle << before;
        QTest::newRow("later taken") << "第三卷"
                                     << "不能输入重名分卷，请修改！|16|" + kTitle << before;
    }
    void addVolume()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QStringList, stored);
        open(threeVolumes());
        f->prompts.inputs = {name};
        w->xinjianfenjuan->trigger();
        QCOMPARE(boxes(f->prompts), (QStringList{"input:请输入分卷名 格式：第n卷 分卷标题|" + kTitle, message}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), stored);
        QCOMPARE(w->TreeView1->topLevelItemCount(), stored.size());
        QCOMPARE(frm_write::nodeKey(w->TreeView1->topLevelItem(stored.size() - 1)), stored.last());
    }

    void deleteVolumeTakesItsChaptersOnly()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第二卷")));
        clickNode(node(QStringLiteral("b2"))); // a chapter node chooses its volume
        f->prompts.yesNo = {MsgYes};
        w->shanchufenjuan->trigger();
        QCOMPARE(boxes(f->prompts),
                 (QStringList{"你确定要删除该分卷吗？该操作讲删除该分卷下所有章节，且该操作不可还原！|68|询问？",
                              "删除完成！|64|提示"}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"第一卷", "第三卷"}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 章节名称 FROM 小说")), (QStringList{"a1", "a2"}));
        QCOMPARE(treeShape(w->TreeView1), (QStringList{"第一卷[a1,a2]", "第三卷[]"}));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0); // no rows of chapters that are gone
    }

    void deleteVolumeRefusals_data()
    {
        QTest::addColumn<QStringList>("volumes");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("answered no") << QStringList{"第一卷", "第二卷"} << int(MsgNo) << QString();
        QTest::newRow("no on last") << QStringList{"第一卷"} << int(MsgNo) << QString();
        QTest::newRow("last volume") << QStringList{"第一卷"} << int(MsgYes)
                                     << "这是最后一卷，不可以删除，您可以将其修改！|64|提示";
        QTest::newRow("holds every chapter") << QStringList{"第一卷", "第二卷"} << int(MsgYes)
                                             << "该分卷包含全部章节，不可以删除，您可以将其修改！|64|提示";
    }
    void deleteVolumeRefusals()
    {
        QFETCH(QStringList, volumes);
        QFETCH(int, answer);
        QFETCH(QString, refusal);
        NovelSpec recipe;
        recipe.volumes = volumes;
        open(recipe);
        const QStringList shape = treeShape(w->TreeView1);
        w->shanchufenjuan_Click(); // nothing selected: nothing asked
        QVERIFY(f->prompts.calls.isEmpty());
        clickNode(node(QStringLiteral("第一卷")));
        f->prompts.yesNo = {MsgResult(answer)};
        w->shanchufenjuan_Click();
        QStringList expected{"你确定要删除该分卷吗？该操作讲删除该分卷下所有章节，且该操作不可还原！|68|询问？"};
        if (!refusal.isEmpty())
            expected << refusal;
        QCOMPARE(boxes(f->prompts), expected);
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), volumes);
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT count(*) FROM 小说")).value(0).toInt(), 1);
        QCOMPARE(treeShape(w->TreeView1), shape);
    }

    void deleteChapterRebuildsTreeAndList()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第二卷")));
        pressRow(0, Qt::RightButton);
        f->prompts.yesNo = {MsgYes};
        w->shanchu->trigger();
        QCOMPARE(boxes(f->prompts),
                 (QStringList{"你确定要删除该章吗？删除后讲不可恢复！|68|" + kTitle, "删除成功|64|" + kTitle}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 编号 FROM 小说")), (QStringList{"1", "3", "4"}));
        QCOMPARE(treeShape(w->TreeView1), (QStringList{"第一卷[a1,a2]", "第二卷[b2]", "第三卷[]"}));
        QCOMPARE(listRows(w->ListView1), QStringList{"4 b2 2"});
        // The last chapter of a volume may go; the volume stays.
        pressRow(0, Qt::RightButton);
        f->prompts.yesNo = {MsgYes};
        w->shanchu->trigger();
        QCOMPARE(treeShape(w->TreeView1), (QStringList{"第一卷[a1,a2]", "第二卷[]", "第三卷[]"}));
    }

    void lastChapterOfNovelIsNeverDeleted()
    {
        NovelSpec recipe;
        recipe.volumes = {QStringLiteral("甲"), QStringLiteral("乙")};
        recipe.chapters = {{QStringLiteral("甲"), QStringLiteral("一"), {}},
                           {QStringLiteral("乙"), QStringLiteral("二"), {}}};
        open(recipe);
        clickNode(node(QStringLiteral("甲")));
        pressRow(0, Qt::RightButton);
        f->prompts.yesNo = {MsgNo};
        w->shanchu->trigger(); // No: nothing happens
        QCOMPARE(treeShape(w->TreeView1), (QStringList{"甲[一]", "乙[二]"}));
        f->prompts.yesNo = {MsgYes};
        w->shanchu->trigger();
        clickNode(node(QStringLiteral("乙")));
        pressRow(0, Qt::RightButton);
        f->prompts.clear();
        w->shanchu->trigger(); // refused before any confirmation
        QCOMPARE(boxes(f->prompts), QStringList{"这是最后一章，不可以删除，您可以将其修改！|64|提示"});
        QCOMPARE(texts(novel, QStringLiteral("SELECT 章节名称 FROM 小说")), QStringList{"二"});
    }

    void renameVolumeCarriesItsChapters()
    {
        open(threeVolumes());
        rename(QStringLiteral("第一卷"), QStringLiteral("卷'一"));
        rename(QStringLiteral("卷'一"), QStringLiteral("新一卷")); // twice without reloading
        QVERIFY(f->prompts.calls.isEmpty());
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"新一卷", "第二卷", "第三卷"}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 所属分卷 FROM 小说")),
                 (QStringList{"新一卷", "第二卷", "新一卷", "第二卷"}));
        QCOMPARE(frm_write::nodeKey(node(QStringLiteral("新一卷"))), QStringLiteral("新一卷"));
        QCOMPARE(w->volumeNode(QStringLiteral("新一卷")), node(QStringLiteral("新一卷")));
        clickNode(node(QStringLiteral("新一卷")));
        QCOMPARE(listRows(w->ListView1), (QStringList{"1 a1 3", "3 a2 4"}));
        // The key followed the name: deleting the volume finds it.
        clickNode(node(QStringLiteral("新一卷")));
        f->prompts.yesNo = {MsgYes};
        w->shanchufenjuan_Click();
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"第二卷", "第三卷"}));
    }

    void refusedOrAbandonedRenameWritesNothing_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "第一卷"
                               << "" << int(Qt::Key_Return) << "没有输入分卷名！修改失败！|16|" + kTitle;
        QTest::newRow("other volume") << "第一卷"
                                      << "第三卷" << int(Qt::Key_Return) << "不能输入重名分卷，请修改！|16|" + kTitle;
        QTest::newRow("escape volume") << "第一卷"
                                       << "别的" << int(Qt::Key_Escape) << QString();
        QTest::newRow("escape chapter") << "a1"
                                        << "别的" << int(Qt::Key_Escape) << QString();
    }
    void refusedOrAbandonedRenameWritesNothing()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, end);
        QFETCH(QString, message);
        open(threeVolumes());
        const QStringList shape = treeShape(w->TreeView1);
        rename(from, to, Qt::Key(end));
        QCOMPARE(boxes(f->prompts), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(treeShape(w->TreeView1), shape);
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"第一卷", "第二卷", "第三卷"}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 所属分卷 || 章节名称 FROM 小说")),
                 (QStringList{"第一卷a1", "第二卷b1", "第一卷a2", "第二卷b2"}));
    }

    void windowGoesWhileRenaming()
    {
        open(threeVolumes());
        w->TreeView1->setCurrentItem(node(QStringLiteral("第一卷")));
        w->TreeView1->setFocus();
        QTest::keyClick(w->TreeView1, Qt::Key_F2);
        auto *editor = w->TreeView1->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->insert(QStringLiteral("半途"));
        delete w;
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"第一卷", "第二卷", "第三卷"}));
    }

    void renameChapterChangesOnlyItsTitle()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第一卷")));
        rename(QStringLiteral("a2"), QStringLiteral("第2章 新题"));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 编号 || 所属分卷 || 章节名称 FROM 小说")),
                 (QStringList{"1第一卷a1", "2第二卷b1", "3第一卷第2章 新题", "4第二卷b2"}));
        QCOMPARE(treeShape(w->TreeView1).first(), QStringLiteral("第一卷[a1,第2章 新题]"));
        QCOMPARE(listRows(w->ListView1), (QStringList{"1 a1 3", "3 a2 4"}));
    }

    void lockedFileIsReportedAndTreeStaysTrue()
    {
        open(threeVolumes());
        clickNode(node(QStringLiteral("第一卷")));
        pressRow(0, Qt::RightButton);
        w->zhangjiecaozuo->hide();
        const QStringList shape = treeShape(w->TreeView1);
        {
            OtherProgram locker(novel);
            QVERIFY(locker.isOpen());
            QVERIFY(locker.exec(QStringLiteral("BEGIN IMMEDIATE")));

            f->prompts.inputs = {QStringLiteral("第四卷")};
            w->xinjianfenjuan_Click();
            f->prompts.yesNo = {MsgYes, MsgYes};
            w->shanchu_Click();
            clickNode(node(QStringLiteral("第二卷")));
            w->shanchufenjuan_Click();
            rename(QStringLiteral("第一卷"), QStringLiteral("改名"));
            rename(QStringLiteral("a1"), QStringLiteral("改名"));

            locker.exec(QStringLiteral("ROLLBACK"));
        }
        const QStringList failed = f->prompts.messages().filter(QStringLiteral("失败！无法读写小说文件"));
        QCOMPARE(failed.size(), 5);
        QVERIFY(failed[0].startsWith(QStringLiteral("新建分卷失败！")));
        QCOMPARE(treeShape(w->TreeView1), shape);
        QCOMPARE(listRows(w->ListView1), (QStringList{"2 b1 0", "4 b2 2"}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 所属分卷 || 章节名称 FROM 小说")),
                 (QStringList{"第一卷a1", "第二卷b1", "第一卷a2", "第二卷b2"}));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"第一卷", "第二卷", "第三卷"}));
    }

    void volumeCommandsFailingPartWayChangeNothing()
    {
        // A novel written with a rollback journal, which another program goes
        // on reading: a commit must wait for that reader, so each command
        // fails at its commit, after all its changes were made.
        novel = f->addNovel(QStringLiteral("小说.mdb"), threeVolumes());
        QCOMPARE(sqlColumn(novel, QStringLiteral("PRAGMA journal_mode=DELETE")), QVariantList{"delete"});
        f->ctx.currentNovelPath = novel;
        w = new frm_write(f->ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        clickNode(node(QStringLiteral("第一卷")));
        const QStringList shape = treeShape(w->TreeView1);
        const QStringList rows = listRows(w->ListView1);
        const QStringList chapters = texts(novel, QStringLiteral("SELECT 所属分卷 || 章节名称 FROM 小说"));
        auto reader = std::make_unique<OtherProgram>(novel);
        QVERIFY(reader->exec(QStringLiteral("BEGIN")));
        QCOMPARE(reader->column(QStringLiteral("SELECT count(*) FROM 小说")), QVariantList{4});

        rename(QStringLiteral("第一卷"), QStringLiteral("改名"));
        clickNode(node(QStringLiteral("第一卷")));
        f->prompts.yesNo = {MsgYes};
        w->shanchufenjuan_Click();

        const QStringList failed = f->prompts.messages().filter(QStringLiteral("失败！无法读写小说文件"));
        QCOMPARE(failed.size(), 2);
        QVERIFY(failed[0].startsWith(QStringLiteral("修改分卷名失败！")));
        QVERIFY(failed[1].startsWith(QStringLiteral("删除分卷失败！")));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 所属分卷 || 章节名称 FROM 小说")), chapters);
        QCOMPARE(texts(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QStringList{"第一卷", "第二卷", "第三卷"}));
        QCOMPARE(treeShape(w->TreeView1), shape);
        QCOMPARE(listRows(w->ListView1), rows);

        // The commands work again once the file does.
        reader.reset();
        rename(QStringLiteral("第一卷"), QStringLiteral("改名"));
        QCOMPARE(texts(novel, QStringLiteral("SELECT 所属分卷 FROM 小说")),
                 (QStringList{"改名", "第二卷", "改名", "第二卷"}));
    }

    void closingShowsTheLibrary()
    {
        open({});
        w->close();
        QCOMPARE(f->nav.shown, QStringList{QStringLiteral("frm_dl")});
    }
};

YZ_TEST_MAIN(tst_frm_write)
#include "tst_frm_write.moc"
