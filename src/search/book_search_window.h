// 全书查找替换, the whole-book search and replace: opened from the chapter
// manager, modeless over it and closed with it. Lists every hit of the book
// or of one volume, grouped by volume and chapter, each to be checked or
// not; 全部替换 replaces the checked ones after a snapshot, 撤销全部替换
// takes that back. A hit opens in the editor as 修改章节 opens a chapter.
#pragma once

#include "search/book_replace.h"
#include "search/book_search.h"

#include <QPointer>
#include <QWidget>
#include <functional>

struct AppContext;
class DataSource;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;
class SearchResults;

class BookSearchWindow : public QWidget
{
    Q_OBJECT
public:
    // source is the chapter manager's data source and manager its window;
    // selectedVolume gives the volume selected in the manager's tree, empty
    // when none is.
    BookSearchWindow(AppContext &ctx, DataSource &source, QWidget *manager, std::function<QString()> selectedVolume);
    ~BookSearchWindow() override;

    QWidget *manager() const { return m_manager; }
    SearchResults *resultModel() const { return m_model; }
    bool isSearching() const { return m_search.isRunning(); }

    // Takes the snapshot before a replacement; the program's own by default.
    void setSnapshot(BookReplace::Snapshot snapshot) { m_snapshot = std::move(snapshot); }

    QLineEdit *findText = nullptr;
    QLineEdit *replaceText = nullptr;
    QCheckBox *caseSensitive = nullptr;
    QCheckBox *widthInsensitive = nullptr;
    QCheckBox *useRegex = nullptr;
    QRadioButton *scopeBook = nullptr;
    QRadioButton *scopeVolume = nullptr;
    QPushButton *searchButton = nullptr;
    QPushButton *replaceAllButton = nullptr;
    QPushButton *undoButton = nullptr;
    QTreeView *results = nullptr;
    QLabel *summary = nullptr;

signals:
    // Chapters' texts were rewritten: their lengths now, by 编号.
    void chapterLengthsChanged(const QHash<qint64, int> &lengths);

public slots:
    void startSearch();
    void replaceAll();
    void undoReplace();
    void openHit(const QModelIndex &index);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void found(const QVector<FoundChapter> &chapters);
    void searchFinished(const BookSearchOutcome &outcome);
    void showCounts();
    void updateScope();
    void tell(const QString &text);
    // The chapter manager's editor is open: it alone writes its chapter.
    bool editorOpen() const;
    TextQuery query() const;

    AppContext &m_ctx;
    // The manager's data source: touched only while the manager is there.
    DataSource &m_data;
    const QString m_path;
    QPointer<QWidget> m_manager;
    std::function<QString()> m_selectedVolume;
    BookSearch m_search;
    BookReplace m_replace;
    BookReplace::Snapshot m_snapshot;
    SearchResults *m_model = nullptr;
    // What the listed results were found for.
    TextQuery m_searched;
    bool m_truncated = false;
};
