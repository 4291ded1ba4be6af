// Invoices: posting sales to the customers' open invoices among many
// invoices, opening an invoice of 200 lines as the screen shows it, and
// printing it to a PDF file.
#include "Scenarios.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"
#include "invoices/InvoicePrint.h"
#include "invoices/Posting.h"
#include "printing/PrintJob.h"

#include <QSqlQuery>
#include <QTemporaryDir>

namespace velmor::bench {

namespace {

QList<qint64> ids(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q = db::exec(db, sql, binds);
    QList<qint64> out;
    while (q.next())
        out << q.value(0).toLongLong();
    return out;
}

// One invoice for every five stones (20,000 at 100,000 stones), spread over
// the customers, two lines each, one in ten still open.
void addInvoices(const QSqlDatabase &db, int count)
{
    const qint64 customers = db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Customer")).toLongLong();
    if (customers == 0)
        throw db::DbError(QStringLiteral("There are no customers to invoice."));
    db::exec(db, QStringLiteral("INSERT INTO invoice (customerid, datecreated, dateclosed, status) "
                                "SELECT c.ID, NOW() - INTERVAL s.seq HOUR, "
                                "IF(s.seq % 10 = 0, NULL, NOW() - INTERVAL s.seq - 1 HOUR), "
                                "IF(s.seq % 10 = 0, 'open', 'closed') "
                                "FROM seq_1_to_%1 s JOIN (SELECT ID, ROW_NUMBER() OVER (ORDER BY ID) - 1 AS n "
                                "FROM Customer) c ON c.n = s.seq % %2")
                     .arg(count)
                     .arg(customers));
    db::exec(db, QStringLiteral("INSERT INTO invoicelist (invoiceid, carat, dateadded, pricecarat, exchangerateCDN, "
                                "exchangerateZAR, taxrate, details) "
                                "SELECT i.ID, 0.5 + (i.ID % 7) / 10, i.datecreated, 1000 + i.ID % 5000, 1.35, 18.2, "
                                "13, 'generated' FROM invoice i JOIN seq_1_to_2 s"));
}

} // namespace

void runInvoiceScenarios(SizeEnv &env)
{
    BenchContext ctx(env);
    const QSqlDatabase db = env.workDb();
    const QStringList names = {QStringLiteral("sale posting to an invoice (per sale)"), QStringLiteral("invoice open, 200 lines"),
                               QStringLiteral("invoice to PDF, 200 lines")};
    bool wanted = false;
    for (const QString &n : names)
        wanted = wanted || env.bench.wants(n);
    if (!wanted)
        return;
    if (db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM invoice")).toLongLong() < env.size / 5)
        addInvoices(db, qMax(1, env.size / 5));

    // Velmor: the sell dialog's sale (stone sold with its status stated,
    // customer locked, open invoice found or made, line, notice).  Floor:
    // the stone's UPDATE by key and the line's INSERT on a known invoice.
    const QString posting = names[0];
    if (env.bench.wants(posting)) {
        const QList<qint64> stones =
            ids(db, QStringLiteral("SELECT ID FROM SingleStone WHERE Status = 'Stock' ORDER BY ID LIMIT 20"));
        const QList<qint64> customers = ids(db, QStringLiteral("SELECT ID FROM Customer ORDER BY ID LIMIT 20"));
        if (stones.size() < 2 || customers.isEmpty())
            throw db::DbError(QStringLiteral("There are no stones in stock to sell."));
        const qint64 lastInvoice = db::scalar(db, QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM invoice")).toLongLong();
        const qint64 lastLine = db::scalar(db, QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM invoicelist")).toLongLong();
        const qint64 anyInvoice = db::scalar(db, QStringLiteral("SELECT MIN(ID) FROM invoice")).toLongLong();
        // Back to stock and the run's invoices and lines gone.
        auto reset = [db, stones, lastInvoice, lastLine] {
            db::exec(db, QStringLiteral("DELETE FROM invoicelist WHERE ID > ?"), {lastLine});
            db::exec(db, QStringLiteral("DELETE FROM invoice WHERE ID > ?"), {lastInvoice});
            QStringList list;
            for (qint64 id : stones)
                list << QString::number(id);
            db::exec(db, QStringLiteral("UPDATE SingleStone SET Status = 'Stock', CustomerID = NULL WHERE ID IN (%1)")
                             .arg(list.join(QLatin1Char(','))));
        };
        env.bench.measure(
            posting, env.size,
            {Road{QStringLiteral("velmor"), reset,
                  [&ctx, stones, customers] {
                      for (int i = 0; i < stones.size(); ++i)
                          if (invoices::sellStoneOnInvoice(*ctx, stones.at(i), customers.at(i % customers.size()),
                                                           QStringLiteral("1.01"), QStringLiteral("4321.5"))
                                  .result
                              != invoices::SellResult::Done)
                              throw db::DbError(ctx.prompt().last);
                  },
                  false, int(stones.size())},
             Road{QStringLiteral("floor"), reset,
                  [db, stones, anyInvoice] {
                      for (qint64 id : stones) {
                          db::exec(db, QStringLiteral("UPDATE SingleStone SET Status = 'Sold' WHERE ID = ?"), {id});
                          db::exec(db,
                                   QStringLiteral("INSERT INTO invoicelist (invoiceid, diamondid, carat, pricecarat) "
                                                  "VALUES (?, ?, 1.01, 4321.5)"),
                                   {anyInvoice, id});
                      }
                  },
                  false, int(stones.size())}});
        reset();
    }

    // An invoice of 200 stone and free lines.
    const qint64 customer = db::scalar(db, QStringLiteral("SELECT MIN(ID) FROM Customer")).toLongLong();
    const qint64 big = db::insert(db, QStringLiteral("INSERT INTO invoice (customerid, datecreated, status) "
                                                     "VALUES (?, NOW(), 'closed')"),
                                  {customer});
    db::exec(db,
             QStringLiteral("INSERT INTO invoicelist (invoiceid, diamondid, carat, dateadded, pricecarat, exchangerateCDN, "
                            "exchangerateZAR, taxrate, details) "
                            "SELECT ?, IF(q.seq % 4 = 0, NULL, s.ID), COALESCE(s.Carat, 1), NOW(), 2500 + q.seq * 7, "
                            "1.35, 18.2, 13, IF(q.seq % 3 = 0, 'with the certificate and a note on its finish', NULL) "
                            "FROM seq_1_to_200 q LEFT JOIN (SELECT ID, Carat, ROW_NUMBER() OVER (ORDER BY ID) AS n "
                            "FROM SingleStone) s ON s.n = q.seq"),
             {big});

    // Velmor: the invoice, its grid texts and totals as the invoice screen
    // fills them.  Floor: its lines read by key.
    const QString open = names[1];
    if (env.bench.wants(open)) {
        env.bench.measure(open, env.size,
                          {Road{QStringLiteral("velmor"), {},
                                [db, big] {
                                    invoices::Invoice inv;
                                    if (!invoices::loadInvoice(db, big, inv) || inv.lines.size() != 200)
                                        throw db::DbError(QStringLiteral("The invoice did not load whole."));
                                    int cells = 0;
                                    for (const invoices::InvoiceLine &l : inv.lines)
                                        cells += int(invoices::gridRow(l).size());
                                    if (cells == 0 || !inv.totals().any)
                                        throw db::DbError(QStringLiteral("No grid."));
                                }},
                           Road{QStringLiteral("floor"), {}, [db, big] {
                                    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM invoicelist WHERE invoiceid = ?"),
                                                           {big});
                                    while (q.next()) {
                                    }
                                }}});
    }

    // Velmor: loaded and printed to a PDF file (a reprint: it stays closed).
    // Floor: a PDF of one line of text.
    const QString print = names[2];
    if (env.bench.wants(print)) {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("invoice.pdf"));
        env.bench.measure(print, env.size,
                          {Road{QStringLiteral("velmor"), {},
                                [&ctx, big, pdf] {
                                    invoices::InvoicePrintOptions o;
                                    o.rap = true;
                                    o.currency = invoices::Currency::CDN;
                                    const invoices::InvoicePrinted r =
                                        invoices::printInvoice(*ctx, big, printing::PrintTarget::pdf(pdf), o);
                                    if (!r.printed)
                                        throw db::DbError(r.error);
                                }},
                           Road{QStringLiteral("floor"), {}, [pdf] {
                                    const printing::PrintOutcome out = printing::printDocument(
                                        printing::PrintTarget::pdf(pdf), [](printing::PrintSurface &s, QString *) {
                                            s.printLine(QStringLiteral("Velmor"));
                                            return true;
                                        });
                                    if (!out.ok)
                                        throw db::DbError(out.error);
                                }}});
    }
    db::exec(db, QStringLiteral("DELETE FROM invoicelist WHERE invoiceid = ?"), {big});
    db::exec(db, QStringLiteral("DELETE FROM invoice WHERE ID = ?"), {big});
}

} // namespace velmor::bench
