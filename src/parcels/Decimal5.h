#pragma once
// The parcel side's carats and money are the one exact decimal of the
// figures module.
#include "core/Figures.h"

namespace velmor::parcels {
using velmor::Decimal5;
}
