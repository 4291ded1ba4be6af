#include "payments/frmStatement.h"

#include "core/AppContext.h"
#include "core/widgets/WindowPlacement.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"
#include "payments/Payments.h"
#include "printing/PrintJob.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::payments {

namespace {

template <typename W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QTableWidgetItem *cell(const QString &text, bool right = false)
{
    auto *i = new QTableWidgetItem(text);
    i->setFlags(i->flags() & ~Qt::ItemIsEditable);
    if (right)
        i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return i;
}

QString agedLine(const QString &currency, const Aged &a)
{
    QStringList parts;
    const QStringList heads = bucketHeadings();
    for (int i = 0; i < kBuckets; ++i)
        parts << heads.at(i) + QStringLiteral(": ") + a.buckets[i].grouped2();
    return QStringLiteral("%1  %2  (total %3)").arg(currency, parts.join(QStringLiteral("   ")), a.total().grouped2());
}

} // namespace

frmStatement::frmStatement(AppContext &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmStatement"));
    setWindowTitle(QStringLiteral("Statements, receivables and payables"));
    auto *tabs = named(new QTabWidget(this), "tabStatement");
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(tabs);

    // A customer's statement.
    auto *st = new QWidget;
    auto *v = new QVBoxLayout(st);
    auto *form = new QFormLayout;
    cboCustomer = named(new QComboBox, "cboCustomer");
    cboCustomer->setEditable(true);
    cboCustomer->setInsertPolicy(QComboBox::NoInsert);
    dtFrom = named(new QDateEdit(QDate::currentDate().addMonths(-3)), "dtFrom");
    dtTo = named(new QDateEdit(QDate::currentDate()), "dtTo");
    for (QDateEdit *d : {dtFrom, dtTo}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    }
    form->addRow(QStringLiteral("Customer"), cboCustomer);
    form->addRow(QStringLiteral("From"), dtFrom);
    form->addRow(QStringLiteral("To"), dtTo);
    v->addLayout(form);
    auto *cmdShow = named(new QPushButton(QStringLiteral("Show")), "cmdShow");
    cmdShow->setDefault(true);
    v->addWidget(cmdShow, 0, Qt::AlignLeft);
    grdStatement = named(new QTableWidget(0, 4), "grdStatement");
    grdStatement->setHorizontalHeaderLabels(
        {QStringLiteral("Date"), QStringLiteral("Details"), QStringLiteral("Amount"), QStringLiteral("Balance")});
    v->addWidget(grdStatement, 1);
    lblAged = named(new QLabel, "lblAged");
    lblAged->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(lblAged);
    auto *printRow = new QHBoxLayout;
    cboPrinter = named(new QComboBox, "cboPrinter");
    cboPrinter->addItems(printing::printerChoices(true));
    cboPrinter->setCurrentIndex(printing::choiceIndex(
        printing::printerChoices(true), printing::readPrinterChoice(ctx.workstation, QStringLiteral("lastprinterstatement.ini"))));
    auto *cmdPrint = named(new QPushButton(QStringLiteral("Print")), "cmdPrint");
    printRow->addWidget(cboPrinter, 1);
    printRow->addWidget(cmdPrint);
    v->addLayout(printRow);
    tabs->addTab(st, QStringLiteral("Statement"));

    // Receivables and payables.
    auto *bal = new QWidget;
    auto *bv = new QVBoxLayout(bal);
    auto *opts = new QHBoxLayout;
    optReceivables = named(new QRadioButton(QStringLiteral("What customers owe")), "optReceivables");
    optPayables = named(new QRadioButton(QStringLiteral("What I owe suppliers and consignors")), "optPayables");
    optReceivables->setChecked(true);
    dtAsOf = named(new QDateEdit(QDate::currentDate()), "dtAsOf");
    dtAsOf->setCalendarPopup(true);
    dtAsOf->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    auto *cmdRefresh = named(new QPushButton(QStringLiteral("Show")), "cmdRefresh");
    opts->addWidget(optReceivables);
    opts->addWidget(optPayables);
    opts->addWidget(new QLabel(QStringLiteral("as of")));
    opts->addWidget(dtAsOf);
    opts->addWidget(cmdRefresh);
    opts->addStretch(1);
    bv->addLayout(opts);
    grdBalances = named(new QTableWidget(0, 0), "grdBalances");
    bv->addWidget(grdBalances, 1);
    lblTotals = named(new QLabel, "lblTotals");
    bv->addWidget(lblTotals);
    auto *balancesRow = new QHBoxLayout;
    auto *cmdExport = named(new QPushButton(QStringLiteral("Export CSV...")), "cmdExport");
    cboBalancesPrinter = named(new QComboBox, "cboBalancesPrinter");
    cboBalancesPrinter->addItems(printing::printerChoices(true));
    cboBalancesPrinter->setCurrentIndex(printing::choiceIndex(
        printing::printerChoices(true), printing::readPrinterChoice(ctx.workstation, QStringLiteral("lastprinterbalances.ini"))));
    auto *cmdPrintBalances = named(new QPushButton(QStringLiteral("Print")), "cmdPrintBalances");
    balancesRow->addWidget(cmdExport);
    balancesRow->addStretch(1);
    balancesRow->addWidget(cboBalancesPrinter, 1);
    balancesRow->addWidget(cmdPrintBalances);
    bv->addLayout(balancesRow);
    tabs->addTab(bal, QStringLiteral("Receivables and payables"));

    connect(cmdShow, &QPushButton::clicked, this, &frmStatement::showStatement);
    connect(cmdPrint, &QPushButton::clicked, this, &frmStatement::printStatement);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmStatement::showBalances);
    connect(cmdExport, &QPushButton::clicked, this, &frmStatement::exportBalances);
    connect(cmdPrintBalances, &QPushButton::clicked, this, &frmStatement::printBalances);
    fillCustomers();
    ui::placeWindow(this, QSize(900, 640), parent);
}

void frmStatement::fillCustomers()
{
    cboCustomer->clear();
    try {
        QSqlQuery q = db::exec(m_ctx.db(), QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer <> 0 "
                                                          "ORDER BY CompanyName, ID"));
        while (q.next())
            cboCustomer->addItem(db::textOf(q.value(1)) + QStringLiteral("   --- ") + q.value(0).toString(),
                                 q.value(0).toLongLong());
    } catch (const db::DbError &) {
    }
}

void frmStatement::showCustomer(qint64 customerId)
{
    const int i = cboCustomer->findData(customerId);
    if (i >= 0)
        cboCustomer->setCurrentIndex(i);
    showStatement();
}

void frmStatement::showStatement()
{
    const QString title = QStringLiteral("Statement");
    if (const QString why = viewRefusal(m_ctx, false); !why.isEmpty()) {
        m_ctx.prompt().inform(why, QStringLiteral("Authorization Failure"), Icon::Information);
        return;
    }
    const qint64 customer = cboCustomer->currentData().toLongLong();
    if (!customer) {
        m_ctx.prompt().inform(QStringLiteral("Choose the customer first."), title, Icon::Information);
        return;
    }
    if (dtFrom->date() > dtTo->date()) {
        m_ctx.prompt().inform(QStringLiteral("The first day comes after the last."), title, Icon::Information);
        return;
    }
    try {
        m_statement = statementOf(m_ctx, customer, dtFrom->date(), dtTo->date());
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The statement could not be read: ") + e.message(), title, Icon::Exclamation);
        return;
    }
    grdStatement->setRowCount(0);
    if (!m_statement)
        return;
    auto add = [&](const QString &date, const QString &what, const QString &amount, const QString &balance) {
        const int r = grdStatement->rowCount();
        grdStatement->insertRow(r);
        grdStatement->setItem(r, 0, cell(date));
        grdStatement->setItem(r, 1, cell(what));
        grdStatement->setItem(r, 2, cell(amount, true));
        grdStatement->setItem(r, 3, cell(balance, true));
    };
    const Statement &s = *m_statement;
    for (int cur = 0; cur < 2; ++cur)
        if (s.used[cur])
            add(invoices::invoiceDate(s.from), QStringLiteral("Balance brought forward"), QString(),
                amountText(m_ctx, s.opening[cur], cur == 1));
    for (const StatementEntry &e : s.entries)
        add(invoices::invoiceDate(e.date), e.what, amountText(m_ctx, e.amount, e.local),
            amountText(m_ctx, e.balance, e.local));
    QStringList aged;
    for (int cur = 0; cur < 2; ++cur)
        if (s.used[cur] || cur == 0)
            aged << QStringLiteral("Balance due %1").arg(amountText(m_ctx, s.closing[cur], cur == 1)) + QStringLiteral("; ")
                        + agedLine(cur == 1 ? s.localName : QStringLiteral("US$"), s.aged[cur]);
    if (!s.unknownRate.isEmpty())
        aged << QStringLiteral("Not charged (priced in %1 at a rate not known): %2")
                    .arg(s.localName, s.unknownRate.join(QStringLiteral(", ")));
    lblAged->setText(aged.join(QLatin1Char('\n')));
    grdStatement->resizeColumnsToContents();
}

void frmStatement::printStatement()
{
    if (!m_statement)
        showStatement();
    if (!m_statement)
        return;
    const QString entry = cboPrinter->currentText();
    QString file;
    if (entry == printing::kPdfEntry) {
        file = QFileDialog::getSaveFileName(this, QStringLiteral("Statement"), QString(), QStringLiteral("*.pdf"));
        if (file.isEmpty())
            return;
    }
    printing::writePrinterChoice(m_ctx.workstation, QStringLiteral("lastprinterstatement.ini"), entry);
    const printing::PrintOutcome p =
        payments::printStatement(m_ctx, *m_statement, printing::PrintTarget::fromEntry(entry, file));
    if (!p.ok)
        m_ctx.prompt().inform(p.error, QStringLiteral("Statement"), Icon::Exclamation);
    else
        m_ctx.prompt().notice(QStringLiteral("Statement printed"));
}

void frmStatement::showBalances()
{
    const bool pay = optPayables->isChecked();
    if (const QString why = viewRefusal(m_ctx, pay); !why.isEmpty()) {
        m_ctx.prompt().inform(why, QStringLiteral("Authorization Failure"), Icon::Information);
        return;
    }
    try {
        m_balances = pay ? payables(m_ctx, dtAsOf->date()) : receivables(m_ctx, dtAsOf->date());
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The balances could not be read: ") + e.message(),
                              QStringLiteral("Receivables and payables"), Icon::Exclamation);
        return;
    }
    const QStringList lines = balancesText(m_balances);
    const QStringList heads = lines.value(1).split(QLatin1Char('\t'));
    grdBalances->clear();
    grdBalances->setColumnCount(int(heads.size()));
    grdBalances->setHorizontalHeaderLabels(heads);
    grdBalances->setRowCount(0);
    for (qsizetype i = 2; i < lines.size() - 2; ++i) {
        const QStringList cells = lines.at(i).split(QLatin1Char('\t'));
        const int r = grdBalances->rowCount();
        grdBalances->insertRow(r);
        for (int c = 0; c < cells.size(); ++c)
            grdBalances->setItem(r, c, cell(cells.at(c), c >= 3));
    }
    grdBalances->resizeColumnsToContents();
    lblTotals->setText(agedLine(QStringLiteral("US$"), m_balances.totals[0]) + QLatin1Char('\n')
                       + agedLine(m_balances.localName, m_balances.totals[1]));
}

void frmStatement::exportBalances()
{
    if (m_balances.asOf.isNull())
        showBalances();
    if (m_balances.asOf.isNull())
        return;
    const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), QString(), QStringLiteral("*.csv"));
    if (f.isEmpty())
        return;
    QString why;
    if (!writeBalancesCsv(m_balances, f.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? f : f + QStringLiteral(".csv"), &why))
        m_ctx.prompt().inform(QStringLiteral("The file could not be written: ") + why, QStringLiteral("Export"),
                              Icon::Exclamation);
    else
        m_ctx.prompt().inform(QStringLiteral("File exported!"), QStringLiteral("Export"), Icon::Information);
}

// What is shown (the list of the last "Show", else the one chosen now) on
// the chosen printer or into a PDF.
void frmStatement::printBalances()
{
    const bool pay = optPayables->isChecked();
    if (const QString why = viewRefusal(m_ctx, pay); !why.isEmpty()) {
        m_ctx.prompt().inform(why, QStringLiteral("Authorization Failure"), Icon::Information);
        return;
    }
    if (m_balances.asOf.isNull() || m_balances.payables != pay || m_balances.asOf != dtAsOf->date())
        showBalances();
    if (m_balances.asOf.isNull() || m_balances.payables != pay)
        return;
    const QString title = pay ? QStringLiteral("Payables") : QStringLiteral("Receivables");
    const QString entry = cboBalancesPrinter->currentText();
    QString file;
    if (entry == printing::kPdfEntry) {
        file = QFileDialog::getSaveFileName(this, title, QString(), QStringLiteral("*.pdf"));
        if (file.isEmpty())
            return;
    }
    printing::writePrinterChoice(m_ctx.workstation, QStringLiteral("lastprinterbalances.ini"), entry);
    const printing::PrintOutcome p =
        payments::printBalances(m_ctx, m_balances, printing::PrintTarget::fromEntry(entry, file));
    if (!p.ok)
        m_ctx.prompt().inform(p.error, title, Icon::Exclamation);
    else
        m_ctx.prompt().notice(title + QStringLiteral(" printed"));
}

} // namespace velmor::payments
