#pragma once
// A document (invoice, parcel memo) is closed after its print only when the
// lines it printed are still all its lines: a line written on another
// workstation after the print read the document leaves it open.  Both steps
// run in the caller's transaction, after it has locked the document's row.
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

namespace velmor::db {

// The lines of `lineTable` whose `parentColumn` is `id`, read under a shared
// lock, compared with those printed (in any order).
bool printedLinesAreAll(const QSqlDatabase &db, const QString &lineTable, const QString &parentColumn, qint64 id,
                        QList<qint64> printed);

// The closing UPDATE's condition that the lines are still those printed
// (their count and highest ID), and the values it binds, in order.
struct LinesAsPrinted {
    QString condition;
    QVariantList values;
};
LinesAsPrinted linesAsPrinted(const QString &lineTable, const QString &parentColumn, qint64 id,
                              const QList<qint64> &printed);

} // namespace velmor::db
