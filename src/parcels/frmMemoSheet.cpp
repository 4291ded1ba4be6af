#include "parcels/frmMemoSheet.h"

#include "core/KnownRates.h"
#include "pricing/SellingPrice.h"

#include "core/widgets/RightsOnScreen.h"
#include "core/AppContext.h"
#include "core/Screens.h"
#include "core/Users.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Identifiers.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "memos/MemoFiles.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrint.h"
#include "memos/MemoSheetSql.h"
#include "memos/MemoSheetView.h"
#include "parcels/OlderParcelMemo.h"
#include "printing/PrintJob.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QTableWidget>

namespace velmor::ui {

namespace {

const QString kTitle = QStringLiteral("Memo Sheet");

int column(QTableWidget *g, const QString &caption)
{
    for (int c = 0; c < g->columnCount(); ++c)
        if (g->horizontalHeaderItem(c) && g->horizontalHeaderItem(c)->text() == caption)
            return c;
    return -1;
}

QString cell(QTableWidget *g, int row, const QString &caption)
{
    const int c = column(g, caption);
    return c >= 0 && g->item(row, c) ? g->item(row, c)->text() : QString();
}

} // namespace

frmMemoSheet::frmMemoSheet(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMemoSheet"));
    setWindowTitle(QStringLiteral("Memo Sheet"));
    auto *root = new QGridLayout(this);
    auto *head = new QFormLayout;
    txtMemoID = named(new QLineEdit(this), "txtMemoID");
    txtDateCreated = named(new QLineEdit(this), "txtDateCreated");
    txtDateCreated->setReadOnly(true);
    txtReference = named(new QLineEdit(this), "txtReference");
    txtReference->setReadOnly(true);
    txtReference->setMaxLength(25);
    cmdReference = named(new QPushButton(QStringLiteral("Edit"), this), "cmdReference");
    txtCustomerID = named(new QLineEdit(this), "txtCustomerID");
    txtCustomerID->setReadOnly(true);
    cboCustomer = named(new QComboBox(this), "cboCustomer");
    cmdThisCustomer = named(new QPushButton(QStringLiteral("this Customer"), this), "cmdThisCustomer");
    txtCompanyName = named(new QLineEdit(this), "txtCompanyName");
    txtStreet1 = named(new QLineEdit(this), "txtStreet1");
    txtCity = named(new QLineEdit(this), "txtCity");
    txtPhone = named(new QLineEdit(this), "txtPhone");
    for (QLineEdit *e : {txtCompanyName, txtStreet1, txtCity, txtPhone})
        e->setReadOnly(true);
    lblPriceClass = named(new QLabel(this), "lblPriceClass");
    head->addRow(QStringLiteral("Memo #"), txtMemoID);
    head->addRow(QStringLiteral("created"), txtDateCreated);
    head->addRow(QStringLiteral("Reference"), txtReference);
    head->addRow(QString(), cmdReference);
    head->addRow(QStringLiteral("Customer ID"), txtCustomerID);
    head->addRow(cboCustomer, cmdThisCustomer);
    head->addRow(QStringLiteral("Company"), txtCompanyName);
    head->addRow(QStringLiteral("Street"), txtStreet1);
    head->addRow(QStringLiteral("City"), txtCity);
    head->addRow(QStringLiteral("Phone"), txtPhone);
    head->addRow(QString(), lblPriceClass);
    root->addLayout(head, 0, 0);

    auto *add = new QFormLayout;
    cboStone = named(new QComboBox(this), "cboStone");
    cboStone->setEditable(true);
    cboStone->setInsertPolicy(QComboBox::NoInsert);
    chkAllowMemoPriceOverWrite = named(new QCheckBox(QStringLiteral("allow Price overwrite"), this),
                                       "chkAllowMemoPriceOverWrite");
    const QString currency = m_ctx.settings.currencyName();
    lblPriceStone = named(new QLabel(QStringLiteral("Sell Price US$/Stone"), this), "lblPriceStone");
    lblPriceCarat = named(new QLabel(QStringLiteral("Sell Price %1/Stone").arg(currency), this), "lblPriceCarat");
    txtPriceUS = named(new QLineEdit(this), "txtPriceUS");
    numberBox(txtPriceUS);
    txtPriceLocal = named(new QLineEdit(this), "txtPriceLocal");
    numberBox(txtPriceLocal);
    cmdAddStone = named(new QPushButton(QStringLiteral("add Stone"), this), "cmdAddStone");
    cboParcel = named(new QComboBox(this), "cboParcel");
    lblParcelOnHand = named(new QLabel(this), "lblParcelOnHand");
    txtParcelCarat = named(new QLineEdit(this), "txtParcelCarat");
    numberBox(txtParcelCarat);
    cmdAddParcel = named(new QPushButton(QStringLiteral("add Parcel"), this), "cmdAddParcel");
    add->addRow(QStringLiteral("Stone"), cboStone);
    add->addRow(QString(), chkAllowMemoPriceOverWrite);
    add->addRow(lblPriceStone, txtPriceUS);
    add->addRow(lblPriceCarat, txtPriceLocal);
    add->addRow(QString(), cmdAddStone);
    add->addRow(QStringLiteral("Parcel"), cboParcel);
    add->addRow(QStringLiteral("Carats on hand"), lblParcelOnHand);
    add->addRow(QStringLiteral("Carats to add"), txtParcelCarat);
    add->addRow(QString(), cmdAddParcel);
    root->addLayout(add, 0, 1);

    optShowAsCurrent = named(new QRadioButton(QStringLiteral("current"), this), "optShowAsCurrent");
    optShowAsHistory = named(new QRadioButton(QStringLiteral("history"), this), "optShowAsHistory");
    optShowAsCurrent->setChecked(true);
    cmdBackToStock = named(new QPushButton(QStringLiteral("back to Stock"), this), "cmdBackToStock");
    cmdPrintConsignment = named(new QPushButton(QStringLiteral("print"), this), "cmdPrintConsignment");
    cmdSearch = named(new QPushButton(QStringLiteral("Search"), this), "cmdSearch");
    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{optShowAsCurrent, optShowAsHistory, cmdBackToStock,
                                                       cmdPrintConsignment, cmdSearch})
        bar->addWidget(w);
    root->addLayout(bar, 1, 0, 1, 2);
    grdLines = named(new QTableWidget(this), "grdLines");
    grdLines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdLines->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdLines->setSelectionMode(QAbstractItemView::SingleSelection);
    grdLines->verticalHeader()->hide();
    root->addWidget(grdLines, 2, 0, 1, 2);

    try {
        QSqlQuery q = db::exec(m_ctx.db(), QStringLiteral("SELECT ID, CompanyName FROM Customer ORDER BY CompanyName"));
        cboCustomer->addItem(QString(), 0);
        while (q.next())
            cboCustomer->addItem(q.value(0).toString() + QStringLiteral(" - ") + db::textOf(q.value(1)),
                                 q.value(0).toLongLong());
    } catch (const db::DbError &) {
    }

    connect(txtMemoID, &QLineEdit::returnPressed, this, [this] { loadSheet(txtMemoID->text().trimmed().toLongLong()); });
    connect(cmdThisCustomer, &QPushButton::clicked, this, &frmMemoSheet::thisCustomer);
    connect(cmdReference, &QPushButton::clicked, this, &frmMemoSheet::reference);
    connect(cboStone, &QComboBox::editTextChanged, this, [this](const QString &t) {
        if (cboStone->currentIndex() < 0 || cboStone->itemText(cboStone->currentIndex()) != t)
            fillStones(t);
    });
    connect(cboStone, &QComboBox::currentIndexChanged, this, &frmMemoSheet::stoneChosen);
    connect(cboParcel, &QComboBox::currentIndexChanged, this, &frmMemoSheet::parcelChosen);
    connect(chkAllowMemoPriceOverWrite, &QCheckBox::toggled, this, &frmMemoSheet::updateCommands);
    connect(cmdAddStone, &QPushButton::clicked, this, &frmMemoSheet::addStone);
    connect(cmdAddParcel, &QPushButton::clicked, this, &frmMemoSheet::addParcel);
    connect(cmdBackToStock, &QPushButton::clicked, this, &frmMemoSheet::backToStock);
    connect(optShowAsCurrent, &QRadioButton::toggled, this, &frmMemoSheet::refreshLines);
    connect(grdLines, &QTableWidget::itemSelectionChanged, this, &frmMemoSheet::updateCommands);
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmMemoSheet::updateCommands);
    // A line opens its stone, or its parcel in the stone screen's parcel mode.
    connect(grdLines, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        const qint64 id = cell(grdLines, row, QStringLiteral("ID")).toLongLong();
        if (cell(grdLines, row, QStringLiteral("Type")) == QLatin1String("P"))
            m_ctx.screens().openOlderParcel(id);
        else
            m_ctx.screens().openStone(id);
    });
    connect(cmdSearch, &QPushButton::clicked, this, [this] { m_ctx.screens().openStoneSearch(m_sheet); });
    connect(cmdPrintConsignment, &QPushButton::clicked, this, [this] {
        memos::MemoPrintRequest r;
        r.memoSheetId = m_sheet;
        r.options = memos::MemoFiles(m_ctx.workstation).printOptions();
        memos::printMemoSheet(m_ctx, r, printing::PrintTarget::defaultPrinter());
    });
    fillStones(QString());
    updateCommands();
    resize(1100, 700);
}

bool frmMemoSheet::loadSheet(qint64 memoSheetId)
{
    m_sheet = 0;
    m_customer = 0;
    m_editingRef = false;
    cmdReference->setText(QStringLiteral("Edit"));
    txtReference->setReadOnly(true);
    try {
        QSqlQuery q = db::exec(m_ctx.db(), QStringLiteral("SELECT Date, %1, CustomerID FROM MemoSheet WHERE ID=?").arg(memos::kMemoReferenceSql),
                               {memoSheetId});
        if (!q.next()) {
            m_ctx.prompt().inform(QStringLiteral("Memo Sheet# %1 does not exist.").arg(memoSheetId), kTitle);
            updateCommands();
            return false;
        }
        m_sheet = memoSheetId;
        txtMemoID->setText(QString::number(memoSheetId));
        txtDateCreated->setText(memos::memoDate(q.value(0).toDateTime()));
        txtReference->setText(db::textOf(q.value(1)));
        m_customer = q.value(2).toLongLong();
        txtCustomerID->setText(m_customer > 0 ? QString::number(m_customer) : QString());
        loadCustomer();
        QComboBox *c = cboParcel;
        const QSignalBlocker block(c);
        c->clear();
        c->addItem(QString(), 0);
        for (const parcels::OlderParcelEntry &p : parcels::olderParcels(m_ctx.db()))
            c->addItem(p.sku + QStringLiteral(" - ") + p.onHand.fixed(2) + QStringLiteral(" ct."), p.id);
        lblParcelOnHand->clear();
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(e.message(), kTitle, Icon::Critical);
    }
    refreshLines();
    return m_sheet != 0;
}

void frmMemoSheet::loadCustomer()
{
    for (QLineEdit *e : {txtCompanyName, txtStreet1, txtCity, txtPhone})
        e->clear();
    lblPriceClass->clear();
    if (m_customer <= 0)
        return;
    QSqlQuery q = db::exec(m_ctx.db(),
                           QStringLiteral("SELECT CompanyName, CompanyStreet1, CompanyCity, PhoneNumber1, PriceClass "
                                          "FROM Customer WHERE ID=?"),
                           {m_customer});
    if (!q.next())
        return;
    txtCompanyName->setText(db::textOf(q.value(0)));
    txtStreet1->setText(db::textOf(q.value(1)));
    txtCity->setText(db::textOf(q.value(2)));
    txtPhone->setText(db::textOf(q.value(3)));
    const int cls = q.value(4).toInt();
    lblPriceClass->setText(QStringLiteral("Price Class %1").arg(cls >= 1 && cls <= 4 ? cls : 1));
}

void frmMemoSheet::refreshLines()
{
    grdLines->clear();
    grdLines->setRowCount(0);
    grdLines->setColumnCount(0);
    if (m_sheet > 0) {
        try {
            const QString sign = m_ctx.settings.currencyName() + QLatin1Char('$');
            QSqlQuery q = db::exec(m_ctx.db(), memos::memoSheetLinesSql(m_sheet, optShowAsCurrent->isChecked(), sign,
                                                                        m_ctx.exchangeRateCDN));
            const QSqlRecord rec = q.record();
            grdLines->setColumnCount(rec.count());
            QStringList captions;
            for (int i = 0; i < rec.count(); ++i)
                captions << rec.fieldName(i);
            grdLines->setHorizontalHeaderLabels(captions);
            while (q.next()) {
                const int r = grdLines->rowCount();
                grdLines->insertRow(r);
                for (int i = 0; i < rec.count(); ++i)
                    grdLines->setItem(r, i, new QTableWidgetItem(db::textOf(q.value(i))));
            }
            for (const char *hidden : {"ID", "a", "b"})
                grdLines->setColumnHidden(column(grdLines, QString::fromLatin1(hidden)), true);
            grdLines->resizeColumnsToContents();
        } catch (const db::DbError &e) {
            m_ctx.prompt().inform(e.message(), kTitle, Icon::Critical);
        }
    }
    updateCommands();
}

void frmMemoSheet::fillStones(const QString &typed)
{
    const QSignalBlocker block(cboStone);
    const QString keep = cboStone->currentText();
    cboStone->clear();
    try {
        QString sql = QStringLiteral("SELECT ID, SKU FROM SingleStone WHERE Status='Stock' ");
        QVariantList binds;
        if (!typed.trimmed().isEmpty()) {
            sql += QStringLiteral("AND SKU LIKE ? ");
            QString t = typed.trimmed();
            t.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
                .replace(QLatin1Char('%'), QStringLiteral("\\%"))
                .replace(QLatin1Char('_'), QStringLiteral("\\_"));
            binds << t + QLatin1Char('%');
        }
        QSqlQuery q = db::exec(m_ctx.db(), sql + QStringLiteral("ORDER BY SKU LIMIT 500"), binds);
        while (q.next())
            cboStone->addItem(db::textOf(q.value(1)), q.value(0).toLongLong());
    } catch (const db::DbError &) {
    }
    cboStone->setCurrentIndex(-1);
    cboStone->setEditText(keep);
}

void frmMemoSheet::stoneChosen()
{
    m_proposedUS.clear();
    m_proposedLocal.clear();
    const qint64 id = cboStone->currentData().toLongLong();
    if (id > 0) {
        const QString digit = QRegularExpression(QStringLiteral("\\d")).match(lblPriceClass->text()).captured();
        const int cls = digit.isEmpty() ? 1 : digit.toInt();
        if (cls >= 1 && cls <= 3) {
            const QString n = cls == 1 ? QString() : QString::number(cls);
            QSqlQuery q = db::exec(m_ctx.db(),
                                   QStringLiteral("SELECT LockPercent, RapaportPrice, Carat, SellOffRap%1, SellPriceUS%1 "
                                                  "FROM SingleStone WHERE ID=?")
                                       .arg(n),
                                   {id});
            if (q.next()) {
                // A floating stone's price by the one selling-price rule; the
                // local price at the working rate, none at an unknown one.
                const Decimal5 us = db::flagOf(q.value(0))
                                        ? Decimal5::fromDb(q.value(4)).rounded(2)
                                        : pricing::sellPerStone(Decimal5::fromDb(q.value(1)), Decimal5::fromDb(q.value(3)),
                                                                Decimal5::fromDb(q.value(2)),
                                                                pricing::sellingPriceStep(m_ctx.settings));
                m_proposedUS = us.fixed(2);
                const std::optional<Decimal5> local = convertedAmount(us, m_ctx.exchangeRateCDN);
                m_proposedLocal = local ? local->fixed(2) : QString();
            }
        }
    }
    txtPriceUS->setText(m_proposedUS);
    txtPriceLocal->setText(m_proposedLocal);
    updateCommands();
}

void frmMemoSheet::parcelChosen()
{
    const qint64 id = cboParcel->currentData().toLongLong();
    lblParcelOnHand->clear();
    if (id > 0)
        for (const parcels::OlderParcelEntry &p : parcels::olderParcels(m_ctx.db()))
            if (p.id == id)
                lblParcelOnHand->setText(p.onHand.fixed(2));
    updateCommands();
}

void frmMemoSheet::thisCustomer()
{
    const qint64 c = cboCustomer->currentData().toLongLong();
    if (!mayWrite(m_ctx, rights::Memo))
        return;
    if (c <= 0) {
        m_ctx.prompt().inform(QStringLiteral("You need to select a Customer first!"),
                              QStringLiteral("Missing Customer Information"), Icon::Exclamation);
        return;
    }
    try {
        // Only a sheet still without a customer takes one.
        if (db::execAffected(m_ctx.db(),
                             QStringLiteral("UPDATE MemoSheet SET CustomerID=? WHERE ID=? AND "
                                            "(CustomerID IS NULL OR CustomerID=0)"),
                             {c, m_sheet})
            != 1)
            m_ctx.prompt().inform(QStringLiteral("This Memo Sheet already belongs to a Customer."), kTitle);
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(e.message(), kTitle, Icon::Critical);
    }
    loadSheet(m_sheet);
}

void frmMemoSheet::reference()
{
    if (!m_editingRef) {
        m_editingRef = true;
        txtReference->setReadOnly(false);
        cmdReference->setText(QStringLiteral("Save"));
        return;
    }
    const QString text = txtReference->text().trimmed();
    try {
        const QString stored = db::textOf(db::scalar(
            m_ctx.db(), QStringLiteral("SELECT %1 FROM MemoSheet WHERE ID=?").arg(memos::kMemoReferenceSql), {m_sheet}));
        if (text != stored) {
            if (!text.isEmpty()
                && db::scalar(m_ctx.db(),
                              QStringLiteral("SELECT ID FROM MemoSheet WHERE ID<>? AND %1=? LIMIT 1").arg(memos::kMemoReferenceSql),
                              {m_sheet, text})
                       .isValid()) {
                m_ctx.prompt().inform(QStringLiteral("This Reference Number is already in use for another Memo Sheet,\r\n"
                                                     "You must use another Reference for this Memo Sheet!"),
                                      QStringLiteral("Duplicate Reference Number found"), Icon::Exclamation);
                return;
            }
            // The one reference of the sheet, as the memo screen writes it.
            if (!memos::saveMemoRef(m_ctx, m_sheet, text))
                return;
        }
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(e.message(), kTitle, Icon::Critical);
        return;
    }
    m_editingRef = false;
    txtReference->setReadOnly(true);
    cmdReference->setText(QStringLiteral("Edit"));
}

void frmMemoSheet::addStone()
{
    qint64 id = cboStone->currentData().toLongLong();
    if (id <= 0 || cboStone->currentText() != cboStone->itemText(cboStone->currentIndex())) {
        // A typed SKU: any stone of that SKU, so that a sold or held one gets
        // its own message.
        QVariantList binds;
        const QString sku = db::sameIdentifier(QStringLiteral("SKU"), cboStone->currentText(), binds);
        id = db::scalar(m_ctx.db(), QStringLiteral("SELECT ID FROM SingleStone WHERE %1 ORDER BY ID LIMIT 1").arg(sku),
                        binds)
                 .toLongLong();
        if (id <= 0) {
            m_ctx.prompt().inform(QStringLiteral("Unknown Stone"), QStringLiteral("Stone Status"), Icon::Exclamation);
            return;
        }
    }
    const bool overwrite = chkAllowMemoPriceOverWrite->isChecked();
    const QString us = overwrite ? txtPriceUS->text() : m_proposedUS;
    const QString local = overwrite ? txtPriceLocal->text() : m_proposedLocal;
    const bool changed = overwrite && (us.trimmed() != m_proposedUS || local.trimmed() != m_proposedLocal);
    if (memos::putOnMemoAtPrice(m_ctx, m_sheet, id, us, local, changed).ok()) {
        fillStones(QString());
        stoneChosen();
    }
    refreshLines();
}

void frmMemoSheet::addParcel()
{
    const qint64 id = cboParcel->currentData().toLongLong();
    if (id <= 0)
        return;
    const bool overwrite = chkAllowMemoPriceOverWrite->isChecked();
    QString us, local;
    if (overwrite) {
        us = txtPriceUS->text();
        local = txtPriceLocal->text();
    } else {
        QSqlQuery q = db::exec(m_ctx.db(),
                               QStringLiteral("SELECT CAST(PriceUSPerCarat AS CHAR), CAST(PriceLocalPerCarat AS CHAR) "
                                              "FROM ParcelStock WHERE ID=?"),
                               {id});
        if (q.next()) {
            us = db::textOf(q.value(0));
            local = db::textOf(q.value(1));
        }
    }
    const parcels::Outcome o = parcels::addOlderParcelToMemo(m_ctx, m_sheet, id, txtParcelCarat->text(), us, local);
    if (o.result == parcels::Result::Done) {
        txtParcelCarat->clear();
        loadSheet(m_sheet);
        return;
    }
    refreshLines();
}

void frmMemoSheet::backToStock()
{
    const int row = grdLines->currentRow();
    if (row < 0)
        return;
    const qint64 id = cell(grdLines, row, QStringLiteral("ID")).toLongLong();
    const bool parcel = cell(grdLines, row, QStringLiteral("Type")) == QLatin1String("P");
    QString weight = cell(grdLines, row, QStringLiteral("Weight"));
    QString of;
    parcels::Decimal5 out;
    if (parcel) {
        out = parcels::olderParcelOnSheet(m_ctx.db(), m_sheet, id);
        weight = out.fixed(2);
        of = QStringLiteral(" of ")
             + parcels::Decimal5::fromDb(db::scalar(m_ctx.db(),
                                                    QStringLiteral("SELECT CAST(Carat AS CHAR) FROM ParcelStock WHERE ID=?"),
                                                    {id}))
                   .fixed(2);
    }
    const QString crlf = QStringLiteral("\r\n");
    const QString ask = QStringLiteral("Are you sure you want to return ")
                        + (parcel ? QStringLiteral("the Parcel ") : QStringLiteral("the Diamond ")) + crlf
                        + QStringLiteral("SKU#: ") + cell(grdLines, row, QStringLiteral("SKU")) + crlf
                        + QStringLiteral("Carat: ") + weight + of + crlf + QStringLiteral("Colour: ")
                        + cell(grdLines, row, QStringLiteral("Colour")) + crlf + QStringLiteral("Clarity: ")
                        + cell(grdLines, row, QStringLiteral("Clarity")) + crlf + QStringLiteral("Cut: ")
                        + cell(grdLines, row, QStringLiteral("Cut")) + crlf + QStringLiteral("from the Memo Sheet?");
    if (!m_ctx.prompt().askYesNo(ask, QStringLiteral("Removing Stone from Memo Sheet")))
        return;
    if (parcel) {
        if (parcels::returnOlderParcelFromMemo(m_ctx, m_sheet, id, out.toDb()).result == parcels::Result::Done) {
            loadSheet(m_sheet);
            return;
        }
    } else {
        memos::returnToStock(m_ctx, m_sheet, id, m_ctx.user.ID);
        fillStones(QString());
    }
    refreshLines();
}

void frmMemoSheet::updateCommands()
{
    const bool open = m_sheet > 0;
    const bool hasCustomer = open && m_customer > 0;
    const bool memo = mayUse(m_ctx, rights::Memo);
    const bool mayMove = hasCustomer && memo;
    cmdThisCustomer->setEnabled(open && m_customer <= 0 && memo);
    cboCustomer->setEnabled(open && m_customer <= 0 && memo);
    cmdReference->setEnabled(open && memo);
    cmdAddStone->setEnabled(mayMove);
    cmdAddParcel->setEnabled(mayMove && cboParcel->currentData().toLongLong() > 0);
    txtPriceUS->setReadOnly(!chkAllowMemoPriceOverWrite->isChecked());
    txtPriceLocal->setReadOnly(!chkAllowMemoPriceOverWrite->isChecked());
    cmdBackToStock->setEnabled(mayMove && grdLines->currentRow() >= 0);
    cmdPrintConsignment->setEnabled(open);
    cmdSearch->setEnabled(open && m_ctx.screens().available(Screen::StoneSearch));
}

} // namespace velmor::ui
