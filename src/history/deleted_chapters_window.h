// The chapters the novel no longer holds but some snapshot does: their
// names, volumes, lengths and the newest snapshot that has them, and a way
// to put one back at the end of its volume, with its text and notes. Opened
// from the chapter manager's tree, modal, so that the manager's data source
// is this window's while it is open.
#pragma once

#include "history/chapter_history.h"
#include "history/snapshot_scan.h"

#include <QDialog>

struct AppContext;
class DataSource;
class QLabel;
class QPushButton;
class QTreeWidget;

class DeletedChaptersWindow : public QDialog
{
    Q_OBJECT
public:
    DeletedChaptersWindow(AppContext &ctx, DataSource &data, QWidget *manager);

    QTreeWidget *List1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr; // 恢复此章节
    QPushButton *Command2 = nullptr; // 关闭

    bool isRead() const { return m_read; }
    // Chapters put back while the window was open.
    int restored() const { return m_restored; }

public slots:
    void Command1_Click();

private:
    void lostChapters(const QVector<LostChapter> &found);

    AppContext &m_ctx;
    ChapterHistory m_history;
    SnapshotScan m_scan;
    QVector<LostChapter> m_lost;
    bool m_read = false;
    int m_restored = 0;
};

// The window on the novel of data, modal: returns once it has closed, with
// the number of chapters put back.
int showDeletedChapters(AppContext &ctx, DataSource &data, QWidget *manager);
