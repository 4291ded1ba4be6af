// Two workstations on two nodes of the cluster paying one invoice at the same
// moment, neither confirming an overpayment: one payment is taken, the other
// is asked about the overpayment it would now be; the books stay whole and
// each stone's (and a free line's) balance is right.
#include "ClusterDb.h"
#include "WorkstationThread.h"
#include "db/Sql.h"
#include "payments/Payments.h"
#include "shell/BooksCheck.h"

#include <QThread>
#include <QtTest>
#include <atomic>

using namespace velmor;
using test::ClusterDb;
using test::WorkstationThread;

class TestPaymentCluster : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!ClusterDb::available())
            QSKIP("no cluster: run through ctest");
    }

    void twoNodesPayOneInvoice()
    {
        ClusterDb c;
        const qint64 lumen = db::insert(c.db(), "INSERT INTO Customer (CompanyName, Customer) VALUES ('Lumen', -1)");
        for (int round = 0; round < 3; ++round) {
            const qint64 inv = db::insert(c.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, "
                                                  "NOW(), 'closed')",
                                          {lumen});
            QList<qint64> stones;
            for (const char *price : {"1000", "2000"}) {
                const qint64 s = db::insert(c.db(), "INSERT INTO SingleStone (SKU, Carat, Status, CustomerID) VALUES "
                                                    "(?, 1.01, 'Sold', ?)",
                                            {QStringLiteral("R%1-%2").arg(round).arg(price), lumen});
                db::exec(c.db(), "INSERT INTO invoicelist (invoiceid, diamondid, carat, dateadded, pricecarat, "
                                 "exchangerateCDN) VALUES (?, ?, 1.01, NOW(), ?, 1.38)",
                         {inv, s, price});
                stones << s;
            }
            QThread::msleep(300); // the rows reach the other nodes
            std::atomic<int> done{0}, asked{0};
            auto pay = [&](AppContext &ctx) {
                ctx.user.set(QStringLiteral("AllowApplyPayment"), true);
                ctx.exchangeRateCDN = 1.38;
                payments::PaymentInput in;
                in.us = QStringLiteral("2,000.00");
                const payments::Outcome o = payments::receiveForInvoice(ctx, inv, in);
                if (o.ok())
                    ++done;
                else if (o.state == payments::Outcome::Overpayment)
                    ++asked;
                else
                    qWarning("%s", qPrintable(o.message));
            };
            {
                WorkstationThread a(c.node(1), [&](AppContext &ctx, test::ScriptedPrompt &) { pay(ctx); });
                WorkstationThread b(c.node(2), [&](AppContext &ctx, test::ScriptedPrompt &) { pay(ctx); });
                a.join();
                b.join();
                QVERIFY(a.error().isEmpty() && b.error().isEmpty());
            }
            QCOMPARE(done.load(), 1);
            QCOMPARE(asked.load(), 1);
            QCOMPARE(Decimal5::fromDb(db::scalar(c.db(), "SELECT SUM(PaymentUS) FROM PaymentReceived WHERE StoneID = ?",
                                                 {stones[0]}))
                         .fixed(2),
                     QStringLiteral("1010.00"));
            QCOMPARE(Decimal5::fromDb(db::scalar(c.db(), "SELECT SUM(PaymentUS) FROM PaymentReceived WHERE StoneID = ?",
                                                 {stones[1]}))
                         .fixed(2),
                     QStringLiteral("990.00"));
            QCOMPARE(db::scalar(c.db(), "SELECT StoneIsPaidOff FROM SingleStone WHERE ID = ?", {stones[0]}).toInt(), -1);
            QCOMPARE(db::scalar(c.db(), "SELECT StoneIsPaidOff FROM SingleStone WHERE ID = ?", {stones[1]}).toInt(), 0);
        }
        // A free line has no stone row to write first: its guard row keeps
        // two payments of 300.00 on a balance of 500.00 apart.
        const qint64 inv = db::insert(c.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), "
                                              "'closed')",
                                      {lumen});
        const qint64 free = db::insert(c.db(), "INSERT INTO invoicelist (invoiceid, details, carat, dateadded, pricecarat, "
                                               "exchangerateCDN) VALUES (?, 'Setting', 1, NOW(), 500, 1.38)",
                                       {inv});
        QThread::msleep(300);
        std::atomic<int> done{0}, asked{0};
        auto pay = [&](AppContext &ctx) {
            ctx.user.set(QStringLiteral("AllowApplyPayment"), true);
            payments::PaymentInput in;
            in.us = QStringLiteral("300");
            const payments::Outcome o = payments::receiveForInvoice(ctx, inv, in);
            if (o.ok())
                ++done;
            else if (o.state == payments::Outcome::Overpayment)
                ++asked;
        };
        {
            WorkstationThread a(c.node(1), [&](AppContext &ctx, test::ScriptedPrompt &) { pay(ctx); });
            WorkstationThread b(c.node(2), [&](AppContext &ctx, test::ScriptedPrompt &) { pay(ctx); });
            a.join();
            b.join();
        }
        QCOMPARE(done.load(), 1);
        QCOMPARE(asked.load(), 1);
        QCOMPARE(Decimal5::fromDb(db::scalar(c.db(), "SELECT SUM(PaymentUS) FROM PaymentReceived WHERE InvoiceListID = ?",
                                             {free}))
                     .fixed(2),
                 QStringLiteral("300.00"));
        const books::Report r = books::checkBooks(c.db());
        QStringList found;
        for (const books::RuleResult &res : r.results)
            if (res.rule.key.startsWith(QLatin1String("payment-")) && !res.clean())
                found << res.rule.key;
        QVERIFY2(found.isEmpty(), qPrintable(books::reportText(r)));
    }
};

QTEST_GUILESS_MAIN(TestPaymentCluster)
#include "tst_paymentcluster.moc"
