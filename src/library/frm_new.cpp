#include "library/frm_new.h"

#include "app/app_context.h"

#include <QCloseEvent>

frm_new::frm_new(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frm_new"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("新建小说"));
    resize(400, 300);
}

void frm_new::closeEvent(QCloseEvent *event)
{
    m_ctx.nav->showLibrary();
    event->accept();
}
