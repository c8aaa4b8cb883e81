// A label for a file path in a narrow place: its text stays the whole path,
// what it draws is shortened in the middle with "…", and hovering over a
// shortened path shows it whole.
#pragma once

#include <QLabel>

class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool isCut() const;
};
