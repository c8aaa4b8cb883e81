#include "store/windows_names.h"

#include <QStringList>
#include <QStringView>

namespace windowsnames {

bool isReservedName(const QString &name)
{
    // Windows reads CON, CON.txt, "CON .txt" and CON: alike as the console,
    // in any letter case, in any directory.
    QString base = name.left(name.indexOf(QLatin1Char('.')));
    base = base.left(base.indexOf(QLatin1Char(':')));
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    base = base.toUpper();
    static const QStringList plain = {QStringLiteral("CON"),   QStringLiteral("PRN"),    QStringLiteral("AUX"),
                                      QStringLiteral("NUL"),   QStringLiteral("CONIN$"), QStringLiteral("CONOUT$"),
                                      QStringLiteral("CLOCK$")};
    if (plain.contains(base))
        return true;
    if (base.size() != 4 || !(base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))))
        return false;
    // COM0 to COM9, and the superscript ¹ ² ³ that Windows counts as digits.
    const QChar n = base[3];
    return (n >= QLatin1Char('0') && n <= QLatin1Char('9')) || n == QChar(0xB9) || n == QChar(0xB2) || n == QChar(0xB3);
}

bool isDevicePath(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (p.startsWith(QLatin1String("\\\\.\\")) || p.startsWith(QLatin1String("\\\\?\\")) ||
        p.startsWith(QLatin1String("\\??\\")))
        return true;
    if (p.startsWith(QLatin1String("\\\\"))) {
        // \\server\share\…: opening a pipe or mail slot talks to whatever
        // serves it.
        const QList<QStringView> parts = QStringView(p).mid(2).split(QLatin1Char('\\'));
        if (parts.size() >= 2 && (parts[1].compare(QLatin1String("pipe"), Qt::CaseInsensitive) == 0 ||
                                  parts[1].compare(QLatin1String("mailslot"), Qt::CaseInsensitive) == 0))
            return true;
    }
    while (p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    return isReservedName(p.mid(p.lastIndexOf(QLatin1Char('\\')) + 1));
}

QString fileNameProblem(const QString &name)
{
    static const QString forbidden = QStringLiteral("<>:\"|?*");
    for (const QChar c : name) {
        if (forbidden.contains(c))
            return QStringLiteral("不能有字符“%1”").arg(c);
    }
    if (isReservedName(name))
        return QStringLiteral("“%1”是系统留给设备的名字").arg(name.left(name.indexOf(QLatin1Char('.'))));
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("结尾不能是点或空格");
    return {};
}

} // namespace windowsnames
