// What every window is handed: where the program lives, the novel the user
// chose, the dialogs and the way to the other windows.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class DataSource;
class Prompts;
class QWidget;
class SnapshotKeeper;
class WritingLog;
struct TextQuery;

// The windows the chapter manager opens on the novel it shows. Each is given
// the manager's data source, standing on the chapter chosen where the window
// needs one, and the manager, which stays disabled while a window that
// stores into its data source is open. A window to come of this kind (the
// whole-book search, a chapter's history, the writing statistics) is one more
// value here and one more case in the program's navigator.
enum class ManagerWindow {
    EditChapter,    // the editor on the chosen chapter
    ReadChapter,    // the editor on the chosen chapter, locked
    EditNewChapter, // the editor, empty, on the chapter just added
    ChapterNotes,   // the notes of the chosen chapter, modal: returns once closed
    ChapterHistory, // the chosen chapter's earlier texts, modal: returns once closed
    LostChapters,   // the chapters the snapshots hold and the novel lost, modal
    // 写作统计: the writer's figures for this novel and for all; modeless,
    // stores nothing into the manager's data source.
    WritingStatistics,
    // 全书查找替换: modeless over the manager and closed with it; moves the
    // manager's data source only to open a hit as EditChapter does.
    BookSearch,
};

// Shows the program's windows; each call creates the window afresh. Windows
// ask for one another only through here, so that no window folder includes
// another.
class Navigator
{
public:
    virtual ~Navigator() = default;
    virtual void showLibrary() = 0;
    virtual void showChapterManager() = 0;
    virtual void showNewNovel() = 0;
    virtual void showNovelInfo() = 0;
    virtual void showAbout(QWidget *beside) = 0;
    virtual void showFromManager(ManagerWindow window, DataSource &data, QWidget *manager) = 0;
    // Brings the window opened from manager that takes the input in its
    // place (the editor) to the front; false when none is open.
    virtual bool raiseOpenedFrom(QWidget *manager) = 0;
    // Shows a hit of query in the editor opened from manager, selected and
    // in view: the hit nearest to start, a place in the chapter's text as
    // the file keeps it. False when no editor is open from manager.
    virtual bool showHitInEditor(QWidget *manager, const TextQuery &query, int start)
    {
        Q_UNUSED(manager);
        Q_UNUSED(query);
        Q_UNUSED(start);
        return false;
    }
};

struct AppContext
{
    // The directory of Config.ini, 空数据库.mdb, 默认.jpg, skin/ and the
    // novels that come with the program: beside the binary in production, a
    // temporary directory in tests.
    QString programDir;
    // Where the program writes when it may not write into programDir (an
    // installed program): the user's own data location. Empty for a portable
    // folder, which keeps everything beside the program.
    QString userDir;
    // Full path of the novel file chosen in the library.
    QString currentNovelPath;
    Prompts *prompts = nullptr;
    Navigator *nav = nullptr;
    // Takes the snapshots of the novels the chapter manager opens; none when
    // not given.
    SnapshotKeeper *snapshots = nullptr;
    // Keeps the writer's day (what was written, the goal); none when not given.
    WritingLog *writing = nullptr;
    // Hands an address to the system's web browser.
    std::function<bool(const QUrl &)> openUrl;
    // What the library last said of the files it cannot show, so that each
    // return to it does not say the same again.
    QString unlistedTold;

    QString programFile(const QString &name) const { return programDir + QLatin1Char('/') + name; }
    // A file the program writes itself (the cover buffer, the default data
    // directory): in userDir where there is one, else beside the program.
    QString writableFile(const QString &name) const
    {
        return (userDir.isEmpty() ? programDir : userDir) + QLatin1Char('/') + name;
    }
    // The Config.ini files in the order they are read: the user's own first.
    QStringList iniPaths() const;
    // Value of the key from the first Config.ini that has it, else defaultValue.
    QString setting(const QString &section, const QString &key, const QString &defaultValue) const;
    // The data directory with a trailing separator, as Config.ini sets it.
    QString dataPrefix() const;
};

// Path of the skin file from the two Skin settings of Config.ini.
QString skinFilePath(const AppContext &ctx);

// Decides where the program of programDir writes. A writable program
// directory is a portable folder and keeps every role. Otherwise userLocation
// takes the writable roles; on first start it gets the default data directory
// with copies of the novels that come with the program, so that the user has
// something to open and the installed originals stay untouched.
void settleDirectories(AppContext &ctx, const QString &programDir, const QString &userLocation);
