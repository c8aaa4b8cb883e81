#include "editor/box_text.h"

#include <QTextDocument>

namespace boxtext {

namespace {

const QChar kBlockBreak(QChar::ParagraphSeparator);
const QLatin1String kCrLf("\r\n");

} // namespace

QString text(const QTextDocument *doc)
{
    // The raw text keeps every character as typed (toPlainText would turn
    // no-break spaces into spaces); only the block breaks need writing out.
    // This runs on every keystroke: one search and one copy per line.
    const QString raw = doc->toRawText();
    const int breaks = doc->blockCount() - 1;
    if (breaks <= 0)
        return raw;
    QString out;
    out.reserve(raw.size() + breaks);
    const QStringView view(raw);
    qsizetype from = 0;
    for (qsizetype at = view.indexOf(kBlockBreak); at >= 0; at = view.indexOf(kBlockBreak, from)) {
        out.append(view.mid(from, at - from));
        out.append(kCrLf);
        from = at + 1;
    }
    out.append(view.mid(from));
    return out;
}

int length(const QTextDocument *doc)
{
    // characterCount() holds one break per block, the last one included.
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

} // namespace boxtext
