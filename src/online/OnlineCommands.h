#pragma once
// The online subsystem's commands: `http get|head|post URL ...` through the
// program's own HTTP client, and `cert lookup NUMBER WEIGHT`.
#include "core/Cli.h"

namespace velmor {
CliRegistry onlineCommands();
}
