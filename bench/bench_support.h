// Shared pieces of the benchmarks: timing a subject beside its floor in the
// same run, and novel files made quickly with plain SQL.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "app/app_context.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QFile>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include <initializer_list>

namespace benchsupport {

// Opens no window: each benchmark makes the windows it times itself.
class NoNavigator : public Navigator
{
public:
    void showLibrary() override {}
    void showChapterManager() override {}
    void showNewNovel() override {}
    void showNovelInfo() override {}
    void showAbout(QWidget *) override {}
    void showFromManager(ManagerWindow, DataSource &, QWidget *) override {}
    bool raiseOpenedFrom(QWidget *) override { return false; }
};

// Answers every box with No (or OK) and shows nothing; a message says on
// the error output that something went wrong in the benchmark.
class NoPrompts : public Prompts
{
public:
    MsgResult message(QWidget *, const QString &text, int, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return MsgNo;
    }
    QString input(QWidget *, const QString &, const QString &) override { return {}; }
    QString openFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &) override { return {}; }
};

template <class F> double seconds(F &&f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Reports the subject's and the floor's mean time per iteration in
// milliseconds and their ratio; the benchmark's own time is the subject's.
inline void report(benchmark::State &state, double subjectTotal, double floorTotal)
{
    const double n = double(state.iterations());
    state.counters["ms"] = subjectTotal / n * 1e3;
    state.counters["floor_ms"] = floorTotal / n * 1e3;
    state.counters["ratio"] = floorTotal > 0 ? subjectTotal / floorTotal : 0;
}

inline std::string readResource(const char *name)
{
    QFile f(QStringLiteral(YZ_RESOURCES_DIR "/") + QString::fromUtf8(name));
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

inline bool exec(sqlite3 *db, const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "sql: %s\n", err ? err : "?");
        sqlite3_free(err);
        return false;
    }
    return true;
}

// A novel file with the program's schema: volumes x chaptersPerVolume
// chapters of chapterChars Chinese characters each, appended volume by volume,
// and a cover of coverBytes bytes.
inline bool makeNovel(const QString &path, const QString &title, int volumes, int chaptersPerVolume, int chapterChars,
                      const QByteArray &cover)
{
    QFile::remove(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    bool ok = exec(db, readResource("schema.sql")) && exec(db, "BEGIN");
    sqlite3_stmt *st = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO 信息 VALUES (?, '作者', '角色', '说明', '大纲', ?)", -1, &st,
                                  nullptr) == SQLITE_OK;
    if (ok) {
        const QByteArray t = title.toUtf8();
        sqlite3_bind_text(st, 1, t.constData(), t.size(), SQLITE_TRANSIENT);
        sqlite3_bind_blob(st, 2, cover.constData(), cover.size(), SQLITE_TRANSIENT);
        ok = sqlite3_step(st) == SQLITE_DONE;
        sqlite3_finalize(st);
    }
    QString text;
    text.reserve(chapterChars);
    for (int i = 0; i < chapterChars; ++i)
        text += QChar(0x4E00 + (i * 7919) % 20000);
    for (int v = 0; ok && v < volumes; ++v) {
        const QByteArray vol = QStringLiteral("第%1卷").arg(v + 1).toUtf8();
        ok = sqlite3_prepare_v2(db, "INSERT INTO 分卷 VALUES (?)", -1, &st, nullptr) == SQLITE_OK;
        sqlite3_bind_text(st, 1, vol.constData(), vol.size(), SQLITE_TRANSIENT);
        ok = ok && sqlite3_step(st) == SQLITE_DONE;
        sqlite3_finalize(st);
        ok = ok && sqlite3_prepare_v2(
                       db, "INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注) VALUES (?, ?, ?, '章节附注')", -1,
                       &st, nullptr) == SQLITE_OK;
        for (int c = 0; ok && c < chaptersPerVolume; ++c) {
            const QByteArray name = QStringLiteral("第%1章").arg(v * chaptersPerVolume + c + 1).toUtf8();
            sqlite3_bind_text(st, 1, vol.constData(), vol.size(), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, name.constData(), name.size(), SQLITE_TRANSIENT);
            sqlite3_bind_text16(st, 3, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
            ok = sqlite3_step(st) == SQLITE_DONE;
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

// Chapter text of units UTF-16 units: Chinese characters in paragraphs of
// about 150 characters, each ended by a line break, as novels are written;
// of -units characters in one paragraph when units is negative.
inline QString chapterText(int units)
{
    if (units < 0) {
        QString text(-units, QChar());
        for (int i = 0; i < -units; ++i)
            text[i] = QChar(0x4E00 + (i * 7919) % 20000);
        return text;
    }
    QString text;
    text.reserve(units);
    int i = 0;
    while (text.size() < units) {
        if (i % 150 == 149 && text.size() + 2 <= units)
            text += QStringLiteral("\r\n");
        else
            text += QChar(0x4E00 + (i * 7919) % 20000);
        ++i;
    }
    return text;
}

// Resident memory of this process in MB: now (VmRSS) or at its peak (VmHWM).
inline double residentMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

// Starts the peak anew from what is resident now, so that making the test
// files does not count; false where the system does not allow it.
inline bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// A number a run takes from its command line: --name=N, at least least.
struct IntFlag
{
    const char *prefix; // "--name="
    int *value;
    int least;
};

// Runs the benchmarks in an application on the offscreen platform (unless
// another is asked for), after taking flags out of the command line.
inline int runBenchmarks(int argc, char **argv, std::initializer_list<IntFlag> flags)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const auto flag =
            std::find_if(flags.begin(), flags.end(), [&](const IntFlag &f) { return arg.startsWith(f.prefix); });
        if (flag == flags.end())
            rest.push_back(argv[i]);
        else
            *flag->value = std::max(flag->least, arg.mid(int(qstrlen(flag->prefix))).toInt());
    }
    int n = int(rest.size());
    QApplication app(n, rest.data());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchsupport

// A main that gives the benchmarks a QApplication (offscreen unless a display
// is asked for).
#define YZ_BENCH_MAIN()                                                                                                \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                            \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                   \
        QApplication app(argc, argv);                                                                                  \
        benchmark::Initialize(&argc, argv);                                                                            \
        benchmark::RunSpecifiedBenchmarks();                                                                           \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
