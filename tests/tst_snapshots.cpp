// Snapshots of a novel: taken whole and consistent while the editor stores,
// thinned out by age, quiet when they cannot be written, and usable as a
// novel again.
#include "app/snapshot_keeper.h"
#include "chapters/frm_write.h"
#include "dir_snapshot.h"
#include "editor/chapter_writer.h"
#include "editor/frm_edit.h"
#include "fixture.h"
#include "hostile_files.h"
#include "library/frm_dl.h"
#include "manager_window.h"
#include "open_chapter.h"
#include "store/snapshot.h"
#include "test_main.h"

#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <memory>

using Result = NovelSnapshot::Result;
Q_DECLARE_METATYPE(Result)

// The log a chapter's writer lets grow before it copies it into the file.
constexpr qint64 kLogLimit = 64 * 1024 * 1024;

namespace {

QStringList snapshotsIn(const QString &folder)
{
    QStringList out;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &n : names) {
        if (snapshotTime(n).isValid())
            out << n;
    }
    return out;
}

// Whatever lies in folder that is not a snapshot: half-made copies, logs.
QStringList othersIn(const QString &folder)
{
    QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    out.removeIf([](const QString &n) { return snapshotTime(n).isValid(); });
    return out;
}

QString quickCheck(const QString &path)
{
    const QVariantList rows = sqlColumn(path, QStringLiteral("PRAGMA quick_check"));
    return rows.size() == 1 ? rows.first().toString() : QStringLiteral("%1 rows").arg(rows.size());
}

QStringList chapterTexts(const QString &path)
{
    QStringList out;
    for (const QVariant &v : sqlColumn(path, QStringLiteral("SELECT 章节内容 FROM 小说 ORDER BY 编号")))
        out << v.toString();
    return out;
}

QString bigText(int chars, char16_t first)
{
    QString text;
    for (int i = 0; i < chars; ++i)
        text += QChar(char16_t(first + i % 500));
    return text;
}

NovelSpec longNovel(int chapters, int chars)
{
    NovelSpec recipe;
    recipe.chapters.clear();
    for (int i = 0; i < chapters; ++i)
        recipe.chapters.append(
            {QStringLiteral("第一卷"), QStringLiteral("第%1章").arg(i + 1), bigText(chars, 0x4E00 + i)});
    return recipe;
}

// A file system mounted for the length of a test; the test is skipped where
// mounting is not permitted.
class Mount
{
public:
    explicit Mount(const QStringList &args, const QString &on) : m_on(on)
    {
        QProcess p;
        p.start(QStringLiteral("mount"), args + QStringList{on});
        m_mounted = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!m_mounted)
            m_why = QString::fromLocal8Bit(p.readAllStandardError()).trimmed() + p.errorString();
    }
    ~Mount()
    {
        if (m_mounted && QProcess::execute(QStringLiteral("umount"), {m_on}) != 0)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_on});
    }
    bool mounted() const { return m_mounted; }
    QString why() const { return m_why; }

private:
    QString m_on;
    QString m_why;
    bool m_mounted = false;
};

int messageBoxes()
{
    int n = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        n += qobject_cast<QMessageBox *>(w) != nullptr;
    return n;
}

} // namespace

class SnapshotTest : public QObject
{
    Q_OBJECT

    // A Monday at noon: the made-up history is told from here.
    const QDateTime m_now{QDate(2024, 5, 20), QTime(12, 0)};

    // Made-up history: when each snapshot was taken and whether the rule
    // keeps it.
    QVector<QPair<QDateTime, bool>> history() const
    {
        const QDate today = m_now.date();
        const auto at = [&](int daysAgo, int h, int m) { return QDateTime(today.addDays(-daysAgo), QTime(h, m)); };
        return {
            {at(0, 11, 50), true}, // the same hour as 11:10, later, but one of the three newest
            {at(0, 11, 10), true},   {at(0, 10, 30), true},  {at(0, 9, 59), false},
            {at(0, 9, 5), true},                            // the first of its hour
            {at(0, 9, 6), false},    {at(1, 12, 30), true}, // 23.5 hours ago: still one per hour
            {at(1, 11, 30), false},                         // 24.5 hours ago: one per day, and 08:00 came first
            {at(1, 8, 0), true},     {at(3, 21, 0), false},  {at(3, 20, 0), true},
            {at(13, 10, 0), true},   {at(15, 10, 0), false}, // Sunday 5 May, the same week as Saturday 4 May
            {at(16, 10, 0), true},   {at(30, 10, 0), true},  {at(55, 10, 0), true},
            {at(57, 10, 0), false}, // older than 8 weeks
            {at(400, 10, 0), false},
        };
    }

    // A manager window on a novel, with the keeper watching it.
    frm_write *openWatched(ProgramFixture &fx, SnapshotKeeper &keeper, const NovelSpec &recipe, QString *novel)
    {
        fx.ctx.snapshots = &keeper;
        frm_write *w = openManager(fx, recipe, novel);
        if (!QTest::qWaitForWindowExposed(w))
            qWarning("the chapter manager was not shown");
        return w;
    }

    static QList<int> results(const QSignalSpy &spy)
    {
        QList<int> out;
        for (const QList<QVariant> &args : spy)
            out << args.at(1).toInt();
        return out;
    }

private slots:
    void initTestCase() { qRegisterMetaType<Result>(); }

    void retentionKeepsTheFirstOfEachHourDayAndWeekAndNothingElseGoes()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral(".备份/小说.mdb"));
        QVERIFY(QDir().mkpath(folder));
        // Only a novel file counts as a snapshot.
        const QString novel = dir.filePath(QStringLiteral("小说.mdb"));
        for (const char *table : {"信息", "分卷", "小说"})
            sqlColumn(novel, QStringLiteral("CREATE TABLE %1 (x)").arg(QString::fromUtf8(table)));
        QVector<QDateTime> times;
        QStringList kept;
        for (const auto &[time, keep] : history()) {
            times << time;
            QVERIFY(QFile::copy(novel, folder + QLatin1Char('/') + snapshotFileName(time)));
            if (keep)
                kept << snapshotFileName(time);
        }
        // What the writer put there, and copies left by a program that ended
        // while making one (two hours ago) or is making one now.
        for (const QString &n : QStringList{"2024-5-20 120000.mdb", "2024-05-20 126000.mdb", "说明.txt",
                                            ".快照-old123.tmp", ".快照-old123.tmp-journal", ".快照-new456.tmp"}) {
            QFile f(folder + QLatin1Char('/') + n);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (n.contains(QLatin1String("old")))
                f.setFileTime(QDateTime::currentDateTime().addSecs(-2 * 3600), QFileDevice::FileModificationTime);
        }
        QVERIFY(QDir(folder).mkpath(QStringLiteral("2020-01-01 000000.mdb")));

        NovelSnapshot(novel, folder).prune(m_now);
        kept.sort();
        QCOMPARE(snapshotsIn(folder), kept);
        QCOMPARE(othersIn(folder),
                 (QStringList{".快照-new456.tmp", "2024-05-20 126000.mdb", "2024-5-20 120000.mdb", "说明.txt"}));
        QVERIFY(QFileInfo(folder + QStringLiteral("/2020-01-01 000000.mdb")).isDir());

        // A snapshot is due only in an hour that has none yet.
        QVERIFY(!snapshotDue(times, m_now.addSecs(-60)));
        QVERIFY(snapshotDue(times, m_now));
    }

    void noClockEmptiesTheFolderAndNoFutureHoldsASlot_data()
    {
        // Each snapshot by its age at m_now in minutes (negative: named
        // after m_now); the clock reads m_now shifted by the days given.
        QTest::addColumn<QVector<int>>("minutesOld");
        QTest::addColumn<int>("clockDays");
        QTest::addColumn<QVector<int>>("removed");
        QTest::addColumn<bool>("due");
        QTest::newRow("a clock set two years forward keeps the three newest")
            << QVector<int>{5 * 1440, 2 * 1440, 1500, 180, 120} << 730 << QVector<int>{0, 1} << true;
        QTest::newRow("a snapshot named later this hour stops no new one")
            << QVector<int>{-40, 50} << 0 << QVector<int>{} << true;
        QTest::newRow("those named in the future share one slot beside the newest")
            << QVector<int>{-1440, -1500, -2 * 1440, -3 * 1440, -4 * 1440, 30} << 0 << QVector<int>{1} << true;
        QTest::newRow("this hour has one") << QVector<int>{-1440, 0} << 0 << QVector<int>{} << false;
    }

    void noClockEmptiesTheFolderAndNoFutureHoldsASlot()
    {
        QFETCH(QVector<int>, minutesOld);
        QFETCH(int, clockDays);
        QFETCH(QVector<int>, removed);
        QFETCH(bool, due);
        QVector<QDateTime> taken;
        for (int minutes : std::as_const(minutesOld))
            taken << m_now.addSecs(-60 * minutes);
        const QDateTime clock = m_now.addDays(clockDays);
        QCOMPARE(snapshotsToRemove(taken, clock), removed);
        QCOMPARE(snapshotDue(taken, clock), due);
    }

    void onlyOurOwnSnapshotsCountOrGoAlsoInALinkedFolder()
    {
        ProgramFixture fx;
        const QString novel = fx.addNovel(QStringLiteral("夜航.mdb"), longNovel(2, 100));
        // The writer keeps the snapshots on another disk, through a link
        // where the system has links that a user makes.
        const bool special = fileSystemHoldsPipesAndDevices();
        const QString disk = special ? fx.path(QStringLiteral("外置盘")) : fx.dataDir() + QStringLiteral("/.备份");
        QVERIFY(QDir().mkpath(disk + QStringLiteral("/夜航.mdb")));
        if (special)
            QVERIFY(QFile::link(disk, fx.dataDir() + QStringLiteral("/.备份")));
        const QString folder = snapshotFolder(novel);
        const QDateTime now(QDate(2024, 5, 20), QTime(12, 30));
        // A snapshot named tomorrow by a clock that was wrong, of the state
        // the novel is in now.
        NovelSnapshot ahead(novel);
        QCOMPARE(ahead.take(now.addDays(1)), Result::Kept);
        ahead.close();

        // Named like snapshots of this hour, of yesterday and of ten weeks
        // ago: counted, each would fill a slot or be removed. The link's
        // novel lies outside.
        const QString elsewhere = fx.makeNovel(fx.path(QStringLiteral("别处的小说.mdb")));
        const QString other = fx.path(QStringLiteral("别的数据库.mdb"));
        sqlColumn(other, QStringLiteral("CREATE TABLE t (x)"));
        FifoWatch pipe(folder + QLatin1Char('/') + snapshotFileName(now.addSecs(-60)));
        QVERIFY(pipe.isValid() || !special);
        int n = 0;
        for (const QDateTime &t : {now.addSecs(-1200), now.addDays(-1), now.addDays(-70)}) {
            const auto name = [&] { return folder + QLatin1Char('/') + snapshotFileName(t.addSecs(++n)); };
            fx.writeFile(name(), "写作笔记");
            fx.writeFile(name(), QByteArray());
            fx.writeFile(name(), QByteArray("SQLite format 3\0", 16) + QByteArray(4000, 'x'));
            QVERIFY(QFile::copy(other, name()));
            QVERIFY(QFile::link(elsewhere, name()));
        }
        const QMap<QString, QByteArray> before = dirSnapshot(disk);

        NovelSnapshot snapshot(novel);
        QCOMPARE(snapshot.take(now), Result::Kept);
        QCOMPARE(snapshot.keptPath(), folder + QStringLiteral("/2024-05-20 123000.mdb"));
        QMap<QString, QByteArray> after = dirSnapshot(disk);
        after.remove(QStringLiteral("夜航.mdb/2024-05-20 123000.mdb"));
        QCOMPARE(after, before);
        QVERIFY2(!pipe.wasOpened(), "a pipe was opened");
        QVector<QString> listed;
        for (const SnapshotFile &s : snapshotsOf(novel))
            listed << s.path;
        QCOMPARE(listed, (QVector<QString>{folder + QStringLiteral("/2024-05-21 123000.mdb"), snapshot.keptPath()}));
    }

    void aSnapshotIsAWholeCheckedNovelAndTheSameStateIsKeptOnce()
    {
        ProgramFixture fx;
        const QString novel = fx.addNovel(QStringLiteral("夜航.mdb"), longNovel(3, 5000));
        NovelSnapshot snapshot(novel);
        QCOMPARE(snapshot.folder(), fx.dataDir() + QStringLiteral("/.备份/夜航.mdb"));

        QCOMPARE(snapshot.take(m_now), Result::Kept);
        const QString first = snapshot.folder() + QStringLiteral("/2024-05-20 120000.mdb");
        QCOMPARE(snapshot.keptPath(), first);
        QCOMPARE(quickCheck(first), QStringLiteral("ok"));
        QCOMPARE(chapterTexts(first), chapterTexts(novel));
        QCOMPARE(sqlColumn(first, QStringLiteral("SELECT 书名 FROM 信息")), QVariantList{"测试小说"});
        // A copy holds the pages of a file that is written ahead, as the
        // novel does.
        QCOMPARE(sqlColumn(first, QStringLiteral("PRAGMA journal_mode")), QVariantList{"wal"});
        QCOMPARE(QFileInfo(first).permissions(), QFileInfo(novel).permissions());

        // Nothing stored since: nothing to take, and a later hour's copy of
        // the same state is not kept either.
        QCOMPARE(snapshot.takeIfChanged(m_now.addSecs(7200)), Result::Unchanged);
        QCOMPARE(snapshot.take(m_now.addSecs(7200)), Result::SameAsPrevious);
        QCOMPARE(snapshotsIn(snapshot.folder()), QStringList{"2024-05-20 120000.mdb"});

        sqlColumn(novel, QStringLiteral("UPDATE 小说 SET 章节内容 = '改过' WHERE 编号 = 2"));
        // The same hour already has its snapshot.
        QCOMPARE(snapshot.takeIfChanged(m_now.addSecs(600)), Result::NotDue);
        QCOMPARE(snapshot.takeIfChanged(m_now.addSecs(7200)), Result::Kept);
        const QString second = snapshot.keptPath();
        QCOMPARE(chapterTexts(second).value(1), QStringLiteral("改过"));
        QCOMPARE(chapterTexts(first).value(1), bigText(5000, 0x4E01));
        QCOMPARE(snapshotsIn(snapshot.folder()), (QStringList{"2024-05-20 120000.mdb", "2024-05-20 140000.mdb"}));

        // A name already taken is never written over: the next second is.
        snapshot.close();
        sqlColumn(novel, QStringLiteral("UPDATE 小说 SET 章节内容 = '又改' WHERE 编号 = 2"));
        QVERIFY(QDir(snapshot.folder()).mkdir(QStringLiteral("2024-05-20 150000.mdb")));
        QCOMPARE(snapshot.take(m_now.addSecs(3 * 3600)), Result::Kept);
        QCOMPARE(snapshotsIn(snapshot.folder()),
                 (QStringList{"2024-05-20 120000.mdb", "2024-05-20 140000.mdb", "2024-05-20 150001.mdb"}));
        QCOMPARE(chapterTexts(second).value(1), QStringLiteral("改过"));
        QCOMPARE(chapterTexts(snapshot.keptPath()).value(1), QStringLiteral("又改"));
        QCOMPARE(othersIn(snapshot.folder()), QStringList());
        QCOMPARE(quickCheck(novel), QStringLiteral("ok"));
    }

    void damagedOrForeignFilesAreNeverSnapshotted_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("a page overwritten") << "page";
        QTest::newRow("not a database") << "junk";
        QTest::newRow("an empty file") << "empty";
        QTest::newRow("a database that is no novel") << "other";
    }

    void damagedOrForeignFilesAreNeverSnapshotted()
    {
        QFETCH(QString, damage);
        ProgramFixture fx;
        const QString novel = fx.addNovel(QStringLiteral("坏.mdb"), longNovel(20, 3000));
        NovelSnapshot good(novel);
        QCOMPARE(good.take(m_now.addDays(-1)), Result::Kept);
        good.close();
        const QMap<QString, QByteArray> before = dirSnapshot(good.folder());

        if (damage == QLatin1String("page")) {
            // The chapters' pages, in the middle of the file.
            QFile f(novel);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(f.size() / 2 / 16384 * 16384));
            f.write(QByteArray(16384, '\xA5'));
        } else if (damage == QLatin1String("junk")) {
            fx.writeFile(novel, QByteArray(65536, 'x'));
        } else if (damage == QLatin1String("empty")) {
            fx.writeFile(novel, QByteArray());
        } else {
            QFile::remove(novel);
            sqlColumn(novel, QStringLiteral("CREATE TABLE t (x)"));
        }

        NovelSnapshot snapshot(novel);
        const Result result = snapshot.take(m_now);
        QVERIFY2(result == Result::Damaged || result == Result::Unreadable, qPrintable(snapshot.lastError()));
        QCOMPARE(dirSnapshot(snapshot.folder()), before);
    }

    void aFileThatDoesNotOpenAsANovelIsNeverCopied_data()
    {
        QTest::addColumn<QStringList>("change");
        QTest::newRow("信息 a view") << QStringList{"DROP TABLE 信息", "CREATE VIEW 信息 AS SELECT 1 AS 书名"};
        QTest::newRow("小说 a virtual table")
            << QStringList{"DROP TABLE 小说", "CREATE VIRTUAL TABLE 小说 USING fts4(章节名称, 章节内容)"};
        QTest::newRow("分卷 missing") << QStringList{"DROP TABLE 分卷"};
    }

    void aFileThatDoesNotOpenAsANovelIsNeverCopied()
    {
        QFETCH(QStringList, change);
        ProgramFixture fx;
        const QString novel = fx.addNovel(QStringLiteral("非书.mdb"), longNovel(4, 3000));
        for (const QString &sql : std::as_const(change))
            sqlColumn(novel, sql);
        NovelSnapshot snapshot(novel);
        QCOMPARE(snapshot.take(m_now), Result::Damaged);
        QVERIFY(!QFileInfo::exists(fx.dataDir() + QStringLiteral("/.备份")));
    }

    void theLogStaysShortWhileSnapshotsReadAndTheWriterStores()
    {
        ProgramFixture fx;
        QString text = bigText(2000000, 0x4E00);
        OpenChapter chapter(fx, text);
        const QString log = chapter.path + QStringLiteral("-wal");
        ChapterWriter writer(chapter.path, chapter.id);
        text += QChar(0x5B57);
        writer.submit(text);
        QVERIFY(writer.flush());
        // What one store of the chapter adds to the log.
        const qint64 oneStore = QFileInfo(log).size();
        QVERIFY(oneStore > 0);

        // Snapshots read the novel one after another, each holding the log
        // for as long as its copy takes, while stores follow one another
        // without a pause, well past 64 MiB of log.
        QTemporaryDir folders;
        std::atomic_bool storing{true};
        std::unique_ptr<QThread> taker(QThread::create([&] {
            for (int i = 0; storing; ++i) {
                const QString folder = folders.filePath(QString::number(i));
                NovelSnapshot(chapter.path, folder).take(QDateTime::currentDateTime());
                QDir(folder).removeRecursively();
            }
        }));
        taker->start();
        qint64 longest = 0;
        for (qint64 stored = 0; stored < 2 * kLogLimit; stored += oneStore) {
            text += QChar(0x5B57);
            writer.submit(text);
            QVERIFY(writer.flush());
            longest = std::max(longest, QFileInfo(log).size());
        }
        storing = false;
        QVERIFY(taker->wait(60000));
        QVERIFY2(longest <= kLogLimit + oneStore + 64 * 1024,
                 qPrintable(QStringLiteral("%1 bytes of log, one store %2").arg(longest).arg(oneStore)));
        QCOMPARE(chapter.storedText(), text);
    }

    void aSnapshotIsConsistentWhileTheEditorStoresKeystrokes_data()
    {
        QTest::addColumn<bool>("writtenAhead");
        QTest::newRow("written ahead through a log") << true;
        QTest::newRow("with a rollback journal") << false;
    }

    void aSnapshotIsConsistentWhileTheEditorStoresKeystrokes()
    {
        QFETCH(bool, writtenAhead);
        ProgramFixture fx;
        const NovelSpec recipe = longNovel(8, 4000);
        OpenChapter chapter(fx, recipe, 5);
        if (!writtenAhead) {
            chapter.Data1.close();
            QCOMPARE(sqlColumn(chapter.path, QStringLiteral("PRAGMA journal_mode=DELETE")), QVariantList{"delete"});
            chapter.Data1.setRecordSource(QStringLiteral("小说"));
            QVERIFY(chapter.Data1.Refresh() && chapter.Data1.Move(5));
        }
        const QStringList original = chapterTexts(chapter.path);
        frm_edit *editor = openInEditor(fx.ctx, chapter);
        QVERIFY(editor);
        editor->Text1->moveCursor(QTextCursor::End);

        // Snapshots taken one after another on another thread while the
        // writer types: each one is a copy of its own.
        QTemporaryDir folders;
        std::atomic_bool typing{true};
        QStringList kept;
        QList<Result> outcomes;
        std::unique_ptr<QThread> taker(QThread::create([&] {
            for (int i = 0; typing || i == 0; ++i) {
                NovelSnapshot snapshot(chapter.path, folders.filePath(QString::number(i)));
                outcomes << snapshot.take(QDateTime::currentDateTime());
                if (outcomes.last() == Result::Kept)
                    kept << snapshot.keptPath();
            }
        }));
        taker->start();
        const QString typed = bigText(60, 0x6C34);
        typeText(editor->Text1, typed);
        typing = false;
        QVERIFY(taker->wait(30000));

        // The writer was never held up: every keystroke was stored.
        QCOMPARE(fx.prompts.calls.size(), 0);
        const QString start = original[5];
        QCOMPARE(chapter.storedText(), start + typed);
        QVERIFY2(!kept.isEmpty(), qPrintable(QString::number(outcomes.size())));
        int midway = 0;
        for (const QString &path : std::as_const(kept)) {
            QCOMPARE(quickCheck(path), QStringLiteral("ok"));
            QStringList texts = chapterTexts(path);
            QCOMPARE(texts.size(), original.size());
            // The typed chapter as it stood after some keystroke, whole.
            const QString text = texts[5];
            QVERIFY(text.startsWith(start));
            QCOMPARE(text, start + typed.left(text.size() - start.size()));
            midway += text.size() > start.size() && text.size() < start.size() + typed.size();
            texts[5] = start;
            QCOMPARE(texts, original);
        }
        if (writtenAhead)
            QVERIFY2(midway > 0, "no snapshot was taken while the writer typed");
        for (Result r : std::as_const(outcomes))
            QVERIFY(r == Result::Kept || (!writtenAhead && r == Result::Busy));
        deleteEditors();
    }

    void theManagerTakesOneWhenShownAndOneOnCloseAfterAStore()
    {
        ProgramFixture fx;
        SnapshotKeeper keeper;
        QSignalSpy spy(&keeper, &SnapshotKeeper::finished);
        QString novel;
        frm_write *w = openWatched(fx, keeper, {}, &novel);
        const QString folder = snapshotFolder(novel);
        QVERIFY(keeper.waitUntilIdle(10000));
        QTRY_COMPARE(results(spy), QList<int>{int(Result::Kept)});
        QCOMPARE(spy.first().at(0).toString(), novel);
        QCOMPARE(snapshotsIn(folder).size(), 1);

        // Closed without a store: nothing more.
        w->close();
        QVERIFY(keeper.waitUntilIdle(10000));
        QTRY_COMPARE(results(spy), (QList<int>{int(Result::Kept), int(Result::Unchanged)}));
        QCOMPARE(snapshotsIn(folder).size(), 1);
        // The library is what comes back, as ever.
        QCOMPARE(fx.nav.shown, QStringList{"frm_dl"});

        // As if that snapshot were two hours old: the next one is due.
        const QString old = snapshotFileName(QDateTime::currentDateTime().addSecs(-2 * 3600));
        QVERIFY(
            QFile::rename(folder + QLatin1Char('/') + snapshotsIn(folder).first(), folder + QLatin1Char('/') + old));
        spy.clear();
        fx.ctx.currentNovelPath = novel;
        w = new frm_write(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(keeper.waitUntilIdle(10000));
        // The same state as two hours ago: not kept again.
        QTRY_COMPARE(results(spy), QList<int>{int(Result::SameAsPrevious)});
        fx.prompts.inputs = {QStringLiteral("第二卷")};
        w->xinjianfenjuan_Click();
        QVERIFY(treeNode(w, QStringLiteral("第二卷")));
        w->close();
        QVERIFY(keeper.waitUntilIdle(10000));
        QTRY_COMPARE(results(spy), (QList<int>{int(Result::SameAsPrevious), int(Result::Kept)}));
        const QStringList names = snapshotsIn(folder);
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.first(), old);
        QCOMPARE(sqlColumn(folder + QLatin1Char('/') + names.last(), QStringLiteral("SELECT 分卷 FROM 分卷")),
                 (QVariantList{"第一卷", "第二卷"}));
        QCOMPARE(sqlColumn(folder + QLatin1Char('/') + old, QStringLiteral("SELECT 分卷 FROM 分卷")),
                 QVariantList{"第一卷"});
        // Once the chapter manager and the snapshot have let go, the novel
        // file holds everything by itself.
        QVERIFY(!QFile::exists(novel + QStringLiteral("-wal")));
        QCOMPARE(fx.prompts.messages(), QStringList{"成功添加"});
    }

    void aSnapshotTakenNowIgnoresTheHourAndIsThinnedByTheSameRule()
    {
        ProgramFixture fx;
        const QString novel = fx.addNovel(QStringLiteral("夜航.mdb"), longNovel(2, 100));
        const QString folder = snapshotFolder(novel);
        SnapshotKeeper keeper;
        QSignalSpy spy(&keeper, &SnapshotKeeper::finished);
        QString why;
        // The hour's first, then one more in the same hour once the novel
        // changed.
        QVERIFY(keeper.takeNow(novel, &why));
        sqlColumn(novel, QStringLiteral("UPDATE 小说 SET 章节内容 = '删前' WHERE 编号 = 1"));
        QVERIFY(keeper.takeNow(novel, &why));
        QTRY_COMPARE(results(spy), (QList<int>{int(Result::Kept), int(Result::Kept)}));
        const QStringList names = snapshotsIn(folder);
        QCOMPARE(names.size(), 2);
        QCOMPARE(chapterTexts(folder + QLatin1Char('/') + names.last()).value(0), QStringLiteral("删前"));

        // Within one hour: the hour's first and the newest three stay.
        NovelSnapshot snapshot(novel, fx.path(QStringLiteral("thinned")));
        for (int minute = 0; minute < 6; ++minute) {
            sqlColumn(novel, QStringLiteral("UPDATE 小说 SET 章节内容 = '%1' WHERE 编号 = 2").arg(minute));
            QCOMPARE(snapshot.take(m_now.addSecs(minute * 60), nullptr, NovelSnapshot::When::Now), Result::Kept);
        }
        QCOMPARE(snapshotsIn(snapshot.folder()), (QStringList{"2024-05-20 120000.mdb", "2024-05-20 120300.mdb",
                                                              "2024-05-20 120400.mdb", "2024-05-20 120500.mdb"}));

        // Where no snapshot can be written, it says why, and nothing waits.
        QVERIFY(QDir(folder).removeRecursively());
        fx.writeFile(folder, "not a folder");
        why.clear();
        QVERIFY(!keeper.takeNow(novel, &why));
        QVERIFY2(!why.isEmpty(), "no reason given");
        QCOMPARE(readAll(folder), QByteArray("not a folder"));
    }

    void aSnapshotOpensAsANovelWhenCopiedBackAndOutlivesItsNovel()
    {
        ProgramFixture fx;
        fx.installProgramFiles();
        SnapshotKeeper keeper;
        NovelSpec recipe = longNovel(2, 100);
        recipe.title = QStringLiteral("夜航船");
        QString novel;
        frm_write *w = openWatched(fx, keeper, recipe, &novel);
        QVERIFY(keeper.waitUntilIdle(10000));
        w->close();
        QVERIFY(keeper.waitUntilIdle(10000));
        const QString folder = snapshotFolder(novel);
        QCOMPARE(snapshotsIn(folder).size(), 1);
        const QStringList texts = chapterTexts(novel);

        // The writer's way back to a chapter: copy the snapshot into the data
        // directory under another name.
        const QString restored = fx.dataDir() + QStringLiteral("/夜航船-恢复.mdb");
        QVERIFY(QFile::copy(folder + QLatin1Char('/') + snapshotsIn(folder).first(), restored));
        fx.ctx.snapshots = nullptr;
        {
            frm_dl library(fx.ctx);
            QStringList files;
            for (const NovelEntry &e : std::as_const(library.Novels))
                files << QFileInfo(e.FilePath).fileName();
            QCOMPARE(files, (QStringList{"夜航船-恢复.mdb", "小说.mdb"}));
            QCOMPARE(library.ListView1->item(0)->text(), QStringLiteral("夜航船"));

            // Deleting the novel leaves its snapshots: they are its last copy.
            const QMap<QString, QByteArray> kept = dirSnapshot(folder);
            library.ListView1->setCurrentRow(1);
            fx.prompts.yesNo = {MsgYes};
            library.delete_Click();
            QVERIFY(!QFile::exists(novel));
            QCOMPARE(dirSnapshot(folder), kept);
        }
        fx.ctx.currentNovelPath = restored;
        std::unique_ptr<frm_write> reopened(new frm_write(fx.ctx));
        reopened->setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(treeNode(reopened.get(), QStringLiteral("第2章")));
        QCOMPARE(chapterTexts(restored), texts);
        QCOMPARE(fx.prompts.messages(), (QStringList{"你确定要删除选中的小说吗？", "成功删除选中小说！"}));
    }

    void aReadOnlyOrFullSnapshotFolderChangesNothingElse_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only") << true;
        QTest::newRow("full") << false;
    }

    void aReadOnlyOrFullSnapshotFolderChangesNothingElse()
    {
        QFETCH(bool, readOnly);
        ProgramFixture fx;
        const QString novel = fx.addNovel(QStringLiteral("小说.mdb"), longNovel(4, 40000));
        // A good snapshot from two hours ago; the novel has changed since.
        NovelSnapshot earlier(novel);
        QCOMPARE(earlier.take(QDateTime::currentDateTime().addSecs(-2 * 3600)), Result::Kept);
        earlier.close();
        const QString folder = earlier.folder();
        sqlColumn(novel, QStringLiteral("UPDATE 小说 SET 章节内容 = '新' WHERE 编号 = 1"));
        const QByteArray good = readAll(earlier.keptPath());

        QTemporaryDir aside;
        std::unique_ptr<Mount> mount;
        if (readOnly) {
            mount = std::make_unique<Mount>(QStringList{"--bind", "-o", "ro", folder}, folder);
        } else {
            // Room for the snapshot there is, not for another.
            QVERIFY(QFile::rename(earlier.keptPath(), aside.filePath(QStringLiteral("s"))));
            const qint64 room = QFileInfo(aside.filePath(QStringLiteral("s"))).size() + 64 * 1024;
            mount = std::make_unique<Mount>(
                QStringList{"-t", "tmpfs", "-o", QStringLiteral("size=%1").arg(room), "tmpfs"}, folder);
            if (mount->mounted())
                QVERIFY(QFile::copy(aside.filePath(QStringLiteral("s")), earlier.keptPath()));
        }
        if (!mount->mounted())
            QSKIP(qPrintable(QStringLiteral("mounting a file system is not permitted here: ") + mount->why()));
        const QMap<QString, QByteArray> before = dirSnapshot(fx.programDir());

        SnapshotKeeper keeper;
        QSignalSpy spy(&keeper, &SnapshotKeeper::finished);
        fx.ctx.snapshots = &keeper;
        fx.ctx.currentNovelPath = novel;
        auto *w = new frm_write(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(keeper.waitUntilIdle(10000));
        fx.prompts.inputs = {QStringLiteral("第二卷")};
        w->xinjianfenjuan_Click();
        w->close();
        QVERIFY(keeper.waitUntilIdle(10000));
        QTRY_COMPARE(results(spy), (QList<int>{int(Result::Unwritable), int(Result::Unwritable)}));

        // Quiet: no message box but the new volume's own.
        QCOMPARE(fx.prompts.messages(), QStringList{"成功添加"});
        QCOMPARE(messageBoxes(), 0);
        // The good snapshot is as it was, nothing half made lies beside it,
        // and the novel alone changed, by the new volume.
        QCOMPARE(readAll(earlier.keptPath()), good);
        QMap<QString, QByteArray> after = dirSnapshot(fx.programDir());
        QMap<QString, QByteArray> expected = before;
        expected.remove(QStringLiteral("data/小说.mdb"));
        after.remove(QStringLiteral("data/小说.mdb"));
        QCOMPARE(after, expected);
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 分卷 FROM 分卷")), (QVariantList{"第一卷", "第二卷"}));
        QCOMPARE(quickCheck(novel), QStringLiteral("ok"));
    }

    void endingTheProgramDuringASnapshotLeavesNoHalfCopyAndTheNovelWhole()
    {
        ProgramFixture fx;
        QString novel;
        const NovelSpec recipe = longNovel(40, 100000);
        {
            SnapshotKeeper keeper;
            keeper.setExitGrace(0);
            frm_write *w = openWatched(fx, keeper, recipe, &novel);
            // The copy has begun.
            QTRY_VERIFY_WITH_TIMEOUT(
                !othersIn(snapshotFolder(novel)).isEmpty() || !snapshotsIn(snapshotFolder(novel)).isEmpty(), 10000);
            delete w;
        }
        const QString folder = snapshotFolder(novel);
        QCOMPARE(othersIn(folder), QStringList());
        const QStringList names = snapshotsIn(folder);
        QVERIFY(names.size() <= 1);
        for (const QString &n : names)
            QCOMPARE(quickCheck(folder + QLatin1Char('/') + n), QStringLiteral("ok"));
        QVERIFY(!QFile::exists(novel + QStringLiteral("-wal")));
        QCOMPARE(quickCheck(novel), QStringLiteral("ok"));
        QCOMPARE(chapterTexts(novel).size(), 40);

        // Cancelled before it began: nothing is made at all.
        std::atomic_bool cancel{true};
        NovelSnapshot snapshot(novel, fx.path(QStringLiteral("elsewhere")));
        QCOMPARE(snapshot.take(QDateTime::currentDateTime(), &cancel), Result::Cancelled);
        QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("elsewhere"))));
    }
};

YZ_TEST_MAIN(SnapshotTest)
#include "tst_snapshots.moc"
