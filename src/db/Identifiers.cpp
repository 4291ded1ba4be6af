#include "db/Identifiers.h"

namespace velmor::db {

QString likeLiteral(const QString &text)
{
    QString out = text;
    out.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    out.replace(QLatin1String("%"), QLatin1String("\\%"));
    out.replace(QLatin1String("_"), QLatin1String("\\_"));
    return out;
}

QString sameIdentifier(const QString &column, const QString &value, QVariantList &binds)
{
    const QString v = value.trimmed();
    binds << v << likeLiteral(v) + QStringLiteral(" %") << v;
    return QStringLiteral("(%1 = ? OR ((%1 LIKE ? OR %1 LIKE ' %') AND TRIM(%1) = ?))").arg(column);
}

} // namespace velmor::db
