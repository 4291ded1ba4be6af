// The pricing commands of the velmor program, run as a user runs them.
#include "PricingTestKit.h"
#include "TestUsers.h"

#include <QProcess>
#include <QtTest>

using namespace velmor;
using namespace velmor::test;

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

class CliEnv {
public:
    CliEnv()
    {
        writeFile(env.path("database.ini"), QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                                                .arg(TestDb::socketPath(), env.t.name())
                                                .toUtf8());
        addAdministrator(env.db());
    }
    // killAt: a fault point where the run dies (VELMOR_KILL_AT); killAfterMs:
    // killed from outside after that long.
    Run run(const QStringList &args, const QString &killAt = {}, int killAfterMs = -1)
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("VELMOR_HOME", env.dir.path());
        // The import re-prices the stones: the administrator runs it.
        e.insert("VELMOR_USER", kAdminName);
        e.insert("VELMOR_PASSWORD", kAdminPassword);
        if (!killAt.isEmpty())
            e.insert("VELMOR_KILL_AT", killAt);
        p.setProcessEnvironment(e);
        p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
        if (killAfterMs >= 0 && !p.waitForFinished(killAfterMs))
            p.kill();
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    PricingEnv env;
};

const QByteArray kRound = "BR,VS1,G,1.00,1.49,10000,11/27/26\nBR,VS1,H,1.00,1.49,8000,11/27/26\n"
                          "BR,VS1,G,5.00,5.99,50000,11/27/26\n";
const QByteArray kPear = "PS,VS1,G,1.00,1.49,7000,11/27/26\nPS,VS1,H,1.00,1.49,6000,11/27/26\n";

} // namespace

class TestGridCli : public QObject {
    Q_OBJECT
private slots:
    void importThenPrice();
    void price_data();
    void price();
    void ratesFetch();
    void killedImportChangesNothing();
};

void TestGridCli::importThenPrice()
{
    CliEnv cli;
    TestStone s;
    s.shape = "Round Brilliant [BR]";
    s.carat = 1.0;
    s.colour = 30;
    s.clarity = 40;
    s.off = 25;
    addStone(cli.env.db(), s);
    const QString good = cli.env.path("week49");
    writeGridFiles(good, kRound, kPear);
    Run r = cli.run({"grid", "import", good});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains("round.csv: 3 rows imported"), qPrintable(r.out));
    QVERIFY(r.out.contains("Imported 9 grid rows"));
    QVERIFY2(r.out.contains("Updating Round Diamonds: 1 stones re-priced (0 with a list price, 1 without)"),
             qPrintable(r.out));

    // A week with a broken pear file: refused, the file and line named, the old grid kept.
    const QString bad = cli.env.path("week50");
    writeGridFiles(bad, "BR,VS1,G,1.00,1.49,12000,12/4/26\n", kPear + "PS,VS1,I,1.00,1.49,5x00,12/4/26\n");
    r = cli.run({"grid", "import", bad});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(bad + "/pear.csv line 3: the price \"5x00\" is not a number"), qPrintable(r.err));
    QVERIFY(r.err.contains("The price grid in use is kept."));
    r = cli.run({"grid", "price", "Round Brilliant [BR]", "1.2", "G", "VS1"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("10000.00"));

    // The workstation folder is the default.
    writeGridFiles(cli.env.dir.path(), "BR,VS1,G,1.00,1.49,12000,12/4/26\n", kPear);
    r = cli.run({"grid", "import"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = cli.run({"grid", "price", "round", "1.2", "G", "VS1"});
    QCOMPARE(r.out.trimmed(), QStringLiteral("12000.00"));
}

void TestGridCli::price_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("7.25 ct on the 5-carat row") << QStringList{"RBC", "7.25", "G", "VS1"} << 0 << "50000.00" << "round grid";
    QTest::newRow("split colour averaged") << QStringList{"Pear [PS]", "1.1", "G/H", "VS1"} << 0 << "6500.00"
                                           << "pear grid";
    QTest::newRow("grade numbers") << QStringList{"Pear [PS]", "1.1", "45", "40"} << 0 << "6500.00" << "pear grid";
    QTest::newRow("unknown shape") << QStringList{"Briolette", "1.1", "G", "VS1"} << 1 << ""
                                   << "'Briolette' is not a known cut-grade for Rapaport";
    QTest::newRow("weight not a number") << QStringList{"RBC", "one", "G", "VS1"} << 2 << ""
                                         << "The weight in carats \"one\" is not a number.";
    // What the engine was handed as a number once: refused as a typed weight is.
    for (const char *w : {"nan", "inf", "-inf", "1e3", "0,5"})
        QTest::newRow(qPrintable(QStringLiteral("weight %1").arg(QLatin1String(w))))
            << QStringList{"RBC", QString::fromLatin1(w), "G", "VS1"} << 2 << ""
            << QStringLiteral("The weight in carats \"%1\" is not a number.").arg(QLatin1String(w));
    QTest::newRow("weight below 0") << QStringList{"RBC", "-1", "G", "VS1"} << 2 << "" << "cannot be below 0";
    // Grades are compared as they are: % and _ find nothing.
    QTest::newRow("percent as colour") << QStringList{"RBC", "1.2", "%", "VS1"} << 1 << "" << "No list price";
    QTest::newRow("underscore in clarity") << QStringList{"RBC", "1.2", "G", "VS_"} << 1 << "" << "No list price";
}

void TestGridCli::price()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    CliEnv cli;
    writeGridFiles(cli.env.path("g"), kRound, kPear);
    QCOMPARE(cli.run({"grid", "import", cli.env.path("g")}).code, 0);
    const Run r = cli.run(QStringList{"grid", "price"} + args);
    QCOMPARE(r.code, code);
    QCOMPARE(r.out.trimmed(), out);
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
}

void TestGridCli::ratesFetch()
{
    CliEnv cli;
    LocalHttpServer server;
    server.set("/", "<a href='x?from=USD&amp;to=CAD'>1.3256</a>");
    server.set("/table/?from=USD&amount=1", "<a href='y?from=USD&amp;to=ZAR'>18.25</a>");
    server.set("/market/", "<td id=\"AU-bid\">1,234.50</td>");
    pointSourcesAt(cli.env.dir.path(), server.base());
    // The local server answers from this process's event loop while the program runs.
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("VELMOR_HOME", cli.env.dir.path());
    p.setProcessEnvironment(e);
    p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), {"rates", "fetch"});
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 20000);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
             QStringLiteral("US$/ CDN$:   1/ 1.326\nUS$/ ZAR:   1/ 18.250\nGold US$:   1,234.50\n"));

    server.set("/market/", "<html>closed</html>");
    p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), {"rates", "fetch"});
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 20000);
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("the gold price failed"));
}

// A grid import killed at any moment: the grid and the prices made from it
// are either both the old ones or both the new ones.
void TestGridCli::killedImportChangesNothing()
{
    CliEnv cli;
    TestStone s;
    s.shape = "Round Brilliant [BR]";
    s.carat = 1.2;
    s.colour = 40;  // G
    s.clarity = 40; // VS1
    s.off = 0;
    const qint64 id = addStone(cli.env.db(), s);
    auto state = [&] {
        const double grid = db::scalar(cli.env.db(), "SELECT Price FROM raplist WHERE Shape='BR' AND Colour='G' "
                                                     "AND Clarity='VS1' AND LowCarat <= 1.2 AND HighCarat >= 1.2")
                                .toDouble();
        const double rap = db::scalar(cli.env.db(), "SELECT RapaportPrice FROM SingleStone WHERE ID=?", {id}).toDouble();
        return QStringLiteral("grid %1, stone %2").arg(grid).arg(rap);
    };
    const QString week1 = cli.env.path("week1"), week2 = cli.env.path("week2");
    writeGridFiles(week1, kRound, kPear);
    writeGridFiles(week2, "BR,VS1,G,1.00,1.49,12000,12/4/26\n", kPear);
    Run r = cli.run({"grid", "import", week1});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString before = state();
    QCOMPARE(before, QStringLiteral("grid 10000, stone 10000"));

    for (const char *point : {"grid-stored", "grid-repriced"}) {
        r = cli.run({"grid", "import", week2}, QString::fromLatin1(point));
        QVERIFY2(r.code == -1, qPrintable(r.out + r.err));
        QCOMPARE(state(), before);
    }
    // Killed from outside at moments spread over the run.
    for (int ms : {20, 60, 100, 140, 180, 240, 320}) {
        r = cli.run({"grid", "import", (ms / 20) % 2 ? week2 : week1}, {}, ms);
        const QString now = state();
        QVERIFY2(now == before || now == QStringLiteral("grid 12000, stone 12000"), qPrintable(now));
    }
    r = cli.run({"grid", "import", week2});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(state(), QStringLiteral("grid 12000, stone 12000"));

    // The grid goes in but the re-pricing fails: said as it is, nothing kept.
    db::exec(cli.env.db(), "ALTER TABLE DiamondGrades RENAME TO DiamondGradesAway");
    r = cli.run({"grid", "import", week1});
    db::exec(cli.env.db(), "ALTER TABLE DiamondGradesAway RENAME TO DiamondGrades");
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("the stones could not be re-priced on the new price grid"), qPrintable(r.err));
    QVERIFY2(r.err.contains("Nothing was changed"), qPrintable(r.err));
    QVERIFY2(!r.err.contains("refused the import"), qPrintable(r.err));
    QCOMPARE(state(), QStringLiteral("grid 12000, stone 12000"));
}

QTEST_GUILESS_MAIN(TestGridCli)
#include "tst_gridcli.moc"
