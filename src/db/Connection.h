#pragma once
// Where the data lives.  Three modes, chosen in the workstation file
// database.ini (key=value lines):
//   mode=private  (default) Velmor's own MariaDB server, data under the
//                 workstation folder, started on first use and stopped when
//                 the last Velmor of the workstation exits;
//   mode=odbc     the ODBC data source (dsn=, default ODBCVelmor), user and
//                 password from the data source itself;
//   mode=server   a shared MariaDB/MySQL server: host=, port=, user=,
//                 password=, database= (and socket= for a local socket).
//                 Several servers of one Galera cluster are given as
//                 host=a:3306,b:3306,c:3307 (or one host= line each): the
//                 first that answers and is a synced member is used, and the
//                 connection moves to the next when its server goes away.
#include "db/Sql.h"

#include <QDir>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace velmor::db {

enum class Mode { Private, Odbc, Server };

struct ConnectionSettings {
    Mode mode = Mode::Private;
    QString host = QStringLiteral("127.0.0.1");
    int port = 3306;
    QString user = QStringLiteral("root");
    QString password;
    QString database = QStringLiteral("velmor");
    QString socket;                           // server mode on a local socket; private mode sets it
    QString dsn = QStringLiteral("ODBCVelmor");
    QString privateDir;                       // private mode: folder of the server's data
    QString sourceFile;                       // where these settings came from (for messages)
    QStringList nodes;                        // server mode: every "host:port" given, in order


    // Reads the `key=value` lines of a connection file (`#` and `;` start a
    // comment); relative folders are taken from `folder`.
    static ConnectionSettings fromLines(const QStringList &lines, const QString &sourceFile,
                                        const QDir &folder);
    QString modeName() const;
    // A short description naming what is being reached, for messages.
    QString describe() const;
};

// A connection could not be made.  The message names what failed and where
// to change it; it is meant to be shown to the user as it stands.
class ConnectError : public DbError {
public:
    using DbError::DbError;
};

// Opens a named connection (Qt connection name) with these settings.  For
// private mode the server must already be running (PrivateServer).  When
// createDatabase is set and the database does not exist it is created
// (server and private modes).  Throws ConnectError.
QSqlDatabase openConnection(const ConnectionSettings &s, const QString &connectionName,
                            bool createDatabase = false);

// The server's version text ("10.11.6-MariaDB-0+deb12u1").
QString serverVersion(const QSqlDatabase &db);

// The Galera cluster a connection's server belongs to (empty name and size 0
// for a server of its own).
struct ClusterInfo {
    QString name;  // wsrep_cluster_name
    int size = 0;  // wsrep_cluster_size
    QString state; // wsrep_local_state_comment ("Synced")
    QString node;  // "host:port" the connection uses
};
ClusterInfo clusterInfo(const QSqlDatabase &db);

// ---------------------------------------------------------------------------
// Moving to another server of the cluster.  A connection opened with several
// nodes is known here by its connection name.

// Error numbers that say the server of a connection is gone or no longer
// serves (lost connection, gone away, not a synced member, shut down).
bool isNodeLost(int nativeCode);
// Thrown instead of the lost statement's error once the connection has moved:
// the transaction that was open did not commit and may be run again.
constexpr int kNodeChanged = -2013;
// Thrown when the server went away while a write outside a transaction or a
// commit was under way: whether it was saved is not known.
constexpr int kOutcomeUnknown = -2014;

// Reopens the connection on the next node that answers and is synced (the
// next after the current, round the list).  Returns false for a connection of
// one server, or when no other node answers.  Tells the notice (once per move).
bool moveToNextNode(const QSqlDatabase &db);
// Who hears of a move: `text` names the node lost and the node now used.
void setNodeNotice(const QString &connectionName, std::function<void(const QString &text)> notice);
// Whether a connection opened with several nodes is known under this name.
bool hasNodes(const QSqlDatabase &db);
// Kept by Transaction: whether the connection is inside one.
void setInTransaction(const QSqlDatabase &db, bool open);
bool inTransaction(const QSqlDatabase &db);

} // namespace velmor::db
