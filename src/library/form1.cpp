#include "library/form1.h"

#include "app/app_context.h"
#include "library/info_boxes.h"
#include "store/novel_file.h"
#include "ui/controls.h"
#include "ui/elided_label.h"
#include "ui/prompts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// The fields of 信息 shown in Text1 to Text5, in that order.
const QString kFieldNames[] = {QStringLiteral("书名"), QStringLiteral("角色"), QStringLiteral("作者"),
                               QStringLiteral("说明"), QStringLiteral("大纲")};

} // namespace

Form1::Form1(AppContext &ctx, QWidget *parent)
    : QWidget(parent, Qt::Window), CommonDialog1(QStringLiteral("图片文件(*.jpg)|*.jpg")), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    setFont(QFont(QStringLiteral("宋体"), 9));
    setFixedSize(tw(4620), tw(7260));

    // The labels lie under the boxes they reach into.
    Label1 = placeControl<QLabel>(this, QStringLiteral("Label1"), QStringLiteral("名称："), 120, 240, 1215, 255);
    Label2 = placeControl<QLabel>(this, QStringLiteral("Label2"), QStringLiteral("角色："), 120, 720, 1215, 255);
    Label3 = placeControl<QLabel>(this, QStringLiteral("Label3"), QStringLiteral("作者："), 120, 1200, 1215, 255);
    Label4 = placeControl<QLabel>(this, QStringLiteral("Label4"), QStringLiteral("说明："), 120, 1680, 1215, 255);
    Label5 = placeControl<QLabel>(this, QStringLiteral("Label5"), QStringLiteral("大纲"), 120, 2160, 1215, 255);
    Label6 = placeControl<QLabel>(this, QStringLiteral("Label6"), QStringLiteral("封面："), 120, 6120, 615, 255);
    Label7 = placeControl<ElidedLabel>(this, QStringLiteral("Label7"), QString(), 720, 6120, 3255, 255);

    Text1 = placeControl<QLineEdit>(this, QStringLiteral("Text1"), 720, 120, 3735, 375);
    Text2 = placeControl<QLineEdit>(this, QStringLiteral("Text2"), 720, 600, 3735, 375);
    Text3 = placeControl<QLineEdit>(this, QStringLiteral("Text3"), 720, 1080, 3735, 375);
    Text4 = placeControl<QLineEdit>(this, QStringLiteral("Text4"), 720, 1560, 3735, 375);
    Text5 = makeOutlineBox(this, 120, 2400, 4335, 3615);
    Command1 = makeCoverButton(this, QStringLiteral("--"), 4080, 6120, 375, 375);
    Command2 =
        placeControl<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("保存"), 120, 6600, 1215, 495);
    Command3 =
        placeControl<QPushButton>(this, QStringLiteral("Command3"), QStringLiteral("取消"), 3240, 6600, 1215, 495);

    setTabChain({Text5, Text4, Text3, Text2, Text1, Command1, Command2, Command3});

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    Form_Load();
}

QString Form1::boxText(int i) const
{
    const QLineEdit *const lines[] = {Text1, Text2, Text3, Text4};
    return i < 4 ? lines[i]->text() : storedText(Text5);
}

void Form1::setBoxText(int i, const QString &text)
{
    QLineEdit *const lines[] = {Text1, Text2, Text3, Text4};
    if (i < 4)
        lines[i]->setText(text);
    else
        Text5->setPlainText(text);
}

void Form1::Form_Load()
{
    m_loaded = loadNovel();
    if (m_loaded)
        return;
    // Whoever made the window shows it; the message comes once it is shown,
    // over a dialog that offers nothing to change.
    setEnabled(false);
    QMetaObject::invokeMethod(this, &Form1::reportUnreadable, Qt::QueuedConnection);
}

bool Form1::loadNovel()
{
    Data1.setDatabaseName(m_ctx.currentNovelPath);
    Data1.setRecordSource(QStringLiteral("信息"));
    if (!Data1.RefreshFirst() || !Data1.MoveFirst()) {
        m_loadError = Data1.lastError();
        Data1.close();
        return false;
    }
    for (int i = 0; i < kFields; ++i) {
        m_stored[i] = Data1.value(kFieldNames[i]);
        setBoxText(i, m_stored[i].toString());
        m_shown[i] = boxText(i);
    }
    // The stored cover goes to the cover buffer, which then stands for it. A
    // buffer that cannot be written would hold some other picture: leave the
    // cover as stored instead.
    const QString buffer = m_ctx.writableFile(QStringLiteral("coverbuf.jpg"));
    Label7->setText(novelfile::writeWhole(buffer, Data1.bytes(QStringLiteral("封面"))) ? buffer : QString());
    m_shownCover = Label7->text();
    return true;
}

void Form1::reportUnreadable()
{
    showStoreError(*m_ctx.prompts, this, QStringLiteral("打开小说"), m_loadError);
    backToLibrary();
}

void Form1::backToLibrary()
{
    Data1.close();
    m_ctx.nav->showLibrary();
    close();
}

void Form1::Command1_Click()
{
    CommonDialog1.showOpen(*m_ctx.prompts, this);
    Label7->setText(CommonDialog1.fileName());
}

void Form1::Command2_Click()
{
    if (!m_loaded)
        return;
    if (!Data1.Edit()) {
        showStoreError(*m_ctx.prompts, this, QStringLiteral("保存"), Data1.lastError());
        return;
    }
    for (int i = 0; i < kFields; ++i) {
        const QString text = boxText(i);
        Data1.setValue(kFieldNames[i], text == m_shown[i] ? m_stored[i] : QVariant(text));
    }
    // The buffer as loaded stands for the stored cover, which is kept as it is:
    // the buffer is a shared file that another dialog may have rewritten
    // since, and an empty cover would not read back at all.
    const QString cover = Label7->text();
    const bool coverAsLoaded = cover == m_shownCover && CommonDialog1.fileName() != cover;
    if (!cover.isEmpty() && !coverAsLoaded) {
        QByteArray bytes;
        QString why;
        if (novelfile::readCover(cover, bytes, &why))
            Data1.setValue(QStringLiteral("封面"), bytes);
        else
            m_ctx.prompts->message(this, QStringLiteral("封面图片“%1”无法读取（%2），封面保持不变。").arg(cover, why),
                                   MsgInformation, QStringLiteral("提示"));
    }
    if (!Data1.Update()) {
        showStoreError(*m_ctx.prompts, this, QStringLiteral("保存"), Data1.lastError());
        return;
    }
    m_ctx.prompts->message(this, QStringLiteral("保存成功"), MsgPlain, QString());
    backToLibrary();
}

void Form1::Command3_Click()
{
    backToLibrary();
}
