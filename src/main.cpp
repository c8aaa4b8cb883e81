// 砚舟写作系统: starts on the library window.
#include "app/app_context.h"
#include "app/single_instance.h"
#include "app/window_navigator.h"
#include "store/novel_file.h"
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
    AppContext ctx;
    ctx.programDir = QCoreApplication::applicationDirPath();
    ctx.prompts = &prompts;
    ctx.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    WindowNavigator nav(ctx);
    ctx.nav = &nav;

    // Two programs on one program or data directory would write over each
    // other's chapters and covers: a second start hands over to the first.
    const QString dataDir = ctx.dataPrefix();
    SingleInstance instance({ctx.programDir, dataDir});
    if (!claimDirectories(instance, prompts))
        return 0;
    novelfile::removeUnfinished(dataDir);

    nav.showLibrary();
    instance.listen(bringWindowsForward);
    return app.exec();
}
