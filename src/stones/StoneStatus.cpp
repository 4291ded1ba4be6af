#include "stones/StoneStatus.h"

#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "stones/StoneChangeLog.h"

#include <QDateTime>
#include <QLocale>
#include <QRandomGenerator>

namespace velmor::stones {

namespace {

int drawRnd() { return int(QRandomGenerator::global()->generateDouble() * 1000000.0) + 1; }

QString currentStatus(AppContext &ctx, qint64 id, bool *exists = nullptr)
{
    const QVariant v = db::scalar(ctx.db(), QStringLiteral("SELECT Status FROM SingleStone WHERE ID = ?"), {id});
    if (exists)
        *exists = v.isValid();
    return db::textOf(v);
}

// The message of a status change that lost the race with another workstation.
StatusResult conflict(AppContext &ctx, qint64 id, const QString &title)
{
    bool exists = false;
    const QString now = currentStatus(ctx, id, &exists);
    ctx.prompt().inform(
        exists ? QStringLiteral("This Diamond has been changed on another Workstation meanwhile: its Status is now "
                                "\"%1\".\n\nNothing has been changed. Please look at the Diamond again.")
                     .arg(now)
               : QStringLiteral("This Diamond has been deleted on another Workstation meanwhile.\n\nNothing has been "
                                "changed."),
        title, Icon::Exclamation);
    return StatusResult::Conflict;
}

// A change the database refused: said, never passed over.
StatusResult failed(AppContext &ctx, const QString &title, const db::DbError &e)
{
    ctx.prompt().inform(QStringLiteral("The Diamond could not be changed:\n\n") + e.message(), title, Icon::Critical);
    return StatusResult::Failed;
}

QString companyName(AppContext &ctx, qint64 customerId)
{
    return db::textOf(
        db::scalar(ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {customerId}));
}

void snapshot(AppContext &ctx, qint64 id)
{
    if (ctx.settings.StoneChange)
        SaveDeleteChangeStatus(ctx, QStringLiteral("status"), id);
}

QVariant today() { return QDateTime(QDate::currentDate(), QTime(0, 0)); }

// One status change: the UPDATE (which must name the expected status in its
// WHERE and affect one row), then the rows that go with it, in a transaction.
// `check` runs first in the same transaction and returns the refusal's words
// (empty to go on).  A transaction that lost a deadlock or a lock wait to
// another workstation runs again; only when every try lost is the user told.
template <typename Check, typename After>
StatusResult change(AppContext &ctx, qint64 id, const QString &title, const QString &sql, const QVariantList &binds,
                    Check check, After after)
{
    enum class Outcome { Done, Conflict, Refused };
    Outcome outcome = Outcome::Done;
    QString refusal;
    try {
        outcome = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            refusal = check();
            if (!refusal.isEmpty())
                return Outcome::Refused;
            if (db::execAffected(ctx.db(), sql, binds) != 1)
                return Outcome::Conflict;
            after();
            snapshot(ctx, id);
            tx.commit();
            changeEvents(ctx).announceStone(id);
            return Outcome::Done;
        });
    } catch (const db::LockConflict &) {
        ctx.prompt().inform(db::lockConflictMessage(), title, Icon::Exclamation);
        return StatusResult::Conflict;
    } catch (const db::DbError &e) {
        return failed(ctx, title, e);
    }
    switch (outcome) {
    case Outcome::Conflict: return conflict(ctx, id, title);
    case Outcome::Refused: ctx.prompt().inform(refusal, title, Icon::Information); return StatusResult::Refused;
    case Outcome::Done: break;
    }
    return StatusResult::Done;
}

template <typename After>
StatusResult change(AppContext &ctx, qint64 id, const QString &title, const QString &sql, const QVariantList &binds,
                    After after)
{
    return change(ctx, id, title, sql, binds, [] { return QString(); }, after);
}

} // namespace

static StatusResult sellStoneUnguarded(AppContext &ctx, qint64 stoneId, qint64 customerId)
{
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    Prompt &p = ctx.prompt();
    if (customerId == 0) {
        p.inform(QStringLiteral("You have to select a Customer before you can proceed!"), QStringLiteral("Message"),
                 Icon::Information);
        return StatusResult::Refused;
    }
    if (stoneId == 0) {
        p.inform(QStringLiteral("You have to select a Diamond before you can proceed!"), QStringLiteral("Message"),
                 Icon::Information);
        return StatusResult::Refused;
    }
    const QString title = QStringLiteral("Selling Diamond");
    if (!p.askYesNo(QStringLiteral("Are you sure you want to sell this Stone to\n\n") + companyName(ctx, customerId)
                        + QStringLiteral("\n\n"),
                    title, Icon::Question))
        return StatusResult::Declined;
    return change(ctx, stoneId, title,
                  QStringLiteral("UPDATE SingleStone SET Status='Sold', CustomerID=?, DateStatusChange=?, "
                                 "datewassold=?, RND=? WHERE ID=? AND Status LIKE 'Stock'"),
                  {customerId, today(), QDateTime::currentDateTime(), drawRnd(), stoneId}, [] {});
}

StatusResult returnFromCustomer(AppContext &ctx, qint64 stoneId)
{
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    const QString title = QStringLiteral("Return");
    // The sale this return undoes: the stone's last invoice line not yet
    // returned.
    qint64 lineId = 0, invoiceId = 0;
    QString question = QStringLiteral("This Stone will be put back into Stock, no reverse Invoice will be created!");
    try {
        QSqlQuery q = db::exec(ctx.db(),
                               QStringLiteral("SELECT il.ID, il.invoiceid, il.dateadded, c.CompanyName FROM invoicelist il "
                                              "LEFT JOIN invoice i ON i.ID = il.invoiceid LEFT JOIN Customer c ON "
                                              "c.ID = i.customerid WHERE il.diamondid = ? AND il.returned IS NULL "
                                              "ORDER BY il.ID DESC LIMIT 1"),
                               {stoneId});
        if (q.next()) {
            lineId = q.value(0).toLongLong();
            invoiceId = q.value(1).toLongLong();
            question += QStringLiteral("\n\nIt was sold to %1 on Invoice #%2 (%3); that sale is recorded as "
                                       "returned.")
                            .arg(db::textOf(q.value(3)))
                            .arg(q.value(1).toLongLong())
                            .arg(QLocale(QLocale::English).toString(q.value(2).toDate(), QStringLiteral("MMM dd, yyyy")));
        }
    } catch (const db::DbError &e) {
        return failed(ctx, title, e);
    }
    if (!ctx.prompt().askYesNo(question + QStringLiteral("\n\nDo you want to put it back into Stock?"), title,
                               Icon::Question))
        return StatusResult::Declined;
    const StatusResult r = change(ctx, stoneId, title,
                                  QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, "
                                                 "DateStatusChange=?, RND=? WHERE ID=? AND Status LIKE 'Sold'"),
                                  {today(), drawRnd(), stoneId}, [&] {
                                      // Recorded against the line it reverses, once.
                                      if (lineId != 0
                                          && db::execAffected(ctx.db(),
                                                              QStringLiteral("UPDATE invoicelist SET returned = ?, "
                                                                             "returnedby = ? WHERE ID = ? AND "
                                                                             "returned IS NULL"),
                                                              {QDateTime::currentDateTime(), ctx.user.ID, lineId})
                                                 != 1)
                                          throw db::DbError(QStringLiteral(
                                              "The sale of this Diamond was returned on another Workstation meanwhile."));
                                  });
    if (r == StatusResult::Done) {
        if (invoiceId)
            changeEvents(ctx).announceInvoice(invoiceId);
        ctx.prompt().notice(QStringLiteral("Stone is marked back into Stock!"));
    }
    return r;
}

namespace {
StatusResult vendorMove(AppContext &ctx, qint64 stoneId, bool out)
{
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    const QString title = QStringLiteral("Vendor");
    if (!ctx.prompt().askYesNo(out ? QStringLiteral("This Stone will be removed from Stock!")
                                   : QStringLiteral("This Stone will enter your Stock again!"),
                               title, Icon::Question))
        return StatusResult::Declined;
    const QString sql = out ? QStringLiteral("UPDATE SingleStone SET Status='returned', CustomerID=NULL, "
                                             "DateStatusChange=?, RND=? WHERE ID=? AND Status LIKE 'Stock'")
                            : QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, "
                                             "DateStatusChange=?, RND=? WHERE ID=? AND Status LIKE 'returned'");
    const StatusResult r = change(ctx, stoneId, title, sql, {today(), drawRnd(), stoneId}, [&] {
        db::exec(ctx.db(), QStringLiteral("INSERT INTO returntovendor (DiamondID, Date, Action) VALUES (?, ?, ?)"),
                 {stoneId, QDateTime::currentDateTime(), out ? QStringLiteral("remove") : QStringLiteral("received")});
    });
    if (r == StatusResult::Done)
        ctx.prompt().notice(out ? QStringLiteral("Stone has been return to Vendor and is not part of your Inventory "
                                                 "anymore!")
                                : QStringLiteral("Stone has been received back from Vendor!"));
    return r;
}
} // namespace

StatusResult returnToVendor(AppContext &ctx, qint64 stoneId) { return vendorMove(ctx, stoneId, true); }
StatusResult receiveFromVendor(AppContext &ctx, qint64 stoneId) { return vendorMove(ctx, stoneId, false); }

static StatusResult returnFromMemoUnguarded(AppContext &ctx, qint64 stoneId)
{
    if (!mayWrite(ctx, QStringLiteral("AllowMemoAssigning")))
        return StatusResult::Refused;
    const QString title = QStringLiteral("Status Change");
    QSqlQuery q = db::exec(ctx.db(),
                           QStringLiteral("SELECT Status, CustomerID, MemoSheetID FROM SingleStone WHERE ID = ?"),
                           {stoneId});
    if (!q.next())
        return conflict(ctx, stoneId, title);
    const db::Row row(q.record());
    if (row.text("Status").compare(QLatin1String("Memo"), Qt::CaseInsensitive) != 0)
        return conflict(ctx, stoneId, title);
    const qint64 customer = row.integer("CustomerID");
    const qint64 sheet = row.integer("MemoSheetID");
    return change(ctx, stoneId, title,
                  QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, DateStatusChange=NULL, "
                                 "MemoUS=NULL, MemoLocal=NULL, MemoSheetID=NULL, currentRAPdiscountFORmemo=NULL, "
                                 "DateOnMemo=NULL, RND=? WHERE ID=? AND Status LIKE 'Memo' AND "
                                 "COALESCE(MemoSheetID, 0) = ?"),
                  {drawRnd(), stoneId, sheet},
                  [&] {
                      // In the return's own transaction, as a locking read: a
                      // payment entered on another workstation meanwhile
                      // waits for the return, or the return sees it.
                      const double paid = db::numOf(db::scalar(
                          ctx.db(),
                          QStringLiteral("SELECT SUM(PaymentUS) FROM PaymentReceived WHERE StoneID = ? FOR UPDATE"),
                          {stoneId}));
                      return paid != 0 ? QStringLiteral("Payments have been made towards this Diamond, \nyou cannot "
                                                        "return this Diamond into Stock")
                                       : QString();
                  },
                  [&] {
                      db::exec(ctx.db(),
                               QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, Quantity, MemoSheetID, "
                                              "userid) VALUES (?, ?, ?, -1, ?, ?)"),
                               {QDateTime::currentDateTime(), customer, stoneId, sheet, ctx.user.ID});
                      writeMovement(ctx, stoneId, QStringLiteral("in"), customer);
                  });
}

StatusResult setHold(AppContext &ctx, qint64 stoneId, qint64 customerId)
{
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    try {
        db::exec(ctx.db(), QStringLiteral("UPDATE SingleStone SET OnHoldForCustomerID=? WHERE ID=?"),
                 {customerId ? QVariant(customerId) : QVariant(QMetaType::fromType<int>()), stoneId});
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("On Hold"), e);
    }
    return StatusResult::Done;
}

StatusResult saveHoldNote(AppContext &ctx, qint64 stoneId, const QString &note, const QDate &date)
{
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    try {
        db::exec(ctx.db(), QStringLiteral("UPDATE SingleStone SET OnHoldNote=?, OnHoldDate=? WHERE ID=?"),
                 {note.left(100), date.isValid() ? QVariant(date) : QVariant(QMetaType::fromType<QDate>()), stoneId});
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("On Hold"), e);
    }
    return StatusResult::Done;
}

bool confirmConsignmentIn(AppContext &ctx, qint64 supplierId)
{
    return ctx.prompt().askYesNo(QStringLiteral("You are changing the 'Consignment-IN' Property to\nDiamond here from ")
                                     + companyName(ctx, supplierId)
                                     + QStringLiteral("\n\nAre you sure you want to do that?"),
                                 QStringLiteral("Consignment-IN Status Change"), Icon::Question);
}

static StatusResult setConsignmentInUnguarded(AppContext &ctx, qint64 stoneId, qint64 supplierId, bool alsoSupplier)
{
    if (stoneId == 0 || supplierId == 0)
        return StatusResult::Refused;
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    if (!confirmConsignmentIn(ctx, supplierId))
        return StatusResult::Declined;
    try {
        db::Transaction tx(ctx.db());
        db::exec(ctx.db(),
                 alsoSupplier ? QStringLiteral("UPDATE SingleStone SET ConsignmentInCustomerID=?, SupplierID=? WHERE ID=?")
                              : QStringLiteral("UPDATE SingleStone SET ConsignmentInCustomerID=? WHERE ID=?"),
                 alsoSupplier ? QVariantList{supplierId, supplierId, stoneId} : QVariantList{supplierId, stoneId});
        if (!db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM PaymentMade WHERE StoneID=? AND CustomerID=? LIMIT 1"),
                        {stoneId, supplierId})
                 .isValid())
            db::exec(ctx.db(),
                     QStringLiteral("INSERT INTO PaymentMade (Date, Reference, PaymentUS, PaymentLocal, StoneID, "
                                    "CustomerID, EmployeeID) VALUES (?, NULL, 0, 0, ?, ?, ?)"),
                     {today(), stoneId, supplierId, ctx.user.ID});
        tx.commit();
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("Consignment-IN Status Change"), e);
    }
    return StatusResult::Done;
}

StatusResult setSupplier(AppContext &ctx, qint64 stoneId, qint64 supplierId)
{
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    try {
        db::exec(ctx.db(), QStringLiteral("UPDATE SingleStone SET SupplierID=? WHERE ID=?"),
                 {supplierId ? QVariant(supplierId) : QVariant(QMetaType::fromType<int>()), stoneId});
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("Supplier"), e);
    }
    return StatusResult::Done;
}

StatusResult bindIntoItem(AppContext &ctx, qint64 stoneId, qint64 itemId)
{
    const QString title = QStringLiteral("Diamond Assembly");
    if (!mayWrite(ctx, kStatusRight))
        return StatusResult::Refused;
    if (itemId == 0 || stoneId == 0) {
        ctx.prompt().inform(QStringLiteral("Nothing selected!"), QStringLiteral("Message"), Icon::Information);
        return StatusResult::Refused;
    }
    try {
        db::Transaction tx(ctx.db());
        if (db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM ItemSingleDiamond WHERE ItemID<>? AND DiamondID=? LIMIT 1"),
                       {itemId, stoneId})
                .isValid()) {
            ctx.prompt().inform(QStringLiteral("This Diamond is already part of another Item."), title,
                                Icon::Information);
            return StatusResult::Refused;
        }
        if (db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM ItemSingleDiamond WHERE ItemID=? AND DiamondID=? LIMIT 1"),
                       {itemId, stoneId})
                .isValid()) {
            ctx.prompt().inform(QStringLiteral("This Diamond is already part of this Item."), title, Icon::Information);
            return StatusResult::Refused;
        }
        db::exec(ctx.db(), QStringLiteral("INSERT INTO ItemSingleDiamond (DiamondID, ItemID, Quantity) VALUES (?, ?, 1)"),
                 {stoneId, itemId});
        db::exec(ctx.db(), QStringLiteral("UPDATE SingleStone SET ItemID=? WHERE ID=?"), {itemId, stoneId});
        tx.commit();
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("Diamond Assembly"), e);
    }
    return StatusResult::Done;
}

bool canEnterPaymentMade(AppContext &ctx, qint64 stoneId, qint64 consignmentInId)
{
    if (stoneId != 0 && consignmentInId != 0)
        return true;
    ctx.prompt().inform(QStringLiteral("This Diamond doesn't seem to be on Consignment here from one of your Suppliers!"),
                        QStringLiteral("Supplier Information missing"), Icon::Information);
    return false;
}

StatusDisplay statusDisplay(const QString &status)
{
    StatusDisplay d;
    const QString s = status.toLower();
    d.statusText = s == QLatin1String("stock")      ? QStringLiteral("STOCK")
                 : s == QLatin1String("returned")   ? QStringLiteral("RETURNED")
                 : s == QLatin1String("sold")       ? QStringLiteral("SOLD")
                 : s == QLatin1String("memo")       ? QStringLiteral("MEMO")
                                                    : status;
    d.sellEnabled = s == QLatin1String("stock");
    d.stockPicture = s == QLatin1String("stock");
    d.vendorCaption = s == QLatin1String("returned") ? QStringLiteral("from VENDOR, RECEIVE")
                                                     : QStringLiteral("stone ---> RETURN TO VENDOR");
    d.vendorEnabled = s == QLatin1String("stock") || s == QLatin1String("returned");
    return d;
}

StatusResult sellStone(AppContext &ctx, qint64 stoneId, qint64 customerId)
{
    try {
        return sellStoneUnguarded(ctx, stoneId, customerId);
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("Selling Diamond"), e);
    }
}

StatusResult returnFromMemo(AppContext &ctx, qint64 stoneId)
{
    try {
        return returnFromMemoUnguarded(ctx, stoneId);
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("Return"), e);
    }
}

StatusResult setConsignmentIn(AppContext &ctx, qint64 stoneId, qint64 supplierId, bool alsoSupplier)
{
    try {
        return setConsignmentInUnguarded(ctx, stoneId, supplierId, alsoSupplier);
    } catch (const db::DbError &e) {
        return failed(ctx, QStringLiteral("Consignment"), e);
    }
}

} // namespace velmor::stones
