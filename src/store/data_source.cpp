#include "store/data_source.h"

#include "store/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <sqlite3.h>

namespace {

// Fields that may hold a whole chapter, an outline or a picture: never read
// by Refresh, only when the current record's value is asked for.
bool isLongField(const QString &name, const QString &declaredType)
{
    static const QStringList longFields = {QStringLiteral("章节内容"), QStringLiteral("章节附注"),
                                           QStringLiteral("大纲"), QStringLiteral("封面")};
    return longFields.contains(name) || declaredType.contains(QLatin1String("BLOB"), Qt::CaseInsensitive);
}

QString quoted(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// Virtual machine steps between two looks at the clock.
constexpr int kProgressSteps = 1000;

// A query keeps what was bound to it until the next statement binds over it:
// a chapter's whole text would stay alive twice, and whoever holds the other
// copy would have to copy it again on its next change.
void releaseBoundValues(QSqlQuery &q)
{
    const int n = int(q.boundValues().size());
    for (int i = 0; i < n; ++i)
        q.bindValue(i, QVariant());
}

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("yz_ds_%1").arg(++counter);
}

} // namespace

std::chrono::milliseconds DataSource::s_timeLimit{DataSource::kDefaultTimeLimit};

DataSource::DataSource() : m_connection(nextConnectionName())
{
}

DataSource::~DataSource()
{
    close();
}

void DataSource::setDatabaseName(const QString &path)
{
    if (path == m_path)
        return;
    close();
    m_path = path;
    m_ranAway = false;
}

void DataSource::setRecordSource(const QString &table)
{
    m_table = table;
}

bool DataSource::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool DataSource::fail(const QString &message) const
{
    // After a statement ran away, every failure is that one.
    m_error = m_ranAway ? QStringLiteral("小说文件中的内容运行过久，已停止读写：%1").arg(m_path) : message;
    return false;
}

void DataSource::close()
{
    if (m_inTransaction)
        Rollback();
    m_queries.clear();
    m_ids.clear();
    m_cache.clear();
    m_setTable.clear();
    m_pos = -1;
    m_deleted = false;
    m_mode = EditMode::None;
    m_pending.clear();
    disconnect();
}

void DataSource::disconnect()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_readOnly = false;
}

sqlite3 *DataSource::handle() const
{
    if (!m_db.isValid())
        return nullptr;
    const QVariant handle = m_db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

int DataSource::onProgress(void *self)
{
    auto *ds = static_cast<DataSource *>(self);
    if (std::chrono::steady_clock::now() < ds->m_deadline)
        return 0;
    ds->m_ranAway = true;
    return 1;
}

bool DataSource::begin() const
{
    // A file that held a statement which did not end counts as unreadable
    // from then on, rather than being tried again at every keystroke.
    if (m_ranAway)
        return fail(QString());
    m_deadline = std::chrono::steady_clock::now() + s_timeLimit;
    return true;
}

void DataSource::setTimeLimit(std::chrono::milliseconds limit)
{
    s_timeLimit = limit;
}

bool DataSource::diskIsFull(const QString &path)
{
    // Room for the index of the log and a few pages of it.
    constexpr qint64 kLeastRoom = 256 * 1024;
    if (platform::isReadOnlyVolume(path))
        return false;
    const qint64 room = platform::freeBytes(path);
    return room >= 0 && room < kLeastRoom;
}

bool DataSource::connect(const QString &path, bool immutable, int *code)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    // mode=rw: a file that vanished is an error, never an empty new database.
    // On read-only media SQLite opens it for reading by itself.
    m_db.setDatabaseName(QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()) +
                         (immutable ? QStringLiteral("?mode=ro&immutable=1") : QStringLiteral("?mode=rw")));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=250"));
    if (!m_db.open()) {
        *code = m_db.lastError().nativeErrorCode().toInt();
        return fail(m_db.lastError().text());
    }
    if (sqlite3 *db = handle())
        sqlite3_progress_handler(db, kProgressSteps, &DataSource::onProgress, this);
    QSqlQuery pragma(m_db);
    // Sorts and other scratch work stay in memory, bounded by the time limit,
    // instead of growing on the disk.
    pragma.exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
    // The encoding is the first read of the file: it fails here when the
    // file is no database, or when SQLite cannot make the index of its log
    // beside the file.
    if (!pragma.exec(QStringLiteral("PRAGMA encoding")) || !pragma.next()) {
        *code = pragma.lastError().nativeErrorCode().toInt();
        return fail(pragma.lastError().text());
    }
    m_utf16 = pragma.value(0).toString().startsWith(QLatin1String("UTF-16"));
    pragma.finish();
    if (!immutable) {
        // Committed means on disk: every change must survive a crash or power cut.
        pragma.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        pragma.exec(QStringLiteral("PRAGMA cache_size=-32768"));
    }
    if (sqlite3 *db = handle())
        m_readOnly = sqlite3_db_readonly(db, "main") == 1;
    return true;
}

bool DataSource::open()
{
    if (!begin())
        return false;
    if (isOpen())
        return true;
    const QFileInfo info(m_path);
    if (m_path.isEmpty() || !info.exists())
        return fail(QStringLiteral("找不到文件：%1").arg(m_path));
    if (!info.isFile())
        return fail(QStringLiteral("不是小说文件：%1").arg(m_path));

    // On read-only media or a full disk SQLite cannot make the index of its
    // log beside the file. The file can still be read as it stands on disk,
    // unless a log beside it holds part of the novel, which that reading
    // would not see.
    const QString path = info.absoluteFilePath();
    const bool asItStands = QFileInfo(path + QStringLiteral("-wal")).size() == 0;
    int code = SQLITE_OK;
    // A disk that is full already is read as it stands at once, before a
    // try that would leave empty side files behind.
    if (asItStands && diskIsFull(path)) {
        if (connect(path, true, &code))
            return true;
        disconnect();
    }
    if (connect(path, false, &code))
        return true;
    const QString why = m_error;
    disconnect();
    const int primary = code & 0xff;
    const bool noLogIndex =
        primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_IOERR || primary == SQLITE_FULL;
    if (noLogIndex && asItStands) {
        if (connect(path, true, &code))
            return true;
        disconnect();
    }
    return fail(why);
}

bool DataSource::fileMoved() const
{
    // SQLite keeps writing into a file that was deleted or renamed while open,
    // and such writes are lost: ask it whether the path still names our file.
    sqlite3 *db = handle();
    int moved = 0;
    return db && sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

bool DataSource::writable()
{
    if (!begin())
        return false;
    if (!isOpen())
        return fail(QStringLiteral("小说文件没有打开"));
    if (m_readOnly)
        return fail(QStringLiteral("小说文件在只读的位置或磁盘已满，只能阅读：%1").arg(m_path));
    if (fileMoved())
        return fail(QStringLiteral("小说文件已被删除或移走：%1").arg(m_path));
    return true;
}

QSqlQuery &DataSource::query(const QString &sql) const
{
    auto &slot = m_queries[sql];
    if (!slot) {
        slot = std::make_shared<QSqlQuery>(m_db);
        slot->setForwardOnly(true);
        if (!slot->prepare(sql))
            m_error = slot->lastError().text();
    }
    return *slot;
}

bool DataSource::loadColumns()
{
    // Only an ordinary table holds records: a view or a virtual table may
    // compute rows without end, and none is ever written by this program.
    QSqlQuery kind(m_db);
    kind.prepare(QStringLiteral("SELECT type, sql FROM sqlite_master WHERE type IN ('table', 'view') AND name = ? "
                                "COLLATE NOCASE"));
    kind.addBindValue(m_table);
    if (!kind.exec())
        return fail(kind.lastError().text());
    if (kind.next() && (kind.value(0).toString() != QLatin1String("table") ||
                        kind.value(1).toString().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive)))
        return fail(QStringLiteral("小说文件中的“%1”不是表").arg(m_table));
    kind.finish();

    QSqlQuery info(m_db);
    if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(m_table))))
        return fail(info.lastError().text());
    m_columns.clear();
    m_shortColumns.clear();
    m_idColumn.clear();
    while (info.next()) {
        const QString name = info.value(1).toString();
        const QString type = info.value(2).toString();
        m_columns << name;
        if (info.value(5).toInt() == 1 && type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            m_idColumn = name;
        if (!isLongField(name, type))
            m_shortColumns << name;
    }
    if (m_columns.isEmpty())
        return fail(QStringLiteral("小说文件中没有表“%1”").arg(m_table));
    return true;
}

bool DataSource::Refresh()
{
    return load(-1);
}

bool DataSource::RefreshFirst()
{
    return load(1);
}

bool DataSource::load(int limit)
{
    m_ids.clear();
    m_cache.clear();
    m_pos = -1;
    m_deleted = false;
    m_mode = EditMode::None;
    m_pending.clear();
    m_setTable.clear();
    if (!open())
        return false;
    if (!loadColumns())
        return false;

    QStringList select{QStringLiteral("rowid")};
    for (const QString &c : std::as_const(m_shortColumns))
        select << quoted(c);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    QString sql =
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(select.join(QLatin1Char(',')), quoted(m_table));
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    if (!q.exec(sql))
        return fail(q.lastError().text());
    const int n = m_shortColumns.size();
    while (q.next()) {
        m_ids.append(q.value(0).toLongLong());
        for (int c = 0; c < n; ++c)
            m_cache.append(q.value(c + 1));
    }
    if (q.lastError().isValid())
        return fail(q.lastError().text());
    m_setTable = m_table;
    m_pos = m_ids.isEmpty() ? -1 : 0;
    return true;
}

bool DataSource::MoveFirst()
{
    m_deleted = false;
    m_pos = m_ids.isEmpty() ? -1 : 0;
    return m_pos == 0 || fail(QStringLiteral("没有记录"));
}

bool DataSource::MoveLast()
{
    m_deleted = false;
    m_pos = m_ids.size() - 1;
    return m_pos >= 0 || fail(QStringLiteral("没有记录"));
}

bool DataSource::Move(int count)
{
    if (m_pos < 0)
        return fail(QStringLiteral("没有当前记录"));
    // After a Delete the position already names the record that followed.
    const qint64 target = qint64(m_pos) + count - (m_deleted && count > 0 ? 1 : 0);
    m_deleted = false;
    if (target < 0 || target > m_ids.size()) {
        m_pos = target < 0 ? -1 : int(m_ids.size());
        return fail(QStringLiteral("没有当前记录"));
    }
    m_pos = int(target);
    return m_pos < m_ids.size() || fail(QStringLiteral("没有当前记录"));
}

bool DataSource::MoveNext()
{
    if (m_pos < 0 || m_pos >= m_ids.size())
        return fail(QStringLiteral("没有当前记录"));
    if (!m_deleted)
        ++m_pos;
    m_deleted = false;
    return m_pos < m_ids.size();
}

bool DataSource::Eof() const
{
    return m_ids.isEmpty() || m_pos >= m_ids.size();
}

bool DataSource::hasCurrent() const
{
    return !m_deleted && m_pos >= 0 && m_pos < m_ids.size();
}

int DataSource::AbsolutePosition() const
{
    return hasCurrent() ? m_pos : -1;
}

int DataSource::shortColumn(const QString &field) const
{
    return m_shortColumns.indexOf(field);
}

bool DataSource::hasColumn(const QString &field) const
{
    return m_columns.contains(field);
}

bool DataSource::FindRowId(qint64 rowid)
{
    const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), rowid);
    if (it == m_ids.cend() || *it != rowid)
        return false;
    m_pos = int(it - m_ids.cbegin());
    m_deleted = false;
    return true;
}

bool DataSource::FindFirst(const QString &field, const QVariant &value)
{
    if (m_setTable.isEmpty())
        return fail(QStringLiteral("没有打开的记录集"));
    if (!begin())
        return false;
    int found = -1;
    if (field == m_idColumn) {
        bool ok = false;
        const qint64 id = value.toLongLong(&ok);
        const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), id);
        if (ok && it != m_ids.cend() && *it == id)
            found = int(it - m_ids.cbegin());
    } else if (const int c = shortColumn(field); c >= 0) {
        const int n = m_shortColumns.size();
        const QString wanted = value.toString();
        for (int r = 0; r < m_ids.size(); ++r) {
            const QVariant &v = m_cache[r * n + c];
            if (!v.isNull() && v.toString() == wanted) {
                found = r;
                break;
            }
        }
    } else if (hasColumn(field)) {
        QSqlQuery &q = query(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                                 .arg(quoted(m_setTable), quoted(field)));
        q.addBindValue(value);
        if (q.exec() && q.next()) {
            const qint64 id = q.value(0).toLongLong();
            const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), id);
            if (it != m_ids.cend() && *it == id)
                found = int(it - m_ids.cbegin());
        }
        q.finish();
    } else {
        return fail(QStringLiteral("没有字段“%1”").arg(field));
    }
    if (found < 0)
        return false;
    m_pos = found;
    m_deleted = false;
    return true;
}

QVariant DataSource::value(const QString &field) const
{
    if (!hasCurrent()) {
        fail(QStringLiteral("没有当前记录"));
        return {};
    }
    if (const int c = shortColumn(field); c >= 0)
        return m_cache[m_pos * m_shortColumns.size() + c];
    if (!hasColumn(field)) {
        fail(QStringLiteral("没有字段“%1”").arg(field));
        return {};
    }
    if (!begin())
        return {};
    QSqlQuery &q = query(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(quoted(field), quoted(m_setTable)));
    q.addBindValue(m_ids[m_pos]);
    QVariant v;
    if (q.exec() && q.next())
        v = q.value(0);
    else
        fail(q.lastError().isValid() ? q.lastError().text() : QStringLiteral("记录已不存在"));
    q.finish();
    return v;
}

int DataSource::textLength(const QString &field) const
{
    if (!hasCurrent())
        return fail(QStringLiteral("没有当前记录")), -1;
    if (shortColumn(field) >= 0 || !m_utf16)
        return int(text(field).size());
    if (!begin())
        return -1;
    // In a UTF-16 file the stored bytes of a text are its code units.
    QSqlQuery &q = query(QStringLiteral("SELECT length(CAST(%1 AS BLOB)) FROM %2 WHERE rowid = ?")
                             .arg(quoted(field), quoted(m_setTable)));
    q.addBindValue(m_ids[m_pos]);
    int n = -1;
    if (q.exec() && q.next())
        n = q.value(0).toInt() / 2;
    else
        fail(q.lastError().text());
    q.finish();
    return n;
}

bool DataSource::Edit()
{
    if (!hasCurrent())
        return fail(QStringLiteral("没有当前记录"));
    m_mode = EditMode::Edit;
    m_pending.clear();
    return true;
}

bool DataSource::AddNew()
{
    if (m_setTable.isEmpty())
        return fail(QStringLiteral("没有打开的记录集"));
    m_mode = EditMode::AddNew;
    m_pending.clear();
    return true;
}

void DataSource::setValue(const QString &field, const QVariant &value)
{
    for (auto &p : m_pending) {
        if (p.first == field) {
            p.second = value;
            return;
        }
    }
    m_pending.append({field, value});
}

void DataSource::CancelUpdate()
{
    m_mode = EditMode::None;
    m_pending.clear();
}

bool DataSource::Update()
{
    const EditMode mode = m_mode;
    const auto pending = std::move(m_pending);
    m_mode = EditMode::None;
    m_pending.clear();
    if (mode == EditMode::None)
        return fail(QStringLiteral("没有开始编辑"));
    for (const auto &p : pending) {
        if (!hasColumn(p.first))
            return fail(QStringLiteral("没有字段“%1”").arg(p.first));
    }
    if (!writable())
        return false;

    if (mode == EditMode::Edit) {
        if (!hasCurrent())
            return fail(QStringLiteral("没有当前记录"));
        if (pending.isEmpty())
            return true;
        QStringList sets;
        for (const auto &p : pending)
            sets << quoted(p.first) + QStringLiteral(" = ?");
        QSqlQuery &q = query(
            QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quoted(m_setTable), sets.join(QLatin1Char(','))));
        for (const auto &p : pending)
            q.addBindValue(p.second);
        q.addBindValue(m_ids[m_pos]);
        const bool ok = q.exec();
        const QString why = q.lastError().text();
        // Counted before finish(): a finished query no longer knows it.
        const int changed = ok ? q.numRowsAffected() : -1;
        q.finish();
        releaseBoundValues(q);
        if (!ok)
            return fail(why);
        if (changed == 0)
            return fail(QStringLiteral("记录已不存在"));
        const int n = m_shortColumns.size();
        for (const auto &p : pending) {
            if (const int c = shortColumn(p.first); c >= 0)
                m_cache[m_pos * n + c] = p.second;
        }
        return true;
    }

    QString sql;
    if (pending.isEmpty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_setTable));
    } else {
        QStringList names, marks;
        for (const auto &p : pending) {
            names << quoted(p.first);
            marks << QStringLiteral("?");
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(m_setTable), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    }
    QSqlQuery &q = query(sql);
    for (const auto &p : pending)
        q.addBindValue(p.second);
    const bool ok = q.exec();
    const QString why = q.lastError().text();
    const qint64 id = q.lastInsertId().toLongLong();
    q.finish();
    releaseBoundValues(q);
    if (!ok)
        return fail(why);

    // Appended records are the last of the table: the store hands out ids
    // above every id it ever gave.
    m_ids.append(id);
    for (const QString &c : std::as_const(m_shortColumns)) {
        QVariant v;
        if (c == m_idColumn)
            v = id;
        for (const auto &p : pending) {
            if (p.first == c)
                v = p.second;
        }
        m_cache.append(v);
    }
    if (m_pos < 0)
        m_pos = 0;
    return true;
}

bool DataSource::Delete()
{
    if (!hasCurrent())
        return fail(QStringLiteral("没有当前记录"));
    if (!writable())
        return false;
    QSqlQuery &q = query(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(m_setTable)));
    q.addBindValue(m_ids[m_pos]);
    const bool ok = q.exec();
    const QString why = q.lastError().text();
    q.finish();
    if (!ok)
        return fail(why);
    const int n = m_shortColumns.size();
    m_ids.remove(m_pos);
    m_cache.remove(m_pos * n, n);
    m_deleted = true;
    return true;
}

bool DataSource::BeginTrans()
{
    if (m_inTransaction)
        return fail(QStringLiteral("已经在一组修改之中"));
    if (!open() || !writable())
        return false;
    QSqlQuery q(m_db);
    // IMMEDIATE: take the write lock now, so that a file another program is
    // writing is refused before the first change rather than part way.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(q.lastError().text());
    m_inTransaction = true;
    return true;
}

bool DataSource::CommitTrans()
{
    if (!m_inTransaction)
        return fail(QStringLiteral("没有开始一组修改"));
    begin();
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail(q.lastError().text());
    m_inTransaction = false;
    return true;
}

void DataSource::Rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    const QString why = m_error;
    begin();
    {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
    // The cached record set may hold changes that were just dropped.
    if (!m_setTable.isEmpty()) {
        m_table = m_setTable;
        Refresh();
    }
    m_error = why;
}

bool DataSource::setLogCheckpointPages(int pages)
{
    if (!open())
        return false;
    QSqlQuery q(m_db);
    return q.exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(std::max(0, pages))) || fail(q.lastError().text());
}

bool DataSource::Checkpoint()
{
    if (!isOpen())
        return fail(QStringLiteral("小说文件没有打开"));
    QSqlQuery q(m_db);
    return q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")) || fail(q.lastError().text());
}
