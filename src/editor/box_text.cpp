#include "editor/box_text.h"

#include <QTextCursor>
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
    return fromBoxText(doc->toRawText());
}

QString fromBoxText(const QString &raw)
{
    // One search and one copy per line.
    const QStringView view(raw);
    qsizetype at = view.indexOf(kBlockBreak);
    if (at < 0)
        return raw;
    QString out;
    out.reserve(raw.size() + raw.size() / 64 + 16);
    qsizetype from = 0;
    for (; at >= 0; at = view.indexOf(kBlockBreak, from)) {
        out.append(view.mid(from, at - from));
        out.append(kCrLf);
        from = at + 1;
    }
    out.append(view.mid(from));
    return out;
}

void Mirror::reset(const QTextDocument *doc)
{
    m_raw = doc->toRawText();
}

bool Mirror::apply(const QTextDocument *doc, int position, int charsRemoved, int charsAdded)
{
    // The document reports its closing block break in some changes (a whole
    // new text, say): such a change is taken whole, as is anything that does
    // not add up.
    const qsizetype length = doc->characterCount() - 1;
    if (position < 0 || charsRemoved < 0 || charsAdded < 0 || position + charsRemoved > m_raw.size() ||
        m_raw.size() - charsRemoved + charsAdded != length) {
        reset(doc);
        return false;
    }
    QTextCursor added(const_cast<QTextDocument *>(doc));
    added.setPosition(position);
    added.setPosition(position + charsAdded, QTextCursor::KeepAnchor);
    m_raw.replace(position, charsRemoved, added.selectedText());
    return true;
}

int length(const QTextDocument *doc)
{
    // characterCount() holds one break per block, the last one included.
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

} // namespace boxtext
