// Where the program reads and writes: a portable folder keeps everything
// beside the program; an installed program, whose directory is read-only,
// writes to the user's own data location and reads the user's Config.ini
// before its own.
#include "app/app_context.h"
#include "dir_snapshot.h"
#include "fixture.h"
#include "library/frm_dl.h"
#include "read_only_mount.h"
#include "test_main.h"
#include "ui/skin.h"

#include <QDir>
#include <QListWidget>
#include <QtTest>

class tst_program_directories : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void portableFolderKeepsEveryRoleBesideTheProgram();
    void readOnlyProgramHandsItsWritableRolesToTheUser();
    void firstStartCopiesTheBundledNovelsOnce();
    void configuredDataDirectoryIsNotMadeInTheUserLocation();
    void userConfigIsReadBeforeTheProgramOne_data();
    void userConfigIsReadBeforeTheProgramOne();

private:
    QString userLocation() const { return m_home->path() + QStringLiteral("/.local/share/砚舟写作系统"); }
    // Settles the directories with the program directory read-only.
    bool settleReadOnly(AppContext &ctx);

    ProgramFixture *m_fx = nullptr;
    QTemporaryDir *m_home = nullptr;
    QString m_sample;
    ReadOnlyMount *m_mount = nullptr;
};

void tst_program_directories::init()
{
    m_fx = new ProgramFixture;
    m_home = new QTemporaryDir;
    QVERIFY(m_fx->isValid() && m_home->isValid());
    m_fx->installProgramFiles();
    NovelSpec recipe;
    recipe.title = QStringLiteral("夜航船");
    m_sample = m_fx->addNovel(QStringLiteral("夜航船.mdb"), recipe);
}

void tst_program_directories::cleanup()
{
    delete m_mount;
    m_mount = nullptr;
    delete m_fx;
    m_fx = nullptr;
    delete m_home;
    m_home = nullptr;
}

bool tst_program_directories::settleReadOnly(AppContext &ctx)
{
    m_mount = new ReadOnlyMount(m_fx->programDir());
    if (!m_mount->isReadOnly())
        return false;
    settleDirectories(ctx, m_fx->programDir(), userLocation());
    return true;
}

void tst_program_directories::portableFolderKeepsEveryRoleBesideTheProgram()
{
    const auto before = dirSnapshot(m_fx->programDir());
    AppContext &ctx = m_fx->ctx;
    settleDirectories(ctx, m_fx->programDir(), userLocation());

    QVERIFY(ctx.userDir.isEmpty());
    QCOMPARE(ctx.dataPrefix(), m_fx->dataDir() + QLatin1Char('/'));
    QCOMPARE(ctx.writableFile(QStringLiteral("coverbuf.jpg")), m_fx->path(QStringLiteral("coverbuf.jpg")));
    QCOMPARE(ctx.iniPaths(), QStringList{m_fx->path(QStringLiteral("Config.ini"))});
    QVERIFY(QDir(m_home->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QCOMPARE(dirSnapshot(m_fx->programDir()), before);
}

void tst_program_directories::readOnlyProgramHandsItsWritableRolesToTheUser()
{
    AppContext &ctx = m_fx->ctx;
    if (!settleReadOnly(ctx))
        QSKIP(qPrintable(m_mount->why()));

    QCOMPARE(ctx.programDir, m_fx->programDir());
    QCOMPARE(ctx.userDir, userLocation());
    const QString userData = userLocation() + QStringLiteral("/data");
    QCOMPARE(ctx.dataPrefix(), userData + QLatin1Char('/'));
    QCOMPARE(ctx.writableFile(QStringLiteral("coverbuf.jpg")), userLocation() + QStringLiteral("/coverbuf.jpg"));
    // What the program only reads stays beside it.
    QCOMPARE(ctx.programFile(QStringLiteral("空数据库.mdb")), m_fx->path(QStringLiteral("空数据库.mdb")));
    QCOMPARE(skinFilePath(ctx), m_fx->path(QStringLiteral("skin/skinh.she")));

    // The sample novel is the user's own copy, and the library lists it.
    QCOMPARE(QDir(userData).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("夜航船.mdb")});
    QCOMPARE(readAll(userData + QStringLiteral("/夜航船.mdb")), readAll(m_sample));
    frm_dl library(ctx);
    QCOMPARE(library.ListView1->count(), 1);
    QCOMPARE(library.ListView1->item(0)->text(), QStringLiteral("夜航船"));
    QCOMPARE(library.Novels.value(0).FilePath, userData + QStringLiteral("/夜航船.mdb"));
}

void tst_program_directories::firstStartCopiesTheBundledNovelsOnce()
{
    const QString userData = userLocation() + QStringLiteral("/data");
    QVERIFY(QDir().mkpath(userData));
    AppContext &ctx = m_fx->ctx;
    if (!settleReadOnly(ctx))
        QSKIP(qPrintable(m_mount->why()));

    // A data directory the user emptied stays empty.
    QCOMPARE(ctx.dataPrefix(), userData + QLatin1Char('/'));
    QVERIFY(QDir(userData).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void tst_program_directories::configuredDataDirectoryIsNotMadeInTheUserLocation()
{
    const QString novels = m_fx->path(QStringLiteral("novels"));
    m_fx->writeFile(m_fx->path(QStringLiteral("Config.ini")), "[Main]\nPath=" + novels.toUtf8() + '\n');
    AppContext &ctx = m_fx->ctx;
    if (!settleReadOnly(ctx))
        QSKIP(qPrintable(m_mount->why()));

    QCOMPARE(ctx.dataPrefix(), novels + QLatin1Char('/'));
    QVERIFY(!QFileInfo::exists(userLocation() + QStringLiteral("/data")));
    QVERIFY(!QFileInfo::exists(novels));
}

void tst_program_directories::userConfigIsReadBeforeTheProgramOne_data()
{
    QTest::addColumn<QByteArray>("userIni");
    QTest::addColumn<QByteArray>("programIni");
    QTest::addColumn<QString>("dataPath");
    QTest::addColumn<QString>("skinName");

    const QString userData = QStringLiteral("USER/data");
    QTest::newRow("no Config.ini at all") << QByteArray() << QByteArray() << userData << "skinh.she";
    QTest::newRow("the user's value wins")
        << QByteArray("[Main]\nPath=/mine\n") << QByteArray("[Main]\nPath=/theirs\n[Skin]\nName=b.she\n") << "/mine"
        << "b.she";
    QTest::newRow("a key the user left out comes from the program's file")
        << QByteArray("[Skin]\nName=a.she\n") << QByteArray("[Main]\nPath=/theirs\n[Skin]\nName=b.she\n") << "/theirs"
        << "a.she";
    QTest::newRow("an empty value of the user's is a value")
        << QByteArray("[Main]\nPath=\n") << QByteArray("[Main]\nPath=/theirs\n") << ""
        << "skinh.she";
}

void tst_program_directories::userConfigIsReadBeforeTheProgramOne()
{
    QFETCH(QByteArray, userIni);
    QFETCH(QByteArray, programIni);
    QFETCH(QString, dataPath);
    QFETCH(QString, skinName);

    // Only the user's own writable place matters here, not how it came to be.
    AppContext &ctx = m_fx->ctx;
    ctx.userDir = userLocation();
    QVERIFY(QDir().mkpath(ctx.userDir));
    if (!userIni.isNull())
        m_fx->writeFile(ctx.userDir + QStringLiteral("/Config.ini"), userIni);
    if (!programIni.isNull())
        m_fx->writeFile(m_fx->path(QStringLiteral("Config.ini")), programIni);

    QCOMPARE(ctx.iniPaths(),
             QStringList({ctx.userDir + QStringLiteral("/Config.ini"), m_fx->path(QStringLiteral("Config.ini"))}));
    QCOMPARE(ctx.dataPrefix(), QString(dataPath).replace(QStringLiteral("USER"), ctx.userDir) + QLatin1Char('/'));
    QCOMPARE(QFileInfo(skinFilePath(ctx)).fileName(), skinName);
}

YZ_TEST_MAIN(tst_program_directories)
#include "tst_program_directories.moc"
