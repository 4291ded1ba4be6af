#include "memos/frmMemo.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "memos/MemoSheetView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
qint64 leadingId(const QString &entry) { return entry.section(QLatin1Char(' '), 0, 0).toLongLong(); }

QStringList partyEntries(AppContext &ctx, bool suppliers)
{
    QStringList out{QString()};
    try {
        QSqlQuery q = db::exec(ctx.db(), suppliers ? QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Supplier<>0 "
                                                                    "ORDER BY CompanyName")
                                                   : QStringLiteral("SELECT ID, CompanyName FROM Customer ORDER BY CompanyName"));
        while (q.next())
            out << q.value(0).toString() + QStringLiteral(" - ") + q.value(1).toString();
    } catch (const db::DbError &) {
    }
    return out;
}
} // namespace

frmMemo::frmMemo(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMemo"));
    setWindowTitle(QStringLiteral("Memo/Consignment Report"));
    build();
    requery();
}

template <typename T>
static T *child(const QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

void frmMemo::build()
{
    auto *top = new QVBoxLayout(this);
    auto *tabs = named(new QTabWidget(this), "tabViews");
    auto radio = [](QWidget *p, const char *name, const QString &caption, bool on = false) {
        auto *r = named(new QRadioButton(caption, p), name);
        r->setChecked(on);
        return r;
    };
    auto check = [](QWidget *p, const char *name, const QString &caption, bool on = false) {
        auto *c = named(new QCheckBox(caption, p), name);
        c->setChecked(on);
        return c;
    };
    // Memo out.
    auto *out = named(new QWidget(tabs), "fraMemoOut");
    auto *lo = new QGridLayout(out);
    lo->addWidget(radio(out, "optAllDiamonds", QStringLiteral("all Customers"), true), 0, 0);
    lo->addWidget(radio(out, "optCustomer", QStringLiteral("this Customer:")), 1, 0);
    auto *cust = named(new QComboBox(out), "cboCustomer");
    cust->addItems(partyEntries(m_ctx, false));
    lo->addWidget(cust, 1, 1);
    lo->addWidget(radio(out, "optDefaultCustomer", QStringLiteral("Customer #")), 2, 0);
    lo->addWidget(named(new QLineEdit(out), "txtCustomerID"), 2, 1);
    lo->addWidget(check(out, "chkMemoOnly", QStringLiteral("on Memo only")), 0, 2);
    lo->addWidget(check(out, "chkPreSoldStonesOnly", QStringLiteral("sold, not paid only")), 1, 2);
    tabs->addTab(out, QStringLiteral("Memo out"));
    // Memo in.
    auto *in = named(new QWidget(tabs), "fraMemoIn");
    auto *li = new QGridLayout(in);
    li->addWidget(radio(in, "optAllDiamondsIN", QStringLiteral("all Consignors"), true), 0, 0);
    li->addWidget(radio(in, "optCustomerIN", QStringLiteral("this Consignor:")), 1, 0);
    auto *custIn = named(new QComboBox(in), "cboCustomerIN");
    custIn->addItems(partyEntries(m_ctx, true));
    li->addWidget(custIn, 1, 1);
    li->addWidget(check(in, "chkDownPaymentMade", QStringLiteral("down payment made")), 0, 2);
    li->addWidget(check(in, "chkSoldStonesOnly", QStringLiteral("sold stones only")), 1, 2);
    tabs->addTab(in, QStringLiteral("Memo in"));
    // Suppliers.
    auto *sup = named(new QWidget(tabs), "fraSuppliers");
    auto *ls = new QGridLayout(sup);
    ls->addWidget(radio(sup, "optAllSuppliers", QStringLiteral("all Suppliers"), true), 0, 0);
    ls->addWidget(radio(sup, "optThisSupplier", QStringLiteral("this Supplier:")), 1, 0);
    auto *supplier = named(new QComboBox(sup), "cboSupplier");
    supplier->addItems(partyEntries(m_ctx, true));
    ls->addWidget(supplier, 1, 1);
    ls->addWidget(check(sup, "chkSuppCust", QStringLiteral("by Customer")), 2, 0);
    ls->addWidget(check(sup, "chkMemo", QStringLiteral("Memo"), true), 0, 2);
    ls->addWidget(check(sup, "chkStock", QStringLiteral("Stock"), true), 1, 2);
    ls->addWidget(check(sup, "chkPreSold", QStringLiteral("sold, not paid"), true), 2, 2);
    tabs->addTab(sup, QStringLiteral("Suppliers"));
    top->addWidget(tabs);

    auto *opts = new QHBoxLayout;
    auto *origin = new QGroupBox(QStringLiteral("Stones"), this);
    auto *lorg = new QHBoxLayout(origin);
    lorg->addWidget(radio(origin, "optAll", QStringLiteral("all"), true));
    lorg->addWidget(radio(origin, "optMemo", QStringLiteral("consigned in")));
    lorg->addWidget(radio(origin, "optInventory", QStringLiteral("own")));
    opts->addWidget(origin);
    opts->addWidget(check(this, "chkOfThisDay", QStringLiteral("of this day")));
    opts->addWidget(check(this, "chkAfterThisDay", QStringLiteral("from")));
    auto *d1 = named(new QDateEdit(QDate::currentDate(), this), "dtMemoDay");
    auto *d2 = named(new QDateEdit(QDate::currentDate(), this), "dtMemoDay2");
    d1->setCalendarPopup(true);
    d2->setCalendarPopup(true);
    d2->setEnabled(false);
    opts->addWidget(d1);
    opts->addWidget(new QLabel(QStringLiteral("to"), this));
    opts->addWidget(d2);
    opts->addWidget(new QLabel(QStringLiteral("out more than"), this));
    auto *days = named(new QSpinBox(this), "txtMinDays");
    days->setRange(0, 9999);
    days->setSuffix(QStringLiteral(" days"));
    opts->addWidget(days);
    opts->addWidget(check(this, "chkToggleMemoRef", QStringLiteral("Ref# instead of Memo#")));
    opts->addWidget(check(this, "chkSKULot", QStringLiteral("Lot instead of SKU")));
    opts->addStretch();
    top->addLayout(opts);

    auto *grid = named(new QTableWidget(this), "Grid");
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    top->addWidget(grid, 1);

    auto *fields = new QHBoxLayout;
    for (const char *name : {"txtDiamondID", "txtSKU", "txtWeight", "txtShape", "txtMeasurement", "txtMemoID"}) {
        auto *e = named(new QLineEdit(this), name);
        e->setReadOnly(true);
        fields->addWidget(e);
    }
    top->addLayout(fields);

    auto *totals = named(new QGroupBox(QStringLiteral("Totals"), this), "fraSum");
    auto *lt = new QGridLayout(totals);
    // Captions: what each column sums, and the currency of each row.
    const char *heads[] = {"Memo price", "Paid", "Balance"};
    for (int c = 0; c < 3; ++c)
        lt->addWidget(new QLabel(QString::fromLatin1(heads[c]), totals), 0, c + 1);
    lt->addWidget(new QLabel(QStringLiteral("US$"), totals), 1, 0);
    lt->addWidget(new QLabel(m_ctx.settings.currencyName(), totals), 2, 0);
    const char *sums[] = {"txtUSstone", "txtUSPaid", "txtUSBalance", "txtLocalStone", "txtLocalPaid", "txtLocalBalance"};
    for (int i = 0; i < 6; ++i) {
        auto *e = named(new QLineEdit(totals), sums[i]);
        e->setReadOnly(true);
        e->setToolTip(QString::fromLatin1(heads[i % 3]));
        lt->addWidget(e, i / 3 + 1, i % 3 + 1);
    }
    totals->setVisible(false);
    top->addWidget(totals);

    auto *cmds = new QHBoxLayout;
    for (auto [name, caption] : {std::pair{"cmdRecordReceivedPayment", "Payment received..."},
                                 std::pair{"cmdRecordMadePayment", "Payment made..."}, std::pair{"cmdSum", "Sum"},
                                 std::pair{"cmdExport", "Export..."}, std::pair{"cmdPrint", "Print"}, std::pair{"cmdSearch", "Stone search"},
                                 std::pair{"cmdSearchCustomer", "Customer search"}})
        cmds->addWidget(named(new QPushButton(QString::fromLatin1(caption), this), name));
    top->addLayout(cmds);

    // Any change of the view or a filter runs it again.
    connect(tabs, &QTabWidget::currentChanged, this, &frmMemo::requery);
    for (QRadioButton *r : findChildren<QRadioButton *>())
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                requery();
        });
    for (QCheckBox *c : findChildren<QCheckBox *>())
        connect(c, &QCheckBox::toggled, this, &frmMemo::requery);
    for (QComboBox *c : findChildren<QComboBox *>())
        connect(c, &QComboBox::currentIndexChanged, this, &frmMemo::requery);
    for (QDateEdit *d : {d1, d2})
        connect(d, &QDateEdit::dateChanged, this, &frmMemo::requery);
    connect(days, &QSpinBox::valueChanged, this, &frmMemo::requery);
    connect(child<QLineEdit>(this, "txtCustomerID"), &QLineEdit::editingFinished, this,
            &frmMemo::requery);
    // The two date boxes exclude each other.
    connect(child<QCheckBox>(this, "chkOfThisDay"), &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            child<QCheckBox>(this, "chkAfterThisDay")->setChecked(false);
    });
    connect(child<QCheckBox>(this, "chkAfterThisDay"), &QCheckBox::toggled, this, [this, d2](bool on) {
        d2->setEnabled(on);
        if (on)
            child<QCheckBox>(this, "chkOfThisDay")->setChecked(false);
    });
    connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmMemo::orderBy);
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row) { chooseRow(row); });
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        if (row >= 0 && row < m_report.rows.size())
            m_ctx.screens().openStone(m_report.rows[row].stoneId);
    });
    connect(child<QPushButton>(this, "cmdSum"), &QPushButton::clicked, this, &frmMemo::sum);
    connect(child<QPushButton>(this, "cmdExport"), &QPushButton::clicked, this, [this] {
        QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), QString(), QStringLiteral("*.csv"));
        // The dialog's choice gets the extension of its filter.
        if (!f.isEmpty() && !f.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            f += QStringLiteral(".csv");
        if (!f.isEmpty())
            exportTo(f);
    });
    // The list goes to the default printer.
    connect(child<QPushButton>(this, "cmdPrint"), &QPushButton::clicked, this,
            [this] { memos::printReport(m_ctx, m_report, printing::PrintTarget::defaultPrinter()); });
    connect(child<QPushButton>(this, "cmdRecordReceivedPayment"), &QPushButton::clicked, this, [this] {
        const qint64 id = child<QLineEdit>(this, "txtDiamondID")->text().toLongLong();
        if (id && m_ctx.screens().openPayment(id, 0))
            requery();
    });
    connect(child<QPushButton>(this, "cmdRecordMadePayment"), &QPushButton::clicked, this, [this] {
        const qint64 id = child<QLineEdit>(this, "txtDiamondID")->text().toLongLong();
        if (id && m_ctx.screens().openPaymentMade(id, 0))
            requery();
    });
    connect(child<QPushButton>(this, "cmdSearch"), &QPushButton::clicked, this, [this] { m_ctx.screens().openStoneSearch(0); });
    connect(child<QPushButton>(this, "cmdSearchCustomer"), &QPushButton::clicked, this,
            [this] { m_ctx.screens().openCustomerSearch(); });
    updateCommands();
}

void frmMemo::updateCommands()
{
    const Screens &s = m_ctx.screens();
    const bool row = child<QLineEdit>(this, "txtDiamondID")->text().toLongLong() != 0;
    child<QPushButton>(this, "cmdRecordReceivedPayment")->setEnabled(row && s.available(Screen::Payment));
    child<QPushButton>(this, "cmdRecordMadePayment")->setEnabled(row && s.available(Screen::PaymentMade));
    child<QPushButton>(this, "cmdSearch")->setEnabled(s.available(Screen::StoneSearch));
    child<QPushButton>(this, "cmdSearchCustomer")->setEnabled(s.available(Screen::CustomerSearch));
    child<QPushButton>(this, "cmdExport")->setEnabled(!m_report.rows.isEmpty());
    child<QPushButton>(this, "cmdPrint")->setEnabled(!m_report.rows.isEmpty());
}

void frmMemo::setDefaultCustomer(qint64 id)
{
    child<QLineEdit>(this, "txtCustomerID")->setText(QString::number(id));
    child<QRadioButton>(this, "optDefaultCustomer")->setChecked(true);
    requery();
}

memos::ReportFilter frmMemo::filter() const
{
    memos::ReportFilter f;
    const int view = child<QTabWidget>(this, "tabViews")->currentIndex();
    f.view = view == 1 ? memos::ReportFilter::MemoIn : view == 2 ? memos::ReportFilter::Suppliers : memos::ReportFilter::MemoOut;
    auto on = [this](const char *name) { return child<QAbstractButton>(this, name)->isChecked(); };
    if (f.view == memos::ReportFilter::MemoOut) {
        if (on("optCustomer"))
            f.partyId = leadingId(child<QComboBox>(this, "cboCustomer")->currentText());
        else if (on("optDefaultCustomer"))
            f.partyId = child<QLineEdit>(this, "txtCustomerID")->text().toLongLong();
    } else if (f.view == memos::ReportFilter::MemoIn) {
        if (on("optCustomerIN"))
            f.partyId = leadingId(child<QComboBox>(this, "cboCustomerIN")->currentText());
    } else if (on("optThisSupplier")) {
        f.partyId = leadingId(child<QComboBox>(this, "cboSupplier")->currentText());
    }
    f.memoOnly = on("chkMemoOnly");
    f.preSoldOnly = on("chkPreSoldStonesOnly");
    f.downPaymentMade = on("chkDownPaymentMade");
    f.soldOnly = on("chkSoldStonesOnly");
    f.supplierIsCustomer = on("chkSuppCust");
    f.statusMemo = on("chkMemo");
    f.statusStock = on("chkStock");
    f.statusPreSold = on("chkPreSold");
    f.origin = on("optMemo") ? 1 : on("optInventory") ? 2 : 0;
    f.ofThisDay = on("chkOfThisDay");
    f.afterThisDay = on("chkAfterThisDay");
    f.day = child<QDateEdit>(this, "dtMemoDay")->date();
    f.day2 = child<QDateEdit>(this, "dtMemoDay2")->date();
    f.minDays = child<QSpinBox>(this, "txtMinDays")->value();
    f.toggleMemoRef = on("chkToggleMemoRef");
    f.skuLot = on("chkSKULot");
    f.orderBy = m_order;
    return f;
}

void frmMemo::requery()
{
    try {
        m_report = memos::runReport(m_ctx, filter());
    } catch (const db::DbError &e) {
        m_report = {};
        m_ctx.prompt().inform(QStringLiteral("The report could not be read:\n\n") + e.message(),
                              QStringLiteral("Memo/Consignment Report"), Icon::Exclamation);
    }
    setWindowTitle(m_report.title.isEmpty() ? QStringLiteral("Memo/Consignment Report") : m_report.title);
    auto *grid = child<QTableWidget>(this, "Grid");
    const QSignalBlocker block(grid);
    grid->clear();
    grid->setColumnCount(int(m_report.headers.size()));
    grid->setHorizontalHeaderLabels(m_report.headers);
    grid->setRowCount(int(m_report.rows.size()));
    for (int r = 0; r < m_report.rows.size(); ++r)
        for (int c = 0; c < m_report.rows[r].cells.size(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(m_report.rows[r].cells[c]));
    grid->resizeColumnsToContents();
    child<QGroupBox>(this, "fraSum")->setVisible(false);
    chooseRow(m_report.rows.isEmpty() ? -1 : 0);
}

void frmMemo::orderBy(int column)
{
    const QString caption = m_report.headers.value(column);
    if (!memos::isOrderColumn(caption) && caption != QLatin1String("from Company"))
        return;
    m_order = caption == QLatin1String("from Company") ? QStringLiteral("consigned to") : caption;
    requery();
}

void frmMemo::chooseRow(int row)
{
    const bool valid = row >= 0 && row < m_report.rows.size();
    const memos::ReportRow r = valid ? m_report.rows[row] : memos::ReportRow();
    auto *txtDiamondID = child<QLineEdit>(this, "txtDiamondID");
    const QString id = valid ? QString::number(r.stoneId) : QString();
    // Each new stone of the list is loaded on the stone screen as well.
    const bool changed = txtDiamondID->text() != id;
    txtDiamondID->setText(id);
    if (changed && valid && r.stoneId > 0 && stoneChosen)
        stoneChosen(r.stoneId);
    child<QLineEdit>(this, "txtSKU")->setText(r.cells.value(5));
    child<QLineEdit>(this, "txtWeight")->setText(r.cells.value(8));
    child<QLineEdit>(this, "txtShape")->setText(r.cells.value(6));
    child<QLineEdit>(this, "txtMeasurement")->setText(valid ? r.measurement : QString());
    child<QLineEdit>(this, "txtMemoID")->setText(r.memoId);
    updateCommands();
}

void frmMemo::sum()
{
    const memos::ReportSums s = memos::sumReport(m_report);
    const QString local = m_ctx.settings.currencyName() + QLatin1Char(' ');
    child<QLineEdit>(this, "txtUSstone")->setText(QStringLiteral("US$ ") + QString::number(s.usStone, 'f', 2));
    child<QLineEdit>(this, "txtUSPaid")->setText(QStringLiteral("US$ ") + QString::number(s.usPaid, 'f', 2));
    child<QLineEdit>(this, "txtUSBalance")->setText(QStringLiteral("US$ ") + QString::number(s.usBalance, 'f', 2));
    child<QLineEdit>(this, "txtLocalStone")->setText(local + QString::number(s.localStone, 'f', 2));
    child<QLineEdit>(this, "txtLocalPaid")->setText(local + QString::number(s.localPaid, 'f', 2));
    child<QLineEdit>(this, "txtLocalBalance")->setText(local + QString::number(s.localBalance, 'f', 2));
    child<QGroupBox>(this, "fraSum")->setVisible(true);
}

bool frmMemo::exportTo(const QString &file)
{
    const QString error = memos::exportReport(m_report, file);
    if (!error.isEmpty()) {
        m_ctx.prompt().inform(error, QStringLiteral("Export"), Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().inform(QStringLiteral("File exported!"), QStringLiteral("Export"), Icon::Information);
    return true;
}

} // namespace velmor::ui
