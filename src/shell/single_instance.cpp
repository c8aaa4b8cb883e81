#include "shell/single_instance.h"

#include "store/platform.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace {

const QByteArray kActivate = "activate\n";
const QByteArray kDone = "ok\n";
// How long the answer waits for the caller to read it and hang up.
constexpr int kAnswerGraceMs = 5000;

QString claimedPath(const QString &dir)
{
    // The same directory reached by another path, or through a link, is the
    // same directory.
    const QFileInfo info(dir);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

SingleInstance::SingleInstance(const QStringList &dirs, QObject *parent) : QObject(parent)
{
    for (const QString &dir : dirs) {
        const QString key = keyFor(dir);
        if (!m_keys.contains(key))
            m_keys << key;
    }
}

SingleInstance::~SingleInstance()
{
    // Nobody is answered once the lock is gone.
    qDeleteAll(m_servers);
    release();
}

void SingleInstance::release()
{
    for (const Held &lock : m_locks)
        platform::unlockFile(lock.handle, lock.path);
    m_locks.clear();
}

QString SingleInstance::keyFor(const QString &dir)
{
    const QByteArray hash =
        QCryptographicHash::hash(claimedPath(dir).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("yanzhou-%1-%2").arg(platform::userKey()).arg(QString::fromLatin1(hash));
}

QString SingleInstance::lockPathFor(const QString &key)
{
    const QString dir = platform::privateDirectory();
    return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + key + QStringLiteral(".lock");
}

QString SingleInstance::socketPathFor(const QString &key)
{
    return platform::serverNameFor(key);
}

bool SingleInstance::acquire()
{
    release();
    m_busyKey.clear();
    for (const QString &key : std::as_const(m_keys)) {
        // A lock that cannot even be made (no private directory) must not
        // keep the user from writing.
        const QString path = lockPathFor(key);
        qintptr handle = 0;
        const platform::Lock lock = path.isEmpty() ? platform::Lock::Failed : platform::lockFile(path, &handle);
        if (lock == platform::Lock::Held) {
            m_busyKey = key;
            release();
            return false;
        }
        if (lock == platform::Lock::Taken)
            m_locks.push_back({key, path, handle});
    }
    return true;
}

bool SingleInstance::activateRunning(int timeoutMs)
{
    if (m_busyKey.isEmpty())
        return false;
    QElapsedTimer clock;
    clock.start();
    // The first program answers once its window is up; it may be starting.
    const QString server = socketPathFor(m_busyKey);
    if (server.isEmpty())
        return false;
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(server);
        if (socket.waitForConnected(int(std::max<qint64>(1, timeoutMs - clock.elapsed()))))
            break;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(100);
    }
    // Only the answer tells that the call got through: on Windows, waiting
    // for a write that has already gone out reports a failure.
    socket.write(kActivate);
    socket.flush();
    QByteArray reply;
    while (!reply.endsWith('\n') && clock.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - clock.elapsed()))))
            break;
        reply += socket.readAll();
    }
    return reply == kDone;
}

bool SingleInstance::listen(std::function<void()> onActivate)
{
    m_onActivate = std::move(onActivate);
    bool all = true;
    for (const Held &lock : m_locks) {
        const QString &key = lock.key;
        // Whatever stands at the socket's name (one left by a program that
        // was killed) is ours to replace: we hold the lock.
        const QString path = socketPathFor(key);
        if (path.isEmpty() || !platform::clearServerName(path)) {
            all = false;
            continue;
        }
        auto *server = new QLocalServer(this);
        // A socket in the private directory is closed to others by it; a
        // pipe, in no directory, by an access list of its own.
        if (!QDir::isAbsolutePath(path))
            server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!server->listen(path)) {
            delete server;
            all = false;
            continue;
        }
        connect(server, &QLocalServer::newConnection, this, &SingleInstance::answer);
        m_servers.push_back(server);
    }
    return all;
}

void SingleInstance::answer()
{
    for (QLocalServer *server : m_servers) {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->bytesAvailable() > 64) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() != kActivate) {
                    socket->disconnectFromServer();
                    return;
                }
                if (m_onActivate)
                    m_onActivate();
                socket->write(kDone);
                socket->flush();
                // The caller ends the talk once it has read the answer: a
                // pipe closed from this end drops what it has not yet read
                // (Windows), and the second start would then say the
                // program is already running instead of ending quietly.
                QTimer::singleShot(kAnswerGraceMs, socket, [socket] { socket->abort(); });
            });
        }
    }
}

bool claimDirectories(SingleInstance &instance, Prompts &prompts, int timeoutMs)
{
    if (instance.acquire())
        return true;
    if (!instance.activateRunning(timeoutMs))
        prompts.message(nullptr, QStringLiteral("砚舟写作系统已经在运行！"), MsgInformation, QString());
    return false;
}

void bringWindowsForward()
{
    // A modal box takes the input; else every window that takes any.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    QWidget *last = nullptr;
    for (QWidget *window : windows) {
        if (!window->isVisible() || !window->isEnabled() || (window->windowFlags() & Qt::Popup) == Qt::Popup)
            continue;
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        last = window;
    }
    if (last)
        last->activateWindow();
}
