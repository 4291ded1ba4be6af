// The stone change log: snapshots, movement rows, first snapshots, the list
// of the change-log screen and its export.
#include "StoneTestEnv.h"
#include "stones/StoneChangeLog.h"

#include <QProcess>
#include <QtTest>

using namespace velmor;
using namespace velmor::stones;
using velmor::test::StoneEnv;

class TestStoneChangeLog : public QObject {
    Q_OBJECT
private slots:
    void snapshotCopiesTheStone();
    void snapshotOfMissingStone();
    void movementStatus_data();
    void movementStatus();
    void firstSnapshots();
    void grid_data();
    void grid();
    void pickerAndBasicView();
    void exportCsv();
    void commandLine();
};

void TestStoneChangeLog::snapshotCopiesTheStone()
{
    StoneEnv e;
    const qint64 supplier = e.customer("Supplier", true);
    const qint64 id = e.stone("K1");
    db::exec(e.t.db(), "UPDATE SingleStone SET Comment=?, ConsignmentInCustomerID=?, Canadian=-1, Dim1=6.5 WHERE ID=?",
             {QByteArray("a\xDA" "b"), supplier, id});
    SaveDeleteChangeStatus(e.ctx, "save", id);
    SaveDeleteChangeStatus(e.ctx, "delete", id);
    QSqlQuery q = db::exec(e.t.db(), "SELECT Status, SKU, Carat, Colour, Clarity, SellPriceUS, Comment, "
                                     "ConsignmentInCustomerID, Canadian, Dim1, EmployeeID, Date FROM StoneChange "
                                     "WHERE StoneID=? ORDER BY ID", {id});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("Stock"));
    QCOMPARE(q.value(1).toString(), QString("K1"));
    QCOMPARE(q.value(2).toDouble(), 1.01);
    QCOMPARE(q.value(3).toInt(), 20);
    QCOMPARE(q.value(4).toInt(), 40);
    QCOMPARE(q.value(5).toDouble(), 3535.0);
    QCOMPARE(q.value(6).toByteArray(), QByteArray("a\xDA" "b"));
    QCOMPARE(q.value(7).toLongLong(), supplier);
    QVERIFY(q.value(8).toInt() != 0);
    QCOMPARE(q.value(9).toDouble(), 6.5);
    QCOMPARE(q.value(10).toInt(), 7);
    QVERIFY(qAbs(q.value(11).toDateTime().secsTo(QDateTime::currentDateTime())) < 60);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("DEL"));
    QCOMPARE(q.value(1).toString(), QString("K1"));
}

void TestStoneChangeLog::snapshotOfMissingStone()
{
    StoneEnv e;
    SaveDeleteChangeStatus(e.ctx, "delete", 4242);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=4242 AND Status='DEL' AND SKU IS NULL AND "
                     "EmployeeID=7"),
             1);
}

void TestStoneChangeLog::movementStatus_data()
{
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("status");
    QTest::newRow("out short") << "out" << "Lumen" << "out Lumen";
    QTest::newRow("out cut") << "out" << "Northern Lights Jewellery" << "out Northern Lights ";
    QTest::newRow("in cut") << "in" << "Northern Lights Jewellery" << "in Northern Lights J";
    QTest::newRow("no company") << "in" << "" << "in ";
}

void TestStoneChangeLog::movementStatus()
{
    QFETCH(QString, direction);
    QFETCH(QString, company);
    QFETCH(QString, status);
    QCOMPARE(stones::movementStatus(direction, company), status);
    StoneEnv e;
    const qint64 c = e.customer(company);
    const qint64 id = e.stone("MV");
    writeMovement(e.ctx, id, direction, c);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=? AND SKU='MV' AND Status=? AND LockPercent=0 "
                     "AND Canadian=0 AND Carat IS NULL AND Shape IS NULL",
                     {id, status}),
             1);
}

void TestStoneChangeLog::firstSnapshots()
{
    StoneEnv e;
    const qint64 a = e.stone("F1"), b = e.stone("F2"), c = e.stone("F3");
    SaveDeleteChangeStatus(e.ctx, "save", b);
    // a log row without a stone number must not hide the others
    db::exec(e.t.db(), "INSERT INTO StoneChange (Status) VALUES ('stray')");
    QCOMPARE(writeFirstSnapshots(e.ctx), 2);
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID IN (?, ?, ?)", {a, b, c}), 3);
    QCOMPARE(writeFirstSnapshots(e.ctx), 0);
    QCOMPARE(e.prompt.texts(velmor::test::PromptEvent::Progress).first(),
             QString("Write Stones into StoneChange History for the first Time"));
    const qint64 d = e.stone("F4");
    e.prompt.clear();
    QCOMPARE(writeFirstSnapshotsLiteral(e.ctx), 1);
    QCOMPARE(e.prompt.texts(velmor::test::PromptEvent::Progress).last(),
             QString("Write Stones into StoneChange History for the first Time 1/1"));
    QCOMPARE(e.count("SELECT COUNT(*) FROM StoneChange WHERE StoneID=?", {d}), 1);
}

void TestStoneChangeLog::grid_data()
{
    QTest::addColumn<qint64>("stone");    // 0 all, 1 the stone saved thrice, 2 the stone logged once
    QTest::addColumn<bool>("range");
    QTest::addColumn<int>("fromDaysAgo");
    QTest::addColumn<int>("toDaysAgo");
    QTest::addColumn<QStringList>("rows"); // "SKU Status"
    QTest::newRow("all, no range") << qint64(0) << false << 0 << 0
                                   << QStringList{"A1 Stock", "A1 Memo", "A1 Sold"};
    QTest::newRow("one stone") << qint64(1) << false << 0 << 0 << QStringList{"A1 Stock", "A1 Memo", "A1 Sold"};
    QTest::newRow("stone logged once") << qint64(2) << false << 0 << 0 << QStringList{};
    QTest::newRow("range today") << qint64(0) << true << 0 << 0 << QStringList{"A1 Sold", "B1 Stock"};
    QTest::newRow("range yesterday") << qint64(0) << true << 1 << 1 << QStringList{"A1 Memo"};
    QTest::newRow("range three days") << qint64(0) << true << 2 << 0
                                      << QStringList{"A1 Memo", "A1 Sold", "B1 Stock"};
    QTest::newRow("range before") << qint64(0) << true << 9 << 6 << QStringList{};
}

void TestStoneChangeLog::grid()
{
    QFETCH(qint64, stone);
    QFETCH(bool, range);
    QFETCH(int, fromDaysAgo);
    QFETCH(int, toDaysAgo);
    QFETCH(QStringList, rows);
    StoneEnv e;
    const qint64 a = e.stone("A1"), b = e.stone("B1");
    e.stone("C1"); // never logged
    const QDateTime now = QDateTime::currentDateTime();
    auto log = [&](qint64 id, const QString &status, const QDateTime &when) {
        db::exec(e.t.db(), "UPDATE SingleStone SET Status=? WHERE ID=?", {status, id});
        SaveDeleteChangeStatus(e.ctx, "save", id);
        db::exec(e.t.db(), "UPDATE StoneChange SET Date=? WHERE ID=LAST_INSERT_ID()", {when});
    };
    log(a, "Stock", now.addDays(-5));
    log(a, "Memo", now.addDays(-1));
    log(a, "Sold", QDateTime(QDate::currentDate(), QTime(0, 0, 1)));
    log(b, "Stock", QDateTime(QDate::currentDate(), QTime(0, 0, 2)));
    db::exec(e.t.db(), "INSERT INTO StoneChange (StoneID, SKU, Status, Date) VALUES (?, '', 'blank', NOW())", {b});
    ChangeLogFilter f;
    f.stoneId = stone == 1 ? a : stone == 2 ? b : 0;
    f.dateRange = range;
    f.from = QDate::currentDate().addDays(-fromDaysAgo);
    f.to = QDate::currentDate().addDays(-toDaysAgo);
    const ChangeLogGrid g = loadChangeLog(e.ctx, f);
    QStringList got;
    for (const QStringList &r : g.rows)
        got << r.at(2) + " " + r.at(3);
    QCOMPARE(got, rows);
    QCOMPARE(g.headers.size(), 42);
    QCOMPARE(g.widths.size(), 42);
    if (!g.rows.isEmpty()) {
        QCOMPARE(g.rows.first().size(), 42);
        QCOMPARE(g.rows.first().at(4), QString("GIA CA1"));
        QCOMPARE(g.rows.first().at(6), QString("1.01"));
        QCOMPARE(g.rows.first().at(7), QString("E"));
        QCOMPARE(g.rows.first().at(8), QString("VS1"));
    }
}

void TestStoneChangeLog::pickerAndBasicView()
{
    StoneEnv e;
    const qint64 id = e.stone("P1");
    const QStringList entries = stonePickerEntries(e.ctx);
    QCOMPARE(entries.first(), QString("All - complete Report"));
    QCOMPARE(entries.at(1), QString("P1      | 1.01ct.      | Stock    ID#%1").arg(id));
    QCOMPARE(stoneIdOfPickerEntry(entries.at(1)), id);
    QCOMPARE(stoneIdOfPickerEntry(entries.first()), qint64(0));
    const QList<int> hidden = basicViewHiddenColumns();
    QCOMPARE(42 - hidden.size(), 12);
    QCOMPARE(hidden.first(), 11);
    QVERIFY(!hidden.contains(41)); // "Cdn" stays
}

void TestStoneChangeLog::exportCsv()
{
    QTemporaryDir dir;
    ChangeLogGrid g;
    g.rows << QStringList{"Ann Lee", "Mar 01, 2026 10:00:00", "A1", "Stock"} << QStringList{"", "x", "A1", "Sold"}
           << QStringList{"Bo", "y", "A2", "Comment with \"eye clean\"\r\nand a second line"};
    // The name as given: the screen's dialog adds ".csv", the writer does not.
    const QString name = exportChangeLog(g, dir.filePath("log"));
    QCOMPARE(name, dir.filePath("log"));
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    // Dates carry a comma and comments quotes and line breaks: such cells are
    // quoted so that every row keeps its columns.
    QCOMPARE(QString::fromUtf8(f.readAll()),
             QString("Ann Lee,\"Mar 01, 2026 10:00:00\",A1,Stock\n,x,A1,Sold\n"
                     "Bo,y,A2,\"Comment with \"\"eye clean\"\"\r\nand a second line\"\n"));
    QCOMPARE(exportChangeLog(g, dir.filePath("again.CSV")), dir.filePath("again.CSV"));
    QString why;
    QVERIFY(exportChangeLog(g, dir.filePath("missing/folder/x.csv"), &why).isEmpty());
    QVERIFY(!why.isEmpty());
    QVERIFY(exportChangeLog(g, dir.path(), &why).isEmpty());
    QCOMPARE(why, QString("it is a folder"));

    // Cells a spreadsheet would run as formulas are text; numbers stay numbers.
    ChangeLogGrid hostile;
    hostile.rows << QStringList{"=HYPERLINK(\"http://x\")", "+1 555 0100", "-12.50", "@SUM(A1)", " =1+1", "-", "2.5"};
    QCOMPARE(exportChangeLog(hostile, dir.filePath("hostile.csv")), dir.filePath("hostile.csv"));
    QFile h(dir.filePath("hostile.csv"));
    QVERIFY(h.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(h.readAll()),
             QString("\"'=HYPERLINK(\"\"http://x\"\")\",'+1 555 0100,-12.50,'@SUM(A1),' =1+1,'-,2.5\n"));
}

void TestStoneChangeLog::commandLine()
{
    StoneEnv e;
    const qint64 a = e.stone("A1"), b = e.stone("B1");
    for (int i = 0; i < 2; ++i) {
        SaveDeleteChangeStatus(e.ctx, "save", a);
        SaveDeleteChangeStatus(e.ctx, "save", b);
    }
    QFile ini(e.dir.filePath("database.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                  .arg(velmor::test::TestDb::socketPath(), e.t.name())
                  .toUtf8());
    ini.close();
    auto run = [&](const QStringList &args, QString *err) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMOR_HOME", e.dir.path());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), QStringList{"stones", "changelog"} + args);
        p.waitForFinished(60000);
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    auto rows = [&](const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).count('\n') : -1;
    };
    QString err;
    const QString out = e.dir.filePath("log");
    QCOMPARE(run({"--stone", QString::number(a), out}, &err), 0);
    QCOMPARE(rows(out), 2); // the one stone's rows only, in the file as named
    QVERIFY(!QFile::exists(out + ".csv"));
    // "abc" is no stone: refused, not every stone's log.
    QFile::remove(out);
    for (const QString &bad : {QString("abc"), QString("0"), QString("-4"), QString("1.5")}) {
        QCOMPARE(run({"--stone", bad, out}, &err), 2);
        QVERIFY2(err.contains("--stone takes a stone's ID") && err.contains("\"" + bad + "\""), qPrintable(err));
    }
    QCOMPARE(run({"--from", "2026-02-30", "--to", "2026-03-01", out}, &err), 2);
    QVERIFY2(err.contains("--from takes a date") && err.contains("\"2026-02-30\""), qPrintable(err));
    QCOMPARE(run({"--from", "2026-03-01", out}, &err), 2);
    QVERIFY2(err.contains("both --from and --to"), qPrintable(err));
    QCOMPARE(run({out, "--stone"}, &err), 2);
    QVERIFY2(err.contains("--stone needs a value"), qPrintable(err));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestStoneChangeLog)
#include "tst_stonechangelog.moc"
