#include "memos/MemoMoves.h"

#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/Users.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "memos/MemoFiles.h"
#include "memos/MemoPrice.h"
#include "pricing/SellingPrice.h"
#include "online/Listing.h"
#include "stones/StoneChangeLog.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <cmath>
#include <stdexcept>

namespace velmor::memos {

namespace {

const QString kTitle = QStringLiteral("Memo");

// A check that failed inside the transaction: thrown so that the transaction
// rolls back, and shown once it has.
struct Refusal {
    MoveResult kind;
    QString text;
    QString title;
    bool notice = false; // the message window instead of a message box
};

struct Sheet {
    qint64 customerId = 0;
    QString company;
};

Sheet readSheet(AppContext &ctx, qint64 memoSheetId)
{
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT memosheet.CustomerID, Customer.CompanyName FROM memosheet LEFT JOIN "
                                          "Customer ON Customer.ID=memosheet.CustomerID WHERE memosheet.ID=?"),
                           {memoSheetId});
    if (!q.next())
        throw Refusal{MoveResult::Refused, QStringLiteral("Memo Sheet# %1 does not exist.").arg(memoSheetId), kTitle};
    Sheet s;
    s.customerId = db::numOf(q.value(0)) > 0 ? q.value(0).toLongLong() : 0;
    s.company = db::textOf(q.value(1));
    if (s.customerId == 0)
        throw Refusal{MoveResult::Refused, QStringLiteral("You need to select a Customer first!"),
                      QStringLiteral("Missing Customer Information")};
    return s;
}

QVariant nullOf(QMetaType::Type t) { return QVariant(QMetaType(t)); }

int drawRnd() { return int(QRandomGenerator::global()->generateDouble() * 1000000.0); }

QString notOnSheet() { return QStringLiteral("This Diamond is not part of the current Memo-Sheet"); }

void checkRights(AppContext &ctx, qint64 employeeId)
{
    if (!ctx.user.AllowMemoAssigning)
        throw Refusal{MoveResult::Refused, QString(), QString()}; // the shared message, below
    if (employeeId <= 0)
        throw Refusal{MoveResult::Refused, QStringLiteral("please select an user first!"), QString(), true};
}

// Runs one movement: `work` opens its transaction and commits; a Refusal or
// an error leaves every row as it was.  Lost deadlocks are tried again.
template <typename Work>
MoveOutcome run(AppContext &ctx, Work work)
{
    MoveOutcome out;
    Prompt &p = ctx.prompt();
    try {
        db::retryOnLockConflict([&] {
            out = MoveOutcome();
            work(out);
            return 0;
        });
        out.result = MoveResult::Done;
    } catch (const Refusal &r) {
        out.result = r.kind;
        if (r.text.isEmpty())
            MsgPermissionModule(p);
        else if (r.notice)
            p.notice(r.text);
        else
            p.inform(r.text, r.title.isEmpty() ? kTitle : r.title,
                     r.kind == MoveResult::Conflict ? Icon::Exclamation : Icon::Information);
    } catch (const db::LockConflict &) {
        out.result = MoveResult::Conflict;
        p.inform(db::lockConflictMessage(), kTitle, Icon::Exclamation);
    } catch (const db::DbError &e) {
        out.result = MoveResult::Failed;
        p.inform(QStringLiteral("The Memo Sheet could not be changed, nothing has been saved:\n\n") + e.message(), kTitle,
                 Icon::Critical);
    } catch (const std::invalid_argument &e) {
        out.result = MoveResult::Refused;
        p.inform(QString::fromStdString(e.what()), kTitle, Icon::Information);
    }
    return out;
}

void movementRow(AppContext &ctx, qint64 stoneId, bool out, const QString &company)
{
    const QString sku =
        db::textOf(db::scalar(ctx.db(), QStringLiteral("SELECT SKU FROM SingleStone WHERE ID = ?"), {stoneId}));
    db::exec(ctx.db(),
             QStringLiteral("INSERT INTO StoneChange (SKU, StoneID, Date, Status, EmployeeID, LockPercent, Canadian) "
                            "VALUES (?, ?, ?, ?, ?, 0, 0)"),
             {sku, stoneId, QDateTime::currentDateTime(), movementText(out, company), ctx.user.ID});
}

// The closing check, in the movement's transaction: a sheet with nothing
// out on it any more, neither stones nor carats of a parcel (the net of the
// parcel's journal rows on the sheet), is closed; a sheet closed before
// stays closed.
bool closeIfEmpty(AppContext &ctx, qint64 memoSheetId)
{
    if (db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM SingleStone WHERE MemoSheetID = ? LIMIT 1"), {memoSheetId})
            .isValid())
        return false;
    if (db::scalar(ctx.db(),
                   QStringLiteral("SELECT ParcelID FROM Memo WHERE MemoSheetID = ? AND IFNULL(ParcelID, 0) <> 0 "
                                  "GROUP BY ParcelID HAVING SUM(IFNULL(Carat, 0)) <> 0 LIMIT 1"),
                   {memoSheetId})
            .isValid())
        return false;
    db::exec(ctx.db(), QStringLiteral("UPDATE memosheet SET closed = -1 WHERE ID = ?"), {memoSheetId});
    return true;
}

// One stone back into stock: false when it is not on this sheet any more.
bool returnOne(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, qint64 employeeId, const Sheet &sheet)
{
    if (db::execAffected(ctx.db(),
                         QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, DateStatusChange=NULL, "
                                        "MemoUS=NULL, MemoLocal=NULL, MemoSheetID=NULL WHERE ID=? AND MemoSheetID=? "
                                        "AND Status LIKE 'Memo'"),
                         {stoneId, memoSheetId})
        != 1)
        return false;
    movementRow(ctx, stoneId, false, sheet.company);
    db::exec(ctx.db(),
             QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, userID, Quantity, MemoSheetID, US, Local) "
                            "VALUES (?, ?, ?, ?, -1, ?, 0, 0)"),
             {QDateTime::currentDateTime(), sheet.customerId, stoneId, employeeId, memoSheetId});
    return true;
}

QString caratText(double carat)
{
    QString t = QString::number(carat, 'f', 5);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t;
}

// One stone sold to the sheet's customer at `stonePrice` (per stone).
bool sellOne(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, double stonePrice, const Sheet &sheet,
             invoices::Posted *posted, QString *sku)
{
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT SKU, Carat FROM SingleStone WHERE ID=? AND MemoSheetID=? "
                                                    "AND Status LIKE 'Memo' FOR UPDATE"),
                           {stoneId, memoSheetId});
    if (!q.next())
        return false;
    const QString skuText = db::textOf(q.value(0));
    const double carat = db::numOf(q.value(1));
    if (!(stonePrice > 0))
        throw Refusal{MoveResult::Refused,
                      QStringLiteral("%1 has no price on this memo (%2): it is not sold at that price.\n\nPut it "
                                     "on the memo again at the price agreed, or sell it from the stone screen.")
                          .arg(skuText, QString::number(stonePrice, 'f', 2)),
                      QStringLiteral("Selling Diamond")};
    if (carat <= 0)
        throw Refusal{MoveResult::Refused,
                      QStringLiteral("%1 has no Weight: it cannot be put on an Invoice by the Carat.").arg(skuText),
                      QStringLiteral("Selling Diamond")};
    if (db::execAffected(ctx.db(),
                         QStringLiteral("UPDATE SingleStone SET Status='Sold', MemoSheetID=NULL, CustomerID=?, "
                                        "DateStatusChange=?, datewassold=?, RND=? WHERE ID=? AND MemoSheetID=? AND "
                                        "Status LIKE 'Memo'"),
                         {sheet.customerId, QDateTime(QDate::currentDate(), QTime(0, 0)), QDateTime::currentDateTime(),
                          drawRnd(), stoneId, memoSheetId})
        != 1)
        return false;
    invoices::SaleLine line;
    line.customerId = sheet.customerId;
    line.diamondId = stoneId;
    line.carat = caratText(carat);
    // At the column's five decimals: the line's amount is the stone price.
    line.priceCarat = Decimal5::fromDouble(stonePrice).dividedBy(Decimal5::fromDouble(carat)).toDb();
    *posted = invoices::postInTransaction(ctx, line);
    if (ctx.settings.StoneChange)
        stones::SaveDeleteChangeStatus(ctx, QStringLiteral("status"), stoneId);
    if (sku)
        *sku = skuText;
    return true;
}

QList<qint64> stonesOfSheet(AppContext &ctx, qint64 memoSheetId)
{
    QList<qint64> ids;
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT ID FROM SingleStone WHERE MemoSheetID=? AND Status LIKE 'Memo' "
                                          "ORDER BY ID FOR UPDATE"),
                           {memoSheetId});
    while (q.next())
        ids << q.value(0).toLongLong();
    return ids;
}

// After the commit: the listing, then the closing message.
void afterCommit(AppContext &ctx, MoveOutcome &out, qint64 memoSheetId, const QList<qint64> &stones, bool sold)
{
    // The open screens that show these stones, the sheet or the invoice.
    for (qint64 id : stones)
        changeEvents(ctx).announceStone(id);
    changeEvents(ctx).announceMemo(memoSheetId);
    if (out.posted.invoiceId > 0)
        changeEvents(ctx).announceInvoice(out.posted.invoiceId);
    online::Listing listing(ctx.workstation);
    if (listing.configured()) {
        for (qint64 id : stones) {
            if (sold)
                listing.remove(int(id));
            else
                listing.update(ctx.db(), int(id));
            if (!listing.failure().isEmpty())
                break;
        }
        out.listingFailure = listing.failure();
        if (!out.listingFailure.isEmpty())
            ctx.prompt().inform(out.listingFailure, QStringLiteral("Online Listing"), Icon::Exclamation);
    }
    if (out.sheetClosed)
        ctx.prompt().inform(QStringLiteral("This Memo has been closed now!"), kTitle, Icon::Information);
}

} // namespace

bool closeSheetIfEmpty(AppContext &ctx, qint64 memoSheetId) { return closeIfEmpty(ctx, memoSheetId); }

QString movementText(bool out, const QString &companyName)
{
    return stones::movementStatus(out ? QStringLiteral("out") : QStringLiteral("in"), companyName);
}

double memoStonePrice(double carat, double rapPerCarat, double discount, int step)
{
    return pricing::sellPerStone(Decimal5::fromDouble(rapPerCarat), Decimal5::fromDouble(discount),
                                 Decimal5::fromDouble(carat), step)
        .toDouble();
}

MemoPrice memoPrice(double carat, double rapPerCarat, bool priceTyped, double stonePrice, double discount, int step)
{
    MemoPrice m;
    const double list = carat * rapPerCarat;
    if (priceTyped) {
        m.stonePrice = Decimal5::fromDouble(stonePrice).rounded(2).toDouble();
        if (list > 0)
            m.discount = std::floor((100.0 - m.stonePrice * 100.0 / list) * 100.0 + 0.5) / 100.0;
    } else if (list > 0) {
        m.stonePrice = memoStonePrice(carat, rapPerCarat, discount, step);
        m.discount = discount;
    }
    return m;
}

MoveOutcome putOnMemo(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, const QString &discount, qint64 employeeId,
                      const QString &stonePrice)
{
    MoveOutcome out = run(ctx, [&](MoveOutcome &o) {
        checkRights(ctx, employeeId);
        const bool priceTyped = !stonePrice.trimmed().isEmpty();
        // The discount is read even when a price was typed: a discount that
        // is not a figure is never passed over.
        const std::optional<Decimal5> typedDiscount = figures::parseTyped(discount);
        if (!typedDiscount)
            throw Refusal{MoveResult::Refused,
                          QStringLiteral("The discount off RAP \"%1\" is not a number.").arg(discount), kTitle};
        const figures::Reading readDiscount = figures::read(
            discount, {QStringLiteral("discount off RAP"),
                       figures::columnOf(ctx.db(), QStringLiteral("SingleStone"), QStringLiteral("currentRAPdiscountFORmemo"))});
        if (!readDiscount.ok())
            throw Refusal{MoveResult::Refused, readDiscount.error, kTitle};
        const double d = typedDiscount->toDouble();
        double price = 0;
        if (priceTyped) {
            const figures::Reading typedPrice = figures::read(
                stonePrice, {QStringLiteral("price US$ /Stone"),
                             figures::columnOf(ctx.db(), QStringLiteral("SingleStone"), QStringLiteral("MemoUS"))});
            if (!typedPrice.ok())
                throw Refusal{MoveResult::Refused, typedPrice.error, kTitle};
            price = typedPrice.toDouble();
        }
        db::Transaction tx(ctx.db());
        // A locking read: a second workstation putting the same stone on
        // another sheet waits here and then sees this one's result.
        QSqlQuery q = db::exec(ctx.db(),
                               QStringLiteral("SELECT Status, MemoSheetID, SKU, Carat, RapaportPrice FROM SingleStone "
                                              "WHERE ID=? FOR UPDATE"),
                               {stoneId});
        if (!q.next())
            throw Refusal{MoveResult::Refused, QStringLiteral("Unknown Stone"), QStringLiteral("Stone Status")};
        const QString status = db::textOf(q.value(0));
        // The price the dealer agreed is kept; the discount off the list is
        // only a derived figure, and only where the stone has a list price.
        const MemoPrice agreed = memoPrice(db::numOf(q.value(3)), db::numOf(q.value(4)), priceTyped, price, d,
                                           pricing::sellingPriceStep(ctx.settings));
        if (agreed.stonePrice <= 0)
            throw Refusal{MoveResult::Refused,
                          QStringLiteral("%1 has no price for this memo: type its price in US$ /Stone (it must be "
                                         "above 0).")
                              .arg(db::textOf(q.value(2))),
                          kTitle};
        if (status.toUpper().contains(QLatin1String("MEMO"))) {
            const qint64 holder = q.value(1).toLongLong();
            const QString company = db::textOf(db::scalar(
                ctx.db(),
                QStringLiteral("SELECT CompanyName FROM customer INNER JOIN memosheet ON "
                               "customer.id=memosheet.CustomerID WHERE memosheet.ID = ?"),
                {holder}));
            throw Refusal{MoveResult::Refused,
                          QStringLiteral("This Diamond is already on MEMO for ") + company
                              + QStringLiteral(" on Memo# ") + QString::number(holder),
                          kTitle};
        }
        // A sold stone or one given back to its vendor is no longer here to
        // lend out.
        if (status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0)
            throw Refusal{MoveResult::Refused, QStringLiteral("This Stone is already sold!"),
                          QStringLiteral("Stone is sold")};
        if (status.compare(QLatin1String("returned"), Qt::CaseInsensitive) == 0)
            throw Refusal{MoveResult::Refused,
                          QStringLiteral("This Stone has been returned to the Vendor and is not part of your Inventory!"),
                          QStringLiteral("Stone Status")};
        const Sheet sheet = readSheet(ctx, memoSheetId);
        MemoFiles(ctx.workstation).setLastDiscount(discount.trimmed());
        const QDateTime now = QDateTime::currentDateTime();
        if (db::execAffected(ctx.db(),
                             QStringLiteral("UPDATE SingleStone SET Status='Memo', DateOnMemo=?, "
                                            "currentRAPdiscountFORmemo=?, MemoUS=?, MemoLocal=NULL, CustomerID=?, "
                                            "MemoSheetID=?, DateStatusChange=? WHERE ID=? AND COALESCE(Status,'')=?"),
                             {now, agreed.discount, agreed.stonePrice, sheet.customerId, memoSheetId, now, stoneId,
                              status})
            != 1)
            throw Refusal{MoveResult::Conflict,
                          QStringLiteral("This Diamond has been changed on another Workstation meanwhile.\n\nNothing "
                                         "has been changed."),
                          kTitle};
        movementRow(ctx, stoneId, true, sheet.company);
        db::exec(ctx.db(),
                 QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, userID, outonmemorapdiscount, "
                                "Quantity, MemoSheetID, US, Local) VALUES (?, ?, ?, ?, ?, 1, ?, ?, NULL)"),
                 {now, sheet.customerId, stoneId, employeeId, agreed.discount, memoSheetId, agreed.stonePrice});
        db::exec(ctx.db(),
                 QStringLiteral("INSERT INTO PaymentReceived (Date, Reference, PaymentUS, PaymentLocal, StoneID, "
                                "CustomerID) VALUES (?, NULL, 0, 0, ?, ?)"),
                 {now, stoneId, sheet.customerId});
        tx.commit();
        o.moved = 1;
    });
    if (out.ok())
        afterCommit(ctx, out, memoSheetId, {stoneId}, false);
    return out;
}

MoveOutcome putOnMemoAtPrice(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, const QString &us,
                             const QString &local, bool fixPrice)
{
    bool switched = false;
    MoveOutcome out = run(ctx, [&](MoveOutcome &o) {
        switched = false;
        if (!ctx.user.AllowMemoAssigning)
            throw Refusal{MoveResult::Refused, QString(), QString()};
        // An empty price is no memo price; a typed one is a figure above 0
        // that its column holds ("0,75" is not 75).
        auto price = [&ctx](const QString &text, const QString &name, const QString &column) {
            if (text.trimmed().isEmpty())
                return QVariant(QMetaType(QMetaType::Double));
            const figures::Reading r = figures::read(
                text, {name, figures::columnOf(ctx.db(), QStringLiteral("SingleStone"), column), figures::Need::Positive});
            if (!r.ok())
                throw Refusal{MoveResult::Refused, r.error, kTitle};
            return QVariant(r.value.toDb());
        };
        const QVariant priceUS = price(us, QStringLiteral("Sell Price US$/Stone"), QStringLiteral("MemoUS"));
        const QVariant priceLocal =
            price(local, QStringLiteral("Sell Price %1/Stone").arg(ctx.settings.currencyName()), QStringLiteral("MemoLocal"));
        db::Transaction tx(ctx.db());
        const Sheet sheet = readSheet(ctx, memoSheetId);
        QSqlQuery q = db::exec(ctx.db(),
                               QStringLiteral("SELECT Status, OnHoldForCustomerID, LockPercent, Carat, RapaportPrice "
                                              "FROM SingleStone WHERE ID=? FOR UPDATE"),
                               {stoneId});
        if (!q.next())
            throw Refusal{MoveResult::Refused, QStringLiteral("Unknown Stone"), QStringLiteral("Stone Status")};
        const QString status = db::textOf(q.value(0));
        const qint64 holdFor = q.value(1).toLongLong();
        const bool floating = !db::flagOf(q.value(2));
        // One memo price for both memo screens: the agreed US price, and the
        // discount it comes to where there is a list price (never an older
        // memo's discount left behind).
        const QVariant discountOff = priceUS.isNull()
            ? nullOf(QMetaType::Double)
            : memoPrice(db::numOf(q.value(3)), db::numOf(q.value(4)), true, priceUS.toDouble(), 0).discount;
        if (status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0)
            throw Refusal{MoveResult::Refused, QStringLiteral("This Stone is already sold!"),
                          QStringLiteral("Stone is sold")};
        if (holdFor > 0 && holdFor != sheet.customerId)
            throw Refusal{MoveResult::Refused, QStringLiteral("This Stone is on Hold for another Customer!"),
                          QStringLiteral("Stone on Hold")};
        if (status.toUpper().contains(QLatin1String("MEMO")))
            throw Refusal{MoveResult::Refused, QStringLiteral("This Stone is already on Memo/Consignment"),
                          QStringLiteral("Stone Status")};
        if (status.compare(QLatin1String("returned"), Qt::CaseInsensitive) == 0)
            throw Refusal{MoveResult::Refused,
                          QStringLiteral("This Stone has been returned to the Vendor and is not part of your Inventory!"),
                          QStringLiteral("Stone Status")};
        const QDateTime now = QDateTime::currentDateTime();
        switched = fixPrice && floating;
        const QString basis = switched ? QStringLiteral(", PaidOffPercentageUS=0, PaidOffUS=-1, "
                                                        "PaidOffPercentageLocal=0, PaidOffLocal=-1")
                                       : QString();
        if (db::execAffected(ctx.db(),
                             QStringLiteral("UPDATE SingleStone SET Status='Memo', DateOnMemo=?, MemoUS=?, MemoLocal=?, "
                                            "currentRAPdiscountFORmemo=?, CustomerID=?, MemoSheetID=?, DateStatusChange=?")
                                 + basis + QStringLiteral(" WHERE ID=? AND COALESCE(Status,'')=?"),
                             {now, priceUS, priceLocal, discountOff, sheet.customerId, memoSheetId, now, stoneId,
                              status})
            != 1)
            throw Refusal{MoveResult::Conflict,
                          QStringLiteral("This Diamond has been changed on another Workstation meanwhile.\n\nNothing "
                                         "has been changed."),
                          kTitle};
        movementRow(ctx, stoneId, true, sheet.company);
        db::exec(ctx.db(),
                 QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, userID, Quantity, MemoSheetID, US, "
                                "Local) VALUES (?, ?, ?, ?, 1, ?, ?, ?)"),
                 {now, sheet.customerId, stoneId, ctx.user.ID, memoSheetId, priceUS, priceLocal});
        db::exec(ctx.db(),
                 QStringLiteral("INSERT INTO PaymentReceived (Date, Reference, PaymentUS, PaymentLocal, StoneID, "
                                "CustomerID) VALUES (?, NULL, 0, 0, ?, ?)"),
                 {now, stoneId, sheet.customerId});
        tx.commit();
        o.moved = 1;
    });
    if (out.ok()) {
        if (switched)
            ctx.prompt().inform(
                QStringLiteral("This Diamond was originally setup to be sold by a floating Value based on Rapaport.\r\n"
                               "Since you have changed the Price of this Stone because it's being memo'ed, \r\n"
                               "the Price of the Stone will from now on always be based on the Price of the day when "
                               "it was put on Memo"),
                QStringLiteral("Diamond memoing"), Icon::Information);
        afterCommit(ctx, out, memoSheetId, {stoneId}, false);
    }
    return out;
}

MoveOutcome returnToStock(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, qint64 employeeId)
{
    MoveOutcome out = run(ctx, [&](MoveOutcome &o) {
        checkRights(ctx, employeeId);
        db::Transaction tx(ctx.db());
        const Sheet sheet = readSheet(ctx, memoSheetId);
        if (!returnOne(ctx, memoSheetId, stoneId, employeeId, sheet))
            throw Refusal{MoveResult::Conflict, notOnSheet(), kTitle};
        o.sheetClosed = closeIfEmpty(ctx, memoSheetId);
        tx.commit();
        o.moved = 1;
    });
    if (out.ok())
        afterCommit(ctx, out, memoSheetId, {stoneId}, false);
    return out;
}

MoveOutcome sellFromMemo(AppContext &ctx, qint64 memoSheetId, qint64 stoneId, const QString &stonePrice)
{
    QString sku;
    MoveOutcome out = run(ctx, [&](MoveOutcome &o) {
        if (!ctx.user.AllowMemoAssigning)
            throw Refusal{MoveResult::Refused, QString(), QString()};
        const std::optional<Decimal5> typed = figures::parseTyped(stonePrice);
        if (!typed)
            throw Refusal{MoveResult::Refused, figures::notANumberMessage(QStringLiteral("Stone Price"), stonePrice),
                          QStringLiteral("Selling Diamond")};
        // A price of 0 or below is refused by the sale itself, naming the stone.
        const double price = typed->rounded(2).toDouble();
        db::Transaction tx(ctx.db());
        const Sheet sheet = readSheet(ctx, memoSheetId);
        if (!sellOne(ctx, memoSheetId, stoneId, price, sheet, &o.posted, &sku))
            throw Refusal{MoveResult::Conflict, notOnSheet(), kTitle};
        o.sheetClosed = closeIfEmpty(ctx, memoSheetId);
        tx.commit();
        o.moved = 1;
    });
    if (out.ok()) {
        ctx.prompt().notice(invoices::postedNotice(out.posted, sku));
        afterCommit(ctx, out, memoSheetId, {stoneId}, true);
    }
    return out;
}

MoveOutcome returnAll(AppContext &ctx, qint64 memoSheetId, qint64 employeeId)
{
    QList<qint64> moved;
    MoveOutcome out = run(ctx, [&](MoveOutcome &o) {
        checkRights(ctx, employeeId);
        moved.clear();
        db::Transaction tx(ctx.db());
        const Sheet sheet = readSheet(ctx, memoSheetId);
        const QList<qint64> ids = stonesOfSheet(ctx, memoSheetId);
        if (!ids.isEmpty()) {
            // Set-based: the stones and their two rows each in one statement
            // apiece, the same rows the one-by-one return writes.
            const QDateTime now = QDateTime::currentDateTime();
            db::exec(ctx.db(),
                     QStringLiteral("INSERT INTO StoneChange (SKU, StoneID, Date, Status, EmployeeID, LockPercent, "
                                    "Canadian) SELECT SKU, ID, ?, ?, ?, 0, 0 FROM SingleStone WHERE MemoSheetID=? AND "
                                    "Status LIKE 'Memo' ORDER BY ID"),
                     {now, movementText(false, sheet.company), ctx.user.ID, memoSheetId});
            db::exec(ctx.db(),
                     QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, userID, Quantity, MemoSheetID, "
                                    "US, Local) SELECT ?, ?, ID, ?, -1, ?, 0, 0 FROM SingleStone WHERE MemoSheetID=? "
                                    "AND Status LIKE 'Memo' ORDER BY ID"),
                     {now, sheet.customerId, employeeId, memoSheetId, memoSheetId});
            const int n = db::execAffected(
                ctx.db(),
                QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, DateStatusChange=NULL, "
                               "MemoUS=NULL, MemoLocal=NULL, MemoSheetID=NULL WHERE MemoSheetID=? AND Status LIKE "
                               "'Memo'"),
                {memoSheetId});
            if (n != ids.size())
                throw db::DbError(QStringLiteral("The stones of the memo sheet changed during the return."));
        }
        o.sheetClosed = closeIfEmpty(ctx, memoSheetId);
        tx.commit();
        o.moved = int(ids.size());
        moved = ids;
    });
    if (out.ok()) {
        ctx.prompt().notice(QStringLiteral("%1 Diamonds have been returned into Stock").arg(out.moved));
        afterCommit(ctx, out, memoSheetId, moved, false);
    }
    return out;
}

MoveOutcome sellAll(AppContext &ctx, qint64 memoSheetId)
{
    QList<qint64> moved;
    MoveOutcome out = run(ctx, [&](MoveOutcome &o) {
        if (!ctx.user.AllowMemoAssigning)
            throw Refusal{MoveResult::Refused, QString(), QString()};
        moved.clear();
        db::Transaction tx(ctx.db());
        const Sheet sheet = readSheet(ctx, memoSheetId);
        const QList<qint64> ids = stonesOfSheet(ctx, memoSheetId);
        // Each stone is sold at the memo price the sheet and its paper show
        // (the price the customer signed for); every one needs a price of
        // more than 0 before any is sold.
        QList<double> prices;
        QStringList unpriced;
        const int step = pricing::sellingPriceStep(ctx.settings);
        for (qint64 id : ids) {
            QSqlQuery p = db::exec(ctx.db(), QStringLiteral("SELECT SKU, %1 FROM SingleStone WHERE ID=?").arg(memoPriceColumns()),
                                   {id});
            const bool found = p.next();
            const Decimal5 price = found ? memoPriceUS(memoPriceFacts(p.record()), step) : Decimal5();
            prices << price.toDouble();
            if (found && !(price > Decimal5()))
                unpriced << db::textOf(p.value(0));
        }
        if (!unpriced.isEmpty())
            throw Refusal{MoveResult::Refused,
                          QStringLiteral("These Stones have no memo price: %1.\n\nPlease put them on the memo at "
                                         "the price agreed first; nothing has been sold.")
                              .arg(unpriced.join(QStringLiteral(", "))),
                          QStringLiteral("Selling Diamond")};
        for (int i = 0; i < ids.size(); ++i) {
            const qint64 id = ids[i];
            const double price = prices[i];
            if (!sellOne(ctx, memoSheetId, id, price, sheet, &o.posted, nullptr))
                throw db::DbError(QStringLiteral("The stones of the memo sheet changed during the sale."));
        }
        o.sheetClosed = closeIfEmpty(ctx, memoSheetId);
        tx.commit();
        o.moved = int(ids.size());
        moved = ids;
    });
    if (out.ok()) {
        if (out.moved)
            ctx.prompt().notice(QStringLiteral("%1 Diamonds have been sold: ").arg(out.moved)
                                + invoices::postedNotice(out.posted));
        afterCommit(ctx, out, memoSheetId, moved, true);
    }
    return out;
}

} // namespace velmor::memos
