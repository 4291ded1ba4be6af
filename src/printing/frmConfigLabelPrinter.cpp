#include "printing/frmConfigLabelPrinter.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/Named.h"
#include "db/Row.h"
#include "printing/LabelPrinter.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::printing {

frmConfigLabelPrinter::frmConfigLabelPrinter(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmConfigLabelPrinter"));
    setWindowTitle(QStringLiteral("Label Printer"));
    ui::administratorOnly(ctx, this);
    txtCOMPort = named(new QLineEdit, "txtCOMPort");
    txtLeftOffset = named(new QLineEdit, "txtLeftOffset");
    txtRightOffset = named(new QLineEdit, "txtRightOffset");
    txtScannerCOMPort = named(new QLineEdit, "txtScannerCOMPort");
    txtDefaultMarkup = named(new QLineEdit, "txtDefaultMarkup");
    cmdSave = named(new QPushButton(QStringLiteral("&Save")), "cmdSave");
    cmdSample = named(new QPushButton(QStringLiteral("Print &sample")), "cmdSample");
    cmdClose = named(new QPushButton(QStringLiteral("&Close")), "cmdClose");
    cmdSave->setDefault(true);
    const QString portHint = QStringLiteral("a port number (0 for none) or a device such as /dev/ttyUSB0");
    txtCOMPort->setToolTip(portHint);
    txtScannerCOMPort->setToolTip(portHint);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Label printer port"), txtCOMPort);
    form->addRow(QStringLiteral("Left offset"), txtLeftOffset);
    form->addRow(QStringLiteral("Right offset"), txtRightOffset);
    form->addRow(QStringLiteral("Scanner port"), txtScannerCOMPort);
    form->addRow(QStringLiteral("Default markup"), txtDefaultMarkup);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdSample);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdClose);
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);
    setMinimumWidth(420);

    m_loaded = currentLabelPrinterSetup(ctx);
    txtCOMPort->setText(m_loaded.port);
    txtLeftOffset->setText(m_loaded.leftOffset);
    txtRightOffset->setText(m_loaded.rightOffset);
    txtScannerCOMPort->setText(m_loaded.scannerPort);
    txtDefaultMarkup->setText(m_loaded.defaultMarkup);

    connect(cmdSave, &QPushButton::clicked, this, &frmConfigLabelPrinter::save);
    connect(cmdSample, &QPushButton::clicked, this, &frmConfigLabelPrinter::sample);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

LabelPrinterSetup frmConfigLabelPrinter::fields() const
{
    return {txtCOMPort->text(), txtLeftOffset->text(), txtRightOffset->text(), txtScannerCOMPort->text(),
            txtDefaultMarkup->text()};
}

void frmConfigLabelPrinter::save()
{
    QString error;
    switch (saveLabelPrinterSetup(m_ctx, m_loaded, fields(), &error)) {
    case SetupSave::Refused:
        return;
    case SetupSave::Failed:
        m_ctx.prompt().inform(error, QStringLiteral("Label Printer"), Icon::Critical);
        return;
    case SetupSave::Saved:
        if (saved)
            saved();
        break;
    case SetupSave::Unchanged:
        break;
    }
    accept();
}

void frmConfigLabelPrinter::sample()
{
    const Settings &s = m_ctx.settings;
    const LabelPrinterSetup f = fields();
    for (const auto &[name, text] : {std::pair{QStringLiteral("Left offset"), f.leftOffset},
                                     std::pair{QStringLiteral("Right offset"), f.rightOffset}})
        if (!figures::isTyped(text)) {
            m_ctx.prompt().inform(figures::notANumberMessage(name, text), QStringLiteral("Label Printer"),
                                  Icon::Exclamation);
            return;
        }
    const LabelResult r = PrintDumbellModule(m_ctx.prompt(), portValue(f.port),
                                             figures::parseTyped(f.leftOffset).value_or(Decimal5()).toDouble(),
                                             figures::parseTyped(f.rightOffset).value_or(Decimal5()).toDouble(),
                                             sampleLabelTexts(s.CompanyName, s.CompanyPhone), true);
    if (r.printed)
        m_ctx.prompt().notice(QStringLiteral("Label was printed"));
}

} // namespace velmor::printing
