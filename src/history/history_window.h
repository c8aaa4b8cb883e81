// The history of one chapter: its texts in earlier snapshots, newest first
// after the current text, each compared with the current text character by
// character, and a way to put one back. Opened from the chapter manager on
// its current chapter, modal like the notes window, so that the manager's
// data source stays on the chapter while it is open.
#pragma once

#include "history/chapter_history.h"
#include "history/snapshot_scan.h"

#include <QDialog>
#include <QPointer>

struct AppContext;
class DataSource;
class QCheckBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTextEdit;
class QTreeWidget;

class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    // data stands on the chapter; manager is the chapter manager.
    HistoryWindow(AppContext &ctx, DataSource &data, QWidget *manager);

    QTreeWidget *List1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QTextEdit *Text1 = nullptr; // the chosen version
    QTextEdit *Text2 = nullptr; // the current text
    QCheckBox *Check1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr; // 恢复此版本
    QPushButton *Command2 = nullptr; // 关闭

    // True once every snapshot was read.
    bool isRead() const { return m_read; }
    const QVector<HistoryRow> &rows() const { return m_rows; }

public slots:
    void List1_Click();
    void Check1_Click();
    void Command1_Click();

private:
    void readHistory();
    void historyRows(const QVector<int> &indexes, const QVector<HistoryRow> &rows);
    void showRow(int index);
    // The chosen row, -1 for none.
    int chosenRow() const;

    AppContext &m_ctx;
    DataSource &m_data;
    QPointer<QWidget> m_manager;
    ChapterHistory m_history{m_data};
    SnapshotScan m_scan;
    qint64 m_id = -1;
    QVector<HistoryRow> m_rows;
    bool m_read = false;
    bool m_syncing = false;
    // The row shown was chosen by the window, not by the writer.
    bool m_autoChosen = true;
};

// The history window on the chapter data stands on, modal: returns once it
// has closed. Says so and shows nothing when data stands on no chapter.
void showChapterHistory(AppContext &ctx, DataSource &data, QWidget *manager);
