// A small file system of its own in a temporary directory, to run a program
// out of room or out of file names. Needs the right to mount (the tests run
// as root in CI); isMounted() says whether it could be made.
#pragma once

#include <QString>
#include <QTemporaryDir>

class SmallDisk
{
public:
    // sizeBytes of room and at most files files (directories included).
    SmallDisk(qint64 sizeBytes, int files);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Makes empty files until no more names can be made.
    void useUpFileNames();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
