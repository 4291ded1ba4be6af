#pragma once
// Posting a sale to the customer's open invoice: the tax rule, the
// open-invoice rule (one open invoice per customer, also when two
// workstations post the first sale of a customer at the same moment), the
// line with the day's exchange rates, and the notice.  Every selling path
// (the sell dialog, memo sheets, parcel memos) posts through here.
#include <QSqlDatabase>
#include <QString>

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

// What one line carries.  Carat and price per carat are decimal texts
// ("1.01", "7500.00"); they are stored as given, never through a double.
struct SaleLine {
    qint64 customerId = 0;
    qint64 diamondId = 0; // a stone line
    qint64 parcelId = 0;  // a parcel line (both 0: a free line)
    QString carat;
    QString priceCarat;
    QString details;
    // The line's amount as agreed in Canadian dollars or rand, when the
    // dealer agreed it in that currency ("1500.00"; empty: none).
    QString amountCDN, amountZAR;
};

struct Posted {
    qint64 invoiceId = 0;
    qint64 lineId = 0;
    bool newInvoice = false;
};

// A decimal text as the line stores it, or empty when it is not a number
// ("1,5", "abc", "").  A leading "+" and surrounding blanks are accepted.
QString decimalText(const QString &text);

// A sale's weight and price per carat, read for the invoice line's columns
// as decimal texts to store.  Throws std::invalid_argument, naming the
// field, for a text that is not a figure, a weight or price of 0 or below
// (also one that rounds to 0), and a figure larger than its column holds.
struct SaleFigures {
    QString carat;
    QString priceCarat;
};
SaleFigures saleFigures(const QSqlDatabase &db, const QString &carat, const QString &priceCarat);

// The line's tax percentage for a customer: of the customer's flags _tax1 ..
// _tax4 the last one that is set decides, and the line carries the rate the
// configuration holds for that tax; with none set it is 0.
double taxRateFor(const AppContext &ctx, qint64 customerId);

// The notice after posting: "Added to a new Invoice #12", "Added to the
// existing Invoice #12"; with an SKU: "Added SKU to a new Invoice #12".
QString postedNotice(const Posted &p, const QString &sku = QString());

// Posts one line inside the caller's transaction (the caller has already
// changed the stone or parcel in the same transaction).  Locks the customer's
// row first, so that a second workstation posting to the same customer waits
// and then finds the invoice this one opened.  Throws db::DbError; throws
// std::invalid_argument for an unknown customer or a carat or price that
// saleFigures refuses.
Posted postInTransaction(AppContext &ctx, const SaleLine &line);

enum class SellResult { Done, Refused, Conflict, Failed };

struct SellOutcome {
    SellResult result = SellResult::Failed;
    Posted posted;
    QString message; // the notice when done, else the reason shown
};

// The sell dialog's sale: the stone becomes Sold to the customer (its UPDATE
// states the status Stock it expects) and its line is posted, in one
// transaction.  A stone sold or changed on another workstation meanwhile is
// refused and no line is written.  Shows the notice or the reason through
// ctx.prompt().
// `amountCDN`, `amountZAR`: the amount agreed in that currency, if any.
SellOutcome sellStoneOnInvoice(AppContext &ctx, qint64 stoneId, qint64 customerId, const QString &carat,
                               const QString &priceCarat, const QString &amountCDN = {},
                               const QString &amountZAR = {});

} // namespace velmor::invoices
