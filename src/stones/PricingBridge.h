#pragma once
// What the stone screen needs of the pricing subsystem: the shape list, the
// grade combos, shape normalisation through shapewords and the list price of
// a stone through the shape-to-grid resolution.  This file is the one place
// that reaches pricing; until that subsystem's modules are in the tree it
// holds minimal versions of its own, to be switched over to them.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::stones::pricing_bridge {

// The shape combo: the fixed list, then the other shapes in use.
QStringList shapeEntries(const QSqlDatabase &db);
// A grade combo: an empty entry, then "number - wording"; split grades left
// out when dontUseSplits.
QStringList gradeEntries(const QSqlDatabase &db, bool colour, bool dontUseSplits);
// The grade text of a combo entry (after the first "-" and its blank).
QString gradeText(const QString &entry);
// The shape text (first 50 characters) turned into its house word when a
// shapewords row lists it.
QString normaliseShape(const QSqlDatabase &db, const QString &shape);
// The list price per carat of a stone (0 with the message when the shape is
// not known to the grid).
double listPrice(AppContext &ctx, const QString &shape, double weight, const QString &colour,
                 const QString &clarity);
// The configured round-stone name handed over by the repair on opening.
void setRoundStoneName(const QString &name);
QString roundStoneName();

} // namespace velmor::stones::pricing_bridge

namespace velmor::stones::pricing_bridge {
// Grade number to grade text by the fixed scales (ConvertColourCodeModule,
// ConvertClarityCodeModule); a number not on the scale comes back as given.
QString colourCode(const QString &number);
QString clarityCode(const QString &number);
} // namespace velmor::stones::pricing_bridge
