// frm_about, "关于我们": who makes the program and where to reach them.
#pragma once

#include <QWidget>

class frm_about : public QWidget
{
    Q_OBJECT
public:
    explicit frm_about(QWidget *parent = nullptr);
};
