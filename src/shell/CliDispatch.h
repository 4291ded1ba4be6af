#pragma once
// The command-line dispatch: gathers every subsystem's command table and runs
// the one the arguments name.
#include "core/Cli.h"

namespace velmor {

// The database commands (status, upgrade) live with the shell: they start
// the upgrade the same way the start-up does.
CliRegistry dbCommands();

// Returns -1 when args name no subcommand (the program then opens its window).
int runCli(const QStringList &args, QTextStream &out, QTextStream &err);
QString cliHelp();
// "Velmor <version> (schema version <n>)": what `velmor --version` prints.
QString cliVersion();
// True when the subcommand draws (printing) and needs a GUI application, though no window.
bool cliNeedsGui(const QStringList &args);

} // namespace velmor
