// 全书查找替换 driven as the writer drives it from the chapter manager: where
// it is opened and when it closes, the hits of a book in the novel's order
// with every option and scope, what it says of bad input, a replacement
// written after a snapshot and taken back byte for byte, the editor owning
// its chapter while it is open, a runaway expression and a search called
// off by the next.
#include "app/snapshot_keeper.h"
#include "chapters/frm_write.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "other_program.h"
#include "search/book_search_window.h"
#include "search/search_results.h"
#include "store/snapshot.h"
#include "store/sqlite_db.h"
#include "test_main.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Volumes stored B before A; the chapters of A before and after B's.
NovelSpec book()
{
    NovelSpec recipe;
    recipe.volumes = {QStringLiteral("第二卷"), QStringLiteral("第一卷")};
    recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), QStringLiteral("张三来了。张三走了。")},
                       {QStringLiteral("第二卷"), QStringLiteral("楔子"), QStringLiteral("林远与张三")},
                       {QStringLiteral("第一卷"), QStringLiteral("第二章"), QStringLiteral("无人")},
                       {QStringLiteral("第一卷"), QStringLiteral("第三章"), QStringLiteral("ＺＨＡＮＧ，zhang,张三")}};
    return recipe;
}

// recipe as another program may keep a novel: text as UTF-8, no log.
void makeUtf8Novel(const QString &path, const NovelSpec &recipe)
{
    QDir().mkpath(QFileInfo(path).path());
    OtherProgram other(path);
    QVERIFY(other.exec(QStringLiteral("PRAGMA encoding = 'UTF-8'")));
    for (const char *table :
         {"信息 (书名 TEXT, 作者 TEXT, 角色 TEXT, 说明 TEXT, 大纲 TEXT, 封面 BLOB)", "分卷 (分卷 TEXT)",
          "小说 (编号 INTEGER PRIMARY KEY AUTOINCREMENT, 所属分卷 TEXT, 章节名称 TEXT, "
          "章节内容 TEXT, 章节附注 TEXT)"})
        QVERIFY(other.exec(QStringLiteral("CREATE TABLE ") + QString::fromUtf8(table)));
    QVERIFY(other.exec(QStringLiteral("INSERT INTO 信息 (书名) VALUES (?)"), {recipe.title}));
    for (const QString &volume : recipe.volumes)
        QVERIFY(other.exec(QStringLiteral("INSERT INTO 分卷 VALUES (?)"), {volume}));
    for (const ChapterSpec &c : recipe.chapters)
        QVERIFY(
            other.exec(QStringLiteral("INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注) VALUES (?, ?, ?, ?)"),
                       {c.volume, c.title, c.text, c.notes}));
    QCOMPARE(other.column(QStringLiteral("PRAGMA encoding")).value(0).toString(), QStringLiteral("UTF-8"));
}

BookSearchWindow *searchWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<BookSearchWindow *>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

// Every hit of the list in order, its mark in brackets.
QStringList markedHits(const SearchResults *m)
{
    QStringList out;
    for (int v = 0; v < m->rowCount(); ++v) {
        const QModelIndex volume = m->index(v, 0);
        for (int c = 0; c < m->rowCount(volume); ++c) {
            const QModelIndex chapter = m->index(c, 0, volume);
            for (int h = 0; h < m->rowCount(chapter); ++h) {
                const QModelIndex hit = m->index(h, 0, chapter);
                const QString text = hit.data().toString();
                const QPoint mark = hit.data(SearchResults::MarkRole).toPoint();
                out << text.left(mark.x()) + QLatin1Char('[') + text.mid(mark.x(), mark.y()) + QLatin1Char(']') +
                           text.mid(mark.x() + mark.y());
            }
        }
    }
    return out;
}

// Each chapter's 编号, kind of value and bytes as the file holds them.
QStringList storedBytes(const QString &path)
{
    QStringList out;
    for (const QVariant &v :
         sqlColumn(path, QStringLiteral("SELECT 编号 || typeof(章节内容) || hex(章节内容) FROM 小说 ORDER BY rowid")))
        out << v.toString();
    return out;
}

QString storedText(const QString &path, const QString &title)
{
    return sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说 WHERE 章节名称 = '%1'").arg(title))
        .value(0)
        .toString();
}

void doubleClickHit(BookSearchWindow *w, int volume, int chapter, int hit)
{
    SearchResults *m = w->resultModel();
    const QModelIndex index = m->index(hit, 0, m->index(chapter, 0, m->index(volume, 0)));
    w->results->scrollTo(index);
    // A double click as the system sends it: a click, then the second press.
    const QPoint at = w->results->visualRect(index).center();
    QTest::mouseClick(w->results->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->results->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class tst_book_search : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensFromTheManagerAndClosesWithIt();
    void listsHitsInTheNovelsOrder_data();
    void listsHitsInTheNovelsOrder();
    void badInputIsToldAndChangesNothing_data();
    void badInputIsToldAndChangesNothing();
    void replacesAfterASnapshotAndUndoesByteForByte_data();
    void replacesAfterASnapshotAndUndoesByteForByte();
    void theOpenEditorOwnsItsChapter();
    void runawayExpressionIsStoppedAndSaid();
    void aNewSearchCallsOffTheOneUnderWay();

private:
    BookSearchWindow *open(const NovelSpec &recipe = book(), bool textAsUtf8 = false);
    void search(BookSearchWindow *w, const QString &pattern, const QString &options = QString());

    ProgramFixture *m_fx = nullptr;
    std::unique_ptr<SnapshotKeeper> m_keeper;
    frm_write *m_manager = nullptr;
    QString m_path;
};

void tst_book_search::init()
{
    m_fx = new ProgramFixture;
}

void tst_book_search::cleanup()
{
    deleteEditors();
    delete m_manager;
    m_manager = nullptr;
    QTRY_VERIFY(!searchWindow());
    sqlite::setTimeLimit(sqlite::kDefaultTimeLimit);
    m_keeper.reset();
    delete m_fx;
    m_fx = nullptr;
}

BookSearchWindow *tst_book_search::open(const NovelSpec &recipe, bool textAsUtf8)
{
    if (textAsUtf8) {
        m_path = m_fx->dataDir() + QStringLiteral("/其他程序.mdb");
        makeUtf8Novel(m_path, recipe);
        m_fx->ctx.currentNovelPath = m_path;
        m_manager = new frm_write(m_fx->ctx);
        m_manager->show();
    } else {
        m_manager = openManager(*m_fx, recipe, &m_path);
    }
    m_manager->quanshuchazhao->trigger();
    return searchWindow();
}

void tst_book_search::search(BookSearchWindow *w, const QString &pattern, const QString &options)
{
    w->findText->setText(pattern);
    w->caseSensitive->setChecked(options.contains(QLatin1Char('c')));
    w->widthInsensitive->setChecked(options.contains(QLatin1Char('w')));
    w->useRegex->setChecked(options.contains(QLatin1Char('r')));
    (options.contains(QLatin1Char('v')) ? w->scopeVolume : w->scopeBook)->setChecked(true);
    QTest::mouseClick(w->searchButton, Qt::LeftButton);
    QTRY_VERIFY(!w->isSearching());
}

void tst_book_search::opensFromTheManagerAndClosesWithIt()
{
    BookSearchWindow *w = open();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("全书查找替换"));
    QCOMPARE(m_fx->nav.fromManager, QVector<ManagerWindow>{ManagerWindow::BookSearch});
    // The last item of each of the three menus, after a separator.
    for (QMenu *menu : {m_manager->zhangjiecaozuo, m_manager->fenjuancaozuo, m_manager->teshu}) {
        const QList<QAction *> items = menu->actions();
        QVERIFY(items.at(items.size() - 2)->isSeparator());
        QCOMPARE(items.last()->text(), QStringLiteral("全书查找替换(&S)"));
    }
    // Ctrl+F in the manager brings the same window forward; the manager
    // stays usable.
    m_manager->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_manager));
    QTest::keyClick(m_manager, Qt::Key_F, Qt::ControlModifier);
    QTRY_COMPARE(m_fx->nav.fromManager.size(), 2);
    QCOMPARE(searchWindow(), w);
    QVERIFY(m_manager->isEnabled());

    QPointer<BookSearchWindow> watch(w);
    m_manager->close();
    m_manager = nullptr;
    QTRY_VERIFY(!watch);
}

void tst_book_search::listsHitsInTheNovelsOrder_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options"); // c, w, r as the boxes; v: the volume selected (第二卷)
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("hits");

    QTest::newRow("the book, volumes in table order")
        << "张三"
        << ""
        << "共 4 处，3 章"
        << QStringList{"林远与[张三]", "[张三]来了。张三走了。", "张三来了。[张三]走了。", "ＺＨＡＮＧ，zhang,[张三]"};
    QTest::newRow("Latin case and width folded")
        << "zhang,"
        << "w"
        << "共 2 处，1 章" << QStringList{"[ＺＨＡＮＧ，]zhang,张三", "ＺＨＡＮＧ，[zhang,]张三"};
    QTest::newRow("case kept, width kept") << "Zhang,"
                                           << "c"
                                           << "没有找到“Zhang,”" << QStringList{};
    QTest::newRow("regular expression") << "张三.了"
                                        << "r"
                                        << "共 2 处，1 章"
                                        << QStringList{"[张三来了]。张三走了。", "张三来了。[张三走了]。"};
    QTest::newRow("the volume selected") << "张三"
                                         << "v"
                                         << "共 1 处，1 章" << QStringList{"林远与[张三]"};
}

void tst_book_search::listsHitsInTheNovelsOrder()
{
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(QString, summary);
    QFETCH(QStringList, hits);

    BookSearchWindow *w = open();
    clickTreeNode(m_manager, treeNode(m_manager, QStringLiteral("第二卷")));
    search(w, pattern, options);
    QCOMPARE(w->summary->text(), summary);
    QCOMPARE(markedHits(w->resultModel()), hits);
    QCOMPARE(w->replaceAllButton->isEnabled(), !hits.isEmpty());
    if (options.isEmpty()) {
        // Grouped by volume and chapter, each with its count, every hit checked.
        SearchResults *m = w->resultModel();
        QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("第二卷　（1 章，1 处）"));
        QCOMPARE(m->index(0, 0, m->index(1, 0)).data().toString(), QStringLiteral("第一章　（2 处）"));
        QCOMPARE(m->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(w->results->isExpanded(m->index(0, 0, m->index(1, 0))));
    }
}

void tst_book_search::badInputIsToldAndChangesNothing_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("options");     // as above; v here with no volume selected
    QTest::addColumn<QString>("replacement"); // replaced after searching when not null
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing to find") << ""
                                     << "" << QString() << "请输入查找内容！";
    QTest::newRow("invalid expression, with its place")
        << "第(章"
        << "r" << QString() << "正则表达式有误（第 4 个字符处）：missing closing parenthesis";
    QTest::newRow("no volume selected") << "张三"
                                        << "v" << QString() << "请先在目录中选中一个分卷，再在这一卷中查找！";
    QTest::newRow("a group the expression lacks") << "(张)三"
                                                  << "r"
                                                  << "$2"
                                                  << "“替换为”有误（第 1 个字符处）：没有第 2 个分组";
    QTest::newRow("chapters left without text")
        << "^.+$"
        << "r"
        << ""
        << "替换后以下章节将没有任何文字，没有替换任何文字：\n第二卷 楔子\n第一卷 第一章\n第一卷 第二章\n第一卷 "
           "第三章";
}

void tst_book_search::badInputIsToldAndChangesNothing()
{
    QFETCH(QString, pattern);
    QFETCH(QString, options);
    QFETCH(QString, replacement);
    QFETCH(QString, message);

    BookSearchWindow *w = open();
    const QStringList before = storedBytes(m_path);
    search(w, pattern, options);
    if (!replacement.isNull()) {
        w->replaceText->setText(replacement);
        QTest::mouseClick(w->replaceAllButton, Qt::LeftButton);
    }
    QCOMPARE(m_fx->prompts.messages(), QStringList{message});
    QCOMPARE(m_fx->prompts.calls.last().caption, QStringLiteral("提示"));
    QCOMPARE(storedBytes(m_path), before);
    QVERIFY(snapshotsOf(m_path).isEmpty());
}

void tst_book_search::replacesAfterASnapshotAndUndoesByteForByte_data()
{
    QTest::addColumn<bool>("textAsUtf8");
    QTest::newRow("text kept as UTF-16, as the program keeps it") << false;
    QTest::newRow("text kept as UTF-8 by another program") << true;
}

void tst_book_search::replacesAfterASnapshotAndUndoesByteForByte()
{
    QFETCH(bool, textAsUtf8);
    BookSearchWindow *w = open(book(), textAsUtf8);
    // A text kept as UTF-8 bytes by another program is found and put back
    // as it was kept.
    sqlColumn(m_path, QStringLiteral("UPDATE 小说 SET 章节内容 = X'E69E97E8BF9CE4B88EE5BCA0E4B889' "
                                     "WHERE 章节名称 = '楔子'"));
    const QStringList before = storedBytes(m_path);
    clickTreeNode(m_manager, treeNode(m_manager, QStringLiteral("第一卷")));
    QCOMPARE(listRows(m_manager->ListView1), QStringList({"1 第一章 10", "3 第二章 2", "4 第三章 14"}));

    search(w, QStringLiteral("张三"));
    SearchResults *m = w->resultModel();
    m->setData(m->index(1, 0, m->index(0, 0, m->index(1, 0))), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(w->summary->text(), QStringLiteral("共 4 处，3 章，勾选了 3 处"));
    QStringList seenBySnapshot;
    w->setSnapshot([&](QString *) {
        seenBySnapshot << storedText(m_path, QStringLiteral("第一章"));
        return true;
    });
    w->replaceText->setText(QStringLiteral("李四爷"));
    QTest::mouseClick(w->replaceAllButton, Qt::LeftButton);

    QVERIFY(m_fx->prompts.messages().isEmpty());
    QCOMPARE(seenBySnapshot, QStringList{QStringLiteral("张三来了。张三走了。")}); // taken before anything was written
    QCOMPARE(storedText(m_path, QStringLiteral("第一章")), QStringLiteral("李四爷来了。张三走了。"));
    QCOMPARE(storedText(m_path, QStringLiteral("楔子")), QStringLiteral("林远与李四爷"));
    QCOMPARE(storedText(m_path, QStringLiteral("第三章")), QStringLiteral("ＺＨＡＮＧ，zhang,李四爷"));
    QCOMPARE(storedBytes(m_path).at(2), before.at(2)); // 第二章, without hits, is not written
    QCOMPARE(w->summary->text(), QStringLiteral("已替换 3 处，3 章。"));
    QCOMPARE(listRows(m_manager->ListView1), QStringList({"1 第一章 11", "3 第二章 2", "4 第三章 15"}));

    // Changed since: the undo names the chapter and changes nothing.
    sqlColumn(m_path, QStringLiteral("UPDATE 小说 SET 章节内容 = '改过' WHERE 章节名称 = '第三章'"));
    QTest::mouseClick(w->undoButton, Qt::LeftButton);
    QCOMPARE(m_fx->prompts.messages(),
             QStringList{QStringLiteral("以下章节在替换之后又有改动，没有撤销任何章节：\n第一卷 第三章")});
    QCOMPARE(storedText(m_path, QStringLiteral("第一章")), QStringLiteral("李四爷来了。张三走了。"));

    // Back as replaced, it undoes: every byte as before, in one step.
    sqlColumn(m_path,
              QStringLiteral("UPDATE 小说 SET 章节内容 = 'ＺＨＡＮＧ，zhang,李四爷' WHERE 章节名称 = '第三章'"));
    QTest::mouseClick(w->undoButton, Qt::LeftButton);
    QCOMPARE(storedBytes(m_path), before);
    QVERIFY(!w->undoButton->isEnabled());
    QCOMPARE(listRows(m_manager->ListView1), QStringList({"1 第一章 10", "3 第二章 2", "4 第三章 14"}));
}

void tst_book_search::theOpenEditorOwnsItsChapter()
{
    // The program's snapshot keeper: one snapshot as the manager is shown.
    m_keeper = std::make_unique<SnapshotKeeper>();
    m_fx->ctx.snapshots = m_keeper.get();
    BookSearchWindow *w = open();
    QVERIFY(m_keeper->waitUntilIdle(10000));
    QCOMPARE(snapshotsOf(m_path).size(), 1);
    const QStringList before = storedBytes(m_path);
    search(w, QStringLiteral("张三"));
    // A hit opens its chapter to edit, the hit selected.
    doubleClickHit(w, 1, 0, 1);
    QTRY_VERIFY(shownEditor());
    frm_edit *editor = shownEditor();
    QCOMPARE(editor->panelText(2), QStringLiteral("编辑"));
    QCOMPARE(editor->Text1->textCursor().selectionStart(), 5);
    QCOMPARE(editor->Text1->textCursor().selectedText(), QStringLiteral("张三"));
    QVERIFY(!m_manager->isEnabled());

    // Meanwhile nothing is written under it, and only its hits open.
    QTest::mouseClick(w->replaceAllButton, Qt::LeftButton);
    doubleClickHit(w, 0, 0, 0);
    doubleClickHit(w, 1, 0, 0);
    QCOMPARE(editor->Text1->textCursor().selectionStart(), 0);
    QCOMPARE(m_fx->prompts.messages(),
             QStringList({QStringLiteral("正在编辑章节时不能全部替换，请先关闭编辑窗口！"),
                          QStringLiteral("正在编辑另一章，请先关闭编辑窗口，再打开这一处！")}));
    QCOMPARE(storedBytes(m_path), before);

    // Typed into, the chapter is not the one searched: nothing is replaced.
    editor->Text1->moveCursor(QTextCursor::End);
    typeText(editor->Text1, QStringLiteral("！"));
    editor->close();
    QTRY_VERIFY(m_manager->isEnabled());
    m_fx->prompts.clear();
    QTest::mouseClick(w->replaceAllButton, Qt::LeftButton);
    QCOMPARE(m_fx->prompts.messages(),
             QStringList{QStringLiteral("以下章节在查找之后有过改动，没有替换任何文字，请重新查找：\n第一卷 第一章")});
    QCOMPARE(storedText(m_path, QStringLiteral("楔子")), QStringLiteral("林远与张三"));

    // Searched again, it replaces, a snapshot of the novel taken first
    // though the hour has one already.
    search(w, QStringLiteral("张三"));
    QTest::mouseClick(w->replaceAllButton, Qt::LeftButton);
    QCOMPARE(storedText(m_path, QStringLiteral("第一章")), QStringLiteral("来了。走了。！"));
    QCOMPARE(snapshotsOf(m_path).size(), 2);
}

void tst_book_search::runawayExpressionIsStoppedAndSaid()
{
    NovelSpec recipe;
    recipe.chapters = {{QStringLiteral("第一卷"), QStringLiteral("第一章"), QString(30, QLatin1Char('a')) + "!"}};
    sqlite::setTimeLimit(std::chrono::milliseconds(300));
    BookSearchWindow *w = open(recipe);
    search(w, QStringLiteral("(a+)+$"), QStringLiteral("r"));
    const QStringList told = m_fx->prompts.messages();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith(QStringLiteral("查找用时过长")) ||
                 told.first().startsWith(QStringLiteral("正则表达式过于复杂")),
             qPrintable(told.first()));
}

void tst_book_search::aNewSearchCallsOffTheOneUnderWay()
{
    NovelSpec recipe;
    recipe.chapters.clear();
    for (int i = 0; i < 300; ++i)
        recipe.chapters.append({QStringLiteral("第一卷"), QStringLiteral("第%1章").arg(i + 1),
                                QString(2000, QChar(0x4E01)) + (i == 7 ? "李四" : "张三")});
    BookSearchWindow *w = open(recipe);
    w->findText->setText(QStringLiteral("张三"));
    w->startSearch();
    QVERIFY(w->isSearching()); // the window did not wait for it
    search(w, QStringLiteral("李四"));
    QCOMPARE(w->summary->text(), QStringLiteral("共 1 处，1 章"));
    QCOMPARE(w->resultModel()->chapterAt(w->resultModel()->index(0, 0, w->resultModel()->index(0, 0)))->title,
             QStringLiteral("第8章"));
}

YZ_TEST_MAIN(tst_book_search)
#include "tst_book_search.moc"
