#pragma once
// What each line of an invoice asks to be paid, read with the one statement
// of db/LineDues.h: the line's amount and its share of the invoice's tax, in
// US$ and in CDN.  The shares of an invoice's lines add up to the tax its
// printed summary shows, in either currency.
//
// A line is owed in one currency, its account's: a stone line in the
// currency the stone is priced in (its price basis), a parcel or free line in
// US$, the currency of its price.
#include "core/Figures.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace velmor::invoices {

struct LineDue {
    qint64 lineId = 0, invoiceId = 0, customerId = 0;
    qint64 stoneId = 0, parcelId = 0; // both 0: a free line
    bool stoneFound = false;          // a stone line whose stone is there
    QString label;                    // the stone's SKU, "PARCEL- " and the parcel's, the free line's text or "line N"
    bool local = false;               // the account is kept in CDN (a stone priced locally)
    bool returned = false;            // the stone came back into stock after the sale
    QDate invoiceDate;
    double rateCDN = 0;               // the line's rate (0: none)
    Decimal5 amountUS, taxUS;
    std::optional<Decimal5> amountCDN, taxCDN; // not known: no amount agreed in CDN and no rate

    bool isStone() const { return stoneId != 0; }
    Decimal5 dueUS() const { return amountUS + taxUS; }
    std::optional<Decimal5> dueCDN() const
    {
        return amountCDN && taxCDN ? std::optional<Decimal5>(*amountCDN + *taxCDN) : std::nullopt;
    }
    // In a currency (CDN when `inLocal`), or in the account's.
    std::optional<Decimal5> due(bool inLocal) const { return inLocal ? dueCDN() : std::optional<Decimal5>(dueUS()); }
    std::optional<Decimal5> tax(bool inLocal) const { return inLocal ? taxCDN : std::optional<Decimal5>(taxUS); }
    std::optional<Decimal5> due() const { return due(local); }
};

// Every line of the invoices that `invoices` names (an SQL list or subquery
// of invoice IDs: "12, 14" or "SELECT ID FROM invoice WHERE customerid = 3"),
// by invoice, then in line order.  Throws db::DbError.
QList<LineDue> lineDues(const QSqlDatabase &db, const QString &invoices);
QList<LineDue> lineDues(const QSqlDatabase &db, const QList<qint64> &invoiceIds);
// One line; nothing when there is no such line.
std::optional<LineDue> lineDue(const QSqlDatabase &db, qint64 lineId);
// The last invoice line of a stone (its sale while it is sold).
std::optional<LineDue> stoneSaleDue(const QSqlDatabase &db, qint64 stoneId);

} // namespace velmor::invoices
