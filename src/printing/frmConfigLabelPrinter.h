#pragma once
// The label-printer set-up: the label-printer port, the two label offsets,
// the scanner port (labelprinter.ini) and the default markup (Config).
// cmdSave saves what was changed, cmdSample prints a sample label on the
// port as typed, cmdClose closes.
#include "printing/PrinterSetup.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::printing {

class frmConfigLabelPrinter : public QDialog {
    Q_OBJECT
public:
    explicit frmConfigLabelPrinter(AppContext &ctx, QWidget *parent = nullptr);

    void save();
    void sample();
    LabelPrinterSetup fields() const;

    // After a save (the front screen opens its scanner port anew).
    std::function<void()> saved;

    QLineEdit *txtCOMPort, *txtLeftOffset, *txtRightOffset, *txtScannerCOMPort, *txtDefaultMarkup;
    QPushButton *cmdSave, *cmdSample, *cmdClose;

private:
    AppContext &m_ctx;
    LabelPrinterSetup m_loaded;
};

} // namespace velmor::printing
