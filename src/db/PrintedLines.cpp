#include "db/PrintedLines.h"

#include "db/Sql.h"

#include <QSqlQuery>
#include <algorithm>

namespace velmor::db {

bool printedLinesAreAll(const QSqlDatabase &db, const QString &lineTable, const QString &parentColumn, qint64 id,
                        QList<qint64> printed)
{
    QList<qint64> now;
    QSqlQuery q = exec(db,
                       QStringLiteral("SELECT ID FROM %1 WHERE %2 = ? ORDER BY ID LOCK IN SHARE MODE")
                           .arg(lineTable, parentColumn),
                       {id});
    while (q.next())
        now << q.value(0).toLongLong();
    std::sort(printed.begin(), printed.end());
    return now == printed;
}

LinesAsPrinted linesAsPrinted(const QString &lineTable, const QString &parentColumn, qint64 id,
                              const QList<qint64> &printed)
{
    const qint64 last = printed.isEmpty() ? 0 : *std::max_element(printed.cbegin(), printed.cend());
    return {QStringLiteral("(SELECT COUNT(*) FROM %1 WHERE %2 = ?) = ? "
                           "AND (SELECT COALESCE(MAX(ID), 0) FROM %1 WHERE %2 = ?) = ?")
                .arg(lineTable, parentColumn),
            {id, qint64(printed.size()), id, last}};
}

} // namespace velmor::db
