#include "parcels/frmParcelPutOnMemo.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Sql.h"
#include "parcels/ParcelMemo.h"
#include "parcels/frmMemoParcelSheet.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmParcelPutOnMemo::frmParcelPutOnMemo(AppContext &ctx, qint64 parcelId, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_parcelId(parcelId), m_price(ctx.exchangeRateCDN, ctx.exchangeRateZAR)
{
    setObjectName(QStringLiteral("frmParcelPutOnMemo"));
    setWindowTitle(QStringLiteral("Put Parcel on Memo"));
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    txtOnHand = named(new QLineEdit(this), "txtOnHand");
    txtAverageCost = named(new QLineEdit(this), "txtAverageCost");
    txtLastCost = named(new QLineEdit(this), "txtLastCost");
    for (QLineEdit *e : {txtOnHand, txtAverageCost, txtLastCost})
        e->setReadOnly(true);
    cboCustomer = named(new QComboBox(this), "cboCustomer");
    cboCustomer->addItem(QString());
    try {
        cboCustomer->addItems(parcels::customerEntries(ctx.db()));
    } catch (const db::DbError &) {
    }
    const int last = cboCustomer->findText(ctx.workstation.readFirstLine(parcels::kLastCustomerFile));
    if (last > 0)
        cboCustomer->setCurrentIndex(last);
    txtCarat = named(new QLineEdit(this), "txtCarat");
    numberBox(txtCarat);
    txtUScarat = named(new QLineEdit(this), "txtUScarat");
    numberBox(txtUScarat);
    txtCDNcarat = named(new QLineEdit(this), "txtCDNcarat");
    numberBox(txtCDNcarat);
    txtZARcarat = named(new QLineEdit(this), "txtZARcarat");
    numberBox(txtZARcarat);
    form->addRow(QStringLiteral("On hand (ct)"), txtOnHand);
    form->addRow(QStringLiteral("Average cost US$/ct"), txtAverageCost);
    form->addRow(QStringLiteral("Last cost US$/ct"), txtLastCost);
    form->setRowVisible(txtAverageCost, ctx.user.ViewCost);
    form->setRowVisible(txtLastCost, ctx.user.ViewCost);
    form->addRow(QStringLiteral("Customer"), cboCustomer);
    form->addRow(QStringLiteral("Carats"), txtCarat);
    form->addRow(QStringLiteral("US$/ct"), txtUScarat);
    form->addRow(QStringLiteral("%1/ct").arg(ctx.settings.currencyName()), txtCDNcarat);
    form->addRow(QStringLiteral("ZAR/ct"), txtZARcarat);
    root->addLayout(form);
    auto *cmds = new QHBoxLayout;
    cmdPutOnMemo = named(new QPushButton(QStringLiteral("put on &MEMO"), this), "cmdPutOnMemo");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmdPutOnMemo->setDefault(true);
    cmds->addWidget(cmdPutOnMemo);
    cmds->addWidget(cmdCancel);
    root->addLayout(cmds);
    connect(cboCustomer, &QComboBox::currentIndexChanged, this, &frmParcelPutOnMemo::updateCommands);
    connect(txtCarat, &QLineEdit::textChanged, this, &frmParcelPutOnMemo::updateCommands);
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmParcelPutOnMemo::updateCommands);
    connect(txtUScarat, &QLineEdit::textChanged, this, [this](const QString &t) { couple(m_price.usChanged(t)); });
    connect(txtCDNcarat, &QLineEdit::textChanged, this, [this](const QString &t) { couple(m_price.cdnChanged(t)); });
    connect(txtZARcarat, &QLineEdit::textChanged, this, [this](const QString &t) { couple(m_price.zarChanged(t)); });
    connect(cmdPutOnMemo, &QPushButton::clicked, this, &frmParcelPutOnMemo::putOnMemo);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateCommands();
}

void frmParcelPutOnMemo::setPrice(const QString &us)
{
    txtUScarat->setText(us);
}

void frmParcelPutOnMemo::couple(bool changed)
{
    if (!changed)
        return;
    m_price.guard = true;
    txtUScarat->setText(m_price.us);
    txtCDNcarat->setText(m_price.cdn);
    txtZARcarat->setText(m_price.zar);
    m_price.guard = false;
}

void frmParcelPutOnMemo::updateCommands()
{
    // Typed carats that are no figure, or 0, are refused by the command
    // with a message naming the field, not passed over by a disabled button.
    cmdPutOnMemo->setEnabled(cboCustomer->currentIndex() > 0 && !txtCarat->text().trimmed().isEmpty()
                             && mayUse(m_ctx, rights::Memo));
}

bool frmParcelPutOnMemo::putOnMemo()
{
    if (!cmdPutOnMemo->isEnabled())
        return false;
    // The local and rand boxes only fill the US price: text in them that is
    // no figure is refused, never passed over for the price beside it.
    const std::pair<QLineEdit *, QString> filling[] = {
        {txtCDNcarat, m_ctx.settings.currencyName() + QStringLiteral(" price per carat")},
        {txtZARcarat, QStringLiteral("ZAR price per carat")}};
    for (const auto &[box, name] : filling)
        if (!figures::isTyped(box->text())) {
            m_ctx.prompt().inform(figures::notANumberMessage(name, box->text()), QStringLiteral("Parcel Memo"),
                                  Icon::Exclamation);
            return false;
        }
    // A price typed in a currency whose rate is not known gives no US price.
    if (m_price.typedAtUnknownRate()) {
        m_ctx.prompt().inform(QStringLiteral("The price typed in %1 cannot be taken.\n\n")
                                      .arg(m_price.typedIn == 'C' ? m_ctx.settings.currencyName() : QStringLiteral("ZAR"))
                                  + missingRates(m_ctx, m_price.typedIn == 'C', m_price.typedIn == 'Z'),
                              QStringLiteral("Parcel Memo"), Icon::Exclamation);
        return false;
    }
    const qint64 customer = cboCustomer->currentText().section(QStringLiteral("--- "), -1).toLongLong();
    const parcels::Outcome o =
        parcels::putOnMemo(m_ctx, {m_parcelId, customer, txtCarat->text(), txtUScarat->text(), parcels::LineChoice::Ask});
    if (o.result != parcels::Result::Done)
        return false;
    emit memoChanged();
    m_sheet = new frmMemoParcelSheet(m_ctx, o.id, parentWidget());
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet->show();
    accept();
    return true;
}

} // namespace velmor::ui
