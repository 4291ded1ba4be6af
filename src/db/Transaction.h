#pragma once
// Scoped transaction: rolls back unless commit() was called.
#include <QSqlDatabase>

class QSqlError;

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
    bool begin(QSqlError &err);
    void endOnCluster();

    QSqlDatabase m_db;
    bool m_active = false;
    bool m_cluster = false; // the connection's server is a member of a cluster
    qint64 m_mark = 0;      // this transaction's number in its mark row (cluster only)
};

} // namespace velmor::db
