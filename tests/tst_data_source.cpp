// The data source over a novel file: record sets, moves, finds and changes.
#include "fixture.h"
#include "other_program.h"
#include "process_control.h"
#include "store/data_source.h"
#include "test_main.h"

#include <QFile>
#include <QScopeGuard>
#include <QtTest>

class DataSourceTest : public QObject
{
    Q_OBJECT

    QString novelWithChapters(ProgramFixture &fx, int count)
    {
        NovelSpec recipe;
        recipe.volumes = {QStringLiteral("甲卷"), QStringLiteral("乙卷")};
        recipe.chapters.clear();
        for (int i = 1; i <= count; ++i)
            recipe.chapters.append({i % 2 ? QStringLiteral("甲卷") : QStringLiteral("乙卷"),
                                    QStringLiteral("第%1章").arg(i), QStringLiteral("正文%1").arg(i)});
        return fx.addNovel(QStringLiteral("n.mdb"), recipe);
    }

    static bool openTable(DataSource &ds, const QString &path, const QString &table)
    {
        ds.setDatabaseName(path);
        ds.setRecordSource(table);
        return ds.Refresh();
    }

    static QStringList titles(DataSource &ds)
    {
        QStringList out;
        for (int i = 0; i < ds.RecordCount(); ++i) {
            ds.MoveFirst();
            ds.Move(i);
            out << ds.text(QStringLiteral("章节名称"));
        }
        return out;
    }

private slots:
    void templateCopyOpensWithItsVolumeAndChapter()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString copy = fx.dataDir() + QStringLiteral("/新书.mdb");
        QVERIFY(QFile::copy(fx.path(QStringLiteral("空数据库.mdb")), copy));

        DataSource ds;
        QVERIFY(openTable(ds, copy, QStringLiteral("信息")));
        QCOMPARE(ds.RecordCount(), 1);
        QVERIFY(!ds.text(QStringLiteral("书名")).isEmpty());
        QCOMPARE(ds.bytes(QStringLiteral("封面")), readAll(fx.path(QStringLiteral("默认.jpg"))));

        ds.setRecordSource(QStringLiteral("分卷"));
        QVERIFY(ds.Refresh());
        QCOMPARE(ds.RecordCount(), 1);
        const QString volume = ds.text(QStringLiteral("分卷"));
        ds.setRecordSource(QStringLiteral("小说"));
        QVERIFY(ds.Refresh());
        QCOMPARE(ds.RecordCount(), 1);
        QCOMPARE(ds.text(QStringLiteral("所属分卷")), volume);
    }

    void movesAndCountsFollowTableOrder()
    {
        ProgramFixture fx;
        DataSource ds;
        QVERIFY(openTable(ds, novelWithChapters(fx, 5), QStringLiteral("小说")));
        // Exact at once, no MoveLast needed.
        QCOMPARE(ds.RecordCount(), 5);
        QCOMPARE(ds.AbsolutePosition(), 0);
        QCOMPARE(titles(ds), (QStringList{"第1章", "第2章", "第3章", "第4章", "第5章"}));

        ds.MoveFirst();
        int visited = 0;
        while (!ds.Eof()) {
            ++visited;
            ds.MoveNext();
        }
        QCOMPARE(visited, 5);
        QVERIFY(!ds.hasCurrent());
        QVERIFY(ds.MoveLast());
        QCOMPARE(ds.AbsolutePosition(), 4);
        QCOMPARE(ds.value(QStringLiteral("编号")).toInt(), 5);
    }

    void findFirstFindsByEqualityOrStaysPut()
    {
        ProgramFixture fx;
        NovelSpec recipe;
        recipe.volumes = {QStringLiteral("第一卷"), QStringLiteral("卷'引号"), QStringLiteral("第一卷 ")};
        const QString path = fx.addNovel(QStringLiteral("q.mdb"), recipe);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("分卷")));

        QVERIFY(ds.FindFirst(QStringLiteral("分卷"), QStringLiteral("卷'引号")));
        QCOMPARE(ds.AbsolutePosition(), 1);
        QVERIFY(ds.FindFirst(QStringLiteral("分卷"), QStringLiteral("第一卷 ")));
        QCOMPARE(ds.AbsolutePosition(), 2);

        // Nothing matches: the current record stays where it was.
        QVERIFY(!ds.FindFirst(QStringLiteral("分卷"), QStringLiteral("第一卷' OR '1'='1")));
        QCOMPARE(ds.AbsolutePosition(), 2);
        QVERIFY(!ds.FindFirst(QStringLiteral("分卷"), QStringLiteral("第一")));
        QCOMPARE(ds.AbsolutePosition(), 2);
    }

    void chaptersAreFoundByNumberAndByLongFields()
    {
        ProgramFixture fx;
        DataSource ds;
        QVERIFY(openTable(ds, novelWithChapters(fx, 12), QStringLiteral("小说")));
        QVERIFY(ds.FindFirst(QStringLiteral("编号"), QStringLiteral("7")));
        QCOMPARE(ds.text(QStringLiteral("章节名称")), QStringLiteral("第7章"));
        QVERIFY(ds.FindFirst(QStringLiteral("编号"), 12));
        QCOMPARE(ds.text(QStringLiteral("章节名称")), QStringLiteral("第12章"));
        QVERIFY(!ds.FindFirst(QStringLiteral("编号"), QStringLiteral("123")));
        QCOMPARE(ds.text(QStringLiteral("章节名称")), QStringLiteral("第12章"));
        QVERIFY(ds.FindFirst(QStringLiteral("章节内容"), QStringLiteral("正文3")));
        QCOMPARE(ds.AbsolutePosition(), 2);
    }

    void appendedRecordIsLastAndNumbersAreNeverReused()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 3);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));

        // Delete the last chapter, then append: the new one gets a new number.
        QVERIFY(ds.MoveLast());
        QCOMPARE(ds.value(QStringLiteral("编号")).toInt(), 3);
        QVERIFY(ds.Delete());
        QVERIFY(!ds.hasCurrent());
        QCOMPARE(ds.RecordCount(), 2);

        QVERIFY(ds.AddNew());
        ds.setValue(QStringLiteral("所属分卷"), QStringLiteral("乙卷"));
        ds.setValue(QStringLiteral("章节名称"), QStringLiteral("新章"));
        ds.setValue(QStringLiteral("章节内容"), QStringLiteral("章节内容"));
        ds.setValue(QStringLiteral("章节附注"), QStringLiteral("章节附注"));
        QVERIFY(ds.Update());
        QVERIFY(ds.MoveLast());
        QCOMPARE(ds.text(QStringLiteral("章节名称")), QStringLiteral("新章"));
        QCOMPARE(ds.value(QStringLiteral("编号")).toInt(), 4);
        QCOMPARE(ds.RecordCount(), 3);

        // A fresh record set sees the same, in the same order.
        DataSource other;
        QVERIFY(openTable(other, path, QStringLiteral("小说")));
        QCOMPARE(titles(other), (QStringList{"第1章", "第2章", "新章"}));

        // A volume appended empty and named in a second save.
        ds.setRecordSource(QStringLiteral("分卷"));
        QVERIFY(ds.Refresh());
        QVERIFY(ds.AddNew());
        QVERIFY(ds.Update());
        QVERIFY(ds.MoveLast());
        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("分卷"), QStringLiteral("丙卷"));
        QVERIFY(ds.Update());
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 分卷 FROM 分卷 ORDER BY rowid")),
                 (QVariantList{"甲卷", "乙卷", "丙卷"}));
    }

    void deletingWhileWalkingVisitsEveryRecordOnce()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 7);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));
        ds.MoveFirst();
        while (!ds.Eof()) {
            if (ds.text(QStringLiteral("所属分卷")) == QStringLiteral("甲卷"))
                QVERIFY2(ds.Delete(), qPrintable(ds.lastError()));
            ds.MoveNext();
        }
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 章节名称 FROM 小说 ORDER BY 编号")),
                 (QVariantList{"第2章", "第4章", "第6章"}));
    }

    void editsAreStoredAtOnceAndLengthsCountUtf16Units()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 2);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));
        QVERIFY(ds.FindFirst(QStringLiteral("编号"), 2));
        const QString text = QStringLiteral("三个字\r\n两字😀");
        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("章节内容"), text);
        QVERIFY(ds.Update());
        QCOMPARE(ds.textLength(QStringLiteral("章节内容")), 9);
        QCOMPARE(ds.textLength(QStringLiteral("章节名称")), 3);
        // Stored before Update returned: another connection sees it.
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说 WHERE 编号=2")), QVariantList{text});
    }

    void changesInATransactionArriveTogetherOrNotAtAll()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 4);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));

        QVERIFY(ds.BeginTrans());
        ds.MoveFirst();
        while (!ds.Eof()) {
            QVERIFY(ds.Edit());
            ds.setValue(QStringLiteral("所属分卷"), QStringLiteral("丙卷"));
            QVERIFY(ds.Update());
            ds.MoveNext();
        }
        QVERIFY(ds.FindFirst(QStringLiteral("编号"), 2));
        QVERIFY(ds.Delete());
        ds.Rollback();
        QVERIFY(!ds.inTransaction());
        // Dropped in the file and in the record set read again.
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 所属分卷 FROM 小说")),
                 (QVariantList{"甲卷", "乙卷", "甲卷", "乙卷"}));
        QCOMPARE(ds.RecordCount(), 4);
        QCOMPARE(ds.text(QStringLiteral("所属分卷")), QStringLiteral("甲卷"));

        QVERIFY(ds.BeginTrans());
        QVERIFY(ds.FindFirst(QStringLiteral("编号"), 4));
        QVERIFY(ds.Delete());
        QVERIFY(ds.CommitTrans());
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT count(*) FROM 小说")), QVariantList{3});
        QCOMPARE(ds.RecordCount(), 3);
    }

    void filesThatAreNotNovelsFailCleanlyAndStayUntouched()
    {
        ProgramFixture fx;
        const QString empty = fx.dataDir() + QStringLiteral("/empty.mdb");
        const QString junk = fx.dataDir() + QStringLiteral("/junk.mdb");
        const QString missing = fx.dataDir() + QStringLiteral("/missing.mdb");
        fx.writeFile(empty, QByteArray());
        fx.writeFile(junk, QByteArray("this is not a database at all, just some text"));
        for (const QString &path : {empty, junk, missing, fx.dataDir()}) {
            DataSource ds;
            ds.setDatabaseName(path);
            ds.setRecordSource(QStringLiteral("信息"));
            QVERIFY2(!ds.Refresh(), qPrintable(path));
            QVERIFY(!ds.lastError().isEmpty());
            QVERIFY(!ds.hasCurrent());
            QVERIFY(!ds.Edit());
            QVERIFY(!ds.value(QStringLiteral("书名")).isValid());
        }
        QCOMPARE(QFileInfo(empty).size(), 0);
        QVERIFY(!QFile::exists(missing));
    }

    void viewsAndVirtualTablesAreNoNovelTables_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("replacement");
        // Rows without end, sorted before the first one can come out.
        const QString endless = QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i AS %1 FROM n ORDER BY i DESC");
        QTest::newRow("信息 a view of one record") << "信息"
                                                   << "CREATE VIEW 信息 AS SELECT '视图' AS 书名, '' AS 作者, '' AS "
                                                      "角色, '' AS 说明, '' AS 大纲, NULL AS 封面";
        QTest::newRow("信息 a view without end") << "信息"
                                                 << "CREATE VIEW 信息 AS " + endless.arg("书名");
        QTest::newRow("分卷 a view without end") << "分卷"
                                                 << "CREATE VIEW 分卷 AS " + endless.arg("分卷");
        QTest::newRow("小说 a view without end") << "小说"
                                                 << "CREATE VIEW 小说 AS " + endless.arg("章节名称");
        QTest::newRow("小说 a virtual table") << "小说"
                                              << "CREATE VIRTUAL TABLE 小说 USING fts4(所属分卷, 章节名称)";
    }

    void viewsAndVirtualTablesAreNoNovelTables()
    {
        QFETCH(QString, table);
        QFETCH(QString, replacement);
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 2);
        sqlColumn(path, QStringLiteral("DROP TABLE %1").arg(table));
        sqlColumn(path, replacement);
        if (sqlColumn(path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '%1'").arg(table)) !=
            QVariantList{1})
            QSKIP("this SQLite cannot make that table");

        DataSource ds;
        QVERIFY(!openTable(ds, path, table));
        QCOMPARE(ds.lastError(), QStringLiteral("小说文件中的“%1”不是表").arg(table));
        QVERIFY(!ds.hasCurrent());
        // The real tables of the same file still open.
        for (const QString &other : {QStringLiteral("信息"), QStringLiteral("分卷"), QStringLiteral("小说")}) {
            if (other != table)
                QVERIFY2(openTable(ds, path, other), qPrintable(ds.lastError()));
        }
    }

    void aStatementWithoutEndFailsAndLeavesTheFileAsItWas()
    {
        DataSource::setTimeLimit(std::chrono::milliseconds(20));
        const auto restore = qScopeGuard([] { DataSource::setTimeLimit(DataSource::kDefaultTimeLimit); });
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 2);
        const QString other = fx.addNovel(QStringLiteral("other.mdb"));
        // Nothing stored in a file runs: what can keep a statement going is
        // the file's size, here half a million volumes.
        sqlColumn(path, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                                       "500000) INSERT INTO 分卷 SELECT '卷' || i FROM n"));

        // A group of changes under way when a statement runs away.
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));
        QVERIFY(ds.BeginTrans());
        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("章节内容"), QStringLiteral("改过"));
        QVERIFY(ds.Update());
        ds.setRecordSource(QStringLiteral("分卷"));
        QVERIFY(!ds.Refresh());
        const QString stopped = QStringLiteral("小说文件中的内容运行过久，已停止读写：%1").arg(path);
        QCOMPARE(ds.lastError(), stopped);
        // The group is never committed; it is dropped.
        QVERIFY(!ds.CommitTrans());
        QCOMPARE(ds.lastError(), stopped);
        QVERIFY(ds.inTransaction());
        QVERIFY(ds.Rollback());
        QVERIFY(!ds.inTransaction());
        // From then on the file is unreadable to this data source: it is not
        // run again at every keystroke.
        QVERIFY(!ds.Update());
        QCOMPARE(ds.lastError(), stopped);
        ds.setRecordSource(QStringLiteral("小说"));
        QVERIFY(!ds.Refresh());
        QCOMPARE(ds.lastError(), stopped);

        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说 ORDER BY 编号")),
                 (QVariantList{"正文1", "正文2"}));
        QCOMPARE(sqlColumn(path, QStringLiteral("PRAGMA integrity_check")), QVariantList{"ok"});
        // Another file is another matter.
        QVERIFY(openTable(ds, other, QStringLiteral("小说")));
    }

    void whatAFileCarriesNeverRuns()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 3);
        for (const char *sql :
             {"CREATE TRIGGER 改作者 AFTER UPDATE ON 小说 BEGIN UPDATE 信息 SET 作者 = '别人'; INSERT INTO 分卷 "
              "VALUES ('鬼卷1'); END",
              "CREATE TRIGGER 不许加卷 BEFORE INSERT ON 分卷 BEGIN SELECT RAISE(ABORT, '不许'); END",
              "CREATE TRIGGER 清空 AFTER DELETE ON 小说 BEGIN DELETE FROM 信息; DELETE FROM 分卷; END"})
            QVERIFY(OtherProgram(path).exec(QString::fromUtf8(sql)));

        // A chapter stored, a volume added, a chapter deleted: each changes
        // what the program asked for and nothing else.
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));
        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("章节内容"), QStringLiteral("一次保存"));
        QVERIFY2(ds.Update(), qPrintable(ds.lastError()));
        QVERIFY(ds.MoveLast());
        QVERIFY2(ds.Delete(), qPrintable(ds.lastError()));
        ds.setRecordSource(QStringLiteral("分卷"));
        QVERIFY(ds.Refresh());
        QVERIFY(ds.AddNew());
        ds.setValue(QStringLiteral("分卷"), QStringLiteral("丙卷"));
        QVERIFY2(ds.Update(), qPrintable(ds.lastError()));

        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 作者 FROM 信息")), QVariantList{"作者"});
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 分卷 FROM 分卷 ORDER BY rowid")),
                 (QVariantList{"甲卷", "乙卷", "丙卷"}));
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说 ORDER BY 编号")),
                 (QVariantList{"一次保存", "正文2"}));
    }

    void theInformationRecordIsReadAloneWhateverFollowsIt()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 1);
        sqlColumn(path, QStringLiteral("INSERT INTO 信息 (书名) VALUES ('第二条'), ('第三条')"));
        DataSource ds;
        ds.setDatabaseName(path);
        ds.setRecordSource(QStringLiteral("信息"));
        QVERIFY(ds.RefreshFirst());
        QCOMPARE(ds.RecordCount(), 1);
        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("书名"), QStringLiteral("改名"));
        QVERIFY(ds.Update());
        QCOMPARE(sqlColumn(path, QStringLiteral("SELECT 书名 FROM 信息 ORDER BY rowid")),
                 (QVariantList{"改名", "第二条", "第三条"}));
    }

    void aVanishedFileIsAFailureNotANewDatabase()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 2);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));
        ds.close();
        QVERIFY(QFile::remove(path));
        QVERIFY(!ds.Refresh());
        QVERIFY(!QFile::exists(path));
    }

    void aReadOnlyFileRefusesChangesWithoutLosingTheRecordSet()
    {
        if (permissionsBindNobody())
            QSKIP("file permissions do not bind root");
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 2);
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));
        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("章节内容"), QStringLiteral("x"));
        QVERIFY(!ds.Update());
        QCOMPARE(ds.RecordCount(), 2);
    }

    void aLockedFileRefusesChangesAndRecovers()
    {
        ProgramFixture fx;
        const QString path = novelWithChapters(fx, 2);
        DataSource ds;
        QVERIFY(openTable(ds, path, QStringLiteral("小说")));

        // Another program holds a write lock on the file.
        OtherProgram other(path);
        QVERIFY(other.isOpen());
        QVERIFY(other.exec(QStringLiteral("BEGIN IMMEDIATE")));

        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("章节内容"), QStringLiteral("第一次"));
        QVERIFY(!ds.Update());
        QVERIFY(!ds.lastError().isEmpty());

        QVERIFY(other.exec(QStringLiteral("ROLLBACK")));
        other.close();

        QVERIFY(ds.Edit());
        ds.setValue(QStringLiteral("章节内容"), QStringLiteral("第二次"));
        QVERIFY(ds.Update());
        QCOMPARE(ds.text(QStringLiteral("章节内容")), QStringLiteral("第二次"));
    }
};

YZ_TEST_GUILESS_MAIN(DataSourceTest)
#include "tst_data_source.moc"
