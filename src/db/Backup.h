#pragma once
// Backing up and restoring one database with the tools MariaDB ships: the
// dump tool in one consistent transaction while other workstations keep
// working, the client to run it back.  These are the steps; the workstation
// side (folders, private servers, what is kept) is core/Backups.
#include "db/BackupFile.h"
#include "db/BackupTools.h"
#include "db/Connection.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor::db::backup {

// What a long step has done: a short text and, when known, done of total
// (bytes or rows).
using Progress = std::function<void(const QString &text, qint64 done, qint64 total)>;

// What the backup needs to know of the database before the dump starts.
struct SourceInfo {
    QString database;
    QString description;   // where it is, for the header
    QString server;        // the server's version
    double schemaVersion = 0;
    QStringList tables;    // base tables, lower case
    qint64 estimatedRows = 0;
    QString node;          // a cluster's node the tools use ("host:port"); empty otherwise
};
// Reads it over a connection of its own.  Throws DbError.
SourceInfo readSourceInfo(const ConnectionSettings &s);

struct MakeRequest {
    ConnectionSettings settings; // reaches the server (private mode: running, socket set)
    SourceInfo source;
    QString file;                // the final name; written as FILE.part first (zstd, or gzip for a name ending in .gz)
    QString kind = QStringLiteral("manual");
    QString program;             // "Velmor 1.0.308"
    ToolStarter tools;
    Progress progress;
};

struct MakeResult {
    bool ok = false;
    QString error;   // what went wrong; FILE.part is gone and FILE untouched
    Header header;
    qint64 fileBytes = 0;
};

MakeResult makeBackup(const MakeRequest &r);

// Runs a checked file's SQL into an existing, empty database (the settings'
// database) with the client.  False with the reason.
bool feedBackup(const ConnectionSettings &target, const QString &file, const Check &check, const ToolStarter &tools,
                const Progress &progress, QString *error);

// Every table's row count and checksum as the dump tool sees them now (the
// SQL is read and let go).  False with the reason.
bool currentSums(const ConnectionSettings &s, const ToolStarter &tools, QList<TableSum> *sums, QString *error);

// Small operations on a server: a database made, dropped, looked at.
void createDatabase(const ConnectionSettings &s, const QString &name);
void dropDatabase(const ConnectionSettings &s, const QString &name);
bool databaseExists(const ConnectionSettings &s, const QString &name);
// Tables of the database that hold rows ("singlestone (10,000 rows)"),
// empty when it has none.  Exact counts, read on a connection of its own.
QStringList tablesWithRows(const ConnectionSettings &s, const QString &name);
// Moves every table of `from` into `to` in one statement (atomic on the
// server); the tables `to` held go to `aside` in the same statement.
// Throws DbError.
void swapTables(const ConnectionSettings &s, const QString &from, const QString &to, const QString &aside);
// What a database holds beside its base tables: views, stored procedures
// and functions ("view stock_value", "procedure close_day").  Throws DbError.
QStringList otherObjects(const ConnectionSettings &s, const QString &name);

} // namespace velmor::db::backup
