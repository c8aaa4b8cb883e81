// Prompts for tests: every box is recorded, and answered from a script.
#pragma once

#include "ui/prompts.h"

#include <QStringList>
#include <QVector>
#include <functional>

struct PromptCall
{
    QString kind; // "message", "input", "open" or "save"
    QString text; // message text, input prompt or file filter
    int style = 0;
    QString caption; // as shown: the program's title when none was given
    QString current; // input default or the dialog's current file name
};

class TestPrompts : public Prompts
{
public:
    MsgResult message(QWidget *parent, const QString &text, int style, const QString &caption) override;
    QString input(QWidget *parent, const QString &prompt, const QString &defaultText) override;
    QString openFile(QWidget *parent, const QString &filter, const QString &currentName) override;
    QString saveFile(QWidget *parent, const QString &filter, const QString &currentName) override;

    // Answers, used in order; a Yes/No box with no answer left gets No, an
    // input box or file dialog with none left is cancelled.
    QVector<MsgResult> yesNo;
    QStringList inputs;
    QStringList files;
    // Runs inside a box, while it is "open" (to look at the windows then).
    std::function<void(const PromptCall &)> onPrompt;

    QVector<PromptCall> calls;
    QStringList messages() const;
    void clear() { calls.clear(); }
};
