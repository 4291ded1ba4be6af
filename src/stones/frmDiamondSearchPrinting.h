#pragma once
// The print options of the stone search: the simple list or the full report
// with its column groups (printpreferences.ini), and where it goes.
#include "printing/PrintJob.h"
#include "stones/SearchReport.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmDiamondSearchPrinting : public QDialog {
    Q_OBJECT
public:
    explicit frmDiamondSearchPrinting(AppContext &ctx, QWidget *parent = nullptr);

    bool simple() const;
    stones::PrintPreferences preferences() const;
    printing::PrintTarget target() const;
    bool previewWanted() const { return m_preview; }

    // cmdContinue: remembers the options and the printer, and closes.
    void continuePrinting();

    QCheckBox *chkPrintStatus, *chkPRINTrap, *chkPrintCost, *chkPrintPrice, *chkPrintSimple;
    QComboBox *cboPrinter;
    QLineEdit *txtPdfFile;
    QPushButton *cmdContinue, *cmdPreview, *cmdCancel;

private:
    AppContext &m_ctx;
    bool m_preview = false;
};

} // namespace velmor::ui
