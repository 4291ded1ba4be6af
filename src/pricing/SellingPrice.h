#pragma once
// The one rule for a selling price worked out from a list price and a
// discount off it, on every road that works one out: the stone screen, the
// opening repair, the grid import and the re-pricing, the memo screens and
// the sell dialog.
//
//   per carat = list x (100 - discount) / 100, rounded to the price step
//               (5 when "Round selling prices to 5" is ticked) or else to
//               the cent, halves away from zero;
//   per stone = per carat x weight, to the cent.
//
// The set-based statements use sellPerStoneSql, which gives the same figure
// on the server's exact decimals.
#include "core/Figures.h"

#include <QString>

namespace velmor {
struct Settings;
}

namespace velmor::pricing {

// The rounding step of a worked-out price per carat: 5 when the dealer
// ticked "Round selling prices to 5", else 0 (the cents are kept).
int sellingPriceStep(const Settings &s);

Decimal5 sellPerCarat(Decimal5 listPerCarat, Decimal5 discount, int step);
Decimal5 sellPerStone(Decimal5 listPerCarat, Decimal5 discount, Decimal5 carat, int step);

// The same per-stone price as an SQL expression on three column expressions.
QString sellPerStoneSql(const QString &listPerCarat, const QString &discount, const QString &carat, int step);

} // namespace velmor::pricing
