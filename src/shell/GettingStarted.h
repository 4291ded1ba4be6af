#pragma once
// The "Getting started" list of the home screen: the five things a new
// set-up needs before its first sale, each read from the database (never
// remembered by hand), and whether this workstation has hidden the list.
#include <QSqlDatabase>
#include <QString>

namespace velmor {
class Workstation;
}

namespace velmor::shell {

enum class StartStep { Company, Rates, PriceGrid, Customer, Stone };
inline constexpr int kStartStepCount = 5;

struct StartProgress {
    bool done[kStartStepCount] = {};
    bool isDone(StartStep s) const { return done[int(s)]; }
    bool allDone() const;
};

// What is done, in one read:
//   Company   - the first Config row names the company and its address
//               (name, street and city filled, none the new database's
//               placeholder "Company Name", "Company Street1", "Company City");
//   Rates     - the stored US$ to local rate (Config.ExchangeRate) is known;
//   PriceGrid - raplist holds a row;
//   Customer  - a customer (not only suppliers) is on file;
//   Stone     - a stone has been saved (a stone being added has no SKU yet).
// A table that cannot be read counts as not done.
StartProgress readStartProgress(const QSqlDatabase &db);

// The workstation file that says the list was hidden ("hidden"); absent or
// anything else: shown while something is left to do.
inline constexpr const char *kGettingStartedFile = "gettingstarted.txt";
bool gettingStartedHidden(const Workstation &ws);
void setGettingStartedHidden(const Workstation &ws, bool hidden);

// The list shows at start when this workstation has not hidden it and
// something is left to do.
bool showGettingStartedAtStart(const QSqlDatabase &db, const Workstation &ws);

} // namespace velmor::shell
