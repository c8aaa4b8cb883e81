// A novel's cover read from the file as the picture decoder asks for it, a
// piece at a time, through a read-only connection of its own: a cover of
// many megabytes is never held whole, and the novel file is never written.
#pragma once

#include "store/sqlite_db.h"

#include <QIODevice>
#include <atomic>

struct sqlite3_blob;

class CoverStream : public QIODevice
{
public:
    // The field 封面 of the 信息 record rowid of the novel file at path. Once
    // cancel is set, reading fails, so that a decoder gives up at once.
    CoverStream(const QString &path, qint64 rowid, const std::atomic_bool *cancel = nullptr);
    ~CoverStream() override;
    CoverStream(const CoverStream &) = delete;
    CoverStream &operator=(const CoverStream &) = delete;

    // Opens the connection and the field; false when the file, the record or
    // the field cannot be read (the field is NULL, the file is no novel).
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    void release();

    const QString m_path;
    const qint64 m_rowid;
    const std::atomic_bool *m_cancel;
    sqlite::Db m_db;
    sqlite3_blob *m_blob = nullptr;
    qint64 m_size = 0;
};
