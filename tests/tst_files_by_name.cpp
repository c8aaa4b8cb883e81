// Files the program reads by name, from Config.ini or from a file dialog:
// a pipe, a device without end or a directory in their place is an
// unreadable file of that kind. Nothing waits on it, nothing reads it
// without end, and what the window does is what it does for a missing file.
#include "editor/frm_edit.h"
#include "fixture.h"
#include "hostile_files.h"
#include "library_window.h"
#include "library/frm_dl.h"
#include "open_chapter.h"
#include "test_main.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
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
        if (kind != Impostor::Directory && !fileSystemHoldsPipesAndDevices())
            QSKIP(kNoSpecialFiles);
        ProgramFixture fx;
        fx.installProgramFiles();
        const QString skin = QString::fromUtf8(readAll(fx.path(QStringLiteral("skin/skinh.she"))));
        NovelSpec recipe;
        recipe.title = QStringLiteral("书库里的书");
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
        // [Skin] Path=/dev Name=zero: the skin file is the device itself
        // (on Windows Path=. Name=CON).
        ProgramFixture fx;
        fx.installProgramFiles();
        const QFileInfo device(devicePaths().constFirst());
        fx.writeFile(fx.path(QStringLiteral("Config.ini")),
                     "[Skin]\r\nPath=" + device.path().toUtf8() + "\r\nName=" + device.fileName().toUtf8() + "\r\n");
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
        if (!fileSystemHoldsPipesAndDevices())
            QSKIP(kNoSpecialFiles);
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
};

YZ_TEST_MAIN(tst_files_by_name)
#include "tst_files_by_name.moc"
