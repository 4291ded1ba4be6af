// Posting sales to invoices: the tax rule, the open-invoice rule (also with
// two workstations racing), the line's figures, and the sale of a stone as
// one transaction.
#include "../stones/StoneTestEnv.h"
#include "WorkstationThread.h"
#include "db/Row.h"
#include "db/Transaction.h"
#include "invoices/Posting.h"

#include <QTest>
#include <atomic>

using namespace velmor;
using namespace velmor::invoices;
using velmor::test::StoneEnv;

class tst_posting : public QObject {
    Q_OBJECT

private slots:
    void decimalTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "7500.00" << "7500.00";
        QTest::newRow("blanks and plus") << " +1.01 " << "1.01";
        QTest::newRow("leading point") << ".5" << "0.5";
        QTest::newRow("negative") << "-2" << "-2";
        QTest::newRow("comma") << "1,5" << "";
        QTest::newRow("letters") << "abc" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("lone point") << "." << "";
        QTest::newRow("quote") << "1'; DROP TABLE invoice; --" << "";
    }
    void decimalTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QCOMPARE(decimalText(text), stored);
    }

    // The last set flag decides and carries the configured rate of its tax.
    void taxRule_data()
    {
        QTest::addColumn<QList<int>>("flags");
        QTest::addColumn<double>("rate");
        QTest::newRow("none") << QList<int>{0, 0, 0, 0} << 0.0;
        QTest::newRow("first") << QList<int>{-1, 0, 0, 0} << 5.0;
        QTest::newRow("last set wins") << QList<int>{-1, 0, -1, 0} << 8.0;
        QTest::newRow("fourth") << QList<int>{0, -1, 0, -1} << 15.0;
    }
    void taxRule()
    {
        QFETCH(QList<int>, flags);
        QFETCH(double, rate);
        StoneEnv e;
        e.ctx.settings._tax = {5.0, 7.0, 8.0, 15.0};
        const qint64 c = e.customer("Tax Ltd");
        db::exec(e.t.db(), "UPDATE Customer SET _tax1=?, _tax2=?, _tax3=?, _tax4=? WHERE ID=?",
                 {flags[0], flags[1], flags[2], flags[3], c});
        QCOMPARE(taxRateFor(e.ctx, c), rate);
        const qint64 s = e.stone("T1");
        QCOMPARE(sellStoneOnInvoice(e.ctx, s, c, "1.01", "100").result, SellResult::Done);
        QCOMPARE(e.value("SELECT taxrate FROM invoicelist").toString().toDouble(), rate);
    }

    // First sale opens an invoice, the second goes on it; figures are stored
    // exactly as typed; a closed invoice is never reused.
    void newThenExisting()
    {
        StoneEnv e;
        const qint64 c = e.customer("O'Brien \\ Sons");
        const qint64 s1 = e.stone("S1"), s2 = e.stone("S2"), s3 = e.stone("S3");
        const SellOutcome a = sellStoneOnInvoice(e.ctx, s1, c, "1.01", "7500.00");
        QCOMPARE(a.result, SellResult::Done);
        QVERIFY(a.posted.newInvoice);
        QCOMPARE(a.message, QStringLiteral("Added to a new Invoice #%1").arg(a.posted.invoiceId));
        const SellOutcome b = sellStoneOnInvoice(e.ctx, s2, c, "0.33333", "12345.67891");
        QCOMPARE(b.result, SellResult::Done);
        QVERIFY(!b.posted.newInvoice);
        QCOMPARE(b.posted.invoiceId, a.posted.invoiceId);
        QCOMPARE(b.message, QStringLiteral("Added to the existing Invoice #%1").arg(a.posted.invoiceId));
        QCOMPARE(e.prompt.texts(test::PromptEvent::Notice), (QStringList{a.message, b.message}));

        QSqlQuery q = db::exec(e.t.db(), "SELECT invoiceid, diamondid, parcelid, CAST(carat AS CHAR), "
                                         "CAST(pricecarat AS CHAR), CAST(exchangerateCDN AS CHAR), "
                                         "CAST(exchangerateZAR AS CHAR), details FROM invoicelist WHERE id=?",
                               {b.posted.lineId});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toLongLong(), a.posted.invoiceId);
        QCOMPARE(q.value(1).toLongLong(), s2);
        QVERIFY(q.value(2).isNull());
        QCOMPARE(q.value(3).toString(), QStringLiteral("0.33333"));
        QCOMPARE(q.value(4).toString(), QStringLiteral("12345.67891"));
        QCOMPARE(q.value(5).toString(), QStringLiteral("1.25000"));
        QCOMPARE(q.value(6).toString(), QStringLiteral("14.00000"));
        QVERIFY(q.value(7).isNull());
        QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s2}).toString(), QStringLiteral("Sold"));
        QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {s2}).toLongLong(), c);
        QVERIFY(!e.value("SELECT datewassold FROM SingleStone WHERE ID=?", {s2}).isNull());
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {a.posted.invoiceId}).toString(), QStringLiteral("open"));

        db::exec(e.t.db(), "UPDATE invoice SET status='closed', dateclosed=NOW() WHERE ID=?", {a.posted.invoiceId});
        const SellOutcome d = sellStoneOnInvoice(e.ctx, s3, c, "1", "1");
        QVERIFY(d.posted.newInvoice);
        QVERIFY(d.posted.invoiceId > a.posted.invoiceId);
    }

    void twoOpenInvoicesTakeTheNewest()
    {
        StoneEnv e;
        const qint64 c = e.customer("Two Open");
        db::exec(e.t.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), 'open')", {c});
        const qint64 newest =
            db::insert(e.t.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), 'open')", {c});
        const SellOutcome a = sellStoneOnInvoice(e.ctx, e.stone("N1"), c, "1", "10");
        QCOMPARE(a.posted.invoiceId, newest);
        QVERIFY(!a.posted.newInvoice);
    }

    // A free line and a parcel line through the same posting; an SKU in the notice.
    void otherLinesAndNotices()
    {
        StoneEnv e;
        const qint64 c = e.customer("Free");
        db::Transaction tx(e.t.db());
        SaleLine l;
        l.customerId = c;
        l.parcelId = 77;
        l.carat = "2.5";
        l.priceCarat = "100";
        l.details = "Parcel part";
        const Posted p = postInTransaction(e.ctx, l);
        tx.commit();
        QCOMPARE(e.value("SELECT parcelid FROM invoicelist WHERE id=?", {p.lineId}).toLongLong(), 77);
        QVERIFY(e.value("SELECT diamondid FROM invoicelist WHERE id=?", {p.lineId}).isNull());
        QCOMPARE(postedNotice(p, "P-7"), QStringLiteral("Added P-7 to a new Invoice #%1").arg(p.invoiceId));
        QCOMPARE(postedNotice(Posted{p.invoiceId, 0, false}, "P-7"),
                 QStringLiteral("Added P-7 to the existing Invoice #%1").arg(p.invoiceId));
    }

    // Refusals leave every row as it was.
    void refusals_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("carat");
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("knownCustomer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("words");
        QTest::newRow("sold elsewhere") << "Sold" << "1" << "1" << true << int(SellResult::Conflict) << "Status is now \"Sold\"";
        QTest::newRow("on memo") << "Memo" << "1" << "1" << true << int(SellResult::Conflict) << "Status is now \"Memo\"";
        QTest::newRow("letter in weight") << "Stock" << "1.o1" << "1" << true << int(SellResult::Refused) << "is not a number";
        QTest::newRow("letter in price") << "Stock" << "1" << "75OO" << true << int(SellResult::Refused) << "is not a number";
        QTest::newRow("customer gone") << "Stock" << "1" << "1" << false << int(SellResult::Refused) << "does not exist";
    }
    void refusals()
    {
        QFETCH(QString, status);
        QFETCH(QString, carat);
        QFETCH(QString, price);
        QFETCH(bool, knownCustomer);
        QFETCH(int, result);
        QFETCH(QString, words);
        StoneEnv e;
        const qint64 c = knownCustomer ? e.customer("Buyer") : 999999;
        const qint64 s = e.stone("R1", status);
        const SellOutcome o = sellStoneOnInvoice(e.ctx, s, c, carat, price);
        QCOMPARE(int(o.result), result);
        QVERIFY2(o.message.contains(words), qPrintable(o.message));
        QCOMPARE(e.prompt.messages().size(), 1);
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
        QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s}).toString(), status);
    }

    // Two workstations sell to the same customer at the same moment: one
    // invoice with both lines, every round.  The same stone sold on both:
    // exactly one sale, one line.
    void concurrentFirstSales()
    {
        StoneEnv e;
        const int rounds = 200;
        int sameStoneRounds = 0;
        for (int r = 0; r < rounds; ++r) {
            const qint64 c = e.customer(QStringLiteral("Race %1").arg(r));
            const bool sameStone = r % 4 == 3;
            const qint64 s1 = e.stone(QStringLiteral("A%1").arg(r));
            const qint64 s2 = sameStone ? s1 : e.stone(QStringLiteral("B%1").arg(r));
            std::atomic<int> ready{0};
            std::atomic<int> done{0};
            auto seller = [&](qint64 stone) {
                return [&, stone](AppContext &ctx, test::ScriptedPrompt &) {
                    ready.fetch_add(1);
                    while (ready.load() < 2)
                        std::this_thread::yield();
                    if (sellStoneOnInvoice(ctx, stone, c, "1.00", "100.00").result == SellResult::Done)
                        done.fetch_add(1);
                };
            };
            {
                test::WorkstationThread a(e.t.settings(), seller(s1));
                test::WorkstationThread b(e.t.settings(), seller(s2));
            }
            QCOMPARE(e.count("SELECT COUNT(*) FROM invoice WHERE customerid=?", {c}), 1);
            const int expected = sameStone ? 1 : 2;
            QCOMPARE(done.load(), expected);
            QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist l JOIN invoice i ON i.ID=l.invoiceid "
                             "WHERE i.customerid=?",
                             {c}),
                     expected);
            sameStoneRounds += sameStone;
        }
        QCOMPARE(sameStoneRounds, rounds / 4);
    }
};

QTEST_GUILESS_MAIN(tst_posting)
#include "tst_posting.moc"
