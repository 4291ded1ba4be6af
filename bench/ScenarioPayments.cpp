// Payments on the dealer's books: entering payments for sold stones (each
// one the whole operation: rights, the stone written first, the account
// read, the row, the flags), the statement of the customer with the most
// invoices, and the receivables of every customer.  Floors: the payment's
// rows written bare (the row inserted, no transaction); the customer's
// invoice lines and payments read bare; the sold stones' lines summed per
// customer in one bare query.
//
// The books are first given the shape a dealer's receivables have at their
// largest: one customer for every two stones (50,000 at 100,000 stones), the
// sold stones' invoices spread over them, one customer holding 2,000 of the
// invoices (all of them at a size with fewer sales), and tax on every other
// invoice.
#include "Scenarios.h"

#include "db/LineDues.h"
#include "db/Sql.h"
#include "payments/Ledger.h"
#include "payments/Payments.h"

#include <QSqlQuery>

#include <algorithm>

namespace velmor::bench {

namespace {
const QStringList kPaymentTables = {QStringLiteral("SingleStone"), QStringLiteral("PaymentReceived"),
                                   QStringLiteral("Customer"), QStringLiteral("invoice"),
                                   QStringLiteral("invoicelist")};

struct Spread {
    int customers = 0;       // customers in the books
    qint64 busiest = 0;      // the customer with the most invoices
    int busiestInvoices = 0; // and how many he has
};

// Gives the books one customer per two stones, the invoices spread over them
// and one customer with 2,000 of them; the stones and payments follow their
// invoice's customer.
Spread spreadOverCustomers(SizeEnv &env, const QSqlDatabase &db)
{
    Spread sp;
    const int wanted = std::max(40, env.size / 2);
    const int have = db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Customer WHERE IFNULL(Customer, 0) <> 0")).toInt();
    if (have < wanted)
        db::exec(db, QStringLiteral("INSERT INTO Customer (CompanyName, ContactName, CompanyCity, CompanyCountry, "
                                    "Customer, Supplier, Terms, CreditLimit, Hold) SELECT CONCAT('Bench customer #', "
                                    "s.ID), 'Accounts', 'Toronto', 'Canada', 1, 0, '30', 25000, 0 FROM SingleStone s "
                                    "ORDER BY s.ID LIMIT %1")
                         .arg(wanted - have));
    db::exec(db, QStringLiteral("DROP TEMPORARY TABLE IF EXISTS benchcustomer"));
    db::exec(db, QStringLiteral("CREATE TEMPORARY TABLE benchcustomer (n INT PRIMARY KEY, id INT) SELECT ROW_NUMBER() "
                                "OVER (ORDER BY ID) - 1 AS n, ID AS id FROM Customer WHERE IFNULL(Customer, 0) <> 0"));
    sp.customers = db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM benchcustomer")).toInt();
    sp.busiest = db::scalar(db, QStringLiteral("SELECT id FROM benchcustomer WHERE n = 0")).toLongLong();
    db::exec(db, QStringLiteral("UPDATE invoice i JOIN benchcustomer b ON b.n = MOD(i.ID - 1, %1) SET i.customerid = b.id")
                     .arg(sp.customers));
    db::exec(db, QStringLiteral("UPDATE invoice i JOIN (SELECT ID FROM invoice ORDER BY ID LIMIT 2000) f ON f.ID = i.ID "
                                "SET i.customerid = ?"),
             {sp.busiest});
    db::exec(db, QStringLiteral("DROP TEMPORARY TABLE benchcustomer"));
    db::exec(db, QStringLiteral("UPDATE SingleStone s JOIN invoicelist il ON il.diamondid = s.ID JOIN invoice i ON i.ID "
                                "= il.invoiceid SET s.CustomerID = i.customerid WHERE s.Status = 'Sold'"));
    db::exec(db, QStringLiteral("UPDATE PaymentReceived p JOIN invoicelist il ON il.diamondid = p.StoneID JOIN invoice i "
                                "ON i.ID = il.invoiceid SET p.CustomerID = i.customerid"));
    // Every other invoice is taxed (13 %), so that what each line owes takes
    // its share of the invoice's tax; the stones paid off were paid it too
    // (the generated books pay such a stone in one row).
    db::exec(db, QStringLiteral("UPDATE invoicelist SET taxrate = 13 WHERE MOD(invoiceid, 2) = 0"));
    db::exec(db, QStringLiteral("UPDATE PaymentReceived p JOIN SingleStone s ON s.ID = p.StoneID JOIN invoicelist il ON "
                                "il.ID = (SELECT MAX(z.ID) FROM invoicelist z WHERE z.diamondid = s.ID) SET p.PaymentUS = "
                                "p.PaymentUS + %1 WHERE s.Status = 'Sold' AND IFNULL(s.StoneIsPaidOff, 0) <> 0 AND "
                                "il.taxrate <> 0 AND p.PaymentUS <> 0")
                     .arg(db::dues::taxUSOf(QStringLiteral("il"))));
    for (const QString &t : kPaymentTables)
        db::exec(db, QStringLiteral("ANALYZE TABLE %1").arg(t));
    sp.busiestInvoices =
        db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM invoice WHERE customerid = ?"), {sp.busiest}).toInt();
    return sp;
}

// The median of a road measured before, in milliseconds (-1 when not measured).
double medianMs(const Bench &bench, const QString &scenario, int size, const QString &road)
{
    for (const Result &r : bench.results())
        if (r.scenario == scenario && r.size == size && r.road == road && r.state == Result::State::Measured)
            return r.median() * 1000;
    return -1;
}
} // namespace

void runPaymentScenarios(SizeEnv &env)
{
    const QString payName = QStringLiteral("payments: a payment received (per payment)");
    const QString statementName = QStringLiteral("payments: the statement of the busiest customer");
    const QString receivablesName = QStringLiteral("payments: receivables of every customer");
    if (!env.bench.wants(payName) && !env.bench.wants(statementName) && !env.bench.wants(receivablesName))
        return;
    BenchContext ctx(env);
    ctx->user.ID = 1;
    ctx->user.set(payments::applyRight(), true);
    ctx->user.set(payments::statementRight(), true);
    const QSqlDatabase db = env.workDb();
    env.restoreWork(kPaymentTables);
    const Spread sp = spreadOverCustomers(env, db);
    const qint64 busiest = sp.busiest;
    // 200 of the busiest customer's stones not paid off: a payment of 1.00
    // each leaves them unpaid, so the runs differ only in the rows written
    // (removed before each run).
    QList<qint64> unpaid;
    {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT s.ID FROM SingleStone s JOIN invoicelist il ON il.diamondid = "
                                                  "s.ID JOIN invoice i ON i.ID = il.invoiceid WHERE i.customerid = ? AND "
                                                  "s.Status = 'Sold' AND IFNULL(s.StoneIsPaidOff, 0) = 0 ORDER BY s.ID "
                                                  "LIMIT 200"),
                               {busiest});
        while (q.next())
            unpaid << q.value(0).toLongLong();
    }
    const qint64 lastPayment = db::scalar(db, QStringLiteral("SELECT IFNULL(MAX(ID), 0) FROM PaymentReceived")).toLongLong();
    const auto removeRunsPayments = [&] {
        db::exec(db, QStringLiteral("DELETE FROM PaymentReceived WHERE ID > ?"), {lastPayment});
    };
    if (env.bench.wants(payName) && !unpaid.isEmpty()) {
        env.bench.measure(
            payName, env.size,
            {Road{QStringLiteral("velmor"), removeRunsPayments,
                  [&] {
                      payments::PaymentInput in;
                      in.us = QStringLiteral("1.00");
                      in.local = QStringLiteral("1.35");
                      for (qint64 id : unpaid) {
                          const payments::Outcome o = payments::receiveForStone(*ctx, id, in);
                          if (!o.ok())
                              throw db::DbError(QStringLiteral("payment refused: ") + o.message);
                      }
                  },
                  false, int(unpaid.size())},
             Road{QStringLiteral("floor"), removeRunsPayments,
                  [&] {
                      for (qint64 id : unpaid) {
                          db::exec(db, QStringLiteral("INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, "
                                                      "StoneID) VALUES (NOW(), 1, 1.35, ?)"),
                                   {id});
                      }
                  },
                  false, int(unpaid.size())}});
    }
    removeRunsPayments();
    if (env.bench.wants(statementName) && busiest) {
        int entries = 0;
        env.bench.measure(
            statementName, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [&] {
                      const auto st = payments::statementOf(*ctx, busiest, {}, {});
                      entries = st ? int(st->entries.size()) : 0;
                  }},
             Road{QStringLiteral("floor"), {}, [&] {
                      QSqlQuery a = db::exec(db, QStringLiteral("SELECT il.ID, il.pricecarat, il.carat FROM invoice i "
                                                                "JOIN invoicelist il ON il.invoiceid = i.ID WHERE "
                                                                "i.customerid = ?"),
                                             {busiest});
                      while (a.next()) {
                      }
                      QSqlQuery b = db::exec(db, QStringLiteral("SELECT ID, PaymentUS FROM PaymentReceived WHERE "
                                                                "CustomerID = ?"),
                                             {busiest});
                      while (b.next()) {
                      }
                  }}});
        env.bench.addNote(statementName, env.size, QStringLiteral("velmor"),
                          QStringLiteral("customer %1: %2 invoices, %3 entries; %4 ms")
                              .arg(busiest)
                              .arg(sp.busiestInvoices)
                              .arg(entries)
                              .arg(medianMs(env.bench, statementName, env.size, QStringLiteral("velmor")), 0, 'f', 1));
    }
    if (env.bench.wants(receivablesName)) {
        int rows = 0;
        env.bench.measure(
            receivablesName, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [&] { rows = int(payments::receivables(*ctx, QDate::currentDate()).rows.size()); }},
             Road{QStringLiteral("floor"), {}, [&] {
                      QSqlQuery q = db::exec(db, QStringLiteral("SELECT i.customerid, SUM(il.pricecarat * il.carat) FROM "
                                                                "SingleStone s JOIN invoicelist il ON il.diamondid = s.ID "
                                                                "JOIN invoice i ON i.ID = il.invoiceid WHERE s.Status = "
                                                                "'Sold' GROUP BY i.customerid"));
                      while (q.next()) {
                      }
                  }}});
        env.bench.addNote(receivablesName, env.size, QStringLiteral("velmor"),
                          QStringLiteral("%1 customers, %2 with a balance; %3 ms (to stay under 200 ms at 100,000 "
                                         "stones)")
                              .arg(sp.customers)
                              .arg(rows)
                              .arg(medianMs(env.bench, receivablesName, env.size, QStringLiteral("velmor")), 0, 'f', 1));
    }
    env.restoreWork(kPaymentTables);
}

} // namespace velmor::bench
