#pragma once
// The parcel screen: finds parcels by weight, colour and clarity (a short
// timer after each change), shows one with its last cost, average cost and
// carats on memo, creates and edits parcels, and opens receiving, the
// journal, putting carats on memo, the parcel memo finder and the split.
#include "parcels/ParcelRecord.h"

#include <QMap>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmParcelAdd;
class frmParcelHistory;
class frmParcelPutOnMemo;
class frmMemoLoadParcel;
class frmSplitParcel;

class frmParcel : public QWidget {
    Q_OBJECT
public:
    explicit frmParcel(AppContext &ctx, QWidget *parent = nullptr);

    void loadParcel(qint64 id);
    void addParcel();  // cmdAddDiamond
    void editParcel(); // cmdEditDiamond
    bool update();     // cmdUpdate
    void cancel();     // cmdCancel
    void runSearch();  // tmrSearch
    void clearSearch(); // Command1
    // The screens it opens (shown, not modal); nullptr when not possible now.
    frmParcelAdd *receive();
    frmParcelHistory *history();
    frmParcelPutOnMemo *putOnMemo(); // Command3
    frmMemoLoadParcel *findMemo();   // Command4
    frmSplitParcel *split();

    qint64 currentId() const { return m_loaded ? m_loaded->id : 0; }
    bool busy() const { return m_adding || m_editing; }
    parcels::ParcelFields fieldsFromControls() const;
    void updateCommands();

    QLineEdit *txtCaratSearch;
    QComboBox *cboColorSearch, *cboClaritySearch;
    QPushButton *Command1;
    QTableWidget *grdParcels;
    QTimer *tmrSearch, *tmrButtons;

    QLineEdit *txtSKU, *txtCarat, *txtLowCarat, *txtHighCarat, *txtAvrgCarat, *txtQuantity, *txtSellPerCarat,
        *txtComment;
    QComboBox *cboShape, *cboColourLow, *cboColourHigh, *cboClarityLow, *cboClarityHigh;
    QLabel *lblDates;
    QLineEdit *txtLastUSCost, *txtLastVendor, *txtAVRUSCost, *txtCaratonMEMO;
    QPushButton *cmdAddDiamond, *cmdEditDiamond, *cmdUpdate, *cmdCancel, *cmdReceive, *cmdHistory, *Command3,
        *Command4, *cmdSplit;

private:
    void showParcel(const std::optional<parcels::Parcel> &p);
    void setGrade(QComboBox *c, int number);
    int gradeOf(QComboBox *c, int loaded) const;
    void lock(bool locked);
    void weightsChanged();
    void caratsChanged();

    AppContext &m_ctx;
    std::optional<parcels::Parcel> m_loaded;
    QMap<const QComboBox *, QString> m_shownGrade;
    bool m_adding = false;
    bool m_editing = false;
    bool m_filling = false;
};

} // namespace velmor::ui
