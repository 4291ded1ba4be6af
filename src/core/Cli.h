#pragma once
// The command line: `velmor SUBCOMMAND ...` runs batch work without a window,
// prints what it did and exits non-zero on failure.  Each subsystem keeps
// one small table of its commands (a function returning a CliRegistry, declared
// in its own header); the shell gathers the tables and dispatches.
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

// The foundation's own commands (users, settings).
CliRegistry coreCommands();

} // namespace velmor
