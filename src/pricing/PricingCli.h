#pragma once
// The pricing subsystem's commands: `grid import`, `grid price`, `rates fetch`.
#include "core/Cli.h"

namespace velmor {
CliRegistry pricingCommands();
}
