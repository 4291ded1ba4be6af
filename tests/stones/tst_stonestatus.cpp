// Status changes of a stone: their messages, the rows they write, and the
// refusal when another workstation changed the stone first.
#include "StoneTestEnv.h"
#include "invoices/Posting.h"
#include "WorkstationThread.h"
#include "stones/StoneStatus.h"

#include <QThread>
#include <QtTest>

using namespace velmor;
using namespace velmor::stones;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;
using velmor::test::ScriptedPrompt;
using velmor::test::WorkstationThread;

namespace {
// Waits until a statement beginning with `start` runs on the server (and,
// the row being locked, waits there).
bool statementRuns(const QSqlDatabase &db, const QString &start)
{
    for (int i = 0; i < 500; ++i) {
        if (db::scalar(db, "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO LIKE ?", {start + "%"})
                .toInt() > 0)
            return true;
        QThread::msleep(20);
    }
    return false;
}
} // namespace

class TestStoneStatus : public QObject {
    Q_OBJECT
private slots:
    void sellChecks_data();
    void sellChecks();
    void sellWritesTheSale();
    void secondWorkstationSellsFirst();
    void returnFromCustomer();
    void vendorRoundTrip();
    void memoReturn_data();
    void memoReturn();
    void memoReturnRacesWithAnotherWorkstation();
    void consignmentIn();
    void holdAndSupplier();
    void bindIntoItem();
    void display_data();
    void display();
    void statusChangeIsOneTransaction();
    void lostDeadlockIsRetried();
    void lockWaitIsRetriedThenReported();
    void memoReturnSeesPaymentEnteredMeanwhile();
};

void TestStoneStatus::sellChecks_data()
{
    QTest::addColumn<bool>("withCustomer");
    QTest::addColumn<bool>("withStone");
    QTest::addColumn<QString>("message");
    QTest::newRow("no customer") << false << true << "Message: You have to select a Customer before you can proceed!";
    QTest::newRow("no stone") << true << false << "Message: You have to select a Diamond before you can proceed!";
    QTest::newRow("neither") << false << false << "Message: You have to select a Customer before you can proceed!";
}

void TestStoneStatus::sellChecks()
{
    QFETCH(bool, withCustomer);
    QFETCH(bool, withStone);
    QFETCH(QString, message);
    StoneEnv e;
    const qint64 c = e.customer("Buyer");
    const qint64 id = e.stone("S1");
    QCOMPARE(sellStone(e.ctx, withStone ? id : 0, withCustomer ? c : 0), StatusResult::Refused);
    QCOMPARE(e.prompt.messages(), QStringList{message});
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
}

void TestStoneStatus::sellWritesTheSale()
{
    StoneEnv e;
    e.ctx.settings.StoneChange = true;
    const qint64 c = e.customer("Lumen Jewellers");
    const qint64 id = e.stone("S1");
    e.prompt.answer(false);
    QCOMPARE(sellStone(e.ctx, id, c), StatusResult::Declined);
    QCOMPARE(e.prompt.messages(),
             QStringList{"Selling Diamond: Are you sure you want to sell this Stone to\n\nLumen Jewellers\n\n"});
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
    e.prompt.answer(true);
    QCOMPARE(sellStone(e.ctx, id, c), StatusResult::Done);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND Status='Sold' AND CustomerID=? AND "
                     "DATE(DateStatusChange)=CURDATE() AND datewassold IS NOT NULL",
                     {id, c}),
             1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND Status='Sold' AND SKU='S1'", {id}), 1);
    // a sold stone cannot be sold again
    e.prompt.clear();
    e.prompt.answer(true);
    QCOMPARE(sellStone(e.ctx, id, c), StatusResult::Conflict);
}

void TestStoneStatus::secondWorkstationSellsFirst()
{
    StoneEnv e;
    const qint64 first = e.customer("First Buyer");
    const qint64 second = e.customer("Second Buyer");
    const qint64 id = e.stone("S2");
    // The screen has the stone loaded in stock; another workstation sells it.
    QSqlDatabase other = e.t.secondConnection();
    QCOMPARE(db::execAffected(other, "UPDATE SingleStone SET Status='Sold', CustomerID=? WHERE ID=? AND Status LIKE 'Stock'",
                              {second, id}),
             1);
    e.prompt.answer(true);
    QCOMPARE(sellStone(e.ctx, id, first), StatusResult::Conflict);
    const PromptEvent last = e.prompt.events.last();
    QCOMPARE(last.title, QString("Selling Diamond"));
    QCOMPARE(last.text, QString("This Diamond has been changed on another Workstation meanwhile: its Status is now "
                                "\"Sold\".\n\nNothing has been changed. Please look at the Diamond again."));
    QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {id}).toLongLong(), second);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE Status='Sold'"), 1);
}

// The return of a sold stone is asked first, naming its invoice, and is
// recorded on the invoice line it reverses (once).
void TestStoneStatus::returnFromCustomer()
{
    StoneEnv e;
    const qint64 c = e.customer("Buyer");
    const qint64 id = e.stone("R1");
    QCOMPARE(invoices::sellStoneOnInvoice(e.ctx, id, c, "1.01", "3500").result, invoices::SellResult::Done);
    const qint64 invoice = e.value("SELECT invoiceid FROM invoicelist WHERE diamondid=?", {id}).toLongLong();
    e.prompt.clear();
    QCOMPARE(stones::returnFromCustomer(e.ctx, id), StatusResult::Declined);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Sold"));
    const QString asked = e.prompt.texts(PromptEvent::Ask).value(0);
    QVERIFY2(asked.startsWith("This Stone will be put back into Stock, no reverse Invoice will be created!")
                 && asked.contains(QString("sold to Buyer on Invoice #%1").arg(invoice)),
             qPrintable(asked));
    e.prompt.clear();
    e.prompt.answer(true);
    QCOMPARE(stones::returnFromCustomer(e.ctx, id), StatusResult::Done);
    QCOMPARE(e.prompt.texts(PromptEvent::Notice), QStringList{"Stone is marked back into Stock!"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND Status='Stock' AND CustomerID IS NULL", {id}), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist WHERE diamondid=? AND returned IS NOT NULL AND returnedby=7", {id}),
             1);
    // a stone already back in stock is not "returned" twice
    e.prompt.answer(true);
    QCOMPARE(stones::returnFromCustomer(e.ctx, id), StatusResult::Conflict);
}

void TestStoneStatus::vendorRoundTrip()
{
    StoneEnv e;
    const qint64 id = e.stone("V1");
    e.prompt.answer(false);
    QCOMPARE(returnToVendor(e.ctx, id), StatusResult::Declined);
    QCOMPARE(e.count("SELECT COUNT(*) FROM returntovendor"), 0);
    e.prompt.answers({true, true, true});
    QCOMPARE(returnToVendor(e.ctx, id), StatusResult::Done);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("returned"));
    QCOMPARE(statusDisplay("returned").vendorCaption, QString("from VENDOR, RECEIVE"));
    // returning twice is not possible
    QCOMPARE(returnToVendor(e.ctx, id), StatusResult::Conflict);
    QCOMPARE(receiveFromVendor(e.ctx, id), StatusResult::Done);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
    QCOMPARE(e.prompt.texts(PromptEvent::Ask),
             QStringList({"This Stone will be removed from Stock!", "This Stone will be removed from Stock!",
                          "This Stone will be removed from Stock!", "This Stone will enter your Stock again!"}));
    QCOMPARE(e.prompt.texts(PromptEvent::Notice),
             QStringList({"Stone has been return to Vendor and is not part of your Inventory anymore!",
                          "Stone has been received back from Vendor!"}));
    QSqlQuery q = db::exec(e.t.db(), "SELECT DiamondID, Action FROM returntovendor ORDER BY ID");
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + ":" + q.value(1).toString();
    QCOMPARE(rows, QStringList({QString::number(id) + ":remove", QString::number(id) + ":received"}));
}

void TestStoneStatus::memoReturn_data()
{
    QTest::addColumn<double>("payment");
    QTest::addColumn<bool>("returned");
    QTest::newRow("no payment") << 0.0 << true;
    QTest::newRow("payment received") << 250.0 << false;
}

void TestStoneStatus::memoReturn()
{
    QFETCH(double, payment);
    QFETCH(bool, returned);
    StoneEnv e;
    const qint64 c = e.customer("A Very Long Company Name Ltd");
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID, Date) VALUES (?, NOW())", {c});
    const qint64 id = e.stone("M1", "Memo", c);
    db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID=?, MemoUS=3000, DateOnMemo=NOW(), "
                       "currentRAPdiscountFORmemo=25 WHERE ID=?", {sheet, id});
    if (payment != 0)
        db::exec(e.t.db(), "INSERT INTO PaymentReceived (StoneID, PaymentUS) VALUES (?, ?)", {id, payment});
    const StatusResult r = returnFromMemo(e.ctx, id);
    if (!returned) {
        QCOMPARE(r, StatusResult::Refused);
        QCOMPARE(e.prompt.messages(), QStringList{"Status Change: Payments have been made towards this Diamond, \nyou "
                                                  "cannot return this Diamond into Stock"});
        QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Memo"));
        QCOMPARE(e.count("SELECT COUNT(*) FROM Memo"), 0);
        return;
    }
    QCOMPARE(r, StatusResult::Done);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND Status='Stock' AND CustomerID IS NULL AND "
                     "MemoSheetID IS NULL AND MemoUS IS NULL AND MemoLocal IS NULL AND DateStatusChange IS NULL",
                     {id}),
             1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=? AND CustomerID=? AND Quantity=-1 AND MemoSheetID=? "
                     "AND setdate IS NOT NULL",
                     {id, c, sheet}),
             1);
    QCOMPARE(e.value("SELECT Status FROM StoneChange WHERE StoneID=?", {id}).toString(), QString("in A Very Long Compa"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND SKU='M1' AND EmployeeID=7 AND "
                     "LockPercent=0 AND Canadian=0 AND Carat IS NULL",
                     {id}),
             1);
}

void TestStoneStatus::memoReturnRacesWithAnotherWorkstation()
{
    StoneEnv e;
    const qint64 c = e.customer("Memo Customer");
    const qint64 id = e.stone("M2", "Memo", c);
    QSqlDatabase other = e.t.secondConnection();
    db::exec(other, "UPDATE SingleStone SET Status='Sold' WHERE ID=?", {id});
    QCOMPARE(returnFromMemo(e.ctx, id), StatusResult::Conflict);
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo"), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange"), 0);
}

void TestStoneStatus::consignmentIn()
{
    StoneEnv e;
    const qint64 s = e.customer("Rough & Co", true);
    const qint64 id = e.stone("C1");
    e.prompt.answers({false, true, true});
    QCOMPARE(setConsignmentIn(e.ctx, id, s), StatusResult::Declined);
    QVERIFY(e.value("SELECT ConsignmentInCustomerID FROM SingleStone WHERE ID=?", {id}).isNull());
    QCOMPARE(setConsignmentIn(e.ctx, id, s), StatusResult::Done);
    QCOMPARE(setConsignmentIn(e.ctx, id, s), StatusResult::Done);
    QCOMPARE(e.prompt.events.first().title, QString("Consignment-IN Status Change"));
    QCOMPARE(e.prompt.events.first().text, QString("You are changing the 'Consignment-IN' Property to\nDiamond here "
                                                    "from Rough & Co\n\nAre you sure you want to do that?"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND ConsignmentInCustomerID=? AND SupplierID=?",
                     {id, s, s}),
             1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentMade WHERE StoneID=? AND CustomerID=? AND PaymentUS=0 AND "
                     "PaymentLocal=0 AND Reference IS NULL",
                     {id, s}),
             1);
    QVERIFY(canEnterPaymentMade(e.ctx, id, s));
    QVERIFY(!canEnterPaymentMade(e.ctx, id, 0));
    QCOMPARE(e.prompt.messages().last(), QString("Supplier Information missing: This Diamond doesn't seem to be on "
                                                 "Consignment here from one of your Suppliers!"));
}

void TestStoneStatus::holdAndSupplier()
{
    StoneEnv e;
    const qint64 c = e.customer("Holder");
    const qint64 id = e.stone("H1");
    QCOMPARE(setHold(e.ctx, id, c), StatusResult::Done);
    QCOMPARE(saveHoldNote(e.ctx, id, "until Friday, O'Neil", QDate(2026, 5, 1)), StatusResult::Done);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND OnHoldForCustomerID=? AND "
                     "OnHoldNote='until Friday, O''Neil' AND OnHoldDate='2026-05-01'",
                     {id, c}),
             1);
    QCOMPARE(setHold(e.ctx, id, 0), StatusResult::Done);
    QVERIFY(e.value("SELECT OnHoldForCustomerID FROM SingleStone WHERE ID=?", {id}).isNull());
    QCOMPARE(setSupplier(e.ctx, id, c), StatusResult::Done);
    QCOMPARE(e.value("SELECT SupplierID FROM SingleStone WHERE ID=?", {id}).toLongLong(), c);
}

void TestStoneStatus::bindIntoItem()
{
    StoneEnv e;
    const qint64 id = e.stone("B1");
    QCOMPARE(stones::bindIntoItem(e.ctx, id, 0), StatusResult::Refused);
    QCOMPARE(stones::bindIntoItem(e.ctx, id, 5), StatusResult::Done);
    QCOMPARE(stones::bindIntoItem(e.ctx, id, 5), StatusResult::Refused);
    QCOMPARE(stones::bindIntoItem(e.ctx, id, 6), StatusResult::Refused);
    QCOMPARE(e.prompt.messages(), QStringList({"Message: Nothing selected!",
                                               "Diamond Assembly: This Diamond is already part of this Item.",
                                               "Diamond Assembly: This Diamond is already part of another Item."}));
    QCOMPARE(e.count("SELECT COUNT(*) FROM ItemSingleDiamond WHERE DiamondID=? AND ItemID=5 AND Quantity=1", {id}), 1);
    QCOMPARE(e.value("SELECT ItemID FROM SingleStone WHERE ID=?", {id}).toInt(), 5);
}

void TestStoneStatus::display_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sell");
    QTest::addColumn<QString>("vendor");
    QTest::newRow("stock") << "Stock" << "STOCK" << true << "stone ---> RETURN TO VENDOR";
    QTest::newRow("memo") << "Memo" << "MEMO" << false << "stone ---> RETURN TO VENDOR";
    QTest::newRow("sold") << "Sold" << "SOLD" << false << "stone ---> RETURN TO VENDOR";
    QTest::newRow("returned") << "returned" << "RETURNED" << false << "from VENDOR, RECEIVE";
}

void TestStoneStatus::display()
{
    QFETCH(QString, status);
    QFETCH(QString, text);
    QFETCH(bool, sell);
    QFETCH(QString, vendor);
    const StatusDisplay d = statusDisplay(status);
    QCOMPARE(d.statusText, text);
    QCOMPARE(d.sellEnabled, sell);
    QCOMPARE(d.stockPicture, sell);
    QCOMPARE(d.vendorCaption, vendor);
}

// When the vendor row or the journal row cannot be written, the status stays.
void TestStoneStatus::statusChangeIsOneTransaction()
{
    StoneEnv e;
    e.ctx.settings.StoneChange = true;
    const qint64 id = e.stone("X1");
    db::exec(e.t.db(), "RENAME TABLE returntovendor TO rtv_gone");
    e.prompt.answer(true);
    QCOMPARE(returnToVendor(e.ctx, id), StatusResult::Failed);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange"), 0);
    QVERIFY(e.prompt.texts(PromptEvent::Notice).isEmpty());

    const qint64 c = e.customer("Memo Customer");
    const qint64 m = e.stone("X2", "Memo", c);
    db::exec(e.t.db(), "RENAME TABLE Memo TO memo_gone");
    QCOMPARE(returnFromMemo(e.ctx, m), StatusResult::Failed);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {m}).toString(), QString("Memo"));
    QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {m}).toLongLong(), c);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange"), 0);
}

// Another workstation holds a shared lock on the stone and has written more
// than the sale, so that the engine picks the sale as the deadlock's loser.
void TestStoneStatus::lostDeadlockIsRetried()
{
    StoneEnv e;
    const qint64 buyer = e.customer("Buyer");
    const qint64 id = e.stone("D1");
    QSqlDatabase other = e.t.secondConnection();
    db::exec(other, "START TRANSACTION");
    for (int i = 0; i < 20; ++i)
        db::exec(other, "INSERT INTO returntovendor (DiamondID, Action) VALUES (?, 'other')", {id});
    db::exec(other, "SELECT ID FROM SingleStone WHERE ID = ? LOCK IN SHARE MODE", {id});

    StatusResult result = StatusResult::Failed;
    QStringList messages;
    WorkstationThread sale(e.t.settings(), [&](AppContext &ctx, ScriptedPrompt &p) {
        db::exec(ctx.db(), "SET SESSION innodb_lock_wait_timeout = 5");
        p.answer(true);
        result = sellStone(ctx, id, buyer);
        messages = p.messages();
    });
    QVERIFY(statementRuns(e.t.db(), "UPDATE SingleStone SET Status='Sold'"));
    // The other workstation's own change closes the circle: the sale loses.
    db::exec(other, "UPDATE SingleStone SET Location = 'Safe' WHERE ID = ?", {id});
    db::exec(other, "COMMIT");
    sale.join();

    QCOMPARE(result, StatusResult::Done);
    QCOMPARE(messages.size(), 1); // the question only
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Sold"));
    QCOMPARE(e.value("SELECT Location FROM SingleStone WHERE ID=?", {id}).toString(), QString("Safe"));
}

void TestStoneStatus::lockWaitIsRetriedThenReported()
{
    StoneEnv e;
    const qint64 id = e.stone("L1");
    QSqlDatabase other = e.t.secondConnection();
    for (const int holdMs : {1500, 9000}) {
        db::exec(other, "START TRANSACTION");
        db::exec(other, "SELECT ID FROM SingleStone WHERE ID = ? FOR UPDATE", {id});
        StatusResult result = StatusResult::Failed;
        QStringList messages;
        WorkstationThread move(e.t.settings(), [&](AppContext &ctx, ScriptedPrompt &p) {
            db::exec(ctx.db(), "SET SESSION innodb_lock_wait_timeout = 1");
            p.answer(true);
            result = returnToVendor(ctx, id);
            messages = p.messages();
        });
        QTest::qWait(holdMs);
        db::exec(other, "COMMIT");
        move.join();
        if (holdMs < 5000) {
            // Held a little longer than one wait: the second try gets through.
            QCOMPARE(result, StatusResult::Done);
            QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("returned"));
            db::exec(e.t.db(), "UPDATE SingleStone SET Status='Stock' WHERE ID=?", {id});
        } else {
            // Held through every try: told, as a conflict, and nothing changed.
            QCOMPARE(result, StatusResult::Conflict);
            QVERIFY2(messages.last().contains("being changed on another Workstation"), qPrintable(messages.join("|")));
            QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Stock"));
        }
    }
}

// A payment entered on another workstation while the return runs: the
// return waits for it and refuses, rather than return a paid stone.
void TestStoneStatus::memoReturnSeesPaymentEnteredMeanwhile()
{
    StoneEnv e;
    const qint64 c = e.customer("Memo Customer");
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID, Date) VALUES (?, NOW())", {c});
    const qint64 id = e.stone("M3", "Memo", c);
    db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID=? WHERE ID=?", {sheet, id});
    QSqlDatabase other = e.t.secondConnection();
    db::exec(other, "START TRANSACTION");
    db::exec(other, "INSERT INTO PaymentReceived (StoneID, PaymentUS) VALUES (?, 500)", {id});

    StatusResult result = StatusResult::Failed;
    WorkstationThread ret(e.t.settings(), [&](AppContext &ctx, ScriptedPrompt &) { result = returnFromMemo(ctx, id); });
    QTest::qWait(500);
    db::exec(other, "COMMIT");
    ret.join();
    QCOMPARE(result, StatusResult::Refused);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Memo"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo"), 0);
}

QTEST_GUILESS_MAIN(TestStoneStatus)
#include "tst_stonestatus.moc"
