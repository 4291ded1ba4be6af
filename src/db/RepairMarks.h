#pragma once
// The marks that let the stone screen's opening repair find its rows through
// one index instead of reading the whole stock.
//
// `RepairDue` is a stored column that the database itself computes on every
// write of a stone, from whoever writes it: the sum of the bits of the repair
// steps whose condition the row meets (0 for a stone with nothing to repair).
// `HistoryStarted` is set by the repair once a stone has a row in the change
// log; a new stone starts without it, so the first-snapshot step finds it.
#include <QString>
#include <vector>

namespace velmor::db::schema {

struct RepairCondition {
    const char *step; // the step's name in the repair report ("1", "13 tier 2")
    int bit;
    const char *where; // the step's condition on SingleStone
};

// Every per-stone condition of the repair, in step order.
const std::vector<RepairCondition> &stoneRepairConditions();
// The condition of one step ("" when the name is unknown).
QString stoneRepairWhere(const char *step);

inline constexpr const char *kRepairDueColumn = "RepairDue";
inline constexpr const char *kHistoryStartedColumn = "HistoryStarted";
// The bit of the stones that have no first history snapshot marked yet.
inline constexpr int kHistoryDueBit = 2048;

// The column definition of RepairDue, as the upgrade list writes it.
QString repairDueColumnType();

} // namespace velmor::db::schema
