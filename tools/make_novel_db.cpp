// Build tool: makes a novel file from SQL text and a cover picture.
// Usage: make_novel_db OUTPUT.mdb COVER.jpg SCRIPT.sql...  (scripts run in order)
#include "store/novel_file.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: make_novel_db OUTPUT.mdb COVER.jpg SCRIPT.sql...\n");
        return 2;
    }
    QString script;
    for (int i = 3; i < args.size(); ++i) {
        QFile f(args[i]);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make_novel_db: cannot read %s\n", qPrintable(args[i]));
            return 1;
        }
        script += QString::fromUtf8(f.readAll()) + QLatin1Char('\n');
    }
    QFile cover(args[2]);
    if (!cover.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_novel_db: cannot read %s\n", qPrintable(args[2]));
        return 1;
    }
    QString error;
    if (!novelfile::createFromScript(args[1], script, cover.readAll(), &error)) {
        std::fprintf(stderr, "make_novel_db: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
