#pragma once
// Putting carats of a parcel on a customer's parcel memo: the customer (the
// last one used is preselected), the carats and the price per carat in US
// dollars, Canadian dollars or rand.  The command is enabled while a
// customer is chosen and the carats are not 0; afterwards the memo opens.
#include "parcels/PriceCoupling.h"
#include "parcels/frmMemoParcelSheet.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmParcelPutOnMemo : public QDialog {
    Q_OBJECT
public:
    frmParcelPutOnMemo(AppContext &ctx, qint64 parcelId, QWidget *parent = nullptr);
    void setPrice(const QString &us);
    bool putOnMemo(); // cmdPutOnMemo
    // The memo sheet opened after the carats went out.
    frmMemoParcelSheet *sheet() const { return m_sheet; }

    QLineEdit *txtOnHand, *txtAverageCost, *txtLastCost;
    QComboBox *cboCustomer;
    QLineEdit *txtCarat, *txtUScarat, *txtCDNcarat, *txtZARcarat;
    QPushButton *cmdPutOnMemo, *cmdCancel;

signals:
    void memoChanged();

private:
    void couple(bool changed);
    void updateCommands();

    AppContext &m_ctx;
    qint64 m_parcelId;
    parcels::PriceCoupling m_price;
    QPointer<frmMemoParcelSheet> m_sheet;
};

} // namespace velmor::ui
