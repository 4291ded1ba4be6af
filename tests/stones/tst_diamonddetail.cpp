// The stone screen driven by control name, offscreen: a stone's life from
// adding to deleting, with the database and the change log after each step.
#include "RecordingScreens.h"
#include "StoneTestEnv.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmDiamondDetailPrices.h"
#include "stones/frmStoneChange.h"
#include "invoices/Posting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;
using velmor::ui::frmDiamondDetail;

class TestDiamondDetail : public QObject {
    Q_OBJECT
private slots:
    void stoneLifeOnTheScreen();
    void saleRefusedWhenSoldElsewhere();
    void memoReturnByDrop();
    void changeLogScreen();
    void wholesaleHidesLogOn();
    void priceRoundOnTheScreen_data();
    void priceRoundOnTheScreen();
    void typedPricesAreChecked();
    void emptyTiersStayEmpty();
    void referenceShownBySettings();
    void cancelledAddStays();
    void wordLists_data();
    void wordLists();
    void wordListsStopWithTheScreen();
    void priceWindow();
    void everyNamedControl();
    void opensOtherScreensThroughTheContext();

private:
    static void startUp(frmDiamondDetail &s)
    {
        s.show();
        QTRY_VERIFY(s.startUpDone());
    }
};

namespace {
template <typename T>
T *ctl(QWidget &s, const char *name)
{
    T *c = s.findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}
void type(QWidget &s, const char *name, const QString &text)
{
    QLineEdit *e = ctl<QLineEdit>(s, name);
    e->selectAll();
    QTest::keyClicks(e, text);
}
void click(QWidget &s, const char *name) { QTest::mouseClick(ctl<QPushButton>(s, name), Qt::LeftButton); }
void choose(QWidget &s, const char *combo, const QString &startsWith)
{
    QComboBox *c = ctl<QComboBox>(s, combo);
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).startsWith(startsWith)) {
            c->setCurrentIndex(i);
            emit c->activated(i);
            emit c->textActivated(c->itemText(i));
            return;
        }
    qFatal("no entry %s in %s", qPrintable(startsWith), combo);
}
// The sell dialog answered by a sale to one customer (the dialog itself is
// tested with the invoices).
struct SellingScreens : velmor::test::RecordingScreens {
    AppContext *ctx = nullptr;
    qint64 customer = 0;
    bool openSellDialog(qint64 id, QWidget *w) override
    {
        RecordingScreens::openSellDialog(id, w);
        return invoices::sellStoneOnInvoice(*ctx, id, customer, "1.01", "3500").result == invoices::SellResult::Done;
    }
};
} // namespace

void TestDiamondDetail::stoneLifeOnTheScreen()
{
    StoneEnv e;
    e.ctx.settings.StoneChange = true;
    const qint64 buyer = e.customer("Lumen Jewellers");
    const qint64 other = e.customer("Walk Consignee");
    SellingScreens screens;
    screens.installed = {Screen::SellStone};
    screens.ctx = &e.ctx;
    screens.customer = buyer;
    e.ctx.setScreens(&screens);
    frmDiamondDetail s(e.ctx);
    startUp(s);
    QCOMPARE(e.ctx.currentScreen, QString("frmDiamondDetail"));
    QVERIFY(e.prompt.texts(PromptEvent::Progress).contains("Writing the Default Customer Payment Terms"));
    QVERIFY(s.windowTitle().startsWith("Diamond Details US$/CDN$ 1/1.2500 US$/ZAR 1/14.0000   ---   "));

    // Add and fill
    const int rowsBefore = e.count("SELECT COUNT(*) FROM SingleStone");
    click(s, "cmdAddDiamond");
    // The new stone's row is made by its save.
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), rowsBefore);
    QCOMPARE(ctl<QLineEdit>(s, "txtDateCreated")->isVisible(), false);
    type(s, "txtSKU", "R1001");
    choose(s, "cboShape", "Round Brilliant [BR]");
    type(s, "txtWeight", "1.01");
    choose(s, "cboColour", "20 - ");
    choose(s, "cboClarity", "40 - ");
    QVERIFY(!ctl<QPushButton>(s, "cmdAddDiamond")->isEnabled());
    QVERIFY(ctl<QPushButton>(s, "cmdUpdate")->isEnabled());
    // the current list price from the grid
    db::exec(e.t.db(), "INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price) VALUES "
                       "('BR', 'E', 'VS1', 1.0, 1.49, 5000), ('BR', 'E', 'VS1', 0.9, 0.99, 4000)");
    type(s, "txtSellOffRap", "30");
    click(s, "imgGetRAP2");
    QCOMPARE(ctl<QLineEdit>(s, "txtLatestRapPrice")->text(), QString("5000.00"));
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceCT")->text(), QString("3500.00"));
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPrice")->text(), QString("3535.00"));
    QCOMPARE(ctl<QLineEdit>(s, "txtUSRap")->text(), QString("5050.00"));
    // an unknown shape gets no list price and the timed notice
    ctl<QComboBox>(s, "cboShape")->setEditText("Kite");
    click(s, "imgGetRAP1");
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{"'Kite' is not a known cut-grade for Rapaport"});
    QCOMPARE(ctl<QLineEdit>(s, "txtOriginalRapPrice")->text(), QString("0.00"));
    e.prompt.clear();
    choose(s, "cboShape", "Round Brilliant [BR]");
    type(s, "txtSellPrice2", "1000");
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceLocal2")->text(), QString("1250.00"));
    ctl<QComboBox>(s, "cboLaboratory")->setEditText("GIA");
    type(s, "txtCertificate", "2141438171");
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.messages(), QStringList{});
    const qint64 id = ctl<QLineEdit>(s, "txtID")->text().toLongLong();
    QVERIFY(id > 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND SKU='R1001' AND Status='Stock' AND Carat=1.01 AND "
                     "Colour=20 AND Clarity=40 AND SellPriceUS=3535 AND SellOffRap=30 AND RapaportPrice=5000 AND "
                     "SellPriceUS2=1000 AND Laboratory='GIA'",
                     {id}),
             1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND SKU='R1001'", {id}), 1);
    QVERIFY(ctl<QLineEdit>(s, "txtSKU")->isReadOnly());
    QCOMPARE(ctl<QLabel>(s, "lblStatus")->text(), QString("STOCK"));
    QVERIFY(ctl<QPushButton>(s, "cmdSold")->isEnabled());

    // Edit: a shape change answered No, then Yes
    click(s, "cmdEditDiamond");
    choose(s, "cboShape", "Pear [PS]");
    e.prompt.answer(false);
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.events.last().title, QString("Changing Shape"));
    QCOMPARE(e.value("SELECT Shape FROM SingleStone WHERE ID=?", {id}).toString(), QString("Round Brilliant [BR]"));
    QVERIFY(!ctl<QLineEdit>(s, "txtSKU")->isReadOnly()); // still editing
    e.prompt.answer(true);
    click(s, "cmdUpdate");
    QCOMPARE(e.value("SELECT Shape FROM SingleStone WHERE ID=?", {id}).toString(), QString("Pear [PS]"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=?", {id}), 2);
    QCOMPARE(s.editState().mode, stones::EditState::Displayed);

    // Sell it through the sell dialog, another customer chosen in the
    // customer boxes before (as after a memo to them)
    for (const char *box : {"cboCustomer", "cboConsignedTo"}) {
        auto *c = ctl<QComboBox>(s, box);
        if (c->findData(other) < 0)
            c->addItem(QString::number(other) + " - Walk Consignee", other);
        c->setCurrentIndex(c->findData(other));
        QCOMPARE(c->currentData().toLongLong(), other);
    }
    e.prompt.clear();
    screens.asked.clear();
    click(s, "cmdSold");
    QCOMPARE(screens.asked, QStringList{QString("openSellDialog %1").arg(id)});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND Status='Sold' AND CustomerID=?", {id, buyer}), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist WHERE diamondid=?", {id}), 1);
    QCOMPARE(ctl<QLabel>(s, "lblStatus")->text(), QString("SOLD"));
    QVERIFY(!ctl<QPushButton>(s, "cmdSold")->isEnabled());
    QCOMPARE(ctl<QLineEdit>(s, "txtCustomer")->text(), QString::number(buyer) + " - Lumen Jewellers");
    QCOMPARE(ctl<QComboBox>(s, "cboCustomer")->currentData().toLongLong(), buyer);
    QCOMPARE(ctl<QComboBox>(s, "cboConsignedTo")->currentText(), QString());
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND Status='Sold'", {id}), 1);
    // a sold stone cannot be deleted
    e.prompt.clear();
    click(s, "cmdDelete");
    QCOMPARE(e.prompt.messages(), QStringList{"Deleting: You cannot delete a Diamond that is Sold!"});

    // Return it (asked first)
    e.prompt.clear();
    e.prompt.answer(true);
    click(s, "cmdReturn");
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{"Stone is marked back into Stock!"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND Status='Stock' AND CustomerID IS NULL", {id}), 1);
    QCOMPARE(ctl<QLineEdit>(s, "txtCustomer")->text(), QString());

    // To the vendor and back
    e.prompt.clear();
    e.prompt.answers({true, true});
    click(s, "cmdReturnVendor");
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("returned"));
    QCOMPARE(ctl<QPushButton>(s, "cmdReturnVendor")->text(), QString("from VENDOR, RECEIVE"));
    QCOMPARE(ctl<QLabel>(s, "lblStatus")->text(), QString("RETURNED"));
    click(s, "cmdReturnVendor");
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
    QCOMPARE(ctl<QPushButton>(s, "cmdReturnVendor")->text(), QString("stone ---> RETURN TO VENDOR"));
    QCOMPARE(e.prompt.texts(PromptEvent::Ask),
             QStringList({"This Stone will be removed from Stock!", "This Stone will enter your Stock again!"}));
    QCOMPARE(e.count("SELECT COUNT(*) FROM returntovendor WHERE DiamondID=?", {id}), 2);

    // Delete it
    e.prompt.clear();
    e.prompt.answer(true);
    click(s, "cmdDelete");
    QCOMPARE(e.prompt.messages(),
             QStringList{"Deleting: Are you sure you want to delete this Diamond from the Database?"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=?", {id}), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND Status='DEL' AND SKU='R1001'", {id}), 1);
    QCOMPARE(ctl<QLineEdit>(s, "txtID")->text(), QString());
}

void TestDiamondDetail::saleRefusedWhenSoldElsewhere()
{
    // Without the sell dialog there is no sale; with it, a stone sold on
    // another workstation meanwhile is refused and the screen shows that sale.
    StoneEnv e;
    const qint64 here = e.customer("Here Customer");
    const qint64 there = e.customer("There Customer");
    const qint64 id = e.stone("S100");
    SellingScreens screens;
    screens.ctx = &e.ctx;
    screens.customer = here;
    e.ctx.setScreens(&screens);
    {
        frmDiamondDetail s(e.ctx);
        startUp(s);
        s.loadStone(int(id));
        QVERIFY(!ctl<QPushButton>(s, "cmdSold")->isEnabled());
    }
    screens.installed = {Screen::SellStone};
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    QVERIFY(ctl<QPushButton>(s, "cmdSold")->isEnabled());
    QSqlDatabase other = e.t.secondConnection();
    QCOMPARE(db::execAffected(other, "UPDATE SingleStone SET Status='Sold', CustomerID=? WHERE ID=? AND Status LIKE 'Stock'",
                              {there, id}),
             1);
    click(s, "cmdSold");
    QCOMPARE(e.prompt.events.last().title, QString("Selling Diamond"));
    QVERIFY(e.prompt.events.last().text.startsWith("This Diamond cannot be sold"));
    QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {id}).toLongLong(), there);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
    QCOMPARE(ctl<QLabel>(s, "lblStatus")->text(), QString("SOLD"));
    e.ctx.setScreens(nullptr);
}

void TestDiamondDetail::memoReturnByDrop()
{
    StoneEnv e;
    const qint64 c = e.customer("Memo Client");
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID, Date, closed) VALUES (?, NOW(), -1)", {c});
    const qint64 id = e.stone("M7", "Memo", c);
    db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID=? WHERE ID=?", {sheet, id});
    frmDiamondDetail s(e.ctx);
    startUp(s);
    // the activation re-opens a closed memo sheet that still holds a stone
    QCOMPARE(e.value("SELECT closed FROM memosheet WHERE ID=?", {sheet}).toInt(), 0);
    s.loadStone(int(id));
    QCOMPARE(ctl<QLabel>(s, "lblMEMOid")->text(), QString::number(sheet));
    QVERIFY(!ctl<QLabel>(s, "imgDiaMemo2")->isHidden());
    s.dropOnSafe();
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
    QCOMPARE(e.value("SELECT Status FROM StoneChange WHERE StoneID=? ORDER BY ID DESC LIMIT 1", {id}).toString(),
             QString("in Memo Client"));
    QCOMPARE(ctl<QLabel>(s, "lblMEMOid")->text(), QString());
}

void TestDiamondDetail::changeLogScreen()
{
    StoneEnv e;
    const qint64 a = e.stone("A1");
    e.stone("B1");
    stones::SaveDeleteChangeStatus(e.ctx, "save", a);
    stones::SaveDeleteChangeStatus(e.ctx, "save", a);
    ui::frmStoneChange s(e.ctx);
    s.show();
    QCOMPARE(s.cboStone->count(), 3);
    QCOMPARE(s.Grid->rowCount(), 2); // B1 has no history, A1 two rows
    s.cboStone->setCurrentIndex(1);
    QCOMPARE(s.txtStoneID->text(), QString::number(a));
    QCOMPARE(s.Grid->rowCount(), 2);
    s.chkBasicView->setChecked(true);
    int visible = 0;
    for (int c = 0; c < s.Grid->columnCount(); ++c)
        visible += s.Grid->isColumnHidden(c) ? 0 : 1;
    QCOMPARE(visible, 12);
    QTemporaryDir dir;
    s.chooseExportFile = [&](QWidget *) { return dir.filePath("changes"); };
    QTest::mouseClick(s.cmdExport, Qt::LeftButton);
    QCOMPARE(e.prompt.messages(), QStringList{"Export: The List has been exported into " + dir.filePath("changes.csv")});
    QFile f(dir.filePath("changes.csv"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count('\n'), 2);
}

void TestDiamondDetail::wholesaleHidesLogOn()
{
    for (bool wholesale : {false, true}) {
        StoneEnv e;
        e.ctx.WholeSaleMode = wholesale;
        e.ctx.DiamondMode = !wholesale;
        frmDiamondDetail s(e.ctx);
        QSignalSpy finished(&s, &frmDiamondDetail::startUpFinished);
        startUp(s);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(s.findChild<QAction *>("mnuLogOn")->isVisible(), !wholesale);
        QCOMPARE(e.ctx.currentScreen, QString("frmDiamondDetail"));
    }
}

void TestDiamondDetail::priceRoundOnTheScreen_data()
{
    QTest::addColumn<double>("priceRound");
    QTest::addColumn<QString>("perCarat");
    QTest::addColumn<QString>("perStone");
    QTest::newRow("not set: cents") << 0.0 << "3586.10" << "3621.96";
    // "Round selling prices to 5" unticked stores 1: the cents are kept, as
    // every other road keeps them.
    QTest::newRow("unticked: cents") << 1.0 << "3586.10" << "3621.96";
    QTest::newRow("fives") << 5.0 << "3585.00" << "3620.85";
}

void TestDiamondDetail::priceRoundOnTheScreen()
{
    QFETCH(double, priceRound);
    QFETCH(QString, perCarat);
    QFETCH(QString, perStone);
    StoneEnv e;
    e.ctx.settings.PriceRound = priceRound;
    frmDiamondDetail s(e.ctx);
    startUp(s);
    click(s, "cmdAddDiamond");
    type(s, "txtWeight", "1.01");
    type(s, "txtLatestRapPrice", "5123");
    type(s, "txtSellOffRap", "30");
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceCT")->text(), perCarat);
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPrice")->text(), perStone);
    // A price typed by the user stays as typed.
    type(s, "txtSellPriceCT", "3586.10");
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceCT")->text(), QString("3586.10"));
    QCOMPARE(ctl<QLineEdit>(s, "txtSellOffRap")->text(), QString("30.00"));
}

// At unknown rates the title shows "???"; a price typed in the local
// currency then is refused naming the rate; a selling price of 0 or below is
// refused; a discount below 0 (a price above the list) is asked about.
void TestDiamondDetail::typedPricesAreChecked()
{
    StoneEnv e;
    e.ctx.exchangeRateCDN = 0;
    e.ctx.exchangeRateZAR = 0;
    const qint64 id = e.stone("T1"); // list 5,000, 30 % off, 1.01 ct: 3,535.00
    frmDiamondDetail s(e.ctx);
    startUp(s);
    QVERIFY2(s.windowTitle().contains("US$/CDN$ 1/??? US$/ZAR 1/???"), qPrintable(s.windowTitle()));
    s.loadStone(int(id));
    auto stored = [&](const char *column) {
        return e.value(QStringLiteral("SELECT CAST(%1 AS CHAR) FROM SingleStone WHERE ID=?").arg(column), {id}).toString();
    };
    click(s, "cmdEditDiamond");
    type(s, "txtSellPriceLocal2", "2,500");
    e.prompt.clear();
    click(s, "cmdUpdate");
    QVERIFY2(e.prompt.messages().join('\n').contains("The Sell 2 CDN price \"2,500\" cannot be taken")
                 && e.prompt.messages().join('\n').contains("exchange rate to CDN is not known"),
             qPrintable(e.prompt.messages().join('\n')));
    QVERIFY(e.value("SELECT SellPriceUS2 FROM SingleStone WHERE ID=?", {id}).isNull());
    ctl<QLineEdit>(s, "txtSellPriceLocal2")->clear();

    type(s, "txtSellPrice", "-100");
    e.prompt.clear();
    click(s, "cmdUpdate");
    QVERIFY2(e.prompt.messages().join('\n').contains("The Sell 1 price must be more than 0"),
             qPrintable(e.prompt.messages().join('\n')));
    QCOMPARE(stored("SellPriceUS"), QString("3535.0000"));

    type(s, "txtSellOffRap", "-30");
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceCT")->text(), QString("6500.00"));
    e.prompt.clear();
    e.prompt.answer(false);
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.texts(PromptEvent::Ask).value(0).section('\n', 0, 0),
             QString("Sell 1: 30 % above the list price?"));
    QCOMPARE(stored("SellPriceUS"), QString("3535.0000"));
    e.prompt.clear();
    e.prompt.answer(true);
    click(s, "cmdUpdate");
    QCOMPARE(stored("SellPriceUS"), QString("6565.0000"));
    QCOMPARE(stored("SellOffRap"), QString("-30.00000"));
}

// With the price held ("hold price"), a new weight moves the tiers the
// dealer filled and leaves the others empty, also when saved.
void TestDiamondDetail::emptyTiersStayEmpty()
{
    StoneEnv e;
    const qint64 id = e.stone("H1");
    db::exec(e.t.db(), "UPDATE SingleStone SET LockPercent=0, SellPriceUS2=3000, SellOffRap2=NULL WHERE ID=?", {id});
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    click(s, "cmdEditDiamond");
    type(s, "txtWeight", "1.50");
    for (const char *empty : {"txtSellOffRap3", "txtSellPriceCT3", "txtSellPrice3", "txtSellPriceLocal3",
                              "txtSellOffRapLX", "txtSellPriceLX"})
        QVERIFY2(ctl<QLineEdit>(s, empty)->text().isEmpty(), empty);
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceCT2")->text(), QString("2000.00"));
    e.prompt.answers({true, true, true, true});
    click(s, "cmdUpdate");
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND Carat=1.5 AND SellPriceUS3 IS NULL AND "
                     "SellOffRap3 IS NULL AND SellPriceUSlx IS NULL AND SellOffRapLX IS NULL AND SellPriceUS2=3000",
                     {id}),
             1);
}

void TestDiamondDetail::referenceShownBySettings()
{
    for (const bool show : {true, false}) {
        StoneEnv e;
        e.ctx.settings.ShowReferenceNumber = show;
        const qint64 c = e.customer("Ref Customer");
        const qint64 sheet =
            db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID, Reference) VALUES (NOW(), ?, 'REF-77')", {c});
        const qint64 id = e.stone("M1", "Memo", c);
        db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID=? WHERE ID=?", {sheet, id});
        frmDiamondDetail s(e.ctx);
        startUp(s);
        s.loadStone(int(id));
        QCOMPARE(ctl<QLabel>(s, "lblMEMOid")->text(), QString::number(sheet));
        QCOMPARE(ctl<QLabel>(s, "lblMEMOid")->toolTip(), show ? QString("Reference# REF-77") : QString());
    }
}

void TestDiamondDetail::cancelledAddStays()
{
    StoneEnv e;
    e.ctx.settings.AutoSku = true;
    e.ctx.settings.SKURound = "RB";
    frmDiamondDetail s(e.ctx);
    startUp(s);
    const int rowsBefore = e.count("SELECT COUNT(*) FROM SingleStone");
    click(s, "cmdAddDiamond");
    choose(s, "cboShape", "Round Brilliant [BR]");
    QCOMPARE(ctl<QLineEdit>(s, "txtSKU")->text(), QString("RB......"));
    type(s, "txtWeight", "0.5");
    click(s, "cmdCancel");
    QCOMPARE(s.editState().mode, stones::EditState::Displayed);
    QVERIFY(ctl<QLineEdit>(s, "txtSKU")->isReadOnly());
    QCOMPARE(ctl<QLineEdit>(s, "txtSKU")->text(), QString());
    QCOMPARE(ctl<QLineEdit>(s, "txtWeight")->text(), QString());
    // A cancelled Add leaves no row behind.
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), rowsBefore);
    // editing with nothing loaded
    s.loadStone(0);
    QVERIFY(!ctl<QPushButton>(s, "cmdEditDiamond")->isEnabled());
    s.editDiamond();
    QCOMPARE(e.prompt.messages(), QStringList{"Stone Editing: No Stone is selected!"});
}

namespace {
QStringList comboItems(QWidget &s, const char *name)
{
    QStringList out;
    QComboBox *c = ctl<QComboBox>(s, name);
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}
} // namespace

void TestDiamondDetail::wordLists_data()
{
    QTest::addColumn<bool>("secondConnection");
    QTest::newRow("read on a connection of their own") << true;
    QTest::newRow("no second connection: read on the screen's") << false;
}

void TestDiamondDetail::wordLists()
{
    QFETCH(bool, secondConnection);
    StoneEnv e;
    if (!secondConnection)
        e.ctx.connection.socket = e.dir.filePath("nowhere.sock");
    db::exec(e.t.db(), "INSERT INTO SingleStone (SKU, Cut, Laboratory, Lot, Culet) VALUES ('W1', 'VG', 'HRD', 'Lot, 7', NULL), "
                       "('W2', 'EX', 'GIA', NULL, NULL), ('W3', NULL, 'GIA', 'A', NULL), ('W4', 'EX', NULL, 'A', NULL)");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    auto items = [&](const char *name) { return comboItems(s, name); };
    // filled once the screen is up
    QTRY_COMPARE(items("cboCut"), QStringList({"EX", "VG"}));
    QCOMPARE(items("cboLaboratory"), QStringList({"GIA", "HRD"}));
    QCOMPARE(items("cboLot"), QStringList({"A", "Lot, 7"}));
    QCOMPARE(items("cboCulet"), QStringList{});
    QCOMPARE(items("cboShape").first(), QString("Round Brilliant [BR]"));
    QCOMPARE(items("cboClarity").at(1), QString("4 - IF"));
    // a word another workstation wrote comes with the next refresh; the
    // stone shown keeps its words
    const qint64 id = e.stone("W6");
    s.loadStone(int(id));
    QCOMPARE(ctl<QComboBox>(s, "cboLaboratory")->currentText(), QString("GIA"));
    db::exec(e.t.secondConnection(), "INSERT INTO SingleStone (SKU, Cut) VALUES ('W5', 'GD')");
    s.PopulateCBOsModule();
    QTRY_COMPARE(items("cboCut"), QStringList({"EX", "GD", "VG"}));
    QCOMPARE(ctl<QComboBox>(s, "cboLaboratory")->currentText(), QString("GIA"));
}

void TestDiamondDetail::wordListsStopWithTheScreen()
{
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO SingleStone (SKU, Laboratory) VALUES ('W1', 'GIA')");
    auto s = std::make_unique<frmDiamondDetail>(e.ctx);
    startUp(*s);
    QTRY_COMPARE(comboItems(*s, "cboLaboratory"), QStringList{"GIA"});
    // Another workstation holds the stone table: the next read waits for it.
    QSqlDatabase other = e.t.secondConnection("lock");
    const qint64 holder = db::scalar(other, "SELECT CONNECTION_ID()").toLongLong();
    db::exec(other, "LOCK TABLES SingleStone WRITE");
    s->PopulateCBOsModule();
    const QString waiting = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT GROUP_CONCAT%'";
    QTRY_COMPARE(db::scalar(e.t.db(), waiting).toInt(), 1);
    // Should the read not be stopped, the lock goes after 20 s so that the
    // test fails rather than hangs.
    std::atomic<bool> done{false};
    const db::ConnectionSettings settings = e.t.settings();
    std::thread watchdog([settings, holder, &done] {
        for (int i = 0; i < 400 && !done; ++i)
            QThread::msleep(50);
        if (done)
            return;
        const QString name = "watchdog";
        {
            QSqlDatabase d = db::openConnection(settings, name, false);
            db::exec(d, QString("KILL %1").arg(holder));
        }
        QSqlDatabase::removeDatabase(name);
    });
    QElapsedTimer closing;
    closing.start();
    s.reset();
    const qint64 took = closing.elapsed();
    done = true;
    watchdog.join();
    QSqlQuery(other).exec("UNLOCK TABLES"); // gone with its connection when the watchdog struck
    const int reads = db::scalar(e.t.db(), waiting).toInt();
    QVERIFY2(took < 5000, qPrintable(QString("the screen took %1 ms to go").arg(took)));
    QCOMPARE(reads, 0);
}

void TestDiamondDetail::priceWindow()
{
    StoneEnv e;
    e.ctx.exchangeRateCDN = 1.3;
    e.ctx.user.ViewCost = true; // the bought prices are shown to those who may see costs
    stones::StoneForm f;
    f.Carat = "0.5";
    f.setPrice(stones::StonePriceModel::BoughtPriceUS, "1000.00");
    f.setPrice(stones::StonePriceModel::SellPrice, "2000.00");
    f.boughtRateCDN = 1.25;
    ui::frmDiamondDetailPrices w(e.ctx, f);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(ctl<QLineEdit>(w, "txtCDN")->text(), QString("1.3"));
    QCOMPARE(ctl<QLineEdit>(w, "txtCDNbought")->text(), QString("1.25"));
    QCOMPARE(ctl<QLineEdit>(w, "txtZARbought")->text(), QString("???"));
    QCOMPARE(ctl<QLineEdit>(w, "txtSellPriceLocal")->text(), QString("2600.00"));
    QCOMPARE(ctl<QLineEdit>(w, "txtBoughtPriceLocal")->text(), QString("1250.00"));
    type(w, "txtBoughtPriceUS", "1200");
    QCOMPARE(ctl<QLineEdit>(w, "txtBoughtPriceLocal")->text(), QString("1500.00"));
    QCOMPARE(w.model().marker(), QString("ex"));
    // leaving the US field fixes it: a local amount typed next moves the rate
    ctl<QLineEdit>(w, "txtBoughtPriceUS")->setFocus();
    ctl<QLineEdit>(w, "txtBoughtPriceLocal")->setFocus();
    QTRY_COMPARE(w.model().marker(), QString("us"));
    type(w, "txtBoughtPriceLocal", "1560");
    QCOMPARE(ctl<QLineEdit>(w, "txtCDNbought")->text(), QString("1.3"));
    QCOMPARE(w.model().boughtRateCDN(), 1.3);
}

void TestDiamondDetail::everyNamedControl()
{
    StoneEnv e;
    frmDiamondDetail s(e.ctx);
    const QStringList names = {
        // the record
        "txtID", "txtSKU", "imgAuto", "cboLot", "txtCode", "txtLocation", "txtDescription", "txtComment", "dtDate",
        "cboShape", "txtWeight", "cboColour", "cboClarity", "cboCut", "cboFlourescence", "cboFancyColour",
        "cboFinishPolish", "cboFinishSymetry", "cboGirdle", "cboCulet", "cboLaboratory", "txtCertificate",
        "txtInscription1", "txtInscription2", "txtDim1", "txtDim2", "txtDim3", "txtTableSize", "txtTotalDepth",
        "txtCrownHeight", "txtPavillionDepth", "txtCrownAngle", "txtPavillionAngle", "txtGirdleDimension",
        "chkCanadian", "chkLabGrown", "chkFinished", "chkMEMOhere", "chkPublishPriceOnLustrabay",
        "chkPublishOnLustrabay", "chkPublishPriceOnLustrabayLocal", "chkPublishOnLustrabayLocal", "cmdAddDiamond",
        "cmdEditDiamond", "cmdUpdate", "cmdCancel", "cmdDelete",
        // prices
        "txtOriginalRapPrice", "txtOriginalRapPriceUS", "txtOriginalBuyOffRap", "txtBoughtPriceUSCT",
        "txtBoughtPriceUS", "txtLatestRapPrice", "txtUSRap", "txtSellOffRap", "txtSellPriceCT", "txtSellPrice",
        "txtSellOffRapLX", "txtSellPriceCTLX", "txtSellPriceLX", "txtSellOffRap2", "txtSellPriceCT2", "txtSellPrice2",
        "txtSellPriceLocalCT2", "txtSellPriceLocal2", "txtSellOffRap3", "txtSellPriceCT3", "txtSellPrice3",
        "txtSellPriceLocalCT3", "txtSellPriceLocal3", "optLockPercent", "optLockDollar", "optLockPercentLX",
        "optLockDollarLX", "optBuyInUS", "optBuyInLocal", "imgBuyInUS", "imgBuyInLocal", "txtBuyOffRap",
        // status and parties
        "txtStatus", "cmdSold", "cmdReturn", "cmdReturnVendor", "imgSafe", "imgDiaStock", "imgDiaMemo1", "imgDiaMemo2",
        "cmdConsignedTo", "cboConsignedTo", "cboOnHoldFor", "cmdEditHold", "dtOnHoldDate", "txtOnHoldNote",
        "cboConsignmentInCustomer", "cboSupplier", "cmdNewPaymentMade", "cmdNewPayment", "cmdNewMemo", "cmdLoadMemo",
        "cmdMergeWithItem", "cmdViewBoundItem", "imgMemo", "lblMEMOid", "lblMemoIDIS", "cmdPrintLabel", "imgGetRAP1",
        "imgGetRAP2", "mnuRapPriceSheet", "mnuDownloadAndUpgrade", "cmdGetGIA", "cmdSearch", "optPaidOffUS",
        "optPaidOffUSPercentage", "optPaidOffLocal", "optPaidOffLocalPercentage", "txtStatusCustomerID", "txtCustomer",
        "txtConsignedTo", "txtOnHoldForCustomerID", "txtConsignmentInCustomer", "txtSupplier",
        // start-up, rights and scanner
        "txtItemID", "mnuConfiguration", "mnuLogOn", "cmdLogOff", "lblBuyOffRap", "lblOriginalBuyOffRap",
        "lblBoughtPriceUSCT", "lblCode"};
    QStringList missing;
    for (const QString &n : names)
        if (!s.findChild<QObject *>(n))
            missing << n;
    QCOMPARE(missing, QStringList{});
}

void TestDiamondDetail::opensOtherScreensThroughTheContext()
{
    StoneEnv e;
    velmor::test::RecordingScreens screens;
    screens.installed = {Screen::PriceSheet};
    e.ctx.setScreens(&screens);
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.findChild<QAction *>("mnuRapPriceSheet")->trigger();
    QCOMPARE(screens.asked, QStringList{"openPriceSheet"});
    e.ctx.setScreens(nullptr);
}

QTEST_MAIN(TestDiamondDetail)
#include "tst_diamonddetail.moc"
