#include "store/cover_stream.h"

#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace {

// How the cover's file is opened. A novel file is written ahead through a
// log; a read-only connection to such a file makes the log and its index
// beside it when they are missing, and leaves them there. With no log, or an
// empty one, everything is in the file itself, which is then read as it
// stands, without locks and without making anything beside it. A log that
// holds part of the novel, or the journal of a change under way, is read
// through, read-only.
QByteArray coverUri(const QString &path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    const bool asItStands =
        QFileInfo(file + QStringLiteral("-wal")).size() == 0 && !QFileInfo::exists(file + QStringLiteral("-journal"));
    return QUrl::fromLocalFile(file).toEncoded() +
           (asItStands ? QByteArrayLiteral("?mode=ro&immutable=1") : QByteArrayLiteral("?mode=ro"));
}

// Ends a statement under way once the reading is cancelled.
int cancelled(void *flag)
{
    return static_cast<const std::atomic_bool *>(flag)->load() ? 1 : 0;
}

} // namespace

CoverStream::CoverStream(const QString &path, qint64 rowid, const std::atomic_bool *cancel)
    : m_path(path), m_rowid(rowid), m_cancel(cancel)
{
}

CoverStream::~CoverStream()
{
    release();
}

bool CoverStream::open(OpenMode mode)
{
    if (isOpen() || (mode & WriteOnly) || !QFileInfo(m_path).isFile())
        return false;
    if (sqlite3_open_v2(coverUri(m_path).constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        release();
        return false;
    }
    if (m_cancel)
        sqlite3_progress_handler(m_db, 1000, cancelled, const_cast<std::atomic_bool *>(m_cancel));
    if (sqlite3_blob_open(m_db, "main", "信息", "封面", m_rowid, 0, &m_blob) != SQLITE_OK) {
        release();
        return false;
    }
    m_size = sqlite3_blob_bytes(m_blob);
    return QIODevice::open(mode | Unbuffered);
}

void CoverStream::close()
{
    QIODevice::close();
    release();
}

void CoverStream::release()
{
    sqlite3_blob_close(m_blob);
    m_blob = nullptr;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_size = 0;
}

qint64 CoverStream::readData(char *data, qint64 maxSize)
{
    if (!m_blob || (m_cancel && m_cancel->load()))
        return -1;
    const qint64 n = qMin(maxSize, m_size - pos());
    if (n <= 0)
        return 0;
    return sqlite3_blob_read(m_blob, data, int(n), int(pos())) == SQLITE_OK ? n : -1;
}
