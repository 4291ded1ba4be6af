#pragma once
// The stone screen in its parcel mode: one older parcel (`ParcelStock`) with
// its grade ranges, cost and price and the receipts below.  Its description,
// ranges, cost and price are edited and saved here (right AllowEdit, checked
// at Edit and at Save; editing ends when the right goes); stock is received
// through the parcel subsystem's receipt screen and split through its split
// screen (ctx.screens()), after which the parcel is shown again.  Costs show only to users who may see
// costs (ViewCost), as on the stone screen.
#include "stones/OlderParcelView.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmDiamondDetailParcel : public QWidget {
    Q_OBJECT
public:
    explicit frmDiamondDetailParcel(AppContext &ctx, QWidget *parent = nullptr);

    void PopulateParcelCBOs();
    // Shows the parcel; false (and an empty pane) when it does not exist.
    bool RefreshfrmDiamondDetailParcel(qint64 id);
    qint64 parcelId() const { return m_id; }
    void addParcel();   // cmdAddParcel: receive stock
    void splitParcel(); // cmdSplitParcel
    void editParcel();  // cmdEditParcel
    bool updateParcel(); // cmdUpdateParcel
    void cancelParcel(); // cmdCancelParcel
    bool editing() const { return m_editing; }

    QLineEdit *txtParcelID, *txtParcelSKU, *txtParcelLot, *txtParcelCarat, *txtParcelQuantity, *txtParcelCaratLow,
        *txtParcelCaratHigh, *txtParcelDim1, *txtParcelDim2, *txtParcelComment, *txtParcelCostUS,
        *txtParcelCostLocal, *txtParcelPriceUS, *txtParcelPriceLocal;
    QComboBox *cboParcelShape, *cboParcelColourLow, *cboParcelColourHigh, *cboParcelClarityLow,
        *cboParcelClarityHigh;
    QCheckBox *chkParcelSellUS;
    QTableWidget *grdAddParcel;
    QPushButton *cmdAddParcel, *cmdSplitParcel, *cmdEditParcel, *cmdUpdateParcel, *cmdCancelParcel;

private:
    void applyRights();
    void clear();
    void updateCommands();
    void lock(bool locked);
    stones::OlderParcelView fromControls() const;
    static void showEntry(QComboBox *c, const QString &entry);

    AppContext &m_ctx;
    qint64 m_id = 0;
    bool m_editing = false;
    stones::OlderParcelView m_loaded;
};

} // namespace velmor::ui
