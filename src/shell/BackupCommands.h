#pragma once
// `velmor db backup`, `velmor db restore`, `velmor db backups` and
// `velmor db verify`: the backups of the workstation's database.
#include "core/Backups.h"
#include "core/Cli.h"

namespace velmor {

CliRegistry backupCommands();

// What the shell gives every backup operation: the program's name and
// version, and the books check that a restore runs.
backups::Common backupCommon();
backups::BooksCheck restoreBooksCheck();

} // namespace velmor
