#pragma once
// A statement the database refused ends the operation with a message that
// says what could not be done and why, never in silence and never with the
// words of success.
#include "core/AppContext.h"
#include "db/Sql.h"

namespace velmor {

// "The customer could not be read:" and the engine's reason, as a message box.
inline void informFailure(AppContext &ctx, const QString &what, const QString &title, const db::DbError &e)
{
    ctx.prompt().inform(what + QStringLiteral(":\n\n") + e.message(), title, Icon::Critical);
}

} // namespace velmor
