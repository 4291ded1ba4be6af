// The customer search: words and filters, the export, and the customer
// commands of the velmor program run as a user runs them.
#include "CustomerTestEnv.h"
#include "TestUsers.h"
#include "customers/CustomerSearch.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QtTest>

using namespace velmor;
using namespace velmor::customers;
using velmor::test::CustomerEnv;
using velmor::test::TestDb;

namespace {

QStringList namesFound(const CustomerEnv &e, const CustomerFilter &f)
{
    QStringList out;
    for (const QStringList &r : searchCustomers(e.t.db(), f).rows)
        out << r.first();
    return out;
}

} // namespace

class TestCustomerSearch : public QObject {
    Q_OBJECT
private slots:
    void words_data();
    void words();
    void roleFilters_data();
    void roleFilters();
    void twentyWordsAtMost();
    void pagesMatchTheWholeResult_data();
    void pagesMatchTheWholeResult();
    void rowsWrittenBetweenPages();
    void fewAmongMany();
    void exportCells();
    void exportFile();
    void commandLine();
};

void TestCustomerSearch::words_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("name and city beginning") << "lumen van" << QStringList{"Lumen Jewellers"};
    QTest::newRow("city only from its beginning") << "couver" << QStringList{};
    QTest::newRow("blanks between words") << "  lumen    van  " << QStringList{"Lumen Jewellers"};
    QTest::newRow("contact") << "maeve" << QStringList{"O'Hara Gems"};
    QTest::newRow("phone") << "555-0199" << QStringList{"Lumen Jewellers"};
    QTest::newRow("apostrophe") << "o'hara" << QStringList{"O'Hara Gems"};
    QTest::newRow("percent is itself") << "100%" << QStringList{"100% Natural"};
    QTest::newRow("underscore is itself") << "A_B" << QStringList{"A_B Supply"};
    QTest::newRow("backslash is itself") << "back\\slash" << QStringList{"Back\\Slash Ltd"};
    QTest::newRow("nothing typed") << ""
                                   << QStringList{"100 Natural", "100% Natural", "A_B Supply", "AxB Supply",
                                                  "Back\\Slash Ltd", "Lumen Jewellers", "Lumen Toronto", "O'Hara Gems"};
}

void TestCustomerSearch::words()
{
    QFETCH(QString, words);
    QFETCH(QStringList, found);
    CustomerEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers", "Vancouver");
    db::exec(e.t.db(), "UPDATE Customer SET PhoneNumber2='604-555-0199' WHERE ID=?", {lumen});
    e.customer("Lumen Toronto", "Toronto");
    const qint64 ohara = e.customer("O'Hara Gems", "Dublin");
    db::exec(e.t.db(), "UPDATE Customer SET ContactName='Maeve' WHERE ID=?", {ohara});
    e.customer("100% Natural");
    e.customer("100 Natural");
    e.customer("A_B Supply");
    e.customer("AxB Supply");
    e.customer("Back\\Slash Ltd");
    CustomerFilter f;
    f.words = words;
    QCOMPARE(namesFound(e, f), found);
}

void TestCustomerSearch::roleFilters_data()
{
    QTest::addColumn<bool>("customers");
    QTest::addColumn<bool>("suppliers");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("all") << false << false << false << QStringList{"Both", "Customer", "Neither", "Supplier", "Unset"};
    QTest::newRow("customers") << true << false << false << QStringList{"Both", "Customer", "Neither", "Unset"};
    QTest::newRow("suppliers") << false << true << false << QStringList{"Both", "Neither", "Supplier", "Unset"};
    QTest::newRow("both boxes") << true << true << false << QStringList{"Both", "Neither", "Unset"};
    QTest::newRow("customers on hold") << true << false << true << QStringList{"Customer"};
}

void TestCustomerSearch::roleFilters()
{
    QFETCH(bool, customers);
    QFETCH(bool, suppliers);
    QFETCH(bool, hold);
    QFETCH(QStringList, found);
    CustomerEnv e;
    e.customer("Both", {}, true, true);
    const qint64 c = e.customer("Customer", {}, true, false);
    e.customer("Supplier", {}, false, true);
    e.customer("Neither", {}, false, false);
    const qint64 unset = e.customer("Unset");
    db::exec(e.t.db(), "UPDATE Customer SET Customer=NULL, Supplier=NULL WHERE ID=?", {unset});
    // The other program writes 1 for true.
    db::exec(e.t.db(), "UPDATE Customer SET Hold=1 WHERE ID=?", {c});
    CustomerFilter f;
    f.customers = customers;
    f.suppliers = suppliers;
    f.onHold = hold;
    QCOMPARE(namesFound(e, f), found);

    // The rep filter and the ID.
    const qint64 rep = e.rep("North");
    db::exec(e.t.db(), "UPDATE Customer SET RepID=? WHERE ID=?", {rep, unset});
    CustomerFilter byRep;
    byRep.repId = rep;
    QCOMPARE(namesFound(e, byRep), QStringList{"Unset"});
    CustomerFilter byId;
    byId.id = c;
    QCOMPARE(namesFound(e, byId), QStringList{"Customer"});
}

void TestCustomerSearch::twentyWordsAtMost()
{
    CustomerEnv e;
    e.customer("Alpha Beta Gamma");
    QStringList twenty;
    for (int i = 0; i < 20; ++i)
        twenty << QStringLiteral("a");
    CustomerFilter f;
    f.words = twenty.join(' ') + " nowhere";
    QCOMPARE(searchWords(f.words).size(), 20);
    QCOMPARE(namesFound(e, f), QStringList{"Alpha Beta Gamma"});
    f.words = twenty.mid(1).join(' ') + " nowhere";
    QCOMPARE(namesFound(e, f), QStringList{});
}

void TestCustomerSearch::pagesMatchTheWholeResult_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<bool>("customersOnly");
    QTest::addColumn<int>("firstPage");
    QTest::addColumn<int>("nextPage");
    QTest::newRow("everyone, a row at a time") << "" << false << 1 << 1;
    QTest::newRow("everyone, pages of 2 then 3") << "" << false << 2 << 3;
    QTest::newRow("everyone, pages of 4") << "" << false << 4 << 4;
    QTest::newRow("namesakes split across pages") << "same" << false << 2 << 1;
    QTest::newRow("customers only") << "" << true << 3 << 2;
    QTest::newRow("one screenful holds all") << "lumen" << false << 100 << 100;
    QTest::newRow("nothing found") << "nowhere" << false << 2 << 2;
}

// The grid read a page at a time shows the rows of one whole read, in its
// order, each once: namesakes (also by case, accent or trailing blank),
// customers without a name, names with quotes, backslashes and percent signs.
void TestCustomerSearch::pagesMatchTheWholeResult()
{
    QFETCH(QString, words);
    QFETCH(bool, customersOnly);
    QFETCH(int, firstPage);
    QFETCH(int, nextPage);
    CustomerEnv e;
    for (const char *name : {"Same Name", "Lumen", "same name", "Same Name ", "O'Hara", "Back\\Slash", "100% Gems",
                             "100 Gems", "Same Name", "Lumen Toronto", "LUMEN", "Same Name"})
        e.customer(QString::fromUtf8(name), {}, true, false);
    db::exec(e.t.db(), "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('', -1, 0), ('', 0, 0)");
    e.customer(QString(), "Nowhere Else", false, true);
    e.customer(QString(), {}, true, false);
    e.customer(QString::fromUtf8("\u00c9mile"), {}, false, true);
    e.customer("Emile", {}, true, false);
    e.customer(QString::fromUtf8("Same N\u00e1me"), {}, false, true);

    CustomerFilter f;
    f.words = words;
    f.customers = customersOnly;
    const CustomerGrid whole = searchCustomers(e.t.db(), f);
    CustomerGridModel model;
    model.setPageSizes(firstPage, nextPage);
    model.search(e.t.db(), f);
    QVERIFY(model.rowCount() <= firstPage);
    int reads = 0;
    while (model.canFetchMore({})) {
        const int before = model.rowCount();
        model.fetchMore({});
        QVERIFY(model.rowCount() > before && model.rowCount() - before <= nextPage);
        QVERIFY(++reads < 50);
    }
    QVERIFY(model.complete());
    QCOMPARE(model.grid().rows, whole.rows);
    // Read by the scan that suits few rows, the pages are the same.
    QList<QStringList> scanned;
    std::optional<CustomerKey> after;
    for (bool more = true; more;) {
        const CustomerPage page = searchPage(e.t.db(), f, nextPage, after, true);
        scanned += page.rows;
        after = page.last;
        more = page.more;
        QVERIFY(scanned.size() <= whole.rows.size());
    }
    QCOMPARE(scanned, whole.rows);
    QCOMPARE(countCustomers(e.t.db(), f), qint64(whole.rows.size()));
}

// Another workstation adds, removes and renames customers while the grid
// shows its first page: the later pages go on where the first stopped and
// show the rows as they are now, none twice.
void TestCustomerSearch::rowsWrittenBetweenPages()
{
    CustomerEnv e;
    QList<qint64> ids;
    for (const char *name : {"Amber", "Bay", "Bay", "Crown", "Diamond", "Empire", "Golden"})
        ids << e.customer(name);
    CustomerGridModel model;
    model.setPageSizes(3, 2);
    model.search(e.t.db(), {});
    QCOMPARE(model.rowCount(), 3); // Amber, Bay, Bay
    QSqlDatabase other = e.t.secondConnection();
    db::exec(other, "INSERT INTO Customer (CompanyName) VALUES ('Bay'), ('Aardvark'), ('Coral')");
    db::exec(other, "DELETE FROM Customer WHERE ID=?", {ids[4]});                             // Diamond
    db::exec(other, "UPDATE Customer SET CompanyName='Zenith' WHERE ID=?", {ids[3]});         // Crown
    db::exec(other, "UPDATE Customer SET CompanyName='Atlas', ContactName='x' WHERE ID=?", {ids[0]}); // Amber, shown
    while (model.canFetchMore({}))
        model.fetchMore({});
    QStringList names;
    for (const QStringList &r : model.grid().rows)
        names << r.at(0);
    // The new "Bay" has a higher ID than the two shown: it follows them.
    QCOMPARE(names, (QStringList{"Amber", "Bay", "Bay", "Bay", "Coral", "Empire", "Golden", "Zenith"}));
    QSet<QString> seen;
    for (const QStringList &r : model.grid().rows) {
        QVERIFY2(!seen.contains(r.at(idColumn())), "a row shown twice");
        seen.insert(r.at(idColumn()));
    }
}

// A few matches among more rows than the walk by name looks at: the
// screenful and the rows after it are still every match, in order.
void TestCustomerSearch::fewAmongMany()
{
    CustomerEnv e;
    db::exec(e.t.db(), "INSERT INTO Customer (CompanyName, CompanyCity) "
                       "SELECT CONCAT('Filler ', seq), 'Calgary' FROM seq_1_to_1500");
    for (const char *name : {"Zed Lumen 2", "Aaron Lumen", "Zed Lumen 1", "Zed Lumen 2"})
        e.customer(name);
    CustomerFilter f;
    f.words = "lumen";
    const CustomerGrid whole = searchCustomers(e.t.db(), f);
    QCOMPARE(whole.rows.size(), 4);
    CustomerGridModel model;
    model.setPageSizes(2, 1);
    model.search(e.t.db(), f);
    QCOMPARE(model.grid().rows, whole.rows.mid(0, 2));
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.grid().rows, whole.rows);
    // Many matches (every filler), read a page at a time.
    f.words = "fill cal";
    model.setPageSizes(700, 700);
    model.search(e.t.db(), f);
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.grid().rows, searchCustomers(e.t.db(), f).rows);
}

void TestCustomerSearch::exportCells()
{
    QCOMPARE(exportCell("Smith, Jones"), QString("Smith; Jones"));
    QCOMPARE(exportCell("12 Bay St\r\nUnit 4"), QString("12 Bay St Unit 4"));
    QCOMPARE(exportCell("O'Hara"), QString("O''Hara"));
    QCOMPARE(exportCell("line\nbreak"), QString("line break"));
    // A name or note a spreadsheet would run as a formula is exported as
    // text; phone numbers with a sign are text too, plain numbers stay.
    QCOMPARE(exportCell("=cmd|' /C calc'!A0"), QString("'=cmd|'' /C calc''!A0"));
    QCOMPARE(exportCell("@SUM(1+1)"), QString("'@SUM(1+1)"));
    QCOMPARE(exportCell("+1 416 555 0100"), QString("'+1 416 555 0100"));
    QCOMPARE(exportCell("-2+3"), QString("'-2+3"));
    QCOMPARE(exportCell("-250.00"), QString("-250.00"));
    QCOMPARE(exportCell("1500"), QString("1500"));
}

void TestCustomerSearch::exportFile()
{
    CustomerEnv e;
    const qint64 id = e.customer("Smith, Jones & O'Hara", "Toronto");
    const QString file = e.dir.filePath("customers.csv");
    const CustomerGrid g = searchCustomers(e.t.db(), {});
    QString why;
    QVERIFY(exportGrid(g, file, &why));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString("Company Name,City,State/Prov,Contact,Street,Phone 1,Phone 2,Fax,e-mail,Web,ID"));
    QCOMPARE(lines[1], QString("Smith; Jones & O''Hara,Toronto,,,,,,,,,%1").arg(id));
    // A folder that does not exist: refused with the reason, nothing written.
    QVERIFY(!exportGrid(g, e.dir.filePath("missing/x.csv"), &why));
    QVERIFY(!why.isEmpty());
}

void TestCustomerSearch::commandLine()
{
    CustomerEnv e;
    QFile ini(e.dir.filePath("database.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n").arg(TestDb::socketPath(), e.t.name()).toUtf8());
    ini.close();
    auto run = [&](const QStringList &args, QString *out, QString *err = nullptr) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMOR_HOME", e.dir.path());
        env.remove("VELMOR_USER");
        env.insert("VELMOR_PASSWORD", test::kAdminPassword);
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
        p.waitForFinished(60000);
        *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    e.customer("Lumen Jewellers", "Vancouver");
    e.customer("Lumen Rough", "Antwerp", false, true);
    QString out, err;
    QCOMPARE(run({"customers", "find", "--suppliers", "lumen"}, &out, &err), 0);
    QVERIFY2(out.contains("Lumen Rough") && !out.contains("Lumen Jewellers"), qPrintable(out + err));
    QVERIFY(out.contains("Found 1 Customers"));
    QCOMPARE(run({"customers", "find", "lumen", "van"}, &out), 0);
    QVERIFY(out.contains("Lumen Jewellers") && out.contains("Found 1 Customers"));
    QCOMPARE(run({"customers", "find", "--rep", "x"}, &out, &err), 2);

    const QString file = e.dir.filePath("all.csv");
    QCOMPARE(run({"customers", "export", file}, &out, &err), 0);
    QVERIFY2(out.contains("(2 customers)"), qPrintable(out + err));
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 3);

    // The overdue check with the grace period of the settings.
    db::exec(e.t.db(), "INSERT INTO Config (CompanyName) SELECT 'Dealer' FROM DUAL WHERE NOT EXISTS (SELECT 1 FROM Config)");
    db::exec(e.t.db(), "UPDATE Config SET OverDue=5");
    db::exec(e.t.db(), "INSERT INTO expectedpays (InvoiceID, DueDate, Balance) VALUES (8, '2001-01-01', 100), (8, '2099-01-01', 100)");
    db::exec(e.t.db(), "INSERT INTO account (ID) VALUES (8)");
    test::addAdministrator(e.t.db());
    const QStringList overdue{"overdue", "check", "--user", test::kAdminName};
    QCOMPARE(run(overdue, &out, &err), 0);
    QVERIFY2(out.contains("2 instalments and 1 invoices marked overdue"), qPrintable(out + err));
    QCOMPARE(run(overdue, &out, &err), 0);
    QVERIFY2(out.contains("0 instalments and 0 invoices marked overdue"), qPrintable(out + err));
}

QTEST_GUILESS_MAIN(TestCustomerSearch)
#include "tst_customersearch.moc"
