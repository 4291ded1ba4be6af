#include "invoices/Money.h"

#include "core/Figures.h"
#include "core/KnownRates.h"

#include <QRegularExpression>

namespace velmor::invoices {

std::optional<qint64> parseFixed(const QString &text)
{
    const std::optional<Decimal5> d = Decimal5::parse(text);
    return d ? std::optional<qint64>(d->units()) : std::nullopt;
}

qint64 roundedDiv(__int128 n, __int128 d)
{
    // The one rounding of exact sums, for a divisor of either sign.
    return qint64(d < 0 ? figures::roundedDiv(-n, -d) : figures::roundedDiv(n, d));
}

qint64 lineAmountCents(qint64 priceCarat, qint64 carat)
{
    // hundred-thousandths times hundred-thousandths: 10^10 per unit, 10^8 per cent
    return roundedDiv(__int128(priceCarat) * carat, __int128(100000000));
}

qint64 convertedCents(qint64 cents, qint64 rate)
{
    // The one conversion every screen and page uses (core/KnownRates.h).
    return convertedAmount(Decimal5::fromUnits(cents * 1000), Decimal5::fromUnits(rate)).units() / 1000;
}

qint64 fixedTimesRateCents(qint64 fixed, qint64 rate)
{
    return roundedDiv(__int128(fixed) * rate, __int128(100000000));
}

QString centsText(qint64 cents, bool grouped)
{
    const bool negative = cents < 0;
    const quint64 a = negative ? quint64(-cents) : quint64(cents);
    QString whole = QString::number(a / 100);
    if (grouped)
        for (int i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, QLatin1Char(','));
    return (negative ? QStringLiteral("-") : QString()) + whole + QLatin1Char('.')
           + QString::number(a % 100).rightJustified(2, QLatin1Char('0'));
}

QString fixedText(qint64 fixed, bool grouped)
{
    return centsText(roundedDiv(fixed, 1000), grouped);
}

Totals totalsOf(const QList<TaxedAmount> &amounts)
{
    Totals t;
    __int128 taxSum = 0; // cents x fixed percent
    for (const TaxedAmount &a : amounts) {
        t.any = true;
        t.subTotal += a.cents;
        taxSum += __int128(a.cents) * a.taxRate;
    }
    t.tax = roundedDiv(taxSum, __int128(100) * kFixedOne);
    return t;
}

QString fixedDecimal(qint64 fixed)
{
    const qint64 whole = qAbs(fixed) / kFixedOne, part = qAbs(fixed) % kFixedOne;
    return (fixed < 0 ? QStringLiteral("-") : QString()) + QString::number(whole) + QLatin1Char('.')
           + QString::number(part).rightJustified(5, QLatin1Char('0'));
}

} // namespace velmor::invoices
