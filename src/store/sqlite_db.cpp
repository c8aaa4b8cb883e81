#include "store/sqlite_db.h"

#include "store/platform.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <sqlite3.h>

// The settings for files from elsewhere came in this version.
static_assert(SQLITE_VERSION_NUMBER >= 3031000, "SQLite 3.31 or later is needed to read novel files safely");

namespace sqlite {

namespace {

// Virtual machine steps between two looks at the clock.
constexpr int kProgressSteps = 1000;

std::atomic<qint64> g_timeLimitMs{kDefaultTimeLimit.count()};
std::atomic<quint64> g_logReleaseRequests{0};
std::atomic<int> g_logReleasesUnderway{0};

// How long a commit that found its log past the limit waits for readers to
// let go of it: a snapshot lets go within one piece of its copy, which a
// busy disk may make slow.
constexpr int kLogReleaseWaitMs = 2000;

bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// A file: URI of the absolute path, its bytes UTF-8, so that SQLite finds
// the file whatever the system's code page, and a "?" or "#" in a name is
// part of the name.
QByteArray fileUri(const QString &absolutePath)
{
    QByteArray uri = QByteArrayLiteral("file://");
    if (!absolutePath.startsWith(QLatin1Char('/')))
        uri += '/';
    return uri + absolutePath.toUtf8().toPercentEncoding("/:");
}

// Too little room left beside the file for SQLite to make the index of its
// log and a few pages of it.
bool diskIsFull(const QString &path)
{
    constexpr qint64 kLeastRoom = 256 * 1024;
    if (platform::isReadOnlyVolume(path))
        return false;
    const qint64 room = platform::freeBytes(path);
    return room >= 0 && room < kLeastRoom;
}

// Nothing of the novel lies beside the file: no log holding part of it, no
// journal of a change under way. The file alone is then the whole novel.
bool nothingBeside(const QString &file)
{
    return QFileInfo(file + QStringLiteral("-wal")).size() == 0 &&
           !QFileInfo::exists(file + QStringLiteral("-journal"));
}

// Turns off what a file could make SQLite do by itself: its triggers and
// views never run, its schema may call no function with side effects, and
// it cannot be made to corrupt itself.
bool distrust(sqlite3 *db)
{
    const int settings[][2] = {{SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                               {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                               {SQLITE_DBCONFIG_DEFENSIVE, 1},
                               {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0}};
    for (const auto &s : settings) {
        int now = -1;
        if (sqlite3_db_config(db, s[0], s[1], &now) != SQLITE_OK || now != s[1])
            return false;
    }
    return true;
}

// One try at a connection to file; immutable reads the file as it stands,
// without locks, the log or its index. On failure code is SQLite's.
bool connect(Db &db, const QString &file, const NovelOptions &options, bool immutable, bool *utf16, QString *why,
             int *code)
{
    const bool readOnly = immutable || options.access == Access::ReadOnly;
    const bool create = options.access == Access::Create;
    // mode=rw: a file that vanished is an error, never an empty new database.
    // On read-only media SQLite opens it for reading by itself.
    const QByteArray query = immutable  ? "?mode=ro&immutable=1"
                             : readOnly ? "?mode=ro"
                             : create   ? "?mode=rwc"
                                        : "?mode=rw";
    const int flags =
        SQLITE_OPEN_URI | (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
    const auto failed = [&](const QString &text) {
        *code = db.errorCode();
        if (why)
            *why = text;
        db.close();
        return false;
    };
    // What SQLite said of a failed statement, kept past its end.
    QString stepFailure;
    if (!db.open(QString::fromUtf8(fileUri(file) + query), flags))
        return failed(db.errorText());
    sqlite3 *h = db.handle();
    if (!distrust(h))
        return failed(QStringLiteral("这个版本的 SQLite 不能安全地读取小说文件"));
    db.setBusyTimeout(options.busyTimeoutMs);
    // The log is copied into the file where the owner of the connection
    // says, never by whichever connection happens to commit.
    sqlite3_wal_autocheckpoint(h, 0);
    db.armTimeLimit();
    // Every page is checked as it is read; sorts and other scratch work stay
    // in memory, bounded by the time limit, instead of growing on the disk.
    if (!db.exec("PRAGMA cell_size_check=ON; PRAGMA temp_store=MEMORY"))
        return failed(db.errorText());
    // The encoding is the first read of the file: it fails here when the
    // file is no database, or when SQLite cannot make the index of its log
    // beside the file. A file being made has none yet.
    if (!create) {
        Statement encoding(db, QStringLiteral("PRAGMA encoding"));
        if (encoding.next())
            *utf16 = encoding.text(0).startsWith(QLatin1String("UTF-16"));
        else
            stepFailure = db.errorText();
    }
    if (!stepFailure.isEmpty())
        return failed(stepFailure);
    if (!readOnly) {
        // Committed means on disk: every change must survive a crash or power cut.
        db.exec("PRAGMA synchronous=FULL");
        if (options.cacheKiB > 0)
            db.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(options.cacheKiB));
    }
    return true;
}

} // namespace

bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

quint64 logReleaseRequests()
{
    return g_logReleaseRequests.load();
}

bool logReleaseUnderway()
{
    return g_logReleasesUnderway.load() > 0;
}

void setTimeLimit(std::chrono::milliseconds limit)
{
    g_timeLimitMs = limit.count();
}

std::chrono::milliseconds timeLimit()
{
    return std::chrono::milliseconds(g_timeLimitMs.load());
}

Db::~Db()
{
    close();
}

bool Db::open(const QString &path, int flags)
{
    close();
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        m_openCode = m_db ? sqlite3_extended_errcode(m_db) : rc;
        m_openText = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_progress_handler(m_db, kProgressSteps, &Db::onProgress, this);
    return true;
}

void Db::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_deadline = std::chrono::steady_clock::time_point::max();
    m_outOfTime = false;
    m_utf16 = false;
    m_logLimit = 0;
}

int Db::onProgress(void *self)
{
    auto *db = static_cast<Db *>(self);
    if (db->m_cancel && db->m_cancel->load())
        return 1;
    if (std::chrono::steady_clock::now() < db->m_deadline)
        return 0;
    db->m_outOfTime = true;
    return 1;
}

void Db::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

bool Db::setLogLimit(qint64 limit)
{
    if (!m_db)
        return false;
    m_logLimit = std::max<qint64>(0, limit);
    if (m_logLimit == 0) {
        sqlite3_wal_hook(m_db, nullptr, nullptr);
        return true;
    }
    Statement pageSize(*this, QStringLiteral("PRAGMA page_size"));
    if (!pageSize.next())
        return false;
    m_pageSize = pageSize.int64(0);
    sqlite3_wal_hook(m_db, &Db::onCommit, this);
    return true;
}

int Db::onCommit(void *self, sqlite3 *h, const char *name, int frames)
{
    auto *db = static_cast<Db *>(self);
    if (qint64(frames) * db->m_pageSize < db->m_logLimit)
        return SQLITE_OK;
    // The log can start again only once every reader reads from the file
    // alone; a snapshot's copy lets go when asked, and reads again later.
    ++g_logReleasesUnderway;
    ++g_logReleaseRequests;
    sqlite3_busy_timeout(h, std::max(db->m_busyTimeoutMs, kLogReleaseWaitMs));
    sqlite3_wal_checkpoint_v2(h, name, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
    sqlite3_busy_timeout(h, db->m_busyTimeoutMs);
    --g_logReleasesUnderway;
    // The commit itself is done and durable whatever the copy gave.
    return SQLITE_OK;
}

bool Db::checkpoint()
{
    return m_db && sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) == SQLITE_OK;
}

void Db::armTimeLimit()
{
    m_deadline = std::chrono::steady_clock::now() + timeLimit();
}

bool Db::exec(const char *sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Db::exec(const QString &sql)
{
    return exec(sql.toUtf8().constData());
}

int Db::errorCode() const
{
    return m_db ? sqlite3_extended_errcode(m_db) : m_openCode;
}

QString Db::errorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : m_openText;
}

bool Db::isInAutocommit() const
{
    return !m_db || sqlite3_get_autocommit(m_db) != 0;
}

qint64 Db::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

qint64 Db::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

bool Db::isReadOnly() const
{
    return m_db && sqlite3_db_readonly(m_db, "main") == 1;
}

bool Db::fileMoved() const
{
    int moved = 0;
    return m_db && sqlite3_file_control(m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

Statement::Statement(Db &db, const QString &sql)
{
    if (!db.isOpen()) {
        m_rc = SQLITE_MISUSE;
        return;
    }
    const QByteArray text = sql.toUtf8();
    m_rc = sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &m_st, nullptr);
    if (m_rc != SQLITE_OK)
        release();
}

Statement::~Statement()
{
    release();
}

Statement::Statement(Statement &&other) noexcept
    : m_st(std::exchange(other.m_st, nullptr)), m_bound(std::move(other.m_bound)), m_rc(other.m_rc)
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        release();
        m_st = std::exchange(other.m_st, nullptr);
        m_bound = std::move(other.m_bound);
        m_rc = other.m_rc;
    }
    return *this;
}

void Statement::release()
{
    sqlite3_finalize(m_st);
    m_st = nullptr;
    m_bound.clear();
}

bool Statement::bind(int index, const QVariant &value)
{
    if (!m_st)
        return false;
    // Kept until reset: SQLite reads a bound text or blob where it lies.
    const QVariant &kept = m_bound.emplace_back(value);
    int rc = SQLITE_OK;
    switch (kept.typeId()) {
    case QMetaType::UnknownType:
        rc = sqlite3_bind_null(m_st, index);
        break;
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        rc = sqlite3_bind_int64(m_st, index, kept.toLongLong());
        break;
    case QMetaType::Float:
    case QMetaType::Double:
        rc = sqlite3_bind_double(m_st, index, kept.toDouble());
        break;
    case QMetaType::QByteArray: {
        const auto *bytes = static_cast<const QByteArray *>(kept.constData());
        rc = bytes->isNull()
                 ? sqlite3_bind_null(m_st, index)
                 : sqlite3_bind_blob64(m_st, index, bytes->constData(), sqlite3_uint64(bytes->size()), SQLITE_STATIC);
        break;
    }
    case QMetaType::QString: {
        const auto *text = static_cast<const QString *>(kept.constData());
        rc = text->isNull() ? sqlite3_bind_null(m_st, index)
                            : sqlite3_bind_text16(m_st, index, text->constData(), int(text->size() * 2), SQLITE_STATIC);
        break;
    }
    default:
        m_bound.pop_back();
        return bind(index, QVariant(value.toString()));
    }
    m_rc = rc;
    return rc == SQLITE_OK;
}

bool Statement::bind(const QByteArray &name, const QVariant &value)
{
    const int index = m_st ? sqlite3_bind_parameter_index(m_st, name.constData()) : 0;
    return index > 0 && bind(index, value);
}

int Statement::step()
{
    if (m_st)
        m_rc = sqlite3_step(m_st);
    return m_rc;
}

bool Statement::next()
{
    return step() == SQLITE_ROW;
}

bool Statement::atEnd() const
{
    return m_rc == SQLITE_DONE;
}

bool Statement::run()
{
    while (step() == SQLITE_ROW) {
    }
    return m_rc == SQLITE_DONE;
}

int Statement::columnCount() const
{
    return m_st ? sqlite3_column_count(m_st) : 0;
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(m_st, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_st, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_st, column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(m_st, column)),
                                   sqlite3_column_bytes(m_st, column)));
    case SQLITE_TEXT:
        return QVariant(text(column));
    default:
        // Valid and null, as a field that holds nothing has always read.
        return QVariant(QMetaType::fromType<QString>());
    }
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(m_st, column);
}

QString Statement::text(int column) const
{
    const void *units = sqlite3_column_text16(m_st, column);
    return QString(static_cast<const QChar *>(units), sqlite3_column_bytes16(m_st, column) / 2);
}

void Statement::reset()
{
    if (!m_st)
        return;
    sqlite3_reset(m_st);
    sqlite3_clear_bindings(m_st);
    m_bound.clear();
    m_rc = SQLITE_OK;
}

bool openNovel(Db &db, const QString &path, const NovelOptions &options, QString *error)
{
    db.close();
    QString why;
    int code = SQLITE_OK;
    bool utf16 = false;
    switch (platform::kindOf(path, nullptr, &why)) {
    case platform::Kind::Missing:
        if (options.access == Access::Create)
            return connect(db, QFileInfo(path).absoluteFilePath(), options, false, &utf16, error, &code);
        return failWith(error, QStringLiteral("找不到文件：%1").arg(path));
    case platform::Kind::Unknown:
        return failWith(error, why);
    case platform::Kind::Directory:
    case platform::Kind::Other:
        return failWith(error, QStringLiteral("不是小说文件：%1").arg(path));
    case platform::Kind::Regular:
        if (options.access == Access::Create)
            return failWith(error, QStringLiteral("文件已存在：%1").arg(path));
        break;
    }

    // On read-only media or a full disk SQLite cannot make the index of its
    // log beside the file. The file can still be read as it stands on disk,
    // unless a log or journal beside it holds part of the novel, which that
    // reading would not see. A reader that must never make anything beside
    // the file reads it so whenever it can.
    const QString file = QFileInfo(path).absoluteFilePath();
    const bool asItStands = nothingBeside(file);
    const bool readOnly = options.access == Access::ReadOnly;
    // A disk that is full already is read as it stands at once, before a
    // try that would leave empty side files behind.
    if (asItStands && (readOnly || diskIsFull(file))) {
        if (connect(db, file, options, true, &utf16, &why, &code)) {
            db.m_utf16 = utf16;
            return true;
        }
        if (readOnly)
            return failWith(error, why);
    }
    if (connect(db, file, options, false, &utf16, &why, &code)) {
        db.m_utf16 = utf16;
        return true;
    }
    const int primary = code & 0xff;
    const bool noLogIndex =
        primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_IOERR || primary == SQLITE_FULL;
    if (noLogIndex && asItStands && !readOnly) {
        QString again;
        if (connect(db, file, options, true, &utf16, &again, &code)) {
            db.m_utf16 = utf16;
            return true;
        }
    }
    return failWith(error, why);
}

bool tableKind(Db &db, const QString &name, TableKind *kind)
{
    Statement st(db, QStringLiteral("SELECT type, sql FROM sqlite_master WHERE type IN ('table', 'view') AND "
                                    "name = ? COLLATE NOCASE"));
    st.bind(1, name);
    if (st.next()) {
        const bool table = st.text(0) == QLatin1String("table") &&
                           !st.text(1).startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
        *kind = table ? TableKind::Table : TableKind::Other;
        return true;
    }
    *kind = TableKind::Missing;
    return st.code() == SQLITE_DONE;
}

Verdict checkNovel(Db &db, PageCheck pages, QString *why)
{
    const auto unread = [&] {
        if (why)
            *why = db.errorText();
        return isDamage(db.errorCode()) ? Verdict::Damaged : Verdict::Unreadable;
    };
    if (pages != PageCheck::None) {
        Statement check(db, pages == PageCheck::Quick ? QStringLiteral("PRAGMA quick_check")
                                                      : QStringLiteral("PRAGMA integrity_check"));
        QStringList found;
        while (check.next())
            found << check.text(0);
        if (check.code() != SQLITE_DONE)
            return unread();
        if (found != QStringList{QStringLiteral("ok")}) {
            if (why)
                *why = found.join(QLatin1Char('\n'));
            return Verdict::Damaged;
        }
    }
    for (const QString &name : {QStringLiteral("信息"), QStringLiteral("分卷"), QStringLiteral("小说")}) {
        TableKind kind = TableKind::Missing;
        if (!tableKind(db, name, &kind))
            return unread();
        if (kind == TableKind::Table)
            continue;
        if (why)
            *why = kind == TableKind::Missing ? QStringLiteral("缺少表“%1”").arg(name)
                                              : QStringLiteral("“%1”不是表").arg(name);
        return Verdict::Damaged;
    }
    return Verdict::Novel;
}

} // namespace sqlite
