#pragma once
// The memo subsystem's commands: `memo show`, `memo print`, `memo report`.
#include "core/Cli.h"

namespace velmor {
CliRegistry memoCommands();
}
