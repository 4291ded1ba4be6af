#include "db/Transaction.h"

#include "db/Cluster.h"
#include "db/Retry.h"
#include "db/Sql.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>

namespace velmor::db {

// On a cluster, a transaction of this node's that holds a row another node
// has just committed is rolled back by the server while it waits for its next
// statement, and the error that says so can be taken by a command that has
// no answer (a prepared statement being closed): the statements after it
// would then run one by one and be saved, without the ones before.  So on a
// cluster a transaction runs with autocommit off, so that nothing after such
// a rollback is saved on its own, and it writes its number in a temporary
// table of the session (never replicated) first: a commit that no longer
// finds that number knows that the transaction was rolled back, throws it
// away and reports a deadlock, and the operation is run again.

namespace {

QAtomicInteger<qint64> g_marks;

const QString kMarkTable = QStringLiteral("velmor_trx_mark");

bool run(const QSqlDatabase &db, const QString &sql, QSqlError &err)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    err = q.lastError();
    return false;
}

int codeOf(const QSqlError &e) { return e.nativeErrorCode().toInt(); }

} // namespace

bool Transaction::begin(QSqlError &err)
{
    m_cluster = onCluster(m_db);
    if (!m_cluster) {
        if (m_db.transaction())
            return true;
        err = m_db.lastError();
        return false;
    }
    m_mark = g_marks.fetchAndAddRelaxed(1) + 1;
    // The ODBC driver's transaction is autocommit off already.
    if (isOdbc(m_db) ? !m_db.transaction() : !run(m_db, QStringLiteral("SET autocommit = 0"), err)) {
        if (isOdbc(m_db))
            err = m_db.lastError();
        return false;
    }
    const QString mark = QStringLiteral("REPLACE INTO %1 (id, n) VALUES (1, %2)").arg(kMarkTable).arg(m_mark);
    constexpr int kNoSuchTable = 1146;
    if (run(m_db, mark, err)
        || (codeOf(err) == kNoSuchTable
            && run(m_db,
                   QStringLiteral("CREATE TEMPORARY TABLE IF NOT EXISTS %1 (id INT PRIMARY KEY, n BIGINT) ENGINE=InnoDB")
                       .arg(kMarkTable),
                   err)
            && run(m_db, mark, err)))
        return true;
    m_db.rollback();
    endOnCluster();
    return false;
}

void Transaction::endOnCluster()
{
    if (!m_cluster || isOdbc(m_db))
        return;
    QSqlError ignored;
    run(m_db, QStringLiteral("SET autocommit = 1"), ignored);
}

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    QSqlError err;
    bool ok = begin(err);
    // Nothing is under way yet: a node of a cluster that went away is left
    // for the next one at once.
    if (!ok && isNodeLost(codeOf(err)) && moveToNextNode(m_db))
        ok = begin(err);
    if (!ok)
        throw DbError(QStringLiteral("Could not start a transaction: ") + err.text(), {}, codeOf(err));
    m_active = true;
    setInTransaction(m_db, true);
}

Transaction::~Transaction()
{
    if (m_active) {
        m_db.rollback();
        setInTransaction(m_db, false);
        endOnCluster();
    }
}

void Transaction::commit()
{
    if (!m_active)
        return;
    m_active = false;
    setInTransaction(m_db, false);
    if (m_cluster) {
        // Read as plain text: no prepared statement is closed between this
        // check and the commit.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SELECT n FROM %1 WHERE id = 1").arg(kMarkTable))) {
            const QSqlError err = q.lastError();
            m_db.rollback();
            if (isNodeLost(codeOf(err)) && moveToNextNode(m_db))
                throw DbError(QStringLiteral("The connection to the database server was lost before the changes "
                                             "were saved; nothing of them was saved. ") + err.text(),
                              {}, kNodeChanged);
            endOnCluster();
            throw DbError(QStringLiteral("Could not save the changes: ") + err.text(), {}, codeOf(err));
        }
        if (!q.next() || q.value(0).toLongLong() != m_mark) {
            m_db.rollback();
            endOnCluster();
            throw DbError(QStringLiteral("Could not save the changes: the cluster rolled the transaction back for "
                                         "a conflicting change made on another server (deadlock)."),
                          {}, kDeadlock);
        }
    }
    if (!m_db.commit()) {
        const QString err = m_db.lastError().text();
        const int code = codeOf(m_db.lastError());
        if (isNodeLost(code) && moveToNextNode(m_db)) {
            // The commit may have reached the cluster before the node went.
            throw DbError(QStringLiteral("The connection to the database server was lost while the changes were "
                                         "being saved: whether they were saved is not known. Please check them "
                                         "before making them again."),
                          {}, kOutcomeUnknown);
        }
        m_db.rollback();
        endOnCluster();
        throw DbError(QStringLiteral("Could not save the changes: ") + err, {}, code);
    }
    endOnCluster();
}

void Transaction::rollback()
{
    if (m_active) {
        m_active = false;
        setInTransaction(m_db, false);
        m_db.rollback();
        endOnCluster();
    }
}

} // namespace velmor::db
