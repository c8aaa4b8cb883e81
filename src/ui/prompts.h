// Every message box, input box and file dialog of the program goes through
// Prompts, so that tests can answer them and see exactly what was asked.
#pragma once

#include <QString>

class QWidget;

// The program's title: the caption of every box without one of its own.
inline const QString &appTitle()
{
    static const QString title = QStringLiteral("砚舟写作系统");
    return title;
}

// Message box styles, as the program has always numbered them.
enum MsgStyle : int {
    MsgPlain = 0,        // no icon, OK
    MsgCritical = 16,    // stop icon, OK
    MsgInformation = 64, // information icon, OK
    MsgAskYesNo = 68,    // information icon, Yes and No
};

enum MsgResult : int { MsgOk = 1, MsgYes = 6, MsgNo = 7 };

class Prompts
{
public:
    virtual ~Prompts() = default;

    // A modal message box; an empty caption shows the program's title.
    virtual MsgResult message(QWidget *parent, const QString &text, int style, const QString &caption) = 0;
    // A modal input box captioned with the program's title. Cancelling gives
    // the empty text.
    virtual QString input(QWidget *parent, const QString &prompt, const QString &defaultText) = 0;
    // File dialogs. filter is "description|pattern"; currentName is the name
    // the dialog holds from an earlier choice. Empty result: cancelled.
    virtual QString openFile(QWidget *parent, const QString &filter, const QString &currentName) = 0;
    virtual QString saveFile(QWidget *parent, const QString &filter, const QString &currentName) = 0;
};

// The real dialogs.
class QtPrompts : public Prompts
{
public:
    MsgResult message(QWidget *parent, const QString &text, int style, const QString &caption) override;
    QString input(QWidget *parent, const QString &prompt, const QString &defaultText) override;
    QString openFile(QWidget *parent, const QString &filter, const QString &currentName) override;
    QString saveFile(QWidget *parent, const QString &filter, const QString &currentName) override;
};

// "图片文件(*.jpg)|*.jpg" as a Qt name filter list: "图片文件(*.jpg)".
QString qtNameFilter(const QString &filter);

// The one message for a store operation that failed (file gone, locked,
// read-only, damaged): says what was not done and why, and ends nothing.
void showStoreError(Prompts &prompts, QWidget *parent, const QString &what, const QString &why);
