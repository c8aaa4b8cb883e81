// Proportional re-layout of a resizable window: RecordLayout remembers every
// control's rectangle once, ScaleLayout puts each control at that rectangle
// times the window's change in size, so resizing never drifts.
#pragma once

#include <QList>

class QWidget;

// The window's inner size in twips at the last RecordLayout, for the whole
// program: the last window to record sets them for every later ScaleLayout.
extern int BaseScaleWidth;
extern int BaseScaleHeight;

// Rounds to the nearest integer, halves to the even neighbour.
int roundHalfEven(double value);

void RecordLayout(QWidget *form);
void ScaleLayout(QWidget *form);

// The same with the window's inner size given in twips.
void RecordLayoutAt(QWidget *form, double innerWidth, double innerHeight);
void ScaleLayoutAt(QWidget *form, double innerWidth, double innerHeight);

// The controls the two walk: named child widgets that the window places
// itself (not Qt's own parts of a widget, not widgets a layout manages).
QList<QWidget *> layoutControls(QWidget *form);

// The remembered rectangle text of a control ("left top width height ").
QString layoutTag(const QWidget *control);
