#include "library/frm_new.h"

#include "app/app_context.h"
#include "library/data_directory.h"
#include "library/info_boxes.h"
#include "store/file_lister.h"
#include "store/novel_file.h"
#include "ui/controls.h"
#include "ui/elided_label.h"
#include "ui/layout_scaling.h"
#include "ui/prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kCaption = QStringLiteral("提示");

} // namespace

frm_new::frm_new(AppContext &ctx, QWidget *parent)
    : QWidget(parent, Qt::Window), CommonDialog1(QStringLiteral("图片文件(*.jpg)|*.jpg")), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frm_new"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("新建小说"));
    setFont(QFont(QStringLiteral("宋体"), 9));
    setFixedSize(tw(4560), tw(7710));

    Label1 = placeControl<QLabel>(this, QStringLiteral("Label1"), QStringLiteral("名称："), 120, 360, 615, 255);
    Label2 = placeControl<QLabel>(this, QStringLiteral("Label2"), QStringLiteral("角色："), 120, 840, 615, 255);
    Label3 = placeControl<QLabel>(this, QStringLiteral("Label3"), QStringLiteral("作者："), 120, 1320, 615, 255);
    Label4 = placeControl<QLabel>(this, QStringLiteral("Label4"), QStringLiteral("说明："), 120, 1800, 615, 255);
    Label5 = placeControl<QLabel>(this, QStringLiteral("Label5"), QStringLiteral("大纲"), 120, 2280, 615, 255);
    Label6 = placeControl<QLabel>(this, QStringLiteral("Label6"), QStringLiteral("封面："), 120, 6360, 615, 255);
    Label7 = placeControl<ElidedLabel>(this, QStringLiteral("Label7"), QString(), 720, 6360, 3015, 255);
    Label8 =
        placeControl<QLabel>(this, QStringLiteral("Label8"),
                             QStringLiteral("图片尺寸最好是120 * 150，否则显示出来的效果不好"), 120, 6720, 4335, 255);

    Text1 = placeControl<QLineEdit>(this, QStringLiteral("Text1"), 720, 240, 3735, 375);
    Text2 = placeControl<QLineEdit>(this, QStringLiteral("Text2"), 720, 720, 3735, 375);
    Text3 = placeControl<QLineEdit>(this, QStringLiteral("Text3"), 720, 1200, 3735, 375);
    Text4 = placeControl<QLineEdit>(this, QStringLiteral("Text4"), 720, 1680, 3735, 375);
    Text5 = makeOutlineBox(this, 120, 2520, 4335, 3615);
    Command1 = makeCoverButton(this, QStringLiteral("选择"), 3840, 6240, 615, 375);
    Command2 =
        placeControl<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("创建"), 120, 7080, 1215, 495);
    Command3 =
        placeControl<QPushButton>(this, QStringLiteral("Command3"), QStringLiteral("取消"), 3240, 7080, 1215, 495);

    setTabChain({Text1, Text2, Text3, Text4, Text5, Command1, Command2, Command3});

    connect(Command1, &QPushButton::clicked, this, &frm_new::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_new::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frm_new::Command3_Click);

    Form_Load();
}

void frm_new::Form_Load()
{
    RecordLayout(this);
}

void frm_new::tell(const QString &text)
{
    m_ctx.prompts->message(this, text, MsgInformation, kCaption);
}

void frm_new::backToLibrary()
{
    Data1.close();
    m_ctx.nav->showLibrary();
    close();
}

void frm_new::Command1_Click()
{
    CommonDialog1.showOpen(*m_ctx.prompts, this);
    Label7->setText(CommonDialog1.fileName());
}

void frm_new::Command3_Click()
{
    backToLibrary();
}

void frm_new::Command2_Click()
{
    const QString title = Text1->text();
    if (title.isEmpty() || Text2->text().isEmpty() || Text3->text().isEmpty() || Text4->text().isEmpty() ||
        storedText(Text5).isEmpty()) {
        tell(QStringLiteral("请把信息填完整！"));
        backToLibrary();
        return;
    }
    // Titles cannot be compared in a directory that cannot be read, and a
    // configured one that is missing is not made at what may be a wrong path.
    if (const QString problem = dataDirectoryProblem(m_ctx); !problem.isEmpty()) {
        m_ctx.prompts->message(this, QStringLiteral("创建新小说失败！") + dataDirectoryMessage(m_ctx, problem),
                               MsgCritical, kCaption);
        return;
    }
    const QString prefix = m_ctx.dataPrefix();
    if (titleTaken(prefix, title)) {
        tell(QStringLiteral("新建书名不得与现有书名重复，请重新填写！"));
        return;
    }
    if (title.front() >= QLatin1Char('0') && title.front() <= QLatin1Char('9')) {
        tell(QStringLiteral("书名开头不能是数字，请重填！"));
        return;
    }
    if (const QString refusal = refusalForTitle(prefix, title); !refusal.isEmpty()) {
        tell(refusal);
        return;
    }

    const QString target = prefix + novelfile::fileNameFor(title);
    QString why;
    if (!createNovel(prefix, target, coverBytes(), &why)) {
        showStoreError(*m_ctx.prompts, this, QStringLiteral("创建新小说"), why);
        return;
    }
    tell(QStringLiteral("创建新小说成功！"));
    backToLibrary();
}

bool frm_new::titleTaken(const QString &prefix, const QString &title)
{
    // Files that are not readable novels hold no title to compare with.
    QStringList names;
    ListFiles(prefix, QStringLiteral("*.mdb"), names);
    bool taken = false;
    for (const QString &name : std::as_const(names)) {
        if (name.isEmpty())
            continue;
        Data1.setDatabaseName(prefix + name);
        Data1.setRecordSource(QStringLiteral("信息"));
        if (!Data1.RefreshFirst() || !Data1.MoveFirst())
            continue;
        const QVariant stored = Data1.value(QStringLiteral("书名"));
        if (!stored.isNull() && stored.toString() == title) {
            taken = true;
            break;
        }
    }
    Data1.close();
    return taken;
}

QString frm_new::refusalForTitle(const QString &prefix, const QString &title) const
{
    switch (novelfile::titleNameProblem(title)) {
    case novelfile::NameProblem::Separator:
        return QStringLiteral("书名中不能有“/”或“\\”，请重填！");
    case novelfile::NameProblem::ControlCharacter:
        return QStringLiteral("书名中不能有换行符、制表符等控制字符，请重填！");
    case novelfile::NameProblem::LeadingDot:
        return QStringLiteral("书名开头不能是点，请重填！");
    case novelfile::NameProblem::TooLong:
        return QStringLiteral("书名太长，不能用作小说文件名，请改短一些！");
    case novelfile::NameProblem::None:
        break;
    }
    // The duplicate check reads the titles inside the files; a file of this
    // name may hold another title, and it is never overwritten.
    const QString file = novelfile::fileNameFor(title);
    const QFileInfo existing(prefix + file);
    if (existing.exists() || existing.isSymLink())
        return QStringLiteral("数据目录中已有文件“%1”，请换一个书名！").arg(file);
    return {};
}

QByteArray frm_new::coverBytes()
{
    const QString defaultCover = m_ctx.programFile(QStringLiteral("默认.jpg"));
    QByteArray bytes;
    QString why;
    if (!Label7->text().isEmpty() && Label7->text() != defaultCover) {
        if (novelfile::readCover(Label7->text(), bytes, &why))
            return bytes;
        tell(QStringLiteral("封面图片“%1”无法读取（%2），改用默认封面。").arg(Label7->text(), why));
    }
    Label7->setText(defaultCover);
    if (novelfile::readCover(defaultCover, bytes, &why))
        return bytes;
    tell(QStringLiteral("默认封面“%1”无法读取（%2），新小说沿用空数据库中的封面。").arg(defaultCover, why));
    return {};
}

bool frm_new::createNovel(const QString &prefix, const QString &target, const QByteArray &cover, QString *why)
{
    // The novel is made under a hidden temporary name and takes its own name
    // only when it is complete, so a failure leaves no half-made novel.
    const QString dataDir = QDir::cleanPath(prefix);
    if (!QDir().mkpath(dataDir)) {
        *why = QStringLiteral("无法建立数据目录“%1”").arg(dataDir);
        return false;
    }
    // A creation cut short by the end of the program leaves its hidden file.
    novelfile::removeUnfinished(dataDir);
    QString temp;
    if (!novelfile::copyToTemporary(m_ctx.programFile(QStringLiteral("空数据库.mdb")), dataDir, &temp, why))
        return false;
    const bool filled = fillInformation(temp, cover);
    if (!filled)
        *why = Data1.lastError();
    Data1.close();
    // A damaged template can still take the information record; only a file
    // that checks out whole becomes a novel.
    if (filled && novelfile::isSoundNovel(temp, why) && novelfile::placeNew(temp, target, why))
        return true;
    novelfile::remove(temp);
    return false;
}

bool frm_new::fillInformation(const QString &path, const QByteArray &cover)
{
    Data1.setDatabaseName(path);
    Data1.setRecordSource(QStringLiteral("信息"));
    if (!Data1.RefreshFirst() || !Data1.MoveFirst() || !Data1.Edit())
        return false;
    Data1.setValue(QStringLiteral("书名"), Text1->text());
    Data1.setValue(QStringLiteral("作者"), Text3->text());
    Data1.setValue(QStringLiteral("角色"), Text2->text());
    Data1.setValue(QStringLiteral("说明"), Text4->text());
    Data1.setValue(QStringLiteral("大纲"), storedText(Text5));
    if (!cover.isEmpty())
        Data1.setValue(QStringLiteral("封面"), cover);
    return Data1.Update();
}
