#pragma once
// The two printer set-up screens without their widgets: the label printer
// (labelprinter.ini and DefaultMarkup of Config) and the page printer of
// each kind of document (printers.ini).  A save writes what was changed;
// saved untouched, the files and the row stay exactly as they were.
#include <QString>
#include <QStringList>
#include <array>

namespace velmor {
class AppContext;
}

namespace velmor::printing {

// The fields of frmConfigLabelPrinter as texts.
struct LabelPrinterSetup {
    QString port, leftOffset, rightOffset, scannerPort, defaultMarkup;
    bool operator==(const LabelPrinterSetup &) const = default;
};

// The fields as the current settings fill them.
LabelPrinterSetup currentLabelPrinterSetup(const AppContext &ctx);

// A port field as saved: its number ("12abc" is 12, "" is 0), or a device
// path as typed ("/dev/ttyUSB0", "COM3").
QString portValue(const QString &field);

enum class SetupSave { Saved, Unchanged, Refused, Failed };

// cmdSave (administrators only): the four lines of labelprinter.ini when one
// of them changed (numbers as their numeric value, devices as typed) and
// DefaultMarkup when it changed, then the settings are loaded again.  On
// Failed `error` says what could not be written.
SetupSave saveLabelPrinterSetup(AppContext &ctx, const LabelPrinterSetup &loaded, const LabelPrinterSetup &edited,
                                QString *error = nullptr);

// frmConfigPrinter: the five kinds of document in the order of printers.ini.
constexpr int kDocumentPrinters = 5;
using DocumentPrinters = std::array<QString, kDocumentPrinters>;
inline const QString kDefaultDocumentPrinter = QStringLiteral("default");

// "default" and every installed printer's device name.
QStringList documentPrinterChoices();
// The current choices ("default" where printers.ini names none).
DocumentPrinters currentDocumentPrinters(const AppContext &ctx);
// cmdOK (administrators only): writes the five names to printers.ini when
// one changed or the file is missing, then loads them again.
SetupSave saveDocumentPrinters(AppContext &ctx, const DocumentPrinters &loaded, const DocumentPrinters &edited,
                               QString *error = nullptr);

} // namespace velmor::printing
