#pragma once
// Invoice figures without binary floating point.  Every stored figure of an
// invoice line is DECIMAL(10,5): it is read as text and held as a whole
// number of hundred-thousandths.  Amounts are whole cents; a figure becomes
// cents rounded half up (away from zero for negative figures), once, and the
// screen, the printed invoice and the command line all use the same cents.
//
//   line amount      = round(price per carat x carats)
//   converted amount = round(line amount x the line's exchange rate)
//   sub-total        = sum of the line amounts
//   tax              = round(sum of line amount / 100 x the line's tax rate)
//   summary          = sub-total + tax
#include <QList>
#include <QString>
#include <optional>

namespace velmor::invoices {

// Scale of a stored figure: 5 decimals.
constexpr qint64 kFixedOne = 100000;

// "1.01" -> 101000.  Blanks around and a leading "+" are accepted; more than
// five decimals are rounded half up.  Nothing for text that is not a number.
std::optional<qint64> parseFixed(const QString &text);

// Half-up (away from zero) division of whole numbers.
qint64 roundedDiv(__int128 numerator, __int128 denominator);

qint64 lineAmountCents(qint64 priceCarat, qint64 carat);
qint64 convertedCents(qint64 cents, qint64 rate);
// A fixed figure as cents (price per carat in another currency: price x rate).
qint64 fixedTimesRateCents(qint64 fixed, qint64 rate);

// "1234.50", or grouped "1,234.50"; "-0.05" for negative cents.
QString centsText(qint64 cents, bool grouped = false);
// A fixed figure rounded half up to two decimals ("0.00"; grouped "1,234.50").
QString fixedText(qint64 fixed, bool grouped = false);
// A fixed figure with its five decimals, as a DECIMAL column takes it ("-0.50000").
QString fixedDecimal(qint64 fixed);

struct TaxedAmount {
    qint64 cents = 0;
    qint64 taxRate = 0; // fixed, percent
};

struct Totals {
    bool any = false; // false: no lines, the screen leaves the totals empty
    qint64 subTotal = 0;
    qint64 tax = 0;
    qint64 summary() const { return subTotal + tax; }
};

Totals totalsOf(const QList<TaxedAmount> &amounts);

} // namespace velmor::invoices
