#pragma once
// Receiving stock into a parcel: the supplier, the carats, and the cost per
// carat typed in US dollars, Canadian dollars or rand (each fills the other
// two).  cmdFill is enabled once a supplier is chosen.
#include "parcels/PriceCoupling.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmParcelAdd : public QDialog {
    Q_OBJECT
public:
    frmParcelAdd(AppContext &ctx, qint64 parcelId, QWidget *parent = nullptr);
    bool fill(); // cmdFill

    QComboBox *cboSupplier;
    QLineEdit *txtCarat, *txtUS, *txtCDN, *txtZAR;
    QPushButton *cmdFill, *cmdCancel;
    QLabel *lblWhy; // why Receive is grey

signals:
    void received();

private:
    void couple(bool changed);
    void updateCommands();

    AppContext &m_ctx;
    qint64 m_parcelId;
    parcels::PriceCoupling m_price;
};

} // namespace velmor::ui
