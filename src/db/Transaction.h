#pragma once
// Scoped transaction: rolls back unless commit() was called.
#include <QSqlDatabase>

namespace velmor::db {

class Transaction {
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit(); // throws DbError when the commit fails
    void rollback();
    bool active() const { return m_active; }

private:
    QSqlDatabase m_db;
    bool m_active = false;
};

} // namespace velmor::db
