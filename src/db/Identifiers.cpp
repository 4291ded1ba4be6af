#include "db/Identifiers.h"

#include "db/Sql.h"

namespace velmor::db {

QString sameIdentifier(const QString &column, const QString &value, QVariantList &binds)
{
    const QString v = value.trimmed();
    binds << v << likeLiteral(v) + QStringLiteral(" %") << v;
    return QStringLiteral("(%1 = ? OR ((%1 LIKE ? OR %1 LIKE ' %') AND TRIM(%1) = ?))").arg(column);
}

} // namespace velmor::db
