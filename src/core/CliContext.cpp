#include "core/Cli.h"

#include "core/AppContext.h"
#include "core/Configuration.h"

namespace velmor {

bool openCliContext(AppContext &ctx, CliIo &io, bool loadSettings)
{
    ctx.user.commandLine = true;
    try {
        ctx.open();
        if (loadSettings)
            GetConfigurationModule(ctx);
        return true;
    } catch (const db::ConnectError &e) {
        io.err << "velmor: " << e.message() << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the database could not be opened: " << e.message() << Qt::endl;
    }
    return false;
}

} // namespace velmor
