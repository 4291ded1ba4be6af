#include "stones/widgets/StoneStatusPanel.h"

#include "stones/widgets/StonePanelControls.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace velmor::ui {

// Untitled and unframed: the box is the page of the tab "Status".
StoneStatusPanel::StoneStatusPanel(QWidget *parent) : QGroupBox(parent)
{
    setFlat(true);
    const StonePanelControls make(this, m_entryFields);
    auto *fs = new QGridLayout(this);
    fs->setVerticalSpacing(2);
    fs->setContentsMargins(4, 4, 4, 2);
    int r = 0;
    fs->addWidget(make.picture("imgDiaStock", QStringLiteral("\u25C6"), QStringLiteral("In stock")), r, 0);
    fs->addWidget(make.picture("imgDiaMemo1", QStringLiteral("\u25C7"), QStringLiteral("A memo sheet is open")), r, 1);
    auto *memoPic =
        make.picture("imgDiaMemo2", QStringLiteral("\u25C8"), QStringLiteral("Out on memo: drag onto the safe to return"));
    fs->addWidget(memoPic, r, 2);
    auto *safe =
        make.picture("imgSafe", QStringLiteral("SAFE"), QStringLiteral("Drop the stone here to take it back into stock"));
    safe->setAcceptDrops(true);
    fs->addWidget(safe, r, 3);
    auto *imgMemo = make.picture("imgMemo", QStringLiteral("MEMO"), QStringLiteral("Double-click: memo of this stone"));
    fs->addWidget(imgMemo, r++, 4);
    // The choices of a customer run across the box, so that a company's
    // name shows whole; what they act on sits on the line below.
    fs->addWidget(make.label(nullptr, QStringLiteral("Customer")), r, 0);
    fs->addWidget(make.combo("cboCustomer", false, false), r++, 1, 1, 4);
    // Picks the customer on the customer search (its address comes back
    // through the screens' party pick).
    auto *pick = new QHBoxLayout;
    make.button(pick, "cmdFindCustomer", QStringLiteral("Find customer..."));
    auto *txtCustomer = make.lineEdit("txtCustomer", false);
    txtCustomer->setReadOnly(true);
    pick->addWidget(txtCustomer, 1);
    fs->addLayout(pick, r++, 1, 1, 4);
    auto *sellRow = new QHBoxLayout;
    make.button(sellRow, "cmdSold", QStringLiteral("SOLD"));
    make.button(sellRow, "cmdReturn", QStringLiteral("Return into stock"));
    fs->addLayout(sellRow, r++, 0, 1, 5);
    auto *vendorRow = new QHBoxLayout;
    make.button(vendorRow, "cmdReturnVendor", QStringLiteral("stone ---> RETURN TO VENDOR"));
    make.button(vendorRow, "cmdNewPayment", QStringLiteral("Payment recd..."));
    fs->addLayout(vendorRow, r++, 0, 1, 5);
    auto *memoRow = new QHBoxLayout;
    memoRow->addWidget(make.label("lblMEMOid", QString()));
    memoRow->addWidget(make.label("lblMemoIDIS", QString()));
    make.button(memoRow, "cmdNewMemo", QStringLiteral("New memo"));
    make.button(memoRow, "cmdLoadMemo", QStringLiteral("Open memo..."));
    fs->addLayout(memoRow, r++, 0, 1, 5);
    auto *putRow = new QHBoxLayout;
    make.button(putRow, "cmdConsignedTo", QStringLiteral("Put on memo"));
    putRow->addWidget(make.combo("cboConsignedTo", false, false), 1);
    fs->addLayout(putRow, r++, 0, 1, 5);
    fs->addWidget(make.label(nullptr, QStringLiteral("On hold for")), r, 0);
    fs->addWidget(make.combo("cboOnHoldFor", false, false), r++, 1, 1, 4);
    auto *holdDate = new QDateEdit(this);
    holdDate->setObjectName(QStringLiteral("dtOnHoldDate"));
    holdDate->setCalendarPopup(true);
    holdDate->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    holdDate->setEnabled(false);
    auto *holdRow = new QHBoxLayout;
    holdRow->addWidget(holdDate);
    auto *holdNote = make.lineEdit("txtOnHoldNote", false);
    holdNote->setReadOnly(true);
    holdNote->setMaxLength(100);
    holdRow->addWidget(holdNote, 1);
    auto *editHold = new QPushButton(QStringLiteral("..."), this);
    editHold->setObjectName(QStringLiteral("cmdEditHold"));
    holdRow->addWidget(editHold);
    fs->addLayout(holdRow, r++, 1, 1, 4);
    fs->addWidget(make.label(nullptr, QStringLiteral("Consignment in")), r, 0);
    fs->addWidget(make.combo("cboConsignmentInCustomer", false), r, 1, 1, 3);
    auto *paymentMade = new QPushButton(QStringLiteral("Payment made..."), this);
    paymentMade->setObjectName(QStringLiteral("cmdNewPaymentMade"));
    fs->addWidget(paymentMade, r++, 4);
    fs->addWidget(make.label(nullptr, QStringLiteral("Supplier")), r, 0);
    fs->addWidget(make.combo("cboSupplier", false, false), r++, 1, 1, 3);
    fs->addWidget(make.label(nullptr, QStringLiteral("Bind into item")), r, 0);
    fs->addWidget(make.lineEdit("txtMergeItemID", false), r, 1);
    auto *bind = new QHBoxLayout;
    make.button(bind, "cmdMergeWithItem", QStringLiteral("Bind"));
    make.button(bind, "cmdViewBoundItem", QStringLiteral("View item"));
    fs->addLayout(bind, r++, 2, 1, 3);
    // The hidden identifier fields behind the choices.
    for (const char *name : {"txtStatusCustomerID", "txtConsignedTo", "txtOnHoldForCustomerID",
                             "txtConsignmentInCustomer", "txtSupplier"}) {
        auto *h = make.lineEdit(name, false);
        h->setVisible(false);
        m_identifiers << h;
    }
}

} // namespace velmor::ui
