// frm_dl, the library: every novel of the data directory as its cover and
// title, and the commands to create, open, describe and delete novels.
#pragma once

#include "store/data_source.h"

#include <QItemSelection>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QVector>

struct AppContext;
class CoverShelf;
class QAction;
class QListWidget;
class QMenu;

struct NovelEntry
{
    int Position = 0; // 1-based position of the novel in ListView1
    QString FilePath; // full path of the novel file
};

class frm_dl : public QMainWindow
{
    Q_OBJECT
public:
    explicit frm_dl(AppContext &ctx, QWidget *parent = nullptr);

    void Loadnovels();

    QListWidget *ListView1 = nullptr;
    QMenu *file_a = nullptr;
    QMenu *ddd = nullptr;
    QAction *new_ = nullptr;    // objectName "new"
    QAction *delete_ = nullptr; // objectName "delete"
    QAction *infor = nullptr;
    QAction *about = nullptr;
    QAction *guanwang = nullptr;
    DataSource Data1;
    QVector<NovelEntry> Novels;

public slots:
    void ListView1_DblClick();
    void new_Click();
    void delete_Click();
    void infor_Click();
    void about_Click();
    void guanwang_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    // The selected novel's file, empty when no novel is selected.
    int selectedIndex() const;
    bool openSelected(bool chapters);

    AppContext &m_ctx;
    CoverShelf *m_covers = nullptr;
    // The choice in the list when the left button went down: a drag puts it
    // back, so that only a click chooses a novel.
    QItemSelection m_pressSelection;
    QPersistentModelIndex m_pressCurrent;
    QPoint m_pressPos;
    bool m_dragging = false;
};

// The address the web-site command opens.
extern const char *const kProductSite;
