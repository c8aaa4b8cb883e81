// The bar chart of characters added per day, drawn with QPainter: the same
// code path wherever the program is built, with Qt's base modules only.
#pragma once

#include <QVector>
#include <QWidget>

class DayChart : public QWidget
{
    Q_OBJECT
public:
    explicit DayChart(QWidget *parent = nullptr);

    // One bar per day from firstDay (a Julian day) on; a goal above 0 is
    // drawn as a line across.
    void setDays(qint64 firstDay, const QVector<qint64> &values, qint64 goal);
    qint64 firstDay() const { return m_firstDay; }
    const QVector<qint64> &values() const { return m_values; }

    // The index of the bar under the point, or -1.
    int barAt(const QPoint &point) const;

    QSize sizeHint() const override { return {640, 260}; }
    QSize minimumSizeHint() const override { return {240, 140}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRect plotArea() const;
    // The top of the scale: a round number at or above every bar and the goal.
    qint64 scaleTop() const;

    qint64 m_firstDay = 0;
    QVector<qint64> m_values;
    qint64 m_goal = 0;
};
