#pragma once
// The start-up steps that need no window: the schema check, the rate
// refresh hook, the choice of the home screen, the front screen's load
// repairs and its caption.  The splash screen and the front screen drive
// them in their order.
#include "db/Schema.h"

#include <QSqlDatabase>
#include <QString>

namespace velmor {

class AppContext;

struct SchemaCheck {
    double storedBefore = 0;
    bool upgraded = false;
    QString error; // why the schema could not be brought up to date (empty when it was)
};

// Reads dbVersion on a connection of its own ("upgrade"); when it is below
// the program's version makes, finishes or upgrades the database
// (schema::bringUpToDate).  A version at or above the program's leaves the
// schema alone.  A failure is returned in `error` (the splash screen says
// it) and start-up goes on.  `progress` hears of each step, on the thread
// that runs the check.
SchemaCheck checkSchemaAtStartup(AppContext &ctx, const db::schema::ProgressReport &progress = {});

// What the splash screen says of a step: "Making the database ...",
// "Upgrading the database: step 12 of 40".
QString progressText(const db::schema::Progress &p);

// The day's exchange and metal rates at start-up.  The rate module plugs in
// here (RatesAtStartup.cpp); until then it does nothing.  The splash screen
// ignores anything it throws.
void refreshRatesAtStartup(AppContext &ctx);

// VelmorWholeSale of the first Config row: true when not Null and not 0.
bool wholesaleSetUp(const QSqlDatabase &db);
// Sets DiamondMode and WholeSaleMode (exactly one is true).
void setHomeScreenFlags(AppContext &ctx, bool wholesale);

// The data repairs that run when the front screen loads: the four plus and
// minus clarity grades of DiamondGrades are added when missing.  Returns how
// many rows were added.
int frontScreenLoadRepairs(AppContext &ctx);

// Deletes the diameter ranges whose caratlow and carathigh are both 0.
int cleanDiameterRanges(const QSqlDatabase &db);

// "Velmor - Software for the Jewellery Industry - Build<rev> - <company> tE/fE tD/fD"
QString frontCaption(const AppContext &ctx);
int programRevision();
// The program's version (major.minor.revision), as the build names it.
QString programVersion();

// True when VELMOR_NO_SPLASH_PAUSE is set to a non-empty value other than 0:
// the splash screen then skips its 3-second pause (tests, benchmarks).
bool skipSplashPause();

} // namespace velmor
