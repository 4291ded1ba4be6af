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
#include "db/Sql.h"

#include <QDir>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

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
    // Set when the file could not be read or understood: it names the file,
    // the line and what was expected, and no connection is made with these
    // settings (never a database of Velmor's own in place of the one meant).
    QString problem;

    // Reads the `key=value` lines of a connection file (`#` and `;` start a
    // comment); relative folders are taken from `folder`.  A line that is
    // not key=value, an unknown key (beyond `otherKeys`), an unknown mode, a
    // port that is no port, a key given twice, a private data folder outside
    // `folder`, or (with needMode) no mode= line at all sets `problem`.
    static ConnectionSettings fromLines(const QStringList &lines, const QString &sourceFile,
                                        const QDir &folder, const QStringList &otherKeys = {},
                                        bool needMode = false);
    // Settings that cannot be used: the file named could not be read.
    static ConnectionSettings unreadable(const QString &sourceFile, const QString &why);
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

} // namespace velmor::db
