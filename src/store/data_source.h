// The data source: a window's view of one table of one novel file, with a
// current record, in the terms the windows use (Refresh, MoveFirst, Edit...).
#pragma once

#include "store/sqlite_db.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <chrono>
#include <memory>

class DataSource
{
public:
    DataSource();
    ~DataSource();
    DataSource(const DataSource &) = delete;
    DataSource &operator=(const DataSource &) = delete;

    // The novel file; the file is opened by the next Refresh.
    void setDatabaseName(const QString &path);
    const QString &databaseName() const { return m_path; }
    // The table the next Refresh opens: 信息, 分卷 or 小说.
    void setRecordSource(const QString &table);
    const QString &recordSource() const { return m_table; }

    // Opens the whole table in table order; the first record becomes current.
    // Short fields are read here, long texts and pictures only when asked for.
    // Only an ordinary table opens: a view or virtual table is refused.
    bool Refresh();
    // Opens only the first record of the table: for the one 信息 record,
    // whatever else the table may hold.
    bool RefreshFirst();
    // Lets go of the file: no connection, no record set.
    void close();
    bool isOpen() const;

    bool MoveFirst();
    bool MoveLast();
    bool Move(int count);
    bool MoveNext();
    bool Eof() const;
    int RecordCount() const { return m_ids.size(); }
    // 0-based position of the current record, -1 when none is current.
    int AbsolutePosition() const;
    bool hasCurrent() const;
    // The identity of the current record in the file (its rowid), -1 when
    // none is current: what a window remembers to know the record again.
    qint64 currentRowId() const { return hasCurrent() ? m_ids[m_pos] : -1; }

    // Makes the record whose rowid is rowid current; false when there is none.
    bool FindRowId(qint64 rowid);

    // Makes the first record (in table order) whose field equals value current.
    // Returns false, leaving the current record where it was, when none does.
    bool FindFirst(const QString &field, const QVariant &value);

    QVariant value(const QString &field) const;
    QString text(const QString &field) const { return value(field).toString(); }
    QByteArray bytes(const QString &field) const { return value(field).toByteArray(); }
    // Length of a text field in UTF-16 code units, without reading the text
    // into memory where the file allows it; -1 on failure.
    int textLength(const QString &field) const;

    bool Edit();
    bool AddNew();
    void setValue(const QString &field, const QVariant &value);
    // Stores the record begun by Edit or AddNew, committed before it returns.
    // Fails when the file was deleted or moved away since it was opened.
    bool Update();
    void CancelUpdate();
    // Deletes the current record; no record is current until the next move.
    bool Delete();

    // Changes made between BeginTrans and CommitTrans reach the file together,
    // committed durably by CommitTrans, or not at all: Rollback drops them and
    // reads the record set again. For commands that change many records.
    // Each says whether it reached the file; after a failed Rollback the
    // changes are dropped all the same, with the connection.
    bool BeginTrans();
    bool CommitTrans();
    bool Rollback();
    bool inTransaction() const { return m_inTransaction; }

    QString lastError() const { return m_error; }
    // True when the file could be opened for reading only (read-only media,
    // a full disk): every change then fails, saying so.
    bool isReadOnly() const { return m_readOnly; }

    // No single operation runs longer than this: a file too large to read
    // in that time fails like an unreadable one, and stays failed until
    // another file is named. For every connection of the program.
    static void setTimeLimit(std::chrono::milliseconds limit) { sqlite::setTimeLimit(limit); }
    static constexpr std::chrono::milliseconds kDefaultTimeLimit = sqlite::kDefaultTimeLimit;

    // Write-ahead log upkeep, for a writer that stores often, on the
    // writer's own thread: how many bytes the log may gather before a commit
    // copies it into the file and starts it again (0: the log is never
    // copied by this data source's commits, as for every window's), and such
    // a copy made now, as far as readers allow. The limit holds for every
    // connection this data source opens from now on.
    bool setLogLimit(qint64 bytes);
    bool Checkpoint();

private:
    enum class EditMode { None, Edit, AddNew };

    bool open();
    // Closes the connection alone; the record set is left to the caller.
    void disconnect();
    bool load(int limit);
    // Starts the time limit of an operation; false once a statement ran away.
    bool begin() const;
    // A statement on this file ran past the time limit.
    bool ranAway() const { return m_ranAway || m_db.ranOutOfTime(); }
    bool fail(const QString &message) const;
    // Fails with what SQLite said of the last failure.
    bool failSql() const { return fail(m_db.errorText()); }
    bool fileMoved() const;
    // False, with the reason, when a write could not reach the novel file.
    bool writable();
    bool loadColumns();
    int shortColumn(const QString &field) const;
    bool hasColumn(const QString &field) const;
    // The statement for sql, prepared once per connection, ready to bind;
    // reset it once it has run.
    sqlite::Statement &query(const QString &sql) const;

    QString m_path;
    QString m_table;
    // Every statement runs on this connection and changes its state.
    mutable sqlite::Db m_db;
    bool m_readOnly = false;
    bool m_ranAway = false;
    qint64 m_logLimit = 0;

    // The open record set: ids in table order, short fields cached row by row.
    QString m_setTable;
    QStringList m_columns;
    QStringList m_shortColumns;
    QString m_idColumn; // the column that aliases rowid, if any
    QVector<qint64> m_ids;
    QVector<QVariant> m_cache; // m_ids.size() * m_shortColumns.size()
    int m_pos = -1;
    bool m_deleted = false;

    bool m_inTransaction = false;
    EditMode m_mode = EditMode::None;
    QVector<QPair<QString, QVariant>> m_pending;

    mutable QHash<QString, std::shared_ptr<sqlite::Statement>> m_queries;
    mutable QString m_error;
};
