#pragma once
// A free line on an invoice: txtDetails, txtCarat, txtPricePerCarat and
// txtSalePrice.  Carat or price per carat gives the sale price, the sale
// price gives the price per carat; the box written flashes.  Command2 adds
// the line, Command1 cancels.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

class frmInvoiceADD : public QDialog {
    Q_OBJECT
public:
    frmInvoiceADD(AppContext &ctx, qint64 invoiceId, QWidget *parent = nullptr);
    // Command2; the new line's id, 0 when nothing was added.
    qint64 add();

    QLineEdit *txtDetails, *txtCarat, *txtPricePerCarat, *txtSalePrice;
    QPushButton *Command2, *Command1;

private:
    void flash(QLineEdit *box);
    void fromPrice();
    void fromSale();

    AppContext &m_ctx;
    qint64 m_invoiceId;
    // The price per carat a typed sale price gives, to five decimals, so
    // that the line's amount is the sale price typed.
    QString m_exactPrice;
};

} // namespace velmor::invoices
