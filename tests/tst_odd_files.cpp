// Novel files made by other programs, or damaged: odd column types, NULLs,
// missing columns, views and triggers without end. Every window opens them
// without ending or hanging the program and says what it cannot do.
#include "chapters/frm_write.h"
#include "editor/frm_edit.h"
#include "editor/frm_ps.h"
#include "fixture.h"
#include "library/form1.h"
#include "library/frm_dl.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Runs the statements on a new file at path.
void makeFile(const QString &path, const QStringList &statements)
{
    for (const QString &sql : statements)
        sqlColumn(path, sql);
}

} // namespace

class tst_odd_files : public QObject
{
    Q_OBJECT

    // Opens the novel in the chapter manager and goes through what a user
    // does there: every volume clicked, every row pressed, the chapter
    // opened to edit and to read, its notes shown.
    static void walkThrough(ProgramFixture &fx, const QString &path)
    {
        fx.ctx.currentNovelPath = path;
        frm_write w(fx.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int v = 0; v < w.TreeView1->topLevelItemCount(); ++v) {
            clickTreeNode(&w, w.TreeView1->topLevelItem(v));
            for (int r = 0; r < w.ListView1->topLevelItemCount(); ++r) {
                pressListRow(&w, r, Qt::RightButton);
                w.zhangjiecaozuo->hide();
                w.xiugaizhangjie->trigger();
                if (frm_edit *editor = shownEditor()) {
                    typeText(editor->Text1, QStringLiteral("字"));
                    editor->close();
                }
                deleteEditors();
                pressListRow(&w, r, Qt::RightButton);
                w.zhangjiecaozuo->hide();
                w.yueduzhangjie->trigger();
                deleteEditors();
            }
        }
        QVERIFY(w.isEnabled());
    }

private slots:
    void initTestCase()
    {
        // Statements without end are cut off well within a test's time.
        DataSource::setTimeLimit(std::chrono::milliseconds(200));
    }

    void oddlyMadeNovelsOpenEverywhere_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::newRow("nulls everywhere")
            << QStringList{"CREATE TABLE 信息 (书名, 作者, 角色, 说明, 大纲, 封面)",
                           "INSERT INTO 信息 VALUES (NULL, NULL, NULL, NULL, NULL, NULL)",
                           "CREATE TABLE 分卷 (分卷)",
                           "INSERT INTO 分卷 VALUES ('卷')",
                           "INSERT INTO 分卷 VALUES (NULL)",
                           "CREATE TABLE 小说 (编号 INTEGER PRIMARY KEY, 所属分卷, 章节名称, 章节内容, 章节附注)",
                           "INSERT INTO 小说 VALUES (1, '卷', NULL, NULL, NULL)",
                           "INSERT INTO 小说 VALUES (2, NULL, '无卷', 'x', 'y')"};
        QTest::newRow("numbers and pictures where text belongs")
            << QStringList{"CREATE TABLE 信息 (书名, 作者, 角色, 说明, 大纲, 封面)",
                           "INSERT INTO 信息 VALUES (42, 1.5, x'00ff', '', '', 'not a picture')",
                           "CREATE TABLE 分卷 (分卷)",
                           "INSERT INTO 分卷 VALUES (7)",
                           "CREATE TABLE 小说 (编号 INTEGER PRIMARY KEY, 所属分卷, 章节名称, 章节内容, 章节附注)",
                           "INSERT INTO 小说 VALUES (5, 7, 3.25, x'41004200', 99)"};
        QTest::newRow("columns missing, ids not a key")
            << QStringList{"CREATE TABLE 信息 (书名)",
                           "INSERT INTO 信息 VALUES ('残缺')",
                           "CREATE TABLE 分卷 (分卷)",
                           "INSERT INTO 分卷 VALUES ('卷')",
                           "CREATE TABLE 小说 (编号 TEXT, 所属分卷, 章节名称)",
                           "INSERT INTO 小说 VALUES ('甲', '卷', '一')",
                           "INSERT INTO 小说 VALUES ('甲', '卷', '二')"};
        QTest::newRow("empty tables") << QStringList{"CREATE TABLE 信息 (书名, 作者, 角色, 说明, 大纲, 封面)",
                                                     "CREATE TABLE 分卷 (分卷)",
                                                     "CREATE TABLE 小说 (编号 INTEGER PRIMARY KEY, 所属分卷, "
                                                     "章节名称, 章节内容, 章节附注)"};
        QTest::newRow("no tables at all") << QStringList{"CREATE TABLE other (x)"};
        const QString endless = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) ");
        QTest::newRow("views without end in place of the tables")
            << QStringList{"CREATE VIEW 信息 AS " + endless +
                               "SELECT i AS 书名, i AS 作者, i AS 角色, i AS 说明, i AS 大纲, NULL AS 封面 FROM n "
                               "ORDER BY i DESC",
                           "CREATE VIEW 分卷 AS " + endless + "SELECT i AS 分卷 FROM n ORDER BY i DESC",
                           "CREATE VIEW 小说 AS " + endless +
                               "SELECT i AS 编号, i AS 所属分卷, i AS 章节名称, i AS 章节内容, i AS 章节附注 FROM n "
                               "ORDER BY i DESC"};
        QTest::newRow("a trigger without end on every change of a chapter")
            << QStringList{"CREATE TABLE 信息 (书名, 作者, 角色, 说明, 大纲, 封面)",
                           "INSERT INTO 信息 VALUES ('不停', '', '', '', '', NULL)",
                           "CREATE TABLE 分卷 (分卷)",
                           "INSERT INTO 分卷 VALUES ('卷')",
                           "CREATE TABLE 小说 (编号 INTEGER PRIMARY KEY, 所属分卷, 章节名称, 章节内容, 章节附注)",
                           "INSERT INTO 小说 VALUES (1, '卷', '一', '正文', '附注')",
                           "CREATE VIEW 无尽 AS " + endless + "SELECT i FROM n",
                           "CREATE TRIGGER 不停 AFTER UPDATE ON 小说 BEGIN SELECT count(*) FROM 无尽; END"};
    }

    void oddlyMadeNovelsOpenEverywhere()
    {
        QFETCH(QStringList, statements);
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString path = fx.dataDir() + QStringLiteral("/odd.mdb");
        makeFile(path, statements);
        fx.addNovel(QStringLiteral("good.mdb"));

        {
            frm_dl library(fx.ctx);
            QVERIFY(library.ListView1->count() >= 1);
        }
        walkThrough(fx, path);
        {
            fx.ctx.currentNovelPath = path;
            Form1 info(fx.ctx);
            info.show();
            QCoreApplication::processEvents();
        }
        deleteEditors();
        // Whatever was said, the file is still a database that SQLite can read.
        QCOMPARE(sqlColumn(path, QStringLiteral("PRAGMA integrity_check")), QVariantList{"ok"});
    }
};

YZ_TEST_MAIN(tst_odd_files)
#include "tst_odd_files.moc"
