// The customer search: words and filters, the export, and the customer
// commands of the velmor program run as a user runs them.
#include "CustomerTestEnv.h"
#include "customers/CustomerSearch.h"

#include <QFile>
#include <QProcess>
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
    void typingOnNarrowsInMemory_data();
    void typingOnNarrowsInMemory();
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

void TestCustomerSearch::typingOnNarrowsInMemory_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QList<bool>>("fromMemory");
    QTest::newRow("typing on") << QStringList{"l", "lu", "lum", "lum ", "lum v", "lum va"}
                               << QList<bool>{false, true, true, true, true, true};
    QTest::newRow("backspace reads again") << QStringList{"lumen", "lume", "lumen"} << QList<bool>{false, false, true};
    QTest::newRow("a second word first") << QStringList{"van", "van lumen"} << QList<bool>{false, true};
    QTest::newRow("rows with accents checked by the database") << QStringList{"e", "em", "emi", "emil"}
                                                               << QList<bool>{false, true, true, true};
    QTest::newRow("a word with an accent") << QStringList{"jo", "jos\u00e9"} << QList<bool>{false, false};
}

void TestCustomerSearch::typingOnNarrowsInMemory()
{
    QFETCH(QStringList, typed);
    QFETCH(QList<bool>, fromMemory);
    CustomerEnv e;
    e.customer("Lumen Jewellers", "Vancouver");
    e.customer("Lumen Toronto", "Toronto");
    e.customer("Vanity Lumens", "Calgary");
    const qint64 emile = e.customer(QString::fromUtf8("\u00c9mile Bijoux"), "Montreal");
    db::exec(e.t.db(), "UPDATE Customer SET ContactName=? WHERE ID=?", {QString::fromUtf8("Jos\u00e9"), emile});
    e.customer("Emma Gems", "Quebec");
    CustomerSearcher searcher;
    for (int i = 0; i < typed.size(); ++i) {
        CustomerFilter f;
        f.words = typed[i];
        const CustomerGrid got = searcher.search(e.t.db(), f);
        QCOMPARE(got.rows, searchCustomers(e.t.db(), f).rows);
        QCOMPARE(searcher.lastFromMemory(), fromMemory[i]);
    }
    // Another filter, or a search grown old, reads the table again.
    CustomerFilter f;
    f.words = typed.last() + "x";
    f.customers = true;
    searcher.search(e.t.db(), f);
    QVERIFY(!searcher.lastFromMemory());
    searcher.maxAgeMs = -1;
    f.words += "y";
    searcher.search(e.t.db(), f);
    QVERIFY(!searcher.lastFromMemory());
}

void TestCustomerSearch::exportCells()
{
    QCOMPARE(exportCell("Smith, Jones"), QString("Smith; Jones"));
    QCOMPARE(exportCell("12 Bay St\r\nUnit 4"), QString("12 Bay St Unit 4"));
    QCOMPARE(exportCell("O'Hara"), QString("O''Hara"));
    QCOMPARE(exportCell("line\nbreak"), QString("line break"));
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
    QCOMPARE(run({"overdue", "check"}, &out, &err), 0);
    QVERIFY2(out.contains("2 instalments and 1 invoices marked overdue"), qPrintable(out + err));
    QCOMPARE(run({"overdue", "check"}, &out, &err), 0);
    QVERIFY2(out.contains("0 instalments and 0 invoices marked overdue"), qPrintable(out + err));
}

QTEST_GUILESS_MAIN(TestCustomerSearch)
#include "tst_customersearch.moc"
