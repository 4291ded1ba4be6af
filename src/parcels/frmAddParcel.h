#pragma once
// Receiving stock into an older parcel: supplier, invoice, price per carat,
// carats and stones; cmdContinue writes the receipt and re-costs the parcel.
// Below, the parcel's receipts so far.
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmAddParcel : public QDialog {
    Q_OBJECT
public:
    frmAddParcel(AppContext &ctx, qint64 parcelId, QWidget *parent = nullptr);
    bool proceed(); // cmdContinue
    void refreshReceipts();

    QComboBox *cboSupplier;
    QLineEdit *txtInvoice, *txtPricePerCarat, *txtCarats, *txtQuantity;
    QPushButton *cmdContinue, *cmdCancel;
    QTableWidget *grdReceipts;

signals:
    void received(qint64 parcelId);

private:
    AppContext &m_ctx;
    qint64 m_parcelId;
};

} // namespace velmor::ui
