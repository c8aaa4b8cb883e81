// frm_new (placeholder until the window is built).
#pragma once

#include <QWidget>

struct AppContext;

class frm_new : public QWidget
{
    Q_OBJECT
public:
    explicit frm_new(AppContext &ctx, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    AppContext &m_ctx;
};
