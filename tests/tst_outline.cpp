// The volume and chapter rules without a window: what the tree reads, and
// what each command stores, refuses or leaves untouched in the file.
#include "chapters/outline.h"
#include "fixture.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "store/data_source.h"
#include "test_main.h"

#include <QtTest>

namespace {

using Reason = Outline::Reason;

// "volume[id title,...]" for each volume, in tree order.
QString shapeOf(const OutlineTree &tree)
{
    QStringList out;
    for (const OutlineVolume &v : tree.volumes) {
        QStringList chapters;
        for (const OutlineChapter &c : v.chapters)
            chapters << QString::number(c.id) + QLatin1Char(' ') + c.title;
        out << v.name + QLatin1Char('[') + chapters.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    return out.join(QLatin1Char(' '));
}

QStringList column(const QString &path, const QString &sql)
{
    QStringList out;
    for (const QVariant &v : sqlColumn(path, sql))
        out << v.toString();
    return out;
}

QStringList volumesIn(const QString &path)
{
    return column(path, QStringLiteral("SELECT 分卷 FROM 分卷"));
}

// "编号:volume/title" of every chapter.
QStringList chaptersIn(const QString &path)
{
    return column(path, QStringLiteral("SELECT 编号 || ':' || 所属分卷 || '/' || 章节名称 FROM 小说"));
}

// The novels the commands run on, by name: one volume with one chapter, two
// volumes with the only chapter in the first, or three volumes, the first two
// with chapters that alternate in the table.
NovelSpec novel(const QString &name)
{
    if (name == QLatin1String("one"))
        return outlineRecipe({"第一卷"}, {"第一卷/a1"});
    if (name == QLatin1String("lopsided"))
        return outlineRecipe({"第一卷", "第二卷"}, {"第一卷/a1"});
    return outlineRecipe({"第一卷", "第二卷", "第三卷"}, {"第一卷/a1", "第二卷/b1", "第一卷/a2", "第二卷/b2"});
}

// 小说 made again with a rule that refuses to put chapter 3 into a volume
// named 满, so that a command fails after its first change went through.
void refuseThirdChapterInFull(const QString &path)
{
    for (const char *sql : {"CREATE TABLE 新 (编号 INTEGER PRIMARY KEY AUTOINCREMENT, 所属分卷 TEXT CHECK (所属分卷 <> "
                            "'满' OR 编号 <> 3), "
                            "章节名称 TEXT, 章节内容 TEXT, 章节附注 TEXT)",
                            "INSERT INTO 新 SELECT * FROM 小说", "DROP TABLE 小说", "ALTER TABLE 新 RENAME TO 小说"})
        sqlColumn(path, QString::fromUtf8(sql));
}

} // namespace

class tst_outline : public QObject
{
    Q_OBJECT

private slots:
    void readsTheTreeAsStored_data()
    {
        QTest::addColumn<QStringList>("volumes");
        QTest::addColumn<QStringList>("chapters");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<int>("homeless");
        QTest::addColumn<QStringList>("listed"); // the first volume's list: "place title length"
        QTest::newRow("table order") << QStringList{"A"} << QStringList{"A/a1", "A/a2"} << "A[1 a1,2 a2]" << 0
                                     << QStringList{"1 a1 0", "2 a2 0"};
        QTest::newRow("volumes in another order") << QStringList{"B", "A"} << QStringList{"A/a1", "B/b1", "A/a2"}
                                                  << "B[2 b1] A[1 a1,3 a2]" << 0 << QStringList{"2 b1 0"};
        QTest::newRow("a name stored twice") << QStringList{"A", "B", "A"} << QStringList{"B/b1", "A/a1"}
                                             << "A[2 a1] B[1 b1]" << 0 << QStringList{"2 a1 0"};
        QTest::newRow("chapters without a volume") << QStringList{"A", "空"} << QStringList{"无/x", "A/a1", "无/y"}
                                                   << "A[2 a1] 空[]" << 2 << QStringList{"2 a1 0"};
        QTest::newRow("no file") << QStringList() << QStringList() << QString() << 0 << QStringList();
    }
    void readsTheTreeAsStored()
    {
        QFETCH(QStringList, volumes);
        QFETCH(QStringList, chapters);
        QFETCH(QString, shape);
        QFETCH(int, homeless);
        QFETCH(QStringList, listed);
        ProgramFixture fx;
        DataSource data;
        Outline outline(data);
        data.setDatabaseName(volumes.isEmpty()
                                 ? fx.path(QStringLiteral("data/不存在.mdb"))
                                 : fx.addNovel(QStringLiteral("小说.mdb"), outlineRecipe(volumes, chapters)));
        OutlineTree tree;
        tree.homeless = -1;
        const Outline::Result read = outline.read(&tree);
        QVector<ListedChapter> rows;
        const Outline::Result list = outline.readVolume(volumes.value(0), &rows);
        if (volumes.isEmpty()) {
            // A file that cannot be read leaves the tree as it was.
            QCOMPARE(read.reason, Reason::StoreFailed);
            QVERIFY(!read.storeError.isEmpty());
            QCOMPARE(tree.homeless, -1);
            QCOMPARE(list.reason, Reason::StoreFailed);
            return;
        }
        QVERIFY2(read.ok(), qPrintable(read.storeError));
        QCOMPARE(shapeOf(tree), shape);
        QCOMPARE(tree.homeless, homeless);
        QVERIFY(list.ok());
        QStringList shown;
        for (const ListedChapter &r : std::as_const(rows))
            shown << QStringLiteral("%1 %2 %3").arg(r.place).arg(r.title).arg(r.length);
        QCOMPARE(shown, listed);
    }

    void commandsKeepTheNovelWhole_data()
    {
        // The novel by name; "locked" after it: every write fails, "full
        // refused": chapter 3 cannot go into a volume named 满.
        QTest::addColumn<QString>("novel");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QStringList>("volumes");
        QTest::addColumn<QStringList>("chapters");
        QTest::addColumn<QString>("gone"); // the chapters a deleted volume took

        const QStringList v{"第一卷", "第二卷", "第三卷"};
        const QStringList c{"1:第一卷/a1", "2:第二卷/b1", "3:第一卷/a2", "4:第二卷/b2"};
        const QStringList v1{"第一卷"};
        const QStringList c1{"1:第一卷/a1"};
        const auto row = [](const char *name, const char *novel, const char *command, const QString &a,
                            const QString &b, Reason reason, const QStringList &volumes, const QStringList &chapters,
                            const QString &gone = QString()) {
            QTest::newRow(name) << novel << command << a << b << reason << volumes << chapters << gone;
        };
        row("add chapter", "three", "addChapter", "第三卷", "第5章", Reason::None, v,
            c + QStringList{"5:第三卷/第5章"});
        row("add chapter without a title", "three", "addChapter", "第三卷", "", Reason::EmptyTitle, v, c);
        row("add chapter, file locked", "three locked", "addChapter", "第三卷", "第5章", Reason::StoreFailed, v, c);
        row("add volume", "three", "addVolume", "第四卷", "", Reason::None, v + QStringList{"第四卷"}, c);
        row("add volume without a name", "three", "addVolume", "", "", Reason::EmptyName, v, c);
        row("add volume of a name taken", "three", "addVolume", "第三卷", "", Reason::DuplicateName, v, c);
        row("delete volume with its chapters", "three", "deleteVolume", "第二卷", "", Reason::None,
            {"第一卷", "第三卷"}, {"1:第一卷/a1", "3:第一卷/a2"}, "2,4");
        row("delete empty volume", "three", "deleteVolume", "第三卷", "", Reason::None, {"第一卷", "第二卷"}, c);
        row("delete volume, file locked", "three locked", "deleteVolume", "第二卷", "", Reason::StoreFailed, v, c);
        row("delete last volume", "one", "deleteVolume", "第一卷", "", Reason::LastVolume, v1, c1);
        row("delete volume holding every chapter", "lopsided", "deleteVolume", "第一卷", "", Reason::HoldsEveryChapter,
            {"第一卷", "第二卷"}, c1);
        row("delete the other volume", "lopsided", "deleteVolume", "第二卷", "", Reason::None, v1, c1);
        row("rename volume with its chapters", "three", "renameVolume", "第一卷", "卷'一", Reason::None,
            {"卷'一", "第二卷", "第三卷"}, {"1:卷'一/a1", "2:第二卷/b1", "3:卷'一/a2", "4:第二卷/b2"});
        row("rename volume to its name", "three", "renameVolume", "第一卷", "第一卷", Reason::None, v, c);
        row("rename volume to nothing", "three", "renameVolume", "第一卷", "", Reason::EmptyName, v, c);
        row("rename volume to a name taken", "three", "renameVolume", "第一卷", "第三卷", Reason::DuplicateName, v, c);
        row("rename volume gone", "three", "renameVolume", "无此卷", "新卷", Reason::VolumeGone, v, c);
        row("rename volume, a chapter refused", "three full refused", "renameVolume", "第一卷", "满",
            Reason::StoreFailed, v, c);
        row("rename chapter", "three", "renameChapter", "3", "第2章 新题", Reason::None, v,
            {"1:第一卷/a1", "2:第二卷/b1", "3:第一卷/第2章 新题", "4:第二卷/b2"});
        row("rename chapter gone", "three", "renameChapter", "9", "新题", Reason::ChapterGone, v, c);
        row("rename chapter, file locked", "three locked", "renameChapter", "3", "新题", Reason::StoreFailed, v, c);
        row("delete chapter", "three", "deleteChapter", "3", "3", Reason::None, v,
            {"1:第一卷/a1", "2:第二卷/b1", "4:第二卷/b2"});
        row("delete a chapter not chosen", "three", "deleteChapter", "1", "3", Reason::ChapterGone, v, c);
        row("delete chapter, file locked", "three locked", "deleteChapter", "3", "3", Reason::StoreFailed, v, c);
        row("chapter deletable", "three", "checkChapterDeletable", "", "", Reason::None, v, c);
        row("delete last chapter", "one", "checkChapterDeletable", "", "", Reason::LastChapter, v1, c1);
    }
    void commandsKeepTheNovelWhole()
    {
        QFETCH(QString, novel);
        QFETCH(QString, command);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(Reason, reason);
        QFETCH(QStringList, volumes);
        QFETCH(QStringList, chapters);
        QFETCH(QString, gone);
        ProgramFixture fx;
        const QString path = fx.addNovel(QStringLiteral("小说.mdb"), ::novel(novel.section(QLatin1Char(' '), 0, 0)));
        if (novel.endsWith(QLatin1String("full refused")))
            refuseThirdChapterInFull(path);
        DataSource data;
        data.setDatabaseName(path);
        Outline outline(data);
        // The chapter chosen, as a press on its row chooses it.
        if (command == QLatin1String("deleteChapter"))
            QVERIFY(outline.findChapter(a.toLongLong()).ok());
        std::unique_ptr<FileLock> lock;
        if (novel.endsWith(QLatin1String("locked")))
            lock = std::make_unique<FileLock>(path);

        Outline::Result r;
        qint64 added = 0;
        QVector<qint64> deleted{-1};
        if (command == QLatin1String("addChapter"))
            r = outline.addChapter(a, b, &added);
        else if (command == QLatin1String("addVolume"))
            r = outline.addVolume(a);
        else if (command == QLatin1String("deleteVolume"))
            r = outline.deleteVolume(a, &deleted);
        else if (command == QLatin1String("renameVolume"))
            r = outline.renameVolume(a, b);
        else if (command == QLatin1String("renameChapter"))
            r = outline.renameChapter(a.toLongLong(), b);
        else if (command == QLatin1String("deleteChapter"))
            r = outline.deleteChapter(b.toLongLong());
        else
            r = outline.checkChapterDeletable();
        lock.reset();

        QCOMPARE(r.reason, reason);
        QCOMPARE(r.storeError.isEmpty(), reason != Reason::StoreFailed);
        QCOMPARE(volumesIn(path), volumes);
        QCOMPARE(chaptersIn(path), chapters);
        if (command == QLatin1String("deleteVolume") && r.ok()) {
            QStringList ids;
            for (const qint64 id : std::as_const(deleted))
                ids << QString::number(id);
            QCOMPARE(ids.join(QLatin1Char(',')), gone);
        }
        // The editor opens on the chapter just added: the data source must
        // stand on it.
        if (command == QLatin1String("addChapter") && r.ok()) {
            QCOMPARE(added, qint64(5));
            QVERIFY(outline.standsOn(added));
        }
    }
};

YZ_TEST_MAIN(tst_outline)
#include "tst_outline.moc"
