#include "TestUsers.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Row.h"
#include "db/Sql.h"

namespace velmor::test {

qint64 addUserWithout(const QSqlDatabase &db, const QString &name, const QString &password,
                      const QStringList &withoutRights)
{
    QStringList columns = {QStringLiteral("UserName"), QStringLiteral("Password"), QStringLiteral("FirstName"),
                           QStringLiteral("LastName")};
    QVariantList values = {name, password, QStringLiteral("Firstname"), QStringLiteral("Lastname")};
    for (const QString &right : allRightColumns()) {
        columns << right;
        values << db::flagValue(!withoutRights.contains(right, Qt::CaseInsensitive));
    }
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return db::insert(db,
                      QStringLiteral("INSERT INTO `user` (%1) VALUES (%2)")
                          .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                      values);
}

qint64 addAdministrator(const QSqlDatabase &db, const QString &name, const QString &password)
{
    return addUserWithout(db, name, password, {});
}

bool logOn(AppContext &ctx, const QString &name, const QString &password)
{
    QString n = name, p = password;
    return login(ctx, n, p);
}

void grantEveryRight(AppContext &ctx, int id)
{
    ctx.user.ID = id;
    for (const QString &right : allRightColumns())
        ctx.user.set(right, true);
}

} // namespace velmor::test
