#pragma once
// Shapes: the fixed list of the shape combos, the synonym tables that turn a
// supplier's or laboratory's wording into the house word, and the rules that
// decide on which grid a stone's shape is priced.
#include "pricing/PriceGrid.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor {
struct Settings;
class Prompt;
}

namespace velmor::pricing {

// "Round Brilliant [BR]", "Pear [PS]", ... "Asscher" (thirteen entries).
const QStringList &fixedShapes();
// The fixed list, then every other shape in use in SingleStone.
QStringList shapeComboEntries(const QSqlDatabase &db);
// The same from the shapes in use (Null left out by the caller).
QStringList shapeComboEntries(const QStringList &inUse);

enum class WordTable { Shapes, Labs };
QString wordTableName(WordTable t); // "shapewords", "labwords"

// The house word for a word (its first 50 characters) when it is listed as
// one of w1..w6 of a row of the table, else the word itself (first 50
// characters).  An empty word stays empty.
QString houseWord(const QSqlDatabase &db, WordTable t, const QString &word);
inline QString normaliseShape(const QSqlDatabase &db, const QString &shape)
{
    return houseWord(db, WordTable::Shapes, shape);
}

// The message shown when no rule knows a shape.
QString unknownCutMessage(const QString &shape);

struct Resolution {
    double price = 0;
    int step = 0;        // the rule that found the price (1..22), 0 when none
    Grid grid = Grid::Round;
    QList<Grid> tried;   // the grids the rules that apply to the shape looked at, in order
    bool shapeKnown() const { return !tried.isEmpty(); }
};

// The message shown when rules know the shape but the grids they name hold
// no price for the stone's grades and weight.
QString missingCellMessage(const Resolution &r, const QString &shape, double weight, const QString &colour,
                           const QString &clarity);

// The list price per carat of one stone by the shape-to-grid rules: the one
// look-up of a stone's list price, on the stone screen, in bulk re-pricing
// and on the command line.  Each rule runs while no price is found; when none
// finds one, `prompt` (when given) hears as a timed notice whether the shape
// is unknown (unknownCutMessage) or the grid lacks the cell (missingCellMessage).
Resolution resolveListPrice(const PriceSource &source, const Settings &s, const QString &shape, double weight,
                            const QString &colour, const QString &clarity, Prompt *prompt = nullptr);

} // namespace velmor::pricing
