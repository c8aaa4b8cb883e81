// The new-novel dialog driven as a user would: boxes typed in, the cover
// chosen through the file dialog, every message answered through the prompts.
#include "dir_snapshot.h"
#include "fixture.h"
#include "hostile_files.h"
#include "test_main.h"
#include "window_checks.h"
#include "library/frm_new.h"
#include "store/novel_file.h"
#include "ui/layout_scaling.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kOk = QStringLiteral("创建新小说成功！");
const QString kIncomplete = QStringLiteral("请把信息填完整！");
const QString kDuplicate = QStringLiteral("新建书名不得与现有书名重复，请重新填写！");
const QString kDigit = QStringLiteral("书名开头不能是数字，请重填！");

struct Entry
{
    QString title = QStringLiteral("新书");
    QString characters = QStringLiteral("主角");
    QString author = QStringLiteral("作者");
    QString description = QStringLiteral("说明");
    QString outline = QStringLiteral("第一段\n第二段");
};

} // namespace

class tst_frm_new : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensAsDesigned();
    void controlsSitWhereDesigned();
    void tabGoesThroughBoxesThenButtons();

    void createsNovelFromTemplate();
    void storesTheCoverChosen_data();
    void storesTheCoverChosen();
    void incompleteFormClosesAfterItsMessage_data();
    void incompleteFormClosesAfterItsMessage();
    void refusalsKeepTheDialogOpen_data();
    void refusalsKeepTheDialogOpen();
    void titlesNamingAPlainFileAreAccepted_data();
    void titlesNamingAPlainFileAreAccepted();
    void configuredDataDirectoryThatIsMissingIsNotMade();
    void programDirectoryWithCharactersGbkLacksKeepsItsDataDirectory();
    void titleDifferingInCaseIsAccepted();
    void firstNovelInEmptyOrMissingDataDirectory_data();
    void firstNovelInEmptyOrMissingDataDirectory();
    void novelGoesToTheConfiguredDataDirectory();
    void unusableCoverFallsBackToDefault();
    void missingDefaultCoverKeepsTemplateCover();
    void failedCreationIsReportedAndLeavesNothing_data();
    void failedCreationIsReportedAndLeavesNothing();
    void unfinishedNovelsOfAnEarlierRunAreCleared();
    void cancelWritesNothing();
    void closeBoxRunsNothing();

private:
    frm_new *open();
    void fill(const Entry &entry);
    void create();
    QVariantList info(const QString &file);

    std::unique_ptr<ProgramFixture> f;
    QPointer<frm_new> w;
};

void tst_frm_new::init()
{
    f = std::make_unique<ProgramFixture>();
    QVERIFY(f->isValid());
    f->installProgramFiles();
}

void tst_frm_new::cleanup()
{
    delete w;
    f.reset();
}

frm_new *tst_frm_new::open()
{
    w = new frm_new(f->ctx);
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("frm_new was not shown");
    return w;
}

void tst_frm_new::fill(const Entry &entry)
{
    w->Text1->setText(entry.title);
    w->Text2->setText(entry.characters);
    w->Text3->setText(entry.author);
    w->Text4->setText(entry.description);
    w->Text5->setPlainText(entry.outline);
}

void tst_frm_new::create()
{
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
}

QVariantList tst_frm_new::info(const QString &file)
{
    QVariantList row;
    for (const char *field : {"书名", "作者", "角色", "说明", "大纲", "封面"})
        row << sqlColumn(f->dataDir() + QLatin1Char('/') + file,
                         QStringLiteral("SELECT %1 FROM 信息").arg(QString::fromUtf8(field)))
                   .value(0);
    return row;
}

void tst_frm_new::opensAsDesigned()
{
    open();
    QCOMPARE(w->windowTitle(), QStringLiteral("新建小说"));
    QCOMPARE(w->size(), QSize(304, 514));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(w->Text1->text().isEmpty());
    QVERIFY(w->Text5->toPlainText().isEmpty());
    QVERIFY(w->Label7->text().isEmpty());
    QCOMPARE(w->Label8->text(), QStringLiteral("图片尺寸最好是120 * 150，否则显示出来的效果不好"));
    // The layout is recorded at load: the bases are this window's inner size.
    QCOMPARE(BaseScaleWidth, 4560);
    QCOMPARE(BaseScaleHeight, 7710);
    QCOMPARE(layoutTag(w->Text5), QStringLiteral("120 2520 4335 3615 "));
}

void tst_frm_new::controlsSitWhereDesigned()
{
    open();
    const QVector<DesignedControl> design = {
        {"Label1", "名称：", {120, 360, 615, 255}},   {"Label2", "角色：", {120, 840, 615, 255}},
        {"Label3", "作者：", {120, 1320, 615, 255}},  {"Label4", "说明：", {120, 1800, 615, 255}},
        {"Label5", "大纲", {120, 2280, 615, 255}},    {"Label6", "封面：", {120, 6360, 615, 255}},
        {"Label7", "", {720, 6360, 3015, 255}},       {"Label8", "", {120, 6720, 4335, 255}},
        {"Text1", "", {720, 240, 3735, 375}},         {"Text2", "", {720, 720, 3735, 375}},
        {"Text3", "", {720, 1200, 3735, 375}},        {"Text4", "", {720, 1680, 3735, 375}},
        {"Text5", "", {120, 2520, 4335, 3615}},       {"Command1", "选择", {3840, 6240, 615, 375}},
        {"Command2", "创建", {120, 7080, 1215, 495}}, {"Command3", "取消", {3240, 7080, 1215, 495}},
    };
    const QString mismatches = designMismatches(w, design);
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches));
}

void tst_frm_new::tabGoesThroughBoxesThenButtons()
{
    open();
    QCOMPARE(tabWalk(w, 9),
             QStringList({"Text1", "Text2", "Text3", "Text4", "Text5", "Command1", "Command2", "Command3", "Text1"}));
}

void tst_frm_new::createsNovelFromTemplate()
{
    const QByteArray templateBytes = readAll(f->path(QStringLiteral("空数据库.mdb")));
    open();
    QTest::keyClicks(w->Text1, QStringLiteral("Blue Sky"));
    w->Text2->setText(QStringLiteral("   ")); // spaces count as filled
    w->Text3->setText(QStringLiteral("无名氏"));
    w->Text4->setText(QStringLiteral("一个故事"));
    w->Text5->setPlainText(QStringLiteral("开端\n发展\n结局"));
    QString label7AtMessage;
    f->prompts.onPrompt = [&](const PromptCall &) { label7AtMessage = w->Label7->text(); };
    create();

    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    QCOMPARE(f->prompts.calls[0].style, int(MsgInformation));
    QCOMPARE(f->prompts.calls[0].caption, QStringLiteral("提示"));
    QCOMPARE(label7AtMessage, f->path(QStringLiteral("默认.jpg")));
    QCOMPARE(f->nav.shown, QStringList{"frm_dl"});
    QTRY_VERIFY(!w);

    const QVariantList expected = {
        "Blue Sky", "无名氏", "   ", "一个故事", "开端\r\n发展\r\n结局", readAll(f->path(QStringLiteral("默认.jpg")))};
    QCOMPARE(info(QStringLiteral("Blue Sky.mdb")), expected);
    // The template's volume and chapter come along; the template is untouched.
    const QString made = f->dataDir() + QStringLiteral("/Blue Sky.mdb");
    QCOMPARE(sqlColumn(made, QStringLiteral("SELECT 分卷 FROM 分卷")), QVariantList{"第一卷"});
    QCOMPARE(sqlColumn(made, QStringLiteral("SELECT count(*) FROM 小说")), QVariantList{1});
    const QString templatePath = f->path(QStringLiteral("空数据库.mdb"));
    QCOMPARE(readAll(templatePath), templateBytes);
    QCOMPARE(QFileInfo(made).permissions(), QFileInfo(templatePath).permissions());
    QCOMPARE(dirSnapshot(f->dataDir()).keys(), QStringList{"Blue Sky.mdb"});
}

void tst_frm_new::storesTheCoverChosen_data()
{
    QTest::addColumn<QStringList>("answers"); // one per press of "选择"
    QTest::addColumn<bool>("chosenStored");
    QTest::newRow("chosen") << QStringList{"X"} << true;
    QTest::newRow("chosen, then dialog cancelled") << QStringList{"X", ""} << true;
    QTest::newRow("dialog cancelled before any choice") << QStringList{""} << false;
    QTest::newRow("no choice") << QStringList{} << false;
}

void tst_frm_new::storesTheCoverChosen()
{
    QFETCH(QStringList, answers);
    QFETCH(bool, chosenStored);
    // Stored whole, as it is: trailing bytes after the picture stay.
    const QByteArray cover = makeJpeg(120, 150, Qt::darkGreen) + QByteArray("tail");
    const QString coverPath = f->path(QStringLiteral("封面 X.jpg"));
    f->writeFile(coverPath, cover);
    open();
    fill({});
    for (const QString &answer : answers) {
        f->prompts.files = {answer == QLatin1String("X") ? coverPath : QString()};
        QTest::mouseClick(w->Command1, Qt::LeftButton);
    }
    for (const PromptCall &call : std::as_const(f->prompts.calls))
        QCOMPARE(call.text, QStringLiteral("图片文件(*.jpg)|*.jpg"));
    QCOMPARE(w->Label7->text(), chosenStored ? coverPath : QString());
    f->prompts.clear();
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    QCOMPARE(info(QStringLiteral("新书.mdb")).value(5).toByteArray(),
             chosenStored ? cover : readAll(f->path(QStringLiteral("默认.jpg"))));
}

void tst_frm_new::incompleteFormClosesAfterItsMessage_data()
{
    QTest::addColumn<int>("emptyBox");
    for (int i = 1; i <= 5; ++i)
        QTest::addRow("Text%d empty", i) << i;
}

void tst_frm_new::incompleteFormClosesAfterItsMessage()
{
    QFETCH(int, emptyBox);
    const auto before = dirSnapshot(f->programDir());
    open();
    fill({});
    if (emptyBox == 5)
        w->Text5->clear();
    else
        w->findChild<QLineEdit *>(QStringLiteral("Text%1").arg(emptyBox))->clear();
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kIncomplete});
    QCOMPARE(f->prompts.calls[0].style, int(MsgInformation));
    QCOMPARE(f->prompts.calls[0].caption, QStringLiteral("提示"));
    QCOMPARE(f->nav.shown, QStringList{"frm_dl"});
    QTRY_VERIFY(!w);
    QCOMPARE(dirSnapshot(f->programDir()), before);
}

void tst_frm_new::refusalsKeepTheDialogOpen_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");

    QTest::newRow("stored title of another file") << "夜航船" << kDuplicate;
    if (QSysInfo::productType() == QLatin1String("windows")) {
        // Names Windows keeps for devices, and characters its file names
        // cannot hold; elsewhere they are file names like any.
        const QString refused = QStringLiteral("书名不能用作文件名：%1，请重填！");
        QTest::newRow("device name") << "CON" << refused.arg("“CON”是系统留给设备的名字");
        QTest::newRow("device name and more") << "com1.续集" << refused.arg("“com1”是系统留给设备的名字");
        QTest::newRow("question mark") << "谁?" << refused.arg("不能有字符“?”");
        QTest::newRow("colon") << "上:下" << refused.arg("不能有字符“:”");
        QTest::newRow("quotation mark") << "\"引\"" << refused.arg("不能有字符“\"”");
    }
    QTest::newRow("duplicate starting with a digit") << "1号档案" << kDuplicate;
    QTest::newRow("leading digit") << "3体" << kDigit;
    QTest::newRow("slash") << "甲/乙"
                           << "书名中不能有“/”或“\\”，请重填！";
    QTest::newRow("parent directory") << "../逃出"
                                      << "书名中不能有“/”或“\\”，请重填！";
    QTest::newRow("backslash") << "甲\\乙"
                               << "书名中不能有“/”或“\\”，请重填！";
    QTest::newRow("tab") << "甲\t乙"
                         << "书名中不能有换行符、制表符等控制字符，请重填！";
    QTest::newRow("line break") << "甲\n乙"
                                << "书名中不能有换行符、制表符等控制字符，请重填！";
    // The library lists no hidden file.
    QTest::newRow("leading dot") << ".隐藏"
                                 << "书名开头不能是点，请重填！";
    QTest::newRow("control character at the end") << "书名\u0007"
                                                  << "书名中不能有换行符、制表符等控制字符，请重填！";
    // 84 characters of three bytes and ".mdb" make 256 bytes.
    QTest::newRow("file name of 256 bytes")
        << QString(84, QChar(0x957F)) << "书名太长，不能用作小说文件名，请改短一些！";
    // 82 characters of three bytes and ".mdb" make 250 bytes: no room for
    // SQLite's "-journal" beside it.
    QTest::newRow("file name without room for its side files")
        << QString(82, QChar(0x957F)) << "书名太长，不能用作小说文件名，请改短一些！";
    QTest::newRow("file of that name holds another title") << "占用"
                                                           << "数据目录中已有文件“占用.mdb”，请换一个书名！";
    QTest::newRow("file of that name is no novel") << "残缺"
                                                   << "数据目录中已有文件“残缺.mdb”，请换一个书名！";
}

void tst_frm_new::refusalsKeepTheDialogOpen()
{
    QFETCH(QString, title);
    QFETCH(QString, message);
    NovelSpec recipe;
    recipe.title = QStringLiteral("夜航船");
    f->addNovel(QStringLiteral("别的文件名.mdb"), recipe);
    recipe.title = QStringLiteral("1号档案");
    f->addNovel(QStringLiteral("档案.mdb"), recipe);
    recipe.title = QStringLiteral("另一本书");
    f->addNovel(QStringLiteral("占用.mdb"), recipe);
    f->writeFile(f->dataDir() + QStringLiteral("/残缺.mdb"), "not a novel");
    const auto before = dirSnapshot(f->programDir());

    open();
    Entry entry;
    entry.title = title;
    fill(entry);
    create();
    QCOMPARE(f->prompts.messages(), QStringList{message});
    QCOMPARE(f->prompts.calls[0].style, int(MsgInformation));
    QCOMPARE(f->prompts.calls[0].caption, QStringLiteral("提示"));
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->Text1->text(), title);
    QCOMPARE(w->Text5->toPlainText(), entry.outline);
    QVERIFY(f->nav.shown.isEmpty());
    QCOMPARE(dirSnapshot(f->programDir()), before);
}

void tst_frm_new::titlesNamingAPlainFileAreAccepted_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("dots inside") << "再见...朋友";
    QTest::newRow("two dots inside") << "甲..乙";
    // ".mdb" follows the title: no system drops these from the file name.
    QTest::newRow("trailing dot") << "书名.";
    QTest::newRow("leading space") << " 书名";
    QTest::newRow("trailing ideographic space") << "书名　";
    QTest::newRow("only spaces") << "   ";
    // 81 characters of three bytes and ".mdb" make 247 bytes: with
    // "-journal", 255.
    QTest::newRow("file name with just room for its side files") << QString(81, QChar(0x957F));
}

void tst_frm_new::titlesNamingAPlainFileAreAccepted()
{
    QFETCH(QString, title);
    open();
    Entry entry;
    entry.title = title;
    fill(entry);
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    const QString file = title + QStringLiteral(".mdb");
    QCOMPARE(QDir(f->dataDir()).entryList(QDir::Files), QStringList{file});
    QCOMPARE(info(file).value(0), QVariant(title));
    // SQLite can make its side files beside it: the novel takes changes.
    const QString path = f->dataDir() + QLatin1Char('/') + file;
    sqlColumn(path, QStringLiteral("PRAGMA journal_mode=DELETE"));
    sqlColumn(path, QStringLiteral("UPDATE 信息 SET 作者 = '改过'"));
    QCOMPARE(info(file).value(1), QVariant("改过"));
}

void tst_frm_new::configuredDataDirectoryThatIsMissingIsNotMade()
{
    // Config.ini's value is cut at 254 bytes: the directory it names is
    // not the one meant, and does not exist.
    const QString meant = f->path(QString(300, QLatin1Char('n')));
    const QString cut = meant.left(254);
    f->writeFile(f->path(QStringLiteral("Config.ini")), "[Main]\r\nPath=" + meant.toUtf8() + "\r\n");
    const auto before = dirSnapshot(f->programDir());
    open();
    fill({});
    create();
    QCOMPARE(
        f->prompts.messages(),
        QStringList{QStringLiteral("创建新小说失败！无法读取数据目录“%1”（目录不存在），请检查 Config.ini 中 [Main] "
                                   "的 Path 设置。")
                        .arg(cut)});
    QCOMPARE(f->prompts.calls[0].style, int(MsgCritical));
    QVERIFY(w && w->isVisible());
    QVERIFY(f->nav.shown.isEmpty());
    QVERIFY(!QFileInfo::exists(cut));
    QCOMPARE(dirSnapshot(f->programDir()), before);
}

void tst_frm_new::programDirectoryWithCharactersGbkLacksKeepsItsDataDirectory()
{
    f = std::make_unique<ProgramFixture>(QStringLiteral("Søren-한글-\U0001F600"));
    f->installProgramFiles();
    const auto before = dirSnapshot(f->programDir());
    open();
    fill({});
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    QCOMPARE(info(QStringLiteral("新书.mdb")).value(0), QVariant("新书"));
    auto after = dirSnapshot(f->programDir());
    after.remove(QStringLiteral("data/新书.mdb"));
    QCOMPARE(after, before);
}

void tst_frm_new::titleDifferingInCaseIsAccepted()
{
    if (!namesDifferByCase(f->programDir()))
        QSKIP("this file system holds Night.mdb and night.mdb as one name");
    NovelSpec recipe;
    recipe.title = QStringLiteral("Night");
    f->addNovel(QStringLiteral("Night.mdb"), recipe);
    open();
    Entry entry;
    entry.title = QStringLiteral("night");
    fill(entry);
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    QCOMPARE(info(QStringLiteral("night.mdb")).value(0), QVariant("night"));
    QCOMPARE(info(QStringLiteral("Night.mdb")).value(0), QVariant("Night"));
}

void tst_frm_new::firstNovelInEmptyOrMissingDataDirectory_data()
{
    QTest::addColumn<QString>("dataDir");
    QTest::newRow("empty") << "empty";
    QTest::newRow("missing") << "missing";
    QTest::newRow("only unreadable files") << "unreadable";
}

void tst_frm_new::firstNovelInEmptyOrMissingDataDirectory()
{
    QFETCH(QString, dataDir);
    if (dataDir == QLatin1String("missing"))
        QVERIFY(QDir(f->dataDir()).removeRecursively());
    if (dataDir == QLatin1String("unreadable")) {
        f->writeFile(f->dataDir() + QStringLiteral("/坏.mdb"), "garbage, not a database");
        f->writeFile(f->dataDir() + QStringLiteral("/空.mdb"), QByteArray());
    }
    const auto before = dirSnapshot(f->dataDir());
    open();
    fill({});
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    QCOMPARE(info(QStringLiteral("新书.mdb")).value(0), QVariant("新书"));
    auto after = dirSnapshot(f->dataDir());
    after.remove(QStringLiteral("新书.mdb"));
    QCOMPARE(after, before);
}

void tst_frm_new::novelGoesToTheConfiguredDataDirectory()
{
    // A configured directory must be there: only the default one is made.
    const QString elsewhere = f->path(QStringLiteral("novels"));
    QVERIFY(QDir().mkpath(elsewhere));
    f->writeFile(f->path(QStringLiteral("Config.ini")), "[Main]\r\nPath=" + elsewhere.toLocal8Bit() + "\r\n");
    open();
    fill({});
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    QVERIFY(QFileInfo::exists(elsewhere + QStringLiteral("/新书.mdb")));
    QVERIFY(!QFileInfo::exists(f->dataDir() + QStringLiteral("/新书.mdb")));
}

// Which covers are refused, and why, is the cover file rule's own test; here
// the dialog says so in its own words and takes the default cover instead.
void tst_frm_new::unusableCoverFallsBackToDefault()
{
    const QString cover = f->path(QStringLiteral("不存在.jpg"));
    open();
    fill({});
    f->prompts.files = {cover};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    f->prompts.clear();
    create();
    const QString told = QStringLiteral("封面图片“%1”无法读取（文件不存在），改用默认封面。").arg(cover);
    QCOMPARE(f->prompts.messages(), QStringList({told, kOk}));
    QCOMPARE(info(QStringLiteral("新书.mdb")).value(5).toByteArray(), readAll(f->path(QStringLiteral("默认.jpg"))));
    QVERIFY(!QFileInfo::exists(cover));
}

void tst_frm_new::missingDefaultCoverKeepsTemplateCover()
{
    const QString defaultCover = f->path(QStringLiteral("默认.jpg"));
    const QByteArray templateCover =
        sqlColumn(f->path(QStringLiteral("空数据库.mdb")), QStringLiteral("SELECT 封面 FROM 信息"))
            .value(0)
            .toByteArray();
    QVERIFY(!templateCover.isEmpty());
    QVERIFY(QFile::remove(defaultCover));
    open();
    fill({});
    create();
    QCOMPARE(f->prompts.messages(),
             QStringList(
                 {QStringLiteral("默认封面“%1”无法读取（文件不存在），新小说沿用空数据库中的封面。").arg(defaultCover),
                  kOk}));
    QCOMPARE(info(QStringLiteral("新书.mdb")).value(5).toByteArray(), templateCover);
    QVERIFY(!QFileInfo::exists(defaultCover));
}

void tst_frm_new::failedCreationIsReportedAndLeavesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("template missing") << "template missing";
    QTest::newRow("template is a directory") << "template directory";
    QTest::newRow("template is no novel") << "template garbage";
    QTest::newRow("template without information record") << "template empty";
    QTest::newRow("template damaged where the record is not") << "template damaged";
    QTest::newRow("data directory cannot be made") << "data directory blocked";
}

void tst_frm_new::failedCreationIsReportedAndLeavesNothing()
{
    QFETCH(QString, fault);
    const QString templatePath = f->path(QStringLiteral("空数据库.mdb"));
    if (fault == QLatin1String("template missing") || fault == QLatin1String("template directory") ||
        fault == QLatin1String("template garbage"))
        QVERIFY(novelfile::remove(templatePath));
    if (fault == QLatin1String("template directory"))
        QVERIFY(QDir(f->programDir()).mkdir(QStringLiteral("空数据库.mdb")));
    if (fault == QLatin1String("template garbage"))
        f->writeFile(templatePath, QByteArray(8192, 'x'));
    if (fault == QLatin1String("template empty"))
        sqlColumn(templatePath, QStringLiteral("DELETE FROM 信息"));
    if (fault == QLatin1String("template damaged")) {
        // The chapters' page is garbage; the information record can still
        // be filled in, but the file is no whole novel.
        const int page =
            sqlColumn(templatePath, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '小说'"))
                .value(0)
                .toInt();
        const int pageSize = sqlColumn(templatePath, QStringLiteral("PRAGMA page_size")).value(0).toInt();
        QVERIFY(page > 1);
        QFile file(templatePath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(qint64(page - 1) * pageSize));
        QVERIFY(file.write(QByteArray(64, '\xA5')) == 64);
    }
    if (fault == QLatin1String("data directory blocked")) {
        f->writeFile(f->path(QStringLiteral("blocker")), "a file, not a directory");
        f->writeFile(f->path(QStringLiteral("Config.ini")),
                     "[Main]\r\nPath=" + f->path(QStringLiteral("blocker/novels")).toLocal8Bit() + "\r\n");
    }
    const auto before = dirSnapshot(f->programDir());
    open();
    fill({});
    create();
    const QStringList told = f->prompts.messages();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told[0].startsWith(QStringLiteral("创建新小说失败！")), qPrintable(told[0]));
    QCOMPARE(f->prompts.calls[0].style, int(MsgCritical));
    QVERIFY(w && w->isVisible());
    QVERIFY(f->nav.shown.isEmpty());
    QCOMPARE(dirSnapshot(f->programDir()), before);
}

void tst_frm_new::unfinishedNovelsOfAnEarlierRunAreCleared()
{
    // A creation killed half way leaves its hidden file and the log files.
    const QString dir = f->dataDir() + QLatin1Char('/');
    const QStringList left = {QStringLiteral(".新小说-a1B2c3.tmp"), QStringLiteral(".新小说-a1B2c3.tmp-wal"),
                              QStringLiteral(".新小说-a1B2c3.tmp-shm")};
    for (const QString &name : left)
        f->writeFile(dir + name, "half made");
    f->writeFile(dir + QStringLiteral(".用户的文件"), "kept");
    open();
    fill({});
    create();
    QCOMPARE(f->prompts.messages(), QStringList{kOk});
    for (const QString &name : left)
        QVERIFY2(!QFileInfo::exists(dir + name), qPrintable(name));
    QCOMPARE(readAll(dir + QStringLiteral(".用户的文件")), QByteArray("kept"));
}

void tst_frm_new::cancelWritesNothing()
{
    const QString coverPath = f->path(QStringLiteral("cover.jpg"));
    f->writeFile(coverPath, makeJpeg(40, 50, Qt::blue));
    const auto before = dirSnapshot(f->programDir());
    open();
    fill({});
    f->prompts.files = {coverPath};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    f->prompts.clear();
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QVERIFY(f->prompts.calls.isEmpty());
    QCOMPARE(f->nav.shown, QStringList{"frm_dl"});
    QTRY_VERIFY(!w);
    QCOMPARE(dirSnapshot(f->programDir()), before);
}

void tst_frm_new::closeBoxRunsNothing()
{
    open();
    fill({});
    QVERIFY(w->close());
    QTRY_VERIFY(!w);
    QVERIFY(f->nav.shown.isEmpty());
    QVERIFY(f->prompts.calls.isEmpty());
    QVERIFY(!QFileInfo::exists(f->dataDir() + QStringLiteral("/新书.mdb")));
}

YZ_TEST_MAIN(tst_frm_new)
#include "tst_frm_new.moc"
