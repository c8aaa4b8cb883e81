// Paths and names as the system the program runs on sees them: devices are
// never read as files (on Windows they are names: CON, NUL, COM1, \\.\…),
// the names Windows keeps for itself, a data directory with a Chinese name
// named in a GBK Config.ini, and the design's 宋体 under either of its names.
#include "editor/frm_edit.h"
#include "fixture.h"
#include "hostile_files.h"
#include "open_chapter.h"
#include "store/ansi_codec.h"
#include "store/ini_reader.h"
#include "store/novel_file.h"
#include "store/plain_file.h"
#include "store/platform.h"
#include "store/windows_names.h"
#include "test_main.h"
#include "ui/skin.h"

#include <QPlainTextEdit>
#include <QtTest>

class tst_system_paths : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { deleteEditors(); }

    void devicesAreNeverReadAsFiles_data()
    {
        QTest::addColumn<QString>("device");
        for (const QString &path : devicePaths())
            QTest::newRow(qPrintable(path)) << path;
    }

    void devicesAreNeverReadAsFiles()
    {
        QFETCH(QString, device);
        QCOMPARE(platform::kindOf(device), platform::Kind::Other);
        QByteArray bytes;
        plainfile::Problem problem = plainfile::Problem::None;
        QVERIFY(!plainfile::read(device, 1024, bytes, &problem));
        QCOMPARE(problem, plainfile::Problem::NotPlain);
        QString why;
        QVERIFY(!novelfile::readCover(device, bytes, &why));
        QCOMPARE(why, QStringLiteral("不是图片文件"));
        QCOMPARE(ReadIniValue(device, QStringLiteral("Main"), QStringLiteral("Path"), QStringLiteral("默认")),
                 QStringLiteral("默认"));
    }

    void importOfADeviceFailsWithItsMessage()
    {
        ProgramFixture fx;
        OpenChapter chapter(fx, QStringLiteral("旧的正文"));
        frm_edit *editor = openInEditor(fx.ctx, chapter);
        QVERIFY(editor);
        const QString device = devicePaths().constFirst();
        fx.prompts.clear();
        fx.prompts.files = {device};
        editor->Command3_Click();
        QCOMPARE(fx.prompts.messages(),
                 QStringList{QStringLiteral("导入失败！无法读取文件：%1\n（不是普通文件）").arg(device)});
        QCOMPARE(chapter.storedText(), QStringLiteral("旧的正文"));
    }

    void regularFilesAreReadUpToTheirLimit()
    {
        ProgramFixture fx;
        const QString file = fx.path(QStringLiteral("封面 图片.jpg"));
        fx.writeFile(file, "0123456789");
        QByteArray bytes;
        plainfile::Problem problem = plainfile::Problem::None;
        QVERIFY(plainfile::read(file, 10, bytes, &problem));
        QCOMPARE(bytes, QByteArray("0123456789"));
        QVERIFY(!plainfile::read(file, 9, bytes, &problem));
        QCOMPARE(problem, plainfile::Problem::TooBig);
        QVERIFY(!plainfile::read(fx.path(QStringLiteral("没有.jpg")), 10, bytes, &problem));
        QCOMPARE(problem, plainfile::Problem::Missing);
        QCOMPARE(platform::kindOf(fx.programDir()), platform::Kind::Directory);
    }

    void namesWindowsKeepsForItself_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("device");
        QTest::addColumn<QString>("problem");
        const QString deviceName = QStringLiteral("“%1”是系统留给设备的名字");
        QTest::newRow("CON") << "CON" << true << deviceName.arg("CON");
        QTest::newRow("con.mdb") << "con.mdb" << true << deviceName.arg("con");
        QTest::newRow("space before the dot") << "Nul .mdb" << true << deviceName.arg("Nul ");
        QTest::newRow("colon after it") << "aux:" << true << "不能有字符“:”";
        QTest::newRow("COM9") << "COM9.txt" << true << deviceName.arg("COM9");
        QTest::newRow("LPT superscript one") << "LPT¹" << true << deviceName.arg("LPT¹");
        QTest::newRow("CONIN$") << "conin$.mdb" << true << deviceName.arg("conin$");
        QTest::newRow("COM10 is a file") << "COM10.mdb" << false << "";
        QTest::newRow("CONSOLE is a file") << "CONSOLE.mdb" << false << "";
        QTest::newRow("a dot before CON") << ".CON" << false << "";
        QTest::newRow("Chinese") << "夜航船.mdb" << false << "";
        QTest::newRow("angle bracket") << "<夜>.mdb" << false << "不能有字符“<”";
        QTest::newRow("pipe sign") << "a|b.mdb" << false << "不能有字符“|”";
        QTest::newRow("asterisk") << "*.mdb" << false << "不能有字符“*”";
        QTest::newRow("trailing dot") << "书." << false << "结尾不能是点或空格";
        QTest::newRow("trailing space") << "书 " << false << "结尾不能是点或空格";
        QTest::newRow("space before the extension") << "书 .mdb" << false << "";
    }

    void namesWindowsKeepsForItself()
    {
        QFETCH(QString, name);
        QFETCH(bool, device);
        QFETCH(QString, problem);
        QCOMPARE(windowsnames::isReservedName(name), device);
        QCOMPARE(windowsnames::isDevicePath(QStringLiteral("C:/书/") + name), device);
        QCOMPARE(windowsnames::fileNameProblem(name), problem);
    }

    void devicePathsOfWindows_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("device");
        QTest::newRow("device name space") << "\\\\.\\PhysicalDrive0" << true;
        QTest::newRow("forward slashes") << "//./COM1" << true;
        QTest::newRow("long path prefix") << "\\\\?\\C:\\书\\a.txt" << true;
        QTest::newRow("object manager") << "\\??\\C:\\a.txt" << true;
        QTest::newRow("pipe of a server") << "\\\\server\\PIPE\\name" << true;
        QTest::newRow("mail slot") << "//server/mailslot/x" << true;
        QTest::newRow("share of a server") << "\\\\server\\share\\夜航船.mdb" << false;
        QTest::newRow("device name as a folder") << "C:\\NUL\\a.txt" << false;
        QTest::newRow("trailing separator") << "C:\\data\\con\\" << true;
        QTest::newRow("plain path") << "C:\\Users\\作者\\data" << false;
    }

    void devicePathsOfWindows()
    {
        QFETCH(QString, path);
        QFETCH(bool, device);
        QCOMPARE(windowsnames::isDevicePath(path), device);
    }

    void novelInAChineseDataDirectoryStoresAKeystroke()
    {
        // The data directory named in Config.ini (GBK) holds Chinese and a
        // space: the library finds it, and a key typed into a chapter there
        // is in the file, whatever code page the system runs under.
        ProgramFixture fx(QStringLiteral("砚舟 写作"));
        fx.writeFile(fx.path(QStringLiteral("Config.ini")), ansi::encode("[Main]\r\nPath=" + fx.dataDir() + "\r\n"));
        QCOMPARE(fx.ctx.dataPrefix(), fx.dataDir() + QLatin1Char('/'));
        OpenChapter chapter(fx, QStringLiteral("正文"));
        frm_edit *editor = openInEditor(fx.ctx, chapter);
        QVERIFY(editor);
        editor->Text1->moveCursor(QTextCursor::End);
        typeText(editor->Text1, QStringLiteral("字"));
        waitForEditors();
        QCOMPARE(chapter.storedText(), QStringLiteral("正文字"));
    }

    void designFontFoundUnderEitherName_data()
    {
        QTest::addColumn<QStringList>("families");
        QTest::addColumn<int>("index");
        QTest::newRow("Chinese system") << QStringList{"Arial", "宋体", "黑体"} << 1;
        QTest::newRow("system in another language") << QStringList{"Arial", "SimSun", "SimHei"} << 1;
        QTest::newRow("both names: the Chinese one") << QStringList{"SimSun", "宋体"} << 1;
        QTest::newRow("neither") << QStringList{"Arial", "NSimSun", "Noto Serif CJK SC"} << -1;
    }

    void designFontFoundUnderEitherName()
    {
        QFETCH(QStringList, families);
        QFETCH(int, index);
        QCOMPARE(designFontIndex(families), index);
    }
};

YZ_TEST_MAIN(tst_system_paths)
#include "tst_system_paths.moc"
