// Novel files as whole files: making one from schema text, removing one.
#pragma once

#include <QByteArray>
#include <QString>

namespace novelfile {

// Creates a new novel file at path by running the SQL script (statements
// separated by ";" at line ends); the placeholder :cover takes coverBytes.
// The file must not exist yet. On failure nothing is left at path.
bool createFromScript(const QString &path, const QString &script, const QByteArray &coverBytes,
                      QString *error = nullptr);

// Removes the novel file and the files SQLite keeps beside it.
bool remove(const QString &path, QString *error = nullptr);

// The files SQLite may keep beside a novel file.
QStringList sidecars(const QString &path);

// Why a title cannot give the name of a novel file of its own in the data
// directory (the title followed by ".mdb").
enum class NameProblem {
    None,
    Separator,        // "/" or "\\" would lead out of the data directory
    ControlCharacter, // line breaks, tabs and the like
    LeadingDot,       // a hidden file, which the library would not list
    TooLong,          // with its longest side-file suffix, more than the file system takes in one name
};
NameProblem titleNameProblem(const QString &title);
// The file name of a new novel with this title.
QString fileNameFor(const QString &title);
// The longest file name the file system takes, in bytes of UTF-8.
constexpr int kMaxFileNameBytes = 255;
// "-journal": the longest suffix of the files SQLite keeps beside a novel.
constexpr int kLongestSidecarSuffix = 8;

// Reads a cover picture file whole. Fails, saying why, when the file is
// missing, not a regular file, empty, unreadable or too big to store.
bool readCover(const QString &path, QByteArray &bytes, QString *error = nullptr);
// The largest cover picture the program stores.
constexpr qint64 kMaxCoverBytes = 64 * 1024 * 1024;

// Makes the file at path hold exactly bytes by putting a new file in its
// place: whatever had that name (an older, longer file, a link, a pipe) is
// replaced, never written through or appended to.
bool writeWhole(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Copies source, a regular file of at most kMaxTemplateBytes, to a new hidden
// file in directory, which the library does not list, and gives its path in
// tempPath. On failure nothing is left behind.
bool copyToTemporary(const QString &source, const QString &directory, QString *tempPath, QString *error = nullptr);
// The largest template copied: an empty novel with the biggest cover.
constexpr qint64 kMaxTemplateBytes = 2 * kMaxCoverBytes;

// Gives the finished novel file at from its name to; never replaces a file
// that is already there.
bool placeNew(const QString &from, const QString &to, QString *error = nullptr);

// True when the file at path is a whole novel: its pages check out and it
// holds the tables 信息, 分卷 and 小说. Says why not otherwise.
bool isSoundNovel(const QString &path, QString *error = nullptr);

// Removes what copyToTemporary left in directory when the program ended
// before the new novel was finished.
void removeUnfinished(const QString &directory);

} // namespace novelfile
