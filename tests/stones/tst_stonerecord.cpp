// The stone record: load, the checks and writes of a save, the auto-number,
// delete and cancel, on a real database.
#include "StoneTestEnv.h"
#include "WorkstationThread.h"
#include "db/Row.h"
#include "stones/StoneRecord.h"

#include <QtTest>

#include <atomic>

using namespace velmor;
using namespace velmor::stones;
using velmor::test::PromptEvent;
using velmor::test::StoneEnv;
using F = StonePriceModel::Field;

namespace {
// A complete new stone as the screen would hand it over.
StoneForm filledForm(qint64 id)
{
    StoneForm f = newStoneForm(id);
    f.SKU = "N100";
    f.Shape = "Pear [PS]";
    f.Carat = "0.75";
    f.colourEntry = "30 - F";
    f.clarityEntry = "50 - VS2";
    f.Cut = "EX";
    f.Laboratory = "GIA";
    f.Certificate = "220011";
    f.Dim1 = "6.1";
    f.setPrice(F::LatestRapPrice, "4000");
    f.setPrice(F::SellOffRap, "20");
    f.setPrice(F::SellPrice, "2400.00");
    return f;
}
} // namespace

class TestStoneRecord : public QObject {
    Q_OBJECT
private slots:
    void saveChecks_data();
    void saveChecks();
    void gradingQuestions_data();
    void gradingQuestions();
    void newStoneWrites();
    void snapshotAndPaymentFollowSettings();
    void autoNumber_data();
    void autoNumber();
    void autoSkuOnSaveOfNewStone();
    void loadShowsFormats();
    void deleting_data();
    void deleting();
    void newStoneRowOnlyWhenSaved();
    void identifiersWithoutBlanks_data();
    void identifiersWithoutBlanks();
    void storedBlankKeptByAnUntouchedSave();
    void saveRefusesWhenSoldElsewhere();
    void badInputLeavesRowsAlone();
    void saveIsOneTransaction();
    void editingNeedsTheRight();
    void twoWorkstationsSaveOneSku();
    void overLongTextIsNamed_data();
    void overLongTextIsNamed();
    void commentCharactersThatCannotBeStored_data();
    void commentCharactersThatCannotBeStored();
};

void TestStoneRecord::saveChecks_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QString>("message"); // empty: saved

    QTest::newRow("complete") << "" << false << "";
    QTest::newRow("sku used") << "sku=a1" << false
                              << "This SKU number is already been used for another Diamond, please choose another SKU number!";
    QTest::newRow("sku with wildcard is not a pattern") << "sku=A%" << false << "";
    QTest::newRow("own sku when editing") << "own" << true << "";
    QTest::newRow("certificate without lab") << "lab=;cert=123" << false
                                             << "You specified a Certificate Number but didn't asign a Laboratory!";
    QTest::newRow("short certificate without lab") << "lab=;cert=12" << false << "";
    QTest::newRow("certificate used") << "cert=CA1" << false << "You have used this Certificate already for another Diamond!";
    QTest::newRow("same certificate other lab") << "cert=CA1;lab=HRD" << false << "";
    // A1 sold or returned: with CheckLiveStonesOnly its certificate may come back.
    QTest::newRow("certificate of a sold stone") << "a1=Sold;cert=CA1" << false
                                                 << "You have used this Certificate already for another Diamond!";
    QTest::newRow("certificate of a sold stone, live stones only") << "live;a1=Sold;cert=CA1" << false << "";
    QTest::newRow("certificate of a returned stone, live stones only") << "live;a1=returned;cert=CA1" << false << "";
    QTest::newRow("certificate of a stone on memo, live stones only")
        << "live;a1=Memo;cert=CA1" << false << "You have used this Certificate already for another Diamond!";
    QTest::newRow("sku of a sold stone, live stones only")
        << "live;a1=Sold;sku=a1" << false
        << "This SKU number is already been used for another Diamond, please choose another SKU number!";
    QTest::newRow("blank certificate") << "cert= " << false << "";
    QTest::newRow("no discount") << "off=0" << false << "You need to define a valid Off-Rap Discount";
    QTest::newRow("no price") << "dollar;price=" << false << "You need to define a valid Sale Price";
    QTest::newRow("price held, discount 0") << "dollar;off=0" << false << "";
    QTest::newRow("no sku") << "sku=;shape=" << false << "You need to Assign a SKU number";
    QTest::newRow("no shape") << "shape=;carat=0" << false << "You need to Assign a Shape";
    QTest::newRow("no weight") << "carat=" << false << "You need to define a Carat Weight";
    QTest::newRow("weight below 0") << "carat=-1" << false << "The Weight must be more than 0.";
    QTest::newRow("weight that rounds to 0") << "carat=0.000001" << false
                                             << "The Weight must be more than 0: \"0.000001\" is 0 at 5 decimals.";
    QTest::newRow("sku behind a byte-order mark") << QString::fromUtf8("sku=\uFEFFa1") << false
                                                  << "This SKU number is already been used for another Diamond, please "
                                                     "choose another SKU number!";
    QTest::newRow("zero-width space in a new sku") << QString::fromUtf8("sku=NEW\u200B1") << false << "";
    QTest::newRow("colour forced") << "force;colour=" << false << "You need to Assign the Colour";
    QTest::newRow("clarity forced") << "force;clarity=" << false << "You need to ASsign the Clarity";
    QTest::newRow("cut forced") << "force;cut=" << false << "You need to ASsign the Cut";
    QTest::newRow("lab forced") << "force;lab=;cert=1" << false << "You need to ASsign the Laboratory";
    QTest::newRow("certificate forced") << "force;cert=" << false << "You need to ASsign the Certificate";
    QTest::newRow("dimension forced") << "force;dim=" << false << "You need to ASsign the Dimension";
    QTest::newRow("not forced") << "colour=;clarity=;cut=;cert=;dim=" << false << "";
}

void TestStoneRecord::saveChecks()
{
    QFETCH(QString, change);
    QFETCH(bool, editing);
    QFETCH(QString, message);
    StoneEnv e;
    e.stone("A1");
    const qint64 id = editing ? e.stone("OWN") : addStoneRow(e.ctx);
    StoneForm f = filledForm(id);
    EditState st;
    st.mode = EditState::Adding;
    if (editing) {
        f = loadStone(e.ctx, id);
        QVERIFY(beginEdit(e.ctx, f, st));
    }
    for (const QString &c : change.split(';', Qt::SkipEmptyParts)) {
        const QString key = c.section('=', 0, 0), val = c.section('=', 1);
        if (key == "sku") f.SKU = val;
        else if (key == "lab") f.Laboratory = val;
        else if (key == "cert") f.Certificate = val;
        else if (key == "off") f.setPrice(F::SellOffRap, val);
        else if (key == "price") f.setPrice(F::SellPrice, val);
        else if (key == "dollar") f.lockPercent = false;
        else if (key == "shape") f.Shape = val;
        else if (key == "carat") f.Carat = val;
        else if (key == "colour") f.colourEntry = val;
        else if (key == "clarity") f.clarityEntry = val;
        else if (key == "cut") f.Cut = val;
        else if (key == "dim") f.Dim1 = val;
        else if (key == "live") e.ctx.settings.CheckLiveStonesOnly = true;
        else if (key == "a1") db::exec(e.t.db(), "UPDATE SingleStone SET Status=? WHERE SKU='A1'", {val});
        else if (key == "force") {
            Settings &s = e.ctx.settings;
            s.ForceColour = s.ForceClarity = s.ForceCut = s.ForceLab = s.ForceCertificate = s.ForceDimension = true;
        }
    }
    const QString skuBefore = e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString();
    const SaveResult r = saveStone(e.ctx, f, st);
    if (message.isEmpty()) {
        QVERIFY2(r == SaveResult::Saved, qPrintable(e.prompt.messages().join('|')));
        QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString(), f.SKU);
    } else {
        QCOMPARE(r, SaveResult::Refused);
        QCOMPARE(e.prompt.messages(), QStringList{"missing Information: " + message});
        QCOMPARE(e.prompt.events.first().icon, Icon::Information);
        QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString(), skuBefore);
        QCOMPARE(st.mode, editing ? EditState::Editing : EditState::Adding); // the mode stays
    }
}

void TestStoneRecord::gradingQuestions_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("carat");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("clarity");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<bool>("saved");
    QTest::newRow("nothing changed") << "Round Brilliant [BR]" << "1.01" << "20 - E" << "40 - VS1" << QList<bool>{}
                                     << QStringList{} << true;
    QTest::newRow("shape, no") << "Pear [PS]" << "1.01" << "20 - E" << "40 - VS1" << QList<bool>{false}
                               << QStringList{"Changing Shape"} << false;
    QTest::newRow("shape, yes") << "Pear [PS]" << "1.01" << "20 - E" << "40 - VS1" << QList<bool>{true}
                                << QStringList{"Changing Shape"} << true;
    QTest::newRow("weight same value other text") << "Round Brilliant [BR]" << "1.010" << "20 - E" << "40 - VS1"
                                                  << QList<bool>{} << QStringList{} << true;
    QTest::newRow("all four, yes") << "Oval" << "1.2" << "30 - F" << "50 - VS2" << QList<bool>{true, true, true, true}
                                   << QStringList{"Changing Shape", "Changing Weight", "Changing Colour",
                                                  "Changing Clarity"}
                                   << true;
    QTest::newRow("weight yes, colour no") << "Round Brilliant [BR]" << "1.2" << "30 - F" << "50 - VS2"
                                           << QList<bool>{true, false}
                                           << QStringList{"Changing Weight", "Changing Colour"} << false;
}

void TestStoneRecord::gradingQuestions()
{
    QFETCH(QString, shape);
    QFETCH(QString, carat);
    QFETCH(QString, colour);
    QFETCH(QString, clarity);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, titles);
    QFETCH(bool, saved);
    StoneEnv e;
    const qint64 id = e.stone("Q1");
    StoneForm f = loadStone(e.ctx, id);
    QCOMPARE(f.colourEntry, QString("20 - E"));
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    f.Shape = shape;
    f.Carat = carat;
    f.colourEntry = colour;
    f.clarityEntry = clarity;
    for (bool a : answers)
        e.prompt.answer(a);
    const SaveResult r = saveStone(e.ctx, f, st);
    QCOMPARE(r, saved ? SaveResult::Saved : SaveResult::Declined);
    QStringList asked;
    for (const PromptEvent &ev : e.prompt.events) {
        QCOMPARE(ev.kind, PromptEvent::Ask);
        asked << ev.title;
    }
    QCOMPARE(asked, titles);
    if (!titles.isEmpty()) {
        const QString word = titles.first().mid(9);
        QCOMPARE(e.prompt.events.first().text,
                 "You have edited the original " + word + " of this Diamond to another one.\nSaving this Diamond "
                 "with the new " + word + " will result in loosing the original\nRap Price for this Stone.\n\n"
                 "Do you want to proceed?");
    }
    QCOMPARE(e.value("SELECT Shape FROM SingleStone WHERE ID=?", {id}).toString(),
             saved ? shape : QString("Round Brilliant [BR]"));
}

void TestStoneRecord::newStoneWrites()
{
    StoneEnv e;
    db::exec(e.t.db(), "INSERT INTO shapewords (`row`, master, w1, w3) VALUES (1, 'PEAR [PS]', 'PB', 'Pear [PS]')");
    const qint64 id = addStoneRow(e.ctx);
    QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString(), QString(" "));
    QVERIFY(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).isNull());
    StoneForm f = filledForm(id);
    f.colourEntry = "";
    f.Comment = "line one\nline two";
    EditState st;
    st.mode = EditState::Adding;
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(st.mode, EditState::Displayed);
    QSqlQuery q = db::exec(e.t.db(), "SELECT * FROM SingleStone WHERE ID=?", {id});
    QVERIFY(q.next());
    const db::Row r(q.record());
    QCOMPARE(r.text("Status"), QString("Stock"));
    QCOMPARE(r.text("Shape"), QString("PEAR [PS]")); // normalised through w3
    QCOMPARE(f.Shape, QString("PEAR [PS]"));
    QVERIFY(r.isNull("Colour"));
    QCOMPARE(r.integer("Clarity"), qint64(50));
    QCOMPARE(r.num("Carat"), 0.75);
    QCOMPARE(r.num("SellPriceUS"), 2400.0);
    QCOMPARE(r.raw("LockPercent").toInt(), -1);
    QVERIFY(r.integer("RND") >= 1 && r.integer("RND") <= 1000000);
    QCOMPARE(r.date("DateCreated"), QDate::currentDate());
    QCOMPARE(loadStone(e.ctx, id).Comment, QString("line one\r\nline two"));
}

void TestStoneRecord::snapshotAndPaymentFollowSettings()
{
    StoneEnv e;
    const qint64 supplier = e.customer("Supplier & Sons", true);
    const qint64 id = addStoneRow(e.ctx);
    StoneForm f = filledForm(id);
    f.consignmentInId = supplier;
    f.DateCreated = QDate(2026, 3, 4);
    EditState st;
    st.mode = EditState::Adding;
    e.ctx.settings.StoneChange = false;
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange"), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentMade WHERE StoneID=? AND CustomerID=? AND PaymentUS=0 AND "
                     "EmployeeID=7 AND Reference IS NULL AND DATE(Date)='2026-03-04'",
                     {id, supplier}),
             1);
    e.ctx.settings.StoneChange = true;
    f = loadStone(e.ctx, id);
    QVERIFY(beginEdit(e.ctx, f, st));
    f.Location = "Safe 2";
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentMade"), 1); // the opening row once
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND Location='Safe 2' AND Status='Stock' "
                     "AND SKU='N100' AND EmployeeID=7",
                     {id}),
             1);
}

void TestStoneRecord::autoNumber_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<bool>("autoSku");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("result"); // the SKU, or the message when it starts with "!"
    QTest::newRow("padded") << QStringList{"R0007", "R0099", "R0010", "X5000"} << false << "R" << "R0100";
    QTest::newRow("past four digits") << QStringList{"R9999"} << false << "R" << "R10000";
    QTest::newRow("numeric order, not text") << QStringList{"R9", "R10", "R100"} << false << "R" << "R0101";
    QTest::newRow("small number padded") << QStringList{"R0"} << false << "R" << "R0001";
    QTest::newRow("prefix case ignored") << QStringList{"r0041"} << false << "R" << "R0042";
    QTest::newRow("auto sku not padded") << QStringList{"RD5"} << true << "RD" << "RD6";
    QTest::newRow("last below the limit") << QStringList{"R999999"} << false << "R" << "R1000000";
    QTest::newRow("limit reached") << QStringList{"R1000000"} << false << "R"
                                   << "!Cannot Assign an Auto-SKU.\n\nPlease try to change or add some leading "
                                      "letters (pre-fix) in the SKU#.";
    QTest::newRow("no stone with prefix") << QStringList{"X1"} << false << "R"
                                          << "!Unable to assign a Auto-Number to the SKU#";
    QTest::newRow("wildcard prefix") << QStringList{"AB12"} << false << "A_"
                                     << "!Unable to assign a Auto-Number to the SKU#";
}

void TestStoneRecord::autoNumber()
{
    QFETCH(QStringList, existing);
    QFETCH(bool, autoSku);
    QFETCH(QString, prefix);
    QFETCH(QString, result);
    StoneEnv e;
    for (const QString &s : existing)
        e.stone(s);
    e.ctx.settings.AutoSku = autoSku;
    QString sku = prefix;
    const bool ok = autoNumberSku(e.ctx, sku);
    if (result.startsWith('!')) {
        QVERIFY(!ok);
        QCOMPARE(sku, prefix);
        QCOMPARE(e.prompt.messages(), QStringList{"Auto-Number: " + result.mid(1)});
    } else {
        QVERIFY(ok);
        QCOMPARE(sku, result);
        QVERIFY(e.prompt.events.isEmpty());
    }
}

void TestStoneRecord::autoSkuOnSaveOfNewStone()
{
    StoneEnv e;
    e.ctx.settings.AutoSku = true;
    e.ctx.settings.SKURound = "RB";
    e.ctx.settings.SKUOther = "FC";
    e.stone("FC41");
    const qint64 id = addStoneRow(e.ctx);
    StoneForm f = filledForm(id);
    f.SKU = autoSkuPlaceholder(e.ctx, f.Shape);
    QCOMPARE(f.SKU, QString("FC......"));
    QCOMPARE(autoSkuPlaceholder(e.ctx, "Round Brilliant [BR]"), QString("RB......"));
    EditState st;
    st.mode = EditState::Adding;
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString(), QString("FC42"));

    // The first stone of a prefix is number 1, without a word; the next is 2.
    for (const char *expected : {"RB1", "RB2"}) {
        e.prompt.clear();
        StoneForm r = filledForm(0);
        r.Shape = "Round Brilliant [BR]";
        r.Certificate.clear();
        r.SKU = autoSkuPlaceholder(e.ctx, r.Shape);
        EditState adding;
        adding.mode = EditState::Adding;
        QCOMPARE(saveStone(e.ctx, r, adding), SaveResult::Saved);
        QCOMPARE(e.prompt.messages(), QStringList());
        QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {r.id}).toString(), QString(expected));
    }
    // A number that cannot be drawn refuses the save: no stone is saved
    // under the bare prefix.
    e.ctx.settings.SKUOther = "LM";
    e.stone("LM1000000");
    const int stones = e.count("SELECT COUNT(*) FROM SingleStone");
    StoneForm l = filledForm(0);
    l.Certificate.clear();
    l.SKU = autoSkuPlaceholder(e.ctx, l.Shape);
    EditState adding;
    adding.mode = EditState::Adding;
    e.prompt.clear();
    QCOMPARE(saveStone(e.ctx, l, adding), SaveResult::Refused);
    QVERIFY(e.prompt.messages().first().startsWith("Auto-Number: Cannot Assign an Auto-SKU."));
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), stones);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE SKU='LM'"), 0);
}

void TestStoneRecord::loadShowsFormats()
{
    StoneEnv e;
    const qint64 id = e.stone("L1");
    db::exec(e.t.db(), "UPDATE SingleStone SET SellPriceUS=0.5, Carat=1, BoughtPriceUS=2000, RapPriceOnDateBought=4000, "
                       "SellOffRap2=12.5, SellPriceUS2=1000, DateCreated='2026-02-03' WHERE ID=?", {id});
    db::exec(e.t.db(), "INSERT INTO PaymentReceived (StoneID, PaymentUS, PaymentLocal) VALUES (?, 100.5, 125), (?, 50, NULL)",
             {id, id});
    const StoneForm f = loadStone(e.ctx, id);
    QCOMPARE(f.id, id);
    QCOMPARE(f.price(F::SellPrice), QString(".50"));
    QCOMPARE(f.price(F::SellPriceCT), QString(".50"));
    QCOMPARE(f.price(F::SellOffRap), QString("30.00"));
    QCOMPARE(f.price(F::LatestRapPrice), QString("5000.00"));
    QCOMPARE(f.price(F::BoughtPriceUS), QString("2000.00"));
    QCOMPARE(f.price(F::OriginalBuyOffRap), QString("50.00"));
    QCOMPARE(f.price(F::SellOffRap2), QString("12.50"));
    QCOMPARE(f.price(F::SellPriceLocal2), QString("1250.00"));
    QCOMPARE(f.clarityEntry, QString("40 - VS1"));
    QCOMPARE(f.paymentsUS, QString("150.50"));
    QCOMPARE(f.paymentsLocal, QString("125.00"));
    QCOMPARE(f.DateCreated.toString("MMM dd, yyyy"), QString("Feb 03, 2026"));
    QCOMPARE(loadStone(e.ctx, id + 1000).id, qint64(0));
}

void TestStoneRecord::deleting_data()
{
    QTest::addColumn<bool>("right");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("no right") << false << "Stock" << true
                              << "User Authority: You have no Authority for Deleting - User Authorities can be "
                                 "granted by the Administrator in the User Configuration!"
                              << false;
    QTest::newRow("memo") << true << "Memo" << true << "Deleting: You cannot delete a Diamond that is out on Memo!"
                          << false;
    QTest::newRow("sold") << true << "sold" << true << "Deleting: You cannot delete a Diamond that is Sold!" << false;
    QTest::newRow("answered no") << true << "Stock" << false
                                 << "Deleting: Are you sure you want to delete this Diamond from the Database?"
                                 << false;
    QTest::newRow("answered yes") << true << "Stock" << true
                                  << "Deleting: Are you sure you want to delete this Diamond from the Database?"
                                  << true;
    QTest::newRow("returned stone") << true << "returned" << true
                                    << "Deleting: Are you sure you want to delete this Diamond from the Database?"
                                    << true;
}

void TestStoneRecord::deleting()
{
    QFETCH(bool, right);
    QFETCH(QString, status);
    QFETCH(bool, answer);
    QFETCH(QString, message);
    QFETCH(bool, deleted);
    StoneEnv e;
    e.ctx.settings.StoneChange = true;
    e.ctx.user.AllowDelete = right;
    const qint64 id = e.stone("D1", status);
    e.prompt.answer(answer);
    const DeleteResult r = deleteStone(e.ctx, id);
    QCOMPARE(e.prompt.messages(), QStringList{message});
    QCOMPARE(r == DeleteResult::Deleted, deleted);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=?", {id}), deleted ? 0 : 1);
    // the deletion is logged with the stone's last values
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND Status='DEL' AND SKU='D1' AND Carat=1.01 "
                     "AND SellPriceUS=3535",
                     {id}),
             deleted ? 1 : 0);
}

// A new stone's row is made by its save: a refused save leaves none, and
// the form keeps no ID of a row rolled back.
void TestStoneRecord::newStoneRowOnlyWhenSaved()
{
    StoneEnv e;
    const int before = e.count("SELECT COUNT(*) FROM SingleStone");
    StoneForm f = filledForm(0);
    f.Carat = "";
    EditState st;
    st.mode = EditState::Adding;
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Refused);
    QCOMPARE(f.id, qint64(0));
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), before);
    f.Carat = "0.75";
    e.prompt.clear();
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QVERIFY(f.id > 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE ID=? AND SKU='N100' AND Status='Stock'", {f.id}), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), before + 1);
}

// Blanks around an identifier do not make another one: the checks and the
// save compare and store it without them; a stone stored with a blank is not
// rewritten by a save that leaves the identifier alone.
void TestStoneRecord::identifiersWithoutBlanks_data()
{
    QTest::addColumn<QString>("stored"); // SKU|certificate of the stone already there
    QTest::addColumn<QString>("typed");  // SKU|certificate of the new one
    QTest::addColumn<QString>("message");
    const QString sku = "This SKU number is already been used for another Diamond, please choose another SKU number!";
    const QString cert = "You have used this Certificate already for another Diamond!";
    QTest::newRow("trailing blank on the new SKU") << "Q100|1" << "Q100 |2" << sku;
    QTest::newRow("leading blank on the new SKU") << "Q100|1" << "  Q100|2" << sku;
    QTest::newRow("stored SKU with a trailing blank") << "Q100 |1" << "Q100|2" << sku;
    QTest::newRow("stored SKU with a leading blank") << " Q100|1" << "q100|2" << sku;
    QTest::newRow("SKU that only begins alike") << "Q100 X|1" << "Q100|2" << "";
    QTest::newRow("trailing blank on the certificate") << "Q1|2141438171" << "Q2|2141438171 " << cert;
    QTest::newRow("stored certificate with a blank") << "Q1| 2141438171 " << "Q2|2141438171" << cert;
}

void TestStoneRecord::identifiersWithoutBlanks()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    StoneEnv e;
    const qint64 old = e.stone("X");
    db::exec(e.t.db(), "UPDATE SingleStone SET SKU=?, Certificate=? WHERE ID=?",
             {stored.section('|', 0, 0), stored.section('|', 1), old});
    const int before = e.count("SELECT COUNT(*) FROM SingleStone");
    StoneForm f = filledForm(0);
    f.SKU = typed.section('|', 0, 0);
    f.Certificate = typed.section('|', 1);
    EditState st;
    st.mode = EditState::Adding;
    const SaveResult r = saveStone(e.ctx, f, st);
    if (message.isEmpty()) {
        QCOMPARE(r, SaveResult::Saved);
        QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {f.id}).toString(), typed.section('|', 0, 0).trimmed());
        return;
    }
    QCOMPARE(r, SaveResult::Refused);
    QCOMPARE(e.prompt.messages(), QStringList{"missing Information: " + message});
    QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone"), before);
}

void TestStoneRecord::storedBlankKeptByAnUntouchedSave()
{
    StoneEnv e;
    const qint64 id = e.stone("Q400 ");
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(e.value("SELECT CONCAT('[', SKU, ']') FROM SingleStone WHERE ID=?", {id}).toString(), QString("[Q400 ]"));
    // Typed anew, it is stored without the blank.
    f = loadStone(e.ctx, id);
    QVERIFY(beginEdit(e.ctx, f, st));
    f.SKU = " Q401 ";
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(e.value("SELECT CONCAT('[', SKU, ']') FROM SingleStone WHERE ID=?", {id}).toString(), QString("[Q401]"));
}

void TestStoneRecord::saveRefusesWhenSoldElsewhere()
{
    StoneEnv e;
    const qint64 buyer = e.customer("Buyer");
    const qint64 id = e.stone("S1");
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    QSqlDatabase other = e.t.secondConnection();
    QCOMPARE(db::execAffected(other, "UPDATE SingleStone SET Status='Sold', CustomerID=? WHERE ID=? AND Status='Stock'",
                              {buyer, id}),
             1);
    f.Location = "Drawer";
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Refused);
    QVERIFY(e.prompt.messages().first().contains("changed on another Workstation to \"Sold\""));
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {id}).toString(), QString("Sold"));
    QCOMPARE(e.value("SELECT CustomerID FROM SingleStone WHERE ID=?", {id}).toLongLong(), buyer);
    QVERIFY(e.value("SELECT Location FROM SingleStone WHERE ID=?", {id}).toString().isEmpty());
}

void TestStoneRecord::badInputLeavesRowsAlone()
{
    StoneEnv e;
    const qint64 id = e.stone("B1");
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    f.Lot = "O'Brien \\ \"lot\"";
    // A letter where a number goes is refused by name, not read as its leading number.
    f.Carat = "1.01abc";
    f.setPrice(F::SellOffRap, "thirty");
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Refused);
    QCOMPARE(e.prompt.messages().size(), 1);
    QVERIFY(e.prompt.messages().first().startsWith("missing Information: The Weight \"1.01abc\" is not a number."));
    f.Carat = "1.01";
    e.prompt.clear();
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Refused);
    QVERIFY(e.prompt.messages().first().startsWith("missing Information: The Sell 1 % off Rap \"thirty\""));
    f.setPrice(F::SellOffRap, "30");
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Saved);
    QCOMPARE(e.value("SELECT Lot FROM SingleStone WHERE ID=?", {id}).toString(), QString("O'Brien \\ \"lot\""));
    // a value too large for its column is a failed save and leaves the row alone
    QVERIFY(beginEdit(e.ctx, f, st));
    f.Carat = "99999999999999999999";
    e.prompt.clear();
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Refused);
    QVERIFY2(e.prompt.messages().first().contains("The Weight \"99999999999999999999\" is too large"),
             qPrintable(e.prompt.messages().first()));
    QCOMPARE(e.value("SELECT Carat FROM SingleStone WHERE ID=?", {id}).toDouble(), 1.01);
}

// When the log row cannot be written, neither the stone nor its payment row is.
void TestStoneRecord::saveIsOneTransaction()
{
    StoneEnv e;
    e.ctx.settings.StoneChange = true;
    const qint64 supplier = e.customer("Supplier", true);
    const qint64 id = e.stone("T1");
    db::exec(e.t.db(), "ALTER TABLE StoneChange RENAME TO StoneChangeGone");
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    f.Location = "Vault";
    f.consignmentInId = supplier;
    QCOMPARE(saveStone(e.ctx, f, st), SaveResult::Failed);
    QVERIFY(e.value("SELECT Location FROM SingleStone WHERE ID=?", {id}).toString().isEmpty());
    QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentMade"), 0);
    QCOMPARE(st.mode, EditState::Editing);
}

void TestStoneRecord::editingNeedsTheRight()
{
    StoneEnv e;
    const qint64 id = e.stone("E1");
    e.ctx.user.AllowEdit = false;
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(!beginEdit(e.ctx, f, st));
    QCOMPARE(st.mode, EditState::Displayed);
    QCOMPARE(e.prompt.messages(),
             QStringList{"Authorization Failure: No Permission, please login or contact the System Administrator!"});
}

// Two workstations save a new stone at the same moment, over many rounds:
// with automatic numbers both get one of their own; with one typed SKU one
// save wins and the other is told.
void TestStoneRecord::twoWorkstationsSaveOneSku()
{
    StoneEnv e;
    e.stone("FC1");
    for (int round = 0; round < 16; ++round) {
        const bool automatic = round % 2 == 0;
        std::atomic<int> ready{0};
        SaveResult results[2] = {SaveResult::Failed, SaveResult::Failed};
        QStringList messages[2];
        auto saver = [&](int side) {
            return [&, side](AppContext &ctx, velmor::test::ScriptedPrompt &p) {
                ctx.settings.AutoSku = automatic;
                ctx.settings.SKUOther = "FC";
                const qint64 id = addStoneRow(ctx);
                StoneForm f = filledForm(id);
                f.Certificate.clear();
                f.SKU = automatic ? autoSkuPlaceholder(ctx, f.Shape) : QStringLiteral("TYPED%1").arg(round);
                EditState st;
                st.mode = EditState::Adding;
                ++ready;
                while (ready.load() < 2)
                    std::this_thread::yield();
                results[side] = saveStone(ctx, f, st);
                messages[side] = p.messages();
            };
        };
        {
            velmor::test::WorkstationThread a(e.t.settings(), saver(0));
            velmor::test::WorkstationThread b(e.t.settings(), saver(1));
        }
        QCOMPARE(e.count("SELECT COUNT(*) FROM (SELECT SKU FROM SingleStone WHERE SKU <> ' ' GROUP BY SKU "
                         "HAVING COUNT(*) > 1) d"),
                 0);
        if (automatic) {
            QCOMPARE(results[0], SaveResult::Saved);
            QCOMPARE(results[1], SaveResult::Saved);
        } else {
            QCOMPARE(int(results[0] == SaveResult::Saved) + int(results[1] == SaveResult::Saved), 1);
            const int loser = results[0] == SaveResult::Saved ? 1 : 0;
            QCOMPARE(results[loser], SaveResult::Refused);
            QVERIFY2(messages[loser].join("|").contains("already been used"), qPrintable(messages[loser].join("|")));
        }
    }
}

void TestStoneRecord::overLongTextIsNamed_data()
{
    QTest::addColumn<bool>("strict");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("says");
    QTest::newRow("51-character SKU, strict server") << true << "SKU" << 51 << "The SKU is too long: 51 characters where at most 50";
    QTest::newRow("51-character SKU, no strict mode") << false << "SKU" << 51 << "The SKU is too long: 51";
    QTest::newRow("256-character lot, strict server") << true << "Lot" << 256 << "The Lot is too long: 256 characters where at most 255";
    QTest::newRow("256-character lot, no strict mode") << false << "Lot" << 256 << "The Lot is too long: 256";
    QTest::newRow("255-character lot fits") << false << "Lot" << 255 << "";
    QTest::newRow("51-character shape, no strict mode") << false << "Shape" << 51
                                                        << "The Shape is too long: 51 characters where at most 50";
}

void TestStoneRecord::overLongTextIsNamed()
{
    QFETCH(bool, strict);
    QFETCH(QString, field);
    QFETCH(int, length);
    QFETCH(QString, says);
    StoneEnv e;
    db::exec(e.t.db(), strict ? "SET SESSION sql_mode = 'STRICT_ALL_TABLES'" : "SET SESSION sql_mode = ''");
    const qint64 id = e.stone("B1");
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    const QString text = QString(length - 1, QLatin1Char('x')) + QString::fromUtf8("\u00e9");
    if (field == "SKU")
        f.SKU = text;
    else if (field == "Shape")
        f.Shape = text;
    else
        f.Lot = text;
    const SaveResult r = saveStone(e.ctx, f, st);
    if (says.isEmpty()) {
        QCOMPARE(r, SaveResult::Saved);
        QCOMPARE(e.value("SELECT " + field + " FROM SingleStone WHERE ID=?", {id}).toString(), text);
        return;
    }
    QCOMPARE(r, SaveResult::Refused);
    QVERIFY2(e.prompt.messages().join("|").contains(says), qPrintable(e.prompt.messages().join("|")));
    QCOMPARE(e.value("SELECT SKU FROM SingleStone WHERE ID=?", {id}).toString(), QString("B1"));
    QVERIFY(e.value("SELECT Lot FROM SingleStone WHERE ID=?", {id}).toString().isEmpty());
}

void TestStoneRecord::commentCharactersThatCannotBeStored_data()
{
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("named"); // empty: stored and read back as typed
    QTest::newRow("the line-break byte") << QString::fromUtf8("\u00danico") << QString::fromUtf8("\"\u00da\"");
    QTest::newRow("outside the code page") << QString::fromUtf8("Price \u20b9 and \u0141\u00f3d\u017a")
                                           << QString::fromUtf8("\"\u20b9\", \"\u0141\", \"\u017a\"");
    QTest::newRow("a lone carriage return") << "one\rtwo" << "a carriage return without a line feed";
    QTest::newRow("code page characters") << QString::fromUtf8("\u20ac 5, na\u00efve \u2013 ok\r\nnext")
                                          << QString();
}

void TestStoneRecord::commentCharactersThatCannotBeStored()
{
    QFETCH(QString, comment);
    QFETCH(QString, named);
    StoneEnv e;
    const qint64 id = e.stone("C1");
    StoneForm f = loadStone(e.ctx, id);
    EditState st;
    QVERIFY(beginEdit(e.ctx, f, st));
    f.Comment = comment;
    const SaveResult r = saveStone(e.ctx, f, st);
    if (named.isEmpty()) {
        QCOMPARE(r, SaveResult::Saved);
        QCOMPARE(loadStone(e.ctx, id).Comment, comment);
        return;
    }
    QCOMPARE(r, SaveResult::Refused);
    const QString said = e.prompt.messages().join("|");
    QVERIFY2(said.contains("The Comment holds characters that cannot be stored: " + named + "."), qPrintable(said));
    QVERIFY(e.value("SELECT Comment FROM SingleStone WHERE ID=?", {id}).isNull());
}

QTEST_GUILESS_MAIN(TestStoneRecord)
#include "tst_stonerecord.moc"
