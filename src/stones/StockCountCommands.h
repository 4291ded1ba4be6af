#pragma once
// The stock count's commands: `velmor count start|scan|parcel|show|close|list`.
#include "core/Cli.h"

namespace velmor {
CliRegistry stockCountCommands();
// True for the count commands that draw pages (a PDF of the report).
bool stockCountCommandNeedsGui(const QStringList &args);
} // namespace velmor
