#pragma once
// The benchmark scenarios.  Each one measures Velmor's road next to the
// literal row-by-row road and the floor of the database itself,
// on the databases of one size.
#include "BenchServer.h"
#include "DealerData.h"
#include "Harness.h"

#include "core/AppContext.h"
#include "core/Prompt.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

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

// Keeps what an operation tells the user (to name it when a road fails);
// answers every question with No.
class RecordingPrompt : public Prompt {
public:
    void inform(const QString &text, const QString &title, Icon) override { last = title + QStringLiteral(": ") + text; }
    bool askYesNo(const QString &text, const QString &title, Icon) override
    {
        last = title + QStringLiteral(": ") + text;
        return false;
    }
    void notice(const QString &, int) override {}
    void busy(const QString &) override {}
    void progress(const QString &) override {}
    QString last;
};

// A context on the size's work database, its settings loaded from the Config
// row the way start-up loads them.
class BenchContext {
public:
    explicit BenchContext(SizeEnv &env);
    AppContext &operator*() { return *m_ctx; }
    AppContext *operator->() { return m_ctx.get(); }
    RecordingPrompt &prompt() { return m_prompt; }

private:
    RecordingPrompt m_prompt;
    std::unique_ptr<AppContext> m_ctx;
};

void runSchemaScenarios(SizeEnv &env);
void runPricingScenarios(SizeEnv &env);
void runStoneScenarios(SizeEnv &env);
void runLaunchScenarios(SizeEnv &env);
void runOnlineScenarios(SizeEnv &env);
void runCustomerScenarios(SizeEnv &env);
void runPrintingScenarios(SizeEnv &env);
void runInvoiceScenarios(SizeEnv &env);
void runParcelScenarios(SizeEnv &env);
void runSearchScenarios(SizeEnv &env);
void runMemoScenarios(SizeEnv &env);
void runBooksScenarios(SizeEnv &env);
void runClusterScenarios(SizeEnv &env);
void runBackupScenarios(SizeEnv &env);
void runCountScenarios(SizeEnv &env);
void runFileScenarios(SizeEnv &env);
void runPaymentScenarios(SizeEnv &env);

// Keys for --scenario (matched as parts of the scenario names).
QStringList scenarioNames();

} // namespace velmor::bench
