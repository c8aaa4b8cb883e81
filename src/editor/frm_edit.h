// frm_edit, the chapter editor: the text of the chapter manager's current
// chapter in one large text box, stored into the chapter on every change,
// with the font list, the size box and the status bar. Its commands (the
// buttons and the 功能菜单 popup) are in frm_edit_commands.cpp.
#pragma once

#include "editor/box_text.h"
#include "editor/status_panels.h"
#include "ui/common_dialog.h"

#include <QMainWindow>
#include <QPointer>
#include <array>

struct AppContext;
class ChapterCounting;
class ChapterStore;
class DataSource;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;

class frm_edit : public QMainWindow
{
    Q_OBJECT
public:
    // source is the chapter manager's data source, standing on the chapter
    // to edit for as long as this window is open; manager is the chapter
    // manager window, enabled again when this window closes.
    frm_edit(AppContext &ctx, DataSource &source, QWidget *manager, QWidget *parent = nullptr);
    ~frm_edit() override;

    // Status bar panels, numbered from 1.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

    // False while the last change of the text is not in the novel file.
    bool isStored() const;
    // Waits until the last change is written; false when it could not be.
    bool waitUntilStored();
    // Why the last change could not be written.
    const QString &storeError() const;
    // Puts the chapter's stored text into the box as the opener does: counted
    // like a change, but stored only once the user changes it, so that opening
    // and closing a chapter leaves its record exactly as it was.
    void loadText(const QString &text);

    QComboBox *Combo1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QPushButton *Command1 = nullptr; // 全屏
    QPushButton *Command2 = nullptr; // 还原
    QPushButton *Command3 = nullptr; // 导入
    QPushButton *Command4 = nullptr; // 导出
    QPlainTextEdit *Text1 = nullptr;
    QWidget *Picture1 = nullptr;
    QTimer *Timer1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    CommonDialog CommonDialog1;
    QMenu *gongneng = nullptr;
    QAction *fuzhu = nullptr;
    QAction *zhantie = nullptr;
    QAction *jianqie = nullptr;
    QAction *quanxuan = nullptr;
    QAction *chexiao = nullptr;
    QAction *ziliaochaxun = nullptr;
    QAction *juese = nullptr;
    QAction *about = nullptr;

public slots:
    void Combo1_Click();
    void Text2_Change();
    void Text1_Change();
    void Timer1_Timer();
    void Picture1_GotFocus();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void fuzhu_Click();
    void zhantie_Click();
    void jianqie_Click();
    void quanxuan_Click();
    void chexiao_Click();
    void about_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void buildPopup();
    // Adds an item to gongneng; its shortcut is shown, not taken.
    QAction *addPopupItem(const char *name, const QString &caption, const char *keys, void (frm_edit::*slot)());
    // Hands the whole text to the chapter's store.
    void storeText();
    // Puts a whole new text into the box; stored unless it is being loaded.
    void replaceText(const QString &text);
    void installTextFilter(bool on);
    // The text box and the parts of it the mouse can reach.
    std::array<QObject *, 4> textBoxParts() const;

    AppContext &m_ctx;
    // Stores into the chapter this window was opened on, and into no other.
    ChapterStore *m_store = nullptr;
    // The writer's count of the chapter and today's figures.
    ChapterCounting *m_counting = nullptr;
    // The box's text, kept up to date change by change for the store.
    boxtext::Mirror m_text;
    QPointer<QWidget> m_manager;
    StatusPanels m_panels;
    bool m_unloaded = false;
    bool m_loading = false;
    bool m_replacing = false;
    // The last change of the text was an undo: the next undo takes it back.
    bool m_undoneLast = false;
    bool m_undoing = false;
};
