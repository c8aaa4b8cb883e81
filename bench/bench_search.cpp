// 全书查找替换 on a book of 2,000 chapters and 5,000,000 characters in which
// a name stands 10,000 times: the search as the window runs it (the first
// screenful listed, then every hit) and its peak memory against the book's
// text, and 全部替换 of the 10,000 hits with the snapshot before it; each
// beside its floor in the same run.
#include "bench_support.h"

#include "search/book_search_window.h"
#include "search/search_results.h"
#include "store/data_source.h"
#include "store/snapshot.h"
#include "ui/prompts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <malloc.h>

namespace {

constexpr int kVolumes = 20;
constexpr int kChaptersPerVolume = 100;
constexpr int kChapterUnits = 2500;
constexpr int kNamesPerChapter = 5;
const QString kName = QStringLiteral("林远");

// A chapter of kChapterUnits units with the name in kNamesPerChapter places.
QString chapterWithNames()
{
    QString text = benchsupport::chapterText(kChapterUnits - kNamesPerChapter * int(kName.size()));
    for (int i = kNamesPerChapter; i > 0; --i) {
        int at = int(text.size()) * i / (kNamesPerChapter + 1);
        if (text.at(at - 1) == QLatin1Char('\r'))
            ++at; // never inside a line break
        text.insert(at, kName);
    }
    return text;
}

bool makeBook(const QString &path)
{
    QFile::remove(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    bool ok = benchsupport::exec(db, benchsupport::readResource("schema.sql")) && benchsupport::exec(db, "BEGIN") &&
              benchsupport::exec(db, "INSERT INTO 信息 VALUES ('长篇', '作者', '角色', '说明', '大纲', x'00')");
    const QString text = chapterWithNames();
    sqlite3_stmt *st = nullptr;
    for (int v = 0; ok && v < kVolumes; ++v) {
        const QString volume = QStringLiteral("第%1卷").arg(v + 1);
        ok = benchsupport::exec(db, QStringLiteral("INSERT INTO 分卷 VALUES ('%1')").arg(volume).toStdString());
        ok = ok &&
             sqlite3_prepare_v2(db, "INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注) VALUES (?, ?, ?, '')",
                                -1, &st, nullptr) == SQLITE_OK;
        for (int c = 0; ok && c < kChaptersPerVolume; ++c) {
            const QString title = QStringLiteral("第%1章").arg(v * kChaptersPerVolume + c + 1);
            sqlite3_bind_text16(st, 1, volume.utf16(), int(volume.size() * 2), SQLITE_TRANSIENT);
            sqlite3_bind_text16(st, 2, title.utf16(), int(title.size() * 2), SQLITE_TRANSIENT);
            sqlite3_bind_text16(st, 3, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
            ok = sqlite3_step(st) == SQLITE_DONE;
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    ok = ok && benchsupport::exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

struct Book
{
    QTemporaryDir dir;
    QString path;
    benchsupport::NoPrompts prompts;
    benchsupport::NoNavigator nav;
    AppContext ctx;

    Book()
    {
        path = dir.filePath(QStringLiteral("长篇.mdb"));
        ctx.programDir = dir.path();
        ctx.prompts = &prompts;
        ctx.nav = &nav;
        if (!makeBook(path))
            std::fprintf(stderr, "could not make the book\n");
    }
};

Book &sharedBook()
{
    static Book book;
    return book;
}

// The least a search does: every chapter's text in one query, each looked
// through with QString::indexOf.
int floorSearch(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT 章节内容 FROM 小说", -1, &st, nullptr);
    int hits = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString text(static_cast<const QChar *>(sqlite3_column_text16(st, 0)), sqlite3_column_bytes16(st, 0) / 2);
        for (qsizetype at = text.indexOf(kName); at >= 0; at = text.indexOf(kName, at + kName.size()))
            ++hits;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return hits;
}

// The least a replacement does: every text read in one query, the name
// replaced with QString::replace, every text written back in one transaction.
void floorReplace(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    benchsupport::exec(db, "PRAGMA synchronous=FULL");
    benchsupport::exec(db, "BEGIN IMMEDIATE");
    sqlite3_stmt *read = nullptr;
    sqlite3_stmt *write = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, 章节内容 FROM 小说", -1, &read, nullptr);
    sqlite3_prepare_v2(db, "UPDATE 小说 SET 章节内容 = ? WHERE rowid = ?", -1, &write, nullptr);
    std::vector<std::pair<qint64, QString>> texts;
    while (sqlite3_step(read) == SQLITE_ROW) {
        QString text(static_cast<const QChar *>(sqlite3_column_text16(read, 1)), sqlite3_column_bytes16(read, 1) / 2);
        texts.emplace_back(sqlite3_column_int64(read, 0), text.replace(kName, QStringLiteral("林沅")));
    }
    sqlite3_finalize(read);
    for (const auto &[rowid, text] : texts) {
        sqlite3_bind_text16(write, 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
        sqlite3_bind_int64(write, 2, rowid);
        sqlite3_step(write);
        sqlite3_reset(write);
    }
    sqlite3_finalize(write);
    benchsupport::exec(db, "COMMIT");
    sqlite3_close(db);
}

struct Searched
{
    double first = 0; // the first screenful listed
    double all = 0;   // every hit listed and laid out
    int hits = 0;
};

// Searches as the window does, from the press of 查找 until the list holds
// every hit and the view has laid it out.
Searched searchInWindow(BookSearchWindow &w)
{
    Searched out;
    QElapsedTimer clock;
    SearchResults *m = w.resultModel();
    const auto watch = QObject::connect(m, &SearchResults::checkedCountChanged, [&] {
        if (out.first == 0 && m->hitCount() >= 40)
            out.first = clock.nsecsElapsed() / 1e9;
    });
    clock.start();
    w.startSearch();
    while (w.isSearching())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
    w.results->viewport()->repaint();
    out.all = clock.nsecsElapsed() / 1e9;
    out.hits = m->hitCount();
    QObject::disconnect(watch);
    return out;
}

void BM_SearchBook(benchmark::State &state)
{
    Book &book = sharedBook();
    DataSource data;
    data.setDatabaseName(book.path);
    QWidget manager;
    BookSearchWindow w(book.ctx, data, &manager, {});
    w.show();
    w.findText->setText(kName);
    searchInWindow(w); // once to warm the file cache, as a book being written is

    double first = 0, all = 0, floor = 0, peak = 0, resident = 0;
    int hits = 0;
    bool peakReset = true;
    for (auto _ : state) {
        // What the last search left is let go of and handed back to the
        // system first, so that the peak counts what this search needs
        // rather than memory the allocator kept from the one before.
        w.resultModel()->clear();
        malloc_trim(0);
        resident = benchsupport::residentMb("VmRSS:");
        peakReset = benchsupport::resetPeak() && peakReset;
        const Searched s = searchInWindow(w);
        peak = std::max(peak, benchsupport::residentMb("VmHWM:") - resident);
        first += s.first;
        all += s.all;
        hits = s.hits;
        floor += benchsupport::seconds([&] { benchmark::DoNotOptimize(floorSearch(book.path)); });
    }
    benchsupport::report(state, all, floor);
    const double n = double(state.iterations());
    state.counters["first_ms"] = first / n * 1e3;
    state.counters["hits"] = hits;
    // The book's text as the program holds it: two bytes a unit.
    const double bookMb = double(kVolumes) * kChaptersPerVolume * kChapterUnits * 2 / (1024 * 1024);
    state.counters["peak_mb"] = peakReset ? peak : -1;
    state.counters["peak_to_book"] = peakReset ? peak / bookMb : -1;
}
BENCHMARK(BM_SearchBook)->Unit(benchmark::kMillisecond);

void BM_ReplaceAll(benchmark::State &state)
{
    Book &book = sharedBook();
    double replace = 0, floor = 0;
    int replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("副本.mdb"));
        QFile::copy(book.path, copy);
        DataSource data;
        data.setDatabaseName(copy);
        QWidget manager;
        BookSearchWindow w(book.ctx, data, &manager, {});
        w.findText->setText(kName);
        replaced = searchInWindow(w).hits;
        w.replaceText->setText(QStringLiteral("林沅"));
        state.ResumeTiming();

        // With the snapshot the program takes before it writes.
        replace += benchsupport::seconds([&] { w.replaceAll(); });

        state.PauseTiming();
        const QString floorCopy = dir.filePath(QStringLiteral("底线.mdb"));
        QFile::copy(book.path, floorCopy);
        floor += benchsupport::seconds([&] { floorReplace(floorCopy); });
        if (snapshotsOf(copy).isEmpty())
            std::fprintf(stderr, "no snapshot was taken\n");
        state.ResumeTiming();
    }
    benchsupport::report(state, replace, floor);
    state.counters["hits"] = replaced;
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond);

} // namespace

YZ_BENCH_MAIN()
