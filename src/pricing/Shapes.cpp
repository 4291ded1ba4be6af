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

Resolution resolveListPrice(const PriceSource &source, const Settings &s, const QString &S, double weight,
                            const QString &colour, const QString &clarity, Prompt *prompt)
{
    const QString lower = S.toLower(), upper = S.toUpper();
    auto has = [&](const char *t) { return S.contains(QLatin1String(t)); };
    auto is = [&](const char *t) { return S == QLatin1String(t); };
    struct Rule {
        bool applies;
        Grid grid;
    };
    const Rule rules[20] = {
        {has("[BR]"), Grid::Round},
        {upper.contains(QLatin1String("ROUND")), Grid::Round},
        {upper == QLatin1String("RBC"), Grid::Round},
        {!s.roundstonename.isEmpty() && upper == s.roundstonename, Grid::Round},
        {(has("[PR]") || is("PR") || is("PMB")) && s.PrincessEQPear, Grid::Pear},
        {has("[MQ]") && !s.MarquiseEQPear, Grid::Marquise},
        {has("[MQ]") || (s.MarquiseEQPear && is("MQ")), Grid::Pear},
        {has("[PS]") || is("PS") || is("PB"), Grid::Pear},
        {lower.contains(QLatin1String("emerald")) && s.EmeraldEQPear, Grid::Pear},
        {(lower.contains(QLatin1String("cushion")) || is("CMB") || is("CB")) && s.CushionEQPear, Grid::Pear},
        {lower.contains(QLatin1String("radiant")) && s.RadiantEQPear, Grid::Pear},
        {lower.contains(QLatin1String("triangle")) && s.TriangleEQPear, Grid::Pear},
        {lower.contains(QLatin1String("heart")) && s.HeartEQPear, Grid::Pear},
        {s.GIAanythingelse, Grid::Pear},
        {lower.contains(QLatin1String("oval")) && s.OvalEQPear, Grid::Pear},
        {(lower.contains(QLatin1String("asscher")) || is("SMB")) && s.AsserEQPear, Grid::Pear},
        {lower.contains(QLatin1String("sq brilliant")) && s.SquareBrilliantEQRound, Grid::Round},
        {upper.contains(QLatin1String("SQUARE BRILLIANT")) && s.SquareBrilliantEQRound, Grid::Round},
        {S.contains(QLatin1String("rec Brilliant"), Qt::CaseInsensitive) && s.RectangleBrilliantEQRound, Grid::Round},
        {has("RECTANGLE BRILLIANT") && s.RectangleBrilliantEQRound, Grid::Round},
    };
    Resolution r;
    for (int i = 0; i < 20 && r.price == 0; ++i) {
        if (!rules[i].applies)
            continue;
        r.price = source.price(rules[i].grid, weight, colour, clarity, s.LowerQuality);
        if (r.price != 0) {
            r.step = i + 1;
            r.grid = rules[i].grid;
        }
    }
    if (r.price == 0 && prompt)
        prompt->notice(unknownCutMessage(S), 0);
    return r;
}

} // namespace velmor::pricing
