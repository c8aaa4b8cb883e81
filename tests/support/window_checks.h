// Checks of a window against its design: where its controls sit, what they
// say, and the way Tab goes through them.
#pragma once

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
