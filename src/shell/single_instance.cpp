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
#include <QLockFile>
#include <QThread>
#include <QWidget>

namespace {

const QByteArray kActivate = "activate\n";
const QByteArray kDone = "ok\n";

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

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString &dir)
{
    const QByteArray hash =
        QCryptographicHash::hash(claimedPath(dir).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("yanzhou-%1-%2").arg(platform::userKey()).arg(QString::fromLatin1(hash));
}

QString SingleInstance::lockPathFor(const QString &key)
{
    // The user's runtime directory where the session has one; the key names
    // the user, so the shared temporary directory serves as well.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + key + QStringLiteral(".lock");
}

bool SingleInstance::acquire()
{
    m_locks.clear();
    m_busyKey.clear();
    for (const QString &key : std::as_const(m_keys)) {
        auto lock = std::make_unique<QLockFile>(lockPathFor(key));
        // No age makes a lock stale: only a holder that no longer runs does.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            // A lock that cannot even be made (no runtime directory) must not
            // keep the user from writing.
            if (lock->error() == QLockFile::LockFailedError) {
                m_busyKey = key;
                m_locks.clear();
                return false;
            }
            continue;
        }
        m_locks.push_back(std::move(lock));
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
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(m_busyKey);
        if (socket.waitForConnected(int(std::max<qint64>(1, timeoutMs - clock.elapsed()))))
            break;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(100);
    }
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(int(std::max<qint64>(1, timeoutMs - clock.elapsed()))))
        return false;
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
    for (const QString &key : std::as_const(m_keys)) {
        auto *server = new QLocalServer(this);
        server->setSocketOptions(QLocalServer::UserAccessOption);
        // A socket left by a program that was killed is ours to replace: we
        // hold the lock.
        QLocalServer::removeServer(key);
        if (!server->listen(key)) {
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
                if (socket->readLine() == kActivate) {
                    if (m_onActivate)
                        m_onActivate();
                    socket->write(kDone);
                    socket->flush();
                }
                socket->disconnectFromServer();
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
