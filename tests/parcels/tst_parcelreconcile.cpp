// A thousand random movements of parcel carats (receive, memo out, return,
// sell, split) from two workstations at once; afterwards, for every parcel,
// on hand + on memo = received - sold - split off to the last 0.00001 ct,
// and the journal, the memo lines and the invoice lines explain every carat.
#include "ParcelTestEnv.h"
#include "WorkstationThread.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelSplit.h"

#include <QRandomGenerator>
#include <QTest>
#include <atomic>
#include <map>

using namespace velmor;
using namespace velmor::parcels;
using velmor::test::ParcelEnv;

namespace {

struct Tally {
    qint64 received = 0, splitIn = 0, splitOff = 0, sold = 0; // units of 0.00001 ct
};
using Tallies = std::map<qint64, Tally>;

// One workstation's share of the movements; what succeeded is tallied from
// the operations' own answers.
void movements(AppContext &ctx, int seed, int count, qint64 supplier, const QList<qint64> &customers, Tallies &t,
               QStringList &failures)
{
    QRandomGenerator rnd(seed);
    auto units = [&](qint64 max) { return qint64(rnd.bounded(int(max))) + 1; };
    auto text = [](qint64 u) { return Decimal5::fromUnits(u).toDb(); };
    auto parcelsNow = [&] {
        QList<qint64> ids;
        QSqlQuery q = db::exec(ctx.db(), "SELECT ID FROM parcel ORDER BY ID");
        while (q.next())
            ids << q.value(0).toLongLong();
        return ids;
    };
    for (int i = 0; i < count; ++i) {
        const QList<qint64> ids = parcelsNow();
        const qint64 p = ids.at(rnd.bounded(int(ids.size())));
        const int kind = rnd.bounded(100);
        Outcome o;
        if (kind < 20) {
            const qint64 u = units(500000);
            o = receiveStock(ctx, {p, supplier, text(u), "123.45"});
            if (o.result == Result::Done)
                t[p].received += u;
        } else if (kind < 55) {
            const qint64 c = customers.at(rnd.bounded(int(customers.size())));
            o = putOnMemo(ctx, {p, c, text(units(400000)), "250",
                                rnd.bounded(2) ? LineChoice::ExistingLine : LineChoice::NewLine});
        } else if (kind < 90) {
            // A parcel still out on some memo (now and then more than is out).
            QSqlQuery q = db::exec(ctx.db(),
                                   "SELECT memoparcelid, parcelid, CAST(SUM(carat) AS CHAR) FROM memoparcellist "
                                   "GROUP BY memoparcelid, parcelid HAVING SUM(carat) > 0 ORDER BY RAND(?) LIMIT 1",
                                   {seed * 7919 + i});
            if (!q.next())
                continue;
            const qint64 memo = q.value(0).toLongLong(), parcel = q.value(1).toLongLong();
            const qint64 out = Decimal5::fromDb(q.value(2)).units();
            const qint64 u = rnd.bounded(10) == 0 ? out + 1 : units(out);
            const bool sell = kind >= 75;
            o = sell ? sellFromMemo(ctx, memo, parcel, text(u)) : returnFromMemo(ctx, memo, parcel, text(u));
            if (o.result == Result::Done && sell)
                t[parcel].sold += u;
        } else {
            const qint64 u = units(300000);
            o = splitParcel(ctx, {p, QStringLiteral("S%1-%2").arg(seed).arg(i), text(u), "", ""});
            if (o.result == Result::Done) {
                t[p].splitOff += u;
                t[o.id].splitIn += u;
            }
        }
        if (o.result == Result::Failed)
            failures << o.message;
    }
}

} // namespace

class tst_parcelreconcile : public QObject {
    Q_OBJECT

private slots:
    void thousandMovementsReconcile()
    {
        ParcelEnv e;
        QList<qint64> customers;
        for (int i = 0; i < 3; ++i)
            customers << e.customer(QStringLiteral("Customer %1").arg(i));
        const qint64 supplier = e.customer("Supplier", true);
        for (int i = 0; i < 4; ++i)
            db::insert(e.t.db(), "INSERT INTO parcel (SKU, Carat) VALUES (?, 0)", {QStringLiteral("R-%1").arg(i)});

        Tallies mine, theirs;
        QStringList myFailures, theirFailures;
        {
            test::WorkstationThread other(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) {
                ctx.exchangeRateCDN = 1.3;
                ctx.exchangeRateZAR = 13;
                movements(ctx, 2, 500, supplier, customers, theirs, theirFailures);
            });
            movements(e.ctx, 1, 500, supplier, customers, mine, myFailures);
        }
        QVERIFY2(myFailures.isEmpty(), qPrintable(myFailures.join('\n')));
        QVERIFY2(theirFailures.isEmpty(), qPrintable(theirFailures.join('\n')));
        Tallies all = mine;
        for (const auto &[id, t] : theirs) {
            all[id].received += t.received;
            all[id].splitIn += t.splitIn;
            all[id].splitOff += t.splitOff;
            all[id].sold += t.sold;
        }

        auto units = [&](const QString &sql, qint64 id) { return Decimal5::fromDb(e.value(sql, {id})).units(); };
        QSqlQuery q = db::exec(e.t.db(), "SELECT ID FROM parcel");
        int parcels = 0;
        qint64 totalSold = 0;
        while (q.next()) {
            ++parcels;
            const qint64 id = q.value(0).toLongLong();
            const Tally t = all[id];
            const qint64 onHand = units("SELECT CAST(Carat AS CHAR) FROM parcel WHERE ID=?", id);
            const qint64 onMemo = units("SELECT CAST(SUM(carat) AS CHAR) FROM memoparcellist WHERE parcelid=?", id);
            const qint64 journal = units("SELECT CAST(SUM(Carat) AS CHAR) FROM parceladd WHERE parcelid=?", id);
            const qint64 sellLines =
                -units("SELECT CAST(SUM(carat) AS CHAR) FROM memoparcellist WHERE parcelid=? AND action='sell'", id);
            const qint64 invoiced = units("SELECT CAST(SUM(carat) AS CHAR) FROM invoicelist WHERE parcelid=?", id);
            const QString where = QStringLiteral("parcel %1").arg(id);
            QVERIFY2(onHand >= 0, qPrintable(where));
            QCOMPARE(onHand + onMemo, t.received + t.splitIn - t.sold - t.splitOff);
            QCOMPARE(journal, t.received + t.splitIn - t.splitOff);
            QCOMPARE(sellLines, t.sold);
            QCOMPARE(invoiced, t.sold);
            totalSold += t.sold;
        }
        // Nothing out on any memo below zero; the random walk did real work.
        QCOMPARE(e.count("SELECT COUNT(*) FROM (SELECT SUM(carat) s FROM memoparcellist "
                         "GROUP BY memoparcelid, parcelid HAVING s < 0) x"),
                 0);
        QVERIFY(parcels > 4);
        QVERIFY(totalSold > 0);
        QVERIFY(e.count("SELECT COUNT(*) FROM memoparcellist WHERE action='memo-return'") > 0);
        // Without a print, a memo is closed only when its carats net to zero.
        QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcel m WHERE IFNULL(m.closed,0)<>0 AND "
                         "(SELECT SUM(carat) FROM memoparcellist l WHERE l.memoparcelid=m.ID) <> 0"),
                 0);
    }

    // Two workstations take the last carats at the same moment: putting them
    // on memo, and selling what is out on a memo.  Exactly one succeeds.
    void lastCaratsOnce()
    {
        ParcelEnv e;
        const qint64 c = e.customer("Race");
        for (int round = 0; round < 10; ++round) {
            const qint64 p = e.parcel(QStringLiteral("LC-%1").arg(round), "1.5");
            std::atomic<int> theirs{-1};
            {
                test::WorkstationThread other(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) {
                    theirs = int(putOnMemo(ctx, {p, c, "1.5", "100", LineChoice::NewLine}).result);
                });
                const Result mine = putOnMemo(e.ctx, {p, c, "1.5", "100", LineChoice::NewLine}).result;
                other.join();
                QCOMPARE(int(mine == Result::Done) + int(theirs == int(Result::Done)), 1);
            }
            QCOMPARE(loadParcel(e.t.db(), p)->carat.toDb(), QStringLiteral("0.00000"));
            const qint64 memo = openParcelMemo(e.t.db(), c);
            {
                test::WorkstationThread other(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) {
                    theirs = int(sellFromMemo(ctx, memo, p, "1.5").result);
                });
                const Result mine = sellFromMemo(e.ctx, memo, p, "1.5").result;
                other.join();
                QCOMPARE(int(mine == Result::Done) + int(theirs == int(Result::Done)), 1);
            }
            QCOMPARE(e.text("SELECT CAST(SUM(carat) AS CHAR) FROM invoicelist WHERE parcelid=?", {p}),
                     QStringLiteral("1.50000"));
        }
    }
};

QTEST_GUILESS_MAIN(tst_parcelreconcile)
#include "tst_parcelreconcile.moc"
