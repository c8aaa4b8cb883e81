// One program per program directory and per data directory, proved with the
// real program started twice: the second start hands over to the first and
// writes nothing, and a killed program leaves nothing that blocks the next.
// Nothing another user or a stray file puts where the lock goes can hang a
// start or end it unseen.
#include "shell/single_instance.h"
#include "dir_snapshot.h"
#include "fixture.h"
#include "hostile_files.h"
#include "private_places.h"
#include "process_control.h"
#include "store/ansi_codec.h"
#include "test_main.h"

#include <QLocalSocket>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// True once the program holding dir answers: it is up and has its windows.
bool answers(const QString &dir)
{
    QLocalSocket socket;
    socket.connectToServer(SingleInstance::socketPathFor(SingleInstance::keyFor(dir)));
    return socket.waitForConnected(200);
}

// Runs a shell command with %1 and %2 standing for the paths given; false
// when it fails (a second user exists only where the tests run as root).
// Only where the file system holds pipes and links.
bool sh(const QString &command, const QString &one, const QString &two = QString())
{
    const auto quoted = [](const QString &p) { return QLatin1Char('\'') + p + QLatin1Char('\''); };
    const QString line =
        QString(command).replace(QLatin1String("%1"), quoted(one)).replace(QLatin1String("%2"), quoted(two));
    return QProcess::execute(QStringLiteral("sh"), {"-c", line}) == 0;
}

} // namespace

class tst_single_instance : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFixture> f;
    QList<QProcess *> m_running;
    // The private directory for this test's locks: nothing lands in the
    // user's real one.
    QTemporaryDir m_home;
    QString m_runtime;
    // A second user of this machine, made where the tests run as root.
    bool m_other = false;

    // A program directory of its own beside the fixture's, with the real
    // program in it and, if given, a Config.ini naming the data directory.
    QString programDir(const QString &name, const QString &dataDir = QString())
    {
        const QString dir = f->path(name);
        QDir().mkpath(dir);
        QFile::copy(QStringLiteral(YZ_PROGRAM_FILE), programFile(dir));
        if (!dataDir.isEmpty())
            f->writeFile(dir + QStringLiteral("/Config.ini"), "[Main]\r\nPath=" + ansi::encode(dataDir) + "\r\n");
        return dir;
    }

    static QString programFile(const QString &dir)
    {
        return dir + QLatin1Char('/') + QFileInfo(QStringLiteral(YZ_PROGRAM_FILE)).fileName();
    }

    QProcess *start(const QString &dir)
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(programFile(dir), {});
        m_running << p;
        return p;
    }

    QProcess *startAndWait(const QString &dir)
    {
        QProcess *p = start(dir);
        if (!p->waitForStarted(5000))
            return p;
        QElapsedTimer clock;
        clock.start();
        while (!answers(dir) && clock.elapsed() < 10000 && p->state() == QProcess::Running)
            QTest::qWait(50);
        return p;
    }

private slots:
    void initTestCase()
    {
        m_runtime = usePrivateDirectoryUnder(m_home.path());
        QVERIFY(QFileInfo(m_runtime).isDir());
        m_other = makeOtherUser();
    }

    void cleanupTestCase()
    {
        if (m_other)
            removeOtherUser();
    }

    void init()
    {
        QCOMPARE(usePrivateDirectoryUnder(m_home.path()), m_runtime);
        f = std::make_unique<ProgramFixture>();
        QVERIFY(f->isValid());
    }

    void cleanup()
    {
        for (QProcess *p : std::as_const(m_running)) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        qDeleteAll(m_running);
        m_running.clear();
        f.reset();
    }

    void secondStartOnTheSameDirectoriesHandsOverAndWritesNothing()
    {
        const QString first = programDir(QStringLiteral("甲"));
        QVERIFY(QDir().mkpath(first + QStringLiteral("/data")));
        f->makeNovel(first + QStringLiteral("/data/甲书.mdb"));
        QProcess *running = startAndWait(first);
        QVERIFY(answers(first));
        // Another program directory whose settings name the same data.
        const QString second = programDir(QStringLiteral("乙"), first + QStringLiteral("/data"));

        const auto before = dirSnapshot(f->programDir());
        for (const QString &dir : {first, second}) {
            QProcess *again = start(dir);
            QVERIFY2(again->waitForFinished(8000), qPrintable(dir));
            QCOMPARE(again->exitStatus(), QProcess::NormalExit);
            QCOMPARE(again->exitCode(), 0);
        }
        QCOMPARE(dirSnapshot(f->programDir()), before);
        QCOMPARE(running->state(), QProcess::Running);
    }

    void programOnOtherDirectoriesRunsBeside()
    {
        const QString first = programDir(QStringLiteral("甲"));
        const QString other = programDir(QStringLiteral("丙"));
        startAndWait(first);
        QProcess *beside = startAndWait(other);
        QVERIFY(answers(other));
        QCOMPARE(beside->state(), QProcess::Running);
    }

    void killedProgramBlocksNothing()
    {
        const QString dir = programDir(QStringLiteral("甲"));
        QProcess *killed = startAndWait(dir);
        QVERIFY(answers(dir));
        killed->kill();
        QVERIFY(killed->waitForFinished(5000));
        QProcess *next = startAndWait(dir);
        QVERIFY(answers(dir));
        QCOMPARE(next->state(), QProcess::Running);
    }

    void runningProgramThatDoesNotAnswerIsNamed()
    {
        // A program that holds the directories but answers nothing (stopped
        // in a debugger, say): the second start says why it ends.
        const QString dir = programDir(QStringLiteral("甲"));
        QProcess *stopped = startAndWait(dir);
        QVERIFY(answers(dir));
        if (!pauseProcess(*stopped))
            QSKIP("this system cannot hold a program where it stands");
        SingleInstance instance({dir});
        const bool claimed = claimDirectories(instance, f->prompts, 500);
        resumeProcess(*stopped);
        QVERIFY(!claimed);
        QCOMPARE(f->prompts.messages(), QStringList{QStringLiteral("砚舟写作系统已经在运行！")});
        QCOMPARE(f->prompts.calls[0].style, int(MsgInformation));
        QCOMPARE(f->prompts.calls[0].caption, appTitle());
    }

    void whateverStandsWhereTheLockGoesTheProgramStarts_data()
    {
        // What is put where the lock goes: made by a shell command (%1 the
        // lock, %2 a file elsewhere) where the file system holds pipes and
        // links; else a file of these bytes, or a directory when null.
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("atSocket");
        // Opened to read, a pipe would hold the start for ever.
        QTest::newRow("a pipe") << "mkfifo %1" << QByteArray() << false << false;
        QTest::newRow("a link to the endless zero device") << "ln -s /dev/zero %1" << QByteArray() << false << false;
        QTest::newRow("a link to a file elsewhere") << "ln -s %2 %1" << QByteArray() << false << false;
        QTest::newRow("a directory") << QString() << QByteArray() << false << false;
        QTest::newRow("an empty lock, as a power loss leaves it") << QString() << QByteArray("") << false << false;
        QByteArray garbage(300, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
        QTest::newRow("garbage") << QString() << garbage << false << false;
        QTest::newRow("the lock of a program that was killed")
            << QString() << QByteArray("999999999\n") << false << false;
        QTest::newRow("a lock left read-only") << QString() << QByteArray("999999999\n") << true << false;
        QTest::newRow("a file of another user")
            << "touch %1 && chown yanzhou-other %1" << QByteArray() << false << false;
        QTest::newRow("a directory where the socket goes") << QString() << QByteArray() << false << true;
        QTest::newRow("a link where the socket goes") << "ln -s %2 %1" << QByteArray() << false << true;
    }

    void whateverStandsWhereTheLockGoesTheProgramStarts()
    {
        QFETCH(QString, shell);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readOnly);
        QFETCH(bool, atSocket);
        // Sockets, pipes and links stand in the file system only on some
        // systems; elsewhere the program answers through a named pipe, in
        // no directory.
        if ((atSocket || !shell.isEmpty()) && !fileSystemHoldsPipesAndDevices())
            QSKIP("this system has no sockets, pipes or links in the file system, nor a second user for the "
                  "tests: the program answers through a named pipe");
        const QString dir = programDir(QStringLiteral("甲"));
        const QString key = SingleInstance::keyFor(dir);
        const QString at = atSocket ? SingleInstance::socketPathFor(key) : SingleInstance::lockPathFor(key);
        QCOMPARE(QFileInfo(at).absolutePath(), m_runtime);
        const QString outside = f->path(QStringLiteral("别处.txt"));
        f->writeFile(outside, "not to be touched");
        if (!shell.isEmpty()) {
            if (!sh(shell, at, outside))
                QSKIP("a second user can be made only where the tests run as root");
        } else if (bytes.isNull()) {
            QVERIFY(QDir().mkpath(at));
        } else {
            f->writeFile(at, bytes);
            if (readOnly)
                QVERIFY(QFile::setPermissions(at, QFileDevice::ReadOwner));
        }

        QProcess *first = startAndWait(dir);
        QVERIFY2(answers(dir), "the program did not come up");
        QCOMPARE(readAll(outside), QByteArray("not to be touched"));
        // And it is the one program there: a second start hands over.
        QProcess *second = start(dir);
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void lockAndSocketLiveOnlyWhereNobodyElseMayGo_data()
    {
        // The places for the lock as they stand before a start, each in its
        // own temporary folder.
        QTest::addColumn<int>("place");
        const QList<PrivatePlace> places = privatePlaces();
        for (int i = 0; i < places.size(); ++i)
            QTest::newRow(qPrintable(places[i].name)) << i;
    }

    void lockAndSocketLiveOnlyWhereNobodyElseMayGo()
    {
        QFETCH(int, place);
        const PrivatePlace given = privatePlaces().at(place);
        if (given.needsOtherUser && !m_other)
            QSKIP("a second user can be made only where the tests run as root");
        QTemporaryDir folder;
        const auto restore = qScopeGuard([this] { usePrivateDirectoryUnder(m_home.path()); });
        QVERIFY(given.setUp(folder.path()));
        const QMap<QString, QByteArray> before = dirSnapshot(folder.path());

        const QString dir = f->programDir(), key = SingleInstance::keyFor(dir);
        const QString expected = given.used.isEmpty() ? QString() : folder.filePath(given.used);
        QStringList paths{SingleInstance::lockPathFor(key)};
        // A named pipe stands in no directory.
        if (fileSystemHoldsPipesAndDevices())
            paths << SingleInstance::socketPathFor(key);
        for (const QString &path : std::as_const(paths))
            QCOMPARE(path.isEmpty() ? QString() : QFileInfo(path).absolutePath(), expected);
        auto first = std::make_unique<SingleInstance>(QStringList{dir});
        QVERIFY(first->acquire());
        QCOMPARE(SingleInstance({dir}).acquire(), expected.isEmpty());
        if (expected.isEmpty()) {
            QCOMPARE(dirSnapshot(folder.path()), before);
            return;
        }
        QCOMPARE(whyOthersMayEnter(expected), QString());
        // The program that ends takes its lock and socket with it.
        QVERIFY(first->listen([] {}));
        first.reset();
        QCOMPARE(QDir(expected).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
    }
};

YZ_TEST_MAIN(tst_single_instance)
#include "tst_single_instance.moc"
