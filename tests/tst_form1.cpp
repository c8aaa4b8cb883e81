// The novel information dialog on a novel of the data directory: what it
// shows, what saving and cancelling store, and what it does with a novel or
// a cover it cannot read.
#include "dir_snapshot.h"
#include "fixture.h"
#include "hostile_files.h"
#include "test_main.h"
#include "window_checks.h"
#include "library/form1.h"
#include "library/frm_dl.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kSaved = QStringLiteral("保存成功");

} // namespace

class tst_form1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensAsDesigned();
    void controlsSitWhereDesigned();
    void focusStartsInOutlineAndTabGoesUp();
    void showsTheNovelAndItsCover();
    void coverBufferIsOverwrittenNotAppended();
    void coverBufferOfAnInstalledProgramIsInTheUserLocation();
    void savingUnchangedRewritesTheSameValues();
    void savingStoresWhatWasTyped();
    void chosenCoverIsStoredExactly();
    void cancelledFileDialogBeforeAnyChoiceKeepsStoredCover();
    void cancelStoresNothing();
    void changedTitleShowsInLibraryUnderOldFileName();
    void unusableCoverKeepsStoredCover();
    void coverBufferChangedMeanwhileKeepsStoredCover_data();
    void coverBufferChangedMeanwhileKeepsStoredCover();
    void novelWithoutCoverSavesWithoutAWord();
    void coverBufferNameIsReplacedNeverFollowed_data();
    void coverBufferNameIsReplacedNeverFollowed();
    void failedSaveIsReportedAndKeepsTheDialog();
    void unreadableNovelGoesBackToLibrary_data();
    void unreadableNovelGoesBackToLibrary();
    void closeBoxRunsNothing();

private:
    // Shows the dialog; waits until it is on screen unless it is to go away
    // by itself.
    Form1 *open(bool waitExposed = true);
    void save();
    QVariantList info() const;

    std::unique_ptr<ProgramFixture> f;
    QPointer<Form1> w;
    QString novel;
    QByteArray cover;
};

void tst_form1::init()
{
    f = std::make_unique<ProgramFixture>();
    QVERIFY(f->isValid());
    f->installProgramFiles();
    NovelSpec recipe;
    recipe.title = QStringLiteral("原名");
    cover = makeJpeg(120, 150, Qt::darkRed);
    recipe.cover = cover;
    novel = f->addNovel(QStringLiteral("原名.mdb"), recipe);
    // An outline as the editor keeps it, with a lone line feed and a
    // non-breaking space that a round trip through the box could change.
    sqlColumn(novel, QStringLiteral("UPDATE 信息 SET 大纲 = '第一段' || char(13, 10) || '第二段' || char(10) || "
                                    "'第三段' || char(160)"));
    f->ctx.currentNovelPath = novel;
}

void tst_form1::cleanup()
{
    delete w;
    f.reset();
}

Form1 *tst_form1::open(bool waitExposed)
{
    w = new Form1(f->ctx);
    w->show();
    if (waitExposed && !QTest::qWaitForWindowExposed(w))
        qWarning("Form1 was not shown");
    return w;
}

void tst_form1::save()
{
    QTest::mouseClick(w->Command2, Qt::LeftButton);
}

QVariantList tst_form1::info() const
{
    QVariantList row;
    for (const char *field : {"书名", "角色", "作者", "说明", "大纲", "封面"})
        row << sqlColumn(novel, QStringLiteral("SELECT %1 FROM 信息").arg(QString::fromUtf8(field))).value(0);
    return row;
}

void tst_form1::opensAsDesigned()
{
    open();
    QVERIFY(w->windowTitle().isEmpty());
    QCOMPARE(w->size(), QSize(308, 484));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(w->isEnabled());
}

void tst_form1::controlsSitWhereDesigned()
{
    open();
    const QVector<DesignedControl> design = {
        {"Label1", "名称：", {120, 240, 1215, 255}},   {"Label2", "角色：", {120, 720, 1215, 255}},
        {"Label3", "作者：", {120, 1200, 1215, 255}},  {"Label4", "说明：", {120, 1680, 1215, 255}},
        {"Label5", "大纲", {120, 2160, 1215, 255}},    {"Label6", "封面：", {120, 6120, 615, 255}},
        {"Label7", "", {720, 6120, 3255, 255}},        {"Text1", "", {720, 120, 3735, 375}},
        {"Text2", "", {720, 600, 3735, 375}},          {"Text3", "", {720, 1080, 3735, 375}},
        {"Text4", "", {720, 1560, 3735, 375}},         {"Text5", "", {120, 2400, 4335, 3615}},
        {"Command1", "--", {4080, 6120, 375, 375}},    {"Command2", "保存", {120, 6600, 1215, 495}},
        {"Command3", "取消", {3240, 6600, 1215, 495}},
    };
    const QString mismatches = designMismatches(w, design);
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches));
}

void tst_form1::focusStartsInOutlineAndTabGoesUp()
{
    open();
    QCOMPARE(tabWalk(w, 9),
             QStringList({"Text5", "Text4", "Text3", "Text2", "Text1", "Command1", "Command2", "Command3", "Text5"}));
}

void tst_form1::showsTheNovelAndItsCover()
{
    open();
    QCOMPARE(w->Text1->text(), QStringLiteral("原名"));
    QCOMPARE(w->Text2->text(), QStringLiteral("角色"));
    QCOMPARE(w->Text3->text(), QStringLiteral("作者"));
    QCOMPARE(w->Text4->text(), QStringLiteral("说明"));
    QCOMPARE(w->Text5->toPlainText(), QStringLiteral("第一段\n第二段\n第三段 "));
    const QString buffer = f->path(QStringLiteral("coverbuf.jpg"));
    QCOMPARE(w->Label7->text(), buffer);
    QCOMPARE(readAll(buffer), cover);
    QVERIFY(f->prompts.calls.isEmpty());
}

void tst_form1::coverBufferIsOverwrittenNotAppended()
{
    const QString buffer = f->path(QStringLiteral("coverbuf.jpg"));
    f->writeFile(buffer, QByteArray(cover.size() * 3, 'x'));
    open();
    QCOMPARE(readAll(buffer), cover);
}

void tst_form1::coverBufferOfAnInstalledProgramIsInTheUserLocation()
{
    QTemporaryDir user;
    f->ctx.userDir = user.path();
    open();
    const QString buffer = user.filePath(QStringLiteral("coverbuf.jpg"));
    QCOMPARE(w->Label7->text(), buffer);
    QCOMPARE(readAll(buffer), cover);
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    QCOMPARE(info().value(5).toByteArray(), cover);
    QVERIFY(!QFileInfo::exists(f->path(QStringLiteral("coverbuf.jpg"))));
}

void tst_form1::savingUnchangedRewritesTheSameValues()
{
    const QVariantList before = info();
    open();
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    QCOMPARE(f->prompts.calls[0].style, int(MsgPlain));
    QCOMPARE(f->prompts.calls[0].caption, appTitle());
    QCOMPARE(info(), before);
    QCOMPARE(f->nav.shown, QStringList{"frm_dl"});
    QTRY_VERIFY(!w);
}

void tst_form1::savingStoresWhatWasTyped()
{
    open();
    w->Text1->clear();
    QTest::keyClicks(w->Text1, QStringLiteral("New Title"));
    w->Text2->setText(QStringLiteral("新角色"));
    w->Text3->setText(QStringLiteral("新作者"));
    w->Text4->clear();
    w->Text5->setPlainText(QStringLiteral("甲\n乙"));
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    const QVariantList expected = {"New Title", "新角色", "新作者", "", "甲\r\n乙", cover};
    QCOMPARE(info(), expected);
}

void tst_form1::chosenCoverIsStoredExactly()
{
    const QString x = f->path(QStringLiteral("x.jpg"));
    const QByteArray xBytes = makeJpeg(30, 40, Qt::yellow) + QByteArray(3, '\0');
    f->writeFile(x, xBytes);
    open();
    f->prompts.files = {x};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(f->prompts.calls[0].kind, QStringLiteral("open"));
    QCOMPARE(f->prompts.calls[0].text, QStringLiteral("图片文件(*.jpg)|*.jpg"));
    QCOMPARE(w->Label7->text(), x);
    save();
    QCOMPARE(info().value(5).toByteArray(), xBytes);
}

void tst_form1::cancelledFileDialogBeforeAnyChoiceKeepsStoredCover()
{
    open();
    // The buffer is what an unchanged save would store; it is no longer named.
    f->writeFile(f->path(QStringLiteral("coverbuf.jpg")), makeJpeg(10, 10, Qt::cyan));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(w->Label7->text().isEmpty());
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    QCOMPARE(info().value(5).toByteArray(), cover);
}

void tst_form1::cancelStoresNothing()
{
    const QVariantList before = info();
    const QString x = f->path(QStringLiteral("x.jpg"));
    f->writeFile(x, makeJpeg(30, 40, Qt::yellow));
    open();
    f->prompts.files = {x};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    w->Text1->setText(QStringLiteral("不要存"));
    f->prompts.clear();
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QVERIFY(f->prompts.calls.isEmpty());
    QCOMPARE(f->nav.shown, QStringList{"frm_dl"});
    QTRY_VERIFY(!w);
    QCOMPARE(info(), before);
}

void tst_form1::changedTitleShowsInLibraryUnderOldFileName()
{
    open();
    w->Text1->setText(QStringLiteral("新名"));
    save();
    QTRY_VERIFY(!w);
    frm_dl library(f->ctx);
    QCOMPARE(library.ListView1->count(), 1);
    QCOMPARE(library.ListView1->item(0)->text(), QStringLiteral("新名"));
    QCOMPARE(library.Novels.value(0).FilePath, novel);
    QCOMPARE(dirSnapshot(f->dataDir()).keys(), QStringList{"原名.mdb"});
}

// Which covers are refused, and why, is the cover file rule's own test; here
// the dialog reads the cover when it saves, not when it was chosen, and says
// so in its own words.
void tst_form1::unusableCoverKeepsStoredCover()
{
    const QString path = f->path(QStringLiteral("gone.jpg"));
    f->writeFile(path, makeJpeg(10, 10, Qt::green));
    open();
    f->prompts.files = {path};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QFile::remove(path);
    w->Text3->setText(QStringLiteral("改过的作者"));
    f->prompts.clear();
    save();
    QCOMPARE(f->prompts.messages(),
             QStringList({QStringLiteral("封面图片“%1”无法读取（文件不存在），封面保持不变。").arg(path), kSaved}));
    QCOMPARE(info().value(2), QVariant("改过的作者"));
    QCOMPARE(info().value(5).toByteArray(), cover);
}

void tst_form1::coverBufferChangedMeanwhileKeepsStoredCover_data()
{
    QTest::addColumn<QByteArray>("meanwhile");
    QTest::newRow("another novel's cover") << makeJpeg(60, 60, Qt::blue);
    QTest::newRow("emptied") << QByteArray();
}

void tst_form1::coverBufferChangedMeanwhileKeepsStoredCover()
{
    // The buffer is one file for every dialog: another dialog, or another
    // program, may have put its own novel's cover there since this one opened.
    QFETCH(QByteArray, meanwhile);
    open();
    f->writeFile(f->path(QStringLiteral("coverbuf.jpg")), meanwhile);
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    QCOMPARE(info().value(5).toByteArray(), cover);
}

void tst_form1::novelWithoutCoverSavesWithoutAWord()
{
    sqlColumn(novel, QStringLiteral("UPDATE 信息 SET 封面 = NULL"));
    open();
    w->Text3->setText(QStringLiteral("改过的作者"));
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    QCOMPARE(info().value(2), QVariant("改过的作者"));
    QVERIFY(info().value(5).isNull());
}

void tst_form1::coverBufferNameIsReplacedNeverFollowed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("link to a file elsewhere") << "link";
    QTest::newRow("named pipe") << "fifo";
}

void tst_form1::coverBufferNameIsReplacedNeverFollowed()
{
    QFETCH(QString, kind);
    if (!fileSystemHoldsPipesAndDevices())
        QSKIP(kNoSpecialFiles);
    const QString buffer = f->path(QStringLiteral("coverbuf.jpg"));
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("照片.jpg"));
    const QByteArray photo = makeJpeg(30, 30, Qt::yellow);
    f->writeFile(outside, photo);
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(outside, buffer));
    else
        QVERIFY(FifoWatch(buffer).isValid());
    open();
    QCOMPARE(w->Label7->text(), buffer);
    QVERIFY(!QFileInfo(buffer).isSymLink());
    QCOMPARE(readAll(buffer), cover);
    QCOMPARE(readAll(outside), photo);
    save();
    QCOMPARE(f->prompts.messages(), QStringList{kSaved});
    QCOMPARE(info().value(5).toByteArray(), cover);
}

void tst_form1::failedSaveIsReportedAndKeepsTheDialog()
{
    open();
    // The record is gone from under the dialog, as when another program
    // changed the file meanwhile.
    sqlColumn(novel, QStringLiteral("DELETE FROM 信息"));
    w->Text1->setText(QStringLiteral("新名"));
    save();
    const QStringList told = f->prompts.messages();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told[0].startsWith(QStringLiteral("保存失败！")), qPrintable(told[0]));
    QCOMPARE(f->prompts.calls[0].style, int(MsgCritical));
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->Text1->text(), QStringLiteral("新名"));
    QVERIFY(f->nav.shown.isEmpty());
}

void tst_form1::unreadableNovelGoesBackToLibrary_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("no novel chosen") << "none";
    QTest::newRow("file missing") << "missing";
    QTest::newRow("not a novel file") << "garbage";
    QTest::newRow("no information record") << "no record";
}

void tst_form1::unreadableNovelGoesBackToLibrary()
{
    QFETCH(QString, fault);
    if (fault == QLatin1String("none"))
        f->ctx.currentNovelPath.clear();
    if (fault == QLatin1String("missing"))
        f->ctx.currentNovelPath = f->dataDir() + QStringLiteral("/不在.mdb");
    if (fault == QLatin1String("garbage")) {
        f->ctx.currentNovelPath = f->dataDir() + QStringLiteral("/坏.mdb");
        f->writeFile(f->ctx.currentNovelPath, QByteArray(4096, 'z'));
    }
    if (fault == QLatin1String("no record"))
        sqlColumn(novel, QStringLiteral("DELETE FROM 信息"));
    const auto before = dirSnapshot(f->programDir());

    open(false);
    QVERIFY(!w->isEnabled());
    QTRY_COMPARE(f->prompts.calls.size(), 1);
    QVERIFY2(f->prompts.calls[0].text.startsWith(QStringLiteral("打开小说失败！")),
             qPrintable(f->prompts.calls[0].text));
    QCOMPARE(f->prompts.calls[0].style, int(MsgCritical));
    QCOMPARE(f->nav.shown, QStringList{"frm_dl"});
    QTRY_VERIFY(!w);
    QCOMPARE(dirSnapshot(f->programDir()), before);
}

void tst_form1::closeBoxRunsNothing()
{
    const QVariantList before = info();
    open();
    w->Text1->setText(QStringLiteral("不要存"));
    QVERIFY(w->close());
    QTRY_VERIFY(!w);
    QVERIFY(f->nav.shown.isEmpty());
    QVERIFY(f->prompts.calls.isEmpty());
    QCOMPARE(info(), before);
}

YZ_TEST_MAIN(tst_form1)
#include "tst_form1.moc"
