#pragma once
// The database schema: the base tables a database is expected to have, the
// upgrade list that brings any older database to the program's version, and
// the road for a brand-new database.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace velmor::db::schema {

constexpr int kSchemaVersion = 318;

enum class StatementKind { CreateTable, AddColumn, Add, Modify };

struct UpgradeStatement {
    StatementKind kind;
    QString table;
    QString column; // empty for CreateTable
    QString type;   // "DECIMAL(15,5)"; empty for CreateTable
    bool storeSide; // a table of the store side (not used by the diamond side)
    QString sql() const;
};

// The upgrade list, in the program's order.
const std::vector<UpgradeStatement> &upgradeList();
// How many statements of the list belong to the diamond side's tables.
int diamondSideStatementCount();

struct UpgradeReport {
    int ran = 0;      // executed and changed the schema
    int skipped = 0;  // effect already present (or made by a later statement)
    int refused = 0;  // the engine refused it for another reason
    QStringList refusedStatements; // "statement -- engine's reason"
};

// What bringing a database up to date is doing, for a progress line: a new
// (or half-made) database's tables being made, or the upgrade list's
// statements that have work to do being run (`step` of `of`, from 1).
struct Progress {
    enum Work { Making, Upgrading } work = Making;
    int step = 0, of = 0;
};
// Called on the thread that does the work, before each step.
using ProgressReport = std::function<void(const Progress &)>;

// Runs the whole upgrade list on this connection.  A statement that fails
// never stops the run.  Does not write dbVersion (the caller does).
UpgradeReport UpgradeDataBaseModule(const QSqlDatabase &db, const ProgressReport &progress = {});

// The base tables only, with the columns the upgrade does not create (the
// shape of an old database before any upgrade).
void createBaseTables(const QSqlDatabase &db);
// The default settings row (company name and address placeholders, invoice
// template, class labels, price rounding), with dbVersion when version > 0.
// The one place that writes it: a new database, the configuration load of an
// empty Config table and the version store all use it.
void insertDefaultConfigRow(const QSqlDatabase &db, int version = 0);

// The rows a new database starts with: the DiamondGrades rows of both
// scales and one Config row.
void seedNewDatabase(const QSqlDatabase &db);
// A brand-new database in its final shape at once (one CREATE TABLE per
// table), seeded, with dbVersion set to the program's version.
void createNewDatabase(const QSqlDatabase &db);

// The indexes of the look-ups the program makes on every save and load
// (none are part of the shared schema's list; an existing one is left).
// Run at the end of every upgrade and for every new database.
void ensureIndexes(const QSqlDatabase &db);

// What bringing a database up to the program's version did.
struct BringUpReport {
    enum Road { UpToDate, Created, Finished, Upgraded };
    Road road = UpToDate;
    double before = 0;       // the stored version found
    int tablesCreated = 0;   // Created and Finished: tables made in their final shape
    UpgradeReport upgrade;   // Finished and Upgraded
    // Upgraded: tables still missing after the run (the version was then
    // not stored) and the CREATE TABLE statements of missing tables that the
    // engine refused ("statement -- engine's reason").
    QStringList missingTables;
    QStringList refusedCreates;
    bool versionStored() const { return missingTables.isEmpty(); }
};

// The one road every start and `db upgrade` takes:
//  - no table of the program's at all: a new database (createNewDatabase);
//  - some of its tables but no stored version and no settings row: a
//    creation that was cut short (or an upgrade list run on an empty
//    database): the missing tables are made in their final shape, the others
//    upgraded, the grades seeded when there are none, and the version is
//    written last, with the settings row;
//  - an older stored version (or an old database with its settings row): the
//    tables the list does not make are made when missing, then the upgrade
//    list, then the version -- unless a table is still missing (a statement
//    refused), when the version stays as it was and the report says why.
// Throws DbError when a step fails (the version is then not written).
BringUpReport bringUpToDate(const QSqlDatabase &db, const ProgressReport &progress = {});
// Private mode's check on opening: a new or half-made database is finished;
// an existing one is left for the start-up's upgrade.
void finishCreation(const QSqlDatabase &db, const ProgressReport &progress = {});

// dbVersion of the first Config row (0 when absent or Null).
double storedVersion(const QSqlDatabase &db);
void storeVersion(const QSqlDatabase &db, int version = kSchemaVersion);

} // namespace velmor::db::schema
