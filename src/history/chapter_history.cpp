#include "history/chapter_history.h"

#include "history/text_diff.h"
#include "store/data_source.h"
#include "store/novel_columns.h"

using namespace novelcolumns;

QString changeText(int inserted, int deleted)
{
    if (inserted < 0 || deleted < 0)
        return {};
    return QStringLiteral("+%1 / \u2212%2").arg(inserted).arg(deleted);
}

HistoryBuilder::HistoryBuilder(const QString &currentText)
{
    HistoryRow current;
    current.text = currentText;
    current.length = int(currentText.size());
    m_rows.append(current);
}

QVector<int> HistoryBuilder::add(const QDateTime &taken, const QString &snapshot, const QString &text)
{
    HistoryRow &newer = m_rows[m_open];
    if (text == newer.text)
        return {};
    const textdiff::Diff diff = textdiff::compare(text, newer.text);
    newer.inserted = diff.inserted();
    newer.deleted = diff.deleted();
    HistoryRow row;
    row.taken = taken;
    row.snapshot = snapshot;
    row.text = text;
    row.length = int(text.size());
    m_rows.append(row);
    const int changed = m_open;
    m_open = int(m_rows.size()) - 1;
    return {changed, m_open};
}

QVector<int> HistoryBuilder::skip(const QDateTime &taken, const QString &snapshot, const QString &why)
{
    HistoryRow row;
    row.taken = taken;
    row.snapshot = snapshot;
    row.note = why;
    m_rows.append(row);
    return {int(m_rows.size()) - 1};
}

QVector<int> HistoryBuilder::absent()
{
    HistoryRow &first = m_rows[m_open];
    first.inserted = first.length;
    first.deleted = 0;
    return {m_open};
}

namespace {

QString signature(const StoredChapterEntry &c)
{
    return c.volume + QChar(0) + c.title + QChar(0) + QString::number(c.length);
}

} // namespace

LostChapterFinder::LostChapterFinder(const QVector<StoredChapterEntry> &present)
{
    for (const StoredChapterEntry &c : present) {
        m_known.insert(c.id);
        m_back.insert(signature(c));
    }
}

QVector<LostChapter> LostChapterFinder::add(const QDateTime &taken, const QString &snapshot,
                                            const QVector<StoredChapterEntry> &chapters)
{
    QVector<LostChapter> out;
    for (const StoredChapterEntry &c : chapters) {
        if (m_known.contains(c.id))
            continue;
        m_known.insert(c.id);
        if (m_back.contains(signature(c)))
            continue;
        out.append({c, taken, snapshot});
    }
    return out;
}

ChapterHistory::Result ChapterHistory::failed()
{
    return {Reason::StoreFailed, m_data.lastError()};
}

ChapterHistory::Result ChapterHistory::chapters(QVector<StoredChapterEntry> *out)
{
    out->clear();
    m_data.setRecordSource(kChapters);
    if (!m_data.Refresh())
        return failed();
    m_data.MoveFirst();
    for (int i = 0; i < m_data.RecordCount(); ++i, m_data.MoveNext()) {
        const int length = m_data.textLength(kText);
        if (length < 0)
            return failed();
        out->append({m_data.currentRowId(), m_data.text(kOwner), m_data.text(kTitle), length});
    }
    m_data.MoveLast();
    return {};
}

ChapterHistory::Result ChapterHistory::restoreText(qint64 id, const QString &text)
{
    if (m_data.recordSource() != kChapters || m_data.currentRowId() != id) {
        m_data.setRecordSource(kChapters);
        if (!m_data.Refresh())
            return failed();
        if (!m_data.FindRowId(id))
            return {Reason::ChapterGone, QString()};
    }
    bool stored = m_data.BeginTrans() && m_data.Edit();
    if (stored) {
        m_data.setValue(kText, text);
        stored = m_data.Update() && m_data.CommitTrans();
    }
    if (!stored) {
        const Result why = failed();
        m_data.Rollback();
        m_data.FindRowId(id);
        return why;
    }
    return {};
}

ChapterHistory::Result ChapterHistory::restoreChapter(const StoredChapter &chapter, qint64 *id, bool *volumeMade)
{
    m_data.setRecordSource(kVolumes);
    if (!m_data.Refresh())
        return failed();
    const bool volumeThere = m_data.FindFirst(kVolumeName, chapter.volume);
    // The volume, when it must be made again, and the chapter go together.
    bool stored = m_data.BeginTrans();
    if (stored && !volumeThere) {
        stored = m_data.AddNew();
        m_data.setValue(kVolumeName, chapter.volume);
        stored = stored && m_data.Update();
    }
    if (stored) {
        m_data.setRecordSource(kChapters);
        stored = m_data.Refresh() && m_data.AddNew();
    }
    if (stored) {
        m_data.setValue(kOwner, chapter.volume);
        m_data.setValue(kTitle, chapter.title);
        m_data.setValue(kText, chapter.text);
        m_data.setValue(kNotes, chapter.notes);
        stored = m_data.Update() && m_data.MoveLast();
    }
    const qint64 made = stored ? m_data.value(kId).toLongLong() : 0;
    stored = stored && m_data.CommitTrans();
    if (!stored) {
        const Result why = failed();
        m_data.Rollback();
        return why;
    }
    *id = made;
    *volumeMade = !volumeThere;
    return {};
}
