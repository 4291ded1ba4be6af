#include "db/NamedLock.h"

#include "db/Retry.h"
#include "db/Sql.h"


namespace velmor::db {

NamedLock::NamedLock(const QSqlDatabase &db, const QString &name, int timeoutSeconds) : m_db(db)
{
    // One lock per database of the server: "<database>/<name>", at most the
    // 64 characters the server allows.
    m_name = (scalar(m_db, QStringLiteral("SELECT DATABASE()")).toString() + QLatin1Char('/') + name).right(64);
    const QVariant got = scalar(m_db, QStringLiteral("SELECT GET_LOCK(?, ?)"), {m_name, timeoutSeconds});
    if (got.isNull() || got.toInt() != 1) {
        m_name.clear();
        throw DbError(QStringLiteral("Lock wait timeout: another workstation holds \"%1\"").arg(name), {},
                      kLockWaitTimeout);
    }
}

NamedLock::~NamedLock()
{
    if (m_name.isEmpty())
        return;
    try {
        exec(m_db, QStringLiteral("SELECT RELEASE_LOCK(?)"), {m_name});
    } catch (const DbError &) {
        // The lock goes with the connection in any case.
    }
}

} // namespace velmor::db
