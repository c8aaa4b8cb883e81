// Config.ini reading, the listing of novel files and the reading of files by
// name, cover pictures among them.
#include "hostile_files.h"
#include "store/ansi_codec.h"
#include "store/file_lister.h"
#include "store/ini_reader.h"
#include "store/novel_file.h"
#include "store/plain_file.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class SettingsAndFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString ini(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("Config.ini"));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path;
    }

    void touch(const QString &dir, const QString &name)
    {
        QDir().mkpath(dir);
        QFile f(dir + QLatin1Char('/') + name);
        f.open(QIODevice::WriteOnly);
    }

private slots:
    void readsValues_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QByteArray("[Main]\nPath=/novels\n") << "Main"
                               << "Path"
                               << "/novels";
        QTest::newRow("names without regard to case") << QByteArray("[main]\npath=/x\n") << "MAIN"
                                                      << "Path"
                                                      << "/x";
        QTest::newRow("empty value is not the default") << QByteArray("[Main]\nPath=\n") << "Main"
                                                        << "Path"
                                                        << "";
        QTest::newRow("spaces and quotes removed") << QByteArray("[Main]\r\n  Path =   \"  /a b  \"   \r\n") << "Main"
                                                   << "Path"
                                                   << "  /a b  ";
        QTest::newRow("single quotes removed") << QByteArray("[Skin]\nName='x.she'\n") << "Skin"
                                               << "Name"
                                               << "x.she";
        QTest::newRow("unbalanced quote kept") << QByteArray("[Skin]\nName=\"x.she\n") << "Skin"
                                               << "Name"
                                               << "\"x.she";
        QTest::newRow("key of another section") << QByteArray("[Skin]\nPath=/s\n[Main]\nName=n\n") << "Main"
                                                << "Path"
                                                << "DEFAULT";
        QTest::newRow("missing key") << QByteArray("[Main]\nOther=1\n") << "Main"
                                     << "Path"
                                     << "DEFAULT";
        QTest::newRow("missing section") << QByteArray("Path=/x\n") << "Main"
                                         << "Path"
                                         << "DEFAULT";
        QTest::newRow("comment is not a key") << QByteArray("[Main]\n;Path=/x\n") << "Main"
                                              << "Path"
                                              << "DEFAULT";
        QTest::newRow("GBK value") << ansi::encode(QStringLiteral("[Main]\nPath=/小说/数据\n")) << "Main"
                                   << "Path"
                                   << "/小说/数据";
        QTest::newRow("GBK section and key") << ansi::encode(QStringLiteral("[设置]\n目录=甲\n")) << "设置"
                                             << "目录"
                                             << "甲";
    }

    void readsValues()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(ReadIniValue(ini(content), section, key, QStringLiteral("DEFAULT")), expected);
    }

    void missingFileGivesDefaultWithoutTrailingSpaces()
    {
        const QString none = m_dir.filePath(QStringLiteral("none.ini"));
        QCOMPARE(ReadIniValue(none, QStringLiteral("Main"), QStringLiteral("Path"), QStringLiteral("/prog/data")),
                 QStringLiteral("/prog/data"));
        QCOMPARE(ReadIniValue(none, QStringLiteral("Skin"), QStringLiteral("Name"), QStringLiteral("skinh.she  ")),
                 QStringLiteral("skinh.she"));
    }

    void defaultsKeepTheirCharactersAndLength()
    {
        // The program directory may hold characters GBK lacks, and be long.
        const QString none = m_dir.filePath(QStringLiteral("none.ini"));
        const QString odd = QStringLiteral("/opt/Søren/é/한글/\U0001F600/data");
        QCOMPARE(ReadIniValue(none, QStringLiteral("Main"), QStringLiteral("Path"), odd), odd);
        const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('p'));
        QCOMPARE(ReadIniValue(none, QStringLiteral("Main"), QStringLiteral("Path"), longPath), longPath);
        QCOMPARE(ReadIniValue(ini("[Main]\nOther=1\n"), QStringLiteral("Main"), QStringLiteral("Path"), odd), odd);
    }

    void settingsFileThatIsNoPlainFileGivesTheDefaults_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("link to an endless device") << "device";
        QTest::newRow("directory") << "directory";
        QTest::newRow("bigger than any settings file") << "big";
    }

    void settingsFileThatIsNoPlainFileGivesTheDefaults()
    {
        QFETCH(QString, kind);
        if ((kind == QLatin1String("pipe") || kind == QLatin1String("device")) && !fileSystemHoldsPipesAndDevices())
            QSKIP(kNoSpecialFiles);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Config.ini"));
        std::unique_ptr<FifoWatch> pipe;
        if (kind == QLatin1String("pipe")) {
            pipe = std::make_unique<FifoWatch>(path);
            QVERIFY(pipe->isValid());
        } else if (kind == QLatin1String("device")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Main]\nPath=/novels\n");
            f.write(QByteArray(kMaxIniFileBytes, ';'));
        }
        QCOMPARE(ReadIniValue(path, QStringLiteral("Main"), QStringLiteral("Path"), QStringLiteral("DEFAULT")),
                 QStringLiteral("DEFAULT"));
        if (pipe)
            QVERIFY2(!pipe->wasOpened(), "the pipe was opened");
    }

    void filesAreReadWholeOnlyWhenRegularAndWithinTheirLimit()
    {
        if (!fileSystemHoldsPipesAndDevices())
            QSKIP(kNoSpecialFiles);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.txt"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("0123456789");
        f.close();
        QVERIFY(QFile::link(file, dir.filePath(QStringLiteral("link.txt"))));

        QByteArray bytes;
        plainfile::Problem problem = plainfile::Problem::None;
        QVERIFY(plainfile::read(dir.filePath(QStringLiteral("link.txt")), 10, bytes, &problem));
        QCOMPARE(bytes, QByteArray("0123456789"));
        QVERIFY(!plainfile::read(file, 9, bytes, &problem));
        QCOMPARE(problem, plainfile::Problem::TooBig);
        QCOMPARE(bytes, QByteArray("0123456789"));

        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));
        QVERIFY(!plainfile::read(dir.filePath(QStringLiteral("dangling")), 10, bytes, &problem));
        QCOMPARE(problem, plainfile::Problem::Missing);
    }

    // The one rule both the new-novel and the information dialog ask about a
    // chosen cover: what is refused, and the reason they show for it.
    void coverFilesAreTakenWholeOrRefusedWithAReason_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why"); // empty: taken
        QTest::newRow("a picture with bytes after its end") << "picture"
                                                            << "";
        QTest::newRow("a link to a picture") << "link"
                                             << "";
        QTest::newRow("missing") << "missing"
                                 << "文件不存在";
        QTest::newRow("a link that leads nowhere") << "dangling"
                                                   << "文件不存在";
        QTest::newRow("empty") << "empty"
                               << "文件是空的";
        QTest::newRow("a directory") << "directory"
                                     << "不是图片文件";
        QTest::newRow("a named pipe, never opened") << "pipe"
                                                    << "不是图片文件";
        QTest::newRow("bigger than a cover is kept") << "big"
                                                     << "文件太大";
    }

    void coverFilesAreTakenWholeOrRefusedWithAReason()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        if ((kind == QLatin1String("link") || kind == QLatin1String("dangling") || kind == QLatin1String("pipe")) &&
            !fileSystemHoldsPipesAndDevices())
            QSKIP("this system has no pipes or links that a user makes in the file system; its device names are "
                  "tested in tst_system_paths");
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("图片.jpg"));
        const QByteArray pictureBytes = QByteArray("\xFF\xD8\xFF\xD9", 4) + QByteArray("tail\0", 5);
        QFile f(picture);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(pictureBytes);
        f.close();

        const QString path = dir.filePath(QStringLiteral("封面.jpg"));
        std::unique_ptr<FifoWatch> pipe;
        if (kind == QLatin1String("picture")) {
            QVERIFY(QFile::copy(picture, path));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(picture, path));
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("不在.jpg")), path));
        } else if (kind == QLatin1String("empty")) {
            touch(dir.path(), QStringLiteral("封面.jpg"));
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("pipe")) {
            pipe = std::make_unique<FifoWatch>(path);
            QVERIFY(pipe->isValid());
        } else if (kind == QLatin1String("big")) {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(novelfile::kMaxCoverBytes + 1)); // sparse: costs no disk
        }

        // A refused cover leaves what the caller already holds.
        const QByteArray held("held");
        QByteArray bytes = held;
        QString error;
        QCOMPARE(novelfile::readCover(path, bytes, &error), why.isEmpty());
        QCOMPARE(error, why);
        QCOMPARE(bytes, why.isEmpty() ? pictureBytes : held);
        if (pipe)
            QVERIFY2(!pipe->wasOpened(), "the pipe was opened");
    }

    void longValuesAreCutTo254BytesAtACharacterBoundary()
    {
        const QByteArray ascii(300, 'a');
        QCOMPARE(ReadIniValue(ini("[Main]\nPath=" + ascii + "\n"), QStringLiteral("Main"), QStringLiteral("Path"),
                              QString()),
                 QString(254, QLatin1Char('a')));

        // 'a' then 150 two-byte characters: 253 bytes fit, the next character
        // would straddle the limit and is left out whole.
        const QString chinese = QStringLiteral("a") + QString(150, QChar(0x4E2D));
        const QString got = ReadIniValue(ini("[Main]\nPath=" + ansi::encode(chinese) + "\n"), QStringLiteral("Main"),
                                         QStringLiteral("Path"), QString());
        QCOMPARE(got, QStringLiteral("a") + QString(126, QChar(0x4E2D)));
        QCOMPARE(ansi::encode(got).size(), 253);
    }

    void listsMatchingNormalFilesOnly()
    {
        const QString dir = m_dir.filePath(QStringLiteral("list"));
        touch(dir, QStringLiteral("A.mdb"));
        touch(dir, QStringLiteral("b.MDB"));
        touch(dir, QStringLiteral("c.txt"));
        touch(dir, QStringLiteral(".hidden.mdb"));
        QDir(dir).mkpath(QStringLiteral("folder.mdb"));

        QStringList names;
        QCOMPARE(ListFiles(dir, QStringLiteral("*.mdb"), names), 2);
        QCOMPARE(names, (QStringList{QStringLiteral("A.mdb"), QStringLiteral("b.MDB")}));

        QStringList again;
        QCOMPARE(ListFiles(dir + QLatin1Char('/'), QStringLiteral("*.mdb"), again), 2);
        QCOMPARE(again, names);

        QStringList single;
        QCOMPARE(ListFiles(dir, QStringLiteral("?.txt"), single), 1);
        QCOMPARE(single, QStringList{QStringLiteral("c.txt")});
    }

    void noMatchGivesTheSingleEmptyName()
    {
        const QString empty = m_dir.filePath(QStringLiteral("empty"));
        QDir().mkpath(empty);
        for (const QString &dir : {empty, m_dir.filePath(QStringLiteral("does-not-exist"))}) {
            QStringList names;
            QCOMPARE(ListFiles(dir, QStringLiteral("*.mdb"), names), 1);
            QCOMPARE(names, QStringList{QString()});
        }
    }

    void directoriesThatCannotBeListedSayWhy()
    {
        const QString readable = m_dir.filePath(QStringLiteral("readable"));
        QDir().mkpath(readable);
        QVERIFY(listingProblem(readable).isEmpty());
        QCOMPARE(listingProblem(m_dir.filePath(QStringLiteral("nowhere"))), kNoSuchDirectory);
        touch(m_dir.path(), QStringLiteral("plain"));
        QCOMPARE(listingProblem(m_dir.filePath(QStringLiteral("plain"))), QStringLiteral("不是目录"));

        const QString closed = m_dir.filePath(QStringLiteral("closed"));
        QDir().mkpath(closed);
        QVERIFY(QFile::setPermissions(closed, QFileDevice::WriteOwner));
        {
            PermissionsBite bite;
            if (!bite.isActive())
                QSKIP("root's right to read any directory cannot be set aside here");
            QVERIFY(!listingProblem(closed).isEmpty());
            QVERIFY(listingProblem(closed) != kNoSuchDirectory);
        }
    }

    void codecRoundTripsAndReplacesWhatGbkCannotHold()
    {
        const QString text = QStringLiteral("第一行\r\n第二行 abc");
        QCOMPARE(ansi::decode(ansi::encode(text)), text);
        QCOMPARE(ansi::encode(QStringLiteral("a\U0001F600b")), QByteArray("a?b"));
    }

    void codecTurnsABrokenByteIntoOneReplacementCharacterWhereverItStands_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("last byte") << QByteArray("abc\xD6") << QStringLiteral("abc\uFFFD");
        QTest::newRow("only byte") << QByteArray("\xFE") << QStringLiteral("\uFFFD");
        QTest::newRow("after a whole character") << QByteArray("\xD6\xD0\x81") << QStringLiteral("中\uFFFD");
        QTest::newRow("line end follows") << QByteArray("abc\xD6\r\n") << QStringLiteral("abc\uFFFD\r\n");
        QTest::newRow("in the middle and at the end") << QByteArray("a\xD6\x30"
                                                                    "b\xD6")
                                                      << QStringLiteral("a\uFFFD"
                                                                        "0b\uFFFD");
        // A lead byte takes only a trail byte with it; what follows is read afresh.
        QTest::newRow("before a space") << QByteArray("\xD6 \xD0") << QStringLiteral("\uFFFD \uFFFD");
        QTest::newRow("before DEL") << QByteArray("\x81\x7F") << QStringLiteral("\uFFFD\x7F");
        QTest::newRow("before 0xFF") << QByteArray("\x81\xFF") << QStringLiteral("\uFFFD\uF8F5");
        QTest::newRow("whole characters only") << QByteArray("\xD6\xD0\xCE\xC4") << QStringLiteral("中文");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void codecTurnsABrokenByteIntoOneReplacementCharacterWhereverItStands()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(ansi::decode(bytes), text);
    }
};

YZ_TEST_GUILESS_MAIN(SettingsAndFiles)
#include "tst_settings_and_files.moc"
