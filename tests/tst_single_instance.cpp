// One program per program directory and per data directory, proved with the
// real program started twice: the second start hands over to the first and
// writes nothing, and a killed program leaves nothing that blocks the next.
// Nothing another user or a stray file puts where the lock goes can hang a
// start or end it unseen.
#include "shell/single_instance.h"
#include "dir_snapshot.h"
#include "fixture.h"
#include "store/ansi_codec.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

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
    // The session's runtime directory for this test, and the user's cache:
    // nothing lands in the real ones.
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
        QFile::copy(QStringLiteral(YZ_PROGRAM_FILE), dir + QStringLiteral("/yanzhou"));
        if (!dataDir.isEmpty())
            f->writeFile(dir + QStringLiteral("/Config.ini"), "[Main]\r\nPath=" + ansi::encode(dataDir) + "\r\n");
        return dir;
    }

    QProcess *start(const QString &dir)
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(dir + QStringLiteral("/yanzhou"), {});
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
        m_runtime = m_home.filePath(QStringLiteral("run"));
        QVERIFY(sh(QStringLiteral("install -d -m 0700 %1"), m_runtime));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
        m_other = ::getuid() == 0 && sh(QStringLiteral("useradd -M -r yanzhou-other"), QString());
    }

    void cleanupTestCase()
    {
        if (m_other)
            sh(QStringLiteral("userdel yanzhou-other"), QString());
    }

    void init()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime));
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
        ::kill(pid_t(killed->processId()), SIGKILL);
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
        ::kill(pid_t(stopped->processId()), SIGSTOP);
        SingleInstance instance({dir});
        const bool claimed = claimDirectories(instance, f->prompts, 500);
        ::kill(pid_t(stopped->processId()), SIGCONT);
        QVERIFY(!claimed);
        QCOMPARE(f->prompts.messages(), QStringList{QStringLiteral("砚舟写作系统已经在运行！")});
        QCOMPARE(f->prompts.calls[0].style, int(MsgInformation));
        QCOMPARE(f->prompts.calls[0].caption, appTitle());
    }

    void whateverStandsWhereTheLockGoesTheProgramStarts_data()
    {
        // What is put where the lock (%1) goes; %2 is a file elsewhere.
        QTest::addColumn<QString>("plant");
        QTest::addColumn<bool>("atSocket");
        // Opened to read, a pipe would hold the start for ever.
        QTest::newRow("a pipe") << "mkfifo %1" << false;
        QTest::newRow("a link to the endless zero device") << "ln -s /dev/zero %1" << false;
        QTest::newRow("a link to a file elsewhere") << "ln -s %2 %1" << false;
        QTest::newRow("a directory") << "mkdir %1" << false;
        QTest::newRow("an empty lock, as a power loss leaves it") << ": > %1" << false;
        QTest::newRow("garbage") << "head -c 300 /dev/urandom > %1" << false;
        QTest::newRow("the lock of a program that was killed") << "echo 999999999 > %1" << false;
        QTest::newRow("a file of another user") << "touch %1 && chown yanzhou-other %1" << false;
        QTest::newRow("a directory where the socket goes") << "mkdir %1" << true;
        QTest::newRow("a link where the socket goes") << "ln -s %2 %1" << true;
    }

    void whateverStandsWhereTheLockGoesTheProgramStarts()
    {
        QFETCH(QString, plant);
        QFETCH(bool, atSocket);
        const QString dir = programDir(QStringLiteral("甲"));
        const QString key = SingleInstance::keyFor(dir);
        const QString at = atSocket ? SingleInstance::socketPathFor(key) : SingleInstance::lockPathFor(key);
        QCOMPARE(QFileInfo(at).absolutePath(), m_runtime);
        const QString outside = f->path(QStringLiteral("别处.txt"));
        f->writeFile(outside, "not to be touched");
        if (!sh(plant, at, outside))
            QSKIP("a second user can be made only where the tests run as root");

        QProcess *first = startAndWait(dir);
        QVERIFY2(answers(dir), "the program did not come up");
        QCOMPARE(readAll(outside), QByteArray("not to be touched"));
        // And it is the one program there: a second start hands over.
        QProcess *second = start(dir);
        QVERIFY(second->waitForFinished(8000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void lockAndSocketLiveOnlyWhereNobodyElseMayGo_data()
    {
        // The runtime directory and ours in the cache as they stand before
        // (none, or made with these options to install -d), and which of
        // them the program uses.
        QTest::addColumn<QStringList>("given");
        QTest::newRow("no runtime directory") << QStringList{"", "", "ours"};
        QTest::newRow("a private runtime directory") << QStringList{"-m 0700", "", "runtime"};
        QTest::newRow("a runtime directory open to all, like /tmp") << QStringList{"-m 1777", "", "ours"};
        QTest::newRow("a runtime directory the group may read") << QStringList{"-m 0750", "", "ours"};
        QTest::newRow("a runtime directory of another user") << QStringList{"-m 0700 -o yanzhou-other", "", "ours"};
        QTest::newRow("ours, once made open to all") << QStringList{"", "-m 0755", "ours"};
        // Then no lock at all: the program runs rather than not at all.
        QTest::newRow("ours taken by another user") << QStringList{"", "-m 0755 -o yanzhou-other", ""};
    }

    void lockAndSocketLiveOnlyWhereNobodyElseMayGo()
    {
        QFETCH(QStringList, given);
        const QString &runtime = given[0], &ours = given[1], &used = given[2];
        if (given.join(QString()).contains(QLatin1String("other")) && !m_other)
            QSKIP("a second user can be made only where the tests run as root");
        QTemporaryDir place;
        const QString runDir = place.filePath(QStringLiteral("run"));
        const QString ourDir = place.filePath(QStringLiteral("cache/yanzhou-run"));
        qunsetenv("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty()) {
            QVERIFY(sh(QStringLiteral("install -d ") + runtime + QStringLiteral(" %1"), runDir));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runDir));
        }
        if (!ours.isEmpty())
            QVERIFY(sh(QStringLiteral("install -d ") + ours + QStringLiteral(" %1"), ourDir));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(place.filePath(QStringLiteral("cache"))));
        const auto restore = qScopeGuard(
            [this] { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache")))); });
        const QMap<QString, QByteArray> before = dirSnapshot(place.path());

        const QString dir = f->programDir(), key = SingleInstance::keyFor(dir);
        const QString expected = used == QLatin1String("runtime") ? runDir : used.isEmpty() ? QString() : ourDir;
        for (const QString &path : {SingleInstance::lockPathFor(key), SingleInstance::socketPathFor(key)})
            QCOMPARE(path.isEmpty() ? QString() : QFileInfo(path).absolutePath(), expected);
        auto first = std::make_unique<SingleInstance>(QStringList{dir});
        QVERIFY(first->acquire());
        QCOMPARE(SingleInstance({dir}).acquire(), expected.isEmpty());
        if (expected.isEmpty()) {
            QCOMPARE(dirSnapshot(place.path()), before);
            return;
        }
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(expected).constData(), &st), 0);
        QCOMPARE(st.st_uid, ::getuid());
        QCOMPARE(st.st_mode & 077, mode_t(0));
        // The program that ends takes its lock and socket with it.
        QVERIFY(first->listen([] {}));
        first.reset();
        QCOMPARE(QDir(expected).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
    }
};

QTEST_MAIN(tst_single_instance)
#include "tst_single_instance.moc"
