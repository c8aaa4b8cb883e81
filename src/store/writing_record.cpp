#include "store/writing_record.h"

#include "store/sqlite_db.h"

#include <QFileInfo>

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

} // namespace

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
    if (m_db) {
        // Each read or write has the time limit of its own.
        m_db->armTimeLimit();
        return true;
    }
    // Said here: the layer's words for a path that is no file speak of novels.
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("“%1”不是文件").arg(m_path));
    // Opened the one way the program opens every database: nothing stored
    // in the file runs, no statement runs for ever, and a commit is on the
    // disk before it returns. Only the writer makes the file.
    sqlite::NovelOptions options;
    options.access = create && !info.exists() ? sqlite::Access::Create : sqlite::Access::ReadWrite;
    options.busyTimeoutMs = kBusyTimeoutMs;
    auto db = std::make_unique<sqlite::Db>();
    QString why;
    if (!sqlite::openNovel(*db, m_path, options, &why))
        return fail(why);
    if (!db->exec(kSchema))
        return fail(db->errorText());
    m_db = std::move(db);
    m_db->armTimeLimit();
    return true;
}

bool WritingRecord::write(const RecordBatch &batch)
{
    if (!open(true))
        return false;
    sqlite::Db &db = *m_db;
    if (!db.exec("BEGIN IMMEDIATE"))
        return fail(db.errorText());
    bool ok = true;
    {
        sqlite::Statement add(db, QString::fromUtf8(kAddRow));
        ok = add.isValid();
        for (auto row = batch.rows.cbegin(); ok && row != batch.rows.cend(); ++row) {
            add.bind(1, row->date.toString(kDateFormat));
            add.bind(2, row->novel);
            add.bind(3, row->chapter);
            for (int i = 0; i < RecordRow::kFigures; ++i)
                add.bind(4 + i, row->figures[size_t(i)]);
            ok = add.run();
            add.reset();
        }
        sqlite::Statement setting(db, QStringLiteral("INSERT OR REPLACE INTO 设置 VALUES (?1, ?2)"));
        ok = ok && setting.isValid();
        for (auto it = batch.settings.cbegin(); ok && it != batch.settings.cend(); ++it) {
            setting.bind(1, it.key());
            setting.bind(2, it.value());
            ok = setting.run();
            setting.reset();
        }
        sqlite::Statement goal(db, QStringLiteral("INSERT OR REPLACE INTO 目标 VALUES (?1, ?2)"));
        ok = ok && goal.isValid();
        for (auto it = batch.goals.cbegin(); ok && it != batch.goals.cend(); ++it) {
            goal.bind(1, it.key().toString(kDateFormat));
            goal.bind(2, it.value());
            ok = goal.run();
            goal.reset();
        }
    }
    if (ok && db.exec("COMMIT"))
        return true;
    const QString why = db.errorText();
    db.exec("ROLLBACK");
    return fail(why);
}

bool WritingRecord::readRows(const QDate &from, const QDate &to, QVector<RecordRow> *rows)
{
    rows->clear();
    if (!QFileInfo::exists(m_path))
        return true;
    if (!open(false))
        return false;
    sqlite::Statement st(*m_db, QStringLiteral("SELECT 日期, 小说, 章节, 新增, 新增不含标点, 净增, 净增不含标点, 导入, "
                                               "导入不含标点, 分钟 FROM 每日 WHERE 日期 BETWEEN ?1 AND ?2"));
    st.bind(1, from.toString(kDateFormat));
    st.bind(2, to.toString(kDateFormat));
    while (st.next()) {
        RecordRow row;
        row.date = QDate::fromString(st.text(0), kDateFormat);
        row.novel = st.text(1);
        row.chapter = st.int64(2);
        for (int i = 0; i < RecordRow::kFigures; ++i)
            row.figures[size_t(i)] = st.int64(3 + i);
        if (row.date.isValid())
            rows->append(row);
    }
    return st.atEnd() || fail(m_db->errorText());
}

bool WritingRecord::readSettings(QHash<QString, QString> *settings, QMap<QDate, qint64> *goals)
{
    settings->clear();
    goals->clear();
    if (!QFileInfo::exists(m_path))
        return true;
    if (!open(false))
        return false;
    sqlite::Statement named(*m_db, QStringLiteral("SELECT 名称, 值 FROM 设置"));
    while (named.next())
        settings->insert(named.text(0), named.text(1));
    if (!named.atEnd())
        return fail(m_db->errorText());
    sqlite::Statement goal(*m_db, QStringLiteral("SELECT 起始日期, 字数 FROM 目标"));
    while (goal.next()) {
        const QDate from = QDate::fromString(goal.text(0), kDateFormat);
        if (from.isValid())
            goals->insert(from, goal.int64(1));
    }
    return goal.atEnd() || fail(m_db->errorText());
}
