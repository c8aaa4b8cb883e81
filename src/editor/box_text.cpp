#include "editor/box_text.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace boxtext {

namespace {

const QChar kBlockBreak(QChar::ParagraphSeparator);

} // namespace

QString text(const QTextDocument *doc)
{
    // The raw text keeps every character as typed (toPlainText would turn
    // no-break spaces into spaces); only the block breaks need writing out.
    return fromBoxText(doc->toRawText());
}

namespace {

// Writes raw with each block break as CR LF into out, reusing out's memory
// when it is its own: a new block of a few megabytes costs more in page
// faults than the copying itself.
void writeStored(QStringView raw, QString &out)
{
    const qsizetype breaks = raw.count(kBlockBreak);
    out.resize(raw.size() + breaks);
    QChar *to = out.data();
    qsizetype from = 0;
    for (qsizetype at = raw.indexOf(kBlockBreak); at >= 0; at = raw.indexOf(kBlockBreak, from)) {
        std::copy(raw.data() + from, raw.data() + at, to);
        to += at - from;
        *to++ = QLatin1Char('\r');
        *to++ = QLatin1Char('\n');
        from = at + 1;
    }
    std::copy(raw.data() + from, raw.data() + raw.size(), to);
}

} // namespace

QString fromBoxText(const QString &raw)
{
    if (!raw.contains(kBlockBreak))
        return raw;
    QString out;
    writeStored(raw, out);
    return out;
}

void Mirror::reset(const QTextDocument *doc)
{
    writeStored(doc->toRawText(), m_text);
    m_length = doc->characterCount() - 1;
}

bool Mirror::apply(const QTextDocument *doc, int position, int charsRemoved, int charsAdded, Change *change)
{
    const auto takeWhole = [&] {
        if (change)
            change->removed = m_text;
        reset(doc);
        if (change)
            change->inserted = m_text;
        return false;
    };
    // The document reports its closing block break in some changes (a whole
    // new text, say): such a change is taken whole, as is anything that does
    // not add up.
    const qsizetype length = doc->characterCount() - 1;
    const QTextBlock block = doc->findBlock(position);
    if (position < 0 || charsRemoved < 0 || charsAdded < 0 || m_length - charsRemoved + charsAdded != length ||
        !block.isValid())
        return takeWhole();
    // Before the change the text is as it was: every block before the one
    // holding position ends in a break, two units here and one there.
    const qsizetype from = position + block.blockNumber();
    // The box holds no CR or LF of its own (it turns them into breaks), so
    // CR LF here is always one break there.
    qsizetype to = from;
    for (int i = 0; i < charsRemoved; ++i) {
        if (to >= m_text.size())
            return takeWhole();
        to += m_text.at(to) == QLatin1Char('\r') && to + 1 < m_text.size() && m_text.at(to + 1) == QLatin1Char('\n')
                  ? 2
                  : 1;
    }
    QTextCursor added(const_cast<QTextDocument *>(doc));
    added.setPosition(position);
    added.setPosition(position + charsAdded, QTextCursor::KeepAnchor);
    QString inserted = fromBoxText(added.selectedText());
    if (change) {
        change->removed = m_text.mid(from, to - from);
        change->inserted = inserted;
    }
    m_text.replace(from, to - from, inserted);
    m_length = length;
    return true;
}

int length(const QTextDocument *doc)
{
    // characterCount() holds one break per block, the last one included.
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

} // namespace boxtext
