// A directory made read-only for the time of a test, the way a system
// package's directory is read-only even for root: a read-only bind mount of
// the directory over itself.
#pragma once

#include <QString>

class ReadOnlyMount
{
public:
    explicit ReadOnlyMount(const QString &dir);
    ~ReadOnlyMount();
    ReadOnlyMount(const ReadOnlyMount &) = delete;
    ReadOnlyMount &operator=(const ReadOnlyMount &) = delete;

    // False where this machine cannot make the directory read-only (not
    // root, no mount rights); the test then skips, saying why().
    bool isReadOnly() const { return m_mounted && m_why.isEmpty(); }
    QString why() const { return m_why; }

private:
    QString m_dir;
    QString m_why;
    bool m_mounted = false;
};
