// Parcel stock: exact decimals, the save's range rules and round trip, the
// carats guarded against a second workstation, receiving stock with the
// average and last cost, splitting, and the auto-number.
#include "ParcelTestEnv.h"
#include "core/KnownRates.h"
#include "parcels/OlderParcel.h"
#include "parcels/ParcelSplit.h"

#include <QTest>

using namespace velmor;
using namespace velmor::parcels;
using velmor::test::ParcelEnv;

class tst_parcelstock : public QObject {
    Q_OBJECT

private slots:
    // Sums are exact, rounding is half away from zero where binary floating
    // point would round 2.675 down.
    void decimals_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("product2");
        QTest::addColumn<QString>("quotient2");
        QTest::newRow("tenths") << "0.1" << "0.2" << "0.30000" << "0.02" << "0.50";
        QTest::newRow("half up") << "2.675" << "1" << "3.67500" << "2.68" << "2.68";
        QTest::newRow("negative") << "-1.5" << "0.25" << "-1.25000" << "-0.38" << "-6.00";
        QTest::newRow("six decimals rounded") << "0.000015" << "0" << "0.00002" << "0.00" << "0.00";
        QTest::newRow("big") << "99999.99999" << "0.00001" << "100000.00000" << "1.00" << "9999999999.00";
    }
    void decimals()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, sum);
        QFETCH(QString, product2);
        QFETCH(QString, quotient2);
        const Decimal5 x = *Decimal5::parse(a), y = *Decimal5::parse(b);
        QCOMPARE((x + y).toDb(), sum);
        QCOMPARE(x.times(y).fixed(2), product2);
        QCOMPARE(x.dividedBy(y).fixed(2), y.isZero() ? QStringLiteral("0.00") : quotient2);
    }
    void badNumbers()
    {
        for (const char *t : {"", "abc", "1,5", "1.2.3", ".", "1'; DROP TABLE parcel; --", "12345678901234"})
            QVERIFY2(!Decimal5::parse(QString::fromLatin1(t)), t);
        QCOMPARE(Decimal5::parse("1234567.891")->grouped2(), QStringLiteral("1,234,567.89"));
        QCOMPARE(Decimal5::parse("-999.995")->grouped2(), QStringLiteral("-1,000.00"));
    }

    void linkedWeights()
    {
        QCOMPARE(averageWeight("0.10", "0.20"), QStringLiteral("0.15"));
        QCOMPARE(stoneCount("30", "0.15"), QStringLiteral("200"));
        QCOMPARE(stoneCount("30", "0"), QString());
        QCOMPARE(stoneCount("x", "0.15"), QString());
    }

    // The range rules on a new parcel; the opening carats are journalled.
    void newParcelRanges_data()
    {
        QTest::addColumn<int>("colourLow");
        QTest::addColumn<int>("colourHigh");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("stored"); // ColourLow ColourHigh CaratLow CaratHigh
        QTest::newRow("high end empty") << 40 << 0 << "0.10" << "0.20" << "40 40 0.10000 0.20000";
        QTest::newRow("reversed colour") << 60 << 40 << "0.10" << "0.20" << "40 60 0.10000 0.20000";
        QTest::newRow("reversed weight") << 20 << 50 << "0.30" << "0.20" << "20 50 0.20000 0.30000";
        QTest::newRow("low weight empty") << 20 << 50 << "" << "0.25" << "20 50 0.25000 0.25000";
    }
    void newParcelRanges()
    {
        QFETCH(int, colourLow);
        QFETCH(int, colourHigh);
        QFETCH(QString, low);
        QFETCH(QString, high);
        QFETCH(QString, stored);
        ParcelEnv e;
        ParcelFields f;
        f.sku = "O'Neil \\ P-1";
        f.shape = "Pear [PS]";
        f.carat = "12.5";
        f.caratLow = low;
        f.caratHigh = high;
        f.colourLow = colourLow;
        f.colourHigh = colourHigh;
        f.sellPerCarat = "350";
        const Outcome o = saveParcel(e.ctx, std::nullopt, f);
        QCOMPARE(o.result, Result::Done);
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', ColourLow, ColourHigh, CaratLow, CaratHigh) FROM parcel WHERE ID=?", {o.id}),
                 stored);
        QCOMPARE(e.text("SELECT SKU FROM parcel WHERE ID=?", {o.id}), f.sku);
        QCOMPARE(e.text("SELECT CAST(Carat AS CHAR) FROM parcel WHERE ID=?", {o.id}), QStringLiteral("12.50000"));
        QCOMPARE(e.text("SELECT CAST(SUM(Carat) AS CHAR) FROM parceladd WHERE parcelid=?", {o.id}),
                 QStringLiteral("12.50000"));
    }

    // Saved untouched, nothing changes (an odd stored range included); an
    // edit writes that column only; carats changed meanwhile refuse the save.
    void roundTripAndEdits()
    {
        ParcelEnv e;
        const qint64 id = e.parcel("RT-1", "10", "200");
        db::exec(e.t.db(), "UPDATE parcel SET ColourLow=40, ColourHigh=0, CaratLow=0.123456, Comment=NULL WHERE ID=?", {id});
        const QString before = e.row("parcel", id);
        const auto loaded = loadParcel(e.t.db(), id);
        QVERIFY(loaded);
        QCOMPARE(saveParcel(e.ctx, loaded, fieldsOf(*loaded)).result, Result::Unchanged);
        QCOMPARE(e.row("parcel", id), before);

        ParcelFields f = fieldsOf(*loaded);
        f.sku = "RT-2";
        QCOMPARE(saveParcel(e.ctx, loaded, f).result, Result::Done);
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', SKU, ColourLow, ColourHigh, CaratLow, Carat) FROM parcel WHERE ID=?", {id}),
                 QStringLiteral("RT-2 40 0 0.12346 10.00000"));
        QVERIFY(e.value("SELECT Comment FROM parcel WHERE ID=?", {id}).isNull());

        // A stock correction is journalled; a stale screen is refused.
        const auto again = loadParcel(e.t.db(), id);
        f = fieldsOf(*again);
        f.carat = "9.5";
        db::exec(e.t.db(), "UPDATE parcel SET Carat=Carat-1 WHERE ID=?", {id}); // another workstation
        const QString stale = e.row("parcel", id);
        QCOMPARE(saveParcel(e.ctx, again, f).result, Result::Conflict);
        QCOMPARE(e.row("parcel", id), stale);
        db::exec(e.t.db(), "UPDATE parcel SET Carat=Carat+1 WHERE ID=?", {id});
        QCOMPARE(saveParcel(e.ctx, again, f).result, Result::Done);
        QCOMPARE(e.text("SELECT CAST(Carat AS CHAR) FROM parcel WHERE ID=?", {id}), QStringLiteral("9.50000"));
        QCOMPARE(e.text("SELECT CAST(SUM(Carat) AS CHAR) FROM parceladd WHERE parcelid=?", {id}), QStringLiteral("9.50000"));

        f = fieldsOf(*loadParcel(e.t.db(), id));
        f.carat = "-1";
        QCOMPARE(saveParcel(e.ctx, loadParcel(e.t.db(), id), f).result, Result::Refused);
    }

    // 10 ct at 200 then 10 ct at 100: 20 ct, average 150, last cost 100.
    void receiving()
    {
        ParcelEnv e;
        const qint64 id = e.parcel("RC-1", "0");
        const qint64 a = e.customer("Alpha Rough", true), b = e.customer("Beta Cutting", true);
        QCOMPARE(receiveStock(e.ctx, {id, a, "10", "200"}).result, Result::Done);
        QCOMPARE(receiveStock(e.ctx, {id, b, "10.00", "100.00"}).result, Result::Done);
        const ParcelFigures f = parcelFigures(e.t.db(), id);
        QCOMPARE(loadParcel(e.t.db(), id)->carat.fixed(2), QStringLiteral("20.00"));
        QCOMPARE(f.averageCost.grouped2(), QStringLiteral("150.00"));
        QCOMPARE(f.lastCost.grouped2(), QStringLiteral("100.00"));
        QCOMPARE(f.lastVendor, QStringLiteral("Beta Cutting"));
        QCOMPARE(f.onMemo.toDb(), QStringLiteral("0.00000"));
        const auto journal = parcelJournal(e.t.db(), id);
        QCOMPARE(journal.size(), 2);
        QCOMPARE(journal.at(0).party, QStringLiteral("Alpha Rough"));
        QCOMPARE(journal.at(1).action, QStringLiteral("added"));

        // Refused receipts write nothing.
        const QString before = e.row("parcel", id);
        QCOMPARE(receiveStock(e.ctx, {id, 0, "5", "100"}).message, QStringLiteral("You need to define a Supplier!"));
        QCOMPARE(receiveStock(e.ctx, {id, a, "0", "100"}).result, Result::Refused);
        QCOMPARE(receiveStock(e.ctx, {id, a, "5", "abc"}).result, Result::Refused);
        QCOMPARE(receiveStock(e.ctx, {id + 99, a, "5", "1"}).result, Result::Conflict);
        QCOMPARE(e.row("parcel", id), before);
        QCOMPARE(e.count("SELECT COUNT(*) FROM parceladd"), 2);
    }

    void search()
    {
        ParcelEnv e;
        e.parcel("S-1", "0"); // 0.10-0.20 ct, colour 20-40, clarity 30-50
        const qint64 b = e.parcel("S-2", "0");
        db::exec(e.t.db(), "UPDATE parcel SET CaratLow=0.3, CaratHigh=0.5, ColourLow=50, ColourHigh=70 WHERE ID=?", {b});
        auto skus = [&](const ParcelSearch &s) {
            QStringList out;
            for (const ParcelHit &h : searchParcels(e.t.db(), s))
                out << h.sku;
            return out;
        };
        QCOMPARE(skus({}), (QStringList{"S-1", "S-2"}));
        QCOMPARE(skus({"0.15", 0, 0}), QStringList{"S-1"});
        QCOMPARE(skus({"0.5", 60, 0}), QStringList{"S-2"});
        QCOMPARE(skus({"0.15", 60, 0}), QStringList());
        // Not a number: nothing found (never "any weight"), and the text is never SQL.
        QCOMPARE(skus({"0.2'; --", 0, 0}), QStringList());
        QCOMPARE(e.count("SELECT COUNT(*) FROM parcel"), 2);
    }

    // 10.00 ct received at 200; 4.00 ct worth 1000.00 split off: 6.00 ct
    // stay, the new parcel holds 4.00 ct at 250.00.  The last and average
    // cost come from receipts only: the source still bought at 200 from its
    // supplier, the new parcel bought nothing (its cost is its own column).
    void splitting()
    {
        ParcelEnv e;
        const qint64 src = e.parcel("SP-1", "10", "200");
        const Outcome o = splitParcel(e.ctx, {src, "SP-2", "4", "1000", ""});
        QCOMPARE(o.result, Result::Done);
        QCOMPARE(loadParcel(e.t.db(), src)->carat.fixed(2), QStringLiteral("6.00"));
        // The value in over the carats in: the split took 1,000.00 of the
        // 2,000.00 out with its 4 ct, the last receipt stays the last cost.
        const ParcelFigures sf = parcelFigures(e.t.db(), src);
        QCOMPARE(sf.averageCost.grouped2(), QStringLiteral("166.67"));
        QCOMPARE(sf.lastCost.grouped2(), QStringLiteral("200.00"));
        QCOMPARE(sf.lastVendor, QStringLiteral("Antwerp Rough"));
        const auto np = loadParcel(e.t.db(), o.id);
        QCOMPARE(np->carat.fixed(2), QStringLiteral("4.00"));
        QCOMPARE(np->sku, QStringLiteral("SP-2"));
        QCOMPARE(np->colourHigh, 40);
        QCOMPARE(np->costPerCarat.grouped2(), QStringLiteral("250.00"));
        // The new parcel's value came in with the split; a receipt adds to it.
        ParcelFigures nf = parcelFigures(e.t.db(), o.id);
        QCOMPARE(nf.averageCost.grouped2(), QStringLiteral("250.00"));
        QCOMPARE(nf.lastCost.grouped2(), QStringLiteral("250.00"));
        QCOMPARE(receiveStock(e.ctx, {o.id, e.supplierId, "5", "1200.50"}).result, Result::Done);
        nf = parcelFigures(e.t.db(), o.id);
        QCOMPARE(nf.averageCost.grouped2(), QStringLiteral("778.06")); // (1,000 + 6,002.50) / 9
        QCOMPARE(nf.lastCost.grouped2(), QStringLiteral("1,200.50"));
        // A second split of the source takes its cost at the source's average.
        const Outcome again = splitParcel(e.ctx, {src, "SP-4", "1", "", ""});
        QCOMPARE(again.result, Result::Done);
        QCOMPARE(loadParcel(e.t.db(), again.id)->costPerCarat.grouped2(), QStringLiteral("166.67"));
        QCOMPARE(parcelFigures(e.t.db(), src).averageCost.grouped2(), QStringLiteral("166.67"));

        // Refusals leave both rows as they were.
        const QString before = e.row("parcel", src);
        e.prompt.clear();
        QCOMPARE(splitParcel(e.ctx, {src, "SP-1", "1", "", ""}).result, Result::Refused); // its own SKU
        QCOMPARE(splitParcel(e.ctx, {src, " ", "1", "", ""}).result, Result::Refused);
        QCOMPARE(splitParcel(e.ctx, {src, "SP-3", "5", "", ""}).result, Result::Refused); // all of it
        QCOMPARE(splitParcel(e.ctx, {src, "SP-3", "0", "", ""}).result, Result::Refused);
        QCOMPARE(e.prompt.messages().mid(0, 2),
                 (QStringList{"missing Information: This SKU number is already been used for another Diamond, please "
                              "choose another SKU number!",
                              "Missing Information: You must define a SKU Number for this Parcel"}));
        QCOMPARE(e.row("parcel", src), before);
        QCOMPARE(e.count("SELECT COUNT(*) FROM parcel"), 3);
    }

    // An older parcel of 10 ct at 200 receives 10 ct at 100: 20 ct at 150;
    // the price follows the selling markup; unfinished or repeated receipts
    // are refused in the screen's order and write nothing.
    void olderParcelReceipt()
    {
        ParcelEnv e;
        const qint64 sup = e.customer("Old Supply", true);
        const qint64 id = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Carat, Quantity, CostUSPerCarat, "
                                               "PriceUSPerCarat, DMarkup, CostMarkup) VALUES ('OP-1', 10, 50, 200, 300, "
                                               "1.5, 9)");
        const Outcome o = receiveOlderParcel(e.ctx, {id, sup, "INV-7", "100", "10", "40"});
        QCOMPARE(o.result, Result::Done);
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Carat, Quantity, CostUSPerCarat, CostLocalPerCarat, PriceUSPerCarat, "
                        "PriceLocalPerCarat) FROM ParcelStock WHERE ID=?",
                        {id}),
                 QStringLiteral("20.00000 90 150.00000 187.50000 225.00000 281.25000"));
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Invoice, Carat, Quantity, PricePerCarat) FROM AddParcel"),
                 QStringLiteral("INV-7 10.00 40 100.00"));

        const QString before = e.row("ParcelStock", id);
        e.prompt.clear();
        const QList<OlderReceipt> refused = {{id, 0, "X", "1", "1", "1"},      {id, sup, " ", "1", "1", "1"},
                                             {id, sup, "X", "0", "1", "1"},    {id, sup, "X", "1", "-1", "1"},
                                             {id, sup, "X", "1", "1", "0"},    {id, sup, "inv-7", "1", "1", "1"},
                                             {id, sup, "X", "10000", "1", "1"}};
        for (const OlderReceipt &r : refused)
            QCOMPARE(receiveOlderParcel(e.ctx, r).result, Result::Refused);
        QCOMPARE(e.prompt.messages().mid(0, 6),
                 (QStringList{"Message: You need to define a Supplier!", "Message: You need to define an Invoice Number!",
                              "Message: You need to define a Price per Carat!",
                              "Message: You need to define the Carats received!", "Message: Wrong Amount of Stones!",
                              "Message: This Information was already entered!"}));
        // A wildcard in the invoice number is a plain character.
        QCOMPARE(receiveOlderParcel(e.ctx, {id, sup, "INV%", "1", "1", "1"}).result, Result::Done);
        QCOMPARE(e.count("SELECT COUNT(*) FROM AddParcel"), 2);
        // 21 ct at 142.90476 US$: the local cost is the one conversion of
        // every screen, to the cent (178.63 at 1.25), not 178.63095.
        const Decimal5 cost = *Decimal5::parse(e.text("SELECT CAST(CostUSPerCarat AS CHAR) FROM ParcelStock WHERE ID=?", {id}));
        QCOMPARE(cost.fixed(5), QStringLiteral("142.90476"));
        QCOMPARE(e.text("SELECT CAST(CostLocalPerCarat AS CHAR) FROM ParcelStock WHERE ID=?", {id}),
                 (*convertedAmount(cost, e.ctx.exchangeRateCDN)).fixed(5));
        QCOMPARE(e.text("SELECT CAST(CostLocalPerCarat AS CHAR) FROM ParcelStock WHERE ID=?", {id}), QStringLiteral("178.63000"));
        // Received while the CDN rate is not known: the US figures follow,
        // the local ones are not known (Null), never 0.
        e.ctx.exchangeRateCDN = 0;
        QCOMPARE(receiveOlderParcel(e.ctx, {id, sup, "INV-8", "150", "21", "10"}).result, Result::Done);
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Carat, CostUSPerCarat, IFNULL(CostLocalPerCarat, 'Null'), "
                        "PriceUSPerCarat, IFNULL(PriceLocalPerCarat, 'Null')) FROM ParcelStock WHERE ID=?",
                        {id}),
                 QStringLiteral("42.00000 146.45238 Null 219.67857 Null"));
        Q_UNUSED(before);
    }

    // The split of an older parcel: 10.00 ct at 200, 4.00 ct split off with
    // a value of 1000.00 leaves 6.00 ct at 166.67; reversed weight bounds
    // and grades are stored in order; repeated SKUs and a parcel changed
    // meanwhile are refused with nothing written.
    void olderParcelSplit()
    {
        ParcelEnv e;
        const qint64 id = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Shape, Carat, CostUSPerCarat) "
                                               "VALUES ('OS-1', 'Pear [PS]', 10, 200)");
        OlderSplit s;
        s.sourceId = id;
        s.sourceCarat = "10.00";
        s.newSku = "OS-2";
        s.newShape = "Pear [PS]";
        s.newCarat = "4";
        s.old = {"0.30", "0.20", 50, 20, 0, 40, "166.67", "208.34", "250", "312.50"};
        s.neu = {"0", "0.10", 20, 50, 30, 30, "250", "312.50", "300", "375"};
        OlderSplit own = s;
        own.newSku = "OS-1";
        QCOMPARE(splitOlderParcel(e.ctx, own).result, Result::Refused);
        OlderSplit all = s;
        all.newCarat = "10";
        QCOMPARE(splitOlderParcel(e.ctx, all).result, Result::Refused);
        OlderSplit stale = s;
        stale.sourceCarat = "9.5";
        QCOMPARE(splitOlderParcel(e.ctx, stale).result, Result::Conflict);
        QCOMPARE(e.count("SELECT COUNT(*) FROM ParcelStock"), 1);

        const Outcome o = splitOlderParcel(e.ctx, s);
        QCOMPARE(o.result, Result::Done);
        auto row = [&](qint64 pid) {
            return e.text("SELECT CONCAT_WS(' ', SKU, Carat, IFNULL(CaratLow,'-'), IFNULL(CaratHigh,'-'), "
                          "IFNULL(ColourHigh,'-'), IFNULL(ColourLow,'-'), IFNULL(ClarityHigh,'-'), IFNULL(ClarityLow,'-'), "
                          "IFNULL(SellUS,'Null'), IFNULL(SellLocal,'Null'), CostUSPerCarat) FROM ParcelStock WHERE ID=?",
                          {pid});
        };
        // The source keeps its selling currency as stored (none here).
        QCOMPARE(row(id), QStringLiteral("OS-1 6.00000 0.20000 0.30000 20 50 - 40 Null Null 166.67000"));
        QCOMPARE(row(o.id), QStringLiteral("OS-2 4.00000 - 0.10000 20 50 30 30 0.00000 -1.00000 250.00000"));
    }

    void autoNumbers_data()
    {
        QTest::addColumn<QStringList>("skus");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("message");
        QTest::newRow("next") << QStringList{"P0007", "P0099", "Q5000"} << "P" << "P0100" << "";
        QTest::newRow("last possible") << QStringList{"P1499999"} << "P" << "P1500000" << "";
        QTest::newRow("used up") << QStringList{"P1500000"} << "P" << ""
                                 << "Auto-Number: Cannot assign an Auto-Number.\n\nPlease try to change or add some "
                                    "leading letters in the item number.";
        QTest::newRow("no such prefix") << QStringList{"P0001"} << "X'" << ""
                                        << "Auto-Number: Unable to assign a Auto-Number to the Item Number";
        QTest::newRow("digits only") << QStringList{"17", "A99", "0200"} << "" << "0201" << "";
    }
    void autoNumbers()
    {
        QFETCH(QStringList, skus);
        QFETCH(QString, prefix);
        QFETCH(QString, next);
        QFETCH(QString, message);
        ParcelEnv e;
        for (const QString &s : skus)
            e.parcel(s, "0");
        QCOMPARE(autoNumber(e.ctx, "parcel", prefix), next);
        QCOMPARE(e.prompt.messages().join(QString()), message);
    }
};

QTEST_GUILESS_MAIN(tst_parcelstock)
#include "tst_parcelstock.moc"
