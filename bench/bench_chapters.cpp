// The chapter manager on a long novel (5,000 chapters of about 10,000
// characters in 50 volumes): loading the tree, a volume click filling the
// chapter list, and deleting one chapter with the tree rebuilt.
#include "bench_support.h"

#include "app/app_context.h"
#include "chapters/frm_write.h"
#include "ui/prompts.h"

#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>

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

} // namespace

YZ_BENCH_MAIN()
