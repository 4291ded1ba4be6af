#include "core/UserCaption.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Row.h"
#include "db/Sql.h"

namespace velmor {

QString loggedInText(AppContext &ctx)
{
    if (ctx.user.ID == 0) {
        try {
            if (noUserYet(ctx.db()))
                return QStringLiteral("Not logged in (no user yet: Log on makes the first administrator)");
        } catch (const db::DbError &) {
        }
        return QStringLiteral("Not logged in");
    }
    try {
        QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT UserName, FirstName, LastName FROM `user` WHERE ID = ?"),
                               {ctx.user.ID});
        if (q.next()) {
            const QString full = (db::textOf(q.value(1)) + QLatin1Char(' ') + db::textOf(q.value(2))).trimmed();
            QString text = QStringLiteral("Logged in: ") + db::textOf(q.value(0));
            if (!full.isEmpty())
                text += QStringLiteral(" (") + full + QLatin1Char(')');
            return text;
        }
    } catch (const db::DbError &) {
    }
    return QStringLiteral("Logged in: user #%1").arg(ctx.user.ID);
}

} // namespace velmor
