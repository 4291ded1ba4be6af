#pragma once
// What customers owe and what the dealer owes: a customer's statement (every
// invoice, payment and reversal in a date range with a running balance, and
// the balance aged from the invoice dates), and the receivables and payables
// (every customer, supplier or consignor with a balance, aged the same way,
// totals per currency).
//
// A customer is charged what the lines of his invoices ask (db/LineDues.h):
// each stone line not returned, parcel line and free line its amount with
// its share of the invoice's tax, a stone in the currency it is priced in,
// a parcel or free line in US$ (the figure the memo report and the payment
// windows owe); payments and reversals are the PaymentReceived rows of the
// customer.  The dealer owes a supplier or consignor the cost of a stone
// whose account was opened (a consignment's opening row or a payment made),
// less what was paid.
#include "core/Figures.h"
#include "printing/PrintJob.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <optional>

namespace velmor {
class AppContext;
}

namespace velmor::payments {

// Days since the invoice: 0-30, 31-60, 61-90, over 90.
enum Bucket { Current, Days31to60, Days61to90, Over90, kBuckets };
int bucketOf(const QDate &from, const QDate &asOf);
QStringList bucketHeadings();

// Amounts in one currency, aged.
struct Aged {
    std::array<Decimal5, kBuckets> buckets{};
    Decimal5 total() const;
    void add(Bucket b, const Decimal5 &amount) { buckets[b] += amount; }
    void add(const Aged &o);
};

// The sold stones and the parcel and free lines with what their invoice
// line asks and what was received up to `asOf` (the end of that day;
// invalid: everything): db::dues::accountsSql(), the derived table with the
// columns ID (the stone; 0 for a parcel or free line), LineID, SKU,
// CustomerID, InvoiceID, InvoiceDate, flag (paid-off flag), confirmed
// (overpayments confirmed), loc (priced locally), amount (without the tax),
// owed (with it; Null: at a rate not known), paid.  One statement for every
// road (receivables, the books check).
QString soldAccountsSql(const QDate &asOf = {});

// Statement ---------------------------------------------------------------

struct StatementEntry {
    enum Kind { Invoice, Payment, Reversal } kind = Invoice;
    QDate date;
    QString what;        // "Invoice# 000012", "Payment 44 (cheque 12): R1", "Reversal of payment #44: R1"
    bool local = false;  // the currency of the amount
    Decimal5 amount;     // charged (+) or paid (-)
    Decimal5 balance;    // the running balance in its currency
};

struct Statement {
    qint64 customerId = 0;
    QString customer;
    QStringList address;
    QDate from, to; // the range shown
    QString localName;
    // Per currency (0 US$, 1 local): the balance brought forward, the
    // entries' running balance ends at closing.
    std::array<Decimal5, 2> opening{}, closing{};
    std::array<bool, 2> used{}; // a currency the customer has anything in
    QList<StatementEntry> entries;
    std::array<Aged, 2> aged; // the closing balance aged at `to`
    // Lines priced locally at a rate not known: their SKUs (not charged).
    QStringList unknownRate;
};

// Throws db::DbError.  Nothing when there is no such customer.
std::optional<Statement> statementOf(AppContext &ctx, qint64 customerId, const QDate &from, const QDate &to);

// The paper: to PDF or a printer through the print surface.
bool drawStatement(printing::PrintSurface &s, const AppContext &ctx, const Statement &st, QString *error);
printing::PrintOutcome printStatement(AppContext &ctx, const Statement &st, const printing::PrintTarget &target);

// Receivables and payables --------------------------------------------------

struct PartyBalance {
    qint64 partyId = 0;
    QString name;
    bool local = false;
    int stones = 0;
    Aged aged;
};

struct Balances {
    bool payables = false;
    QDate asOf;
    QString localName;
    QList<PartyBalance> rows; // by name, then currency
    std::array<Aged, 2> totals; // US$, local
};

// Every customer with a balance on his sold stones (receivables), or every
// supplier and consignor the dealer owes (payables), at the end of `asOf`.
// One statement each.  Throws db::DbError.
Balances receivables(AppContext &ctx, const QDate &asOf);
Balances payables(AppContext &ctx, const QDate &asOf);

// The CSV export: a heading line, one line per row, the totals per currency.
// Written whole or not at all.  False with the reason.
bool writeBalancesCsv(const Balances &b, const QString &path, QString *error);
// The lines `velmor receivables` prints.
QStringList balancesText(const Balances &b);
// The report on paper (landscape): to PDF or a printer through the print surface.
bool drawBalances(printing::PrintSurface &s, const AppContext &ctx, const Balances &b, QString *error);
printing::PrintOutcome printBalances(AppContext &ctx, const Balances &b, const printing::PrintTarget &target);

// Why the logged-in user may not see them (empty when he may): statements
// and receivables need AllowStatementView, payables ViewCost as well.
QString viewRefusal(const AppContext &ctx, bool payables);

} // namespace velmor::payments
