// The volumes and chapters of one novel and the rules that keep them whole:
// a chapter belongs to its volume by the volume's name, a novel keeps at
// least one volume and one chapter, and a volume goes or is renamed together
// with its chapters. Works through the chapter manager's data source and
// leaves it where the manager's next command expects it. Says what went
// wrong as a reason, never with a dialog: the window turns reasons into its
// messages.
#pragma once

#include <QString>
#include <QVector>

class DataSource;

struct OutlineChapter
{
    qint64 id = 0; // 编号
    QString title;
};

struct OutlineVolume
{
    QString name;
    QVector<OutlineChapter> chapters;
};

// The tree as the file holds it: volumes in table order, a name stored twice
// once; chapters in table order under their volume.
struct OutlineTree
{
    QVector<OutlineVolume> volumes;
    // Chapters whose volume is not in the file: they have no place in the tree.
    int homeless = 0;
};

// One row of a volume's chapter list.
struct ListedChapter
{
    qint64 id = 0;
    int place = 0; // 1-based place in the whole chapter table
    QString title;
    int length = 0; // characters of the text, in UTF-16 code units
};

class Outline
{
public:
    enum class Reason {
        None,
        StoreFailed, // the file could not be read or written: see Result::storeError
        EmptyTitle,
        EmptyName,
        DuplicateName,
        VolumeGone,
        ChapterGone,
        LastVolume,
        HoldsEveryChapter,
        LastChapter,
    };

    struct Result
    {
        Reason reason = Reason::None;
        QString storeError;
        bool ok() const { return reason == Reason::None; }
        explicit operator bool() const { return ok(); }
    };

    explicit Outline(DataSource &data) : m_data(data) {}

    // Every volume, then every chapter under its volume. Leaves the data
    // source on the last chapter.
    Result read(OutlineTree *tree);
    // The chapters of the volume, each with its place in the whole table.
    Result readVolume(const QString &name, QVector<ListedChapter> *rows);

    // The table read afresh: what the window checks before it asks the user
    // anything, so that a file that cannot be read is told at once.
    Result openChapters();
    Result openVolumes();
    // Makes the chapter or the volume current, read afresh.
    Result findChapter(qint64 id);
    Result findVolume(const QString &name);
    // True when the data source stands on chapter id.
    bool standsOn(qint64 id) const;

    // A chapter of volume with default text and notes; the data source then
    // stands on it and *id is its 编号.
    Result addChapter(const QString &volume, const QString &title, qint64 *id);
    // A volume of a name no other volume has. The name is stored with the
    // record itself, so that no nameless volume is ever left in the file.
    Result addVolume(const QString &name);
    // The volume and every chapter of it, in one transaction; never the last
    // volume, nor one holding every chapter. *gone gets the chapters deleted.
    Result deleteVolume(const QString &name, QVector<qint64> *gone);
    // Refused for the last chapter of the novel, before anyone is asked.
    Result checkChapterDeletable();
    // Deletes chapter id, which the data source must stand on: only the
    // chapter the user chose is ever deleted.
    Result deleteChapter(qint64 id);
    // The volume and its chapters' 所属分卷 together, or nothing. The same
    // name again changes nothing.
    Result renameVolume(const QString &oldName, const QString &newName);
    Result renameChapter(qint64 id, const QString &title);

private:
    Result open(const QString &table);
    Result failed();
    // Changes one field of the current record and stores it.
    bool storeField(const QString &field, const QString &value);

    DataSource &m_data;
};
