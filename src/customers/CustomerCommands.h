#pragma once
// The customer subsystem's commands: `customers find`, `customers export`,
// `overdue check`.
#include "core/Cli.h"

namespace velmor {
CliRegistry customerCommands();
}
