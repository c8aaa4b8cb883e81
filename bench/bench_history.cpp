// A chapter's history read from the snapshots of a long novel: by default
// 100 snapshots of a 200 MB novel, each holding another text of the chapter,
// read as the history window reads them (off its thread, one connection per
// snapshot, the chapter's row alone, each text compared with the next newer
// one), beside the floor: the same rows read through the SQLite C interface
// and nothing else. --novel_mb= and --snapshots= make it smaller; the short
// run with the tests uses a small novel.
#include "bench_support.h"

#include "history/snapshot_scan.h"
#include "store/snapshot.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace {

int g_novelMb = 200;
int g_snapshots = 100;

constexpr int kVolumes = 50;
constexpr int kChapterChars = 20000; // 40 KB of UTF-16 each

bool setText(const QString &path, qint64 id, const QString &text)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    sqlite3_stmt *st = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "UPDATE 小说 SET 章节内容 = ? WHERE 编号 = ?", -1, &st, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_text16(st, 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
        sqlite3_bind_int64(st, 2, id);
        ok = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

// The chapter's text with the first edits characters changed, spread over it.
QString version(const QString &base, int edits)
{
    QString text = base;
    for (int k = 0; k < edits; ++k)
        text[(k * 7919) % text.size()] = QChar(0x9FA0 + k % 5);
    return text;
}

struct History
{
    QTemporaryDir dir;
    QString novel;
    qint64 id = 0;
    QString current;

    History()
    {
        novel = dir.filePath(QStringLiteral("长篇.mdb"));
        const qint64 chapters = qint64(g_novelMb) * 1024 * 1024 / (kChapterChars * 2);
        const int perVolume = int(std::max<qint64>(1, (chapters + kVolumes - 1) / kVolumes));
        if (!benchsupport::makeNovel(novel, QStringLiteral("长篇"), kVolumes, perVolume, kChapterChars,
                                     QByteArray(1000, 'c')))
            std::fprintf(stderr, "could not make the novel\n");
        id = kVolumes * perVolume / 2;
        const QString base = benchsupport::chapterText(kChapterChars);
        // Snapshot i (0 the newest) holds the text of g_snapshots - i edits;
        // the novel itself one more.
        const QString folder = snapshotFolder(novel);
        QDir().mkpath(folder);
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < g_snapshots; ++i) {
            const QString path = folder + QLatin1Char('/') + snapshotFileName(now.addSecs(-3600 * (i + 1)));
            if (!QFile::copy(novel, path) || !setText(path, id, version(base, g_snapshots - i)))
                std::fprintf(stderr, "could not make snapshot %d\n", i);
        }
        current = version(base, g_snapshots + 1);
        setText(novel, id, current);
    }
};

// The rows of the chapter read straight from each snapshot file.
qint64 readRows(const QVector<SnapshotFile> &snapshots, qint64 id)
{
    qint64 units = 0;
    for (const SnapshotFile &s : snapshots) {
        const QByteArray uri = QUrl::fromLocalFile(s.path).toEncoded() + "?mode=ro&immutable=1";
        sqlite3 *db = nullptr;
        sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT 章节内容 FROM 小说 WHERE 编号 = ?", -1, &st, nullptr);
        sqlite3_bind_int64(st, 1, id);
        if (sqlite3_step(st) == SQLITE_ROW) {
            sqlite3_column_text16(st, 0);
            units += sqlite3_column_bytes16(st, 0) / 2;
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    return units;
}

// Made once for every repetition: 100 copies of a 200 MB novel take minutes.
History &sharedHistory()
{
    static History history;
    return history;
}

void BM_ChapterHistory(benchmark::State &state)
{
    History &history = sharedHistory();
    SnapshotScan scan;
    int rows = 0;
    QObject::connect(&scan, &SnapshotScan::historyRows, [&](const QVector<int> &indexes, const QVector<HistoryRow> &) {
        rows = std::max(rows, *std::max_element(indexes.begin(), indexes.end()) + 1);
    });
    double subject = 0, floor = 0;
    for (auto _ : state) {
        rows = 0;
        subject += benchsupport::seconds([&] {
            QEventLoop loop;
            QObject::connect(&scan, &SnapshotScan::finished, &loop, &QEventLoop::quit);
            scan.readHistory(history.novel, history.id, history.current);
            loop.exec();
        });
        floor += benchsupport::seconds([&] {
            // The floor lists the snapshots as the scan does, then reads.
            benchmark::DoNotOptimize(readRows(snapshotsOf(history.novel), history.id));
        });
    }
    if (rows != g_snapshots + 1)
        state.SkipWithError("not every snapshot gave a row");
    state.counters["snapshots"] = g_snapshots;
    state.counters["novel_mb"] = double(QFileInfo(history.novel).size()) / (1024 * 1024);
    benchsupport::report(state, subject, floor);
}
BENCHMARK(BM_ChapterHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runBenchmarks(argc, argv, {{"--novel_mb=", &g_novelMb, 1}, {"--snapshots=", &g_snapshots, 1}});
}
