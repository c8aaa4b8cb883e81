// 正文字数 and the writer's day kept up to date as keys come: one key typed
// into a chapter of 1,000,000 UTF-16 units (Chinese characters in paragraphs
// of about 150, as bench_typing), at its end and in its middle. The subject
// is what the editor does with the document's change notification: the copy
// of the text for the store, the removed and inserted stretches taken from
// it, counted by both rules, and the day's figures handed to the writing log.
// The floor is the same key with the copy for the store only, as before the
// counting. Both are timed inside the notification; key_ms is the whole key
// in the document (inserted, its paragraph laid out) with the counting. Every key of the subject is checked against a
// full count at the end. A full count of the chapter, what the counting never does on a key, is timed beside them for
// scale.
#include "bench_support.h"

#include "app/writing_log.h"
#include "editor/box_text.h"

#include <QPlainTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <vector>

namespace {

// A chapter in a document laid out as the editor's box lays it out, with the
// copy for the store kept from its changes and, if counted, the counting.
struct Chapter
{
    Chapter(const QString &text, WritingLog *log) : m_log(log)
    {
        doc.setDocumentLayout(new QPlainTextDocumentLayout(&doc));
        doc.setPlainText(text);
        mirror.reset(&doc);
        tally.load(mirror.text());
        // Timed inside the notification: the layout of the paragraph, which
        // both do alike and which costs far more, is left out.
        QObject::connect(&doc, &QTextDocument::contentsChange, [this](int position, int removed, int added) {
            handler += benchsupport::seconds([&] {
                if (!m_log) {
                    mirror.apply(&doc, position, removed, added);
                    return;
                }
                boxtext::Change change;
                mirror.apply(&doc, position, removed, added, &change);
                m_log->record(QStringLiteral("长篇.mdb"), 1,
                              tally.change(change.removed, change.inserted, doc.availableUndoSteps(), m_log->today()));
                panel = QStringLiteral("今日 %1").arg(m_log->todayAdded().by(m_log->rule()));
            });
        });
    }

    double type(int at, const QString &key)
    {
        QTextCursor cursor(&doc);
        cursor.setPosition(at);
        return benchsupport::seconds([&] { cursor.insertText(key); });
    }

    QTextDocument doc;
    boxtext::Mirror mirror;
    ChapterTally tally;
    QString panel;
    double handler = 0; // seconds spent in the change notification
    WritingLog *m_log;
};

void BM_KeyCounted(benchmark::State &state)
{
    const int units = int(state.range(0));
    const bool middle = state.range(1) != 0;
    const QString text = benchsupport::chapterText(units);
    WritingLog log{QString()};
    Chapter counted(text, &log);
    Chapter bare(text, nullptr);
    double keys = 0;
    int k = 0;
    std::vector<double> subjectKeys, floorKeys;
    for (auto _ : state) {
        const QString key(QChar(0x4E00 + (k++ * 31) % 20000));
        const int at = middle ? (counted.doc.characterCount() - 1) / 2 : counted.doc.characterCount() - 1;
        // Taking turns, so that a busy machine weighs on both alike.
        const double before = counted.handler;
        const double floorBefore = bare.handler;
        if (k % 2) {
            keys += counted.type(at, key);
            bare.type(at, key);
        } else {
            bare.type(at, key);
            keys += counted.type(at, key);
        }
        subjectKeys.push_back(counted.handler - before);
        floorKeys.push_back(bare.handler - floorBefore);
        state.SetIterationTime(subjectKeys.back());
    }
    const double recount = benchsupport::seconds([&] { benchmark::DoNotOptimize(countChars(counted.mirror.text())); });
    if (counted.tally.total() != countChars(boxtext::text(&counted.doc)) || log.todayAdded().all != state.iterations())
        state.SkipWithError("the kept count is not the chapter's");
    benchsupport::report(state, counted.handler, bare.handler);
    state.counters["extra_ms"] = (counted.handler - bare.handler) / double(state.iterations()) * 1e3;
    state.counters["key_ms"] = keys / double(state.iterations()) * 1e3;
    // A key the machine took away for a while weighs on the means; the
    // medians are the typical key.
    const auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    state.counters["median_ms"] = median(subjectKeys) * 1e3;
    state.counters["floor_median_ms"] = median(floorKeys) * 1e3;
    state.counters["full_count_ms"] = recount * 1e3;
}
BENCHMARK(BM_KeyCounted)
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Args({10000, 0})
    ->Iterations(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

} // namespace

YZ_BENCH_MAIN()
