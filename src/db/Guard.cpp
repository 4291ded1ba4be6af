#include "db/Guard.h"

#include "db/Sql.h"

namespace velmor::db {

void claimGuard(const QSqlDatabase &db, GuardKind kind, qint64 key)
{
    // One row per kind and key; keys beyond the range share a row, which
    // only makes them wait for one another.
    const qint64 id = qint64(kind) * 100000000 + (key % 100000000 + 100000000) % 100000000;
    exec(db, QStringLiteral("INSERT INTO RowGuard (ID, n) VALUES (?, 1) ON DUPLICATE KEY UPDATE n = 1 - n"), {id});
}

} // namespace velmor::db
