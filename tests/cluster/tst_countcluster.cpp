// A stock count on the three-node cluster: two workstations on two nodes
// scanning into one count, one killed half way and started again; and a
// workstation whose node goes away in the middle of its scans.
#include "../stones/CountStations.h"
#include "ClusterDb.h"
#include "db/Cluster.h"

#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace velmor;
using test::ClusterDb;

class TestCountCluster : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!ClusterDb::available())
            QSKIP("no cluster: run through ctest");
    }

    void twoWorkstationsOnTwoNodesOneKilled()
    {
        ClusterDb c;
        QTemporaryDir dir;
        test::twoStationsOneKilled(c.db(), c.node(1), c.node(2), Workstation(dir.path(), dir.path()));
    }

    // The workstation's node is killed while it scans: it carries on on
    // another node, and a scan whose commit was under way is sent again
    // with its token, so every scan is in the count once.
    void nodeKilledDuringScans()
    {
        ClusterDb c;
        QStringList values;
        constexpr int kStones = 120;
        for (int i = 0; i < kStones; ++i)
            values << QStringLiteral("('N-%1', 'Pear [PS]', 0.7, 4000, 'Stock', 0)").arg(i, 4, 10, QLatin1Char('0'));
        db::exec(c.db(), "INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, Status, Canadian) VALUES " +
                             values.join(", "));
        QList<qint64> ids;
        QSqlQuery q = db::exec(c.db(), "SELECT ID FROM SingleStone ORDER BY ID");
        while (q.next())
            ids << q.value(0).toLongLong();

        SilentPrompt prompt;
        QTemporaryDir dir;
        AppContext ws(Workstation(dir.path(), dir.path()), c.cluster(3), &prompt);
        ws.open();
        ws.user.ID = 8;
        ws.user.AllowEdit = true;
        const stones::CountOutcome count = stones::startCount(ws, "Node loss", {});
        QVERIFY2(count.ok, qPrintable(count.error));
        QString why;
        const auto desk = stones::joinCount(ws, count.id, "node 3", &why);
        QVERIFY2(desk, qPrintable(why));

        std::atomic<int> scanned{0};
        std::thread killer([&] {
            while (scanned.load() < 30)
                QThread::msleep(2);
            ClusterDb::nodeCommand("kill-node", 3);
        });
        QStringList failures;
        for (qint64 id : ids) {
            const stones::ScanOutcome o = stones::recordScan(
                ws, *desk, {stones::newScanToken(), QString::number(id) + "01", "serial", QDateTime::currentDateTime()});
            if (!o.written())
                failures << o.message;
            scanned.fetch_add(1);
        }
        killer.join();
        const bool restarted = ClusterDb::nodeCommand("start-node", 3);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
        QVERIFY(db::clusterInfo(ws.db()).node != QStringLiteral("127.0.0.1:%1").arg(ClusterDb::port(3)));
        const stones::CountFigures f = stones::countFigures(c.db(), count.id);
        QCOMPARE(f.found, kStones);
        QCOMPARE(f.scans, kStones);
        QCOMPARE(f.twice, 0);
        QVERIFY(restarted);
    }
};

QTEST_GUILESS_MAIN(TestCountCluster)
#include "tst_countcluster.moc"
