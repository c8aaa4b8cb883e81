// Files the program reads by name, from Config.ini or from a file dialog:
// a pipe, a device without end or a directory in their place is an
// unreadable file of that kind. Nothing waits on it, nothing reads it
// without end, and what the window does is what it does for a missing file.
#include "editor/frm_edit.h"
#include "fixture.h"
#include "hostile_files.h"
#include "library_window.h"
#include "library/form1.h"
#include "library/frm_dl.h"
#include "library/frm_new.h"
#include "open_chapter.h"
#include "store/ansi_codec.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

// What stands at a path in place of a plain file.
enum class Impostor { Pipe, EndlessDevice, RandomDevice, Directory };

// Puts the impostor at path; the watch tells later whether a pipe was opened.
bool plant(Impostor kind, const QString &path, std::unique_ptr<FifoWatch> &watch)
{
    QFile::remove(path);
    switch (kind) {
    case Impostor::Pipe:
        watch = std::make_unique<FifoWatch>(path);
        return watch->isValid();
    case Impostor::EndlessDevice:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    case Impostor::RandomDevice:
        return QFile::link(QStringLiteral("/dev/urandom"), path);
    case Impostor::Directory:
        return QDir().mkpath(path);
    }
    return false;
}

NovelSpec titled(const QString &title)
{
    NovelSpec recipe;
    recipe.title = title;
    return recipe;
}

} // namespace

Q_DECLARE_METATYPE(Impostor)

class tst_files_by_name : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        deleteEditors();
        qApp->setStyleSheet(QString());
    }

    void startUpPassesOverSettingsAndPicturesThatAreNoFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Impostor>("kind");
        QTest::addColumn<bool>("skinned");
        QTest::newRow("Config.ini a pipe") << "Config.ini" << Impostor::Pipe << true;
        QTest::newRow("Config.ini the endless zero device") << "Config.ini" << Impostor::EndlessDevice << true;
        QTest::newRow("skin a pipe") << "skin/skinh.she" << Impostor::Pipe << false;
        QTest::newRow("skin random bytes without end") << "skin/skinh.she" << Impostor::RandomDevice << false;
        QTest::newRow("skin a directory") << "skin/skinh.she" << Impostor::Directory << false;
        QTest::newRow("默认.jpg a pipe") << "默认.jpg" << Impostor::Pipe << true;
        QTest::newRow("默认.jpg the endless zero device") << "默认.jpg" << Impostor::EndlessDevice << true;
    }

    void startUpPassesOverSettingsAndPicturesThatAreNoFiles()
    {
        QFETCH(QString, file);
        QFETCH(Impostor, kind);
        QFETCH(bool, skinned);
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString skin = QString::fromUtf8(readAll(fx.path(QStringLiteral("skin/skinh.she"))));
        NovelSpec recipe = titled(QStringLiteral("书库里的书"));
        recipe.cover = QByteArray("not a picture: the default cover is read");
        fx.addNovel(QStringLiteral("a.mdb"), recipe);
        std::unique_ptr<FifoWatch> watch;
        QVERIFY(plant(kind, fx.path(file), watch));

        frm_dl w(fx.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(libraryTitles(w), QStringList{"书库里的书"});
        QCOMPARE(qApp->styleSheet(), skinned ? skin : QString());
        QVERIFY(fx.prompts.messages().isEmpty());
        if (watch)
            QVERIFY2(!watch->wasOpened(), "the pipe was opened");
    }

    void skinNamedOnAnEndlessDeviceLeavesThePlainLook()
    {
        // [Skin] Path=/dev Name=zero: the skin file is the device itself.
        ProgramFixture fx;
        fx.installProgramFiles();
        fx.writeFile(fx.path(QStringLiteral("Config.ini")), "[Skin]\r\nPath=/dev\r\nName=zero\r\n");
        frm_dl w(fx.ctx);
        QVERIFY(qApp->styleSheet().isEmpty());
    }

    void importOfWhatIsNoFileFailsWithItsMessage_data()
    {
        QTest::addColumn<Impostor>("kind");
        QTest::newRow("a pipe named x.txt") << Impostor::Pipe;
        QTest::newRow("the endless zero device") << Impostor::EndlessDevice;
    }

    void importOfWhatIsNoFileFailsWithItsMessage()
    {
        QFETCH(Impostor, kind);
        ProgramFixture fx;
        OpenChapter chapter(fx, QStringLiteral("旧的正文"));
        const QString path = fx.path(QStringLiteral("x.txt"));
        std::unique_ptr<FifoWatch> watch;
        QVERIFY(plant(kind, path, watch));
        frm_edit *editor = openInEditor(fx.ctx, chapter);
        QVERIFY(editor);
        fx.prompts.clear();
        fx.prompts.files = {path};
        editor->Command3_Click();
        QCOMPARE(fx.prompts.messages(),
                 QStringList{QStringLiteral("导入失败！无法读取文件：%1\n（不是普通文件）").arg(path)});
        QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("旧的正文"));
        QCOMPARE(chapter.storedText(), QStringLiteral("旧的正文"));
        if (watch)
            QVERIFY2(!watch->wasOpened(), "the pipe was opened");
    }

    void newNovelPassesOverCoversAndTemplatesThatAreNoFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Impostor>("kind");
        QTest::newRow("chosen cover a pipe") << "封面.jpg" << Impostor::Pipe;
        QTest::newRow("chosen cover the endless zero device") << "封面.jpg" << Impostor::EndlessDevice;
        QTest::newRow("默认.jpg a pipe") << "默认.jpg" << Impostor::Pipe;
        QTest::newRow("template a pipe") << "空数据库.mdb" << Impostor::Pipe;
        QTest::newRow("template the endless zero device") << "空数据库.mdb" << Impostor::EndlessDevice;
    }

    void newNovelPassesOverCoversAndTemplatesThatAreNoFiles()
    {
        QFETCH(QString, file);
        QFETCH(Impostor, kind);
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString path = fx.path(file);
        const QByteArray defaultCover = readAll(fx.path(QStringLiteral("默认.jpg")));
        std::unique_ptr<FifoWatch> watch;
        QVERIFY(plant(kind, path, watch));

        QPointer<frm_new> w = new frm_new(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->Text1->setText(QStringLiteral("新书"));
        w->Text2->setText(QStringLiteral("主角"));
        w->Text3->setText(QStringLiteral("作者"));
        w->Text4->setText(QStringLiteral("说明"));
        w->Text5->setPlainText(QStringLiteral("大纲"));
        if (file == QStringLiteral("封面.jpg")) {
            fx.prompts.files = {path};
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        }
        QTest::mouseClick(w->Command2, Qt::LeftButton);

        const QString made = fx.dataDir() + QStringLiteral("/新书.mdb");
        const QStringList told = fx.prompts.messages();
        if (file == QStringLiteral("空数据库.mdb")) {
            QCOMPARE(told.size(), 1);
            QVERIFY2(told[0].startsWith(QStringLiteral("创建新小说失败！")), qPrintable(told[0]));
            QVERIFY(!QFileInfo::exists(made));
        } else if (file == QStringLiteral("封面.jpg")) {
            QCOMPARE(told,
                     QStringList({QStringLiteral("封面图片“%1”无法读取（不是图片文件），改用默认封面。").arg(path),
                                  QStringLiteral("创建新小说成功！")}));
            QCOMPARE(sqlColumn(made, QStringLiteral("SELECT 封面 FROM 信息")).value(0).toByteArray(), defaultCover);
        } else {
            QCOMPARE(
                told,
                QStringList(
                    {QStringLiteral("默认封面“%1”无法读取（不是图片文件），新小说沿用空数据库中的封面。").arg(path),
                     QStringLiteral("创建新小说成功！")}));
            QVERIFY(QFileInfo::exists(made));
        }
        delete w;
        if (watch)
            QVERIFY2(!watch->wasOpened(), "the pipe was opened");
    }

    void informationDialogPassesOverCoversThatAreNoFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("chosen cover a pipe") << "封面.jpg";
        QTest::newRow("cover buffer turned into a pipe") << "coverbuf.jpg";
    }

    void informationDialogPassesOverCoversThatAreNoFiles()
    {
        QFETCH(QString, file);
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString novel = fx.addNovel(QStringLiteral("a.mdb"), titled(QStringLiteral("旧书")));
        const QByteArray cover = sqlColumn(novel, QStringLiteral("SELECT 封面 FROM 信息")).value(0).toByteArray();
        fx.ctx.currentNovelPath = novel;
        QPointer<Form1> w = new Form1(fx.ctx);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // The buffer is read back when saving: it becomes a pipe meanwhile.
        const QString path = fx.path(file);
        std::unique_ptr<FifoWatch> watch;
        QVERIFY(plant(Impostor::Pipe, path, watch));
        if (file == QStringLiteral("封面.jpg")) {
            fx.prompts.files = {path};
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        }
        w->Text3->setText(QStringLiteral("新作者"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(fx.prompts.messages(),
                 QStringList({QStringLiteral("封面图片“%1”无法读取（不是图片文件），封面保持不变。").arg(path),
                              QStringLiteral("保存成功")}));
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 作者 FROM 信息")), QVariantList{"新作者"});
        QCOMPARE(sqlColumn(novel, QStringLiteral("SELECT 封面 FROM 信息")).value(0).toByteArray(), cover);
        delete w;
        QVERIFY2(!watch->wasOpened(), "the pipe was opened");
    }
};

QTEST_MAIN(tst_files_by_name)
#include "tst_files_by_name.moc"
