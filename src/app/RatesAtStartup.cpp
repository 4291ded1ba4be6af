// The rate refresh of the start-up sequence.  The exchange and metal rate
// module replaces this body with its fetch; whatever it throws is ignored
// by the splash screen.
#include "app/StartupSteps.h"

namespace velmor {

void refreshRatesAtStartup(AppContext &) {}

} // namespace velmor
