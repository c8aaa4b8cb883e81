#include "library/data_directory.h"

#include "app/app_context.h"
#include "store/file_lister.h"

#include <QDir>

namespace {

QString dataDirectory(const AppContext &ctx)
{
    return QDir::cleanPath(ctx.dataPrefix());
}

} // namespace

QString dataDirectoryProblem(const AppContext &ctx)
{
    const QString dir = dataDirectory(ctx);
    const QString problem = listingProblem(dir);
    // A configured path that is missing may be cut short or on a drive that
    // is gone: making it would put novels where nobody looks for them.
    if (problem == kNoSuchDirectory && dir == QDir::cleanPath(ctx.writableFile(QStringLiteral("data"))))
        return {};
    return problem;
}

QString dataDirectoryMessage(const AppContext &ctx, const QString &problem)
{
    return QStringLiteral("无法读取数据目录“%1”（%2），请检查 Config.ini 中 [Main] 的 Path 设置。")
        .arg(dataDirectory(ctx), problem);
}
