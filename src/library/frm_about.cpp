#include "library/frm_about.h"

#include "ui/twips.h"

#include <QLabel>

frm_about::frm_about(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frm_about"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("关于我们"));
    // The int overload would cut 10.5 to 10.
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(10.5);
    setFont(font);
    setFixedSize(tw(5400), tw(2400));
    const QStringList lines = {
        QStringLiteral("联系电话：0571-0000-0000"),
        QStringLiteral("错误报告：bugs@yanzhou.example.org"),
        QStringLiteral("用户交流群：100000000"),
        QStringLiteral("砚舟写作系统 0.1 试用版，欢迎提出意见。"),
    };
    for (int i = 0; i < lines.size(); ++i) {
        auto *label = new QLabel(lines[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        placeTw(label, 360, 360 + i * 420, 4800, 360);
    }
}
