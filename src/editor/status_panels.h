// The chapter editor's status bar: its panels as designed, numbered from 1,
// each as wide as designed while there is room and narrower when the window
// is, so that the panels never hold the window wider. A feature with a panel
// of its own adds it after them.
#pragma once

#include <QString>
#include <QVector>

class QLabel;
class QStatusBar;

class StatusPanels
{
public:
    // The panels the window writes into.
    enum Panel : int {
        Mode = 2,  // 编辑 or 阅读
        State = 4, // 已经修改, 未能保存！ or 阅读模式
        Clock = 6,
        Count = 8, // the text's length
    };

    // Puts the designed panels into bar; the last of them takes the room
    // the others leave.
    void build(QStatusBar *bar);
    // Adds a panel after the others and returns its number.
    int add(const QString &text, int widthTwips);

    // Empty for a panel that is not there.
    QString text(int panel) const;
    void setText(int panel, const QString &text);

private:
    int append(const QString &text, int widthTwips, int stretch);

    QStatusBar *m_bar = nullptr;
    QVector<QLabel *> m_panels;
};
