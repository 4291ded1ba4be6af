// What a dealer sees at the counter: memo prices as typed (kept, printed,
// sold at), costs only for those who may see them, price labels that name
// their currency, open screens that follow every change, a readable timed
// notice, windows that fit a 1366x768 screen, the configuration's words and
// the splash screen while the private database is made.
#include "PdfLayoutCheck.h"
#include "../printing/PrintTestKit.h"
#include "../stones/StoneTestEnv.h"
#include "RecordingScreens.h"

#include "core/ChangeEvents.h"
#include "core/DatabaseOpening.h"
#include "core/frmConfigUsers.h"
#include "core/frmConfiguration.h"
#include "core/frmMSG.h"
#include "core/widgets/QtPrompt.h"
#include "core/widgets/WindowPlacement.h"
#include "customers/frmCustomer.h"
#include "invoices/frmInvoice.h"
#include "memos/MemoMoves.h"
#include "memos/MemoSheetView.h"
#include "memos/frmMemoAddNewDiamondToIt.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelRecord.h"
#include "parcels/frmMemoLoadParcel.h"
#include "parcels/frmMemoParcelSheet.h"
#include "parcels/frmParcel.h"
#include "parcels/frmParcelAdd.h"
#include "printing/PrintJob.h"
#include "shell/frmSplash.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmDiamondDetailPrices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTableWidget>
#include <QToolTip>
#include <QtTest>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;

namespace {

template <typename T>
T *ctl(QObject *screen, const char *name)
{
    T *c = screen->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qWarning("no control %s", name);
    return c;
}

void type(QWidget *screen, const char *field, const QString &text)
{
    auto *le = ctl<QLineEdit>(screen, field);
    le->setFocus();
    le->selectAll();
    QTest::keyClicks(le, text);
}

// The stone-on-memo screen's grid, SKU -> "discount | stone price".
QMap<QString, QString> memoGrid(QWidget *memo)
{
    QMap<QString, QString> out;
    auto *grid = ctl<QTableWidget>(memo, "Flex");
    for (int r = 0; r < grid->rowCount(); ++r)
        out[grid->item(r, 0)->text()] = grid->item(r, 7)->text() + QStringLiteral(" | ") + grid->item(r, 8)->text();
    return out;
}

int rowOf(QWidget *memo, const QString &sku)
{
    auto *grid = ctl<QTableWidget>(memo, "Flex");
    for (int r = 0; r < grid->rowCount(); ++r)
        if (grid->item(r, 0)->text() == sku)
            return r;
    return -1;
}

qint64 sheetFor(StoneEnv &e, qint64 customer)
{
    return db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {customer});
}

} // namespace

class TestCounterScreens : public QObject {
    Q_OBJECT
private slots:
    void memoPriceAsTyped_data();
    void memoPriceAsTyped();
    void noMemoPriceNoSale();
    void oneMemoPriceForBothScreens();
    void memoSheetToPdfAndPreview();
    void costsOnlyWithTheRight();
    void priceLabelsNameTheirCurrency();
    void openScreensFollowChanges();
    void parcelGridFollowsReceipt();
    void customerAndParcelMemoScreensFollowChanges();
    void noticeIsOpaque();
    void windowsFitALaptopScreen();
    void shapeShownFromItsStart();
    void longCustomerNamesReadWhole();
    void configurationWords();
    void splashWhileTheDatabaseIsMade();
};

// A price typed on the stone-on-memo screen is the memo's price: kept on
// the stone and the journal, shown in the grid, and invoiced by SELL.
void TestCounterScreens::memoPriceAsTyped_data()
{
    QTest::addColumn<double>("rap");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("perCarat");   // txtPriceCarat after typing
    QTest::addColumn<QString>("gridLine");   // discount | stone price
    QTest::addColumn<double>("memoUS");
    QTest::addColumn<QVariant>("discount");  // stored; invalid for Null
    // 1.01 ct stones; with a list price of 5000 US$/ct the list is 5050.
    QTest::newRow("no list price, US$/Stone 7,500") << 0.0 << "txtDiscountDollar" << "7,500" << "7425.74"
                                                   << " | 7,500.00" << 7500.0 << QVariant();
    QTest::newRow("list price, US$/Stone 2950") << 5000.0 << "txtDiscountDollar" << "2950" << "2920.79"
                                               << "41.58 | 2,950.00" << 2950.0 << QVariant(41.58);
    QTest::newRow("list price, 25 % off") << 5000.0 << "txtDiscount" << "25" << "3750.00" << "25.00 | 3,787.50"
                                          << 3787.5 << QVariant(25.0);
    QTest::newRow("no list price, US$/ct 3000") << 0.0 << "txtPriceCarat" << "3000" << "3000" << " | 3,030.00"
                                               << 3030.0 << QVariant();
}

void TestCounterScreens::memoPriceAsTyped()
{
    QFETCH(double, rap);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, perCarat);
    QFETCH(QString, gridLine);
    QFETCH(double, memoUS);
    QFETCH(QVariant, discount);
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
    const qint64 c = e.customer("Counter Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 id = e.stone("P2002");
    db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice=?, SellOffRap=NULL, SellPriceUS=NULL, LockPercent=0",
             {rap});

    ui::frmMemoAddNewDiamondToIt w(e.ctx);
    w.setMemoSheet(sheet);
    w.reload();
    w.show();
    w.setSelectedStone(id);
    type(&w, qPrintable(field), typed);
    QCOMPARE(ctl<QLineEdit>(&w, "txtPriceCarat")->text(), perCarat);
    QTest::mouseClick(ctl<QPushButton>(&w, "cmdAdd"), Qt::LeftButton);
    QVERIFY2(e.prompt.messages().isEmpty(), qPrintable(e.prompt.messages().join("|")));
    QCOMPARE(memoGrid(&w).value("P2002"), gridLine);
    QCOMPARE(e.value("SELECT MemoUS FROM SingleStone WHERE ID=?", {id}).toDouble(), memoUS);
    QCOMPARE(e.value("SELECT US FROM Memo WHERE DiamondID=?", {id}).toDouble(), memoUS);
    const QVariant d = e.value("SELECT currentRAPdiscountFORmemo FROM SingleStone WHERE ID=?", {id});
    QCOMPARE(d.isNull(), !discount.isValid());
    if (discount.isValid())
        QCOMPARE(d.toDouble(), discount.toDouble());

    // SELL invoices the stone at the memo's price, to the cent.
    w.chooseLine(rowOf(&w, "P2002"));
    e.prompt.answer(true); // "Are you sure you want to sell this Stone to ..."
    QTest::mouseClick(ctl<QPushButton>(&w, "cmdSell"), Qt::LeftButton);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice).value(0), QString("Added P2002 to a new Invoice #1"));
    const double invoiced = e.value("SELECT ROUND(pricecarat * carat, 2) FROM invoicelist WHERE diamondid=?", {id})
                                .toDouble();
    QCOMPARE(invoiced, memoUS);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Sold"));
}

// Without a price there is no memo and no sale: the stone is named and
// every row stays as it was.
void TestCounterScreens::noMemoPriceNoSale()
{
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
    const qint64 c = e.customer("Counter Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 id = e.stone("N1");
    db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice=0, SellOffRap=NULL, SellPriceUS=NULL, LockPercent=0");

    ui::frmMemoAddNewDiamondToIt w(e.ctx);
    w.setMemoSheet(sheet);
    w.reload();
    w.setSelectedStone(id);
    QTest::mouseClick(ctl<QPushButton>(&w, "cmdAdd"), Qt::LeftButton);
    QCOMPARE(e.prompt.messages().size(), 1);
    QVERIFY2(e.prompt.messages().value(0).startsWith("Memo: N1 has no price for this memo"),
             qPrintable(e.prompt.messages().join("|")));
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo"), 0);

    // A stone put on memo before prices were kept (no price, no list price):
    // SELL refuses instead of invoicing it at 0.00.
    db::exec(e.t.db(), "UPDATE SingleStone SET Status='Memo', MemoSheetID=?, CustomerID=?, MemoUS=NULL, "
                       "currentRAPdiscountFORmemo=0 WHERE ID=?",
             {sheet, c, id});
    w.reload();
    QCOMPARE(memoGrid(&w).value("N1"), QString(" | 0.00"));
    e.prompt.clear();
    w.chooseLine(rowOf(&w, "N1"));
    QTest::mouseClick(ctl<QPushButton>(&w, "cmdSell"), Qt::LeftButton);
    QVERIFY2(e.prompt.messages().value(0).startsWith("Selling Diamond: N1 has no price on this memo (0.00)"),
             qPrintable(e.prompt.messages().join("|")));
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Memo"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), 0);
}

// The older memo sheet screen's agreed price is the price the stone-on-memo
// screen shows and sells at, not a discount left from an earlier memo.
void TestCounterScreens::oneMemoPriceForBothScreens()
{
    StoneEnv e;
    e.ctx.user.AllowMemoAssigning = true;
    const qint64 c = e.customer("Older Sheet Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 id = e.stone("O1");
    // Listed at 5000 x 1.01; an earlier memo left 40 % behind.
    db::exec(e.t.db(), "UPDATE SingleStone SET currentRAPdiscountFORmemo=40 WHERE ID=?", {id});
    QVERIFY(memos::putOnMemoAtPrice(e.ctx, sheet, id, "8,000", "", false).ok());
    const memos::MemoSheetData data = memos::loadMemoSheet(e.ctx, sheet);
    QCOMPARE(data.lines.size(), 1);
    QCOMPARE(data.lines[0].stonePrice, QString("8,000.00"));
    QCOMPARE(data.lines[0].discount, QString("-58.42")); // 8000 over a list of 5050
    QVERIFY(memos::sellFromMemo(e.ctx, sheet, id, data.lines[0].stonePrice).ok());
    QCOMPARE(e.value("SELECT ROUND(pricecarat * carat, 2) FROM invoicelist WHERE diamondid=?", {id}).toDouble(),
             8000.0);
}

// The memo sheet goes to a PDF file like the other documents, with the
// typed price in it, and has a preview.
void TestCounterScreens::memoSheetToPdfAndPreview()
{
    if (!test::haveTool("pdftotext"))
        QSKIP("pdftotext (poppler-utils) is not installed");
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
    const qint64 c = e.customer("Counter Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 id = e.stone("P2002");
    db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice=0, SellOffRap=NULL, SellPriceUS=NULL, LockPercent=0");
    // memosheetsetup.txt: print US dollars, no rounding, no list price line.
    QVERIFY(e.ctx.workstation.writeLines("memosheetsetup.txt", {"true", "false", "false"}));
    ui::frmMemoAddNewDiamondToIt w(e.ctx);
    w.setMemoSheet(sheet);
    w.reload();
    w.setSelectedStone(id);
    type(&w, "txtDiscountDollar", "7,500");
    QTest::mouseClick(ctl<QPushButton>(&w, "cmdAdd"), Qt::LeftButton);

    auto *printers = ctl<QComboBox>(&w, "cboPrinter");
    QVERIFY(printers->findText(printing::kPdfEntry) >= 0);
    QVERIFY(ctl<QPushButton>(&w, "cmdPreview")->isEnabled());
    printers->setCurrentText(printing::kPdfEntry);
    const QString pdf = e.dir.filePath("memo.pdf");
    ctl<QLineEdit>(&w, "txtPdfFile")->setText(pdf);
    e.prompt.clear();
    QTest::mouseClick(ctl<QPushButton>(&w, "Command5"), Qt::LeftButton);
    QCOMPARE(e.prompt.messages(), QStringList{"Memo Printing: The Memo Sheet has been sent to the Printer!"});
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QString text = test::pdfText(pdf).simplified();
    QVERIFY2(text.contains("7,425.74 /ct"), qPrintable(text));
    QVERIFY2(text.contains("Summary US$ 7,500.00"), qPrintable(text));
}

// Costs are hidden from the first moment until a user who may see them
// logs in: on the stone screen, in its currency window, on the parcel screen.
void TestCounterScreens::costsOnlyWithTheRight()
{
    StoneEnv e;
    e.ctx.user.reset();
    const qint64 id = e.stone("C1");
    db::exec(e.t.db(), "UPDATE SingleStone SET BoughtPriceUS=5252, RapPriceOnDateBought=5000 WHERE ID=?", {id});
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    s.loadStone(int(id));
    for (const char *name : {"txtBoughtPriceUS", "txtBoughtPriceUSCT", "txtOriginalBuyOffRap", "lblCostST"})
        QVERIFY2(!ctl<QWidget>(&s, name)->isVisible(), name);
    e.ctx.user.ViewCost = true;
    emit e.ctx.events().rightsChanged();
    QVERIFY(ctl<QWidget>(&s, "txtBoughtPriceUS")->isVisible());
    QCOMPARE(ctl<QLineEdit>(&s, "txtBoughtPriceUS")->text().remove(','), QString("5252.00"));

    stones::StoneForm f;
    f.Carat = "1.01";
    f.setPrice(stones::StonePriceModel::BoughtPriceUS, "5252.00");
    for (const bool right : {false, true}) {
        e.ctx.user.ViewCost = right;
        ui::frmDiamondDetailPrices w(e.ctx, f);
        w.show();
        QCOMPARE(ctl<QWidget>(&w, "txtBoughtPriceUS")->isVisible(), right);
        QCOMPARE(ctl<QWidget>(&w, "lblBought")->isVisible(), right);
    }

    e.ctx.user.ViewCost = false;
    const qint64 p = db::insert(e.t.db(), "INSERT INTO parcel (SKU, Carat) VALUES ('PC1', 0)");
    ui::frmParcel parcel(e.ctx);
    parcel.show();
    parcel.loadParcel(p);
    QVERIFY(!ctl<QWidget>(&parcel, "txtLastUSCost")->isVisible());
    QVERIFY(!ctl<QWidget>(&parcel, "txtAVRUSCost")->isVisible());
    e.ctx.user.ViewCost = true;
    emit e.ctx.events().rightsChanged();
    QVERIFY(ctl<QWidget>(&parcel, "txtAVRUSCost")->isVisible());
}

// The price rows of the stone screen hold US dollars and say so; the local
// columns carry the local currency's name.
void TestCounterScreens::priceLabelsNameTheirCurrency()
{
    StoneEnv e;
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    QCOMPARE(ctl<QLabel>(&s, "lblCostST")->text(), QString("Cost US$"));
    QCOMPARE(ctl<QLabel>(&s, "lblRapStone")->text(), QString("Rap US$ when bought"));
    QCOMPARE(ctl<QLabel>(&s, "lblCurrentRapST")->text(), QString("current Rap US$"));
    QCOMPARE(ctl<QLabel>(&s, "lblHeadUSStone")->text(), QString("US$ /Stone"));
    QCOMPARE(ctl<QLabel>(&s, "lblHeadLocalCT")->text(), QString("CDN /ct"));
    QCOMPARE(ctl<QLabel>(&s, "lblMemoStatic")->text(), QString("Memo US$ | CDN (Static)"));
}

// A stone put on memo from the memo screen is shown as on memo by the open
// stone screen (SOLD no longer offered), and the sale from the memo shows
// in the open invoice, without reloading anything by hand.
void TestCounterScreens::openScreensFollowChanges()
{
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO user (ID, UserName, FirstName, LastName) VALUES (7, 'ann', 'Ann', 'Archer')");
    const qint64 c = e.customer("Counter Customer");
    const qint64 sheet = sheetFor(e, c);
    const qint64 id = e.stone("F1");
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    s.loadStone(int(id));
    QCOMPARE(ctl<QLineEdit>(&s, "txtStatus")->text(), QString("Stock"));
    QCOMPARE(ctl<QLabel>(&s, "lblStatus")->text(), QString("STOCK"));

    ui::frmMemoAddNewDiamondToIt m(e.ctx);
    m.setMemoSheet(sheet);
    m.reload();
    m.setSelectedStone(id);
    type(&m, "txtDiscountDollar", "3000");
    QTest::mouseClick(ctl<QPushButton>(&m, "cmdAdd"), Qt::LeftButton);
    QTRY_COMPARE(ctl<QLineEdit>(&s, "txtStatus")->text(), QString("Memo"));
    QCOMPARE(ctl<QLabel>(&s, "lblStatus")->text(), QString("MEMO"));
    QVERIFY(!ctl<QPushButton>(&s, "cmdSold")->isEnabled());

    // A second memo screen on the same sheet follows the first.
    ui::frmMemoAddNewDiamondToIt other(e.ctx);
    other.setMemoSheet(sheet);
    other.reload();
    QCOMPARE(memoGrid(&other).size(), 1);
    m.chooseLine(rowOf(&m, "F1"));
    e.prompt.answer(true); // "Are you sure you want to sell this Stone to ..."
    QTest::mouseClick(ctl<QPushButton>(&m, "cmdSell"), Qt::LeftButton);
    QTRY_COMPARE(memoGrid(&other).size(), 0);
    QTRY_COMPARE(ctl<QLineEdit>(&s, "txtStatus")->text(), QString("Sold"));
}

// After a receipt the parcel list beside the form shows the new carats.
void TestCounterScreens::parcelGridFollowsReceipt()
{
    StoneEnv e;
    e.ctx.user.ViewCost = true;
    e.ctx.user.set("AllowRestockParcel", true);
    const qint64 supplier = e.customer("Antwerp Rough", true);
    const qint64 p = db::insert(e.t.db(),
                                "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh) "
                                "VALUES ('PR-25', 'Round Brilliant [BR]', 0, 0.1, 0.2)");
    ui::frmParcel f(e.ctx);
    f.show();
    f.loadParcel(p);
    auto onHand = [&] {
        for (int r = 0; r < f.grdParcels->rowCount(); ++r)
            if (f.grdParcels->item(r, 0)->text() == QLatin1String("PR-25"))
                return f.grdParcels->item(r, 1)->text();
        return QString("(not listed)");
    };
    QCOMPARE(onHand(), QString("0.00"));
    ui::frmParcelAdd *add = f.receive();
    QVERIFY(add);
    for (int i = 0; i < add->cboSupplier->count(); ++i)
        if (add->cboSupplier->itemText(i).contains(QLatin1String("Antwerp Rough")))
            add->cboSupplier->setCurrentIndex(i);
    Q_UNUSED(supplier);
    add->txtCarat->setText("25");
    add->txtUS->setText("200");
    QTest::mouseClick(add->cmdFill, Qt::LeftButton);
    QVERIFY2(e.prompt.messages().isEmpty(), qPrintable(e.prompt.messages().join("|")));
    QCOMPARE(f.txtCarat->text(), QString("25.00"));
    QTRY_COMPARE(onHand(), QString("25.00"));
}

// A customer saved on one customer screen is shown as saved on another;
// an open parcel memo and the list of parcel memos show every carat put on,
// returned and the memo's closing, without a reload by hand.
void TestCounterScreens::customerAndParcelMemoScreensFollowChanges()
{
    StoneEnv e;
    e.ctx.user.set("AllowCustomerEdit", true);
    const qint64 c = e.customer("Counter Customer");
    ui::frmCustomer edit(e.ctx), view(e.ctx);
    edit.showCustomer(c);
    view.showCustomer(c);
    QTest::mouseClick(ctl<QPushButton>(&edit, "cmdEditCustomer"), Qt::LeftButton);
    QVERIFY(edit.editing());
    ctl<QLineEdit>(&edit, "txtSupplierName")->setText("Counter Customer Ltd");
    QTest::mouseClick(ctl<QPushButton>(&edit, "cmdUpdateChanges"), Qt::LeftButton);
    QVERIFY2(e.prompt.messages().isEmpty(), qPrintable(e.prompt.messages().join("|")));
    QTRY_COMPARE(ctl<QLineEdit>(&view, "txtSupplierName")->text(), QString("Counter Customer Ltd"));

    const qint64 a = db::insert(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh) "
                                          "VALUES ('PA', 'Round Brilliant [BR]', 25, 0.1, 0.2)");
    const qint64 b = db::insert(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh) "
                                          "VALUES ('PB', 'Round Brilliant [BR]', 10, 0.1, 0.2)");
    ui::frmMemoLoadParcel list(e.ctx);
    QCOMPARE(list.grdMemos->rowCount(), 0);
    const parcels::Outcome first = parcels::putOnMemo(e.ctx, {a, c, "5", "800", parcels::LineChoice::NewLine});
    QCOMPARE(first.result, parcels::Result::Done);
    QTRY_COMPARE(list.grdMemos->rowCount(), 1);
    QCOMPARE(list.grdMemos->item(0, 1)->text(), QString("Counter Customer Ltd"));

    ui::frmMemoParcelSheet sheet(e.ctx, first.id);
    auto lines = [&] {
        QStringList out;
        for (int r = 0; r < sheet.grdMemo->rowCount(); ++r)
            out << sheet.grdMemo->item(r, 0)->text() + ' ' + sheet.grdMemo->item(r, 1)->text();
        out.sort();
        return out;
    };
    QCOMPARE(lines(), QStringList{"PA 5.00 ct"});
    QCOMPARE(parcels::putOnMemo(e.ctx, {b, c, "3", "900", parcels::LineChoice::NewLine}).id, first.id);
    QTRY_COMPARE(lines(), (QStringList{"PA 5.00 ct", "PB 3.00 ct"}));
    QCOMPARE(parcels::returnFromMemo(e.ctx, first.id, a, "2").result, parcels::Result::Done);
    QTRY_COMPARE(lines(), (QStringList{"PA 3.00 ct", "PB 3.00 ct"}));
    // The customer renamed again: the memo's address follows.
    db::exec(e.t.db(), "UPDATE Customer SET CompanyName='Counter Customer Inc' WHERE ID=?", {c});
    changeEvents(e.ctx).announceCustomer(c);
    QTRY_VERIFY(sheet.lblCustomer->text().startsWith("Counter Customer Inc"));
}

// The timed notice is an opaque panel: no see-through colour, no window
// shape, every pixel drawn; its text is dark on a light panel.
void TestCounterScreens::noticeIsOpaque()
{
    ui::frmMSG msg(QStringLiteral("Added P2002 to a new Invoice #1"), 0);
    msg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&msg));
    QVERIFY(msg.mask().isEmpty());
    QVERIFY(!msg.testAttribute(Qt::WA_TranslucentBackground));
    const QImage img = msg.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    int cyan = 0, dark = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor px = img.pixelColor(x, y);
            QCOMPARE(px.alpha(), 255);
            if (px.red() < 40 && px.green() > 220 && px.blue() > 220)
                ++cyan;
            if (px.lightness() < 100)
                ++dark;
        }
    QCOMPARE(cyan, 0);
    QVERIFY(dark > 50); // the text and the frame
    // The middle of the panel (behind the text) is the panel, not a hole.
    const QColor middle = img.pixelColor(8, img.height() / 2);
    QVERIFY2(middle.lightness() > 200, qPrintable(middle.name()));
    QCOMPARE(ctl<QLabel>(&msg, "lblMSGdisplay")->text(), QString("Added P2002 to a new Invoice #1"));
    msg.close();
}

// Every screen of the day fits a 1366x768 screen: when its controls need
// more room, they scroll, and every one of them can be reached.
void TestCounterScreens::windowsFitALaptopScreen()
{
    StoneEnv e;
    test::RecordingScreens screens;
    e.ctx.setScreens(&screens);
    const QSize laptop(1366 - 16, 768 - 40);
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.emplace_back(new ui::frmCustomer(e.ctx));
    windows.emplace_back(new ui::frmDiamondDetail(e.ctx));
    windows.emplace_back(new ui::frmMemoAddNewDiamondToIt(e.ctx));
    windows.emplace_back(new invoices::frmInvoice(e.ctx));
    windows.emplace_back(new ui::frmParcel(e.ctx));
    windows.emplace_back(new ui::frmConfiguration(e.ctx));
    for (auto &w : windows) {
        ui::fitWindowInto(w.get(), laptop);
        const QSize need = w->minimumSize().expandedTo(w->minimumSizeHint());
        QVERIFY2(need.width() <= laptop.width() && need.height() <= laptop.height(),
                 qPrintable(QString("%1 needs %2x%3").arg(w->objectName()).arg(need.width()).arg(need.height())));
        w->resize(laptop);
        w->show();
        QVERIFY2(w->width() <= laptop.width() && w->height() <= laptop.height(), qPrintable(w->objectName()));
    }
    // The customer window's rows of buttons: in view without scrolling.
    QWidget *customer = windows.front().get();
    QVERIFY(!customer->findChild<QScrollArea *>(QStringLiteral("scrWindowContent")));
    for (const char *name : {"cmdUpdateChanges", "cmdNewMemoSheet", "cmdHome", "cmdAddCustomer"}) {
        auto *b = ctl<QPushButton>(customer, name);
        QVERIFY(b);
        QCoreApplication::processEvents();
        const QRect inWindow(b->mapTo(customer, QPoint(0, 0)), b->size());
        QVERIFY2(customer->rect().contains(inWindow), name);
    }
}

// A customer's long name, cut by its box on the stone screen, is read whole
// as the box's tip.
void TestCounterScreens::longCustomerNamesReadWhole()
{
    StoneEnv e;
    const QString name = QStringLiteral("Lumen & Fils Joaillerie Internationale Ltée (Montréal) Inc.");
    const qint64 c = e.customer(name);
    e.customer(QStringLiteral("Ann"));
    auto *fitter = new ui::ScreenFitter(qApp);
    qApp->installEventFilter(fitter);
    const std::unique_ptr<QObject> removeFitter(fitter);
    ui::frmDiamondDetail s(e.ctx);
    s.resize(1366 - 16, 768 - 40);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    auto *box = ctl<QComboBox>(&s, "cboOnHoldFor");
    const int i = box->findData(c);
    QVERIFY(i >= 0);
    box->setCurrentIndex(i);
    const QString entry = box->currentText();
    QVERIFY(entry.contains(name));
    const int need = box->view()->fontMetrics().horizontalAdvance(entry);
    QVERIFY2(need > box->width(), "the name fits the box: the case is not made");

    QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(box, &tip);
    QTRY_COMPARE(QToolTip::text(), entry);
    QToolTip::hideText();
    // A box with a tip of its own keeps it.
    box->setToolTip(QStringLiteral("Held for"));
    QCoreApplication::sendEvent(box, &tip);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Held for"));
    QToolTip::hideText();
}

// A text set into the shape combo is shown from its start.
void TestCounterScreens::shapeShownFromItsStart()
{
    StoneEnv e;
    const qint64 id = e.stone("SH1");
    ui::frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    s.loadStone(int(id));
    auto *shape = ctl<QComboBox>(&s, "cboShape");
    QCOMPARE(shape->currentText(), QString("Round Brilliant [BR]"));
    QCOMPARE(shape->lineEdit()->cursorPosition(), 0);
}

// The display tab speaks words, the retired service's tab is disabled with
// its reason, and saving the configuration, the rates or a user says so.
void TestCounterScreens::configurationWords()
{
    StoneEnv e;
    e.ctx.user.Administrator = true;
    ui::frmConfiguration w(e.ctx);
    w.show();
    QCOMPARE(ctl<QCheckBox>(&w, "chkHideRapUS_CT")->text(), QString("Hide Rap US$ /ct"));
    QCOMPARE(ctl<QCheckBox>(&w, "chkShowCostMY_CT")->text(), QString("Show cost CDN /ct"));
    for (QCheckBox *box : w.findChildren<QCheckBox *>())
        QVERIFY2(!box->text().contains('_'), qPrintable(box->text()));
    auto *tabs = ctl<QTabBar>(&w, "tsDiamond");
    QCOMPARE(tabs->tabText(1), QString("Price list service"));
    QVERIFY(!tabs->isTabEnabled(1));
    QVERIFY(tabs->tabToolTip(1).contains("no longer offers this service"));
    e.prompt.clear();
    QTest::mouseClick(ctl<QPushButton>(&w, "cmdRapSettings"), Qt::LeftButton);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{"The configuration has been saved."});
}

// On an empty workstation folder the splash screen is up, saying what is
// done, before the private database is made.
void TestCounterScreens::splashWhileTheDatabaseIsMade()
{
    QTemporaryDir home(QStringLiteral("/tmp/vsplash-XXXXXX"));
    Workstation ws(home.path(), home.path());
    db::ConnectionSettings cs = ws.connectionSettings();
    if (cs.mode != db::Mode::Private)
        QSKIP("the workstation folder does not choose the private database");
    ui::QtPrompt prompt;
    AppContext ctx(ws, cs, &prompt);
    QVERIFY(makesPrivateDatabase(cs));
    ui::frmSplash splash(ctx);
    QStringList said;
    bool shownBeforeConnection = false;
    prompt.setProgressLine([&](const QString &text) {
        said << text;
        if (said.size() == 1)
            shownBeforeConnection = splash.isVisible() && !ctx.db().isOpen()
                                    && ctl<QLabel>(&splash, "lblMsg") != nullptr;
        ui::SplashMessageModule(&splash, text);
    });
    splash.showOpening();
    try {
        ctx.open();
    } catch (const db::DbError &err) {
        QSKIP(qPrintable("no private server here: " + err.message()));
    }
    QCOMPARE(said.value(0), QString("Making the database ..."));
    QVERIFY(shownBeforeConnection);
    QCOMPARE(ctl<QLabel>(&splash, "lblMsg")->text(), QString("Making the database ..."));
    ctx.close();
    // The second start opens what is there.
    QVERIFY(!makesPrivateDatabase(cs));
}

QTEST_MAIN(TestCounterScreens)
#include "tst_counterscreens.moc"
