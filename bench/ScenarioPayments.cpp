// Payments on the dealer's books: entering payments for sold stones (each
// one the whole operation: rights, the stone written first, the account
// read, the row, the flags), the statement of the customer with the most
// invoices, and the receivables of every customer.  Floors: the payment's
// rows written bare (the row inserted, the flag updated, no transaction);
// the customer's invoice lines and payments read bare; the sold stones'
// lines summed per customer in one bare query.
#include "Scenarios.h"

#include "db/Sql.h"
#include "payments/Ledger.h"
#include "payments/Payments.h"

#include <QSqlQuery>

namespace velmor::bench {

namespace {
const QStringList kPaymentTables = {QStringLiteral("SingleStone"), QStringLiteral("PaymentReceived")};
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
    QList<qint64> unpaid;
    {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT s.ID FROM SingleStone s WHERE s.Status = 'Sold' AND "
                                                  "IFNULL(s.StoneIsPaidOff, 0) = 0 AND EXISTS (SELECT 1 FROM invoicelist "
                                                  "il WHERE il.diamondid = s.ID) ORDER BY s.ID LIMIT 200"));
        while (q.next())
            unpaid << q.value(0).toLongLong();
    }
    if (env.bench.wants(payName) && !unpaid.isEmpty()) {
        env.bench.measure(
            payName, env.size,
            {Road{QStringLiteral("velmor"), [&] { env.restoreWork(kPaymentTables); },
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
             Road{QStringLiteral("floor"), [&] { env.restoreWork(kPaymentTables); },
                  [&] {
                      for (qint64 id : unpaid) {
                          db::exec(db, QStringLiteral("INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, "
                                                      "StoneID) VALUES (NOW(), 1, 1.35, ?)"),
                                   {id});
                          db::exec(db, QStringLiteral("UPDATE SingleStone SET StoneIsPaidOff = 0 WHERE ID = ?"), {id});
                      }
                  },
                  false, int(unpaid.size())}});
    }
    env.restoreWork(kPaymentTables);
    const qint64 busiest = db::scalar(db, QStringLiteral("SELECT customerid FROM invoice GROUP BY customerid ORDER BY "
                                                         "COUNT(*) DESC, customerid LIMIT 1"))
                               .toLongLong();
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
                          QStringLiteral("customer %1, %2 entries").arg(busiest).arg(entries));
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
                          QStringLiteral("%1 customers with a balance").arg(rows));
    }
    env.restoreWork(kPaymentTables);
}

} // namespace velmor::bench
