#include "pricing/SellingPrice.h"

#include "core/Settings.h"

namespace velmor::pricing {

namespace {

constexpr __int128 kScale = Decimal5::kScale;

} // namespace

int sellingPriceStep(const Settings &s) { return s.PriceRound == 5 ? 5 : 0; }

Decimal5 sellPerCarat(Decimal5 list, Decimal5 discount, int step)
{
    // list x (100 - d) / 100 exactly, in units of 10^-10 times 100.
    const __int128 product = __int128(list.units()) * (100 * kScale - discount.units());
    if (step > 0) {
        const __int128 steps = figures::roundedDiv(product, kScale * kScale * 100 * step);
        return Decimal5::fromUnits(qint64(steps * step * kScale));
    }
    const __int128 cents = figures::roundedDiv(product, kScale * kScale);
    return Decimal5::fromUnits(qint64(cents * (kScale / 100)));
}

Decimal5 sellPerStone(Decimal5 list, Decimal5 discount, Decimal5 carat, int step)
{
    return sellPerCarat(list, discount, step).times(carat, 2);
}

QString sellPerStoneSql(const QString &list, const QString &discount, const QString &carat, int step)
{
    const QString exact =
        QStringLiteral("CAST(%1 AS DECIMAL(25,5)) * (100 - CAST(%2 AS DECIMAL(25,5)))").arg(list, discount);
    const QString perCarat = step > 0 ? QStringLiteral("ROUND(%1 / %2, 0) * %3").arg(exact).arg(100 * step).arg(step)
                                      : QStringLiteral("ROUND(%1 / 100, 2)").arg(exact);
    return QStringLiteral("ROUND(%1 * CAST(%2 AS DECIMAL(25,5)), 2)").arg(perCarat, carat);
}

} // namespace velmor::pricing
