#pragma once
// Users for tests: there is no default user, so a test that logs on makes
// the user it logs on with.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::test {

// The name and password the tests' administrator logs on with.
inline const QString kAdminName = QStringLiteral("user");
inline const QString kAdminPassword = QStringLiteral("changeme");

// A user with every right (Firstname Lastname), as the first start's
// question makes one; its ID.
qint64 addAdministrator(const QSqlDatabase &db, const QString &name = kAdminName,
                        const QString &password = kAdminPassword);
// A user with every right but the ones named; its ID.
qint64 addUserWithout(const QSqlDatabase &db, const QString &name, const QString &password,
                      const QStringList &withoutRights);
// Logs on through the ordinary log-on (login()); false when refused.
bool logOn(AppContext &ctx, const QString &name = kAdminName, const QString &password = kAdminPassword);
// Every right on the context's user without a row of the user table (tests
// that drive operations directly); the user's ID is `id`.
void grantEveryRight(AppContext &ctx, int id = 7);

} // namespace velmor::test
