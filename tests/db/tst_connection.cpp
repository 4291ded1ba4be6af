// The three ways of reaching the data: Velmor's private server, an ODBC data
// source through a DSN file, and a shared server; and what the user is told
// when none can be reached.
#include "core/AppContext.h"
#include "db/Connection.h"
#include "db/PrivateServer.h"
#include "db/Row.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "TestDb.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

using namespace velmor;
using namespace velmor::db;

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void settingsFile_data();
    void settingsFile();
    void privateServerSharedAndStopped();
    void privateDataFolderClearedOnlyWhenVelmors();
    void privateServerMissingProgram();
    void privateServersMadeAtOnce();
    void serverModeErrorsNameTheTarget_data();
    void serverModeErrorsNameTheTarget();
    void odbcThroughDsnFile();
    void odbcUnknownDsn();
    void checkpointHoldsLastTag();
    void caseSensitiveTableNamesAreNamed();

private:
    static QString odbcDriverRegistered();
};

void TestConnection::settingsFile_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("describe");
    QTest::newRow("missing file") << QString() << "private" << "private database server";
    QTest::newRow("odbc") << "mode=odbc\ndsn=ShopData\n" << "odbc" << "ODBC data source \"ShopData\"";
    QTest::newRow("server") << "# shared server\nmode = server\nhost=10.0.0.5\nport=3307\ndatabase=stock\n"
                            << "server" << "\"stock\" on the server 10.0.0.5:3307";
    QTest::newRow("private data folder of its own") << "mode=private\ndatadir=store/db\n" << "private"
                                                    << "store/db";
    // The nodes of a cluster, on one line or one line each; a node without a
    // port takes port=, which may come after them.
    QTest::newRow("cluster on one line") << "mode=server\nhost=a:3306, b:3307,c\nport=3310\n"
                                         << "server" << "\"velmor\" on the cluster a:3306, b:3307, c:3310";
    QTest::newRow("cluster one line each") << "mode=server\nhost=a:3306\nhost=b\n"
                                           << "server" << "\"velmor\" on the cluster a:3306, b:3306";
    QTest::newRow("one host with its port") << "mode=server\nhost=10.0.0.5:3308\n"
                                            << "server" << "\"velmor\" on the server 10.0.0.5:3308";
}

void TestConnection::settingsFile()
{
    QFETCH(QString, content);
    QFETCH(QString, mode);
    QFETCH(QString, describe);
    QTemporaryDir dir;
    Workstation ws(dir.path());
    if (!content.isNull())
        QVERIFY(ws.writeText(QStringLiteral("database.ini"), content));
    const ConnectionSettings s = ws.connectionSettings();
    QVERIFY2(s.problem.isEmpty(), qPrintable(s.problem));
    QCOMPARE(s.modeName(), mode);
    QVERIFY2(s.describe().contains(describe), qPrintable(s.describe()));
}

void TestConnection::privateDataFolderClearedOnlyWhenVelmors()
{
    QTemporaryDir home(QStringLiteral("/dev/shm/vh-XXXXXX"));
    Workstation ws(home.path());
    const ConnectionSettings cs = ws.connectionSettings();
    const QString data = cs.privateDir + QStringLiteral("/data");
    // A data folder without a database, holding what Velmor did not make:
    // left alone, and said so.
    QVERIFY(QDir().mkpath(data));
    QFile photo(data + QStringLiteral("/stone-photos.zip"));
    QVERIFY(photo.open(QIODevice::WriteOnly));
    photo.write("the dealer's photos");
    photo.close();
    {
        AppContext ctx(ws, cs);
        try {
            ctx.open();
            QFAIL("opening should be refused");
        } catch (const ConnectError &e) {
            QVERIFY2(e.message().contains(data) && e.message().contains(QStringLiteral("Velmor did not make")),
                     qPrintable(e.message()));
        }
    }
    QVERIFY(QFile::exists(photo.fileName()));
    // A making of Velmor's own that was cut short (its marker there) is
    // cleared and made again.
    QVERIFY(QFile::remove(photo.fileName()));
    for (const char *name : {"velmor-making-this-folder", "ibdata1"}) {
        QFile f(data + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("half made");
    }
    {
        AppContext ctx(ws, cs);
        ctx.open();
        QCOMPARE(int(schema::storedVersion(ctx.db())), schema::kSchemaVersion);
        QVERIFY(!QFile::exists(data + QStringLiteral("/velmor-making-this-folder")));
        ctx.close();
    }
}

void TestConnection::privateServerSharedAndStopped()
{
    // A workstation folder of its own on a short path (socket length limit).
    QTemporaryDir home(QStringLiteral("/dev/shm/vh-XXXXXX"));
    QVERIFY(home.isValid());
    Workstation ws(home.path());
    const ConnectionSettings cs = ws.connectionSettings();
    QCOMPARE(cs.mode, Mode::Private);

    qint64 id = 0;
    {
        AppContext first(ws, cs);
        first.open();
        // A brand-new database is made in its final shape at once.
        QCOMPARE(int(schema::storedVersion(first.db())), schema::kSchemaVersion);
        id = insert(first.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES (?)"),
                    {QStringLiteral("O'Neil \\ Sons")});

        {
            // A second Velmor on the workstation shares the running server.
            AppContext second(ws, cs);
            second.open();
            QCOMPARE(scalar(second.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID=?"), {id})
                         .toString(),
                     QStringLiteral("O'Neil \\ Sons"));
            PrivateServer probe(cs.privateDir);
            QCOMPARE(probe.clientCount(), 2);
        }
        // The first one still works after the second has gone.
        QCOMPARE(scalar(first.db(), QStringLiteral("SELECT COUNT(*) FROM Customer")).toInt(), 1);
    }
    // The last one out stopped the server.
    PrivateServer probe(cs.privateDir);
    QVERIFY(!probe.answers());

    // And the data is still there at the next start.
    AppContext again(ws, cs);
    again.open();
    QCOMPARE(scalar(again.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID=?"), {id}).toString(),
             QStringLiteral("O'Neil \\ Sons"));
    again.close();
    QVERIFY(!probe.answers());
}

void TestConnection::privateServerMissingProgram()
{
    QTemporaryDir home(QStringLiteral("/dev/shm/vh-XXXXXX"));
    Workstation ws(home.path());
    {
        // No server program: one clear message that says where to change the mode.
        qputenv("VELMOR_SERVER_BIN_DIR", "/nonexistent");
        AppContext ctx(ws, ws.connectionSettings());
        try {
            ctx.open();
            QFAIL("opening should fail");
        } catch (const ConnectError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("not installed")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("database.ini")), qPrintable(e.message()));
        }
        qunsetenv("VELMOR_SERVER_BIN_DIR");
    }
    {
        // A data folder that cannot be made gives a clear message, not a crash.
        ConnectionSettings cs = ws.connectionSettings();
        cs.privateDir = QStringLiteral("/proc/velmor-cannot-be-here");
        AppContext ctx(ws, cs);
        try {
            ctx.open();
            QFAIL("opening should fail");
        } catch (const ConnectError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("/proc/velmor-cannot-be-here")), qPrintable(e.message()));
        }
    }
}

void TestConnection::privateServersMadeAtOnce()
{
    // Workstations (or test runs) on one machine making their databases at
    // the same moment: each one's making leaves the others' alone.
    constexpr int kServers = 8;
    QTemporaryDir parent(QStringLiteral("/dev/shm/vm-XXXXXX"));
    QVERIFY(parent.isValid());
    std::vector<std::unique_ptr<PrivateServer>> servers;
    for (int i = 0; i < kServers; ++i)
        servers.push_back(std::make_unique<PrivateServer>(parent.filePath(QString::number(i)), true));
    QStringList failures(kServers);
    {
        std::vector<std::thread> threads;
        for (int i = 0; i < kServers; ++i)
            threads.emplace_back([&, i] {
                try {
                    servers[size_t(i)]->start();
                } catch (const ConnectError &e) {
                    failures[i] = e.message();
                }
            });
        for (std::thread &t : threads)
            t.join();
    }
    for (auto &server : servers)
        if (server->answers())
            server->stop();
    failures.removeAll(QString());
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("\n\n"))));
}

void TestConnection::serverModeErrorsNameTheTarget_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("mustName");
    QTest::newRow("nobody listening") << "mode=server\nhost=127.0.0.1\nport=1\n" << "127.0.0.1:1";
    QTest::newRow("wrong password") << "mode=server\nsocket=%SOCK%\nuser=nobody\npassword=x\n" << "velmor";
    QTest::newRow("unknown database") << "mode=server\nsocket=%SOCK%\ndatabase=no_such_db\n" << "no_such_db";
}

void TestConnection::serverModeErrorsNameTheTarget()
{
    QFETCH(QString, ini);
    QFETCH(QString, mustName);
    QTemporaryDir home;
    Workstation ws(home.path());
    ws.writeText(QStringLiteral("database.ini"), QString(ini).replace(QStringLiteral("%SOCK%"), test::TestDb::socketPath()));
    AppContext ctx(ws, ws.connectionSettings());
    try {
        ctx.open();
        QFAIL("opening should fail");
    } catch (const ConnectError &e) {
        QVERIFY2(e.message().contains(mustName), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("database.ini")), qPrintable(e.message()));
    }

    // The command line says the same and exits non-zero.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), home.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELMOR_BINARY), {QStringLiteral("db"), QStringLiteral("status")});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY(p.exitCode() != 0);
    const QString all = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QVERIFY2(all.contains(mustName), qPrintable(all));
}

QString TestConnection::odbcDriverRegistered()
{
    QFile f(QStringLiteral("/etc/odbcinst.ini"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString s = QString::fromUtf8(f.readAll());
    return s.contains(QStringLiteral("[MariaDB Unicode]")) ? QStringLiteral("MariaDB Unicode") : QString();
}

void TestConnection::odbcThroughDsnFile()
{
    const QString driver = odbcDriverRegistered();
    if (driver.isEmpty())
        QSKIP("the MariaDB ODBC driver is not registered (package odbc-mariadb)");
    test::TestDb t;
    QTemporaryDir iniDir;
    QFile ini(iniDir.filePath(QStringLiteral("odbc.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[ODBCVelmor]\nDriver=%1\nSERVER=localhost\nSOCKET=%2\nUSER=root\nPASSWORD=%4\n"
                             "DATABASE=%3\n")
                  .arg(driver, test::TestDb::socketPath(), t.name(), PrivateServer(test::TestDb::serverDir()).rootPassword())
                  .toUtf8());
    ini.close();
    qputenv("ODBCINI", ini.fileName().toLocal8Bit());

    QTemporaryDir home;
    Workstation ws(home.path());
    ws.writeText(QStringLiteral("database.ini"), QStringLiteral("mode=odbc\n"));
    AppContext ctx(ws, ws.connectionSettings());
    ctx.open();
    QVERIFY(isOdbc(ctx.db()));

    // New rows learn their own ID, flags read non-zero, bound values survive quotes.
    const qint64 a = insert(ctx.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Canadian) VALUES (?, ?)"),
                            {QStringLiteral("O'Brien\\1"), flagValue(true)});
    const qint64 b = insert(ctx.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Canadian) VALUES (?, ?)"),
                            {QStringLiteral("B2"), flagValue(false)});
    QVERIFY(a > 0);
    QCOMPARE(b, a + 1);
    QSqlQuery q = exec(ctx.db(), QStringLiteral("SELECT * FROM SingleStone WHERE ID=?"), {a});
    QVERIFY(q.next());
    Row r(q);
    QCOMPARE(r.text(QStringLiteral("SKU")), QStringLiteral("O'Brien\\1"));
    QVERIFY(r.flag(QStringLiteral("Canadian")));
    QVERIFY(tableNames(ctx.db()).contains(QStringLiteral("singlestone"), Qt::CaseInsensitive));

    // Bound text arrives whole: it compares without regard to case, keeps
    // non-ASCII letters, and works in schema look-ups.
    QCOMPARE(scalar(ctx.db(), QStringLiteral("SELECT COUNT(*) FROM SingleStone WHERE SKU = ?"),
                    {QStringLiteral("o'brien\\1")}).toInt(), 1);
    QCOMPARE(scalar(ctx.db(), QStringLiteral("SELECT LENGTH(?)"), {QStringLiteral("abc")}).toInt(), 3);
    const qint64 c = insert(ctx.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES (?)"),
                            {QStringLiteral("Bijoux \u00c9toile \u20ac")});
    QCOMPARE(scalar(ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {c}).toString(),
             QStringLiteral("Bijoux \u00c9toile \u20ac"));
    QCOMPARE(scalar(ctx.db(), QStringLiteral("SELECT '?' , ?"), {QStringLiteral("x")}).toString(), QStringLiteral("?"));
    QVERIFY(columnExists(ctx.db(), QStringLiteral("SingleStone"), QStringLiteral("sellOffRap")));
    ctx.close();
    qunsetenv("ODBCINI");
}

void TestConnection::odbcUnknownDsn()
{
    QTemporaryDir iniDir;
    QFile ini(iniDir.filePath(QStringLiteral("odbc.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Other]\nDriver=MariaDB Unicode\n");
    ini.close();
    qputenv("ODBCINI", ini.fileName().toLocal8Bit());
    QTemporaryDir home;
    Workstation ws(home.path());
    ws.writeText(QStringLiteral("database.ini"), QStringLiteral("mode=odbc\n"));
    AppContext ctx(ws, ws.connectionSettings());
    try {
        ctx.open();
        QFAIL("an unknown data source must not connect");
    } catch (const ConnectError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("ODBCVelmor")), qPrintable(e.message()));
    }
    qunsetenv("ODBCINI");
}

void TestConnection::checkpointHoldsLastTag()
{
    QTemporaryDir home;
    Workstation ws(home.path());
    ws.checkpoint(QStringLiteral("qwrbwr"));
    ws.checkpoint(QStringLiteral("35y4by13"));
    QCOMPARE(ws.readLines(QStringLiteral("errrotrap.txt")), QStringList{QStringLiteral("35y4by13")});
}

// A shared server that tells Config from config: Velmor says what to set
// instead of failing later on "table doesn't exist".
void TestConnection::caseSensitiveTableNamesAreNamed()
{
    QTemporaryDir dir(QStringLiteral("/dev/shm/vc-XXXXXX"));
    QVERIFY(dir.isValid());
    PrivateServer server(dir.path() + QStringLiteral("/srv"), /*forTests=*/true);
    server.setExtraOptions({QStringLiteral("--lower-case-table-names=0")});
    server.start();
    ConnectionSettings cs;
    cs.mode = Mode::Server;
    cs.socket = server.socketPath();
    cs.user = QStringLiteral("root");
    cs.database = QStringLiteral("velmor");
    cs.sourceFile = QStringLiteral("(test)");
    QString message;
    try {
        openConnection(cs, QStringLiteral("case-sensitive"), true);
    } catch (const ConnectError &e) {
        message = e.message();
    }
    server.stop();
    QVERIFY2(message.contains(QStringLiteral("lower_case_table_names = 0")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("Set lower_case_table_names=1")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("(test)")), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
