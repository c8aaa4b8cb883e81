#include "window_checks.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <QVariant>
#include <QWidget>

QString designMismatches(QWidget *window, const QVector<DesignedControl> &design)
{
    QStringList out;
    for (const DesignedControl &c : design) {
        auto *control = window->findChild<QWidget *>(c.name);
        if (!control) {
            out << c.name + QStringLiteral(": missing");
            continue;
        }
        const QRect want(c.twips.x() / 15, c.twips.y() / 15, c.twips.width() / 15, c.twips.height() / 15);
        if (control->geometry() != want)
            out << QStringLiteral("%1: at %2,%3 %4x%5, designed %6,%7 %8x%9")
                       .arg(c.name)
                       .arg(control->x())
                       .arg(control->y())
                       .arg(control->width())
                       .arg(control->height())
                       .arg(want.x())
                       .arg(want.y())
                       .arg(want.width())
                       .arg(want.height());
        const QString text = control->property("text").toString();
        if (!c.text.isEmpty() && text != c.text)
            out << QStringLiteral("%1: says \"%2\", designed \"%3\"").arg(c.name, text, c.text);
    }
    return out.join(QLatin1Char('\n'));
}

QStringList tabWalk(QWidget *window, int count)
{
    QStringList names;
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return names;
    for (int i = 0; i < count; ++i) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            break;
        names << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return names;
}

PopupWatch::PopupWatch()
{
    qApp->installEventFilter(this);
}

PopupWatch::~PopupWatch()
{
    qApp->removeEventFilter(this);
}

QStringList PopupWatch::shownWithin(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_shown.isEmpty() && !deadline.hasExpired())
        QTest::qWait(10);
    return m_shown;
}

bool PopupWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        if (w->windowType() == Qt::Popup) {
            m_shown << QString::fromLatin1(w->metaObject()->className());
            QTimer::singleShot(0, w, &QWidget::close);
        }
    }
    return false;
}
