// The rate refresh of the start-up sequence: the day's exchange rates and
// gold price, shown on the welcome window.  A failed fetch shows nothing and
// the start-up goes on.
#include "shell/StartupSteps.h"
#include "pricing/frmSplashWelcome.h"

namespace velmor {

void refreshRatesAtStartup(AppContext &ctx)
{
    pricing::GetExchangeRateModule(ctx);
}

} // namespace velmor
