// `velmor db status` and `velmor db upgrade`.
#include "core/AppContext.h"
#include "shell/BooksCheck.h"
#include "shell/CliDispatch.h"
#include "core/Workstation.h"
#include "db/Cluster.h"
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
        const db::ClusterInfo cluster = db::clusterInfo(db);
        if (cluster.size > 0)
            io.out << "Cluster: \"" << cluster.name << "\", " << cluster.size << " nodes; this workstation uses "
                   << cluster.node << " (" << cluster.state << ")\n";
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
        // A database that a newer Velmor upgraded is not this program's to
        // change: its list would narrow columns the newer one widened.
        double stored = 0;
        try {
            stored = db::schema::storedVersion(db);
        } catch (const db::DbError &e) {
            io.err << "velmor: the upgrade stopped: " << e.message() << Qt::endl;
            exitCode = 2;
        }
        if (stored > db::schema::kSchemaVersion) {
            io.err << "velmor: the database is at schema version " << versionText(stored)
                   << ", newer than this program's (" << db::schema::kSchemaVersion
                   << "): a newer Velmor made or upgraded it. Nothing was changed; use that Velmor (or a newer one) "
                      "on this database."
                   << Qt::endl;
            exitCode = 1;
        }
        if (exitCode == 0) try {
            db::schema::BringUpReport r = db::schema::bringUpToDate(db);
            // Asked for by the user: the list runs again even on a current
            // schema (a statement refused before may go through now).
            if (r.road == db::schema::BringUpReport::UpToDate)
                r.upgrade = db::schema::UpgradeDataBaseModule(db);
            switch (r.road) {
            case db::schema::BringUpReport::Created:
                // Nothing to upgrade from: an empty database is made in its
                // final shape at once.
                io.out << "The database was empty: created it at schema version "
                       << db::schema::kSchemaVersion << " with " << db::tableNames(db).size()
                       << " tables.\n";
                break;
            case db::schema::BringUpReport::Finished:
                io.out << "The database was not finished (no stored version): made " << r.tablesCreated
                       << " missing tables; schema upgraded from version 0 to " << db::schema::kSchemaVersion
                       << ": " << r.upgrade.ran << " statements ran, " << r.upgrade.skipped
                       << " skipped, " << r.upgrade.refused << " refused.\n";
                break;
            case db::schema::BringUpReport::UpToDate:
            case db::schema::BringUpReport::Upgraded:
                if (r.tablesCreated > 0)
                    io.out << "Made " << r.tablesCreated << " missing tables.\n";
                io.out << "Schema upgraded from version " << versionText(r.before) << " to "
                       << db::schema::kSchemaVersion << ": " << r.upgrade.ran << " statements ran, "
                       << r.upgrade.skipped << " skipped, " << r.upgrade.refused + r.refusedCreates.size()
                       << " refused.\n";
                for (const QString &s : r.refusedCreates + r.upgrade.refusedStatements)
                    io.out << "  refused: " << s << "\n";
                if (!r.versionStored())
                    io.out << "The schema version was not stored (it stays " << versionText(r.before)
                           << "): these tables are still missing: " << r.missingTables.join(QStringLiteral(", "))
                           << "\n";
                exitCode = r.upgrade.refused > 0 || !r.versionStored() ? 1 : 0;
                break;
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

// `velmor db check [--csv FILE]`: 0 when the books are whole, 1 with the
// list, 2 when the database cannot be read.
int runCheck(const QStringList &args, CliIo &io)
{
    QString csv;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--csv") && i + 1 < args.size()) {
            csv = args[++i];
        } else {
            io.err << "velmor: db check takes [--csv FILE], not \"" << args[i] << "\"" << Qt::endl;
            return 2;
        }
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    books::Report report;
    try {
        report = books::checkBooks(ctx.db());
    } catch (const db::DbError &e) {
        io.err << "velmor: the books could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    io.out << books::reportText(report);
    io.out.flush();
    if (!csv.isEmpty()) {
        QString why;
        if (!books::writeCsv(report, csv, &why)) {
            io.err << "velmor: " << csv << " could not be written: " << why << Qt::endl;
            return 2;
        }
        io.out << "Written to " << csv << "\n";
    }
    return report.whole() ? 0 : 1;
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
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("check")},
                        QStringLiteral("[--csv FILE]"),
                        QStringLiteral("check that the books are whole (changes nothing; exit 1 with the list)"),
                        runCheck});
    return r;
}

} // namespace velmor
