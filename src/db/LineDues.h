#pragma once
// What an invoice line asks to be paid: its amount and its share of the
// invoice's tax, per currency, as SQL that every reader of a balance uses
// (the payment windows and commands, the statement, the receivables, the
// memo report, the books check and the paid-off flags).
//
// The printed invoice asks its summary: the sub-total plus the tax, the tax
// rounded once over the whole invoice (round(sum of line amount x the line's
// tax rate / 100)).  Each line carries a share of that tax so that the
// shares of an invoice's lines add up to its printed tax exactly, in US$ and
// in CDN: a line's share is the invoice's tax rounded over it and the lines
// before it, less the same over the lines before it alone (in line order).
// A line's share so never changes when lines are added after it, and never
// differs from the line's own exact tax by a cent or more.  A line without a
// tax rate bears none.
//
// The CDN amount of a line is the amount agreed in CDN, else the US amount
// at the line's rate (not known without one).  A line's CDN share is not
// known while a taxed line up to it has no CDN amount.
#include <QDate>
#include <QSqlDatabase>
#include <QString>

namespace velmor::db::dues {

// The amount of the invoicelist row `il` (an alias), to the cent, in US$ and
// in CDN (Null: not known).
QString amountUS(const QString &il);
QString amountCDN(const QString &il);

// A derived table of the taxed lines of the invoices that `invoices` chooses
// (a condition on the invoicelist rows `tl`, taking whole invoices), each
// with its share of its invoice's tax: ID, taxUS, taxCDN (Null: not known).
// A line that bears no tax is not in it.
QString taxTable(const QString &invoices = QStringLiteral("TRUE"));

// What the line `il` asks, in US$ and in CDN (Null: not known), where `t` is
// its row of taxTable() joined with LEFT JOIN.
QString dueUS(const QString &il, const QString &t);
QString dueCDN(const QString &il, const QString &t);

// The same share of the tax for one line `il` at a time, looked up from its
// invoice's lines up to it (for a reader that finds its lines one by one):
// the figure taxTable() gives.
QString taxUSOf(const QString &il);
QString taxCDNOf(const QString &il);

// A stone priced in the local currency (its price basis), for SingleStone
// `s`: its account with a customer is kept in CDN, any other in US$.
QString localBasis(const QString &s);

// Parcel and free lines (no stone) are owed in US$, the currency of their
// price.  What such a line is called where its payments are listed:
// "PARCEL- " and the parcel's SKU, or the free line's text ("line N" when it
// has none); `p` is the parcel row joined to it.
QString lineLabel(const QString &il, const QString &p);

// The accounts of what customers owe on their invoices, up to the end of the
// day `asOf` (invalid: everything), as a derived table: one row
// per sold stone (its last invoice line) and one per parcel or free line not
// returned.  Columns: ID (the stone; 0 for a parcel or free line), LineID,
// SKU (the line's label for a parcel or free line), CustomerID, InvoiceID,
// InvoiceDate, flag (the stone's paid-off flag), confirmed (overpayments
// confirmed), loc (kept in CDN), amount (the line's amount in that currency),
// owed (amount with the tax share; Null: at a rate not known), paid.
QString accountsSql(const QDate &asOf = {});
// Its two parts, each a derived table with the same columns: the sold
// stones, and the parcel and free lines (a reader that groups them may
// group each apart and add the groups up, which reads faster than the union).
QString stoneAccountsSql(const QDate &asOf = {});
QString lineAccountsSql(const QDate &asOf = {});

// Sets StoneIsPaidOff of the sold stones that `stones` chooses (a condition
// on SingleStone s) from their rows: set exactly when what was received for
// the stone reaches what its last invoice line asks, in the currency it is
// priced in.  Only flags that differ are written; the number written.
// Throws DbError.
int refreshPaidOffFlags(const QSqlDatabase &db, const QString &stones);

} // namespace velmor::db::dues
