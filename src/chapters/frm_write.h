// frm_write (placeholder until the window is built).
#pragma once

#include <QWidget>

struct AppContext;

class frm_write : public QWidget
{
    Q_OBJECT
public:
    explicit frm_write(AppContext &ctx, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    AppContext &m_ctx;
};
