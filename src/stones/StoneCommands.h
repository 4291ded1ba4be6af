#pragma once
// The stone subsystem's commands: `stones repair`, `stones changelog`.
#include "core/Cli.h"

namespace velmor {
namespace stones {
struct StoneSearchFilter;
}
CliRegistry stoneCommands();
// `stones search`, `stones history`, `print memo-out` (SearchCommands.cpp).
CliRegistry searchCommands();
// `stones files`, `stones attach`, `stones detach`, `stones export-files`
// (StoneFileCommands.cpp).
CliRegistry stoneFileCommands();
// Takes the search filter option at args[i] (with its value, i moves on to
// it) into f: true when it was one; false with `why` set when it was one but
// wrong, false with `why` empty when it is no filter option.
bool takeSearchFilter(const QStringList &args, int &i, stones::StoneSearchFilter &f, QString *why);
}
