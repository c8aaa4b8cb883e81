// The text of a text box as the novel file keeps it: line breaks as carriage
// return and line feed, so that a line break counts two characters.
#pragma once

#include <QString>

class QTextDocument;

namespace boxtext {

// The whole text of the box, line breaks as "\r\n".
QString text(const QTextDocument *doc);

// The length of text(doc) in UTF-16 code units, without building the text.
int length(const QTextDocument *doc);

} // namespace boxtext
