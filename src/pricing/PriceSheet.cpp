#include "pricing/PriceSheet.h"

#include "db/Row.h"
#include "db/Sql.h"

namespace velmor::pricing {

const QStringList &sheetClarities()
{
    static const QStringList l = {QStringLiteral("IF"),  QStringLiteral("VVS1"), QStringLiteral("VVS2"),
                                  QStringLiteral("VS1"), QStringLiteral("VS2"),  QStringLiteral("SI1"),
                                  QStringLiteral("SI2"), QStringLiteral("SI3"),  QStringLiteral("I1"),
                                  QStringLiteral("I2"),  QStringLiteral("I3")};
    return l;
}

const QStringList &sheetColours()
{
    static const QStringList l = [] {
        QStringList c;
        for (char x = 'D'; x <= 'N'; ++x)
            c << QString(QLatin1Char(x));
        return c;
    }();
    return l;
}

QStringList sheetColourChoices(const QSqlDatabase &db)
{
    QStringList out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT(colour) AS c FROM raplist "));
    while (q.next())
        if (!q.value(0).isNull())
            out << db::textOf(q.value(0));
    return out;
}

SheetSingle sheetSingle(const QSqlDatabase &db, Grid g, const QString &colour, const QString &clarity, double weight,
                        double offRap, bool perStone)
{
    SheetSingle s;
    const QString w = QString::number(weight, 'f', 10);
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT Price FROM raplist WHERE Shape = ? AND colour = ? AND clarity = ? AND "
                                          "LowCarat <= %1 AND HighCarat >= %1 ORDER BY ID")
                               .arg(w),
                           {gridCode(g), colour, clarity});
    if (!q.next())
        return s;
    s.found = true;
    const double rap = db::numOf(q.value(0)) * (perStone ? weight : 1.0);
    const double rapShown = QString::number(rap, 'f', 2).toDouble();
    s.rap = QString::number(rap, 'f', 2);
    s.stone = QString::number((100 - offRap) * rapShown / 100, 'f', 2);
    return s;
}

SheetGrid sheetGrid(const QSqlDatabase &db, Grid g, double weight, bool perStone)
{
    SheetGrid grid;
    grid.corner = g == Grid::Round ? QStringLiteral("Round Br.") : QStringLiteral("Pear Shape");
    for (int i = 0; i < sheetClarities().size(); ++i)
        grid.cells << QStringList(sheetColours().size(), QString());
    const QString w = QString::number(weight, 'f', 10);
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT Colour, Clarity, Price FROM raplist WHERE Shape = ? AND "
                                          "LowCarat <= %1 AND HighCarat >= %1 ORDER BY ID")
                               .arg(w),
                           {gridCode(g)});
    while (q.next()) {
        const int row = sheetClarities().indexOf(db::textOf(q.value(1)).trimmed().toUpper());
        const int col = sheetColours().indexOf(db::textOf(q.value(0)).trimmed().toUpper());
        if (row < 0 || col < 0)
            continue;
        const double price = db::numOf(q.value(2));
        grid.cells[row][col] = perStone ? QStringLiteral("$ ") + QString::number(price * weight, 'f', 2)
                                              + QStringLiteral(" /st")
                                        : QStringLiteral("$ ") + QString::number(price, 'f', 2);
    }
    return grid;
}

} // namespace velmor::pricing
