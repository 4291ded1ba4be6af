#pragma once
// The older memo sheet screen: single stones and older parcels (`ParcelStock`)
// on one memo sheet.  Stones move through the memo movements of the memo
// sheets, parcels through the older parcel's memo lines; each movement is
// one transaction.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMemoSheet : public QWidget {
    Q_OBJECT
public:
    explicit frmMemoSheet(AppContext &ctx, QWidget *parent = nullptr);

    // txtMemoID: reads the sheet, its customer and its lines.
    bool loadSheet(qint64 memoSheetId);
    qint64 memoSheetId() const { return m_sheet; }

    QLineEdit *txtMemoID, *txtDateCreated, *txtReference, *txtCustomerID;
    QLineEdit *txtCompanyName, *txtStreet1, *txtCity, *txtPhone;
    QLabel *lblPriceClass, *lblPriceStone, *lblPriceCarat, *lblParcelOnHand;
    QComboBox *cboCustomer, *cboStone, *cboParcel;
    QPushButton *cmdThisCustomer, *cmdReference, *cmdAddStone, *cmdAddParcel, *cmdBackToStock, *cmdPrintConsignment,
        *cmdSearch;
    QRadioButton *optShowAsCurrent, *optShowAsHistory;
    QCheckBox *chkAllowMemoPriceOverWrite;
    QLineEdit *txtPriceUS, *txtPriceLocal; // the price dialog
    QLineEdit *txtParcelCarat;             // the carat dialog
    QTableWidget *grdLines;

private:
    void loadCustomer();
    void refreshLines();
    void fillStones(const QString &typed);
    void stoneChosen();
    void parcelChosen();
    void thisCustomer();
    void reference();
    void addStone();
    void addParcel();
    void backToStock();
    void updateCommands();

    AppContext &m_ctx;
    qint64 m_sheet = 0;
    qint64 m_customer = 0;
    QString m_proposedUS, m_proposedLocal;
    bool m_editingRef = false;
};

} // namespace velmor::ui
