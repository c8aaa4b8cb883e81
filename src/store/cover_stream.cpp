#include "store/cover_stream.h"

#include <sqlite3.h>

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
    if (isOpen() || (mode & WriteOnly))
        return false;
    // Read-only, and as it stands whenever nothing of the novel lies beside
    // the file: the reader makes nothing beside a novel. A statement under
    // way ends once the reading is cancelled.
    sqlite::NovelOptions options;
    options.access = sqlite::Access::ReadOnly;
    options.busyTimeoutMs = 0;
    m_db.setCancel(m_cancel);
    if (!sqlite::openNovel(m_db, m_path, options, nullptr) ||
        sqlite3_blob_open(m_db.handle(), "main", "信息", "封面", m_rowid, 0, &m_blob) != SQLITE_OK) {
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
    m_db.close();
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
