// The price fields of the stone screen, without a window.
#include "stones/StonePriceWindow.h"
#include "stones/StonePrices.h"

#include <QtTest>

using velmor::stones::StonePriceModel;
using F = StonePriceModel::Field;

namespace {
struct Input {
    F field;
    QString text;
};
} // namespace
Q_DECLARE_METATYPE(QList<Input>)

namespace {
// The preset fields set, the edits typed in order, the expected texts read.
void checkChain(StonePriceModel &m)
{
    QFETCH(QList<Input>, preset);
    QFETCH(QList<Input>, edits);
    QFETCH(QList<Input>, expect);
    for (const Input &i : preset)
        m.set(i.field, i.text);
    for (const Input &i : edits)
        m.edit(i.field, i.text);
    for (const Input &i : expect)
        QVERIFY2(m.text(i.field) == i.text,
                 qPrintable(StonePriceModel::fieldName(i.field) + ": " + m.text(i.field) + " != " + i.text));
}
} // namespace

class TestStonePrices : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void chains_data();
    void chains();
    void priceStep_data();
    void priceStep();
    void guardStopsPartnersFromConvertingBack();
    void writesReachTheScreen();
    void divisionsByZeroLeaveFieldsAlone();
    void weightChangeFollowsEveryFigure();
    void lockDollarKeepsThePrice();
    void priceWindowOpens();
    void priceWindowMarker_data();
    void priceWindowMarker();
};

void TestStonePrices::formats_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("fmt");
    QTest::addColumn<double>("round2");
    QTest::newRow("plain") << 3535.0 << "3535.00" << 3535.0;
    QTest::newRow("binary fraction half") << 2.675 << "2.68" << 2.68;
    QTest::newRow("third") << 1000.0 / 0.3 << "3333.33" << 3333.33;
    QTest::newRow("two thirds") << 4166.666666 << "4166.67" << 4166.67;
    QTest::newRow("half cent") << 0.005 << "0.01" << 0.01;
    QTest::newRow("negative half") << -2.345 << "-2.35" << -2.34; // round2 is Int(), half up
    QTest::newRow("zero") << 0.0 << "0.00" << 0.0;
    QTest::newRow("tiny negative") << -0.001 << "0.00" << 0.0;
}

void TestStonePrices::formats()
{
    QFETCH(double, value);
    QFETCH(QString, fmt);
    QFETCH(double, round2);
    QCOMPARE(velmor::stones::fmt(value), fmt);
    QCOMPARE(velmor::stones::round2(value), round2);
}

void TestStonePrices::chains_data()
{
    QTest::addColumn<bool>("lockPercent");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QList<Input>>("preset"); // set without handlers
    QTest::addColumn<QList<Input>>("edits");  // typed, in order
    QTest::addColumn<QList<Input>>("expect");

    using L = QList<Input>;
    QTest::newRow("tier 1 discount")
        << true << 1.0 << L{{F::LatestRapPrice, "5000"}, {F::Weight, "1.01"}} << L{{F::SellOffRap, "30"}}
        << L{{F::SellPriceCT, "3500.00"}, {F::SellPrice, "3535.00"}};
    QTest::newRow("tier 1 price per stone")
        << true << 1.0 << L{{F::LatestRapPrice, "5000"}, {F::Weight, "1.01"}} << L{{F::SellPrice, "3535"}}
        << L{{F::SellPriceCT, "3500.00"}, {F::SellOffRap, "30.00"}};
    // The discount is computed from the rounded per-carat text, not the exact quotient.
    QTest::newRow("tier 1 reads rounded per carat")
        << true << 1.0 << L{{F::LatestRapPrice, "3000"}, {F::Weight, "0.70"}} << L{{F::SellPrice, "1000"}}
        << L{{F::SellPriceCT, "1428.57"}, {F::SellOffRap, "52.38"}};
    QTest::newRow("tier 1 per carat")
        << true << 1.0 << L{{F::LatestRapPrice, "8000"}, {F::Weight, "0.5"}} << L{{F::SellPriceCT, "6000"}}
        << L{{F::SellOffRap, "25.00"}, {F::SellPrice, "3000.00"}};
    QTest::newRow("tier 1 per carat, no list price")
        << true << 1.0 << L{{F::SellOffRap, "12.00"}, {F::Weight, "0.5"}} << L{{F::SellPriceCT, "6000"}}
        << L{{F::SellOffRap, "12.00"}, {F::SellPrice, "3000.00"}};
    QTest::newRow("listing tier")
        << true << 1.0 << L{{F::LatestRapPrice, "5000"}, {F::Weight, "2"}} << L{{F::SellOffRapLX, "10"}}
        << L{{F::SellPriceCTLX, "4500.00"}, {F::SellPriceLX, "9000.00"}, {F::SellPrice, ""}};
    QTest::newRow("tier 2 per stone")
        << true << 1.25 << L{{F::Weight, "0.30"}} << L{{F::SellPrice2, "1000.00"}}
        << L{{F::SellPriceCT2, "3333.33"}, {F::SellPriceLocalCT2, "4166.67"}, {F::SellPriceLocal2, "1250.00"},
             {F::SellOffRap2, ""}};
    // At an unknown rate the local prices stay empty, never 0.00.
    QTest::newRow("tier 2 per stone, unknown rate")
        << true << 0.0 << L{{F::Weight, "0.30"}, {F::SellPriceLocal2, "9.99"}} << L{{F::SellPrice2, "1000.00"}}
        << L{{F::SellPriceCT2, "3333.33"}, {F::SellPriceLocalCT2, ""}, {F::SellPriceLocal2, ""}};
    QTest::newRow("tier 3 per carat, unknown rate")
        << true << 0.0 << L{{F::Weight, "0.75"}} << L{{F::SellPriceCT3, "2000"}}
        << L{{F::SellPrice3, "1500.00"}, {F::SellPriceLocalCT3, ""}, {F::SellPriceLocal3, ""}};
    QTest::newRow("tier 2 per stone, lock dollar")
        << false << 1.25 << L{{F::Weight, "0.50"}, {F::USRap, "2000.00"}} << L{{F::SellPrice2, "1500"}}
        << L{{F::SellOffRap2, "25.00"}, {F::SellPriceCT2, "3000.00"}};
    QTest::newRow("tier 3 per carat")
        << true << 1.3 << L{{F::Weight, "0.75"}} << L{{F::SellPriceCT3, "2000"}}
        << L{{F::SellPriceLocalCT3, "2600.00"}, {F::SellPrice3, "1500.00"}, {F::SellPriceLocal3, "1950.00"},
             {F::SellPriceCT2, ""}};
    QTest::newRow("tier 2 local per stone")
        << true << 1.25 << L{{F::Weight, "0.50"}} << L{{F::SellPriceLocal2, "1250"}}
        << L{{F::SellPrice2, "1000.00"}, {F::SellPriceLocalCT2, "2500.00"}, {F::SellPriceCT2, "2000.00"}};
    QTest::newRow("tier 2 local per carat")
        << true << 1.25 << L{{F::Weight, "0.50"}} << L{{F::SellPriceLocalCT2, "2500"}}
        << L{{F::SellPriceCT2, "2000.00"}, {F::SellPrice2, "1000.00"}, {F::SellPriceLocal2, "1250.00"}};
    QTest::newRow("tier 2 discount")
        << true << 1.25 << L{{F::Weight, "0.50"}, {F::LatestRapPrice, "4000"}} << L{{F::SellOffRap2, "20"}}
        << L{{F::SellPriceCT2, "3200.00"}, {F::SellPrice2, "1600.00"}, {F::SellPriceLocal2, "2000.00"}};
    QTest::newRow("bought per stone")
        << true << 1.0 << L{{F::OriginalRapPrice, "4000"}, {F::Weight, "0.5"}} << L{{F::BoughtPriceUS, "1500"}}
        << L{{F::BoughtPriceUSCT, "3000.00"}, {F::OriginalBuyOffRap, "25.00"}};
    QTest::newRow("bought per carat")
        << true << 1.0 << L{{F::OriginalRapPrice, "4000"}, {F::Weight, "0.5"}} << L{{F::BoughtPriceUSCT, "2000"}}
        << L{{F::OriginalBuyOffRap, "50.00"}, {F::BoughtPriceUS, "1000.00"}};
    QTest::newRow("buying discount")
        << true << 1.0 << L{{F::OriginalRapPrice, "4000"}, {F::Weight, "1.5"}} << L{{F::OriginalBuyOffRap, "35"}}
        << L{{F::BoughtPriceUSCT, "2600.00"}, {F::BoughtPriceUS, "3900.00"}};
    QTest::newRow("list price when bought")
        << true << 1.0 << L{{F::OriginalBuyOffRap, "40"}, {F::Weight, "1.5"}} << L{{F::OriginalRapPrice, "6000"}}
        << L{{F::OriginalRapPriceUS, "9000.00"}, {F::BoughtPriceUSCT, "3600.00"}, {F::BoughtPriceUS, "5400.00"}};
    QTest::newRow("thousands separators read")
        << true << 1.0 << L{{F::LatestRapPrice, "5,000.00"}, {F::Weight, "1.01"}} << L{{F::SellOffRap, "30"}}
        << L{{F::SellPriceCT, "3500.00"}, {F::SellPrice, "3535.00"}};
}

void TestStonePrices::chains()
{
    QFETCH(bool, lockPercent);
    QFETCH(double, rate);
    StonePriceModel m;
    m.lockPercent = lockPercent;
    m.rate = rate;
    checkChain(m);
}

// The settings' rounding step applies to selling prices worked out from a
// discount; prices typed by the user stay as typed.
void TestStonePrices::priceStep_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<QList<Input>>("preset");
    QTest::addColumn<QList<Input>>("edits");
    QTest::addColumn<QList<Input>>("expect");
    using L = QList<Input>;
    const L stone{{F::LatestRapPrice, "5123"}, {F::Weight, "1.01"}};
    QTest::newRow("no step keeps the cents")
        << 0.0 << stone << L{{F::SellOffRap, "30"}} << L{{F::SellPriceCT, "3586.10"}, {F::SellPrice, "3621.96"}};
    QTest::newRow("step 1") << 1.0 << stone << L{{F::SellOffRap, "30"}}
                            << L{{F::SellPriceCT, "3586.00"}, {F::SellPrice, "3621.86"}};
    QTest::newRow("step 5") << 5.0 << stone << L{{F::SellOffRap, "30"}}
                            << L{{F::SellPriceCT, "3585.00"}, {F::SellPrice, "3620.85"}};
    QTest::newRow("step 5, half way rounds up") << 5.0 << L{{F::LatestRapPrice, "5055"}, {F::Weight, "1"}}
                                                << L{{F::SellOffRap, "50"}} << L{{F::SellPriceCT, "2530.00"}};
    QTest::newRow("step 5, listing tier") << 5.0 << stone << L{{F::SellOffRapLX, "30"}}
                                          << L{{F::SellPriceCTLX, "3585.00"}};
    QTest::newRow("step 5, tier 2") << 5.0 << stone << L{{F::SellOffRap2, "30"}}
                                    << L{{F::SellPriceCT2, "3585.00"}, {F::SellPrice2, "3620.85"}};
    QTest::newRow("step 5, new list price held by percent")
        << 5.0 << L{{F::SellOffRap, "30"}, {F::Weight, "1.01"}} << L{{F::LatestRapPrice, "5123"}}
        << L{{F::SellPriceCT, "3585.00"}};
    QTest::newRow("step 5, typed per carat kept") << 5.0 << stone << L{{F::SellPriceCT, "3586.10"}}
                                                  << L{{F::SellPriceCT, "3586.10"}, {F::SellOffRap, "30.00"}};
    QTest::newRow("step 5, typed per stone kept") << 5.0 << stone << L{{F::SellPrice, "3621.96"}}
                                                  << L{{F::SellPriceCT, "3586.10"}};
}

void TestStonePrices::priceStep()
{
    QFETCH(double, step);
    StonePriceModel m;
    m.priceStep = step;
    checkChain(m);
}

// A screen forwards its controls' change events; the writes of a handler
// come back as edits while the guard is set and must not run again.
void TestStonePrices::guardStopsPartnersFromConvertingBack()
{
    StonePriceModel m;
    int handled = 0;
    m.onWrite = [&](F f, const QString &t) {
        QVERIFY(m.guarded());
        ++handled;
        m.edit(f, t + "9"); // would change the value if it were taken
    };
    m.set(F::LatestRapPrice, "5000");
    m.set(F::Weight, "1.01");
    m.edit(F::SellOffRap, "30");
    QCOMPARE(handled, 2);
    QCOMPARE(m.text(F::SellPriceCT), QString("3500.00"));
    QCOMPARE(m.text(F::SellOffRap), QString("30"));
    QVERIFY(!m.guarded());
}

void TestStonePrices::writesReachTheScreen()
{
    StonePriceModel m;
    QStringList seen;
    m.onWrite = [&](F f, const QString &t) { seen << StonePriceModel::fieldName(f) + "=" + t; };
    m.set(F::LatestRapPrice, "5000");
    m.set(F::Weight, "1.01");
    m.edit(F::SellOffRap, "30");
    QCOMPARE(seen, QStringList({"txtSellPriceCT=3500.00", "txtSellPrice=3535.00"}));
    QCOMPARE(StonePriceModel::fieldByName("txtsellpricelocal3"), F::SellPriceLocal3);
    QCOMPARE(StonePriceModel::fieldByName("txtSKU"), F::FieldCount);
}

void TestStonePrices::divisionsByZeroLeaveFieldsAlone()
{
    StonePriceModel m;
    m.set(F::SellPriceCT, "100.00");
    m.set(F::SellOffRap, "5.00");
    m.edit(F::SellPrice, "500"); // weight 0
    QCOMPARE(m.text(F::SellPriceCT), QString("100.00"));
    m.set(F::Weight, "1");
    m.edit(F::SellPrice, "500"); // list price 0: per carat follows, discount stays
    QCOMPARE(m.text(F::SellPriceCT), QString("500.00"));
    QCOMPARE(m.text(F::SellOffRap), QString("5.00"));
    m.rate = 0;
    m.set(F::SellPrice2, "7.00");
    m.edit(F::SellPriceLocal2, "10");
    QCOMPARE(m.text(F::SellPrice2), QString("7.00"));
}

void TestStonePrices::weightChangeFollowsEveryFigure()
{
    StonePriceModel m;
    m.rate = 1.25;
    m.set(F::LatestRapPrice, "5000");
    m.set(F::Weight, "1.00");
    m.set(F::OriginalRapPrice, "4000");
    m.edit(F::BoughtPriceUS, "3000");
    m.edit(F::SellOffRap, "30");
    m.edit(F::SellPrice2, "3000");
    m.edit(F::Weight, "1.50");
    QCOMPARE(m.text(F::USRap), QString("7500.00"));
    QCOMPARE(m.text(F::SellPriceCT), QString("3500.00"));   // the discount holds
    QCOMPARE(m.text(F::SellPrice), QString("5250.00"));
    QCOMPARE(m.text(F::SellOffRap), QString("30.00"));
    QCOMPARE(m.text(F::BoughtPriceUSCT), QString("2000.00")); // bought per stone holds
    QCOMPARE(m.text(F::OriginalBuyOffRap), QString("50.00"));
    QCOMPARE(m.text(F::SellPriceCT2), QString("2000.00"));
    QCOMPARE(m.text(F::SellPriceLocal2), QString("3750.00"));
}

void TestStonePrices::lockDollarKeepsThePrice()
{
    StonePriceModel m;
    m.lockPercent = false;
    m.lockPercentLX = true;
    m.set(F::Weight, "1.01");
    m.set(F::LatestRapPrice, "5000");
    m.edit(F::SellOffRap, "30");
    m.edit(F::SellOffRapLX, "30");
    m.edit(F::LatestRapPrice, "7000");
    QCOMPARE(m.text(F::SellPriceCT), QString("3500.00"));
    QCOMPARE(m.text(F::SellPrice), QString("3535.00"));
    QCOMPARE(m.text(F::SellOffRap), QString("50.00"));
    // the listing tier keeps its discount by its own option
    QCOMPARE(m.text(F::SellOffRapLX), QString("30"));
    QCOMPARE(m.text(F::SellPriceCTLX), QString("4900.00"));
    QCOMPARE(m.text(F::USRap), QString("7070.00"));
}

using W = velmor::stones::StonePriceWindowModel;

namespace {
W::Opening opening()
{
    W::Opening o;
    o.weight = 0.5;
    o.boughtUS = 1000;
    o.sellUS = 2000;
    o.rateCDN = 1.3;
    o.rateZAR = 14.25;
    o.boughtRateCDN = 1.25;
    o.boughtRateZAR = 0;
    return o;
}
} // namespace

void TestStonePrices::priceWindowOpens()
{
    W m;
    m.open(opening());
    QCOMPARE(m.marker(), QString("ex"));
    QCOMPARE(m.text(W::CDN), QString("1.3"));
    QCOMPARE(m.text(W::ZAR), QString("14.25"));
    QCOMPARE(m.text(W::CDNbought), QString("1.25"));
    QCOMPARE(m.text(W::ZARbought), QString("???"));
    QCOMPARE(m.text(W::BoughtPriceLocal), QString("1250.00"));
    QCOMPARE(m.text(W::BoughtPriceUSCT), QString("2000.00"));
    QCOMPARE(m.text(W::SellPriceLocal), QString("2600.00"));
    QCOMPARE(m.text(W::SellPriceLocalCT), QString("5200.00"));
    QCOMPARE(m.text(W::SellPriceZARCT), QString("57000.00"));
    QCOMPARE(W::fieldByName("txtZARbought"), W::ZARbought);
    // Today's rates unknown: no local or rand price converted at them.
    W u;
    W::Opening o = opening();
    o.rateCDN = 0;
    o.rateZAR = 0;
    u.open(o);
    for (W::Field f : {W::SellPriceLocal, W::SellPriceLocalCT, W::SellPriceZAR, W::SellPriceZARCT})
        QVERIFY2(u.text(f).isEmpty(), qPrintable(W::fieldName(f) + ": " + u.text(f)));
    QCOMPARE(u.text(W::CDN), QString("???"));
    QCOMPARE(u.text(W::SellPriceUS), QString("2000.00"));
}

// Steps: "e:field=text" edits, "l:field" leaves; expect "field=text" and "marker=..".
void TestStonePrices::priceWindowMarker_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expect");
    QTest::newRow("US edited: local follows at the rate of purchase")
        << QStringList{"e:txtBoughtPriceUS=1200"}
        << QStringList{"txtBoughtPriceUSCT=2400.00", "txtBoughtPriceLocal=1500.00", "txtBoughtPriceLocalCT=3000.00",
                       "marker=ex"};
    QTest::newRow("US per carat edited")
        << QStringList{"e:txtBoughtPriceUSCT=3000"}
        << QStringList{"txtBoughtPriceUS=1500.00", "txtBoughtPriceLocal=1875.00"};
    QTest::newRow("local edited with marker ex: US follows")
        << QStringList{"e:txtBoughtPriceLocal=2500"}
        << QStringList{"txtBoughtPriceUS=2000.00", "txtBoughtPriceLocalCT=5000.00", "txtBoughtPriceUSCT=4000.00",
                       "txtCDNbought=1.25"};
    QTest::newRow("US fixed, local edited: the rate follows")
        << QStringList{"e:txtBoughtPriceUS=1000", "l:txtBoughtPriceUS", "e:txtBoughtPriceLocal=1350"}
        << QStringList{"marker=us", "txtCDNbought=1.35", "txtBoughtPriceUS=1000"};
    QTest::newRow("local fixed, rate edited: US follows")
        << QStringList{"l:txtBoughtPriceLocal", "e:txtCDNbought=1.6"}
        << QStringList{"marker=loc", "txtBoughtPriceUS=781.25", "txtBoughtPriceLocal=1250.00"};
    QTest::newRow("rate edited with marker ex becomes us: local follows")
        << QStringList{"e:txtCDNbought=1.4"}
        << QStringList{"marker=us", "txtBoughtPriceLocal=1400.00", "txtBoughtPriceUS=1000.00"};
    QTest::newRow("US edited twice after leaving it")
        << QStringList{"l:txtBoughtPriceUS", "e:txtBoughtPriceUS=800"}
        << QStringList{"marker=ex", "txtBoughtPriceLocal=1000.00"};
    QTest::newRow("leaving a rate records ex")
        << QStringList{"l:txtBoughtPriceLocal", "l:txtZARbought"} << QStringList{"marker=ex"};
}

void TestStonePrices::priceWindowMarker()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expect);
    W m;
    m.open(opening());
    for (const QString &s : steps) {
        const QString body = s.mid(2);
        if (s.startsWith("e:"))
            m.edit(W::fieldByName(body.section('=', 0, 0)), body.section('=', 1));
        else
            m.leave(W::fieldByName(body));
    }
    for (const QString &e : expect) {
        const QString name = e.section('=', 0, 0), want = e.section('=', 1);
        const QString got = name == "marker" ? m.marker() : m.text(W::fieldByName(name));
        QVERIFY2(got == want, qPrintable(name + ": " + got + " != " + want));
    }
}

QTEST_GUILESS_MAIN(TestStonePrices)
#include "tst_stoneprices.moc"
