// Stones moving on memo sheets: the rows each movement writes, the
// refusals, one transaction per movement, two workstations racing for one
// stone, the bulk commands, and the change log matching the journal.
#include "../stones/StoneTestEnv.h"
#include "WorkstationThread.h"
#include "db/Row.h"
#include "memos/MemoFiles.h"
#include "memos/MemoMoves.h"
#include "memos/MemoSheetSql.h"
#include "memos/MemoSheetView.h"

#include <QTest>
#include <atomic>

using namespace velmor;
using namespace velmor::memos;
using velmor::test::ScriptedPrompt;
using velmor::test::StoneEnv;
using velmor::test::WorkstationThread;

namespace {

qint64 sheetFor(StoneEnv &e, qint64 customer)
{
    return db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {customer});
}

// Journal and change log agree: per stone as many "out" rows as journal rows
// going out, as many "in" rows as rows coming back.
void checkLogMatchesJournal(StoneEnv &e)
{
    QSqlQuery q = db::exec(
        e.t.db(),
        "SELECT s.ID, "
        " (SELECT COUNT(*) FROM Memo m WHERE m.DiamondID=s.ID AND m.Quantity=1), "
        " (SELECT COUNT(*) FROM StoneChange c WHERE c.StoneID=s.ID AND c.Status LIKE 'out %'), "
        " (SELECT COUNT(*) FROM Memo m WHERE m.DiamondID=s.ID AND m.Quantity=-1), "
        " (SELECT COUNT(*) FROM StoneChange c WHERE c.StoneID=s.ID AND c.Status LIKE 'in %'), "
        " (SELECT COUNT(*) FROM PaymentReceived p WHERE p.StoneID=s.ID) "
        "FROM SingleStone s");
    while (q.next()) {
        const QString id = q.value(0).toString();
        QVERIFY2(q.value(1).toInt() == q.value(2).toInt(), qPrintable("out rows of stone " + id));
        QVERIFY2(q.value(3).toInt() == q.value(4).toInt(), qPrintable("in rows of stone " + id));
        QVERIFY2(q.value(1).toInt() == q.value(5).toInt(), qPrintable("payment rows of stone " + id));
    }
}

} // namespace

class tst_memomoves : public QObject {
    Q_OBJECT

private slots:
    void aSheetsWholeLife();
    void parcelCaratsOutKeepTheSheetOpen_data();
    void parcelCaratsOutKeepTheSheetOpen();
    void refusals_data();
    void refusals();
    void movementStatusKeepsTwentyCharacters();
    void aFailedMovementWritesNothing();
    void twoWorkstationsPutOneStoneOnTwoSheets();
    void returnRacesWithSale();
    void bulkReturnAndSale();
    void noSaleWithoutAPrice();
    void unreachableListingDoesNotUndoTheMove();
    void priceFields();
    void sheetLinesCurrentAndHistory();
};

void tst_memomoves::aSheetsWholeLife()
{
    StoneEnv e;
    const qint64 c = e.customer("Brilliant & Sons");
    const qint64 sheet = sheetFor(e, c);
    QList<qint64> s;
    for (const char *sku : {"A1", "B2", "C3", "D4"})
        s << e.stone(sku);

    for (qint64 id : s)
        QVERIFY(putOnMemo(e.ctx, sheet, id, "30", 7).ok());
    QSqlQuery q = db::exec(e.t.db(), "SELECT * FROM SingleStone WHERE ID=?", {s[0]});
    QVERIFY(q.next());
    const db::Row r(q.record());
    QCOMPARE(r.text("Status"), QString("Memo"));
    QCOMPARE(r.integer("MemoSheetID"), sheet);
    QCOMPARE(r.integer("CustomerID"), c);
    QCOMPARE(r.num("currentRAPdiscountFORmemo"), 30.0);
    QCOMPARE(r.num("MemoUS"), 3535.0); // 30 % off 5000 x 1.01: the price agreed is kept
    QVERIFY(r.dateTime("DateOnMemo").isValid());
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE Quantity=1 AND MemoSheetID=? AND CustomerID=? AND userID=7 "
                     "AND outonmemorapdiscount=30 AND US=3535 AND Local IS NULL",
                     {sheet, c}),
             4);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE Status='out Brilliant & Sons' AND SKU='A1' "
                     "AND LockPercent=0 AND Canadian=0 AND Carat IS NULL"),
             1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentReceived WHERE PaymentUS=0 AND PaymentLocal=0 AND CustomerID=?", {c}),
             4);
    QCOMPARE(MemoFiles(e.ctx.workstation).lastDiscount(), QString("30"));

    // The grid: 1.01 ct x 5000 at 30 % off.
    const MemoSheetData data = loadMemoSheet(e.ctx, sheet);
    QCOMPARE(data.lines.size(), 4);
    QCOMPARE(data.lines[0].stonePrice, QString("3,535.00"));
    QCOMPARE(data.header.company, QString("Brilliant & Sons"));
    QCOMPARE(data.header.ref, QString("n/a"));

    e.prompt.clear();
    QVERIFY(returnToStock(e.ctx, sheet, s[0], 7).ok());
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s[0]}).toString(), QString("Stock"));
    QVERIFY(e.value("SELECT MemoSheetID FROM SingleStone WHERE ID=?", {s[0]}).isNull());
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=? AND Quantity=-1 AND US=0 AND Local=0", {s[0]}), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND Status='in Brilliant & Sons'", {s[0]}), 1);

    // Sold: first onto a new invoice, then onto the same one.
    e.prompt.clear();
    const MoveOutcome first = sellFromMemo(e.ctx, sheet, s[1], "3,535.00");
    QVERIFY(first.ok());
    QVERIFY(first.posted.newInvoice);
    QCOMPARE(e.prompt.texts(velmor::test::PromptEvent::Notice),
             QStringList{QString("Added B2 to a new Invoice #%1").arg(first.posted.invoiceId)});
    const MoveOutcome second = sellFromMemo(e.ctx, sheet, s[2], "3535");
    QVERIFY(second.ok());
    QCOMPARE(second.posted.invoiceId, first.posted.invoiceId);
    QVERIFY(!second.posted.newInvoice);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist WHERE invoiceid=? AND ROUND(pricecarat,2)=3500 AND carat=1.01",
                     {first.posted.invoiceId}),
             2);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s[1]}).toString(), QString("Sold"));
    QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {s[1]}).toLongLong(), c);
    QVERIFY(!db::flagOf(e.value("SELECT closed FROM memosheet WHERE ID=?", {sheet})));

    // The last stone back: the sheet closes.
    e.prompt.clear();
    const MoveOutcome last = returnToStock(e.ctx, sheet, s[3], 7);
    QVERIFY(last.sheetClosed);
    QVERIFY(db::flagOf(e.value("SELECT closed FROM memosheet WHERE ID=?", {sheet})));
    QCOMPARE(e.prompt.messages(), QStringList{"Memo: This Memo has been closed now!"});

    // A closed sheet still takes a stone, and stays closed.
    QVERIFY(putOnMemo(e.ctx, sheet, s[0], "10", 7).ok());
    QVERIFY(db::flagOf(e.value("SELECT closed FROM memosheet WHERE ID=?", {sheet})));
    checkLogMatchesJournal(e);
}

void tst_memomoves::refusals_data()
{
    QTest::addColumn<QString>("status");    // the stone's status before
    QTest::addColumn<QString>("operation"); // put, return, sell
    QTest::addColumn<qint64>("employee");
    QTest::addColumn<bool>("right");
    QTest::addColumn<QString>("discount");
    QTest::addColumn<QString>("said");
    QTest::newRow("no employee") << "Stock" << "put" << qint64(0) << true << "30"
                                 << "notice: please select an user first!";
    QTest::newRow("no right") << "Stock" << "put" << qint64(7) << false << "30" << "permission";
    QTest::newRow("already on memo") << "Memo" << "put" << qint64(7) << true << "30"
                                     << "Memo: This Diamond is already on MEMO for Holder Ltd on Memo# OTHER";
    QTest::newRow("sold") << "Sold" << "put" << qint64(7) << true << "30" << "Stone is sold: This Stone is already sold!";
    QTest::newRow("returned to vendor")
        << "returned" << "put" << qint64(7) << true << "30"
        << "Stone Status: This Stone has been returned to the Vendor and is not part of your Inventory!";
    QTest::newRow("discount not a number") << "Stock" << "put" << qint64(7) << true << "3O"
                                           << "Memo: The discount off RAP \"3O\" is not a number.";
    QTest::newRow("return: not on this sheet")
        << "Memo" << "return" << qint64(7) << true << "" << "Memo: This Diamond is not part of the current Memo-Sheet";
    QTest::newRow("sell: not on this sheet")
        << "Memo" << "sell" << qint64(7) << true << "" << "Memo: This Diamond is not part of the current Memo-Sheet";
    QTest::newRow("return: in stock") << "Stock" << "return" << qint64(7) << true << ""
                                      << "Memo: This Diamond is not part of the current Memo-Sheet";
}

void tst_memomoves::refusals()
{
    QFETCH(QString, status);
    QFETCH(QString, operation);
    QFETCH(qint64, employee);
    QFETCH(bool, right);
    QFETCH(QString, discount);
    QFETCH(QString, said);
    StoneEnv e;
    const qint64 holder = e.customer("Holder Ltd");
    const qint64 other = sheetFor(e, holder);
    const qint64 sheet = sheetFor(e, e.customer("Asking Co"));
    const qint64 id = e.stone("R1", status);
    if (status == "Memo")
        db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID=?, CustomerID=? WHERE ID=?", {other, holder, id});
    e.ctx.user.AllowMemoAssigning = right;
    const QString before = e.value("SELECT CONCAT_WS('|', Status, MemoSheetID, CustomerID) FROM SingleStone").toString();

    MoveOutcome o;
    if (operation == "put")
        o = putOnMemo(e.ctx, sheet, id, discount, employee);
    else if (operation == "return")
        o = returnToStock(e.ctx, sheet, id, employee);
    else
        o = sellFromMemo(e.ctx, sheet, id, "1000");
    QVERIFY(!o.ok());
    said.replace("OTHER", QString::number(other));
    if (said == "permission") {
        QCOMPARE(e.prompt.events.size(), 1);
        QVERIFY(e.prompt.events[0].text.contains("permission", Qt::CaseInsensitive));
    } else if (said.startsWith("notice: ")) {
        QCOMPARE(e.prompt.texts(velmor::test::PromptEvent::Notice), QStringList{said.mid(8)});
    } else {
        QCOMPARE(e.prompt.messages(), QStringList{said});
    }
    QCOMPARE(e.value("SELECT CONCAT_WS('|', Status, MemoSheetID, CustomerID) FROM SingleStone").toString(), before);
    for (const char *table : {"Memo", "StoneChange", "PaymentReceived", "invoicelist", "invoice"})
        QCOMPARE(e.count(QString("SELECT COUNT(*) FROM %1").arg(table)), 0);
}

void tst_memomoves::movementStatusKeepsTwentyCharacters()
{
    StoneEnv e;
    const QString name = "Thirty Characters Jewellers AB"; // 30 characters
    QCOMPARE(name.size(), 30);
    const qint64 sheet = sheetFor(e, e.customer(name));
    const qint64 id = e.stone("T1");
    QVERIFY(putOnMemo(e.ctx, sheet, id, "25", 7).ok());
    QVERIFY(returnToStock(e.ctx, sheet, id, 7).ok());
    QSqlQuery q = db::exec(e.t.db(), "SELECT Status FROM StoneChange WHERE StoneID=? ORDER BY ID", {id});
    QStringList got;
    while (q.next())
        got << q.value(0).toString();
    QCOMPARE(got, (QStringList{"out " + name.left(16), "in " + name.left(17)}));
}

void tst_memomoves::aFailedMovementWritesNothing()
{
    StoneEnv e;
    const qint64 c = e.customer("Broken Tables Inc");
    const qint64 sheet = sheetFor(e, c);
    const qint64 a = e.stone("F1");
    const qint64 b = e.stone("F2");
    QVERIFY(putOnMemo(e.ctx, sheet, b, "20", 7).ok());

    // The last row of putting on memo cannot be written.
    db::exec(e.t.db(), "RENAME TABLE PaymentReceived TO pr_gone");
    QCOMPARE(putOnMemo(e.ctx, sheet, a, "20", 7).result, MoveResult::Failed);
    db::exec(e.t.db(), "RENAME TABLE pr_gone TO PaymentReceived");
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {a}).toString(), QString("Stock"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=?", {a}), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=?", {a}), 0);

    // The invoice line of a sale cannot be written: the stone stays on memo.
    db::exec(e.t.db(), "RENAME TABLE invoicelist TO il_gone");
    QCOMPARE(sellFromMemo(e.ctx, sheet, b, "3535").result, MoveResult::Failed);
    db::exec(e.t.db(), "RENAME TABLE il_gone TO invoicelist");
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {b}).toString(), QString("Memo"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), 0);
    QVERIFY(!db::flagOf(e.value("SELECT closed FROM memosheet WHERE ID=?", {sheet})));

    // The journal row of a bulk return cannot be written: no stone moves.
    QVERIFY(putOnMemo(e.ctx, sheet, a, "20", 7).ok());
    db::exec(e.t.db(), "RENAME TABLE Memo TO memo_gone");
    QCOMPARE(returnAll(e.ctx, sheet, 7).result, MoveResult::Failed);
    db::exec(e.t.db(), "RENAME TABLE memo_gone TO Memo");
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE MemoSheetID=? AND Status='Memo'", {sheet}), 2);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE Status LIKE 'in %'"), 0);
    checkLogMatchesJournal(e);
}

void tst_memomoves::twoWorkstationsPutOneStoneOnTwoSheets()
{
    StoneEnv e;
    const qint64 sheetA = sheetFor(e, e.customer("Alpha"));
    const qint64 sheetB = sheetFor(e, e.customer("Beta"));
    const int rounds = 25;
    for (int round = 0; round < rounds; ++round) {
        const qint64 id = e.stone(QString("RACE%1").arg(round));
        std::atomic<int> ready{0};
        MoveResult ra = MoveResult::Failed, rb = MoveResult::Failed;
        QStringList saidA, saidB;
        auto work = [&](qint64 sheet, MoveResult *r, QStringList *said) {
            return [&, sheet, r, said](AppContext &ctx, ScriptedPrompt &p) {
                ctx.user.AllowMemoAssigning = true;
                ready.fetch_add(1);
                while (ready.load() < 2)
                    std::this_thread::yield();
                *r = putOnMemo(ctx, sheet, id, "15", 8).result;
                *said = p.messages();
            };
        };
        {
            WorkstationThread a(e.t.settings(), work(sheetA, &ra, &saidA));
            WorkstationThread b(e.t.settings(), work(sheetB, &rb, &saidB));
        }
        QVERIFY2((ra == MoveResult::Done) != (rb == MoveResult::Done), qPrintable(QString::number(round)));
        const qint64 winner = ra == MoveResult::Done ? sheetA : sheetB;
        const QStringList loserSaid = ra == MoveResult::Done ? saidB : saidA;
        QCOMPARE(loserSaid.size(), 1);
        QVERIFY2(loserSaid[0].contains("This Diamond is already on MEMO for"), qPrintable(loserSaid[0]));
        QCOMPARE(e.value("SELECT MemoSheetID FROM SingleStone WHERE ID=?", {id}).toLongLong(), winner);
        QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=?", {id}), 1);
        QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=? AND MemoSheetID=?", {id, winner}), 1);
    }
    checkLogMatchesJournal(e);
}

void tst_memomoves::returnRacesWithSale()
{
    StoneEnv e;
    const qint64 c = e.customer("Gamma");
    const qint64 sheet = sheetFor(e, c);
    const int rounds = 25;
    int returned = 0, sold = 0;
    for (int round = 0; round < rounds; ++round) {
        const qint64 keep = e.stone(QString("KEEP%1").arg(round)); // keeps the sheet open
        const qint64 id = e.stone(QString("RS%1").arg(round));
        QVERIFY(putOnMemo(e.ctx, sheet, keep, "10", 7).ok());
        QVERIFY(putOnMemo(e.ctx, sheet, id, "10", 7).ok());
        std::atomic<int> ready{0};
        MoveResult rr = MoveResult::Failed, rs = MoveResult::Failed;
        auto gate = [&] {
            ready.fetch_add(1);
            while (ready.load() < 2)
                std::this_thread::yield();
        };
        {
            WorkstationThread r(e.t.settings(), [&](AppContext &ctx, ScriptedPrompt &) {
                ctx.user.AllowMemoAssigning = true;
                gate();
                rr = returnToStock(ctx, sheet, id, 8).result;
            });
            WorkstationThread s(e.t.settings(), [&](AppContext &ctx, ScriptedPrompt &) {
                ctx.user.AllowMemoAssigning = true;
                gate();
                rs = sellFromMemo(ctx, sheet, id, "3535").result;
            });
        }
        QVERIFY2((rr == MoveResult::Done) != (rs == MoveResult::Done), qPrintable(QString::number(round)));
        const QString status = e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString();
        const int lines = e.count("SELECT COUNT(*) FROM invoicelist WHERE diamondid=?", {id});
        const int back = e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=? AND Quantity=-1", {id});
        if (rr == MoveResult::Done) {
            ++returned;
            QCOMPARE(status, QString("Stock"));
            QCOMPARE(lines, 0);
            QCOMPARE(back, 1);
        } else {
            ++sold;
            QCOMPARE(status, QString("Sold"));
            QCOMPARE(lines, 1);
            QCOMPARE(back, 0);
        }
    }
    QCOMPARE(returned + sold, rounds);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), sold ? 1 : 0);
    checkLogMatchesJournal(e);
}

void tst_memomoves::bulkReturnAndSale()
{
    StoneEnv e;
    const qint64 c = e.customer("Delta");
    const qint64 sheet = sheetFor(e, c);
    for (int i = 0; i < 3; ++i)
        QVERIFY(putOnMemo(e.ctx, sheet, e.stone(QString("BR%1").arg(i)), "30", 7).ok());
    e.prompt.clear();
    MoveOutcome o = returnAll(e.ctx, sheet, 7);
    QVERIFY(o.ok());
    QCOMPARE(o.moved, 3);
    QVERIFY(o.sheetClosed);
    QCOMPARE(e.prompt.texts(velmor::test::PromptEvent::Notice), QStringList{"3 Diamonds have been returned into Stock"});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE Status='Stock' AND MemoSheetID IS NULL AND CustomerID IS NULL"),
             3);
    QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE Quantity=-1 AND MemoSheetID=? AND CustomerID=? AND userID=7", {sheet, c}),
             3);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE Status='in Delta'"), 3);

    // The bulk sale posts each stone at its memo price, on one invoice.
    const qint64 sheet2 = sheetFor(e, c);
    QSqlQuery q = db::exec(e.t.db(), "SELECT ID FROM SingleStone");
    while (q.next())
        QVERIFY(putOnMemo(e.ctx, sheet2, q.value(0).toLongLong(), "30", 7).ok());
    o = sellAll(e.ctx, sheet2);
    QVERIFY(o.ok());
    QCOMPARE(o.moved, 3);
    QVERIFY(o.sheetClosed);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist WHERE ROUND(pricecarat*carat, 2)=3535"), 3);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE Status='Sold' AND CustomerID=?", {c}), 3);

    // An empty sheet: nothing to move.
    o = returnAll(e.ctx, sheet2, 7);
    QVERIFY(o.ok());
    QCOMPARE(o.moved, 0);
    checkLogMatchesJournal(e);
}

// A stone without a price is never sold at 0: the single sale refuses a
// stone price of 0 (or "0,75", never 75), the bulk sale names every stone
// without a memo price and sells none.
void tst_memomoves::noSaleWithoutAPrice()
{
    StoneEnv e;
    const qint64 c = e.customer("Echo");
    const qint64 sheet = sheetFor(e, c);
    const qint64 priced = e.stone("PR1"), bare = e.stone("NP1"), bare2 = e.stone("NP2");
    db::exec(e.t.db(), "UPDATE SingleStone SET SellPriceUS=NULL WHERE ID IN (?, ?)", {bare, bare2});
    for (qint64 id : {priced, bare, bare2})
        QVERIFY(putOnMemo(e.ctx, sheet, id, "30", 7).ok());
    // Older rows: no price agreed on the memo, no discount, no selling price.
    db::exec(e.t.db(), "UPDATE SingleStone SET MemoUS=NULL, currentRAPdiscountFORmemo=NULL WHERE ID IN (?, ?)",
             {bare, bare2});
    const QString journal = e.value("SELECT COUNT(*) FROM Memo").toString();
    for (const char *price : {"0.00", "0", "-5", "", "0,75", "0.001"}) {
        e.prompt.clear();
        const MoveOutcome o = sellFromMemo(e.ctx, sheet, bare, QString::fromLatin1(price));
        QCOMPARE(o.result, MoveResult::Refused);
        QCOMPARE(e.prompt.messages().size(), 1);
        // A text that is not a figure names the field; a price of 0 or below names the stone.
        const QString said = e.prompt.messages().first();
        QVERIFY2(said.contains("Stone Price") || said.contains("NP1 has no price"), qPrintable(said));
    }
    e.prompt.clear();
    MoveOutcome o = sellAll(e.ctx, sheet);
    QCOMPARE(o.result, MoveResult::Refused);
    QVERIFY2(e.prompt.messages().first().contains("NP1, NP2"), qPrintable(e.prompt.messages().first()));
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE Status='Memo'"), 3);
    QCOMPARE(e.value("SELECT COUNT(*) FROM Memo").toString(), journal);
    // Priced, the single sale goes to the cent at the stone price typed.
    e.prompt.clear();
    QVERIFY(sellFromMemo(e.ctx, sheet, priced, "1,234.57").ok());
    QCOMPARE(e.value("SELECT CAST(ROUND(pricecarat * carat, 2) AS CHAR) FROM invoicelist").toString(), QString("1234.57"));
}

void tst_memomoves::unreachableListingDoesNotUndoTheMove()
{
    StoneEnv e;
    QVERIFY(e.ctx.workstation.writeLines("listing.ini", {"socket=" + e.dir.path() + "/no.sock", "user=root",
                                                          "database=listing", "vendor=77"}));
    const qint64 sheet = sheetFor(e, e.customer("Epsilon"));
    const qint64 id = e.stone("L1");
    const MoveOutcome o = putOnMemo(e.ctx, sheet, id, "30", 7);
    QVERIFY(o.ok());
    QVERIFY(!o.listingFailure.isEmpty());
    QCOMPARE(e.prompt.messages().size(), 1);
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Memo"));
}

void tst_memomoves::priceFields()
{
    MemoPriceFields f;
    f.setStone(5000, 1.5);
    f.discountChanged("30");
    QCOMPARE(f.stonePrice, QString("5250.00"));
    QCOMPARE(f.priceCarat, QString("3500.00"));
    f.discountLeft();
    QCOMPARE(f.discount, QString("30.0"));
    f.stonePriceChanged("0");
    QCOMPARE(f.discount, QString("100.00"));
    QCOMPARE(f.priceCarat, QString("0.00"));
    f.priceCaratChanged("4000");
    QCOMPARE(f.stonePrice, QString("6000.00"));
    QCOMPARE(f.discount, QString("20.00"));
    // A stone without a list price keeps its typed discount.
    MemoPriceFields g;
    g.setStone(0, 1.0);
    g.discount = "12";
    g.stonePriceChanged("900");
    QCOMPARE(g.discount, QString("12"));
    QCOMPARE(g.priceCarat, QString("900.00"));
    QCOMPARE(memoStonePrice(1.01, 5000, 30), 3535.0);
    QCOMPARE(money(1234567.891), QString("1,234,567.89"));
}

void tst_memomoves::sheetLinesCurrentAndHistory()
{
    StoneEnv e;
    const qint64 c = e.customer("Lines Ltd");
    const qint64 sheet = sheetFor(e, c);
    const qint64 a = e.stone("LA");
    const qint64 b = e.stone("LB");
    QVERIFY(putOnMemo(e.ctx, sheet, a, "30", 7).ok());
    QVERIFY(putOnMemo(e.ctx, sheet, b, "30", 7).ok());
    QVERIFY(returnToStock(e.ctx, sheet, b, 7).ok());
    QVERIFY(putOnMemo(e.ctx, sheet, b, "30", 7).ok());
    const qint64 parcel = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Carat, CaratLow, CaratHigh, SellUS) "
                                               "VALUES ('P7', 10, 0.01, 0.03, -1)");
    db::exec(e.t.db(), "INSERT INTO Memo (MemoSheetID, ParcelID, CustomerID, Carat, US, Quantity) VALUES (?, ?, ?, 2.5, 400, 1)",
             {sheet, parcel, c});
    db::exec(e.t.db(), "INSERT INTO Memo (MemoSheetID, ParcelID, CustomerID, Carat, US, Quantity) VALUES (?, ?, ?, -1, 400, -1)",
             {sheet, parcel, c});
    auto rows = [&](bool current) {
        QStringList out;
        QSqlQuery q = db::exec(e.t.db(), memoSheetLinesSql(sheet, current, "CDN", 1.25));
        while (q.next())
            out << q.value("Type").toString() + " " + q.value("SKU").toString() + " " + q.value("Weight").toString() + " "
                       + q.value("Stone/Parcel Price").toString();
        return out;
    };
    QCOMPARE(rows(true), (QStringList{"S LA 1.01 US$ 3,535.00", "S LB 1.01 US$ 3,535.00", "P P7 Parcel 1.50 US$ 600.00"}));
    const QStringList history = rows(false);
    QCOMPARE(history.size(), 6);
    QVERIFY(history.contains("S LB -1.01 US$ 3,535.00"));
    QVERIFY(history.contains("P P7 Parcel -1.00 US$ -400.00"));
}

// A sheet holding a stone and carats of an older parcel: the stone coming
// back closes the sheet only when no carats are out on it any more.
void tst_memomoves::parcelCaratsOutKeepTheSheetOpen_data()
{
    QTest::addColumn<QStringList>("parcelRows"); // carats of the parcel's journal rows on the sheet
    QTest::addColumn<bool>("closes");
    QTest::newRow("2 ct out") << QStringList{"2"} << false;
    QTest::newRow("a part returned") << QStringList{"2", "-1.5"} << false;
    QTest::newRow("all returned") << QStringList{"2", "-1.5", "-0.5"} << true;
    QTest::newRow("no parcel") << QStringList{} << true;
}

void tst_memomoves::parcelCaratsOutKeepTheSheetOpen()
{
    QFETCH(QStringList, parcelRows);
    QFETCH(bool, closes);
    StoneEnv e;
    const qint64 c = e.customer("Brilliant & Sons");
    const qint64 sheet = sheetFor(e, c);
    const qint64 stone = e.stone("B1");
    const qint64 parcel = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU) VALUES ('OLD-7')");
    for (const QString &carat : parcelRows)
        db::exec(e.t.db(),
                 "INSERT INTO Memo (MemoSheetID, ParcelID, CustomerID, Carat, Quantity, Date) VALUES (?, ?, ?, ?, ?, NOW())",
                 {sheet, parcel, c, carat, carat.startsWith('-') ? -1 : 1});
    QVERIFY(putOnMemo(e.ctx, sheet, stone, "10", 7).ok());
    e.prompt.clear();
    const MoveOutcome back = returnToStock(e.ctx, sheet, stone, 7);
    QVERIFY(back.ok());
    QCOMPARE(back.sheetClosed, closes);
    QCOMPARE(db::flagOf(e.value("SELECT closed FROM memosheet WHERE ID=?", {sheet})), closes);
    QCOMPARE(e.prompt.messages(), closes ? QStringList{"Memo: This Memo has been closed now!"} : QStringList{});
}

QTEST_GUILESS_MAIN(tst_memomoves)
#include "tst_memomoves.moc"
