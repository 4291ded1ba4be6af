// The invoice screens driven by control name, offscreen: the sell dialog's
// price chains and its sale onto a new and then the existing invoice (and off
// the online listing), the invoice screen's grid and totals with a free line
// added and a line's text edited, the invoice list, the print through
// frmPrintInvoice, and the screens that save, loaded and saved untouched.
#include "../printing/PrintTestKit.h"
#include "InvoiceTestEnv.h"
#include "PdfLayoutCheck.h"
#include "RecordingScreens.h"
#include "TestUsers.h"
#include "WorkstationThread.h"
#include "invoices/Posting.h"
#include "invoices/SellPrices.h"
#include "invoices/Money.h"
#include "invoices/frmDiamondSell.h"
#include "invoices/frmInvoice.h"
#include "invoices/frmInvoiceADD.h"
#include "invoices/widgets/CurrencyPictures.h"
#include "invoices/frmInvoiceEdit.h"
#include "invoices/frmInvoiceFind.h"
#include "invoices/frmSalesDisclaimer.h"
#include "online/Listing.h"
#include "printing/PrintJob.h"
#include "shell/widgets/StartupFlow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace velmor;
using namespace velmor::invoices;
using velmor::test::InvoiceEnv;
using velmor::test::PromptEvent;

namespace {

void type(QLineEdit *box, const QString &text)
{
    box->selectAll();
    box->del();
    QTest::keyClicks(box, text);
}

// Runs `drive` on the next modal dialog once it is up.
template <class Dialog> void whenUp(std::function<void(Dialog *)> drive)
{
    QTimer::singleShot(0, [drive] {
        auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(d);
        drive(d);
    });
}

QString cell(QTableWidget *g, int row, int col)
{
    QTableWidgetItem *i = g->item(row, col);
    return i ? i->text() : QStringLiteral("<none>");
}

} // namespace

class tst_invoicescreens : public QObject {
    Q_OBJECT

private slots:
    // The chains of the sell dialog (rates 1.25 and 14, weight 1.01, list 10000).
    void sellPriceChains_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("after"); // discount, US ct, US stone, CDN ct, CDN stone, ZAR ct, ZAR stone
        QTest::newRow("discount 25") << int(SellPrices::RapDiscount) << "25"
                                     << QStringList{"25", "7500.00", "7575.00", "9375.00", "9468.75", "105000.00",
                                                    "106050.00"};
        QTest::newRow("US per carat") << int(SellPrices::UScarat) << "8000"
                                      << QStringList{"20.00", "8000", "8080.00", "10000.00", "10100.00", "112000.00",
                                                     "113120.00"};
        QTest::newRow("US per stone gives its per carat")
            << int(SellPrices::USstone) << "10100"
            << QStringList{"0.00", "10000.00", "10100", "12500.00", "12625.00", "140000.00", "141400.00"};
        QTest::newRow("CDN per carat") << int(SellPrices::CDNcarat) << "10000"
                                       << QStringList{"20.00", "8000.00", "8080.00", "10000", "10100.00", "112000.00",
                                                      "113120.00"};
        QTest::newRow("ZAR per stone") << int(SellPrices::ZARstone) << "141400"
                                       << QStringList{"0.00", "10000.00", "10100.00", "12500.00", "12625.00",
                                                      "140000.00", "141400"};
    }
    void sellPriceChains()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QStringList, after);
        SellPrices p;
        p.setRates(1.25, 14);
        p.open("1.01", "10000.00", "30.00", "7000.00");
        p.edit(SellPrices::Field(field), typed);
        const SellPrices::Field shown[] = {SellPrices::RapDiscount, SellPrices::UScarat, SellPrices::USstone,
                                           SellPrices::CDNcarat,    SellPrices::CDNstone, SellPrices::ZARcarat,
                                           SellPrices::ZARstone};
        QStringList got;
        for (SellPrices::Field f : shown)
            got << p.text(f);
        QCOMPARE(got, after);
    }

    void sellPricesWithZeros()
    {
        SellPrices p;
        p.setRates(0, 14);
        p.open("0", "0", "", "100");
        p.edit(SellPrices::CDNcarat, "50"); // no rate: the US price stays
        QCOMPARE(p.text(SellPrices::UScarat), QString("100"));
        p.edit(SellPrices::USstone, "500"); // no weight: per carat stays
        QCOMPARE(p.text(SellPrices::UScarat), QString("100"));
        QCOMPARE(p.text(SellPrices::RapDiscount), QString()); // no list price: no discount
        QCOMPARE(SellPrices::money(2.675), QString("2.68"));
    }

    // The amount per stone the dealer sees or types, in any currency, is the
    // amount invoiced in it to the cent: a stone's own price untouched, a
    // price typed per stone in CDN, and the CDN and rand amounts the dialog
    // shows against those the printed invoice gives.
    void sellDialogAmountsAreInvoiced_data()
    {
        QTest::addColumn<QString>("carat");
        QTest::addColumn<QString>("stonePrice"); // SellPriceUS
        QTest::addColumn<QString>("field");      // typed into, empty: nothing typed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("us");         // the invoice's US amount
        QTest::addColumn<QString>("cdn");        // and CDN amount
        QTest::newRow("100,000 per stone untouched") << "7.33" << "100000" << "" << "" << "100,000.00"
                                                     << "138,000.00";
        QTest::newRow("CDN 1,500 per stone") << "0.55" << "1000" << "txtCDNstone" << "1,500" << "1,086.96"
                                             << "1,500.00";
        QTest::newRow("discount on an odd weight") << "0.537" << "1000" << "txtRapDiscount" << "12.345" << "1,953.43"
                                                   << "2,695.73";
    }
    void sellDialogAmountsAreInvoiced()
    {
        QFETCH(QString, carat);
        QFETCH(QString, stonePrice);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, us);
        QFETCH(QString, cdn);
        InvoiceEnv e;
        e.ctx.exchangeRateCDN = 1.38;
        e.ctx.exchangeRateZAR = 18.51;
        e.customer("Lumen Jewellers");
        const qint64 s = db::insert(e.t.db(),
                                    "INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, SellOffRap, SellPriceUS, "
                                    "LockPercent, Status) VALUES ('T1', 'Round Brilliant [BR]', ?, 4150, 0, ?, -1, "
                                    "'Stock')",
                                    {carat, stonePrice});
        QString shownCDN, shownZAR;
        {
            frmDiamondSell d(e.ctx, s);
            d.cboCust->setCurrentIndex(d.cboCust->findText("Lumen Jewellers", Qt::MatchStartsWith));
            if (!field.isEmpty())
                type(d.findChild<QLineEdit *>(field), typed);
            shownCDN = d.txtCDNstone->text();
            shownZAR = d.txtZARstone->text();
            e.prompt.answer(true);
            QVERIFY(d.sell());
        }
        Invoice inv;
        QVERIFY(loadInvoice(e.t.db(), e.value("SELECT MAX(ID) FROM invoice").toLongLong(), inv));
        const InvoiceLine &l = inv.lines.first();
        QCOMPARE(centsText(l.amountCents(), true), us);
        QCOMPARE(centsText(l.amountCents(Currency::CDN), true), cdn);
        QCOMPARE(centsText(l.amountCents(Currency::CDN)), figures::parseTyped(shownCDN)->fixed(2));
        QCOMPARE(centsText(l.amountCents(Currency::ZAR)), figures::parseTyped(shownZAR)->fixed(2));
    }

    // At unknown rates the dialog shows "???" and empty boxes, never 0.00;
    // a price typed in a currency whose rate is not known is refused naming
    // the rate, and nothing is sold.
    void sellDialogAtUnknownRates()
    {
        InvoiceEnv e;
        e.ctx.exchangeRateCDN = 0;
        e.ctx.exchangeRateZAR = 0;
        e.customer("Lumen Jewellers");
        const qint64 s = e.stone("U1");
        frmDiamondSell d(e.ctx, s);
        QCOMPARE(d.lblCDN->text(), QString("???"));
        QCOMPARE(d.lblZAR->text(), QString("???"));
        for (QLineEdit *box : {d.txtCDNcarat, d.txtCDNstone, d.txtZARcarat, d.txtZARstone})
            QCOMPARE(box->text(), QString());
        QCOMPARE(d.txtUSstone->text(), QString("3535.00"));
        d.cboCust->setCurrentIndex(d.cboCust->findText("Lumen Jewellers", Qt::MatchStartsWith));
        type(d.txtZARstone, "20,000");
        QCOMPARE(d.txtUSstone->text(), QString("3535.00"));
        e.prompt.answer(true);
        QVERIFY(!d.sell());
        QVERIFY2(e.prompt.messages().last().contains("The ZAR per stone \"20,000\" cannot be taken")
                     && e.prompt.messages().last().contains("The rand rate (ZAR) is not known"),
                 qPrintable(e.prompt.messages().join('\n')));
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
        QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s}).toString(), QString("Stock"));
    }

    // Sell two stones from the dialog: a new invoice, then the existing one;
    // the last customer is remembered; the listing row of the sold stone goes.
    void sellFromTheDialog()
    {
        InvoiceEnv e;
        test::TestDb listingDb(test::TestDb::Shape::Empty);
        online::createListingTable(listingDb.db());
        QVERIFY(e.ctx.workstation.writeLines("listing.ini", {"socket=" + test::TestDb::socketPath(), "user=root",
                                                             "database=" + listingDb.name(), "vendor=V1"}));
        const qint64 other = e.customer("Aardvark Gems");
        const qint64 buyer = e.customer("Lumen Jewellers");
        const qint64 s1 = e.stone("S1"), s2 = e.stone("S2");
        db::exec(listingDb.db(), "INSERT INTO Stones (velmorstoneid, vendorid, sku) VALUES (?, 'V1', 'S1')", {s1});
        {
            frmDiamondSell d(e.ctx, s1);
            QVERIFY(d.loaded());
            QCOMPARE(d.cboCust->currentIndex(), -1); // no lastcustomersell.ini
            QCOMPARE(d.lblCDN->text(), QString("1.2500"));
            QCOMPARE(d.lblZAR->text(), QString("14.0000"));
            QCOMPARE(d.txtCarat->text(), QString("1.01"));
            QCOMPARE(d.txtUScarat->text(), QString("3500.00")); // 3535 per stone / 1.01
            QCOMPARE(d.txtCDNcarat->text(), QString("4375.00"));
            QCOMPARE(d.txtRapDiscount->text(), QString("30.00"));
            // no customer: refused, nothing sold
            d.cboCust->setCurrentIndex(-1);
            QVERIFY(!d.sell());
            QCOMPARE(e.prompt.messages(),
                     QStringList{"Selling Diamond: You have to select a Customer before you can proceed!"});
            d.cboCust->setCurrentIndex(d.cboCust->findText("Lumen Jewellers", Qt::MatchStartsWith));
            type(d.txtRapDiscount, "25");
            QCOMPARE(d.txtUScarat->text(), QString("3750.00"));
            QCOMPARE(d.txtUSstone->text(), QString("3787.50"));
            e.prompt.clear();
            e.prompt.answer(true);
            QTest::mouseClick(d.imgSell, Qt::LeftButton);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(e.prompt.texts(PromptEvent::Ask),
                     QStringList{"Are you sure you want to sell this Stone to\n\nLumen Jewellers\n\n"});
        }
        const qint64 inv = e.value("SELECT invoiceid FROM invoicelist WHERE diamondid=?", {s1}).toLongLong();
        QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QString("Added to a new Invoice #%1").arg(inv)});
        QCOMPARE(e.value("SELECT CAST(pricecarat AS CHAR) FROM invoicelist WHERE diamondid=?", {s1}).toString(),
                 QString("3750.00000"));
        QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {s1}).toLongLong(), buyer);
        QCOMPARE(e.ctx.workstation.readFirstLine("lastcustomersell.ini"), QString::number(buyer));
        QCOMPARE(db::scalar(listingDb.db(), "SELECT COUNT(*) FROM Stones WHERE velmorstoneid=?", {s1}).toInt(), 0);

        e.prompt.clear();
        {
            frmDiamondSell d(e.ctx, s2);
            QCOMPARE(d.cboCust->currentText(), QString("Lumen Jewellers   --- ID%1").arg(buyer));
            type(d.txtUSstone, "4040");
            QCOMPARE(d.txtUScarat->text(), QString("4000.00"));
            e.prompt.answer(true);
            QVERIFY(d.sell());
        }
        QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QString("Added to the existing Invoice #%1").arg(inv)});
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist WHERE invoiceid=?", {inv}), 2);
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), 1);
        // a sold stone cannot be sold again from a dialog opened before
        frmDiamondSell late(e.ctx, s2);
        late.cboCust->setCurrentIndex(late.cboCust->findText("Aardvark", Qt::MatchStartsWith));
        e.prompt.answer(true);
        QVERIFY(!late.sell());
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 2);
        QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {s2}).toLongLong(), buyer);

        // An unreachable listing is told once and the sale stays.
        QVERIFY(e.ctx.workstation.writeLines("listing.ini", {"socket=" + e.dir.path() + "/no.sock", "user=root",
                                                             "database=x", "vendor=V1"}));
        const qint64 s3 = e.stone("S3");
        e.prompt.clear();
        {
            frmDiamondSell d(e.ctx, s3);
            d.cboCust->setCurrentIndex(d.cboCust->findText("Aardvark", Qt::MatchStartsWith));
            e.prompt.answer(true);
            QVERIFY(d.sell());
        }
        QCOMPARE(e.prompt.texts(PromptEvent::Notice).size(), 1);
        QCOMPARE(e.prompt.texts(PromptEvent::Inform).size(), 1);
        QVERIFY(e.prompt.messages().last().startsWith("Online listing: "));
        QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s3}).toString(), QString("Sold"));
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoice WHERE customerid=?", {other}), 1);
    }

    // The sell dialog sells on the Sell command only, after the question; a
    // price per stone reaches the invoice to the cent; figures that are not
    // figures, and prices of 0 or below, are refused with every row as it was.
    void sellDialogTrust_data()
    {
        QTest::addColumn<QString>("carat");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("cents"); // the line's amount; -1: refused
        QTest::addColumn<QString>("words");
        QTest::newRow("5000 per stone on 2.37 ct") << "2.37" << "txtUSstone" << "5000" << qint64(500000) << "";
        QTest::newRow("123,456 per stone on 5.55 ct") << "5.55" << "txtUSstone" << "123,456" << qint64(12345600) << "";
        QTest::newRow("10,000 per carat") << "1" << "txtUScarat" << "10,000" << qint64(1000000) << "";
        QTest::newRow("a discount of 2,5") << "1" << "txtRapDiscount" << "2,5" << qint64(-1)
                                           << "The % off RAP \"2,5\" is not a number.";
        QTest::newRow("-100 per carat") << "1" << "txtUScarat" << "-100" << qint64(-1)
                                        << "The US$ per carat must be more than 0.";
        QTest::newRow("a price the column cannot hold") << "1" << "txtUScarat" << "100,000" << qint64(-1)
                                                        << "the largest value it takes is 99,999.99999";
    }
    void sellDialogTrust()
    {
        QFETCH(QString, carat);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(qint64, cents);
        QFETCH(QString, words);
        InvoiceEnv e;
        e.customer("Lumen Jewellers");
        const qint64 s = db::insert(e.t.db(),
                                    "INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, SellOffRap, SellPriceUS, "
                                    "LockPercent, Status) VALUES ('T1', 'Round Brilliant [BR]', ?, 10000, 0, 10000, -1, "
                                    "'Stock')",
                                    {carat});
        frmDiamondSell d(e.ctx, s);
        d.show();
        d.cboCust->setCurrentIndex(d.cboCust->findText("Lumen Jewellers", Qt::MatchStartsWith));
        auto *box = d.findChild<QLineEdit *>(field);
        type(box, typed);
        // Enter in the field: no question, no sale, the dialog stays.
        QVERIFY(!d.imgSell->isDefault() && !d.imgSell->autoDefault());
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(e.prompt.events.size(), 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
        if (cents >= 0) {
            // No: nothing sold.
            e.prompt.answer(false);
            QVERIFY(!d.sell());
            QCOMPARE(e.prompt.texts(PromptEvent::Ask),
                     QStringList{"Are you sure you want to sell this Stone to\n\nLumen Jewellers\n\n"});
            QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s}).toString(), QString("Stock"));
            e.prompt.answer(true);
            QVERIFY(d.sell());
            const QString price = e.value("SELECT CAST(pricecarat AS CHAR) FROM invoicelist WHERE diamondid=?", {s}).toString();
            const QString stored = e.value("SELECT CAST(carat AS CHAR) FROM invoicelist WHERE diamondid=?", {s}).toString();
            QCOMPARE(lineAmountCents(*parseFixed(price), *parseFixed(stored)), cents);
        } else {
            e.prompt.answer(true);
            QVERIFY(!d.sell());
            QCOMPARE(e.prompt.texts(PromptEvent::Ask).size(), 0);
            QCOMPARE(e.prompt.texts(PromptEvent::Inform).size(), 1);
            QVERIFY2(e.prompt.texts(PromptEvent::Inform).first().contains(words),
                     qPrintable(e.prompt.texts(PromptEvent::Inform).first()));
            QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
            QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s}).toString(), QString("Stock"));
        }
    }

    // Grid texts of the three kinds of line, the totals, an empty invoice,
    // a free line added, a line's text edited, Command2 by the print screen.
    void invoiceScreen()
    {
        InvoiceEnv e;
        test::RecordingScreens screens;
        e.ctx.setScreens(&screens);
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 empty = e.invoice(c);
        const qint64 inv = e.invoice(c);
        const qint64 stone = e.stone("R1");
        const qint64 parcel = e.parcel("P9");
        e.line(inv, stone, 0, "1.01", "3500", "13", "GIA 123");
        e.line(inv, 0, parcel, "2.5", "123.455", "13");
        e.ctx.settings._tax = {13, 0, 0, 0};
        db::exec(e.t.db(), "UPDATE Customer SET _tax1=-1, CompanyStreet1='9 Gem Road', CompanyCity='Ottawa', "
                           "CompanyZIP='K1A' WHERE ID=?", {c});

        invoices::frmInvoice w(e.ctx);
        w.show();
        QVERIFY(w.showInvoice(empty));
        QCOMPARE(w.lblSubTotal->text(), QString());
        QCOMPARE(w.lblSummary->text(), QString());
        QVERIFY(!w.Command2->isEnabled()); // no print screen installed
        screens.installed = {Screen::InvoicePrint};
        QVERIFY(w.showInvoice(inv));
        QVERIFY(w.Command2->isEnabled());
        QCOMPARE(w.lblInvoiceID->text(), QString::number(inv));
        QCOMPARE(w.lblDate->text(), QString("Mar 05, 2026"));
        QCOMPARE(w.lblCityZIP->text(), QString("Ottawa, K1A"));
        QCOMPARE(w.lblCompanyStreet2->text(), QString());
        QTableWidget *g = w.grdInvoice;
        QCOMPARE(g->rowCount(), 2);
        QStringList stoneRow, parcelRow;
        for (int col = 0; col < 10; ++col) {
            stoneRow << cell(g, 0, col);
            parcelRow << cell(g, 1, col);
        }
        QCOMPARE(stoneRow, (QStringList{"R1", "1.01", "Round Brilliant [BR]", "E", "VS1", "GIA 123", "5000.00", "3500.00",
                                        "3535.00", "13.00"}));
        QCOMPARE(parcelRow, (QStringList{"PARCEL- P9", "2.50", "Pear [PS]", "G/H", "SI1", "", "", "123.46", "308.64",
                                         "13.00"}));
        QCOMPARE(w.lblSubTotal->text(), QString("3,843.64"));
        QCOMPARE(w.lblTax->text(), QString("499.67")); // 13 % of 3843.64 = 499.6732
        QCOMPARE(w.lblSummary->text(), QString("4,343.31"));

        // Command1: a free line, its sale price typed (carat 3) gives the price per carat
        whenUp<frmInvoiceADD>([&](frmInvoiceADD *d) {
            type(d->txtDetails, "Setting \"labour\" \\ O'Brien");
            type(d->txtCarat, "3");
            type(d->txtSalePrice, "100");
            QCOMPARE(d->txtPricePerCarat->text(), QString("33.33"));
            // Enter in any field adds nothing: the line is added by Add only.
            for (QLineEdit *box : {d->txtDetails, d->txtCarat, d->txtPricePerCarat, d->txtSalePrice}) {
                box->setFocus();
                QTest::keyClick(box, Qt::Key_Return);
                QVERIFY(d->isVisible());
            }
            QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist WHERE parcelid IS NULL AND diamondid IS NULL"), 0);
            QTest::mouseClick(d->Command2, Qt::LeftButton);
        });
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(g->rowCount(), 3);
        QStringList freeRow;
        for (int col = 0; col < 10; ++col)
            freeRow << cell(g, 2, col);
        QCOMPARE(freeRow, (QStringList{"n/a", "3.00", "n/a", "n/a", "n/a", "Setting \"labour\" \\ O'Brien", "n/a",
                                       "33.33", "100.00", "13.00"}));
        QCOMPARE(w.lblSubTotal->text(), QString("3,943.64"));
        QCOMPARE(e.value("SELECT CAST(taxrate AS CHAR) FROM invoicelist WHERE parcelid IS NULL AND diamondid IS NULL")
                     .toString(),
                 QString("13.00000"));
        // a letter where the carat goes: told, nothing added
        whenUp<frmInvoiceADD>([&](frmInvoiceADD *d) {
            type(d->txtCarat, "x");
            type(d->txtPricePerCarat, "5");
            QVERIFY(d->add() == 0);
            QTest::mouseClick(d->Command1, Qt::LeftButton);
        });
        e.prompt.clear();
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(e.prompt.messages().size(), 1);
        QVERIFY(e.prompt.messages().first().startsWith("Invoice: The weight \"x\" is not a number."));
        QCOMPARE(g->rowCount(), 3);

        // Choosing a row edits its text
        whenUp<frmInvoiceEdit>([](frmInvoiceEdit *d) {
            QCOMPARE(d->txt->toPlainText(), QString("GIA 123"));
            d->txt->setPlainText("GIA 123, eye clean");
            QTest::mouseClick(d->cmdSave, Qt::LeftButton);
        });
        w.editLine(0);
        QCOMPARE(cell(g, 0, 5), QString("GIA 123, eye clean"));

        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(screens.asked, QStringList{QString("printInvoice %1 0 0").arg(inv)});
        w.chkPRINTrap->setChecked(true);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(screens.asked.last(), QString("printInvoice %1 1 0").arg(inv));

        // the print currency pictures
        QCOMPARE(printCurrency(e.ctx), Currency::CDN);
        QTest::mouseClick(w.findChild<QWidget *>("imgZAR"), Qt::LeftButton);
        QCOMPARE(e.ctx.workstation.readFirstLine("sellcurrency.ini"), QString("zar"));
        QVERIFY(w.findChild<QWidget *>("imgZAR")->width() > w.findChild<QWidget *>("imgUS")->width());
        e.ctx.setScreens(nullptr);
    }

    // "Rate of the sale...": shown on an open invoice whose lines lack the
    // rate of the print currency, usable with the rights; a typed rate that
    // is no figure is refused naming the rate, a figure is recorded on the
    // lines without one and the button goes.
    void rateOfTheSaleOnTheScreen()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500", "13", {}, "1.25", "14");
        db::exec(e.t.db(), "UPDATE invoicelist SET exchangerateCDN = NULL");
        QVERIFY(setPrintCurrency(e.ctx, Currency::CDN));
        invoices::frmInvoice w(e.ctx);
        w.show();
        QVERIFY(w.showInvoice(inv));
        QVERIFY(w.cmdSaleRate->isVisible());
        QVERIFY(!w.cmdSaleRate->isEnabled()); // nobody logged on
        velmor::test::grantEveryRight(e.ctx);
        QVERIFY(w.showInvoice(inv));
        QVERIFY(w.cmdSaleRate->isEnabled());
        // In US$ nothing is missing.
        QTest::mouseClick(w.currency->imgUS, Qt::LeftButton);
        QVERIFY(!w.cmdSaleRate->isVisible());
        QTest::mouseClick(w.currency->imgCDN, Qt::LeftButton);
        QVERIFY(w.cmdSaleRate->isVisible());
        e.prompt.clear();
        QVERIFY(!w.recordRate(Currency::CDN, "1.3a"));
        QVERIFY2(e.prompt.messages().join(' ').contains("exchange rate to CDN"), qPrintable(e.prompt.messages().join(' ')));
        QVERIFY(e.value("SELECT exchangerateCDN FROM invoicelist").isNull());
        // The dialog, as the dealer uses it.
        whenUp<QInputDialog>([](QInputDialog *d) {
            d->setTextValue("1.35");
            d->accept();
        });
        QTest::mouseClick(w.cmdSaleRate, Qt::LeftButton);
        QCOMPARE(e.value("SELECT CAST(exchangerateCDN AS CHAR) FROM invoicelist").toString(), QString("1.35000"));
        QCOMPARE(e.value("SELECT CAST(exchangerateZAR AS CHAR) FROM invoicelist").toString(), QString("14.00000"));
        QVERIFY(!w.cmdSaleRate->isVisible());
    }

    // Screens that save: loaded and saved untouched, the row stays exactly
    // as it was; an edit writes only what was edited.
    void untouchedSavesChangeNothing()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Round Trip");
        const qint64 inv = e.invoice(c);
        const qint64 nullText = e.line(inv, 0, 0, "1", "2");
        const qint64 withText = e.line(inv, 0, 0, "1", "2", "0", "  two blanks after  ");
        for (qint64 id : {nullText, withText}) {
            const QStringList before = e.row("invoicelist", id);
            frmInvoiceEdit d(e.ctx, id);
            QVERIFY(d.save());
            QCOMPARE(e.row("invoicelist", id), before);
        }
        {
            frmInvoiceEdit d(e.ctx, withText);
            QTest::mouseClick(d.cmdClear, Qt::LeftButton);
            QVERIFY(d.save());
            QCOMPARE(e.value("SELECT details FROM invoicelist WHERE ID=?", {withText}).toString(), QString(""));
        }

        // The sales disclaimer: the Config row untouched, then an edit.
        e.ctx.user.set("Administrator", true);
        db::exec(e.t.db(), "UPDATE Config SET SalesDisclaimer=NULL");
        const qint64 config = e.value("SELECT ID FROM Config ORDER BY ID LIMIT 1").toLongLong();
        e.ctx.settings.SalesDisclaimer.clear();
        const QStringList before = e.row("Config", config);
        {
            frmSalesDisclaimer d(e.ctx);
            QVERIFY(d.save());
        }
        QCOMPARE(e.row("Config", config), before);
        {
            frmSalesDisclaimer d(e.ctx);
            d.txtSalesDisclaimer->setPlainText("Goods remain ours until paid; 'quotes' \\ kept.");
            QVERIFY(d.save());
        }
        QCOMPARE(e.value("SELECT SalesDisclaimer FROM Config WHERE ID=?", {config}).toString(),
                 QString("Goods remain ours until paid; 'quotes' \\ kept."));
        QCOMPARE(e.ctx.settings.SalesDisclaimer, QString("Goods remain ours until paid; 'quotes' \\ kept."));
    }

    void invoiceList()
    {
        InvoiceEnv e;
        test::RecordingScreens screens;
        screens.installed = {Screen::Invoice};
        e.ctx.setScreens(&screens);
        const qint64 a = e.customer("Alpha"), b = e.customer("Beta");
        const qint64 aOpen = e.invoice(a), aClosed = e.invoice(a, "closed"), bOpen = e.invoice(b);
        db::exec(e.t.db(), "UPDATE invoice SET dateclosed='2026-03-07 09:00' WHERE ID=?", {aClosed});
        frmInvoiceFind f(e.ctx);
        f.show();
        auto ids = [&] {
            QList<qint64> r;
            for (int i = 0; i < f.grdInvoices->rowCount(); ++i)
                r << cell(f.grdInvoices, i, 0).toLongLong();
            return r;
        };
        QCOMPARE(ids(), (QList<qint64>{bOpen, aClosed, aOpen}));
        QCOMPARE(cell(f.grdInvoices, 1, 1), QString("March 05, 2026"));
        QCOMPARE(cell(f.grdInvoices, 1, 2), QString("March 07, 2026"));
        QCOMPARE(cell(f.grdInvoices, 1, 4), QString("Alpha"));
        f.chkOpen->setChecked(true);
        QCOMPARE(ids(), (QList<qint64>{bOpen, aOpen}));
        f.chkClosed->setChecked(true);
        QCOMPARE(ids().size(), 3);
        f.chkOpen->setChecked(false);
        QCOMPARE(ids(), QList<qint64>{aClosed});
        f.chkClosed->setChecked(false);
        f.cboCustomer->setCurrentIndex(f.cboCustomer->findText("Beta", Qt::MatchStartsWith));
        f.optThisCustomer->setChecked(true);
        QCOMPARE(ids(), QList<qint64>{bOpen});
        f.setCreatedOn(QDate(2026, 3, 6));
        QCOMPARE(ids(), QList<qint64>{});
        f.setCreatedOn(QDate(2026, 3, 5));
        QVERIFY(!f.Command2->isEnabled());
        f.choose(0);
        QCOMPARE(screens.asked, QStringList{QString("openInvoice %1").arg(bOpen)});
        e.ctx.setScreens(nullptr);
    }

    // frmPrintInvoice from the invoice screen of the running program: to a
    // PDF, the invoice closed and "Invoice has been printed"; cancelled, it
    // stays open and the user is told.
    void printThroughThePrinterChoice()
    {
        InvoiceEnv e;
        e.ctx.user.set("AllowInvoiceView", true);
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500");
        ui::StartupFlow flow(e.ctx);
        QVERIFY(flow.available(Screen::InvoicePrint));
        const QString pdf = e.dir.filePath("printed invoice.pdf");
        auto choose = [&](bool cancel) {
            QTimer::singleShot(0, [=] {
                QWidget *dlg = QApplication::activeModalWidget();
                QVERIFY(dlg);
                QCOMPARE(dlg->objectName(), QString("frmPrintInvoice"));
                auto *cbo = dlg->findChild<QComboBox *>("cboPrinter");
                cbo->setCurrentIndex(cbo->findText(printing::kPdfEntry));
                dlg->findChild<QLineEdit *>("txtPdfFile")->setText(pdf);
                QTest::mouseClick(dlg->findChild<QPushButton *>(cancel ? "Image2" : "cmdPrint"), Qt::LeftButton);
            });
        };
        choose(true);
        QVERIFY(!flow.printInvoice(inv, false, false, nullptr));
        QCOMPARE(e.prompt.messages(), QStringList{"Print Invoice: The invoice was not printed\n\nIt stays open."});
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("open"));
        e.prompt.clear();
        choose(false);
        QVERIFY(flow.printInvoice(inv, true, true, nullptr));
        QCOMPARE(e.prompt.messages(), QStringList{"Print Invoice: Invoice has been printed"});
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("closed"));
        QCOMPARE(e.ctx.workstation.readFirstLine("lastprinterinvoice.ini"), printing::kPdfEntry);
        QCOMPARE(e.ctx.workstation.readFirstLine("lastprinterfinvoice.ini"), printing::kPdfEntry);
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString text = test::pdfText(pdf).simplified();
        QVERIFY(text.contains("RAP Discount"));
        QVERIFY(text.contains("Sub Total: US$ 3,535.00"));
        // the invoice screen opens through the program's screens, with the right
        QVERIFY(flow.openInvoice(inv));
        e.ctx.user.set("AllowInvoiceView", false);
        QVERIFY(!flow.openInvoice(inv));
    }

    // The invoice window is reused: an invoice without lines shown after
    // one with lines has empty totals; a closed invoice takes no free line.
    void reusedWindowShowsTheInvoiceShown()
    {
        InvoiceEnv e;
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 full = e.invoice(c);
        e.line(full, e.stone("R1"), 0, "1.01", "3500");
        const qint64 empty = e.invoice(c);
        const qint64 closed = e.invoice(c, "closed");
        invoices::frmInvoice w(e.ctx);
        QVERIFY(w.showInvoice(full));
        QCOMPARE(w.lblSubTotal->text(), QString("3,535.00"));
        QVERIFY(w.Command1->isEnabled());
        QVERIFY(w.showInvoice(empty));
        QCOMPARE(w.grdInvoice->rowCount(), 0);
        QCOMPARE(w.lblSubTotal->text(), QString());
        QCOMPARE(w.lblTax->text(), QString());
        QCOMPARE(w.lblSummary->text(), QString());
        QVERIFY(w.showInvoice(closed));
        QVERIFY(!w.Command1->isEnabled());
    }

    // While the printer choice is open, another workstation sells a stone
    // to the same customer: the invoice printed with one line stays open and
    // the user is told to print it again; printed again, it closes.
    void printRacesASale()
    {
        InvoiceEnv e;
        e.ctx.user.set("AllowInvoiceView", true);
        const qint64 c = e.customer("Lumen Jewellers");
        const qint64 inv = e.invoice(c);
        e.line(inv, e.stone("R1"), 0, "1.01", "3500");
        const qint64 second = e.stone("R2");
        ui::StartupFlow flow(e.ctx);
        const QString pdf = e.dir.filePath("raced invoice.pdf");
        SellResult sold = SellResult::Failed;
        auto choose = [&](bool sellFirst) {
            QTimer::singleShot(0, [=, &e, &sold] {
                QWidget *dlg = QApplication::activeModalWidget();
                QVERIFY(dlg);
                if (sellFirst) {
                    test::WorkstationThread other(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) {
                        // The other workstation knows the day's rates too.
                        ctx.exchangeRateCDN = 1.25;
                        ctx.exchangeRateZAR = 14;
                        sold = sellStoneOnInvoice(ctx, second, c, "1.01", "3500").result;
                    });
                    other.join();
                }
                auto *cbo = dlg->findChild<QComboBox *>("cboPrinter");
                cbo->setCurrentIndex(cbo->findText(printing::kPdfEntry));
                dlg->findChild<QLineEdit *>("txtPdfFile")->setText(pdf);
                QTest::mouseClick(dlg->findChild<QPushButton *>("cmdPrint"), Qt::LeftButton);
            });
        };
        choose(true);
        flow.printInvoice(inv, false, false, nullptr);
        QCOMPARE(int(sold), int(SellResult::Done));
        QCOMPARE(e.value("SELECT COUNT(*) FROM invoicelist WHERE invoiceid=?", {inv}).toInt(), 2);
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("open"));
        QCOMPARE(e.prompt.messages(), QStringList{"Print Invoice: " + invoices::linesChangedMessage(inv)});
        QVERIFY(test::pdfText(pdf).simplified().contains("Sub Total: US$ 3,535.00"));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        e.prompt.clear();
        choose(false);
        QVERIFY(flow.printInvoice(inv, false, false, nullptr));
        QCOMPARE(e.prompt.messages(), QStringList{"Print Invoice: Invoice has been printed"});
        QCOMPARE(e.value("SELECT status FROM invoice WHERE ID=?", {inv}).toString(), QString("closed"));
        QVERIFY(test::pdfText(pdf).simplified().contains("Sub Total: US$ 7,070.00"));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }

    // The front screen's invoice commands open the list and the invoice typed.
    void frontScreenCommands()
    {
        qputenv("VELMOR_NO_SPLASH_PAUSE", "1");
        InvoiceEnv e;
        const qint64 inv = e.invoice(e.customer("Front Buyer"));
        ui::StartupFlow flow(e.ctx);
        QSignalSpy done(&flow, &ui::StartupFlow::finished);
        flow.start();
        QVERIFY(done.count() > 0 || done.wait(20000));
        ui::frmFront *front = flow.front();
        QVERIFY(front);
        e.ctx.user.set("AllowInvoiceView", true);
        front->show();
        front->activated();
        auto *load = front->findChild<QPushButton *>("cmdLoadInvoice");
        QVERIFY(load->isEnabled());
        front->findChild<QLineEdit *>("txtInvoiceID")->setText(QString::number(inv));
        QTest::mouseClick(load, Qt::LeftButton);
        auto *screen = qobject_cast<invoices::frmInvoice *>([] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == "frmInvoice" && w->isVisible())
                    return w;
            return static_cast<QWidget *>(nullptr);
        }());
        QVERIFY(screen);
        QCOMPARE(screen->lblInvoiceID->text(), QString::number(inv));
        QCOMPARE(screen->lblCompanyName->text(), QString("Front Buyer"));
        QTest::mouseClick(front->findChild<QPushButton *>("cmdInvoiceLookUpToday"), Qt::LeftButton);
        bool listed = false;
        for (QWidget *w : QApplication::topLevelWidgets())
            listed = listed || (w->objectName() == "frmInvoiceFind" && w->isVisible());
        QVERIFY(listed);
    }
};

QTEST_MAIN(tst_invoicescreens)
#include "tst_invoicescreens.moc"
