// The customer, customer search and rep screens driven by control name,
// offscreen, on a real database; and their commands on the front screen.
#include "CustomerTestEnv.h"
#include "RecordingScreens.h"
#include "customers/frmCustomer.h"
#include "customers/frmCustomerSearch.h"
#include "customers/frmRep.h"
#include "customers/frmRepSearch.h"
#include "customers/Reps.h"
#include "shell/frmFront.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/frmDiamondDetail.h"

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace velmor;
using velmor::test::CustomerEnv;
using velmor::test::PromptEvent;
using velmor::test::RecordingScreens;

namespace {

// The customer screen on a test context, with the screens it may open recorded.
struct CustomerScreen {
    CustomerEnv e;
    RecordingScreens screens;
    std::unique_ptr<ui::frmCustomer> w;
    QList<QUrl> opened;
    CustomerScreen()
    {
        screens.installed = {velmor::Screen::CustomerSearch, velmor::Screen::StoneSearch};
        e.ctx.setScreens(&screens);
        e.ctx.settings.CompanyName = "Velmor Diamonds";
        w = std::make_unique<ui::frmCustomer>(e.ctx);
        w->openUrl = [this](const QUrl &u) { opened << u; };
        w->show();
    }
    ~CustomerScreen()
    {
        w.reset();
        e.ctx.setScreens(nullptr);
    }
    template <typename T = QWidget>
    T *c(const char *name) const
    {
        T *x = w->findChild<T *>(QString::fromLatin1(name));
        if (!x)
            qWarning("no control %s", name);
        return x;
    }
    void type(const char *name, const QString &text)
    {
        auto *le = c<QLineEdit>(name);
        le->selectAll();
        QTest::keyClicks(le, text);
    }
    void click(const char *name) { c<QAbstractButton>(name)->click(); }
    // The pane of TabStrip1 a field lives on: 0 invoicing, 1 hold, 2 label, 3 credit, 4 discounts.
    void pane(int i) { c<QTabWidget>("TabStrip1")->setCurrentIndex(i); }
    void choose(const char *combo, const QString &startsWith)
    {
        auto *cb = c<QComboBox>(combo);
        for (int i = 0; i < cb->count(); ++i)
            if (cb->itemText(i).startsWith(startsWith)) {
                cb->setCurrentIndex(i);
                emit cb->activated(i);
                return;
            }
        QFAIL(qPrintable("no entry " + startsWith));
    }
};

} // namespace

class TestCustomerScreens : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("VELMOR_NO_SPLASH_PAUSE", "1"); }
    void captionsAndRights();
    void addCustomerAndSupplier();
    void untouchedSaveKeepsTheRow();
    void editBilledElsewhere();
    void questionsBothWays();
    void cancel();
    void browsePastTheLast();
    void holdNeedsTheRight();
    void memoSheetAndLinks();
    void search();
    void failedSearchIsNotAnEmptyResult();
    void searchAScreenfulAtATime();
    void repScreen();
    void frontScreenCommands();
    void repSearchWords_data();
    void repSearchWords();
    void findRepOpensTheRep();
};

void TestCustomerScreens::captionsAndRights()
{
    CustomerScreen s;
    s.e.ctx.settings.Tax1Name = "GST";
    s.e.ctx.settings._taxname[1] = "PST";
    s.e.ctx.settings._tax[1] = 7;
    s.w->applyCaptions();
    QCOMPARE(s.w->windowTitle(), QString("Customer Information - Velmor Diamonds"));
    QCOMPARE(s.c<QCheckBox>("chkTax1")->text(), QString("GST taxable"));
    QVERIFY(!s.c<QCheckBox>("chkTax2")->isVisibleTo(s.w.get()));
    QCOMPARE(s.c<QCheckBox>("chk_tax2")->text(), QString("PST 7 %"));
    // Commands of the jewellery-item side are there and disabled.
    for (const char *name : {"cmdCreateQuote", "cmdQuickSale", "cmdApply", "cmdViewStatements"})
        QVERIFY(!s.c(name)->isEnabled());
    // Without rights the add and edit commands are disabled, and refuse when run.
    s.e.ctx.user.reset();
    emit s.e.ctx.events().rightsChanged();
    QVERIFY(!s.c("cmdAddCustomer")->isEnabled());
    QVERIFY(!s.c("cmdAddSupplier")->isEnabled());
    s.w->addCustomer(true);
    QVERIFY(!s.w->adding());
    QCOMPARE(s.e.prompt.messages(),
             QStringList{"Authorization Failure: No Permission, please login or contact the System Administrator!"});
}

void TestCustomerScreens::addCustomerAndSupplier()
{
    CustomerScreen s;
    s.e.ctx.settings.DefaultCreditLimit = 7500;
    s.e.rep("North Agents");
    s.click("cmdAddCustomer");
    QVERIFY(s.w->adding());
    QVERIFY(s.c<QCheckBox>("chkCustomer")->isChecked());
    QCOMPARE(s.c<QLineEdit>("txtCreditLimit")->text(), QString("7500"));
    s.type("txtSupplierName", "Lumen's Jewellers");
    s.type("txtSupplierCity", "Vancouver");
    s.choose("cboRep", "North Agents");
    s.c<QRadioButton>("opt306090")->setChecked(true);
    s.c<QPlainTextEdit>("txtNotePad")->setPlainText("Ring size 7\nPrefers ovals");
    s.click("cmdUpdateChanges");
    QVERIFY(!s.w->adding());
    const qint64 id = s.w->currentId();
    QVERIFY(id > 0);
    QCOMPARE(s.e.value("SELECT CompanyName FROM Customer WHERE ID=?", {id}).toString(),
             QString::fromUtf8("Lumen\u2019s Jewellers"));
    QCOMPARE(s.e.value("SELECT Terms FROM Customer WHERE ID=?", {id}).toString(), QString("30/60/90"));
    QCOMPARE(s.e.value("SELECT InvoiceToID FROM Customer WHERE ID=?", {id}).toLongLong(), id);
    QCOMPARE(s.e.value("SELECT CreditLimit FROM Customer WHERE ID=?", {id}).toDouble(), 7500.0);
    QByteArray note("Ring size 7");
    note.append(char(218));
    note.append("Prefers ovals");
    QCOMPARE(s.e.value("SELECT NotePad FROM Customer WHERE ID=?", {id}).toByteArray(), note);
    QCOMPARE(s.c<QLineEdit>("txtRep")->text(), QString("North Agents"));
    QCOMPARE(s.c<QPlainTextEdit>("txtNotePad")->toPlainText(), QString("Ring size 7\nPrefers ovals"));
    QVERIFY(s.c<QLineEdit>("txtSupplierName")->isReadOnly());
    QCOMPARE(s.screens.asked, QStringList{QString("partyPicked %1").arg(id)});

    s.click("cmdAddSupplier");
    QVERIFY(s.c<QCheckBox>("chkSupplier")->isChecked());
    QVERIFY(!s.c<QCheckBox>("chkCustomer")->isChecked());
    QVERIFY(!s.c("cboPriceGroup")->isVisibleTo(s.w.get()));
    s.type("txtSupplierName", "Antwerp Rough");
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.count("SELECT COUNT(*) FROM Customer WHERE CompanyName='Antwerp Rough' AND Supplier<>0 AND Customer=0"), 1);
}

void TestCustomerScreens::untouchedSaveKeepsTheRow()
{
    CustomerScreen s;
    const qint64 bill = s.e.customer("Head Office");
    db::exec(s.e.t.db(), "UPDATE Customer SET CreditLimit=10000, GroupMember='Guild' WHERE ID=?", {bill});
    const qint64 id = s.e.fullCustomer(bill);
    const QList<QVariantList> before = s.e.table("Customer");
    s.w->showCustomer(id);
    QCOMPARE(s.c<QLineEdit>("txtSupplierName")->text(), QString("O'Hara & Sons"));
    QCOMPARE(s.c<QLineEdit>("txtCreditLimit")->text(), QString("10000"));
    QCOMPARE(s.c<QLabel>("lblPhoneName1")->text(), QString("Office"));
    QCOMPARE(s.c<QLabel>("lblPhoneName2")->text(), QString("Phone 2"));
    QCOMPARE(s.c<QPlainTextEdit>("txtNotePad")->toPlainText(), QString("first line\nsecond line"));
    s.click("cmdEditCustomer");
    QVERIFY(s.w->editing());
    s.click("cmdUpdateChanges");
    QVERIFY(!s.w->editing());
    QCOMPARE(s.e.table("Customer"), before);

    // One change writes that change only.
    s.click("cmdEditCustomer");
    s.type("txtSupplierCity", "Ottawa");
    s.click("cmdUpdateChanges");
    QList<QVariantList> after = s.e.table("Customer");
    QCOMPARE(s.e.value("SELECT CompanyCity FROM Customer WHERE ID=?", {id}).toString(), QString("Ottawa"));
    db::exec(s.e.t.db(), "UPDATE Customer SET CompanyCity='Toronto' WHERE ID=?", {id});
    QCOMPARE(s.e.table("Customer"), before);
}

void TestCustomerScreens::editBilledElsewhere()
{
    CustomerScreen s;
    const qint64 bill = s.e.customer("Head Office");
    db::exec(s.e.t.db(), "UPDATE Customer SET CreditLimit=10000 WHERE ID=?", {bill});
    const qint64 branch = s.e.customer("Branch");
    db::exec(s.e.t.db(), "UPDATE Customer SET InvoiceToID=? WHERE ID=?", {bill, branch});
    s.w->showCustomer(branch);
    QCOMPARE(s.c<QLineEdit>("txtInvoiceTo")->text(), QString("Head Office"));
    s.click("cmdEditCustomer");
    s.pane(3);
    QVERIFY(s.c<QComboBox>("cboInvoiceTo")->currentText().startsWith("Head Office"));
    s.type("txtCreditLimit", "20000");
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.value("SELECT CreditLimit FROM Customer WHERE ID=?", {bill}).toDouble(), 20000.0);
    QCOMPARE(s.c<QLineEdit>("txtCreditLimit")->text(), QString("20000"));

    // A new customer billed to the head office shows that account's limit and leaves it alone.
    s.click("cmdAddCustomer");
    s.type("txtSupplierName", "Second Branch");
    s.choose("cboInvoiceTo", "Head Office");
    QCOMPARE(s.c<QLineEdit>("txtCreditLimit")->text(), QString("20000"));
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.value("SELECT CreditLimit FROM Customer WHERE ID=?", {bill}).toDouble(), 20000.0);
    QCOMPARE(s.e.value("SELECT InvoiceToID FROM Customer WHERE CompanyName='Second Branch'").toLongLong(), bill);
}

void TestCustomerScreens::questionsBothWays()
{
    CustomerScreen s;
    s.e.ctx.settings.ForceRepEntry = true;
    s.e.customer("Lumen Jewellers");
    // The rep question: No keeps the screen editing with nothing written.
    s.click("cmdAddCustomer");
    s.type("txtSupplierName", "LUMEN JEWELLERS");
    s.e.prompt.answer(false);
    s.click("cmdUpdateChanges");
    QVERIFY(s.w->adding());
    QVERIFY(s.c("cmdUpdateChanges")->isEnabled());
    QCOMPARE(s.e.count("SELECT COUNT(*) FROM Customer"), 1);
    // Yes to the rep, No to the namesake: nothing written, the screen closes.
    s.e.prompt.clear();
    s.e.prompt.answers({true, false});
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.prompt.messages(),
             (QStringList{"Update: You did not define a Rep for this Customer. Is this correct?",
                          "similar Name found: Velmor found a existing Supplier or Customer with the Name 'Lumen "
                          "Jewellers' in the Database, do you want to continue adding this new Supplier or Customer?"}));
    QVERIFY(!s.w->isVisible());
    QCOMPARE(s.e.count("SELECT COUNT(*) FROM Customer"), 1);
    // Yes to both: the namesake is added.
    s.w->show();
    s.click("cmdAddCustomer");
    s.type("txtSupplierName", "LUMEN JEWELLERS");
    s.e.prompt.clear();
    s.e.prompt.answers({true, true});
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.count("SELECT COUNT(*) FROM Customer"), 2);
}

void TestCustomerScreens::cancel()
{
    CustomerScreen s;
    const qint64 id = s.e.customer("Steady Customer", "Halifax");
    s.w->showCustomer(id);
    s.click("cmdEditCustomer");
    s.type("txtSupplierCity", "Moncton");
    s.e.prompt.answer(false);
    s.click("cmdCancel");
    QVERIFY(s.w->editing());
    QCOMPARE(s.c<QLineEdit>("txtSupplierCity")->text(), QString("Moncton"));
    s.e.prompt.answer(true);
    s.click("cmdCancel");
    QVERIFY(!s.w->editing());
    QCOMPARE(s.c<QLineEdit>("txtSupplierCity")->text(), QString("Halifax"));
    QVERIFY(s.c<QLineEdit>("txtSupplierCity")->isReadOnly());
    QCOMPARE(s.e.prompt.messages().last(), QString("Canceling Changes: Are you sure you want to cancel all changes?"));
    QCOMPARE(s.e.value("SELECT CompanyCity FROM Customer WHERE ID=?", {id}).toString(), QString("Halifax"));
}

void TestCustomerScreens::browsePastTheLast()
{
    CustomerScreen s;
    const qint64 b = s.e.customer("Bravo");
    const qint64 a = s.e.customer("Alpha");
    const qint64 c = s.e.customer("Charlie");
    s.w->showCustomer(a);
    s.click("cmdNext");
    QCOMPARE(s.w->currentId(), b);
    s.click("cmdNext");
    QCOMPARE(s.w->currentId(), c);
    s.click("cmdNext");
    QCOMPARE(s.w->currentId(), c);
    QCOMPARE(s.c<QLineEdit>("txtSupplierName")->text(), QString("Charlie"));
    s.click("cmdPrevious");
    QCOMPARE(s.w->currentId(), b);
    // While editing the browsing commands are off.
    s.click("cmdEditCustomer");
    QVERIFY(!s.c("cmdNext")->isEnabled());
}

void TestCustomerScreens::holdNeedsTheRight()
{
    CustomerScreen s;
    const qint64 id = s.e.customer("Slow Payer");
    db::exec(s.e.t.db(), "UPDATE Customer SET Hold=-1, HoldReason='cheque bounced' WHERE ID=?", {id});
    s.e.ctx.user.set("AllowCustomerHold", false);
    s.w->showCustomer(id);
    s.click("cmdEditCustomer");
    s.pane(1);
    s.click("chkHold");
    QVERIFY(s.c<QCheckBox>("chkHold")->isChecked());
    QCOMPARE(s.e.prompt.messages(),
             QStringList{"Message: You have no Authority to remove the HOLD Status of Customers"});
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.value("SELECT Hold FROM Customer WHERE ID=?", {id}).toInt(), -1);
    s.e.ctx.user.set("AllowCustomerHold", true);
    s.click("cmdEditCustomer");
    s.click("chkHold");
    QVERIFY(!s.c<QCheckBox>("chkHold")->isChecked());
    s.click("cmdUpdateChanges");
    QCOMPARE(s.e.value("SELECT Hold FROM Customer WHERE ID=?", {id}).toInt(), 0);
}

void TestCustomerScreens::memoSheetAndLinks()
{
    CustomerScreen s;
    const qint64 id = s.e.customer("Memo Buyer");
    db::exec(s.e.t.db(), "UPDATE Customer SET EMail='buy@memo.example', WWW='www.memo.example' WHERE ID=?", {id});
    s.w->showCustomer(id);
    s.click("cmdNewMemoSheet");
    const qint64 sheet = s.e.value("SELECT MAX(ID) FROM MemoSheet").toLongLong();
    QCOMPARE(s.w->memoSheet(), sheet);
    QCOMPARE(s.screens.currentMemoSheet(), sheet);
    QCOMPARE(s.e.prompt.texts(PromptEvent::Notice).size(), 1);
    s.click("cmdSearch");
    QCOMPARE(s.screens.asked.last(), QString("openStoneSearch %1").arg(sheet));
    s.w->show();
    s.click("imgEMail");
    s.click("imgWeb");
    QCOMPARE(s.opened.size(), 2);
    QCOMPARE(s.opened[0].toString(), QString("mailto:buy@memo.example?Subject=&Body="));
    QCOMPARE(s.opened[1].host(), QString("www.memo.example"));
    // The memo lists of a customer are not installed: disabled.
    QVERIFY(!s.c("cmdOnMemo")->isEnabled());
}

void TestCustomerScreens::failedSearchIsNotAnEmptyResult()
{
    CustomerEnv e;
    e.customer("Lumen Jewellers", "Vancouver");
    ui::frmCustomerSearch w(e.ctx);
    w.show();
    w.applyPreset({});
    auto *found = w.findChild<QLabel *>("lblFound");
    QCOMPARE(found->text(), QString("Found 1 Customers"));
    db::exec(e.t.db(), "RENAME TABLE Customer TO customer_away");
    w.applyPreset({});
    QVERIFY2(found->text().startsWith("The search failed: "), qPrintable(found->text()));
    QVERIFY(!found->text().contains("Found 0"));
    QCOMPARE(w.findChild<QTableView *>("Flex")->model()->rowCount(), 0);
    db::exec(e.t.db(), "RENAME TABLE customer_away TO Customer");
}

// The grid shows a screenful first and reads on as it scrolls; the count
// follows and is never the count of an earlier search; the export and a
// pick reach every row.
void TestCustomerScreens::searchAScreenfulAtATime()
{
    CustomerEnv e;
    RecordingScreens screens;
    e.ctx.setScreens(&screens);
    for (int i = 0; i < 12; ++i)
        e.customer(QStringLiteral("Lumen %1").arg(i, 2, 10, QLatin1Char('0')), i < 7 ? "Toronto" : "Vancouver");
    e.customer("Other Buyer", "Toronto");
    {
        ui::frmCustomerSearch w(e.ctx);
        auto *flex = w.findChild<QTableView *>("Flex");
        auto *model = qobject_cast<customers::CustomerGridModel *>(flex->model());
        QVERIFY(model);
        model->setPageSizes(3, 2);
        auto *found = w.findChild<QLabel *>("lblFound");
        flex->resize(400, 60); // a few rows to a screen
        w.show();
        w.applyPreset({});
        QCOMPARE(model->rowCount(), 3);
        QVERIFY(found->text().isEmpty()); // counted meanwhile
        QTRY_COMPARE(found->text(), QString("Found 13 Customers"));

        // Typed on before the count came: only the newest search's count,
        // and a search of one screenful has it at once.
        auto *words = w.findChild<QLineEdit *>("txtSearchField");
        words->setText("lumen");
        w.SearchCustomerStringModule();
        words->setText("lumen tor");
        w.SearchCustomerStringModule();
        words->setText("lumen van");
        w.SearchCustomerStringModule();
        QCOMPARE(found->text(), QString());
        QTRY_COMPARE(found->text(), QString("Found 5 Customers"));
        words->setText("lumen");
        w.SearchCustomerStringModule();
        words->setText("lumen 11");
        w.SearchCustomerStringModule();
        QCOMPARE(found->text(), QString("Found 1 Customers"));
        QTest::qWait(300);
        QCOMPARE(found->text(), QString("Found 1 Customers"));

        // The export holds every row, not the screenful.
        words->setText("lumen");
        w.SearchCustomerStringModule();
        const QString file = e.dir.filePath("all.csv");
        QVERIFY(w.exportTo(file));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 13);

        // Scrolled to the end, the grid reads the rest; the last row opens.
        for (int i = 0; i < 20 && model->canFetchMore({}); ++i) {
            flex->scrollToBottom();
            QTest::qWait(10);
        }
        QCOMPARE(w.grid().rows.size(), 12);
        QCOMPARE(w.grid().rows.last().first(), QString("Lumen 11"));
        w.cellActivated(11, 0);
        QCOMPARE(screens.asked.last(), QString("openCustomer %1").arg(e.value("SELECT ID FROM Customer WHERE CompanyName='Lumen 11'").toLongLong()));
        QTRY_COMPARE(found->text(), QString("Found 12 Customers"));
    }
    e.ctx.setScreens(nullptr);
}

void TestCustomerScreens::search()
{
    CustomerEnv e;
    RecordingScreens screens;
    e.ctx.setScreens(&screens);
    const qint64 lumen = e.customer("Lumen Jewellers", "Vancouver");
    db::exec(e.t.db(), "UPDATE Customer SET EMail='a@lumen.example', ContactName='Ana', CompanyStreet1='1 Main' WHERE ID=?",
             {lumen});
    e.customer("Other Buyer", "Toronto");
    {
        ui::frmCustomerSearch w(e.ctx);
        QList<QUrl> opened;
        w.openUrl = [&](const QUrl &u) { opened << u; };
        w.show();
        w.applyPreset({});
        auto *found = w.findChild<QLabel *>("lblFound");
        QCOMPARE(found->text(), QString("Found 2 Customers"));
        QTest::keyClicks(w.findChild<QLineEdit *>("txtSearchField"), "lum van");
        QTRY_COMPARE(found->text(), QString("Found 1 Customers"));
        QAbstractItemModel *model = w.findChild<QTableView *>("Flex")->model();
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("Company Name"));
        QCOMPARE(model->index(0, 0).data().toString(), QString("Lumen Jewellers"));
        QCOMPARE(model->rowCount(), 1);
        w.cellActivated(0, 8);
        QCOMPARE(opened.value(0).toString(), QString("mailto:a@lumen.example?Subject=&Body="));
        w.cellActivated(0, 1);
        QCOMPARE(screens.asked, QStringList{QString("openCustomer %1").arg(lumen)});
        const QString file = e.dir.filePath("found.csv");
        QVERIFY(w.exportTo(file));
        QVERIFY(QFile::exists(file));
        QVERIFY(!w.exportTo(e.dir.filePath("no/such/folder.csv")));
        QCOMPARE(e.prompt.messages().size(), 1);
        // The imgClear picture empties the words and searches again.
        QTest::mouseClick(w.findChild<QToolButton *>("imgClear"), Qt::LeftButton);
        QCOMPARE(found->text(), QString("Found 2 Customers"));

        // A pick for the stone screen hands the chosen one over.
        CustomerSearchPreset pick;
        pick.customers = true;
        pick.pickForStone = true;
        w.applyPreset(pick);
        screens.asked.clear();
        w.findChild<QTableView *>("Flex")->selectRow(0);
        QCOMPARE(screens.asked, QStringList{QString("partyPicked %1").arg(lumen)});
    }
    QCOMPARE(customers::pickAddressBlock(e.t.db(), lumen), QString("Lumen Jewellers\r\n1 Main\r\nVancouver\r\nAna"));
    e.ctx.setScreens(nullptr);
}

void TestCustomerScreens::repScreen()
{
    CustomerEnv e;
    RecordingScreens screens;
    screens.installed = {velmor::Screen::CustomerSearch};
    e.ctx.setScreens(&screens);
    db::exec(e.t.db(), "INSERT INTO Rep (CompanyName, City) VALUES ('Old Agent', 'Calgary')");
    {
        ui::frmRep w(e.ctx);
        w.show();
        auto *add = w.findChild<QPushButton *>("cmdAddRep");
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(w.busy());
        auto *city = w.findChild<QComboBox *>("cboCity");
        QCOMPARE(city->count(), 1); // the city typed for another rep is offered
        QTest::keyClicks(w.findChild<QLineEdit *>("txtCompanyName"), "Prairie Agents");
        city->setEditText("Regina");
        QTest::mouseClick(w.findChild<QPushButton *>("cmdUpdate"), Qt::LeftButton);
        QVERIFY(!w.busy());
        const qint64 id = w.currentId();
        QCOMPARE(id, e.value("SELECT MAX(ID) FROM Rep").toLongLong());
        QCOMPARE(w.findChild<QLineEdit *>("txtRepID")->text(), QString::number(id));
        QCOMPARE(e.value("SELECT City FROM Rep WHERE ID=?", {id}).toString(), QString("Regina"));
        QVERIFY(e.value("SELECT Street2 FROM Rep WHERE ID=?", {id}).isNull());

        // Round trip: edit, save untouched.
        db::exec(e.t.db(), "UPDATE Rep SET Fax='', Province='SK' WHERE ID=?", {id});
        w.showRep(id);
        const QVariantList before = e.row("Rep", id);
        QTest::mouseClick(w.findChild<QPushButton *>("cmdEditRep"), Qt::LeftButton);
        QCOMPARE(w.findChild<QComboBox *>("cboProvince")->currentText(), QString("SK"));
        QTest::mouseClick(w.findChild<QPushButton *>("cmdUpdate"), Qt::LeftButton);
        QCOMPARE(e.row("Rep", id), before);

        QTest::mouseClick(w.findChild<QPushButton *>("cmdShowCustomers"), Qt::LeftButton);
        QCOMPARE(screens.asked,
                 QStringList{QString("openCustomerSearchWith customers=0 suppliers=0 hold=0 rep=%1 pick=0").arg(id)});
        // Without the edit right: disabled.
        e.ctx.user.set("AllowRepEdit", false);
        emit e.ctx.events().rightsChanged();
        QVERIFY(!w.findChild<QPushButton *>("cmdEditRep")->isEnabled());
        QVERIFY(!w.findChild<QPushButton *>("cmdCommissionList")->isEnabled());
    }
    e.ctx.setScreens(nullptr);
}

void TestCustomerScreens::frontScreenCommands()
{
    CustomerEnv e;
    e.ctx.user.reset();
    const qint64 held = e.customer("Held Customer");
    db::exec(e.t.db(), "UPDATE Customer SET Hold=-1 WHERE ID=?", {held});
    e.customer("Free Customer");
    ui::StartupFlow flow(e.ctx);
    QSignalSpy done(&flow, &ui::StartupFlow::finished);
    flow.start();
    QVERIFY(done.count() > 0 || done.wait(20000));
    ui::frmFront *front = flow.front();
    QVERIFY(flow.available(velmor::Screen::Customer) && flow.available(velmor::Screen::CustomerSearch));
    for (const char *r : {"AllowCustomerAdd", "AllowCustomerView", "AllowCustomerHoldView", "AllowRepAdd",
                          "AllowPastDueView", "AllowMemoAssigning"})
        e.ctx.user.set(QString::fromLatin1(r), true);
    emit e.ctx.events().rightsChanged();
    for (const char *name : {"cmdAddCustomer", "cmdFindCustomer", "cmdAddRep", "cmdOverDue"})
        QVERIFY2(front->findChild<QPushButton *>(name)->isEnabled(), name);
    QVERIFY(!front->findChild<QPushButton *>("cmdFindRep")->isEnabled());

    front->findChild<QAction *>("mnuHoldCust")->trigger();
    ui::frmCustomerSearch *search = flow.customerSearch();
    QVERIFY(search && search->isVisible());
    QVERIFY(search->filter().onHold && search->filter().customers && !search->filter().suppliers);
    QCOMPARE(search->grid().rows.size(), 1);

    // A customer not found is added from the search itself.
    auto *searchAdd = search->findChild<QPushButton *>("cmdAddCustomer");
    QVERIFY(searchAdd && searchAdd->isEnabled());
    searchAdd->click();
    QVERIFY(flow.customerScreen(false) && flow.customerScreen(false)->adding());
    e.ctx.user.set("AllowCustomerAdd", false);
    emit e.ctx.events().rightsChanged();
    QVERIFY(!searchAdd->isEnabled());
    e.ctx.user.set("AllowCustomerAdd", true);
    emit e.ctx.events().rightsChanged();

    front->findChild<QPushButton *>("cmdAddCustomer")->click();
    QVERIFY(flow.customerScreen(false) && flow.customerScreen(false)->adding());

    // A supplier from the Add menu: the customer screen with its supplier box ticked.
    e.prompt.answer(true);
    flow.customerScreen(false)->cancel();
    front->findChild<QAction *>("mnuAddSupplier")->trigger();
    QVERIFY(flow.customerScreen(false) && flow.customerScreen(false)->adding());
    QVERIFY(flow.customerScreen(false)->findChild<QCheckBox *>("chkSupplier")->isChecked());

    front->findChild<QPushButton *>("cmdAddRep")->click();
    QVERIFY(flow.repScreen(false) && flow.repScreen(false)->busy());

    // The overdue check is off with a grace period of 0, and says where the
    // days are set.
    e.prompt.clear();
    front->findChild<QPushButton *>("cmdOverDue")->click();
    QCOMPARE(e.prompt.messages(),
             QStringList{"Overdue: The overdue check is off: the grace period is 0 days.\n\nSet the days under "
                         "Configuration, tab \"Store\", \"Overdue after (days)\"."});

    // The stone screen's pick: the customer search opens for a party and the
    // choice lands in the stone screen's customer combo.
    ui::frmDiamondDetail *stone = flow.stone();
    stone->findChild<QPushButton *>("cmdFindCustomer")->click();
    QVERIFY(search->filter().customers);
    flow.partyPicked(PartyPick{held, "Held Customer"});
    QVERIFY(stone->findChild<QComboBox *>("cboCustomer")->currentText().startsWith("Held Customer"));
    // New memo from the stone screen goes through the customer subsystem.
    stone->findChild<QPushButton *>("cmdNewMemo")->click();
    const qint64 sheet = e.value("SELECT MAX(ID) FROM MemoSheet").toLongLong();
    QVERIFY(sheet > 0);
    QCOMPARE(e.value("SELECT CustomerID FROM MemoSheet WHERE ID=?", {sheet}).toLongLong(), held);
    QCOMPARE(stone->findChild<QLabel *>("lblMemoIDIS")->text(), QString::number(sheet));
    QCOMPARE(flow.currentMemoSheet(), sheet);
}

void TestCustomerScreens::repSearchWords_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("no words: every rep, by name") << "" << QStringList{"100% Gems", "Nord Agents", "Prairie Agents"};
    QTest::newRow("part of the name") << "agents" << QStringList{"Nord Agents", "Prairie Agents"};
    QTest::newRow("last name") << "lindqvist" << QStringList{"Nord Agents"};
    QTest::newRow("a phone number") << "555-0199" << QStringList{"Prairie Agents"};
    QTest::newRow("beginning of the city") << "reg" << QStringList{"Prairie Agents"};
    QTest::newRow("the city's middle is not enough") << "gina" << QStringList{};
    QTest::newRow("every word must match") << "agents reg" << QStringList{"Prairie Agents"};
    QTest::newRow("% is a literal") << "100%" << QStringList{"100% Gems"};
    QTest::newRow("_ is a literal") << "1_0" << QStringList{};
}

void TestCustomerScreens::repSearchWords()
{
    QFETCH(QString, words);
    QFETCH(QStringList, found);
    CustomerEnv e;
    db::exec(e.t.db(), "INSERT INTO Rep (CompanyName, LastName, City, Phone1) VALUES "
                       "('Prairie Agents', 'Olson', 'Regina', '306-555-0199'), "
                       "('Nord Agents', 'Lindqvist', 'Oslo', NULL), ('100% Gems', NULL, 'Toronto', NULL)");
    QStringList names;
    for (const customers::RepListRow &r : customers::searchReps(e.t.db(), words))
        names << r.companyName;
    QCOMPARE(names, found);
}

// "Find rep": the list of reps opens an existing rep, whose edit and
// customer list then work as for a rep just added.
void TestCustomerScreens::findRepOpensTheRep()
{
    CustomerEnv e;
    e.ctx.user.reset();
    const qint64 old = e.rep("Old Agent");
    e.rep("Other Agent");
    ui::StartupFlow flow(e.ctx);
    QSignalSpy done(&flow, &ui::StartupFlow::finished);
    flow.start();
    QVERIFY(done.count() > 0 || done.wait(20000));
    ui::frmFront *front = flow.front();
    auto *cmdFindRep = front->findChild<QPushButton *>("cmdFindRep");
    QVERIFY(!cmdFindRep->isEnabled());
    for (const char *r : {"AllowRepView", "AllowRepEdit", "AllowCustomerView"})
        e.ctx.user.set(QString::fromLatin1(r), true);
    emit e.ctx.events().rightsChanged();
    QVERIFY(cmdFindRep->isEnabled());
    cmdFindRep->click();
    ui::frmRepSearch *list = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *l = qobject_cast<ui::frmRepSearch *>(w); l && l->isVisible())
            list = l;
    QVERIFY(list);
    QCOMPARE(list->rows().size(), 2);
    QTest::keyClicks(list->findChild<QLineEdit *>("txtSearchField"), "old");
    list->search();
    QCOMPARE(list->rows().size(), 1);
    QTest::keyClick(list->findChild<QLineEdit *>("txtSearchField"), Qt::Key_Return);
    ui::frmRep *rep = flow.repScreen(false);
    QVERIFY(rep && rep->isVisible());
    QCOMPARE(rep->currentId(), old);
    QCOMPARE(rep->findChild<QLineEdit *>("txtCompanyName")->text(), QString("Old Agent"));
    // Edit and save the existing rep.
    QTest::mouseClick(rep->findChild<QPushButton *>("cmdEditRep"), Qt::LeftButton);
    QVERIFY(rep->busy());
    rep->findChild<QLineEdit *>("txtPhone1")->setText("403-555-0100");
    QTest::mouseClick(rep->findChild<QPushButton *>("cmdUpdate"), Qt::LeftButton);
    QCOMPARE(e.value("SELECT Phone1 FROM Rep WHERE ID=?", {old}).toString(), QString("403-555-0100"));
    // Its customers: the customer search with the rep chosen.
    QTest::mouseClick(rep->findChild<QPushButton *>("cmdShowCustomers"), Qt::LeftButton);
    QVERIFY(flow.customerSearch() && flow.customerSearch()->isVisible());
    QCOMPARE(flow.customerSearch()->filter().repId, old);
}

QTEST_MAIN(TestCustomerScreens)
#include "tst_customerscreens.moc"
