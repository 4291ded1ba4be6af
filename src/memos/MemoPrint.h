#pragma once
// Printing a memo sheet (the consignment note the customer signs) on the
// print surface, and the word wrap its disclaimer is printed with.
#include "memos/MemoFiles.h"
#include "printing/PrintJob.h"

#include <QString>
#include <functional>

namespace velmor {
class AppContext;
}

namespace velmor::memos {

// Greedy word wrap: the text in lines no wider than `width` as `measure`
// says, cut after a blank, ",", "." or ";" or at CR LF.  Each line goes to
// `emitLine` (when given); `lines` grows by the number of lines.  A CR LF
// alone makes an empty line; a word wider than the line is printed on a
// line of its own, past the edge, rather than looping or failing.
void PrintTextMitUmbruch(const QString &text, double width, int &lines,
                         const std::function<double(const QString &)> &measure,
                         const std::function<void(const QString &)> &emitLine = {});
// The same on the surface, at x in its current font; print false only counts.
void PrintTextMitUmbruch(printing::PrintSurface &s, const QString &text, double x, double width, bool print,
                         int &lines);

// Round up to tens: the whole part of (p + 10) / 10, times 10.
double roundUpToTens(double p);

struct MemoPrintRequest {
    qint64 memoSheetId = 0;
    bool cdn = false; // chkCDN
    bool zar = false; // chkZAR
    MemoPrintOptions options;
};

// Draws the sheet; false (with the reason) when it has no stones.
bool PrintMemoSheet(AppContext &ctx, printing::PrintSurface &s, const MemoPrintRequest &r, QString *error);

// Prints the sheet to the target and tells the user: "There are no Diamonds
// on this Memo Sheet!" (title "Memo Printing") for an empty sheet, "The Memo
// Sheet has been sent to the Printer!" when done.
printing::PrintOutcome printMemoSheet(AppContext &ctx, const MemoPrintRequest &r, const printing::PrintTarget &target);

} // namespace velmor::memos
