// Checks of a window against its design: where its controls sit, what they
// say, and the way Tab goes through them; and a watch on the popups shown.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

class QWidget;

struct DesignedControl
{
    QString name;
    QString text; // caption; empty: not checked
    QRect twips;  // left, top, width, height in twips
};

// Every way the window's controls differ from their design, one line each;
// empty when none does.
QString designMismatches(QWidget *window, const QVector<DesignedControl> &design);

// Activates the window and gives the objectNames of the control that has the
// focus first and of each one that Tab moves it to, count names in all.
QStringList tabWalk(QWidget *window, int count);

// Notes every popup (a menu, a list) shown while it exists and closes it at
// once, so that a menu waiting in a loop of its own cannot hold the test.
class PopupWatch : public QObject
{
public:
    PopupWatch();
    ~PopupWatch() override;
    // Works the event loop until a popup shows or ms have passed; the class
    // names of the popups shown so far.
    QStringList shownWithin(int ms);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList m_shown;
};
