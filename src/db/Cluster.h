#pragma once
// Velmor on a MariaDB Galera cluster: several servers that all take writes.
// In server mode database.ini names every node, on one line or one line each:
//   host=a:3306,b:3306,c:3307      (a node without a port takes port=)
// A connection goes to the first node that answers and is a synced member,
// and moves to the next when its node goes away.  A connection opened with
// several nodes is known here by its connection name.
#include "db/Connection.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace velmor::db {

// Every node the settings name, as "host:port", in order (one entry for a
// single server).
QStringList clusterNodes(const ConnectionSettings &s);

// The Galera cluster a connection's server belongs to (empty name and size 0
// for a server of its own).
struct ClusterInfo {
    QString name;  // wsrep_cluster_name
    int size = 0;  // wsrep_cluster_size
    QString state; // wsrep_local_state_comment ("Synced")
    QString node;  // "host:port" the connection uses
};
ClusterInfo clusterInfo(const QSqlDatabase &db);

// Error numbers that say the server of a connection is gone or no longer
// serves (lost connection, gone away, not a synced member, shut down).
bool isNodeLost(int nativeCode);
// Thrown instead of the lost statement's error once the connection has moved:
// the transaction that was open did not commit and may be run again (the
// retry of Retry.h does so).
constexpr int kNodeChanged = -2013;
// Thrown when the node went away while a commit, or a write outside a
// transaction, was under way: whether it was saved is not known.
constexpr int kOutcomeUnknown = -2014;

// Reopens the connection on the next node that answers and is synced (the
// next after the current, round the list).  Returns false for a connection of
// one server, or when no other node answers.  Tells the notice, once a move.
bool moveToNextNode(const QSqlDatabase &db);
// Who hears of a move: `text` names the node lost and the node now used.
void setNodeNotice(const QString &connectionName, std::function<void(const QString &text)> notice);
// Whether the connection was opened with several nodes.
bool hasNodes(const QSqlDatabase &db);
// Whether the connection's server is a member of a cluster (known when it
// was opened).
bool onCluster(const QSqlDatabase &db);
// Kept by Transaction: whether the connection is inside one.
void setInTransaction(const QSqlDatabase &db, bool open);
bool inTransaction(const QSqlDatabase &db);

} // namespace velmor::db
