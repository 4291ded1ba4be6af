#include "db/Transaction.h"

#include "db/Sql.h"

#include <QSqlError>

namespace velmor::db {

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    if (!m_db.transaction())
        throw DbError(QStringLiteral("Could not start a transaction: ") + m_db.lastError().text());
    m_active = true;
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollback();
}

void Transaction::commit()
{
    if (!m_active)
        return;
    m_active = false;
    if (!m_db.commit()) {
        const QString err = m_db.lastError().text();
        m_db.rollback();
        throw DbError(QStringLiteral("Could not save the changes: ") + err);
    }
}

void Transaction::rollback()
{
    if (m_active) {
        m_active = false;
        m_db.rollback();
    }
}

} // namespace velmor::db
