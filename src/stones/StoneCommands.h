#pragma once
// The stone subsystem's commands: `stones repair`, `stones changelog`.
#include "core/Cli.h"

namespace velmor {
CliRegistry stoneCommands();
// `stones search`, `stones history`, `print memo-out` (SearchCommands.cpp).
CliRegistry searchCommands();
}
