#pragma once
// A lock of the server's by name (GET_LOCK), taken by every workstation of
// the database around one kind of check-then-write, so that two of them
// cannot both pass the check before either writes.  Held until the object
// goes (or the connection ends).
#include <QSqlDatabase>
#include <QString>

namespace velmor::db {

class NamedLock {
public:
    // Waits up to `timeoutSeconds`; throws DbError (a lock-wait timeout, see
    // Retry.h) when another workstation holds it longer.
    NamedLock(const QSqlDatabase &db, const QString &name, int timeoutSeconds = 20);
    ~NamedLock();
    NamedLock(const NamedLock &) = delete;
    NamedLock &operator=(const NamedLock &) = delete;

private:
    QSqlDatabase m_db;
    QString m_name;
};

} // namespace velmor::db
