#pragma once
// The page printer of each kind of document (printers.ini): invoices,
// production sheets, ship forms, statements and consignment forms.  Each
// list holds "default" and every installed printer; cmdOK saves and closes,
// cmdCancel closes.
#include "printing/PrinterSetup.h"

#include <QDialog>

class QComboBox;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::printing {

class frmConfigPrinter : public QDialog {
    Q_OBJECT
public:
    explicit frmConfigPrinter(AppContext &ctx, QWidget *parent = nullptr);

    void ok();
    DocumentPrinters choices() const;

    QComboBox *cboInvoicePrinter, *cboProductionSheetPrinter, *cboShipFormPrinter, *cboStatementPrinter,
        *cboConsignmentFormPrinter;
    QPushButton *cmdOK, *cmdCancel;

private:
    std::array<QComboBox *, kDocumentPrinters> combos() const;
    AppContext &m_ctx;
    DocumentPrinters m_loaded;
};

} // namespace velmor::printing
