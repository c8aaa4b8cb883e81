// Replacing the checked hits of a whole-book search, and taking the whole
// replacement back. A replacement first checks that every chapter still
// holds the text the search saw and that none would be left without text,
// then takes a snapshot of the novel, then writes the chapters that change
// in one transaction. Taking it back puts every chapter it changed back as
// it was, byte for byte, in one transaction, and only while none of them
// has changed since. Says what went wrong as a reason, never with a dialog.
#pragma once

#include "search/book_search.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

// The hits to replace in one chapter the search found.
struct ChapterEdit
{
    const FoundChapter *chapter = nullptr;
    QVector<TextHit> hits;
};

class BookReplace
{
public:
    enum class Reason {
        None,
        NothingChecked,
        ChangedSinceSearch,  // chapters says which
        LeavesNoText,        // chapters says which
        SnapshotFailed,      // detail says why
        StoreFailed,         // detail says why
        ChangedSinceReplace, // chapters says which
        NothingToUndo,
        NoChange, // every checked hit is replaced by the text it holds
    };

    struct Result
    {
        Reason reason = Reason::None;
        // The chapters concerned, each as "volume title".
        QStringList chapters;
        QString detail;
        bool ok() const { return reason == Reason::None; }
        explicit operator bool() const { return ok(); }
    };

    // Takes a snapshot of the novel now, whatever snapshots it has; false,
    // with why, when none could be taken.
    using Snapshot = std::function<bool(QString *why)>;

    // Replaces the hits of edits in the novel file at path with search's
    // replacement (search is the one that found them). On success the
    // replacement can be taken back until the next one.
    Result replace(const QString &path, const TextSearch &search, const QVector<ChapterEdit> &edits,
                   const Snapshot &snapshot);
    // Takes the last replacement back.
    Result undo(const QString &path);

    bool canUndo() const { return !m_done.isEmpty(); }
    // How many chapters and hits the last replacement changed.
    int chaptersChanged() const { return int(m_done.size()); }
    int hitsReplaced() const { return m_hits; }
    // The chapters' new lengths after the last replace or undo, by 编号.
    const QHash<qint64, int> &lengths() const { return m_lengths; }

    static QString chapterName(const QString &volume, const QString &title);

private:
    struct Done
    {
        qint64 rowid = 0;
        qint64 number = 0;
        QString name;
        // What the field held before, exactly: its kind as SQLite names it
        // (text, blob, integer, real), its bytes as the file keeps them and,
        // for a number, its value.
        QString kind;
        QByteArray before;
        QVariant value;
        int beforeLength = 0;
        int afterLength = 0;
        size_t afterFingerprint = 0;
    };

    QVector<Done> m_done;
    int m_hits = 0;
    QHash<qint64, int> m_lengths;
};
