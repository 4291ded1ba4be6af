// Bulk re-pricing: what one member does to a stone, the phases a run goes
// through, and the fast route against the stone-by-stone route.
#include "PricingTestKit.h"
#include "core/Settings.h"
#include "db/Row.h"
#include "pricing/Repricing.h"
#include "pricing/Shapes.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

using namespace velmor;
using namespace velmor::pricing;
using namespace velmor::test;

namespace {

void setFlags(Settings &s, const QStringList &flags)
{
    const QHash<QString, bool *> all{{"PrincessEQPear", &s.PrincessEQPear},
                                     {"MarquiseEQPear", &s.MarquiseEQPear},
                                     {"EmeraldEQPear", &s.EmeraldEQPear},
                                     {"CushionEQPear", &s.CushionEQPear},
                                     {"RadiantEQPear", &s.RadiantEQPear},
                                     {"TriangleEQPear", &s.TriangleEQPear},
                                     {"HeartEQPear", &s.HeartEQPear},
                                     {"GIAanythingelse", &s.GIAanythingelse},
                                     {"OvalEQPear", &s.OvalEQPear},
                                     {"AsserEQPear", &s.AsserEQPear},
                                     {"SquareBrilliantEQRound", &s.SquareBrilliantEQRound},
                                     {"RectangleBrilliantEQRound", &s.RectangleBrilliantEQRound},
                                     {"LowerQuality", &s.LowerQuality}};
    for (const QString &f : flags) {
        QVERIFY2(all.contains(f), qPrintable(f));
        *all.value(f) = true;
    }
}

struct Stored {
    QVariant rap, sell, sellLx;
    int rnd = 0;
};

Stored stored(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db, "SELECT RapaportPrice, SellPriceUS, SellPriceUSlx, RND FROM SingleStone WHERE ID=?", {id});
    q.next();
    return {q.value(0), q.value(1), q.value(2), q.value(3).toInt()};
}

QString shown(const QVariant &v) { return v.isNull() ? QStringLiteral("NULL") : QString::number(v.toDouble(), 'f', 4); }

RepriceReport run(PricingEnv &env, bool literal)
{
    return literal ? repriceAllLiteral(env.ctx) : repriceAll(env.ctx);
}

} // namespace

class TestRepricing : public QObject {
    Q_OBJECT
private slots:
    void oneStone_data();
    void oneStone();
    void phases_data();
    void phases();
    void lastMemberWins_data();
    void lastMemberWins();
    void marquiseAndPrincessOnEveryRoad_data();
    void marquiseAndPrincessOnEveryRoad();
    void noPriceSaysWhatIsMissing();
    void giaPhase_data();
    void giaPhase();
    void fastRouteEqualsLiteral_data();
    void fastRouteEqualsLiteral();
};

void TestRepricing::oneStone_data()
{
    QTest::addColumn<bool>("literal");
    QTest::addColumn<QVariant>("carat");
    QTest::addColumn<QVariant>("colour");
    QTest::addColumn<bool>("lock");
    QTest::addColumn<bool>("lockLx");
    QTest::addColumn<QVariant>("rapBefore");
    QTest::addColumn<QString>("rap");
    QTest::addColumn<QString>("sell");
    QTest::addColumn<QString>("sellLx");
    QTest::addColumn<bool>("newRnd");

    for (bool literal : {false, true}) {
        const QByteArray r = literal ? " (stone by stone)" : " (fast)";
        QTest::newRow("F/VS1 1.00 ct locked at 25% off" + r)
            << literal << QVariant(1.0) << QVariant(30) << true << false << QVariant(500.0) << "10000.0000"
            << "7500.0000" << "999.0000" << true;
        QTest::newRow("price held as an amount" + r) << literal << QVariant(1.0) << QVariant(30) << false << false
                                                     << QVariant() << "10000.0000" << "1234.5000" << "999.0000" << true;
        QTest::newRow("listing tier locked at 10% off" + r)
            << literal << QVariant(1.2) << QVariant(30) << true << true << QVariant() << "10000.0000" << "9000.0000"
            << "10800.0000" << true;
        QTest::newRow("7.25 ct on the 5-carat row" + r) << literal << QVariant(7.25) << QVariant(30) << true << false
                                                        << QVariant() << "50000.0000" << "271875.0000" << "999.0000"
                                                        << true;
        QTest::newRow("no weight: a price becomes Null" + r) << literal << QVariant() << QVariant(30) << true << false
                                                             << QVariant(500.0) << "NULL" << "1234.5000" << "999.0000"
                                                             << false;
        QTest::newRow("no weight: Null becomes 0" + r) << literal << QVariant() << QVariant(30) << true << false
                                                       << QVariant() << "0.0000" << "1234.5000" << "999.0000" << false;
        QTest::newRow("no colour grade" + r) << literal << QVariant(1.0) << QVariant() << true << false
                                             << QVariant(500.0) << "NULL" << "1234.5000" << "999.0000" << false;
        QTest::newRow("colour number without a wording" + r) << literal << QVariant(1.0) << QVariant(31) << true
                                                             << false << QVariant(500.0) << "NULL" << "1234.5000"
                                                             << "999.0000" << false;
        QTest::newRow("split colour F/G averaged with G" + r) << literal << QVariant(1.0) << QVariant(35) << true
                                                              << false << QVariant() << "9000.0000" << "6750.0000"
                                                              << "999.0000" << true;
    }
}

void TestRepricing::oneStone()
{
    QFETCH(bool, literal);
    QFETCH(QVariant, carat);
    QFETCH(QVariant, colour);
    QFETCH(bool, lock);
    QFETCH(bool, lockLx);
    QFETCH(QVariant, rapBefore);
    QFETCH(QString, rap);
    QFETCH(QString, sell);
    QFETCH(QString, sellLx);
    QFETCH(bool, newRnd);

    PricingEnv env;
    addGridRow(env.db(), "BR", "F", "VS1", 1.00, 1.49, 10000);
    addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 8000);
    addGridRow(env.db(), "BR", "F", "VS1", 5.00, 5.99, 50000);
    TestStone s;
    s.shape = "Round Brilliant [BR]";
    s.carat = carat;
    s.colour = colour;
    s.clarity = 40;
    s.lock = lock;
    s.off = 25;
    s.lockLx = lockLx;
    s.offLx = 10;
    s.rap = rapBefore;
    const qint64 id = addStone(env.db(), s);
    const RepriceReport report = run(env, literal);
    const Stored after = stored(env.db(), id);
    QCOMPARE(shown(after.rap), rap);
    QCOMPARE(shown(after.sell), sell);
    QCOMPARE(shown(after.sellLx), sellLx);
    QCOMPARE(after.rnd != 7, newRnd);
    QCOMPARE(report.phases.first().selected, 1);
    QCOMPARE(report.phases.first().priced, newRnd ? 1 : 0);
}

void TestRepricing::phases_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("members");

    QTest::newRow("nothing switched on")
        << QStringList()
        << QStringList{"Updating Round Diamonds", "Updating Pear Diamonds", "Updating Princess Diamonds",
                       "Updating Marquise Diamonds"}
        << QStringList{"UpdateRoundDiamondsModule", "UpdatePearDiamondsModule", "UpdatePrincessDiamondsModule",
                       "UpdateMarquiseDiamondsModule"};
    QTest::newRow("everything switched on")
        << QStringList{"PrincessEQPear", "MarquiseEQPear", "EmeraldEQPear", "CushionEQPear", "RadiantEQPear",
                       "TriangleEQPear", "HeartEQPear", "GIAanythingelse", "OvalEQPear", "AsserEQPear",
                       "SquareBrilliantEQRound", "RectangleBrilliantEQRound"}
        << QStringList{"Updating Round Diamonds",        "Updating Pear Diamonds",
                       "Updating Princess Diamonds",     "Updating Marquise Diamonds",
                       "Updating Emerald Diamonds",      "Updating Cushion Diamonds",
                       "Updating Radiant Diamonds",      "Updating Triangle Diamonds",
                       "Updating Heart Diamonds",        "Updating all GIA none-round Diamonds",
                       "Updating Oval Diamonds",         "Updating Asscher Diamonds",
                       "Updating square Brilliant Diamonds", "Updating rectangle Brilliant Diamonds"}
        << QStringList{"UpdateRoundDiamondsModule",
                       "UpdatePearDiamondsModule",
                       "UpdatePearEQPrincessDiamondsModule",
                       "UpdatePearEQMarquiseDiamondsModule",
                       "UpdatePearEQEmeraldDiamondsModule",
                       "UpdatePearEQCushionDiamondsModule",
                       "UpdatePearEQRadiantDiamondsModule",
                       "UpdatePearEQTriangleDiamondsModule",
                       "UpdatePearEQHeartDiamondsModule",
                       "UpdateGIANoneRoundDiamonds",
                       "UpdatePearEQOvalDiamondsModule",
                       "UpdatePearEQAsserDiamondsModule",
                       "UpdateSquareBrilliantEQRoundDiamondsModule",
                       "UpdateRectangleBrilliantEQRoundDiamondsModule"};
    QTest::newRow("oval and rectangle only")
        << QStringList{"OvalEQPear", "RectangleBrilliantEQRound"}
        << QStringList{"Updating Round Diamonds", "Updating Pear Diamonds", "Updating Princess Diamonds",
                       "Updating Marquise Diamonds", "Updating Oval Diamonds", "Updating rectangle Brilliant Diamonds"}
        << QStringList{"UpdateRoundDiamondsModule",    "UpdatePearDiamondsModule",
                       "UpdatePrincessDiamondsModule", "UpdateMarquiseDiamondsModule",
                       "UpdatePearEQOvalDiamondsModule", "UpdateRectangleBrilliantEQRoundDiamondsModule"};
}

void TestRepricing::phases()
{
    QFETCH(QStringList, flags);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, members);
    PricingEnv env;
    setFlags(env.ctx.settings, flags);
    for (bool literal : {false, true}) {
        env.prompt.clear();
        const RepriceReport r = run(env, literal);
        QCOMPARE(env.prompt.texts(PromptEvent::Busy), texts);
        QStringList names;
        for (const PhaseReport &p : r.phases)
            names << p.member;
        QCOMPARE(names, members);
    }
}

void TestRepricing::lastMemberWins_data()
{
    QTest::addColumn<bool>("literal");
    QTest::addColumn<bool>("pearRow");
    QTest::addColumn<QString>("rap");
    QTest::addColumn<QString>("sell");
    for (bool literal : {false, true}) {
        const QByteArray r = literal ? " (stone by stone)" : " (fast)";
        QTest::newRow("the look-up's first rule with a cell prices it" + r) << literal << true << "7000.0000"
                                                                             << "5600.0000";
        QTest::newRow("without a pear cell the round grid does" + r) << literal << false << "10000.0000"
                                                                      << "8000.0000";
    }
}

// Two phases select "Pear sq Brilliant" (pear, square brilliant): both give it
// the price the stone screen gives it, whichever runs last.
void TestRepricing::lastMemberWins()
{
    QFETCH(bool, literal);
    QFETCH(bool, pearRow);
    QFETCH(QString, rap);
    QFETCH(QString, sell);
    PricingEnv env;
    env.ctx.settings.SquareBrilliantEQRound = true;
    if (pearRow)
        addGridRow(env.db(), "PS", "G", "VS1", 1.00, 1.49, 7000);
    addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 10000);
    TestStone s;
    s.shape = "Pear sq Brilliant";
    s.carat = 1.0;
    s.colour = 40;
    s.clarity = 40;
    s.off = 20;
    const qint64 id = addStone(env.db(), s);
    const RepriceReport r = run(env, literal);
    const Stored after = stored(env.db(), id);
    QCOMPARE(shown(after.rap), rap);
    QCOMPARE(shown(after.sell), sell);
    QCOMPARE(r.phases[1].selected, 1);         // pear
    QCOMPARE(r.phases.last().selected, 1);     // square brilliant
    const double screen =
        resolveListPrice(SqlPriceSource(env.db()), env.ctx.settings, "Pear sq Brilliant", 1.0, "G", "VS1").price;
    QCOMPARE(QString::number(screen, 'f', 4), rap);
}

// A marquise and a princess priced alike by the stone screen, every import
// (both routes) and the command line: their own grid when it holds the cell,
// else the pear grid -- as after a download, whose marquise and princess
// files are copies of the pear file.  No price says what is missing.
void TestRepricing::marquiseAndPrincessOnEveryRoad_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("ownCode"); // a cell of the shape's own grid too, at 9000
    QTest::addColumn<QString>("rap");
    QTest::newRow("marquise, pear file copied") << "Marquise [MQ]" << QStringList() << "" << "6640.0000";
    QTest::newRow("marquise on its own grid") << "Marquise [MQ]" << QStringList() << "MQ" << "9000.0000";
    QTest::newRow("marquise from the pear grid") << "Marquise [MQ]" << QStringList{"MarquiseEQPear"} << "MQ"
                                                 << "6640.0000";
    QTest::newRow("princess, pear file copied") << "Princess [PR]" << QStringList() << "" << "6640.0000";
    QTest::newRow("princess on its own grid") << "Princess [PR]" << QStringList() << "PR" << "9000.0000";
    QTest::newRow("princess from the pear grid") << "Princess [PR]" << QStringList{"PrincessEQPear"} << "PR"
                                                 << "6640.0000";
    QTest::newRow("shape word only") << "princess cut" << QStringList() << "" << "6640.0000";
}

void TestRepricing::marquiseAndPrincessOnEveryRoad()
{
    QFETCH(QString, shape);
    QFETCH(QStringList, flags);
    QFETCH(QString, ownCode);
    QFETCH(QString, rap);
    for (bool literal : {false, true}) {
        PricingEnv env;
        setFlags(env.ctx.settings, flags);
        addGridRow(env.db(), "PS", "G", "VS1", 1.00, 1.49, 6640);
        if (!ownCode.isEmpty())
            addGridRow(env.db(), ownCode, "G", "VS1", 1.00, 1.49, 9000);
        TestStone s;
        s.shape = shape;
        s.carat = 1.01;
        s.colour = 40;
        s.clarity = 40;
        s.rap = 1.0;
        const qint64 id = addStone(env.db(), s);
        run(env, literal);
        QCOMPARE(shown(stored(env.db(), id).rap), rap);
        env.prompt.clear();
        const Resolution screen = resolveListPrice(SqlPriceSource(env.db()), env.ctx.settings, shape, 1.01, "G", "VS1",
                                                   &env.prompt);
        QCOMPARE(QString::number(screen.price, 'f', 4), rap);
        QVERIFY(env.prompt.events.isEmpty());
    }
}

void TestRepricing::noPriceSaysWhatIsMissing()
{
    PricingEnv env;
    addGridRow(env.db(), "PS", "G", "VS1", 1.00, 1.49, 6640);
    const SqlPriceSource source(env.db());
    resolveListPrice(source, env.ctx.settings, "Briolette", 1.01, "G", "VS1", &env.prompt);
    resolveListPrice(source, env.ctx.settings, "Marquise [MQ]", 1.01, "D", "IF", &env.prompt);
    resolveListPrice(source, env.ctx.settings, "Round Brilliant [BR]", 1.01, "G", "VS1", &env.prompt);
    QCOMPARE(env.prompt.texts(PromptEvent::Notice),
             (QStringList{"'Briolette' is not a known cut-grade for Rapaport",
                          "'Marquise [MQ]' is priced on the marquise and pear grids, but the price grid holds no price "
                          "for D / IF at 1.01 ct",
                          "'Round Brilliant [BR]' is priced on the round grid, but the price grid holds no price for G "
                          "/ VS1 at 1.01 ct"}));
}

void TestRepricing::giaPhase_data()
{
    QTest::addColumn<QVariant>("shape");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("rap");
    QTest::addColumn<bool>("inGiaPhase");

    QTest::newRow("cushion without its own switch") << QVariant("Cushion") << QStringList{"GIAanythingelse"}
                                                    << "7000.0000" << true;
    QTest::newRow("unknown shape") << QVariant("Briolette") << QStringList{"GIAanythingelse"} << "7000.0000" << true;
    QTest::newRow("switch off: left alone") << QVariant("Briolette") << QStringList() << "1.0000" << false;
    QTest::newRow("round stone is not taken") << QVariant("round") << QStringList{"GIAanythingelse"} << "10000.0000"
                                              << false;
    QTest::newRow("round stone name is not taken") << QVariant("rbc")
                                                   << QStringList{"GIAanythingelse"} << "10000.0000" << false;
    QTest::newRow("cushion already priced by its switch")
        << QVariant("Cushion") << QStringList{"GIAanythingelse", "CushionEQPear"} << "7000.0000" << false;
    // The stone screen's rules price it on the pear grid (the switch comes
    // first); the square brilliant phase after it gives the same price.
    QTest::newRow("a later phase gives the screen's price") << QVariant("sq Brilliant")
                                                            << QStringList{"GIAanythingelse", "SquareBrilliantEQRound"}
                                                            << "7000.0000" << true;
    QTest::newRow("stone without a shape") << QVariant() << QStringList{"GIAanythingelse"} << "7000.0000" << true;
}

void TestRepricing::giaPhase()
{
    QFETCH(QVariant, shape);
    QFETCH(QStringList, flags);
    QFETCH(QString, rap);
    QFETCH(bool, inGiaPhase);
    for (bool literal : {false, true}) {
        PricingEnv env;
        setFlags(env.ctx.settings, flags);
        env.ctx.settings.roundstonename = "RBC";
        addGridRow(env.db(), "PS", "G", "VS1", 1.00, 1.49, 7000);
        addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 10000);
        TestStone s;
        s.shape = shape;
        s.carat = 1.0;
        s.colour = 40;
        s.clarity = 40;
        s.rap = 1.0;
        const qint64 id = addStone(env.db(), s);
        const RepriceReport r = run(env, literal);
        QCOMPARE(shown(stored(env.db(), id).rap), rap);
        int gia = 0;
        for (const PhaseReport &p : r.phases)
            if (p.text == QLatin1String("Updating all GIA none-round Diamonds"))
                gia = p.selected;
        QCOMPARE(gia, inGiaPhase ? 1 : 0);
    }
}

// ------------------------------------------------- fast route = literal route

namespace {

void seedGrid(const QSqlDatabase &db)
{
    const QStringList colours{"D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N"};
    const QStringList clarities{"IF", "VVS1", "VVS2", "VS1", "VS2", "SI1", "SI2", "SI3", "I1", "I2", "I3"};
    const QList<QPair<double, double>> bands{{0.01, 0.29}, {0.30, 0.69}, {0.70, 0.99}, {1.00, 1.49},
                                             {1.50, 2.99}, {3.00, 4.99}, {5.00, 5.99}, {10.00, 10.99}};
    QStringList values;
    int n = 0;
    for (const char *shape : {"BR", "PS", "MQ", "PR"})
        for (int c = 0; c < colours.size(); ++c)
            for (int q = 0; q < clarities.size(); ++q)
                for (int b = 0; b < bands.size(); ++b) {
                    // Leave some cells out so that split grades find one half only.
                    if ((c * 7 + q * 3 + b) % 13 == 0 || (QByteArray(shape) == "MQ" && c > 5))
                        continue;
                    const double price = 1000 + c * 97.31 + q * 211.7 + b * 1503.13 + (shape[0] == 'P' ? 333.3 : 0);
                    values << QStringLiteral("('%1','%2','%3',%4,%5,%6,'2026-11-27')")
                                  .arg(QLatin1String(shape), colours[c], clarities[q])
                                  .arg(bands[b].first)
                                  .arg(bands[b].second)
                                  .arg(price, 0, 'f', 5);
                    ++n;
                }
    db::exec(db, "INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price, `Date`) VALUES "
                     + values.join(','));
    // A cell given twice (the first row wins), a grade word with a trailing
    // blank and accents, and a grade number worded twice.
    db::exec(db, "INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price, `Date`) VALUES "
                 "('BR','G','VS1',1.00,1.49,1.5,'2026-11-27'), ('BR','E ','VS2',1.00,1.49,2.5,'2026-11-27'), "
                 "('PS','F','SI1',0.30,0.69,3.5,'2026-11-27')");
    db::exec(db, "INSERT INTO DiamondGrades (Number, Wording, Colour, Clarity) VALUES (40, 'H', 1, 0), "
                 "(50, 'VS1', 0, 1)");
    db::exec(db, QString::fromUtf8("UPDATE DiamondGrades SET Wording='SI\u00b9' WHERE Number=60 AND Clarity<>0"));
}

void seedStones(const QSqlDatabase &db, quint32 seed, int count)
{
    QRandomGenerator rng(seed);
    const QList<QVariant> shapes{"Round Brilliant [BR]", "round", "ROUND", "rbc", "RBC", "Pear [PS]", "pear",
                                 "Marquise [MQ]", "MARQUISE", "Princess [PR]", "princess cut", "Cushion",
                                 "Emerald", "emerald cut", "Heart", "Radiant", "Triangle", "rec Brilliant",
                                 "Rectangle Brilliant", "sq Brilliant", "SQUARE BRILLIANT", "Oval", "Asscher",
                                 "Oval Heart", "Pear sq Brilliant", "Briolette", "", QVariant(),
                                 // accents, wildcards and trailing blanks
                                 QString::fromUtf8("\u00c9merald"), QString::fromUtf8("Ov\u00e1l"),
                                 QString::fromUtf8("P\u00c9AR [PS]"), "round ", "rbc ", "%", "R_C", "r%"};
    const QList<double> carats{0.25, 0.3, 0.5, 0.69, 0.695, 0.99, 1.0, 1.01, 1.49, 1.5, 2.0, 3.0, 5.5, 6.0, 7.25, 9.99,
                               10.0, 10.5, 12.0, 0.0};
    const QList<int> colourNumbers{10, 15, 20, 30, 35, 40, 45, 50, 55, 60, 70, 80, 90, 100, 110, 120, 999};
    const QList<int> clarityNumbers{4, 7, 10, 20, 25, 30, 35, 40, 45, 50, 60, 65, 70, 80, 85, 89, 90, 100, 110, 999};
    for (int i = 0; i < count; ++i) {
        TestStone s;
        s.shape = shapes[int(rng.bounded(shapes.size()))];
        s.carat = rng.bounded(12) == 0 ? QVariant() : QVariant(carats[int(rng.bounded(carats.size()))]);
        s.colour = rng.bounded(15) == 0 ? QVariant() : QVariant(colourNumbers[int(rng.bounded(colourNumbers.size()))]);
        s.clarity = rng.bounded(15) == 0 ? QVariant()
                                         : QVariant(clarityNumbers[int(rng.bounded(clarityNumbers.size()))]);
        s.lock = rng.bounded(3) != 0;
        s.off = double(rng.bounded(6000)) / 100.0 - 10;
        s.lockLx = rng.bounded(2) != 0;
        s.offLx = double(rng.bounded(5000)) / 100.0;
        s.rap = rng.bounded(3) == 0 ? QVariant() : QVariant(double(rng.bounded(100000)) / 10.0);
        addStone(db, s);
    }
}

} // namespace

void TestRepricing::fastRouteEqualsLiteral_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("roundStoneName");
    QTest::addColumn<int>("slice"); // stones per update statement
    QTest::newRow("every switch on") << QStringList{"PrincessEQPear", "MarquiseEQPear", "EmeraldEQPear",
                                                    "CushionEQPear",  "RadiantEQPear",  "TriangleEQPear",
                                                    "HeartEQPear",    "GIAanythingelse", "OvalEQPear",
                                                    "AsserEQPear",    "SquareBrilliantEQRound",
                                                    "RectangleBrilliantEQRound"}
                                     << "RBC" << 37;
    QTest::newRow("lower quality, own grids") << QStringList{"LowerQuality", "HeartEQPear", "OvalEQPear"} << ""
                                              << kRepriceUpdateSlice;
    QTest::newRow("GIA with a wildcard round name") << QStringList{"GIAanythingelse", "LowerQuality"} << "R_C" << 1;
    QTest::newRow("no round name (Null)") << QStringList{"GIAanythingelse", "EmeraldEQPear", "OvalEQPear"}
                                          << QString() << kRepriceUpdateSlice;
    QTest::newRow("a round name that is all wildcard") << QStringList{"GIAanythingelse"} << "%" << 400;
}

void TestRepricing::fastRouteEqualsLiteral()
{
    QFETCH(QStringList, flags);
    QFETCH(QString, roundStoneName);
    QFETCH(int, slice);
    PricingEnv fast, literal;
    for (PricingEnv *e : {&fast, &literal}) {
        setFlags(e->ctx.settings, flags);
        e->ctx.settings.roundstonename = roundStoneName;
        seedGrid(e->db());
        seedStones(e->db(), 20261206, 400);
        // Discounts and lock flags left empty count as 0 and false.
        db::exec(e->db(), "UPDATE SingleStone SET SellOffRap = NULL WHERE ID % 7 = 0");
        db::exec(e->db(), "UPDATE SingleStone SET SellOffRapLX = NULL WHERE ID % 5 = 0");
        db::exec(e->db(), "UPDATE SingleStone SET LockPercent = NULL WHERE ID % 11 = 0");
    }
    const RepriceReport a = repriceAll(fast.ctx, true, slice);
    const RepriceReport b = repriceAllLiteral(literal.ctx);
    QCOMPARE(a.phases.size(), b.phases.size());
    for (int i = 0; i < a.phases.size(); ++i) {
        QCOMPARE(a.phases[i].selected, b.phases[i].selected);
        QCOMPARE(a.phases[i].priced, b.phases[i].priced);
        QCOMPARE(a.phases[i].cleared, b.phases[i].cleared);
    }
    QVERIFY2(a.phases.first().priced > 10, qPrintable(QString::number(a.phases.first().priced)));
    const QString sql = "SELECT ID, RapaportPrice, SellPriceUS, SellPriceUSlx, RND <> 7 FROM SingleStone ORDER BY ID";
    QSqlQuery qa = db::exec(fast.db(), sql), qb = db::exec(literal.db(), sql);
    int rows = 0, priced = 0, cleared = 0;
    while (qa.next()) {
        QVERIFY(qb.next());
        ++rows;
        for (int c = 1; c < 5; ++c) {
            const QString va = qa.value(c).isNull() ? "NULL" : qa.value(c).toString();
            const QString vb = qb.value(c).isNull() ? "NULL" : qb.value(c).toString();
            QVERIFY2(va == vb, qPrintable(QStringLiteral("stone %1 column %2: %3 against %4")
                                              .arg(qa.value(0).toString()).arg(c).arg(va, vb)));
        }
        if (qa.value(4).toInt())
            ++priced;
        else
            ++cleared;
    }
    QVERIFY(!qb.next());
    QCOMPARE(rows, 400);
    QVERIFY(priced > 50);
    QVERIFY(cleared > 10);
}

QTEST_GUILESS_MAIN(TestRepricing)
#include "tst_repricing.moc"
