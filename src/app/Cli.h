#pragma once
// The command line: `velmor SUBCOMMAND ...` runs batch work without a window,
// prints what it did and exits non-zero on failure.  Each subsystem adds its
// commands in a register function listed in Cli.cpp.
#include <QList>
#include <QStringList>
#include <QTextStream>
#include <functional>

namespace velmor {

struct CliIo {
    QTextStream &out;
    QTextStream &err;
};

struct CliCommand {
    QStringList words;  // {"db", "status"}
    QString arguments;  // "[FOLDER]"
    QString help;       // one line
    // Receives the arguments after the command words; returns the exit code.
    std::function<int(const QStringList &args, CliIo &io)> run;
};

using CliRegistry = QList<CliCommand>;

class AppContext;
// Opens the workstation's database for a subcommand (and, when asked, loads
// the settings record); on failure prints why on io.err and returns false.
bool openCliContext(AppContext &ctx, CliIo &io, bool loadSettings = false);

// Returns -1 when args name no subcommand (the program then opens its window).
int runCli(const QStringList &args, QTextStream &out, QTextStream &err);
QString cliHelp();

// Register functions of the subsystems.
void registerDbCommands(CliRegistry &r);
void registerAppCommands(CliRegistry &r);
void registerPricingCommands(CliRegistry &r);
void registerStoneCommands(CliRegistry &r);

} // namespace velmor
