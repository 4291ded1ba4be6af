// The stone-on-memo screen driven by its controls, the memo sheet's print
// read back with pdftotext, the disclaimer's word wrap, the finder, the
// history lists, the report and its export, and the memo subcommands.
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "../stones/StoneTestEnv.h"
#include "RecordingScreens.h"
#include "customers/frmCustomer.h"
#include "memos/MemoLists.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrint.h"
#include "memos/MemoReport.h"
#include "memos/frmMemo.h"
#include "memos/frmMemoAddNewDiamondToIt.h"
#include "memos/frmMEMOsetup.h"
#include "memos/frmNewMemo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;

namespace {

qint64 sheetFor(StoneEnv &e, qint64 customer)
{
    return db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID, Reference) VALUES ('2026-03-04 10:00:00', ?, 'R-9')",
                      {customer});
}

void type(QWidget *screen, const char *field, const QString &text)
{
    auto *le = screen->findChild<QLineEdit *>(field);
    le->selectAll();
    QTest::keyClicks(le, text);
}

QString normalised(QString s) { return s.simplified(); }

} // namespace

class tst_memosheetscreen : public QObject {
    Q_OBJECT
private slots:
    void putReturnSellAndClose();
    void printedSheet_data();
    void printedSheet();
    void emptySheetPrintsNothing();
    void newWorkstationPrintsUsPrices();
    void wordWrap_data();
    void wordWrap();
    void finderAndHistory();
    void reportAndExport();
    void subcommands();
    void reportScreen();
    void untouchedSavesKeepTheRows();
    void customerScreenOpensTheMemoLists();
    void refusedNewSheetIsSaid();
    void memoPriceOnEveryPage();
};

void tst_memosheetscreen::putReturnSellAndClose()
{
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
    const qint64 c = e.customer("Screen Customer");
    const qint64 sheet = sheetFor(e, c);
    QList<qint64> s;
    for (const char *sku : {"S1", "S2", "S3"})
        s << e.stone(sku);
    db::exec(e.t.db(), "UPDATE SingleStone SET LockPercent=0, SellOffRap=30");

    ui::frmMemoAddNewDiamondToIt w(e.ctx);
    w.setMemoSheet(sheet);
    w.reload();
    w.show();
    QCOMPARE(w.findChild<QLabel *>("lblMemoSheet")->text(), QString("Memo Sheet# %1").arg(sheet));
    QCOMPARE(w.findChild<QLineEdit *>("txtCompanyName")->text(), QString("Screen Customer"));
    QCOMPARE(w.findChild<QLabel *>("lblMemoDate")->text(), QString("Mar 04, 2026"));
    QCOMPARE(w.findChild<QLabel *>("lblMemoRef")->text(), QString("n/a"));
    QVERIFY(w.findChild<QComboBox *>("cboUser")->currentText().endsWith("--- ID7"));

    // Three stones, each priced through another of the three fields.
    w.setSelectedStone(s[0]);
    QCOMPARE(w.findChild<QLineEdit *>("txtDiscount")->text(), QString("30")); // the floating stone's own
    type(&w, "txtDiscount", "25");
    QCOMPARE(w.findChild<QLineEdit *>("txtDiscountDollar")->text(), QString("3787.50"));
    QCOMPARE(w.findChild<QLineEdit *>("txtPriceCarat")->text(), QString("3750.00"));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdAdd"), Qt::LeftButton);
    w.setSelectedStone(s[1]);
    type(&w, "txtDiscountDollar", "2525");
    QCOMPARE(w.findChild<QLineEdit *>("txtDiscount")->text(), QString("50.00"));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdAdd"), Qt::LeftButton);
    w.setSelectedStone(s[2]);
    type(&w, "txtPriceCarat", "4000");
    QCOMPARE(w.findChild<QLineEdit *>("txtDiscount")->text(), QString("20.00"));
    QCOMPARE(w.findChild<QLineEdit *>("txtDiscountDollar")->text(), QString("4040.00"));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdAdd"), Qt::LeftButton);

    auto *grid = w.findChild<QTableWidget *>("Flex");
    QCOMPARE(grid->rowCount(), 3);
    QMap<QString, QString> discounts;
    for (int r = 0; r < 3; ++r)
        discounts[grid->item(r, 0)->text()] = grid->item(r, 7)->text() + " " + grid->item(r, 8)->text();
    QCOMPARE(discounts["S1"], QString("25.00 3,787.50"));
    QCOMPARE(discounts["S2"], QString("50.00 2,525.00"));
    QCOMPARE(discounts["S3"], QString("20.00 4,040.00"));
    // A stone already on memo is refused with its holder.
    e.prompt.clear();
    w.setSelectedStone(s[0]);
    QTest::mouseClick(w.findChild<QPushButton *>("cmdAdd"), Qt::LeftButton);
    QCOMPARE(e.prompt.messages(),
             QStringList{QString("Memo: This Diamond is already on MEMO for Screen Customer on Memo# %1").arg(sheet)});

    auto rowOf = [&](const QString &sku) {
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->item(r, 0)->text() == sku)
                return r;
        return -1;
    };
    QVERIFY(!w.findChild<QPushButton *>("cmdRemove")->isEnabled());
    w.chooseLine(rowOf("S1"));
    QCOMPARE(w.findChild<QPushButton *>("cmdRemove")->text(), QString("REMOVE S1 from this Memo-Sheet, BACK INTO STOCK..."));
    QCOMPARE(w.findChild<QPushButton *>("cmdSell")->text(), QString("SELL S1 of this  Memo-Sheet..."));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdRemove"), Qt::LeftButton);
    QCOMPARE(grid->rowCount(), 2);

    // Selling one stone asks first, with the stone, the customer and the
    // memo price, which the dealer may change before: No sells nothing.
    e.prompt.clear();
    w.chooseLine(rowOf("S2"));
    QCOMPARE(w.findChild<QLineEdit *>("txtSellPrice")->text(), QString("2,525.00"));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdSell"), Qt::LeftButton);
    QCOMPARE(e.prompt.texts(PromptEvent::Ask),
             QStringList{"Are you sure you want to sell this Stone to\n\nScreen Customer\n\nS2 at US$ 2,525.00?"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
    e.prompt.clear();
    type(&w, "txtSellPrice", "2,424");
    e.prompt.answer(true);
    QTest::mouseClick(w.findChild<QPushButton *>("cmdSell"), Qt::LeftButton);
    QCOMPARE(e.prompt.texts(PromptEvent::Ask),
             QStringList{"Are you sure you want to sell this Stone to\n\nScreen Customer\n\nS2 at US$ 2,424.00 (the memo "
                         "price is US$ 2,525.00)?"});
    const qint64 invoice = e.value("SELECT ID FROM invoice").toLongLong();
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{QString("Added S2 to a new Invoice #%1").arg(invoice)});
    QCOMPARE(e.value("SELECT ROUND(pricecarat, 2) FROM invoicelist").toDouble(), 2400.0);

    e.prompt.clear();
    w.chooseLine(rowOf("S3"));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdRemove"), Qt::LeftButton);
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(e.prompt.messages(), QStringList{"Memo: This Memo has been closed now!"});
    QVERIFY(!w.findChild<QPushButton *>("cmdExecute")->isEnabled());
}

void tst_memosheetscreen::printedSheet_data()
{
    QTest::addColumn<bool>("us");
    QTest::addColumn<bool>("roundUp");
    QTest::addColumn<bool>("printRap");
    QTest::addColumn<bool>("cdn");
    QTest::addColumn<bool>("zar");
    QTest::addColumn<bool>("numbers"); // ShowMemoID and ShowReferenceNumber
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("US only") << true << false << false << false << false << true
                             << QStringList{"Memorandum", "Memo#:", "Reference: R-9", "created on: Mar 04, 2026",
                                            "3,000.00 /ct", "4,000.00 /ct", "25 %", "Summary US$ 3,030.00",
                                            "GIA CP1", "1.01 ct."}
                             << QStringList{"~CDN", "~ZAR", "Summary CDN", "Summary ZAR"};
    QTest::newRow("CDN rounded up") << true << true << false << true << false << true
                                    << QStringList{"3,000.00 /ct", "~CDN 3,910.00 /ct", "Summary CDN 3,939.00"}
                                    << QStringList{"~ZAR", "Summary ZAR"};
    QTest::newRow("CDN not rounded") << true << false << false << true << false << true << QStringList{"~CDN 3,900.00 /ct"}
                                     << QStringList{"~CDN 3,910.00"};
    QTest::newRow("ZAR, no US, list price")
        << false << false << true << false << true << true
        << QStringList{"~ZAR 42,000.00 /ct", "US$ 4,040.00", "~ZAR 42,420.00", "Summary ZAR 42,420.00"}
        << QStringList{"3,000.00 /ct", "~CDN", "Summary US$"};
    QTest::newRow("settings hide the memo and reference numbers")
        << true << false << false << false << false << false
        << QStringList{"Memorandum", "created on: Mar 04, 2026", "3,000.00 /ct"} << QStringList{"Memo#", "Reference", "R-9"};
}

void tst_memosheetscreen::printedSheet()
{
    QFETCH(bool, us);
    QFETCH(bool, roundUp);
    QFETCH(bool, printRap);
    QFETCH(bool, cdn);
    QFETCH(bool, zar);
    QFETCH(bool, numbers);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext is not installed");
    StoneEnv e;
    e.ctx.exchangeRateCDN = 1.3;
    e.ctx.exchangeRateZAR = 14.0;
    e.ctx.settings.CompanyName = "Dealer & Co";
    e.ctx.settings.ShowMemoID = e.ctx.settings.ShowReferenceNumber = numbers;
    e.ctx.settings.MemoDisclaimer = "The goods described remain the property of the dealer.\r\n\r\nSigned for receipt.";
    const qint64 c = e.customer("Print Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 id = e.stone("P1");
    db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice=4000 WHERE ID=?", {id});
    QVERIFY(memos::putOnMemo(e.ctx, sheet, id, "25", 7).ok());
    memos::MemoPrintRequest r;
    r.memoSheetId = sheet;
    r.cdn = cdn;
    r.zar = zar;
    r.options = {us, roundUp, printRap};
    const QString pdf = e.dir.filePath("memo.pdf");
    e.prompt.clear();
    QVERIFY(memos::printMemoSheet(e.ctx, r, printing::PrintTarget::pdf(pdf)).ok);
    QCOMPARE(e.prompt.messages(), QStringList{"Memo Printing: The Memo Sheet has been sent to the Printer!"});
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QString text = normalised(test::pdfText(pdf));
    for (const QString &p : present)
        QVERIFY2(text.contains(p), qPrintable(p + " missing in: " + text));
    for (const QString &a : absent)
        QVERIFY2(!text.contains(a), qPrintable(a + " present in: " + text));
    QVERIFY(text.contains("Dealer & Co"));
    QVERIFY(text.contains("Signed for receipt."));
}

// A workstation without the set-up file prints the US$ prices its summary
// sums; a set-up that turned them off is kept.
void tst_memosheetscreen::newWorkstationPrintsUsPrices()
{
    StoneEnv e;
    {
        ui::frmMEMOsetup w(e.ctx);
        QVERIFY(w.findChild<QCheckBox *>("chkUSdollar")->isChecked());
        QVERIFY(!w.findChild<QCheckBox *>("chkRoundUP")->isChecked());
    }
    QVERIFY(memos::MemoFiles(e.ctx.workstation).printOptions().usDollar);
    QVERIFY(e.ctx.workstation.writeLines("memosheetsetup.txt", {"false", "false", "false"}));
    QVERIFY(!memos::MemoFiles(e.ctx.workstation).printOptions().usDollar);
}

void tst_memosheetscreen::emptySheetPrintsNothing()
{
    StoneEnv e;
    const qint64 sheet = sheetFor(e, e.customer("Nobody"));
    memos::MemoPrintRequest r;
    r.memoSheetId = sheet;
    const QString pdf = e.dir.filePath("none.pdf");
    QVERIFY(!memos::printMemoSheet(e.ctx, r, printing::PrintTarget::pdf(pdf)).ok);
    QCOMPARE(e.prompt.messages(), QStringList{"Memo Printing: There are no Diamonds on this Memo Sheet!"});
    QVERIFY(!QFile::exists(pdf));
}

void tst_memosheetscreen::wordWrap_data()
{
    // Measured in characters; lines at most 10 wide.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("fits on one line") << "Short one." << QStringList{"Short one."};
    QTest::newRow("wrapped at blanks") << "aaaa bbbb cccc dddd" << QStringList{"aaaa bbbb ", "cccc dddd"};
    QTest::newRow("single CR LF") << "first\r\nsecond" << QStringList{"first", "second"};
    QTest::newRow("empty line") << "first\r\n\r\nsecond" << QStringList{"first", "", "second"};
    QTest::newRow("word wider than the line")
        << "ab Supercalifragilistic cd" << QStringList{"ab ", "Supercalifragilistic ", "cd"};
    QTest::newRow("only a long word") << "Supercalifragilistic" << QStringList{"Supercalifragilistic"};
    QTest::newRow("empty") << "" << QStringList{""};
}

void tst_memosheetscreen::wordWrap()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QStringList got;
    int count = 3;
    memos::PrintTextMitUmbruch(
        text, 10, count, [](const QString &t) { return double(t.size()); }, [&](const QString &l) { got << l; });
    QCOMPARE(got, lines);
    QCOMPARE(count, 3 + int(lines.size()));
    int counted = 0;
    memos::PrintTextMitUmbruch(text, 10, counted, [](const QString &t) { return double(t.size()); });
    QCOMPARE(counted, int(lines.size()));
}

void tst_memosheetscreen::finderAndHistory()
{
    StoneEnv e;
    test::RecordingScreens screens;
    screens.installed = {Screen::MemoSheet, Screen::Stone};
    e.ctx.setScreens(&screens);
    const qint64 a = e.customer("Alpha");
    const qint64 b = e.customer("Beta");
    const qint64 sa = sheetFor(e, a);
    const qint64 sb = sheetFor(e, b);
    db::exec(e.t.db(), "UPDATE memosheet SET ref=? WHERE ID=?", {"50%_off", sb});
    const qint64 id = e.stone("H1");
    QVERIFY(memos::putOnMemo(e.ctx, sa, id, "10", 7).ok());
    QVERIFY(memos::returnToStock(e.ctx, sa, id, 7).ok());
    QVERIFY(memos::putOnMemo(e.ctx, sa, id, "12.5", 7).ok());

    memos::MemoSheetFilter f;
    QCOMPARE(memos::findMemoSheets(e.ctx, f).ids, (QList<qint64>{sb, sa}));
    f.ref = "50%";
    QCOMPARE(memos::findMemoSheets(e.ctx, f).ids, QList<qint64>{sb});
    f.ref = "5%";
    QVERIFY(memos::findMemoSheets(e.ctx, f).ids.isEmpty());
    f = {};
    f.customerId = a;
    // Emptied by the return, the sheet stays closed though a stone went on it again.
    QCOMPARE(memos::findMemoSheets(e.ctx, f).rows.value(0).value(5), QString("closed"));
    f.onlyOpen = true;
    QVERIFY(memos::findMemoSheets(e.ctx, f).ids.isEmpty());
    f.onlyOpen = false;
    f.memoId = "abc"; // not a number: no condition
    QCOMPARE(memos::findMemoSheets(e.ctx, f).ids, QList<qint64>{sa});

    const memos::Table h = memos::memoHistoryStones(e.ctx, a);
    QCOMPARE(h.rows.size(), 3);
    QCOMPARE(h.rows[0][1], QString("OUT ->"));
    QCOMPARE(h.rows[1][1], QString("<- return"));
    QCOMPARE(h.rows[2][1], QString("OUT ->"));
    QCOMPARE(h.rows[2][6], QString("12.50% off RAP"));
    QCOMPARE(h.rows[1][6], QString());
    QCOMPARE(memos::diamondsOnMemo(e.ctx, a).ids, QList<qint64>{id});
    QVERIFY(memos::diamondsOnMemo(e.ctx, b).rows.isEmpty());

    // Double-clicking a sheet makes it the current one.
    ui::frmMemoLoad load(e.ctx);
    auto *grid = load.findChild<QTableWidget *>("Grid");
    QCOMPARE(grid->rowCount(), 2);
    load.choose(1);
    QCOMPARE(screens.currentMemoSheet(), sa);

    // A new sheet for the chosen customer.
    ui::frmNewMemo nm(e.ctx);
    auto *cust = nm.findChild<QComboBox *>("cboCust");
    QVERIFY(!nm.findChild<QPushButton *>("cmdOK")->isEnabled());
    cust->setCurrentIndex(cust->findText("Beta", Qt::MatchStartsWith));
    QVERIFY(nm.findChild<QPushButton *>("cmdOK")->isEnabled());
    QTest::mouseClick(nm.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QVERIFY(nm.created() > sb);
    QCOMPARE(screens.currentMemoSheet(), nm.created());
    QCOMPARE(e.value("SELECT CustomerID FROM memosheet WHERE ID=?", {nm.created()}).toLongLong(), b);
    e.ctx.setScreens(nullptr);
}

void tst_memosheetscreen::refusedNewSheetIsSaid()
{
    StoneEnv e;
    e.customer("Gamma Gems");
    ui::frmNewMemo nm(e.ctx);
    auto *cust = nm.findChild<QComboBox *>("cboCust");
    cust->setCurrentIndex(cust->findText("Gamma", Qt::MatchStartsWith));
    // The table goes away between choosing and OK (a broken shared database).
    db::exec(e.t.db(), "RENAME TABLE memosheet TO memosheet_away");
    QTest::mouseClick(nm.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QCOMPARE(nm.created(), qint64(0));
    QCOMPARE(nm.result(), int(QDialog::Rejected));
    const QStringList said = e.prompt.messages();
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().startsWith("Memo Sheet: The memo sheet could not be created:"), qPrintable(said.first()));
    QVERIFY(e.prompt.texts(PromptEvent::Notice).isEmpty()); // no "has been created"
}

void tst_memosheetscreen::reportAndExport()
{
    StoneEnv e;
    const qint64 c = e.customer("Report, Inc");
    const qint64 sheet = sheetFor(e, c);
    const qint64 a = e.stone("RA");
    const qint64 b = e.stone("RB");
    e.stone("RC"); // in stock: not listed
    QVERIFY(memos::putOnMemo(e.ctx, sheet, a, "30", 7).ok());
    QVERIFY(memos::putOnMemo(e.ctx, sheet, b, "30", 7).ok());
    db::exec(e.t.db(), "UPDATE SingleStone SET PaidOffPercentageUS=-1, SellPriceUS=12345.5 WHERE ID=?", {a});
    db::exec(e.t.db(), "INSERT INTO PaymentReceived (StoneID, CustomerID, PaymentUS, PaymentLocal) VALUES (?, ?, 1000, 0)",
             {a, c});
    db::exec(e.t.db(), "UPDATE SingleStone SET DateOnMemo = NOW() - INTERVAL 40 DAY WHERE ID=?", {b});

    memos::ReportFilter f;
    f.orderBy = "SKU";
    memos::Report r = memos::runReport(e.ctx, f);
    QCOMPARE(r.title, QString("Memo/Consignment Report"));
    QCOMPARE(r.rows.size(), 2);
    const QStringList &ra = r.rows[0].cells;
    QCOMPARE(ra[0], QString("Report, Inc"));
    QCOMPARE(ra[1], QString("Memo#%1").arg(sheet));
    // The price agreed on the memo, whatever the stone's selling price.
    QCOMPARE(ra[15], QString("US$ 3,535.00"));
    QCOMPARE(ra[16], QString("1,000.00"));
    QCOMPARE(ra[18], QString("US$ 2,535.00"));
    QCOMPARE(r.rows[1].cells[18], QString("US$ 3,535.00")); // no payment: the balance is the price
    QCOMPARE(r.rows[1].cells[24], QString("40"));
    QCOMPARE(r.rows[1].memoId, QString("%1 - Ref# R-9").arg(sheet).prepend("Memo#"));
    const memos::ReportSums sums = memos::sumReport(r);
    QCOMPARE(sums.usStone, 3535.0 + 3535.0);
    QCOMPARE(sums.usBalance, 3535.0 + 3535.0 - 1000.0);

    f.minDays = 30;
    QCOMPARE(memos::runReport(e.ctx, f).rows.size(), 1);
    f.minDays = 0;
    // Sold from the memo and paid: gone from the memo-out view.
    QVERIFY(memos::sellFromMemo(e.ctx, sheet, a, "3535").ok());
    QCOMPARE(memos::runReport(e.ctx, f).rows.size(), 2);
    db::exec(e.t.db(), "UPDATE SingleStone SET StoneIsPaidOff=-1 WHERE ID=?", {a});
    QCOMPARE(memos::runReport(e.ctx, f).rows.size(), 1);

    memos::ReportFilter s;
    s.view = memos::ReportFilter::Suppliers;
    s.statusMemo = s.statusStock = s.statusPreSold = false;
    QVERIFY(memos::runReport(e.ctx, s).rows.isEmpty());

    // The export: no commas inside values, ", " between them, whole or not at all.
    r = memos::runReport(e.ctx, f);
    const QString text = memos::exportText(r);
    const QStringList lines = text.split("\r\n");
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith("SKU, Client Name, Memo #, Status, Ref#, Memo Date, "));
    QVERIFY2(lines[1].startsWith("'RB', Report Inc, Memo#"), qPrintable(lines[1]));
    QVERIFY(lines[1].contains(", US$ 3535.00, "));
    QString written;
    // The name as given (the screen's dialog adds ".csv").
    QCOMPARE(memos::exportReport(r, e.dir.filePath("out"), &written), QString());
    QCOMPARE(written, e.dir.filePath("out"));
    QFile out(written);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(out.readAll()), text);
    QVERIFY(!memos::exportReport(r, e.dir.filePath("no/such/folder/x.csv")).isEmpty());

    if (test::haveTool("pdftotext")) {
        e.ctx.settings.CompanyName = "Dealer House";
        e.ctx.settings.CompanyPhone = "555-0100";
        const QString pdf = e.dir.filePath("report.pdf");
        QVERIFY(memos::printReport(e.ctx, r, printing::PrintTarget::pdf(pdf)).ok);
        const QString printed = normalised(test::pdfText(pdf));
        for (const QString &t : {"Memo/Consignment Report", "Dealer House", "Phone: 555-0100", "consigned to", "RB",
                                 "US$ 3,535.00"})
            QVERIFY2(printed.contains(t), qPrintable(t + " missing in: " + printed));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }
}

void tst_memosheetscreen::subcommands()
{
    StoneEnv e;
    const qint64 c = e.customer("Cli Customer");
    const qint64 sheet = sheetFor(e, c);
    QVERIFY(memos::putOnMemo(e.ctx, sheet, e.stone("CL1"), "30", 7).ok());
    QFile ini(e.ctx.workstation.path("database.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QString("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n").arg(test::TestDb::socketPath(), e.t.name()).toUtf8());
    ini.close();
    auto run = [&](const QStringList &args, QString *out) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMOR_HOME", e.dir.path());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
        p.waitForFinished(60000);
        *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    // The command line converts at the stored rate of the day.
    db::exec(e.t.db(), "INSERT INTO Config (CompanyName) SELECT 'Dealer' FROM DUAL WHERE NOT EXISTS (SELECT 1 FROM Config)");
    db::exec(e.t.db(), "UPDATE Config SET ExchangeRate = 1.3");
    QString out;
    QCOMPARE(run({"memo", "show", QString::number(sheet)}, &out), 0);
    QVERIFY2(out.contains("Cli Customer") && out.contains("CL1") && out.contains("3,535.00"), qPrintable(out));
    QCOMPARE(run({"memo", "show", "99999"}, &out), 1);
    QCOMPARE(run({"memo", "print", QString::number(sheet)}, &out), 2);
    if (test::haveTool("pdftotext")) {
        const QString pdf = e.dir.filePath("cli.pdf");
        QCOMPARE(run({"memo", "print", QString::number(sheet), "--pdf", pdf, "--cdn"}, &out), 0);
        QVERIFY2(test::pdfText(pdf).contains("~CDN"), qPrintable(out));
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
    }
    const QString csv = e.dir.filePath("report.csv");
    QCOMPARE(run({"memo", "report", "--customer", QString::number(c), csv}, &out), 0);
    QVERIFY2(out.contains("1 stone(s) written"), qPrintable(out));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(f.readAll()).contains("'CL1', Cli Customer"));

    // The file as named: no ".csv" added to a name, a device or a folder;
    // a value that is no ID or number is refused, naming it.
    const QString plain = e.dir.filePath("stones-out");
    QCOMPARE(run({"memo", "report", plain}, &out), 0);
    QVERIFY(QFile::exists(plain) && !QFile::exists(plain + ".csv"));
    QCOMPARE(run({"memo", "report", "/dev/null"}, &out), 0);
    QVERIFY(!QFile::exists("/dev/null.csv"));
    QDir().mkpath(e.dir.filePath("folder"));
    QCOMPARE(run({"memo", "report", e.dir.filePath("folder")}, &out), 1);
    QVERIFY2(out.contains("it is a folder"), qPrintable(out));
    QVERIFY(!QFile::exists(e.dir.filePath("folder.csv")));
    QCOMPARE(run({"memo", "report", "--customer", "abc", csv}, &out), 2);
    QVERIFY2(out.contains("--customer takes a customer's ID") && out.contains("\"abc\""), qPrintable(out));
    QCOMPARE(run({"memo", "report", "--days", "-3", csv}, &out), 2);
    QVERIFY2(out.contains("--days") && out.contains("\"-3\""), qPrintable(out));
    QCOMPARE(run({"memo", "report", csv, "--customer"}, &out), 2);
    QVERIFY2(out.contains("--customer needs a value"), qPrintable(out));
}

void tst_memosheetscreen::reportScreen()
{
    StoneEnv e;
    const qint64 c = e.customer("Screen Report");
    const qint64 other = e.customer("Other Holder");
    const qint64 sheet = sheetFor(e, c);
    QVERIFY(memos::putOnMemo(e.ctx, sheet, e.stone("W2"), "30", 7).ok());
    QVERIFY(memos::putOnMemo(e.ctx, sheet, e.stone("W1"), "30", 7).ok());
    QVERIFY(memos::putOnMemo(e.ctx, sheetFor(e, other), e.stone("W3"), "30", 7).ok());
    ui::frmMemo w(e.ctx);
    QStringList loaded;
    w.stoneChosen = [&](qint64 id) { loaded << QString::number(id); };
    auto *grid = w.findChild<QTableWidget *>("Grid");
    QCOMPARE(grid->rowCount(), 3);
    w.setDefaultCustomer(c);
    QCOMPARE(grid->rowCount(), 2);
    w.orderBy(5); // "SKU"
    QCOMPARE(grid->item(0, 5)->text(), QString("W1"));
    // Each change of the row loads its stone on the stone screen, once.
    loaded.clear();
    w.chooseRow(1);
    w.chooseRow(1);
    QCOMPARE(loaded, QStringList{w.findChild<QLineEdit *>("txtDiamondID")->text()});
    QCOMPARE(w.findChild<QLineEdit *>("txtSKU")->text(), QString("W2"));
    QCOMPARE(w.findChild<QLineEdit *>("txtMemoID")->text(), QString("Memo#%1 - Ref# R-9").arg(sheet));
    w.sum();
    QCOMPARE(w.findChild<QLineEdit *>("txtUSstone")->text(), QString("US$ 7070.00"));
    QCOMPARE(w.findChild<QLineEdit *>("txtUSBalance")->text(), QString("US$ 7070.00"));
    // Each box says what it sums.
    QStringList captions;
    for (QLabel *l : w.findChild<QWidget *>("fraSum")->findChildren<QLabel *>())
        captions << l->text();
    for (const char *c : {"Memo price", "Paid", "Balance", "US$"})
        QVERIFY2(captions.contains(c), c);
    // The supplier view with no status ticked is empty.
    w.findChild<QTabWidget *>("tabViews")->setCurrentIndex(2);
    QCOMPARE(w.windowTitle(), QString("Inventory Report"));
    for (const char *box : {"chkMemo", "chkStock", "chkPreSold"})
        w.findChild<QCheckBox *>(box)->setChecked(false);
    QCOMPARE(grid->rowCount(), 0);
    QVERIFY(!w.findChild<QPushButton *>("cmdExport")->isEnabled());
    w.findChild<QTabWidget *>("tabViews")->setCurrentIndex(0);
    e.prompt.clear();
    QVERIFY(w.exportTo(e.dir.filePath("screen.csv")));
    QCOMPARE(e.prompt.messages(), QStringList{"Export: File exported!"});
    QVERIFY(!w.exportTo(e.dir.filePath("missing/dir/x.csv")));
    QVERIFY(!QFile::exists(e.dir.filePath("missing/dir/x.csv")));
}

void tst_memosheetscreen::untouchedSavesKeepTheRows()
{
    StoneEnv e;
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES ('2026-03-04 10:11:12', ?)",
                                    {e.customer("Round Trip")});
    auto row = [&] {
        return e.value("SELECT CONCAT_WS('|', Date, IFNULL(ref, 'NULL'), IFNULL(closed, 'NULL'), CustomerID) FROM memosheet "
                       "WHERE ID=?", {sheet}).toString();
    };
    const QString before = row();
    ui::frmMemoAddNewDiamondToIt w(e.ctx);
    w.setMemoSheet(sheet);
    w.reload();
    for (const char *cmd : {"cmdDate", "cmdRef"}) {
        auto *b = w.findChild<QPushButton *>(cmd);
        QTest::mouseClick(b, Qt::LeftButton); // edit ->
        QCOMPARE(b->text(), QString("Save"));
        QTest::mouseClick(b, Qt::LeftButton); // Save, untouched
        QCOMPARE(b->text(), QString("edit ->"));
    }
    QCOMPARE(row(), before);
    // An edited reference is written, an emptied one is Null again.
    QTest::mouseClick(w.findChild<QPushButton *>("cmdRef"), Qt::LeftButton);
    w.findChild<QLineEdit *>("txtMemoRef")->setText("PO 'A\\1'");
    QTest::mouseClick(w.findChild<QPushButton *>("cmdRef"), Qt::LeftButton);
    QCOMPARE(e.value("SELECT ref FROM memosheet WHERE ID=?", {sheet}).toString(), QString("PO 'A\\1'"));
    QCOMPARE(w.findChild<QLabel *>("lblMemoRef")->text(), QString("PO 'A\\1'"));
    QTest::mouseClick(w.findChild<QPushButton *>("cmdRef"), Qt::LeftButton);
    w.findChild<QLineEdit *>("txtMemoRef")->clear();
    QTest::mouseClick(w.findChild<QPushButton *>("cmdRef"), Qt::LeftButton);
    QCOMPARE(row(), before);

    // The disclaimer: an untouched save writes nothing; its CR LF survive.
    db::exec(e.t.db(), "UPDATE Config SET MemoDisclaimer=?", {QString("Line one\r\n\r\nLine two")});
    const QString config = e.value("SELECT GROUP_CONCAT(MD5(MemoDisclaimer)) FROM Config").toString();
    e.ctx.user.Administrator = true;
    ui::frmMemoDisclaimer d(e.ctx);
    QVERIFY(d.save());
    QCOMPARE(e.value("SELECT GROUP_CONCAT(MD5(MemoDisclaimer)) FROM Config").toString(), config);
    QCOMPARE(d.findChild<QPlainTextEdit *>("txtDisclaimer")->toPlainText(), QString("Line one\n\nLine two"));
    // An edit is written with CR LF and reaches the loaded settings.
    d.findChild<QPlainTextEdit *>("txtDisclaimer")->setPlainText("Goods on memo\nremain ours.");
    QVERIFY(d.save());
    QCOMPARE(e.value("SELECT MemoDisclaimer FROM Config ORDER BY ID LIMIT 1").toString(), QString("Goods on memo\r\nremain ours."));
    QCOMPARE(e.ctx.settings.MemoDisclaimer, QString("Goods on memo\r\nremain ours."));
}

void tst_memosheetscreen::customerScreenOpensTheMemoLists()
{
    StoneEnv e;
    e.ctx.user.set("AllowCustomerView", true);
    test::RecordingScreens screens;
    screens.installed = {Screen::MemoHistory};
    e.ctx.setScreens(&screens);
    const qint64 c = e.customer("List Holder");
    {
        ui::frmCustomer w(e.ctx);
        w.show();
        w.showCustomer(c);
        QVERIFY(w.findChild<QPushButton *>("cmdOnMemo")->isEnabled());
        QTest::mouseClick(w.findChild<QPushButton *>("cmdOnMemo"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    }
    QCOMPARE(screens.asked, (QStringList{QString("openMemoHistory %1 1").arg(c), QString("openMemoHistory %1 0").arg(c)}));
    e.ctx.setScreens(nullptr);
}

// Two stones at 30 % off their list prices on a memo (5,250.00 and
// 1,750.00), their selling prices elsewhere: the sheet, its paper, the sale
// of the whole sheet and the memo report (screen, export, paper) all give
// the memo price; the paper's list value is rounded as every page rounds.
void tst_memosheetscreen::memoPriceOnEveryPage()
{
    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext is not installed");
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
    const qint64 c = e.customer("Page Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 a = e.stone("PA"), b = e.stone("PB");
    db::exec(e.t.db(), "UPDATE SingleStone SET Carat=1, RapaportPrice=7500, SellPriceUS=9000 WHERE ID=?", {a});
    db::exec(e.t.db(), "UPDATE SingleStone SET Carat=0.5, RapaportPrice=5000, SellPriceUS=NULL WHERE ID=?", {b});
    QVERIFY(memos::putOnMemo(e.ctx, sheet, a, "30", 7).ok());
    QVERIFY(memos::putOnMemo(e.ctx, sheet, b, "30", 7).ok());
    // The list value on the paper: 12,345 x 2.017 = 24,899.865.
    const qint64 odd = e.stone("PC");
    db::exec(e.t.db(), "UPDATE SingleStone SET Carat=2.017, RapaportPrice=12345 WHERE ID=?", {odd});
    const qint64 other = sheetFor(e, e.customer("List Customer"));
    QVERIFY(memos::putOnMemo(e.ctx, other, odd, "30", 7).ok());
    memos::MemoPrintRequest req;
    req.memoSheetId = other;
    req.options.printRap = true;
    req.options.usDollar = true;
    const QString list = e.dir.filePath("list.pdf");
    QVERIFY(memos::printMemoSheet(e.ctx, req, printing::PrintTarget::pdf(list)).ok);
    VELMOR_VERIFY_PDF_LAYOUT(list);
    QVERIFY2(normalised(test::pdfText(list)).contains("US$ 24,899.87"), qPrintable(test::pdfText(list)));

    ui::frmMemoAddNewDiamondToIt w(e.ctx);
    w.setMemoSheet(sheet);
    w.reload();
    auto *grid = w.findChild<QTableWidget *>("Flex");
    QStringList sheetPrices;
    for (int r = 0; r < grid->rowCount(); ++r)
        sheetPrices << grid->item(r, 8)->text();
    sheetPrices.sort();
    QCOMPARE(sheetPrices, QStringList({"1,750.00", "5,250.00"}));
    req.memoSheetId = sheet;
    req.options.printRap = false;
    const QString paper = e.dir.filePath("sheet.pdf");
    QVERIFY(memos::printMemoSheet(e.ctx, req, printing::PrintTarget::pdf(paper)).ok);
    VELMOR_VERIFY_PDF_LAYOUT(paper);
    QVERIFY(normalised(test::pdfText(paper)).contains("Summary US$ 7,000.00"));

    w.findChild<QCheckBox *>("chkAllSold")->setChecked(true);
    QTest::mouseClick(w.findChild<QPushButton *>("cmdExecute"), Qt::LeftButton);
    QCOMPARE(e.value("SELECT CAST(SUM(ROUND(pricecarat * carat, 2)) AS CHAR) FROM invoicelist").toString(),
             QString("7000.00"));

    memos::ReportFilter f;
    f.partyId = c;
    const memos::Report r = memos::runReport(e.ctx, f);
    QCOMPARE(memos::sumReport(r).usStone, 7000.0);
    QVERIFY(memos::exportText(r).contains("US$ 5250.00") && memos::exportText(r).contains("US$ 1750.00"));
    const QString report = e.dir.filePath("report.pdf");
    QVERIFY(memos::printReport(e.ctx, r, printing::PrintTarget::pdf(report)).ok);
    VELMOR_VERIFY_PDF_LAYOUT(report);
    const QString printed = normalised(test::pdfText(report));
    QVERIFY2(printed.contains("US$ 5,250.00") && printed.contains("US$ 1,750.00") && !printed.contains("9,000.00"),
             qPrintable(printed));
}

QTEST_MAIN(tst_memosheetscreen)
#include "tst_memosheetscreen.moc"
