// The list-price look-up, the grid files, the import that replaces the grid
// only when every file was read whole, and the download from the provider.
#include "PricingTestKit.h"
#include "core/Settings.h"
#include "db/Row.h"
#include "pricing/GridImport.h"
#include "pricing/PriceGrid.h"
#include "pricing/PricingSources.h"

#include <QSqlQuery>
#include <QtTest>

#include <sys/stat.h>

using namespace velmor;
using namespace velmor::pricing;
using namespace velmor::test;

Q_DECLARE_METATYPE(velmor::pricing::Grid)

namespace {

const QByteArray kRound = "BR,VS1,G,1.00,1.49,10000,11/27/26\r\n"
                          "\"BR\" , \"VS1\" , \"H\" , 1.00 , 1.49 , 8000 , \"11/27/26\"\r\n"
                          "BR,VS2,G,1.00,1.49,9000,11/27/26\r\n";
const QByteArray kPear = "PS,VS1,G,1.00,1.49,7000,11/27/26\r\n"
                         "PS,VS2,G,1.00,1.49,6000,11/27/26\r\n";

int gridRows(const QSqlDatabase &db) { return db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM raplist")).toInt(); }

} // namespace

class TestPriceGrid : public QObject {
    Q_OBJECT
private slots:
    void lookup_data();
    void lookup();
    void lookupModulesReadSettings();
    void parse_data();
    void parse();
    void parsedValues();
    void importReplacesGrid();
    void badFileKeepsGrid_data();
    void badFileKeepsGrid();
    void importPriceFiles();
    void download();
    void downloadAndUpgrade_data();
    void downloadAndUpgrade();
};

void TestPriceGrid::lookup_data()
{
    QTest::addColumn<Grid>("grid");
    QTest::addColumn<double>("weight");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("clarity");
    QTest::addColumn<bool>("lower");
    QTest::addColumn<double>("expected");

    QTest::newRow("whole grade") << Grid::Round << 1.2 << "G" << "VS1" << false << 10000.0;
    QTest::newRow("7.25 ct on the 5-carat row") << Grid::Round << 7.25 << "G" << "VS1" << false << 50000.0;
    QTest::newRow("6.00 ct on the 5-carat row") << Grid::Round << 6.0 << "G" << "VS1" << false << 50000.0;
    QTest::newRow("9.99 ct on the 5-carat row") << Grid::Round << 9.99 << "G" << "VS1" << false << 50000.0;
    QTest::newRow("10.00 ct on its own row") << Grid::Round << 10.0 << "G" << "VS1" << false << 80000.0;
    QTest::newRow("5.99 ct on the 5-carat row") << Grid::Round << 5.99 << "G" << "VS1" << false << 50000.0;
    QTest::newRow("G/H VS1 averaged") << Grid::Round << 1.2 << "G/H" << "VS1" << false << 9000.0;
    QTest::newRow("G/H VS1 lower quality") << Grid::Round << 1.2 << "G/H" << "VS1" << true << 8000.0;
    QTest::newRow("G VS1/VS2 averaged") << Grid::Round << 1.2 << "G" << "VS1/VS2" << false << 9500.0;
    QTest::newRow("G/H VS1/VS2 four cells") << Grid::Round << 1.2 << "G/H" << "VS1/VS2" << false << 8500.0;
    QTest::newRow("G/H VS1/VS2 lower quality") << Grid::Round << 1.2 << "G/H" << "VS1/VS2" << true << 7000.0;
    QTest::newRow("H/I half without a row") << Grid::Round << 1.2 << "H/I" << "VS1" << false << 8000.0;
    QTest::newRow("F/G other half without a row") << Grid::Round << 1.2 << "F/G" << "VS1" << false << 10000.0;
    QTest::newRow("I/J no half has a row") << Grid::Round << 1.2 << "I/J" << "VS1" << false << 0.0;
    QTest::newRow("weight equal to HighCarat") << Grid::Round << 0.99 << "E" << "VS1" << false << 6000.0;
    QTest::newRow("weight equal to LowCarat") << Grid::Round << 1.0 << "E" << "VS1" << false << 11000.0;
    QTest::newRow("weight between two rows") << Grid::Round << 0.995 << "E" << "VS1" << false << 0.0;
    QTest::newRow("grade letters in any case") << Grid::Round << 1.2 << "g" << "vs1" << false << 10000.0;
    QTest::newRow("empty grades") << Grid::Round << 1.2 << "" << "" << false << 0.0;
    QTest::newRow("pear grid") << Grid::Pear << 1.2 << "G" << "VS1" << false << 7000.0;
    QTest::newRow("marquise grid without rows") << Grid::Marquise << 1.2 << "G" << "VS1" << false << 0.0;
    QTest::newRow("princess grid") << Grid::Princess << 1.2 << "G" << "VS1" << false << 6500.0;
    QTest::newRow("first row by ID wins") << Grid::Pear << 2.5 << "D" << "IF" << false << 111.0;
    // Grades are compared as they are: % and _ are no wildcards.
    QTest::newRow("percent is no wildcard") << Grid::Round << 1.2 << "%" << "VS1" << false << 0.0;
    QTest::newRow("underscore is no wildcard") << Grid::Round << 1.2 << "G" << "VS_" << false << 0.0;
    QTest::newRow("both at once") << Grid::Round << 1.2 << "%" << "%" << false << 0.0;
    QTest::newRow("a grade that holds an underscore") << Grid::Round << 1.2 << "X_1" << "VS1" << false << 123.0;
    QTest::newRow("that grade is not a pattern") << Grid::Round << 1.2 << "XA1" << "VS1" << false << 0.0;
    QTest::newRow("weight that is no number") << Grid::Round << qQNaN() << "G" << "VS1" << false << 0.0;
    QTest::newRow("infinite weight") << Grid::Round << qInf() << "G" << "VS1" << false << 0.0;
}

void TestPriceGrid::lookup()
{
    QFETCH(Grid, grid);
    QFETCH(double, weight);
    QFETCH(QString, colour);
    QFETCH(QString, clarity);
    QFETCH(bool, lower);
    QFETCH(double, expected);

    TestDb t;
    const QSqlDatabase db = t.db();
    addGridRow(db, "BR", "G", "VS1", 1.00, 1.49, 10000);
    addGridRow(db, "BR", "H", "VS1", 1.00, 1.49, 8000);
    addGridRow(db, "BR", "G", "VS2", 1.00, 1.49, 9000);
    addGridRow(db, "BR", "H", "VS2", 1.00, 1.49, 7000);
    addGridRow(db, "BR", "G", "VS1", 5.00, 5.99, 50000);
    addGridRow(db, "BR", "G", "VS1", 10.00, 10.99, 80000);
    addGridRow(db, "BR", "E", "VS1", 0.90, 0.99, 6000);
    addGridRow(db, "BR", "E", "VS1", 1.00, 1.49, 11000);
    addGridRow(db, "PS", "G", "VS1", 1.00, 1.49, 7000);
    addGridRow(db, "PR", "G", "VS1", 1.00, 1.49, 6500);
    addGridRow(db, "PS", "D", "IF", 2.00, 2.99, 111);
    addGridRow(db, "PS", "D", "IF", 2.00, 2.99, 222);
    addGridRow(db, "BR", "X_1", "VS1", 1.00, 1.49, 123);

    const double viaSql = SqlPriceSource(db).price(grid, weight, colour, clarity, lower);
    GridCache cache;
    cache.load(db);
    const double viaCache = cache.price(grid, weight, colour, clarity, lower);
    QCOMPARE(viaSql, expected);
    QCOMPARE(viaCache, expected);
}

void TestPriceGrid::lookupModulesReadSettings()
{
    TestDb t;
    addGridRow(t.db(), "BR", "G", "VS1", 1.00, 1.49, 10000);
    addGridRow(t.db(), "BR", "H", "VS1", 1.00, 1.49, 8000);
    addGridRow(t.db(), "PS", "H", "VS1", 1.00, 1.49, 5000);
    Settings s;
    QCOMPARE(GetRapPriceRoundModule(t.db(), s, 1.1, "G/H", "VS1"), 9000.0);
    s.LowerQuality = true;
    QCOMPARE(GetRapPriceRoundModule(t.db(), s, 1.1, "G/H", "VS1"), 8000.0);
    QCOMPARE(GetRapPricePearModule(t.db(), s, 1.1, "G/H", "VS1"), 5000.0);
    QCOMPARE(GetRapPriceMarquiseModule(t.db(), s, 1.1, "G/H", "VS1"), 0.0);
    QCOMPARE(GetRapPricePrincessModule(t.db(), s, 1.1, "G/H", "VS1"), 0.0);
}

void TestPriceGrid::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("rows");      // -1: the file is bad
    QTest::addColumn<int>("errorLine");
    QTest::addColumn<QString>("errorHas");

    QTest::newRow("plain") << QByteArray("BR,IF,D,0.01,0.03,1234.5,11/27/26\n") << 1 << 0 << "";
    QTest::newRow("quotes and blanks") << QByteArray(" \"BR\" ,\"IF\", D ,  0.01,0.03 , \"1234.5\",\"11/27/26\"\r\n")
                                       << 1 << 0 << "";
    // An empty line (or first field) ends the file only where nothing follows:
    // rows after it would be lost without a word.
    QTest::newRow("empty first field before more rows")
        << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\nBR,IF,E,0.01,0.03,2,1/2/26\n,IF,D,x,y,z,w\nBR,oops\n") << -1 << 3
        << "more rows follow from line 4";
    QTest::newRow("blank line before more rows")
        << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\r\n\r\nBR,IF,E,0.01,0.03,2,1/2/26\r\n") << -1 << 2
        << "more rows follow from line 3";
    QTest::newRow("blank lines at the end") << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\r\n\r\n  \r\n\n") << 1 << 0
                                            << "";
    QTest::newRow("empty row at the end") << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\n,,,,,,\r\n") << 1 << 0 << "";
    QTest::newRow("trailing comma") << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26,\n") << 1 << 0 << "";
    QTest::newRow("html error page") << QByteArray("<html><body>Login failed, try again</body></html>\r\n") << -1 << 1
                                     << "fields where 7 are expected";
    QTest::newRow("truncated line") << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\nBR,IF,E,0.01,0.03\n") << -1 << 2
                                    << "5 fields";
    QTest::newRow("letter in the price")
        << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\nBR,IF,E,0.01,0.03,2,1/2/26\nBR,IF,F,0.01,0.03,12a0,1/2/26\n") << -1 << 3
        << "the price \"12a0\" is not a number";
    QTest::newRow("letter in a weight") << QByteArray("BR,IF,D,0.0l,0.03,1,1/2/26\n") << -1 << 1
                                        << "the low weight \"0.0l\"";
    QTest::newRow("weights reversed") << QByteArray("BR,IF,D,0.05,0.03,1,1/2/26\n") << -1 << 1 << "not a range";
    QTest::newRow("impossible date") << QByteArray("BR,IF,D,0.01,0.03,1,13/45/26\n") << -1 << 1 << "date \"13/45/26\"";
    QTest::newRow("date without year") << QByteArray("BR,IF,D,0.01,0.03,1,11/27\n") << -1 << 1 << "date";
    QTest::newRow("unclosed quote") << QByteArray("\"BR,IF,D,0.01,0.03,1,1/2/26\n") << -1 << 1 << "quoted";
    QTest::newRow("empty file") << QByteArray("\r\n") << -1 << 0 << "no price rows";
    QTest::newRow("last line cut after its opening quote") << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\r\n\"") << -1
                                                           << 2 << "quoted";
    QTest::newRow("price too large for the grid") << QByteArray("BR,IF,D,0.01,0.03,100000000000000,1/2/26\n") << -1
                                                  << 1 << "price \"100000000000000\" is too large";
    QTest::newRow("weight too large for the grid")
        << QByteArray("BR,IF,D,0.01,0.03,1,1/2/26\nBR,IF,D,0.01,123456789012345.5,1,1/2/26\n") << -1 << 2
        << "high weight \"123456789012345.5\" is too large";
    QTest::newRow("largest price the grid holds") << QByteArray("BR,IF,D,0.01,0.03,99999999999999.99,1/2/26\n") << 1
                                                  << 0 << "";
}

void TestPriceGrid::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(int, rows);
    QFETCH(int, errorLine);
    QFETCH(QString, errorHas);
    const GridFile f = parseGridText(QString::fromUtf8(text));
    QCOMPARE(f.ok, rows >= 0);
    if (rows >= 0) {
        QCOMPARE(f.rows.size(), rows);
    } else {
        QCOMPARE(f.errorLine, errorLine);
        QVERIFY2(f.error.contains(errorHas), qPrintable(f.error));
        QVERIFY(f.rows.isEmpty());
    }
}

void TestPriceGrid::parsedValues()
{
    const GridFile f = parseGridText(QStringLiteral(" \"BR\" , \"VS1/VS2\" ,\"G\", 0.995 ,1.49, \"10250.50\" , 3/4/27"));
    QVERIFY(f.ok);
    const GridRow &r = f.rows.first();
    QCOMPARE(r.shape, QStringLiteral("BR"));
    QCOMPARE(r.clarity, QStringLiteral("VS1/VS2"));
    QCOMPARE(r.colour, QStringLiteral("G"));
    QCOMPARE(r.low, 0.995);
    QCOMPARE(r.high, 1.49);
    QCOMPARE(r.price, 10250.5);
    QCOMPARE(r.date, QDate(2027, 3, 4));
}

void TestPriceGrid::importReplacesGrid()
{
    PricingEnv env;
    addGridRow(env.db(), "BR", "D", "IF", 0.01, 0.03, 1);
    // A grade text with a quote, a backslash and an accent is stored as it stands.
    const QByteArray odd = "BR,SI\\2,G'\xc3\x89 \\',1.50,1.99,7000,12/31/26\r\n";
    writeGridFiles(env.dir.path(), kRound + "BR,IF,D,0.995,0.999,123.45678,12/31/26\r\n" + odd + ",,,,,,\r\n", kPear,
                   "MQ,VS1,G,1.00,1.49,6000,11/27/26\r\n");
    const GridImportResult r = importGrid(env.ctx);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.rows[0], 5);
    QCOMPARE(r.rows[1], 2);
    QCOMPARE(r.rows[2], 1);
    QCOMPARE(r.rows[3], 2);
    QCOMPARE(gridRows(env.db()), 10);
    {
        const GridRow expected = readGridFile(env.dir.filePath(gridFileName(Grid::Round))).rows.at(4);
        QVERIFY(expected.colour.contains(QLatin1Char('\\')) && expected.colour.contains(QLatin1Char('\'')));
        QSqlQuery odd = db::exec(env.db(), "SELECT Colour, Clarity, Shape FROM raplist WHERE Price=7000");
        QVERIFY(odd.next());
        QCOMPARE(odd.value(0).toString(), expected.colour);
        QCOMPARE(odd.value(1).toString(), expected.clarity);
        QCOMPARE(odd.value(2).toString(), QStringLiteral("BR"));
    }
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM raplist WHERE Price=1").toInt(), 0);
    // Numbers are stored as the file gives them, the date as month/day/year.
    QSqlQuery q = db::exec(env.db(), "SELECT LowCarat, Price, `Date` FROM raplist WHERE Colour='D'");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDouble(), 0.995);
    QCOMPARE(q.value(1).toDouble(), 123.45678);
    QCOMPARE(q.value(2).toDate(), QDate(2026, 12, 31));
    // The marquise file's own shape code is kept.
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM raplist WHERE Shape='MQ'").toInt(), 1);

    QCOMPARE(env.prompt.texts(PromptEvent::Busy),
             QStringList({"Deleting previous Database", "Saving Round Table Rapaport", "Saving Pear Table Rapaport",
                          "Saving Marquise Table Rapaport", "Saving Princess Table Rapaport"}));
    QCOMPARE(env.ctx.workstation.readFirstLine("errrotrap.txt"), QStringLiteral("35h35h3"));
}

void TestPriceGrid::badFileKeepsGrid_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("text"); // empty: the file is missing
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("tag");

    QTest::newRow("letter in a pear price") << "pear.csv" << QByteArray("PS,VS1,G,1.00,1.49,7000,11/27/26\nPS,VS2,G,1.00,1.49,6O00,11/27/26\n")
                                            << "pear.csv line 2: the price \"6O00\" is not a number" << "s ner4t";
    QTest::newRow("html page as round grid") << "round.csv" << QByteArray("<!DOCTYPE html>\n<html>Server Error</html>\n")
                                             << "round.csv line 1: 1 fields where 7 are expected" << "w4nh455h";
    QTest::newRow("truncated princess line") << "princess.csv" << QByteArray("PR,VS1,G,1.00,1.49,7000,11/27/26\nPR,VS1,H,1.0")
                                             << "princess.csv line 2: 4 fields where 7 are expected" << "35h35h3";
    QTest::newRow("missing marquise file") << "marquise.csv" << QByteArray()
                                           << "marquise.csv: the file is missing" << "52435h345";
    // Neither waited on nor read into memory whole.
    QTest::newRow("a FIFO for the round grid") << "round.csv" << QByteArray("<fifo>")
                                               << "round.csv: the file cannot be read: it is a FIFO" << "w4nh455h";
    QTest::newRow("a pear grid of 6 MB") << "pear.csv" << QByteArray("<huge>")
                                         << "pear.csv: the file cannot be read: it is 6 MB, more than the 4 MB"
                                         << "s ner4t";
}

void TestPriceGrid::badFileKeepsGrid()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QFETCH(QString, tag);

    PricingEnv env;
    addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 4321);
    writeGridFiles(env.dir.path(), kRound, kPear);
    if (text.isEmpty()) {
        QFile::remove(env.path(file));
    } else if (text == "<fifo>") {
        QFile::remove(env.path(file));
        QVERIFY(::mkfifo(QFile::encodeName(env.path(file)).constData(), 0600) == 0);
    } else if (text == "<huge>") {
        QByteArray big;
        const QByteArray line = "PS,VS1,G,1.00,1.49,7000,11/27/26\n";
        while (big.size() < 6 * 1024 * 1024)
            big += line;
        writeFile(env.path(file), big.left(6 * 1024 * 1024));
    } else {
        writeFile(env.path(file), text);
    }
    const GridImportResult r = importGrid(env.ctx);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.startsWith(error), qPrintable(r.error));
    QCOMPARE(r.fileName, file);
    QCOMPARE(gridRows(env.db()), 1);
    QCOMPARE(SqlPriceSource(env.db()).price(Grid::Round, 1.2, "G", "VS1", false), 4321.0);
    QCOMPARE(env.ctx.workstation.readFirstLine("errrotrap.txt"), tag);
    QVERIFY(!env.prompt.texts(PromptEvent::Busy).contains("Deleting previous Database"));
}

// "Import price files...": a folder the dealer chose, the command line's
// messages; a bad file keeps the grid in use.
void TestPriceGrid::importPriceFiles()
{
    PricingEnv env;
    addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 4321);
    QTemporaryDir chosen;
    writeGridFiles(chosen.path(), kRound, kPear);
    writeFile(chosen.filePath("pear.csv"), "PS,VS1,G,1.00,1.49,7000,11/27/26\nPS,VS2,G,1.00,1.49,6O00,11/27/26\n");
    env.prompt.clear();
    QVERIFY(!ImportPriceFiles(env.ctx, chosen.path()));
    const QString refused = env.prompt.messages().value(0);
    QVERIFY2(refused.startsWith("Import price files: The price grid was not imported: ") && refused.contains("pear.csv line 2")
                 && refused.endsWith("The price grid in use is kept."),
             qPrintable(refused));
    QCOMPARE(gridRows(env.db()), 1);

    writeGridFiles(chosen.path(), kRound, kPear);
    // Without the edit right nothing is read or changed.
    env.ctx.user.AllowEdit = false;
    env.prompt.clear();
    QVERIFY(!ImportPriceFiles(env.ctx, chosen.path()));
    QCOMPARE(gridRows(env.db()), 1);
    QVERIFY(env.prompt.texts(PromptEvent::Busy).isEmpty());
    env.ctx.user.AllowEdit = true;

    env.prompt.clear();
    bool reloaded = false;
    QVERIFY(ImportPriceFiles(env.ctx, chosen.path(), [&] { reloaded = true; }));
    QVERIFY(reloaded);
    const QString done = env.prompt.messages().value(0);
    QVERIFY2(done.contains("round.csv: ") && done.contains("Imported ") && done.contains("Stones updated: "), qPrintable(done));
    QVERIFY(gridRows(env.db()) > 1);
    QVERIFY(!env.prompt.texts(PromptEvent::Busy).isEmpty());
}

void TestPriceGrid::download()
{
    PricingEnv env;
    LocalHttpServer server;
    server.set("/HTTP/Prices/CSV2_Round.aspx", kRound);
    server.set("/HTTP/Prices/CSV2_Pear.aspx", kPear);
    pointSourcesAt(env.dir.path(), server.base());
    writeFile(env.path("princess.csv"), "stale");
    env.ctx.settings.RapUserName = "dealer one";
    env.ctx.settings.RapPassword = "p&ss=1";

    const DownloadResult r = downloadPriceList(env.ctx, PricingSources::fromWorkstation(env.ctx.workstation));
    QVERIFY2(r.ok, qPrintable(r.error));
    const auto req = server.requests.value("/HTTP/Prices/CSV2_Round.aspx");
    QCOMPARE(req.method, QByteArray("POST"));
    QCOMPARE(req.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(req.body, QByteArray("username=dealer%20one&password=p%26ss%3D1"));
    QCOMPARE(server.requests.value("/HTTP/Prices/CSV2_Pear.aspx").body, req.body);

    auto read = [&](const char *name) {
        QFile f(env.path(QString::fromLatin1(name)));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    };
    QCOMPARE(read("round.csv"), kRound + "\r\n");
    QCOMPARE(read("pear.csv"), kPear + "\r\n");
    QCOMPARE(read("marquise.csv"), kPear + "\r\n");
    QCOMPARE(read("princess.csv"), kPear + "\r\n");
    QCOMPARE(env.prompt.texts(PromptEvent::Busy), QStringList{"Receiving Tables from Rapaport"});
}

void TestPriceGrid::downloadAndUpgrade_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QByteArray>("roundAnswer"); // "silent": no answer
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("imported");

    QTest::newRow("user says no") << false << kRound << "" << false;
    QTest::newRow("good grid") << true << kRound << "Rapaport: The Rapaport for all Diamonds has been imported." << true;
    QTest::newRow("login page instead of a grid")
        << true << QByteArray("<html>\n<b>Please log in</b>\n</html>")
        << "Rapaport: The price list was not imported: round.csv line 1: 1 fields where 7 are expected (shape, clarity, "
           "colour, low weight, high weight, price, date).\nThe price list in use is kept."
        << false;
    QTest::newRow("provider does not answer")
        << true << QByteArray("silent")
        << "Rapaport: The price list could not be downloaded: 127.0.0.1 did not answer within 1 seconds.\nThe price "
           "list in use is kept."
        << false;
}

void TestPriceGrid::downloadAndUpgrade()
{
    QFETCH(bool, yes);
    QFETCH(QByteArray, roundAnswer);
    QFETCH(QString, message);
    QFETCH(bool, imported);

    PricingEnv env;
    LocalHttpServer server;
    if (roundAnswer == "silent")
        server.silence("/HTTP/Prices/CSV2_Round.aspx");
    else
        server.set("/HTTP/Prices/CSV2_Round.aspx", roundAnswer);
    server.set("/HTTP/Prices/CSV2_Pear.aspx", kPear);
    pointSourcesAt(env.dir.path(), server.base(), 1);
    addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 4321);
    TestStone round;
    round.shape = "Round Brilliant [BR]";
    round.carat = 1.2;
    round.colour = 40;
    round.clarity = 40;
    round.off = 10;
    const qint64 stone = addStone(env.db(), round);
    env.prompt.answer(yes);
    bool reloaded = false;

    QCOMPARE(DownloadAndUpgrade(env.ctx, [&] { reloaded = true; }), imported);
    QStringList expected{"Rapaport: Do you want to update the Rap Price List now?"};
    if (!message.isEmpty())
        expected << message;
    QCOMPARE(env.prompt.messages(), expected);
    QCOMPARE(reloaded, imported);
    const double rap = db::scalar(env.db(), "SELECT RapaportPrice FROM SingleStone WHERE ID=?", {stone}).toDouble();
    QCOMPARE(rap, imported ? 10000.0 : 0.0);
    QCOMPARE(SqlPriceSource(env.db()).price(Grid::Round, 1.2, "G", "VS1", false), imported ? 10000.0 : 4321.0);
    if (imported)
        QVERIFY(env.prompt.texts(PromptEvent::Busy).contains("Updating Round Diamonds"));
}

QTEST_GUILESS_MAIN(TestPriceGrid)
#include "tst_pricegrid.moc"
