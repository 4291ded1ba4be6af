#include "pricing/Shapes.h"

#include "core/Prompt.h"
#include "core/Settings.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <functional>

namespace velmor::pricing {

const QStringList &fixedShapes()
{
    static const QStringList list = {
        QStringLiteral("Round Brilliant [BR]"), QStringLiteral("Pear [PS]"), QStringLiteral("Marquise [MQ]"),
        QStringLiteral("Princess [PR]"),        QStringLiteral("Cushion"),   QStringLiteral("Emerald"),
        QStringLiteral("Heart"),                QStringLiteral("Radiant"),   QStringLiteral("Triangle"),
        QStringLiteral("rec Brilliant"),        QStringLiteral("sq Brilliant"), QStringLiteral("Oval"),
        QStringLiteral("Asscher"),
    };
    return list;
}

QStringList shapeComboEntries(const QSqlDatabase &db)
{
    QStringList inUse;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT(Shape) FROM SingleStone"));
    while (q.next())
        if (!q.value(0).isNull())
            inUse << db::textOf(q.value(0));
    return shapeComboEntries(inUse);
}

QStringList shapeComboEntries(const QStringList &inUse)
{
    QStringList out = fixedShapes();
    for (const QString &s : inUse) {
        if (s.isEmpty() || fixedShapes().contains(s))
            continue;
        out << s;
    }
    return out;
}

QString wordTableName(WordTable t)
{
    return t == WordTable::Shapes ? QStringLiteral("shapewords") : QStringLiteral("labwords");
}

QString houseWord(const QSqlDatabase &db, WordTable t, const QString &word)
{
    const QString w = word.left(50);
    if (w.isEmpty())
        return w;
    const QString sql = QStringLiteral("SELECT master FROM %1 WHERE 1=0  OR w1 LIKE ?  OR w2 LIKE ?  OR w3 LIKE ? "
                                       " OR w4 LIKE ?  OR w5 LIKE ?  OR w6 LIKE ? ORDER BY ID LIMIT 1")
                            .arg(wordTableName(t));
    // The typed word is compared as it stands: its % and _ are no wildcards.
    QString literal = w;
    literal.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    literal.replace(QLatin1Char('%'), QLatin1String("\\%"));
    literal.replace(QLatin1Char('_'), QLatin1String("\\_"));
    QSqlQuery q = db::exec(db, sql, {literal, literal, literal, literal, literal, literal});
    if (q.next())
        return db::textOf(q.value(0));
    return w;
}

QString unknownCutMessage(const QString &shape)
{
    return QStringLiteral("'") + shape + QStringLiteral("' is not a known cut-grade for Rapaport");
}

QString missingCellMessage(const Resolution &r, const QString &shape, double weight, const QString &colour,
                           const QString &clarity)
{
    QStringList names;
    for (Grid g : r.tried)
        if (!names.contains(gridName(g).toLower()))
            names << gridName(g).toLower();
    const QString grids = names.size() == 1 ? QStringLiteral("the %1 grid").arg(names.first())
                                            : QStringLiteral("the %1 and %2 grids")
                                                  .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")),
                                                       names.last());
    return QStringLiteral("'%1' is priced on %2, but the price grid holds no price for %3 / %4 at %5 ct")
        .arg(shape, grids, colour.isEmpty() ? QStringLiteral("(no colour)") : colour,
             clarity.isEmpty() ? QStringLiteral("(no clarity)") : clarity, QString::number(weight, 'f', 2));
}

Resolution resolveListPrice(const PriceSource &source, const Settings &s, const QString &S, double weight,
                            const QString &colour, const QString &clarity, Prompt *prompt)
{
    const QString lower = S.toLower(), upper = S.toUpper();
    auto has = [&](const char *t) { return S.contains(QLatin1String(t)); };
    auto is = [&](const char *t) { return S == QLatin1String(t); };
    // The shape words that bulk re-pricing selects stones by count here too,
    // so that a stone is priced alike on the screen and by an import.
    const bool princess = has("[PR]") || is("PR") || is("PMB") || upper.contains(QLatin1String("PRINCESS"));
    const bool marquise = has("[MQ]") || upper.contains(QLatin1String("MARQUISE"));
    const bool pear = has("[PS]") || is("PS") || is("PB") || upper.contains(QLatin1String("PEAR"));
    struct Rule {
        int number;
        bool applies;
        Grid grid;
    };
    // In their order; 21 and 22 price a princess on the princess grid and,
    // without a row there, on the pear grid, as 6 and 7 do for a marquise.
    const Rule rules[] = {
        {1, has("[BR]"), Grid::Round},
        {2, upper.contains(QLatin1String("ROUND")), Grid::Round},
        {3, upper == QLatin1String("RBC"), Grid::Round},
        {4, !s.roundstonename.isEmpty() && upper == s.roundstonename, Grid::Round},
        {5, princess && s.PrincessEQPear, Grid::Pear},
        {21, princess && !s.PrincessEQPear, Grid::Princess},
        {22, princess, Grid::Pear},
        {6, marquise && !s.MarquiseEQPear, Grid::Marquise},
        {7, marquise || (s.MarquiseEQPear && is("MQ")), Grid::Pear},
        {8, pear, Grid::Pear},
        {9, lower.contains(QLatin1String("emerald")) && s.EmeraldEQPear, Grid::Pear},
        {10, (lower.contains(QLatin1String("cushion")) || is("CMB") || is("CB")) && s.CushionEQPear, Grid::Pear},
        {11, lower.contains(QLatin1String("radiant")) && s.RadiantEQPear, Grid::Pear},
        {12, lower.contains(QLatin1String("triangle")) && s.TriangleEQPear, Grid::Pear},
        {13, lower.contains(QLatin1String("heart")) && s.HeartEQPear, Grid::Pear},
        {14, s.GIAanythingelse, Grid::Pear},
        {15, lower.contains(QLatin1String("oval")) && s.OvalEQPear, Grid::Pear},
        {16, (lower.contains(QLatin1String("asscher")) || is("SMB")) && s.AsserEQPear, Grid::Pear},
        {17, lower.contains(QLatin1String("sq brilliant")) && s.SquareBrilliantEQRound, Grid::Round},
        {18, upper.contains(QLatin1String("SQUARE BRILLIANT")) && s.SquareBrilliantEQRound, Grid::Round},
        {19, S.contains(QLatin1String("rec Brilliant"), Qt::CaseInsensitive) && s.RectangleBrilliantEQRound,
         Grid::Round},
        {20, has("RECTANGLE BRILLIANT") && s.RectangleBrilliantEQRound, Grid::Round},
    };
    Resolution r;
    for (const Rule &rule : rules) {
        if (r.price != 0)
            break;
        if (!rule.applies)
            continue;
        r.tried << rule.grid;
        r.price = source.price(rule.grid, weight, colour, clarity, s.LowerQuality);
        if (r.price != 0) {
            r.step = rule.number;
            r.grid = rule.grid;
        }
    }
    if (r.price == 0 && prompt)
        prompt->notice(r.tried.isEmpty() ? unknownCutMessage(S) : missingCellMessage(r, S, weight, colour, clarity),
                       0);
    return r;
}

} // namespace velmor::pricing
