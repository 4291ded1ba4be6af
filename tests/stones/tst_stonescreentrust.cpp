// The stone screen keeps what is stored: a save without edits leaves the row
// as it was, an edit of one field changes that column only, typed numbers
// are never reinterpreted, and commands that cannot work are off.
#include "RecordingScreens.h"
#include "StoneTestEnv.h"
#include "core/UserState.h"
#include "db/Row.h"
#include "stones/StoneChangeLog.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmDiamondDetailPrices.h"
#include "stones/frmStoneChange.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSqlRecord>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

using namespace velmor;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;
using velmor::ui::frmDiamondDetail;

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

using RowMap = QMap<QString, QVariant>;

RowMap row(StoneEnv &e, qint64 id)
{
    QSqlQuery q = db::exec(e.t.db(), "SELECT * FROM SingleStone WHERE ID=?", {id});
    if (!q.next())
        qFatal("no stone %lld", id);
    RowMap m;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        m[r.fieldName(i)] = q.value(i);
    return m;
}

// The columns whose values differ (Null counts as its own value).
QStringList changed(const RowMap &a, const RowMap &b)
{
    QStringList out;
    for (auto it = a.begin(); it != a.end(); ++it) {
        const QVariant &x = it.value();
        const QVariant &y = b.value(it.key());
        if (x.isNull() != y.isNull() || (!x.isNull() && x.toString() != y.toString()))
            out << it.key();
    }
    return out;
}

// A stone as another program or an older version may have left it: Null
// texts and measurements, no hold date, a time in the entry date, parties
// that the combos' lists leave out, more decimals than the screen shows.
qint64 awkwardStone(StoneEnv &e)
{
    const qint64 customerOnly = e.customer("Only A Customer");              // not a supplier
    const qint64 neither = db::insert(e.t.db(), "INSERT INTO Customer (CompanyName, Customer, Supplier) "
                                                "VALUES ('Flags Unset', NULL, NULL)");
    const qint64 supplierOnly = e.customer("Only A Supplier", true);       // not a customer
    return db::insert(e.t.db(),
                      "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, Certificate, "
                      "RapaportPrice, SellOffRap, SellPriceUS, SellPriceUSlx, SellOffRapLX, LockPercent, LockPercentlx, "
                      "Status, Canadian, DateCreated, SupplierID, ConsignmentInCustomerID, OnHoldForCustomerID, "
                      "OnHoldNote, OnHoldDate, Lot, Cut, Dim1, BoughtPriceUS, RapPriceOnDateBought, BoughtPriceLocal, "
                      "bought_exchangerateCDN, Comment, RND) "
                      "VALUES ('AW1', 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', 'C77', 5000.1234, 30.12345, "
                      "3535.5678, NULL, NULL, -1, 0, 'Stock', 0, '2024-05-06 14:30:00', ?, ?, ?, NULL, NULL, NULL, "
                      "NULL, NULL, 2000.004, 4000, 2600.5, 1.3, NULL, 4711)",
                      {customerOnly, neither, supplierOnly});
}

} // namespace

class TestStoneScreenTrust : public QObject {
    Q_OBJECT
private slots:
    void saveWithoutEditsKeepsTheRow();
    void oneFieldEditChangesOneColumn();
    void typedNumbers_data();
    void typedNumbers();
    void commaWeightRefused();
    void noStatusChangeWhileEditing();
    void refusedAutoSkuStaysAPrefix();
    void addingNeedsTheRight();
    void unsavedStoneLeavesNoRow();
    void logOffWhileEditing();
    void openByIdOrSku();
    void commandsFollowInstalledScreens();
    void keyboard();
    void sizeAndUser();
    void ratesReachTheTitle();
    void changeLogSaysTrackingIsOff();

private:
    static void startUp(frmDiamondDetail &s)
    {
        s.show();
        QTRY_VERIFY(s.startUpDone());
    }
};

void TestStoneScreenTrust::saveWithoutEditsKeepsTheRow()
{
    StoneEnv e;
    const qint64 id = awkwardStone(e);
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    const RowMap before = row(e, id);
    // The links the combos' lists leave out are still shown.
    QVERIFY(ctl<QComboBox>(s, "cboSupplier")->currentText().endsWith("Only A Customer"));
    QVERIFY(ctl<QComboBox>(s, "cboConsignmentInCustomer")->currentText().endsWith("Flags Unset"));
    QVERIFY(ctl<QComboBox>(s, "cboOnHoldFor")->currentText().contains("Only A Supplier"));

    // Amounts accepted in the price window while the stone is only displayed
    // are not taken over.
    QTimer::singleShot(0, [] {
        auto *w = qobject_cast<ui::frmDiamondDetailPrices *>(QApplication::activeModalWidget());
        QVERIFY(w);
        QVERIFY(!w->findChild<QPushButton *>("cmdOK")->isVisible());
        w->findChild<QLineEdit *>("txtCDNbought")->setText("1.5");
        w->accept();
    });
    click(s, "cmdPrices");

    click(s, "cmdEditDiamond");
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.messages(), QStringList{});
    QCOMPARE(s.editState().mode, stones::EditState::Displayed);
    QCOMPARE(changed(before, row(e, id)), QStringList{"RND"});
}

void TestStoneScreenTrust::oneFieldEditChangesOneColumn()
{
    StoneEnv e;
    const qint64 id = awkwardStone(e);
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    const RowMap before = row(e, id);
    click(s, "cmdEditDiamond");
    type(s, "txtLocation", "Safe 3");
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.messages(), QStringList{});
    const RowMap after = row(e, id);
    QCOMPARE(changed(before, after), QStringList({"Location", "RND"}));
    QCOMPARE(after["Location"].toString(), QString("Safe 3"));
}

void TestStoneScreenTrust::typedNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("number");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "0.75" << true << 0.75;
    QTest::newRow("no leading zero") << ".5" << true << 0.5;
    QTest::newRow("grouped") << "1,234.56" << true << 1234.56;
    QTest::newRow("grouped twice") << "1,234,567" << true << 1234567.0;
    QTest::newRow("dollar") << "$1,500.00" << true << 1500.0;
    QTest::newRow("negative") << "-3.5" << true << -3.5;
    QTest::newRow("empty") << "" << true << 0.0;
    QTest::newRow("decimal comma") << "0,75" << false << 0.0;
    QTest::newRow("one and a half") << "1,5" << false << 0.0;
    QTest::newRow("bad grouping") << "12,34.5" << false << 0.0;
    QTest::newRow("letters") << "12abc" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
}

void TestStoneScreenTrust::typedNumbers()
{
    QFETCH(QString, typed);
    QFETCH(bool, number);
    QFETCH(double, value);
    QCOMPARE(stones::isTypedNumber(typed), number);
    QCOMPARE(stones::fieldValue(typed), value);
}

void TestStoneScreenTrust::commaWeightRefused()
{
    StoneEnv e;
    const qint64 id = e.stone("W1");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    const RowMap before = row(e, id);
    click(s, "cmdEditDiamond");
    type(s, "txtWeight", "0,75");
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.messages().size(), 1);
    QVERIFY(e.prompt.messages().first().startsWith("missing Information: The Weight \"0,75\" is not a number."));
    QCOMPARE(changed(before, row(e, id)), QStringList{});
    QCOMPARE(s.editState().mode, stones::EditState::Editing); // the typed value stays to be mended
    // Grouped thousands are read as such.
    e.prompt.clear();
    type(s, "txtWeight", "1.01");
    ctl<QRadioButton>(s, "optLockDollar")->setChecked(true);
    type(s, "txtSellPrice", "1,234.56");
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.messages(), QStringList{});
    QCOMPARE(e.value("SELECT SellPriceUS FROM SingleStone WHERE ID=?", {id}).toDouble(), 1234.56);
    // The item a stone is merged into is the number typed, never its leading digits.
    ctl<QLineEdit>(s, "txtMergeItemID")->setText("12abc");
    s.mergeWithItem();
    QCOMPARE(e.prompt.messages(), QStringList{"Diamond Assembly: The Item ID \"12abc\" is not a number."});
    QCOMPARE(e.count("SELECT COUNT(*) FROM ItemSingleDiamond"), 0);
}

void TestStoneScreenTrust::noStatusChangeWhileEditing()
{
    StoneEnv e;
    const qint64 buyer = e.customer("Buyer");
    const qint64 id = e.stone("E1");
    const qint64 sold = e.stone("E2", "Sold", buyer);
    velmor::test::RecordingScreens screens;
    screens.installed = {Screen::SellStone};
    e.ctx.setScreens(&screens);
    frmDiamondDetail s(e.ctx);
    startUp(s);
    for (qint64 stone : {id, sold}) {
        s.loadStone(int(stone));
        const bool inStock = stone == id;
        QCOMPARE(ctl<QPushButton>(s, "cmdSold")->isEnabled(), inStock);
        QCOMPARE(ctl<QPushButton>(s, "cmdReturn")->isEnabled(), !inStock);
        QCOMPARE(ctl<QPushButton>(s, "cmdReturnVendor")->isEnabled(), inStock);
        click(s, "cmdEditDiamond");
        for (const char *c : {"cmdSold", "cmdReturn", "cmdReturnVendor"})
            QVERIFY2(!ctl<QPushButton>(s, c)->isEnabled(), c);
        // Reached anyway (a shortcut, a script), they do nothing.
        e.prompt.answers({true, true});
        s.returnFromCustomer();
        s.vendor();
        QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {stone}).toString(),
                 QString(inStock ? "Stock" : "Sold"));
        type(s, "txtLocation", "Drawer");
        click(s, "cmdUpdate");
        QCOMPARE(e.value("SELECT Location FROM SingleStone WHERE ID=?", {stone}).toString(), QString("Drawer"));
        QCOMPARE(ctl<QPushButton>(s, "cmdSold")->isEnabled(), inStock);
    }
    QCOMPARE(e.prompt.messages(), QStringList{});
}

void TestStoneScreenTrust::refusedAutoSkuStaysAPrefix()
{
    StoneEnv e;
    e.ctx.settings.AutoSku = true;
    e.ctx.settings.SKURound = "RB";
    e.stone("RB41");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    click(s, "cmdAddDiamond");
    QComboBox *shape = ctl<QComboBox>(s, "cboShape");
    shape->setCurrentIndex(shape->findText("Round Brilliant [BR]"));
    emit shape->textActivated(shape->currentText());
    QCOMPARE(ctl<QLineEdit>(s, "txtSKU")->text(), QString("RB......"));
    type(s, "txtSellOffRap", "20");
    click(s, "cmdUpdate"); // no weight yet
    QCOMPARE(e.prompt.messages(), QStringList{"missing Information: You need to define a Carat Weight"});
    QCOMPARE(ctl<QLineEdit>(s, "txtSKU")->text(), QString("RB......"));
    e.prompt.clear();
    type(s, "txtWeight", "0.5");
    click(s, "cmdUpdate");
    QCOMPARE(e.prompt.messages(), QStringList{});
    const qint64 id = ctl<QLineEdit>(s, "txtID")->text().toLongLong();
    QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString(), QString("RB42"));
}

// An Add makes no row until it is saved: cancelled, refused or closed
// unsaved, the stone table stays as it was.  Closing the screen with a stone
// being added, or edited and not saved, asks first.
void TestStoneScreenTrust::unsavedStoneLeavesNoRow()
{
    StoneEnv e;
    const qint64 shown = e.stone("AC0");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(shown));
    const int rows = e.count("SELECT COUNT(*) FROM SingleStone");
    click(s, "cmdAddDiamond");
    type(s, "txtSKU", "AC1");
    click(s, "cmdCancel");
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), rows);
    QCOMPARE(s.currentId(), shown); // the stone shown before the Add
    click(s, "cmdAddDiamond");
    type(s, "txtSKU", "AC2");
    click(s, "cmdUpdate"); // no weight: refused
    QCOMPARE(s.editState().mode, stones::EditState::Adding);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), rows);
    // Closing asks; No keeps the stone being added on the screen.
    e.prompt.clear();
    e.prompt.answer(false);
    QVERIFY(!s.close());
    QVERIFY(s.isVisible());
    QCOMPARE(e.prompt.texts(PromptEvent::Ask),
             QStringList{"The Diamond you are adding has not been saved.\n\nClose and lose it?"});
    QCOMPARE(ctl<QLineEdit>(s, "txtSKU")->text(), QString("AC2"));
    e.prompt.answer(true);
    QVERIFY(s.close());
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), rows);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE TRIM(SKU)='' OR Status IS NULL"), 0);

    // Edited: asked only when something was changed.
    frmDiamondDetail t(e.ctx);
    startUp(t);
    t.loadStone(int(shown));
    click(t, "cmdEditDiamond");
    e.prompt.clear();
    QVERIFY(t.close()); // nothing changed: no question
    QCOMPARE(e.prompt.texts(PromptEvent::Ask), QStringList());
    startUp(t);
    t.loadStone(int(shown));
    click(t, "cmdEditDiamond");
    type(t, "txtLocation", "Vault 2");
    e.prompt.answer(false);
    QVERIFY(!t.close());
    QCOMPARE(e.prompt.texts(PromptEvent::Ask).size(), 1);
    QVERIFY(e.value("SELECT Location FROM SingleStone WHERE ID=?", {shown}).toString().isEmpty());
}

// A log-off while a stone is edited turns the screen read-only and keeps what
// was typed; a save that still reaches it writes nothing; the next log-on
// opens it again.
void TestStoneScreenTrust::logOffWhileEditing()
{
    StoneEnv e;
    const qint64 id = e.stone("LO1");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    click(s, "cmdEditDiamond");
    type(s, "txtLocation", "Safe 3");
    const UserState was = e.ctx.user;
    e.ctx.user.reset();
    e.ctx.user.ID = 0;
    emit e.ctx.events().rightsChanged();
    QVERIFY(ctl<QLineEdit>(s, "txtLocation")->isReadOnly());
    QVERIFY(!ctl<QPushButton>(s, "cmdUpdate")->isEnabled());
    QCOMPARE(ctl<QLineEdit>(s, "txtLocation")->text(), QString("Safe 3"));
    for (const char *name : {"cmdSold", "cmdReturnVendor", "cmdEditDiamond", "cmdDelete", "cmdAddDiamond",
                             "cmdMergeWithItem", "cmdEditHold"})
        QVERIFY2(!ctl<QPushButton>(s, name)->isEnabled(), name);
    QVERIFY(!ctl<QComboBox>(s, "cboOnHoldFor")->isEnabled());
    QVERIFY(!ctl<QComboBox>(s, "cboSupplier")->isEnabled());
    s.update();
    QCOMPARE(e.prompt.messages(), QStringList{"Log on: Please log on first."});
    QVERIFY(e.value("SELECT Location FROM SingleStone WHERE ID=?", {id}).toString().isEmpty());
    e.ctx.user = was;
    emit e.ctx.events().rightsChanged();
    QVERIFY(!ctl<QLineEdit>(s, "txtLocation")->isReadOnly());
    click(s, "cmdUpdate");
    QCOMPARE(e.value("SELECT Location FROM SingleStone WHERE ID=?", {id}).toString(), QString("Safe 3"));
}

void TestStoneScreenTrust::addingNeedsTheRight()
{
    StoneEnv e;
    e.ctx.user.set("AllowDiamond2Create", false);
    frmDiamondDetail s(e.ctx);
    startUp(s);
    const int stones = e.count("SELECT COUNT(*) FROM SingleStone");
    QVERIFY(!ctl<QPushButton>(s, "cmdAddDiamond")->isEnabled());
    s.addDiamond();
    QCOMPARE(e.prompt.messages(), QStringList{"Authorization Failure: No Permission, please login or contact the "
                                              "System Administrator!"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), stones);
    QCOMPARE(s.editState().mode, stones::EditState::Displayed);
    // The right, given by a login, turns the command on.
    e.ctx.user.set("AllowDiamond2Create", true);
    emit e.ctx.events().rightsChanged();
    QVERIFY(ctl<QPushButton>(s, "cmdAddDiamond")->isEnabled());
}

void TestStoneScreenTrust::openByIdOrSku()
{
    StoneEnv e;
    const qint64 a = e.stone("A-100");
    const qint64 b = e.stone("O'Brien \\ 7");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    QLineEdit *box = ctl<QLineEdit>(s, "txtID");
    QVERIFY(!box->isReadOnly());
    box->setText(QString::number(a));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(s.currentId(), a);
    QCOMPARE(ctl<QLineEdit>(s, "txtSKU")->text(), QString("A-100"));
    box->setText("o'brien \\ 7");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(s.currentId(), b);
    QCOMPARE(box->text(), QString::number(b));
    box->setText("nothing-like-it");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(e.prompt.messages(),
             QStringList{"Open Diamond: There is no Diamond with the ID or SKU# \"nothing-like-it\"."});
    QCOMPARE(s.currentId(), b);
    QCOMPARE(box->text(), QString::number(b));
    // Typed and left without Enter: the box shows the stone on screen again.
    box->setFocus();
    box->setText("A-100");
    ctl<QLineEdit>(s, "txtLocation")->setFocus();
    QCOMPARE(box->text(), QString::number(b));
    QCOMPARE(s.currentId(), b);
    // An SKU stored with blanks around it opens by the SKU alone.
    const qint64 blank = e.stone(" Q100 ");
    box->setText("q100");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(s.currentId(), blank);
    // Not while a stone is being edited.
    click(s, "cmdEditDiamond");
    QVERIFY(box->isReadOnly());
}

void TestStoneScreenTrust::commandsFollowInstalledScreens()
{
    const QList<std::pair<const char *, Screen>> commands = {
        {"cmdSearch", Screen::StoneSearch},   {"cmdLoadMemo", Screen::MemoSheet},
        {"cmdPrintPaper", Screen::StonePaper},
        {"cmdNewPayment", Screen::Payment},   {"cmdNewPaymentMade", Screen::PaymentMade},
        {"cmdViewBoundItem", Screen::Item},   {"cmdSold", Screen::SellStone}};
    for (bool installed : {false, true}) {
        StoneEnv e;
        velmor::test::RecordingScreens screens;
        if (installed)
            for (const auto &[name, screen] : commands)
                screens.installed.insert(screen);
        e.ctx.setScreens(&screens);
        const qint64 supplier = e.customer("Consigner", true);
        const qint64 id = e.stone("P1");
        db::exec(e.t.db(), "UPDATE SingleStone SET ItemID=5, ConsignmentInCustomerID=? WHERE ID=?", {supplier, id});
        {
            frmDiamondDetail s(e.ctx);
            startUp(s);
            s.loadStone(int(id));
            for (const auto &[name, screen] : commands)
                QVERIFY2(ctl<QPushButton>(s, name)->isEnabled() == installed, name);
            if (installed) {
                for (const char *name : {"cmdSearch", "cmdPrintPaper", "cmdNewPayment", "cmdNewPaymentMade",
                                         "cmdViewBoundItem", "cmdSold"})
                    click(s, name);
                QCOMPARE(screens.asked,
                         QStringList({"openStoneSearch 0", QString("printStonePaper %1").arg(id),
                                      QString("openPayment %1 0").arg(id),
                                      QString("openPaymentMade %1 %2").arg(id).arg(supplier), "openItem 5",
                                      QString("openSellDialog %1").arg(id)}));
            }
            // The settings menu opens for an administrator only.
            QVERIFY(!s.findChild<QAction *>("mnuConfiguration")->isEnabled());
        }
        e.ctx.setScreens(nullptr);
    }
}

void TestStoneScreenTrust::keyboard()
{
    StoneEnv e;
    const qint64 id = e.stone("K1");
    frmDiamondDetail s(e.ctx);
    startUp(s);
    s.loadStone(int(id));
    QVERIFY(ctl<QPlainTextEdit>(s, "txtComment")->tabChangesFocus());
    click(s, "cmdEditDiamond");
    // The grade combos find a grade by its wording.
    QComboBox *colour = ctl<QComboBox>(s, "cboColour");
    QComboBox *clarity = ctl<QComboBox>(s, "cboClarity");
    colour->setFocus();
    QTest::keyClicks(colour, "G");
    QVERIFY2(colour->currentText().endsWith(" - G"), qPrintable(colour->currentText()));
    clarity->setFocus();
    QTest::keyClicks(clarity, "VS1");
    QVERIFY2(clarity->currentText().endsWith(" - VS1"), qPrintable(clarity->currentText()));
    // Ctrl+S saves; no menu of the screen answers to Alt+S.
    for (QAction *a : s.menuBar()->actions())
        QVERIFY2(!a->text().contains("&S", Qt::CaseInsensitive), qPrintable(a->text()));
    e.prompt.answers({true, true});
    s.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s));
    QTest::keySequence(&s, QKeySequence::Save);
    QCOMPARE(s.editState().mode, stones::EditState::Displayed);
    QVERIFY(e.value("SELECT Colour FROM SingleStone WHERE ID=?", {id}).toInt() != 20);
    // The price window's OK is its default button.
    ui::frmDiamondDetailPrices prices(e.ctx, s.formFromControls());
    QVERIFY(prices.findChild<QPushButton *>("cmdOK")->isDefault());
}

void TestStoneScreenTrust::sizeAndUser()
{
    StoneEnv e;
    const qint64 user = db::insert(e.t.db(), "INSERT INTO `user` (UserName, Password, FirstName, LastName) "
                                             "VALUES ('anna', 'pw', 'Anna', 'Berg')");
    frmDiamondDetail s(e.ctx);
    s.show();
    // The default size fits a 1366x768 display and shows every control.
    const QSize size = frmDiamondDetail::defaultSize();
    QVERIFY(size.width() <= 1366 && size.height() <= 768 - 40);
    auto *scroll = s.findChild<QScrollArea *>();
    QVERIFY(scroll);
    const QSize content = scroll->widget()->minimumSizeHint();
    const int chrome = s.menuBar()->sizeHint().height() + s.statusBar()->sizeHint().height() + 4;
    QVERIFY2(content.width() <= size.width() && content.height() + chrome <= size.height(),
             qPrintable(QString("content %1x%2").arg(content.width()).arg(content.height())));
    // Who is logged in.
    QLabel *who = ctl<QLabel>(s, "lblLoggedIn");
    e.ctx.user.ID = 0;
    emit e.ctx.events().rightsChanged();
    QCOMPARE(who->text(), QString("Not logged in"));
    e.ctx.user.ID = int(user);
    emit e.ctx.events().rightsChanged();
    QCOMPARE(who->text(), QString("Logged in: anna (Anna Berg)"));
}

void TestStoneScreenTrust::ratesReachTheTitle()
{
    StoneEnv e;
    frmDiamondDetail s(e.ctx);
    QVERIFY(s.windowTitle().startsWith("Diamond Details US$/CDN$ 1/1.2500 US$/ZAR 1/14.0000"));
    e.ctx.exchangeRateCDN = 1.3712;
    emit e.ctx.events().ratesChanged();
    QVERIFY(s.windowTitle().startsWith("Diamond Details US$/CDN$ 1/1.3712 "));
    // A currency name of the configuration is the one shown everywhere.
    e.ctx.settings.MyCurrencyName = "EUR";
    emit e.ctx.events().ratesChanged();
    QVERIFY(s.windowTitle().startsWith("Diamond Details US$/EUR 1/1.3712 "));
    // The local columns carry its name; the US rows keep theirs.
    QCOMPARE(ctl<QLabel>(s, "lblHeadLocalCT")->text(), QString("EUR /ct"));
    QCOMPARE(ctl<QLabel>(s, "lblCostST")->text(), QString("Cost US$"));
    // The local prices of a stone: at the rate while it is known, empty
    // (never 0.00) while it is not.
    const qint64 id = e.stone("LR1");
    db::exec(e.t.db(), "UPDATE SingleStone SET Carat=1, SellPriceUS2=1000 WHERE ID=?", {id});
    startUp(s);
    s.loadStone(int(id));
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceLocal2")->text(), QString("1371.20"));
    e.ctx.exchangeRateCDN = 0;
    s.loadStone(int(id));
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPrice2")->text(), QString("1000.00"));
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceLocal2")->text(), QString());
    QCOMPARE(ctl<QLineEdit>(s, "txtSellPriceLocalCT2")->text(), QString());
}

void TestStoneScreenTrust::changeLogSaysTrackingIsOff()
{
    StoneEnv e;
    const qint64 a = e.stone("CL1");
    db::exec(e.t.db(), "UPDATE SingleStone SET Carat=12.34567 WHERE ID=?", {a});
    stones::SaveDeleteChangeStatus(e.ctx, "save", a);
    stones::SaveDeleteChangeStatus(e.ctx, "save", a);
    for (bool tracking : {true, false}) {
        e.ctx.settings.StoneChange = tracking;
        ui::frmStoneChange s(e.ctx);
        s.show();
        QCOMPARE(s.findChild<QLabel *>("lblTrackingOff")->isVisible(), !tracking);
        QCOMPARE(s.Grid->rowCount(), 2);
        // Every column wide enough for what it holds.
        for (int c = 0; c < s.Grid->columnCount(); ++c)
            if (!s.Grid->isColumnHidden(c))
                QVERIFY2(s.Grid->columnWidth(c) >= static_cast<QAbstractItemView *>(s.Grid)->sizeHintForColumn(c),
                         qPrintable(s.Grid->horizontalHeaderItem(c)->text()));
    }
}

QTEST_MAIN(TestStoneScreenTrust)
#include "tst_stonescreentrust.moc"
