#include "parcels/ParcelSplit.h"

#include "core/Users.h"
#include "core/ChangeEvents.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "db/Guard.h"
#include "db/Retry.h"
#include "db/Sql.h"
#include "db/Transaction.h"

namespace velmor::parcels {

namespace {

Outcome tell(AppContext &ctx, Result r, const QString &text, const QString &title)
{
    Outcome o;
    o.result = r;
    o.message = text;
    ctx.prompt().inform(text, title, r == Result::Refused ? Icon::Information : Icon::Exclamation);
    return o;
}

enum class Step { Done, NoSource, NotEnough, SkuTaken };

const QString kSkuTaken =
    QStringLiteral("This SKU number is already been used for another Diamond, please choose another SKU number!");

} // namespace

Outcome splitParcel(AppContext &ctx, const SplitRequest &r)
{
    const QString title = QStringLiteral("Split Parcel");
    if (!mayWrite(ctx, rights::ParcelChange))
        return Outcome{Result::Refused};
    const QString sku = r.newSku.trimmed();
    if (sku.isEmpty())
        return tell(ctx, Result::Refused, QStringLiteral("You must define a SKU Number for this Parcel"),
                    QStringLiteral("Missing Information"));
    if (db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM parcel WHERE SKU = ? LIMIT 1"), {sku}).isValid())
        return tell(ctx, Result::Refused, kSkuTaken, QStringLiteral("missing Information"));
    if (r.carat.trimmed().isEmpty())
        return tell(ctx, Result::Refused, QStringLiteral("Please enter the Carats of the new Parcel."), title);
    figures::Reader read(ctx.db(), QStringLiteral("parcel"));
    const std::optional<Decimal5> carat =
        read(r.carat, QStringLiteral("Carats of the new Parcel"), QStringLiteral("Carat"), figures::Need::Positive);
    // The carats first: the value box follows them, so a wrong carat figure
    // is named as such, not as the value it gave.
    if (!read.ok())
        return tell(ctx, Result::Refused, read.error(), title);
    std::optional<Decimal5> value;
    if (!r.newValueUS.trimmed().isEmpty()) {
        // A value for the whole new parcel: its cost per carat is checked
        // against its column below.
        const figures::Reading v =
            figures::read(r.newValueUS, {QStringLiteral("value of the new Parcel"), figures::Column{19, 5},
                                         figures::Need::NotNegative});
        if (!v.ok())
            return tell(ctx, Result::Refused, v.error, title);
        value = v.value;
    }
    std::optional<Decimal5> sell;
    if (!r.sellPerCarat.trimmed().isEmpty())
        sell = read(r.sellPerCarat, QStringLiteral("sell price per carat"), QStringLiteral("SellPerCarat"),
                    figures::Need::NotNegative);
    if (!read.ok())
        return tell(ctx, Result::Refused, read.error(), title);
    if (value && carat && !carat->isZero()) {
        const figures::Column costColumn = figures::columnOf(ctx.db(), QStringLiteral("parcel"), QStringLiteral("CostPerCarat"));
        if (value->dividedBy(*carat) > costColumn.largest())
            return tell(ctx, Result::Refused,
                        figures::tooLargeMessage(QStringLiteral("cost per carat of the new Parcel"),
                                                 value->dividedBy(*carat).fixed(5), costColumn),
                        title);
    }

    Outcome out;
    Decimal5 onHand;
    Step step = Step::Done;
    try {
        step = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            const QSqlDatabase db = ctx.db();
            // The parcel numbers' guard comes first: the reads after it see
            // what a split that held it before has saved.
            db::claimGuard(db, db::GuardKind::ParcelSku, 0);
            const QDateTime now = QDateTime::currentDateTime();
            const auto src = loadParcel(db, r.sourceId);
            if (!src)
                return Step::NoSource;
            onHand = src->carat;
            if (db::execAffected(db,
                                 QStringLiteral("UPDATE parcel SET Carat = Carat - ?, rnd = ?, dateupdated = ? "
                                                "WHERE ID = ? AND Carat > ?"),
                                 {carat->toDb(), newRnd(), now, r.sourceId, carat->toDb()})
                != 1)
                return Step::NotEnough;
            // The SKU again, now that this workstation holds the source and
            // the parcel numbers' guard.
            if (db::scalar(db, QStringLiteral("SELECT ID FROM parcel WHERE SKU = ? LIMIT 1"), {sku}).isValid())
                return Step::SkuTaken;
            const ParcelFigures f = parcelFigures(db, r.sourceId);
            const Decimal5 cost = value ? value->dividedBy(*carat) : (f.hasAverageCost ? f.averageCost : src->costPerCarat);
            const qint64 id = db::insert(
                db,
                QStringLiteral("INSERT INTO parcel (SKU, Shape, Quantity, Carat, CaratLow, CaratHigh, ColourLow, "
                               "ColourHigh, ClarityLow, ClarityHigh, CostPerCarat, SellPerCarat, Comment, datecreated, "
                               "dateupdated, rnd) VALUES (?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {sku, src->shape, carat->toDb(), src->caratLow.toDb(), src->caratHigh.toDb(), src->colourLow,
                 src->colourHigh, src->clarityLow, src->clarityHigh, cost.toDb(),
                 (sell ? *sell : src->sellPerCarat).toDb(), src->comment, now, now, newRnd()});
            const QString journal = QStringLiteral("INSERT INTO parceladd (parcelid, Carat, userid, supplierid, costusct, "
                                                   "date) VALUES (?, ?, ?, NULL, ?, ?)");
            // A value typed as 0 moves a value of 0; a source without any
            // cost moves none that is known.
            const QVariant costValue =
                cost.isZero() && !value ? QVariant(QMetaType::fromType<QString>()) : QVariant(cost.toDb());
            db::exec(db, journal, {r.sourceId, (-*carat).toDb(), ctx.user.ID, costValue, now});
            db::exec(db, journal, {id, carat->toDb(), ctx.user.ID, costValue, now});
            tx.commit();
            out.id = id;
            return Step::Done;
        });
    } catch (const db::LockConflict &) {
        return tell(ctx, Result::Conflict, db::lockConflictMessage(), title);
    } catch (const db::DbError &e) {
        return tell(ctx, Result::Failed, QStringLiteral("The Parcel could not be split:\n\n") + e.message(), title);
    }
    switch (step) {
    case Step::NoSource:
        return tell(ctx, Result::Conflict, QStringLiteral("This Parcel does not exist anymore."), title);
    case Step::NotEnough:
        return tell(ctx, Result::Refused,
                    QStringLiteral("The new Parcel must have fewer carats than the %1 ct on hand.\n\nNothing has been "
                                   "changed.")
                        .arg(onHand.fixed(2)),
                    title);
    case Step::SkuTaken:
        return tell(ctx, Result::Refused, kSkuTaken, QStringLiteral("missing Information"));
    default:
        break;
    }
    out.result = Result::Done;
    changeEvents(ctx).announceParcel(0); // the source and the new parcels
    return out;
}

QString autoNumber(AppContext &ctx, const QString &table, const QString &prefix)
{
    const QString title = QStringLiteral("Auto-Number");
    const QString t = table.compare(QLatin1String("ParcelStock"), Qt::CaseInsensitive) == 0 ? QStringLiteral("ParcelStock")
                                                                                            : QStringLiteral("parcel");
    QVariant n;
    try {
        if (prefix.isEmpty())
            n = db::scalar(ctx.db(), QStringLiteral("SELECT MAX(CAST(SKU AS UNSIGNED)) FROM %1 WHERE LEFT(SKU, 1) "
                                                    "BETWEEN '0' AND '9'")
                                         .arg(t));
        else
            n = db::scalar(ctx.db(),
                           QStringLiteral("SELECT MAX(CAST(SUBSTRING(SKU, ?) AS UNSIGNED)) FROM %1 WHERE LEFT(SKU, ?) = ?")
                               .arg(t),
                           {int(prefix.size()) + 1, int(prefix.size()), prefix});
    } catch (const db::DbError &) {
        n = QVariant();
    }
    if (!n.isValid() || n.isNull()) {
        ctx.prompt().inform(QStringLiteral("Unable to assign a Auto-Number to the Item Number"), title, Icon::None);
        return {};
    }
    const qint64 last = n.toLongLong();
    if (last >= 1500000) {
        ctx.prompt().inform(QStringLiteral("Cannot assign an Auto-Number.\n\nPlease try to change or add some leading "
                                           "letters in the item number."),
                            title, Icon::Information);
        return {};
    }
    return prefix + QString::number(last + 1).rightJustified(4, QLatin1Char('0'));
}

} // namespace velmor::parcels
