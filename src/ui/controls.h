// Making a window's controls the way the designs give them: a name that is
// also the objectName, and a place in twips.
#pragma once

#include "ui/twips.h"

#include <QList>
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

// Tab moves through controls in this order, and the first one has the focus
// when the window comes up.
inline void setTabChain(const QList<QWidget *> &controls)
{
    for (int i = 0; i + 1 < controls.size(); ++i)
        QWidget::setTabOrder(controls[i], controls[i + 1]);
    if (!controls.isEmpty())
        controls.front()->setFocus();
}
