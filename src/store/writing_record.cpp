#include "store/writing_record.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// A write of the record is a few rows; the reading window or a second
// connection waits at most this long for it.
constexpr int kBusyTimeoutMs = 3000;

const char *const kSchema = "CREATE TABLE IF NOT EXISTS 每日 ("
                            " 日期 TEXT NOT NULL, 小说 TEXT NOT NULL, 章节 INTEGER NOT NULL,"
                            " 新增 INTEGER NOT NULL DEFAULT 0, 新增不含标点 INTEGER NOT NULL DEFAULT 0,"
                            " 净增 INTEGER NOT NULL DEFAULT 0, 净增不含标点 INTEGER NOT NULL DEFAULT 0,"
                            " 导入 INTEGER NOT NULL DEFAULT 0, 导入不含标点 INTEGER NOT NULL DEFAULT 0,"
                            " 分钟 INTEGER NOT NULL DEFAULT 0,"
                            " PRIMARY KEY (日期, 小说, 章节));"
                            "CREATE TABLE IF NOT EXISTS 设置 (名称 TEXT PRIMARY KEY, 值 TEXT);"
                            "CREATE TABLE IF NOT EXISTS 目标 (起始日期 TEXT PRIMARY KEY, 字数 INTEGER NOT NULL);";

const char *const kAddRow = "INSERT INTO 每日 VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                            " ON CONFLICT (日期, 小说, 章节) DO UPDATE SET"
                            " 新增 = 新增 + ?4, 新增不含标点 = 新增不含标点 + ?5, 净增 = 净增 + ?6,"
                            " 净增不含标点 = 净增不含标点 + ?7, 导入 = 导入 + ?8,"
                            " 导入不含标点 = 导入不含标点 + ?9, 分钟 = 分钟 + ?10";

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// A statement that finalizes itself.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_st, nullptr); }
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool prepared() const { return m_rc == SQLITE_OK; }
    void bind(int i, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_st, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, qint64 value) { sqlite3_bind_int64(m_st, i, value); }
    // SQLITE_ROW, SQLITE_DONE or the error.
    int step() { return m_rc == SQLITE_OK ? sqlite3_step(m_st) : m_rc; }
    void reset() { sqlite3_reset(m_st); }
    qint64 integer(int column) const { return sqlite3_column_int64(m_st, column); }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_st, column)),
                                 sqlite3_column_bytes(m_st, column));
    }

private:
    sqlite3_stmt *m_st = nullptr;
    int m_rc = SQLITE_OK;
};

} // namespace

struct WritingRecord::Connection
{
    sqlite3 *db = nullptr;
    ~Connection() { sqlite3_close_v2(db); }
    bool exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

WritingRecord::WritingRecord(const QString &path) : m_path(path)
{
}

WritingRecord::~WritingRecord() = default;

void WritingRecord::close()
{
    m_db.reset();
}

bool WritingRecord::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool WritingRecord::open(bool create)
{
    if (m_db)
        return true;
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("“%1”不是文件").arg(m_path));
    auto c = std::make_unique<Connection>();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &c->db, flags, nullptr);
    if (rc != SQLITE_OK)
        return fail(c->db ? c->error() : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_busy_timeout(c->db, kBusyTimeoutMs);
    // Every write is made durable before it counts as written.
    if (!c->exec("PRAGMA synchronous=FULL") || !c->exec(kSchema))
        return fail(c->error());
    m_db = std::move(c);
    return true;
}

bool WritingRecord::write(const RecordBatch &batch)
{
    if (!open(true))
        return false;
    sqlite3 *db = m_db->db;
    if (!m_db->exec("BEGIN IMMEDIATE"))
        return fail(m_db->error());
    bool ok = true;
    {
        Statement add(db, kAddRow);
        ok = add.prepared();
        for (auto row = batch.rows.cbegin(); ok && row != batch.rows.cend(); ++row) {
            add.bind(1, row->date.toString(kDateFormat));
            add.bind(2, row->novel);
            add.bind(3, row->chapter);
            for (int i = 0; i < RecordRow::kFigures; ++i)
                add.bind(4 + i, row->figures[size_t(i)]);
            ok = add.step() == SQLITE_DONE;
            add.reset();
        }
        Statement setting(db, "INSERT OR REPLACE INTO 设置 VALUES (?1, ?2)");
        ok = ok && setting.prepared();
        for (auto it = batch.settings.cbegin(); ok && it != batch.settings.cend(); ++it) {
            setting.bind(1, it.key());
            setting.bind(2, it.value());
            ok = setting.step() == SQLITE_DONE;
            setting.reset();
        }
        Statement goal(db, "INSERT OR REPLACE INTO 目标 VALUES (?1, ?2)");
        ok = ok && goal.prepared();
        for (auto it = batch.goals.cbegin(); ok && it != batch.goals.cend(); ++it) {
            goal.bind(1, it.key().toString(kDateFormat));
            goal.bind(2, it.value());
            ok = goal.step() == SQLITE_DONE;
            goal.reset();
        }
    }
    if (ok && m_db->exec("COMMIT"))
        return true;
    const QString why = m_db->error();
    m_db->exec("ROLLBACK");
    return fail(why);
}

bool WritingRecord::readRows(const QDate &from, const QDate &to, QVector<RecordRow> *rows)
{
    rows->clear();
    if (!QFileInfo::exists(m_path))
        return true;
    if (!open(false))
        return false;
    Statement st(m_db->db, "SELECT 日期, 小说, 章节, 新增, 新增不含标点, 净增, 净增不含标点, 导入, 导入不含标点, 分钟"
                           " FROM 每日 WHERE 日期 BETWEEN ?1 AND ?2");
    st.bind(1, from.toString(kDateFormat));
    st.bind(2, to.toString(kDateFormat));
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        RecordRow row;
        row.date = QDate::fromString(st.text(0), kDateFormat);
        row.novel = st.text(1);
        row.chapter = st.integer(2);
        for (int i = 0; i < RecordRow::kFigures; ++i)
            row.figures[size_t(i)] = st.integer(3 + i);
        if (row.date.isValid())
            rows->append(row);
    }
    return rc == SQLITE_DONE || fail(m_db->error());
}

bool WritingRecord::readSettings(QHash<QString, QString> *settings, QMap<QDate, qint64> *goals)
{
    settings->clear();
    goals->clear();
    if (!QFileInfo::exists(m_path))
        return true;
    if (!open(false))
        return false;
    Statement named(m_db->db, "SELECT 名称, 值 FROM 设置");
    int rc;
    while ((rc = named.step()) == SQLITE_ROW)
        settings->insert(named.text(0), named.text(1));
    if (rc != SQLITE_DONE)
        return fail(m_db->error());
    Statement goal(m_db->db, "SELECT 起始日期, 字数 FROM 目标");
    while ((rc = goal.step()) == SQLITE_ROW) {
        const QDate from = QDate::fromString(goal.text(0), kDateFormat);
        if (from.isValid())
            goals->insert(from, goal.integer(1));
    }
    return rc == SQLITE_DONE || fail(m_db->error());
}
