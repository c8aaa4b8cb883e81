// The text of a text box as the novel file keeps it: line breaks as carriage
// return and line feed, so that a line break counts two characters.
#pragma once

#include <QString>

class QTextDocument;

namespace boxtext {

// The whole text of the box, line breaks as "\r\n".
QString text(const QTextDocument *doc);

// The same from the box's raw text, whose line breaks are U+2029.
QString fromBoxText(const QString &raw);

// Keeps a copy of the box's raw text up to date from its change
// notifications, so that a keystroke in a long chapter copies one character,
// not the whole chapter.
class Mirror
{
public:
    // Takes the whole text of doc.
    void reset(const QTextDocument *doc);
    // Takes a change reported by QTextDocument::contentsChange. False, with
    // the whole text taken again, when the change did not fit the copy.
    bool apply(const QTextDocument *doc, int position, int charsRemoved, int charsAdded);
    const QString &raw() const { return m_raw; }

private:
    QString m_raw;
};

// The length of text(doc) in UTF-16 code units, without building the text.
int length(const QTextDocument *doc);

} // namespace boxtext
