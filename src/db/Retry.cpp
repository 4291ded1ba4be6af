#include "db/Retry.h"

#include "db/Connection.h"

namespace velmor::db {

bool isLockConflict(const DbError &e)
{
    if (e.nativeCode() == kDeadlock || e.nativeCode() == kLockWaitTimeout)
        return true;
    // A commit's error carries the engine's words only.
    const QString m = e.message();
    return m.contains(QLatin1String("Deadlock found")) || m.contains(QLatin1String("Lock wait timeout"));
}

bool isRetryable(const DbError &e)
{
    return isLockConflict(e) || e.nativeCode() == kNodeChanged;
}

QString lockConflictMessage()
{
    return QStringLiteral("This Diamond is being changed on another Workstation at this very moment, and the "
                          "change could not be made after several tries.\n\nNothing has been changed. Please "
                          "try again in a moment.");
}

} // namespace velmor::db
