// 砚舟写作系统: starts on the library window.
#include "app/app_context.h"
#include "shell/single_instance.h"
#include "app/snapshot_keeper.h"
#include "app/writing_log.h"
#include "shell/start_check.h"
#include "shell/window_navigator.h"
#include "store/novel_file.h"
#include "store/platform.h"
#include "ui/prompts.h"
#include "ui/skin.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

static int run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Also the title of windows without one of their own, and the name of
    // the user's own data location (~/.local/share/砚舟写作系统).
    QApplication::setApplicationName(appTitle());
    // The desktop entry and icon that stand for the program's windows.
    QApplication::setDesktopFileName(QStringLiteral("org.example.yanzhou"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.example.yanzhou")));

    // Qt's own buttons and dialogs speak Chinese too.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    installFontFallbacks();

    QtPrompts prompts;
    SnapshotKeeper snapshots;
    AppContext ctx;
    settleDirectories(ctx, QCoreApplication::applicationDirPath(),
                      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    ctx.prompts = &prompts;
    ctx.snapshots = &snapshots;
    ctx.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    WindowNavigator nav(ctx);
    ctx.nav = &nav;

    // Two programs on one program or data directory would write over each
    // other's chapters and covers: a second start hands over to the first.
    const QString dataDir = ctx.dataPrefix();
    QStringList claimed{ctx.programDir, dataDir};
    if (!ctx.userDir.isEmpty())
        claimed << ctx.userDir;
    SingleInstance instance(claimed);
    if (!claimDirectories(instance, prompts))
        return 0;
    novelfile::removeUnfinished(dataDir);
    // The writer's day travels with the novels: its record lies beside them.
    WritingLog writing(dataDir + WritingLog::recordFileName());
    ctx.writing = &writing;

    quitWhenShownIfAsked(&app);
    nav.showLibrary();
    instance.listen(bringWindowsForward);
    return app.exec();
}

int main(int argc, char *argv[])
{
    return platform::endProgram(run(argc, argv));
}
