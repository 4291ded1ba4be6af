// Screens that save hold their right: nobody logged in, a log-off and a
// failed login each close the screen (the rep screen, which anybody may
// look at, turns read-only instead), and a save reached after the right went
// writes nothing.  An administrator's save of the same edit does write,
// so each row proves its edit is one that would be stored.
//
// Every command that changes the books (the stone screen's, the sell
// dialog's, the parcel, memo, customer and invoice screens') is refused with
// nobody logged in, after a log-off and for a user without its right, with
// not one row of the database changed; a user with the right changes it.
//
// The command line's writes hold the same rights: without --user, for a
// user without the right and with a wrong password each is refused in words
// (non-zero exit, every table as it was); the user with the right writes.
#include "TestDb.h"
#include "TestUsers.h"
#include "ScriptedPrompt.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/frmConfigMenu.h"
#include "core/frmConfigUsers.h"
#include "core/frmConfiguration.h"
#include "customers/frmRep.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "invoices/frmSalesDisclaimer.h"
#include "memos/frmMEMOsetup.h"
#include "pricing/frmConfigD_Range.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigQs.h"
#include "pricing/frmShapes.h"
#include "printing/frmConfigLabelPrinter.h"
#include "printing/frmConfigPrinter.h"
#include "customers/frmCustomer.h"
#include "invoices/frmDiamondSell.h"
#include "invoices/frmInvoiceADD.h"
#include "invoices/frmInvoiceEdit.h"
#include "memos/frmMemoAddNewDiamondToIt.h"
#include "parcels/ParcelRecord.h"
#include "parcels/frmAddParcel.h"
#include "parcels/frmMemoParcelRemove.h"
#include "parcels/frmMemoParcelSheet.h"
#include "parcels/frmParcel.h"
#include "parcels/frmParcelAdd.h"
#include "parcels/frmParcelPutOnMemo.h"
#include "parcels/frmSplitOlderParcel.h"
#include "parcels/frmSplitParcel.h"
#include "shell/CliDispatch.h"
#include "stones/OlderParcelView.h"
#include "stones/frmDiamondDetail.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QSqlQuery>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;
using namespace velmor::test;

namespace {

const QString kNoPermission =
    QStringLiteral("Authorization Failure: No Permission, please login or contact the System Administrator!");

struct Env {
    QTemporaryDir dir;
    TestDb t;
    ScriptedPrompt prompt;
    AppContext ctx{Workstation(dir.path(), dir.path() + QStringLiteral("/program")), t.settings(), &prompt};
    Env()
    {
        ctx.adopt(t.db());
        addAdministrator(t.db());
    }
    QString sql(const QString &query) const { return db::scalar(t.db(), query).toString(); }
    QString file(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("(none)");
    }
    bool logIn(const QString &password) { return logOn(ctx, kAdminName, password); }
};

template <class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// One screen that saves: how it is made, edited and saved, and what it stores.
struct SavingScreen {
    const char *name;
    std::function<QWidget *(Env &)> make;
    std::function<void(QWidget *)> edit;
    std::function<void(QWidget *)> save;
    std::function<QString(Env &)> stored;
    // Empty for a screen that closes when its right goes; else tells that
    // the screen turned read-only.
    std::function<bool(QWidget *)> readOnly = {};
};

void click(QWidget *w, const char *button)
{
    // Emitted, not clicked: a command reached after the screen was disabled.
    emit child<QAbstractButton>(w, button)->clicked();
}

const std::vector<SavingScreen> &screens()
{
    static const std::vector<SavingScreen> list = {
        {"shape words", [](Env &e) -> QWidget * { return new pricing::frmShapes(e.ctx); },
         [](QWidget *w) { child<QTableWidget>(w, "Flex")->setItem(0, 0, new QTableWidgetItem(QStringLiteral("RBX"))); },
         [](QWidget *w) { static_cast<pricing::frmShapes *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(master ORDER BY ID) FROM shapewords")); }},
        {"laboratory words", [](Env &e) -> QWidget * { return new pricing::frmLabs(e.ctx); },
         [](QWidget *w) { child<QTableWidget>(w, "Flex")->setItem(0, 0, new QTableWidgetItem(QStringLiteral("XLAB"))); },
         [](QWidget *w) { static_cast<pricing::frmLabs *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(master ORDER BY ID) FROM labwords")); }},
        {"quality classes", [](Env &e) -> QWidget * { return new pricing::frmConfigQs(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtClass")->setText(QStringLiteral("Z9")); },
         [](QWidget *w) { static_cast<pricing::frmConfigQs *>(w)->update(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(Class ORDER BY ID) FROM Qs")); }},
        {"diameter ranges", [](Env &e) -> QWidget * { return new pricing::frmConfigD_Range(e.ctx); },
         [](QWidget *w) {
             child<QLineEdit>(w, "txtClass")->setText(QStringLiteral("Z9"));
             child<QLineEdit>(w, "txtCaratLow")->setText(QStringLiteral("0.10"));
             child<QLineEdit>(w, "txtCaratHigh")->setText(QStringLiteral("0.20"));
         },
         [](QWidget *w) { static_cast<pricing::frmConfigD_Range *>(w)->update(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(Class ORDER BY ID) FROM DRange")); }},
        {"exchange rate", [](Env &e) -> QWidget * { return new pricing::frmConfigExchangeRate(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtExchangeRate")->setText(QStringLiteral("2.5")); },
         [](QWidget *w) { static_cast<pricing::frmConfigExchangeRate *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT CONCAT_WS('|', ExchangeRate, PlatinumRate) FROM Config")); }},
        {"label printer", [](Env &e) -> QWidget * { return new printing::frmConfigLabelPrinter(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtLeftOffset")->setText(QStringLiteral("7")); },
         [](QWidget *w) { static_cast<printing::frmConfigLabelPrinter *>(w)->save(); },
         [](Env &e) { return e.file(e.ctx.workstation.path(QStringLiteral("labelprinter.ini"))); }},
        {"printers", [](Env &e) -> QWidget * { return new printing::frmConfigPrinter(e.ctx); },
         [](QWidget *) {},
         [](QWidget *w) { static_cast<printing::frmConfigPrinter *>(w)->ok(); },
         [](Env &e) { return e.file(e.ctx.workstation.programPath(QStringLiteral("printers.ini"))); }},
        {"memo set-up", [](Env &e) -> QWidget * { return new ui::frmMEMOsetup(e.ctx); },
         [](QWidget *w) {
             auto *c = child<QCheckBox>(w, "chkUSdollar");
             c->setChecked(!c->isChecked());
         },
         [](QWidget *w) { static_cast<ui::frmMEMOsetup *>(w)->save(); },
         [](Env &e) { return e.file(e.ctx.workstation.path(QStringLiteral("memosheetsetup.txt"))); }},
        {"memo disclaimer", [](Env &e) -> QWidget * { return new ui::frmMemoDisclaimer(e.ctx); },
         [](QWidget *w) { child<QPlainTextEdit>(w, "txtDisclaimer")->setPlainText(QStringLiteral("Ours until paid.")); },
         [](QWidget *w) { static_cast<ui::frmMemoDisclaimer *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT MemoDisclaimer FROM Config")); }},
        {"sales disclaimer", [](Env &e) -> QWidget * { return new invoices::frmSalesDisclaimer(e.ctx); },
         [](QWidget *w) {
             child<QPlainTextEdit>(w, "txtSalesDisclaimer")->setPlainText(QStringLiteral("No returns."));
         },
         [](QWidget *w) { static_cast<invoices::frmSalesDisclaimer *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT SalesDisclaimer FROM Config")); }},
        {"configuration", [](Env &e) -> QWidget * { return new ui::frmConfiguration(e.ctx); },
         [](QWidget *w) { child<QLineEdit>(w, "txtCompanyName")->setText(QStringLiteral("Other & Co")); },
         [](QWidget *w) { static_cast<ui::frmConfiguration *>(w)->save(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT CompanyName FROM Config")); }},
        {"settings menu", [](Env &e) -> QWidget * { return new ui::frmConfigMenu(e.ctx, nullptr); },
         [](QWidget *w) {
             auto *c = child<QCheckBox>(w, "chkLabelQuill");
             c->setChecked(!c->isChecked());
         },
         [](QWidget *w) { click(w, "Image2"); },
         [](Env &e) { return e.file(e.ctx.workstation.path(QStringLiteral("chklabelquill.txt"))); }},
        {"users", [](Env &e) -> QWidget * { return new ui::frmConfigUsers(e.ctx); },
         [](QWidget *w) {
             click(w, "cmdEditDiamond");
             child<QLineEdit>(w, "txtFirstName")->setText(QStringLiteral("Changed"));
         },
         [](QWidget *w) { click(w, "cmdUpdate"); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT GROUP_CONCAT(FirstName ORDER BY ID) FROM user")); }},
        {"rep", [](Env &e) -> QWidget * { return new ui::frmRep(e.ctx); },
         [](QWidget *w) {
             auto *rep = static_cast<ui::frmRep *>(w);
             if (!rep->busy())
                 rep->addRep();
             child<QLineEdit>(w, "txtCompanyName")->setText(QStringLiteral("Rep & Sons"));
         },
         [](QWidget *w) { static_cast<ui::frmRep *>(w)->update(); },
         [](Env &e) { return e.sql(QStringLiteral("SELECT COUNT(*) FROM Rep")); },
         [](QWidget *w) {
             return child<QLineEdit>(w, "txtCompanyName")->isReadOnly()
                 && !child<QPushButton>(w, "cmdUpdate")->isEnabled();
         }},
    };
    return list;
}

enum class Way { Administrator, Nobody, LogOff, FailedLogin };

} // namespace

Q_DECLARE_METATYPE(Way)

class TestScreenRights : public QObject {
    Q_OBJECT
private slots:
    void rightHeldAtTheScreen_data();
    void rightHeldAtTheScreen();
    void everyWriteHoldsItsRight_data();
    void everyWriteHoldsItsRight();
    void commandLineWritesNameTheirUser();
};

void TestScreenRights::rightHeldAtTheScreen_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<Way>("way");
    for (int i = 0; i < int(screens().size()); ++i) {
        const char *n = screens()[i].name;
        QTest::addRow("%s, administrator saves", n) << i << Way::Administrator;
        QTest::addRow("%s, nobody logged in", n) << i << Way::Nobody;
        QTest::addRow("%s, after a log-off", n) << i << Way::LogOff;
        QTest::addRow("%s, after a failed login", n) << i << Way::FailedLogin;
    }
}

void TestScreenRights::rightHeldAtTheScreen()
{
    QFETCH(int, screen);
    QFETCH(Way, way);
    const SavingScreen &s = screens()[screen];
    Env e;
    const QString before = s.stored(e);
    if (way != Way::Nobody)
        QVERIFY(e.logIn(kAdminPassword));
    std::unique_ptr<QWidget> w(s.make(e));
    w->show();
    QCoreApplication::processEvents();

    if (way == Way::Administrator) {
        QVERIFY(w->isVisible());
        s.edit(w.get());
        s.save(w.get());
        QVERIFY2(!e.prompt.messages().contains(kNoPermission), qPrintable(e.prompt.messages().join('|')));
        QVERIFY2(s.stored(e) != before, qPrintable(before));
        return;
    }
    if (way == Way::Nobody) {
        QCOMPARE(e.prompt.messages(), s.readOnly ? QStringList() : QStringList{kNoPermission});
    } else {
        QVERIFY(w->isVisible());
        s.edit(w.get());
        if (way == Way::LogOff)
            ResetUserRightsModule(e.ctx);
        else
            QVERIFY(!e.logIn(QStringLiteral("wrong")));
    }
    // The screen goes (or turns read-only), and a save that still reaches it
    // writes nothing.
    if (s.readOnly) {
        QVERIFY(w->isVisible());
        QTRY_VERIFY(s.readOnly(w.get()));
    } else {
        QTRY_VERIFY(!w->isVisible());
    }
    e.prompt.clear();
    s.edit(w.get());
    s.save(w.get());
    QVERIFY(e.prompt.messages().contains(kNoPermission));
    QCOMPARE(s.stored(e), before);
}

namespace {

// Every table's checksum: what "nothing written" is measured by.
QString fingerprint(const QSqlDatabase &db)
{
    QStringList tables;
    QSqlQuery t = db::exec(db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                                              "TABLE_SCHEMA = DATABASE() AND TABLE_TYPE = 'BASE TABLE' ORDER BY 1"));
    while (t.next())
        tables << QLatin1Char('`') + t.value(0).toString() + QLatin1Char('`');
    QSqlQuery q = db::exec(db, QStringLiteral("CHECKSUM TABLE ") + tables.join(QStringLiteral(", ")));
    QStringList out;
    while (q.next())
        out << q.value(0).toString() + QLatin1Char('=') + q.value(1).toString();
    return out.join(QLatin1Char(' '));
}

// The rows the commands work on.
struct Books {
    qint64 customer = 0, supplier = 0, stock = 0, sold = 0, returned = 0, memo = 0, sheet = 0, parcel = 0,
           parcelMemo = 0, older = 0, invoice = 0, line = 0, item = 0;
};

Books writeBooks(const QSqlDatabase &db)
{
    Books b;
    b.customer = db::insert(db, "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('Walk Buyer', -1, 0)");
    b.supplier = db::insert(db, "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('Walk Supply', 0, -1)");
    db::exec(db, "UPDATE Customer SET InvoiceToID = ID");
    auto stone = [&](const char *sku, const char *status, const QVariant &customer) {
        return db::insert(db,
                          "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, Certificate, "
                          "RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, CustomerID, Canadian) VALUES "
                          "(?, 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', ?, 5000, 30, 3535, -1, ?, ?, 0)",
                          {sku, QStringLiteral("C") + QLatin1String(sku), status, customer});
    };
    b.stock = stone("WS1", "Stock", QVariant());
    b.sold = stone("WS2", "Sold", b.customer);
    b.returned = stone("WS3", "returned", QVariant());
    b.sheet = db::insert(db, "INSERT INTO memosheet (Date, CustomerID, closed) VALUES (NOW(), ?, 0)", {b.customer});
    b.memo = stone("WS4", "Memo", b.customer);
    db::exec(db, "UPDATE SingleStone SET MemoSheetID = ?, MemoUS = 3000 WHERE ID = ?", {b.sheet, b.memo});
    db::exec(db, "INSERT INTO Memo (setdate, CustomerID, DiamondID, Quantity, MemoSheetID) VALUES (NOW(), ?, ?, 1, ?)",
             {b.customer, b.memo, b.sheet});
    b.item = 5;
    b.parcel = db::insert(db, "INSERT INTO parcel (SKU, Shape, Carat, CaratLow, CaratHigh, ColourLow, ColourHigh, "
                              "ClarityLow, ClarityHigh, SellPerCarat) VALUES ('WP1', 'Pear [PS]', 10, 0.1, 0.2, 20, "
                              "40, 30, 50, 400)");
    db::exec(db, "INSERT INTO parceladd (parcelid, Carat, userid, supplierid, costusct, date) VALUES (?, 12, 1, ?, 200, "
                 "NOW())",
             {b.parcel, b.supplier});
    b.parcelMemo = db::insert(db, "INSERT INTO memoparcel (Date, CustomerID, closed) VALUES (NOW(), ?, 0)", {b.customer});
    db::exec(db, "INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, pricecarat, exchangerateCDN, "
                 "exchangerateZAR, date) VALUES (?, ?, 2, 'memo-out', 400, 1.25, 14, NOW())",
             {b.parcelMemo, b.parcel});
    b.older = db::insert(db, "INSERT INTO ParcelStock (SKU, Shape, Carat, Quantity, CaratLow, CaratHigh, ColourLow, "
                             "ColourHigh, ClarityLow, ClarityHigh, CostUSPerCarat, PriceUSPerCarat, DMarkup) VALUES "
                             "('WO1', 'Oval', 10, 50, 0.1, 0.2, 40, 60, 30, 50, 200, 300, 1.5)");
    b.invoice = db::insert(db, "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), 'open')",
                           {b.customer});
    b.line = db::insert(db, "INSERT INTO invoicelist (invoiceid, diamondid, carat, dateadded, pricecarat, "
                            "exchangerateCDN, exchangerateZAR, taxrate, details) VALUES (?, ?, 1.01, NOW(), 3500, "
                            "1.25, 14, 0, 'line')",
                        {b.invoice, b.sold});
    return b;
}

void choose(QComboBox *c, const QString &startsWith)
{
    const int i = c->findText(startsWith, Qt::MatchStartsWith);
    if (i < 0)
        qFatal("no entry %s", qPrintable(startsWith));
    c->setCurrentIndex(i);
}
void type(QWidget *screen, const char *name, const QString &text) { child<QLineEdit>(screen, name)->setText(text); }

ui::frmDiamondDetail *stoneScreen(Env &e, qint64 id)
{
    auto *s = new ui::frmDiamondDetail(e.ctx);
    s->certificateLookup = nullptr;
    s->show();
    QTest::qWaitFor([s] { return s->startUpDone(); }, 5000);
    if (id)
        s->loadStone(int(id));
    return s;
}

// One command that changes the books: the screen as the user has it just
// before (`open` goes as far as the logged-in user may), the command itself
// (`act`, reached even when its control is off) and the control that offers it.
struct WriteCommand {
    const char *name;
    QString right;
    const char *control;
    std::function<QWidget *(Env &, const Books &)> open;
    std::function<void(Env &, QWidget *)> act;
    bool writesWithTheRight = true; // false: the command asks first and the walk answers No
};

QWidget *controlOf(QWidget *w, const char *name)
{
    if (auto *c = w->findChild<QWidget *>(QString::fromLatin1(name)))
        return c;
    return nullptr;
}
bool controlOff(QWidget *w, const char *name)
{
    if (auto *a = w->findChild<QAction *>(QString::fromLatin1(name)))
        return !a->isEnabled();
    QWidget *c = controlOf(w, name);
    return c && !c->isEnabled();
}

const std::vector<WriteCommand> &writeCommands()
{
    using Stone = ui::frmDiamondDetail;
    static const std::vector<WriteCommand> list = {
        {"stone: add and save", "AllowDiamond2Create", "cmdUpdate",
         [](Env &e, const Books &) -> QWidget * {
             auto *s = stoneScreen(e, 0);
             s->addDiamond();
             type(s, "txtSKU", "WNEW");
             child<QComboBox>(s, "cboShape")->setEditText("Pear [PS]");
             type(s, "txtWeight", "0.5");
             type(s, "txtSellOffRap", "20");
             return s;
         },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->update(); }},
        {"stone: edit and save", "AllowEdit", "cmdUpdate",
         [](Env &e, const Books &b) -> QWidget * {
             auto *s = stoneScreen(e, b.stock);
             s->editDiamond();
             type(s, "txtLocation", "Safe 9");
             return s;
         },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->update(); }},
        {"stone: delete", "AllowDelete", "cmdDelete",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.stock); },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->deleteDiamond(); }},
        {"stone: sell (sell dialog)", "AllowEdit", "imgSell",
         [](Env &e, const Books &b) -> QWidget * {
             auto *d = new invoices::frmDiamondSell(e.ctx, b.stock);
             choose(d->cboCust, QStringLiteral("Walk Buyer"));
             return d;
         },
         [](Env &, QWidget *w) { static_cast<invoices::frmDiamondSell *>(w)->sell(); }},
        {"stone: return into stock", "AllowEdit", "cmdReturn",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.sold); },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->returnFromCustomer(); }},
        {"stone: return to the vendor", "AllowEdit", "cmdReturnVendor",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.stock); },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->vendor(); }},
        {"stone: receive from the vendor", "AllowEdit", "cmdReturnVendor",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.returned); },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->vendor(); }},
        {"stone: back from memo (dropped on the safe)", "AllowMemoAssigning", "imgSafe",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.memo); },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->dropOnSafe(); }},
        {"stone: hold for a customer", "AllowEdit", "cboOnHoldFor",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.stock); },
         [](Env &e, QWidget *w) {
             Q_UNUSED(e);
             auto *c = child<QComboBox>(w, "cboOnHoldFor");
             c->setCurrentIndex(c->findText(QStringLiteral("Walk Buyer"), Qt::MatchStartsWith));
             emit c->activated(c->currentIndex());
         }},
        {"stone: note of the hold", "AllowEdit", "cmdEditHold",
         [](Env &e, const Books &b) -> QWidget * {
             auto *s = stoneScreen(e, b.stock);
             s->editHold();
             type(s, "txtOnHoldNote", "until Friday");
             return s;
         },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->editHold(); }},
        {"stone: supplier", "AllowEdit", "cboSupplier",
         [](Env &e, const Books &b) -> QWidget * { return stoneScreen(e, b.stock); },
         [](Env &e, QWidget *w) {
             Q_UNUSED(e);
             auto *c = child<QComboBox>(w, "cboSupplier");
             c->setCurrentIndex(c->findText(QStringLiteral(" - Walk Supply"), Qt::MatchContains));
             emit c->activated(c->currentIndex());
         }},
        {"stone: consignment in", "AllowEdit", "cboConsignmentInCustomer",
         [](Env &e, const Books &b) -> QWidget * {
             auto *s = stoneScreen(e, b.stock);
             s->editDiamond();
             return s;
         },
         [](Env &e, QWidget *w) {
             Q_UNUSED(e);
             auto *c = child<QComboBox>(w, "cboConsignmentInCustomer");
             c->setCurrentIndex(c->findText(QStringLiteral(" - Walk Supply"), Qt::MatchContains));
             emit c->activated(c->currentIndex());
         }},
        {"stone: bind into an item", "AllowEdit", "cmdMergeWithItem",
         [](Env &e, const Books &b) -> QWidget * {
             auto *s = stoneScreen(e, b.stock);
             type(s, "txtMergeItemID", QString::number(b.item));
             return s;
         },
         [](Env &, QWidget *w) { static_cast<Stone *>(w)->mergeWithItem(); }},
        {"grid: download and re-price", "AllowEdit", "mnuDownloadAndUpgrade",
         [](Env &e, const Books &) -> QWidget * { return stoneScreen(e, 0); },
         [](Env &, QWidget *w) { w->findChild<QAction *>(QStringLiteral("mnuDownloadAndUpgrade"))->trigger(); },
         false},
        {"parcel: add and save", "AllowDiamond1Create", "cmdUpdate",
         [](Env &e, const Books &) -> QWidget * {
             auto *p = new ui::frmParcel(e.ctx);
             p->addParcel();
             type(p, "txtSKU", "WPNEW");
             type(p, "txtCarat", "3");
             return p;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmParcel *>(w)->update(); }},
        {"parcel: edit and save", "AllowRestockParcel", "cmdUpdate",
         [](Env &e, const Books &b) -> QWidget * {
             auto *p = new ui::frmParcel(e.ctx);
             p->loadParcel(b.parcel);
             p->editParcel();
             type(p, "txtComment", "checked");
             return p;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmParcel *>(w)->update(); }},
        {"parcel: receive stock", "AllowRestockParcel", "cmdFill",
         [](Env &e, const Books &b) -> QWidget * {
             auto *r = new ui::frmParcelAdd(e.ctx, b.parcel);
             choose(child<QComboBox>(r, "cboSupplier"), QStringLiteral("Walk Supply"));
             type(r, "txtCarat", "2");
             type(r, "txtUS", "150");
             return r;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmParcelAdd *>(w)->fill(); }},
        {"parcel: split", "AllowRestockParcel", "cmdUpdate",
         [](Env &e, const Books &b) -> QWidget * {
             auto *sp = new ui::frmSplitParcel(e.ctx, *parcels::loadParcel(e.t.db(), b.parcel));
             type(sp, "txtSKUNew", "WPS1");
             type(sp, "txtCaratNew", "2");
             return sp;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmSplitParcel *>(w)->update(); }},
        {"parcel: put on memo", "AllowMemoAssigning", "cmdPutOnMemo",
         [](Env &e, const Books &b) -> QWidget * {
             auto *m = new ui::frmParcelPutOnMemo(e.ctx, b.parcel);
             choose(child<QComboBox>(m, "cboCustomer"), QStringLiteral("Walk Buyer"));
             type(m, "txtCarat", "1");
             m->setPrice(QStringLiteral("400"));
             return m;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmParcelPutOnMemo *>(w)->putOnMemo(); }},
        {"parcel memo: carats back into stock", "AllowMemoAssigning", "cmdRemove",
         [](Env &e, const Books &b) -> QWidget * {
             auto *m = new ui::frmMemoParcelSheet(e.ctx, b.parcelMemo);
             m->findChild<QTableWidget *>()->selectRow(0);
             return m;
         },
         [](Env &, QWidget *w) {
             // The carats typed in its dialog and OK (the dialog opens even
             // when the command is off: the write refuses).
             if (auto *d = static_cast<ui::frmMemoParcelSheet *>(w)->remove()) {
                 d->txtCarat->setText(QStringLiteral("1"));
                 d->accept();
             }
         }},
        {"older parcel: receipt", "AllowRestockParcel", "cmdContinue",
         [](Env &e, const Books &b) -> QWidget * {
             auto *r = new ui::frmAddParcel(e.ctx, b.older);
             choose(child<QComboBox>(r, "cboSupplier"), QStringLiteral("Walk Supply"));
             type(r, "txtInvoice", "W-7");
             type(r, "txtPricePerCarat", "100");
             type(r, "txtCarats", "1");
             type(r, "txtQuantity", "5");
             return r;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmAddParcel *>(w)->proceed(); }},
        {"older parcel: split", "AllowRestockParcel", "cmdUpdate",
         [](Env &e, const Books &b) -> QWidget * {
             auto *sp = new ui::frmSplitOlderParcel(e.ctx, *stones::readOlderParcel(e.t.db(), b.older));
             sp->neu.sku->setText(QStringLiteral("WOS1"));
             sp->neu.carat->setText(QStringLiteral("4"));
             return sp;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmSplitOlderParcel *>(w)->update(); }},
        {"customer: edit and save", "AllowCustomerEdit", "cmdUpdateChanges",
         [](Env &e, const Books &b) -> QWidget * {
             auto *c = new ui::frmCustomer(e.ctx);
             c->showCustomer(b.customer);
             c->editCustomer();
             type(c, "txtSupplierCity", "Antwerp");
             return c;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmCustomer *>(w)->updateChanges(); }},
        {"customer: new memo sheet", "AllowMemoAssigning", "cmdNewMemoSheet",
         [](Env &e, const Books &b) -> QWidget * {
             auto *c = new ui::frmCustomer(e.ctx);
             c->showCustomer(b.customer);
             return c;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmCustomer *>(w)->newMemoSheet(); }},
        {"memo: put a stone on memo", "AllowMemoAssigning", "cmdAdd",
         [](Env &e, const Books &b) -> QWidget * {
             auto *m = new ui::frmMemoAddNewDiamondToIt(e.ctx);
             m->setMemoSheet(b.sheet);
             m->reload();
             m->setSelectedStone(b.stock);
             type(m, "txtDiscount", "25");
             return m;
         },
         [](Env &, QWidget *w) { static_cast<ui::frmMemoAddNewDiamondToIt *>(w)->add(); }},
        {"invoice: add a line", "AllowInvoiceView", "Command2",
         [](Env &e, const Books &b) -> QWidget * {
             auto *a = new invoices::frmInvoiceADD(e.ctx, b.invoice);
             type(a, "txtDetails", "setting");
             type(a, "txtCarat", "1");
             type(a, "txtPricePerCarat", "120");
             return a;
         },
         [](Env &, QWidget *w) { static_cast<invoices::frmInvoiceADD *>(w)->add(); }},
        {"invoice: text of a line", "AllowInvoiceView", "cmdSave",
         [](Env &e, const Books &b) -> QWidget * {
             auto *d = new invoices::frmInvoiceEdit(e.ctx, b.line);
             d->findChild<QPlainTextEdit *>(QStringLiteral("txt"))->setPlainText(QStringLiteral("line, engraved"));
             return d;
         },
         [](Env &, QWidget *w) { static_cast<invoices::frmInvoiceEdit *>(w)->save(); }},
    };
    return list;
}

enum class Who { Nobody, LoggedOff, WithoutTheRight };

} // namespace

void TestScreenRights::everyWriteHoldsItsRight_data()
{
    QTest::addColumn<int>("command");
    for (int i = 0; i < int(writeCommands().size()); ++i)
        QTest::addRow("%s", writeCommands()[i].name) << i;
}

void TestScreenRights::everyWriteHoldsItsRight()
{
    QFETCH(int, command);
    const WriteCommand &c = writeCommands()[command];
    Env e;
    e.ctx.exchangeRateCDN = 1.25;
    e.ctx.exchangeRateZAR = 14;
    addUserWithout(e.t.db(), QStringLiteral("clerk"), QStringLiteral("pw"), {c.right});
    const Books books = writeBooks(e.t.db());
    for (Who who : {Who::Nobody, Who::LoggedOff, Who::WithoutTheRight}) {
        const char *way = who == Who::Nobody ? "nobody logged in" : who == Who::LoggedOff ? "after a log-off" : "without the right";
        ResetUserRightsModule(e.ctx);
        if (who == Who::LoggedOff)
            QVERIFY(e.logIn(kAdminPassword));
        if (who == Who::WithoutTheRight)
            QVERIFY(logOn(e.ctx, QStringLiteral("clerk"), QStringLiteral("pw")));
        std::unique_ptr<QWidget> w(c.open(e, books));
        if (who == Who::LoggedOff)
            ResetUserRightsModule(e.ctx);
        QCoreApplication::processEvents();
        const QString before = fingerprint(e.t.db());
        e.prompt.clear();
        e.prompt.answers({true, true, true, true});
        c.act(e, w.get());
        QCoreApplication::processEvents();
        QVERIFY2(fingerprint(e.t.db()) == before, way);
        // Refused in words, or not offered at all (greyed).
        const QStringList said = e.prompt.messages();
        const bool refused = said.contains(QStringLiteral("Log on: Please log on first.")) || said.contains(kNoPermission)
            || said.contains(QStringLiteral("User Authority: You have no Authority for Deleting - User Authorities "
                                            "can be granted by the Administrator in the User Configuration!"));
        QVERIFY2(refused || controlOff(w.get(), c.control), qPrintable(QString::fromLatin1(way) + ": " + said.join('|')));
        QVERIFY2(controlOff(w.get(), c.control), way);
    }
    // With the right the same command does change the books: the walk above
    // reached a real write.
    ResetUserRightsModule(e.ctx);
    QVERIFY(e.logIn(kAdminPassword));
    std::unique_ptr<QWidget> w(c.open(e, books));
    QCoreApplication::processEvents();
    const QString before = fingerprint(e.t.db());
    e.prompt.clear();
    e.prompt.answers({true, true, true, true});
    if (!c.writesWithTheRight)
        e.prompt.clear(); // the question is answered No: nothing to download here
    c.act(e, w.get());
    QCoreApplication::processEvents();
    if (c.writesWithTheRight)
        QVERIFY2(fingerprint(e.t.db()) != before, qPrintable(e.prompt.messages().join('|')));
    else
        QCOMPARE(e.prompt.texts(test::PromptEvent::Ask).size(), 1);
}

void TestScreenRights::commandLineWritesNameTheirUser()
{
    Env e;
    const Books b = writeBooks(e.t.db());
    // Something for each command to write: an overdue instalment, a price
    // grid, a customer without price class (the repair sets it).
    db::exec(e.t.db(), "INSERT INTO Config (CompanyName) SELECT 'Dealer' FROM DUAL WHERE NOT EXISTS (SELECT 1 FROM Config)");
    db::exec(e.t.db(), "UPDATE Config SET OverDue = 5");
    db::exec(e.t.db(), "INSERT INTO expectedpays (InvoiceID, DueDate, Balance) VALUES (?, '2001-01-01', 100)", {b.invoice});
    db::exec(e.t.db(), "INSERT INTO account (ID) VALUES (?)", {b.invoice});
    db::exec(e.t.db(), "UPDATE Customer SET PriceClass = NULL");
    const QString grid = e.dir.filePath(QStringLiteral("grid"));
    QDir().mkpath(grid);
    for (const char *name : {"round", "pear", "marquise", "princess"}) {
        QFile f(grid + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(qstrcmp(name, "round") == 0 ? "BR,VS1,G,1.00,1.49,10000,11/27/26\n" : "PS,VS1,G,1.00,1.49,7000,11/27/26\n");
    }
    QFile ini(e.dir.filePath(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n").arg(TestDb::socketPath(), e.t.name()).toUtf8());
    ini.close();
    addUserWithout(e.t.db(), QStringLiteral("clerk"), QStringLiteral("pw"),
                   {QStringLiteral("AllowInvoiceView"), QStringLiteral("AllowMemoAssigning"), QStringLiteral("AllowEdit"),
                    QStringLiteral("AllowPastDueView")});
    qputenv("VELMOR_HOME", e.dir.path().toUtf8());
    qunsetenv("VELMOR_USER");
    struct Ran {
        int code;
        QString err;
    };
    auto cli = [](const QStringList &args, const QString &password) {
        qputenv("VELMOR_PASSWORD", password.toUtf8());
        QString out, err;
        QTextStream o(&out), r(&err);
        const int code = runCli(args, o, r);
        qunsetenv("VELMOR_PASSWORD");
        return Ran{code, out + err};
    };
    const QString pdf = e.dir.filePath(QStringLiteral("printed.pdf"));
    const QList<QStringList> commands = {
        {"invoice", "print", QString::number(b.invoice), "--pdf", pdf},
        {"parcel", "memo", "print", QString::number(b.parcelMemo), "--pdf", pdf},
        {"grid", "import", grid},
        {"stones", "repair"},
        {"overdue", "check"},
    };
    for (const QStringList &c : commands) {
        const QString name = c.mid(0, 2).join(' ');
        const struct {
            const char *way;
            QStringList user;
            QString password;
            const char *says;
        } refused[] = {
            {"without --user", {}, kAdminPassword, "--user"},
            {"without the right", {"--user", "clerk"}, "pw", "No Permission"},
            {"with a wrong password", {"--user", kAdminName}, "not the password", "Invalid Password"},
        };
        for (const auto &r : refused) {
            const QString before = fingerprint(e.t.db());
            const Ran ran = cli(c + r.user, r.password);
            const QString what = name + QStringLiteral(", ") + QLatin1String(r.way) + QStringLiteral(": ") + ran.err;
            QVERIFY2(ran.code != 0 && ran.err.contains(QLatin1String(r.says)), qPrintable(what));
            QVERIFY2(fingerprint(e.t.db()) == before, qPrintable(what));
            QVERIFY2(!QFile::exists(pdf), qPrintable(what));
        }
        const QString before = fingerprint(e.t.db());
        const Ran ran = cli(c + QStringList{"--user", kAdminName}, kAdminPassword);
        QVERIFY2(ran.code == 0, qPrintable(name + QStringLiteral(": ") + ran.err));
        QVERIFY2(fingerprint(e.t.db()) != before, qPrintable(name + QStringLiteral(" changed nothing: ") + ran.err));
        QFile::remove(pdf);
    }
    QCOMPARE(e.sql(QStringLiteral("SELECT status FROM invoice WHERE ID = %1").arg(b.invoice)), QStringLiteral("closed"));
    // A closed invoice only prints: anyone who may read the books may.
    const QString before = fingerprint(e.t.db());
    const Ran closed = cli(commands.first(), {});
    QVERIFY2(closed.code == 0 && QFile::exists(pdf), qPrintable(closed.err));
    QCOMPARE(fingerprint(e.t.db()), before);
    qunsetenv("VELMOR_HOME");
}

QTEST_MAIN(TestScreenRights)
#include "tst_screenrights.moc"
