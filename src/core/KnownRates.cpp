#include "core/KnownRates.h"

#include "core/AppContext.h"

#include <QStringList>

namespace velmor {

QVariant rateValue(double rate)
{
    return rateKnown(rate) ? QVariant(QString::number(rate, 'f', 5)) : QVariant(QMetaType::fromType<QString>());
}

QString missingRates(const AppContext &ctx, bool cdn, bool zar)
{
    QStringList missing;
    if (cdn && !rateKnown(ctx.exchangeRateCDN))
        missing << QStringLiteral("the exchange rate to %1")
                       .arg(ctx.settings.currencyName().isEmpty() ? QStringLiteral("CDN") : ctx.settings.currencyName());
    if (zar && !rateKnown(ctx.exchangeRateZAR))
        missing << QStringLiteral("the rand rate (ZAR)");
    if (missing.isEmpty())
        return {};
    QString what = missing.join(QStringLiteral(" and ")) + (missing.size() > 1 ? QStringLiteral(" are") : QStringLiteral(" is"));
    what[0] = what.at(0).toUpper();
    return QStringLiteral("%1 not known: it could not be fetched and none is stored.\n\nPlease set it under "
                          "Configuration, \"Working exchange rates\" (the exchange rate also on the rate screen), "
                          "then try again.")
        .arg(what);
}

} // namespace velmor
