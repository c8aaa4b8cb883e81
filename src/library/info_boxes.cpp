#include "library/info_boxes.h"

#include "ui/controls.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

QPlainTextEdit *makeOutlineBox(QWidget *parent, double left, double top, double width, double height)
{
    auto *box = placeControl<QPlainTextEdit>(parent, QStringLiteral("Text5"), left, top, width, height);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    return box;
}

QPushButton *makeCoverButton(QWidget *parent, const QString &text, double left, double top, double width, double height)
{
    auto *button = placeControl<QPushButton>(parent, QStringLiteral("Command1"), text, left, top, width, height);
    button->setStyleSheet(QStringLiteral("padding: 0px;"));
    return button;
}

QString storedText(const QPlainTextEdit *box)
{
    // The raw text keeps non-breaking spaces, which toPlainText would turn
    // into plain ones.
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return text;
}
