// One running program per program directory and per data directory: a second
// start finds the first, asks it to bring its window forward, and ends.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class Prompts;
class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // dirs: the directories this program claims for itself.
    explicit SingleInstance(const QStringList &dirs, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when no other running program holds any of the directories; the
    // directories are then this program's until it ends. A program that
    // ended without letting go (a crash, a kill) holds nothing.
    bool acquire();
    // Asks the program that holds the directories to bring its window to the
    // front; true when it answered that it did.
    bool activateRunning(int timeoutMs = 3000);
    // Answers later starts from now on, calling onActivate for each.
    bool listen(std::function<void()> onActivate);

    // The name under which the program holding dir can be found.
    static QString keyFor(const QString &dir);
    // The lock file and the socket of that name, in a directory that only the
    // user may enter (empty when there is none), so that no other user can
    // stand in the way of a start or answer in the program's place.
    static QString lockPathFor(const QString &key);
    static QString socketPathFor(const QString &key);

private:
    struct Held
    {
        QString key;
        QString path;
        qintptr handle;
    };

    void answer();
    void release();

    QStringList m_keys;
    QString m_busyKey;
    std::vector<Held> m_locks;
    std::vector<QLocalServer *> m_servers;
    std::function<void()> m_onActivate;
};

// At start-up: true when this is the only program on its directories. Else
// the running one is brought forward, or, when it does not answer, the user
// is told that it runs; then false, and the caller ends without writing.
bool claimDirectories(SingleInstance &instance, Prompts &prompts, int timeoutMs = 3000);

// Brings the program's windows forward: the one that takes input in front.
void bringWindowsForward();
