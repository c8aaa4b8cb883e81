// One program per program directory and per data directory, proved with the
// real program started twice: the second start hands over to the first and
// writes nothing, and a killed program leaves nothing that blocks the next.
// Nothing another user or a stray file puts where the lock goes can hang a
// start or end it unseen.
#include "app/single_instance.h"
#include "dir_snapshot.h"
#include "fixture.h"
#include "store/ansi_codec.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <pwd.h>
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

QString lockOf(const QString &dir)
{
    return SingleInstance::lockPathFor(SingleInstance::keyFor(dir));
}

// A directory with the given mode, owned by owner.
bool makeDir(const QString &path, mode_t mode, uid_t owner = ::getuid())
{
    const QByteArray name = QFile::encodeName(path);
    return QDir().mkpath(path) && ::chmod(name.constData(), mode) == 0 && ::chown(name.constData(), owner, -1) == 0;
}

// A second user of this machine, made for the length of the test program
// where it runs as root.
class OtherUser
{
public:
    OtherUser()
    {
        if (::getuid() != 0) {
            m_why = QStringLiteral("a second user can be made only where the tests run as root");
            return;
        }
        const QByteArray name = "yanzhou-other";
        if (!::getpwnam(name.constData())) {
            m_made = QProcess::execute(QStringLiteral("useradd"),
                                       {"-M", "-r", "-s", "/usr/sbin/nologin", QString::fromLatin1(name)}) == 0;
            if (!m_made)
                m_why = QStringLiteral("useradd could not make a second user");
        }
        if (const struct passwd *pw = ::getpwnam(name.constData()))
            m_uid = pw->pw_uid;
    }
    ~OtherUser()
    {
        if (m_made)
            QProcess::execute(QStringLiteral("userdel"), {QStringLiteral("yanzhou-other")});
    }
    // 0 when there is none; why() says why.
    uid_t uid() const { return m_uid; }
    QString why() const { return m_why; }

private:
    uid_t m_uid = 0;
    bool m_made = false;
    QString m_why;
};

enum class Planted { Pipe, EndlessDevice, LinkOutside, Directory, Empty, Garbage, DeadHolder, OtherUsers };

} // namespace

Q_DECLARE_METATYPE(Planted)

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
    OtherUser m_other;

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
        QVERIFY(makeDir(m_runtime, 0700));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
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
        QTest::addColumn<Planted>("planted");
        QTest::addColumn<bool>("atSocket");
        QTest::newRow("a pipe") << Planted::Pipe << false;
        QTest::newRow("a link to the endless zero device") << Planted::EndlessDevice << false;
        QTest::newRow("a link to a file elsewhere") << Planted::LinkOutside << false;
        QTest::newRow("a directory") << Planted::Directory << false;
        QTest::newRow("an empty lock, as a power loss leaves it") << Planted::Empty << false;
        QTest::newRow("garbage") << Planted::Garbage << false;
        QTest::newRow("the lock of a program that was killed") << Planted::DeadHolder << false;
        QTest::newRow("a file of another user") << Planted::OtherUsers << false;
        QTest::newRow("a directory where the socket goes") << Planted::Directory << true;
        QTest::newRow("a link where the socket goes") << Planted::LinkOutside << true;
    }

    void whateverStandsWhereTheLockGoesTheProgramStarts()
    {
        QFETCH(Planted, planted);
        QFETCH(bool, atSocket);
        const QString dir = programDir(QStringLiteral("甲"));
        const QString key = SingleInstance::keyFor(dir);
        const QString at = atSocket ? SingleInstance::socketPathFor(key) : SingleInstance::lockPathFor(key);
        QVERIFY(at.startsWith(m_runtime + QLatin1Char('/')));
        const QString outside = f->path(QStringLiteral("别处.txt"));
        f->writeFile(outside, "not to be touched");
        switch (planted) {
        case Planted::Pipe:
            // Opened to read, it would hold the start for ever.
            QCOMPARE(::mkfifo(QFile::encodeName(at).constData(), 0600), 0);
            break;
        case Planted::EndlessDevice:
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), at));
            break;
        case Planted::LinkOutside:
            QVERIFY(QFile::link(outside, at));
            break;
        case Planted::Directory:
            QVERIFY(QDir().mkpath(at));
            break;
        case Planted::Empty:
            f->writeFile(at, QByteArray());
            break;
        case Planted::Garbage:
            f->writeFile(at, QByteArray(300, '\x9C'));
            break;
        case Planted::DeadHolder:
            f->writeFile(at, "999999999\nyanzhou\nelsewhere\n");
            break;
        case Planted::OtherUsers:
            if (!m_other.uid())
                QSKIP(qPrintable(m_other.why()));
            f->writeFile(at, QByteArray());
            QCOMPARE(::chown(QFile::encodeName(at).constData(), m_other.uid(), -1), 0);
            break;
        }

        QProcess *first = startAndWait(dir);
        QVERIFY2(answers(dir), "the program did not come up");
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(readAll(outside), QByteArray("not to be touched"));
        // And it is the one program there: a second start hands over.
        QProcess *second = start(dir);
        QVERIFY(second->waitForFinished(8000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void lockAndSocketLiveOnlyWhereNobodyElseMayGo_data()
    {
        QTest::addColumn<QString>("runtime"); // "none", or the runtime directory's mode and owner
        QTest::addColumn<QString>("ours");    // our directory in the cache before: "none", "open", "other's"
        QTest::addColumn<QString>("used");    // "runtime", "ours", or "" for no lock at all
        QTest::newRow("no runtime directory") << "none"
                                              << "none"
                                              << "ours";
        QTest::newRow("a private runtime directory") << "0700"
                                                     << "none"
                                                     << "runtime";
        QTest::newRow("a runtime directory open to all, like /tmp") << "1777"
                                                                    << "none"
                                                                    << "ours";
        QTest::newRow("a runtime directory the group may read") << "0750"
                                                                << "none"
                                                                << "ours";
        QTest::newRow("a runtime directory of another user") << "0700 other"
                                                             << "none"
                                                             << "ours";
        QTest::newRow("our directory, once made open to all") << "none"
                                                              << "open"
                                                              << "ours";
        QTest::newRow("our directory's name taken by another user") << "none"
                                                                    << "other's"
                                                                    << "";
    }

    void lockAndSocketLiveOnlyWhereNobodyElseMayGo()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, ours);
        QFETCH(QString, used);
        if ((runtime.contains(QLatin1String("other")) || ours == QLatin1String("other's")) && !m_other.uid())
            QSKIP(qPrintable(m_other.why()));
        QTemporaryDir place;
        const QString runDir = place.filePath(QStringLiteral("run"));
        const QString cache = place.filePath(QStringLiteral("cache"));
        const QString ourDir = cache + QStringLiteral("/yanzhou-run");
        if (runtime == QLatin1String("none")) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            QVERIFY(makeDir(runDir, mode_t(runtime.left(4).toUInt(nullptr, 8)),
                            runtime.endsWith(QLatin1String("other")) ? m_other.uid() : ::getuid()));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runDir));
        }
        if (ours == QLatin1String("open"))
            QVERIFY(makeDir(ourDir, 0755));
        else if (ours == QLatin1String("other's"))
            QVERIFY(makeDir(ourDir, 0755, m_other.uid()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        const auto restore = qScopeGuard(
            [this] { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache")))); });
        const QMap<QString, QByteArray> before = dirSnapshot(place.path());

        const QString dir = f->programDir();
        const QString lock = lockOf(dir);
        const QString socket = SingleInstance::socketPathFor(SingleInstance::keyFor(dir));
        const QString expected = used == QLatin1String("runtime") ? runDir : used.isEmpty() ? QString() : ourDir;
        QCOMPARE(lock.isEmpty() ? QString() : QFileInfo(lock).absolutePath(), expected);
        QCOMPARE(socket.isEmpty() ? QString() : QFileInfo(socket).absolutePath(), expected);
        auto first = std::make_unique<SingleInstance>(QStringList{dir});
        QVERIFY(first->acquire());
        if (expected.isEmpty()) {
            // No place of the user's own: the program runs unlocked rather
            // than not at all, and writes nothing into another's directory.
            QCOMPARE(dirSnapshot(place.path()), before);
            return;
        }
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(expected).constData(), &st), 0);
        QCOMPARE(st.st_uid, ::getuid());
        QCOMPARE(st.st_mode & 077, mode_t(0));
        QVERIFY(QFileInfo(lock).isFile());
        QVERIFY(first->listen([] {}));
        SingleInstance second({dir});
        QVERIFY(!second.acquire());
        // The program that ends takes its lock and socket with it.
        first.reset();
        QVERIFY(!QFileInfo::exists(lock));
        QVERIFY(!QFileInfo::exists(socket));
        QVERIFY(second.acquire());
    }
};

QTEST_MAIN(tst_single_instance)
#include "tst_single_instance.moc"
