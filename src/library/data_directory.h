// The data directory as the library and the new-novel dialog meet it: the
// default one (beside the program, or in the user's data location) may be
// missing until the first novel is made; one named in Config.ini that cannot
// be listed is said, never made or passed over as empty.
#pragma once

#include <QString>

struct AppContext;

// Why the novels of the data directory (Config.ini's [Main] Path, or the
// default beside the program) cannot be listed; empty when they can, or when
// only the default directory is missing.
QString dataDirectoryProblem(const AppContext &ctx);

// The message for that problem, as the library and the new-novel dialog say it.
QString dataDirectoryMessage(const AppContext &ctx, const QString &problem);
