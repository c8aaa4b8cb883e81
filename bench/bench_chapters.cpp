// The chapter manager on a long novel (5,000 chapters of about 10,000
// characters in 50 volumes): loading the tree, a volume click filling the
// chapter list, deleting one chapter with the tree rebuilt, and opening the
// novel and storing keystrokes while its snapshot is taken.
#include "bench_support.h"

#include "app/app_context.h"
#include "app/snapshot_keeper.h"
#include "chapters/frm_write.h"
#include "store/data_source.h"
#include "store/snapshot.h"
#include "ui/prompts.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kVolumes = 50;
constexpr int kChaptersPerVolume = 100;
constexpr int kChapterChars = 10000;

// Says Yes to every question and shows nothing.
class YesPrompts : public Prompts
{
public:
    MsgResult message(QWidget *, const QString &, int style, const QString &) override
    {
        return (style & 7) == 4 ? MsgYes : MsgOk;
    }
    QString input(QWidget *, const QString &, const QString &) override { return {}; }
    QString openFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &) override { return {}; }
};

struct Novel
{
    QTemporaryDir dir;
    YesPrompts prompts;
    benchsupport::NoNavigator nav;
    AppContext ctx;

    explicit Novel(const QString &name)
    {
        ctx.programDir = dir.path();
        ctx.prompts = &prompts;
        ctx.nav = &nav;
        ctx.currentNovelPath = dir.filePath(name);
        if (!benchsupport::makeNovel(ctx.currentNovelPath, QStringLiteral("长篇"), kVolumes, kChaptersPerVolume,
                                     kChapterChars, QByteArray(1000, 'c')))
            std::fprintf(stderr, "could not make the novel\n");
    }
};

Novel &sharedNovel()
{
    static Novel novel(QStringLiteral("长篇.mdb"));
    return novel;
}

sqlite3 *openFile(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    benchsupport::exec(db, "PRAGMA synchronous=FULL");
    return db;
}

// The least a tree needs: one query reading every volume name and every
// chapter's id, volume and title.
void readTreeRows(const QString &path)
{
    sqlite3 *db = openFile(path);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT 分卷, NULL, NULL FROM 分卷 UNION ALL SELECT 所属分卷, 编号, 章节名称 FROM 小说", -1,
                       &st, nullptr);
    qint64 sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        sum += sqlite3_column_bytes16(st, 0) + sqlite3_column_int64(st, 1);
        sqlite3_column_text16(st, 2);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    benchmark::DoNotOptimize(sum);
}

void BM_LoadChapters(benchmark::State &state)
{
    Novel &novel = sharedNovel();
    frm_write w(novel.ctx);
    w.show();
    QCoreApplication::processEvents();
    double subject = 0, floor = 0;
    for (auto _ : state) {
        w.Data1.close(); // the file is opened again, as on a fresh load
        subject += benchsupport::seconds([&] {
            w.LoadChapters();
            QCoreApplication::processEvents(); // the tree laid out and painted
        });
        floor += benchsupport::seconds([&] { readTreeRows(novel.ctx.currentNovelPath); });
    }
    if (w.TreeView1->topLevelItemCount() != kVolumes ||
        w.TreeView1->topLevelItem(kVolumes - 1)->childCount() != kChaptersPerVolume)
        state.SkipWithError("the tree is incomplete");
    benchsupport::report(state, subject, floor);
}
BENCHMARK(BM_LoadChapters)->Unit(benchmark::kMillisecond);

void BM_VolumeClick(benchmark::State &state)
{
    Novel &novel = sharedNovel();
    frm_write w(novel.ctx);
    w.show();
    w.TreeView1->setCurrentItem(w.TreeView1->topLevelItem(kVolumes / 2));
    QCoreApplication::processEvents();
    double subject = 0, floor = 0;
    for (auto _ : state) {
        subject += benchsupport::seconds([&] {
            w.TreeView1_Click();
            QCoreApplication::processEvents();
        });
        floor += benchsupport::seconds([&] { readTreeRows(novel.ctx.currentNovelPath); });
    }
    if (w.ListView1->topLevelItemCount() != kChaptersPerVolume ||
        w.ListView1->topLevelItem(0)->text(2) != QString::number(kChapterChars))
        state.SkipWithError("the list is wrong");
    benchsupport::report(state, subject, floor);
}
BENCHMARK(BM_VolumeClick)->Unit(benchmark::kMillisecond);

void BM_DeleteChapter(benchmark::State &state)
{
    Novel novel(QStringLiteral("删除.mdb"));
    frm_write w(novel.ctx);
    w.show();
    QCoreApplication::processEvents();
    sqlite3 *other = openFile(novel.ctx.currentNovelPath);
    sqlite3_stmt *del = nullptr;
    sqlite3_prepare_v2(other, "DELETE FROM 小说 WHERE 编号 = ?", -1, &del, nullptr);
    qint64 floorId = kVolumes * kChaptersPerVolume;
    int volume = 0;
    double subject = 0, floor = 0;
    for (auto _ : state) {
        // Choose a chapter as a press on its row does.
        if (w.ListView1->topLevelItemCount() == 0) {
            w.TreeView1->setCurrentItem(w.TreeView1->topLevelItem(volume++));
            w.TreeView1_Click();
        }
        w.ListView1->setCurrentItem(w.ListView1->topLevelItem(0));
        w.ListView1_MouseDown(Qt::LeftButton, QPoint());
        const int before = w.Data1.RecordCount();
        subject += benchsupport::seconds([&] {
            w.shanchu_Click();
            QCoreApplication::processEvents();
        });
        floor += benchsupport::seconds([&] {
            sqlite3_bind_int64(del, 1, floorId--);
            sqlite3_step(del);
            sqlite3_reset(del);
            readTreeRows(novel.ctx.currentNovelPath);
        });
        if (w.Data1.RecordCount() != before - 1) {
            state.SkipWithError("no chapter was deleted");
            break;
        }
    }
    sqlite3_finalize(del);
    sqlite3_close(other);
    benchsupport::report(state, subject, floor);
}
BENCHMARK(BM_DeleteChapter)->Unit(benchmark::kMillisecond)->Iterations(40);

// Opening the novel as the library does: the window made (its tree loaded),
// shown and painted. The subject has the snapshot keeper watching, so the
// snapshot starts as the window shows; the floor is the same opening without
// snapshots. The snapshot folder is emptied before each pair of openings, so
// that every subject copies the whole novel, and each copy is done before
// the next opening is timed.
void BM_OpenWithSnapshot(benchmark::State &state)
{
    Novel &novel = sharedNovel();
    const QString folder = snapshotFolder(novel.ctx.currentNovelPath);
    SnapshotKeeper keeper;
    int kept = 0;
    QObject::connect(&keeper, &SnapshotKeeper::finished,
                     [&](const QString &, int result) { kept += result == int(NovelSnapshot::Result::Kept); });
    const auto open = [&](SnapshotKeeper *snapshots) {
        novel.ctx.snapshots = snapshots;
        std::unique_ptr<frm_write> w;
        const double t = benchsupport::seconds([&] {
            w.reset(new frm_write(novel.ctx));
            w->setAttribute(Qt::WA_DeleteOnClose, false);
            w->show();
            QCoreApplication::processEvents();
        });
        w->close();
        return t;
    };
    double subject = 0, floor = 0;
    bool floorFirst = true;
    for (auto _ : state) {
        QDir(folder).removeRecursively();
        // Turn about, so that neither finds the file's pages warmer.
        if (floorFirst)
            floor += open(nullptr);
        subject += open(&keeper);
        if (!keeper.waitUntilIdle(600000)) {
            state.SkipWithError("the snapshot did not end");
            break;
        }
        QCoreApplication::processEvents();
        if (!floorFirst)
            floor += open(nullptr);
        floorFirst = !floorFirst;
    }
    novel.ctx.snapshots = nullptr;
    QDir(folder).removeRecursively();
    if (kept != int(state.iterations()))
        state.SkipWithError("a snapshot was not kept");
    benchsupport::report(state, subject, floor);
}
BENCHMARK(BM_OpenWithSnapshot)->Unit(benchmark::kMillisecond);

// One keystroke's store (the whole 10,000-character chapter, as the editor
// stores it) while the novel's snapshot is being copied, and the same number
// of stores after it, against as many stores with no snapshot. The stores
// after the copy count for the snapshot: log pages that could not be folded
// back into the file while the copy read it are folded back then. Besides
// the means: the 99th percentile and the slowest store of each kind, since
// one held-up keystroke is what a writer would feel.
void BM_KeystrokeDuringSnapshot(benchmark::State &state)
{
    Novel &novel = sharedNovel();
    const QString path = novel.ctx.currentNovelPath;
    const QString folder = snapshotFolder(path);
    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("小说"));
    if (!data.Refresh() || !data.Move(kVolumes * kChaptersPerVolume / 2)) {
        state.SkipWithError("no chapter to store into");
        return;
    }
    QString text = data.text(QStringLiteral("章节内容"));
    std::vector<double> subjectTimes, floorTimes;
    const auto store = [&](std::vector<double> &times) {
        // A keystroke that keeps the length, so that the other benchmarks
        // find every chapter as it was made.
        std::rotate(text.begin(), text.begin() + 1, text.end());
        const double t = benchsupport::seconds([&] {
            data.Edit();
            data.setValue(QStringLiteral("章节内容"), text);
            if (!data.Update())
                std::fprintf(stderr, "store failed: %s\n", qPrintable(data.lastError()));
        });
        times.push_back(t);
        return t;
    };
    // Both kinds start from a file with nothing in its log.
    const auto foldLog = [&] {
        sqlite3 *db = openFile(path);
        benchsupport::exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
        sqlite3_close(db);
    };
    double subject = 0, floor = 0;
    qint64 stores = 0;
    for (auto _ : state) {
        QDir(folder).removeRecursively();
        foldLog();
        std::atomic_bool copying{true};
        NovelSnapshot::Result result = NovelSnapshot::Result::Cancelled;
        std::unique_ptr<QThread> taker(QThread::create([&] {
            NovelSnapshot snapshot(path);
            result = snapshot.take(QDateTime::currentDateTime());
            copying = false;
        }));
        taker->start();
        int n = 0;
        while (copying || n < 10) {
            subject += store(subjectTimes);
            ++n;
        }
        taker->wait();
        for (int i = 0; i < n; ++i)
            subject += store(subjectTimes);
        if (result != NovelSnapshot::Result::Kept) {
            state.SkipWithError("the snapshot was not kept");
            break;
        }
        foldLog();
        for (int i = 0; i < 2 * n; ++i)
            floor += store(floorTimes);
        stores += 2 * n;
    }
    QDir(folder).removeRecursively();
    const double per = stores > 0 ? 1e3 / double(stores) : 0;
    state.counters["ms"] = subject * per;
    state.counters["floor_ms"] = floor * per;
    state.counters["ratio"] = floor > 0 ? subject / floor : 0;
    const auto p99 = [](std::vector<double> &v) {
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * 99 / 100)] * 1e3;
    };
    state.counters["p99_ms"] = p99(subjectTimes);
    state.counters["floor_p99_ms"] = p99(floorTimes);
    state.counters["max_ms"] = subjectTimes.empty() ? 0 : subjectTimes.back() * 1e3;
    state.counters["floor_max_ms"] = floorTimes.empty() ? 0 : floorTimes.back() * 1e3;
    state.counters["stores"] = double(stores);
}
BENCHMARK(BM_KeystrokeDuringSnapshot)->Unit(benchmark::kMillisecond);

} // namespace

YZ_BENCH_MAIN()
