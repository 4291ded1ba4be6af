#include "invoices/frmInvoice.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "invoices/frmInvoiceADD.h"
#include "invoices/frmInvoiceEdit.h"
#include "invoices/widgets/CurrencyPictures.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmor::invoices {

namespace {
// The working columns after the ten shown: $/ct1, $/Stone1, invoicelistid.
constexpr int kShown = 10;
} // namespace

frmInvoice::frmInvoice(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmInvoice"));
    setWindowTitle(QStringLiteral("Invoice"));
    // A line posted, or the invoice printed and closed, on another screen.
    connect(&changeEvents(m_ctx), &ChangeEvents::invoiceChanged, this, [this](qint64 id) {
        if (m_id != 0 && (id == 0 || id == m_id))
            reload();
    });
    auto label = [](const char *name) { return named(new QLabel, name); };
    lblInvoiceID = label("lblInvoiceID");
    lblDate = label("lblDate");
    lblStatus = label("lblStatus");
    lblCompanyName = label("lblCompanyName");
    lblCompanyStreet1 = label("lblCompanyStreet1");
    lblCompanyStreet2 = label("lblCompanyStreet2");
    lblCityZIP = label("lblCityZIP");
    lblPhone = label("lblPhone");
    lblFax = label("lblFax");
    lblEMail = label("lblEMail");
    lblSubTotal = label("lblSubTotal");
    lblTax = label("lblTax");
    lblSummary = label("lblSummary");
    imgAttention = label("imgAttention");
    imgAttention->setText(QStringLiteral("<b><font color='red'>&#9888; not printed yet</font></b>"));
    for (QLabel *l : {lblSubTotal, lblTax, lblSummary})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grdInvoice = named(new QTableWidget, "grdInvoice");
    QStringList headings = gridHeadings();
    headings << QStringLiteral("$/ct1") << QStringLiteral("$/Stone1") << QStringLiteral("invoicelistid");
    grdInvoice->setColumnCount(headings.size());
    grdInvoice->setHorizontalHeaderLabels(headings);
    for (int c = kShown; c < headings.size(); ++c)
        grdInvoice->setColumnHidden(c, true);
    grdInvoice->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdInvoice->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdInvoice->setSelectionMode(QAbstractItemView::SingleSelection);
    grdInvoice->verticalHeader()->hide();
    chkPRINTrap = named(new QCheckBox(QStringLiteral("print RAP")), "chkPRINTrap");
    chkPrintRAPDiscount = named(new QCheckBox(QStringLiteral("print RAP discount")), "chkPrintRAPDiscount");
    Command1 = named(new QPushButton(QStringLiteral("&Add a line")), "Command1");
    Command2 = named(new QPushButton(QStringLiteral("&Print")), "Command2");
    cmdSaleRate = named(new QPushButton(QStringLiteral("Rate of the sale...")), "cmdSaleRate");
    cmdSaleRate->setToolTip(QStringLiteral("Records the CDN or ZAR rate of lines sold while it was not known"));
    Image1 = named(new QPushButton(QStringLiteral("Close")), "Image1");
    currency = new CurrencyPictures(ctx, this);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(600);

    auto *header = new QGridLayout;
    header->addWidget(new QLabel(QStringLiteral("Invoice#")), 0, 0);
    header->addWidget(lblInvoiceID, 0, 1);
    header->addWidget(lblDate, 1, 1);
    header->addWidget(lblStatus, 2, 1);
    header->addWidget(imgAttention, 3, 1);
    int r = 0;
    for (QLabel *l : {lblCompanyName, lblCompanyStreet1, lblCompanyStreet2, lblCityZIP, lblPhone, lblFax, lblEMail})
        header->addWidget(l, r++, 2);
    header->setColumnStretch(2, 1);
    auto *totals = new QGridLayout;
    totals->addWidget(new QLabel(QStringLiteral("Sub Total US$")), 0, 0);
    totals->addWidget(lblSubTotal, 0, 1);
    totals->addWidget(new QLabel(QStringLiteral("Tax US$")), 1, 0);
    totals->addWidget(lblTax, 1, 1);
    totals->addWidget(new QLabel(QStringLiteral("Summary US$")), 2, 0);
    totals->addWidget(lblSummary, 2, 1);
    auto *bottom = new QHBoxLayout;
    auto *printBox = new QVBoxLayout;
    printBox->addWidget(chkPRINTrap);
    printBox->addWidget(chkPrintRAPDiscount);
    printBox->addWidget(currency);
    bottom->addLayout(printBox);
    bottom->addWidget(Command1, 0, Qt::AlignBottom);
    bottom->addWidget(Command2, 0, Qt::AlignBottom);
    bottom->addWidget(cmdSaleRate, 0, Qt::AlignBottom);
    cmdPayment = named(new QPushButton(QStringLiteral("Payment recd...")), "cmdPayment");
    bottom->addWidget(cmdPayment, 0, Qt::AlignBottom);
    bottom->addStretch();
    bottom->addLayout(totals);
    auto *v = new QVBoxLayout(this);
    v->addLayout(header);
    v->addWidget(grdInvoice, 1);
    v->addLayout(bottom);
    auto *close = new QHBoxLayout;
    close->addStretch();
    close->addWidget(Image1);
    v->addLayout(close);
    resize(1000, 600);

    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmInvoice::updateCommands);
    connect(Command1, &QPushButton::clicked, this, &frmInvoice::addLine);
    connect(Command2, &QPushButton::clicked, this, &frmInvoice::print);
    connect(cmdPayment, &QPushButton::clicked, this, [this] {
        if (m_id)
            m_ctx.screens().openInvoicePayment(m_id);
    });
    connect(cmdSaleRate, &QPushButton::clicked, this, &frmInvoice::askSaleRates);
    for (QToolButton *b : {currency->imgUS, currency->imgCDN, currency->imgZAR})
        connect(b, &QToolButton::clicked, this, &frmInvoice::updateCommands);
    connect(Image1, &QPushButton::clicked, this, &QWidget::close);
    connect(grdInvoice, &QTableWidget::cellActivated, this, [this](int row, int) { editLine(row); });
    connect(grdInvoice, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { editLine(row); });
    connect(Timer1, &QTimer::timeout, this, [this] { imgAttention->setVisible(!imgAttention->isVisible()); });
    updateCommands();
}

bool frmInvoice::showInvoice(qint64 id)
{
    m_id = id;
    bool found = false;
    try {
        found = loadInvoice(m_ctx.db(), id, m_invoice);
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The invoice could not be read:\n\n") + e.message(),
                              QStringLiteral("Invoice"), Icon::Exclamation);
    }
    if (!found) {
        m_invoice = Invoice{};
        m_id = 0;
    }
    const Invoice &inv = m_invoice;
    lblInvoiceID->setText(found ? QString::number(inv.id) : QString());
    lblDate->setText(invoiceDate(inv.created.date()));
    lblStatus->setText(inv.status);
    lblCompanyName->setText(inv.CompanyName);
    lblCompanyStreet1->setText(inv.CompanyStreet1);
    lblCompanyStreet2->setText(inv.CompanyStreet2);
    lblCityZIP->setText(inv.CompanyCity.isEmpty() && inv.CompanyZIP.isEmpty()
                            ? QString()
                            : inv.CompanyCity + QStringLiteral(", ") + inv.CompanyZIP);
    lblPhone->setText(inv.PhoneNumber1);
    lblFax->setText(inv.FaxNumber);
    lblEMail->setText(inv.EMail);
    grdInvoice->setRowCount(0);
    grdInvoice->setRowCount(int(inv.lines.size()));
    for (int row = 0; row < inv.lines.size(); ++row) {
        const InvoiceLine &l = inv.lines.at(row);
        QStringList cells = gridRow(l);
        cells << QString::number(double(l.priceCarat) / kFixedOne, 'f', 5) << centsText(l.amountCents())
              << QString::number(l.id);
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (c == 1 || (c >= 6 && c < kShown))
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdInvoice->setItem(row, c, item);
        }
    }
    grdInvoice->resizeColumnsToContents();
    // An invoice without lines shows empty totals (the window is reused:
    // nothing of the invoice shown before may stay).
    const Totals t = inv.totals();
    lblSubTotal->setText(t.any ? centsText(t.subTotal, true) : QString());
    lblTax->setText(t.any ? centsText(t.tax, true) : QString());
    lblSummary->setText(t.any ? centsText(t.summary(), true) : QString());
    // The open invoice asks for attention until it is printed.
    if (found && inv.isOpen()) {
        Timer1->start();
    } else {
        Timer1->stop();
        imgAttention->hide();
    }
    updateCommands();
    return found;
}

void frmInvoice::updateCommands()
{
    // A printed (closed) invoice takes no more lines; lines are added by a
    // logged-in user with the invoice right.
    Command1->setEnabled(m_id != 0 && m_invoice.isOpen() && mayUse(m_ctx, rights::Invoices));
    Command2->setEnabled(m_id != 0 && m_ctx.screens().available(Screen::InvoicePrint));
    cmdPayment->setEnabled(m_id != 0 && m_ctx.screens().available(Screen::Payment));
    // Only an open invoice with lines sold at an unknown rate has a rate to
    // record.
    const Currency c = currency->current();
    const bool missing = std::any_of(m_invoice.lines.cbegin(), m_invoice.lines.cend(),
                                     [c](const InvoiceLine &l) { return !l.amountKnown(c); });
    cmdSaleRate->setVisible(m_id != 0 && m_invoice.isOpen() && missing);
    cmdSaleRate->setEnabled(mayUse(m_ctx, rights::Invoices) && mayUse(m_ctx, QStringLiteral("AllowExchangeRateChanging")));
}

bool frmInvoice::recordRate(Currency c, const QString &typed)
{
    const RateRecorded r = recordSaleRate(m_ctx, m_id, c, typed);
    if (!r.ok)
        m_ctx.prompt().inform(r.error, QStringLiteral("Rate of the sale"), Icon::Information);
    reload();
    return r.ok;
}

void frmInvoice::askSaleRates()
{
    if (m_id == 0)
        return;
    // The rate of the currency the invoice is to be printed in (the
    // currency pictures).
    const Currency c = currency->current();
    QStringList lines;
    for (const InvoiceLine &l : m_invoice.lines)
        if (!l.amountKnown(c))
            lines << (l.sku.isEmpty() ? QStringLiteral("line %1").arg(l.id) : l.sku);
    if (lines.isEmpty())
        return;
    const QString word = currencyWord(c).toUpper();
    for (;;) {
        bool ok = false;
        const QString typed = QInputDialog::getText(
            this, QStringLiteral("Rate of the sale"),
            QStringLiteral("%1 was sold while the %2 rate was not known.\n%2 for US$ 1 on the day of the sale:")
                .arg(lines.join(QStringLiteral(", ")), word),
            QLineEdit::Normal, QString(), &ok);
        if (!ok || recordRate(c, typed))
            break;
    }
}

void frmInvoice::addLine()
{
    if (m_id == 0)
        return;
    frmInvoiceADD dlg(m_ctx, m_id, this);
    dlg.exec();
    reload();
}

void frmInvoice::print()
{
    if (m_id == 0)
        return;
    m_ctx.screens().printInvoice(m_id, chkPRINTrap->isChecked(), chkPrintRAPDiscount->isChecked(), this);
    reload();
}

void frmInvoice::editLine(int row)
{
    QTableWidgetItem *id = grdInvoice->item(row, kShown + 2);
    if (!id)
        return;
    frmInvoiceEdit dlg(m_ctx, id->text().toLongLong(), this);
    dlg.exec();
    reload();
}

} // namespace velmor::invoices
