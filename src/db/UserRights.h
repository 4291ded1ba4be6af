#pragma once
// The right columns of the `user` table that the upgrade adds, in the
// upgrade's order.  The user set-up and the log-in read and write the same
// names.
#include <QStringList>

namespace velmor::db {

const QStringList &userRightColumns();

} // namespace velmor::db
