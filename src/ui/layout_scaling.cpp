#include "ui/layout_scaling.h"

#include "ui/twips.h"

#include <QLayout>
#include <QMainWindow>
#include <QVariant>
#include <QWidget>
#include <cmath>

int BaseScaleWidth = 0;
int BaseScaleHeight = 0;

namespace {

const char *const kTag = "Tag";

QWidget *container(QWidget *form)
{
    if (auto *main = qobject_cast<QMainWindow *>(form); main && main->centralWidget())
        return main->centralWidget();
    return form;
}

QString number(double v)
{
    return QString::number(v, 'g', 15);
}

// The next space-ended number of tag from pos on, 0 when no space is left.
double nextValue(const QString &tag, int &pos)
{
    const int space = tag.indexOf(QLatin1Char(' '), pos);
    if (space < 0)
        return 0;
    const double v = tag.mid(pos, space - pos).toDouble();
    pos = space + 1;
    return v;
}

} // namespace

int roundHalfEven(double value)
{
    return int(std::nearbyint(value)); // the default rounding mode is to even
}

QList<QWidget *> layoutControls(QWidget *form)
{
    QList<QWidget *> out;
    QWidget *box = container(form);
    const QList<QWidget *> all = box->findChildren<QWidget *>();
    for (QWidget *w : all) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || w->isWindow())
            continue;
        QWidget *parent = w->parentWidget();
        if (parent && parent->layout() && parent->layout()->indexOf(w) >= 0)
            continue;
        out << w;
    }
    return out;
}

QString layoutTag(const QWidget *control)
{
    return control->property(kTag).toString();
}

void RecordLayoutAt(QWidget *form, double innerWidth, double innerHeight)
{
    BaseScaleWidth = roundHalfEven(innerWidth);
    BaseScaleHeight = roundHalfEven(innerHeight);
    for (QWidget *w : layoutControls(form)) {
        const QRect r = w->geometry();
        const QString tag = number(r.x() * kTwipsPerPixel) + QLatin1Char(' ') + number(r.y() * kTwipsPerPixel) +
                            QLatin1Char(' ') + number(r.width() * kTwipsPerPixel) + QLatin1Char(' ') +
                            number(r.height() * kTwipsPerPixel) + QLatin1Char(' ');
        w->setProperty(kTag, tag);
    }
}

void ScaleLayoutAt(QWidget *form, double innerWidth, double innerHeight)
{
    // Nothing recorded yet, or a minimized window: keep the controls as they
    // are rather than crushing them to nothing.
    if (BaseScaleWidth == 0 || BaseScaleHeight == 0 || innerWidth <= 0 || innerHeight <= 0)
        return;
    const double fx = innerWidth / BaseScaleWidth;
    const double fy = innerHeight / BaseScaleHeight;
    for (QWidget *w : layoutControls(form)) {
        const QString tag = layoutTag(w);
        int pos = 0;
        const double left = nextValue(tag, pos);
        const double top = nextValue(tag, pos);
        const double width = nextValue(tag, pos);
        const double height = nextValue(tag, pos);
        w->setGeometry(twRect(left * fx, top * fy, width * fx, height * fy));
    }
}

void RecordLayout(QWidget *form)
{
    const QWidget *box = container(form);
    RecordLayoutAt(form, box->width() * kTwipsPerPixel, box->height() * kTwipsPerPixel);
}

void ScaleLayout(QWidget *form)
{
    const QWidget *box = container(form);
    ScaleLayoutAt(form, box->width() * kTwipsPerPixel, box->height() * kTwipsPerPixel);
}
