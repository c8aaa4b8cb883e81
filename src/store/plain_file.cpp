#include "store/plain_file.h"

#include "store/platform.h"

#include <QFile>

namespace plainfile {

namespace {

bool refuse(Problem kind, const QString &text, Problem *problem, QString *why)
{
    if (problem)
        *problem = kind;
    if (why)
        *why = text;
    return false;
}

} // namespace

bool open(const QString &path, qint64 maxBytes, QFile &file, Problem *problem, QString *why)
{
    if (problem)
        *problem = Problem::None;
    platform::Kind kind = platform::Kind::Missing;
    qint64 size = 0;
    QString error;
    // Opened only once the name is known to be a regular file, and looked at
    // again once open: opening a pipe waits for a writer, and opening a
    // device may already do something.
    const bool opened = platform::openRegularForReading(path, file, &kind, &size, &error);
    switch (kind) {
    case platform::Kind::Missing:
        return refuse(Problem::Missing, QStringLiteral("文件不存在"), problem, why);
    case platform::Kind::Directory:
    case platform::Kind::Other:
        return refuse(Problem::NotPlain, QStringLiteral("不是普通文件"), problem, why);
    case platform::Kind::Unknown:
        return refuse(Problem::Unreadable, error, problem, why);
    case platform::Kind::Regular:
        break;
    }
    if (!opened)
        return refuse(Problem::Unreadable, error, problem, why);
    if (size > maxBytes) {
        file.close();
        return refuse(Problem::TooBig, QStringLiteral("文件太大"), problem, why);
    }
    return true;
}
bool read(const QString &path, qint64 maxBytes, QByteArray &bytes, Problem *problem, QString *why)
{
    QFile file;
    if (!open(path, maxBytes, file, problem, why))
        return false;
    QByteArray data;
    data.reserve(qsizetype(file.size()));
    constexpr qint64 kBlock = 1 << 20;
    for (;;) {
        const QByteArray block = file.read(std::min(kBlock, maxBytes - data.size() + 1));
        if (block.isEmpty())
            break;
        data += block;
        if (data.size() > maxBytes)
            return refuse(Problem::TooBig, QStringLiteral("文件太大"), problem, why);
    }
    if (file.error() != QFileDevice::NoError)
        return refuse(Problem::Unreadable, file.errorString(), problem, why);
    bytes = std::move(data);
    return true;
}

} // namespace plainfile
