// Listing the novel files of a directory.
#pragma once

#include <QString>
#include <QStringList>

// Fills names with the bare names of the normal files of directory that
// match pattern ("*" and "?" wildcards, any letter case) and returns the
// number of elements. Directories and hidden files are skipped. With no
// matching file, names holds the single empty name and the count is 1, so a
// caller tells "none" from "one" by looking at element 0. Names come sorted
// without regard to case, which is the order the target file system lists.
int ListFiles(const QString &directory, const QString &pattern, QStringList &names);

// Why directory cannot be listed: kNoSuchDirectory, "不是目录" or the
// system's reason; empty when it can.
QString listingProblem(const QString &directory);
extern const QString kNoSuchDirectory;
