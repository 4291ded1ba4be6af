#include "stones/frmDiamondSearchPrinting.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
const QString kChoiceFile = QStringLiteral("lastprinterforsearch.ini");
}

frmDiamondSearchPrinting::frmDiamondSearchPrinting(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmDiamondSearchPrinting"));
    setWindowTitle(QStringLiteral("Print Search Result"));
    chkPrintSimple = named(new QCheckBox(QStringLiteral("Simple list"), this), "chkPrintSimple");
    chkPrintStatus = named(new QCheckBox(QStringLiteral("Status"), this), "chkPrintStatus");
    chkPRINTrap = named(new QCheckBox(QStringLiteral("RAP prices"), this), "chkPRINTrap");
    chkPrintCost = named(new QCheckBox(QStringLiteral("Cost"), this), "chkPrintCost");
    chkPrintPrice = named(new QCheckBox(QStringLiteral("Selling prices"), this), "chkPrintPrice");
    cboPrinter = named(new QComboBox(this), "cboPrinter");
    txtPdfFile = named(new QLineEdit(this), "txtPdfFile");
    cmdContinue = named(new QPushButton(QStringLiteral("&Continue"), this), "cmdContinue");
    cmdPreview = named(new QPushButton(QStringLiteral("Pre&view"), this), "cmdPreview");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    auto *cmdBrowse = named(new QPushButton(QStringLiteral("..."), this), "cmdBrowse");

    auto *root = new QVBoxLayout(this);
    for (QCheckBox *c : {chkPrintSimple, chkPrintStatus, chkPRINTrap, chkPrintCost, chkPrintPrice})
        root->addWidget(c);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Printer"), cboPrinter);
    auto *pdf = new QHBoxLayout;
    pdf->addWidget(txtPdfFile, 1);
    pdf->addWidget(cmdBrowse);
    form->addRow(QStringLiteral("PDF file"), pdf);
    root->addLayout(form);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdContinue);
    buttons->addWidget(cmdCancel);
    root->addLayout(buttons);
    cmdContinue->setDefault(true);

    const stones::PrintPreferences p = stones::readPrintPreferences(ctx.workstation);
    chkPrintStatus->setChecked(p.status);
    chkPRINTrap->setChecked(p.rap);
    chkPrintCost->setChecked(p.cost && ctx.user.ViewCost);
    chkPrintPrice->setChecked(p.pricing);
    const QStringList choices = printing::printerChoices(true);
    cboPrinter->addItems(choices);
    cboPrinter->setCurrentIndex(
        printing::choiceIndex(choices, printing::readPrinterChoice(ctx.workstation, kChoiceFile)));

    auto sync = [this] {
        const bool full = !chkPrintSimple->isChecked();
        chkPrintStatus->setEnabled(full);
        chkPRINTrap->setEnabled(full);
        // Costs only for those who may see them.
        chkPrintCost->setEnabled(full && m_ctx.user.ViewCost);
        chkPrintPrice->setEnabled(full);
        const bool toPdf = cboPrinter->currentText() == printing::kPdfEntry;
        txtPdfFile->setEnabled(toPdf);
    };
    connect(chkPrintSimple, &QCheckBox::toggled, this, [this, sync](bool on) {
        if (on)
            for (QCheckBox *c : {chkPrintStatus, chkPRINTrap, chkPrintCost, chkPrintPrice})
                c->setChecked(false);
        sync();
    });
    connect(cboPrinter, &QComboBox::currentIndexChanged, this, sync);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("PDF file"), QStringLiteral("search.pdf"),
                                                       QStringLiteral("*.pdf"));
        if (!f.isEmpty()) {
            txtPdfFile->setText(f);
            cboPrinter->setCurrentText(printing::kPdfEntry);
        }
    });
    connect(cmdContinue, &QPushButton::clicked, this, &frmDiamondSearchPrinting::continuePrinting);
    connect(cmdPreview, &QPushButton::clicked, this, [this] {
        m_preview = true;
        continuePrinting();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    sync();
}

bool frmDiamondSearchPrinting::simple() const { return chkPrintSimple->isChecked(); }

stones::PrintPreferences frmDiamondSearchPrinting::preferences() const
{
    return {chkPrintStatus->isChecked(), chkPRINTrap->isChecked(), chkPrintCost->isChecked() && m_ctx.user.ViewCost,
            chkPrintPrice->isChecked()};
}

printing::PrintTarget frmDiamondSearchPrinting::target() const
{
    return printing::PrintTarget::fromEntry(cboPrinter->currentText(), txtPdfFile->text().trimmed());
}

void frmDiamondSearchPrinting::continuePrinting()
{
    if (!m_preview && target().kind == printing::PrintTarget::PdfFile && target().name.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("Choose the PDF file first."), QStringLiteral("Print"), Icon::Exclamation);
        return;
    }
    // The four options as the user left them; the simple list keeps them.
    if (!simple())
        stones::writePrintPreferences(m_ctx.workstation, preferences());
    printing::writePrinterChoice(m_ctx.workstation, kChoiceFile, cboPrinter->currentText());
    accept();
}

} // namespace velmor::ui
