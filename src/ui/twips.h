// Window layouts are designed in twips: 15 twips to the pixel.
#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>

constexpr int kTwipsPerPixel = 15;

inline int tw(double twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}

inline QRect twRect(double left, double top, double width, double height)
{
    return QRect(tw(left), tw(top), tw(width), tw(height));
}

inline void placeTw(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(twRect(left, top, width, height));
}
