// `velmor db status` and `velmor db upgrade`.
#include "core/AppContext.h"
#include "shell/CliDispatch.h"
#include "core/Workstation.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QSqlDatabase>


namespace velmor {

namespace {

QString versionText(double v)
{
    return QString::number(v, 'g', 10);
}

int runStatus(const QStringList &, CliIo &io)
{
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        const QSqlDatabase db = ctx.db();
        const double version = db::schema::storedVersion(db);
        io.out << "Connection: " << ctx.connection.modeName() << " (" << ctx.connection.describe()
               << ")\n";
        io.out << "Server version: " << db::serverVersion(db) << "\n";
        io.out << "Schema version: " << versionText(version) << " (program "
               << db::schema::kSchemaVersion << ")\n";
        io.out << "Tables: " << db::tableNames(db).size() << "\n";
        if (version < db::schema::kSchemaVersion)
            io.out << "The schema is older than the program's; `velmor db upgrade` brings it up "
                      "to date.\n";
        io.out.flush();
    } catch (const db::DbError &e) {
        io.err << "velmor: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

int runUpgrade(const QStringList &, CliIo &io)
{
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;

    QString connectionName;
    int exitCode = 0;
    {
        // The upgrade runs on a connection of its own.
        QSqlDatabase db;
        try {
            db = ctx.newConnection(QStringLiteral("upgrade"));
            connectionName = db.connectionName();
        } catch (const db::DbError &e) {
            io.err << "velmor: " << e.message() << Qt::endl;
            return 2;
        }
        try {
            if (db::tableNames(db).isEmpty()) {
                // Nothing to upgrade from: an empty database is made in its
                // final shape at once.
                db::schema::createNewDatabase(db);
                io.out << "The database was empty: created it at schema version "
                       << db::schema::kSchemaVersion << " with " << db::tableNames(db).size()
                       << " tables.\n";
            } else {
                const double before = db::schema::storedVersion(db);
                const db::schema::UpgradeReport r = db::schema::UpgradeDataBaseModule(db);
                db::schema::storeVersion(db, db::schema::kSchemaVersion);
                io.out << "Schema upgraded from version " << versionText(before) << " to "
                       << db::schema::kSchemaVersion << ": " << r.ran << " statements ran, "
                       << r.skipped << " skipped, " << r.refused << " refused.\n";
                for (const QString &s : r.refusedStatements)
                    io.out << "  refused: " << s << "\n";
                exitCode = r.refused > 0 ? 1 : 0;
            }
            io.out.flush();
        } catch (const db::DbError &e) {
            io.err << "velmor: the upgrade stopped: " << e.message() << Qt::endl;
            exitCode = 2;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    return exitCode;
}

} // namespace

CliRegistry dbCommands()
{
    CliRegistry r;
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("status")},
                        {},
                        QStringLiteral("show the database connection, server and schema version"),
                        runStatus});
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("upgrade")},
                        {},
                        QStringLiteral("bring the database schema up to version %1")
                            .arg(db::schema::kSchemaVersion),
                        runUpgrade});
    return r;
}

} // namespace velmor
