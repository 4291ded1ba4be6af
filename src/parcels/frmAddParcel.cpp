#include "parcels/frmAddParcel.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Sql.h"
#include "parcels/OlderParcel.h"
#include "stones/OlderParcelView.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

frmAddParcel::frmAddParcel(AppContext &ctx, qint64 parcelId, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_parcelId(parcelId)
{
    setObjectName(QStringLiteral("frmAddParcel"));
    setWindowTitle(QStringLiteral("Add to Parcel"));
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    cboSupplier = named(new QComboBox(this), "cboSupplier");
    cboSupplier->addItem(QString());
    try {
        cboSupplier->addItems(parcels::supplierEntries(ctx.db()));
    } catch (const db::DbError &) {
    }
    txtInvoice = named(new QLineEdit(this), "txtInvoice");
    txtInvoice->setMaxLength(50);
    txtPricePerCarat = named(new QLineEdit(this), "txtPricePerCarat");
    numberBox(txtPricePerCarat);
    txtCarats = named(new QLineEdit(this), "txtCarats");
    numberBox(txtCarats);
    txtQuantity = named(new QLineEdit(this), "txtQuantity");
    form->addRow(QStringLiteral("Supplier"), cboSupplier);
    form->addRow(QStringLiteral("Invoice"), txtInvoice);
    form->addRow(QStringLiteral("Price US$/ct"), txtPricePerCarat);
    form->addRow(QStringLiteral("Carats"), txtCarats);
    form->addRow(QStringLiteral("# of Stones"), txtQuantity);
    root->addLayout(form);
    auto *cmds = new QHBoxLayout;
    cmdContinue = named(new QPushButton(QStringLiteral("&Continue"), this), "cmdContinue");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmdContinue->setDefault(true);
    cmds->addWidget(cmdContinue);
    cmds->addWidget(cmdCancel);
    root->addLayout(cmds);
    grdReceipts = named(new QTableWidget(this), "grdReceipts");
    grdReceipts->setColumnCount(6);
    grdReceipts->setHorizontalHeaderLabels({QStringLiteral("Supplier"), QStringLiteral("Date"),
                                            QStringLiteral("Invoice"), QStringLiteral("Carat"), QStringLiteral("#"),
                                            QStringLiteral("$/ct")});
    grdReceipts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdReceipts->verticalHeader()->hide();
    root->addWidget(grdReceipts);
    connect(cmdContinue, &QPushButton::clicked, this, &frmAddParcel::proceed);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    refreshReceipts();
    // What the receipts cost is seen with the right to see costs only; a
    // receipt needs the right to change parcels.
    followRights(ctx, this, [this] {
        grdReceipts->setColumnHidden(5, !m_ctx.user.ViewCost);
        cmdContinue->setEnabled(mayUse(m_ctx, rights::ParcelChange));
    });
}

void frmAddParcel::refreshReceipts()
{
    QList<stones::OlderReceiptLine> lines;
    try {
        lines = stones::olderReceipts(m_ctx.db(), m_parcelId);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The receipts of the parcel could not be read"), QStringLiteral("Parcel"), e);
    }
    grdReceipts->setRowCount(int(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        const auto &l = lines[r];
        const QStringList cells{l.supplier, l.date, l.invoice, l.carat, l.quantity, l.pricePerCarat};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c >= 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdReceipts->setItem(r, c, item);
        }
    }
}

bool frmAddParcel::proceed()
{
    // The entries end in "--- ID"; an empty choice is no supplier.
    const qint64 supplier =
        cboSupplier->currentIndex() > 0 ? cboSupplier->currentText().section(QStringLiteral("--- "), -1).toLongLong() : 0;
    const parcels::Outcome o = parcels::receiveOlderParcel(
        m_ctx, {m_parcelId, supplier, txtInvoice->text(), txtPricePerCarat->text(), txtCarats->text(),
                txtQuantity->text()});
    if (o.result != parcels::Result::Done)
        return false;
    emit received(m_parcelId);
    accept();
    return true;
}

} // namespace velmor::ui
