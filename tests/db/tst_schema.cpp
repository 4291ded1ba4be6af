// The schema: the upgrade list, what one and two runs of it do to an old
// database, that a new database gets the same shape directly, the rows a new
// database starts with, and the `db status` / `db upgrade` commands.
#include "db/Connection.h"
#include "db/PrivateServer.h"
#include "db/Schema.h"
#include "db/SchemaTables.h"
#include "db/Sql.h"
#include "TestDb.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace velmor;
using namespace velmor::db;
using velmor::test::TestDb;

namespace {

const QString kVersionText = QString::number(schema::kSchemaVersion);

// Every column of the database in order: "table.column type", names in
// lower case (the engine compares them without regard to case).
QStringList schemaSnapshot(const QSqlDatabase &db)
{
    QStringList out;
    QSqlQuery q = exec(db, QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME, COLUMN_TYPE "
                                          "FROM information_schema.COLUMNS "
                                          "WHERE TABLE_SCHEMA = DATABASE() "
                                          "ORDER BY LOWER(TABLE_NAME), ORDINAL_POSITION"));
    while (q.next())
        out << QStringLiteral("%1.%2 %3")
                   .arg(q.value(0).toString().toLower(), q.value(1).toString().toLower(),
                        q.value(2).toString().toLower());
    return out;
}

// The first difference between two snapshots, for a readable failure.
QString firstDifference(const QStringList &a, const QStringList &b)
{
    for (int i = 0; i < qMin(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            return QStringLiteral("at %1: \"%2\" vs \"%3\"").arg(i).arg(a[i], b[i]);
    return QStringLiteral("sizes %1 vs %2").arg(a.size()).arg(b.size());
}

int countStatements(const QString &table, bool storeSide)
{
    int n = 0;
    for (const schema::UpgradeStatement &s : schema::upgradeList())
        if (s.storeSide == storeSide && s.table.compare(table, Qt::CaseInsensitive) == 0)
            ++n;
    return n;
}

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

CliResult runVelmor(const QString &home, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), home);
    p.setProcessEnvironment(env);
    QString binary = qEnvironmentVariable("VELMOR_BINARY");
    if (binary.isEmpty())
        binary = QStringLiteral(VELMOR_BINARY);
    p.start(binary, args);
    CliResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("velmor did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// What the store-side program leaves on a database of its own.
const char *const kOtherProgramsDatabase =
    "CREATE TABLE Config (ID INT AUTO_INCREMENT PRIMARY KEY, CompanyName VARCHAR(50), Tax1 DECIMAL(10,2), "
    "Tax2 DECIMAL(10,2), dbVersion DECIMAL(15,5)); "
    "INSERT INTO Config (CompanyName, dbVersion) VALUES ('Store', 290); "
    "CREATE TABLE item (ID INT AUTO_INCREMENT PRIMARY KEY, SKU VARCHAR(50))";

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void statementsPerTable_data();
    void statementsPerTable();

    void upgradeBringsBaseTablesToFullShape();
    void secondRunChangesNothing();
    void bothRoadsGiveTheSameSchema();
    void finalColumnTypes_data();
    void finalColumnTypes();
    void olderSearchIndexIsReplaced();
    void rowsSurviveTheUpgrade();
    void refusedStatementsAreListed();
    void upgradeOverOdbc();

    void newDatabaseGrades_data();
    void newDatabaseGrades();
    void newDatabaseSettingsRow();
    void versionIsStoredInFirstConfigRow_data();
    void versionIsStoredInFirstConfigRow();

    void commandLine_data();
    void commandLine();
    void missingTablesKeepTheVersion();
    void newerSchemaIsLeftAlone();

private:
    std::unique_ptr<TestDb> m_upgraded; // base tables + one upgrade run
    std::unique_ptr<TestDb> m_full;     // createNewDatabase
    schema::UpgradeReport m_firstRun;
};

void TestSchema::initTestCase()
{
    m_upgraded = std::make_unique<TestDb>(TestDb::Shape::BaseTables);
    m_firstRun = schema::UpgradeDataBaseModule(m_upgraded->db());
    m_full = std::make_unique<TestDb>(TestDb::Shape::Full);
}

void TestSchema::cleanupTestCase()
{
    m_upgraded.reset();
    m_full.reset();
}

// ---------------------------------------------------------------------------
// The list itself

void TestSchema::statementsPerTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("count");
    const std::pair<const char *, int> tables[] = {
        {"singlestone", 38}, {"StoneChange", 15},   {"parcelstock", 17},    {"parcel", 24},
        {"parceladd", 7},    {"AddParcel", 8},      {"customer", 29},       {"Rep", 20},
        {"memo", 3},         {"memosheet", 2},      {"memoparcel", 7},      {"memoparcellist", 11},
        {"invoice", 5},      {"invoicelist", 18},   {"ExpectedPays", 10},   {"DonePays", 10},
        {"returntovendor", 5}, {"raplist", 8},      {"labwords", 9},        {"shapewords", 9},
        {"Qs", 6},           {"DRange", 5},         {"Colours", 22},        {"Track", 5},
        {"TrackPar", 5},     {"inv", 7},            {"User", 67},           {"config", 116},
        {"RowGuard", 2},     {"stockcount", 11},    {"stockcountstone", 13}, {"stockcountscan", 13},
        {"stockcountparcel", 10}, {"stockcountdesk", 9},
        {"stonefile", 17}, {"stonefilechunk", 5}, {"stonefilethumb", 7},
        {"PaymentReceived", 4}, {"PaymentMade", 2},
    };
    int total = 0;
    for (const auto &[table, count] : tables) {
        QTest::newRow(table) << QString::fromLatin1(table) << count;
        total += count;
    }
    QTest::newRow("all diamond-side tables") << QString() << total;
}

void TestSchema::statementsPerTable()
{
    QFETCH(QString, table);
    QFETCH(int, count);
    if (table.isEmpty()) {
        // The shared tables' statements, the program's RowGuard, the repair
        // marks, the stock count's tables, the kept amounts, returns and
        // memo-out lines, the files on a stone (with the settings' size limit),
        // and the payments' columns.
        QCOMPARE(count, 480 + 2 + 2 + 56 + 5 + 30 + 6);
        QCOMPARE(schema::diamondSideStatementCount(), count);
        return;
    }
    QCOMPARE(countStatements(table, false), count);
    QCOMPARE(countStatements(table, true), 0);
}

// ---------------------------------------------------------------------------
// Running the upgrade

void TestSchema::upgradeBringsBaseTablesToFullShape()
{
    QCOMPARE(m_firstRun.refused, 0);
    QVERIFY2(m_firstRun.refusedStatements.isEmpty(),
             qPrintable(m_firstRun.refusedStatements.join(QLatin1Char('\n'))));
    QCOMPARE(m_firstRun.ran + m_firstRun.skipped, int(schema::upgradeList().size()));

    // Every table and column the list names is there.
    const QSqlDatabase db = m_upgraded->db();
    for (const schema::UpgradeStatement &s : schema::upgradeList()) {
        if (s.kind == schema::StatementKind::CreateTable)
            QVERIFY2(tableExists(db, s.table), qPrintable(s.sql()));
        else
            QVERIFY2(columnExists(db, s.table, s.column), qPrintable(s.sql()));
    }
    QCOMPARE(tableNames(db).size(), 11 + 67);
    QCOMPARE(columnType(db, QStringLiteral("Config"), QStringLiteral("dbVersion")),
             QStringLiteral("decimal(15,5)"));
}

void TestSchema::secondRunChangesNothing()
{
    TestDb t(TestDb::Shape::BaseTables);
    schema::UpgradeDataBaseModule(t.db());
    const QStringList before = schemaSnapshot(t.db());

    const schema::UpgradeReport again = schema::UpgradeDataBaseModule(t.db());
    QCOMPARE(again.ran, 0);
    QCOMPARE(again.refused, 0);
    QCOMPARE(again.skipped, int(schema::upgradeList().size()));
    QCOMPARE(schemaSnapshot(t.db()), before);
}

void TestSchema::bothRoadsGiveTheSameSchema()
{
    const QStringList upgraded = schemaSnapshot(m_upgraded->db());
    const QStringList created = schemaSnapshot(m_full->db());
    QVERIFY2(upgraded == created, qPrintable(firstDifference(upgraded, created)));

    // The new database's tables carry the names the program uses.
    QStringList expected;
    for (const schema::TableDef &t : schema::finalTables())
        expected << t.name.toLower();
    expected.sort();
    QStringList actual = tableNames(m_full->db());
    for (QString &n : actual)
        n = n.toLower();
    actual.sort();
    QCOMPARE(actual, expected);
    for (const char *name : {"SingleStone", "memoparcellist", "DiamondGrades", "user", "Config",
                             "ItemSingleDiamond", "Account", "item"})
        QVERIFY2(tableExists(m_full->db(), QString::fromLatin1(name)), name);

    // Both roads also carry the indexes of the everyday look-ups.
    const QString indexes = QStringLiteral(
        "SELECT GROUP_CONCAT(DISTINCT LOWER(CONCAT(TABLE_NAME, '.', COLUMN_NAME)) ORDER BY 1) "
        "FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND INDEX_NAME LIKE 'ix\\_%'");
    const QString onUpgraded = scalar(m_upgraded->db(), indexes).toString();
    QCOMPARE(onUpgraded, scalar(m_full->db(), indexes).toString());
    for (const char *col : {"singlestone.sku", "stonechange.stoneid", "paymentreceived.stoneid"})
        QVERIFY2(onUpgraded.contains(QLatin1String(col)), qPrintable(onUpgraded));
}

void TestSchema::olderSearchIndexIsReplaced()
{
    // A database of the release before: the stone search's index held the
    // list price, which every new price grid then moved for each stone.
    const QSqlDatabase db = m_full->db();
    exec(db, "DROP INDEX ix_singlestone_filter ON SingleStone");
    exec(db, "CREATE INDEX ix_singlestone_search ON SingleStone "
             "(Status, Carat, StoneIsPaidOff, CustomerID, Shape, Colour, Clarity, RapaportPrice)");
    // It also had two indexes of the memo sheet column, both moved by every
    // memo move.
    exec(db, "CREATE INDEX ix_singlestone_memosheet ON SingleStone (MemoSheetID)");
    schema::ensureIndexes(db);
    const QString onStones = scalar(db, "SELECT GROUP_CONCAT(DISTINCT LOWER(INDEX_NAME) ORDER BY 1) "
                                        "FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() "
                                        "AND TABLE_NAME = 'singlestone'")
                                 .toString();
    QVERIFY2(onStones.contains(QLatin1String("ix_singlestone_filter")), qPrintable(onStones));
    QVERIFY2(!onStones.contains(QLatin1String("ix_singlestone_search")), qPrintable(onStones));
    QCOMPARE(scalar(db, "SELECT COUNT(DISTINCT INDEX_NAME) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = "
                        "DATABASE() AND TABLE_NAME = 'singlestone' AND COLUMN_NAME = 'MemoSheetID'")
                 .toInt(),
             1);
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() "
                        "AND TABLE_NAME = 'singlestone' AND COLUMN_NAME = 'RapaportPrice'")
                 .toInt(),
             0);
}

void TestSchema::finalColumnTypes_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("type");
    QTest::newRow("markup widened") << "Config" << "Class1Markup" << "decimal(6,2)";
    QTest::newRow("tax narrowed") << "Config" << "Tax1" << "decimal(15,5)";
    QTest::newRow("parcel quantity is text") << "parcel" << "Quantity" << "varchar(50)";
    QTest::newRow("old parcel quantity is a number") << "ParcelStock" << "Quantity" << "int(10)";
    QTest::newRow("stone weight") << "SingleStone" << "Carat" << "decimal(15,5)";
    QTest::newRow("stone comment") << "SingleStone" << "Comment" << "blob";
    QTest::newRow("memo discount") << "SingleStone" << "currentRAPdiscountFORmemo" << "decimal(19,2)";
    QTest::newRow("details added once") << "invoicelist" << "details" << "varchar(250)";
    QTest::newRow("id stays the key") << "returntovendor" << "ID" << "int(11)";
    QTest::newRow("right flag") << "user" << "AllowParcelPriceView" << "tinyint(1)";
    QTest::newRow("overdue flag of accounts") << "account" << "OverDue" << "tinyint(1)";
    QTest::newRow("overdue days of settings") << "Config" << "OverDue" << "int(10)";
    QTest::newRow("stone in an item") << "ItemSingleDiamond" << "DiamondID" << "int(11)";
}

void TestSchema::finalColumnTypes()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, type);
    QCOMPARE(columnType(m_upgraded->db(), table, column), type);
    QCOMPARE(columnType(m_full->db(), table, column), type);
}

void TestSchema::rowsSurviveTheUpgrade()
{
    TestDb t(TestDb::Shape::BaseTables);
    const QSqlDatabase db = t.db();
    const QByteArray comment = QByteArray("first line") + char(218) + QByteArray("second line");
    exec(db,
         QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, SellOffRap, "
                        "SellPriceUS, LockPercent, Status, Comment, DateCreated) "
                        "VALUES ('A-17', 'Pear [PS]', 1.23456, 45, 89, 32.5, 10450.1234, -1, "
                        "'Memo', ?, '2021-03-04 10:11:12')"),
         {comment});
    exec(db, QStringLiteral("INSERT INTO StoneChange (StoneID, Carat, Comment, Status) "
                            "VALUES (1, 0.70001, 'old note', 'out Gem House')"));
    exec(db, QStringLiteral("INSERT INTO ParcelStock (SKU, Quantity, Carat) VALUES ('P-1', 120, 3.5)"));
    exec(db, QStringLiteral("INSERT INTO Config (CompanyName, Tax1, StoneChange) "
                            "VALUES ('Gem House', 13.12345, -1)"));
    exec(db, QStringLiteral("INSERT INTO Customer (CompanyName, Customer) VALUES ('Gem House', -1)"));

    const QString rowsQuery = QStringLiteral(
        "SELECT CONCAT_WS('|', s.SKU, s.Shape, s.Carat, s.Colour, s.Clarity, s.SellOffRap, "
        "s.SellPriceUS, s.LockPercent, s.Status, HEX(s.Comment), s.DateCreated, "
        "c.Carat, c.Comment, c.Status, p.Quantity, p.Carat, g.CompanyName, g.Tax1, g.StoneChange, "
        "k.CompanyName, k.Customer) "
        "FROM SingleStone s, StoneChange c, ParcelStock p, Config g, Customer k");
    const QString before = scalar(db, rowsQuery).toString();
    QVERIFY(!before.isEmpty());

    const schema::UpgradeReport r = schema::UpgradeDataBaseModule(db);
    QCOMPARE(r.refused, 0);
    QCOMPARE(scalar(db, rowsQuery).toString(), before);
    // New columns start empty; the program's own repairs fill them later.
    QVERIFY(scalar(db, QStringLiteral("SELECT RND FROM SingleStone")).isNull());
    QCOMPARE(schema::storedVersion(db), 0.0);
    schema::storeVersion(db);
    QCOMPARE(schema::storedVersion(db), double(schema::kSchemaVersion));
    QCOMPARE(scalar(db, QStringLiteral("SELECT CompanyName FROM Config WHERE dbVersion = %1").arg(schema::kSchemaVersion)).toString(),
             QStringLiteral("Gem House"));
}

void TestSchema::refusedStatementsAreListed()
{
    TestDb t(TestDb::Shape::BaseTables);
    const QSqlDatabase db = t.db();
    // A base table gone, and a column whose stored text cannot become a number.
    exec(db, QStringLiteral("DROP TABLE memosheet"));
    exec(db, QStringLiteral("ALTER TABLE ParcelStock MODIFY COLUMN Quantity VARCHAR(50)"));
    exec(db, QStringLiteral("INSERT INTO ParcelStock (SKU, Quantity) VALUES ('P-9', 'a dozen')"));
    // A shared server set up without strict mode would quietly turn the text
    // into 0 on the MODIFY; the upgrade must refuse instead.
    exec(db, QStringLiteral("SET SESSION sql_mode = ''"));

    for (int run = 1; run <= 2; ++run) {
        const schema::UpgradeReport r = schema::UpgradeDataBaseModule(db);
        QCOMPARE(r.refused, 3);
        QCOMPARE(r.refusedStatements.size(), 3);
        QVERIFY(r.refusedStatements[0].startsWith(
            QStringLiteral("ALTER TABLE parcelstock MODIFY COLUMN Quantity INT(10); -- ")));
        QVERIFY(r.refusedStatements[1].startsWith(QStringLiteral("ALTER TABLE memosheet ADD ref VARCHAR(25); -- ")));
        QVERIFY2(r.refusedStatements[1].contains(QStringLiteral("memosheet"), Qt::CaseInsensitive),
                 qPrintable(r.refusedStatements[1]));
        QVERIFY(r.refusedStatements[2].startsWith(QStringLiteral("ALTER TABLE memosheet ADD closed")));
        if (run == 1)
            QVERIFY(r.ran > 400); // the refusals stopped nothing else
        else
            QCOMPARE(r.ran, 0);
    }
    QCOMPARE(scalar(db, QStringLiteral("SELECT Quantity FROM ParcelStock WHERE SKU = 'P-9'")).toString(),
             QStringLiteral("a dozen"));
    QCOMPARE(columnType(db, QStringLiteral("ParcelStock"), QStringLiteral("Quantity")),
             QStringLiteral("varchar(50)"));
    QVERIFY(columnExists(db, QStringLiteral("ParcelStock"), QStringLiteral("ShapeCode")));
    // The session is left as it was found.
    QCOMPARE(scalar(db, QStringLiteral("SELECT @@SESSION.sql_mode")).toString(), QString());
}

void TestSchema::upgradeOverOdbc()
{
    QFile odbcinst(QStringLiteral("/etc/odbcinst.ini"));
    if (!odbcinst.open(QIODevice::ReadOnly) || !odbcinst.readAll().contains("[MariaDB Unicode]"))
        QSKIP("the MariaDB ODBC driver is not registered (package odbc-mariadb)");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        QSKIP("Qt's ODBC driver is not installed (package libqt6sql6-odbc)");

    TestDb t(TestDb::Shape::BaseTables);
    exec(t.db(), QStringLiteral("DROP TABLE memosheet"));
    QTemporaryDir iniDir;
    QFile ini(iniDir.filePath(QStringLiteral("odbc.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[ODBCVelmor]\nDriver=MariaDB Unicode\nSERVER=localhost\nSOCKET=%1\n"
                             "USER=root\nPASSWORD=%3\nDATABASE=%2\n")
                  .arg(TestDb::socketPath(), t.name(), PrivateServer(TestDb::serverDir()).rootPassword())
                  .toUtf8());
    ini.close();
    qputenv("ODBCINI", ini.fileName().toLocal8Bit());

    ConnectionSettings s;
    s.mode = Mode::Odbc;
    s.user.clear();
    const QString name = QStringLiteral("schema-odbc");
    {
        QSqlDatabase db = openConnection(s, name);
        QVERIFY(isOdbc(db));
        const schema::UpgradeReport first = schema::UpgradeDataBaseModule(db);
        QCOMPARE(first.refused, 2); // the two memosheet columns
        QVERIFY2(first.refusedStatements.join(QLatin1Char('\n')).contains(QStringLiteral("memosheet")),
                 qPrintable(first.refusedStatements.join(QLatin1Char('\n'))));
        const schema::UpgradeReport second = schema::UpgradeDataBaseModule(db);
        QCOMPARE(second.ran, 0);
        QCOMPARE(second.refused, 2);
        schema::storeVersion(db);
        QCOMPARE(schema::storedVersion(db), double(schema::kSchemaVersion));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    QCOMPARE(columnType(t.db(), QStringLiteral("Config"), QStringLiteral("Class1Markup")),
             QStringLiteral("decimal(6,2)"));
}

// ---------------------------------------------------------------------------
// A new database

void TestSchema::newDatabaseGrades_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("wording");
    QTest::newRow("best colour") << true << 10 << "D";
    QTest::newRow("split colour") << true << 15 << "D/E";
    QTest::newRow("middle split colour") << true << 85 << "K/L";
    QTest::newRow("last split colour") << true << 155 << "R/S";
    QTest::newRow("last colour") << true << 160 << "S";
    QTest::newRow("IF before FL") << false << 4 << "IF";
    QTest::newRow("IF/FL") << false << 7 << "IF/FL";
    QTest::newRow("FL") << false << 10 << "FL";
    QTest::newRow("split clarity") << false << 35 << "VVS2/VS1";
    QTest::newRow("I1 plus") << false << 89 << "I1+";
    QTest::newRow("I1 minus") << false << 91 << "I1-";
    QTest::newRow("I2 plus") << false << 99 << "I2+";
    QTest::newRow("I2 minus") << false << 101 << "I2-";
    QTest::newRow("last clarity") << false << 120 << "I4";
}

void TestSchema::newDatabaseGrades()
{
    QFETCH(bool, colour);
    QFETCH(int, number);
    QFETCH(QString, wording);
    const QSqlDatabase db = m_full->db();
    // The look-ups the screens use: the flag of the other scale must be off.
    const QString where = colour ? QStringLiteral("Colour=true AND Clarity=false")
                                 : QStringLiteral("Colour=false AND Clarity=true");
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM DiamondGrades WHERE %1").arg(where)).toInt(),
             colour ? 31 : 29);
    QSqlQuery q = exec(db, QStringLiteral("SELECT Wording FROM DiamondGrades WHERE Number=? AND %1").arg(where),
                       {number});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), wording);
    QVERIFY(!q.next());
    // The screens test these flags both as "=true" and as "<>0": the rows
    // must answer both (on the server TRUE is 1, so a stored -1 would not).
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM DiamondGrades WHERE %1<>0 AND number=?")
                            .arg(colour ? QStringLiteral("Colour") : QStringLiteral("Clarity")),
                    {number})
                 .toInt(),
             1);
}

void TestSchema::newDatabaseSettingsRow()
{
    const QSqlDatabase db = m_full->db();
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM Config")).toInt(), 1);
    QSqlQuery q = exec(db, QStringLiteral("SELECT CompanyName, CompanyStreet1, CompanyCity, CompanyStreet2, "
                                          "InvoiceTemplate, Class1Label, Class4Label FROM Config"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("Company Name"));
    QCOMPARE(q.value(1).toString(), QStringLiteral("Company Street1"));
    QCOMPARE(q.value(2).toString(), QStringLiteral("Company City"));
    QVERIFY(q.value(3).isNull());
    QCOMPARE(q.value(4).toString(), QStringLiteral("DEFAULT"));
    QCOMPARE(q.value(5).toString(), QStringLiteral("Class 1"));
    QCOMPARE(q.value(6).toString(), QStringLiteral("Class 4"));
    QCOMPARE(schema::storedVersion(db), double(schema::kSchemaVersion));
}

void TestSchema::versionIsStoredInFirstConfigRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("no settings row yet") << 0;
    QTest::newRow("one row") << 1;
    QTest::newRow("two rows") << 2;
}

void TestSchema::versionIsStoredInFirstConfigRow()
{
    QFETCH(int, rows);
    TestDb t(TestDb::Shape::Full);
    const QSqlDatabase db = t.db();
    exec(db, QStringLiteral("DELETE FROM Config"));
    for (int i = 0; i < rows; ++i)
        exec(db, QStringLiteral("INSERT INTO Config (CompanyName, dbVersion) VALUES (?, 0)"),
             {QStringLiteral("row %1").arg(i)});
    QCOMPARE(schema::storedVersion(db), 0.0);

    schema::storeVersion(db, 307);
    QCOMPARE(schema::storedVersion(db), 307.0);
    schema::storeVersion(db);
    QCOMPARE(schema::storedVersion(db), double(schema::kSchemaVersion));
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM Config")).toInt(), qMax(rows, 1));
    // Only the first row by ID carries the version.
    QCOMPARE(scalar(db, QStringLiteral("SELECT COUNT(*) FROM Config WHERE dbVersion = %1").arg(schema::kSchemaVersion)).toInt(), 1);
    QCOMPARE(scalar(db, QStringLiteral("SELECT dbVersion FROM Config ORDER BY ID LIMIT 1")).toDouble(), double(schema::kSchemaVersion));
}

// ---------------------------------------------------------------------------
// The command line

void TestSchema::commandLine_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<QString>("damage");      // SQL run on the database first
    QTest::addColumn<QString>("statusBefore"); // expected in `db status` before
    QTest::addColumn<int>("upgradeExit");
    QTest::addColumn<QString>("upgradeSays");
    QTest::addColumn<int>("tablesAfter");

    QTest::newRow("old database") << int(TestDb::Shape::BaseTables) << QString()
                                  << QStringLiteral("Schema version: 0 (program ") + kVersionText + QStringLiteral(")\nTables: 11\n") << 0
                                  << QStringLiteral("to ") + kVersionText + QStringLiteral(": ") << 78;
    // An old database with its settings row is upgraded, never remade; a
    // table it lacks is made as for an empty one.
    QTest::newRow("a base table gone") << int(TestDb::Shape::BaseTables)
                                       << "DROP TABLE memosheet; INSERT INTO Config (CompanyName) VALUES ('Old')"
                                       << "Tables: 10\n" << 0 << "Made 1 missing tables." << 78;
    QTest::newRow("a refused statement")
        << int(TestDb::Shape::BaseTables)
        << "ALTER TABLE ParcelStock MODIFY COLUMN Quantity VARCHAR(50); "
           "INSERT INTO ParcelStock (SKU, Quantity) VALUES ('P-9', 'a dozen'); "
           "INSERT INTO Config (CompanyName) VALUES ('Old')"
        << "Tables: 11\n" << 1 << "  refused: ALTER TABLE parcelstock MODIFY COLUMN Quantity INT(10); -- " << 78;
    // A shared database that the store-side program made: its settings row
    // with an older version and its own tables, none of the diamond side's.
    QTest::newRow("the other program's tables only")
        << int(TestDb::Shape::Empty) << QString::fromLatin1(kOtherProgramsDatabase)
        << QStringLiteral("Schema version: 290 (program ") + kVersionText + QStringLiteral(")\nTables: 2\n") << 0 << "Made 10 missing tables." << 78;
    QTest::newRow("empty database") << int(TestDb::Shape::Empty) << QString() << "Tables: 0\n" << 0
                                    << QStringLiteral("The database was empty: created it at schema version ") + kVersionText << 78;
    // What an earlier start left on an empty shared database: the upgrade
    // list's tables, no settings row, no version.
    QTest::newRow("upgrade list's tables only") << int(TestDb::Shape::Empty) << "upgrade list"
                                                << QStringLiteral("Schema version: 0 (program ") + kVersionText + QStringLiteral(")") << 0
                                                << "The database was not finished (no stored version): made "
                                                << 78;
    QTest::newRow("creation cut short") << int(TestDb::Shape::Full)
                                        << "DROP TABLE item; DROP TABLE memosheet; DELETE FROM Config; "
                                           "DELETE FROM DiamondGrades"
                                        << QStringLiteral("Schema version: 0 (program ") + kVersionText + QStringLiteral(")\nTables: 76\n") << 0
                                        << "made 2 missing tables" << 78;
}

void TestSchema::commandLine()
{
    QFETCH(int, shape);
    QFETCH(QString, damage);
    QFETCH(QString, statusBefore);
    QFETCH(int, upgradeExit);
    QFETCH(QString, upgradeSays);
    QFETCH(int, tablesAfter);

    TestDb t(static_cast<TestDb::Shape>(shape));
    if (damage == QLatin1String("upgrade list"))
        schema::UpgradeDataBaseModule(t.db());
    else if (!damage.isEmpty())
        for (const QString &statement : damage.split(QStringLiteral("; ")))
            exec(t.db(), statement);
    QTemporaryDir home;
    QFile ini(home.filePath(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\ndatabase=%2\nuser=root\n")
                  .arg(TestDb::socketPath(), t.name())
                  .toUtf8());
    ini.close();

    CliResult r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("status")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("Connection: server")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("Server version: 10.")), qPrintable(r.out));
    QVERIFY2(r.out.contains(statusBefore), qPrintable(r.out));

    r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("upgrade")});
    QVERIFY2(r.exitCode == upgradeExit, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(upgradeSays), qPrintable(r.out));
    if (upgradeExit == 0)
        QVERIFY2(!r.out.contains(QStringLiteral("refused:")), qPrintable(r.out));

    r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("status")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QStringLiteral("Schema version: %1 (program %1)").arg(schema::kSchemaVersion)), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("Tables: %1\n").arg(tablesAfter)), qPrintable(r.out));

    // A second upgrade finds nothing left to do.
    r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("upgrade")});
    QVERIFY2(r.exitCode == upgradeExit, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral(": 0 statements ran, ")), qPrintable(r.out));

    // Nobody listening where the settings point.
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("mode=server\nhost=127.0.0.1\nport=1\ndatabase=velmor\n");
    ini.close();
    for (const char *command : {"status", "upgrade"}) {
        r = runVelmor(home.path(), {QStringLiteral("db"), QString::fromLatin1(command)});
        QVERIFY2(r.exitCode != 0 && r.exitCode != -1, qPrintable(r.out + r.err));
        QVERIFY2(r.err.contains(QStringLiteral("cannot reach")) && r.err.contains(QStringLiteral("127.0.0.1:1")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
}

void TestSchema::missingTablesKeepTheVersion()
{
    // A shop's account that may change tables but not make them.
    TestDb t(TestDb::Shape::Empty);
    for (const QString &statement : QString::fromLatin1(kOtherProgramsDatabase).split(QStringLiteral("; ")))
        exec(t.db(), statement);
    const QString account = QStringLiteral("shop_%1").arg(QCoreApplication::applicationPid());
    exec(t.db(), QStringLiteral("DROP USER IF EXISTS '%1'@'localhost'").arg(account));
    exec(t.db(), QStringLiteral("CREATE USER '%1'@'localhost' IDENTIFIED BY 'Shop-pw-1'").arg(account));
    exec(t.db(), QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE, ALTER, INDEX ON `%1`.* TO '%2'@'localhost'")
                     .arg(t.name(), account));
    QTemporaryDir home;
    QFile ini(home.filePath(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\ndatabase=%2\nuser=%3\npassword=Shop-pw-1\n")
                  .arg(TestDb::socketPath(), t.name(), account)
                  .toUtf8());
    ini.close();

    for (int run = 1; run <= 2; ++run) {
        const CliResult r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("upgrade")});
        QVERIFY2(r.exitCode == 1, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("  refused: CREATE TABLE SingleStone -- ")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("The schema version was not stored (it stays 290): these tables "
                                               "are still missing: ")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("User")));
        QCOMPARE(schema::storedVersion(t.db()), 290.0);
    }
    // Given the right, the next run finishes the work.
    exec(t.db(), QStringLiteral("GRANT CREATE ON `%1`.* TO '%2'@'localhost'").arg(t.name(), account));
    const CliResult r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("upgrade")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QCOMPARE(schema::storedVersion(t.db()), double(schema::kSchemaVersion));
    QCOMPARE(tableNames(t.db()).size(), 78);
    exec(t.db(), QStringLiteral("DROP USER '%1'@'localhost'").arg(account));
}

// A database a newer Velmor upgraded (it widened a column this program's list
// would narrow again): the upgrade refuses and changes nothing.
void TestSchema::newerSchemaIsLeftAlone()
{
    TestDb t;
    exec(t.db(), QStringLiteral("ALTER TABLE SingleStone MODIFY COLUMN Carat DECIMAL(20,7)"));
    exec(t.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Carat) VALUES ('N1', 12.3456789)"));
    exec(t.db(), QStringLiteral("UPDATE Config SET dbVersion = 400"));
    QTemporaryDir home;
    QFile ini(home.filePath(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\ndatabase=%2\nuser=root\n")
                  .arg(TestDb::socketPath(), t.name())
                  .toUtf8());
    ini.close();
    const CliResult r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("upgrade")});
    QVERIFY2(r.exitCode == 1, qPrintable(r.out + r.err));
    QVERIFY2(r.err.contains(QStringLiteral("schema version 400, newer than this program's (%1)")
                                .arg(schema::kSchemaVersion)),
             qPrintable(r.err));
    QVERIFY2(!r.out.contains(QStringLiteral("upgraded")), qPrintable(r.out));
    QCOMPARE(schema::storedVersion(t.db()), 400.0);
    QCOMPARE(scalar(t.db(), QStringLiteral("SELECT CAST(Carat AS CHAR) FROM SingleStone WHERE SKU='N1'")).toString(),
             QStringLiteral("12.3456789"));
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
