#pragma once
// What the stone screen needs of the pricing subsystem, in one place: the
// shape list, the grade combos and texts, shape normalisation through
// shapewords and the list price of a stone through the shape-to-grid rules.
#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::stones::pricing_bridge {

// The shape combo: the fixed list, then the other shapes in use.
QStringList shapeEntries(const QSqlDatabase &db);
// The same from the shapes in use (the fixed list alone when none).
QStringList shapeEntries(const QStringList &inUse);
// A grade combo: an empty entry, then "number - wording"; split grades left
// out when dontUseSplits.
QStringList gradeEntries(const QSqlDatabase &db, bool colour, bool dontUseSplits);
// The grade text of a combo entry (after the first "-" and its blank).
QString gradeText(const QString &entry);
// The shape text (first 50 characters) turned into its house word.
QString normaliseShape(const QSqlDatabase &db, const QString &shape);
// The list price per carat of a stone (0, with the timed notice, when the
// shape is not known to the grid).
double listPrice(AppContext &ctx, const QString &shape, double weight, const QString &colour,
                 const QString &clarity);
// The date of the grid rows that give this stone the list price `stored`
// today; invalid when the grid gives another price (a price typed or set
// before the grid changed) or its rows carry no date.
QDate listPriceDate(AppContext &ctx, const QString &shape, double weight, const QString &colour,
                    const QString &clarity, double stored);
// The round-stone name handed to the shape-to-grid rules on opening.
void setRoundStoneName(AppContext &ctx, const QString &name);
// Grade number to grade text by the fixed scales; a number not on the scale
// comes back as given.
QString colourCode(const QString &number);
QString clarityCode(const QString &number);

} // namespace velmor::stones::pricing_bridge
