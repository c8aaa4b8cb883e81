#include "editor/find_bar.h"

#include "editor/box_text.h"
#include "editor/frm_edit.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace {

// A search in the box runs on the window's thread: one that takes longer
// than this is stopped rather than let the window hang.
constexpr std::chrono::milliseconds kBoxSearchBound{1000};
// Hits are found again this long after the last key, not at every key.
constexpr int kRefreshMs = 150;
// More highlights than a screen can hold are not drawn.
constexpr int kMostHighlights = 1000;

const QColor kHighlight(255, 226, 120);

// The hits found in stored (the text as the file keeps it) at their places
// in the box, where a CR LF is one block break.
QVector<TextHit> toBox(const QString &stored, const QVector<TextHit> &hits)
{
    QVector<TextHit> out;
    out.reserve(hits.size());
    const QStringView text(stored);
    const QStringView crlf(u"\r\n");
    qsizetype searched = 0;
    int breaks = 0;
    // Positions are asked for in order: each break is counted once.
    const auto boxPosition = [&](int p) {
        for (;;) {
            const qsizetype at = text.indexOf(crlf, searched);
            if (at < 0 || at >= p)
                break;
            ++breaks;
            searched = at + 2;
        }
        return p - breaks;
    };
    for (const TextHit &h : hits) {
        const int start = boxPosition(h.start);
        const int end = boxPosition(h.end());
        out.append(TextHit{start, end - start});
    }
    return out;
}

} // namespace

FindBar::FindBar(frm_edit *editor) : QToolBar(editor), m_editor(editor), m_box(editor->Text1)
{
    setObjectName(QStringLiteral("FindBar"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);

    auto *panel = new QWidget(this);
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    const auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    findText = static_cast<QLineEdit *>(named(new QLineEdit(panel), "findText"));
    replaceText = static_cast<QLineEdit *>(named(new QLineEdit(panel), "replaceText"));
    findText->setClearButtonEnabled(true);
    findPrevious = static_cast<QPushButton *>(named(new QPushButton(QStringLiteral("上一个"), panel), "findPrevious"));
    findNext = static_cast<QPushButton *>(named(new QPushButton(QStringLiteral("下一个"), panel), "findNext"));
    replaceOne = static_cast<QPushButton *>(named(new QPushButton(QStringLiteral("替换"), panel), "replaceOne"));
    replaceAll = static_cast<QPushButton *>(named(new QPushButton(QStringLiteral("全部替换"), panel), "replaceAll"));
    caseSensitive =
        static_cast<QCheckBox *>(named(new QCheckBox(QStringLiteral("区分大小写"), panel), "caseSensitive"));
    widthInsensitive =
        static_cast<QCheckBox *>(named(new QCheckBox(QStringLiteral("全角半角视为相同"), panel), "widthInsensitive"));
    useRegex = static_cast<QCheckBox *>(named(new QCheckBox(QStringLiteral("使用正则表达式"), panel), "useRegex"));
    findState = static_cast<QLabel *>(named(new QLabel(panel), "findState"));
    auto *findLabel = new QLabel(QStringLiteral("查找："), panel);
    auto *replaceLabel = new QLabel(QStringLiteral("替换为："), panel);
    replaceLabel->setObjectName(QStringLiteral("replaceLabel"));
    for (QPushButton *b : {findPrevious, findNext, replaceOne, replaceAll})
        b->setAutoDefault(false);

    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(findText, 0, 1);
    grid->addWidget(findPrevious, 0, 2);
    grid->addWidget(findNext, 0, 3);
    grid->addWidget(caseSensitive, 0, 4);
    grid->addWidget(widthInsensitive, 0, 5);
    grid->addWidget(useRegex, 0, 6);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(replaceText, 1, 1);
    grid->addWidget(replaceOne, 1, 2);
    grid->addWidget(replaceAll, 1, 3);
    grid->addWidget(findState, 1, 4, 1, 3);
    grid->setColumnStretch(1, 1);
    addWidget(panel);
    for (QLineEdit *box : {findText, replaceText})
        box->installEventFilter(this);

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    connect(m_refresh, &QTimer::timeout, this, [this] {
        refresh();
        showState();
    });
    const auto queryChanged = [this] {
        m_dirty = true;
        scheduleRefresh();
    };
    connect(findText, &QLineEdit::textChanged, this, queryChanged);
    for (QCheckBox *option : {caseSensitive, widthInsensitive, useRegex})
        connect(option, &QCheckBox::toggled, this, queryChanged);
    connect(findNext, &QPushButton::clicked, this, &FindBar::findNextHit);
    connect(findPrevious, &QPushButton::clicked, this, &FindBar::findPreviousHit);
    connect(replaceOne, &QPushButton::clicked, this, &FindBar::replaceCurrent);
    connect(replaceAll, &QPushButton::clicked, this, &FindBar::replaceEveryHit);
    // Any change of the text moves the hits; they are found again once the
    // typing pauses, and only while the bar is open.
    connect(m_box->document(), &QTextDocument::contentsChange, this, [this] {
        m_dirty = true;
        if (isVisible())
            scheduleRefresh();
    });
    connect(m_box->verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::highlightInView);
    m_viewport = m_box->viewport();
    m_viewport->installEventFilter(this);

    // The keys work wherever the focus is in the editor.
    const auto key = [this, editor](const QKeySequence &keys, auto slot) {
        auto *a = new QAction(editor);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        editor->addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { open(false); });
    key(QKeySequence(Qt::CTRL | Qt::Key_H), [this] { open(true); });
    key(QKeySequence(Qt::Key_F3), [this] { findNextHit(); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findPreviousHit(); });
    QAction *escape = key(QKeySequence(Qt::Key_Escape), [this] { closeBar(); });
    escape->setEnabled(false);
    connect(this, &QToolBar::visibilityChanged, escape, &QAction::setEnabled);

    // The popup's designed items keep their order; this one comes last.
    editor->gongneng->addSeparator()->setObjectName(QStringLiteral("chazhaofenge"));
    chazhaotihuan = editor->gongneng->addAction(QStringLiteral("查找替换(&F)"));
    chazhaotihuan->setObjectName(QStringLiteral("chazhaotihuan"));
    chazhaotihuan->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    chazhaotihuan->setShortcutContext(Qt::WidgetShortcut);
    connect(chazhaotihuan, &QAction::triggered, this, [this] { open(true); });

    editor->addToolBar(Qt::BottomToolBarArea, this);
    hide();
}

TextQuery FindBar::query() const
{
    return {findText->text(), caseSensitive->isChecked(), widthInsensitive->isChecked(), useRegex->isChecked()};
}

void FindBar::open(bool replacing)
{
    const bool canReplace = replacing && !m_box->isReadOnly();
    for (QWidget *w : {static_cast<QWidget *>(replaceText), static_cast<QWidget *>(replaceOne),
                       static_cast<QWidget *>(replaceAll), findChild<QWidget *>(QStringLiteral("replaceLabel"))})
        w->setVisible(canReplace);
    // A short selection on one line is what the writer wants to find.
    const QString selected = m_box->textCursor().selectedText();
    if (!selected.isEmpty() && selected.size() <= 200 && !selected.contains(QChar::ParagraphSeparator))
        findText->setText(selected);
    show();
    findText->setFocus(Qt::ShortcutFocusReason);
    findText->selectAll();
    m_dirty = true;
    refresh();
    showState();
}

void FindBar::showHit(const TextQuery &q, int start)
{
    {
        const QSignalBlocker quiet1(findText), quiet2(caseSensitive), quiet3(widthInsensitive), quiet4(useRegex);
        findText->setText(q.pattern);
        caseSensitive->setChecked(q.caseSensitive);
        widthInsensitive->setChecked(q.widthInsensitive);
        useRegex->setChecked(q.regex);
    }
    if (isHidden())
        open(false);
    m_dirty = true;
    if (!refresh() || m_hits.isEmpty()) {
        showState();
        return;
    }
    // The chapter may have changed since the book was searched: the hit
    // nearest to where it was is the one meant.
    const auto distance = [start](const TextHit &h) { return std::abs(h.start - start); };
    const auto nearest = std::min_element(
        m_hits.cbegin(), m_hits.cend(), [&](const TextHit &a, const TextHit &b) { return distance(a) < distance(b); });
    select(int(nearest - m_hits.cbegin()));
    showState();
    m_box->centerCursor();
    m_box->setFocus();
}

bool FindBar::refresh()
{
    if (!m_dirty)
        return m_usable;
    m_dirty = false;
    m_usable = false;
    m_hits.clear();
    m_boxHits.clear();
    const TextQuery q = query();
    if (q.pattern.isEmpty()) {
        findState->clear();
        highlightInView();
        return false;
    }
    TextSearch::Result r = m_search.prepare(q);
    if (r) {
        m_stored = boxtext::text(m_box->document());
        SearchBound bound;
        bound.deadline = std::chrono::steady_clock::now() + kBoxSearchBound;
        r = m_search.findAll(m_stored, &m_hits, bound);
    }
    if (!r) {
        m_hits.clear();
        showError(textSearchProblem(r));
        highlightInView();
        return false;
    }
    m_boxHits = toBox(m_stored, m_hits);
    m_usable = true;
    highlightInView();
    return true;
}

void FindBar::scheduleRefresh()
{
    m_refresh->start(kRefreshMs);
}

int FindBar::selectedHit() const
{
    const QTextCursor c = m_box->textCursor();
    const int start = c.selectionStart();
    const auto it = std::lower_bound(m_boxHits.cbegin(), m_boxHits.cend(), start,
                                     [](const TextHit &h, int at) { return h.start < at; });
    if (it == m_boxHits.cend() || it->start != start || it->end() != c.selectionEnd())
        return -1;
    return int(it - m_boxHits.cbegin());
}

void FindBar::select(int index)
{
    const TextHit &h = m_boxHits.at(index);
    QTextCursor c(m_box->document());
    c.setPosition(h.start);
    c.setPosition(h.end(), QTextCursor::KeepAnchor);
    m_box->setTextCursor(c);
    m_box->ensureCursorVisible();
    highlightInView();
}

void FindBar::step(bool forward)
{
    if (isHidden() && findText->text().isEmpty()) {
        open(false);
        return;
    }
    m_refresh->stop();
    if (!refresh())
        return;
    if (m_boxHits.isEmpty()) {
        showState();
        return;
    }
    const QTextCursor c = m_box->textCursor();
    QString note;
    int index;
    if (forward) {
        const int from = c.selectionEnd();
        const auto it = std::lower_bound(m_boxHits.cbegin(), m_boxHits.cend(), from,
                                         [](const TextHit &h, int at) { return h.start < at; });
        index = int(it - m_boxHits.cbegin());
        if (index == m_boxHits.size()) {
            index = 0;
            note = QStringLiteral("已到末尾，从开头继续");
        }
    } else {
        const int to = c.selectionStart();
        const auto it = std::lower_bound(m_boxHits.cbegin(), m_boxHits.cend(), to,
                                         [](const TextHit &h, int at) { return h.start < at; });
        index = int(it - m_boxHits.cbegin()) - 1;
        if (index < 0) {
            index = int(m_boxHits.size()) - 1;
            note = QStringLiteral("已到开头，从末尾继续");
        }
    }
    select(index);
    showState(note);
}

void FindBar::findNextHit()
{
    step(true);
}

void FindBar::findPreviousHit()
{
    step(false);
}

void FindBar::replaceCurrent()
{
    if (m_box->isReadOnly() || !refresh())
        return;
    const int index = selectedHit();
    if (index < 0) {
        // The first press finds; the next replaces what it found.
        step(true);
        return;
    }
    TextSearch replacer;
    if (const auto r = replacer.prepare(query(), replaceText->text()); !r) {
        showError(textSearchProblem(r));
        return;
    }
    const QString with = replacer.replacementFor(m_stored, m_hits.at(index));
    if (with.isEmpty() && m_hits.at(index).length == m_stored.size()) {
        showError(QStringLiteral("替换后本章将没有任何文字，未替换！"));
        return;
    }
    // One step for the editor's undo, stored like typing.
    m_box->textCursor().insertText(with);
    m_refresh->stop();
    refresh();
    step(true);
}

void FindBar::replaceEveryHit()
{
    if (m_box->isReadOnly())
        return;
    m_refresh->stop();
    if (!refresh() || m_hits.isEmpty()) {
        showState();
        return;
    }
    TextSearch replacer;
    if (const auto r = replacer.prepare(query(), replaceText->text()); !r) {
        showError(textSearchProblem(r));
        return;
    }
    if (replacer.replaced(m_stored, m_hits).isEmpty()) {
        showError(QStringLiteral("替换后本章将没有任何文字，未替换！"));
        return;
    }
    // From the last hit back, so that each place is still where it was
    // found; all of it one edit, undone in one step.
    QTextCursor c(m_box->document());
    c.beginEditBlock();
    for (int i = int(m_hits.size()) - 1; i >= 0; --i) {
        c.setPosition(m_boxHits.at(i).start);
        c.setPosition(m_boxHits.at(i).end(), QTextCursor::KeepAnchor);
        c.insertText(replacer.replacementFor(m_stored, m_hits.at(i)));
    }
    c.endEditBlock();
    const int replaced = int(m_hits.size());
    refresh();
    showState(QStringLiteral("已替换 %1 处").arg(replaced));
}

void FindBar::closeBar()
{
    m_refresh->stop();
    hide();
    m_box->setExtraSelections({});
    m_box->setFocus();
}

void FindBar::showState(const QString &note)
{
    if (!m_usable)
        return;
    findState->setStyleSheet(QString());
    const int n = int(m_boxHits.size());
    QString text;
    if (n == 0) {
        text = QStringLiteral("找不到“%1”").arg(findText->text());
    } else {
        const int index = selectedHit();
        text = index >= 0 ? QStringLiteral("第 %1 / %2 处").arg(index + 1).arg(n) : QStringLiteral("共 %1 处").arg(n);
    }
    if (n == 0 && !note.isEmpty())
        text = note;
    else if (!note.isEmpty())
        text += QStringLiteral("　") + note;
    findState->setText(text);
}

void FindBar::showError(const QString &why)
{
    findState->setStyleSheet(QStringLiteral("color: #c00000;"));
    findState->setText(why);
}

void FindBar::highlightInView()
{
    QList<QTextEdit::ExtraSelection> marks;
    if (isVisible() && m_usable && !m_boxHits.isEmpty()) {
        const QRect view = m_box->viewport()->rect();
        const int first = m_box->cursorForPosition(view.topLeft()).position();
        const int last = m_box->cursorForPosition(view.bottomRight()).position();
        auto it = std::lower_bound(m_boxHits.cbegin(), m_boxHits.cend(), first,
                                   [](const TextHit &h, int at) { return h.end() < at; });
        for (; it != m_boxHits.cend() && it->start <= last && marks.size() < kMostHighlights; ++it) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(m_box->document());
            mark.cursor.setPosition(it->start);
            mark.cursor.setPosition(it->end(), QTextCursor::KeepAnchor);
            mark.format.setBackground(kHighlight);
            marks << mark;
        }
    }
    m_box->setExtraSelections(marks);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    // Compared with the viewport kept when the filter was set: the box may
    // be half destroyed when its viewport's last events come.
    if (watched == m_viewport) {
        if (event->type() == QEvent::Resize && isVisible())
            QTimer::singleShot(0, this, &FindBar::highlightInView);
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void showFoundHit(frm_edit *editor, const TextQuery &query, int start)
{
    if (auto *bar = editor->findChild<FindBar *>())
        bar->showHit(query, start);
}
