#include "parcels/ParcelRecord.h"

#include "core/Users.h"
#include "core/ChangeEvents.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "pricing/Grades.h"

#include <QRandomGenerator>

namespace velmor::parcels {

namespace {

QVariant nullInt() { return QVariant(QMetaType::fromType<qlonglong>()); }
QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }
QVariant nullDate() { return QVariant(QMetaType::fromType<QDateTime>()); }

QString decimalCol(const char *col)
{
    return QStringLiteral("CAST(%1 AS CHAR) AS %1").arg(QLatin1String(col));
}

Outcome refused(AppContext &ctx, Result r, const QString &text, const QString &title)
{
    Outcome o;
    o.result = r;
    o.message = text;
    ctx.prompt().inform(text, title, r == Result::Refused ? Icon::Information : Icon::Exclamation);
    return o;
}

} // namespace

int newRnd()
{
    return int(QRandomGenerator::global()->generateDouble() * 1000000.0) + 1;
}

std::optional<Parcel> loadParcel(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT ID, SKU, Shape, Quantity, Comment, %1, %2, %3, %4, %5, ColourLow, "
                                          "ColourHigh, ClarityLow, ClarityHigh, datecreated, dateadded, dateremoved, "
                                          "dateupdated FROM parcel WHERE ID = ?")
                               .arg(decimalCol("Carat"), decimalCol("CaratLow"), decimalCol("CaratHigh"),
                                    decimalCol("CostPerCarat"), decimalCol("SellPerCarat")),
                           {id});
    if (!q.next())
        return std::nullopt;
    const db::Row r(q);
    Parcel p;
    p.id = r.integer(QStringLiteral("ID"));
    p.sku = r.text(QStringLiteral("SKU"));
    p.shape = r.text(QStringLiteral("Shape"));
    p.quantity = r.text(QStringLiteral("Quantity"));
    p.comment = r.text(QStringLiteral("Comment"));
    p.carat = Decimal5::fromDb(r.raw(QStringLiteral("Carat")));
    p.caratLow = Decimal5::fromDb(r.raw(QStringLiteral("CaratLow")));
    p.caratHigh = Decimal5::fromDb(r.raw(QStringLiteral("CaratHigh")));
    p.costPerCarat = Decimal5::fromDb(r.raw(QStringLiteral("CostPerCarat")));
    p.sellPerCarat = Decimal5::fromDb(r.raw(QStringLiteral("SellPerCarat")));
    p.colourLow = int(r.integer(QStringLiteral("ColourLow")));
    p.colourHigh = int(r.integer(QStringLiteral("ColourHigh")));
    p.clarityLow = int(r.integer(QStringLiteral("ClarityLow")));
    p.clarityHigh = int(r.integer(QStringLiteral("ClarityHigh")));
    p.datecreated = r.dateTime(QStringLiteral("datecreated"));
    p.dateadded = r.dateTime(QStringLiteral("dateadded"));
    p.dateremoved = r.dateTime(QStringLiteral("dateremoved"));
    p.dateupdated = r.dateTime(QStringLiteral("dateupdated"));
    return p;
}

ParcelFigures parcelFigures(const QSqlDatabase &db, qint64 id)
{
    ParcelFigures f;
    // The value in over the carats in.  Value comes in with a receipt (it
    // names its supplier; a cost of 0 is no cost) and with a split into the
    // parcel; a split out of it takes its value out (the journal rows of a
    // split name no supplier and carry the cost per carat of the part moved).
    // Memo movements are not in the journal and change neither figure.
    const QString receipt = QStringLiteral("(supplierid IS NOT NULL AND supplierid <> 0 AND Carat > 0 AND costusct <> 0)");
    const QString split = QStringLiteral("(IFNULL(supplierid, 0) = 0)");
    const QString withCost = QStringLiteral("parcelid = ? AND costusct IS NOT NULL AND Carat IS NOT NULL AND Carat <> 0 "
                                            "AND (%1 OR %2)")
                                 .arg(receipt, split);
    // The last cost: the latest receipt or split in.
    QSqlQuery last = db::exec(db,
                              QStringLiteral("SELECT CAST(costusct AS CHAR), Customer.CompanyName FROM parceladd "
                                             "LEFT JOIN Customer ON parceladd.supplierid = Customer.ID WHERE ")
                                  + withCost
                                  + QStringLiteral(" AND Carat > 0 ORDER BY parceladd.date DESC, parceladd.id DESC LIMIT 1"),
                              {id});
    if (last.next()) {
        f.hasLastCost = true;
        f.lastCost = Decimal5::fromDb(last.value(0));
        f.lastVendor = db::textOf(last.value(1));
    }
    QSqlQuery avr = db::exec(db,
                             QStringLiteral("SELECT CAST(SUM(costusct*Carat) AS CHAR), CAST(SUM(Carat) AS CHAR) "
                                            "FROM parceladd WHERE ")
                                 + withCost,
                             {id});
    if (avr.next() && !avr.value(1).isNull()) {
        const Decimal5 value = Decimal5::fromDb(avr.value(0));
        const Decimal5 carats = Decimal5::fromDb(avr.value(1));
        // Nothing in (a parcel whose value all went out) has no average.
        if (carats > Decimal5()) {
            f.hasAverageCost = true;
            f.averageCost = value.dividedBy(carats);
            f.costedCarats = carats;
        }
    }
    f.onMemo = Decimal5::fromDb(
        db::scalar(db, QStringLiteral("SELECT CAST(SUM(carat) AS CHAR) FROM memoparcellist WHERE parcelid = ?"), {id}));
    return f;
}

std::optional<qint64> findParcel(const QSqlDatabase &db, const QString &skuOrId)
{
    const QVariant bySku = db::scalar(db, QStringLiteral("SELECT ID FROM parcel WHERE SKU = ? ORDER BY ID LIMIT 1"),
                                      {skuOrId.trimmed()});
    if (bySku.isValid())
        return bySku.toLongLong();
    bool ok = false;
    const qint64 id = skuOrId.trimmed().toLongLong(&ok);
    if (ok && id > 0 && db::scalar(db, QStringLiteral("SELECT ID FROM parcel WHERE ID = ?"), {id}).isValid())
        return id;
    return std::nullopt;
}

QList<ParcelHit> searchParcels(const QSqlDatabase &db, const ParcelSearch &s, int limit)
{
    QString sql = QStringLiteral("SELECT ID, SKU, CAST(Carat AS CHAR), Shape, CAST(CaratLow AS CHAR), "
                                 "CAST(CaratHigh AS CHAR), ColourLow, ColourHigh, ClarityLow, ClarityHigh "
                                 "FROM parcel WHERE ");
    QVariantList binds;
    // A weight that is no figure ("1,5") finds nothing; it never means "any weight".
    if (!figures::parseTyped(s.weight))
        return {};
    if (const auto w = figures::parseTyped(s.weight); w && !w->isZero()) {
        sql += QStringLiteral("(CaratLow <= ? AND CaratHigh >= ?) AND ");
        binds << w->toDb() << w->toDb();
    }
    if (s.clarity) {
        sql += QStringLiteral("(ClarityLow <= ? AND ClarityHigh >= ?) AND ");
        binds << s.clarity << s.clarity;
    }
    if (s.colour) {
        sql += QStringLiteral("(ColourLow <= ? AND ColourHigh >= ?) AND ");
        binds << s.colour << s.colour;
    }
    sql += QStringLiteral("1=1 ORDER BY SKU, ID LIMIT %1").arg(limit);
    QSqlQuery q = db::exec(db, sql, binds);
    QList<ParcelHit> hits;
    auto two = [](const QVariant &v) { return Decimal5::fromDb(v).fixed(2); };
    while (q.next()) {
        ParcelHit h;
        h.id = q.value(0).toLongLong();
        h.sku = db::textOf(q.value(1));
        h.onHand = two(q.value(2));
        h.shape = db::textOf(q.value(3));
        h.caratLow = two(q.value(4));
        h.caratHigh = two(q.value(5));
        h.colourLow = pricing::colourCodeText(q.value(6).toInt());
        h.colourHigh = pricing::colourCodeText(q.value(7).toInt());
        h.clarityLow = pricing::clarityCodeText(q.value(8).toInt());
        h.clarityHigh = pricing::clarityCodeText(q.value(9).toInt());
        hits << h;
    }
    return hits;
}

QString averageWeight(const QString &low, const QString &high)
{
    const auto l = Decimal5::parse(low.isEmpty() ? QStringLiteral("0") : low);
    const auto h = Decimal5::parse(high.isEmpty() ? QStringLiteral("0") : high);
    if (!l || !h)
        return {};
    return (*l + *h).dividedBy(Decimal5::whole(2)).fixed(2);
}

QString stoneCount(const QString &carats, const QString &average)
{
    const auto c = Decimal5::parse(carats);
    const auto a = Decimal5::parse(average);
    if (!c || !a || a->isZero())
        return {};
    return c->dividedBy(*a).fixed(0);
}

void normaliseRange(Decimal5 &low, Decimal5 &high)
{
    if (low.isZero() && !high.isZero())
        low = high;
    else if (high.isZero() && !low.isZero())
        high = low;
    if (low > high)
        std::swap(low, high);
}

void normaliseRange(int &low, int &high)
{
    if (low == 0 && high != 0)
        low = high;
    else if (high == 0 && low != 0)
        high = low;
    if (low > high)
        std::swap(low, high);
}

ParcelFields fieldsOf(const Parcel &p)
{
    ParcelFields f;
    f.sku = p.sku;
    f.shape = p.shape;
    f.quantity = p.quantity;
    f.comment = p.comment;
    f.carat = p.carat.fixed(2);
    f.caratLow = p.caratLow.fixed(2);
    f.caratHigh = p.caratHigh.fixed(2);
    f.sellPerCarat = p.sellPerCarat.fixed(2);
    f.colourLow = p.colourLow;
    f.colourHigh = p.colourHigh;
    f.clarityLow = p.clarityLow;
    f.clarityHigh = p.clarityHigh;
    return f;
}

Outcome saveParcel(AppContext &ctx, const std::optional<Parcel> &loaded, const ParcelFields &edited)
{
    const QString title = QStringLiteral("Parcel");
    const ParcelFields shown = loaded ? fieldsOf(*loaded) : ParcelFields{};
    const bool isNew = !loaded.has_value();
    if (!mayWrite(ctx, isNew ? rights::ParcelCreate : rights::ParcelChange))
        return Outcome{Result::Refused};

    // A number field: the stored value while it shows what loading showed.
    struct Num {
        const char *name;
        QString ParcelFields::*field;
        Decimal5 Parcel::*member;
    };
    const Num nums[] = {{"Carat", &ParcelFields::carat, &Parcel::carat},
                        {"CaratLow", &ParcelFields::caratLow, &Parcel::caratLow},
                        {"CaratHigh", &ParcelFields::caratHigh, &Parcel::caratHigh},
                        {"SellPerCarat", &ParcelFields::sellPerCarat, &Parcel::sellPerCarat}};
    Parcel next = loaded.value_or(Parcel{});
    QStringList changed;
    for (const Num &n : nums) {
        const QString typed = (edited.*n.field).trimmed();
        if (!isNew && typed == shown.*n.field)
            continue;
        const figures::Reading v = figures::read(
            typed, {QLatin1String(n.name), figures::columnOf(ctx.db(), QStringLiteral("parcel"), QLatin1String(n.name)),
                    figures::Need::NotNegative});
        if (!v.ok())
            return refused(ctx, Result::Refused, v.error, title);
        if (isNew || next.*n.member != v.value) {
            next.*n.member = v.value;
            changed << QLatin1String(n.name);
        }
    }
    auto text = [&](QString ParcelFields::*field, QString Parcel::*member, const char *col) {
        if ((isNew && !(edited.*field).isEmpty()) || (!isNew && edited.*field != shown.*field)) {
            next.*member = edited.*field;
            changed << QLatin1String(col);
        }
    };
    text(&ParcelFields::sku, &Parcel::sku, "SKU");
    text(&ParcelFields::shape, &Parcel::shape, "Shape");
    text(&ParcelFields::quantity, &Parcel::quantity, "Quantity");
    text(&ParcelFields::comment, &Parcel::comment, "Comment");
    auto grade = [&](int ParcelFields::*field, int Parcel::*member, const char *col) {
        if ((isNew && edited.*field) || (!isNew && edited.*field != shown.*field)) {
            next.*member = edited.*field;
            changed << QLatin1String(col);
        }
    };
    grade(&ParcelFields::colourLow, &Parcel::colourLow, "ColourLow");
    grade(&ParcelFields::colourHigh, &Parcel::colourHigh, "ColourHigh");
    grade(&ParcelFields::clarityLow, &Parcel::clarityLow, "ClarityLow");
    grade(&ParcelFields::clarityHigh, &Parcel::clarityHigh, "ClarityHigh");
    if (changed.isEmpty()) {
        Outcome o;
        o.result = Result::Unchanged;
        o.id = loaded ? loaded->id : 0;
        return o;
    }
    // The range rule, on the ranges the user touched: both ends are written.
    auto touch = [&](const char *a, const char *b) {
        const bool t = changed.contains(QLatin1String(a)) || changed.contains(QLatin1String(b));
        if (t) {
            changed.removeAll(QLatin1String(a));
            changed.removeAll(QLatin1String(b));
            changed << QLatin1String(a) << QLatin1String(b);
        }
        return t;
    };
    if (touch("CaratLow", "CaratHigh"))
        normaliseRange(next.caratLow, next.caratHigh);
    if (touch("ColourLow", "ColourHigh"))
        normaliseRange(next.colourLow, next.colourHigh);
    if (touch("ClarityLow", "ClarityHigh"))
        normaliseRange(next.clarityLow, next.clarityHigh);

    auto valueOf = [&](const QString &col) -> QVariant {
        if (col == QLatin1String("Carat")) return next.carat.toDb();
        if (col == QLatin1String("CaratLow")) return next.caratLow.toDb();
        if (col == QLatin1String("CaratHigh")) return next.caratHigh.toDb();
        if (col == QLatin1String("SellPerCarat")) return next.sellPerCarat.toDb();
        if (col == QLatin1String("SKU")) return next.sku;
        if (col == QLatin1String("Shape")) return next.shape;
        if (col == QLatin1String("Quantity")) return next.quantity;
        if (col == QLatin1String("Comment")) return next.comment;
        if (col == QLatin1String("ColourLow")) return next.colourLow;
        if (col == QLatin1String("ColourHigh")) return next.colourHigh;
        if (col == QLatin1String("ClarityLow")) return next.clarityLow;
        return next.clarityHigh;
    };

    const QDateTime now = QDateTime::currentDateTime();
    Outcome out;
    try {
        const bool ok = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            const Decimal5 delta = next.carat - (loaded ? loaded->carat : Decimal5());
            if (isNew) {
                QStringList cols = changed;
                cols.removeAll(QStringLiteral("Carat"));
                QString sql = QStringLiteral("INSERT INTO parcel (Carat, datecreated, dateupdated, rnd");
                QVariantList binds{next.carat.toDb(), now, now, newRnd()};
                for (const QString &c : cols) {
                    sql += QStringLiteral(", ") + c;
                    binds << valueOf(c);
                }
                sql += QStringLiteral(") VALUES (?") + QStringLiteral(", ?").repeated(binds.size() - 1)
                       + QStringLiteral(")");
                out.id = db::insert(ctx.db(), sql, binds);
            } else {
                out.id = loaded->id;
                QString sql = QStringLiteral("UPDATE parcel SET dateupdated = ?, rnd = ?");
                QVariantList binds{now, newRnd()};
                for (const QString &c : changed) {
                    sql += QStringLiteral(", ") + c + QStringLiteral(" = ?");
                    binds << valueOf(c);
                }
                sql += QStringLiteral(" WHERE ID = ?");
                binds << loaded->id;
                if (changed.contains(QStringLiteral("Carat"))) {
                    sql += QStringLiteral(" AND Carat = ?");
                    binds << loaded->carat.toDb();
                }
                if (db::execAffected(ctx.db(), sql, binds) != 1)
                    return false;
            }
            if (!delta.isZero())
                db::exec(ctx.db(),
                         QStringLiteral("INSERT INTO parceladd (parcelid, Carat, userid, supplierid, costusct, date) "
                                        "VALUES (?, ?, ?, ?, ?, ?)"),
                         {out.id, delta.toDb(), ctx.user.ID, nullInt(), nullText(), now});
            tx.commit();
            return true;
        });
        if (!ok)
            return refused(ctx, Result::Conflict,
                           QStringLiteral("The carats of this Parcel have been changed on another Workstation "
                                          "meanwhile.\n\nNothing has been saved; please load the Parcel again."),
                           title);
    } catch (const db::LockConflict &) {
        return refused(ctx, Result::Conflict, db::lockConflictMessage(), title);
    } catch (const db::DbError &e) {
        return refused(ctx, Result::Failed, QStringLiteral("The Parcel could not be saved:\n\n") + e.message(), title);
    }
    out.result = Result::Done;
    changeEvents(ctx).announceParcel(out.id);
    return out;
}

Outcome receiveStock(AppContext &ctx, const Receipt &r)
{
    const QString title = QStringLiteral("Receiving Stock");
    if (!mayWrite(ctx, rights::ParcelChange))
        return Outcome{Result::Refused};
    if (r.supplierId <= 0)
        return refused(ctx, Result::Refused, QStringLiteral("You need to define a Supplier!"), title);
    if (r.carat.trimmed().isEmpty())
        return refused(ctx, Result::Refused, QStringLiteral("You need to define the Carats received!"), title);
    figures::Reader read(ctx.db(), QStringLiteral("parceladd"));
    const std::optional<Decimal5> carat = read(r.carat, QStringLiteral("Carats received"), QStringLiteral("Carat"),
                                               figures::Need::Positive);
    const std::optional<Decimal5> cost = read(r.costUS, QStringLiteral("cost per carat"), QStringLiteral("costusct"),
                                              figures::Need::NotNegative);
    if (!read.ok())
        return refused(ctx, Result::Refused, read.error(), title);
    Outcome out;
    out.id = r.parcelId;
    try {
        const bool ok = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            const QDateTime now = QDateTime::currentDateTime();
            if (db::execAffected(ctx.db(),
                                 QStringLiteral("UPDATE parcel SET Carat = IFNULL(Carat, 0) + ?, dateupdated = ?, "
                                                "rnd = ? WHERE ID = ?"),
                                 {carat->toDb(), now, newRnd(), r.parcelId})
                != 1)
                return false;
            db::exec(ctx.db(),
                     QStringLiteral("INSERT INTO parceladd (parcelid, Carat, userid, supplierid, costusct, date) "
                                    "VALUES (?, ?, ?, ?, ?, ?)"),
                     {r.parcelId, carat->toDb(), ctx.user.ID, r.supplierId, cost->toDb(), now});
            tx.commit();
            return true;
        });
        if (!ok)
            return refused(ctx, Result::Conflict, QStringLiteral("This Parcel does not exist anymore."), title);
    } catch (const db::LockConflict &) {
        return refused(ctx, Result::Conflict, db::lockConflictMessage(), title);
    } catch (const db::DbError &e) {
        return refused(ctx, Result::Failed, QStringLiteral("The stock could not be received:\n\n") + e.message(), title);
    }
    out.result = Result::Done;
    changeEvents(ctx).announceParcel(r.parcelId);
    return out;
}

QList<JournalRow> parcelJournal(const QSqlDatabase &db, qint64 parcelId)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT parceladd.date, CAST(parceladd.carat AS CHAR), "
                                          "CAST(parceladd.costusct AS CHAR), Customer.CompanyName, "
                                          "COALESCE(NULLIF(TRIM(user.LastName), ''), user.UserName) "
                                          "FROM parceladd LEFT OUTER JOIN Customer ON parceladd.supplierid = Customer.ID "
                                          "LEFT OUTER JOIN user ON parceladd.userid = user.ID WHERE parceladd.parcelid = ? "
                                          "ORDER BY parceladd.date, parceladd.id"),
                           {parcelId});
    QList<JournalRow> rows;
    while (q.next()) {
        JournalRow j;
        j.date = q.value(0).toDateTime();
        j.carat = Decimal5::fromDb(q.value(1));
        j.hasCost = !q.value(2).isNull();
        j.costUS = Decimal5::fromDb(q.value(2));
        j.action = j.carat < Decimal5() ? QStringLiteral("removed") : QStringLiteral("added");
        j.party = db::textOf(q.value(3));
        j.user = db::textOf(q.value(4));
        rows << j;
    }
    return rows;
}

namespace {
QStringList entries(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q = db::exec(db, sql);
    QStringList out;
    while (q.next())
        out << db::textOf(q.value(1)) + QStringLiteral("   --- ") + q.value(0).toString();
    return out;
}
} // namespace

QStringList supplierEntries(const QSqlDatabase &db)
{
    return entries(db, QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Supplier <> 0 OR "
                                      "(IFNULL(Supplier, 0) = 0 AND IFNULL(Customer, 0) = 0) ORDER BY CompanyName"));
}

QStringList customerEntries(const QSqlDatabase &db)
{
    return entries(db, QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer <> 0 ORDER BY CompanyName"));
}

} // namespace velmor::parcels
