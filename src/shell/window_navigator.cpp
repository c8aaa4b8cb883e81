#include "shell/window_navigator.h"

#include "chapters/frm_write.h"
#include "editor/chapter_openers.h"
#include "editor/find_bar.h"
#include "editor/frm_edit.h"
#include "history/deleted_chapters_window.h"
#include "history/history_window.h"
#include "library/form1.h"
#include "library/frm_about.h"
#include "library/frm_dl.h"
#include "library/frm_new.h"
#include "search/book_search_window.h"
#include "statistics/statistics_window.h"

#include <QScreen>

// A new window is shown before the old one closes, so that the program never
// finds itself without a window in between.

void WindowNavigator::showLibrary()
{
    (new frm_dl(m_ctx))->show();
}

void WindowNavigator::showChapterManager()
{
    (new frm_write(m_ctx))->show();
}

void WindowNavigator::showNewNovel()
{
    (new frm_new(m_ctx))->show();
}

void WindowNavigator::showNovelInfo()
{
    (new Form1(m_ctx))->show();
}

void WindowNavigator::showFromManager(ManagerWindow window, DataSource &data, QWidget *manager)
{
    frm_edit *editor = nullptr;
    switch (window) {
    case ManagerWindow::EditChapter:
        editor = openChapterToEdit(m_ctx, data, manager);
        break;
    case ManagerWindow::ReadChapter:
        editor = openChapterToRead(m_ctx, data, manager);
        break;
    case ManagerWindow::EditNewChapter:
        editor = openEditorForNewChapter(m_ctx, data, manager);
        break;
    case ManagerWindow::ChapterNotes:
        showChapterNotes(m_ctx, data, manager);
        break;
    case ManagerWindow::ChapterHistory:
        showChapterHistory(m_ctx, data, manager);
        break;
    case ManagerWindow::LostChapters:
        showDeletedChapters(m_ctx, data, manager);
        break;
    case ManagerWindow::WritingStatistics:
        showStatistics(data.databaseName());
        break;
    case ManagerWindow::BookSearch:
        showBookSearch(data, manager);
        break;
    }
    if (editor) {
        m_editor = editor;
        m_editorManager = manager;
    }
}

void WindowNavigator::showStatistics(const QString &novelPath)
{
    // One window at a time, on the novel it was last asked for.
    if (m_statistics && m_statistics->novelPath() != novelPath) {
        m_statistics->close();
        m_statistics.clear();
    }
    if (!m_statistics)
        m_statistics = new StatisticsWindow(m_ctx.writing, novelPath);
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

bool WindowNavigator::raiseOpenedFrom(QWidget *manager)
{
    QWidget *editor = m_editor.data();
    if (!editor || m_editorManager.data() != manager || !editor->isVisible())
        return false;
    editor->raise();
    editor->activateWindow();
    return true;
}

void WindowNavigator::showBookSearch(DataSource &data, QWidget *manager)
{
    if (m_bookSearch && m_bookSearch->manager() != manager) {
        m_bookSearch->close();
        m_bookSearch.clear();
    }
    if (!m_bookSearch) {
        QPointer<frm_write> write = qobject_cast<frm_write *>(manager);
        m_bookSearch =
            new BookSearchWindow(m_ctx, data, manager, [write] { return write ? write->selectedVolume() : QString(); });
        if (write)
            QObject::connect(m_bookSearch, &BookSearchWindow::chapterLengthsChanged, write,
                             &frm_write::showChapterLengths);
    }
    m_bookSearch->show();
    m_bookSearch->raise();
    m_bookSearch->activateWindow();
}

bool WindowNavigator::showHitInEditor(QWidget *manager, const TextQuery &query, int start)
{
    auto *editor = qobject_cast<frm_edit *>(m_editor.data());
    if (!editor || !raiseOpenedFrom(manager))
        return false;
    showFoundHit(editor, query, start);
    return true;
}

namespace {

// Where a box of frame size box goes beside the window frame owner, wholly
// inside area: right of the window as designed, else left of it, else over
// its middle, as when the window fills the screen.
QPoint besidePosition(const QRect &owner, const QSize &box, const QRect &area)
{
    QPoint at(owner.right() + 8, owner.top());
    if (at.x() + box.width() - 1 > area.right()) {
        at.setX(owner.left() - 7 - box.width());
        if (at.x() < area.left())
            at = owner.center() - QPoint(box.width() / 2, box.height() / 2);
    }
    at.setX(qBound(area.left(), at.x(), area.right() - box.width() + 1));
    at.setY(qBound(area.top(), at.y(), area.bottom() - box.height() + 1));
    return at;
}

// Puts box beside owner on the screen that holds owner. Before the box is
// first shown its frame is not known yet: the owner's frame stands in.
void placeBeside(QWidget *box, const QWidget *owner)
{
    const QScreen *screen = owner->screen();
    if (!screen)
        return;
    const QRect frame = owner->frameGeometry();
    const QSize boxFrame =
        box->isVisible() ? box->frameGeometry().size() : box->size() + (frame.size() - owner->geometry().size());
    box->move(besidePosition(frame, boxFrame, screen->availableGeometry()));
}

} // namespace

void WindowNavigator::showAbout(QWidget *beside)
{
    if (!m_about)
        m_about = new frm_about;
    const QWidget *owner = beside ? beside->window() : nullptr;
    // A window that stays on top, as the full-screen editor does, would hide
    // a box that does not.
    const bool onTop = owner && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (m_about->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        m_about->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (owner)
        placeBeside(m_about, owner);
    m_about->show();
    if (owner)
        placeBeside(m_about, owner); // now with its own frame
    m_about->raise();
    m_about->activateWindow();
}
