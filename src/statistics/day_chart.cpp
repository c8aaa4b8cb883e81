#include "statistics/day_chart.h"

#include <QDate>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

DayChart::DayChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chart"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DayChart::setDays(qint64 firstDay, const QVector<qint64> &values, qint64 goal)
{
    m_firstDay = firstDay;
    m_values = values;
    m_goal = goal;
    update();
}

QRect DayChart::plotArea() const
{
    const QFontMetrics fm = fontMetrics();
    const int left = fm.horizontalAdvance(QString::number(scaleTop())) + 12;
    return rect().adjusted(left, fm.height(), -fm.horizontalAdvance(QStringLiteral("目标")) - 8, -fm.height() - 8);
}

qint64 DayChart::scaleTop() const
{
    qint64 top = m_goal;
    for (qint64 v : m_values)
        top = std::max(top, v);
    if (top <= 0)
        return 1000;
    // The next whole number of the leading digit's place: 5,500 gives 6,000.
    qint64 step = 1;
    while (step * 10 <= top)
        step *= 10;
    return (top + step - 1) / step * step;
}

int DayChart::barAt(const QPoint &point) const
{
    const QRect plot = plotArea();
    if (m_values.isEmpty() || point.x() < plot.left() || point.x() > plot.right() || point.y() < plot.top() ||
        point.y() > plot.bottom())
        return -1;
    const int i = int(qint64(point.x() - plot.left()) * m_values.size() / std::max(1, plot.width()));
    return std::clamp(i, 0, int(m_values.size()) - 1);
}

void DayChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QRect plot = plotArea();
    const qint64 top = scaleTop();
    const QColor ink = palette().color(QPalette::Text);
    const QColor bar = palette().color(QPalette::Highlight);
    const QFontMetrics fm = fontMetrics();

    // The scale: 0 and the top, with a faint line at each quarter.
    p.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DotLine));
    for (int q = 1; q <= 4; ++q) {
        const int y = plot.bottom() - int(qint64(plot.height()) * q / 4);
        p.drawLine(plot.left(), y, plot.right(), y);
    }
    p.setPen(ink);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawText(QRect(0, plot.top() - fm.height() / 2, plot.left() - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(top));
    p.drawText(QRect(0, plot.bottom() - fm.height() / 2, plot.left() - 6, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));

    const int n = int(m_values.size());
    if (n == 0)
        return;
    const double width = double(plot.width()) / n;
    const double gap = width >= 4 ? width / 5 : 0;
    for (int i = 0; i < n; ++i) {
        if (m_values[i] <= 0)
            continue;
        const int h = std::max(1, int(double(plot.height()) * double(m_values[i]) / double(top)));
        const QRectF r(plot.left() + i * width + gap / 2, plot.bottom() + 1 - h, std::max(1.0, width - gap), h);
        p.fillRect(r, i == n - 1 ? bar.darker(130) : bar);
    }

    if (m_goal > 0) {
        const int y = plot.bottom() - int(double(plot.height()) * double(m_goal) / double(top));
        p.setPen(QPen(QColor(200, 60, 40), 1, Qt::DashLine));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.drawText(QPoint(plot.right() + 4, y + fm.ascent() / 2), QStringLiteral("目标"));
    }

    // The dates of the first and the last day, and of the middle one.
    p.setPen(ink);
    const int y = plot.bottom() + 4;
    const auto dateAt = [&](int i) { return QDate::fromJulianDay(m_firstDay + i).toString(QStringLiteral("M月d日")); };
    p.drawText(QRect(plot.left(), y, plot.width() / 3, fm.height()), Qt::AlignLeft, dateAt(0));
    if (n > 2)
        p.drawText(QRect(plot.left() + plot.width() / 3, y, plot.width() / 3, fm.height()), Qt::AlignHCenter,
                   dateAt(n / 2));
    p.drawText(QRect(plot.right() - plot.width() / 3, y, plot.width() / 3, fm.height()), Qt::AlignRight, dateAt(n - 1));
}

bool DayChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int i = barAt(help->pos());
        if (i >= 0) {
            const QString day = QDate::fromJulianDay(m_firstDay + i).toString(QStringLiteral("yyyy年M月d日"));
            QToolTip::showText(help->globalPos(), QStringLiteral("%1：%2").arg(day).arg(m_values[i]), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}
