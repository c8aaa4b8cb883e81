// What the new-novel dialog and the information dialog share: the outline
// box and the way its text is kept in the novel file, the cover chooser.
#pragma once

#include <QString>

class QPlainTextEdit;
class QPushButton;
class QWidget;

// The multi-line outline box Text5, with its vertical scroll bar; Tab moves
// on to the next control rather than typing a tab.
QPlainTextEdit *makeOutlineBox(QWidget *parent, double left, double top, double width, double height);

// The cover chooser Command1: a narrow button whose caption gets the whole
// face, whatever padding the skin gives buttons.
QPushButton *makeCoverButton(QWidget *parent, const QString &text, double left, double top, double width,
                             double height);

// The box's text as the novel file keeps it: every line break as CR LF.
QString storedText(const QPlainTextEdit *box);
