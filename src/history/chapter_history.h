// A chapter's history and the chapters the novel lost, as the snapshots
// hold them, and the two ways back: an old text into the chapter, a lost
// chapter into its volume. No widgets here: the rules take plain values,
// the changes go through the chapter manager's data source, and each says
// what went wrong as a reason that the windows turn into their messages.
#pragma once

#include "store/snapshot_reader.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

class DataSource;

// One row of a chapter's history: the current text (first), a text from a
// snapshot, or a snapshot that could not be read.
struct HistoryRow
{
    QDateTime taken; // invalid for the current text
    QString snapshot;
    QString text;
    int length = 0;
    // What this text changed against the next older one: code units put in
    // and taken out; -1 while unknown, or where nothing older holds the chapter.
    int inserted = -1;
    int deleted = -1;
    // Why a snapshot was skipped; empty for a text.
    QString note;

    bool isCurrent() const { return !taken.isValid() && note.isEmpty(); }
    bool isText() const { return note.isEmpty(); }
};

// A row's change as the list shows it: "+12 / −3"; empty while unknown.
QString changeText(int inserted, int deleted);

// Builds the history from the snapshots, newest first: a snapshot whose
// text is the same as that of the next newer row gives no row of its own.
// Each call says which rows it added or changed, so that a list can fill as
// the snapshots are read.
class HistoryBuilder
{
public:
    explicit HistoryBuilder(const QString &currentText);

    // The chapter's text in the snapshot taken then.
    QVector<int> add(const QDateTime &taken, const QString &snapshot, const QString &text);
    // A snapshot that could not be read, and why.
    QVector<int> skip(const QDateTime &taken, const QString &snapshot, const QString &why);
    // The snapshot taken then does not hold the chapter: it was written
    // after. Its first text counts as all put in.
    QVector<int> absent();

    const QVector<HistoryRow> &rows() const { return m_rows; }

private:
    QVector<HistoryRow> m_rows;
    // The newest text row whose change is not known yet.
    int m_open = 0;
};

// A chapter that some snapshot holds and the novel no longer does.
struct LostChapter
{
    StoredChapterEntry chapter;
    // The newest snapshot that holds it.
    QDateTime lastSeen;
    QString snapshot;
};

// Finds the lost chapters among the snapshots, newest first; a chapter
// counts once, from the newest snapshot that holds it. A chapter put back
// has a new 编号: one of the same volume, title and length as a chapter of
// the novel counts as back already.
class LostChapterFinder
{
public:
    explicit LostChapterFinder(const QVector<StoredChapterEntry> &present);
    // The chapters of the snapshot taken then that no newer one gave.
    QVector<LostChapter> add(const QDateTime &taken, const QString &snapshot,
                             const QVector<StoredChapterEntry> &chapters);

private:
    QSet<qint64> m_known;
    QSet<QString> m_back;
};

class ChapterHistory
{
public:
    enum class Reason {
        None,
        StoreFailed, // the novel file could not be read or written
        ChapterGone, // the chapter is no longer in the novel
        NotSaved,    // no snapshot of the current state could be taken
    };
    struct Result
    {
        Reason reason = Reason::None;
        QString why;
        bool ok() const { return reason == Reason::None; }
        explicit operator bool() const { return ok(); }
    };

    explicit ChapterHistory(DataSource &data) : m_data(data) {}

    // Every chapter of the novel, in table order, without its text.
    Result chapters(QVector<StoredChapterEntry> *out);
    // Puts text into chapter id, in one transaction; the data source then
    // stands on the chapter. The caller has taken the snapshot first.
    Result restoreText(qint64 id, const QString &text);
    // Appends the lost chapter, with its text and notes, to its volume,
    // making the volume again when it is gone, in one transaction. The data
    // source then stands on the new chapter; *id is its 编号.
    Result restoreChapter(const StoredChapter &chapter, qint64 *id, bool *volumeMade);

private:
    Result failed();

    DataSource &m_data;
};
