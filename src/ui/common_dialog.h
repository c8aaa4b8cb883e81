// A window's file dialog: it keeps the name chosen last, so that cancelling
// leaves the earlier choice in place.
#pragma once

#include <QString>
#include <utility>

class Prompts;
class QWidget;

class CommonDialog
{
public:
    explicit CommonDialog(QString filter) : m_filter(std::move(filter)) {}

    // Both return true when a file was chosen in this showing.
    bool showOpen(Prompts &prompts, QWidget *parent);
    bool showSave(Prompts &prompts, QWidget *parent);

    const QString &fileName() const { return m_fileName; }
    const QString &filter() const { return m_filter; }

private:
    QString m_filter;
    QString m_fileName;
};
