// The stock count on the dealer's inventory: every stone of the size in the
// safe (all set in stock for the scenario), 10,000 labels scanned into the
// count one by one (each scan's round trip timed, its median noted), then
// the closing with its report.  Floors: a scan's rows written bare (the
// stone read by key, the scan row inserted, the expected row marked, no
// transaction); the report's rows read bare.
#include "Scenarios.h"

#include "db/Sql.h"
#include "stones/StockCount.h"
#include "stones/StockCountReport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlQuery>

#include <algorithm>

namespace velmor::bench {

namespace {

const QStringList kCountTables = {QStringLiteral("SingleStone"), QStringLiteral("stockcount"),
                                  QStringLiteral("stockcountstone"), QStringLiteral("stockcountscan"),
                                  QStringLiteral("stockcountparcel"), QStringLiteral("stockcountdesk")};

double medianOf(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v.at(v.size() / 2) : (v.at(v.size() / 2 - 1) + v.at(v.size() / 2)) / 2;
}

double percentile(QList<double> v, double p)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(std::min<qsizetype>(v.size() - 1, qsizetype(p * double(v.size()))));
}

} // namespace

void runCountScenarios(SizeEnv &env)
{
    const QString scanName = QStringLiteral("stock count: scan (per scan)");
    const QString closeName = QStringLiteral("stock count: closing with its report");
    if (!env.bench.wants(scanName) && !env.bench.wants(closeName))
        return;
    BenchContext ctx(env);
    const QSqlDatabase db = env.workDb();
    env.restoreWork(kCountTables);
    // Every stone of the inventory in the safe.
    db::exec(db, QStringLiteral("UPDATE SingleStone SET Status = 'Stock'"));
    const int scans = std::min(10000, env.size);
    QList<qint64> ids;
    {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone ORDER BY ID"));
        while (q.next())
            ids << q.value(0).toLongLong();
    }
    QRandomGenerator dice(env.bench.options().seed);
    std::shuffle(ids.begin(), ids.end(), dice);
    const QList<qint64> scanned = ids.mid(0, scans);

    qint64 countId = 0;
    stones::Desk desk;
    auto newCount = [&] {
        const stones::CountOutcome c = stones::startCount(*ctx, QStringLiteral("Bench"), {});
        if (!c.ok)
            throw db::DbError(QStringLiteral("the count could not be started: ") + c.error);
        countId = c.id;
        QString why;
        const auto d = stones::joinCount(*ctx, countId, QStringLiteral("bench"), &why);
        if (!d)
            throw db::DbError(QStringLiteral("the count could not be joined: ") + why);
        desk = *d;
    };
    QList<double> each;
    if (env.bench.wants(scanName)) {
        env.bench.measure(
            scanName, env.size,
            {Road{QStringLiteral("velmor"), newCount,
                  [&] {
                      QElapsedTimer t;
                      for (qint64 id : scanned) {
                          t.start();
                          const stones::ScanOutcome o = stones::recordScan(
                              *ctx, desk,
                              {stones::newScanToken(), QString::number(id) + QStringLiteral("01"), QStringLiteral("serial"),
                               QDateTime::currentDateTime()});
                          each << double(t.nsecsElapsed()) / 1e9;
                          if (o.state != stones::ScanOutcome::Written || o.result != stones::ScanResult::Found)
                              throw db::DbError(QStringLiteral("scan not found: ") + o.message);
                      }
                  },
                  false, scans},
             Road{QStringLiteral("floor"), newCount,
                  [&] {
                      for (qint64 id : scanned) {
                          QSqlQuery s = db::exec(db, QStringLiteral("SELECT ID, SKU, Status, Location FROM SingleStone "
                                                                    "WHERE ID = ?"),
                                                 {id});
                          s.next();
                          const qint64 scan = db::insert(
                              db,
                              QStringLiteral("INSERT INTO stockcountscan (CountID, Token, Code, StoneID, Result, "
                                             "WrittenAt) VALUES (?, UUID(), ?, ?, 'found', NOW())"),
                              {countId, QString::number(id) + QStringLiteral("01"), id});
                          db::exec(db, QStringLiteral("UPDATE stockcountstone SET ScanID = ? WHERE CountID = ? AND "
                                                      "StoneID = ?"),
                                   {scan, countId, id});
                      }
                  },
                  false, scans}});
        env.bench.addNote(scanName, env.size, QStringLiteral("velmor"),
                          QStringLiteral("a count of %1 stones; per scan median %2, 95th percentile %3 (%4 scans)")
                              .arg(ids.size())
                              .arg(formatSeconds(medianOf(each)), formatSeconds(percentile(each, 0.95)))
                              .arg(each.size()));
    }

    if (env.bench.wants(closeName)) {
        // An open count with its scans made set-based (what `scans` scans
        // leave behind), closed and reported each run.
        auto scannedCount = [&] {
            newCount();
            QStringList in;
            for (qint64 id : scanned)
                in << QString::number(id);
            db::exec(db,
                     QStringLiteral("INSERT INTO stockcountscan (CountID, DeskID, Token, Code, StoneID, Result, Source, "
                                    "ScannedAt, WrittenAt, UserID) SELECT ?, ?, UUID(), CONCAT(ID, '01'), ID, 'found', "
                                    "'serial', NOW(), NOW(), ? FROM SingleStone WHERE ID IN (%1)")
                         .arg(in.join(QLatin1Char(','))),
                     {countId, desk.id, ctx->user.ID});
            db::exec(db, QStringLiteral("UPDATE stockcountstone c JOIN stockcountscan x ON x.CountID = c.CountID AND "
                                        "x.StoneID = c.StoneID SET c.ScanID = x.ID WHERE c.CountID = ?"),
                     {countId});
        };
        int missing = 0;
        QList<double> closing, reading;
        env.bench.measure(
            closeName, env.size,
            {Road{QStringLiteral("velmor"), scannedCount,
                  [&] {
                      QElapsedTimer t;
                      t.start();
                      const stones::CountOutcome c = stones::closeCount(*ctx, countId);
                      if (!c.ok)
                          throw db::DbError(QStringLiteral("not closed: ") + c.error);
                      closing << double(t.nsecsElapsed()) / 1e9;
                      t.start();
                      missing = int(stones::countReport(*ctx, countId).missing.size());
                      reading << double(t.nsecsElapsed()) / 1e9;
                  }},
             Road{QStringLiteral("floor"), scannedCount, [&] {
                      QSqlQuery q = db::exec(db,
                                             QStringLiteral("SELECT c.StoneID, s.SKU, s.Shape, s.Carat, s.Location, "
                                                            "s.RapaportPrice, s.BoughtPriceUS FROM stockcountstone c "
                                                            "JOIN SingleStone s ON s.ID = c.StoneID WHERE c.CountID = ? "
                                                            "AND c.ScanID IS NULL"),
                                             {countId});
                      while (q.next()) {
                      }
                  }}});
        env.bench.addNote(closeName, env.size, QStringLiteral("velmor"),
                          QStringLiteral("%1 stones missing listed (all those not scanned); the closing %2, the "
                                         "report %3 (medians)")
                              .arg(missing)
                              .arg(formatSeconds(medianOf(closing)), formatSeconds(medianOf(reading))));
    }
    env.restoreWork(kCountTables);
}

} // namespace velmor::bench
