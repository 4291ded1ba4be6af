// Parcel carats on memo: out, back and sold with the figures adding up, the
// existing or new line, the bounds, the closing check, the print that closes
// the memo only when the document was produced, and the command line.
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "ParcelTestEnv.h"
#include "TestUsers.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelMemoPrint.h"

#include <QProcess>
#include <QTest>

using namespace velmor;
using namespace velmor::parcels;
using velmor::test::ParcelEnv;

namespace {

QString onHand(ParcelEnv &e, qint64 id) { return loadParcel(e.t.db(), id)->carat.fixed(2); }
QString onMemo(ParcelEnv &e, qint64 id) { return parcelFigures(e.t.db(), id).onMemo.fixed(2); }

} // namespace

class tst_parcelmemo : public QObject {
    Q_OBJECT

private slots:
    // 10.00 ct: 2.00 out leaves 8.00 and 2.00; 0.50 back gives 8.50 and 1.50;
    // 1.50 sold leaves 8.50, closes the memo and puts 1.50 ct on the invoice.
    void outBackSold()
    {
        ParcelEnv e;
        const qint64 p = e.parcel("PM-1", "10");
        const qint64 c = e.customer("Brilliant & Co");
        const Outcome out = putOnMemo(e.ctx, {p, c, "2.00", "300", LineChoice::Ask});
        QCOMPARE(out.result, Result::Done);
        QCOMPARE(out.message, QStringLiteral("Parcel has been added to Memo-Sheet #P%1").arg(out.id));
        QCOMPARE(onHand(e, p), QStringLiteral("8.00"));
        QCOMPARE(onMemo(e, p), QStringLiteral("2.00"));
        QCOMPARE(e.ctx.workstation.readFirstLine(kLastCustomerFile), QStringLiteral("Brilliant & Co   --- %1").arg(c));

        const Outcome back = returnFromMemo(e.ctx, out.id, p, "0.5");
        QCOMPARE(back.message, QStringLiteral("0.50 ct were returned into Stock from this Memo-Sheet"));
        QCOMPARE(onHand(e, p), QStringLiteral("8.50"));
        QCOMPARE(onMemo(e, p), QStringLiteral("1.50"));
        QVERIFY(!back.memoClosed);

        e.prompt.clear();
        const Outcome sold = sellFromMemo(e.ctx, out.id, p, "1.50");
        QCOMPARE(sold.result, Result::Done);
        QCOMPARE(sold.message, QStringLiteral("Added PM-1 to a new Invoice #%1").arg(sold.invoiceId));
        QVERIFY(sold.memoClosed);
        QCOMPARE(e.prompt.messages(), QStringList{"Parcel Memo: This Memo has been closed now!"});
        QCOMPARE(onHand(e, p), QStringLiteral("8.50"));
        QCOMPARE(onMemo(e, p), QStringLiteral("0.00"));
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', parcelid, carat, pricecarat, exchangerateCDN, exchangerateZAR) "
                        "FROM invoicelist WHERE invoiceid=?",
                        {sold.invoiceId}),
                 QStringLiteral("%1 1.50000 300.00000 1.25000 10.00000").arg(p));
        const auto h = loadParcelMemo(e.t.db(), out.id);
        QVERIFY(h->closed);
        QVERIFY(statusCaption(*h).startsWith("Status: CLOSED! "));
        QCOMPARE(e.text("SELECT GROUP_CONCAT(CONCAT(action, ' ', carat) ORDER BY id SEPARATOR ', ') FROM memoparcellist"),
                 QStringLiteral("memo-out 2.00000, memo-return -0.50000, sell -1.50000"));

        // The current view nets the movements; the history lists each one.
        QCOMPARE(parcelMemoLines(e.t.db(), out.id, false).at(0).carat.fixed(2), QStringLiteral("0.00"));
        QCOMPARE(parcelMemoLines(e.t.db(), out.id, true).size(), 3);

        // A closed memo is never reopened: the next carats open a new one.
        const Outcome again = putOnMemo(e.ctx, {p, c, "1", "300", LineChoice::Ask});
        QVERIFY(again.id > out.id);
        QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcel"), 2);
    }

    void existingOrNewLine()
    {
        ParcelEnv e;
        const qint64 p = e.parcel("PM-2", "10");
        const qint64 c = e.customer("Line Choice");
        const qint64 memo = putOnMemo(e.ctx, {p, c, "1", "100", LineChoice::Ask}).id;
        e.prompt.answer(true); // the existing line
        QCOMPARE(putOnMemo(e.ctx, {p, c, "2", "110", LineChoice::Ask}).id, memo);
        QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcellist"), 1);
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', carat, pricecarat) FROM memoparcellist"), QStringLiteral("3.00000 110.00000"));
        e.prompt.answer(false); // a new line
        putOnMemo(e.ctx, {p, c, "0.5", "120", LineChoice::Ask});
        QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcellist"), 2);
        QCOMPARE(e.prompt.texts(test::PromptEvent::Ask).size(), 2);
        QCOMPARE(onMemo(e, p), QStringLiteral("3.50"));
        QCOMPARE(onHand(e, p), QStringLiteral("6.50"));
        QCOMPARE(parcelMemoLines(e.t.db(), memo, false).at(0).carat.fixed(2), QStringLiteral("3.50"));
    }

    // Out of bounds: nothing is written and the user is told why.
    void bounds_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("carat");
        QTest::addColumn<QString>("words");
        QTest::newRow("more than on hand") << "out" << "10.00001" << "Only 10.00 ct of Parcel PB are on hand";
        QTest::newRow("zero out") << "out" << "0" << "must be more than 0";
        QTest::newRow("letters out") << "out" << "2x" << "is not a number";
        QTest::newRow("return more than out") << "return" << "2.5" << "Only 2.00 ct of Parcel PB are out on this Memo";
        QTest::newRow("sell more than out") << "sell" << "3" << "cannot be sold";
        QTest::newRow("negative return") << "return" << "-1" << "must be more than 0";
        // A line kept without a price is not sold at 0.
        QTest::newRow("sell without a price") << "sell at 0" << "1" << "Parcel PB has no price on this memo (0.00 US$/ct)";
    }
    void bounds()
    {
        QFETCH(QString, what);
        QFETCH(QString, carat);
        QFETCH(QString, words);
        ParcelEnv e;
        const qint64 p = e.parcel("PB", "10");
        const qint64 c = e.customer("Bounds");
        qint64 memo = 0;
        if (what != QLatin1String("out"))
            memo = putOnMemo(e.ctx, {p, c, "2", "100", LineChoice::NewLine}).id;
        if (what == QLatin1String("sell at 0"))
            db::exec(e.t.db(), "UPDATE memoparcellist SET pricecarat = NULL");
        const QString parcel = e.row("parcel", p);
        const int lines = e.count("SELECT COUNT(*) FROM memoparcellist");
        e.prompt.clear();
        const Outcome o = what == QLatin1String("out")    ? putOnMemo(e.ctx, {p, c, carat, "100", LineChoice::NewLine})
                          : what.startsWith(QLatin1String("sell")) ? sellFromMemo(e.ctx, memo, p, carat)
                                                          : returnFromMemo(e.ctx, memo, p, carat);
        QCOMPARE(o.result, Result::Refused);
        QVERIFY2(o.message.contains(words), qPrintable(o.message));
        QCOMPARE(e.row("parcel", p), parcel);
        QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcellist"), lines);
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
    }

    void nothingOut()
    {
        ParcelEnv e;
        const qint64 p = e.parcel("P0", "10"), q = e.parcel("Q0", "10");
        const qint64 memo = putOnMemo(e.ctx, {p, e.customer("Zero"), "1", "100", LineChoice::NewLine}).id;
        QCOMPARE(returnFromMemo(e.ctx, memo, q, "1").message, QStringLiteral("Parcel Q0 is already at 0.00 ct. on this Memo"));
    }

    // A memo still holding carats closes when printed; a print that failed
    // leaves it open.
    void printClosesMemo()
    {
        if (!test::haveTool("pdftotext"))
            QSKIP("pdftotext is not installed");
        ParcelEnv e;
        e.ctx.settings.CompanyName = "Velmor Test Dealer";
        e.ctx.settings.MemoDisclaimer = "Goods remain the property of the dealer until paid in full.";
        e.ctx.settings.CompanyCity = "Montreal";
        e.ctx.settings.CompanyProvince.clear();
        const qint64 p = e.parcel("PR-1", "10");
        const qint64 c = e.customer("Printed Ltd");
        db::exec(e.t.db(), "UPDATE Customer SET PhoneNumber1 = '5145550199' WHERE ID = ?", {c});
        const qint64 memo = putOnMemo(e.ctx, {p, c, "2", "150", LineChoice::NewLine}).id;
        returnFromMemo(e.ctx, memo, p, "0.5");

        const QString bad = e.dir.filePath("no/such/folder/memo.pdf");
        QVERIFY(!printParcelMemo(e.ctx, memo, printing::PrintTarget::pdf(bad), true, false).ok);
        QVERIFY(!loadParcelMemo(e.t.db(), memo)->closed);

        const QString pdf = e.dir.filePath("memo.pdf");
        e.prompt.clear();
        QVERIFY(printParcelMemo(e.ctx, memo, printing::PrintTarget::pdf(pdf), true, true).ok);
        QCOMPARE(e.prompt.messages(), QStringList{"Memo Printing: The Memo Sheet has been sent to the Printer!"});
        QVERIFY(loadParcelMemo(e.t.db(), memo)->closed);
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        QCOMPARE(onMemo(e, p), QStringLiteral("1.50")); // the carats are still out
        const QString text = test::pdfText(pdf).simplified();
        for (const QString &want :
             {QStringLiteral("Parcel-Memo#: %1").arg(memo), QStringLiteral("Memorandum"), QStringLiteral("Printed Ltd"),
              QStringLiteral("PR-1"), QStringLiteral("-0.50"), QStringLiteral("Summary US$ 225.00"),
              QStringLiteral("Summary CDN 281.25"), QStringLiteral("Summary ZAR 2,250.00"), QStringLiteral("~CDN 375.00"),
              QStringLiteral("Velmor Test Dealer"), QStringLiteral("514-555-0199"), QStringLiteral("Montreal")})
            QVERIFY2(text.contains(want), qPrintable(want + " missing in: " + text));
        // No comma after a city without a province.
        QVERIFY2(!text.contains("Montreal,"), qPrintable(text));

        // A memo without lines prints nothing.
        const qint64 empty = db::insert(e.t.db(), "INSERT INTO memoparcel (CustomerID, Date, closed) VALUES (?, NOW(), 0)", {c});
        const auto o = printParcelMemo(e.ctx, empty, printing::PrintTarget::pdf(e.dir.filePath("e.pdf")), false, false);
        QCOMPARE(o.error, QStringLiteral("There are no Parcels on this Memo Sheet!"));
        QVERIFY(!QFile::exists(e.dir.filePath("e.pdf")));
        QVERIFY(!loadParcelMemo(e.t.db(), empty)->closed);
    }

    // A print closes the memo only with the movements it was read with: carats
    // put out on another workstation after the read leave the memo open.
    void printClosesOnlyWhatItShows()
    {
        ParcelEnv e;
        const qint64 p = e.parcel("PC-1", "10");
        const qint64 c = e.customer("Late Line");
        const qint64 memo = putOnMemo(e.ctx, {p, c, "2", "150", LineChoice::NewLine}).id;
        const auto read = parcelMemoDocument(e.t.db(), e.ctx.settings, memo);
        QVERIFY(read);
        QList<qint64> printed;
        for (const ParcelMemoLine &l : read->rows)
            printed << l.lineId;
        QCOMPARE(putOnMemo(e.ctx, {p, c, "1", "160", LineChoice::NewLine}).id, memo);
        QCOMPARE(closeParcelMemoAfterPrint(e.t.db(), memo, printed), PrintedClose::LinesChanged);
        QVERIFY(!loadParcelMemo(e.t.db(), memo)->closed);
        printed.clear();
        const auto again = parcelMemoDocument(e.t.db(), e.ctx.settings, memo);
        QVERIFY(again);
        for (const ParcelMemoLine &l : again->rows)
            printed << l.lineId;
        QCOMPARE(closeParcelMemoAfterPrint(e.t.db(), memo, printed), PrintedClose::Closed);
        QVERIFY(loadParcelMemo(e.t.db(), memo)->closed);
        QCOMPARE(closeParcelMemoAfterPrint(e.t.db(), memo, printed), PrintedClose::WasClosed);
    }

    // Carats leave the memo-out lines they went out on, each at its own
    // line's price: 2.50 ct at 400 and 1.25 ct at 450 out, 0.75 ct back and
    // 2.00 ct sold leave 1.00 ct at 450 out, and the paper says so.
    void linesKeepTheirPrices()
    {
        if (!test::haveTool("pdftotext"))
            QSKIP("pdftotext is not installed");
        ParcelEnv e;
        const qint64 p = e.parcel("PL-1", "10");
        const qint64 c = e.customer("Line Buyer");
        const qint64 memo = putOnMemo(e.ctx, {p, c, "2.50", "400", LineChoice::NewLine}).id;
        QCOMPARE(putOnMemo(e.ctx, {p, c, "1.25", "450", LineChoice::NewLine}).id, memo);
        QCOMPARE(returnFromMemo(e.ctx, memo, p, "0.75").result, Result::Done);
        const Outcome sold = sellFromMemo(e.ctx, memo, p, "2.00");
        QCOMPARE(sold.result, Result::Done);
        QCOMPARE(e.text("SELECT GROUP_CONCAT(CONCAT(carat, ' ', pricecarat) ORDER BY ID SEPARATOR ', ') FROM invoicelist"),
                 QStringLiteral("1.75000 400.00000, 0.25000 450.00000"));
        QList<OutLine> lines = outLines(e.t.db(), memo, p);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.at(0).carat.fixed(2) + " " + lines.at(0).priceCarat.fixed(2), QStringLiteral("1.00 450.00"));
        // The line chosen gives only what is still out on it.
        const qint64 first = e.value("SELECT MIN(id) FROM memoparcellist").toLongLong();
        QCOMPARE(returnFromMemo(e.ctx, memo, p, "0.5", first).result, Result::Refused);
        QCOMPARE(returnFromMemo(e.ctx, memo, p, "0.5", lines.at(0).id).result, Result::Done);
        const QString pdf = e.dir.filePath("lines.pdf");
        QVERIFY(printParcelMemo(e.ctx, memo, printing::PrintTarget::pdf(pdf), true, false).ok);
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString text = test::pdfText(pdf).simplified();
        QVERIFY2(text.contains("Summary US$ 225.00") && text.contains("Summary CDN 281.25"), qPrintable(text));
    }

    void finder()
    {
        ParcelEnv e;
        const qint64 p = e.parcel("F-1", "10");
        const qint64 a = e.customer("Alpha"), b = e.customer("Beta");
        const qint64 ma = putOnMemo(e.ctx, {p, a, "1", "1", LineChoice::NewLine}).id;
        const qint64 mb = putOnMemo(e.ctx, {p, b, "1", "1", LineChoice::NewLine}).id;
        closeParcelMemo(e.t.db(), ma, false);
        auto ids = [&](bool open, qint64 cust) {
            QList<qint64> out;
            for (const auto &r : parcelMemoList(e.t.db(), open, cust))
                out << r.memoId;
            return out;
        };
        QCOMPARE(ids(false, 0), (QList<qint64>{mb, ma}));
        QCOMPARE(ids(true, 0), QList<qint64>{mb});
        QCOMPARE(ids(false, a), QList<qint64>{ma});
        QCOMPARE(parcelMemoList(e.t.db(), false, a).at(0).status, QStringLiteral("closed"));
    }

    void commandLine()
    {
        ParcelEnv e;
        const qint64 p = e.parcel("CLI-7", "10", "200");
        receiveStock(e.ctx, {p, e.supplierId, "10", "100"});
        const qint64 memo = putOnMemo(e.ctx, {p, e.customer("Cli Customer"), "2.5", "300", LineChoice::NewLine}).id;
        QFile ini(e.ctx.workstation.path("database.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                      .arg(test::TestDb::socketPath(), e.t.name())
                      .toUtf8());
        ini.close();
        test::addAdministrator(e.t.db());
        auto run = [&](const QStringList &args, QString *out) {
            QProcess proc;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("VELMOR_HOME", e.dir.path());
            env.remove("QT_QPA_PLATFORM");
            env.remove("DISPLAY");
            // The print closes the memo: the administrator runs it.
            env.insert("VELMOR_USER", test::kAdminName);
            env.insert("VELMOR_PASSWORD", test::kAdminPassword);
            proc.setProcessEnvironment(env);
            proc.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
            proc.waitForFinished(60000);
            *out = QString::fromUtf8(proc.readAllStandardOutput() + proc.readAllStandardError());
            return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
        };
        QString out;
        QCOMPARE(run({"parcel", "show", "CLI-7"}, &out), 0);
        for (const QString &want : {QStringLiteral("On hand:       17.50000 ct"), QStringLiteral("On memo:       2.50000 ct"),
                                    QStringLiteral("Average cost:  150.00 US$/ct"), QStringLiteral("Last cost:     100.00"),
                                    QStringLiteral("Antwerp Rough")})
            QVERIFY2(out.contains(want), qPrintable(out));
        QCOMPARE(run({"parcel", "show", QString::number(p)}, &out), 0);
        QVERIFY(out.contains("Parcel CLI-7"));
        QCOMPARE(run({"parcel", "show", "NO'SUCH"}, &out), 1);
        QVERIFY(out.contains("there is no parcel"));

        if (!test::haveTool("pdftotext"))
            QSKIP("pdftotext is not installed");
        const QString pdf = e.dir.filePath("cli.pdf");
        QCOMPARE(run({"parcel", "memo", "print", "x1", "--pdf", pdf}, &out), 2);
        QVERIFY(!loadParcelMemo(e.t.db(), memo)->closed);
        QCOMPARE(run({"parcel", "memo", "print", QString::number(memo), "--pdf", pdf}, &out), 0);
        QVERIFY2(out.contains(" and closed"), qPrintable(out));
        QVERIFY(test::pdfText(pdf).contains("CLI-7"));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        QVERIFY(loadParcelMemo(e.t.db(), memo)->closed);
        // A reprint says that it closed nothing.
        QCOMPARE(run({"parcel", "memo", "print", QString::number(memo), "--pdf", pdf}, &out), 0);
        QVERIFY2(out.contains("(it was closed already)") && !out.contains(" and closed"), qPrintable(out));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        // Printed, but the close refused by the server: the command fails and
        // says the memo stayed open.
        const qint64 stuck = putOnMemo(e.ctx, {p, e.customer("Stuck Customer"), "1", "200", LineChoice::NewLine}).id;
        db::exec(e.t.db(), "CREATE TRIGGER test_no_close BEFORE UPDATE ON memoparcel FOR EACH ROW "
                           "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'closing refused by the test'");
        const QString stuckPdf = e.dir.filePath("stuck.pdf");
        const int stuckExit = run({"parcel", "memo", "print", QString::number(stuck), "--pdf", stuckPdf}, &out);
        db::exec(e.t.db(), "DROP TRIGGER test_no_close");
        QCOMPARE(stuckExit, 1);
        QVERIFY2(out.contains("could not be closed") && out.contains("but left open") && !out.contains(" and closed"),
                 qPrintable(out));
        VELMOR_VERIFY_PDF_LAYOUT(stuckPdf);
        QVERIFY(!loadParcelMemo(e.t.db(), stuck)->closed);

        // Carats put out while the rates were not known: the memo is not
        // printed with CDN or rand amounts (exit 1, the rate named, no
        // file), and stays open; without them it prints.
        e.ctx.exchangeRateCDN = 0;
        e.ctx.exchangeRateZAR = 0;
        const qint64 later = putOnMemo(e.ctx, {p, e.customer("Rate Customer"), "1", "300", LineChoice::NewLine}).id;
        const QString unknown = e.dir.filePath("unknown.pdf");
        QCOMPARE(run({"parcel", "memo", "print", QString::number(later), "--cdn", "--zar", "--pdf", unknown}, &out), 1);
        QVERIFY2(out.contains("The exchange rate to CDN was not known") && out.contains("rate screen"), qPrintable(out));
        QVERIFY(!QFile::exists(unknown));
        QVERIFY(!loadParcelMemo(e.t.db(), later)->closed);
        QCOMPARE(run({"parcel", "memo", "print", QString::number(later), "--pdf", unknown}, &out), 0);
        VELMOR_VERIFY_PDF_LAYOUT(unknown);
        QVERIFY(!test::pdfText(unknown).contains("0.00 ~"));
    }
};

QTEST_MAIN(tst_parcelmemo)
#include "tst_parcelmemo.moc"
