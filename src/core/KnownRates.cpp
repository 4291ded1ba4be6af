#include "core/KnownRates.h"

#include "core/AppContext.h"

#include <QStringList>

namespace velmor {

QVariant rateValue(double rate)
{
    const std::optional<Decimal5> r = rateFigure(rate);
    return r ? QVariant(r->toDb()) : QVariant(QMetaType::fromType<QString>());
}

std::optional<Decimal5> rateFigure(double rate)
{
    if (!rateKnown(rate))
        return std::nullopt;
    const Decimal5 r = Decimal5::fromDouble(rate);
    // A rate below the fifth decimal is no rate to convert with.
    return r > Decimal5() ? std::optional<Decimal5>(r) : std::nullopt;
}

Decimal5 convertedAmount(Decimal5 amount, Decimal5 rate) { return amount.times(rate, 2); }

std::optional<Decimal5> convertedAmount(Decimal5 amount, double rate)
{
    const std::optional<Decimal5> r = rateFigure(rate);
    return r ? std::optional<Decimal5>(convertedAmount(amount, *r)) : std::nullopt;
}

QString rateText(double rate, int places)
{
    const std::optional<Decimal5> r = rateFigure(rate);
    return r ? r->fixed(places) : QStringLiteral("???");
}

QString cdnRateName(const AppContext &ctx)
{
    return QStringLiteral("the exchange rate to %1")
        .arg(ctx.settings.currencyName().isEmpty() ? QStringLiteral("CDN") : ctx.settings.currencyName());
}

QString zarRateName() { return QStringLiteral("the rand rate (ZAR)"); }

QString missingRates(const AppContext &ctx, bool cdn, bool zar)
{
    QStringList missing;
    if (cdn && !rateFigure(ctx.exchangeRateCDN))
        missing << cdnRateName(ctx);
    if (zar && !rateFigure(ctx.exchangeRateZAR))
        missing << zarRateName();
    if (missing.isEmpty())
        return {};
    QString what = missing.join(QStringLiteral(" and ")) + (missing.size() > 1 ? QStringLiteral(" are") : QStringLiteral(" is"));
    what[0] = what.at(0).toUpper();
    return QStringLiteral("%1 not known: it could not be fetched and none is stored.\n\nPlease set it on the "
                          "rate screen (Exchange and Metal Rates) or under Configuration, \"Working exchange "
                          "rates\", then try again.")
        .arg(what);
}

} // namespace velmor
