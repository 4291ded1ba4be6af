#include "invoices/frmInvoiceADD.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"
#include "invoices/Money.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <stdexcept>

namespace velmor::invoices {

namespace {
// A typed figure in units of 0.00001 ("1,234.56" is one; "0,75" is none).
std::optional<qint64> typedFixed(const QString &text)
{
    const std::optional<Decimal5> d = figures::parseTyped(text);
    if (!d || text.trimmed().isEmpty())
        return std::nullopt;
    return d->units();
}
} // namespace

frmInvoiceADD::frmInvoiceADD(AppContext &ctx, qint64 invoiceId, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_invoiceId(invoiceId)
{
    setObjectName(QStringLiteral("frmInvoiceADD"));
    setWindowTitle(QStringLiteral("Add a line to Invoice #%1").arg(invoiceId));
    txtDetails = named(new QLineEdit, "txtDetails");
    txtDetails->setMaxLength(250);
    txtCarat = named(new QLineEdit, "txtCarat");
    txtPricePerCarat = named(new QLineEdit, "txtPricePerCarat");
    txtSalePrice = named(new QLineEdit, "txtSalePrice");
    for (QLineEdit *e : {txtCarat, txtPricePerCarat, txtSalePrice})
        numberBox(e);
    Command2 = named(new QPushButton(QStringLiteral("&Add")), "Command2");
    Command1 = named(new QPushButton(QStringLiteral("Cancel")), "Command1");
    // A line is added by the Add command only: Enter in a field adds nothing.
    Command2->setAutoDefault(false);
    Command1->setAutoDefault(false);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Details"), txtDetails);
    form->addRow(QStringLiteral("Carat"), txtCarat);
    form->addRow(QStringLiteral("US$ per carat"), txtPricePerCarat);
    form->addRow(QStringLiteral("US$ sale price"), txtSalePrice);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(buttons);
    connect(txtCarat, &QLineEdit::textEdited, this, [this] {
        // A new weight keeps a sale price typed before it.
        if (!m_exactPrice.isEmpty())
            fromSale();
        else
            fromPrice();
    });
    connect(txtPricePerCarat, &QLineEdit::textEdited, this, [this] {
        m_exactPrice.clear();
        fromPrice();
    });
    connect(txtSalePrice, &QLineEdit::textEdited, this, &frmInvoiceADD::fromSale);
    connect(Command2, &QPushButton::clicked, this, &frmInvoiceADD::add);
    followRights(m_ctx, this, [this] { Command2->setEnabled(mayUse(m_ctx, rights::Invoices)); });
    connect(Command1, &QPushButton::clicked, this, &QDialog::reject);
}

void frmInvoiceADD::flash(QLineEdit *box)
{
    box->setStyleSheet(QStringLiteral("background: #ffe680;"));
    QTimer::singleShot(400, box, [box] { box->setStyleSheet(QString()); });
}

void frmInvoiceADD::fromPrice()
{
    const auto carat = typedFixed(txtCarat->text());
    const auto price = typedFixed(txtPricePerCarat->text());
    if (!carat || !price)
        return;
    txtSalePrice->setText(centsText(lineAmountCents(*price, *carat)));
    flash(txtSalePrice);
}

void frmInvoiceADD::fromSale()
{
    const auto carat = typedFixed(txtCarat->text());
    const auto sale = typedFixed(txtSalePrice->text());
    m_exactPrice.clear();
    // Without a weight the price per carat cannot follow: it stays.
    if (!carat || !sale || *carat == 0)
        return;
    const qint64 price = roundedDiv(__int128(*sale) * kFixedOne, *carat);
    m_exactPrice = QString::number(price / kFixedOne) + QLatin1Char('.')
                   + QString::number(qAbs(price % kFixedOne)).rightJustified(5, QLatin1Char('0'));
    if (price < 0 && price > -kFixedOne)
        m_exactPrice.prepend(QLatin1Char('-'));
    txtPricePerCarat->setText(fixedText(price));
    flash(txtPricePerCarat);
}

qint64 frmInvoiceADD::add()
{
    // A sale price that is not a figure is refused, never added at the
    // price per carat shown before it.
    if (!figures::isTyped(txtSalePrice->text())) {
        m_ctx.prompt().inform(figures::notANumberMessage(QStringLiteral("US$ sale price"), txtSalePrice->text()),
                              QStringLiteral("Invoice"), Icon::Exclamation);
        return 0;
    }
    const QString price = m_exactPrice.isEmpty() ? txtPricePerCarat->text() : m_exactPrice;
    try {
        const qint64 id = addFreeLine(m_ctx, m_invoiceId, txtDetails->text(), txtCarat->text(), price);
        if (id == 0)
            return 0;
        accept();
        return id;
    } catch (const std::invalid_argument &e) {
        m_ctx.prompt().inform(QString::fromStdString(e.what()), QStringLiteral("Invoice"), Icon::Exclamation);
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The line could not be added:\n\n") + e.message(), QStringLiteral("Invoice"),
                              Icon::Exclamation);
    }
    return 0;
}

} // namespace velmor::invoices
