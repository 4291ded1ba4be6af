// What a Velmor killed at a bad moment leaves behind, and that the next one
// picks it up: a database whose creation was cut short, and a private server
// whose starter died while it came up (with others starting meanwhile).
#include "ServerProcesses.h"
#include "db/Schema.h"
#include "db/SchemaTables.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
namespace schema = velmor::db::schema;

namespace {

QString velmorBinary()
{
    const QString b = qEnvironmentVariable("VELMOR_BINARY");
    return b.isEmpty() ? QStringLiteral(VELMOR_BINARY) : b;
}

QProcess *startVelmor(const QString &home, const QStringList &args, const QString &killAt = {})
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), home);
    env.remove(QStringLiteral("VELMOR_KILL_AT"));
    if (!killAt.isEmpty())
        env.insert(QStringLiteral("VELMOR_KILL_AT"), killAt);
    p->setProcessEnvironment(env);
    p->start(velmorBinary(), args);
    return p;
}

struct Run {
    bool killed = false;
    int exitCode = -1;
    QString out, err;
};

Run finish(QProcess *p)
{
    Run r;
    if (!p->waitForFinished(120000)) {
        p->kill();
        p->waitForFinished();
    }
    r.killed = p->exitStatus() == QProcess::CrashExit;
    r.exitCode = r.killed ? -1 : p->exitCode();
    r.out = QString::fromUtf8(p->readAllStandardOutput());
    r.err = QString::fromUtf8(p->readAllStandardError());
    delete p;
    return r;
}

Run runVelmor(const QString &home, const QStringList &args, const QString &killAt = {})
{
    return finish(startVelmor(home, args, killAt));
}

const QStringList kStatus{QStringLiteral("db"), QStringLiteral("status")};

} // namespace

class TestKilledProcesses : public QObject {
    Q_OBJECT
private slots:
    void creationKilled_data();
    void creationKilled();
    void starterKilledWhileServerComesUp();
    void lastVelmorKilled();
};

void TestKilledProcesses::creationKilled_data()
{
    QTest::addColumn<int>("tablesMade"); // killed after this many tables
    QTest::addColumn<QString>("next");   // the command of the next start
    const int all = int(schema::finalTables().size());
    QTest::newRow("after the first table, then a start") << 1 << "status";
    QTest::newRow("half-way, then db upgrade") << all / 2 << "upgrade";
    QTest::newRow("after the last table, then a start") << all << "status";
}

void TestKilledProcesses::creationKilled()
{
    QFETCH(int, tablesMade);
    QFETCH(QString, next);
    QTemporaryDir home(QStringLiteral("/dev/shm/vk-XXXXXX"));
    QVERIFY(home.isValid());
    const QString data = home.path() + QStringLiteral("/mariadb/data");

    Run r = runVelmor(home.path(), kStatus, QStringLiteral("schema-table-created@%1").arg(tablesMade));
    QVERIFY2(r.killed, qPrintable(r.out + r.err));

    if (next == QLatin1String("upgrade")) {
        r = runVelmor(home.path(), {QStringLiteral("db"), QStringLiteral("upgrade")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
        QVERIFY2(!r.out.contains(QStringLiteral("refused:")), qPrintable(r.out));
    }
    r = runVelmor(home.path(), kStatus);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("Schema version: %1 (program %1)").arg(schema::kSchemaVersion)),
             qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("Tables: %1\n").arg(schema::finalTables().size())), qPrintable(r.out));

    // The server the killed one left running was stopped by the last one out.
    QTRY_COMPARE_WITH_TIMEOUT(serversOn(data), 0, 10000);
}

void TestKilledProcesses::starterKilledWhileServerComesUp()
{
    QTemporaryDir home(QStringLiteral("/dev/shm/vk-XXXXXX"));
    QVERIFY(home.isValid());
    const QString data = home.path() + QStringLiteral("/mariadb/data");
    // A first start that makes the data folder and the database.
    Run r = runVelmor(home.path(), kStatus);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QCOMPARE(serversOn(data), 0);

    for (int round = 0; round < 3; ++round) {
        // The starter dies right after launching the server; two more start
        // at once while it comes up.
        r = runVelmor(home.path(), kStatus, QStringLiteral("private-server-launched"));
        QVERIFY2(r.killed, qPrintable(r.out + r.err));
        QProcess *b = startVelmor(home.path(), kStatus);
        QProcess *c = startVelmor(home.path(), kStatus);
        int most = 0;
        QElapsedTimer clock;
        clock.start();
        while ((b->state() != QProcess::NotRunning || c->state() != QProcess::NotRunning) && clock.elapsed() < 60000) {
            most = qMax(most, serversOn(data));
            b->waitForFinished(20);
            c->waitForFinished(20);
        }
        const Run rb = finish(b);
        const Run rc = finish(c);
        QVERIFY2(rb.exitCode == 0, qPrintable(rb.out + rb.err));
        QVERIFY2(rc.exitCode == 0, qPrintable(rc.out + rc.err));
        QVERIFY2(most <= 1, qPrintable(QStringLiteral("round %1: %2 servers on one data folder").arg(round).arg(most)));
        // The last one out stopped the server, the one nobody leased included.
        QTRY_COMPARE_WITH_TIMEOUT(serversOn(data), 0, 10000);
    }
}

void TestKilledProcesses::lastVelmorKilled()
{
    QTemporaryDir home(QStringLiteral("/dev/shm/vk-XXXXXX"));
    QVERIFY(home.isValid());
    const QString data = home.path() + QStringLiteral("/mariadb/data");
    // The only Velmor dies holding its lease: nobody is left to stop the
    // server, so the watcher beside it does.
    Run r = runVelmor(home.path(), kStatus, QStringLiteral("private-server-leased"));
    QVERIFY2(r.killed, qPrintable(r.out + r.err));
    QCOMPARE(serversOn(data), 1);
    QTRY_COMPARE_WITH_TIMEOUT(serversOn(data), 0, 20000);
    // And the next start finds the data folder as it should.
    r = runVelmor(home.path(), kStatus);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QTRY_COMPARE_WITH_TIMEOUT(serversOn(data), 0, 10000);
}

QTEST_GUILESS_MAIN(TestKilledProcesses)
#include "tst_killedprocesses.moc"
