#include "invoices/frmInvoiceFind.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "invoices/widgets/CurrencyPictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::invoices {

frmInvoiceFind::frmInvoiceFind(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmInvoiceFind"));
    setWindowTitle(QStringLiteral("Invoices"));
    chkOpen = named(new QCheckBox(QStringLiteral("open")), "chkOpen");
    chkClosed = named(new QCheckBox(QStringLiteral("closed")), "chkClosed");
    optAllCustomers = named(new QRadioButton(QStringLiteral("all customers")), "optAllCustomers");
    optThisCustomer = named(new QRadioButton(QStringLiteral("this customer")), "optThisCustomer");
    optAllCustomers->setChecked(true);
    cboCustomer = named(new QComboBox, "cboCustomer");
    chkPRINTrap = named(new QCheckBox(QStringLiteral("print RAP")), "chkPRINTrap");
    chkPrintRAPDiscount = named(new QCheckBox(QStringLiteral("print RAP discount")), "chkPrintRAPDiscount");
    grdInvoices = named(new QTableWidget, "grdInvoices");
    grdInvoices->setColumnCount(5);
    grdInvoices->setHorizontalHeaderLabels(findHeadings());
    grdInvoices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdInvoices->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdInvoices->setSelectionMode(QAbstractItemView::SingleSelection);
    grdInvoices->verticalHeader()->hide();
    Command2 = named(new QPushButton(QStringLiteral("&Print")), "Command2");
    Image1 = named(new QPushButton(QStringLiteral("Close")), "Image1");
    currency = new CurrencyPictures(ctx, this);

    QSqlQuery c = db::exec(ctx.db(), QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer<>0 "
                                                    "ORDER BY CompanyName"));
    while (c.next())
        cboCustomer->addItem(db::textOf(c.value(1)) + db::kIdMarker + c.value(0).toString());

    auto *filters = new QGridLayout;
    filters->addWidget(chkOpen, 0, 0);
    filters->addWidget(chkClosed, 1, 0);
    filters->addWidget(optAllCustomers, 0, 1);
    filters->addWidget(optThisCustomer, 1, 1);
    filters->addWidget(cboCustomer, 1, 2);
    filters->setColumnStretch(2, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkPRINTrap);
    bottom->addWidget(chkPrintRAPDiscount);
    bottom->addWidget(currency);
    bottom->addWidget(Command2);
    bottom->addStretch();
    bottom->addWidget(Image1);
    auto *v = new QVBoxLayout(this);
    v->addLayout(filters);
    v->addWidget(grdInvoices, 1);
    v->addLayout(bottom);
    resize(760, 520);

    for (QCheckBox *b : {chkOpen, chkClosed})
        connect(b, &QCheckBox::toggled, this, &frmInvoiceFind::refresh);
    connect(optThisCustomer, &QRadioButton::toggled, this, &frmInvoiceFind::refresh);
    connect(cboCustomer, &QComboBox::currentIndexChanged, this, [this] {
        if (optThisCustomer->isChecked())
            refresh();
    });
    connect(grdInvoices, &QTableWidget::cellActivated, this, [this](int row, int) { choose(row); });
    connect(grdInvoices, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { choose(row); });
    connect(Command2, &QPushButton::clicked, this, &frmInvoiceFind::printChosen);
    connect(Image1, &QPushButton::clicked, this, &QWidget::close);
    Command2->setEnabled(ctx.screens().available(Screen::InvoicePrint));
    refresh();
}

void frmInvoiceFind::setCreatedOn(const QDate &day)
{
    m_createdOn = day;
    setWindowTitle(day.isValid() ? QStringLiteral("Invoices of ") + invoiceDate(day) : QStringLiteral("Invoices"));
    refresh();
}

void frmInvoiceFind::refresh()
{
    InvoiceFilter f;
    f.open = chkOpen->isChecked();
    f.closed = chkClosed->isChecked();
    f.createdOn = m_createdOn;
    if (optThisCustomer->isChecked()) {
        QVariant id;
        db::GetIDModule(cboCustomer->currentText(), id);
        f.customerId = id.toLongLong();
        // This customer without a customer chosen lists nothing.
        if (f.customerId == 0)
            f.customerId = -1;
    }
    QList<InvoiceListRow> rows;
    try {
        rows = findInvoices(m_ctx.db(), f);
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The invoices could not be read:\n\n") + e.message(),
                              QStringLiteral("Invoices"), Icon::Exclamation);
    }
    grdInvoices->setRowCount(0);
    grdInvoices->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const InvoiceListRow &x = rows.at(r);
        const QStringList cells{QString::number(x.id), x.created, x.closed, x.status, x.customer};
        for (int c = 0; c < cells.size(); ++c)
            grdInvoices->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    grdInvoices->resizeColumnsToContents();
}

qint64 frmInvoiceFind::rowInvoice(int row) const
{
    QTableWidgetItem *i = grdInvoices->item(row, 0);
    return i ? i->text().toLongLong() : 0;
}

void frmInvoiceFind::choose(int row)
{
    const qint64 id = rowInvoice(row);
    if (id && m_ctx.screens().openInvoice(id))
        close();
}

void frmInvoiceFind::printChosen()
{
    const qint64 id = rowInvoice(grdInvoices->currentRow());
    if (id == 0) {
        m_ctx.prompt().inform(QStringLiteral("Choose the invoice to print first."), QStringLiteral("Invoices"),
                              Icon::Information);
        return;
    }
    m_ctx.screens().printInvoice(id, chkPRINTrap->isChecked(), chkPrintRAPDiscount->isChecked(), this);
    refresh();
}

} // namespace velmor::invoices
