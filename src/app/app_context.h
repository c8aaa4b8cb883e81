// What every window is handed: where the program lives, the novel the user
// chose, the dialogs and the way to the other windows.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class Prompts;
class QWidget;
class SnapshotKeeper;

// Shows the program's windows; each call creates the window afresh.
class Navigator
{
public:
    virtual ~Navigator() = default;
    virtual void showLibrary() = 0;
    virtual void showChapterManager() = 0;
    virtual void showNewNovel() = 0;
    virtual void showNovelInfo() = 0;
    virtual void showAbout(QWidget *beside) = 0;
};

struct AppContext
{
    // The directory of Config.ini, 空数据库.mdb, 默认.jpg, skin/ and the
    // temporary pictures: beside the binary in production, a temporary
    // directory in tests.
    QString programDir;
    // Full path of the novel file chosen in the library.
    QString currentNovelPath;
    Prompts *prompts = nullptr;
    Navigator *nav = nullptr;
    // Takes the snapshots of the novels the chapter manager opens; none when
    // not given.
    SnapshotKeeper *snapshots = nullptr;
    // Hands an address to the system's web browser.
    std::function<bool(const QUrl &)> openUrl;

    QString programFile(const QString &name) const { return programDir + QLatin1Char('/') + name; }
    QString iniPath() const { return programFile(QStringLiteral("Config.ini")); }
    // The data directory with a trailing separator, as Config.ini sets it.
    QString dataPrefix() const;
};
