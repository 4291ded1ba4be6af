#pragma once
// The global re-costing of jewellery items after a gold or platinum rate
// change.  Items are the store side's; their re-costing is not built yet, so
// this is the one place that will do it and for now changes nothing.
#include "pricing/Rates.h"

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

void recostJewelleryItems(AppContext &ctx, Metal metal);

} // namespace velmor::pricing
