// A dealer's month of payments, walked through the real operations: three
// customers, stones on memo, sales from the memos onto two invoices, part
// payments, a payment of an invoice spread over its stones, a full payment,
// an overpayment refused then confirmed, a reversal.  The memo report, the
// statement (its PDF read back), the receivables and the books check agree
// to the cent; a sale already paid for on memo is paid off at once.
#include "../invoices/InvoiceTestEnv.h"
#include "PdfLayoutCheck.h"
#include "memos/MemoMoves.h"
#include "memos/MemoReport.h"
#include "payments/Ledger.h"
#include "payments/Payments.h"
#include "shell/BooksCheck.h"

#include <QtTest>

using namespace velmor;
using namespace velmor::payments;
using velmor::test::InvoiceEnv;

namespace {

struct MonthEnv : InvoiceEnv {
    MonthEnv()
    {
        ctx.user.set(QStringLiteral("AllowApplyPayment"), true);
        ctx.user.set(QStringLiteral("AllowStatementView"), true);
    }
    void exec(const QString &sql, const QVariantList &binds = {}) { db::exec(t.db(), sql, binds); }
    qint64 sheet(qint64 customerId)
    {
        return db::insert(t.db(), "INSERT INTO memosheet (Date, CustomerID, closed) VALUES (NOW(), ?, 0)", {customerId});
    }
    void onMemo(qint64 sheetId, qint64 stoneId, const QString &price)
    {
        const memos::MoveOutcome o = memos::putOnMemo(ctx, sheetId, stoneId, QString(), 7, price);
        QVERIFY2(o.ok(), qPrintable(prompt.messages().join(QLatin1Char('\n'))));
    }
    void sell(qint64 sheetId, qint64 stoneId, const QString &price)
    {
        const memos::MoveOutcome o = memos::sellFromMemo(ctx, sheetId, stoneId, price);
        QVERIFY2(o.ok(), qPrintable(prompt.messages().join(QLatin1Char('\n'))));
    }
    Outcome pay(qint64 stoneId, const QString &us, bool confirm = false)
    {
        PaymentInput in;
        in.us = us;
        in.confirmOverpayment = confirm;
        return receiveForStone(ctx, stoneId, in);
    }
    QMap<qint64, QString> unpaidBalances()
    {
        QMap<qint64, QString> out;
        for (const memos::ReportRow &row : memos::runReport(ctx, memos::ReportFilter{}).rows)
            out.insert(row.stoneId, row.cells.at(18));
        return out;
    }
};

} // namespace

class TestPaymentMonth : public QObject {
    Q_OBJECT
private slots:
    void aDealersMonth();
    void paidOnMemoThenSold();
};

void TestPaymentMonth::aDealersMonth()
{
    MonthEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 bright = e.customer("Brightwater & Co");
    const qint64 corvid = e.customer("Corvid \"Fine\" Gems");
    const qint64 a = e.stone("A1"), b = e.stone("B1"), c = e.stone("C1"), d = e.stone("D1");
    const qint64 sheetL = e.sheet(lumen), sheetB = e.sheet(bright), sheetC = e.sheet(corvid);
    e.onMemo(sheetL, a, "5,000.00");
    e.onMemo(sheetL, b, "3,000.00");
    e.onMemo(sheetB, c, "2,000.00");
    e.onMemo(sheetC, d, "1,234.56");
    // Sales from the memos: Lumen's two stones on one invoice, Brightwater's on another.
    e.sell(sheetL, a, "5,000.00");
    e.sell(sheetL, b, "3,000.00");
    e.sell(sheetB, c, "2,000.00");
    const qint64 invL = e.value("SELECT invoiceid FROM invoicelist WHERE diamondid = ?", {a}).toLongLong();
    const qint64 invB = e.value("SELECT invoiceid FROM invoicelist WHERE diamondid = ?", {c}).toLongLong();
    QVERIFY(invL && invB && invL != invB);
    QCOMPARE(e.value("SELECT invoiceid FROM invoicelist WHERE diamondid = ?", {b}).toLongLong(), invL);

    // A part payment, then a payment of Lumen's invoice, oldest line first.
    QVERIFY(e.pay(a, "2,000.00").ok());
    PaymentInput in;
    in.us = QStringLiteral("4,000.00");
    in.reference = QStringLiteral("wire 5531");
    Outcome o = receiveForInvoice(e.ctx, invL, in);
    QVERIFY2(o.ok() && o.rows.size() == 2, qPrintable(o.message));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("0.00"));
    QCOMPARE(o.rows[1].balance.fixed(2), QStringLiteral("2000.00"));
    // Brightwater pays in full.
    QVERIFY(e.pay(c, "2,000.00").ok());
    // Too much for B: refused, then confirmed, then reversed.
    o = e.pay(b, "2,500.00");
    QCOMPARE(int(o.state), int(Outcome::Overpayment));
    o = e.pay(b, "2,500.00", true);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("-500.00"));
    o = reversePayment(e.ctx, Side::Received, o.rows[0].paymentId);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("2000.00"));

    // Lumen's invoice went out 75 days ago.
    e.exec("UPDATE invoice SET datecreated = NOW() - INTERVAL 75 DAY WHERE ID = ?", {invL});

    // The memo report: B owes 2,000.00, D is on memo at its price; A and C are paid.
    const QMap<qint64, QString> unpaid = e.unpaidBalances();
    QCOMPARE(unpaid.value(b), QStringLiteral("US$ 2,000.00"));
    QCOMPARE(unpaid.value(d), QStringLiteral("US$ 1,234.56"));
    QVERIFY(!unpaid.contains(a) && !unpaid.contains(c));

    // The receivables: Lumen alone, 2,000.00 aged 61-90.
    const Balances r = receivables(e.ctx, QDate::currentDate());
    QCOMPARE(r.rows.size(), 1);
    QCOMPARE(r.rows[0].partyId, lumen);
    QCOMPARE(r.rows[0].aged.buckets[Days61to90].fixed(2), QStringLiteral("2000.00"));
    QCOMPARE(r.rows[0].aged.total().fixed(2), QStringLiteral("2000.00"));
    QCOMPARE(r.totals[0].total().fixed(2), QStringLiteral("2000.00"));
    QTemporaryDir dir;
    QString why;
    const QString csv = dir.filePath("receivables.csv");
    QVERIFY2(writeBalancesCsv(r, csv, &why), qPrintable(why));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString csvText = QString::fromUtf8(f.readAll());
    QVERIFY2(csvText.contains("\"Lumen Jewellers\",\"US$\",\"1\",\"0.00\",\"0.00\",\"2000.00\",\"0.00\",\"2000.00\""),
             qPrintable(csvText));

    // Lumen's statement: the invoice, the payments and the reversal, the same balance.
    const std::optional<Statement> st = statementOf(e.ctx, lumen, QDate::currentDate().addDays(-100), QDate());
    QVERIFY(st);
    QCOMPARE(st->closing[0].fixed(2), QStringLiteral("2000.00"));
    QCOMPARE(st->aged[0].buckets[Days61to90].fixed(2), QStringLiteral("2000.00"));
    QCOMPARE(st->aged[0].total(), st->closing[0]);
    QStringList kinds;
    for (const StatementEntry &en : st->entries)
        kinds << QStringLiteral("%1 %2 %3").arg(int(en.kind)).arg(en.amount.fixed(2), en.balance.fixed(2));
    QCOMPARE(kinds, (QStringList{"0 8000.00 8000.00", "1 -2000.00 6000.00", "1 -3000.00 3000.00",
                                 "1 -1000.00 2000.00", "1 -2500.00 -500.00", "2 2500.00 2000.00"}));
    const QString pdf = dir.filePath("statement.pdf");
    const printing::PrintOutcome p = printStatement(e.ctx, *st, printing::PrintTarget::pdf(pdf));
    QVERIFY2(p.ok, qPrintable(p.error));
    const QStringList faults = test::pdfLayoutFaults(pdf);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    const QString words = test::pdfWordText(pdf);
    for (const char *w : {"Lumen Jewellers", "Invoice# 00000", "US$ 8,000.00", "wire 5531", "Reversal of payment",
                          "Balance due", "US$ 2,000.00", "61-90"})
        QVERIFY2(words.contains(QLatin1String(w)), qPrintable(QStringLiteral("%1 not in: %2").arg(w, words)));
    // Brightwater owes nothing; Corvid has only a stone on memo.
    QCOMPARE(statementOf(e.ctx, bright, {}, {})->closing[0].fixed(2), QStringLiteral("0.00"));
    QCOMPARE(statementOf(e.ctx, corvid, {}, {})->entries.size(), 0);

    // The books agree with all of it.
    const books::Report check = books::checkBooks(e.t.db());
    QVERIFY2(check.whole(), qPrintable(books::reportText(check)));

    // Rights: no statement or receivables without AllowStatementView.
    e.ctx.user.set(QStringLiteral("AllowStatementView"), false);
    QVERIFY(viewRefusal(e.ctx, false).contains("No Permission"));
    e.ctx.user.set(QStringLiteral("AllowStatementView"), true);
    QVERIFY(viewRefusal(e.ctx, true).contains("No Permission")); // payables show costs
    e.ctx.user.ViewCost = true;
    QVERIFY(viewRefusal(e.ctx, true).isEmpty());
}

void TestPaymentMonth::paidOnMemoThenSold()
{
    MonthEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 a = e.stone("A1");
    const qint64 sheet = e.sheet(lumen);
    e.onMemo(sheet, a, "5,000.00");
    // Paid while on memo: not paid off (nothing is sold yet), still out.
    Outcome o = e.pay(a, "5,000.00");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QVERIFY(!o.rows[0].paidOff);
    QCOMPARE(e.unpaidBalances().value(a), QStringLiteral("US$ 0.00"));
    e.sell(sheet, a, "5,000.00");
    QCOMPARE(e.value("SELECT StoneIsPaidOff FROM SingleStone WHERE ID = ?", {a}).toInt(), -1);
    QVERIFY(!e.unpaidBalances().contains(a));
    const books::Report check = books::checkBooks(e.t.db());
    QVERIFY2(check.whole(), qPrintable(books::reportText(check)));
}

QTEST_MAIN(TestPaymentMonth)
#include "tst_paymentmonth.moc"
