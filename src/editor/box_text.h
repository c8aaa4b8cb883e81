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

// What a change did to the text as the file keeps it: the stretch it took
// out and the stretch it put in its place.
struct Change
{
    QString removed;
    QString inserted;
};

// Keeps the box's text as the file keeps it (text(doc)) up to date from the
// document's change notifications, so that a keystroke in a long chapter
// copies the one character typed, not the whole chapter.
class Mirror
{
public:
    // Takes the whole text of doc.
    void reset(const QTextDocument *doc);
    // Takes a change reported by QTextDocument::contentsChange. False, with
    // the whole text taken again, when the change did not fit the copy.
    // change, when given, gets what was replaced by what; the whole texts
    // when the change did not fit.
    bool apply(const QTextDocument *doc, int position, int charsRemoved, int charsAdded, Change *change = nullptr);
    const QString &text() const { return m_text; }

private:
    QString m_text;
    // The length of the document's text: m_text less one unit per break.
    qsizetype m_length = 0;
};

// The length of text(doc) in UTF-16 code units, without building the text.
int length(const QTextDocument *doc);

} // namespace boxtext
