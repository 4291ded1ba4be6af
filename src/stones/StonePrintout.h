#pragma once
// What a stone's printed label and paper say, from the stored stone, and the
// label command of the stone screen (cmdPrintLabel).
#include "printing/DiamondPaper.h"
#include "printing/LabelPrinter.h"

namespace velmor {
class AppContext;
}
namespace velmor::printing {
class PrintSurface;
}

namespace velmor::stones {

// The texts of the stone's paper; false when there is no stone with that ID.
// The comment is left out unless the "print comment" label option is on.
bool stonePaper(AppContext &ctx, qint64 id, printing::DiamondPaper &paper);
// The texts of the stone's label; false when there is no such stone.
bool stoneLabel(AppContext &ctx, qint64 id, printing::LabelTexts &texts);

// Draws the paper in the layout the label option chooses (the compact one
// with chklabelquill.txt "true").
bool drawStonePaper(bool quill, printing::PrintSurface &s, const printing::DiamondPaper &paper, bool flip,
                    QString *error);

// cmdPrintLabel: the stone's label to the label printer of labelprinter.ini,
// with the present distance and the two offsets as columns; "Label was
// printed" afterwards.  False when nothing was printed.
bool printStoneLabel(AppContext &ctx, qint64 id);

} // namespace velmor::stones
