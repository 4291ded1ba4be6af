// Invoice figures (exact decimals, cents rounded half up once, checked
// against the server's own decimal arithmetic on random lines), the printed
// invoice read back from the PDF, closing only after a produced document,
// the continuation page, and the invoice commands of the velmor program.
#include "../printing/PrintTestKit.h"
#include "FileSizeLimit.h"
#include "InvoiceTestEnv.h"
#include "PdfLayoutCheck.h"
#include "TestUsers.h"
#include "db/Transaction.h"
#include "invoices/Posting.h"
#include "invoices/Invoice.h"
#include "invoices/InvoicePrint.h"
#include "invoices/Money.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QTest>

using namespace velmor;
using namespace velmor::invoices;
using velmor::test::InvoiceEnv;

namespace {

QString sqlText(InvoiceEnv &e, const QString &sql, const QVariantList &binds = {})
{
    return e.value(sql, binds).toString();
}

struct Run {
    int code = -1;
    QString out, err;
};

Run velmorRun(InvoiceEnv &e, const QStringList &args)
{
    QFile f(e.ctx.workstation.path("database.ini"));
    if (!f.exists()) {
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                    .arg(test::TestDb::socketPath(), e.t.name())
                    .toUtf8());
        f.close();
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMOR_HOME", e.dir.path());
    env.remove("VELMOR_USER");
    if (!env.contains("VELMOR_PASSWORD"))
        env.insert("VELMOR_PASSWORD", test::kAdminPassword);
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// `velmor invoice print` of an open invoice, which it closes: by the
// administrator (made when the database has none yet).
Run printRun(InvoiceEnv &e, const QStringList &args)
{
    if (!db::scalar(e.t.db(), "SELECT ID FROM `user` WHERE UserName = ?", {test::kAdminName}).isValid())
        test::addAdministrator(e.t.db());
    return velmorRun(e, QStringList{"invoice", "print"} + args + QStringList{"--user", test::kAdminName});
}

// One invoice with a stone, a parcel and a free line (taxed 13 %).
struct ThreeLines {
    qint64 customer, stone, parcel, invoice;
};
ThreeLines threeLines(InvoiceEnv &e)
{
    e.ctx.settings.CompanyName = "Velmor Test Dealer";
    e.ctx.settings.CompanyStreet1 = "1 Carat Lane";
    e.ctx.settings.CompanyCity = "Toronto";
    e.ctx.settings.CompanyProvince = "ON";
    e.ctx.settings.CompanyPhone = "416-555-0100";
    ThreeLines t;
    t.customer = e.customer("Lumen Jewellers");
    db::exec(e.t.db(),
             "UPDATE Customer SET CompanyStreet1='9 Gem Road', CompanyStreet2='', CompanyCity='Ottawa', "
             "CompanyProvince='ON', CompanyZIP='K1A', CompanyCountry='Canada', PhoneNumber1='613-555-0199' WHERE ID=?",
             {t.customer});
    t.stone = e.stone("R1001");
    t.parcel = e.parcel("P77");
    t.invoice = e.invoice(t.customer);
    e.line(t.invoice, t.stone, 0, "1.01", "3500", "13", "GIA 2141438171");
    e.line(t.invoice, 0, t.parcel, "2.5", "123.455", "13");
    e.line(t.invoice, 0, 0, "1", "75.5", "13", "Setting labour");
    return t;
}

} // namespace

class tst_invoiceprint : public QObject {
    Q_OBJECT

private slots:
    void figures_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("carat");
        QTest::addColumn<QString>("amount");
        QTest::newRow("plain") << "7500" << "1.01" << "7575.00";
        QTest::newRow("binary trap 2.675") << "2.675" << "1" << "2.68";
        QTest::newRow("half a cent up") << "0.005" << "1" << "0.01";
        QTest::newRow("just under half") << "0.00499" << "1" << "0.00";
        QTest::newRow("negative half away from zero") << "-0.005" << "1" << "-0.01";
        QTest::newRow("five decimals each") << "99999.99999" << "99999.99999" << "9999999998.00";
        QTest::newRow("sixth decimal rounds on reading") << "1.234565" << "1" << "1.23";
    }
    void figures()
    {
        QFETCH(QString, price);
        QFETCH(QString, carat);
        QFETCH(QString, amount);
        QCOMPARE(centsText(lineAmountCents(*parseFixed(price), *parseFixed(carat))), amount);
    }

    void textsAndGrouping()
    {
        QVERIFY(!parseFixed("1,5"));
        QVERIFY(!parseFixed("abc"));
        QVERIFY(!parseFixed(""));
        QCOMPARE(centsText(123456789, true), QStringLiteral("1,234,567.89"));
        QCOMPARE(centsText(-5, true), QStringLiteral("-0.05"));
        QCOMPARE(centsText(100000, true), QStringLiteral("1,000.00"));
        // no lines: the totals say so (the screen leaves them empty)
        QVERIFY(!totalsOf({}).any);
    }

    // Random lines: every amount and total equals the server's own DECIMAL
    // arithmetic with ROUND (half away from zero), in all three currencies.
    void randomLinesAgreeWithTheServer()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Random");
        QRandomGenerator rng(20261206);
        const QStringList taxes{"0", "5", "7", "8", "13", "14.975", "15"};
        QList<qint64> invoices;
        for (int i = 0; i < 6; ++i)
            invoices << e.invoice(c);
        auto fixed = [&](quint32 whole) {
            return QString::number(rng.bounded(whole)) + "." +
                   QString::number(rng.bounded(100000)).rightJustified(5, '0');
        };
        for (int i = 0; i < 400; ++i) {
            const QString price = i % 7 == 0 ? QString::number(rng.bounded(100000)) + ".005" : fixed(100000);
            const QString carat = i % 5 == 0 ? "1" : fixed(60);
            e.line(invoices.at(i % invoices.size()), 0, 0, carat, price, taxes.at(rng.bounded(taxes.size())), {},
                   fixed(3), fixed(30));
        }
        for (qint64 id : invoices) {
            Invoice inv;
            QVERIFY(loadInvoice(e.t.db(), id, inv));
            for (const InvoiceLine &l : inv.lines) {
                const QString us = sqlText(e, "SELECT CAST(ROUND(pricecarat*carat, 2) AS CHAR) FROM invoicelist WHERE ID=?",
                                           {l.id});
                QCOMPARE(centsText(l.amountCents()), us);
                QCOMPARE(centsText(l.amountCents(Currency::CDN)),
                         sqlText(e, "SELECT CAST(ROUND(ROUND(pricecarat*carat, 2)*exchangerateCDN, 2) AS CHAR) "
                                    "FROM invoicelist WHERE ID=?",
                                 {l.id}));
                // Per carat in another currency: the line's amount in it over
                // the carats.
                QCOMPARE(centsText(l.priceCaratCents(Currency::ZAR)),
                         sqlText(e, "SELECT CAST(ROUND(ROUND(ROUND(pricecarat*carat, 2)*exchangerateZAR, 2) / carat, 2) "
                                    "AS CHAR) FROM invoicelist WHERE ID=?",
                                 {l.id}));
            }
            const QStringList rates{"1", "exchangerateCDN", "exchangerateZAR"};
            const Currency currencies[] = {Currency::US, Currency::CDN, Currency::ZAR};
            for (int k = 0; k < 3; ++k) {
                const QString amount = QStringLiteral("ROUND(ROUND(pricecarat*carat, 2)*%1, 2)").arg(rates[k]);
                QSqlQuery q = db::exec(
                    e.t.db(),
                    QStringLiteral("SELECT CAST(SUM(%1) AS CHAR), CAST(ROUND(SUM(%1*taxrate)/100, 2) AS CHAR) "
                                   "FROM invoicelist WHERE invoiceid=?")
                        .arg(amount),
                    {id});
                QVERIFY(q.next());
                const Totals t = inv.totals(currencies[k]);
                QCOMPARE(centsText(t.subTotal), q.value(0).toString());
                QCOMPARE(centsText(t.tax), q.value(1).toString());
            }
        }
    }

    // The page read back: headings and columns by the two flags, the currency
    // lines, the totals equal to the screen's; printing closes the invoice.
    void printedInvoice_data()
    {
        QTest::addColumn<QString>("currency");
        QTest::addColumn<bool>("rap");
        QTest::addColumn<bool>("discount");
        for (const char *c : {"us", "cdn", "zar"})
            for (int flags = 0; flags < 4; ++flags)
                QTest::addRow("%s rap=%d discount=%d", c, flags & 1, flags >> 1) << QString(c) << bool(flags & 1)
                                                                                 << bool(flags & 2);
    }
    void printedInvoice()
    {
        QFETCH(QString, currency);
        QFETCH(bool, rap);
        QFETCH(bool, discount);
        InvoiceEnv e;
        const ThreeLines t = threeLines(e);
        InvoicePrintOptions o;
        o.rap = rap;
        o.rapDiscount = discount;
        o.currency = *currencyOf(currency);
        o.printDate = QDate(2026, 12, 6);
        const QString pdf = e.dir.filePath("invoice.pdf");
        const InvoicePrinted r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::pdf(pdf), o);
        QVERIFY2(r.printed, qPrintable(r.error));
        QVERIFY(r.closed);
        QCOMPARE(r.pages, 1);
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString text = test::pdfText(pdf);
        const QString flat = text.simplified();
        QVERIFY2(flat.contains(QStringLiteral("Invoice# %1").arg(t.invoice, 6, 10, QChar('0'))), qPrintable(text));
        QVERIFY(flat.contains("Invoice Date: Mar 05, 2026"));
        QVERIFY(flat.contains("Print Date: Dec 06, 2026"));
        QVERIFY(flat.contains("Velmor Test Dealer"));
        QVERIFY(flat.contains("Toronto, ON"));
        QVERIFY(flat.contains("ph: 416-555-0100"));
        QVERIFY(flat.contains("Lumen Jewellers"));
        QVERIFY(flat.contains("Ottawa, ON"));
        QVERIFY(flat.contains("K1A, Canada"));
        QVERIFY(flat.contains("Phone: 613-555-0199"));
        QVERIFY2(flat.contains("---fold---"), qPrintable(text));
        if (!rap) // with the RAP column the description wraps onto a second line
            QVERIFY(flat.contains("1.01ct. Round Brilliant [BR] - E / VS1"));
        else
            QVERIFY2(flat.contains("1.01ct. Round") && flat.contains("VS1"), qPrintable(text));
        QVERIFY(flat.contains("0.25ct. Pear [PS] - G/H / SI1"));
        QVERIFY(flat.contains("GIA 2141438171"));
        QVERIFY(flat.contains("Setting labour"));
        QCOMPARE(flat.contains(QRegularExpression("\\bRAP\\b(?! Discount)")), rap);
        QCOMPARE(flat.contains("RAP Discount"), discount);
        QCOMPARE(flat.contains("5,000.00"), rap);     // the stone's list price
        QCOMPARE(flat.contains("30.00 %"), discount); // its discount
        // Amounts per line: price x carats (308.64 for 2.5 ct at 123.455),
        // grouped as the totals are.
        QVERIFY(flat.contains("3,535.00"));
        QVERIFY(flat.contains("308.64"));
        QVERIFY(flat.contains("75.50"));
        QVERIFY(flat.contains("13.00%"));
        // Totals: sub-total 3919.14, tax round(3919.14 x 13 %) = 509.49.
        QVERIFY(flat.contains("Sub Total: US$ 3,919.14"));
        QVERIFY(flat.contains("Summary: US$ 4,428.63"));
        Invoice inv;
        QVERIFY(loadInvoice(e.t.db(), t.invoice, inv));
        QCOMPARE(inv.totals().subTotal, 391914);
        QCOMPARE(inv.totals().tax, 50949);
        if (currency == "us") {
            QVERIFY(flat.contains("Tax: US$ 509.49"));
            QVERIFY(!flat.contains("CDN "));
            QVERIFY(!flat.contains("ZAR "));
        } else {
            const QString p = currency == "cdn" ? "CDN " : "ZAR ";
            const Totals lt = inv.totals(*currencyOf(currency));
            QVERIFY(!flat.contains("Tax: US$"));
            QVERIFY2(flat.contains(p + centsText(lt.subTotal, true)), qPrintable(flat));
            QVERIFY(flat.contains(p + centsText(lt.tax, true)));
            QVERIFY(flat.contains(p + centsText(lt.summary(), true)));
            // the per-carat price in that currency under the US one
            QVERIFY(flat.contains(p + (currency == "cdn" ? "4,375.00" : "49,000.00")));
            QVERIFY(!flat.contains(currency == "cdn" ? "ZAR " : "CDN "));
        }
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {t.invoice}).toString(), QString("closed"));
        QVERIFY(!e.value("SELECT dateclosed FROM invoice WHERE ID=?", {t.invoice}).isNull());
    }

    // A print that produced nothing leaves the invoice open; a reprint of a
    // closed one leaves it exactly as it is; a missing invoice prints nothing.
    void closingFollowsTheDocument()
    {
        InvoiceEnv e;
        const ThreeLines t = threeLines(e);
        const QStringList before = e.row("invoice", t.invoice);
        InvoicePrinted r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::pdf("/nonexistent/dir/x.pdf"), {});
        QVERIFY(!r.printed);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(e.row("invoice", t.invoice), before);
        r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::printer("No Such Printer 42"), {});
        QVERIFY(!r.printed);
        QCOMPARE(e.row("invoice", t.invoice), before);

        db::exec(e.t.db(), "UPDATE invoice SET status='closed', dateclosed='2026-01-02 03:04:05' WHERE ID=?", {t.invoice});
        const QStringList closed = e.row("invoice", t.invoice);
        r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::pdf(e.dir.filePath("again.pdf")), {});
        QVERIFY(r.printed);
        QVERIFY(!r.closed);
        QCOMPARE(e.row("invoice", t.invoice), closed);
        VELMOR_VERIFY_PDF_LAYOUT(e.dir.filePath("again.pdf"));

        r = printInvoice(e.ctx, 999999, printing::PrintTarget::pdf(e.dir.filePath("none.pdf")), {});
        QVERIFY(!r.printed);
        QVERIFY(!QFile::exists(e.dir.filePath("none.pdf")));
    }

    // A PDF cut short by a full disk (here a file-size limit) is not a
    // printed invoice: the print says so and the invoice stays open.
    void fullDiskLeavesItOpen()
    {
        InvoiceEnv e;
        const ThreeLines t = threeLines(e);
        const QStringList before = e.row("invoice", t.invoice);
        const QString pdf = e.dir.filePath("full.pdf");
        InvoicePrinted r;
        {
            const test::FileSizeLimit full(4 * 1024);
            r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::pdf(pdf), {});
        }
        QVERIFY(!r.printed);
        QVERIFY2(r.error.contains("could not be written whole"), qPrintable(r.error));
        QCOMPARE(e.row("invoice", t.invoice), before);
        QVERIFY(!QFile::exists(pdf));
        // With room on the disk it prints and closes.
        r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::pdf(pdf), {});
        QVERIFY2(r.printed && r.closed, qPrintable(r.error));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }

    // Rows that would reach the totals go on to a second page with the
    // headings again; the totals stand once, on the last page.
    void continuationPage()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Many Lines");
        const qint64 inv = e.invoice(c);
        for (int i = 0; i < 70; ++i)
            e.line(inv, 0, 0, "1", QString::number(100 + i), "0", QStringLiteral("Line %1").arg(i));
        const QString pdf = e.dir.filePath("long.pdf");
        InvoicePrintOptions o;
        o.currency = Currency::CDN;
        const InvoicePrinted r = printInvoice(e.ctx, inv, printing::PrintTarget::pdf(pdf), o);
        QVERIFY(r.printed);
        QVERIFY2(r.pages >= 2, qPrintable(QString::number(r.pages)));
        const QString first = test::run("pdftotext", {"-f", "1", "-l", "1", "-layout", pdf, "-"});
        const QString last = test::run("pdftotext", {"-f", QString::number(r.pages), "-l", QString::number(r.pages),
                                                     "-layout", pdf, "-"});
        QVERIFY(!first.contains("Sub Total"));
        QVERIFY(last.contains("(continued)"));
        QVERIFY(last.contains("$/Carat"));
        QVERIFY(last.contains("Line 69"));
        // 100 + ... + 169 = 9415
        QVERIFY2(last.simplified().contains("Sub Total: US$ 9,415.00"), qPrintable(last));
        const QString all = test::pdfText(pdf);
        QCOMPARE(all.count(QRegularExpression("Line \\d+")), 70); // no row lost between the pages
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }


    // The close checks the lines printed against the lines there, under the
    // invoice row's lock: a line posted after the read leaves the invoice
    // open; what was printed closes it; a closed one stays as it was.
    void closeOnlyWhatWasPrinted()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500");
        Invoice printed;
        QVERIFY(loadInvoice(e.t.db(), inv, printed));
        const qint64 late = e.line(inv, e.stone("R2"), 0, "1.01", "3500"); // sold meanwhile
        const QStringList before = e.row("invoice", inv);
        QCOMPARE(closeAfterPrint(e.t.db(), printed), CloseResult::LinesChanged);
        QCOMPARE(e.row("invoice", inv), before);
        QVERIFY(loadInvoice(e.t.db(), inv, printed));
        QCOMPARE(printed.lines.size(), 2);
        QCOMPARE(printed.lines.last().id, late);
        QCOMPARE(closeAfterPrint(e.t.db(), printed), CloseResult::Closed);
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("closed"));
        const QStringList closed = e.row("invoice", inv);
        QCOMPARE(closeAfterPrint(e.t.db(), printed), CloseResult::WasClosed);
        QCOMPARE(e.row("invoice", inv), closed);
        printed.id = 999999;
        QCOMPARE(closeAfterPrint(e.t.db(), printed), CloseResult::Gone);
        // The next sale to the customer opens a new invoice.
        SaleLine next;
        next.customerId = c;
        next.carat = "1";
        next.priceCarat = "100";
        db::Transaction tx(e.t.db());
        const Posted p = postInTransaction(e.ctx, next);
        tx.commit();
        QVERIFY(p.newInvoice);
        QVERIFY(p.invoiceId != inv);
    }

    // `velmor invoice print` races a sale on another workstation: the sale
    // holds the invoice row while the program reads and prints; the program
    // waits for it at the close, sees a line it did not print and leaves the
    // invoice open, saying so (exit 1).  Without the race it closes.
    void commandLineRacesASale()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500");
        velmorRun(e, {"invoice", "list"}); // writes database.ini
        QSqlDatabase other = e.t.secondConnection();
        db::exec(other, "START TRANSACTION");
        db::exec(other, "SELECT ID FROM invoice WHERE ID = ? FOR UPDATE", {inv});
        db::exec(other,
                 "INSERT INTO invoicelist (invoiceid, carat, dateadded, pricecarat, taxrate, details) "
                 "VALUES (?, 1, NOW(), 250, 0, 'sold on another workstation')",
                 {inv});

        const QString pdf = e.dir.filePath("raced.pdf");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMOR_HOME", e.dir.path());
        env.insert("VELMOR_PASSWORD", test::kAdminPassword);
        p.setProcessEnvironment(env);
        test::addAdministrator(e.t.db());
        p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY),
                {"invoice", "print", QString::number(inv), "--pdf", pdf, "--currency", "us", "--user", test::kAdminName});
        // The document is written, the close waits for the invoice row.
        QElapsedTimer t;
        t.start();
        bool waiting = false;
        while (!waiting && t.elapsed() < 60000 && p.state() != QProcess::NotRunning) {
            waiting = QFile::exists(pdf)
                      && e.value("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO LIKE "
                                 "'SELECT status FROM invoice WHERE ID = % FOR UPDATE'")
                                 .toInt()
                             > 0;
            if (!waiting)
                QThread::msleep(20);
        }
        QVERIFY2(waiting, qPrintable(QString::fromUtf8(p.readAllStandardError())));
        db::exec(other, "COMMIT");
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains(QString("Invoice #%1 was not closed").arg(inv)) && err.contains("print it again"),
                 qPrintable(err));
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("open"));
        QVERIFY(e.value("SELECT dateclosed FROM invoice WHERE ID=?", {inv}).isNull());
        const QString flat = test::pdfText(pdf).simplified();
        QVERIFY(flat.contains("Sub Total: US$ 3,535.00"));
        QVERIFY(!flat.contains("sold on another workstation"));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);

        // Printed again, with both lines: closed.
        const Run again = printRun(e, {QString::number(inv), "--pdf", pdf, "--currency", "us"});
        QCOMPARE(again.code, 0);
        QVERIFY(again.out.contains("(closed)"));
        QVERIFY(test::pdfText(pdf).simplified().contains("Sub Total: US$ 3,785.00"));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("closed"));
    }

    // A free line is refused on a printed (closed) invoice, with every row as
    // it was; on an open one it goes in.
    void noFreeLineOnAClosedInvoice()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 closed = e.invoice(c, "closed");
        e.line(closed, e.stone("R1"), 0, "1.01", "3500");
        const qint64 lines = e.value("SELECT COUNT(*) FROM invoicelist").toLongLong();
        const QStringList before = e.row("invoice", closed);
        try {
            addFreeLine(e.ctx, closed, "Setting labour", "1", "75");
            QFAIL("a line was added to a closed invoice");
        } catch (const std::invalid_argument &x) {
            QCOMPARE(QString::fromStdString(x.what()), closedInvoiceMessage(closed));
            QVERIFY(closedInvoiceMessage(closed).contains("printed and closed"));
        }
        QCOMPARE(e.value("SELECT COUNT(*) FROM invoicelist").toLongLong(), lines);
        QCOMPARE(e.row("invoice", closed), before);
        const qint64 open = e.invoice(c);
        QVERIFY(addFreeLine(e.ctx, open, "Setting labour", "1", "75") > 0);
        QCOMPARE(e.value("SELECT COUNT(*) FROM invoicelist WHERE invoiceid=?", {open}).toInt(), 1);
    }

    // The invoice prints the list price and the discount of the sale, kept
    // on the line; re-pricing the stone afterwards changes neither.  Lines
    // written before they were kept print the stone's figures as before.
    void listPriceAndDiscountOfTheSale_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("discount");
        QTest::addColumn<QString>("printed");
        QTest::newRow("25 % off 5000") << "3750" << "5000.00000" << "25.00000" << "5,000.00 25.00 % 3,750.00";
        QTest::newRow("above the list") << "5500" << "5000.00000" << "-10.00000" << "5,000.00 -10.00 % 5,500.00";
        QTest::newRow("a third off") << "3333.33" << "5000.00000" << "33.33340" << "5,000.00 33.33 % 3,333.33";
    }
    void listPriceAndDiscountOfTheSale()
    {
        QFETCH(QString, price);
        QFETCH(QString, list);
        QFETCH(QString, discount);
        QFETCH(QString, printed);
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 stone = e.stone("R1"); // listed at 5000, 30 % stored
        const SellOutcome sold = sellStoneOnInvoice(e.ctx, stone, c, "1.01", price);
        QCOMPARE(int(sold.result), int(SellResult::Done));
        QCOMPARE(e.value("SELECT CAST(listprice AS CHAR) FROM invoicelist WHERE diamondid=?", {stone}).toString(), list);
        QCOMPARE(e.value("SELECT CAST(discountgiven AS CHAR) FROM invoicelist WHERE diamondid=?", {stone}).toString(),
                 discount);
        db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice=6000, SellOffRap=10 WHERE ID=?", {stone});
        const qint64 older = e.invoice(c, "closed");
        e.line(older, e.stone("R2"), 0, "1.01", "3500"); // without the kept figures
        InvoicePrintOptions o;
        o.rap = o.rapDiscount = true;
        o.currency = Currency::US;
        for (qint64 inv : {sold.posted.invoiceId, older}) {
            const QString pdf = e.dir.filePath(QString("inv%1.pdf").arg(inv));
            QVERIFY(printInvoice(e.ctx, inv, printing::PrintTarget::pdf(pdf), o).printed);
            VELMOR_VERIFY_PDF_LAYOUT(pdf);
            const QString flat = test::pdfText(pdf).simplified();
            if (inv == older) {
                QVERIFY2(flat.contains("5,000.00 30.00 % 3,500.00"), qPrintable(flat));
            } else {
                QVERIFY2(flat.contains(printed), qPrintable(flat));
                QVERIFY(!flat.contains("6,000.00"));
            }
        }
    }

    // A disclaimer of 16 short paragraphs within the column's 1,000
    // characters: what does not fit under the totals goes on to a new page,
    // no paragraph is lost and no word lies over another.
    void longDisclaimerContinues()
    {
        InvoiceEnv e;
        const ThreeLines t = threeLines(e);
        QStringList paragraphs;
        for (int i = 1; i <= 16; ++i)
            paragraphs << QString("Clause %1: the goods stay ours until they are paid in full.").arg(i);
        e.ctx.settings.SalesDisclaimer = paragraphs.join('\n');
        QVERIFY(e.ctx.settings.SalesDisclaimer.size() <= 1000);
        const QString pdf = e.dir.filePath("disclaimer.pdf");
        InvoicePrintOptions o;
        o.currency = Currency::CDN;
        const InvoicePrinted r = printInvoice(e.ctx, t.invoice, printing::PrintTarget::pdf(pdf), o);
        QVERIFY(r.printed);
        QCOMPARE(r.pages, 2);
        const QString flat = test::pdfText(pdf).simplified();
        for (int i = 1; i <= 16; ++i)
            QVERIFY2(flat.contains(QString("Clause %1:").arg(i)), qPrintable(QString::number(i) + "\n" + flat));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }

    // A sale made while the CDN rate was not known has no CDN amount: the
    // invoice in CDN is refused naming the rate and stays open (the command
    // exits 1, no file); in US$ it prints, with the tax rate as stored.
    void unknownRateOfTheSale()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500", "9.975", {}, "1.25", "18.5");
        db::exec(e.t.db(), "UPDATE invoicelist SET exchangerateCDN = NULL");
        const QString pdf = e.dir.filePath("cdn.pdf");
        Run r = printRun(e, {QString::number(inv), "--pdf", pdf});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("The exchange rate to CDN was not known when R1 was sold") && r.err.contains("stays open"),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("open"));
        r = printRun(e, {QString::number(inv), "--pdf", pdf, "--currency", "zar"});
        QCOMPARE(r.code, 0);
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString flat = test::pdfText(pdf).simplified();
        // 9.975 % of 3,535.00 is 352.62: the rate printed is the rate charged.
        QVERIFY2(flat.contains("9.975%") && flat.contains("ZAR 65,397.50") && flat.contains("ZAR 6,523.40"),
                 qPrintable(flat));
        QCOMPARE(taxRateText(1300000), QString("13.00"));
        QCOMPARE(taxRateText(997500), QString("9.975"));
    }

    // The rate of such a sale is recorded afterwards, by a user who holds
    // the rights, on an open invoice's lines that lack it; then the invoice
    // prints in CDN at that rate.  Every refusal leaves the lines as they were.
    void recordingTheRateOfTheSale()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500", "13", {}, "1.25", "18.5");
        e.line(inv, e.stone("R2"), 0, "1.00", "1000", "13", {}, "1.40", "18.5");
        db::exec(e.t.db(), "UPDATE invoicelist SET exchangerateCDN = NULL WHERE diamondid = "
                           "(SELECT ID FROM SingleStone WHERE SKU = 'R1')");
        test::addAdministrator(e.t.db());
        test::addUserWithout(e.t.db(), "clerk", "pw", {"AllowExchangeRateChanging"});
        const QString rates = "SELECT GROUP_CONCAT(COALESCE(exchangerateCDN, 'null') ORDER BY ID) FROM invoicelist";
        const QString before = e.value(rates).toString();
        auto rate = [&](const QStringList &args, const QString &password) {
            qputenv("VELMOR_PASSWORD", password.toUtf8());
            const Run r = velmorRun(e, QStringList{"invoice", "rate"} + args);
            qunsetenv("VELMOR_PASSWORD");
            return r;
        };
        const QString id = QString::number(inv);
        const struct {
            QStringList args;
            QString password;
            int code;
            const char *says;
        } refused[] = {
            {{id, "--cdn", "1.35"}, "", 2, "--user"},                                   // nobody named
            {{id, "--cdn", "1.35", "--user", "clerk"}, "pw", 1, "No Permission"},        // without the rate right
            {{id, "--cdn", "1,35x", "--user", test::kAdminName}, test::kAdminPassword, 1, "exchange rate to CDN"},
            {{id, "--cdn", "0", "--user", test::kAdminName}, test::kAdminPassword, 1, "more than 0"},
            {{"999999", "--cdn", "1.35", "--user", test::kAdminName}, test::kAdminPassword, 1, "no invoice number"},
        };
        for (const auto &t : refused) {
            const Run r = rate(t.args, t.password);
            QVERIFY2(r.code == t.code && r.err.contains(t.says, Qt::CaseInsensitive),
                     qPrintable(t.args.join(' ') + ": " + QString::number(r.code) + " " + r.err));
            QCOMPARE(e.value(rates).toString(), before);
        }
        Run r = rate({id, "--cdn", "1.35", "--user", test::kAdminName}, test::kAdminPassword);
        QVERIFY2(r.code == 0 && r.out.contains("recorded on 1 line"), qPrintable(r.out + r.err));
        // R2 keeps the rate it was sold at.
        QCOMPARE(e.value(rates).toString(), QString("1.35000,1.40000"));
        const QString pdf = e.dir.filePath("cdn-after.pdf");
        r = printRun(e, {id, "--pdf", pdf, "--currency", "cdn"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        // 3,535.00 at 1.35 is 4,772.25 (4,725.00 a carat); 1,000.00 at 1.40 is 1,400.00.
        const QString flat = test::pdfText(pdf).simplified();
        QVERIFY2(flat.contains("CDN 4,725.00 4,772.25") && flat.contains("CDN 1,400.00 1,400.00"), qPrintable(flat));
        // Printed, the invoice is closed: its rates stay as printed.
        r = rate({id, "--cdn", "1.50", "--user", test::kAdminName}, test::kAdminPassword);
        QVERIFY2(r.code == 1 && r.err.contains("closed"), qPrintable(r.err));
        QCOMPARE(e.value(rates).toString(), QString("1.35000,1.40000"));
    }

    void commandLine()
    {
        InvoiceEnv e;
        const ThreeLines t = threeLines(e);
        const qint64 other = e.customer("Other Buyer");
        const qint64 closedOne = e.invoice(other, "closed");
        const qint64 empty = e.invoice(other);

        Run r = velmorRun(e, {"invoice", "show", QString::number(t.invoice)});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("Lumen Jewellers"), qPrintable(r.out + r.err));
        QVERIFY(r.out.contains("PARCEL- P77"));
        QVERIFY(r.out.contains("n/a"));
        QVERIFY(r.out.contains("308.64"));
        QVERIFY(r.out.contains("Sub Total: 3919.14\n"));
        QVERIFY(r.out.contains("Tax: 509.49\n"));
        QVERIFY(r.out.contains("Summary: 4428.63\n"));
        r = velmorRun(e, {"invoice", "show", QString::number(empty)});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Sub Total: \n"));
        r = velmorRun(e, {"invoice", "show", "424242"});
        QCOMPARE(r.code, 1);
        r = velmorRun(e, {"invoice", "show", "abc"});
        QCOMPARE(r.code, 2);

        r = velmorRun(e, {"invoice", "list", "--open"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Lumen Jewellers"));
        QVERIFY(!r.out.contains("closed "));
        r = velmorRun(e, {"invoice", "list", "--closed", "--customer", QString::number(other)});
        QCOMPARE(r.code, 0);
        QStringList rows = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.at(1).startsWith(QString::number(closedOne) + " "));

        const QString pdf = e.dir.filePath("cli invoice.pdf");
        r = printRun(e, {QString::number(t.invoice), "--pdf", pdf, "--currency", "zar", "--rap"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("Invoice has been printed"), qPrintable(r.out + r.err));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString flat = test::pdfText(pdf).simplified();
        QVERIFY(flat.contains("ZAR "));
        QVERIFY(flat.contains("Sub Total: US$ 3,919.14"));
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {t.invoice}).toString(), QString("closed"));

        r = printRun(e, {QString::number(empty), "--pdf", "/nonexistent/x.pdf"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("stays open"));
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {empty}).toString(), QString("open"));
        r = velmorRun(e, {"invoice", "print", QString::number(empty), "--currency", "eur", "--pdf", pdf});
        QCOMPARE(r.code, 2);
        r = velmorRun(e, {"invoice", "print", QString::number(empty)});
        QCOMPARE(r.code, 2);
    }
};

QTEST_MAIN(tst_invoiceprint)
#include "tst_invoiceprint.moc"
