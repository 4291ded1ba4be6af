#include "parcels/OlderParcelMemo.h"

#include "core/Users.h"
#include "core/ChangeEvents.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "memos/MemoMoves.h"

#include <QDateTime>

namespace velmor::parcels {

namespace {

const QString kTitle = QStringLiteral("Memo Sheet");

struct Refusal {
    Result kind;
    QString text;
    QString title;
};

template <typename Work>
Outcome run(AppContext &ctx, Work work)
{
    Outcome out;
    try {
        db::retryOnLockConflict([&] {
            out = Outcome();
            work(out);
            return 0;
        });
        out.result = Result::Done;
        changeEvents(ctx).announceParcel(0);
        changeEvents(ctx).announceMemo(0);
    } catch (const Refusal &r) {
        out.result = r.kind;
        out.message = r.text;
        ctx.prompt().inform(r.text, r.title.isEmpty() ? kTitle : r.title,
                            r.kind == Result::Conflict ? Icon::Exclamation : Icon::Information);
    } catch (const db::LockConflict &) {
        out.result = Result::Conflict;
        out.message = db::lockConflictMessage();
        ctx.prompt().inform(out.message, kTitle, Icon::Exclamation);
    } catch (const db::DbError &e) {
        out.result = Result::Failed;
        out.message = QStringLiteral("The Memo Sheet could not be changed, nothing has been saved:\n\n") + e.message();
        ctx.prompt().inform(out.message, kTitle, Icon::Critical);
    }
    return out;
}

// The carats typed for a memo line: a figure above 0 that the column holds.
Decimal5 typedCarats(AppContext &ctx, const QString &text)
{
    if (!figures::parseTyped(text) || figures::parseTyped(text)->units() <= 0)
        throw Refusal{Result::Refused, QStringLiteral("Please enter the Carats as a number above 0."),
                      QStringLiteral("Carat")};
    const figures::Reading r = figures::read(
        text, {QStringLiteral("Carats"), figures::columnOf(ctx.db(), QStringLiteral("Memo"), QStringLiteral("Carat")),
               figures::Need::Positive});
    if (!r.ok())
        throw Refusal{Result::Refused, r.error, QStringLiteral("Carat")};
    return r.value;
}

// A price per carat for a memo line; empty is 0.
Decimal5 typedPrice(AppContext &ctx, const QString &text, const QString &column)
{
    if (text.trimmed().isEmpty())
        return {};
    // "1,234.56" is a price; "0,75" is not one (never 75).
    const auto p = figures::parseTyped(text);
    if (!p)
        throw Refusal{Result::Refused, figures::notANumberMessage(QStringLiteral("Price"), text), kTitle};
    if (p->units() < 0)
        throw Refusal{Result::Refused, QStringLiteral("The Price \"%1\" is below 0.").arg(text.trimmed()), kTitle};
    const figures::Reading r =
        figures::read(text, {QStringLiteral("Price"), figures::columnOf(ctx.db(), QStringLiteral("Memo"), column)});
    if (!r.ok())
        throw Refusal{Result::Refused, r.error, kTitle};
    return r.value;
}

qint64 sheetCustomer(AppContext &ctx, qint64 memoSheetId)
{
    QSqlQuery q =
        db::exec(ctx.db(), QStringLiteral("SELECT CustomerID FROM memosheet WHERE ID = ? FOR UPDATE"), {memoSheetId});
    if (!q.next())
        throw Refusal{Result::Refused, QStringLiteral("Memo Sheet# %1 does not exist.").arg(memoSheetId), kTitle};
    const qint64 c = q.value(0).toLongLong();
    if (c <= 0)
        throw Refusal{Result::Refused, QStringLiteral("You need to select a Customer first!"),
                      QStringLiteral("Missing Customer Information")};
    return c;
}

} // namespace

QList<OlderParcelEntry> olderParcels(const QSqlDatabase &db)
{
    QList<OlderParcelEntry> out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID, SKU, CAST(Carat AS CHAR) FROM ParcelStock ORDER BY SKU, ID"));
    while (q.next())
        out.append({q.value(0).toLongLong(), db::textOf(q.value(1)), Decimal5::fromDb(q.value(2))});
    return out;
}

Decimal5 olderParcelOnSheet(const QSqlDatabase &db, qint64 memoSheetId, qint64 parcelId)
{
    return Decimal5::fromDb(db::scalar(
        db, QStringLiteral("SELECT CAST(COALESCE(SUM(Carat), 0) AS CHAR) FROM Memo WHERE MemoSheetID = ? AND ParcelID = ?"),
        {memoSheetId, parcelId}));
}

Outcome addOlderParcelToMemo(AppContext &ctx, qint64 memoSheetId, qint64 parcelId, const QString &carat,
                             const QString &us, const QString &local)
{
    if (!mayWrite(ctx, rights::Memo))
        return Outcome{Result::Refused};
    return run(ctx, [&](Outcome &o) {
        const Decimal5 c = typedCarats(ctx, carat);
        const Decimal5 priceUS = typedPrice(ctx, us, QStringLiteral("US")), priceLocal = typedPrice(ctx, local, QStringLiteral("Local"));
        db::Transaction tx(ctx.db());
        const qint64 customer = sheetCustomer(ctx, memoSheetId);
        QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT CAST(Carat AS CHAR) FROM ParcelStock WHERE ID = ? FOR UPDATE"),
                               {parcelId});
        if (!q.next())
            throw Refusal{Result::Refused, QStringLiteral("Unknown Parcel"), QStringLiteral("Parcel Status")};
        const Decimal5 onHand = Decimal5::fromDb(q.value(0));
        if (olderParcelOnSheet(ctx.db(), memoSheetId, parcelId).units() != 0)
            throw Refusal{Result::Refused, QStringLiteral("This Parcel is already part of this Memo Sheet!"),
                          QStringLiteral("Parcel found")};
        if (c > onHand)
            throw Refusal{Result::Refused,
                          QStringLiteral("Only %1 ct. of this Parcel are in stock.").arg(onHand.fixed(2)),
                          QStringLiteral("Carat")};
        // States the carats read: a movement on another workstation meanwhile
        // leaves this one without effect.
        if (db::execAffected(ctx.db(), QStringLiteral("UPDATE ParcelStock SET Carat = ? WHERE ID = ? AND Carat = ?"),
                             {(onHand - c).toDb(), parcelId, onHand.toDb()})
            != 1)
            throw Refusal{Result::Conflict,
                          QStringLiteral("This Parcel has been changed on another Workstation meanwhile.\n\nNothing has "
                                         "been changed."),
                          kTitle};
        const QDateTime now = QDateTime::currentDateTime();
        o.id = db::insert(ctx.db(),
                          QStringLiteral("INSERT INTO Memo (setdate, CustomerID, ParcelID, Carat, userID, Quantity, "
                                         "MemoSheetID, US, Local) VALUES (?, ?, ?, ?, ?, 1, ?, ?, ?)"),
                          {now, customer, parcelId, c.toDb(), ctx.user.ID, memoSheetId, priceUS.toDb(),
                           priceLocal.toDb()});
        db::exec(ctx.db(),
                 QStringLiteral("INSERT INTO PaymentReceived (Date, Reference, PaymentUS, PaymentLocal, StoneID, "
                                "CustomerID) VALUES (?, NULL, 0, 0, NULL, ?)"),
                 {now, customer});
        tx.commit();
    });
}

Outcome returnOlderParcelFromMemo(AppContext &ctx, qint64 memoSheetId, qint64 parcelId, const QString &carat)
{
    if (!mayWrite(ctx, rights::Memo))
        return Outcome{Result::Refused};
    const Outcome out = run(ctx, [&](Outcome &o) {
        const Decimal5 c = typedCarats(ctx, carat);
        db::Transaction tx(ctx.db());
        const qint64 customer = sheetCustomer(ctx, memoSheetId); // locks the sheet: its lines stay as read
        QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT CAST(Carat AS CHAR) FROM ParcelStock WHERE ID = ? FOR UPDATE"),
                               {parcelId});
        if (!q.next())
            throw Refusal{Result::Refused, QStringLiteral("Unknown Parcel"), QStringLiteral("Parcel Status")};
        const Decimal5 onHand = Decimal5::fromDb(q.value(0));
        const Decimal5 out = olderParcelOnSheet(ctx.db(), memoSheetId, parcelId);
        if (out.units() <= 0)
            throw Refusal{Result::Conflict, QStringLiteral("This Parcel is not part of the current Memo-Sheet"), kTitle};
        if (c > out)
            throw Refusal{Result::Refused,
                          QStringLiteral("Only %1 ct. of this Parcel are on this Memo Sheet.").arg(out.fixed(2)),
                          QStringLiteral("Carat")};
        if (db::execAffected(ctx.db(), QStringLiteral("UPDATE ParcelStock SET Carat = ? WHERE ID = ? AND Carat = ?"),
                             {(onHand + c).toDb(), parcelId, onHand.toDb()})
            != 1)
            throw Refusal{Result::Conflict,
                          QStringLiteral("This Parcel has been changed on another Workstation meanwhile.\n\nNothing has "
                                         "been changed."),
                          kTitle};
        // The return carries the line's prices, so that the sheet's net line
        // keeps its price per carat whichever of its rows the grid reads.
        QSqlQuery price = db::exec(ctx.db(),
                                   QStringLiteral("SELECT US, Local FROM Memo WHERE MemoSheetID = ? AND ParcelID = ? AND "
                                                  "Carat > 0 ORDER BY ID DESC LIMIT 1"),
                                   {memoSheetId, parcelId});
        QVariant us = 0, local = 0;
        if (price.next()) {
            us = price.value(0);
            local = price.value(1);
        }
        o.id = db::insert(ctx.db(),
                          QStringLiteral("INSERT INTO Memo (setdate, CustomerID, ParcelID, Carat, userID, Quantity, "
                                         "MemoSheetID, US, Local) VALUES (?, ?, ?, ?, ?, -1, ?, ?, ?)"),
                          {QDateTime::currentDateTime(), customer, parcelId, (-c).toDb(), ctx.user.ID, memoSheetId, us,
                           local});
        // The last carats back close the sheet, as the last stone does.
        o.memoClosed = memos::closeSheetIfEmpty(ctx, memoSheetId);
        tx.commit();
    });
    if (out.memoClosed)
        ctx.prompt().inform(QStringLiteral("This Memo has been closed now!"), kTitle, Icon::Information);
    return out;
}

} // namespace velmor::parcels
