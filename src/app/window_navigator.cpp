#include "app/window_navigator.h"

#include "chapters/frm_write.h"
#include "library/form1.h"
#include "library/frm_about.h"
#include "library/frm_dl.h"
#include "library/frm_new.h"

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

void WindowNavigator::showAbout(QWidget *beside)
{
    if (!m_about)
        m_about = new frm_about;
    if (beside) {
        const QRect frame = beside->frameGeometry();
        m_about->move(frame.right() + 8, frame.top());
    }
    m_about->show();
    m_about->raise();
}
