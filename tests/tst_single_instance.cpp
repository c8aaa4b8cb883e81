// One program per program directory and per data directory, proved with the
// real program started twice: the second start hands over to the first and
// writes nothing, and a killed program leaves nothing that blocks the next.
#include "shell/single_instance.h"
#include "dir_snapshot.h"
#include "fixture.h"
#include "process_control.h"
#include "store/ansi_codec.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

namespace {

// True once the program holding dir answers: it is up and has its windows.
bool answers(const QString &dir)
{
    QLocalSocket socket;
    socket.connectToServer(SingleInstance::keyFor(dir));
    return socket.waitForConnected(200);
}

} // namespace

class tst_single_instance : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFixture> f;
    QList<QProcess *> m_running;

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
    void init()
    {
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
};

QTEST_MAIN(tst_single_instance)
#include "tst_single_instance.moc"
