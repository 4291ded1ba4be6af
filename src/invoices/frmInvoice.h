#pragma once
// The invoice screen: the header with the customer's address, the lines
// (stone, parcel and free lines), the totals, Command1 (a free line),
// Command2 (print, with chkPRINTrap and chkPrintRAPDiscount), the print
// currency pictures, and the line editor on choosing a row.  Image1 closes.
#include "invoices/Invoice.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

class CurrencyPictures;

class frmInvoice : public QWidget {
    Q_OBJECT
public:
    explicit frmInvoice(AppContext &ctx, QWidget *parent = nullptr);

    // Loads and shows the invoice; false (and an empty screen) when it is not there.
    bool showInvoice(qint64 id);
    void reload() { showInvoice(m_id); }
    qint64 invoiceId() const { return m_id; }
    const Invoice &invoice() const { return m_invoice; }

    // Command1, Command2 and choosing a row.
    void addLine();
    void print();
    void editLine(int row);
    // cmdSaleRate: asks the rate of each currency the lines were sold
    // without, and records it.  recordRate() is the recording of one typed
    // rate, its refusal shown; true when it was recorded.
    void askSaleRates();
    bool recordRate(Currency c, const QString &typed);

    QLabel *lblInvoiceID, *lblDate, *lblStatus, *lblCompanyName, *lblCompanyStreet1, *lblCompanyStreet2, *lblCityZIP,
        *lblPhone, *lblFax, *lblEMail;
    QTableWidget *grdInvoice;
    QLabel *lblSubTotal, *lblTax, *lblSummary, *imgAttention;
    QCheckBox *chkPRINTrap, *chkPrintRAPDiscount;
    QPushButton *Command1, *Command2, *cmdSaleRate, *Image1;
    QPushButton *cmdPayment; // the payment window of this invoice
    CurrencyPictures *currency;
    QTimer *Timer1;

private:
    void updateCommands();

    AppContext &m_ctx;
    qint64 m_id = 0;
    Invoice m_invoice;
};

} // namespace velmor::invoices
