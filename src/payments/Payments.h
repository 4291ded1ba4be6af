#pragma once
// Payments received from customers and made to suppliers and consignors, one
// row per stone in PaymentReceived and PaymentMade (the tables the shared
// database already has), and the paid-off flags of SingleStone kept in step
// with those rows in the same transaction.
//
// Nothing is deleted: a payment entered wrongly is undone by a reversing row
// (same stone, party and amounts with the opposite sign, ReversesID naming
// the payment, its reference saying so).  A payment of 0 or below is refused;
// one that takes a balance below 0 only when the dealer confirms the
// overpayment (Overpaid on the row).
//
// A stone's account is kept in the currency its price is in (the price basis
// the memo report uses): its price is the amount of its invoice line when it
// is sold, else its memo price; for the payments made, its cost.  Amounts are
// whole cents.  An amount typed in one currency is converted to the other at
// a known rate (the rate of the sale for a sold stone, else the working
// rate), or the payment is refused naming the rate.
//
// Every write needs a logged-in user holding AllowApplyPayment; the user's ID
// goes on the row.  Each operation first writes the stone rows it concerns
// (the write two workstations entering payments for one stone would both
// make), so that one waits for the other, or loses and is run again, and
// then reads what was paid.
#include "core/Figures.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace velmor {
class AppContext;
}

namespace velmor::payments {

enum class Side { Received, Made };

// The right that enters and reverses payments, and the one that shows
// statements and the receivables and payables.
QString applyRight();
QString statementRight();
// Empty when the logged-in user may enter payments; else why not.
QString writeRefusal(const AppContext &ctx);

// A stone's account on one side; on the received side also the account of
// a parcel or free line of an invoice (stoneId 0: no stone, sku its label).
struct StoneAccount {
    Side side = Side::Received;
    qint64 stoneId = 0;
    QString sku, status;
    qint64 partyId = 0; // the customer (received) or the supplier/consignor (made)
    QString partyName;
    bool local = false;     // kept in the local currency
    bool priceKnown = true; // false: a local price at an unknown rate
    // What is owed for the stone, to the cent (received: price, a sold
    // stone's with its share of the invoice's tax; made: cost).
    Decimal5 price;
    Decimal5 tax; // a sold stone or a line: its share of the invoice's tax, within price
    Decimal5 paidUS, paidLocal;
    qint64 invoiceId = 0, invoiceLineId = 0; // the sale (received side, sold stones)
    double rateCDN = 0; // the rate typed amounts are converted at (0: unknown)
    bool paidOff = false; // as the stone's flag says now

    bool isLine() const { return stoneId == 0 && invoiceLineId != 0; }
    Decimal5 paid() const { return local ? paidLocal : paidUS; }
    Decimal5 balance() const { return price - paid(); }
    // Sold (received side) or consigned in / bought (made side), and the
    // payments reach the price.
    bool settled() const;
};

// Throws db::DbError.  Nothing when there is no such stone.
std::optional<StoneAccount> stoneAccount(AppContext &ctx, Side side, qint64 stoneId);

// What a payment is typed as: the amounts as typed ("1,234.56"; either may be
// empty, not both), the date (invalid: today) and the reference.
struct PaymentInput {
    QString us, local;
    QDate date;
    QString reference;
    bool confirmOverpayment = false;
};

struct WrittenRow {
    qint64 paymentId = 0;
    qint64 stoneId = 0;
    QString sku;
    Decimal5 us, local;
    Decimal5 balance; // the stone's balance afterwards, in its account's currency
    bool local_ = false;
    bool paidOff = false;
};

struct Outcome {
    enum State {
        Done,
        Refused,      // a rule refused it; message says why
        Overpayment,  // would take a balance below 0: asks to be confirmed
        Conflict,     // lost to another workstation every time
        Failed        // a database error
    } state = Refused;
    QString message;
    QList<WrittenRow> rows;
    bool ok() const { return state == Done; }
};

// The payment-received window, from the stone screen or a memo report row.
Outcome receiveForStone(AppContext &ctx, qint64 stoneId, const PaymentInput &in);

// The account of a parcel or free line of an invoice (nothing for a stone
// line or no line).  Throws db::DbError.
std::optional<StoneAccount> lineAccount(AppContext &ctx, qint64 lineId);

// The accounts of an invoice's lines that are still owed on it: its stones
// still sold on it and its parcel and free lines, by line (invoiceLineId),
// oldest line first.  Throws db::DbError.
QList<StoneAccount> invoiceAccounts(AppContext &ctx, qint64 invoiceId);

// A payment for an invoice, spread over its lines (stones, parcels and free
// lines, each with its share of the tax): the lines and amounts chosen (US
// amounts), else the oldest line first, each taking its balance until the
// payment is spent.  What is left beyond every balance is an overpayment on
// the newest line.  A parcel or free line's row names the line
// (InvoiceListID) and no stone (StoneID 0).
struct LineShare {
    qint64 lineId = 0;
    QString us; // as typed
};
Outcome receiveForInvoice(AppContext &ctx, qint64 invoiceId, const PaymentInput &in,
                          const QList<LineShare> &shares = {});

// The payment-made window (cmdNewPaymentMade).
Outcome makeForStone(AppContext &ctx, qint64 stoneId, const PaymentInput &in);

// A reversing row for a payment on either side.
Outcome reversePayment(AppContext &ctx, Side side, qint64 paymentId, const QDate &date = {});

// The text a reversal's reference carries.
QString reversalReference(qint64 paymentId);

// Payments as `velmor payment list` and the windows list them.
struct PaymentRow {
    Side side = Side::Received;
    qint64 id = 0;
    QDate date;
    QString reference;
    qint64 stoneId = 0;
    QString sku;
    qint64 partyId = 0;
    QString partyName;
    Decimal5 us, local;
    qint64 invoiceLineId = 0, invoiceId = 0;
    qint64 reversesId = 0;
    qint64 reversedBy = 0;
    bool overpaid = false;
    qint64 employeeId = 0;
};
struct PaymentFilter {
    qint64 customerId = 0; // 0: any
    qint64 stoneId = 0;    // 0: any
    qint64 invoiceId = 0;  // 0: any; else the payments against the invoice's lines
    bool includeZeroRows = false; // the rows written when a stone went on memo
};
QList<PaymentRow> listPayments(const QSqlDatabase &db, Side side, const PaymentFilter &f);

// After a sale or anything else that changes what a stone owes: the stone's
// flags set from its rows (in the caller's transaction).  Throws db::DbError.
void refreshStoneFlags(AppContext &ctx, qint64 stoneId);

// "US$ 1,234.56" or "CDN 1,234.56" as the windows and the paper show an
// account's amount.
QString amountText(const AppContext &ctx, const Decimal5 &amount, bool local);

} // namespace velmor::payments
