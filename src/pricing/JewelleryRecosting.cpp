#include "pricing/JewelleryRecosting.h"

namespace velmor::pricing {

void recostJewelleryItems(AppContext &, Metal)
{
    // Intentionally empty until the jewellery-item side exists: the rate is
    // already stored and the configuration reloaded when this is called.
}

} // namespace velmor::pricing
