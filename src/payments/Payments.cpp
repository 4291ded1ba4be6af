#include "payments/Payments.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "db/Guard.h"
#include "db/LineDues.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "invoices/Dues.h"
#include "invoices/Invoice.h"
#include "invoices/Money.h"
#include "memos/MemoPrice.h"
#include "pricing/SellingPrice.h"

#include <QRandomGenerator>
#include <QSqlRecord>

namespace velmor::payments {

namespace {

QString table(Side side) { return side == Side::Received ? QStringLiteral("PaymentReceived") : QStringLiteral("PaymentMade"); }

int drawRnd() { return int(QRandomGenerator::global()->bounded(1, 1000001)); }

bool isStatus(const QString &status, const char *word)
{
    return status.trimmed().compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

Decimal5 cents(const Decimal5 &d) { return d.rounded(2); }

// "The exchange rate to CDN" for a message that starts with it.
QString rateNameCapitalised(const AppContext &ctx)
{
    QString n = cdnRateName(ctx);
    if (!n.isEmpty())
        n[0] = n.at(0).toUpper();
    return n;
}

struct Amounts {
    Decimal5 us, local;
};

// The other currency of a payment typed in one: converted at the account's
// rate.  Nothing when that rate is not known.
std::optional<Amounts> completed(const std::optional<Decimal5> &us, const std::optional<Decimal5> &local,
                                 double rate)
{
    if (us && local)
        return Amounts{*us, *local};
    const std::optional<Decimal5> r = rateFigure(rate);
    if (!r)
        return std::nullopt;
    if (us)
        return Amounts{*us, convertedAmount(*us, *r)};
    return Amounts{local->dividedBy(*r, 2), *local};
}

QString unknownRateForPayment(const AppContext &ctx, const QString &sku)
{
    return QStringLiteral("%1 is not known, so the other currency of this payment for %2 cannot be worked out. Type "
                          "both amounts, or set the rate on the rate screen (Exchange and Metal Rates) and try again.")
        .arg(rateNameCapitalised(ctx), sku);
}

Outcome refused(const QString &message, Outcome::State state = Outcome::Refused)
{
    Outcome o;
    o.state = state;
    o.message = message;
    return o;
}

// Writes the stone rows first (a new RND), in ID order: two workstations
// entering payments for the same stone both make this write, so one waits
// for the other (or, on a cluster, loses and runs again) before reading what
// was paid.  The number of stones found.
int claimStones(const QSqlDatabase &db, QList<qint64> ids)
{
    std::sort(ids.begin(), ids.end());
    int found = 0;
    for (qint64 id : ids)
        found += db::execAffected(db, QStringLiteral("UPDATE SingleStone SET RND = ? WHERE ID = ?"), {drawRnd(), id});
    return found;
}

// The same for the parcel and free lines of an invoice, which have no stone
// row: their guard rows, in line order.
void claimLines(const QSqlDatabase &db, QList<qint64> lineIds)
{
    std::sort(lineIds.begin(), lineIds.end());
    for (qint64 id : lineIds)
        db::claimGuard(db, db::GuardKind::InvoiceLinePayment, id);
}

struct Typed {
    std::optional<Decimal5> us, local;
    QDate date;
    QString reference;
    QString error;
};

Typed readTyped(const AppContext &ctx, const PaymentInput &in)
{
    Typed t;
    const figures::Column money{19, 2};
    const QString localName = ctx.settings.currencyName();
    if (!in.us.trimmed().isEmpty()) {
        const figures::Reading r = figures::read(in.us, {QStringLiteral("US$ amount"), money, figures::Need::Positive});
        if (!r.ok()) {
            t.error = r.error;
            return t;
        }
        t.us = r.value;
    }
    if (!in.local.trimmed().isEmpty()) {
        const figures::Reading r =
            figures::read(in.local, {localName + QStringLiteral(" amount"), money, figures::Need::Positive});
        if (!r.ok()) {
            t.error = r.error;
            return t;
        }
        t.local = r.value;
    }
    if (!t.us && !t.local) {
        t.error = QStringLiteral("Type the amount of the payment in US$ or in %1.").arg(localName);
        return t;
    }
    t.reference = in.reference.trimmed();
    if (t.reference.size() > 255) {
        t.error = QStringLiteral("The reference is %1 characters long; it holds at most 255.").arg(t.reference.size());
        return t;
    }
    t.date = in.date.isValid() ? in.date : QDate::currentDate();
    return t;
}

qint64 insertRow(AppContext &ctx, Side side, const StoneAccount &acc, const Amounts &a, const QDate &date,
                 const QString &reference, bool overpaid, qint64 reversesId = 0)
{
    const QVariant noId(QMetaType::fromType<qlonglong>());
    QVariantList b{QDateTime(date, QTime(0, 0)),
                   reference.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(reference),
                   a.us.toDb(),
                   a.local.toDb(),
                   acc.stoneId, // 0 for a parcel or free line: it names no stone
                   acc.partyId ? QVariant(acc.partyId) : noId,
                   ctx.user.ID,
                   reversesId ? QVariant(reversesId) : noId,
                   db::flagValue(overpaid)};
    QString sql = QStringLiteral("INSERT INTO %1 (Date, Reference, PaymentUS, PaymentLocal, StoneID, CustomerID, "
                                 "EmployeeID, ReversesID, Overpaid")
                      .arg(table(side));
    if (side == Side::Received) {
        sql += QStringLiteral(", InvoiceListID) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        b << (acc.invoiceLineId ? QVariant(acc.invoiceLineId) : noId);
    } else {
        sql += QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    }
    return db::insert(ctx.db(), sql, b);
}

void writeFlags(AppContext &ctx, const StoneAccount &acc)
{
    if (acc.isLine())
        return; // a parcel or free line has no flag
    const bool settled = acc.settled();
    if (acc.side == Side::Received) {
        db::exec(ctx.db(), QStringLiteral("UPDATE SingleStone SET StoneIsPaidOff = ? WHERE ID = ?"),
                 {db::flagValue(settled), acc.stoneId});
        return;
    }
    const bool some = acc.paid() > Decimal5();
    db::exec(ctx.db(),
             QStringLiteral("UPDATE SingleStone SET MemoInPaymentMade = ?, MemoInPaidOff = ?, StoneIsPaidOffMemoIn = ? "
                            "WHERE ID = ?"),
             {db::flagValue(some), db::flagValue(settled), db::flagValue(settled), acc.stoneId});
}

WrittenRow written(qint64 id, const StoneAccount &after, const Amounts &a)
{
    WrittenRow w;
    w.paymentId = id;
    w.stoneId = after.stoneId;
    w.sku = after.sku;
    w.us = a.us;
    w.local = a.local;
    w.balance = after.balance();
    w.local_ = after.local;
    w.paidOff = after.settled();
    return w;
}

// Runs an operation in its own transaction, again when it lost to another
// workstation; database errors become the outcome's message.
template <typename Work>
Outcome guarded(Work &&work)
{
    try {
        return db::retryOnLockConflict(work);
    } catch (const db::LockConflict &) {
        return refused(db::lockConflictMessage(), Outcome::Conflict);
    } catch (const db::DbError &e) {
        return refused(QStringLiteral("The payment could not be written: ") + e.message(), Outcome::Failed);
    }
}

QString overpaymentMessage(const AppContext &ctx, const StoneAccount &acc, const Decimal5 &amount, bool showFigures)
{
    if (!showFigures)
        return QStringLiteral("This payment is more than what is still owed for %1.\n\nTake it as an overpayment?")
            .arg(acc.sku);
    return QStringLiteral("This payment of %1 is more than the balance of %2 for %3.\n\nTake it as an overpayment?")
        .arg(amountText(ctx, amount, acc.local), amountText(ctx, acc.balance(), acc.local), acc.sku);
}

} // namespace

QString applyRight() { return QStringLiteral("AllowApplyPayment"); }
QString statementRight() { return QStringLiteral("AllowStatementView"); }

QString writeRefusal(const AppContext &ctx)
{
    if (ctx.user.ID <= 0)
        return QStringLiteral("Please log on first.");
    if (!ctx.user.has(applyRight()))
        return QStringLiteral("No Permission, please login or contact the System Administrator!");
    return {};
}

bool StoneAccount::settled() const
{
    if (!priceKnown)
        return false;
    if (isLine())
        return paid() >= price;
    if (side == Side::Received)
        return isStatus(status, "Sold") && invoiceLineId != 0 && paid() >= price;
    return paid() > Decimal5() && paid() >= price;
}

QString amountText(const AppContext &ctx, const Decimal5 &amount, bool local)
{
    return (local ? ctx.settings.currencyName() : QStringLiteral("US$")) + QLatin1Char(' ') + amount.grouped2();
}

std::optional<StoneAccount> stoneAccount(AppContext &ctx, Side side, qint64 stoneId)
{
    QSqlQuery q = db::exec(
        ctx.db(),
        QStringLiteral("SELECT s.SKU, s.Status, s.CustomerID, s.ConsignmentInCustomerID, s.SupplierID, s.StoneIsPaidOff, "
                       "s.MemoInPaidOff, CAST(s.BoughtPriceUS AS CHAR) AS bus, CAST(s.BoughtPriceLocal AS CHAR) AS blocal, "
                       "s.BuyingInUS, s.BuyingInLocal, ")
            + memos::memoPriceColumns(QStringLiteral("s.")) + QStringLiteral(" FROM SingleStone s WHERE s.ID = ?"),
        {stoneId});
    if (!q.next())
        return std::nullopt;
    const db::Row row(q.record());
    StoneAccount a;
    a.side = side;
    a.stoneId = stoneId;
    a.sku = row.text(QStringLiteral("SKU"));
    a.status = row.text(QStringLiteral("Status"));
    a.rateCDN = ctx.exchangeRateCDN;
    if (side == Side::Received) {
        a.partyId = row.integer(QStringLiteral("CustomerID"));
        a.paidOff = row.flag(QStringLiteral("StoneIsPaidOff"));
        const memos::MemoPriceFacts facts = memos::memoPriceFacts(q.record());
        std::optional<invoices::LineDue> sale;
        if (isStatus(a.status, "Sold"))
            sale = invoices::stoneSaleDue(ctx.db(), stoneId);
        const memos::MemoAmount owed = memos::amountOwed(facts, sale ? &*sale : nullptr, ctx.exchangeRateCDN,
                                                         pricing::sellingPriceStep(ctx.settings));
        a.local = owed.local;
        a.priceKnown = owed.known;
        a.price = owed.amount;
        a.tax = owed.tax;
        if (sale) {
            a.invoiceLineId = sale->lineId;
            a.invoiceId = sale->invoiceId;
            if (sale->rateCDN > 0)
                a.rateCDN = sale->rateCDN;
        }
    } else {
        a.partyId = row.integer(QStringLiteral("ConsignmentInCustomerID"));
        if (!a.partyId)
            a.partyId = row.integer(QStringLiteral("SupplierID"));
        a.paidOff = row.flag(QStringLiteral("MemoInPaidOff"));
        a.local = !row.flag(QStringLiteral("BuyingInUS")) && row.flag(QStringLiteral("BuyingInLocal"));
        a.price = cents(Decimal5::fromDb(row.raw(a.local ? QStringLiteral("blocal") : QStringLiteral("bus"))));
    }
    if (a.partyId)
        a.partyName = db::textOf(
            db::scalar(ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {a.partyId}));
    QSqlQuery sums = db::exec(ctx.db(),
                              QStringLiteral("SELECT CAST(SUM(PaymentUS) AS CHAR), CAST(SUM(PaymentLocal) AS CHAR) "
                                             "FROM %1 WHERE StoneID = ?")
                                  .arg(table(side)),
                              {stoneId});
    if (sums.next()) {
        a.paidUS = Decimal5::fromDb(sums.value(0));
        a.paidLocal = Decimal5::fromDb(sums.value(1));
    }
    return a;
}

Outcome receiveForStone(AppContext &ctx, qint64 stoneId, const PaymentInput &in)
{
    if (const QString why = writeRefusal(ctx); !why.isEmpty())
        return refused(why);
    const Typed t = readTyped(ctx, in);
    if (!t.error.isEmpty())
        return refused(t.error);
    return guarded([&]() -> Outcome {
        db::Transaction tx(ctx.db());
        if (claimStones(ctx.db(), {stoneId}) == 0)
            return refused(QStringLiteral("There is no stone %1.").arg(stoneId));
        std::optional<StoneAccount> acc = stoneAccount(ctx, Side::Received, stoneId);
        if (!acc)
            return refused(QStringLiteral("There is no stone %1.").arg(stoneId));
        if (!isStatus(acc->status, "Memo") && !isStatus(acc->status, "Sold"))
            return refused(QStringLiteral("%1 is neither on memo nor sold (its status is \"%2\"): no customer owes "
                                          "for it.")
                               .arg(acc->sku, acc->status));
        if (!acc->partyId)
            return refused(QStringLiteral("%1 names no customer, so the payment cannot be recorded.").arg(acc->sku));
        if (!acc->priceKnown)
            return refused(QStringLiteral("%1 is priced in %2, but %3 is not known, so its balance cannot be worked "
                                          "out.\n\n")
                               .arg(acc->sku, ctx.settings.currencyName(), cdnRateName(ctx))
                           + missingRates(ctx, true, false));
        const std::optional<Amounts> a = completed(t.us, t.local, acc->rateCDN);
        if (!a)
            return refused(unknownRateForPayment(ctx, acc->sku));
        const Decimal5 amount = acc->local ? a->local : a->us;
        const bool over = acc->balance() - amount < Decimal5();
        if (over && !in.confirmOverpayment)
            return refused(overpaymentMessage(ctx, *acc, amount, true), Outcome::Overpayment);
        const qint64 id = insertRow(ctx, Side::Received, *acc, *a, t.date, t.reference, over);
        StoneAccount after = *acc;
        after.paidUS += a->us;
        after.paidLocal += a->local;
        writeFlags(ctx, after);
        tx.commit();
        Outcome o;
        o.state = Outcome::Done;
        o.rows << written(id, after, *a);
        return o;
    });
}

namespace {

// A parcel or free line's account from what it asks.
StoneAccount accountOfLine(AppContext &ctx, const invoices::LineDue &d)
{
    StoneAccount a;
    a.side = Side::Received;
    a.sku = d.label;
    a.status = QStringLiteral("Invoiced");
    a.partyId = d.customerId;
    a.invoiceId = d.invoiceId;
    a.invoiceLineId = d.lineId;
    a.local = d.local;
    const std::optional<Decimal5> due = d.due();
    a.priceKnown = due.has_value();
    a.price = due.value_or(Decimal5());
    a.tax = a.priceKnown ? d.tax(d.local).value_or(Decimal5()) : Decimal5();
    a.rateCDN = d.rateCDN > 0 ? d.rateCDN : ctx.exchangeRateCDN;
    if (a.partyId)
        a.partyName = db::textOf(
            db::scalar(ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {a.partyId}));
    QSqlQuery sums = db::exec(ctx.db(),
                              QStringLiteral("SELECT CAST(SUM(PaymentUS) AS CHAR), CAST(SUM(PaymentLocal) AS CHAR) FROM "
                                             "PaymentReceived WHERE InvoiceListID = ? AND IFNULL(StoneID, 0) = 0"),
                              {d.lineId});
    if (sums.next()) {
        a.paidUS = Decimal5::fromDb(sums.value(0));
        a.paidLocal = Decimal5::fromDb(sums.value(1));
    }
    return a;
}

} // namespace

std::optional<StoneAccount> lineAccount(AppContext &ctx, qint64 lineId)
{
    const std::optional<invoices::LineDue> d = invoices::lineDue(ctx.db(), lineId);
    if (!d || d->isStone())
        return std::nullopt;
    return accountOfLine(ctx, *d);
}

QList<StoneAccount> invoiceAccounts(AppContext &ctx, qint64 invoiceId)
{
    QList<StoneAccount> out;
    for (const invoices::LineDue &d : invoices::lineDues(ctx.db(), QList<qint64>{invoiceId})) {
        if (d.returned)
            continue;
        if (!d.isStone()) {
            out << accountOfLine(ctx, d);
            continue;
        }
        std::optional<StoneAccount> acc = stoneAccount(ctx, Side::Received, d.stoneId);
        if (acc && isStatus(acc->status, "Sold") && acc->invoiceLineId == d.lineId)
            out << *acc;
    }
    return out;
}

Outcome receiveForInvoice(AppContext &ctx, qint64 invoiceId, const PaymentInput &in, const QList<LineShare> &shares)
{
    if (const QString why = writeRefusal(ctx); !why.isEmpty())
        return refused(why);
    const Typed t = readTyped(ctx, in);
    if (!t.error.isEmpty())
        return refused(t.error);
    // The chosen shares are US amounts and add up to the payment's.
    QList<std::pair<qint64, Decimal5>> chosen;
    if (!shares.isEmpty()) {
        if (!t.us)
            return refused(QStringLiteral("Amounts given to invoice lines are in US$: type the payment's US$ amount."));
        Decimal5 sum;
        for (const LineShare &s : shares) {
            const figures::Reading r = figures::read(
                s.us, {QStringLiteral("US$ amount of line %1").arg(s.lineId), figures::Column{19, 2},
                       figures::Need::Positive});
            if (!r.ok())
                return refused(r.error);
            chosen << std::make_pair(s.lineId, r.value);
            sum += r.value;
        }
        if (sum != *t.us)
            return refused(QStringLiteral("The amounts given to the lines add up to US$ %1, not the payment's US$ %2.")
                               .arg(sum.grouped2(), t.us->grouped2()));
    }
    return guarded([&]() -> Outcome {
        db::Transaction tx(ctx.db());
        // The lines to claim are found with locking reads: the transaction's
        // snapshot is taken by its first plain read, which must come after
        // the claims, so that it sees a payment another workstation made
        // while this one waited.
        QSqlQuery q = db::exec(ctx.db(),
                               QStringLiteral("SELECT il.ID, IFNULL(il.diamondid, 0) FROM invoicelist il WHERE "
                                              "il.invoiceid = ? AND il.returned IS NULL ORDER BY il.ID LOCK IN SHARE MODE"),
                               {invoiceId});
        QList<qint64> stones, others; // the stone lines' stones, the parcel and free lines
        while (q.next()) {
            if (const qint64 stone = q.value(1).toLongLong())
                stones << stone;
            else
                others << q.value(0).toLongLong();
        }
        if (!db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM invoice WHERE ID = ? LOCK IN SHARE MODE"), {invoiceId})
                 .isValid())
            return refused(QStringLiteral("There is no invoice %1.").arg(invoiceId));
        if (stones.isEmpty() && others.isEmpty())
            return refused(QStringLiteral("Invoice %1 has no line on it to take a payment.").arg(invoiceId));
        claimStones(ctx.db(), stones);
        claimLines(ctx.db(), others);
        const QList<StoneAccount> accounts = invoiceAccounts(ctx, invoiceId);
        for (const StoneAccount &acc : accounts)
            if (!acc.priceKnown)
                return refused(QStringLiteral("%1 is priced in %2, but %3 is not known, so its balance cannot be "
                                              "worked out.\n\n")
                                   .arg(acc.sku, ctx.settings.currencyName(), cdnRateName(ctx))
                               + missingRates(ctx, true, false));
        if (accounts.isEmpty())
            return refused(QStringLiteral("No line of invoice %1 is still sold on it.").arg(invoiceId));
        // The payment in its leading currency (US$ when typed), and each
        // line's balance in it.
        const bool leadLocal = !t.us;
        const Decimal5 total = leadLocal ? *t.local : *t.us;
        auto balanceInLead = [&](const StoneAccount &acc) -> std::optional<Decimal5> {
            const Decimal5 b = acc.balance();
            if (acc.local == leadLocal)
                return b;
            const std::optional<Decimal5> r = rateFigure(acc.rateCDN);
            if (!r)
                return std::nullopt;
            return leadLocal ? convertedAmount(b, *r) : b.dividedBy(*r, 2);
        };
        QList<Decimal5> share(accounts.size());
        if (!chosen.isEmpty()) {
            for (const auto &[lineId, amount] : chosen) {
                qsizetype at = -1;
                for (qsizetype i = 0; i < accounts.size(); ++i)
                    if (accounts[i].invoiceLineId == lineId)
                        at = i;
                if (at < 0)
                    return refused(QStringLiteral("Line %1 is not a line of invoice %2 that is still sold.")
                                       .arg(lineId)
                                       .arg(invoiceId));
                share[at] += amount;
            }
        } else {
            Decimal5 left = total;
            for (qsizetype i = 0; i < accounts.size() && left > Decimal5(); ++i) {
                const std::optional<Decimal5> b = balanceInLead(accounts[i]);
                if (!b)
                    return refused(unknownRateForPayment(ctx, accounts[i].sku));
                const Decimal5 take = std::min(left, std::max(*b, Decimal5()));
                share[i] = take;
                left -= take;
            }
            if (left > Decimal5())
                share[accounts.size() - 1] += left;
        }
        // The other currency: split in the same proportions when both were
        // typed (the last share takes what rounding leaves), else each line
        // at its own rate.
        QList<Amounts> rows(accounts.size());
        Decimal5 otherLeft = leadLocal ? (t.us ? *t.us : Decimal5()) : (t.local ? *t.local : Decimal5());
        qsizetype lastShare = -1;
        for (qsizetype i = 0; i < accounts.size(); ++i)
            if (share[i] > Decimal5())
                lastShare = i;
        for (qsizetype i = 0; i < accounts.size(); ++i) {
            if (share[i] <= Decimal5())
                continue;
            Decimal5 other;
            if (t.us && t.local) {
                other = i == lastShare ? otherLeft
                                       : (leadLocal ? *t.us : *t.local).times(share[i].dividedBy(total), 2);
                otherLeft -= other;
            } else {
                const std::optional<Decimal5> r = rateFigure(accounts[i].rateCDN);
                if (!r)
                    return refused(unknownRateForPayment(ctx, accounts[i].sku));
                other = leadLocal ? share[i].dividedBy(*r, 2) : convertedAmount(share[i], *r);
            }
            rows[i] = leadLocal ? Amounts{other, share[i]} : Amounts{share[i], other};
        }
        Outcome o;
        o.state = Outcome::Done;
        QList<bool> over(accounts.size(), false);
        for (qsizetype i = 0; i < accounts.size(); ++i) {
            if (share[i] <= Decimal5())
                continue;
            const Decimal5 amount = accounts[i].local ? rows[i].local : rows[i].us;
            over[i] = accounts[i].balance() - amount < Decimal5();
            if (over[i] && !in.confirmOverpayment)
                return refused(overpaymentMessage(ctx, accounts[i], amount, true), Outcome::Overpayment);
        }
        for (qsizetype i = 0; i < accounts.size(); ++i) {
            if (share[i] <= Decimal5())
                continue;
            const qint64 id = insertRow(ctx, Side::Received, accounts[i], rows[i], t.date, t.reference, over[i]);
            StoneAccount after = accounts[i];
            after.paidUS += rows[i].us;
            after.paidLocal += rows[i].local;
            writeFlags(ctx, after);
            o.rows << written(id, after, rows[i]);
        }
        tx.commit();
        return o;
    });
}

Outcome makeForStone(AppContext &ctx, qint64 stoneId, const PaymentInput &in)
{
    if (const QString why = writeRefusal(ctx); !why.isEmpty())
        return refused(why);
    const Typed t = readTyped(ctx, in);
    if (!t.error.isEmpty())
        return refused(t.error);
    return guarded([&]() -> Outcome {
        db::Transaction tx(ctx.db());
        if (claimStones(ctx.db(), {stoneId}) == 0)
            return refused(QStringLiteral("There is no stone %1.").arg(stoneId));
        std::optional<StoneAccount> acc = stoneAccount(ctx, Side::Made, stoneId);
        if (!acc)
            return refused(QStringLiteral("There is no stone %1.").arg(stoneId));
        if (!acc->partyId)
            return refused(QStringLiteral("This Diamond doesn't seem to be on Consignment here from one of your "
                                          "Suppliers!"));
        const std::optional<Amounts> a = completed(t.us, t.local, acc->rateCDN);
        if (!a)
            return refused(unknownRateForPayment(ctx, acc->sku));
        const Decimal5 amount = acc->local ? a->local : a->us;
        const bool over = acc->balance() - amount < Decimal5();
        if (over && !in.confirmOverpayment)
            return refused(overpaymentMessage(ctx, *acc, amount, ctx.user.ViewCost), Outcome::Overpayment);
        const qint64 id = insertRow(ctx, Side::Made, *acc, *a, t.date, t.reference, over);
        StoneAccount after = *acc;
        after.paidUS += a->us;
        after.paidLocal += a->local;
        writeFlags(ctx, after);
        tx.commit();
        Outcome o;
        o.state = Outcome::Done;
        o.rows << written(id, after, *a);
        return o;
    });
}

QString reversalReference(qint64 paymentId) { return QStringLiteral("Reversal of payment #%1").arg(paymentId); }

Outcome reversePayment(AppContext &ctx, Side side, qint64 paymentId, const QDate &date)
{
    if (const QString why = writeRefusal(ctx); !why.isEmpty())
        return refused(why);
    const QString kind = side == Side::Received ? QStringLiteral("received") : QStringLiteral("made");
    return guarded([&]() -> Outcome {
        db::Transaction tx(ctx.db());
        // What to claim is read with a locking read: the first plain read
        // takes the transaction's snapshot, which must come after the claim
        // to see a reversal another workstation wrote meanwhile.
        QSqlQuery head = db::exec(ctx.db(),
                                  QStringLiteral("SELECT StoneID, %2 FROM %1 WHERE ID = ? LOCK IN SHARE MODE")
                                      .arg(table(side), side == Side::Received ? QStringLiteral("InvoiceListID")
                                                                               : QStringLiteral("NULL")),
                                  {paymentId});
        if (!head.next())
            return refused(QStringLiteral("There is no payment %1 %2.").arg(kind).arg(paymentId));
        const qint64 stoneId = head.value(0).toLongLong();
        // A payment for a parcel or free line names its line and no stone.
        const qint64 lineOnly = stoneId == 0 ? head.value(1).toLongLong() : 0;
        if (lineOnly)
            claimLines(ctx.db(), {lineOnly});
        else
            claimStones(ctx.db(), {stoneId});
        QSqlQuery q = db::exec(ctx.db(),
                               QStringLiteral("SELECT CAST(PaymentUS AS CHAR), CAST(PaymentLocal AS CHAR), CustomerID, "
                                              "%2, ReversesID, Reference FROM %1 WHERE ID = ?")
                                   .arg(table(side), side == Side::Received ? QStringLiteral("InvoiceListID")
                                                                            : QStringLiteral("NULL")),
                               {paymentId});
        if (!q.next())
            return refused(QStringLiteral("There is no payment %1 %2.").arg(kind).arg(paymentId));
        const Decimal5 us = Decimal5::fromDb(q.value(0)), local = Decimal5::fromDb(q.value(1));
        if (!q.value(4).isNull() && q.value(4).toLongLong() != 0)
            return refused(QStringLiteral("Payment %1 is the reversal of payment %2; it cannot be reversed. Enter the "
                                          "payment again instead.")
                               .arg(paymentId)
                               .arg(q.value(4).toLongLong()));
        if (us.isZero() && local.isZero())
            return refused(QStringLiteral("Payment %1 is a row of 0.00 (written when the stone went out on memo or "
                                          "came in on consignment): there is nothing to reverse.")
                               .arg(paymentId));
        const QVariant earlier = db::scalar(
            ctx.db(), QStringLiteral("SELECT ID FROM %1 WHERE ReversesID = ? LIMIT 1").arg(table(side)), {paymentId});
        if (earlier.isValid())
            return refused(QStringLiteral("Payment %1 was reversed already (payment %2).")
                               .arg(paymentId)
                               .arg(earlier.toLongLong()));
        std::optional<StoneAccount> acc = lineOnly ? lineAccount(ctx, lineOnly) : stoneAccount(ctx, side, stoneId);
        if (!acc)
            return refused(lineOnly ? QStringLiteral("Payment %1 names invoice line %2, which is not a parcel or free "
                                                     "line any more.")
                                          .arg(paymentId)
                                          .arg(lineOnly)
                                    : QStringLiteral("Payment %1 names stone %2, which is not there any more.")
                                          .arg(paymentId)
                                          .arg(stoneId));
        StoneAccount rowParty = *acc;
        rowParty.partyId = q.value(2).toLongLong();
        rowParty.invoiceLineId = q.value(3).toLongLong();
        QString reference = reversalReference(paymentId);
        const QString was = q.value(5).toString().trimmed();
        if (!was.isEmpty())
            reference += QStringLiteral(" (") + was + QLatin1Char(')');
        const Amounts a{-us, -local};
        const qint64 id = insertRow(ctx, side, rowParty, a, date.isValid() ? date : QDate::currentDate(),
                                    reference.left(255), false, paymentId);
        StoneAccount after = *acc;
        after.paidUS += a.us;
        after.paidLocal += a.local;
        writeFlags(ctx, after);
        tx.commit();
        Outcome o;
        o.state = Outcome::Done;
        o.rows << written(id, after, a);
        return o;
    });
}

void refreshStoneFlags(AppContext &ctx, qint64 stoneId)
{
    for (Side side : {Side::Received, Side::Made}) {
        const std::optional<StoneAccount> acc = stoneAccount(ctx, side, stoneId);
        if (!acc)
            return;
        if (side == Side::Made && !acc->partyId)
            continue;
        writeFlags(ctx, *acc);
    }
}

QList<PaymentRow> listPayments(const QSqlDatabase &db, Side side, const PaymentFilter &f)
{
    // A row of a parcel or free line (no stone) is listed under the line's label.
    QString sql = QStringLiteral("SELECT p.ID, p.Date, p.Reference, p.StoneID, IF(IFNULL(p.StoneID, 0) = 0 AND il.ID IS NOT "
                                 "NULL, %3, s.SKU), p.CustomerID, c.CompanyName, CAST(p.PaymentUS AS CHAR), "
                                 "CAST(p.PaymentLocal AS CHAR), %2, il.invoiceid, p.ReversesID, (SELECT MIN(r.ID) FROM %1 "
                                 "r WHERE r.ReversesID = p.ID), p.Overpaid, p.EmployeeID FROM %1 p LEFT JOIN SingleStone "
                                 "s ON s.ID = p.StoneID LEFT JOIN Customer c ON c.ID = p.CustomerID LEFT JOIN invoicelist "
                                 "il ON il.ID = %2 LEFT JOIN parcel pc ON pc.ID = il.parcelid WHERE 1=1")
                      .arg(table(side),
                           side == Side::Received ? QStringLiteral("p.InvoiceListID") : QStringLiteral("NULL"),
                           db::dues::lineLabel(QStringLiteral("il"), QStringLiteral("pc")));
    QVariantList binds;
    if (f.customerId) {
        sql += QStringLiteral(" AND p.CustomerID = ?");
        binds << f.customerId;
    }
    if (f.stoneId) {
        sql += QStringLiteral(" AND p.StoneID = ?");
        binds << f.stoneId;
    }
    if (f.invoiceId) {
        sql += QStringLiteral(" AND il.invoiceid = ?");
        binds << f.invoiceId;
    }
    if (!f.includeZeroRows)
        sql += QStringLiteral(" AND NOT (IFNULL(p.PaymentUS, 0) = 0 AND IFNULL(p.PaymentLocal, 0) = 0)");
    sql += QStringLiteral(" ORDER BY p.Date, p.ID");
    QSqlQuery q = db::exec(db, sql, binds);
    QList<PaymentRow> out;
    while (q.next()) {
        PaymentRow r;
        r.side = side;
        r.id = q.value(0).toLongLong();
        r.date = q.value(1).toDate();
        r.reference = db::textOf(q.value(2));
        r.stoneId = q.value(3).toLongLong();
        r.sku = db::textOf(q.value(4));
        r.partyId = q.value(5).toLongLong();
        r.partyName = db::textOf(q.value(6));
        r.us = Decimal5::fromDb(q.value(7));
        r.local = Decimal5::fromDb(q.value(8));
        r.invoiceLineId = q.value(9).toLongLong();
        r.invoiceId = q.value(10).toLongLong();
        r.reversesId = q.value(11).toLongLong();
        r.reversedBy = q.value(12).toLongLong();
        r.overpaid = db::flagOf(q.value(13));
        r.employeeId = q.value(14).toLongLong();
        out << r;
    }
    return out;
}

} // namespace velmor::payments
