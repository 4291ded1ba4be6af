#include "parcels/ParcelMemo.h"

#include "core/Users.h"
#include "core/ChangeEvents.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "db/Guard.h"
#include "db/Retry.h"
#include "db/PrintedLines.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "invoices/Posting.h"

#include <QLocale>
#include <algorithm>

namespace velmor::parcels {

namespace {

const QString kTitle = QStringLiteral("Parcel Memo");

Outcome tell(AppContext &ctx, Result r, const QString &text)
{
    Outcome o;
    o.result = r;
    o.message = text;
    ctx.prompt().inform(text, kTitle, r == Result::Refused ? Icon::Information : Icon::Exclamation);
    return o;
}

QString usDate(const QDateTime &d, const QString &format)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(d, format);
}


// A working rate as stored; Null when it is not known.
QVariant rate(double r) { return rateValue(r); }

enum class Step { Done, NoParcel, NotEnough, NoCustomer, NoMemo, NothingOut, TooMuch, NoPrice, LineTooSmall };

} // namespace

std::optional<ParcelMemoHeader> loadParcelMemo(const QSqlDatabase &db, qint64 memoId)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT memoparcel.ID, memoparcel.CustomerID, memoparcel.Reference, "
                                          "memoparcel.Date, memoparcel.closed, memoparcel.closeddate, "
                                          "Customer.CompanyName, Customer.CompanyStreet1, Customer.CompanyStreet2, "
                                          "Customer.CompanyCity, Customer.CompanyProvince, Customer.CompanyZIP, "
                                          "Customer.PhoneNumber1 FROM memoparcel LEFT JOIN Customer "
                                          "ON Customer.ID = memoparcel.CustomerID WHERE memoparcel.ID = ?"),
                           {memoId});
    if (!q.next())
        return std::nullopt;
    ParcelMemoHeader h;
    h.id = q.value(0).toLongLong();
    h.customerId = q.value(1).toLongLong();
    h.reference = db::textOf(q.value(2));
    h.date = q.value(3).toDateTime();
    h.closed = db::flagOf(q.value(4));
    h.closedDate = q.value(5).toDateTime();
    h.companyName = db::textOf(q.value(6));
    h.street1 = db::textOf(q.value(7));
    h.street2 = db::textOf(q.value(8));
    h.city = db::textOf(q.value(9));
    h.province = db::textOf(q.value(10));
    h.zip = db::textOf(q.value(11));
    h.phone = db::textOf(q.value(12));
    return h;
}

QString createdCaption(const ParcelMemoHeader &h)
{
    return QStringLiteral("created: ") + usDate(h.date, QStringLiteral("MMM dd, yyyy HH:mm"));
}

QString statusCaption(const ParcelMemoHeader &h)
{
    if (!h.closed)
        return {};
    return QStringLiteral("Status: CLOSED! ") + usDate(h.closedDate, QStringLiteral("MMM dd, yyyy HH:mm"));
}

QList<ParcelMemoLine> parcelMemoLines(const QSqlDatabase &db, qint64 memoId, bool history)
{
    const QString cols = QStringLiteral(
        "parcel.ID, parcel.SKU, parcel.Shape, CAST(parcel.CaratLow AS CHAR), CAST(parcel.CaratHigh AS CHAR), "
        "parcel.ColourLow, parcel.ColourHigh, parcel.ClarityLow, parcel.ClarityHigh, ");
    QString sql;
    if (history)
        sql = QStringLiteral("SELECT ") + cols
              // A return or sale is valued as its carats went out: at its
              // memo-out line's price and rates.
              + QStringLiteral("memoparcellist.id, CAST(memoparcellist.carat AS CHAR), memoparcellist.action, "
                               "CAST(memoparcellist.pricecarat AS CHAR), memoparcellist.date, "
                               "CAST(IF(o.id IS NULL, memoparcellist.exchangerateCDN, o.exchangerateCDN) AS CHAR), "
                               "CAST(IF(o.id IS NULL, memoparcellist.exchangerateZAR, o.exchangerateZAR) AS CHAR) "
                               "FROM parcel INNER JOIN memoparcellist ON parcel.ID = memoparcellist.parcelid "
                               "LEFT JOIN memoparcellist o ON o.id = memoparcellist.outlineid "
                               "WHERE memoparcellist.memoparcelid = ? ORDER BY memoparcellist.date, "
                               "memoparcellist.parcelid, memoparcellist.id");
    else
        sql = QStringLiteral("SELECT ") + cols
              + QStringLiteral("0, CAST(SUM(memoparcellist.carat) AS CHAR), '', "
                               "(SELECT CAST(m.pricecarat AS CHAR) FROM memoparcellist m WHERE m.memoparcelid = ? AND "
                               "m.parcelid = parcel.ID AND m.action = 'memo-out' ORDER BY m.id DESC LIMIT 1), "
                               "MAX(memoparcellist.date), NULL, NULL "
                               "FROM parcel INNER JOIN memoparcellist ON parcel.ID = memoparcellist.parcelid "
                               "WHERE memoparcellist.memoparcelid = ? GROUP BY parcel.ID ORDER BY parcel.SKU, parcel.ID");
    QSqlQuery q = db::exec(db, sql, history ? QVariantList{memoId} : QVariantList{memoId, memoId});
    QList<ParcelMemoLine> lines;
    while (q.next()) {
        ParcelMemoLine l;
        l.parcelId = q.value(0).toLongLong();
        l.sku = db::textOf(q.value(1));
        l.shape = db::textOf(q.value(2));
        l.caratLow = Decimal5::fromDb(q.value(3));
        l.caratHigh = Decimal5::fromDb(q.value(4));
        l.colourLow = q.value(5).toInt();
        l.colourHigh = q.value(6).toInt();
        l.clarityLow = q.value(7).toInt();
        l.clarityHigh = q.value(8).toInt();
        l.lineId = q.value(9).toLongLong();
        l.carat = Decimal5::fromDb(q.value(10));
        l.action = db::textOf(q.value(11));
        l.priceCarat = Decimal5::fromDb(q.value(12));
        l.date = q.value(13).toDateTime();
        l.rateCDN = Decimal5::fromDb(q.value(14));
        l.rateZAR = Decimal5::fromDb(q.value(15));
        lines << l;
    }
    return lines;
}

Decimal5 caratsOut(const QSqlDatabase &db, qint64 memoId, qint64 parcelId)
{
    return Decimal5::fromDb(db::scalar(
        db, QStringLiteral("SELECT CAST(SUM(carat) AS CHAR) FROM memoparcellist WHERE parcelid = ? AND memoparcelid = ?"),
        {parcelId, memoId}));
}

QList<OutLine> outLines(const QSqlDatabase &db, qint64 memoId, qint64 parcelId)
{
    QSqlQuery q = db::exec(db,
                           QStringLiteral("SELECT id, action, CAST(carat AS CHAR), CAST(pricecarat AS CHAR), outlineid, "
                                          "date FROM memoparcellist WHERE memoparcelid = ? AND parcelid = ? ORDER BY id"),
                           {memoId, parcelId});
    QList<OutLine> lines;
    QList<std::pair<qint64, Decimal5>> taken; // (the line named, carats taken: negative)
    while (q.next()) {
        const Decimal5 carat = Decimal5::fromDb(q.value(2));
        if (db::textOf(q.value(1)) == QLatin1String("memo-out")) {
            OutLine l;
            l.id = q.value(0).toLongLong();
            l.carat = carat;
            l.priceCarat = Decimal5::fromDb(q.value(3));
            l.date = q.value(5).toDateTime();
            lines << l;
        } else {
            taken.append({q.value(4).toLongLong(), carat});
        }
    }
    Decimal5 unnamed;
    for (const auto &[line, carat] : taken) {
        auto it = std::find_if(lines.begin(), lines.end(), [line = line](const OutLine &l) { return l.id == line; });
        if (line != 0 && it != lines.end())
            it->carat += carat;
        else
            unnamed -= carat;
    }
    // Movements that name no line took their carats from the oldest first.
    for (OutLine &l : lines) {
        if (unnamed <= Decimal5())
            break;
        const Decimal5 take = std::min(unnamed, std::max(l.carat, Decimal5()));
        l.carat -= take;
        unnamed -= take;
    }
    lines.removeIf([](const OutLine &l) { return l.carat <= Decimal5(); });
    return lines;
}

qint64 openParcelMemo(const QSqlDatabase &db, qint64 customerId)
{
    return db::scalar(db,
                      QStringLiteral("SELECT ID FROM memoparcel WHERE IFNULL(closed, 0) = 0 AND CustomerID = ? "
                                     "ORDER BY ID DESC LIMIT 1"),
                      {customerId})
        .toLongLong();
}

qint64 memoOutLine(const QSqlDatabase &db, qint64 memoId, qint64 parcelId)
{
    return db::scalar(db,
                      QStringLiteral("SELECT id FROM memoparcellist WHERE memoparcelid = ? AND parcelid = ? AND "
                                     "action = 'memo-out' ORDER BY id DESC LIMIT 1"),
                      {memoId, parcelId})
        .toLongLong();
}

Outcome putOnMemo(AppContext &ctx, const MemoOut &m)
{
    if (!mayWrite(ctx, rights::Memo))
        return Outcome{Result::Refused};
    if (m.customerId <= 0)
        return tell(ctx, Result::Refused, QStringLiteral("Please choose the Customer first."));
    if (m.carat.trimmed().isEmpty())
        return tell(ctx, Result::Refused, QStringLiteral("Please enter the Carats to put on Memo."));
    // A memo price is a price: 0 or below is refused like a figure too large.
    figures::Reader read(ctx.db(), QStringLiteral("memoparcellist"));
    const std::optional<Decimal5> carat =
        read(m.carat, QStringLiteral("Carats to put on Memo"), QStringLiteral("carat"), figures::Need::Positive);
    const std::optional<Decimal5> price =
        read(m.priceUS, QStringLiteral("price per carat"), QStringLiteral("pricecarat"), figures::Need::Positive);
    if (!read.ok())
        return tell(ctx, Result::Refused, read.error());

    LineChoice choice = m.line;
    if (choice == LineChoice::Ask) {
        choice = LineChoice::NewLine;
        const qint64 memo = openParcelMemo(ctx.db(), m.customerId);
        if (memo && memoOutLine(ctx.db(), memo, m.parcelId))
            choice = ctx.prompt().askYesNo(
                         QStringLiteral("This Parcel is already on Memo-Sheet #P%1.\n\nYes: ADD this parcel on the "
                                        "memo-sheet to the EXISTING LINE (ENTRY)\nNo: put this parcel on the "
                                        "memo-sheet as a NEW LINE (ENTRY)")
                             .arg(memo),
                         kTitle)
                         ? LineChoice::ExistingLine
                         : LineChoice::NewLine;
    }

    Outcome out;
    Step step = Step::Done;
    try {
        step = db::retryOnLockConflict([&] {
            db::Transaction tx(ctx.db());
            const QSqlDatabase db = ctx.db();
            const QDateTime now = QDateTime::currentDateTime();
            // Takes the carats only while that many are on hand.
            if (db::execAffected(db,
                                 QStringLiteral("UPDATE parcel SET Carat = Carat - ?, rnd = ?, dateupdated = ? "
                                                "WHERE ID = ? AND Carat >= ?"),
                                 {carat->toDb(), newRnd(), now, m.parcelId, carat->toDb()})
                != 1)
                return db::scalar(db, QStringLiteral("SELECT ID FROM parcel WHERE ID = ?"), {m.parcelId}).isValid()
                           ? Step::NotEnough
                           : Step::NoParcel;
            if (!db::scalar(db, QStringLiteral("SELECT ID FROM Customer WHERE ID = ? FOR UPDATE"), {m.customerId})
                     .isValid())
                return Step::NoCustomer;
            db::claimGuard(db, db::GuardKind::CustomerParcelMemo, m.customerId);
            qint64 memo = db::scalar(db,
                                     QStringLiteral("SELECT ID FROM memoparcel WHERE IFNULL(closed, 0) = 0 AND "
                                                    "CustomerID = ? ORDER BY ID DESC LIMIT 1 FOR UPDATE"),
                                     {m.customerId})
                              .toLongLong();
            if (!memo)
                memo = db::insert(db, QStringLiteral("INSERT INTO memoparcel (CustomerID, Date, closed) VALUES (?, ?, 0)"),
                                  {m.customerId, now});
            const qint64 line = choice == LineChoice::ExistingLine ? memoOutLine(db, memo, m.parcelId) : 0;
            if (line)
                db::exec(db,
                         QStringLiteral("UPDATE memoparcellist SET carat = carat + ?, pricecarat = ?, "
                                        "exchangerateCDN = ?, exchangerateZAR = ?, date = ? WHERE id = ?"),
                         {carat->toDb(), price->toDb(), rate(ctx.exchangeRateCDN), rate(ctx.exchangeRateZAR), now, line});
            else
                db::exec(db,
                         QStringLiteral("INSERT INTO memoparcellist (memoparcelid, parcelid, exchangerateCDN, "
                                        "exchangerateZAR, pricecarat, date, action, carat) "
                                        "VALUES (?, ?, ?, ?, ?, ?, 'memo-out', ?)"),
                         {memo, m.parcelId, rate(ctx.exchangeRateCDN), rate(ctx.exchangeRateZAR), price->toDb(), now,
                          carat->toDb()});
            tx.commit();
            out.id = memo;
            return Step::Done;
        });
    } catch (const db::LockConflict &) {
        return tell(ctx, Result::Conflict, db::lockConflictMessage());
    } catch (const db::DbError &e) {
        return tell(ctx, Result::Failed, QStringLiteral("The Parcel could not be put on Memo:\n\n") + e.message());
    }
    switch (step) {
    case Step::NoParcel:
        return tell(ctx, Result::Conflict, QStringLiteral("This Parcel does not exist anymore."));
    case Step::NotEnough: {
        const auto p = loadParcel(ctx.db(), m.parcelId);
        return tell(ctx, Result::Refused,
                    QStringLiteral("Only %1 ct of Parcel %2 are on hand: %3 ct cannot be put on Memo.\n\n"
                                   "Nothing has been changed.")
                        .arg(p ? p->carat.fixed(2) : QStringLiteral("0.00"), p ? p->sku : QString(), carat->fixed(2)));
    }
    case Step::NoCustomer:
        return tell(ctx, Result::Refused, QStringLiteral("This Customer does not exist anymore."));
    default:
        break;
    }
    try {
        const QVariant name =
            db::scalar(ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {m.customerId});
        ctx.workstation.writeLines(kLastCustomerFile,
                                   {db::textOf(name) + QStringLiteral("   --- ") + QString::number(m.customerId)});
    } catch (const db::DbError &) {
        // Only the preselection of the next memo is lost.
    }
    out.result = Result::Done;
    changeEvents(ctx).announceParcel(m.parcelId);
    changeEvents(ctx).announceParcelMemo(out.id);
    out.message = QStringLiteral("Parcel has been added to Memo-Sheet #P") + QString::number(out.id);
    ctx.prompt().notice(out.message);
    return out;
}

namespace {

// The shared part of returning and selling: locks the parcel, the customer
// and the memo (in that order, as putting on memo does), checks the carats
// still out, and runs `move` with them.
Outcome memoMovement(AppContext &ctx, qint64 memoId, qint64 parcelId, const QString &caratText, bool sell,
                     qint64 outLineId)
{
    if (!mayWrite(ctx, rights::Memo))
        return Outcome{Result::Refused};
    const figures::Reading typed = figures::read(
        caratText, {sell ? QStringLiteral("Carats to sell") : QStringLiteral("Carats to return"),
                    figures::columnOf(ctx.db(), QStringLiteral("memoparcellist"), QStringLiteral("carat")),
                    figures::Need::Positive});
    if (caratText.trimmed().isEmpty())
        return tell(ctx, Result::Refused,
                    sell ? QStringLiteral("Please enter the Carats to sell.")
                         : QStringLiteral("Please enter the Carats to return into Stock."));
    if (!typed.ok())
        return tell(ctx, Result::Refused, typed.error);
    const std::optional<Decimal5> carat = typed.value;
    Outcome out;
    out.id = memoId;
    QString sku;
    Decimal5 out0, memoPriceAt, lineOut;
    invoices::Posted posted;
    Step step = Step::Done;
    try {
        step = db::retryOnLockConflict([&]() -> Step {
            db::Transaction tx(ctx.db());
            const QSqlDatabase db = ctx.db();
            const QDateTime now = QDateTime::currentDateTime();
            QSqlQuery p = db::exec(db, QStringLiteral("SELECT SKU FROM parcel WHERE ID = ? FOR UPDATE"), {parcelId});
            if (!p.next())
                return Step::NoParcel;
            sku = db::textOf(p.value(0));
            const QVariant customer = db::scalar(db, QStringLiteral("SELECT CustomerID FROM memoparcel WHERE ID = ?"),
                                                 {memoId});
            if (!customer.isValid())
                return Step::NoMemo;
            db::exec(db, QStringLiteral("SELECT ID FROM Customer WHERE ID = ? FOR UPDATE"), {customer});
            db::exec(db, QStringLiteral("SELECT ID FROM memoparcel WHERE ID = ? FOR UPDATE"), {memoId});
            out0 = caratsOut(db, memoId, parcelId);
            if (out0 <= Decimal5())
                return Step::NothingOut;
            if (*carat > out0)
                return Step::TooMuch;
            // The carats leave the lines they went out on: the line chosen,
            // or the oldest first; each portion at its own line's price.
            QList<std::pair<OutLine, Decimal5>> portions;
            Decimal5 left = *carat;
            for (const OutLine &l : outLines(db, memoId, parcelId)) {
                if (left <= Decimal5())
                    break;
                if (outLineId != 0 && l.id != outLineId)
                    continue;
                const Decimal5 take = std::min(left, l.carat);
                portions.append({l, take});
                left -= take;
            }
            if (left > Decimal5()) {
                lineOut = portions.isEmpty() ? Decimal5() : portions.first().first.carat;
                return Step::LineTooSmall;
            }
            for (const auto &[l, take] : portions) {
                memoPriceAt = l.priceCarat;
                // A memo line without a price (older data) is never sold at 0.
                if (sell && l.priceCarat <= Decimal5())
                    return Step::NoPrice;
            }
            if (sell)
                db::exec(db, QStringLiteral("UPDATE parcel SET rnd = ? WHERE ID = ?"), {newRnd(), parcelId});
            else
                db::exec(db,
                         QStringLiteral("UPDATE parcel SET Carat = IFNULL(Carat, 0) + ?, rnd = ?, dateupdated = ? "
                                        "WHERE ID = ?"),
                         {carat->toDb(), newRnd(), now, parcelId});
            for (const auto &[l, take] : portions) {
                db::exec(db,
                         QStringLiteral("INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, pricecarat, "
                                        "date, exchangerateCDN, exchangerateZAR, outlineid) "
                                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                         {memoId, parcelId, (-take).toDb(), sell ? QStringLiteral("sell") : QStringLiteral("memo-return"),
                          l.priceCarat.toDb(), now, rate(ctx.exchangeRateCDN), rate(ctx.exchangeRateZAR), l.id});
                if (sell) {
                    invoices::SaleLine line;
                    line.customerId = customer.toLongLong();
                    line.parcelId = parcelId;
                    line.carat = take.toDb();
                    line.priceCarat = l.priceCarat.toDb();
                    posted = invoices::postInTransaction(ctx, line);
                }
            }
            out.memoClosed = closeParcelMemo(db, memoId, true);
            tx.commit();
            return Step::Done;
        });
    } catch (const db::LockConflict &) {
        return tell(ctx, Result::Conflict, db::lockConflictMessage());
    } catch (const db::DbError &e) {
        return tell(ctx, Result::Failed,
                    (sell ? QStringLiteral("The sale could not be saved:\n\n")
                          : QStringLiteral("The return could not be saved:\n\n"))
                        + e.message());
    } catch (const std::invalid_argument &e) {
        return tell(ctx, Result::Refused, QString::fromStdString(e.what()));
    }
    switch (step) {
    case Step::NoParcel:
        return tell(ctx, Result::Conflict, QStringLiteral("This Parcel does not exist anymore."));
    case Step::NoMemo:
        return tell(ctx, Result::Conflict, QStringLiteral("This Memo does not exist anymore."));
    case Step::NothingOut:
        return tell(ctx, Result::Refused, QStringLiteral("Parcel ") + sku + QStringLiteral(" is already at 0.00 ct. on this Memo"));
    case Step::NoPrice:
        return tell(ctx, Result::Refused,
                    QStringLiteral("Parcel %1 has no price on this memo (%2 US$/ct): it cannot be sold at that price.\n\n"
                                   "Nothing has been changed.")
                        .arg(sku, memoPriceAt.fixed(2)));
    case Step::LineTooSmall:
        return tell(ctx, Result::Refused,
                    QStringLiteral("Only %1 ct of Parcel %2 are out on the memo line chosen: %3 ct cannot be %4.\n\n"
                                   "Nothing has been changed.")
                        .arg(lineOut.fixed(2), sku, carat->fixed(2), sell ? QStringLiteral("sold") : QStringLiteral("returned")));
    case Step::TooMuch:
        return tell(ctx, Result::Refused,
                    QStringLiteral("Only %1 ct of Parcel %2 are out on this Memo: %3 ct cannot be %4.\n\n"
                                   "Nothing has been changed.")
                        .arg(out0.fixed(2), sku, carat->fixed(2), sell ? QStringLiteral("sold") : QStringLiteral("returned")));
    default:
        break;
    }
    out.result = Result::Done;
    changeEvents(ctx).announceParcel(parcelId);
    changeEvents(ctx).announceParcelMemo(memoId);
    if (sell) {
        out.invoiceId = posted.invoiceId;
        out.newInvoice = posted.newInvoice;
        out.message = invoices::postedNotice(posted, sku);
    } else {
        out.message = carat->fixed(2) + QStringLiteral(" ct were returned into Stock from this Memo-Sheet");
    }
    ctx.prompt().notice(out.message);
    if (out.memoClosed)
        ctx.prompt().inform(QStringLiteral("This Memo has been closed now!"), kTitle, Icon::Information);
    return out;
}

} // namespace

Outcome returnFromMemo(AppContext &ctx, qint64 memoId, qint64 parcelId, const QString &carat, qint64 outLineId)
{
    return memoMovement(ctx, memoId, parcelId, carat, false, outLineId);
}

Outcome sellFromMemo(AppContext &ctx, qint64 memoId, qint64 parcelId, const QString &carat, qint64 outLineId)
{
    return memoMovement(ctx, memoId, parcelId, carat, true, outLineId);
}

bool closeParcelMemo(const QSqlDatabase &db, qint64 memoId, bool onlyWhenEmpty)
{
    if (onlyWhenEmpty) {
        const Decimal5 left = Decimal5::fromDb(db::scalar(
            db, QStringLiteral("SELECT CAST(SUM(carat) AS CHAR) FROM memoparcellist WHERE memoparcelid = ?"), {memoId}));
        if (!left.isZero())
            return false;
    }
    return db::execAffected(db,
                            QStringLiteral("UPDATE memoparcel SET closed = -1, closeddate = IFNULL(closeddate, ?) "
                                           "WHERE ID = ? AND IFNULL(closed, 0) = 0"),
                            {QDateTime::currentDateTime(), memoId})
        == 1;
}

PrintedClose closeParcelMemoAfterPrint(const QSqlDatabase &db, qint64 memoId, const QList<qint64> &printed)
{
    db::Transaction tx(db);
    const QVariant closed =
        db::scalar(db, QStringLiteral("SELECT IFNULL(closed, 0) FROM memoparcel WHERE ID = ? FOR UPDATE"), {memoId});
    if (!closed.isValid())
        return PrintedClose::Gone;
    if (db::flagOf(closed))
        return PrintedClose::WasClosed;
    if (!db::printedLinesAreAll(db, QStringLiteral("memoparcellist"), QStringLiteral("memoparcelid"), memoId, printed))
        return PrintedClose::LinesChanged;
    const db::LinesAsPrinted same =
        db::linesAsPrinted(QStringLiteral("memoparcellist"), QStringLiteral("memoparcelid"), memoId, printed);
    const int n = db::execAffected(db,
                                   QStringLiteral("UPDATE memoparcel SET closed = -1, closeddate = IFNULL(closeddate, ?) "
                                                  "WHERE ID = ? AND IFNULL(closed, 0) = 0 AND ")
                                       + same.condition,
                                   QVariantList{QDateTime::currentDateTime(), memoId} + same.values);
    if (n != 1)
        return PrintedClose::LinesChanged;
    tx.commit();
    return PrintedClose::Closed;
}

QString parcelMemoLinesChangedMessage(qint64 memoId)
{
    return QStringLiteral("Parcel-Memo #%1 was not closed: carats were put on it, returned or sold on another "
                          "Workstation after it was read for this print, so the paper does not show every line.\n\n"
                          "The memo stays open. Please print it again.")
        .arg(memoId);
}

QList<ParcelMemoListRow> parcelMemoList(const QSqlDatabase &db, bool onlyOpen, qint64 customerId)
{
    QString sql = QStringLiteral("SELECT memoparcel.ID, Customer.CompanyName, memoparcel.Date, memoparcel.CustomerID, "
                                 "memoparcel.closed FROM Customer INNER JOIN memoparcel "
                                 "ON Customer.ID = memoparcel.CustomerID WHERE 1=1");
    QVariantList binds;
    if (onlyOpen)
        sql += QStringLiteral(" AND IFNULL(memoparcel.closed, 0) = 0");
    if (customerId) {
        sql += QStringLiteral(" AND memoparcel.CustomerID = ?");
        binds << customerId;
    }
    sql += QStringLiteral(" ORDER BY memoparcel.ID DESC");
    QSqlQuery q = db::exec(db, sql, binds);
    QList<ParcelMemoListRow> rows;
    while (q.next()) {
        ParcelMemoListRow r;
        r.memoId = q.value(0).toLongLong();
        r.customer = db::textOf(q.value(1));
        r.memoDate = usDate(q.value(2).toDateTime(), QStringLiteral("MMM dd yyyy"));
        r.customerId = q.value(3).toLongLong();
        r.status = db::flagOf(q.value(4)) ? QStringLiteral("closed") : QStringLiteral("active");
        rows << r;
    }
    return rows;
}

} // namespace velmor::parcels
