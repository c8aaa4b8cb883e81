// 砚舟写作系统: starts on the library window.
#include "app/app_context.h"
#include "app/snapshot_keeper.h"
#include "app/window_navigator.h"
#include "ui/prompts.h"
#include "ui/skin.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(appTitle());

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
    ctx.programDir = QCoreApplication::applicationDirPath();
    ctx.prompts = &prompts;
    ctx.snapshots = &snapshots;
    ctx.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    WindowNavigator nav(ctx);
    ctx.nav = &nav;

    nav.showLibrary();
    return app.exec();
}
