// The library window: listing novels, good and bad files, and deleting.
#include "shell/window_navigator.h"
#include "fixture.h"
#include "hostile_files.h"
#include "library_window.h"
#include "library/frm_about.h"
#include "library/frm_dl.h"
#include "store/ansi_codec.h"
#include "test_main.h"

#include <QDir>
#include <QFontDatabase>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QtTest>
#include <cstdio>

class LibraryTest : public QObject
{
    Q_OBJECT

    static QStringList files(frm_dl &w)
    {
        QStringList out;
        for (const NovelEntry &e : std::as_const(w.Novels))
            out << QFileInfo(e.FilePath).fileName();
        return out;
    }

    static void select(frm_dl &w, const QString &title)
    {
        const auto found = w.ListView1->findItems(title, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        w.ListView1->setCurrentItem(found.first());
    }

    static NovelSpec titled(const QString &title)
    {
        NovelSpec recipe;
        recipe.title = title;
        return recipe;
    }

private slots:
    void listsEveryReadableNovelAndPassesOverTheRest()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        fx.addNovel(QStringLiteral("A.mdb"), titled(QStringLiteral("甲书")));
        NovelSpec broken = titled(QStringLiteral("坏封面"));
        broken.cover = QByteArray("not a picture");
        fx.addNovel(QStringLiteral("c-cover.mdb"), broken);
        fx.writeFile(fx.dataDir() + QStringLiteral("/b-junk.mdb"), QByteArray(4096, 'x'));
        fx.writeFile(fx.dataDir() + QStringLiteral("/b-zero.mdb"), QByteArray());
        fx.writeFile(fx.dataDir() + QStringLiteral("/notes.txt"), QByteArray("x"));
        QDir(fx.dataDir()).mkpath(QStringLiteral("d-folder.mdb"));
        // SQLite, but not a novel: no information table.
        sqlColumn(fx.dataDir() + QStringLiteral("/e-other.mdb"), QStringLiteral("CREATE TABLE t (x)"));
        fx.addNovel(QStringLiteral("Z.MDB"), titled(QStringLiteral("乙书")));

        frm_dl w(fx.ctx);
        QCOMPARE(libraryTitles(w), (QStringList{"甲书", "坏封面", "乙书"}));
        QCOMPARE(files(w), (QStringList{"A.mdb", "c-cover.mdb", "Z.MDB"}));
        for (int i = 0; i < w.Novels.size(); ++i)
            QCOMPARE(w.Novels[i].Position, i + 1);
        // The broken cover shows the default cover instead of nothing.
        const QImage shown = w.ListView1->item(1)->icon().pixmap(QSize(120, 150)).toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.size(), QSize(120, 150));
        QVERIFY(fx.prompts.calls.isEmpty());
        // Reading never changes a file that is not a novel.
        QCOMPARE(QFileInfo(fx.dataDir() + QStringLiteral("/b-zero.mdb")).size(), 0);
        QCOMPARE(readAll(fx.dataDir() + QStringLiteral("/b-junk.mdb")), QByteArray(4096, 'x'));
    }

    void filesItCannotShowAreSaidOnceWithTheReason()
    {
        if (!namesDifferByCase(QDir::tempPath()))
            QSKIP("Windows keeps every file name as UTF-16 and holds no names that differ by case alone or "
                  "hold a line break: every name it has reaches its file");
        ProgramFixture fx;
        fx.addNovel(QStringLiteral("a.mdb"), titled(QStringLiteral("好书")));
        const QString d = fx.dataDir() + QLatin1Char('/');
        fx.writeFile(d + "b-junk.mdb", QByteArray(4096, 'x'));
        fx.writeFile(d + "b-empty.mdb", QByteArray());
        fx.writeFile(d + "b-damaged.mdb", QByteArray("SQLite format 3\0", 16) + QByteArray(4096, 'x'));
        sqlColumn(d + "c-other.mdb", QStringLiteral("CREATE TABLE t (x)"));
        sqlColumn(d + "c-view.mdb", QStringLiteral("CREATE VIEW 信息 AS SELECT 1 AS 书名"));
        sqlColumn(fx.makeNovel(d + "d-no-record.mdb"), QStringLiteral("DELETE FROM 信息"));
        // Names that differ only in form list and go apart.
        const QStringList pairs{"Ab.mdb", "aB.mdb", "e\u0301.mdb", "\u00E9.mdb", "甲\n乙.mdb"};
        for (const QString &name : pairs)
            fx.addNovel(name, titled(name));
        // Novels named in GBK by an old archive, in bytes nothing reads, and
        // a file that is no .mdb at all.
        for (const char *raw : {"\xBE\xC9\xCA\xE9.mdb", "\xFF\xFE.mdb", "\xBE\xC9.txt"})
            QCOMPARE(std::rename(QFile::encodeName(fx.makeNovel(d + "x")).constData(),
                                 (QFile::encodeName(d) + raw).constData()),
                     0);

        auto w = std::make_unique<frm_dl>(fx.ctx);
        QCOMPARE(libraryTitles(*w), QStringList{"好书"} + pairs);
        QCoreApplication::processEvents();
        const QString rename = QStringLiteral("，程序打不开，请给文件改名");
        const QStringList lines{
            "“旧书.mdb”：文件名是GBK编码" + rename, "“\\xFF\\xFE.mdb”：文件名不是UTF-8编码" + rename,
            "“b-damaged.mdb”：文件已损坏",          "“b-empty.mdb”：文件是空的",
            "“b-junk.mdb”：不是本程序的小说文件",   "“c-other.mdb”：不是本程序的小说文件",
            "“c-view.mdb”：不是本程序的小说文件",   "“d-no-record.mdb”：读不出小说信息，文件可能已损坏"};
        QCOMPARE(fx.prompts.messages(), QStringList{QStringLiteral("数据目录中有8个文件不能在书库中显示：\n\n") +
                                                    lines.join(QLatin1Char('\n'))});
        QCOMPARE(fx.prompts.calls[0].caption, QStringLiteral("提示"));
        select(*w, pairs[3]);
        fx.prompts.yesNo = {MsgYes};
        w->delete_Click();
        QVERIFY(!QFileInfo::exists(d + pairs[3]) && QFileInfo::exists(d + pairs[2]));
        // Coming back to the library does not say it again; a change is said.
        w = std::make_unique<frm_dl>(fx.ctx);
        QCoreApplication::processEvents();
        QCOMPARE(fx.prompts.calls.size(), 3);
        QCOMPARE(libraryTitles(*w), QStringList{"好书"} + pairs.mid(0, 3) + pairs.mid(4));
        QVERIFY(QFile::remove(d + "b-junk.mdb"));
        w = std::make_unique<frm_dl>(fx.ctx);
        QCoreApplication::processEvents();
        QVERIFY(fx.prompts.calls.value(3).text.startsWith(QStringLiteral("数据目录中有7个文件")));
    }

    void fontsKeepTheirFractionalSizesAndABoxItsWholeCaption()
    {
        ProgramFixture fx;
        frm_dl w(fx.ctx);
        QCOMPARE(w.font().pointSizeF(), 10.5);
        QCOMPARE(w.ListView1->font().pointSizeF(), 14.25);
        QCOMPARE(frm_about().font().pointSizeF(), 10.5);

        // A real box with a short text: the title bar holds the program's
        // name beside the window's icon and its three buttons.
        int width = 0;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box && QTest::qWaitForWindowExposed(box));
            width = box->width();
            box->close();
        });
        QtPrompts().message(nullptr, QStringLiteral("成功添加"), MsgInformation, QString());
        const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
        QVERIFY2(width >= title.horizontalAdvance(appTitle()) + 4 * title.height(), qPrintable(QString::number(width)));
    }

    void emptyOrMissingDataDirectoryGivesAnEmptyList_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::newRow("empty") << false;
        // The default directory beside the program is made with the first
        // novel; until then the library is only empty. (A configured one
        // that is missing is said: tst_disk_states.)
        QTest::newRow("default directory missing") << true;
    }

    void emptyOrMissingDataDirectoryGivesAnEmptyList()
    {
        QFETCH(bool, missing);
        ProgramFixture fx;
        if (missing)
            QVERIFY(QDir(fx.dataDir()).removeRecursively());
        frm_dl w(fx.ctx);
        QCoreApplication::processEvents();
        QCOMPARE(w.ListView1->count(), 0);
        w.delete_Click();
        w.infor_Click();
        QCOMPARE(fx.prompts.messages(), (QStringList{"请选中一本小说后再操作！", "请选中一本小说后再操作！"}));
        QVERIFY(fx.nav.shown.isEmpty());
    }

    void programDirectoryWithCharactersGbkLacksListsItsNovels()
    {
        ProgramFixture fx(QStringLiteral("Søren-한글-\U0001F600"));
        fx.installProgramFiles();
        fx.addNovel(QStringLiteral("x.mdb"), titled(QStringLiteral("随程序来的书")));
        frm_dl w(fx.ctx);
        QCoreApplication::processEvents();
        QCOMPARE(libraryTitles(w), QStringList{"随程序来的书"});
        QCOMPARE(qApp->styleSheet(), QString::fromUtf8(readAll(fx.path(QStringLiteral("skin/skinh.she")))));
        QVERIFY(fx.prompts.messages().isEmpty());
        qApp->setStyleSheet(QString());
    }

    void dataDirectoryComesFromConfigIni()
    {
        ProgramFixture fx;
        const QString other = fx.path(QStringLiteral("书库"));
        QDir().mkpath(other);
        fx.makeNovel(other + QStringLiteral("/x.mdb"), titled(QStringLiteral("别处的书")));
        fx.addNovel(QStringLiteral("y.mdb"), titled(QStringLiteral("默认目录的书")));
        // Config.ini is GBK text.
        fx.writeFile(fx.path(QStringLiteral("Config.ini")), ansi::encode("[main]\r\npath = " + other + "\r\n"));
        frm_dl w(fx.ctx);
        QCOMPARE(libraryTitles(w), QStringList{"别处的书"});
    }

    void deletingAsksThenRemovesTheRightNovel()
    {
        ProgramFixture fx;
        const QString x = fx.addNovel(QStringLiteral("x.mdb"), titled(QStringLiteral("X")));
        const QString y = fx.addNovel(QStringLiteral("y.mdb"), titled(QStringLiteral("Y")));
        const QString z = fx.addNovel(QStringLiteral("z.mdb"), titled(QStringLiteral("Z")));
        frm_dl w(fx.ctx);

        // No: nothing changes and nothing more is said.
        select(w, QStringLiteral("Y"));
        fx.prompts.yesNo = {MsgNo};
        w.delete_Click();
        QCOMPARE(fx.prompts.calls.size(), 1);
        QCOMPARE(fx.prompts.calls[0].text, QStringLiteral("你确定要删除选中的小说吗？"));
        QCOMPARE(fx.prompts.calls[0].style, int(MsgAskYesNo));
        QCOMPARE(fx.prompts.calls[0].caption, QStringLiteral("询问？"));
        QVERIFY(QFile::exists(y));
        QCOMPARE(libraryTitles(w), (QStringList{"X", "Y", "Z"}));

        fx.prompts.clear();
        fx.prompts.yesNo = {MsgYes};
        w.delete_Click();
        QCOMPARE(fx.prompts.messages(), (QStringList{"你确定要删除选中的小说吗？", "成功删除选中小说！"}));
        QCOMPARE(fx.prompts.calls[1].style, int(MsgInformation));
        QCOMPARE(fx.prompts.calls[1].caption, QStringLiteral("提示"));
        QVERIFY(!QFile::exists(y));
        for (const QString &side : {y + "-wal", y + "-shm"})
            QVERIFY(!QFile::exists(side));
        QCOMPARE(libraryTitles(w), (QStringList{"X", "Z"}));
        QCOMPARE(files(w), (QStringList{"x.mdb", "z.mdb"}));
        QCOMPARE(w.Novels[1].Position, 2);

        // Position 2 is now Z: opening it opens Z's file, not Y's.
        select(w, QStringLiteral("Z"));
        w.ListView1_DblClick();
        QCOMPARE(fx.ctx.currentNovelPath, z);
        QCOMPARE(fx.nav.shown, QStringList{"frm_write"});
        Q_UNUSED(x);
    }

    void theLastNovelIsNeverDeleted()
    {
        ProgramFixture fx;
        const QString only = fx.addNovel(QStringLiteral("only.mdb"), titled(QStringLiteral("唯一")));
        frm_dl w(fx.ctx);
        select(w, QStringLiteral("唯一"));
        fx.prompts.yesNo = {MsgYes};
        w.delete_Click();
        QCOMPARE(fx.prompts.messages(), QStringList{"这是最后一本小说，不能删除！"});
        QVERIFY(QFile::exists(only));
        QCOMPARE(w.ListView1->count(), 1);
    }

    void aFileThatCannotBeRemovedIsReportedAndKept()
    {
        ProgramFixture fx;
        fx.addNovel(QStringLiteral("a.mdb"), titled(QStringLiteral("A")));
        const QString b = fx.addNovel(QStringLiteral("b.mdb"), titled(QStringLiteral("B")));
        frm_dl w(fx.ctx);
        // Something else now stands where the novel was and cannot be removed.
        QVERIFY(QFile::remove(b));
        QDir().mkpath(b + QStringLiteral("/inside"));

        select(w, QStringLiteral("B"));
        fx.prompts.yesNo = {MsgYes};
        w.delete_Click();
        QCOMPARE(fx.prompts.calls.size(), 2);
        QVERIFY(fx.prompts.calls[1].text.startsWith(QStringLiteral("无法删除小说文件")));
        QCOMPARE(fx.prompts.calls[1].style, int(MsgCritical));
        QVERIFY(!fx.prompts.messages().contains(QStringLiteral("成功删除选中小说！")));
        QCOMPARE(libraryTitles(w), (QStringList{"A", "B"}));
        QCOMPARE(w.Novels.size(), 2);
    }

    void openingCommandsNeedASelectedNovel()
    {
        ProgramFixture fx;
        const QString a = fx.addNovel(QStringLiteral("a.mdb"), titled(QStringLiteral("A")));
        QPointer<frm_dl> w = new frm_dl(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));

        // A double-click on empty space does nothing.
        w->ListView1->clearSelection();
        QTest::mouseDClick(w->ListView1->viewport(), Qt::LeftButton, {}, QPoint(700, 550));
        QVERIFY(fx.nav.shown.isEmpty());
        QVERIFY(w->isVisible());

        select(*w, QStringLiteral("A"));
        w->infor_Click();
        QCOMPARE(fx.nav.shown, QStringList{"Form1"});
        QCOMPARE(fx.ctx.currentNovelPath, a);
        QTRY_VERIFY(w.isNull()); // the library closed itself
    }

    void rightPressOffersTheFileMenu()
    {
        ProgramFixture fx;
        fx.addNovel(QStringLiteral("a.mdb"), titled(QStringLiteral("A")));
        fx.addNovel(QStringLiteral("b.mdb"), titled(QStringLiteral("B")));
        frm_dl w(fx.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList captions;
        for (QAction *a : w.file_a->actions())
            captions << a->text();
        QCOMPARE(captions, (QStringList{"新建(&N)", "删除(&D)", "信息(&I)"}));

        const QRect second = w.ListView1->visualRect(w.ListView1->model()->index(1, 0));
        QTest::mousePress(w.ListView1->viewport(), Qt::RightButton, {}, second.center());
        QTRY_VERIFY(w.file_a->isVisible());
        QCOMPARE(w.ListView1->currentRow(), 1);
        w.file_a->hide();
    }

    void aLeftDragInsideTheListChangesNothing()
    {
        ProgramFixture fx;
        fx.addNovel(QStringLiteral("a.mdb"), titled(QStringLiteral("甲书")));
        fx.addNovel(QStringLiteral("b.mdb"), titled(QStringLiteral("乙书")));
        const QString c = fx.addNovel(QStringLiteral("c.mdb"), titled(QStringLiteral("丙书")));
        frm_dl w(fx.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget *viewport = w.ListView1->viewport();
        const auto centre = [&](int row) {
            return w.ListView1->visualRect(w.ListView1->model()->index(row, 0)).center();
        };
        const auto selectedTitles = [&] {
            QStringList out;
            for (const QListWidgetItem *item : w.ListView1->selectedItems())
                out << item->text();
            return out;
        };

        // Press on 丙书, drag over 乙书, release on 甲书: with 乙书 chosen
        // before, and with nothing chosen.
        for (const QString &before : {QStringLiteral("乙书"), QString()}) {
            if (before.isEmpty())
                w.ListView1->clearSelection();
            else
                select(w, before);
            const QStringList chosen = selectedTitles();
            QTest::mousePress(viewport, Qt::LeftButton, {}, centre(2));
            for (const QPoint &p : {centre(2) + QPoint(3, 0), centre(2) + QPoint(12, 2), centre(1), centre(0)})
                QTest::mouseMove(viewport, p);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre(0));
            QCOMPARE(selectedTitles(), chosen);
            if (!before.isEmpty())
                QCOMPARE(w.ListView1->currentItem()->text(), before);
        }

        // A click, even one that trembles a little, still chooses the novel,
        // and a double-click still opens it.
        QTest::mousePress(viewport, Qt::LeftButton, {}, centre(2));
        QTest::mouseMove(viewport, centre(2) + QPoint(1, 1));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre(2) + QPoint(1, 1));
        QCOMPARE(selectedTitles(), QStringList{"丙书"});
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre(2));
        QCOMPARE(fx.nav.shown, QStringList{"frm_write"});
        QCOMPARE(fx.ctx.currentNovelPath, c);
    }

    void aboutBoxOpensBesideTheLibrary()
    {
        ProgramFixture fx;
        WindowNavigator nav(fx.ctx);
        fx.ctx.nav = &nav;
        frm_dl w(fx.ctx);
        w.show();
        w.about_Click();
        w.about_Click();
        const auto abouts = QApplication::topLevelWidgets();
        int shown = 0;
        for (QWidget *t : abouts) {
            if (qobject_cast<frm_about *>(t) && t->isVisible()) {
                ++shown;
                QCOMPARE(t->windowTitle(), QStringLiteral("关于我们"));
                t->close();
            }
        }
        QCOMPARE(shown, 1);
        QVERIFY(w.isVisible());
    }

    void skinComesFromTheSkinSettingsAndAMissingOneLeavesThePlainLook()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        {
            frm_dl w(fx.ctx);
            QCOMPARE(qApp->styleSheet(), QString::fromUtf8(readAll(fx.path(QStringLiteral("skin/skinh.she")))));
        }
        QDir().mkpath(fx.path(QStringLiteral("其他皮肤")));
        fx.writeFile(fx.path(QStringLiteral("其他皮肤/夜.she")), "QWidget { color: #123456; }");
        fx.writeFile(fx.path(QStringLiteral("Config.ini")),
                     ansi::encode("[Skin]\nPath=" + fx.path(QStringLiteral("其他皮肤")) + "\nName=夜.she\n"));
        {
            frm_dl w(fx.ctx);
            QCOMPARE(qApp->styleSheet(), QStringLiteral("QWidget { color: #123456; }"));
        }
        fx.writeFile(fx.path(QStringLiteral("Config.ini")), "[Skin]\nName=none.she\n");
        {
            frm_dl w(fx.ctx);
            QVERIFY(qApp->styleSheet().isEmpty());
        }
    }

    void webSiteGoesToTheBrowser()
    {
        ProgramFixture fx;
        QList<QUrl> opened;
        fx.ctx.openUrl = [&](const QUrl &u) {
            opened << u;
            return true;
        };
        frm_dl w(fx.ctx);
        w.guanwang_Click();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].host(), QString::fromLatin1(kProductSite));
    }
};

YZ_TEST_MAIN(LibraryTest)
#include "tst_frm_dl.moc"
