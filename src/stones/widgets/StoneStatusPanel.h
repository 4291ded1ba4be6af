#pragma once
// The stone screen's "Status" box: the stone's state pictures (in stock,
// memo open, out on memo, the safe to drop it on, its memo), the customer,
// the sale and return commands, the memo sheet and putting the stone on
// memo, the hold, the consignment-in supplier and the supplier, binding into
// an item, and the hidden identifier fields behind the choices.  It makes the
// controls with their control names; the stone screen fills and reads them
// and wires their commands (the pictures' mouse and drop events too).
//
// Controls by objectName: imgDiaStock, imgDiaMemo1, imgDiaMemo2, imgSafe,
// imgMemo, cboCustomer, cmdFindCustomer, txtCustomer, cmdSold, cmdReturn,
// cmdReturnVendor, cmdNewPayment, lblMEMOid, lblMemoIDIS, cmdNewMemo,
// cmdLoadMemo, cmdConsignedTo, cboConsignedTo, cboOnHoldFor, dtOnHoldDate,
// cmdEditHold, txtOnHoldNote, cboConsignmentInCustomer, cmdNewPaymentMade,
// cboSupplier, txtMergeItemID, cmdMergeWithItem, cmdViewBoundItem; hidden:
// txtStatusCustomerID, txtConsignedTo, txtOnHoldForCustomerID,
// txtConsignmentInCustomer, txtSupplier.
#include <QGroupBox>
#include <QList>

class QLineEdit;

namespace velmor::ui {

class StoneStatusPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit StoneStatusPanel(QWidget *parent);
    // The controls typed into while a stone is added or edited.
    const QList<QWidget *> &entryFields() const { return m_entryFields; }
    // The hidden identifier fields (status customer, memo customer, hold,
    // consignment in, supplier); the screen shows the choices from them.
    const QList<QLineEdit *> &identifierFields() const { return m_identifiers; }

private:
    QList<QWidget *> m_entryFields;
    QList<QLineEdit *> m_identifiers;
};

} // namespace velmor::ui
