#include "db/Retry.h"

#include "db/Cluster.h"

namespace velmor::db {

bool isLockConflict(const DbError &e)
{
    if (e.nativeCode() == kDeadlock || e.nativeCode() == kLockWaitTimeout)
        return true;
    // On a Galera cluster the later of two conflicting commits on two nodes
    // fails as a deadlock; a transaction cut short when the connection moved
    // to another node (Cluster.h) saved nothing either: both run again.
    if (e.nativeCode() == kNodeChanged)
        return true;
    // A commit's error carries the engine's words only.
    const QString m = e.message();
    return m.contains(QLatin1String("Deadlock found")) || m.contains(QLatin1String("Lock wait timeout"));
}

QString lockConflictMessage()
{
    return QStringLiteral("This Diamond is being changed on another Workstation at this very moment, and the "
                          "change could not be made after several tries.\n\nNothing has been changed. Please "
                          "try again in a moment.");
}

} // namespace velmor::db
