#pragma once
// The stock count: the stones expected in the safe (in stock, at a location
// when the count names one) and the parcels on hand, taken when the count
// starts; every label scanned into it, written at once with its time and
// user; the carats weighed of each parcel; and the closing, which lists what
// is missing and what should not be there.  Scans are rows: a screen or a
// command only tells them and shows them.
//
// Several workstations scan into one count.  Each joins it with a row of
// its own (stockcountdesk) that each of its scans writes and that the
// closing writes too, so a scan never lands in a closed count, also on a
// cluster.  A scan carries a token made when it was told: written twice (a
// retry after the server went away, a journal replayed after a kill) it is
// in the count once.  A stone is counted once: the first scan that marks its
// expected row wins (a conditional UPDATE of that row); a later one is
// noted as "twice".
#include "core/Figures.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace velmor {
class AppContext;
}

namespace velmor::stones {

// The right every write of a count needs (starting, scanning, weighing,
// closing, and setting the location of stones found).
QString countRight();
// Empty when the logged-in user may write to counts; else the refusal to show.
QString countWriteRefusal(const AppContext &ctx);

enum class ScanResult { Found, Twice, Unexpected, Unknown };
QString scanResultWord(ScanResult r); // "found", "twice", "unexpected", "unknown"
std::optional<ScanResult> scanResultOf(const QString &word);

struct CountHeader {
    qint64 id = 0;
    QString name;
    QString location; // empty: every location
    bool closed = false;
    Decimal5 tolerance;
    QDateTime startedAt, closedAt;
    int startedById = 0, closedById = 0;
    QString startedBy, closedBy; // user names
};

struct CountFigures {
    int expected = 0;   // stones expected (those that came into stock meanwhile included)
    int found = 0;      // expected stones scanned
    int unexpected = 0; // stones scanned that are not expected (each once)
    int unknown = 0;    // codes that are no stone (each once)
    int twice = 0;      // stones scanned more than once
    int scans = 0;      // scans written
    int parcels = 0, weighed = 0;
};

struct CountOutcome {
    bool ok = false;
    QString error;
    qint64 id = 0;
    CountFigures figures;
};

// The name a count gets when none is given ("Stock count 2026-12-06 14:05").
QString defaultCountName(const QDateTime &when);

// Starts a count: the stones in stock (at `location` when it is not empty)
// and the parcels with carats on hand, in one transaction.  The tolerance is
// a typed figure in carats (empty: 0.01).
CountOutcome startCount(AppContext &ctx, const QString &name, const QString &location,
                        const QString &toleranceText = {});

std::optional<CountHeader> loadCount(const QSqlDatabase &db, qint64 id);
// Newest first.
QList<CountHeader> listCounts(const QSqlDatabase &db, bool openOnly = false);
CountFigures countFigures(const QSqlDatabase &db, qint64 id);

// A workstation scanning into a count.
struct Desk {
    qint64 id = 0;
    qint64 countId = 0;
    QString key;
    QString countLocation;
};

// Joins an open count (refused when it is closed or does not exist).
std::optional<Desk> joinCount(AppContext &ctx, qint64 countId, const QString &label, QString *error);

// What was scanned, as told: the token is made when it is told.
struct ScanInput {
    QString token;
    QString code;
    QString source; // "serial", "keyboard", "command"
    QDateTime toldAt;
};
QString newScanToken();
// The code as stored: control characters dropped (scanners add line ends
// and the odd start or end character) and blanks around it.
QString cleanCode(const QString &raw);
constexpr int kMaxCodeLength = 100;

struct ScanOutcome {
    enum State {
        Written,        // written now
        AlreadyWritten, // the token was in the count already (a retry): what it became then
        Refused,        // the count is closed, no right, a code that is too long: not written, not to retry
        Failed          // the server could not be reached: not written, to retry later
    };
    State state = Failed;
    ScanResult result = ScanResult::Unknown;
    QString code;
    qint64 stoneId = 0;
    QString sku;
    QString status; // the stone's status
    QString place;  // where the books say the stone is (unexpected stones)
    QString message; // why it was refused or failed
    bool written() const { return state == Written || state == AlreadyWritten; }
};

// Writes one scan.  A lost server is tried again once (a cluster moves to
// another node; a single server is reconnected); a scan whose outcome was
// not known is written again with the same token, so it is never doubled.
ScanOutcome recordScan(AppContext &ctx, const Desk &desk, const ScanInput &scan);

// One line of the scans, newest first.
struct ScanLine {
    qint64 id = 0;
    QDateTime at;
    QString code;
    ScanResult result = ScanResult::Unknown;
    qint64 stoneId = 0;
    QString sku, status, place, user;
};
QList<ScanLine> lastScans(const QSqlDatabase &db, qint64 countId, int limit = 50);

// Where the books say a stone is, as the count shows it ("on memo with
// Lumen Jewellers (memo sheet 12)", "sold to ...", "in stock at Office").
QString placeText(const QString &status, const QString &location, const QString &company, qint64 memoSheetId,
                  const QString &supplier);

// Parcels -----------------------------------------------------------------------

struct ParcelLine {
    qint64 parcelId = 0;
    QString sku;
    Decimal5 atStart;      // carats on hand when the count started
    Decimal5 onHand;       // carats on hand when weighed (or now / at the closing when not weighed)
    bool weighed = false;
    Decimal5 weighedCarats;
    QDateTime weighedAt;
    QString weighedBy;
    bool addedLate = false;
    Decimal5 difference() const { return weighedCarats - onHand; }
    bool beyond(Decimal5 tolerance) const;
};
QList<ParcelLine> countParcels(const QSqlDatabase &db, qint64 countId, bool closed);

struct WeighOutcome {
    bool ok = false;
    QString error;
    ParcelLine line;
    bool beyond = false; // the difference is beyond the count's tolerance
};
// The weighed carats of a parcel (by its SKU, else its ID), a typed figure.
// A parcel not taken at the start (no carats on hand then) joins the count.
// Weighing again replaces the earlier figure.
WeighOutcome weighParcel(AppContext &ctx, qint64 countId, const QString &skuOrId, const QString &caratsText);

// Closing ------------------------------------------------------------------------

// Closes the count: no scan or weighing is written to it afterwards.  Keeps
// with each stone not found that is no longer in stock its status and where
// it is, and with each parcel not weighed its carats on hand, so the closed
// count reads the same later (the stones' values were kept when the count
// took them).  Changes no stone.
CountOutcome closeCount(AppContext &ctx, qint64 countId);

// The list value of a stone (list price per carat times the weight, to the
// cent), as SQL over SingleStone aliased `s`.
QString listValueSql();

// Stones found (and stones scanned that are in stock elsewhere), for
// setting their location.
struct FoundStone {
    qint64 stoneId = 0;
    QString sku;
    QString location;
    bool expected = true; // false: scanned, in stock at another location
};
QList<FoundStone> foundStones(const QSqlDatabase &db, qint64 countId);

// Sets the location of stones (in stock) to `location`; the number changed,
// or -1 with the reason.
int setStoneLocation(AppContext &ctx, const QList<qint64> &stoneIds, const QString &location, QString *error);

} // namespace velmor::stones
