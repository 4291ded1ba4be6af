#pragma once
// Importing the weekly price grid: the four grid files of the workstation
// folder replace the rows of raplist, then every stone is re-priced; and the
// download of the files from the price-list provider.
#include "pricing/PriceGrid.h"
#include "pricing/Repricing.h"

#include <QString>
#include <array>
#include <functional>

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

struct PricingSources;

// The checkpoint tag written before each file is read.
QString gridCheckpointTag(Grid g);

struct GridImportResult {
    bool ok = false;
    QString fileName;   // the bad file ("pear.csv"), empty when ok
    int line = 0;       // its bad line, 0 when the fault is the whole file
    QString error;      // "pear.csv line 12: the price \"12a0\" is not a number"
    QString detail;     // the same without the file name
    std::array<int, 4> rows{}; // rows imported per grid
    int totalRows() const { return rows[0] + rows[1] + rows[2] + rows[3]; }
};

// Reads round.csv, pear.csv, marquise.csv and princess.csv of `folder` (the
// workstation folder when empty).  Only when all four were read whole are
// the rows of raplist replaced, in one transaction; otherwise the grid stays
// as it was and the result names the file and line.
GridImportResult importGrid(AppContext &ctx, const QString &folder = {});

struct GridImportRun {
    // How far the run got (where it stopped when it failed).
    enum Stage { Reading, StoringGrid, Repricing, Committing, Done };
    GridImportResult grid;
    RepriceReport repricing;
    Stage stage = Reading;
    QString dbError; // the database's words when a stage after Reading failed
    bool ok() const { return grid.ok; }
    // What went wrong, for the user ("the stones could not be re-priced ...").
    QString failureText() const;
};
// Reads the files; then stores the grid and re-prices every stone in one
// transaction, so that a failure or a killed process at any point leaves the
// old grid with the prices made from it.  Never throws DbError: a database
// failure is in `stage` and `dbError`.
GridImportRun importGridAndReprice(AppContext &ctx, const QString &folder = {});

struct DownloadResult {
    bool ok = false;
    QString error;
};
// Deletes the four files of the workstation folder, fetches the round and
// pear grids from the provider (HTTPS POST of the account as a form) into
// round.csv and pear.csv, and copies pear.csv to marquise.csv and princess.csv.
DownloadResult downloadPriceList(AppContext &ctx, const PricingSources &sources);

// The menu command mnuDownloadAndUpgrade: asks, downloads, imports, re-prices
// and tells the user.  `reloadStone` is called at the end (the stone screen
// reloads the stone it shows).  Returns true when a new grid was imported.
bool DownloadAndUpgrade(AppContext &ctx, const std::function<void()> &reloadStone = {});

// "Import price files..." on the stone screen's Rapaport menu: the four grid
// files of a folder the dealer chose, with the checks, messages and refusals
// of `velmor grid import`; any refusal keeps the grid in use and its prices.
// `reloadStone` is called after a new grid was imported.
bool ImportPriceFiles(AppContext &ctx, const QString &folder, const std::function<void()> &reloadStone = {});

} // namespace velmor::pricing
