#pragma once
// Bulk re-pricing after a grid import: every stone's list price is looked up
// again, shape family by shape family, and the selling prices held as a
// discount off the list follow it.
//
// Two routes give the same stored values:
//  - repriceAll() reads the grid, the grade words and the stones once, runs
//    every phase in memory and writes each touched stone once (one UPDATE
//    joined to a temporary table of the computed values);
//  - repriceAllLiteral() walks the stones member by member with two grade
//    look-ups, four grid queries and one update per stone.  It is kept to
//    check the fast route and to measure it against.
#include "pricing/PriceGrid.h"

#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>

namespace velmor {
class AppContext;
struct Settings;
}

namespace velmor::pricing {

enum class Member {
    Round,
    Pear,
    Princess,
    Marquise,
    PearEQPrincess,
    PearEQMarquise,
    PearEQEmerald,
    PearEQCushion,
    PearEQRadiant,
    PearEQTriangle,
    PearEQHeart,
    PearEQOval,
    PearEQAsser,
    SquareBrilliantEQRound,
    RectangleBrilliantEQRound,
    // Every stone that no earlier member of the run selected, on the pear grid.
    GIANoneRound,
};

// "UpdateRoundDiamondsModule" ... ; "UpdateGIANoneRoundDiamonds" for the last.
QString memberName(Member m);
Grid memberGrid(Member m);

struct Phase {
    QString text;  // "Updating Round Diamonds"
    Member member;
};
// The phases of a run, in order, as the settings switch them on.
QList<Phase> repricingPhases(const Settings &s);

// Whether a member selects a stone by its shape (isNull: the column is Null).
// For GIANoneRound, `earlier` lists the members that ran before it.
bool memberSelects(Member m, const QString &shape, bool isNull, const QString &roundStoneName,
                   const QList<Member> &earlier = {});
// The same as an SQL condition on SingleStone (values bound into `binds`).
QString memberCondition(Member m, const QString &roundStoneName, QVariantList &binds,
                        const QList<Member> &earlier = {});

struct PhaseReport {
    QString text;
    QString member;
    int selected = 0; // stones the member selected
    int priced = 0;   // of those, stones that found a list price
    int cleared = 0;  // stones whose list price was cleared (no grid row)
};

struct RepriceReport {
    QList<PhaseReport> phases;
    int stonesWritten = 0; // stones updated (each once on the fast route)
    int totalSelected() const;
};

// The selling price of a stone held as a discount: the one selling-price
// rule (pricing/SellingPrice.h) at the rounding step `step`.
double sellPriceOffList(double carat, double discount, double listPrice, int step);

// Each phase's text goes to ctx.prompt().busy() before the phase runs.
RepriceReport repriceAll(AppContext &ctx);
// The same inside the caller's transaction when `ownTransaction` is unset
// (the grid import stores the grid and the new prices as one).
// `updateSlice`: stones per statement of the final update (smaller in tests,
// to reach the slices' edges).
constexpr int kRepriceUpdateSlice = 100000;
RepriceReport repriceAll(AppContext &ctx, bool ownTransaction, int updateSlice = kRepriceUpdateSlice);
RepriceReport repriceAllLiteral(AppContext &ctx);

} // namespace velmor::pricing
