// Typing into the chapter editor as a writer does: runs of keys at a steady
// pace into chapters of 10,000 to 1,000,000 UTF-16 units. For every key: the
// time until it is painted, and the time until it is in the novel file; for
// the run: the processor time it took. The floor is the same run on a bare
// text box holding the same text, which stores nothing, and, for the time to
// the file, a plain UPDATE of the same text.
#include "bench_support.h"

#include "app/app_context.h"
#include "editor/chapter_openers.h"
#include "editor/chapter_writer.h"
#include "editor/frm_edit.h"
#include "store/data_source.h"
#include "ui/prompts.h"
#include "ui/skin.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMutex>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <sys/resource.h>
#include <vector>

namespace {

int g_keys = 200;
int g_pauseMs = 100;

double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage use{};
    getrusage(who, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Marks that the box's viewport was painted.
class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Sends one key to box and lets the window work until the key is painted;
// returns the seconds from the key to the end of that paint.
double keyToScreen(QPlainTextEdit *box, PaintWatch &watch, const QString &key)
{
    watch.painted = false;
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
    QCoreApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, key);
    QCoreApplication::sendEvent(box, &release);
    while (!watch.painted && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return double(clock.nsecsElapsed()) / 1e9;
}

// Waits the pause between two keys, working the event loop meanwhile.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct RunFigures
{
    std::vector<double> screen;
    std::vector<double> disk;
    double cpu = 0;
    double guiCpu = 0; // of the thread that takes the keys and paints
    int maxBehind = 0;
};

void reportRun(benchmark::State &state, const RunFigures &subject, const RunFigures &floor)
{
    state.counters["screen_median_ms"] = percentile(subject.screen, 0.5) * 1e3;
    state.counters["screen_p95_ms"] = percentile(subject.screen, 0.95) * 1e3;
    state.counters["screen_worst_ms"] = percentile(subject.screen, 1.0) * 1e3;
    state.counters["floor_screen_median_ms"] = percentile(floor.screen, 0.5) * 1e3;
    state.counters["floor_screen_p95_ms"] = percentile(floor.screen, 0.95) * 1e3;
    state.counters["floor_screen_worst_ms"] = percentile(floor.screen, 1.0) * 1e3;
    state.counters["cpu_s"] = subject.cpu;
    state.counters["gui_cpu_s"] = subject.guiCpu;
    state.counters["floor_cpu_s"] = floor.cpu;
    state.counters["disk_median_ms"] = percentile(subject.disk, 0.5) * 1e3;
    state.counters["disk_worst_ms"] = percentile(subject.disk, 1.0) * 1e3;
    state.counters["floor_disk_median_ms"] = percentile(floor.disk, 0.5) * 1e3;
    state.counters["floor_disk_worst_ms"] = percentile(floor.disk, 1.0) * 1e3;
    state.counters["max_writes_behind"] = subject.maxBehind;
}

// A run of keys typed at the end of the chapter in the editor, every key
// timed to the screen and to the file.
RunFigures typeInEditor(int units, int keys)
{
    RunFigures run;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("章节.mdb"));
    benchsupport::makeNovel(path, QStringLiteral("长篇"), 1, 1, 0, QByteArray(1000, 'c'));
    {
        sqlite3 *db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_stmt *st = nullptr;
        const QString text = benchsupport::chapterText(units);
        sqlite3_prepare_v2(db, "UPDATE 小说 SET 章节内容 = ?", -1, &st, nullptr);
        sqlite3_bind_text16(st, 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    benchsupport::NoPrompts prompts;
    benchsupport::NoNavigator nav;
    AppContext ctx;
    ctx.programDir = dir.path();
    ctx.prompts = &prompts;
    ctx.nav = &nav;
    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("小说"));
    data.Refresh();
    QWidget manager;
    frm_edit *editor = openChapterToEdit(ctx, data, &manager);
    editor->activateWindow();
    editor->Text1->setFocus();
    editor->Text1->moveCursor(QTextCursor::End);
    pause(300);
    ChapterWriter *writer = editor->findChild<ChapterWriter *>();
    std::vector<QElapsedTimer> sentAt(size_t(keys) + 1);
    quint64 firstNumber = writer->submitted();
    quint64 doneUpTo = firstNumber;
    // Timed on the writer's thread, the moment the write is committed.
    QMutex diskLock;
    QObject::connect(
        writer, &ChapterWriter::stored, editor,
        [&](quint64 number) {
            QMutexLocker lock(&diskLock);
            for (quint64 n = doneUpTo + 1; n <= number; ++n)
                run.disk.push_back(double(sentAt[size_t(n - firstNumber)].nsecsElapsed()) / 1e9);
            doneUpTo = number;
        },
        Qt::DirectConnection);
    PaintWatch watch;
    editor->Text1->viewport()->installEventFilter(&watch);
    const double cpu0 = cpuSeconds();
    const double gui0 = cpuSeconds(RUSAGE_THREAD);
    for (int k = 1; k <= keys; ++k) {
        sentAt[size_t(k)].start();
        run.screen.push_back(keyToScreen(editor->Text1, watch, QString(QChar(0x4E00 + (k * 31) % 20000))));
        run.maxBehind = std::max(run.maxBehind, int(writer->submitted() - writer->written()));
        pause(g_pauseMs);
    }
    editor->waitUntilStored();
    QCoreApplication::processEvents();
    run.cpu = cpuSeconds() - cpu0;
    run.guiCpu = cpuSeconds(RUSAGE_THREAD) - gui0;
    if (run.disk.size() != size_t(keys))
        std::fprintf(stderr, "only %zu of %d keys reported stored\n", run.disk.size(), keys);
    editor->Text1->viewport()->removeEventFilter(&watch);
    delete editor;
    return run;
}

// The floor: the same run on a bare text box of the same size and font,
// and a plain UPDATE of the whole text, on this thread, after each key.
RunFigures typeInBareBox(int units, int keys)
{
    RunFigures run;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("底线.mdb"));
    benchsupport::makeNovel(path, QStringLiteral("长篇"), 1, 1, 0, QByteArray(1000, 'c'));
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    benchsupport::exec(db, "PRAGMA synchronous=FULL");
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE 小说 SET 章节内容 = ? WHERE rowid = 1", -1, &st, nullptr);

    QPlainTextEdit box;
    box.resize(985, 633);
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(14.25);
    box.setFont(font);
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QString text = benchsupport::chapterText(units);
    box.setPlainText(text);
    box.show();
    box.activateWindow();
    box.setFocus();
    box.moveCursor(QTextCursor::End);
    pause(300);
    PaintWatch watch;
    box.viewport()->installEventFilter(&watch);
    const double cpu0 = cpuSeconds();
    double diskCpu = 0;
    for (int k = 1; k <= keys; ++k) {
        const QString key(QChar(0x4E00 + (k * 31) % 20000));
        run.screen.push_back(keyToScreen(&box, watch, key));
        text += key;
        const double c0 = cpuSeconds();
        run.disk.push_back(benchsupport::seconds([&] {
            sqlite3_bind_text16(st, 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }));
        diskCpu += cpuSeconds() - c0;
        pause(g_pauseMs);
    }
    // The box's own processor time; the store is reported on its own.
    run.cpu = cpuSeconds() - cpu0 - diskCpu;
    box.viewport()->removeEventFilter(&watch);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return run;
}

void BM_TypingRun(benchmark::State &state)
{
    installFontFallbacks();
    const int units = int(state.range(0));
    RunFigures subject, floor;
    for (auto _ : state) {
        subject = typeInEditor(units, g_keys);
        floor = typeInBareBox(units, g_keys);
        state.SetIterationTime(subject.cpu);
    }
    state.counters["keys"] = g_keys;
    reportRun(state, subject, floor);
}
BENCHMARK(BM_TypingRun)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// One paragraph of 1,000,000 characters with no line break: every key lays
// out the whole paragraph again. A few keys, in the editor and in the bare
// box, to the screen.
void BM_OneParagraph(benchmark::State &state)
{
    installFontFallbacks();
    const int keys = std::min(g_keys, 5);
    RunFigures subject, floor;
    for (auto _ : state) {
        subject = typeInEditor(-1000000, keys);
        floor = typeInBareBox(-1000000, keys);
        state.SetIterationTime(subject.cpu);
    }
    state.counters["keys"] = keys;
    reportRun(state, subject, floor);
}
BENCHMARK(BM_OneParagraph)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

// --keys=N and --pause=MS set the run (200 keys, 100 ms apart by default).
int main(int argc, char **argv)
{
    return benchsupport::runBenchmarks(argc, argv, {{"--keys=", &g_keys, 1}, {"--pause=", &g_pauseMs, 0}});
}
