#pragma once
// Identifiers typed by people (SKUs, certificate numbers) are compared
// without the blanks before and after them: "Q100 " is Q100.  The condition
// keeps to index look-ups (no function over the column) and works whether the
// column's collation pads trailing blanks or not.
#include <QString>
#include <QVariantList>

namespace velmor::db {

// "(column = ? OR ((column LIKE 'value %' OR column LIKE ' %') AND
// TRIM(column) = ?))" for `value` without its blanks (compared as the column's
// collation compares text); its binds are appended to `binds`.
QString sameIdentifier(const QString &column, const QString &value, QVariantList &binds);

} // namespace velmor::db
