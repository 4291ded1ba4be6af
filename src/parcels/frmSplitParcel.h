#pragma once
// Splitting a parcel: the source as it is, as it will be (the fields ending
// in Old) and the new parcel (ending in New).  Typing the new carats or the
// new part's US value fills the remaining source's carats, value and cost
// per carat, and the new part's cost per carat; one guard flag keeps a
// handler's writes from running their partners' handlers.
#include "parcels/ParcelRecord.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmSplitParcel : public QWidget {
    Q_OBJECT
public:
    frmSplitParcel(AppContext &ctx, const parcels::Parcel &source, QWidget *parent = nullptr);
    bool update();   // cmdUpdate
    void autoSku();  // imgAuto

    QLineEdit *txtID, *txtSKU, *txtShape, *txtCarat, *txtCostUS, *txtUSParcelValue;
    QLineEdit *txtCaratOld, *txtCostUSOld, *txtUSParcelValueOld;
    QLineEdit *txtSKUNew, *txtCaratNew, *txtCostUSNew, *txtUSParcelValueNew, *txtPriceUSNew;
    QPushButton *imgAuto, *cmdUpdate, *cmdCancel;

signals:
    void split(qint64 newParcelId);

private:
    void caratNewChanged();
    void valueNewChanged();

    AppContext &m_ctx;
    parcels::Parcel m_source;
    parcels::Decimal5 m_cost;
    parcels::Decimal5 m_costedCarats; // the journal's carats behind the average cost
    bool m_guard = false;
};

} // namespace velmor::ui
