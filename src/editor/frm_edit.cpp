#include "editor/frm_edit.h"

#include "app/app_context.h"
#include "editor/box_text.h"
#include "editor/chapter_counting.h"
#include "editor/chapter_store.h"
#include "editor/find_bar.h"
#include "store/data_source.h"
#include "ui/layout_scaling.h"
#include "ui/prompts.h"
#include "ui/skin.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFontDatabase>
#include <QInputMethodQueryEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

const QString kChapterTable = QStringLiteral("小说");
const QString kChanged = QStringLiteral("已经修改");
const QString kNotStored = QStringLiteral("未能保存！");
const QString kDesignFont = QStringLiteral("宋体");
constexpr double kDesignFontSize = 14.25;
// The largest size a font can be asked for; larger sizes are not sizes.
constexpr double kLargestFontSize = 1638;

// The number at the start of text: the longest leading decimal number with
// "." as the decimal point whatever the locale; 0 when there is none.
double leadingNumber(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    const int start = i;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    bool digits = false;
    while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    return digits ? QStringView(text).mid(start, i - start).toDouble() : 0;
}

} // namespace

frm_edit::frm_edit(AppContext &ctx, DataSource &source, QWidget *manager, QWidget *parent)
    : QMainWindow(parent), CommonDialog1(QStringLiteral("文本文件(*.txt)|*.txt")), m_ctx(ctx), m_manager(manager)
{
    setObjectName(QStringLiteral("frm_edit"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    setFont(QFont(QStringLiteral("宋体"), 9));

    auto *central = new QWidget(this);
    setCentralWidget(central);

    Combo1 = new QComboBox(central);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    placeTw(Combo1, 0, 120, 1575, 300);

    Text2 = new QLineEdit(QStringLiteral("9"), central);
    Text2->setObjectName(QStringLiteral("Text2"));
    placeTw(Text2, 1800, 120, 735, 270);

    const auto button = [central](const char *name, const QString &caption, int left) {
        auto *b = new QPushButton(caption, central);
        b->setObjectName(QLatin1String(name));
        placeTw(b, left, 120, 735, 255);
        return b;
    };
    Command3 = button("Command3", QStringLiteral("导入"), 10680);
    Command4 = button("Command4", QStringLiteral("导出"), 11640);
    Command1 = button("Command1", QStringLiteral("全屏"), 12960);
    Command2 = button("Command2", QStringLiteral("还原"), 13920);
    Command2->setEnabled(false);

    Text1 = new QPlainTextEdit(central);
    Text1->setObjectName(QStringLiteral("Text1"));
    placeTw(Text1, 0, 480, 14775, 9495);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab leaves the box for Picture1, which hands the focus back with a tab.
    Text1->setTabChangesFocus(true);

    Picture1 = new QWidget(central);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    placeTw(Picture1, -9999, 0, 1215, 495);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->installEventFilter(this);
    // The text comes first in the tab order: the window opens with the caret
    // in the text, never in the font list, where typing would pick a font.
    setTabOrder(Text1, Picture1);
    setTabOrder(Picture1, Combo1);
    setTabOrder(Combo1, Text2);
    setTabOrder(Text2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_panels.build(StatusBar1);
    buildPopup();

    connect(Combo1, &QComboBox::currentIndexChanged, this, &frm_edit::Combo1_Click);
    connect(Text2, &QLineEdit::textChanged, this, &frm_edit::Text2_Change);
    connect(Text1, &QPlainTextEdit::textChanged, this, &frm_edit::Text1_Change);
    connect(Timer1, &QTimer::timeout, this, &frm_edit::Timer1_Timer);
    connect(Command1, &QPushButton::clicked, this, &frm_edit::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_edit::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frm_edit::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frm_edit::Command4_Click);
    // The chapter is the one the manager's data source stands on now; the
    // store's writer has a connection of its own, which nothing else can move.
    const bool onChapter = source.recordSource() == kChapterTable && source.hasCurrent();
    m_store = new ChapterStore(
        source.databaseName(), onChapter ? source.currentRowId() : -1, [this] { return m_text.text(); }, this);
    connect(m_store, &ChapterStore::stateChanged, this,
            [this](bool refused) { setPanelText(StatusPanels::State, refused ? kNotStored : kChanged); });
    m_counting = new ChapterCounting(m_ctx.writing, source.databaseName(), onChapter ? source.currentRowId() : -1,
                                     m_panels, this);
    connect(Text1->document(), &QTextDocument::contentsChange, this, [this](int position, int removed, int added) {
        if (m_replacing)
            return;
        boxtext::Change change;
        m_text.apply(Text1->document(), position, removed, added, &change);
        m_counting->changed(change, Text1->document()->availableUndoSteps());
    });

    resize(tw(14760), tw(9975) + StatusBar1->sizeHint().height());
    layout()->activate();
    Form_Load();
    central->installEventFilter(this);
    Timer1->start();
    new FindBar(this);
}

frm_edit::~frm_edit()
{
    // A window deleted without being closed still stores its last change:
    // the store waits for its writer as it goes.
    delete std::exchange(m_store, nullptr);
    Form_Unload();
}

void frm_edit::Form_Load()
{
    installTextFilter(true);
    RecordLayout(this);

    const QStringList families = QFontDatabase::families();
    {
        const QSignalBlocker quiet(Combo1);
        Combo1->addItems(families);
        Combo1->setCurrentIndex(-1);
    }
    const int designFont = designFontIndex(families);
    if (designFont >= 0)
        Combo1->setCurrentIndex(designFont);

    QFont font = Text1->font();
    font.setFamily(kDesignFont);
    font.setPointSizeF(kDesignFontSize);
    font.setWeight(QFont::Normal);
    Text1->setFont(font);
    Text2->setText(QString::number(kDesignFontSize));
}

std::array<QObject *, 4> frm_edit::textBoxParts() const
{
    return {Text1, Text1->viewport(), Text1->verticalScrollBar(), Text1->horizontalScrollBar()};
}

void frm_edit::installTextFilter(bool on)
{
    // The text box's own context menus never show, neither the text's nor
    // its scroll bar's: the right button opens gongneng over the text and
    // nothing over the scroll bar, and the context-menu key opens nothing.
    for (QObject *o : textBoxParts()) {
        if (on)
            o->installEventFilter(this);
        else
            o->removeEventFilter(this);
    }
}

void frm_edit::Form_Resize()
{
    ScaleLayout(this);
    // The font boxes keep their design places; the size box keeps its size
    // too, while the font list grows and shrinks with the window.
    placeTw(Text2, 1800, 120, 735, 270);
    Combo1->move(tw(0), tw(120));
}

void frm_edit::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_store)
        m_store->stopRetrying();
    installTextFilter(false);
    if (m_manager)
        m_manager->setEnabled(true);
}

QString frm_edit::panelText(int panel) const
{
    return m_panels.text(panel);
}

void frm_edit::setPanelText(int panel, const QString &text)
{
    m_panels.setText(panel, text);
}

void frm_edit::Combo1_Click()
{
    if (Combo1->currentIndex() < 0)
        return;
    QFont font = Text1->font();
    font.setFamily(Combo1->currentText());
    Text1->setFont(font);
}

void frm_edit::Text2_Change()
{
    const double size = leadingNumber(Text2->text());
    // Zero means no number; a size the box cannot take is passed over too.
    if (size <= 0 || size > kLargestFontSize)
        return;
    QFont font = Text1->font();
    font.setPointSizeF(size);
    Text1->setFont(font);
}

void frm_edit::loadText(const QString &text)
{
    m_loading = true;
    replaceText(text);
    m_loading = false;
}

void frm_edit::replaceText(const QString &text)
{
    // A whole new text is taken once it is in the box, not change by change
    // while the box takes it in.
    m_replacing = true;
    Text1->setPlainText(text);
    m_replacing = false;
    const QString before = m_loading ? QString() : m_text.text();
    m_text.reset(Text1->document());
    m_counting->replaced(before, m_text.text(), m_loading);
    if (!m_loading && !Text1->isReadOnly())
        storeText();
}

void frm_edit::Text1_Change()
{
    // Runs on every keystroke: the count comes from the document's own
    // figures, and the text is built once, for the store.
    if (!m_undoing)
        m_undoneLast = false;
    if (Text1->isReadOnly())
        return;
    const QTextDocument *doc = Text1->document();
    setPanelText(StatusPanels::Count, QString::number(boxtext::length(doc)));
    if (m_loading || m_replacing)
        setPanelText(StatusPanels::State, kChanged);
    else
        storeText();
}

void frm_edit::storeText()
{
    // The screen is updated first; the store writes the text meanwhile and
    // says when it is in the file. A window being deleted has no store.
    if (m_store)
        m_store->submit(m_text.text());
}

bool frm_edit::isStored() const
{
    return m_store->isStored();
}

bool frm_edit::waitUntilStored()
{
    return m_store->waitUntilStored();
}

const QString &frm_edit::storeError() const
{
    return m_store->error();
}

void frm_edit::Timer1_Timer()
{
    setPanelText(StatusPanels::Clock, QDateTime::currentDateTime().toString(QStringLiteral("yyyy/M/d H:mm:ss")));
}

void frm_edit::Picture1_GotFocus()
{
    Text1->setFocus(Qt::TabFocusReason);
    if (!Text1->isReadOnly())
        Text1->insertPlainText(QStringLiteral("\t"));
}

void frm_edit::closeEvent(QCloseEvent *event)
{
    // Closing waits for the last change to be written. A change the store
    // refused is tried once more; if it still cannot be stored, the user
    // decides whether to close and lose it.
    bool stored = waitUntilStored();
    if (!stored && !Text1->isReadOnly())
        stored = m_store->retryAndWait();
    if (!stored && !Text1->isReadOnly()) {
        const QString text = QStringLiteral("本章最近的修改没有存入小说文件，关闭后这些修改将会丢失！\n"
                                            "可以先用“导出”把文字存为文本文件。\n是否仍然关闭？");
        if (m_ctx.prompts->message(this, text, MsgAskYesNo, QStringLiteral("警告")) != MsgYes) {
            event->ignore();
            return;
        }
    }
    Form_Unload();
    event->accept();
}

bool frm_edit::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == Picture1) {
        if (type == QEvent::FocusIn)
            Picture1_GotFocus();
    } else if (watched == centralWidget()) {
        if (type == QEvent::Resize)
            Form_Resize();
    } else if (const auto parts = textBoxParts(); std::find(parts.begin(), parts.end(), watched) != parts.end()) {
        if (type == QEvent::ContextMenu)
            return true;
        if (type == QEvent::MouseButtonPress && watched == Text1->viewport()) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::RightButton) {
                gongneng->popup(me->globalPosition().toPoint());
                return true;
            }
        }
        // Qt offers a read-only box to input methods all the same, and takes
        // their text into it: shown but never stored. Tell them it takes no
        // input, and refuse what one sends regardless.
        if (watched == Text1 && Text1->isReadOnly()) {
            if (type == QEvent::InputMethod)
                return true;
            if (type == QEvent::InputMethodQuery) {
                auto *query = static_cast<QInputMethodQueryEvent *>(event);
                if (query->queries() == Qt::ImEnabled) {
                    query->setValue(Qt::ImEnabled, false);
                    return true;
                }
            }
        }
        // The box's own undo key goes the same one-level way as the menu's.
        if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && watched == Text1 &&
            static_cast<QKeyEvent *>(event)->matches(QKeySequence::Undo)) {
            if (type == QEvent::KeyPress)
                chexiao_Click();
            event->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
