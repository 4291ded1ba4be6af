#pragma once
// Two workstations that change the same rows at the same moment can make the
// engine give up on one of them: it loses a deadlock (1213) or waits too long
// for a lock (1205), and its transaction is rolled back whole.  Such a loss
// says nothing about the data: the operation is run again from the start (a
// few times), and only then reported as the conflict it is.
#include "db/Sql.h"

#include <QThread>

namespace velmor::db {

constexpr int kDeadlock = 1213;
constexpr int kLockWaitTimeout = 1205;

bool isLockConflict(const DbError &e);

// What is thrown when every attempt lost.
class LockConflict : public DbError {
public:
    using DbError::DbError;
};

// The user's words for a LockConflict.
QString lockConflictMessage();

// Runs `work` (which opens and commits its own transaction) again when it
// lost a deadlock or a lock wait, up to `attempts` times in all; the last
// loss is thrown as LockConflict.  Any other error passes through at once.
template <typename Work>
auto retryOnLockConflict(Work &&work, int attempts = 5) -> decltype(work())
{
    for (int attempt = 1;; ++attempt) {
        try {
            return work();
        } catch (const LockConflict &) {
            throw;
        } catch (const DbError &e) {
            if (!isLockConflict(e))
                throw;
            if (attempt >= attempts)
                throw LockConflict(e.message(), e.sql(), e.nativeCode());
            QThread::msleep(20 * attempt);
        }
    }
}

} // namespace velmor::db
