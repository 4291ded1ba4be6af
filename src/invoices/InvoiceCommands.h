#pragma once
// `velmor invoice show|print|list`: an invoice's lines and totals as the
// invoice screen shows them, its print to a PDF file or a printer (closing it
// as the print from the screens does), and the invoice list.
#include "core/Cli.h"

namespace velmor {

CliRegistry invoiceCommands();

} // namespace velmor
