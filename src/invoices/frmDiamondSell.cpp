#include "invoices/frmDiamondSell.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "core/KnownRates.h"
#include "invoices/Posting.h"
#include "pricing/SellingPrice.h"
#include "online/Listing.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::invoices {

namespace {
const QString kLastCustomerFile = QStringLiteral("lastcustomersell.ini");
}

frmDiamondSell::frmDiamondSell(AppContext &ctx, qint64 stoneId, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_stoneId(stoneId)
{
    setObjectName(QStringLiteral("frmDiamondSell"));
    setWindowTitle(QStringLiteral("Sell Diamond"));
    cboCust = named(new QComboBox, "cboCust");
    cboCust->setEditable(true);
    cboCust->setInsertPolicy(QComboBox::NoInsert);
    auto edit = [](const char *name) { return named(new QLineEdit, name); };
    txtCarat = edit("txtCarat");
    txtRap = edit("txtRap");
    txtRapDiscount = edit("txtRapDiscount");
    txtUScarat = edit("txtUScarat");
    txtUSstone = edit("txtUSstone");
    txtCDNcarat = edit("txtCDNcarat");
    txtCDNstone = edit("txtCDNstone");
    txtZARcarat = edit("txtZARcarat");
    txtZARstone = edit("txtZARstone");
    // The weight and the list price are the stone's own.
    txtCarat->setReadOnly(true);
    txtRap->setReadOnly(true);
    lblCDN = named(new QLabel, "lblCDN");
    lblZAR = named(new QLabel, "lblZAR");
    lblStone = named(new QLabel, "lblStone");
    imgSell = named(new QPushButton(QStringLiteral("&Sell")), "imgSell");
    Image2 = named(new QPushButton(QStringLiteral("Cancel")), "Image2");
    // A sale is made by the Sell command only: Enter in a field sells nothing.
    imgSell->setAutoDefault(false);
    Image2->setAutoDefault(false);

    auto *grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("Customer")), row, 0);
    grid->addWidget(cboCust, row++, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Weight")), row, 0);
    grid->addWidget(txtCarat, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("RAP $/ct")), row, 0);
    grid->addWidget(txtRap, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("% off RAP")), row, 2);
    grid->addWidget(txtRapDiscount, row++, 3);
    grid->addWidget(new QLabel(QStringLiteral("per carat")), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("per stone")), row++, 2);
    auto currencyRow = [&](const QString &name, QLineEdit *ct, QLineEdit *st, QLabel *rate) {
        grid->addWidget(new QLabel(name), row, 0);
        grid->addWidget(ct, row, 1);
        grid->addWidget(st, row, 2);
        if (rate)
            grid->addWidget(rate, row, 3);
        ++row;
    };
    currencyRow(QStringLiteral("US$"), txtUScarat, txtUSstone, nullptr);
    currencyRow(QStringLiteral("CDN$"), txtCDNcarat, txtCDNstone, lblCDN);
    currencyRow(QStringLiteral("ZAR"), txtZARcarat, txtZARstone, lblZAR);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(imgSell);
    buttons->addWidget(Image2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblStone);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    m_fields = {{SellPrices::Carat, txtCarat},         {SellPrices::Rap, txtRap},
                {SellPrices::RapDiscount, txtRapDiscount}, {SellPrices::UScarat, txtUScarat},
                {SellPrices::USstone, txtUSstone},     {SellPrices::CDNcarat, txtCDNcarat},
                {SellPrices::CDNstone, txtCDNstone},   {SellPrices::ZARcarat, txtZARcarat},
                {SellPrices::ZARstone, txtZARstone}};
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it) {
        const SellPrices::Field f = it.key();
        numberBox(it.value());
        connect(it.value(), &QLineEdit::textEdited, this, [this, f](const QString &t) { edited(f, t); });
    }
    connect(imgSell, &QPushButton::clicked, this, &frmDiamondSell::sell);
    connect(Image2, &QPushButton::clicked, this, &QDialog::reject);

    // Opening: the rates, the customers, the stone's figures.
    m_prices.setRates(ctx.exchangeRateCDN, ctx.exchangeRateZAR);
    m_prices.setPriceStep(pricing::sellingPriceStep(ctx.settings));
    // An unknown rate shows as "???" and its price boxes stay empty.
    lblCDN->setText(rateText(ctx.exchangeRateCDN, 4));
    lblZAR->setText(rateText(ctx.exchangeRateZAR, 4));
    QSqlQuery c = db::exec(ctx.db(), QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer<>0 "
                                                    "ORDER BY CompanyName"));
    while (c.next())
        cboCust->addItem(db::textOf(c.value(1)) + QStringLiteral("   --- ID") + c.value(0).toString(),
                         c.value(0).toLongLong());
    cboCust->setCurrentIndex(-1);
    if (ctx.workstation.exists(kLastCustomerFile)) {
        bool ok = false;
        const qint64 last = ctx.workstation.readFirstLine(kLastCustomerFile).trimmed().toLongLong(&ok);
        const int i = ok ? cboCust->findData(last) : -1;
        if (i >= 0)
            cboCust->setCurrentIndex(i);
    }
    QSqlQuery s = db::exec(ctx.db(),
                           QStringLiteral("SELECT SKU, CAST(Carat AS CHAR), RapaportPrice, SellOffRap, "
                                          "CAST(SellPriceUS AS CHAR), Carat FROM SingleStone WHERE ID = ?"),
                           {stoneId});
    if (s.next()) {
        m_loaded = true;
        lblStone->setText(QStringLiteral("Stone ") + db::textOf(s.value(0)));
        // The weight as stored (trailing zeros dropped), the prices to the cent.
        QString carat = db::textOf(s.value(1));
        if (carat.contains(QLatin1Char('.'))) {
            while (carat.endsWith(QLatin1Char('0')))
                carat.chop(1);
            if (carat.endsWith(QLatin1Char('.')))
                carat.chop(1);
        }
        // The stone's price per stone is the price sold at, to the cent.
        m_prices.openStone(carat, SellPrices::money(db::numOf(s.value(2))), SellPrices::money(db::numOf(s.value(3))),
                           Decimal5::fromDb(s.value(4)).fixed(2));
    }
    // Selling changes the stone: a logged-in user with the edit right.
    followRights(ctx, this, [this] { imgSell->setEnabled(m_loaded && mayUse(m_ctx, rights::Edit)); });
    showPrices();
    setTabOrder(cboCust, txtRapDiscount);
    setTabOrder(txtRapDiscount, txtUScarat);
    setTabOrder(txtUScarat, txtUSstone);
    setTabOrder(txtUSstone, txtCDNcarat);
    setTabOrder(txtCDNcarat, txtCDNstone);
    setTabOrder(txtCDNstone, txtZARcarat);
    setTabOrder(txtZARcarat, txtZARstone);
    setTabOrder(txtZARstone, imgSell);
    setTabOrder(imgSell, Image2);
}

void frmDiamondSell::showPrices(SellPrices::Field except)
{
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        if (it.key() != except && it.value()->text() != m_prices.text(it.key()))
            it.value()->setText(m_prices.text(it.key()));
}

void frmDiamondSell::edited(SellPrices::Field f, const QString &text)
{
    m_prices.edit(f, text);
    // The field being typed in keeps the user's text and cursor.
    showPrices(f);
}

bool frmDiamondSell::sell()
{
    QVariant id;
    db::GetIDModule(cboCust->currentText(), id);
    const qint64 customerId = id.toLongLong();
    const QString title = QStringLiteral("Selling Diamond");
    if (customerId == 0) {
        m_ctx.prompt().inform(QStringLiteral("You have to select a Customer before you can proceed!"), title,
                              Icon::Information);
        return false;
    }
    m_ctx.workstation.writeLines(kLastCustomerFile, {QString::number(customerId)});
    const SellPrices::Sale sale = m_prices.sale(figures::columnOf(m_ctx.db(), QStringLiteral("invoicelist"), QStringLiteral("carat")),
                                                figures::columnOf(m_ctx.db(), QStringLiteral("invoicelist"), QStringLiteral("pricecarat")));
    if (sale.missingRate) {
        // A price typed in a currency whose rate nobody knows is never
        // turned into another price.
        const SellPrices::Field f = m_prices.basis();
        m_ctx.prompt().inform(QStringLiteral("The %1 \"%2\" cannot be taken.\n\n")
                                      .arg(SellPrices::fieldName(f), m_prices.text(f).trimmed())
                                  + missingRates(m_ctx, sale.missingRate == 'C', sale.missingRate == 'Z'),
                              title, Icon::Exclamation);
        return false;
    }
    if (!sale.error.isEmpty()) {
        m_ctx.prompt().inform(sale.error, title, Icon::Exclamation);
        return false;
    }
    QString name = cboCust->currentText();
    if (const int at = name.lastIndexOf(QStringLiteral("   --- ID")); at >= 0)
        name.truncate(at);
    if (!m_ctx.prompt().askYesNo(QStringLiteral("Are you sure you want to sell this Stone to\n\n") + name.trimmed()
                                     + QStringLiteral("\n\n"),
                                 title, Icon::Question))
        return false;
    const SellOutcome out =
        sellStoneOnInvoice(m_ctx, m_stoneId, customerId, sale.carat, sale.priceCarat, sale.amountCDN, sale.amountZAR);
    if (out.result != SellResult::Done)
        return false;
    m_invoiceId = out.posted.invoiceId;
    // The stone leaves the online listing (after our own commit; the
    // listing never undoes the sale).
    online::Listing listing(m_ctx.workstation);
    if (listing.configured()) {
        listing.remove(int(m_stoneId));
        if (!listing.failure().isEmpty())
            m_ctx.prompt().inform(listing.failure(), QStringLiteral("Online listing"), Icon::Exclamation);
    }
    accept();
    return true;
}

} // namespace velmor::invoices
