// Parcels on a parcel stock of their own (5,000 parcels with 200,000
// journal rows and 50,000 parcel memo lines): loading a parcel with its last
// cost, average cost and carats on memo; the parcel search after each
// keystroke of a weight; putting carats on memo.
#include "Scenarios.h"

#include "db/Schema.h"
#include "db/Sql.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelRecord.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStandardItemModel>

#include <algorithm>

namespace velmor::bench {

namespace {

void insertRows(const QSqlDatabase &db, const QString &head, const QStringList &rows)
{
    for (int i = 0; i < rows.size(); i += 2000)
        db::exec(db, head + rows.mid(i, 2000).join(QLatin1Char(',')));
}

struct ParcelData {
    int parcels = 0, journal = 0, memoLines = 0;
};

ParcelData fillParcels(const QSqlDatabase &db, bool large, quint32 seed)
{
    QRandomGenerator r(seed);
    ParcelData d;
    d.parcels = large ? 5000 : 200;
    d.journal = large ? 200000 : 4000;
    d.memoLines = large ? 50000 : 1000;
    const int customers = large ? 500 : 20, memos = large ? 5000 : 100;
    QStringList rows;
    for (int i = 1; i <= customers; ++i)
        rows << QStringLiteral("(%1, 'Customer %1', %2, %3)").arg(i).arg(i % 10 == 0 ? 0 : -1).arg(i % 10 == 0 ? -1 : 0);
    insertRows(db, QStringLiteral("INSERT INTO Customer (ID, CompanyName, Customer, Supplier) VALUES "), rows);
    rows.clear();
    for (int i = 1; i <= d.parcels; ++i) {
        const int low = r.bounded(1, 100);
        rows << QStringLiteral("(%1, 'P%2', 'Round Brilliant [BR]', 90000, %3, %4, %5, %6, %7, %8, %9, NOW())")
                    .arg(i)
                    .arg(i, 5, 10, QLatin1Char('0'))
                    .arg(low / 100.0, 0, 'f', 2)
                    .arg((low + r.bounded(1, 50)) / 100.0, 0, 'f', 2)
                    .arg(r.bounded(1, 8) * 10)
                    .arg(r.bounded(8, 15) * 10)
                    .arg(r.bounded(1, 6) * 10)
                    .arg(r.bounded(6, 12) * 10)
                    .arg(r.bounded(100, 3000));
    }
    insertRows(db, QStringLiteral("INSERT INTO parcel (ID, SKU, Shape, Carat, CaratLow, CaratHigh, ColourLow, "
                                  "ColourHigh, ClarityLow, ClarityHigh, SellPerCarat, datecreated) VALUES "),
               rows);
    rows.clear();
    for (int i = 0; i < d.journal; ++i)
        rows << QStringLiteral("(%1, %2, 1, %3, %4, NOW() - INTERVAL %5 MINUTE)")
                    .arg(r.bounded(1, d.parcels + 1))
                    .arg(r.bounded(1, 5000) / 100.0, 0, 'f', 2)
                    .arg(customers - r.bounded(customers / 10) * 10)
                    .arg(r.bounded(50, 2000))
                    .arg(r.bounded(1000000));
    insertRows(db, QStringLiteral("INSERT INTO parceladd (parcelid, Carat, userid, supplierid, costusct, date) VALUES "),
               rows);
    rows.clear();
    for (int i = 1; i <= memos; ++i)
        rows << QStringLiteral("(%1, NOW(), %2, %3)").arg(i).arg(r.bounded(1, customers + 1)).arg(i % 3 ? -1 : 0);
    insertRows(db, QStringLiteral("INSERT INTO memoparcel (ID, Date, CustomerID, closed) VALUES "), rows);
    rows.clear();
    for (int i = 0; i < d.memoLines; ++i)
        rows << QStringLiteral("(%1, %2, %3, 'memo-out', 500, 1.25, 10, NOW())")
                    .arg(r.bounded(1, memos + 1))
                    .arg(r.bounded(1, d.parcels + 1))
                    .arg(r.bounded(1, 300) / 100.0, 0, 'f', 2);
    insertRows(db, QStringLiteral("INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, pricecarat, "
                                  "exchangerateCDN, exchangerateZAR, date) VALUES "),
               rows);
    return d;
}

// The grid the parcel screen fills.
int fillGrid(const QList<parcels::ParcelHit> &hits)
{
    QStandardItemModel model(int(hits.size()), 10);
    for (int r = 0; r < hits.size(); ++r) {
        const parcels::ParcelHit &h = hits.at(r);
        const QStringList cells = {h.sku,       h.onHand,     h.shape,      h.caratLow,    h.caratHigh,
                                   h.colourLow, h.colourHigh, h.clarityLow, h.clarityHigh, QString::number(h.id)};
        for (int c = 0; c < cells.size(); ++c)
            model.setItem(r, c, new QStandardItem(cells.at(c)));
    }
    return model.rowCount();
}

// The load as first written: the row by a spliced ID, then the three derived
// figures, each its own spliced query.
void literalLoad(const QSqlDatabase &db, qint64 id)
{
    const QString n = QString::number(id);
    db::exec(db, QStringLiteral("SELECT * FROM parcel WHERE id=") + n);
    const QString cond = QStringLiteral(" parcelid=") + n
                         + QStringLiteral(" AND costusct<>0 AND NOT ISNULL(costusct) AND carat<>0 AND NOT ISNULL(carat)");
    db::exec(db, QStringLiteral("SELECT * FROM parceladd LEFT JOIN customer ON parceladd.supplierid=customer.id WHERE")
                     + cond + QStringLiteral(" ORDER BY date DESC"));
    db::exec(db, QStringLiteral("SELECT SUM(costusct*Carat)/SUM(Carat) AS avr FROM parceladd WHERE") + cond);
    db::exec(db, QStringLiteral("SELECT SUM(carat) as summe FROM memoparcellist WHERE parcelid=") + n);
}

} // namespace

void runParcelScenarios(SizeEnv &env)
{
    const QList<int> &sizes = env.bench.options().sizes;
    if (env.size != *std::max_element(sizes.begin(), sizes.end()))
        return;
    const QString load = QStringLiteral("parcel load (per parcel)");
    const QString search = QStringLiteral("parcel search (per keystroke)");
    const QString memo = QStringLiteral("parcel put on memo (per movement)");
    if (!env.bench.wants(load) && !env.bench.wants(search) && !env.bench.wants(memo))
        return;
    const QString name = QStringLiteral("bench_parcels");
    QSqlDatabase db = env.server.connect(name, true);
    db::schema::createNewDatabase(db);
    const ParcelData data = fillParcels(db, env.size >= 1000, env.bench.options().seed);
    const int count = data.parcels;

    RecordingPrompt prompt;
    AppContext ctx(Workstation(env.folder, env.folder), env.server.settings(name), &prompt);
    ctx.adopt(db);

    QList<qint64> ids;
    QRandomGenerator r(env.bench.options().seed + 11);
    for (int i = 0; i < 50; ++i)
        ids << r.bounded(1, count + 1);
    auto pkSelect = [&] {
        for (qint64 id : ids)
            db::exec(db, QStringLiteral("SELECT * FROM parcel WHERE ID=?"), {id});
    };
    if (env.bench.wants(load)) {
        env.bench.measure(load, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    for (qint64 id : ids) {
                                        parcels::loadParcel(db, id);
                                        parcels::parcelFigures(db, id);
                                    }
                                },
                                false, int(ids.size())},
                           Road{QStringLiteral("literal"), {},
                                [&] {
                                    for (qint64 id : ids)
                                        literalLoad(db, id);
                                },
                                false, int(ids.size())},
                           Road{QStringLiteral("floor"), {}, pkSelect, false, int(ids.size())}});
    }
    if (env.bench.wants(search)) {
        const QStringList keys = {QStringLiteral("0"), QStringLiteral("0."), QStringLiteral("0.1"),
                                  QStringLiteral("0.15")};
        env.bench.measure(search, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    for (const QString &k : keys) {
                                        parcels::ParcelSearch s;
                                        s.weight = k;
                                        s.colour = 40;
                                        fillGrid(parcels::searchParcels(db, s));
                                    }
                                },
                                false, int(keys.size())},
                           Road{QStringLiteral("floor"), {},
                                [&] {
                                    for (const QString &k : keys)
                                        db::exec(db,
                                                 QStringLiteral("SELECT ID FROM parcel WHERE (CaratLow <= ? AND "
                                                                "CaratHigh >= ?) AND (ColourLow <= 40 AND ColourHigh >= 40)"),
                                                 {k, k});
                                },
                                false, int(keys.size())}});
    }
    if (env.bench.wants(memo)) {
        env.bench.measure(memo, count,
                          {Road{QStringLiteral("velmor"), {},
                                [&] {
                                    for (qint64 id : ids)
                                        parcels::putOnMemo(ctx, {id, 1 + (id % 9), QStringLiteral("0.25"),
                                                                 QStringLiteral("500"), parcels::LineChoice::ExistingLine});
                                },
                                false, int(ids.size())},
                           Road{QStringLiteral("floor"), {},
                                [&] {
                                    for (qint64 id : ids)
                                        db::exec(db, QStringLiteral("UPDATE parcel SET Carat = Carat - 0.25 WHERE ID = ?"),
                                                 {id});
                                },
                                false, int(ids.size())}});
    }
    if (!env.bench.options().keep)
        env.server.drop(name);
}

} // namespace velmor::bench
