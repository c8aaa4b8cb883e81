// private_places.h on Windows: the program's directory in the user's local
// application data, the one place there is.
#include "private_places.h"

#include "store/platform.h"

#include <QDir>
#include <QFile>
#include <windows.h>

namespace {

// For this process's own lookups and for the programs it starts alike.
void setLocalAppData(const QString &value)
{
    const std::wstring wide = QDir::toNativeSeparators(value).toStdWString();
    _wputenv((L"LOCALAPPDATA=" + wide).c_str());
    SetEnvironmentVariableW(L"LOCALAPPDATA", value.isEmpty() ? nullptr : wide.c_str());
}

} // namespace

bool makeOtherUser()
{
    return false;
}

void removeOtherUser()
{
}

QString usePrivateDirectoryUnder(const QString &base)
{
    QDir().mkpath(base + QStringLiteral("/local"));
    setLocalAppData(base + QStringLiteral("/local"));
    return platform::privateDirectory();
}

QList<PrivatePlace> privatePlaces()
{
    const QString ours = QStringLiteral("local/yanzhou-run");
    const auto local = [](const QString &base, bool made) {
        setLocalAppData(base + QStringLiteral("/local"));
        return QDir().mkpath(base + (made ? QStringLiteral("/local/yanzhou-run") : QStringLiteral("/local")));
    };
    return {
        {QStringLiteral("no local application data"), false,
         [](const QString &) {
             setLocalAppData(QString());
             return true;
         },
         QString()},
        {QStringLiteral("the user's local application data"), false, [=](const QString &b) { return local(b, false); },
         ours},
        {QStringLiteral("ours, made before"), false, [=](const QString &b) { return local(b, true); }, ours},
        // Then no lock at all: the program runs rather than not at all.
        {QStringLiteral("a file where ours goes"), false,
         [=](const QString &b) {
             QFile file(b + QStringLiteral("/local/yanzhou-run"));
             return local(b, false) && file.open(QIODevice::WriteOnly);
         },
         QString()},
    };
}

QString whyOthersMayEnter(const QString &)
{
    // The folder takes the access list of the user's local application data,
    // which keeps other users out; Wine keeps no access lists to look at.
    return {};
}
