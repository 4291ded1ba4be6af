#pragma once
// One parcel memo: the customer, when it was created and closed, its lines
// (current: one per parcel with the carats still out; history: every
// movement), returning and selling the selected parcel's carats, and the
// print, which closes the memo once the document went out.
#include "parcels/Decimal5.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmMemoParcelRemove;
class frmMemoParcelSell;

class frmMemoParcelSheet : public QWidget {
    Q_OBJECT
public:
    frmMemoParcelSheet(AppContext &ctx, qint64 memoId, QWidget *parent = nullptr);
    qint64 memoId() const { return m_memoId; }
    void reload();
    // cmdRemove and cmdSell: the carat dialog (shown), or nullptr when
    // nothing is selected or nothing is out (the user is told).
    frmMemoParcelRemove *remove();
    frmMemoParcelSell *sell();
    // Command5: remembers the printer choice and prints to it (a PDF file
    // with "PDF file..."); true when the document went out and the memo
    // was closed.
    bool print();

    QLabel *lblCustomer, *lblCreated, *lblStatus;
    QRadioButton *Option1, *Option2;
    QTableWidget *grdMemo;
    QPushButton *cmdRemove, *cmdSell, *Command5;
    QCheckBox *chkCDN, *chkZAR;
    QComboBox *cboPrinter;
    QLineEdit *txtPdfFile;

signals:
    void memoChanged();

private:
    void selectionChanged();
    bool selected(qint64 &parcelId, QString &sku) const;
    // The chosen line with carats still out; says so when none are.
    bool selectedWithCaratsOut(qint64 &parcel, QString &sku, parcels::Decimal5 &out);

    AppContext &m_ctx;
    qint64 m_memoId;
};

} // namespace velmor::ui
