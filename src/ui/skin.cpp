#include "ui/skin.h"

#include "store/plain_file.h"

#include <QApplication>
#include <QFont>

bool applySkin(const QString &skinFile)
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return false;
    // A skin that is no plain file, or bigger than any style sheet, is a
    // broken skin: the plain look.
    QByteArray bytes;
    QString sheet;
    if (plainfile::read(skinFile, kMaxSkinBytes, bytes))
        sheet = QString::fromUtf8(bytes);
    if (app->styleSheet() != sheet)
        app->setStyleSheet(sheet);
    return !sheet.isEmpty();
}

void installFontFallbacks()
{
    const QStringList cjk = {QStringLiteral("SimSun"),
                             QStringLiteral("Noto Serif CJK SC"),
                             QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("WenQuanYi Micro Hei"),
                             QStringLiteral("WenQuanYi Zen Hei"),
                             QStringLiteral("AR PL UMing CN")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), cjk);
}
