// The chapter editor: one keystroke (counted and the whole text handed to the
// chapter's writer) in chapters of 10,000 to 1,000,000 UTF-16 units, opening a 1,000,000-unit
// chapter, and importing and exporting a 10 MB GBK text file.
#include "bench_support.h"

#include "app/app_context.h"
#include "editor/box_text.h"
#include "editor/chapter_openers.h"
#include "editor/frm_edit.h"
#include "store/ansi_codec.h"
#include "store/data_source.h"
#include "ui/prompts.h"
#include "ui/skin.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <unistd.h>
#include <vector>

namespace {

// Answers every file dialog with the file it is given; shows nothing.
class FilePrompts : public Prompts
{
public:
    MsgResult message(QWidget *, const QString &text, int style, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return (style & 7) == 4 ? MsgYes : MsgOk;
    }
    QString input(QWidget *, const QString &, const QString &) override { return {}; }
    QString openFile(QWidget *, const QString &, const QString &) override { return file; }
    QString saveFile(QWidget *, const QString &, const QString &) override { return file; }
    QString file;
};

bool storeChapter(const QString &path, const QString &text)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(db, "UPDATE 小说 SET 章节内容 = ?", -1, &st, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_bind_text16(st, 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC) == SQLITE_OK;
    ok = ok && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

// A novel of one chapter of the given text, the editor's side of it (the
// chapter manager's data source standing on the chapter), and a second file
// of the same content for the floor.
struct Chapter
{
    QTemporaryDir dir;
    FilePrompts prompts;
    benchsupport::NoNavigator nav;
    AppContext ctx;
    DataSource data;
    QWidget manager;
    QString floorPath;

    explicit Chapter(const QString &text)
    {
        // The program's own font substitutes, so that text is shaped as it is
        // on screen.
        installFontFallbacks();
        ctx.programDir = dir.path();
        ctx.prompts = &prompts;
        ctx.nav = &nav;
        const QString path = dir.filePath(QStringLiteral("章节.mdb"));
        floorPath = dir.filePath(QStringLiteral("底线.mdb"));
        for (const QString &p : {path, floorPath}) {
            if (!benchsupport::makeNovel(p, QStringLiteral("长篇"), 1, 1, 0, QByteArray(1000, 'c')) ||
                !storeChapter(p, text))
                std::fprintf(stderr, "could not make the novel\n");
        }
        data.setDatabaseName(path);
        data.setRecordSource(QStringLiteral("小说"));
        if (!data.Refresh() || !data.MoveFirst())
            std::fprintf(stderr, "could not open the novel\n");
    }
};

// The floor's connection: a plain UPDATE of the chapter's whole text, with
// the durability the program uses.
struct FloorUpdate
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;

    explicit FloorUpdate(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        benchsupport::exec(db, "PRAGMA synchronous=FULL");
        benchsupport::exec(db, "PRAGMA cache_size=-32768");
        sqlite3_prepare_v2(db, "UPDATE 小说 SET 章节内容 = ? WHERE rowid = 1", -1, &st, nullptr);
    }
    ~FloorUpdate()
    {
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    bool store(const QString &text)
    {
        sqlite3_bind_text16(st, 1, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
        const bool ok = sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
        return ok;
    }
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

void reportSpread(benchmark::State &state, const std::vector<double> &subject, const std::vector<double> &floor)
{
    state.counters["median_ms"] = percentile(subject, 0.5) * 1e3;
    state.counters["p99_ms"] = percentile(subject, 0.99) * 1e3;
    state.counters["floor_median_ms"] = percentile(floor, 0.5) * 1e3;
    state.counters["floor_p99_ms"] = percentile(floor, 0.99) * 1e3;
}

void pressKey(QWidget *w, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &release);
}

// Times one change of the chapter text, key is the character typed at the
// end, against the floor: a plain UPDATE of the same text.
template <class Change> void timeChanges(benchmark::State &state, Change change)
{
    const int units = int(state.range(0));
    QString text = benchsupport::chapterText(units);
    Chapter chapter(text);
    frm_edit *editor = openChapterToEdit(chapter.ctx, chapter.data, &chapter.manager);
    editor->Text1->setFocus();
    editor->Text1->moveCursor(QTextCursor::End);
    QCoreApplication::processEvents();
    FloorUpdate floor(chapter.floorPath);
    std::vector<double> subjectTimes, floorTimes;
    double subject = 0, floorTotal = 0;
    int k = 0;
    for (auto _ : state) {
        const QString key(QChar(0x4E00 + (k++ * 31) % 20000));
        const double s = change(editor, key);
        text += key;
        const double f = benchsupport::seconds([&] { floor.store(text); });
        state.SetIterationTime(s);
        subjectTimes.push_back(s);
        floorTimes.push_back(f);
        subject += s;
        floorTotal += f;
        // Let the window lay out and paint between keys, as between real ones.
        QCoreApplication::processEvents();
    }
    if (!editor->waitUntilStored() || chapter.data.textLength(QStringLiteral("章节内容")) != text.size())
        state.SkipWithError("the editor did not store the text");
    benchsupport::report(state, subject, floorTotal);
    reportSpread(state, subjectTimes, floorTimes);
    delete editor;
}

// The text change handler alone: the key is already in the text box; the
// handler counts the text, sets the status and hands the text to the
// chapter's writer, which stores it on its own thread (see bench_typing for
// the time until it is in the file).
void BM_TextChange(benchmark::State &state)
{
    timeChanges(state, [](frm_edit *editor, const QString &key) {
        {
            const QSignalBlocker quiet(editor->Text1);
            editor->Text1->insertPlainText(key);
        }
        return benchsupport::seconds([&] { editor->Text1_Change(); });
    });
}
BENCHMARK(BM_TextChange)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// A whole keystroke: the text box takes the key (inserts it and lays out its
// paragraph), then the change handler runs.
void BM_Keystroke(benchmark::State &state)
{
    timeChanges(state, [](frm_edit *editor, const QString &key) {
        return benchsupport::seconds([&] { pressKey(editor->Text1, key); });
    });
}
BENCHMARK(BM_Keystroke)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// Opening a chapter for editing: the window loads, shows the text, counts it
// and stores it back, as the edit command does.
void BM_OpenChapter(benchmark::State &state)
{
    const QString text = benchsupport::chapterText(int(state.range(0)));
    Chapter chapter(text);
    double subject = 0, floorTotal = 0;
    // The first window of a process reads the font list; that is not the
    // chapter's cost.
    delete openChapterToEdit(chapter.ctx, chapter.data, &chapter.manager);
    for (auto _ : state) {
        frm_edit *editor = nullptr;
        subject += benchsupport::seconds([&] {
            editor = openChapterToEdit(chapter.ctx, chapter.data, &chapter.manager);
            QCoreApplication::processEvents();
        });
        floorTotal += benchsupport::seconds([&] {
            sqlite3 *db = nullptr;
            sqlite3_open_v2(chapter.floorPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, "SELECT 章节内容 FROM 小说", -1, &st, nullptr);
            QString read;
            if (sqlite3_step(st) == SQLITE_ROW)
                read = QString(reinterpret_cast<const QChar *>(sqlite3_column_text16(st, 0)),
                               sqlite3_column_bytes16(st, 0) / 2);
            sqlite3_finalize(st);
            sqlite3_close(db);
            benchmark::DoNotOptimize(read);
        });
        if (editor->panelText(8) != QString::number(text.size()))
            state.SkipWithError("the count is wrong");
        delete editor;
    }
    benchsupport::report(state, subject, floorTotal);
}
BENCHMARK(BM_OpenChapter)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 10 MB GBK file: about five million Chinese characters in paragraphs.
struct GbkFile
{
    QString text = benchsupport::chapterText(5000000);
    QByteArray bytes = ansi::encode(text);
};

GbkFile &gbkFile()
{
    static GbkFile file;
    return file;
}

// Import: the file read, decoded, shown, counted and stored in the chapter.
// Floor: the file read and decoded, and the text stored with a plain UPDATE.
void BM_Import(benchmark::State &state)
{
    const GbkFile &gbk = gbkFile();
    Chapter chapter(QStringLiteral("短"));
    const QString file = chapter.dir.filePath(QStringLiteral("导入.txt"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(gbk.bytes);
    out.close();
    chapter.prompts.file = file;
    frm_edit *editor = openChapterToEdit(chapter.ctx, chapter.data, &chapter.manager);
    FloorUpdate floor(chapter.floorPath);
    double subject = 0, floorTotal = 0;
    for (auto _ : state) {
        editor->Text1->setPlainText(QStringLiteral("短"));
        QCoreApplication::processEvents();
        subject += benchsupport::seconds([&] {
            editor->Command3_Click();
            QCoreApplication::processEvents();
        });
        floorTotal += benchsupport::seconds([&] {
            QFile in(file);
            in.open(QIODevice::ReadOnly);
            floor.store(ansi::decode(in.readAll()));
        });
    }
    if (!editor->waitUntilStored() || editor->panelText(8) != QString::number(gbk.text.size()))
        state.SkipWithError("the import is wrong");
    state.counters["MB"] = double(gbk.bytes.size()) / 1e6;
    benchsupport::report(state, subject, floorTotal);
    delete editor;
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->UseRealTime();

// Export: the text encoded and written whole, synced, and put in place.
// Floor: the same text encoded and written to a file and synced.
void BM_Export(benchmark::State &state)
{
    const GbkFile &gbk = gbkFile();
    Chapter chapter(gbk.text);
    const QString file = chapter.dir.filePath(QStringLiteral("导出.txt"));
    const QString floorFile = chapter.dir.filePath(QStringLiteral("底线.txt"));
    chapter.prompts.file = file;
    frm_edit *editor = openChapterToRead(chapter.ctx, chapter.data, &chapter.manager);
    double subject = 0, floorTotal = 0;
    for (auto _ : state) {
        subject += benchsupport::seconds([&] { editor->Command4_Click(); });
        floorTotal += benchsupport::seconds([&] {
            QFile out(floorFile);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write(ansi::encode(gbk.text));
            out.flush();
            ::fdatasync(out.handle());
        });
    }
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly) || written.readAll() != gbk.bytes)
        state.SkipWithError("the export is wrong");
    state.counters["MB"] = double(gbk.bytes.size()) / 1e6;
    benchsupport::report(state, subject, floorTotal);
    delete editor;
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

YZ_BENCH_MAIN()
