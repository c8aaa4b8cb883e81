// Reading chapters out of a snapshot: one connection per snapshot that only
// reads, never writes the file nor makes anything beside it, and reads no
// more than asked for (one chapter's row, or the list of chapters without
// their texts). A snapshot may have been damaged or replaced since it was
// taken: it then fails with why, and the caller goes on with the next.
#pragma once

#include <QString>
#include <QVector>
#include <atomic>

// A chapter as a snapshot holds it.
struct StoredChapter
{
    qint64 id = 0; // 编号
    QString volume;
    QString title;
    QString text;
    QString notes;
};

// A chapter of a snapshot's list: its text's length, not the text.
struct StoredChapterEntry
{
    qint64 id = 0;
    QString volume;
    QString title;
    int length = 0; // UTF-16 code units
};

class SnapshotReader
{
public:
    enum class Outcome {
        Found,
        Missing,    // the snapshot holds no such chapter
        Unreadable, // damaged, not a novel, or gone: why says
        Cancelled,
    };

    // cancel, when set, ends a read under way.
    explicit SnapshotReader(const std::atomic_bool *cancel = nullptr) : m_cancel(cancel) {}

    // Chapter id of the snapshot at path, with its text and notes.
    Outcome readChapter(const QString &path, qint64 id, StoredChapter *out);
    // Every chapter of the snapshot at path, in table order, without texts.
    Outcome listChapters(const QString &path, QVector<StoredChapterEntry> *out);

    const QString &why() const { return m_why; }

private:
    const std::atomic_bool *m_cancel;
    QString m_why;
};
