#include "store/snapshot_reader.h"

#include "store/sqlite_db.h"

namespace {

// A connection to one snapshot that only reads: opened the store's one
// way, with nothing made beside the file and nothing stored in it run.
class Snapshot
{
public:
    Snapshot(const QString &path, const std::atomic_bool *cancel) : m_cancel(cancel)
    {
        sqlite::NovelOptions options;
        options.access = sqlite::Access::ReadOnly;
        if (!sqlite::openNovel(m_db, path, options, &m_why)) {
            if (m_why.isEmpty())
                m_why = QStringLiteral("不能打开文件");
            return;
        }
        m_db.setCancel(cancel);
        // The reading has a time limit of its own, apart from the opening.
        m_db.armTimeLimit();
    }
    Snapshot(const Snapshot &) = delete;
    Snapshot &operator=(const Snapshot &) = delete;

    bool isOpen() const { return m_db.isOpen() && m_why.isEmpty(); }
    bool utf16() const { return m_db.textIsUtf16(); }
    bool cancelled() const { return m_cancel && m_cancel->load(); }
    const QString &why() const { return m_why; }
    sqlite::Db &db() { return m_db; }

    void fail() { m_why = m_db.ranOutOfTime() ? QStringLiteral("读取超时") : m_db.errorText(); }

private:
    sqlite::Db m_db;
    const std::atomic_bool *m_cancel;
    QString m_why;
};

} // namespace

SnapshotReader::Outcome SnapshotReader::readChapter(const QString &path, qint64 id, StoredChapter *out)
{
    Snapshot snapshot(path, m_cancel);
    m_why = snapshot.why();
    if (!snapshot.isOpen())
        return snapshot.cancelled() ? Outcome::Cancelled : Outcome::Unreadable;
    Outcome outcome = Outcome::Unreadable;
    {
        // 编号 is the rowid: one row of the table is read, nothing else.
        sqlite::Statement st(snapshot.db(),
                             QStringLiteral("SELECT 所属分卷, 章节名称, 章节内容, 章节附注 FROM 小说 WHERE 编号 = ?"));
        if (st.isValid() && st.bind(1, id) && st.next()) {
            *out = {id, st.text(0), st.text(1), st.text(2), st.text(3)};
            outcome = Outcome::Found;
        } else if (st.atEnd()) {
            outcome = Outcome::Missing;
        } else {
            snapshot.fail();
        }
    }
    m_why = snapshot.why();
    return outcome == Outcome::Unreadable && snapshot.cancelled() ? Outcome::Cancelled : outcome;
}

SnapshotReader::Outcome SnapshotReader::listChapters(const QString &path, QVector<StoredChapterEntry> *out)
{
    out->clear();
    Snapshot snapshot(path, m_cancel);
    m_why = snapshot.why();
    if (!snapshot.isOpen())
        return snapshot.cancelled() ? Outcome::Cancelled : Outcome::Unreadable;
    bool complete = false;
    {
        // In a UTF-16 file the stored bytes of a text are its code units, and
        // their count is known without reading the text.
        const bool utf16 = snapshot.utf16();
        sqlite::Statement st(
            snapshot.db(),
            utf16 ? QStringLiteral("SELECT 编号, 所属分卷, 章节名称, length(CAST(章节内容 AS BLOB)) / 2 FROM 小说 "
                                   "ORDER BY rowid")
                  : QStringLiteral("SELECT 编号, 所属分卷, 章节名称, 章节内容 FROM 小说 ORDER BY rowid"));
        while (st.isValid() && st.next()) {
            const int length = utf16 ? int(st.int64(3)) : int(st.text(3).size());
            out->append({st.int64(0), st.text(1), st.text(2), length});
        }
        complete = st.isValid() && st.atEnd();
        if (!complete)
            snapshot.fail();
    }
    m_why = snapshot.why();
    if (complete)
        return Outcome::Found;
    out->clear();
    return snapshot.cancelled() ? Outcome::Cancelled : Outcome::Unreadable;
}
