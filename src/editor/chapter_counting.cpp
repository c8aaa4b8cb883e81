#include "editor/chapter_counting.h"

#include "app/writing_log.h"
#include "editor/box_text.h"
#include "editor/status_panels.h"

#include <QFileInfo>

namespace {

// Wide enough for "今日 12345/10000".
constexpr int kPanelTwips = 2000;

} // namespace

ChapterCounting::ChapterCounting(WritingLog *log, const QString &novelPath, qint64 chapter, StatusPanels &panels,
                                 QObject *parent)
    : QObject(parent), m_log(log), m_novel(QFileInfo(novelPath).fileName()), m_chapter(chapter), m_panels(panels)
{
    m_panel = m_panels.add(QString(), kPanelTwips);
    if (m_log)
        connect(m_log, &WritingLog::changed, this, &ChapterCounting::showToday);
    showToday();
}

void ChapterCounting::replaced(QStringView before, QStringView after, bool loaded)
{
    if (loaded) {
        m_tally.load(after);
        showToday();
        return;
    }
    const qint64 day = m_log ? m_log->today() : QDate::currentDate().toJulianDay();
    record(m_tally.import(before, after, day));
}

void ChapterCounting::changed(const boxtext::Change &change, int undoSteps)
{
    const qint64 day = m_log ? m_log->today() : QDate::currentDate().toJulianDay();
    record(m_tally.change(change.removed, change.inserted, undoSteps, day));
}

void ChapterCounting::record(const QVector<DayChange> &changes)
{
    if (m_chapter < 0)
        return;
    if (m_log) {
        // The log says when it changed; the panel follows.
        m_log->record(m_novel, m_chapter, changes);
        return;
    }
    const qint64 today = QDate::currentDate().toJulianDay();
    if (m_day != today) {
        m_day = today;
        m_added = {};
    }
    for (const DayChange &c : changes) {
        if (c.day == today)
            m_added += c.figures.added;
    }
    showToday();
}

void ChapterCounting::showToday()
{
    const CountRule rule = m_log ? m_log->rule() : CountRule::WithPunctuation;
    const qint64 added = (m_log ? m_log->todayAdded() : m_added).by(rule);
    const qint64 goal = m_log ? m_log->goal() : 0;
    m_panels.setText(m_panel, goal > 0 ? QStringLiteral("今日 %1/%2").arg(added).arg(goal)
                                       : QStringLiteral("今日 %1").arg(added));
}
