// The results of a whole-book search as the window lists them: volumes in
// the novel's order, under each its chapters with hits and their counts,
// under each chapter its hits with their context, every hit with a check
// box (checked to start). A chapter's or a volume's box checks or clears
// all of its hits. Grows piece by piece as the search hands chapters over.
#pragma once

#include "search/book_replace.h"
#include "search/book_search.h"

#include <QAbstractItemModel>
#include <QStyledItemDelegate>
#include <vector>

class SearchResults : public QAbstractItemModel
{
    Q_OBJECT
public:
    // Of a hit row: where the hit lies in its context, as QPoint(start, length).
    static constexpr int MarkRole = Qt::UserRole + 1;

    explicit SearchResults(QObject *parent = nullptr);

    void clear();
    // Appends chapters found after those already listed.
    void append(const QVector<FoundChapter> &chapters);

    int hitCount() const { return m_hits; }
    int chapterCount() const { return int(m_chapters.size()); }
    int checkedCount() const { return m_checked; }
    // The checked hits of each chapter, in order, chapters without any left out.
    QVector<ChapterEdit> checkedEdits() const;

    // The chapter of a chapter or hit row, and the hit of a hit row; nullptr
    // for any other row.
    const FoundChapter *chapterAt(const QModelIndex &index) const;
    const FoundHit *hitAt(const QModelIndex &index) const;
    QModelIndex hitIndex(int chapter, int hit) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void checkedCountChanged(int checked);

private:
    enum class Level { Volume, Chapter, Hit };
    struct Volume
    {
        QString name;
        QVector<int> chapters; // indexes into m_chapters
        int hits = 0;
        int checked = 0;
    };
    struct Chapter
    {
        FoundChapter found;
        int volume = 0;
        int row = 0;
        std::vector<bool> checked;
        int checkedCount = 0;
    };

    Level levelOf(const QModelIndex &index) const;
    QModelIndex volumeIndex(int volume) const;
    QModelIndex chapterIndex(int chapter) const;
    // Sets one chapter's hits, all or one, and says so to the views.
    void check(int chapter, int hit, bool on);
    void checkChapter(int chapter, bool on);
    static Qt::CheckState stateOf(int checked, int of);

    QVector<Volume> m_volumes;
    QVector<Chapter> m_chapters;
    int m_hits = 0;
    int m_checked = 0;
};

// Paints a hit's context with the hit marked.
class HitDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
