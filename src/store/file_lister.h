// Listing the novel files of a directory, and saying of a file that cannot
// be shown as a novel what it is instead.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Fills names with the bare names of the normal files of directory that
// match pattern ("*" and "?" wildcards, any letter case) and returns the
// number of elements. Directories and hidden files are skipped. With no
// matching file, names holds the single empty name and the count is 1, so a
// caller tells "none" from "one" by looking at element 0. Names come sorted
// without regard to case, which is the order the target file system lists.
// A matching file whose name the program cannot carry (see
// unreachableName) is not in names; its raw name goes to unreachable when
// given.
int ListFiles(const QString &directory, const QString &pattern, QStringList &names,
              QList<QByteArray> *unreachable = nullptr);

// Why directory cannot be listed: kNoSuchDirectory, "不是目录" or the
// system's reason; empty when it can.
QString listingProblem(const QString &directory);
extern const QString kNoSuchDirectory;

// A file name that is not valid text in the system's encoding of names, as
// near as it can be written: as GBK where it reads as GBK (gbk set), else
// with each stray byte written as \xNN.
QString unreachableName(const QByteArray &rawName, bool *gbk = nullptr);

// What a file is, as far as its first bytes and its list of tables tell: read
// without waiting on a pipe in its place and without making anything beside it.
enum class NovelFileKind {
    Novel,        // an SQLite file with the tables 信息, 分卷 and 小说
    Unreadable,   // missing, not a regular file, or the system refused it
    Empty,        // no bytes at all
    NotADatabase, // no SQLite file
    NotANovel,    // an SQLite file without the three tables
    Damaged,      // an SQLite file whose list of tables cannot be read
};
NovelFileKind novelFileKind(const QString &path, QString *why = nullptr);
