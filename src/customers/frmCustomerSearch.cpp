#include "customers/frmCustomerSearch.h"

#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "customers/CustomerRecord.h"
#include "db/ConvertSql.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmCustomerSearch::frmCustomerSearch(AppContext &ctx, QWidget *parent)
    : QWidget(parent),
      m_ctx(ctx),
      txtSearchField(new QLineEdit(this)),
      chkOnHold(new QCheckBox(QStringLiteral("On hold"), this)),
      chkCustomer(new QCheckBox(QStringLiteral("Customers"), this)),
      chkSupplier(new QCheckBox(QStringLiteral("Suppliers"), this)),
      cboRep(new QComboBox(this)),
      Flex(new QTableView(this)),
      m_model(new customers::CustomerGridModel(this)),
      lblFound(new QLabel(this)),
      tmrSearch(new QTimer(this)),
      m_counter(new db::BackgroundRead(ctx.connection, ctx.db(), this))
{
    setObjectName(QStringLiteral("frmCustomerSearch"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Customer Search"));
    openUrl = [](const QUrl &u) { QDesktopServices::openUrl(u); };
    build();
    fillReps();
    // A customer added or changed on another screen shows in the list.
    connect(&changeEvents(m_ctx), &ChangeEvents::customerChanged, this, [this] {
        if (isVisible())
            SearchCustomerStringModule();
    });
}

void frmCustomerSearch::build()
{
    txtSearchField->setObjectName(QStringLiteral("txtSearchField"));
    chkOnHold->setObjectName(QStringLiteral("chkOnHold"));
    chkCustomer->setObjectName(QStringLiteral("chkCustomer"));
    chkSupplier->setObjectName(QStringLiteral("chkSupplier"));
    cboRep->setObjectName(QStringLiteral("cboRep"));
    Flex->setObjectName(QStringLiteral("Flex"));
    lblFound->setObjectName(QStringLiteral("lblFound"));
    tmrSearch->setObjectName(QStringLiteral("tmrSearch"));
    tmrSearch->setSingleShot(true);
    tmrSearch->setInterval(250);

    Flex->setModel(m_model);
    Flex->setSelectionBehavior(QAbstractItemView::SelectRows);
    Flex->setSelectionMode(QAbstractItemView::SingleSelection);
    Flex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Flex->verticalHeader()->hide();
    Flex->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    auto *imgClear = new QToolButton(this);
    imgClear->setObjectName(QStringLiteral("imgClear"));
    imgClear->setText(QStringLiteral("x"));
    imgClear->setToolTip(QStringLiteral("Clear the search"));
    auto *cmdExport = new QPushButton(QStringLiteral("Export..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    auto *cmdBack = new QPushButton(QStringLiteral("Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    // A customer not found yet is added from here.
    auto *cmdAddCustomer = new QPushButton(QStringLiteral("Add customer..."), this);
    cmdAddCustomer->setObjectName(QStringLiteral("cmdAddCustomer"));

    auto *root = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Search"), this));
    row->addWidget(txtSearchField, 3);
    row->addWidget(imgClear);
    row->addWidget(chkCustomer);
    row->addWidget(chkSupplier);
    row->addWidget(chkOnHold);
    row->addWidget(new QLabel(QStringLiteral("Rep"), this));
    row->addWidget(cboRep, 1);
    root->addLayout(row);
    root->addWidget(Flex, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblFound, 1);
    bottom->addWidget(cmdAddCustomer);
    bottom->addWidget(cmdExport);
    bottom->addWidget(cmdBack);
    root->addLayout(bottom);

    auto later = [this] {
        if (!m_applying)
            tmrSearch->start();
    };
    connect(txtSearchField, &QLineEdit::textChanged, this, later);
    for (QCheckBox *c : {chkOnHold, chkCustomer, chkSupplier})
        connect(c, &QCheckBox::toggled, this, later);
    connect(cboRep, &QComboBox::currentIndexChanged, this, later);
    connect(tmrSearch, &QTimer::timeout, this, &frmCustomerSearch::SearchCustomerStringModule);
    connect(imgClear, &QToolButton::clicked, this, [this] {
        txtSearchField->clear();
        SearchCustomerStringModule();
    });
    connect(Flex, &QTableView::doubleClicked, this,
            [this](const QModelIndex &i) { cellActivated(i.row(), i.column()); });
    connect(Flex->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &i) { rowChosen(i.row()); });
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), QString(),
                                                    QStringLiteral("*.csv"));
        if (file.isEmpty())
            return;
        if (!file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            file += QStringLiteral(".csv");
        exportTo(file);
    });
    connect(cmdAddCustomer, &QPushButton::clicked, this, [this] {
        if (addCustomer)
            addCustomer();
    });
    connect(m_model, &customers::CustomerGridModel::fetchFailed, this, &frmCustomerSearch::showFailure);
    connect(m_counter, &db::BackgroundRead::done, this,
            [this](quint64 ticket, const QVariant &rows) { showCount(ticket, rows.toLongLong()); });
    connect(m_counter, &db::BackgroundRead::failed, this,
            [this](quint64 ticket, const QString &why, bool noConnection) {
                if (ticket != m_countTicket)
                    return;
                if (!noConnection) {
                    showFailure(why);
                    return;
                }
                // No second connection: counted here, once the first screenful is up.
                try {
                    showCount(ticket, customers::countCustomers(m_ctx.db(), filter()));
                } catch (const db::DbError &e) {
                    showFailure(e.message());
                }
            });
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmCustomerSearch::updateCommands);
    connect(cmdBack, &QPushButton::clicked, this, [this] {
        if (m_opener) {
            m_opener->show();
            m_opener->raise();
        }
        close();
    });
    resize(1100, 600);
}

void frmCustomerSearch::fillReps()
{
    cboRep->clear();
    try {
        // An ID carried as the item's data as well, for the rep filter.
        for (const QString &e : customers::repEntries(m_ctx.db()))
            cboRep->addItem(e, qint64(db::idFromEntry(e)));
    } catch (const db::DbError &) {
        cboRep->addItem(QString(), qint64(0));
    }
}

void frmCustomerSearch::updateCommands()
{
    findChild<QPushButton *>(QStringLiteral("cmdAddCustomer"))
        ->setEnabled(addCustomer && m_ctx.user.has(QStringLiteral("AllowCustomerAdd")));
}

void frmCustomerSearch::applyPreset(const CustomerSearchPreset &p)
{
    updateCommands();
    m_applying = true;
    m_pick = p.pickForStone;
    fillReps();
    chkCustomer->setChecked(p.customers);
    chkSupplier->setChecked(p.suppliers);
    chkOnHold->setChecked(p.onHold);
    int at = 0;
    for (int i = 0; i < cboRep->count(); ++i)
        if (cboRep->itemData(i).toLongLong() == p.repId)
            at = i;
    cboRep->setCurrentIndex(at);
    if (p.repId)
        txtSearchField->clear();
    m_applying = false;
    SearchCustomerStringModule();
}

customers::CustomerFilter frmCustomerSearch::filter() const
{
    customers::CustomerFilter f;
    f.words = txtSearchField->text();
    f.onHold = chkOnHold->isChecked();
    f.customers = chkCustomer->isChecked();
    f.suppliers = chkSupplier->isChecked();
    f.repId = cboRep->currentData().toLongLong();
    return f;
}

void frmCustomerSearch::SearchCustomerStringModule()
{
    tmrSearch->stop();
    // The count of the search before is given up: it never shows under
    // this one's rows.
    m_counter->cancel();
    m_countTicket = 0;
    const customers::CustomerFilter f = filter();
    try {
        m_model->search(m_ctx.db(), f);
    } catch (const db::DbError &e) {
        // An empty list here means "not known", never "nobody matches".
        showFailure(e.message());
        return;
    }
    Flex->resizeColumnsToContents();
    if (m_model->complete()) {
        lblFound->setText(grid().countText());
        return;
    }
    // More rows than a screenful: the count follows when it is known.
    lblFound->clear();
    m_countTicket = m_counter->request(
        [f](const QSqlDatabase &db) { return QVariant(customers::countCustomers(db, f)); });
}

void frmCustomerSearch::showCount(quint64 ticket, qint64 rows)
{
    if (ticket != m_countTicket)
        return;
    m_countTicket = 0;
    lblFound->setText(customers::foundText(rows));
}

void frmCustomerSearch::showFailure(const QString &why)
{
    m_countTicket = 0;
    lblFound->setText(QStringLiteral("The search failed: ") + why);
}

void frmCustomerSearch::cellActivated(int row, int column)
{
    if (row < 0 || row >= grid().rows.size())
        return;
    const QStringList &cells = grid().rows.at(row);
    if (column == customers::emailColumn()) {
        if (!cells.at(column).trimmed().isEmpty())
            openUrl(QUrl(customers::mailtoLink(cells.at(column).trimmed())));
        return;
    }
    if (column == customers::webColumn()) {
        const QUrl url = QUrl::fromUserInput(cells.at(column).trimmed());
        if (!cells.at(column).trimmed().isEmpty() && url.isValid())
            openUrl(url);
        return;
    }
    m_ctx.screens().openCustomer(cells.at(customers::idColumn()).toLongLong());
}

void frmCustomerSearch::rowChosen(int row)
{
    if (!m_pick || row < 0 || row >= grid().rows.size())
        return;
    const qint64 id = grid().rows.at(row).at(customers::idColumn()).toLongLong();
    try {
        m_ctx.screens().partyPicked(PartyPick{id, customers::pickAddressBlock(m_ctx.db(), id)});
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The customer could not be read:\n\n") + e.message(),
                              QStringLiteral("Customer"), Icon::Critical);
    }
}

bool frmCustomerSearch::exportTo(const QString &fileName)
{
    QString why;
    try {
        if (customers::exportGrid(customers::searchCustomers(m_ctx.db(), filter()), fileName, &why))
            return true;
    } catch (const db::DbError &e) {
        why = e.message();
    }
    m_ctx.prompt().inform(QStringLiteral("The List could not be exported into ") + fileName + QStringLiteral(":\n") + why,
                          QStringLiteral("Export"), Icon::Exclamation);
    return false;
}

} // namespace velmor::ui
