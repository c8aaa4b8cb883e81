#include "chapters/frm_write.h"

#include "app/app_context.h"

#include <QCloseEvent>

frm_write::frm_write(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frm_write"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("章节管理"));
    resize(400, 300);
}

void frm_write::closeEvent(QCloseEvent *event)
{
    m_ctx.nav->showLibrary();
    event->accept();
}
