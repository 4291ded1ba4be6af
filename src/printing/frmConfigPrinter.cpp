#include "printing/frmConfigPrinter.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/Named.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::printing {

frmConfigPrinter::frmConfigPrinter(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmConfigPrinter"));
    setWindowTitle(QStringLiteral("Printers"));
    ui::administratorOnly(ctx, this);
    cboInvoicePrinter = named(new QComboBox, "cboInvoicePrinter");
    cboProductionSheetPrinter = named(new QComboBox, "cboProductionSheetPrinter");
    cboShipFormPrinter = named(new QComboBox, "cboShipFormPrinter");
    cboStatementPrinter = named(new QComboBox, "cboStatementPrinter");
    cboConsignmentFormPrinter = named(new QComboBox, "cboConsignmentFormPrinter");
    cmdOK = named(new QPushButton(QStringLiteral("OK")), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
    cmdOK->setDefault(true);

    m_loaded = currentDocumentPrinters(ctx);
    const QStringList list = documentPrinterChoices();
    const auto cs = combos();
    for (int i = 0; i < kDocumentPrinters; ++i) {
        QComboBox *c = cs[i];
        c->addItems(list);
        // A printer that is no longer installed stays the choice until
        // another is picked.
        if (!list.contains(m_loaded[i]))
            c->addItem(m_loaded[i]);
        c->setCurrentIndex(c->findText(m_loaded[i], Qt::MatchExactly | Qt::MatchCaseSensitive));
    }

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Invoices"), cboInvoicePrinter);
    form->addRow(QStringLiteral("Production sheets"), cboProductionSheetPrinter);
    form->addRow(QStringLiteral("Ship forms"), cboShipFormPrinter);
    form->addRow(QStringLiteral("Statements"), cboStatementPrinter);
    form->addRow(QStringLiteral("Consignment forms"), cboConsignmentFormPrinter);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);
    setMinimumWidth(420);

    connect(cmdOK, &QPushButton::clicked, this, &frmConfigPrinter::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::array<QComboBox *, kDocumentPrinters> frmConfigPrinter::combos() const
{
    return {cboInvoicePrinter, cboProductionSheetPrinter, cboShipFormPrinter, cboStatementPrinter,
            cboConsignmentFormPrinter};
}

DocumentPrinters frmConfigPrinter::choices() const
{
    DocumentPrinters p;
    const auto cs = combos();
    for (int i = 0; i < kDocumentPrinters; ++i)
        p[i] = cs[i]->currentText();
    return p;
}

void frmConfigPrinter::ok()
{
    QString error;
    switch (saveDocumentPrinters(m_ctx, m_loaded, choices(), &error)) {
    case SetupSave::Refused:
        return;
    case SetupSave::Failed:
        m_ctx.prompt().inform(error, QStringLiteral("Printers"), Icon::Critical);
        return;
    case SetupSave::Saved:
    case SetupSave::Unchanged:
        break;
    }
    accept();
}

} // namespace velmor::printing
