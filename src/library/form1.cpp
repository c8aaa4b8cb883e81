#include "library/form1.h"

#include "app/app_context.h"

#include <QCloseEvent>

Form1::Form1(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral(""));
    resize(400, 300);
}

void Form1::closeEvent(QCloseEvent *event)
{
    m_ctx.nav->showLibrary();
    event->accept();
}
