// Making a window's controls the way the designs give them: a name that is
// also the objectName, and a place in twips.
#pragma once

#include "ui/twips.h"

#include <QString>

template <typename Control>
Control *placeControl(QWidget *parent, const QString &name, double left, double top, double width, double height)
{
    auto *control = new Control(parent);
    control->setObjectName(name);
    placeTw(control, left, top, width, height);
    return control;
}

// The same for a control that shows a text (a label, a button).
template <typename Control>
Control *placeControl(QWidget *parent, const QString &name, const QString &text, double left, double top, double width,
                      double height)
{
    auto *control = placeControl<Control>(parent, name, left, top, width, height);
    control->setText(text);
    return control;
}
