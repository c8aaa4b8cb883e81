#include "test_prompts.h"

MsgResult TestPrompts::message(QWidget *, const QString &text, int style, const QString &caption)
{
    calls.append({QStringLiteral("message"), text, style, caption.isEmpty() ? appTitle() : caption, {}});
    if (onPrompt)
        onPrompt(calls.back());
    if ((style & 7) != 4)
        return MsgOk;
    return yesNo.isEmpty() ? MsgNo : yesNo.takeFirst();
}

QString TestPrompts::input(QWidget *, const QString &prompt, const QString &defaultText)
{
    calls.append({QStringLiteral("input"), prompt, 0, appTitle(), defaultText});
    if (onPrompt)
        onPrompt(calls.back());
    return inputs.isEmpty() ? QString() : inputs.takeFirst();
}

QString TestPrompts::openFile(QWidget *, const QString &filter, const QString &currentName)
{
    calls.append({QStringLiteral("open"), filter, 0, {}, currentName});
    if (onPrompt)
        onPrompt(calls.back());
    return files.isEmpty() ? QString() : files.takeFirst();
}

QString TestPrompts::saveFile(QWidget *, const QString &filter, const QString &currentName)
{
    calls.append({QStringLiteral("save"), filter, 0, {}, currentName});
    if (onPrompt)
        onPrompt(calls.back());
    return files.isEmpty() ? QString() : files.takeFirst();
}

QStringList TestPrompts::messages() const
{
    QStringList out;
    for (const PromptCall &c : calls) {
        if (c.kind == QLatin1String("message"))
            out << c.text;
    }
    return out;
}
