#include "parcels/OlderParcel.h"

#include "core/Users.h"
#include "core/ChangeEvents.h"
#include "core/Figures.h"
#include "core/KnownRates.h"

#include "core/AppContext.h"
#include "db/Retry.h"
#include "db/Row.h"
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
    if (!mayWrite(ctx, rights::ParcelChange))
        return Outcome{Result::Refused};
    if (r.supplierId <= 0)
        return tell(ctx, Result::Refused, QStringLiteral("You need to define a Supplier!"));
    if (r.invoice.trimmed().isEmpty())
        return tell(ctx, Result::Refused, QStringLiteral("You need to define an Invoice Number!"));
    if (!figures::isTyped(r.pricePerCarat))
        return tell(ctx, Result::Refused, figures::notANumberMessage(QStringLiteral("Price per Carat"), r.pricePerCarat));
    if (!figures::isTyped(r.carat))
        return tell(ctx, Result::Refused, figures::notANumberMessage(QStringLiteral("Carats"), r.carat));
    const auto price = figures::parseTyped(r.pricePerCarat);
    if (!price || *price <= Decimal5())
        return tell(ctx, Result::Refused, QStringLiteral("You need to define a Price per Carat!"));
    const auto carat = figures::parseTyped(r.carat);
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
            // The local figures at the working rate, converted as every
            // screen converts (to the cent); while the rate is not known they
            // are not known either (Null, never 0).
            auto local = [&](const Decimal5 &us) {
                const std::optional<Decimal5> v = convertedAmount(us, ctx.exchangeRateCDN);
                return v ? v->toDb() : QVariant();
            };
            QString sql = QStringLiteral("UPDATE ParcelStock SET Carat = ?, Quantity = IFNULL(Quantity, 0) + ?, "
                                         "CostUSPerCarat = ?, CostLocalPerCarat = ?, lastupdated = ?");
            QVariantList binds{newCarat.toDb(), quantity, cost.toDb(), local(cost), now};
            if (!markup.isZero()) {
                const Decimal5 priceUS = cost.times(markup);
                sql += QStringLiteral(", PriceUSPerCarat = ?, PriceLocalPerCarat = ?");
                binds << priceUS.toDb() << local(priceUS);
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
    changeEvents(ctx).announceParcel(r.parcelId);
    return out;
}

namespace {

QVariant orNull(const Decimal5 &d)
{
    return d.isZero() ? QVariant(QMetaType::fromType<QString>()) : QVariant(d.toDb());
}
QVariant orNull(int n)
{
    return n == 0 ? QVariant(QMetaType::fromType<int>()) : QVariant(n);
}

// The columns of one pane, in the order of kPaneColumns.  Each figure is
// read against its column (0 or more); the first refusal, naming the field
// and its pane, goes to *error.
QVariantList paneValues(AppContext &ctx, const OlderSplitPane &p, const QString &pane, QString *error)
{
    auto field = [&](const QString &t, const char *name, const char *column) {
        const figures::Reading r = figures::read(
            t, {QString::fromLatin1(name) + QLatin1Char(' ') + pane,
                figures::columnOf(ctx.db(), QStringLiteral("ParcelStock"), QLatin1String(column)),
                figures::Need::NotNegative});
        if (!r.ok() && error->isEmpty())
            *error = r.error;
        return r.ok() ? r.value : Decimal5();
    };
    Decimal5 lo = field(p.weightLow, "weight low", "CaratLow"), hi = field(p.weightHigh, "weight high", "CaratHigh");
    const Decimal5 costUS = field(p.costUS, "cost US$", "CostUSPerCarat");
    const Decimal5 costLocal = field(p.costLocal, "cost local", "CostLocalPerCarat");
    const Decimal5 priceUS = field(p.priceUS, "price US$", "PriceUSPerCarat");
    const Decimal5 priceLocal = field(p.priceLocal, "price local", "PriceLocalPerCarat");
    // An empty local figure is not known (no rate to work it out): Null, not 0.
    auto local = [](const QString &typed, const Decimal5 &v) {
        return typed.trimmed().isEmpty() ? QVariant() : QVariant(v.toDb());
    };
    if (hi < lo)
        std::swap(lo, hi);
    return {orNull(lo),
            orNull(hi),
            orNull(std::min(p.colourA, p.colourB)),
            orNull(std::max(p.colourA, p.colourB)),
            orNull(std::min(p.clarityA, p.clarityB)),
            orNull(std::max(p.clarityA, p.clarityB)),
            costUS.toDb(),
            local(p.costLocal, costLocal),
            priceUS.toDb(),
            local(p.priceLocal, priceLocal)};
}

const QString kPaneColumns = QStringLiteral("CaratLow, CaratHigh, ColourHigh, ColourLow, ClarityHigh, ClarityLow, "
                                            "CostUSPerCarat, CostLocalPerCarat, PriceUSPerCarat, PriceLocalPerCarat");

} // namespace

Outcome splitOlderParcel(AppContext &ctx, const OlderSplit &s)
{
    if (!mayWrite(ctx, rights::ParcelChange))
        return Outcome{Result::Refused};
    auto refuse = [&](const QString &text, const QString &title) {
        Outcome o;
        o.result = Result::Refused;
        o.message = text;
        ctx.prompt().inform(text, title, Icon::Information);
        return o;
    };
    const QString sku = s.newSku.trimmed();
    if (!sku.isEmpty()
        && db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM ParcelStock WHERE SKU = ? LIMIT 1"), {sku}).isValid())
        return refuse(QStringLiteral("This SKU number is already been used for another Diamond, please choose another "
                                     "SKU number!"),
                      QStringLiteral("missing Information"));
    if (sku.isEmpty())
        return refuse(QStringLiteral("You must define a SKU Number for this Parcel"), QStringLiteral("Missing Information"));
    const auto source = figures::parseTyped(s.sourceCarat);
    const auto carat = figures::parseTyped(s.newCarat);
    if (!source || !carat || *carat <= Decimal5() || *carat >= *source)
        return refuse(QStringLiteral("The new Parcel must have more than 0 and fewer carats than the %1 ct of the Parcel.")
                          .arg(source ? source->fixed(2) : QStringLiteral("0.00")),
                      QStringLiteral("Split Parcel"));
    QString error;
    const QVariantList oldValues = paneValues(ctx, s.old, QStringLiteral("of the remaining Parcel"), &error);
    const QVariantList newValues = paneValues(ctx, s.neu, QStringLiteral("of the new Parcel"), &error);
    if (!error.isEmpty())
        return refuse(error, QStringLiteral("Split Parcel"));

    Outcome out;
    bool changed = false;
    try {
        changed = !db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            const QSqlDatabase db = ctx.db();
            QString set;
            for (const QString &c : kPaneColumns.split(QStringLiteral(", ")))
                set += QStringLiteral(", ") + c + QStringLiteral(" = ?");
            QVariantList binds{(*source - *carat).toDb(), QDateTime::currentDateTime()};
            binds << oldValues << s.sourceId << source->toDb();
            if (db::execAffected(db,
                                 QStringLiteral("UPDATE ParcelStock SET Carat = ?, lastupdated = ?") + set
                                     + QStringLiteral(" WHERE ID = ? AND Carat = ?"),
                                 binds)
                != 1)
                return false;
            // The new parcel sells in the source's currency; the source keeps
            // its own flags as they are stored.
            QVariantList ins{sku, s.newShape, carat->toDb(), QDateTime::currentDateTime(), db::flagValue(s.sellUS),
                             db::flagValue(!s.sellUS)};
            ins << newValues;
            out.id = db::insert(db,
                                QStringLiteral("INSERT INTO ParcelStock (SKU, Shape, Carat, lastupdated, SellUS, SellLocal, ")
                                    + kPaneColumns
                                    + QStringLiteral(") VALUES (?") + QStringLiteral(", ?").repeated(ins.size() - 1)
                                    + QStringLiteral(")"),
                                ins);
            tx.commit();
            return true;
        });
    } catch (const db::LockConflict &) {
        return tell(ctx, Result::Conflict, db::lockConflictMessage());
    } catch (const db::DbError &e) {
        return tell(ctx, Result::Failed, QStringLiteral("The Parcel could not be split:\n\n") + e.message());
    }
    if (changed)
        return tell(ctx, Result::Conflict,
                    QStringLiteral("The carats of this Parcel have been changed meanwhile.\n\nNothing has been split."));
    out.result = Result::Done;
    changeEvents(ctx).announceParcel(0); // the source and the new parcels
    return out;
}

} // namespace velmor::parcels
