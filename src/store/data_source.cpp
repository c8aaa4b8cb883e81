#include "store/data_source.h"

#include <algorithm>

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

// The page cache of a window's or the writer's connection, in KiB.
constexpr int kCacheKiB = 32768;

} // namespace

DataSource::DataSource() = default;

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
    return m_db.isOpen();
}

bool DataSource::fail(const QString &message) const
{
    // After a statement ran away, every failure is that one.
    m_error = ranAway() ? QStringLiteral("小说文件中的内容运行过久，已停止读写：%1").arg(m_path) : message;
    return false;
}

void DataSource::close()
{
    if (m_inTransaction)
        Rollback();
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
    // The file stays one that ran away after its connection is gone.
    m_ranAway = ranAway();
    m_queries.clear();
    m_db.close();
    m_readOnly = false;
}

bool DataSource::begin() const
{
    // A file that held a statement which did not end counts as unreadable
    // from then on, rather than being tried again at every keystroke.
    if (ranAway())
        return fail(QString());
    m_db.armTimeLimit();
    return true;
}

bool DataSource::open()
{
    if (!begin())
        return false;
    if (isOpen())
        return true;
    sqlite::NovelOptions options;
    options.cacheKiB = kCacheKiB;
    QString why;
    if (!sqlite::openNovel(m_db, m_path, options, &why))
        return fail(why);
    m_readOnly = m_db.isReadOnly();
    if (m_logLimit > 0 && !m_db.setLogLimit(m_logLimit)) {
        failSql();
        disconnect();
        return false;
    }
    return true;
}

bool DataSource::fileMoved() const
{
    // SQLite keeps writing into a file that was deleted or renamed while open,
    // and such writes are lost: ask it whether the path still names our file.
    return m_db.fileMoved();
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

sqlite::Statement &DataSource::query(const QString &sql) const
{
    auto &slot = m_queries[sql];
    if (!slot || !slot->isValid())
        slot = std::make_shared<sqlite::Statement>(m_db, sql);
    return *slot;
}

bool DataSource::loadColumns()
{
    // Only an ordinary table holds records: a view or a virtual table may
    // compute rows without end, and none is ever written by this program.
    sqlite::TableKind kind = sqlite::TableKind::Missing;
    if (!sqlite::tableKind(m_db, m_table, &kind))
        return failSql();
    if (kind == sqlite::TableKind::Other)
        return fail(QStringLiteral("小说文件中的“%1”不是表").arg(m_table));

    sqlite::Statement info(m_db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(m_table)));
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
    if (!info.atEnd())
        return failSql();
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
    QString sql =
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(select.join(QLatin1Char(',')), quoted(m_table));
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    sqlite::Statement q(m_db, sql);
    const int n = m_shortColumns.size();
    while (q.next()) {
        m_ids.append(q.int64(0));
        for (int c = 0; c < n; ++c)
            m_cache.append(q.value(c + 1));
    }
    if (!q.atEnd())
        return failSql();
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
        sqlite::Statement &q = query(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                                         .arg(quoted(m_setTable), quoted(field)));
        q.bind(1, value);
        if (q.next()) {
            const qint64 id = q.int64(0);
            const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), id);
            if (it != m_ids.cend() && *it == id)
                found = int(it - m_ids.cbegin());
        }
        q.reset();
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
    sqlite::Statement &q =
        query(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(quoted(field), quoted(m_setTable)));
    q.bind(1, m_ids[m_pos]);
    QVariant v;
    if (q.next())
        v = q.value(0);
    else
        fail(q.atEnd() ? QStringLiteral("记录已不存在") : m_db.errorText());
    q.reset();
    return v;
}

int DataSource::textLength(const QString &field) const
{
    if (!hasCurrent())
        return fail(QStringLiteral("没有当前记录")), -1;
    if (shortColumn(field) >= 0 || !m_db.textIsUtf16())
        return int(text(field).size());
    if (!begin())
        return -1;
    // In a UTF-16 file the stored bytes of a text are its code units.
    sqlite::Statement &q = query(QStringLiteral("SELECT length(CAST(%1 AS BLOB)) FROM %2 WHERE rowid = ?")
                                     .arg(quoted(field), quoted(m_setTable)));
    q.bind(1, m_ids[m_pos]);
    int n = -1;
    if (q.next())
        n = int(q.int64(0) / 2);
    else
        fail(q.atEnd() ? QStringLiteral("记录已不存在") : m_db.errorText());
    q.reset();
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
        sqlite::Statement &q = query(
            QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quoted(m_setTable), sets.join(QLatin1Char(','))));
        int i = 0;
        for (const auto &p : pending)
            q.bind(++i, p.second);
        q.bind(++i, m_ids[m_pos]);
        const bool ok = q.run();
        const QString why = ok ? QString() : m_db.errorText();
        const qint64 changed = ok ? m_db.changes() : -1;
        q.reset();
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
    sqlite::Statement &q = query(sql);
    int i = 0;
    for (const auto &p : pending)
        q.bind(++i, p.second);
    const bool ok = q.run();
    const QString why = ok ? QString() : m_db.errorText();
    const qint64 id = m_db.lastInsertRowId();
    q.reset();
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
    sqlite::Statement &q = query(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(m_setTable)));
    q.bind(1, m_ids[m_pos]);
    const bool ok = q.run();
    const QString why = ok ? QString() : m_db.errorText();
    q.reset();
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
    // IMMEDIATE: take the write lock now, so that a file another program is
    // writing is refused before the first change rather than part way.
    if (!m_db.exec("BEGIN IMMEDIATE"))
        return failSql();
    m_inTransaction = true;
    return true;
}

bool DataSource::CommitTrans()
{
    if (!m_inTransaction)
        return fail(QStringLiteral("没有开始一组修改"));
    // A file that ran away commits nothing more: the group is rolled back.
    if (!begin() || !m_db.exec("COMMIT"))
        return failSql();
    m_inTransaction = false;
    return true;
}

bool DataSource::Rollback()
{
    if (!m_inTransaction)
        return true;
    const QString why = m_error;
    // The rollback itself gets its time even after a statement ran away: it
    // is what drops that statement's group of changes.
    m_db.armTimeLimit();
    // SQLite may have dropped the group by itself already (a full disk, a
    // statement stopped): then there is nothing left to roll back.
    const bool ok = m_db.exec("ROLLBACK") || m_db.isInAutocommit();
    const QString failure = m_db.errorText();
    m_inTransaction = false;
    // Still inside the group: the connection goes, and the changes with it.
    if (!ok)
        disconnect();
    // The cached record set may hold changes that were just dropped.
    if (!m_setTable.isEmpty()) {
        m_table = m_setTable;
        Refresh();
    }
    if (!ok)
        return fail(QStringLiteral("撤销修改失败：%1").arg(failure));
    m_error = why;
    return true;
}

bool DataSource::setLogLimit(qint64 bytes)
{
    m_logLimit = bytes;
    return !isOpen() || m_db.setLogLimit(bytes) || failSql();
}

bool DataSource::Checkpoint()
{
    if (!isOpen())
        return fail(QStringLiteral("小说文件没有打开"));
    return m_db.checkpoint() || failSql();
}
