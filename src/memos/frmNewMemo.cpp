#include "memos/frmNewMemo.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "customers/CustomerRecord.h"
#include "db/Sql.h"
#include "memos/MemoLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
qint64 idOfEntry(const QString &entry)
{
    const int at = entry.lastIndexOf(QLatin1String("--- ID"));
    return at < 0 ? 0 : entry.mid(at + 6).trimmed().toLongLong();
}
} // namespace

frmNewMemo::frmNewMemo(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmNewMemo"));
    setWindowTitle(QStringLiteral("New Memo Sheet"));
    auto *l = new QGridLayout(this);
    l->addWidget(new QLabel(QStringLiteral("Customer:"), this), 0, 0);
    auto *cust = named(new QComboBox(this), "cboCust");
    cust->setEditable(true);
    cust->setInsertPolicy(QComboBox::NoInsert);
    l->addWidget(cust, 0, 1, 1, 2);
    auto *add = named(new QPushButton(QStringLiteral("New Customer..."), this), "Command1");
    auto *okb = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    okb->setDefault(true);
    l->addWidget(add, 1, 0);
    l->addWidget(okb, 1, 2);
    add->setEnabled(m_ctx.screens().available(Screen::Customer));
    connect(add, &QPushButton::clicked, this, [this] {
        if (m_ctx.screens().openCustomer(0))
            reject();
    });
    auto enable = [this, cust, okb] { okb->setEnabled(idOfEntry(cust->currentText()) != 0); };
    connect(cust, &QComboBox::currentTextChanged, this, enable);
    connect(okb, &QPushButton::clicked, this, &frmNewMemo::ok);
    fillCustomers();
    enable();
}

void frmNewMemo::fillCustomers()
{
    auto *cust = findChild<QComboBox *>(QStringLiteral("cboCust"));
    cust->clear();
    try {
        cust->addItems(memos::memoCustomerEntries(m_ctx));
    } catch (const db::DbError &) {
    }
    cust->setCurrentIndex(-1);
}

void frmNewMemo::ok()
{
    const qint64 customer = idOfEntry(findChild<QComboBox *>(QStringLiteral("cboCust"))->currentText());
    if (customer == 0)
        return;
    m_created = customers::createMemoSheet(m_ctx, customer);
    if (m_created)
        accept();
}

frmMemoLoad::frmMemoLoad(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMemoLoad"));
    setWindowTitle(QStringLiteral("Find a Memo Sheet"));
    auto *top = new QVBoxLayout(this);
    auto *f = new QGridLayout;
    f->addWidget(named(new QCheckBox(QStringLiteral("only open Memo Sheets"), this), "chkOnlyOpen"), 0, 0);
    auto *all = named(new QRadioButton(QStringLiteral("all Customers"), this), "optAllCustomers");
    all->setChecked(true);
    f->addWidget(all, 1, 0);
    f->addWidget(named(new QRadioButton(QStringLiteral("this Customer:"), this), "optThisCustomer"), 2, 0);
    auto *cust = named(new QComboBox(this), "cboCustomer");
    f->addWidget(cust, 2, 1);
    f->addWidget(new QLabel(QStringLiteral("Memo #"), this), 0, 2);
    f->addWidget(named(new QLineEdit(this), "txtMemoID"), 0, 3);
    f->addWidget(new QLabel(QStringLiteral("Ref#"), this), 1, 2);
    f->addWidget(named(new QLineEdit(this), "txtRef"), 1, 3);
    top->addLayout(f);
    auto *grid = named(new QTableWidget(this), "Grid");
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    top->addWidget(grid, 1);
    auto *open = named(new QPushButton(QStringLiteral("Open"), this), "cmdOpen");
    top->addWidget(open);
    open->setEnabled(m_ctx.screens().available(Screen::MemoSheet));

    try {
        cust->addItems(memos::memoCustomerEntries(m_ctx));
    } catch (const db::DbError &) {
    }
    auto *timer = named(new QTimer(this), "tmrSearch");
    timer->setSingleShot(true);
    timer->setInterval(300);
    connect(timer, &QTimer::timeout, this, &frmMemoLoad::requery);
    for (const char *name : {"txtMemoID", "txtRef"})
        connect(findChild<QLineEdit *>(QLatin1String(name)), &QLineEdit::textChanged, timer,
                qOverload<>(&QTimer::start));
    connect(findChild<QCheckBox *>(QStringLiteral("chkOnlyOpen")), &QCheckBox::toggled, this, &frmMemoLoad::requery);
    connect(all, &QRadioButton::toggled, this, &frmMemoLoad::requery);
    connect(cust, &QComboBox::currentIndexChanged, this, &frmMemoLoad::requery);
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { choose(row); });
    connect(open, &QPushButton::clicked, this, [this, grid] {
        const int row = grid->currentRow();
        if (row < 0 || row >= m_ids.size())
            return;
        choose(row);
        m_ctx.screens().openMemoSheet(m_chosen);
    });
    requery();
}

void frmMemoLoad::requery()
{
    memos::MemoSheetFilter filter;
    filter.onlyOpen = findChild<QCheckBox *>(QStringLiteral("chkOnlyOpen"))->isChecked();
    if (findChild<QRadioButton *>(QStringLiteral("optThisCustomer"))->isChecked())
        filter.customerId = idOfEntry(findChild<QComboBox *>(QStringLiteral("cboCustomer"))->currentText());
    filter.memoId = findChild<QLineEdit *>(QStringLiteral("txtMemoID"))->text();
    filter.ref = findChild<QLineEdit *>(QStringLiteral("txtRef"))->text();
    memos::Table t;
    try {
        t = memos::findMemoSheets(m_ctx, filter);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The memo sheets could not be read"), QStringLiteral("Find a Memo Sheet"),
                      e);
    }
    auto *grid = findChild<QTableWidget *>(QStringLiteral("Grid"));
    grid->clear();
    grid->setColumnCount(int(t.headers.size()));
    grid->setHorizontalHeaderLabels(t.headers);
    grid->setRowCount(int(t.rows.size()));
    m_ids = t.ids;
    m_customers.clear();
    for (int r = 0; r < t.rows.size(); ++r) {
        for (int c = 0; c < t.rows[r].size(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(t.rows[r][c]));
        m_customers << t.rows[r].value(4).toLongLong();
    }
    grid->resizeColumnsToContents();
}

void frmMemoLoad::choose(int row)
{
    if (row < 0 || row >= m_ids.size())
        return;
    m_chosen = m_ids[row];
    m_ctx.screens().setCurrentMemoSheet(m_chosen);
    accept();
}

} // namespace velmor::ui
