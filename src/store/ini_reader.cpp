#include "store/ini_reader.h"

#include "store/ansi_codec.h"
#include "store/plain_file.h"

#include <QList>

namespace {

constexpr int kMaxValueBytes = 254;

QByteArray trimSpaces(QByteArray s)
{
    int b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.mid(b, e - b);
}

bool sameName(const QByteArray &a, const QString &b)
{
    return ansi::decode(a).compare(b, Qt::CaseInsensitive) == 0;
}

QString fitted(const QByteArray &bytes)
{
    return ansi::decode(bytes.left(ansi::prefixLength(bytes, kMaxValueBytes)));
}

} // namespace

QString ReadIniValue(const QString &file, const QString &section, const QString &key, const QString &defaultValue)
{
    // The default is the program's own text, often a path beside the
    // program: it keeps every character, even those GBK lacks, and its length.
    QString fallback = defaultValue;
    while (fallback.endsWith(QLatin1Char(' ')))
        fallback.chop(1);

    // A settings file that is no plain file or far too big to be one counts
    // as missing.
    QByteArray content;
    if (!plainfile::read(file, kMaxIniFileBytes, content))
        return fallback;
    const QList<QByteArray> lines = content.split('\n');

    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    bool inSection = false;
    for (const QByteArray &raw : lines) {
        const QByteArray line = trimSpaces(raw);
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const int close = line.indexOf(']');
            const QByteArray name = trimSpaces(line.mid(1, close < 0 ? -1 : close - 1));
            inSection = sameName(name, wantedSection);
            continue;
        }
        if (!inSection)
            continue;
        const int eq = line.indexOf('=');
        if (eq < 0 || !sameName(trimSpaces(line.left(eq)), wantedKey))
            continue;
        QByteArray value = trimSpaces(line.mid(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return fitted(value);
    }
    return fallback;
}
