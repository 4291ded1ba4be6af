// Payments received and made: what is refused (and that nothing is written
// then), part and full payments against the memo report's unpaid view,
// overpayments, local amounts at known rates, an invoice's payment spread
// over its stones, reversals, payments made to a consignor, two
// workstations paying one stone at once, and the commands.
#include "../invoices/InvoiceTestEnv.h"
#include "../stones/CountStations.h"
#include "PaperLines.h"
#include "WorkstationThread.h"
#include "db/Guard.h"
#include "memos/MemoReport.h"
#include "payments/Payments.h"

#include <QProcess>
#include <QtTest>
#include <atomic>

using namespace velmor;
using namespace velmor::payments;
using velmor::test::InvoiceEnv;
using velmor::test::WorkstationThread;

namespace {

struct PayEnv : InvoiceEnv {
    PayEnv() { ctx.user.set(QStringLiteral("AllowApplyPayment"), true); }

    void exec(const QString &sql, const QVariantList &binds = {}) { db::exec(t.db(), sql, binds); }

    // A stone sold to the customer on the invoice at price per carat (1.01 ct).
    qint64 soldStone(const QString &sku, qint64 customerId, qint64 invoiceId, const QString &priceCarat,
                     const QString &rate = "1.38")
    {
        const qint64 id = stone(sku, "Sold", customerId);
        line(invoiceId, id, 0, "1.01", priceCarat, "0", {}, rate);
        // The row written when it went out on memo, before the sale.
        exec("INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, StoneID, CustomerID) VALUES (NOW(), 0, 0, "
             "?, ?)",
             {id, customerId});
        return id;
    }
    int payments(qint64 stoneId)
    {
        return count("SELECT COUNT(*) FROM PaymentReceived WHERE StoneID = ? AND NOT (PaymentUS = 0 AND PaymentLocal = 0)",
                     {stoneId});
    }
    bool paidOff(qint64 stoneId) { return value("SELECT StoneIsPaidOff FROM SingleStone WHERE ID = ?", {stoneId}).toInt() != 0; }
    QString paidUS(qint64 stoneId)
    {
        return Decimal5::fromDb(value("SELECT SUM(PaymentUS) FROM PaymentReceived WHERE StoneID = ?", {stoneId})).fixed(2);
    }
    Outcome receive(qint64 stoneId, const QString &us, const QString &local = {}, bool confirm = false)
    {
        PaymentInput in;
        in.us = us;
        in.local = local;
        in.reference = QStringLiteral("cheque 1001");
        in.confirmOverpayment = confirm;
        return receiveForStone(ctx, stoneId, in);
    }
    // The memo report's unpaid row of the stone: its balance text, or empty
    // when the stone is not listed.
    QString reportBalance(qint64 stoneId)
    {
        memos::ReportFilter f;
        const memos::Report r = memos::runReport(ctx, f);
        for (const memos::ReportRow &row : r.rows)
            if (row.stoneId == stoneId)
                return row.cells.at(18);
        return {};
    }
};

} // namespace

class TestPayments : public QObject {
    Q_OBJECT
private slots:
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();
    void partThenFullPayment();
    void overpaymentAskedThenConfirmed();
    void localAmountsAtKnownRates();
    void invoiceSpreadOverItsStones();
    void reversals();
    void paymentsMade();
    void twoWorkstationsPayOneStone();
    void commandLine();
};

void TestPayments::refusalsWriteNothing_data()
{
    QTest::addColumn<QString>("stone"); // sold, stock, memo
    QTest::addColumn<QString>("us");
    QTest::addColumn<QString>("local");
    QTest::addColumn<bool>("right");
    QTest::addColumn<double>("workingRate");
    QTest::addColumn<QString>("message");
    QTest::newRow("zero") << "sold" << "0" << "" << true << 1.25 << "US$ amount";
    QTest::newRow("below zero") << "sold" << "-10" << "" << true << 1.25 << "US$ amount";
    QTest::newRow("a letter") << "sold" << "1o0" << "" << true << 1.25 << "US$ amount";
    QTest::newRow("decimal comma") << "sold" << "0,75" << "" << true << 1.25 << "US$ amount";
    QTest::newRow("nothing typed") << "sold" << "" << "" << true << 1.25 << "Type the amount";
    QTest::newRow("local zero") << "sold" << "" << "0.00" << true << 1.25 << "CDN amount";
    QTest::newRow("without the right") << "sold" << "100" << "" << false << 1.25 << "No Permission";
    QTest::newRow("a stone in stock") << "stock" << "100" << "" << true << 1.25 << "neither on memo nor sold";
    // A memo stone has no rate of a sale: a US amount alone needs the working rate.
    QTest::newRow("working rate unknown") << "memo" << "100" << "" << true << 0.0 << "exchange rate to CDN is not known";
}

void TestPayments::refusalsWriteNothing()
{
    QFETCH(QString, stone);
    QFETCH(QString, us);
    QFETCH(QString, local);
    QFETCH(bool, right);
    QFETCH(double, workingRate);
    QFETCH(QString, message);
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 id = stone == "sold"    ? e.soldStone("R1", lumen, inv, "5000")
                      : stone == "memo" ? e.stone("M1", "Memo", lumen)
                                        : e.stone("S1");
    e.ctx.user.set(QStringLiteral("AllowApplyPayment"), right);
    e.ctx.exchangeRateCDN = workingRate;
    const QStringList before = e.row("SingleStone", id);
    const Outcome o = e.receive(id, us, local);
    QCOMPARE(int(o.state), int(Outcome::Refused));
    QVERIFY2(o.message.contains(message), qPrintable(o.message));
    QCOMPARE(e.payments(id), 0);
    QStringList after = e.row("SingleStone", id);
    QCOMPARE(after, before);
}

void TestPayments::partThenFullPayment()
{
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 r1 = e.soldStone("R1", lumen, inv, "5000"); // 5,050.00
    // Listed as sold and not paid, with its whole price owing.
    QCOMPARE(e.reportBalance(r1), QStringLiteral("US$ 5,050.00"));

    Outcome o = e.receive(r1, "2,000.00");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows.size(), 1);
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("3050.00"));
    QVERIFY(!o.rows[0].paidOff);
    QVERIFY(!e.paidOff(r1));
    QCOMPARE(e.reportBalance(r1), QStringLiteral("US$ 3,050.00"));
    // The row: who entered it, its line, the local amount at the sale's rate.
    QCOMPARE(e.value("SELECT EmployeeID FROM PaymentReceived WHERE ID = ?", {o.rows[0].paymentId}).toInt(), 7);
    QCOMPARE(e.value("SELECT InvoiceListID IS NOT NULL FROM PaymentReceived WHERE ID = ?", {o.rows[0].paymentId}).toInt(), 1);
    QCOMPARE(o.rows[0].local.fixed(2), QStringLiteral("2760.00"));

    o = e.receive(r1, "3050");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QVERIFY(o.rows[0].paidOff);
    QVERIFY(e.paidOff(r1));
    QCOMPARE(e.paidUS(r1), QStringLiteral("5050.00"));
    // Paid off: out of the unpaid view.
    QCOMPARE(e.reportBalance(r1), QString());
    const std::optional<StoneAccount> acc = stoneAccount(e.ctx, Side::Received, r1);
    QVERIFY(acc && acc->balance().isZero() && acc->settled());
}

void TestPayments::overpaymentAskedThenConfirmed()
{
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 r1 = e.soldStone("R1", lumen, inv, "1000"); // 1,010.00
    QVERIFY(e.receive(r1, "1000").ok());
    Outcome o = e.receive(r1, "20.00");
    QCOMPARE(int(o.state), int(Outcome::Overpayment));
    QVERIFY2(o.message.contains("US$ 20.00") && o.message.contains("US$ 10.00") && o.message.contains("R1"),
             qPrintable(o.message));
    QCOMPARE(e.payments(r1), 1);
    QVERIFY(!e.paidOff(r1));
    o = e.receive(r1, "20.00", {}, true);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("-10.00"));
    QVERIFY(e.paidOff(r1));
    QCOMPARE(e.value("SELECT Overpaid FROM PaymentReceived WHERE ID = ?", {o.rows[0].paymentId}).toInt(), -1);
    // Exactly the balance is no overpayment.
    const qint64 r2 = e.soldStone("R2", lumen, inv, "1000");
    o = e.receive(r2, "1010");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(e.value("SELECT Overpaid FROM PaymentReceived WHERE ID = ?", {o.rows[0].paymentId}).toInt(), 0);
}

void TestPayments::localAmountsAtKnownRates()
{
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    // Priced in the local currency: its account is kept in CDN.
    const qint64 c1 = e.soldStone("C1", lumen, inv, "1000", "1.38"); // US 1,010.00, CDN 1,393.80
    e.exec("UPDATE SingleStone SET PaidOffLocal = -1 WHERE ID = ?", {c1});
    // Typed in CDN only: the US amount at the sale's rate, not today's.
    e.ctx.exchangeRateCDN = 1.5;
    Outcome o = e.receive(c1, {}, "1,380.00");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].us.fixed(2), QStringLiteral("1000.00"));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("13.80"));
    QVERIFY(o.rows[0].local_);
    QCOMPARE(e.reportBalance(c1), QStringLiteral("CDN 13.80"));
    // Both typed: kept as typed.
    o = e.receive(c1, "10.00", "13.80");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].us.fixed(2), QStringLiteral("10.00"));
    QVERIFY(e.paidOff(c1));
    // A line sold at an unknown rate cannot tell a local-priced balance.
    const qint64 c2 = e.soldStone("C2", lumen, inv, "1000", "0");
    e.exec("UPDATE invoicelist SET exchangerateCDN = NULL WHERE diamondid = ?", {c2});
    e.exec("UPDATE SingleStone SET PaidOffLocal = -1 WHERE ID = ?", {c2});
    o = e.receive(c2, "100", "138");
    QCOMPARE(int(o.state), int(Outcome::Refused));
    QVERIFY2(o.message.contains("exchange rate to CDN"), qPrintable(o.message));
    QCOMPARE(e.payments(c2), 0);
}

void TestPayments::invoiceSpreadOverItsStones()
{
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 a = e.soldStone("A1", lumen, inv, "1000"); // 1,010.00
    const qint64 b = e.soldStone("B1", lumen, inv, "2000"); // 2,020.00
    const qint64 c = e.soldStone("C1", lumen, inv, "3000"); // 3,030.00
    const qint64 free = e.line(inv, 0, 0, "1", "500");      // the newest line, a free one
    PaymentInput in;
    in.us = QStringLiteral("2,500.00");
    in.reference = QStringLiteral("wire 77");
    // Oldest line first.
    Outcome o = receiveForInvoice(e.ctx, inv, in);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows.size(), 2);
    QCOMPARE(e.paidUS(a), QStringLiteral("1010.00"));
    QCOMPARE(e.paidUS(b), QStringLiteral("1490.00"));
    QCOMPARE(e.payments(c), 0);
    QVERIFY(e.paidOff(a));
    QVERIFY(!e.paidOff(b));
    // The lines and amounts chosen: they must add up to the payment.
    const qint64 lineC = e.value("SELECT ID FROM invoicelist WHERE diamondid = ?", {c}).toLongLong();
    const qint64 lineB = e.value("SELECT ID FROM invoicelist WHERE diamondid = ?", {b}).toLongLong();
    in.us = QStringLiteral("1000");
    o = receiveForInvoice(e.ctx, inv, in, {{lineC, "600"}, {lineB, "300"}});
    QCOMPARE(int(o.state), int(Outcome::Refused));
    QVERIFY2(o.message.contains("900.00") && o.message.contains("1,000.00"), qPrintable(o.message));
    o = receiveForInvoice(e.ctx, inv, in, {{lineC, "700"}, {lineB, "300"}});
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(e.paidUS(c), QStringLiteral("700.00"));
    QCOMPARE(e.paidUS(b), QStringLiteral("1790.00"));
    // More than every balance, the free line's too: the rest lands on the
    // newest line, once confirmed; the free line's row names no stone.
    in.us = QStringLiteral("3,500.00");
    o = receiveForInvoice(e.ctx, inv, in);
    QCOMPARE(int(o.state), int(Outcome::Overpayment));
    QCOMPARE(e.paidUS(c), QStringLiteral("700.00"));
    in.confirmOverpayment = true;
    o = receiveForInvoice(e.ctx, inv, in);
    QVERIFY2(o.ok() && o.rows.size() == 3, qPrintable(o.message));
    QCOMPARE(e.paidUS(b), QStringLiteral("2020.00"));
    QCOMPARE(e.paidUS(c), QStringLiteral("3030.00"));
    QCOMPARE(Decimal5::fromDb(e.value("SELECT SUM(PaymentUS) FROM PaymentReceived WHERE InvoiceListID = ? AND StoneID = 0",
                                      {free}))
                 .fixed(2),
             QStringLiteral("940.00"));
    QCOMPARE(o.rows[2].balance.fixed(2), QStringLiteral("-440.00"));
    QVERIFY(e.paidOff(b) && e.paidOff(c));
    // Both currencies typed: the local amount split in the same shares, to the cent.
    const qint64 inv2 = e.invoice(lumen);
    const qint64 d = e.soldStone("D1", lumen, inv2, "1000");
    const qint64 f = e.soldStone("F1", lumen, inv2, "1000");
    in = PaymentInput();
    in.us = QStringLiteral("1,515.00");
    in.local = QStringLiteral("2,000.01");
    o = receiveForInvoice(e.ctx, inv2, in);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows.size(), 2);
    QCOMPARE((o.rows[0].local + o.rows[1].local).fixed(2), QStringLiteral("2000.01"));
    QCOMPARE(o.rows[0].us.fixed(2), QStringLiteral("1010.00"));
    QCOMPARE(o.rows[1].us.fixed(2), QStringLiteral("505.00"));
    Q_UNUSED(d);
    Q_UNUSED(f);
}

void TestPayments::reversals()
{
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 r1 = e.soldStone("R1", lumen, inv, "1000");
    Outcome o = e.receive(r1, "1010");
    QVERIFY(o.ok() && e.paidOff(r1));
    const qint64 paid = o.rows[0].paymentId;
    o = reversePayment(e.ctx, Side::Received, paid);
    QVERIFY2(o.ok(), qPrintable(o.message));
    const qint64 reversal = o.rows[0].paymentId;
    QVERIFY(!e.paidOff(r1));
    QCOMPARE(e.paidUS(r1), QStringLiteral("0.00"));
    // Nothing is deleted: the payment and its reversing row.
    QCOMPARE(e.payments(r1), 2);
    QSqlQuery q = db::exec(e.t.db(),
                           "SELECT PaymentUS, PaymentLocal, CustomerID, ReversesID, Reference, EmployeeID, InvoiceListID "
                           "FROM PaymentReceived WHERE ID = ?",
                           {reversal});
    QVERIFY(q.next());
    QCOMPARE(Decimal5::fromDb(q.value(0)).fixed(2), QStringLiteral("-1010.00"));
    QCOMPARE(Decimal5::fromDb(q.value(1)).fixed(2), QStringLiteral("-1393.80"));
    QCOMPARE(q.value(2).toLongLong(), lumen);
    QCOMPARE(q.value(3).toLongLong(), paid);
    QCOMPARE(q.value(4).toString(), QStringLiteral("Reversal of payment #%1 (cheque 1001)").arg(paid));
    QCOMPARE(q.value(5).toInt(), 7);
    QVERIFY(!q.value(6).isNull());
    struct Case {
        const char *what;
        qint64 id;
        const char *message;
    };
    const qint64 zero = db::insert(e.t.db(),
                                   "INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, StoneID, CustomerID) "
                                   "VALUES (NOW(), 0, 0, ?, ?)",
                                   {r1, lumen});
    const Case cases[] = {
        {"reversed twice", paid, "reversed already"},
        {"a reversal", reversal, "is the reversal of payment"},
        {"the zero row of a memo", zero, "nothing to reverse"},
        {"no such payment", 999999, "There is no payment received 999999"},
    };
    for (const Case &c : cases) {
        const int rows = e.count("SELECT COUNT(*) FROM PaymentReceived");
        o = reversePayment(e.ctx, Side::Received, c.id);
        QVERIFY2(o.state == Outcome::Refused && o.message.contains(c.message), c.what);
        QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentReceived"), rows);
    }
    e.ctx.user.set(QStringLiteral("AllowApplyPayment"), false);
    o = e.receive(r1, "10");
    QVERIFY(o.message.contains("No Permission"));
    e.ctx.user.set(QStringLiteral("AllowApplyPayment"), true);
    e.ctx.user.ID = 0;
    o = reversePayment(e.ctx, Side::Received, paid);
    QCOMPARE(o.message, QStringLiteral("Please log on first."));
    QCOMPARE(e.payments(r1), 2);
}

void TestPayments::paymentsMade()
{
    PayEnv e;
    const qint64 vendor = e.customer("Antwerp Rough", true);
    const qint64 s = e.stone("IN1");
    e.exec("UPDATE SingleStone SET ConsignmentInCustomerID = ?, BoughtPriceUS = 2000, BuyingInUS = -1 WHERE ID = ?",
           {vendor, s});
    auto flags = [&] {
        QSqlQuery q = db::exec(e.t.db(), "SELECT MemoInPaymentMade, MemoInPaidOff, StoneIsPaidOffMemoIn FROM SingleStone "
                                         "WHERE ID = ?", {s});
        q.next();
        return QStringLiteral("%1 %2 %3").arg(q.value(0).toInt()).arg(q.value(1).toInt()).arg(q.value(2).toInt());
    };
    PaymentInput in;
    in.us = QStringLiteral("500");
    Outcome o = makeForStone(e.ctx, s, in);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(flags(), QStringLiteral("-1 0 0"));
    QCOMPARE(e.value("SELECT CustomerID FROM PaymentMade WHERE ID = ?", {o.rows[0].paymentId}).toLongLong(), vendor);
    QCOMPARE(e.value("SELECT EmployeeID FROM PaymentMade WHERE ID = ?", {o.rows[0].paymentId}).toInt(), 7);
    in.us = QStringLiteral("1600");
    o = makeForStone(e.ctx, s, in);
    QCOMPARE(int(o.state), int(Outcome::Overpayment));
    // Without ViewCost the question names no cost.
    QVERIFY2(!o.message.contains("2,000") && !o.message.contains("1,500"), qPrintable(o.message));
    in.us = QStringLiteral("1500");
    o = makeForStone(e.ctx, s, in);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(flags(), QStringLiteral("-1 -1 -1"));
    o = reversePayment(e.ctx, Side::Made, o.rows[0].paymentId);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(flags(), QStringLiteral("-1 0 0"));
    // A stone of the dealer's own, from no supplier.
    const qint64 own = e.stone("OWN1");
    o = makeForStone(e.ctx, own, in);
    QCOMPARE(int(o.state), int(Outcome::Refused));
    QVERIFY(o.message.contains("Consignment"));
}

void TestPayments::twoWorkstationsPayOneStone()
{
    // Each workstation pays 3,000.00 on a balance of 5,050.00 without
    // confirming an overpayment: one is taken, the other is asked.
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 r1 = e.soldStone("R1", lumen, inv, "5000");
    for (int round = 0; round < 4; ++round) {
        if (round)
            e.exec("DELETE FROM PaymentReceived WHERE StoneID = ?", {r1});
        std::atomic<int> done{0}, asked{0};
        auto pay = [&](AppContext &ctx) {
            ctx.user.set(QStringLiteral("AllowApplyPayment"), true);
            ctx.exchangeRateCDN = 1.25;
            PaymentInput in;
            in.us = QStringLiteral("3000");
            const Outcome o = receiveForStone(ctx, r1, in);
            if (o.ok())
                ++done;
            else if (o.state == Outcome::Overpayment)
                ++asked;
        };
        {
            WorkstationThread a(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) { pay(ctx); });
            WorkstationThread b(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) { pay(ctx); });
            a.join();
            b.join();
            QVERIFY(a.error().isEmpty() && b.error().isEmpty());
        }
        QCOMPARE(done.load(), 1);
        QCOMPARE(asked.load(), 1);
        QCOMPARE(e.paidUS(r1), QStringLiteral("3000.00"));
        QVERIFY(!e.paidOff(r1));
    }
    // A free line has no stone row to write first: its guard row keeps a
    // payment of 300.00 from another workstation's, on a balance of 500.00,
    // and a reversal from another's of the same payment.  The workstation
    // starts while the line's guard row is held here: it reads, then waits;
    // meanwhile the row the other workstation would write goes in here.
    const qint64 inv2 = e.invoice(lumen);
    const qint64 free = e.line(inv2, 0, 0, "1", "500", "0", "Setting");
    auto whileHeld = [&](const std::function<Outcome(AppContext &)> &op, const QString &rival, const QVariantList &binds) {
        Outcome o;
        db::exec(e.t.db(), "START TRANSACTION");
        db::claimGuard(e.t.db(), db::GuardKind::InvoiceLinePayment, free);
        {
            WorkstationThread w(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) {
                ctx.user.set(QStringLiteral("AllowApplyPayment"), true);
                o = op(ctx);
            });
            QThread::msleep(1500);
            db::exec(e.t.db(), rival, binds);
            db::exec(e.t.db(), "COMMIT");
            w.join();
        }
        return o;
    };
    const QString row = QStringLiteral("INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, StoneID, CustomerID, "
                                       "InvoiceListID, ReversesID) VALUES (NOW(), ?, ?, 0, ?, ?, ?)");
    Outcome o = whileHeld(
        [&](AppContext &ctx) {
            PaymentInput in;
            in.us = QStringLiteral("300");
            return receiveForInvoice(ctx, inv2, in);
        },
        row, {300, 375, lumen, free, QVariant(QMetaType::fromType<qlonglong>())});
    QVERIFY2(o.state == Outcome::Overpayment, qPrintable(o.message));
    const qint64 paid = e.value("SELECT MIN(ID) FROM PaymentReceived WHERE InvoiceListID = ?", {free}).toLongLong();
    o = whileHeld([&](AppContext &ctx) { return reversePayment(ctx, Side::Received, paid); }, row,
                  {-300, -375, lumen, free, paid});
    QVERIFY2(o.state == Outcome::Refused && o.message.contains("reversed already"), qPrintable(o.message));
    QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentReceived WHERE InvoiceListID = ?", {free}), 2);
}

void TestPayments::commandLine()
{
    PayEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 r1 = e.soldStone("R1", lumen, inv, "1000"); // 1,010.00
    e.exec("UPDATE Config SET ExchangeRate = 1.25");
    e.exec("INSERT INTO user (UserName, Password, FirstName, LastName, AllowApplyPayment) VALUES "
           "('clerk', 'ledger9', 'A', 'B', -1), ('viewer', 'look9', 'C', 'D', 0)");
    QTemporaryDir home;
    {
        QFile ini(QDir(home.path()).filePath(QStringLiteral("database.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(test::databaseIni(e.t.settings()).toUtf8());
    }
    struct Run {
        int code = -1;
        QString out, err;
    };
    auto velmor = [&](const QStringList &args, const QString &user = "clerk", const QString &password = "ledger9") {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMOR_HOME"), home.path());
        env.insert(QStringLiteral("VELMOR_PROGRAM_DIR"), home.path());
        env.insert(QStringLiteral("VELMOR_USER"), user);
        env.insert(QStringLiteral("VELMOR_PASSWORD"), password);
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([] { ::setsid(); });
        p.start(qEnvironmentVariable("VELMOR_BINARY", QStringLiteral(VELMOR_BINARY)), args);
        Run r;
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    };
    const QString stone = QString::number(r1);
    Run r = velmor({"payment", "receive", "--stone", stone, "--amount", "1,000.00", "--date", "2026-03-10",
                    "--reference", "cheque O'Neil 12"});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("R1 US$ 1,000.00 (CDN 1,380.00), balance US$ 10.00"), qPrintable(r.out));
    QCOMPARE(e.value("SELECT Reference FROM PaymentReceived WHERE StoneID = ? AND PaymentUS > 0", {r1}).toString(),
             QStringLiteral("cheque O'Neil 12"));
    QCOMPARE(e.value("SELECT DATE(Date) FROM PaymentReceived WHERE StoneID = ? AND PaymentUS > 0", {r1}).toDate(),
             QDate(2026, 3, 10));
    // Refused, with the reason and nothing written.
    struct Bad {
        QStringList args;
        QString user;
        int code;
        QString says;
    };
    const QList<Bad> bad = {
        {{"payment", "receive", "--stone", stone, "--amount", "20"}, "clerk", 1, "--overpay"},
        {{"payment", "receive", "--stone", stone, "--amount", "abc"}, "clerk", 1, "US$ amount"},
        {{"payment", "receive", "--stone", stone, "--amount", "5", "--date", "10/03/2026"}, "clerk", 2, "YYYY-MM-DD"},
        {{"payment", "receive", "--amount", "5"}, "clerk", 2, "--stone ID or --invoice ID"},
        {{"payment", "receive", "--stone", stone, "--amount", "5"}, "viewer", 1, "No Permission"},
        {{"payment", "reverse", "99999"}, "clerk", 1, "There is no payment received 99999"},
    };
    for (const Bad &b : bad) {
        r = velmor(b.args, b.user, b.user == "viewer" ? "look9" : "ledger9");
        QVERIFY2(r.code == b.code && r.err.contains(b.says), qPrintable(b.args.join(' ') + ": " + r.out + r.err));
    }
    QCOMPARE(e.payments(r1), 1);
    r = velmor({"payment", "receive", "--invoice", QString::number(inv), "--amount", "20", "--overpay"});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("balance US$ -10.00, paid off"), qPrintable(r.out));
    const qint64 last = e.value("SELECT MAX(ID) FROM PaymentReceived").toLongLong();
    r = velmor({"payment", "reverse", QString::number(last)});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    r = velmor({"payment", "list", "--stone", stone});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("reversed by %1, overpayment").arg(last + 1)), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("reverses %1").arg(last)), qPrintable(r.out));
    QVERIFY2(r.out.contains("3 payments"), qPrintable(r.out));
    QVERIFY(!e.paidOff(r1));

    // The receivables on paper: the 10.00 still owed, the layout clean; a
    // user without the right gets no file.
    e.exec("UPDATE user SET AllowStatementView = -1 WHERE UserName = 'clerk'");
    const QString pdf = QDir(home.path()).filePath(QStringLiteral("receivables.pdf"));
    r = velmor({"receivables", "--pdf", "a.pdf", "--printer", "lp"});
    QVERIFY2(r.code == 2 && r.err.contains("not both"), qPrintable(r.out + r.err));
    r = velmor({"receivables", "--pdf", pdf}, "viewer", "look9");
    QVERIFY2(r.code == 1 && r.err.contains("No Permission"), qPrintable(r.out + r.err));
    QVERIFY(!QFile::exists(pdf));
    r = velmor({"receivables", "--pdf", pdf});
    QVERIFY2(r.code == 0 && r.out.contains("Receivables written to"), qPrintable(r.out + r.err));
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QStringList lines = test::pdfLines(pdf);
    QVERIFY2(lines.filter(QRegularExpression(QStringLiteral("^Lumen Jewellers US\\$ 1 [0-9. ]+ 10\\.00$"))).size() == 1,
             qPrintable(lines.join('\n')));
}

QTEST_MAIN(TestPayments)
#include "tst_payments.moc"
