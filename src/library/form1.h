// Form1 (placeholder until the window is built).
#pragma once

#include <QWidget>

struct AppContext;

class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(AppContext &ctx, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    AppContext &m_ctx;
};
