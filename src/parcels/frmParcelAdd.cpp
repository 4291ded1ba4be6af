#include "parcels/frmParcelAdd.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "core/Figures.h"
#include "core/widgets/NumberBox.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "parcels/ParcelRecord.h"

#include <QComboBox>
#include <QLabel>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmParcelAdd::frmParcelAdd(AppContext &ctx, qint64 parcelId, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_parcelId(parcelId), m_price(ctx.exchangeRateCDN, ctx.exchangeRateZAR)
{
    setObjectName(QStringLiteral("frmParcelAdd"));
    setWindowTitle(QStringLiteral("Receive Stock"));
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    cboSupplier = named(new QComboBox(this), "cboSupplier");
    cboSupplier->addItem(QString());
    try {
        cboSupplier->addItems(parcels::supplierEntries(ctx.db()));
    } catch (const db::DbError &) {
    }
    txtCarat = named(new QLineEdit(this), "txtCarat");
    txtUS = named(new QLineEdit(this), "txtUS");
    txtCDN = named(new QLineEdit(this), "txtCDN");
    txtZAR = named(new QLineEdit(this), "txtZAR");
    for (QLineEdit *e : {txtCarat, txtUS, txtCDN, txtZAR})
        numberBox(e);
    form->addRow(QStringLiteral("Supplier"), cboSupplier);
    form->addRow(QStringLiteral("Carats received"), txtCarat);
    form->addRow(QStringLiteral("Cost US$/ct"), txtUS);
    form->addRow(QStringLiteral("Cost %1/ct").arg(ctx.settings.currencyName()), txtCDN);
    form->addRow(QStringLiteral("Cost ZAR/ct"), txtZAR);
    root->addLayout(form);
    // Why Receive is not available yet.
    lblWhy = named(new QLabel(this), "lblWhy");
    lblWhy->setWordWrap(true);
    root->addWidget(lblWhy);
    auto *cmds = new QHBoxLayout;
    cmdFill = named(new QPushButton(QStringLiteral("&Receive"), this), "cmdFill");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmdFill->setDefault(true);
    cmds->addWidget(cmdFill);
    cmds->addWidget(cmdCancel);
    root->addLayout(cmds);
    connect(cboSupplier, &QComboBox::currentIndexChanged, this, &frmParcelAdd::updateCommands);
    connect(txtUS, &QLineEdit::textChanged, this, [this](const QString &t) { couple(m_price.usChanged(t)); });
    connect(txtCDN, &QLineEdit::textChanged, this, [this](const QString &t) { couple(m_price.cdnChanged(t)); });
    connect(txtZAR, &QLineEdit::textChanged, this, [this](const QString &t) { couple(m_price.zarChanged(t)); });
    connect(cmdFill, &QPushButton::clicked, this, &frmParcelAdd::fill);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    followRights(ctx, this, [this] { updateCommands(); });
}

void frmParcelAdd::couple(bool changed)
{
    if (!changed)
        return;
    m_price.guard = true;
    txtUS->setText(m_price.us);
    txtCDN->setText(m_price.cdn);
    txtZAR->setText(m_price.zar);
    m_price.guard = false;
}

void frmParcelAdd::updateCommands()
{
    const bool chosen = cboSupplier->currentIndex() > 0;
    const bool allowed = mayUse(m_ctx, rights::ParcelChange);
    cmdFill->setEnabled(chosen && allowed);
    const QString why = !allowed ? QStringLiteral("Receiving stock needs a logged-on user with the right to change "
                                                  "parcels.")
                        : chosen ? QString()
                        : cboSupplier->count() <= 1
                            ? QStringLiteral("There is no supplier yet. Add one with \"Supplier...\" in the main "
                                             "window's Add menu, then open this window again.")
                            : QStringLiteral("Choose the supplier the carats come from.");
    lblWhy->setText(why);
    lblWhy->setVisible(!why.isEmpty());
    cmdFill->setToolTip(why);
}

bool frmParcelAdd::fill()
{
    if (cboSupplier->currentIndex() <= 0)
        return false;
    // A cost typed in another currency that is not a figure is refused,
    // never received at the US$ cost shown before it.
    for (const auto &[box, name] : {std::pair{txtCDN, QStringLiteral("Cost %1/ct").arg(m_ctx.settings.currencyName())},
                                    std::pair{txtZAR, QStringLiteral("Cost ZAR/ct")}})
        if (!figures::isTyped(box->text())) {
            m_ctx.prompt().inform(figures::notANumberMessage(name, box->text()), QStringLiteral("Receiving Stock"),
                                  Icon::Exclamation);
            return false;
        }
    // A price typed in a currency whose rate is not known gives no US price.
    if (m_price.typedAtUnknownRate()) {
        m_ctx.prompt().inform(QStringLiteral("The price typed in %1 cannot be taken.\n\n")
                                      .arg(m_price.typedIn == 'C' ? m_ctx.settings.currencyName() : QStringLiteral("ZAR"))
                                  + missingRates(m_ctx, m_price.typedIn == 'C', m_price.typedIn == 'Z'),
                              QStringLiteral("Receiving Stock"), Icon::Exclamation);
        return false;
    }
    const QString entry = cboSupplier->currentText();
    const qint64 supplier = entry.section(QStringLiteral("--- "), -1).toLongLong();
    const parcels::Outcome o = parcels::receiveStock(m_ctx, {m_parcelId, supplier, txtCarat->text(), txtUS->text()});
    if (o.result != parcels::Result::Done)
        return false;
    emit received();
    accept();
    return true;
}

} // namespace velmor::ui
