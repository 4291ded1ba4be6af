#pragma once
// Where a document goes (the default printer, an installed printer chosen by
// its exact device name, or a PDF file), the printer lists of the printing
// screens with the files that remember each screen's choice, and the print
// of one document.
#include "printing/PrintSurface.h"

#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;

namespace velmor {
class Workstation;
}

namespace velmor::printing {

// The first entry of every printer list, and the entry of our own after the
// printers that writes the document into a PDF file.
inline const QString kDefaultPrinterEntry = QStringLiteral("use Default Printer");
inline const QString kPdfEntry = QStringLiteral("PDF file...");

struct PrintTarget {
    enum Kind { DefaultPrinter, Printer, PdfFile } kind = DefaultPrinter;
    QString name; // device name (Printer) or file path (PdfFile)

    static PrintTarget defaultPrinter() { return {}; }
    static PrintTarget printer(const QString &deviceName) { return {Printer, deviceName}; }
    static PrintTarget pdf(const QString &path) { return {PdfFile, path}; }
    // The target of a list entry: "use Default Printer", "PDF file..." (with
    // the file) or a device name.
    static PrintTarget fromEntry(const QString &entry, const QString &pdfPath = {});
};

// The `--pdf FILE | --printer NAME` pair of the printing subcommands.
struct TargetArgs {
    QString pdf, printer;
    bool pdfGiven = false, printerGiven = false;

    // Takes args[i] and its value when it is --pdf or --printer (i moves on
    // to the value); false for any other argument.
    bool take(const QStringList &args, int &i);
    // Exactly one of the two was given, with a value.
    bool complete() const;
    PrintTarget target() const { return pdfGiven ? PrintTarget::pdf(pdf) : PrintTarget::printer(printer); }
};

// The device names of the installed printers.
QStringList installedPrinters();
// A printing screen's list: "use Default Printer", every installed printer,
// then "PDF file..." when asked for.
QStringList printerChoices(bool withPdf = true);
// The entry the list should preselect for a remembered one: the entry equal
// to it exactly, else the first.
int choiceIndex(const QStringList &choices, const QString &remembered);

// The per-screen files (lastprinterforlabel.ini, ...): one line, the entry.
QString readPrinterChoice(const Workstation &ws, const QString &file);
bool writePrinterChoice(const Workstation &ws, const QString &file, const QString &entry);
// A "true"/"false" file (lastprinterforlabelturn.ini); false when missing.
bool readFlagFile(const Workstation &ws, const QString &file);
bool writeFlagFile(const Workstation &ws, const QString &file, bool on);

// Sets up a printer for the target (high resolution).  False, with the
// reason, when the named printer is not installed (matching is exact) or
// there is no default printer; a PDF target is set up as given.
bool preparePrinter(QPrinter &printer, const PrintTarget &target, QString *error);

struct PrintOutcome {
    bool ok = false;
    QString error; // why nothing was printed (for the user)
    QString where; // the device name or file the document went to
    int pages = 0;
};

// Draws one document.  The drawing may refuse (returns false and sets the
// reason); the document is then thrown away.
using DrawDocument = std::function<bool(PrintSurface &, QString *error)>;

// Prints a document to the target.  A PDF is written beside the chosen file
// first and takes its name only when complete, so a failure leaves no
// half-written file.
PrintOutcome printDocument(const PrintTarget &target, const DrawDocument &draw,
                           const QString &documentName = QStringLiteral("Velmor"));

// The file in `dir` that keeps the layout of the PDF `pdf` was drawn with
// (written only when VELMOR_LAYOUT_RECORD names a folder).
QString layoutRecordFile(const QString &dir, const QString &pdf);

} // namespace velmor::printing
