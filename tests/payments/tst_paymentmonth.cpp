// A dealer's month of payments, walked through the real operations: three
// customers, stones on memo, sales from the memos onto two invoices, part
// payments, a payment of an invoice spread over its stones, a full payment,
// an overpayment refused then confirmed, a reversal.  The memo report, the
// statement (its PDF read back), the receivables and the books check agree
// to the cent; a sale already paid for on memo is paid off at once.
#include "../invoices/InvoiceTestEnv.h"
#include "../stones/CountStations.h"
#include "PaperLines.h"
#include "PdfLayoutCheck.h"
#include "db/Schema.h"
#include "invoices/Dues.h"
#include "invoices/InvoicePrint.h"
#include "memos/MemoMoves.h"
#include "memos/MemoReport.h"
#include "payments/Ledger.h"
#include "payments/Payments.h"
#include "payments/frmPayment.h"
#include "shell/BooksCheck.h"

#include <QLabel>
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
    void aTaxedInvoiceOnEveryRoad();
    void paidOnMemoThenSold();
    void balancesOnPaper_data();
    void balancesOnPaper();
    void statementOnPaper();
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
    // On paper: the same line and the same total.
    const QString receivablesPdf = dir.filePath("receivables.pdf");
    const printing::PrintOutcome rp = printBalances(e.ctx, r, printing::PrintTarget::pdf(receivablesPdf));
    QVERIFY2(rp.ok, qPrintable(rp.error));
    VELMOR_VERIFY_PDF_LAYOUT(receivablesPdf);
    const QStringList receivablesLines = test::pdfLines(receivablesPdf);
    for (const char *w : {"Lumen Jewellers US$ 1 0.00 0.00 2,000.00 0.00 2,000.00",
                          "Total US$ 0.00 0.00 2,000.00 0.00 2,000.00"})
        QVERIFY2(receivablesLines.contains(QLatin1String(w)),
                 qPrintable(QStringLiteral("%1 not in:\n%2").arg(w, receivablesLines.join('\n'))));

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
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
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

// One invoice at 13 % tax: two stones and a free line whose own taxes
// (130.104, 260.104, 65.104) round to 455.30 one by one, while the invoice
// prints 455.31.  Every road asks the same: the printed summary, the lines'
// shares (in CDN too), the payment windows, the memo report, the statement,
// the receivables on screen, in CSV and on paper, the command line and the
// books check.  Paying the rest of the printed summary pays off every line.
void TestPaymentMonth::aTaxedInvoiceOnEveryRoad()
{
    MonthEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 inv = e.invoice(lumen);
    const qint64 a = e.stone("TA1", "Sold", lumen), b = e.stone("TB1", "Sold", lumen);
    const qint64 lineA = e.line(inv, a, 0, "1", "1000.80", "13", {}, "1.37");
    e.line(inv, b, 0, "1", "2000.80", "13", {}, "1.37");
    const qint64 free = e.line(inv, 0, 0, "1", "500.80", "13", "Setting labour", "1.37");
    for (qint64 id : {a, b}) // the rows written when they went out on memo
        e.exec("INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, StoneID, CustomerID) VALUES (NOW(), 0, 0, "
               "?, ?)",
               {id, lumen});

    // The invoice: sub-total 3,502.40, tax 455.31, summary 3,957.71; the
    // lines' shares add up to the printed tax in US$ and in CDN.
    invoices::Invoice printed;
    QVERIFY(invoices::loadInvoice(e.t.db(), inv, printed));
    QCOMPARE(printed.totals().tax, 45531);
    QCOMPARE(printed.totals().summary(), 395771);
    QStringList dues;
    Decimal5 sumUS, sumCDN;
    for (const invoices::LineDue &d : invoices::lineDues(e.t.db(), QList<qint64>{inv})) {
        dues << d.dueUS().fixed(2);
        sumUS += d.dueUS();
        QVERIFY(d.dueCDN());
        sumCDN += *d.dueCDN();
    }
    QCOMPARE(dues, (QStringList{"1130.90", "2260.91", "565.90"}));
    QCOMPARE(sumUS.fixed(2), invoices::centsText(printed.totals().summary()));
    QCOMPARE(sumCDN.fixed(2), invoices::centsText(printed.totals(invoices::Currency::CDN).summary()));
    QTemporaryDir dir;
    const QString invoicePdf = dir.filePath("invoice.pdf");
    invoices::InvoicePrintOptions options;
    options.currency = invoices::Currency::US;
    const invoices::InvoicePrinted ip = invoices::printInvoice(e.ctx, inv, printing::PrintTarget::pdf(invoicePdf), options);
    QVERIFY2(ip.printed, qPrintable(ip.error));
    VELMOR_VERIFY_PDF_LAYOUT(invoicePdf);
    const QString invoiceWords = test::pdfWordText(invoicePdf);
    QVERIFY2(invoiceWords.contains("455.31") && invoiceWords.contains("3,957.71"), qPrintable(invoiceWords));

    // A part payment on the first stone: the tax is taken with the amount.
    Outcome o = e.pay(a, "500.00");
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("630.90"));
    const QString rest = QStringLiteral("3,457.71");
    {
        payments::frmPayment w(e.ctx, Side::Received, payments::frmPayment::Mode::Stone, a);
        QCOMPARE(w.findChild<QLabel *>("lblPrice")->text(), QStringLiteral("US$ 1,130.90  (with tax US$ 130.10)"));
        QCOMPARE(w.findChild<QLabel *>("lblBalance")->text(), QStringLiteral("US$ 630.90"));
        payments::frmPayment wi(e.ctx, Side::Received, payments::frmPayment::Mode::Invoice, inv);
        QCOMPARE(wi.findChild<QLabel *>("lblPrice")->text(), QStringLiteral("US$ 3,957.71  (with tax US$ 455.31)"));
        QCOMPARE(wi.findChild<QLabel *>("lblBalance")->text(), "US$ " + rest);
    }
    // The memo report: the stones' balances with their tax, at their prices.
    const QMap<qint64, QString> unpaid = e.unpaidBalances();
    QCOMPARE(unpaid.value(a), QStringLiteral("US$ 630.90"));
    QCOMPARE(unpaid.value(b), QStringLiteral("US$ 2,260.91"));
    // The statement: the invoice at its summary, the balance aged.
    const std::optional<Statement> st = statementOf(e.ctx, lumen, {}, {});
    QVERIFY(st);
    QCOMPARE(st->entries.first().amount.fixed(2), QStringLiteral("3957.71"));
    QCOMPARE(st->closing[0].grouped2(), rest);
    QCOMPARE(st->aged[0].total().grouped2(), rest);
    const QString statementPdf = dir.filePath("statement.pdf");
    QVERIFY(printStatement(e.ctx, *st, printing::PrintTarget::pdf(statementPdf)).ok);
    VELMOR_VERIFY_PDF_LAYOUT(statementPdf);
    QVERIFY(test::pdfLines(statementPdf).contains(QStringLiteral("%1 Balance due US$ %2")
                                                      .arg(invoices::invoiceDate(QDate::currentDate()), rest)));
    // The receivables: two stones and the free line.
    const Balances r = receivables(e.ctx, QDate::currentDate());
    QCOMPARE(r.rows.size(), 1);
    QCOMPARE(r.rows[0].stones, 2);
    QCOMPARE(r.rows[0].aged.total().grouped2(), rest);
    QVERIFY(writeBalancesCsv(r, dir.filePath("r.csv"), nullptr));
    QFile csv(dir.filePath("r.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(csv.readAll()).contains("\"Lumen Jewellers\",\"US$\",\"2\""));
    const QString receivablesPdf = dir.filePath("receivables.pdf");
    QVERIFY(printBalances(e.ctx, r, printing::PrintTarget::pdf(receivablesPdf)).ok);
    VELMOR_VERIFY_PDF_LAYOUT(receivablesPdf);
    QVERIFY(test::pdfLines(receivablesPdf).filter(QRegularExpression("^Lumen Jewellers US\\$ 2 .* " + rest + "$")).size() == 1);
    books::Report check = books::checkBooks(e.t.db());
    QVERIFY2(check.whole(), qPrintable(books::reportText(check)));

    // The command line pays the rest of the printed summary: every line is
    // paid off, the free line's row names the line and no stone.
    e.exec("INSERT INTO user (UserName, Password, FirstName, LastName, AllowApplyPayment) VALUES ('clerk', 'ledger9', "
           "'A', 'B', -1)");
    QTemporaryDir home;
    {
        QFile ini(QDir(home.path()).filePath(QStringLiteral("database.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(test::databaseIni(e.t.settings()).toUtf8());
    }
    auto velmor = [&](const QStringList &args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMOR_HOME"), home.path());
        env.insert(QStringLiteral("VELMOR_PROGRAM_DIR"), home.path());
        env.insert(QStringLiteral("VELMOR_USER"), QStringLiteral("clerk"));
        env.insert(QStringLiteral("VELMOR_PASSWORD"), QStringLiteral("ledger9"));
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([] { ::setsid(); });
        p.start(qEnvironmentVariable("VELMOR_BINARY", QStringLiteral(VELMOR_BINARY)), args);
        p.waitForFinished(120000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()));
    };
    auto [code, out] = velmor({"payment", "receive", "--invoice", QString::number(inv), "--amount", rest});
    QVERIFY2(code == 0, qPrintable(out));
    for (const char *w : {"TA1 US$ 630.90 (CDN 864.33), balance US$ 0.00, paid off",
                          "TB1 US$ 2,260.91 (CDN 3,097.45), balance US$ 0.00, paid off",
                          "Setting labour US$ 565.90 (CDN 775.28), balance US$ 0.00, paid off"})
        QVERIFY2(out.contains(QLatin1String(w)), qPrintable(out));
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID IN (?, ?) AND StoneIsPaidOff <> 0", {a, b}), 2);
    const qint64 freeRow = e.value("SELECT ID FROM PaymentReceived WHERE InvoiceListID = ?", {free}).toLongLong();
    QCOMPARE(e.value("SELECT StoneID FROM PaymentReceived WHERE ID = ?", {freeRow}).toInt(), 0);
    std::tie(code, out) = velmor({"payment", "list", "--invoice", QString::number(inv)});
    QVERIFY2(code == 0 && out.contains(QStringLiteral("%1\t%2\t0\tSetting labour\tLumen Jewellers\t565.90\t")
                                           .arg(freeRow)
                                           .arg(QDate::currentDate().toString(Qt::ISODate)))
                 && out.contains("4 payments"),
             qPrintable(out));
    QVERIFY(receivables(e.ctx, QDate::currentDate()).rows.isEmpty());
    QCOMPARE(statementOf(e.ctx, lumen, {}, {})->closing[0].fixed(2), QStringLiteral("0.00"));
    check = books::checkBooks(e.t.db());
    QVERIFY2(check.whole(), qPrintable(books::reportText(check)));

    // The free line's payment reversed: the line owes again, the stones stay paid off.
    o = reversePayment(e.ctx, Side::Received, freeRow);
    QVERIFY2(o.ok(), qPrintable(o.message));
    QCOMPARE(o.rows[0].sku, QStringLiteral("Setting labour"));
    QCOMPARE(o.rows[0].balance.fixed(2), QStringLiteral("565.90"));
    QCOMPARE(e.value("SELECT InvoiceListID FROM PaymentReceived WHERE ID = ?", {o.rows[0].paymentId}).toLongLong(), free);
    QCOMPARE(receivables(e.ctx, QDate::currentDate()).totals[0].total().fixed(2), QStringLiteral("565.90"));
    check = books::checkBooks(e.t.db());
    QVERIFY2(check.whole(), qPrintable(books::reportText(check)));

    // Stored before tax was owed: a stone marked paid off at its amount
    // without tax.  The upgrade's step clears the flag (the tax is a balance),
    // and until then the books check says so.
    e.exec("UPDATE PaymentReceived SET PaymentUS = 1000.80 - 500 WHERE StoneID = ? AND PaymentUS = 630.90", {a});
    check = books::checkBooks(e.t.db());
    QVERIFY(!check.whole());
    QVERIFY2(books::reportText(check).contains("130.10 (its tax, still owed)"), qPrintable(books::reportText(check)));
    e.exec("UPDATE Config SET dbVersion = 317");
    QVERIFY(db::schema::bringUpToDate(e.t.db()).versionStored());
    QCOMPARE(db::schema::storedVersion(e.t.db()), 318.0);
    QCOMPARE(e.count("SELECT StoneIsPaidOff FROM SingleStone WHERE ID = ?", {a}), 0);
    QCOMPARE(e.count("SELECT StoneIsPaidOff FROM SingleStone WHERE ID = ?", {b}), -1);
    QCOMPARE(e.unpaidBalances().value(a), QStringLiteral("US$ 130.10"));
    check = books::checkBooks(e.t.db());
    QVERIFY2(check.whole(), qPrintable(books::reportText(check)));
    Q_UNUSED(lineA);
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

// The printed receivables and payables at any length: the headings on every
// page, long names cut to their column, large figures and both currencies
// side by side, the totals at the end; nothing printed over anything.
void TestPaymentMonth::balancesOnPaper_data()
{
    QTest::addColumn<bool>("payables");
    QTest::addColumn<int>("parties");
    QTest::addColumn<int>("pages"); // 2: more than one
    QTest::addColumn<QString>("says");
    QTest::newRow("nobody owes") << false << 0 << 1 << "No customer owes anything.";
    QTest::newRow("nothing owed") << true << 0 << 1 << "Nothing is owed to a supplier or consignor.";
    QTest::newRow("a few customers") << false << 3 << 1 << "Customer Currency Stones 0-30 31-60 61-90 over 90 Balance";
    QTest::newRow("many suppliers") << true << 150 << 2 << "Supplier or consignor Currency Stones 0-30 31-60 61-90 over 90 Balance";
}

void TestPaymentMonth::balancesOnPaper()
{
    QFETCH(bool, payables);
    QFETCH(int, parties);
    QFETCH(int, pages);
    QFETCH(QString, says);
    MonthEnv e;
    Balances b;
    b.payables = payables;
    b.asOf = QDate(2026, 11, 30);
    b.localName = QStringLiteral("CDN");
    for (int i = 1; i <= parties; ++i) {
        PartyBalance r;
        r.partyId = i;
        r.name = i == 2 ? QStringLiteral("Corvid \"Fine\" Gems of the Very Long Trading Name, Antwerp and Ramat Gan, Ltd. #2")
                        : QStringLiteral("Party #%1").arg(i);
        r.local = i % 2 == 0;
        r.stones = i;
        for (int k = 0; k < kBuckets; ++k)
            r.aged.buckets[k] = Decimal5::parse(i == 3 ? QStringLiteral("-12345678.90") : QStringLiteral("%1.25").arg(i * 1000 + k)).value();
        b.totals[r.local ? 1 : 0].add(r.aged);
        b.rows << r;
    }
    QTemporaryDir dir;
    const QString pdf = dir.filePath("balances.pdf");
    const printing::PrintOutcome p = printBalances(e.ctx, b, printing::PrintTarget::pdf(pdf));
    QVERIFY2(p.ok, qPrintable(p.error));
    if (pages == 1)
        QCOMPARE(p.pages, 1);
    else
        QVERIFY2(p.pages >= 2, qPrintable(QString::number(p.pages)));
    pages = p.pages;
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QList<test::PdfPage> read = test::pdfWords(pdf);
    QCOMPARE(int(read.size()), pages);
    QVERIFY(read.first().size.width() > read.first().size.height()); // landscape
    const QStringList lines = test::pdfLines(pdf);
    const QString all = lines.join(QLatin1Char('\n'));
    QVERIFY2(lines.contains(says) || all.contains(says), qPrintable(all.left(2000)));
    QCOMPARE(int(lines.filter(QStringLiteral(" Currency Stones 0-30 31-60 61-90 over 90 Balance")).size()), pages);
    QVERIFY2(all.contains(QStringLiteral(" as of Nov 30, 2026")), qPrintable(all.left(400)));
    if (parties >= 3) {
        QVERIFY2(lines.contains(QStringLiteral("Party #3 US$ 3 -12,345,678.90 -12,345,678.90 -12,345,678.90 "
                                               "-12,345,678.90 -49,382,715.60")),
                 qPrintable(all.left(2000)));
        QVERIFY2(all.contains(QStringLiteral("\nCorvid \"Fine\" Gems of the Very Long")), qPrintable(all.left(2000)));
        QVERIFY2(all.contains(QStringLiteral("\nParty #%1 ").arg(parties)), qPrintable(all.right(2000)));
    }
    auto totalLine = [&](int cur) {
        QStringList cells{QStringLiteral("Total"), cur == 1 ? QStringLiteral("CDN") : QStringLiteral("US$")};
        for (const Decimal5 &x : b.totals[cur].buckets)
            cells << x.grouped2();
        cells << b.totals[cur].total().grouped2();
        return cells.join(QLatin1Char(' '));
    };
    // The totals close the last page, below every party.
    QVERIFY2(lines.size() >= 3, qPrintable(all));
    QCOMPARE(lines.at(lines.size() - 3), totalLine(0));
    QCOMPARE(lines.at(lines.size() - 2), totalLine(1));
    QCOMPARE(lines.last(), QStringLiteral("page %1").arg(pages));
}

// A statement at any length: long texts cut to their column, large figures
// in both currencies, the entries running over pages with the headings on
// each, the lines not charged wrapped; nothing printed over anything.
void TestPaymentMonth::statementOnPaper()
{
    MonthEnv e;
    Statement st;
    st.customer = QStringLiteral("Corvid \"Fine\" Gems of the Very Long Trading Name, Antwerp and Ramat Gan, Ltd. #2 and "
                                 "Partners in Precious Stones");
    st.address = {QStringLiteral("Suite 1200, 1 Very Long Street Name of the Diamond District, Building Number Forty-Two"),
                  QStringLiteral("Toronto, Ontario, M5V 1A1, Canada")};
    st.from = QDate(2026, 1, 1);
    st.to = QDate(2026, 11, 30);
    st.localName = QStringLiteral("CDN");
    st.used = {true, true};
    st.opening = {Decimal5::parse("-99999999.99").value(), Decimal5::parse("12345678.90").value()};
    for (int i = 0; i < 140; ++i) {
        StatementEntry en;
        en.kind = StatementEntry::Kind(i % 3);
        en.date = st.from.addDays(i * 2);
        en.what = i % 3 == 0 ? QStringLiteral("Invoice# %1").arg(i, 6, 10, QLatin1Char('0'))
                             : QStringLiteral("Payment %1 (cheque drawn on the Bank of a Very Long Name, branch 1234): "
                                              "PARCEL- P-1234567890")
                                   .arg(100000 + i);
        en.local = i % 2 == 1;
        en.amount = Decimal5::parse(i % 3 == 0 ? "1234567890.12" : "-12345678.90").value();
        en.balance = Decimal5::parse(QStringLiteral("-%1.45").arg(10000000 + i)).value();
        st.entries << en;
    }
    st.closing = {Decimal5::parse("-99999999.99").value(), Decimal5::parse("99999999.99").value()};
    for (int cur = 0; cur < 2; ++cur)
        for (int k = 0; k < kBuckets; ++k)
            st.aged[cur].buckets[k] = Decimal5::parse("-99999999.99").value();
    for (int i = 0; i < 300; ++i)
        st.unknownRate << QStringLiteral("SKU-%1").arg(1000000 + i);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("statement.pdf");
    const printing::PrintOutcome p = printStatement(e.ctx, st, printing::PrintTarget::pdf(pdf));
    QVERIFY2(p.ok && p.pages >= 3, qPrintable(p.error));
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QStringList lines = test::pdfLines(pdf);
    QCOMPARE(int(lines.filter(QRegularExpression("^Date Details Amount Balance$")).size()), p.pages);
    QVERIFY(lines.contains("Nov 30, 2026 Balance due CDN 99,999,999.99"));
    QVERIFY(lines.contains("CDN -99,999,999.99 -99,999,999.99 -99,999,999.99 -99,999,999.99 -399,999,999.96"));
}

QTEST_MAIN(TestPaymentMonth)
#include "tst_paymentmonth.moc"
