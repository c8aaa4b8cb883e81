// Library and store speed: loading the library, walking the chapter table.
#include "bench_support.h"

#include "app/app_context.h"
#include "library/frm_dl.h"
#include "store/data_source.h"
#include "ui/prompts.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
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

struct Library
{
    QTemporaryDir dir;
    int novels = 0;
    Library(int count)
    {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        const QByteArray cover = cover30k();
        for (int i = 0; i < count; ++i)
            makeNovel(dir.path() + QStringLiteral("/data/小说%1.mdb").arg(i, 3, 10, QLatin1Char('0')),
                      QStringLiteral("小说%1").arg(i), 1, 1, 100, cover);
        novels = count;
    }
};

class NoPrompts : public Prompts
{
public:
    MsgResult message(QWidget *, const QString &, int, const QString &) override { return MsgOk; }
    QString input(QWidget *, const QString &, const QString &) override { return {}; }
    QString openFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &) override { return {}; }
};

// The least work that shows the same: open each file, read title and cover.
size_t floorReadTitlesAndCovers(const QString &dataDir)
{
    size_t bytes = 0;
    const QStringList names = QDir(dataDir).entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2((dataDir + QLatin1Char('/') + name).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT 书名, 封面 FROM 信息 ORDER BY rowid LIMIT 1", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) {
            bytes += size_t(sqlite3_column_bytes16(st, 0));
            bytes += size_t(sqlite3_column_bytes(st, 1));
            benchmark::DoNotOptimize(sqlite3_column_blob(st, 1));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    return bytes;
}

void BM_Loadnovels(benchmark::State &state)
{
    static Library library(200);
    state.counters["cover_kb"] = cover30k().size() / 1024.0;
    NoPrompts prompts;
    AppContext ctx;
    ctx.programDir = library.dir.path();
    ctx.prompts = &prompts;
    frm_dl window(ctx);
    double subject = 0, floor = 0;
    for (auto _ : state) {
        // Loading, and the first paint of the list, which decodes the covers
        // in view: what the user waits for before seeing the library.
        subject += seconds([&] {
            window.Loadnovels();
            benchmark::DoNotOptimize(window.ListView1->viewport()->grab());
        });
        floor += seconds(
            [&] { benchmark::DoNotOptimize(floorReadTitlesAndCovers(library.dir.path() + QStringLiteral("/data"))); });
    }
    if (window.ListView1 && window.Novels.size() != library.novels)
        state.SkipWithError("not every novel was listed");
    report(state, subject, floor);
}
BENCHMARK(BM_Loadnovels)->Unit(benchmark::kMillisecond)->UseRealTime();

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
