#include "app/app_context.h"

#include "store/ini_reader.h"

QString AppContext::dataPrefix() const
{
    return ReadIniValue(iniPath(), QStringLiteral("Main"), QStringLiteral("Path"),
                        programFile(QStringLiteral("data"))) +
           QLatin1Char('/');
}
