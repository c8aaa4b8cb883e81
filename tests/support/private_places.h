// Where the program keeps its locks (platform::privateDirectory), set up by
// the tests under folders of their own so that none reaches the user's, in
// each of the ways it can stand before a start on this system.
#pragma once

#include <QList>
#include <QString>
#include <functional>

// The second user some tests make where they run as root.
constexpr const char *kOtherUser = "yanzhou-other";
// Makes that user; false where this system or the user running the tests
// cannot.
bool makeOtherUser();
void removeOtherUser();

// Points this process and the programs it starts at a private directory
// under base, and gives that directory, made.
QString usePrivateDirectoryUnder(const QString &base);

// One way the places for the locks can stand before a start.
struct PrivatePlace
{
    QString name;
    bool needsOtherUser;
    // Makes the places under base and points this process at them.
    std::function<bool(const QString &base)> setUp;
    // The directory the program must use, relative to base; empty for none
    // (then it runs without a lock rather than not at all).
    QString used;
};
QList<PrivatePlace> privatePlaces();

// Why another user may enter dir; empty when only the user running the
// tests may.
QString whyOthersMayEnter(const QString &dir);
