#pragma once
// Who runs a command that writes.  A command that changes the books names
// its user with `--user NAME` (or the environment's VELMOR_USER); the
// password comes from VELMOR_PASSWORD, or is typed at the terminal (not
// echoed).  It is never an argument: arguments are seen by every user of the
// machine.  The user is logged on as the login screen does it, so the rows
// written carry the user's ID and each write checks the user's rights.
#include "core/Cli.h"

#include <QString>
#include <QStringList>

namespace velmor {

class AppContext;

// Takes "--user NAME" (or "--user=NAME") out of args; the name is empty when
// neither the option nor VELMOR_USER gives one.  False, with the reason on
// io.err, when --user has no value.
bool takeUserOption(QStringList &args, QString *userName, CliIo &io);

// Logs the user on.  False, with the reason on io.err, when no user is named,
// no password can be had or the login is refused.
bool loginForCommand(AppContext &ctx, const QString &userName, CliIo &io);

// Logs the user on (loginForCommand) and checks that the user holds `right`,
// the right the screens ask for the same change.  0 when both hold; else the
// exit code, with the reason on io.err: 2 when nobody could be logged on, 1
// for a user without the right.
int loginWithRight(AppContext &ctx, const QString &userName, const QString &right, CliIo &io);

// The password typed at the terminal (not echoed); empty without a terminal.
QString readPasswordFromTerminal(const QString &promptText, bool *haveTerminal);

} // namespace velmor
