// Reads on a connection of their own: only the newest question is answered,
// a superseded query is stopped on the server that runs it and on no other,
// and failures come back as failures.
#include "TestDb.h"
#include "db/BackgroundRead.h"
#include "db/Sql.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace velmor;
using velmor::test::TestDb;

class TestBackgroundRead : public QObject {
    Q_OBJECT
private slots:
    void onlyTheNewestIsAnswered();
    void failuresAreReported_data();
    void failuresAreReported();
    void stopsOnlyOnItsOwnServer();
};

namespace {
qint64 kills(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, "SHOW SESSION STATUS LIKE 'Com_kill'");
    return q.next() ? q.value(1).toLongLong() : -1;
}
} // namespace

void TestBackgroundRead::onlyTheNewestIsAnswered()
{
    TestDb t;
    db::BackgroundRead r(t.settings(), t.db());
    QSignalSpy done(&r, &db::BackgroundRead::done);
    QSignalSpy failed(&r, &db::BackgroundRead::failed);
    QElapsedTimer clock;
    clock.start();
    // A slow question, then two more before it is answered: the slow one is
    // stopped on the server, the middle one dropped unasked or stopped.
    r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT CONCAT('slow', SLEEP(20))"); });
    QTest::qWait(300);
    r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT CONCAT('middle', SLEEP(20))"); });
    const quint64 newest = r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT 'newest'"); });
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QCOMPARE(done.at(0).at(0).toULongLong(), newest);
    QCOMPARE(done.at(0).at(1).toString(), QString("newest"));
    QVERIFY2(clock.elapsed() < 15000, "the superseded queries were not stopped");
    QTest::qWait(200);
    QCOMPARE(done.size(), 1);
    QCOMPARE(failed.size(), 0);

    // The reader carries on with the same connection.
    r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT COUNT(*) FROM SingleStone"); });
    QTRY_COMPARE(done.size(), 2);
    QCOMPARE(done.at(1).at(1).toInt(), 0);

    // Cancelled: nothing comes.
    r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT CONCAT('late', SLEEP(20))"); });
    QTest::qWait(300);
    r.cancel();
    QTest::qWait(500);
    QCOMPARE(done.size(), 2);
    QCOMPARE(failed.size(), 0);
}

void TestBackgroundRead::failuresAreReported_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::newRow("a query the database refuses") << true;
    QTest::newRow("no connection to be had") << false;
}

void TestBackgroundRead::failuresAreReported()
{
    QFETCH(bool, reachable);
    TestDb t;
    db::ConnectionSettings s = t.settings();
    QTemporaryDir dir;
    if (!reachable)
        s.socket = dir.filePath("nowhere.sock");
    db::BackgroundRead r(s, t.db());
    QSignalSpy done(&r, &db::BackgroundRead::done);
    QSignalSpy failed(&r, &db::BackgroundRead::failed);
    r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT NoSuchColumn FROM SingleStone"); });
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(done.size(), 0);
    QCOMPARE(failed.at(0).at(2).toBool(), !reachable);
    QVERIFY(!failed.at(0).at(1).toString().isEmpty());
    if (reachable) {
        QVERIFY(failed.at(0).at(1).toString().contains("NoSuchColumn"));
        // the next question is answered again
        r.request([](const QSqlDatabase &d) { return db::scalar(d, "SELECT 7"); });
        QTRY_COMPARE(done.size(), 1);
        QCOMPARE(done.at(0).at(1).toInt(), 7);
    }
}

void TestBackgroundRead::stopsOnlyOnItsOwnServer()
{
    TestDb t;
    QSqlDatabase other = t.secondConnection();
    db::ServerThread reader = db::ServerThread::of(other);
    QVERIFY(reader.id > 0);
    QCOMPARE(reader.server, db::ServerThread::of(t.db()).server);
    const qint64 before = kills(t.db());
    // The same thread number on another server of a cluster is somebody
    // else's: nothing is stopped there.
    db::ServerThread elsewhere = reader;
    elsewhere.server += "-another-node";
    db::stopQuery(t.db(), elsewhere);
    QCOMPARE(kills(t.db()), before);
    db::stopQuery(t.db(), reader);
    QCOMPARE(kills(t.db()), before + 1);
    // the idle connection stopped nothing of its own
    QCOMPARE(db::scalar(other, "SELECT 1").toInt(), 1);
}

QTEST_GUILESS_MAIN(TestBackgroundRead)
#include "tst_backgroundread.moc"
