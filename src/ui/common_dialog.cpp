#include "ui/common_dialog.h"

#include "ui/prompts.h"

bool CommonDialog::showOpen(Prompts &prompts, QWidget *parent)
{
    const QString chosen = prompts.openFile(parent, m_filter, m_fileName);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}

bool CommonDialog::showSave(Prompts &prompts, QWidget *parent)
{
    const QString chosen = prompts.saveFile(parent, m_filter, m_fileName);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}
