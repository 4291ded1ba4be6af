#pragma once
// `velmor print paper` and `velmor print label`: a stone's paper to a PDF
// file or a printer, a stone's label to the label printer.
#include "core/Cli.h"
#include "printing/DiamondPaper.h"
#include "printing/LabelPrinter.h"

#include <functional>

namespace velmor {

class AppContext;

// What the print commands learn of a stone (the stone subsystem answers;
// the shell hands its functions in).  Each returns false when there is no
// stone with that ID.
struct StoneDocuments {
    std::function<bool(AppContext &, qint64, printing::DiamondPaper &)> paper;
    std::function<bool(AppContext &, qint64, printing::LabelTexts &)> label;
};

CliRegistry printingCommands(const StoneDocuments &stones);

} // namespace velmor
