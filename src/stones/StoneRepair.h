#pragma once
// The repair that brings stone, customer and configuration rows into a
// consistent state when the stone screen is opened, and the two repairs of
// each activation.  repairOnOpen uses one statement per step where that gives
// the rows the same values as walking them; repairLiteral walks the rows one
// by one as the steps describe it (kept for comparison and the benchmark).
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::stones {

// How many stones step 13 fills per tier and run.
constexpr int kTierFillLimit = 50;

struct RepairReport {
    QStringList failedSteps; // a failing step never stops the others
};

// Steps 1 to 15.
RepairReport repairOnOpen(AppContext &ctx);
RepairReport repairLiteral(AppContext &ctx);
// Steps 16 and 17 (each activation while nothing is being added or edited).
RepairReport repairOnActivate(AppContext &ctx);
RepairReport repairOnActivateLiteral(AppContext &ctx);

} // namespace velmor::stones
