#pragma once
// The figures of the price-sheet screen: single values for one colour,
// clarity and weight, and the round and pear grids at that weight.
#include "pricing/PriceGrid.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor::pricing {

// The clarities (rows) and colours (columns) of the sheet's grids.
const QStringList &sheetClarities(); // "IF" .. "I3"
const QStringList &sheetColours();   // "D" .. "N"
// The colour combo: the colours present in raplist.
QStringList sheetColourChoices(const QSqlDatabase &db);

// The single values follow the sheet's choice as its grids do: per stone,
// the list price times the weight; per carat, the list price itself.
struct SheetSingle {
    bool found = false;
    QString rap;   // price × weight (per stone) or price (per carat), "0.00"
    QString stone; // (100 − discount) × rap / 100, "0.00"
};
SheetSingle sheetSingle(const QSqlDatabase &db, Grid g, const QString &colour, const QString &clarity, double weight,
                        double offRap, bool perStone);

struct SheetGrid {
    QString corner; // "Round Br." or "Pear Shape"
    // cells[row][column], empty where the grid has no row
    QList<QStringList> cells;
};
SheetGrid sheetGrid(const QSqlDatabase &db, Grid g, double weight, bool perStone);

} // namespace velmor::pricing
