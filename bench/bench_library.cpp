// Library and store speed: loading the library, the memory and time a library
// of large covers takes, walking the chapter table.
#include "bench_support.h"

#include "app/app_context.h"
#include "library/cover_shelf.h"
#include "library/frm_dl.h"
#include "store/data_source.h"
#include "ui/prompts.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace benchsupport;

namespace {

// A cover of about 30 KB: a 300 x 375 picture with shading and grain, the
// kind of file an author picks for a cover.
QByteArray cover30k()
{
    QImage image(300, 375, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y,
                           qRgb((x / 2 + rng.bounded(64)) & 255, (y / 2 + rng.bounded(64)) & 255, (x + y) / 3 & 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

// A program directory with 默认.jpg and count novels that share one cover.
struct Library
{
    QTemporaryDir dir;
    int novels = 0;
    qint64 coverBytes = 0;
    Library(int count, const QByteArray &cover) : novels(count), coverBytes(cover.size())
    {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QFile::copy(QStringLiteral(YZ_RESOURCES_DIR "/默认.jpg"), dir.filePath(QStringLiteral("默认.jpg")));
        for (int i = 0; i < count; ++i)
            makeNovel(dir.path() + QStringLiteral("/data/小说%1.mdb").arg(i, 3, 10, QLatin1Char('0')),
                      QStringLiteral("小说%1").arg(i), 1, 1, 100, cover);
    }
};

// The least work that lists the novels: open each file, read its title.
size_t floorReadTitles(const QString &dataDir)
{
    size_t bytes = 0;
    const QStringList names = QDir(dataDir).entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2((dataDir + QLatin1Char('/') + name).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT 书名 FROM 信息 ORDER BY rowid LIMIT 1", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            bytes += size_t(sqlite3_column_bytes16(st, 0));
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    return bytes;
}

void BM_Loadnovels(benchmark::State &state)
{
    static Library library(200, cover30k());
    state.counters["cover_kb"] = library.coverBytes / 1024.0;
    benchsupport::NoPrompts prompts;
    AppContext ctx;
    ctx.programDir = library.dir.path();
    ctx.prompts = &prompts;
    frm_dl window(ctx);
    double subject = 0, floor = 0;
    for (auto _ : state) {
        // Loading, and the first paint of the list, with the default cover in
        // every entry: what the user waits for before seeing the library.
        subject += seconds([&] {
            window.Loadnovels();
            benchmark::DoNotOptimize(window.ListView1->viewport()->grab());
        });
        floor +=
            seconds([&] { benchmark::DoNotOptimize(floorReadTitles(library.dir.path() + QStringLiteral("/data"))); });
    }
    if (window.ListView1 && window.Novels.size() != library.novels)
        state.SkipWithError("not every novel was listed");
    report(state, subject, floor);
}
BENCHMARK(BM_Loadnovels)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cover of about 20 MB: a 5000 x 5000 picture of shading and grain saved
// at quality 95, the size of a photograph straight from a camera.
QByteArray cover20m()
{
    QImage image(5000, 5000, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const quint32 grain = rng.generate();
            line[x] = qRgb((x / 20 + (grain & 0x3f)) & 255, (y / 20 + (grain >> 8 & 0x3f)) & 255,
                           ((x + y) / 40 + (grain >> 16 & 0x1f)) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

struct Shown
{
    double ready = 0;  // window made and shown, list filled, first paint done
    double covers = 0; // and then the covers in view read, decoded and painted
    int held = 0;      // covers read
};

// Opens the library as the program does and waits until the covers in view
// are painted.
Shown openLibrary(AppContext &ctx)
{
    Shown t;
    const auto t0 = std::chrono::steady_clock::now();
    frm_dl window(ctx);
    window.show();
    benchmark::DoNotOptimize(window.ListView1->viewport()->grab());
    const auto t1 = std::chrono::steady_clock::now();
    CoverShelf *shelf = window.findChild<CoverShelf *>();
    while (shelf->busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    benchmark::DoNotOptimize(window.ListView1->viewport()->grab());
    const auto t2 = std::chrono::steady_clock::now();
    t.ready = std::chrono::duration<double>(t1 - t0).count();
    t.covers = std::chrono::duration<double>(t2 - t0).count();
    t.held = shelf->heldCount();
    return t;
}

// The least work that gives count covers at the list's size: read the cover
// of a novel whole through the SQLite C interface and decode it, count times.
void floorDecodeCovers(const QString &novel, int count)
{
    for (int i = 0; i < count; ++i) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(novel.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT 封面 FROM 信息 ORDER BY rowid LIMIT 1", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) {
            QByteArray bytes = QByteArray::fromRawData(static_cast<const char *>(sqlite3_column_blob(st, 0)),
                                                       sqlite3_column_bytes(st, 0));
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            reader.setScaledSize(reader.size().scaled(QSize(120, 150), Qt::KeepAspectRatio));
            benchmark::DoNotOptimize(reader.read());
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
}

void BM_LibraryLargeCovers(benchmark::State &state)
{
    static Library large(30, cover20m());
    static Library small(30, cover30k());
    benchsupport::NoPrompts prompts;
    AppContext largeCtx, smallCtx;
    largeCtx.programDir = large.dir.path();
    smallCtx.programDir = small.dir.path();
    largeCtx.prompts = smallCtx.prompts = &prompts;
    const QString largeData = large.dir.path() + QStringLiteral("/data");
    openLibrary(smallCtx); // fonts, styles and plugins, loaded once for good
    double largeReady = 0, largeCovers = 0, smallReady = 0, smallCovers = 0, floor = 0, coversFloor = 0;
    double peak = 0, resident = 0, held = 0;
    bool peakReset = true;
    for (auto _ : state) {
        peakReset = benchsupport::resetPeak() && peakReset;
        const Shown l = openLibrary(largeCtx);
        peak = std::max(peak, benchsupport::residentMb("VmHWM:"));
        resident = std::max(resident, benchsupport::residentMb("VmRSS:"));
        const Shown s = openLibrary(smallCtx);
        largeReady += l.ready;
        largeCovers += l.covers;
        smallReady += s.ready;
        smallCovers += s.covers;
        held += l.held;
        floor += seconds([&] { benchmark::DoNotOptimize(floorReadTitles(largeData)); });
        coversFloor += seconds([&] { floorDecodeCovers(largeData + QStringLiteral("/小说000.mdb"), l.held); });
    }
    if (held == 0)
        state.SkipWithError("no cover was shown");
    if (!peakReset)
        state.SkipWithError("the peak of resident memory cannot be reset here");
    // ms, floor_ms and ratio: the list of large covers ready, beside reading
    // the titles.
    report(state, largeReady, floor);
    const double n = double(state.iterations());
    state.counters["cover_mb"] = large.coverBytes / 1048576.0;
    state.counters["small_ms"] = smallReady / n * 1e3;
    state.counters["large_to_small"] = smallReady > 0 ? largeReady / smallReady : 0;
    state.counters["covers_shown"] = held / n;
    state.counters["covers_ms"] = largeCovers / n * 1e3;
    state.counters["covers_floor_ms"] = (floor + coversFloor) / n * 1e3;
    state.counters["small_covers_ms"] = smallCovers / n * 1e3;
    state.counters["peak_mb"] = peak;
    state.counters["rss_mb"] = resident;
}
BENCHMARK(BM_LibraryLargeCovers)->Unit(benchmark::kMillisecond)->UseRealTime();

struct BigNovel
{
    QTemporaryDir dir;
    QString path;
    BigNovel()
    {
        path = dir.path() + QStringLiteral("/big.mdb");
        makeNovel(path, QStringLiteral("长篇"), 50, 100, 10000, QByteArray("x"));
    }
};

void BM_ListChaptersWalk(benchmark::State &state)
{
    static BigNovel novel;
    DataSource ds;
    ds.setDatabaseName(novel.path);
    sqlite3 *db = nullptr;
    sqlite3_open_v2(novel.path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    exec(db, "PRAGMA cache_size=-32768"); // the same page cache as the program's
    double subject = 0, floor = 0;
    qint64 check = 0;
    for (auto _ : state) {
        subject += seconds([&] {
            ds.setRecordSource(QStringLiteral("小说"));
            ds.Refresh();
            ds.MoveFirst();
            ds.MoveLast();
            const int n = ds.RecordCount();
            for (int i = 0; i < n; ++i) {
                ds.MoveFirst();
                ds.Move(i);
                const QString volume = ds.text(QStringLiteral("所属分卷"));
                const qint64 id = ds.value(QStringLiteral("编号")).toLongLong();
                const QString title = ds.text(QStringLiteral("章节名称"));
                check += volume.size() + id + title.size();
            }
        });
        floor += seconds([&] {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, "SELECT 所属分卷, 编号, 章节名称 FROM 小说 ORDER BY 编号", -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW) {
                const QString volume = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_text16(st, 0)));
                const qint64 id = sqlite3_column_int64(st, 1);
                const QString title = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_text16(st, 2)));
                check -= volume.size() + id + title.size();
            }
            sqlite3_finalize(st);
        });
    }
    sqlite3_close(db);
    if (check != 0)
        state.SkipWithError("walk and floor read different records");
    report(state, subject, floor);
}
BENCHMARK(BM_ListChaptersWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

YZ_BENCH_MAIN()
