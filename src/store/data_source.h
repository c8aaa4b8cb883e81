// The data source: a window's view of one table of one novel file, with a
// current record, in the terms the windows use (Refresh, MoveFirst, Edit...).
#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>
#include <chrono>
#include <memory>

class QSqlQuery;
struct sqlite3;

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
    bool BeginTrans();
    bool CommitTrans();
    void Rollback();
    bool inTransaction() const { return m_inTransaction; }

    QString lastError() const { return m_error; }
    // True when the file could be opened for reading only (read-only media,
    // a full disk): every change then fails, saying so.
    bool isReadOnly() const { return m_readOnly; }

    // No single operation runs longer than this: a file whose views or
    // triggers never end fails like an unreadable one, and stays failed
    // until another file is named. For every data source of the program.
    static void setTimeLimit(std::chrono::milliseconds limit);
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{5000};

    // Write-ahead log upkeep, for a writer that stores often: how many pages
    // the log may gather before a commit copies them into the file (0: never
    // by itself), and such a copy made now, as far as readers allow.
    bool setLogCheckpointPages(int pages);
    bool Checkpoint();

private:
    enum class EditMode { None, Edit, AddNew };

    bool open();
    // Opens the connection and reads the schema; immutable reads the file as
    // it stands, without the log and its index. On failure code is SQLite's.
    bool connect(const QString &path, bool immutable, int *code);
    // Closes the connection alone; the record set is left to the caller.
    void disconnect();
    bool load(int limit);
    // Too little room left beside the file at path for SQLite to read it the
    // usual way.
    static bool diskIsFull(const QString &path);
    // Starts the time limit of an operation; false once a statement ran away.
    bool begin() const;
    static int onProgress(void *self);
    sqlite3 *handle() const;
    bool fail(const QString &message) const;
    bool fileMoved() const;
    // False, with the reason, when a write could not reach the novel file.
    bool writable();
    bool loadColumns();
    int shortColumn(const QString &field) const;
    bool hasColumn(const QString &field) const;
    QSqlQuery &query(const QString &sql) const;

    QString m_path;
    QString m_table;
    QString m_connection;
    QSqlDatabase m_db;
    bool m_utf16 = false;
    bool m_readOnly = false;
    bool m_ranAway = false;
    mutable std::chrono::steady_clock::time_point m_deadline;
    static std::chrono::milliseconds s_timeLimit;

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

    mutable QHash<QString, std::shared_ptr<QSqlQuery>> m_queries;
    mutable QString m_error;
};
