#include "stones/StoneRepair.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "db/RepairMarks.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "pricing/SellingPrice.h"
#include "stones/PricingBridge.h"
#include "stones/StoneChangeLog.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSet>
#include <functional>

namespace velmor::stones {

namespace {

int drawRnd() { return int(QRandomGenerator::global()->generateDouble() * 1000000.0) + 1; }

// Runs one step; a database error is noted and the next step runs.
void step(RepairReport &rep, const QString &name, const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const db::DbError &e) {
        rep.failedSteps << name + QStringLiteral(": ") + e.message();
    }
}

// The IDs a query returns.
QList<qint64> ids(AppContext &ctx, const QString &sql)
{
    QList<qint64> out;
    QSqlQuery q = db::exec(ctx.db(), sql);
    while (q.next())
        out << q.value(0).toLongLong();
    return out;
}

// Walks rows one at a time; a failing row is skipped.
void eachRow(AppContext &ctx, const QString &sql, const std::function<void(const db::Row &)> &fn)
{
    QList<db::Row> rows;
    {
        QSqlQuery q = db::exec(ctx.db(), sql);
        while (q.next())
            rows << db::Row(q.record());
    }
    for (const db::Row &r : rows) {
        try {
            fn(r);
        } catch (const db::DbError &) {
        }
    }
}

QVariant nullDouble() { return QVariant(QMetaType::fromType<double>()); }

// Step 13's stones of one tier, at most kTierFillLimit a run.  Only stones
// that have the tier's discount are taken: a stone without it gets no price,
// and fifty such stones would otherwise hold the step up for good.
const char *kTierSelect =
    "SELECT * FROM singlestone WHERE LockPercent<>0 AND SellPriceUS%1 IS NULL AND Carat IS NOT NULL "
    "AND RapaportPrice IS NOT NULL AND SellOffRap%1 IS NOT NULL ORDER BY ID LIMIT %2";

// Steps 7 and 8, shared by both variants (one row of Config).
void configSteps(AppContext &ctx, RepairReport &rep)
{
    Prompt &p = ctx.prompt();
    step(rep, QStringLiteral("7"), [&] {
        p.progress(QStringLiteral("RoundStone Name"));
        const QVariant v = db::scalar(ctx.db(), QStringLiteral("SELECT RoundStoneName FROM Config ORDER BY ID LIMIT 1"));
        if (v.isValid() && !v.isNull())
            pricing_bridge::setRoundStoneName(ctx, v.toString());
    });
    struct Pair {
        const char *text, *a, *b, *set;
    };
    const Pair pairs[] = {
        {"Setting Default to Buy Currency Settings", "BuyUS", "BuyLocal", "BuyUS"},
        {"Setting Default to Sell Currency Settings", "SellUS", "SellLocal", "SellLocal"},
        {"Setting Default to Rap Sell Settings", "SellOffRap", "SellFixedValue", "SellFixedValue"},
        {"Setting Default to Lock/Float Settings", "LockMemo", "FloatValue", "FloatValue"},
    };
    for (const Pair &pr : pairs) {
        step(rep, QStringLiteral("8 ") + QLatin1String(pr.set), [&] {
            p.progress(QString::fromLatin1(pr.text));
            // Null counts as not set: a new database has both flags Null.
            db::exec(ctx.db(), QStringLiteral("UPDATE Config SET %1=-1 WHERE IFNULL(%2, 0)=0 AND IFNULL(%3, 0)=0")
                                   .arg(QLatin1String(pr.set), QLatin1String(pr.a), QLatin1String(pr.b)));
        });
    }
}

void parcelMemoRates(AppContext &ctx)
{
    // Only a known rate fills a line; an unknown one leaves it Null.
    if (rateKnown(ctx.exchangeRateCDN))
        db::exec(ctx.db(), QStringLiteral("UPDATE memoparcellist SET exchangerateCDN=? WHERE exchangerateCDN IS NULL"),
                 {rateValue(ctx.exchangeRateCDN)});
    if (rateKnown(ctx.exchangeRateZAR))
        db::exec(ctx.db(), QStringLiteral("UPDATE memoparcellist SET exchangerateZAR=? WHERE exchangerateZAR IS NULL"),
                 {rateValue(ctx.exchangeRateZAR)});
    // A line without its price per carat gets its parcel's selling price per
    // carat (a line whose parcel has none keeps its Null).
    db::exec(ctx.db(), QStringLiteral("UPDATE memoparcellist m INNER JOIN parcel p ON p.ID = m.parcelid "
                                      "SET m.pricecarat = p.SellPerCarat "
                                      "WHERE m.pricecarat IS NULL AND p.SellPerCarat IS NOT NULL"));
}

// The same, line by line.
void parcelMemoRatesLiteral(AppContext &ctx)
{
    const QSqlDatabase db = ctx.db();
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT m.ID, m.exchangerateCDN IS NULL, m.exchangerateZAR IS NULL, "
                                              "m.pricecarat IS NULL, p.SellPerCarat FROM memoparcellist m "
                                              "LEFT JOIN parcel p ON p.ID = m.parcelid ORDER BY m.ID"));
    struct Line {
        qint64 id;
        bool cdn, zar, price;
        QVariant sell;
    };
    QList<Line> lines;
    while (q.next())
        lines.append({q.value(0).toLongLong(), q.value(1).toInt() != 0, q.value(2).toInt() != 0,
                      q.value(3).toInt() != 0, q.value(4)});
    for (const Line &l : lines) {
        if (l.cdn && rateKnown(ctx.exchangeRateCDN))
            db::exec(db, QStringLiteral("UPDATE memoparcellist SET exchangerateCDN=? WHERE ID=?"),
                     {rateValue(ctx.exchangeRateCDN), l.id});
        if (l.zar && rateKnown(ctx.exchangeRateZAR))
            db::exec(db, QStringLiteral("UPDATE memoparcellist SET exchangerateZAR=? WHERE ID=?"),
                     {rateValue(ctx.exchangeRateZAR), l.id});
        if (l.price && !l.sell.isNull())
            db::exec(db, QStringLiteral("UPDATE memoparcellist SET pricecarat=? WHERE ID=?"), {l.sell, l.id});
    }
}

} // namespace

namespace {

using db::schema::kHistoryDueBit;
using db::schema::RepairCondition;
using db::schema::stoneRepairConditions;

QString stoneWhere(const char *name) { return db::schema::stoneRepairWhere(name); }

int stepBit(const char *name)
{
    for (const RepairCondition &c : stoneRepairConditions())
        if (qstrcmp(c.step, name) == 0)
            return c.bit;
    return 0;
}

// The steps that have stones to work on.  Through the RepairDue index when
// the database has it (a few index entries on a repaired database); else one
// reading pass over the stock.  All bits when the look-up failed.
struct Pending {
    bool marked = false; // RepairDue is there: statements reach their rows through it
    int bits = ~0;
};

// The RepairDue values that have a step's bit.  On a database whose stones
// are not yet marked as having history, nearly every stone has the history
// bit alone: the other steps' ranges leave those out.
QString dueRange(int bit)
{
    if (bit == kHistoryDueBit)
        return QStringLiteral("RepairDue >= %1").arg(kHistoryDueBit);
    return QStringLiteral("(RepairDue BETWEEN %1 AND %2 OR RepairDue >= %3)")
        .arg(bit)
        .arg(kHistoryDueBit - 1)
        .arg(kHistoryDueBit + bit);
}

Pending pendingStoneSteps(const QSqlDatabase &db)
{
    Pending p;
    try {
        p.bits = int(db::numOf(db::scalar(
            db, QStringLiteral("SELECT IFNULL((SELECT BIT_OR(RepairDue) FROM singlestone WHERE %1), 0) "
                               "| IF(EXISTS(SELECT 1 FROM singlestone WHERE %2), %3, 0)")
                    .arg(dueRange(1), dueRange(kHistoryDueBit))
                    .arg(kHistoryDueBit))));
        p.marked = true;
        return p;
    } catch (const db::DbError &) {
        // An older database without the marks.
    }
    try {
        QStringList sums;
        for (const RepairCondition &c : stoneRepairConditions())
            if (c.bit != kHistoryDueBit)
                sums << QStringLiteral("MAX(IF(%1, %2, 0))").arg(QLatin1String(c.where)).arg(c.bit);
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT ") + sums.join(QStringLiteral(" + "))
                                       + QStringLiteral(" FROM singlestone"));
        if (q.next())
            p.bits = int(db::numOf(q.value(0))) | kHistoryDueBit;
    } catch (const db::DbError &) {
    }
    return p;
}

} // namespace

RepairReport repairOnOpen(AppContext &ctx)
{
    RepairReport rep;
    Prompt &p = ctx.prompt();
    const QSqlDatabase db = ctx.db();
    // The one selling-price rule (pricing/SellingPrice.h), on the server.
    const int priceStep = pricing::sellingPriceStep(ctx.settings);
    auto sellPrice = [priceStep](const QString &discount) {
        return pricing::sellPerStoneSql(QStringLiteral("RapaportPrice"), discount, QStringLiteral("Carat"), priceStep);
    };
    // Statements that find nothing still cost a locking pass over the whole
    // table; the look-up first tells which steps have rows.  A step that
    // changed stones may have made rows for the later ones: look again.
    Pending pending = pendingStoneSteps(db);
    // Where the marks are, every statement reaches its rows through them.
    auto among = [&](const char *name) {
        return pending.marked ? dueRange(stepBit(name)) + QStringLiteral(" AND ") : QString();
    };
    auto due = [&](const char *name) { return (pending.bits & stepBit(name)) != 0; };
    auto stoneStep = [&](const char *name, const QString &progress, const QString &sql) {
        step(rep, QString::fromLatin1(name), [&] {
            if (!progress.isEmpty())
                p.progress(progress);
            if (!due(name))
                return;
            if (db::execAffected(db, sql) > 0) {
                if (pending.marked)
                    pending = pendingStoneSteps(db);
                else
                    pending.bits = ~0;
            }
        });
    };
    // 1. Missing selling price (computed in double precision, as the walk does).
    // A stone without a weight has no price to work out and keeps its change
    // marker, so that the step finds nothing on the next run.
    stoneStep("1", {},
              QStringLiteral("UPDATE singlestone SET SellPriceUS = %1, RND = FLOOR(RAND() * 1000000) + 1 WHERE ")
                      .arg(sellPrice(QStringLiteral("SellOffRap")))
                  + among("1") + stoneWhere("1"));
    // 2. Missing discount; a stone without a weight cannot be worked out.
    stoneStep("2", {},
              QStringLiteral("UPDATE singlestone SET SellOffRap = 100 - CAST(SellPriceUS AS DOUBLE) / "
                             "(CAST(RapaportPrice AS DOUBLE) * CAST(Carat AS DOUBLE)) * 100, "
                             "RND = FLOOR(RAND() * 1000000) + 1 WHERE ")
                  + among("2") + stoneWhere("2"));
    // 3. Stones marked for deletion.
    stoneStep("3", {}, QStringLiteral("DELETE FROM singlestone WHERE ") + among("3") + stoneWhere("3"));
    // 4. Parcel memo lines without their rates.
    step(rep, QStringLiteral("4"), [&] { parcelMemoRates(ctx); });
    stoneStep("5", QStringLiteral("Checking Certificate Numbers"),
              QStringLiteral("UPDATE SingleStone SET Certificate=' ' WHERE ") + among("5") + stoneWhere("5"));
    step(rep, QStringLiteral("6"), [&] {
        p.progress(QStringLiteral("Checking Customer File for none-defined Price Classes"));
        db::exec(db, QStringLiteral("UPDATE Customer SET PriceClass=1 WHERE PriceClass IS NULL"));
    });
    configSteps(ctx, rep);
    stoneStep("9", QStringLiteral("Assigning Supplier ID to Memo-In Stones"),
              QStringLiteral("UPDATE SingleStone SET SupplierID=ConsignmentInCustomerID WHERE ") + among("9")
                  + stoneWhere("9"));
    stoneStep("10", QStringLiteral("Setting Default to Buy Currency Settings"),
              QStringLiteral("UPDATE SingleStone SET BuyingInUS=-1 WHERE ") + among("10") + stoneWhere("10"));
    stoneStep("11", QStringLiteral("Setting Default to Lock-Percent Settings"),
              // A discount the dealer entered stays; 0 only where there is none.
              QStringLiteral("UPDATE SingleStone SET LockPercent=-1, LockPercentlx=-1, SellOffRap=IFNULL(SellOffRap, 0) "
                             "WHERE ")
                  + among("11") + stoneWhere("11"));
    stoneStep("12", QStringLiteral("Writing Sell Price for Lock-Percent Stones 1"),
              QStringLiteral("UPDATE SingleStone SET SellPriceUS = %1 WHERE ").arg(sellPrice(QStringLiteral("SellOffRap")))
                  + among("12") + stoneWhere("12"));
    for (int tier : {2, 3}) {
        const QByteArray name = QByteArrayLiteral("13 tier ") + QByteArray::number(tier);
        stoneStep(name.constData(), QStringLiteral("Writing Sell Price for Lock-Percent Stones %1").arg(tier),
                  QStringLiteral("UPDATE SingleStone s JOIN (SELECT ID FROM singlestone WHERE %1%2 ORDER BY ID "
                                 "LIMIT %3) t ON s.ID = t.ID SET s.SellPriceUS%4 = %5")
                      .arg(among(name.constData()), stoneWhere(name.constData()))
                      .arg(kTierFillLimit)
                      .arg(tier)
                      .arg(pricing::sellPerStoneSql(QStringLiteral("s.RapaportPrice"),
                                                    QStringLiteral("s.SellOffRap%1").arg(tier), QStringLiteral("s.Carat"),
                                                    priceStep)));
    }
    step(rep, QStringLiteral("14"), [&] {
        if (!pending.marked) {
            writeFirstSnapshots(ctx);
            return;
        }
        p.progress(firstSnapshotsProgress());
        if (!due("14"))
            return;
        // The stones not yet marked: those without a log row get their first
        // snapshot; then every one of them that has a row is marked.
        const QString unmarked = among("14") + stoneWhere("14");
        writeFirstSnapshots(ctx, unmarked);
        db::exec(db, QStringLiteral("UPDATE SingleStone SET HistoryStarted=-1 WHERE ") + unmarked
                         + QStringLiteral(" AND EXISTS (SELECT 1 FROM StoneChange WHERE StoneChange.StoneID = "
                                          "SingleStone.ID)"));
    });
    step(rep, QStringLiteral("15"), [&] {
        p.progress(QStringLiteral("Writing the Default Customer Payment Terms"));
        db::exec(db, QStringLiteral("UPDATE Customer SET Terms='30' WHERE Terms IS NULL"));
    });
    return rep;
}

RepairReport repairLiteral(AppContext &ctx)
{
    RepairReport rep;
    Prompt &p = ctx.prompt();
    const QSqlDatabase db = ctx.db();
    // The price of a tier from its discount, Null when a factor is Null.
    // The one selling-price rule (pricing/SellingPrice.h).
    const int priceStep = pricing::sellingPriceStep(ctx.settings);
    auto tierPrice = [priceStep](const db::Row &r, const QString &offCol) -> QVariant {
        if (r.isNull(offCol) || r.isNull("RapaportPrice") || r.isNull("Carat"))
            return nullDouble();
        return pricing::sellPerStone(Decimal5::fromDb(r.raw(QStringLiteral("RapaportPrice"))),
                                     Decimal5::fromDb(r.raw(offCol)), Decimal5::fromDb(r.raw(QStringLiteral("Carat"))),
                                     priceStep)
            .toDb();
    };
    step(rep, QStringLiteral("1"), [&] {
        eachRow(ctx,
                QStringLiteral("SELECT * FROM singlestone WHERE RapaportPrice<>0 AND SellOffRap<>0 AND "
                               "(isnull(SellPriceUS) OR SellPriceUS<=0) AND Carat<>0"),
                [&](const db::Row &r) {
                    db::exec(db, QStringLiteral("UPDATE singlestone SET SellPriceUS=?, RND=? WHERE ID=?"),
                             {tierPrice(r, QStringLiteral("SellOffRap")), drawRnd(), r.integer("ID")});
                });
    });
    step(rep, QStringLiteral("2"), [&] {
        eachRow(ctx,
                QStringLiteral("SELECT * FROM singlestone WHERE RapaportPrice<>0 AND SellPriceUS<>0 AND "
                               "(isnull(SellOffRap) ) "),
                [&](const db::Row &r) {
                    const double listValue = r.num("RapaportPrice") * r.num("Carat");
                    if (listValue == 0)
                        return; // division by zero: the row is skipped
                    db::exec(db, QStringLiteral("UPDATE singlestone SET SellOffRap=?, RND=? WHERE ID=?"),
                             {100 - r.num("SellPriceUS") / listValue * 100, drawRnd(), r.integer("ID")});
                });
    });
    step(rep, QStringLiteral("3"), [&] {
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM singlestone WHERE status LIKE 'DEL'")))
            db::exec(db, QStringLiteral("DELETE FROM singlestone WHERE ID=?"), {id});
    });
    step(rep, QStringLiteral("4"), [&] { parcelMemoRatesLiteral(ctx); });
    step(rep, QStringLiteral("5"), [&] {
        p.progress(QStringLiteral("Checking Certificate Numbers"));
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM SingleStone WHERE isnull(Certificate)")))
            db::exec(db, QStringLiteral("UPDATE SingleStone SET Certificate=' ' WHERE ID=?"), {id});
    });
    step(rep, QStringLiteral("6"), [&] {
        p.progress(QStringLiteral("Checking Customer File for none-defined Price Classes"));
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM Customer WHERE isnull(PriceClass)")))
            db::exec(db, QStringLiteral("UPDATE Customer SET PriceClass=1 WHERE ID=?"), {id});
    });
    configSteps(ctx, rep);
    step(rep, QStringLiteral("9"), [&] {
        p.progress(QStringLiteral("Assigning Supplier ID to Memo-In Stones"));
        eachRow(ctx,
                QStringLiteral("SELECT ID, ConsignmentInCustomerID FROM SingleStone WHERE "
                               "isnull(ConsignmentInCustomerID)=False AND isnull(SupplierID)=true  "),
                [&](const db::Row &r) {
                    db::exec(db, QStringLiteral("UPDATE SingleStone SET SupplierID=? WHERE ID=?"),
                             {r.integer("ConsignmentInCustomerID"), r.integer("ID")});
                });
    });
    step(rep, QStringLiteral("10"), [&] {
        p.progress(QStringLiteral("Setting Default to Buy Currency Settings"));
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM SingleStone WHERE BuyingInUS=0 AND BuyingInlocal=0")))
            db::exec(db, QStringLiteral("UPDATE SingleStone SET BuyingInUS=-1 WHERE ID=?"), {id});
    });
    step(rep, QStringLiteral("11"), [&] {
        p.progress(QStringLiteral("Setting Default to Lock-Percent Settings"));
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM SingleStone WHERE (LockPercent=0 OR LockPercentlx=0) "
                                                 "AND isnull(SellPriceUS)=true")))
            db::exec(db,
                     QStringLiteral("UPDATE SingleStone SET LockPercent=-1, LockPercentlx=-1, "
                                    "SellOffRap=IFNULL(SellOffRap, 0) WHERE ID=?"),
                     {id});
    });
    step(rep, QStringLiteral("12"), [&] {
        p.progress(QStringLiteral("Writing Sell Price for Lock-Percent Stones 1"));
        eachRow(ctx, QStringLiteral("SELECT * FROM SingleStone WHERE LockPercent<>0 AND isnull(SellPriceUS)=true "),
                [&](const db::Row &r) {
                    db::exec(db, QStringLiteral("UPDATE SingleStone SET SellPriceUS=? WHERE ID=?"),
                             {tierPrice(r, QStringLiteral("SellOffRap")), r.integer("ID")});
                });
    });
    for (int tier : {2, 3}) {
        step(rep, QStringLiteral("13 tier %1").arg(tier), [&] {
            p.progress(QStringLiteral("Writing Sell Price for Lock-Percent Stones %1").arg(tier));
            eachRow(ctx, QString::fromLatin1(kTierSelect).arg(tier).arg(kTierFillLimit), [&](const db::Row &r) {
                db::exec(db, QStringLiteral("UPDATE SingleStone SET SellPriceUS%1=? WHERE ID=?").arg(tier),
                         {tierPrice(r, QStringLiteral("SellOffRap%1").arg(tier)), r.integer("ID")});
            });
        });
    }
    step(rep, QStringLiteral("14"), [&] { writeFirstSnapshotsLiteral(ctx); });
    step(rep, QStringLiteral("15"), [&] {
        p.progress(QStringLiteral("Writing the Default Customer Payment Terms"));
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM Customer WHERE isnull(Terms)=True ")))
            db::exec(db, QStringLiteral("UPDATE Customer SET Terms='30' WHERE ID=?"), {id});
    });
    return rep;
}

RepairReport repairOnActivate(AppContext &ctx)
{
    RepairReport rep;
    // Each activation: look first (a reading pass), change only when needed.
    step(rep, QStringLiteral("16"), [&] {
        const QString where = QStringLiteral(" WHERE closed<>0 AND ID IN "
                                             "(SELECT memosheetid FROM singlestone WHERE memosheetid IS NOT NULL)");
        if (db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM memosheet") + where + QStringLiteral(" LIMIT 1")).isValid())
            db::exec(ctx.db(), QStringLiteral("UPDATE memosheet SET closed=0") + where);
    });
    step(rep, QStringLiteral("17"), [&] {
        const QString cond = stoneWhere("17");
        // Through the marks where the database has them.
        QString where = QStringLiteral(" WHERE ") + dueRange(stepBit("17")) + QStringLiteral(" AND ") + cond;
        QVariant found;
        try {
            found = db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM singlestone") + where + QStringLiteral(" LIMIT 1"));
        } catch (const db::DbError &) {
            where = QStringLiteral(" WHERE ") + cond;
            found = db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM singlestone") + where + QStringLiteral(" LIMIT 1"));
        }
        if (found.isValid())
            db::exec(ctx.db(),
                     QStringLiteral("UPDATE singlestone SET currentRAPdiscountFORmemo=NULL, DateOnMemo=NULL") + where);
    });
    return rep;
}

RepairReport repairOnActivateLiteral(AppContext &ctx)
{
    RepairReport rep;
    step(rep, QStringLiteral("16"), [&] {
        for (qint64 id : ids(ctx, QStringLiteral("SELECT memosheet.id AS memoid FROM singlestone "
                                                 " INNER JOIN memosheet ON singlestone.memosheetid=memosheet.id WHERE "
                                                 " memosheet.closed<>0 ")))
            db::exec(ctx.db(), QStringLiteral("UPDATE memosheet SET closed=0 WHERE ID=?"), {id});
    });
    step(rep, QStringLiteral("17"), [&] {
        for (qint64 id : ids(ctx, QStringLiteral("SELECT ID FROM singlestone WHERE "
                                                 " ((isnull(currentRAPdiscountFORmemo)=false or "
                                                 "currentRAPdiscountFORmemo<>0 ) OR (isnull(DateOnMemo)=false  )) "
                                                 " AND status LIKE 'stock' ")))
            db::exec(ctx.db(),
                     QStringLiteral("UPDATE singlestone SET currentRAPdiscountFORmemo=NULL, DateOnMemo=NULL WHERE ID=?"),
                     {id});
    });
    return rep;
}

} // namespace velmor::stones
