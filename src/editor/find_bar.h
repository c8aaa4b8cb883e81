// The chapter editor's find bar: finds in the chapter the way the whole-book
// search finds in a book, hit by hit, and in edit mode replaces. A change it
// makes goes into the text box like typing, so the editor stores it on its
// own store path and its undo takes it back in one step. Hits are found in
// the text as the novel file keeps it and shown at their places in the box.
#pragma once

#include "app/text_search.h"

#include <QToolBar>
#include <QVector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class frm_edit;

class FindBar : public QToolBar
{
    Q_OBJECT
public:
    // Puts the bar, hidden, at the foot of editor, with Ctrl+F and Ctrl+H,
    // F3 and Shift+F3, and 查找替换(&F) after a separator at the end of the
    // editor's popup menu.
    explicit FindBar(frm_edit *editor);

    // Opens the bar with the replace box when replacing and the text is not
    // locked (read mode finds, never replaces), the find box ready to type.
    void open(bool replacing);
    // Opens it on query and selects, in view, the hit nearest to start (a
    // place in the text as the file keeps it).
    void showHit(const TextQuery &query, int start);

    // What the bar's boxes and options ask for.
    TextQuery query() const;

    QLineEdit *findText = nullptr;
    QLineEdit *replaceText = nullptr;
    QCheckBox *caseSensitive = nullptr;
    QCheckBox *widthInsensitive = nullptr;
    QCheckBox *useRegex = nullptr;
    QPushButton *findPrevious = nullptr;
    QPushButton *findNext = nullptr;
    QPushButton *replaceOne = nullptr;
    QPushButton *replaceAll = nullptr;
    // "第 i / n 处", the word on wrapping, or what is wrong with the query.
    QLabel *findState = nullptr;
    QAction *chazhaotihuan = nullptr;

public slots:
    void findNextHit();
    void findPreviousHit();
    void replaceCurrent();
    void replaceEveryHit();
    void closeBar();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Finds the hits again when the text or the query changed; false, with
    // the reason shown, when the query cannot be used.
    bool refresh();
    // Moves to the next or previous hit from the selection, wrapping.
    void step(bool forward);
    void select(int index);
    // The index of the hit the selection covers exactly, or -1.
    int selectedHit() const;
    void showState(const QString &note = QString());
    void showError(const QString &why);
    void highlightInView();
    void scheduleRefresh();

    frm_edit *m_editor;
    QPlainTextEdit *m_box;
    QWidget *m_viewport = nullptr;
    TextSearch m_search;
    // The text as the file keeps it when the hits were found, the hits in
    // it, and the same hits at their places in the box.
    QString m_stored;
    QVector<TextHit> m_hits;
    QVector<TextHit> m_boxHits;
    bool m_dirty = true;
    bool m_usable = false;
    QTimer *m_refresh = nullptr;
};

// Shows the whole-book search's hit in an open editor: see FindBar::showHit.
void showFoundHit(frm_edit *editor, const TextQuery &query, int start);
