#pragma once
// A dealer's week under faults.  Several workstation processes
// (velmor-soakstation, each with its own connection) run a random mix of the
// operations the screens call; the driver hands out the operations one at a
// time, kills a workstation now and then (kill -9) and starts it again, and
// keeps a ledger of what each workstation said it did.  Afterwards the books
// check must find no error, and the database must agree with the ledger:
// every operation reported done is there once, an operation refused or
// failed left nothing, and one cut short by a kill is there once or not at
// all.
#include "db/Connection.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor::soak {

struct Options {
    int ops = 20000;
    int stations = 3;
    int kills = -1; // -1: one per 400 operations, at least 3
    quint32 seed = 20261206;
    int stones = 300; // the generated inventory the week starts from
};

struct Report {
    int ops = 0;     // operations handed out
    int done = 0;    // reported done
    int refused = 0; // refused with a message (nothing to do, changed meanwhile ...)
    int failed = 0;  // a database failure, rolled back
    int inDoubt = 0; // cut short by a kill
    int kills = 0;
    int restarts = 0;
    double seconds = 0;
    QStringList kinds;          // "put on memo: 812 done, 31 refused, 2 failed"
    QStringList ledgerFaults;   // where the database and the ledger disagree
    QString booksText;          // the books check's report
    bool booksWhole = false;
    QStringList stationFaults;  // a workstation that could not start or said something unexpected
    bool ok() const { return booksWhole && ledgerFaults.isEmpty() && stationFaults.isEmpty() && done > 0; }
};

// Fills an empty database for the week: the schema, the dealer's settings
// and grid, the generated inventory and a few parcels with their journal.
void prepareDatabase(const QSqlDatabase &db, const Options &o);

// Runs the week on the database that `settings` reach; `stationBinary` is
// velmor-soakstation, `folder` holds the workstations' folders.
Report run(const db::ConnectionSettings &settings, const QString &stationBinary, const QString &folder,
           const Options &o, const std::function<void(const QString &)> &log = {});

// The report as the benchmark prints it.
QString reportText(const Report &r);

} // namespace velmor::soak
