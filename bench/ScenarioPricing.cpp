// Grid import and re-pricing: this week's four grid files come in and every
// stone's list price and the selling prices held as a discount follow.
#include "Scenarios.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "pricing/GridImport.h"
#include "pricing/PriceGrid.h"
#include "pricing/Repricing.h"

#include <QDateTime>
#include <QDir>
#include <QSqlQuery>

namespace velmor::bench {

namespace {

// The grid code a stone is priced on, as an SQL expression over its shape
// (the dealer's settings: fancy shapes on the pear grid, square and
// rectangular brilliants on the round grid).
const char *kGridCodeSql =
    "CASE WHEN INSTR(s.Shape,'[BR]') OR INSTR(UCASE(s.Shape),'ROUND') OR UCASE(s.Shape) LIKE 'RBC'"
    "  OR INSTR(UCASE(s.Shape),'SQ BRILLIANT') OR INSTR(UCASE(s.Shape),'SQUARE BRILLIANT')"
    "  OR INSTR(UCASE(s.Shape),'REC BRILLIANT') OR INSTR(UCASE(s.Shape),'RECTANGLE BRILLIANT') THEN 'BR'"
    " WHEN INSTR(s.Shape,'[PR]') OR INSTR(UCASE(s.Shape),'PRINCESS') THEN 'PR'"
    " WHEN INSTR(s.Shape,'[MQ]') OR INSTR(UCASE(s.Shape),'MARQUISE') THEN 'MQ'"
    " WHEN INSTR(s.Shape,'[PS]') OR INSTR(UCASE(s.Shape),'PEAR') OR INSTR(UCASE(s.Shape),'EMERALD')"
    "  OR INSTR(UCASE(s.Shape),'CUSHION') OR INSTR(UCASE(s.Shape),'RADIANT') OR INSTR(UCASE(s.Shape),'TRIANGLE')"
    "  OR INSTR(UCASE(s.Shape),'HEART') OR INSTR(UCASE(s.Shape),'OVAL') OR INSTR(UCASE(s.Shape),'ASSCHER') THEN 'PS'"
    " END";

// What the database itself can do: the grid in bulk, the new list price of
// every stone in one query (split grades averaged over the cells that have a
// price), and one UPDATE of the same rows.
void importAndRepriceSetBased(const QSqlDatabase &db, const PriceGrid &grid)
{
    db::exec(db, QStringLiteral("DELETE FROM raplist"));
    insertGrid(db, grid);
    db::exec(db, QStringLiteral("DROP TEMPORARY TABLE IF EXISTS bench_range, bench_grid, bench_key0, bench_key, bench_price"));
    db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE bench_range ENGINE=MEMORY SELECT DISTINCT Shape, LowCarat, HighCarat FROM raplist"));
    db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE bench_grid (KEY cell (Shape, Colour, Clarity, LowCarat)) ENGINE=MEMORY "
                                "SELECT Shape, Colour, Clarity, LowCarat, Price FROM raplist"));
    // Each stone's grid, the two halves of its grades, and the weight row it
    // is looked up on (6 to 9.99 ct on the 5-carat row).
    db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE bench_key0 (code VARCHAR(2) COLLATE utf8mb4_unicode_ci, PRIMARY KEY (ID)) SELECT s.ID, (%1) AS code,"
                                " SUBSTRING_INDEX(c.Wording,'/',1) AS c1, SUBSTRING_INDEX(c.Wording,'/',-1) AS c2,"
                                " SUBSTRING_INDEX(q.Wording,'/',1) AS q1, SUBSTRING_INDEX(q.Wording,'/',-1) AS q2,"
                                " IF(s.Carat >= 6 AND s.Carat < 10, 5.5, s.Carat) AS w FROM SingleStone s"
                                " LEFT JOIN DiamondGrades c ON c.Number = s.Colour AND c.Colour <> 0 AND c.Clarity = 0"
                                " LEFT JOIN DiamondGrades q ON q.Number = s.Clarity AND q.Clarity <> 0 AND q.Colour = 0"
                                " WHERE (%1) IS NOT NULL")
                     .arg(QString::fromLatin1(kGridCodeSql)));
    db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE bench_key (PRIMARY KEY (ID)) SELECT k.*, (SELECT MAX(r.LowCarat) FROM bench_range r"
                                " WHERE r.Shape = k.code AND r.LowCarat <= k.w AND r.HighCarat >= k.w) AS lo FROM bench_key0 k"));
    QString joins;
    QStringList sum, count;
    for (int i = 1; i <= 4; ++i) {
        const QString colour = i == 1 || i == 3 ? QStringLiteral("c1") : QStringLiteral("c2");
        const QString clarity = i <= 2 ? QStringLiteral("q1") : QStringLiteral("q2");
        joins += QStringLiteral(" LEFT JOIN bench_grid g%1 ON g%1.Shape = k.code AND g%1.Colour = k.%2"
                                " AND g%1.Clarity = k.%3 AND g%1.LowCarat = k.lo")
                     .arg(i)
                     .arg(colour, clarity);
        sum << QStringLiteral("IFNULL(g%1.Price,0)").arg(i);
        count << QStringLiteral("(IFNULL(g%1.Price,0) <> 0)").arg(i);
    }
    db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE bench_price (PRIMARY KEY (ID)) "
                                "SELECT k.ID, (%1) / NULLIF(%2, 0) AS p FROM bench_key k%3")
                     .arg(sum.join(QLatin1Char('+')), count.join(QLatin1Char('+')), joins));
    db::exec(db, QStringLiteral(
                     "UPDATE SingleStone s JOIN bench_price n ON n.ID = s.ID SET"
                     " s.RND = IF(n.p IS NULL, s.RND, FLOOR(RAND() * 1000000)),"
                     " s.SellPriceUS = IF(n.p IS NOT NULL AND s.LockPercent <> 0, s.Carat * (100 - IFNULL(s.SellOffRap, 0)) * (n.p / 100), s.SellPriceUS),"
                     " s.SellPriceUSlx = IF(n.p IS NOT NULL AND s.LockPercentlx <> 0, s.Carat * (100 - IFNULL(s.SellOffRapLX, 0)) * (n.p / 100), s.SellPriceUSlx),"
                     " s.RapaportPrice = IF(n.p IS NOT NULL, n.p, IF(s.RapaportPrice IS NULL, 0, NULL))"));
    db::exec(db, QStringLiteral("DROP TEMPORARY TABLE IF EXISTS bench_range, bench_grid, bench_key0, bench_key, bench_price"));
}

// The import walked literally: the old grid deleted, then one
// row added per line of each file, each on its own.
void importGridLiterally(const QSqlDatabase &db, const QString &folder)
{
    db::exec(db, QStringLiteral("DELETE FROM raplist;"));
    for (const pricing::Grid g : pricing::kAllGrids) {
        const pricing::GridFile file = pricing::readGridFile(QDir(folder).filePath(pricing::gridFileName(g)));
        if (!file.ok)
            throw db::DbError(QStringLiteral("%1: %2").arg(file.path, file.error));
        for (const pricing::GridRow &r : file.rows)
            db::exec(db,
                     QStringLiteral("INSERT INTO raplist (Date, Shape, Colour, Clarity, lowcarat, highcarat, Price) "
                                    "VALUES (?, ?, ?, ?, ?, ?, ?)"),
                     {QDateTime(r.date, QTime(0, 0)), r.shape, r.colour, r.clarity, r.lowText, r.highText, r.priceText});
    }
}

// The figures re-pricing must agree on (the random change marker aside).
QList<double> pricingDigest(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT COUNT(RapaportPrice), SUM(RapaportPrice), SUM(SellPriceUS), SUM(SellPriceUSlx),"
                                              " (SELECT COUNT(*) FROM raplist), (SELECT SUM(Price) FROM raplist) FROM SingleStone"));
    QList<double> out;
    if (q.next())
        for (int i = 0; i < 6; ++i)
            out << q.value(i).toDouble();
    return out;
}

} // namespace

void runPricingScenarios(SizeEnv &env)
{
    const QString name = QStringLiteral("grid import + re-pricing");
    if (!env.bench.wants(name))
        return;
    const QStringList touched{QStringLiteral("SingleStone"), QStringLiteral("raplist")};
    auto restore = [&env, touched] { env.restoreWork(touched); };
    BenchContext ctx(env);
    env.bench.measure(
        name, env.size,
        {Road{QStringLiteral("velmor"), restore,
              [&env, &ctx] {
                  const pricing::GridImportRun run = pricing::importGridAndReprice(*ctx, env.folder);
                  if (!run.ok())
                      throw db::DbError(run.grid.error);
              },
              false, 1, [&env] { return pricingDigest(env.workDb()); }},
         Road{QStringLiteral("literal"), restore,
              [&env, &ctx] {
                  importGridLiterally(env.workDb(), env.folder);
                  pricing::repriceAllLiteral(*ctx);
              },
              true, 1, [&env] { return pricingDigest(env.workDb()); }},
         Road{QStringLiteral("floor"), restore, [&env] { importAndRepriceSetBased(env.workDb(), env.thisWeek); }, false, 1,
              [&env] { return pricingDigest(env.workDb()); }}});
    restore();
}

} // namespace velmor::bench
