#pragma once
// The payment commands: `velmor payment receive|make|reverse|list`, and the
// statement and the receivables and payables (`velmor statement`,
// `velmor receivables`, `velmor payables`).
#include "core/Cli.h"

namespace velmor {
CliRegistry paymentCommands();
// True for the commands that draw pages (a statement's PDF or print).
bool paymentCommandNeedsGui(const QStringList &args);
} // namespace velmor
