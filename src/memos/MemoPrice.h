#pragma once
// The price of a stone out on memo, worked out in one place for the memo
// sheet, its paper, selling from the memo (one stone or all), the older memo
// sheet and the memo report.
//
// In US dollars the memo price is the price agreed on the memo (MemoUS, for
// a stone on memo or sold from it, or priced by that fixed amount), else,
// for a stone on memo with a discount off its list price, the list price
// less that discount (the one selling-price rule), else the stone's selling
// price.  By the stone's price basis it may instead be a fixed
// local amount (MemoLocal) or the US selling price in the local currency.
#include "core/Figures.h"
#include "invoices/Dues.h"
#include "invoices/Invoice.h"

#include <QSqlRecord>
#include <QString>
#include <optional>

namespace velmor::memos {

struct MemoPriceFacts {
    bool onMemo = false; // Status "Memo"
    bool sold = false;   // Status "Sold"
    std::optional<Decimal5> memoUS, memoLocal, discount;
    Decimal5 sellPriceUS, carat, rap;
    bool paidOffUS = false, paidOffPercentageUS = false, paidOffLocal = false, paidOffPercentageLocal = false;
};

// The SingleStone columns the facts are read from, for a SELECT list
// (`table` qualifies them: "SingleStone.").
QString memoPriceColumns(const QString &table = QString());
// Reads the facts from a row that selected memoPriceColumns().
MemoPriceFacts memoPriceFacts(const QSqlRecord &row);

// The memo price per stone in US dollars, to the cent.
Decimal5 memoPriceUS(const MemoPriceFacts &f, int step);

struct MemoAmount {
    Decimal5 amount;     // to the cent
    bool local = false;  // in the local currency
    bool known = true;   // false: a local amount at an unknown rate
    Decimal5 tax;        // a sold stone: its share of its invoice's tax, within amount
    Decimal5 price() const { return amount - tax; } // without the tax: the line's amount
};
// The memo price by the stone's price basis (the memo report's and the
// older memo sheet's rule); `rateCDN` is the working rate (0: unknown).
MemoAmount memoPriceByBasis(const MemoPriceFacts &f, double rateCDN, int step);

// What a stone out with a customer is owed at (the memo report, the payment
// windows, statements, receivables and the books check all take it): a sold
// stone what its invoice line `sale` asks, its amount with its share of the
// invoice's tax (in CDN where the stone is priced locally), else the memo
// price by the price basis.
MemoAmount amountOwed(const MemoPriceFacts &f, const invoices::LineDue *sale, double rateCDN, int step);

} // namespace velmor::memos
