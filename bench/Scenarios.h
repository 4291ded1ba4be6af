#pragma once
// The benchmark scenarios.  Each one measures Velmor's road next to the
// literal road the documents describe and the floor of the database itself,
// on the databases of one size.
#include "BenchServer.h"
#include "DealerData.h"
#include "Harness.h"

#include "app/Settings.h"

#include <QSqlDatabase>
#include <QString>

namespace velmor::bench {

struct SizeEnv {
    Bench &bench;
    BenchServer &server;
    int size = 0;
    QString work;           // final shape with the dealer's data: what the scenarios work on
    QString pristine;       // the same, never touched: what work is restored from
    QString groupA;         // the base tables only, with the same data (an old database)
    QString folder;         // workstation folder of this size (grid files, database.ini)
    const PriceGrid &lastWeek; // the grid the stones are priced on
    const PriceGrid &thisWeek; // the grid the import brings (its files are in folder)

    QSqlDatabase workDb() { return server.connect(work); }
    void restoreWork(const QStringList &tables) { server.restoreTables(pristine, work, tables); }
};

// The dealer's settings as the Config row of the generated data holds them.
void applyDealerSettings(Settings &s);

void runSchemaScenarios(SizeEnv &env);
void runPricingScenarios(SizeEnv &env);
void runStoneScenarios(SizeEnv &env);
void runLaunchScenarios(SizeEnv &env);

// Keys for --scenario (matched as parts of the scenario names).
QStringList scenarioNames();

} // namespace velmor::bench
