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
    // Without the program's log, one of the window's own keeps what it saw.
    if (!m_log)
        m_log = new WritingLog(QString(), {}, this);
    connect(m_log, &WritingLog::changed, this, &ChapterCounting::showToday);
    showToday();
}

void ChapterCounting::replaced(QStringView before, QStringView after, bool loaded)
{
    if (!m_log)
        return;
    if (loaded) {
        m_tally.load(after);
        showToday();
        return;
    }
    record(m_tally.import(before, after, m_log->today()));
}

void ChapterCounting::changed(const boxtext::Change &change, int undoSteps)
{
    // The program's log goes only once every window has.
    if (!m_log)
        return;
    record(m_tally.change(change.removed, change.inserted, undoSteps, m_log->today()));
}

void ChapterCounting::record(const QVector<DayChange> &changes)
{
    // The log says when it changed; the panel follows.
    if (m_chapter >= 0)
        m_log->record(m_novel, m_chapter, changes);
}

void ChapterCounting::showToday()
{
    if (!m_log)
        return;
    const qint64 added = m_log->todayAdded().by(m_log->rule());
    const qint64 goal = m_log->goal();
    m_panels.setText(m_panel, goal > 0 ? QStringLiteral("今日 %1/%2").arg(added).arg(goal)
                                       : QStringLiteral("今日 %1").arg(added));
}
