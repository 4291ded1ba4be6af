// The rate refresh of the start-up sequence: the day's exchange rates and
// gold price, shown on the welcome window.  A failed fetch shows nothing and
// the start-up goes on with the exchange rate stored on the rate screen.
#include "shell/StartupSteps.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "pricing/frmSplashWelcome.h"

namespace velmor {

void refreshRatesAtStartup(AppContext &ctx)
{
    const pricing::RatesFetch r = pricing::GetExchangeRateModule(ctx);
    if (r.cad)
        return;
    // The day's rates could not be fetched: the last good ones stored.
    // A rate never stored stays unknown (never 1.0).
    try {
        const double stored = db::numOf(db::scalar(ctx.db(), QStringLiteral("SELECT ExchangeRate FROM Config ORDER BY ID LIMIT 1")));
        if (stored > 0)
            ctx.exchangeRateCDN = stored;
    } catch (const db::DbError &) {
    }
    try {
        const double rand =
            db::numOf(db::scalar(ctx.db(), QStringLiteral("SELECT ExchangeRateZAR FROM Config ORDER BY ID LIMIT 1")));
        if (rand > 0 && !rateKnown(ctx.exchangeRateZAR))
            ctx.exchangeRateZAR = rand;
    } catch (const db::DbError &) {
    }
    emit ctx.events().ratesChanged();
}

} // namespace velmor
