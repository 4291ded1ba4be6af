#include "invoices/Posting.h"

#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/Users.h"
#include "core/KnownRates.h"
#include "core/Figures.h"
#include "db/Guard.h"
#include "db/LineDues.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "invoices/Money.h"
#include "stones/StoneChangeLog.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <stdexcept>

namespace velmor::invoices {

namespace {

// A sold stone is paid off when what was received for it reaches what its
// invoice line asks with its share of the tax, in the currency the stone is
// priced in (the payment windows' rule, as the books check states it).
void markPaidOffBySale(const QSqlDatabase &db, qint64 stoneId)
{
    db::dues::refreshPaidOffFlags(db, QStringLiteral("s.ID = %1").arg(stoneId));
}

} // namespace

QString decimalText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return {};
    QString s = m.captured(1) == QLatin1String("-") ? QStringLiteral("-") : QString();
    s += m.captured(2).isEmpty() ? QStringLiteral("0") : m.captured(2);
    if (!m.captured(3).isEmpty())
        s += QLatin1Char('.') + m.captured(3);
    return s;
}

SaleFigures saleFigures(const QSqlDatabase &db, const QString &carat, const QString &priceCarat)
{
    auto one = [&](const QString &text, const char *column, const char *name) {
        const figures::Reading r = figures::read(
            text, {QString::fromLatin1(name), figures::columnOf(db, QStringLiteral("invoicelist"), QLatin1String(column)),
                   figures::Need::Positive});
        if (!r.ok())
            throw std::invalid_argument(r.error.toStdString());
        return r.value.toDb();
    };
    SaleFigures f;
    f.carat = one(carat, "carat", "weight");
    f.priceCarat = one(priceCarat, "pricecarat", "price per carat");
    return f;
}

double taxRateFor(const AppContext &ctx, qint64 customerId)
{
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT _tax1, _tax2, _tax3, _tax4 FROM Customer WHERE ID = ?"),
                           {customerId});
    if (!q.next())
        return 0;
    double rate = 0;
    for (int i = 0; i < 4; ++i)
        if (db::flagOf(q.value(i)))
            rate = ctx.settings._tax[size_t(i)];
    return rate;
}

QString postedNotice(const Posted &p, const QString &sku)
{
    const QString words = p.newInvoice ? QStringLiteral("to a new Invoice #") : QStringLiteral("to the existing Invoice #");
    return (sku.isEmpty() ? QStringLiteral("Added ") : QStringLiteral("Added ") + sku + QLatin1Char(' ')) + words
           + QString::number(p.invoiceId);
}

// The largest figure of a DECIMAL(10,5) column.
constexpr qint64 kMaxDiscount = 9999999999;
namespace {
// Heard by the open screens once the caller's transaction is over.
void announcePosted(AppContext &ctx, const Posted &p, const SaleLine &line)
{
    changeEvents(ctx).announceInvoice(p.invoiceId);
    if (line.diamondId)
        changeEvents(ctx).announceStone(line.diamondId);
    if (line.parcelId)
        changeEvents(ctx).announceParcel(line.parcelId);
}
} // namespace

Posted postInTransaction(AppContext &ctx, const SaleLine &line)
{
    const QSqlDatabase db = ctx.db();
    const SaleFigures fig = saleFigures(db, line.carat, line.priceCarat);
    const QString &carat = fig.carat;
    const QString &price = fig.priceCarat;
    // The customer's row is the lock every workstation takes before it looks
    // for the open invoice; a locking read also sees the newest committed rows.
    QSqlQuery c = db::exec(db, QStringLiteral("SELECT ID FROM Customer WHERE ID = ? FOR UPDATE"), {line.customerId});
    if (!c.next())
        throw std::invalid_argument("The customer " + std::to_string(line.customerId) + " does not exist.");
    db::claimGuard(db, db::GuardKind::CustomerInvoice, line.customerId);
    const double tax = taxRateFor(ctx, line.customerId);

    Posted p;
    const QVariant open = db::scalar(db,
                                     QStringLiteral("SELECT ID FROM invoice WHERE customerid = ? AND status LIKE 'open' "
                                                    "ORDER BY ID DESC LIMIT 1 FOR UPDATE"),
                                     {line.customerId});
    const QDateTime now = QDateTime::currentDateTime();
    if (open.isValid() && !open.isNull()) {
        p.invoiceId = open.toLongLong();
    } else {
        p.invoiceId = db::insert(db, QStringLiteral("INSERT INTO invoice (customerid, datecreated, status) VALUES (?, ?, 'open')"),
                                 {line.customerId, now});
        p.newInvoice = true;
    }
    // A stone line keeps the stone's list price and the discount off it that
    // this price gives, so that the invoice prints the figures of the sale.
    QVariant listPrice(QMetaType::fromType<QString>()), discount(QMetaType::fromType<QString>());
    if (line.diamondId) {
        const QVariant list = db::scalar(db, QStringLiteral("SELECT CAST(RapaportPrice AS CHAR) FROM SingleStone WHERE ID = ?"),
                                         {line.diamondId});
        const std::optional<qint64> listFixed = list.isNull() ? std::nullopt : parseFixed(list.toString());
        if (listFixed) {
            const qint64 listed = *listFixed;
            listPrice = fixedDecimal(listed);
            // A discount beyond what the column holds (a price far above the
            // list) is not kept.
            const qint64 given = parseFixed(price).value_or(0);
            if (listed > 0) {
                const qint64 off = roundedDiv(__int128(listed - given) * 100 * kFixedOne, listed);
                if (off >= -kMaxDiscount && off <= kMaxDiscount)
                    discount = fixedDecimal(off);
            }
        }
    }
    auto agreed = [](const QString &amount) {
        const std::optional<Decimal5> a = Decimal5::parse(amount);
        return a ? QVariant(a->fixed(2)) : QVariant(QMetaType::fromType<QString>());
    };
    p.lineId = db::insert(db,
                          QStringLiteral("INSERT INTO invoicelist (invoiceid, diamondid, parcelid, carat, dateadded, "
                                         "pricecarat, exchangerateCDN, exchangerateZAR, taxrate, details, listprice, "
                                         "discountgiven, amountcdn, amountzar) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                          {p.invoiceId, line.diamondId ? QVariant(line.diamondId) : QVariant(QMetaType::fromType<qlonglong>()),
                           line.parcelId ? QVariant(line.parcelId) : QVariant(QMetaType::fromType<qlonglong>()), carat, now,
                           price, rateValue(ctx.exchangeRateCDN), rateValue(ctx.exchangeRateZAR),
                           QString::number(tax, 'f', 5),
                           line.details.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(line.details),
                           listPrice, discount, agreed(line.amountCDN), agreed(line.amountZAR)});
    // Payments the customer made while the stone was on memo may already
    // cover the sale: the stone is then paid off at once.
    if (line.diamondId)
        markPaidOffBySale(db, line.diamondId);
    announcePosted(ctx, p, line);
    return p;
}

SellOutcome sellStoneOnInvoice(AppContext &ctx, qint64 stoneId, qint64 customerId, const QString &carat,
                               const QString &priceCarat, const QString &amountCDN, const QString &amountZAR)
{
    const QString title = QStringLiteral("Selling Diamond");
    SellOutcome out;
    // A sale from the stone screen is a status change of the stone.
    if (!mayWrite(ctx, QStringLiteral("AllowEdit"))) {
        out.result = SellResult::Refused;
        return out;
    }
    auto refuse = [&](SellResult r, const QString &why) {
        out.result = r;
        out.message = why;
        ctx.prompt().inform(why, title, r == SellResult::Refused ? Icon::Information : Icon::Exclamation);
        return out;
    };
    if (customerId == 0)
        return refuse(SellResult::Refused, QStringLiteral("You have to select a Customer before you can proceed!"));
    if (stoneId == 0)
        return refuse(SellResult::Refused, QStringLiteral("You have to select a Diamond before you can proceed!"));
    try {
        saleFigures(ctx.db(), carat, priceCarat);
    } catch (const std::invalid_argument &e) {
        return refuse(SellResult::Refused, QString::fromStdString(e.what()));
    } catch (const db::DbError &e) {
        return refuse(SellResult::Failed, QStringLiteral("The sale could not be saved:\n\n") + e.message());
    }

    enum class Step { Done, Conflict, NoCustomer };
    QString sku;
    try {
        const Step step = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            if (!db::scalar(ctx.db(), QStringLiteral("SELECT ID FROM Customer WHERE ID = ?"), {customerId}).isValid())
                return Step::NoCustomer;
            const int n = db::execAffected(
                ctx.db(),
                QStringLiteral("UPDATE SingleStone SET Status='Sold', CustomerID=?, DateStatusChange=?, datewassold=?, "
                               "RND=? WHERE ID=? AND Status LIKE 'Stock'"),
                {customerId, QDateTime(QDate::currentDate(), QTime(0, 0)), QDateTime::currentDateTime(),
                 int(QRandomGenerator::global()->generateDouble() * 1000000.0) + 1, stoneId});
            if (n != 1)
                return Step::Conflict;
            SaleLine line;
            line.customerId = customerId;
            line.diamondId = stoneId;
            line.carat = carat;
            line.priceCarat = priceCarat;
            line.amountCDN = amountCDN;
            line.amountZAR = amountZAR;
            out.posted = postInTransaction(ctx, line);
            if (ctx.settings.StoneChange)
                stones::SaveDeleteChangeStatus(ctx, QStringLiteral("status"), stoneId);
            tx.commit();
            return Step::Done;
        });
        if (step == Step::NoCustomer)
            return refuse(SellResult::Refused, QStringLiteral("This Customer does not exist anymore."));
        if (step == Step::Conflict) {
            const QVariant now =
                db::scalar(ctx.db(), QStringLiteral("SELECT Status FROM SingleStone WHERE ID = ?"), {stoneId});
            return refuse(SellResult::Conflict,
                          now.isValid()
                              ? QStringLiteral("This Diamond cannot be sold: its Status is now \"%1\" (it may have "
                                               "been sold on another Workstation meanwhile).\n\nNothing has been "
                                               "changed.")
                                    .arg(db::textOf(now))
                              : QStringLiteral("This Diamond has been deleted on another Workstation meanwhile.\n\n"
                                               "Nothing has been changed."));
        }
    } catch (const db::LockConflict &) {
        return refuse(SellResult::Conflict, db::lockConflictMessage());
    } catch (const db::DbError &e) {
        return refuse(SellResult::Failed, QStringLiteral("The sale could not be saved:\n\n") + e.message());
    } catch (const std::invalid_argument &e) {
        return refuse(SellResult::Refused, QString::fromStdString(e.what()));
    }
    out.result = SellResult::Done;
    out.message = postedNotice(out.posted, sku);
    ctx.prompt().notice(out.message);
    return out;
}

} // namespace velmor::invoices
