#pragma once
// A fresh database of its own on the three-node cluster that the CTest
// fixture started for the run (scripts/cluster; VELMOR_CLUSTER_DIR and
// VELMOR_CLUSTER_PORT), made through node 1 and dropped when the object goes.
#include "db/Connection.h"

#include <QSqlDatabase>
#include <QString>

namespace velmor::test {

class ClusterDb {
public:
    ClusterDb();
    ~ClusterDb();

    // A connection to node 1 whose reads wait for the cluster's writes.
    QSqlDatabase db() const { return m_db; }
    QString name() const { return m_name; }
    // Server-mode settings for node `i` (1..3) alone.
    db::ConnectionSettings node(int i) const;
    // Settings that name every node, `first` first and then the others in order.
    db::ConnectionSettings cluster(int first) const;

    static bool available();
    static int port(int i);
    // Runs scripts/cluster `command` (kill-node, start-node, stop-node) for node i.
    static bool nodeCommand(const QString &command, int i);

private:
    QString m_name;
    QString m_connName;
    QSqlDatabase m_db;
};

} // namespace velmor::test
