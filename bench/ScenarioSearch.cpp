// The stone search: from the timer firing to the first screenful of the grid
// (with both totals when it holds the whole result), and the totals read
// apart, for typical filter combinations, against the literal form
// (the whole result read, the totals over the inner query, the day filter as
// day()/month()/year()); and the search report of 1,000 rows into a PDF.
#include "Scenarios.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "printing/PrintJob.h"
#include "stones/SearchReport.h"
#include "stones/StoneSearch.h"

#include <QSqlQuery>
#include <QTemporaryDir>

namespace velmor::bench {

namespace {

using stones::SearchOrder;
using stones::StoneSearchFilter;

// The literal road: every row of the result read and formatted (the grid of
// old held them all), the count from them, and the sum over the inner query.
QList<double> literalSearch(const QSqlDatabase &db, const StoneSearchFilter &f)
{
    const QList<stones::SearchRow> rows = stones::searchRows(db, f, SearchOrder());
    const stones::SqlPart w = stones::searchWhere(f);
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT SUM(RapPerStone) FROM (SELECT SingleStone.RapaportPrice * SingleStone.Carat "
                                          "AS RapPerStone FROM SingleStone LEFT JOIN MemoSheet ON SingleStone.MemoSheetID = "
                                          "MemoSheet.ID LEFT JOIN Customer ON SingleStone.CustomerID = Customer.ID")
                               + w.text + QStringLiteral(") AS Table820"),
                           w.binds);
    q.next();
    return {double(rows.size()), std::round(q.value(0).toDouble() * 100) / 100};
}

// What the search screen waits for: the first screenful, with the totals
// only when that screenful is the whole result; otherwise the totals are read
// on a second connection while the grid is already shown (timed apart).
void velmorFirstScreenful(const QSqlDatabase &db, const StoneSearchFilter &f)
{
    const stones::FirstPage p = stones::firstPage(db, f, SearchOrder(), 100);
    if (p.rows.isEmpty() && p.totals && p.totals->count > 0)
        throw db::DbError(QStringLiteral("The first screenful is empty."));
}

QList<double> velmorTotals(const QSqlDatabase &db, const StoneSearchFilter &f)
{
    const stones::SearchTotals t = stones::searchTotals(db, f);
    return {double(t.count), std::round(t.rapSum * 100) / 100};
}

} // namespace

void runSearchScenarios(SizeEnv &env)
{
    const QSqlDatabase db = env.workDb();
    // A customer with stones on memo, and a SKU prefix that finds some.
    const qint64 customer =
        db::scalar(db, QStringLiteral("SELECT CustomerID FROM SingleStone WHERE Status = 'Memo' AND CustomerID IS NOT NULL "
                                      "GROUP BY CustomerID ORDER BY COUNT(*) DESC LIMIT 1"))
            .toLongLong();
    const QString sku = db::scalar(db, QStringLiteral("SELECT SKU FROM SingleStone WHERE SKU <> '' ORDER BY ID LIMIT 1"))
                            .toString()
                            .left(3);

    struct Combo {
        QString name;
        StoneSearchFilter f;
    };
    QList<Combo> combos;
    {
        StoneSearchFilter f; // stock and memo: the screen's default
        f.shape = db::scalar(db, QStringLiteral("SELECT Shape FROM SingleStone GROUP BY Shape ORDER BY COUNT(*) DESC LIMIT 1"))
                      .toString();
        f.lowWeight = QStringLiteral("0.90");
        f.highWeight = QStringLiteral("1.10");
        f.lowColour = 40;
        f.highColour = 60;
        f.lowClarity = 20;
        f.highClarity = 60;
        combos << Combo{QStringLiteral("stone search: status+shape+weight+grades"), f};
    }
    {
        StoneSearchFilter f;
        f.sku = sku;
        combos << Combo{QStringLiteral("stone search: SKU prefix"), f};
    }
    {
        StoneSearchFilter f;
        f.returned = f.preSold = f.sold = true;
        combos << Combo{QStringLiteral("stone search: all statuses"), f};
    }
    {
        StoneSearchFilter f;
        f.inStock = false;
        f.customerId = customer;
        combos << Combo{QStringLiteral("stone search: a customer's memo stones"), f};
    }
    for (const Combo &c : combos) {
        if (!env.bench.wants(c.name))
            continue;
        const StoneSearchFilter f = c.f;
        env.bench.measure(c.name, env.size,
                          {Road{QStringLiteral("velmor"), {}, [db, f] { velmorFirstScreenful(db, f); }, false, 1,
                                [db, f] { return velmorTotals(db, f); }},
                           Road{QStringLiteral("literal"), {}, [db, f] { literalSearch(db, f); }, true, 1,
                                [db, f] { return literalSearch(db, f); }}});
        env.bench.measure(c.name + QStringLiteral(", totals read apart"), env.size,
                          {Road{QStringLiteral("velmor"), {}, [db, f] { velmorTotals(db, f); }}});
    }

    const QString report = QStringLiteral("search report to PDF (1,000 rows)");
    if (env.bench.wants(report)) {
        BenchContext ctx(env);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("search.pdf"));
        StoneSearchFilter all;
        all.returned = all.preSold = all.sold = true;
        env.bench.measure(report, env.size,
                          {Road{QStringLiteral("velmor"), {}, [&ctx, db, all, pdf] {
                                    stones::SearchReport r;
                                    r.rows = stones::searchRows(db, all, SearchOrder(), 0, 1000);
                                    r.simple = false;
                                    r.options = {true, true, true, true};
                                    r.localRate = 1.3;
                                    const printing::PrintOutcome out = printing::printDocument(
                                        printing::PrintTarget::pdf(pdf), [&](printing::PrintSurface &s, QString *e) {
                                            return stones::drawSearchReport(s, ctx->settings, r, e);
                                        });
                                    if (!out.ok)
                                        throw db::DbError(out.error);
                                }}});
    }
}

} // namespace velmor::bench
