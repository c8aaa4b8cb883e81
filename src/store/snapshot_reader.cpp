#include "store/snapshot_reader.h"

#include <QFileInfo>
#include <QUrl>
#include <chrono>
#include <sqlite3.h>

namespace {

// How long one snapshot may take to give a chapter: a file whose pages
// keep SQLite busy fails like a damaged one.
constexpr std::chrono::seconds kTimeLimit{5};

// A connection to one snapshot, read as it lies on the disk: no lock, no
// log, nothing made beside it, and nothing stored in it ever runs.
class Snapshot
{
public:
    Snapshot(const QString &path, const std::atomic_bool *cancel)
        : m_cancel(cancel), m_deadline(std::chrono::steady_clock::now() + kTimeLimit)
    {
        const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() +
                               QByteArrayLiteral("?mode=ro&immutable=1");
        if (!QFileInfo(path).isFile()) {
            m_why = QStringLiteral("找不到文件");
            return;
        }
        if (sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
            fail();
            return;
        }
        const int settings[][2] = {{SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                                   {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                   {SQLITE_DBCONFIG_DEFENSIVE, 1},
                                   {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0}};
        for (const auto &s : settings)
            sqlite3_db_config(m_db, s[0], s[1], nullptr);
        sqlite3_progress_handler(m_db, 1000, &Snapshot::onProgress, this);
        sqlite3_exec(m_db, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
        sqlite3_stmt *st = prepare("PRAGMA encoding");
        if (st && sqlite3_step(st) == SQLITE_ROW)
            m_utf16 = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)))
                          .startsWith(QLatin1String("UTF-16"));
        else
            fail();
        sqlite3_finalize(st);
    }
    ~Snapshot() { sqlite3_close_v2(m_db); }
    Snapshot(const Snapshot &) = delete;
    Snapshot &operator=(const Snapshot &) = delete;

    bool isOpen() const { return m_db && m_why.isEmpty(); }
    bool utf16() const { return m_utf16; }
    bool cancelled() const { return m_cancel && m_cancel->load(); }
    const QString &why() const { return m_why; }

    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
            fail();
        return st;
    }
    void fail()
    {
        m_why = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("不能打开文件");
        if (m_outOfTime)
            m_why = QStringLiteral("读取超时");
    }

private:
    static int onProgress(void *self)
    {
        auto *s = static_cast<Snapshot *>(self);
        if (s->cancelled())
            return 1;
        s->m_outOfTime = std::chrono::steady_clock::now() > s->m_deadline;
        return s->m_outOfTime ? 1 : 0;
    }

    sqlite3 *m_db = nullptr;
    const std::atomic_bool *m_cancel;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_utf16 = false;
    bool m_outOfTime = false;
    QString m_why;
};

QString textAt(sqlite3_stmt *st, int column)
{
    return QString(static_cast<const QChar *>(sqlite3_column_text16(st, column)),
                   sqlite3_column_bytes16(st, column) / 2);
}

} // namespace

SnapshotReader::Outcome SnapshotReader::readChapter(const QString &path, qint64 id, StoredChapter *out)
{
    Snapshot snapshot(path, m_cancel);
    m_why = snapshot.why();
    if (!snapshot.isOpen())
        return snapshot.cancelled() ? Outcome::Cancelled : Outcome::Unreadable;
    // 编号 is the rowid: one row of the table is read, nothing else.
    sqlite3_stmt *st = snapshot.prepare("SELECT 所属分卷, 章节名称, 章节内容, 章节附注 FROM 小说 WHERE 编号 = ?");
    Outcome outcome = Outcome::Unreadable;
    if (st) {
        sqlite3_bind_int64(st, 1, id);
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            *out = {id, textAt(st, 0), textAt(st, 1), textAt(st, 2), textAt(st, 3)};
            outcome = Outcome::Found;
        } else if (rc == SQLITE_DONE) {
            outcome = Outcome::Missing;
        } else {
            snapshot.fail();
        }
    }
    sqlite3_finalize(st);
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
    // In a UTF-16 file the stored bytes of a text are its code units, and
    // their count is known without reading the text.
    sqlite3_stmt *st = snapshot.prepare(
        snapshot.utf16()
            ? "SELECT 编号, 所属分卷, 章节名称, length(CAST(章节内容 AS BLOB)) / 2 FROM 小说 ORDER BY rowid"
            : "SELECT 编号, 所属分卷, 章节名称, 章节内容 FROM 小说 ORDER BY rowid");
    int rc = SQLITE_ERROR;
    if (st) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const int length = snapshot.utf16() ? sqlite3_column_int(st, 3) : int(textAt(st, 3).size());
            out->append({sqlite3_column_int64(st, 0), textAt(st, 1), textAt(st, 2), length});
        }
        if (rc != SQLITE_DONE)
            snapshot.fail();
    }
    sqlite3_finalize(st);
    m_why = snapshot.why();
    if (rc == SQLITE_DONE)
        return Outcome::Found;
    out->clear();
    return snapshot.cancelled() ? Outcome::Cancelled : Outcome::Unreadable;
}
