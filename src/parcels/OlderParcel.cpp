#include "parcels/OlderParcel.h"

#include "core/AppContext.h"
#include "db/Retry.h"
#include "db/Sql.h"
#include "db/Transaction.h"

namespace velmor::parcels {

namespace {

Outcome tell(AppContext &ctx, Result r, const QString &text)
{
    Outcome o;
    o.result = r;
    o.message = text;
    ctx.prompt().inform(text, QStringLiteral("Message"), r == Result::Refused ? Icon::Information : Icon::Exclamation);
    return o;
}

// LIKE with the typed text as plain characters.
QString likeEscaped(const QString &s)
{
    QString e = s;
    e.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    e.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    e.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return e;
}

enum class Step { Done, NoParcel, Duplicate };

} // namespace

Outcome receiveOlderParcel(AppContext &ctx, const OlderReceipt &r)
{
    if (r.supplierId <= 0)
        return tell(ctx, Result::Refused, QStringLiteral("You need to define a Supplier!"));
    if (r.invoice.trimmed().isEmpty())
        return tell(ctx, Result::Refused, QStringLiteral("You need to define an Invoice Number!"));
    const auto price = Decimal5::parse(r.pricePerCarat);
    if (!price || *price <= Decimal5())
        return tell(ctx, Result::Refused, QStringLiteral("You need to define a Price per Carat!"));
    const auto carat = Decimal5::parse(r.carat);
    if (!carat || *carat <= Decimal5())
        return tell(ctx, Result::Refused, QStringLiteral("You need to define the Carats received!"));
    bool ok = false;
    const int quantity = r.quantity.trimmed().toInt(&ok);
    if (!ok || quantity <= 0)
        return tell(ctx, Result::Refused, QStringLiteral("Wrong Amount of Stones!"));
    // The receipt columns hold two decimals below 10,000.
    const Decimal5 limit = *Decimal5::parse(QStringLiteral("9999.99"));
    if (*price > limit || *carat > limit || price->fixed(2) != price->fixed(5).left(price->fixed(5).size() - 3)
        || carat->fixed(2) != carat->fixed(5).left(carat->fixed(5).size() - 3))
        return tell(ctx, Result::Refused,
                    QStringLiteral("Carats and Price per Carat are entered with at most two decimals, below 10,000."));

    Step step = Step::Done;
    try {
        step = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            const QSqlDatabase db = ctx.db();
            // The parcel's row first: receipts of one parcel follow each other.
            QSqlQuery p = db::exec(db,
                                   QStringLiteral("SELECT CAST(Carat AS CHAR), CAST(CostUSPerCarat AS CHAR), Quantity, "
                                                  "CAST(DMarkup AS CHAR) FROM ParcelStock WHERE ID = ? FOR UPDATE"),
                                   {r.parcelId});
            if (!p.next())
                return Step::NoParcel;
            if (db::scalar(db,
                           QStringLiteral("SELECT ID FROM AddParcel WHERE Invoice LIKE ? AND SupplierID = ? AND "
                                          "ParcelID = ? LIMIT 1"),
                           {likeEscaped(r.invoice), r.supplierId, r.parcelId})
                    .isValid())
                return Step::Duplicate;
            const QDateTime now = QDateTime::currentDateTime();
            db::exec(db,
                     QStringLiteral("INSERT INTO AddParcel (ParcelID, SupplierID, Date, Invoice, Carat, Quantity, "
                                    "PricePerCarat) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                     {r.parcelId, r.supplierId, now, r.invoice, carat->fixed(2), quantity, price->fixed(2)});
            const Decimal5 oldCarat = Decimal5::fromDb(p.value(0));
            const Decimal5 oldCost = Decimal5::fromDb(p.value(1));
            const Decimal5 markup = Decimal5::fromDb(p.value(3));
            const Decimal5 newCarat = oldCarat + *carat;
            const Decimal5 cost = (oldCarat.times(oldCost) + carat->times(*price)).dividedBy(newCarat);
            const Decimal5 rate = *Decimal5::parse(QString::number(ctx.exchangeRateCDN, 'f', 5));
            QString sql = QStringLiteral("UPDATE ParcelStock SET Carat = ?, Quantity = IFNULL(Quantity, 0) + ?, "
                                         "CostUSPerCarat = ?, CostLocalPerCarat = ?, lastupdated = ?");
            QVariantList binds{newCarat.toDb(), quantity, cost.toDb(), cost.times(rate).toDb(), now};
            if (!markup.isZero()) {
                const Decimal5 priceUS = cost.times(markup);
                sql += QStringLiteral(", PriceUSPerCarat = ?, PriceLocalPerCarat = ?");
                binds << priceUS.toDb() << priceUS.times(rate).toDb();
            }
            sql += QStringLiteral(" WHERE ID = ?");
            binds << r.parcelId;
            db::exec(db, sql, binds);
            tx.commit();
            return Step::Done;
        });
    } catch (const db::LockConflict &) {
        return tell(ctx, Result::Conflict, db::lockConflictMessage());
    } catch (const db::DbError &e) {
        return tell(ctx, Result::Failed, QStringLiteral("The receipt could not be saved:\n\n") + e.message());
    }
    if (step == Step::NoParcel)
        return tell(ctx, Result::Conflict, QStringLiteral("This Parcel does not exist anymore."));
    if (step == Step::Duplicate)
        return tell(ctx, Result::Refused, QStringLiteral("This Information was already entered!"));
    Outcome out;
    out.result = Result::Done;
    out.id = r.parcelId;
    return out;
}

} // namespace velmor::parcels
