// The store's one way to SQLite: a connection and its statements over the
// sqlite3 C interface, and the one way every connection to a novel file is
// opened and checked. A novel file may come from anyone, so nothing stored
// in it (a trigger, a view) ever runs, and no statement runs for ever.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <atomic>
#include <chrono>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace sqlite {

enum class Access {
    ReadWrite, // reads and writes; read-only where the file cannot be written
    ReadOnly,  // never writes the file and never makes anything beside it
    Create,    // makes a new novel file where there is none yet
};

struct NovelOptions
{
    Access access = Access::ReadWrite;
    // How long to wait for a lock another connection holds.
    int busyTimeoutMs = 250;
    // The page cache, in KiB; 0 leaves SQLite's own.
    int cacheKiB = 0;
};

class Db;
bool openNovel(Db &db, const QString &path, const NovelOptions &options, QString *error);

// One connection, used by one thread at a time.
class Db
{
public:
    Db() = default;
    ~Db();
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    // Opens the database at path (a file: URI when flags hold SQLITE_OPEN_URI)
    // with SQLite's open flags and nothing else: for a file the program is
    // making itself. Every novel file is opened with openNovel instead.
    bool open(const QString &path, int flags);
    // Lets go of the connection. Every Statement on it must be gone first.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *handle() const { return m_db; }

    // Runs SQL that gives no rows; false with errorText() otherwise.
    bool exec(const char *sql);
    bool exec(const QString &sql);
    // The extended result code and the words of the last failure.
    int errorCode() const;
    QString errorText() const;

    // How long a statement waits for a lock another connection holds.
    void setBusyTimeout(int milliseconds);

    // The time bound: a statement still running at the deadline stops with
    // an error, as does one running while *cancel is set.
    void setDeadline(std::chrono::steady_clock::time_point deadline) { m_deadline = deadline; }
    // The deadline is the time limit from now.
    void armTimeLimit();
    void setCancel(const std::atomic_bool *cancel) { m_cancel = cancel; }
    // A statement was stopped by the deadline since the connection was opened.
    bool ranOutOfTime() const { return m_outOfTime; }

    // No transaction is open on the connection.
    bool isInAutocommit() const;
    qint64 changes() const;
    qint64 lastInsertRowId() const;
    // The connection cannot write the file (read-only media, a full disk).
    bool isReadOnly() const;
    // The file was deleted or renamed since it was opened: SQLite would go
    // on writing into it, and those writes would be lost.
    bool fileMoved() const;
    // Text is kept in the file as UTF-16: its stored bytes are code units.
    bool textIsUtf16() const { return m_utf16; }

    // Write-ahead log upkeep. By default a connection never copies the log
    // into the file by itself (SQLite still does when the last connection to
    // a file closes). With a limit, a commit that leaves more than limit
    // bytes in the log copies it into the file there and then, asking the
    // long readers of the program to let go of it (see logReleaseRequests),
    // so that the next commit starts the log again from its beginning: the
    // log never holds much more than limit plus one commit. 0: no limit.
    bool setLogLimit(qint64 limit);
    // Copies into the file what the log holds, as far as readers allow,
    // without waiting for them.
    bool checkpoint();

private:
    friend bool openNovel(Db &, const QString &, const NovelOptions &, QString *);
    static int onProgress(void *self);
    static int onCommit(void *self, sqlite3 *db, const char *name, int frames);

    sqlite3 *m_db = nullptr;
    int m_openCode = 0;
    QString m_openText;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    const std::atomic_bool *m_cancel = nullptr;
    bool m_outOfTime = false;
    bool m_utf16 = false;
    qint64 m_logLimit = 0;
    qint64 m_pageSize = 0;
    int m_busyTimeoutMs = 0;
};

// One prepared statement. Values are read as the windows expect them: TEXT
// as QString, INTEGER as qlonglong, REAL as double, BLOB as QByteArray and
// NULL as a null QVariant of text type (valid, isNull()).
class Statement
{
public:
    Statement() = default;
    Statement(Db &db, const QString &sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_st != nullptr; }

    // Binds the index-th parameter (from 1). A null QString or QByteArray
    // and an empty QVariant are NULL; integers and booleans are INTEGER,
    // floating point is REAL, a QByteArray a BLOB, anything else its text.
    // The value is kept, not copied, until reset().
    bool bind(int index, const QVariant &value);
    // The same for a named parameter (":cover").
    bool bind(const QByteArray &name, const QVariant &value);

    // SQLITE_ROW, SQLITE_DONE or the extended error code.
    int step();
    // Steps to the next row; false at the end and on failure (code() says).
    bool next();
    // Steps to the end; true when it got there without failure.
    bool run();
    int code() const { return m_rc; }
    // The last step reached the end of the rows without failure.
    bool atEnd() const;

    int columnCount() const;
    QVariant value(int column) const;
    qint64 int64(int column) const;
    QString text(int column) const;

    // Ends the run and lets go of every bound value, so that a bound text
    // (a whole chapter) is not kept alive by the statement.
    void reset();

private:
    void release();

    sqlite3_stmt *m_st = nullptr;
    std::vector<QVariant> m_bound;
    int m_rc = 0;
};

// How often a connection has asked the long readers of the program (a
// snapshot's copy) to let go of the write-ahead log. A long reader notes
// the number as it starts to read and ends its read as soon as it changes.
quint64 logReleaseRequests();
// A connection is copying its log into its file after asking so; a long
// reader that let go reads again once this is false.
bool logReleaseUnderway();

// How long one operation on a novel file may run, for every connection of
// the program: a file whose contents keep SQLite busy fails like a damaged one.
void setTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds timeLimit();
constexpr std::chrono::milliseconds kDefaultTimeLimit{5000};

// Opens the novel file at path on db the one way every connection to a novel
// is opened: the path to SQLite as UTF-8; a file that vanished is an error,
// never a new database; triggers and views of the file never run, the schema
// is not trusted and every page is checked as it is read; every operation is
// bound by the time limit (armed here for the opening itself). Written ahead
// through a log with every commit synced to the disk. On read-only media or
// a full disk, where SQLite cannot make the index of its log beside the file,
// a file with nothing in a log or journal beside it is read as it stands
// without making anything beside it. False, with why, otherwise.
bool openNovel(Db &db, const QString &path, const NovelOptions &options, QString *error);

// A failure that says the file's pages are not what a database holds.
bool isDamage(int code);

// What a name in the file is.
enum class TableKind {
    Missing,
    Table, // an ordinary table
    Other, // a view or a virtual table: nothing this program reads or writes
};
// The kind of the table named name (case as SQLite compares names); false
// when the schema cannot be read (errorText() says why).
bool tableKind(Db &db, const QString &name, TableKind *kind);

// Whether the file open on db is a novel: 信息, 分卷 and 小说 are ordinary
// tables and, as asked, its pages pass SQLite's quick or full check.
enum class PageCheck { None, Quick, Full };
enum class Verdict {
    Novel,
    Damaged,    // pages that fail the check, or a database that is no novel
    Unreadable, // the file could not be read to the end (errorCode() says why)
};
Verdict checkNovel(Db &db, PageCheck pages, QString *why);

} // namespace sqlite
