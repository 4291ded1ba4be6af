// Two workstations scanning into one count on one server, one of them killed
// half way and started again; and the count's commands as a dealer types them.
#include "TestUsers.h"
#include "CountStations.h"
#include "StoneTestEnv.h"

#include <QtTest>

using namespace velmor;

class TestStockCountStations : public QObject {
    Q_OBJECT
private slots:
    void twoWorkstationsOneKilled();
    void commandLine();
};

void TestStockCountStations::twoWorkstationsOneKilled()
{
    test::StoneEnv e;
    test::twoStationsOneKilled(e.t.db(), e.t.settings(), e.t.settings(), e.ctx.workstation);
}

namespace {

struct Cli {
    int exitCode = -1;
    QString out, err;
};

Cli velmorCommand(const test::Station &station, const QStringList &args, const QByteArray &input = {},
                  bool withUser = true)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMOR_HOME", station.home());
    env.insert("VELMOR_PROGRAM_DIR", station.home());
    env.remove("VELMOR_USER");
    env.remove("VELMOR_PASSWORD");
    env.remove("VELMOR_KILL_AT");
    if (withUser)
        env.insert("VELMOR_PASSWORD", test::kAdminPassword);
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([] { ::setsid(); });
    p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
    p.waitForStarted();
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

void TestStockCountStations::commandLine()
{
    test::StoneEnv e;
    if (noUserYet(e.ctx.db()))
        test::addAdministrator(e.ctx.db());
    const qint64 a = e.stone("CL-A"), b = e.stone("CL-B");
    e.stone("CL-C");
    db::exec(e.t.db(), "INSERT INTO parcel (SKU, Shape, Carat) VALUES ('CL-P', 'Pear [PS]', 4.5)");
    test::Station s(e.t.settings());
    const QStringList user{"--user", "user"};

    // A write names its user; a wrong password is refused.
    Cli r = velmorCommand(s, {"count", "start"}, {}, false);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("--user NAME"), qPrintable(r.err));
    r = velmorCommand(s, QStringList{"count", "start"} + user, {}, false);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("no password"), qPrintable(r.err));
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcount"), 0);

    r = velmorCommand(s, QStringList{"count", "start", "--name", "Back office", "--tolerance", "0.02"} + user);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("started: Back office") && r.out.contains("3 stones expected") &&
                 r.out.contains("1 parcels on hand (tolerance 0.02 ct)"),
             qPrintable(r.out));
    const qint64 id = e.value("SELECT MAX(ID) FROM stockcount").toLongLong();
    r = velmorCommand(s, QStringList{"count", "start", "--tolerance", "0,5"} + user);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("Tolerance"), qPrintable(r.err));

    // Codes as arguments, then one a line on standard input.
    r = velmorCommand(s, QStringList{"count", "scan", QString::number(id), QString::number(a) + "01"} + user);
    QVERIFY2(r.exitCode == 0 && r.out.contains("found       CL-A (ID"), qPrintable(r.out + r.err));
    r = velmorCommand(s, QStringList{"count", "scan", QString::number(id)} + user,
                      "CL-B\r\n\r\n" + QByteArray::number(a) + "01\nNO-SUCH\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains("found       CL-B") && r.out.contains("twice       CL-A") &&
                 r.out.contains("unknown     NO-SUCH") &&
                 r.out.contains(QStringLiteral("Count %1: found 2 of 3 expected, 0 not expected, 1 scanned twice, 1 unknown codes").arg(id)),
             qPrintable(r.out));
    r = velmorCommand(s, QStringList{"count", "parcel", QString::number(id), "CL-P", "4.47"} + user);
    QVERIFY2(r.exitCode == 0 && r.out.contains("Parcel CL-P: weighed 4.47 ct, on hand 4.50 ct, difference -0.03 ct "
                                               "(beyond the tolerance of 0.02 ct)"),
             qPrintable(r.out + r.err));

    // Showing without a user shows no cost; closing writes the report.
    r = velmorCommand(s, {"count", "show", QString::number(id)}, {}, false);
    QVERIFY2(r.exitCode == 0 && r.out.contains("Missing: 1 stones, list value US$ 5,050.00\n") && !r.out.contains("Cost"),
             qPrintable(r.out + r.err));
    QTemporaryDir dir;
    r = velmorCommand(s, QStringList{"count", "close", QString::number(id), "--pdf", dir.filePath("c.pdf"), "--csv",
                                     dir.filePath("c.csv")} + user);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY(r.out.contains("closed") && r.out.contains("CL-C"));
    QVERIFY(QFile::exists(dir.filePath("c.pdf")) && QFile::exists(dir.filePath("c.csv")));
    r = velmorCommand(s, QStringList{"count", "scan", QString::number(id), "CL-C"} + user);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("is closed"), qPrintable(r.err));
    r = velmorCommand(s, {"count", "list"}, {}, false);
    QVERIFY2(r.exitCode == 0 && r.out.contains("Back office") && r.out.contains("closed") && r.out.contains("2 of 3"),
             qPrintable(r.out));
    Q_UNUSED(b);
}

QTEST_GUILESS_MAIN(TestStockCountStations)
#include "tst_stockcountstations.moc"
