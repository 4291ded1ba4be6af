#include "db/Transaction.h"

#include "db/Cluster.h"
#include "db/Sql.h"

#include <QSqlError>

namespace velmor::db {

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    bool ok = m_db.transaction();
    // Nothing is under way yet: a node of a cluster that went away is left
    // for the next one at once.
    if (!ok && isNodeLost(m_db.lastError().nativeErrorCode().toInt()) && moveToNextNode(m_db))
        ok = m_db.transaction();
    if (!ok)
        throw DbError(QStringLiteral("Could not start a transaction: ") + m_db.lastError().text(), {},
                      m_db.lastError().nativeErrorCode().toInt());
    m_active = true;
    setInTransaction(m_db, true);
}

Transaction::~Transaction()
{
    if (m_active) {
        m_db.rollback();
        setInTransaction(m_db, false);
    }
}

void Transaction::commit()
{
    if (!m_active)
        return;
    m_active = false;
    setInTransaction(m_db, false);
    if (!m_db.commit()) {
        const QString err = m_db.lastError().text();
        const int code = m_db.lastError().nativeErrorCode().toInt();
        if (isNodeLost(code) && moveToNextNode(m_db)) {
            // The commit may have reached the cluster before the node went.
            throw DbError(QStringLiteral("The connection to the database server was lost while the changes were "
                                         "being saved: whether they were saved is not known. Please check them "
                                         "before making them again."),
                          {}, kOutcomeUnknown);
        }
        m_db.rollback();
        throw DbError(QStringLiteral("Could not save the changes: ") + err, {}, code);
    }
}

void Transaction::rollback()
{
    if (m_active) {
        m_active = false;
        setInTransaction(m_db, false);
        m_db.rollback();
    }
}

} // namespace velmor::db
