#include "stones/frmItemDiamondSearch.h"

#include "core/KnownRates.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "core/widgets/WindowPlacement.h"
#include "db/BackgroundRead.h"
#include "db/ConvertSql.h"
#include "db/Sql.h"
#include "pricing/Grades.h"
#include "stones/frmDiamondSearchPrinting.h"
#include "stones/frmExportOptions.h"
#include "stones/StoneFiles.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

using namespace stones;

// The grid model ---------------------------------------------------------------------

std::optional<SearchTotals> SearchGridModel::reset(const QSqlDatabase &db, const StoneSearchFilter &f,
                                                  const SearchOrder &order, bool read)
{
    beginResetModel();
    m_db = db;
    m_filter = f;
    m_order = order;
    m_rows.clear();
    m_more = false;
    std::optional<SearchTotals> totals;
    if (read) {
        try {
            FirstPage p = firstPage(db, f, order, kPage);
            m_rows = std::move(p.rows);
            m_more = !p.totals;
            totals = p.totals;
            m_icons.clear();
            readIcons(0);
        } catch (...) {
            endResetModel();
            throw;
        }
    }
    endResetModel();
    return totals;
}

int SearchGridModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int SearchGridModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()) + 1; }

void SearchGridModel::setPictures(bool on)
{
    if (on == m_pictures)
        return;
    m_pictures = on;
    if (on)
        readIcons(0);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, pictureColumn()), index(int(m_rows.size()) - 1, pictureColumn()));
}

void SearchGridModel::readIcons(int from)
{
    if (!m_pictures || from >= m_rows.size())
        return;
    QList<qint64> ids;
    for (int i = from; i < m_rows.size(); ++i)
        ids << m_rows.at(i).id;
    try {
        const QHash<qint64, QImage> icons = mainIcons(m_db, ids);
        for (auto it = icons.begin(); it != icons.end(); ++it)
            m_icons.insert(it.key(), QPixmap::fromImage(it.value()));
    } catch (const db::DbError &) {
        // The column stays empty; the grid works on.
    }
}

QVariant SearchGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (index.column() == pictureColumn())
        return role == Qt::DecorationRole && m_pictures ? QVariant(m_icons.value(m_rows.at(index.row()).id)) : QVariant();
    if (role == Qt::DisplayRole)
        return m_rows.at(index.row()).cells.value(index.column());
    if (role == Qt::TextAlignmentRole && (index.column() == ColWeight || index.column() == ColRapPerStone))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant SearchGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role == Qt::DisplayRole && o == Qt::Horizontal)
        return section == pictureColumn() ? QStringLiteral("Picture") : m_columns.value(section);
    return QAbstractTableModel::headerData(section, o, role);
}

bool SearchGridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void SearchGridModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid())
        return;
    QList<SearchRow> more;
    try {
        more = searchRows(m_db, m_filter, m_order, int(m_rows.size()), kPage);
    } catch (const db::DbError &) {
    }
    // A short page is the last (and an empty one: the stock changed under
    // the search, what is there is all there is).
    m_more = more.size() == kPage;
    if (more.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + more.size() - 1));
    const int from = int(m_rows.size());
    m_rows << more;
    readIcons(from);
    endInsertRows();
}

// The screen -------------------------------------------------------------------------

frmItemDiamondSearch::frmItemDiamondSearch(AppContext &ctx, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_model(new SearchGridModel(this)),
      m_totals(new db::BackgroundRead(ctx.connection, ctx.db(), this))
{
    setObjectName(QStringLiteral("frmItemDiamondSearch"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Diamond Search"));
    openUrl = [](const QUrl &u) { return QDesktopServices::openUrl(u); };
    chooseFile = [this](const QString &caption, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, caption, suggested);
    };
    chooseFolder = [this] { return QFileDialog::getExistingDirectory(this, QStringLiteral("Export into folder")); };
    build();
    fillLists();
    restoreFilters();
    m_restored = true;
    search();
}

frmItemDiamondSearch::~frmItemDiamondSearch() = default;

void frmItemDiamondSearch::build()
{
    auto check = [this](const char *name, const QString &caption) { return named(new QCheckBox(caption, this), name); };
    auto combo = [this](const char *name, bool editable) {
        auto *c = named(new QComboBox(this), name);
        c->setEditable(editable);
        c->setInsertPolicy(QComboBox::NoInsert);
        return c;
    };
    auto line = [this](const char *name) { return named(new QLineEdit(this), name); };

    chkInStock = check("chkInStock", QStringLiteral("In stock"));
    chkMemo = check("chkMemo", QStringLiteral("Memo"));
    chkReturned = check("chkReturned", QStringLiteral("Returned"));
    chkPreSold = check("chkPreSold", QStringLiteral("Sold, not paid"));
    chkSold = check("chkSold", QStringLiteral("Sold"));
    chkHEREonMEMO = check("chkHEREonMEMO", QStringLiteral("Here on memo"));
    chkAllowRange = check("chkAllowRange", QStringLiteral("+/- 15%"));
    chkCanadian = check("chkCanadian", QStringLiteral("Canadian"));
    chkNoneCanadian = check("chkNoneCanadian", QStringLiteral("Not Canadian"));
    chkLabGrown = check("chkLabGrown", QStringLiteral("Lab grown"));
    chkNONELabGrown = check("chkNONELabGrown", QStringLiteral("Natural"));
    chkFinished = check("chkFinished", QStringLiteral("Finished pieces"));
    chkExcludeBoundStones = check("chkExcludeBoundStones", QStringLiteral("Not bound"));
    chkOnlyBound = check("chkOnlyBound", QStringLiteral("Only bound"));
    cboCustomer = combo("cboCustomer", false);
    cboShape = combo("cboShape", true);
    cboLab = combo("cboLab", true);
    cboCut = combo("cboCut", true);
    cboFlourescence = combo("cboFlourescence", true);
    cboLowColour = combo("cboLowColour", true);
    cboHighColour = combo("cboHighColour", true);
    cboLowClarity = combo("cboLowClarity", true);
    cboHighClarity = combo("cboHighClarity", true);
    txtSKU = line("txtSKU");
    txtCertificate = line("txtCertificate");
    txtLot = line("txtLot");
    txtLowWeight = line("txtLowWeight");
    txtHighWeight = line("txtHighWeight");
    numberBox(txtLowWeight);
    numberBox(txtHighWeight);
    DTPicker1 = named(new QDateEdit(this), "DTPicker1");
    // The lowest date stands for "no date": the box shows nothing then.
    DTPicker1->setMinimumDate(QDate(1900, 1, 1));
    DTPicker1->setSpecialValueText(QStringLiteral(" "));
    DTPicker1->setDate(DTPicker1->minimumDate());
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    optClass1 = named(new QRadioButton(QStringLiteral("Class 1"), this), "optClass1");
    optClass2 = named(new QRadioButton(QStringLiteral("Class 2"), this), "optClass2");
    optClass3 = named(new QRadioButton(QStringLiteral("Class 3"), this), "optClass3");
    optClass1->setChecked(true);
    txtQTY = line("txtQTY");
    txtTotalRap = line("txtTotalRap");
    txtExchangeRate = line("txtExchangeRate");
    for (QLineEdit *e : {txtQTY, txtTotalRap, txtExchangeRate})
        e->setReadOnly(true);
    txtExchangeRate->setMinimumWidth(txtExchangeRate->fontMetrics().horizontalAdvance(QStringLiteral("US$ 1.00 = 00.00000")) + 16);
    lblMEMOid = named(new QLabel(this), "lblMEMOid");
    lblMEMOcust = named(new QLabel(this), "lblMEMOcust");
    grdResult = named(new QTableView(this), "grdResult");
    grdResult->setModel(m_model);
    grdResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdResult->setSelectionMode(QAbstractItemView::SingleSelection);
    grdResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdResult->verticalHeader()->hide();
    grdResult->horizontalHeader()->setSectionsClickable(true);
    grdResult->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // The purchase column shows costs: only for those who may see them.
    grdResult->setColumnHidden(ColBought, !m_ctx.user.ViewCost);
    // The picture column stands first, shown when "Pictures" is ticked.
    grdResult->horizontalHeader()->moveSection(m_model->pictureColumn(), 0);
    grdResult->setColumnHidden(m_model->pictureColumn(), true);
    grdResult->setIconSize(QSize(48, 48));
    chkPictures = named(new QCheckBox(QStringLiteral("Pictures"), this), "chkPictures");
    tmrSearch = named(new QTimer(this), "tmrSearch");
    tmrSearch->setSingleShot(true);
    tmrSearch->setInterval(10);

    auto button = [this](const char *name, const QString &caption) {
        return named(new QPushButton(caption, this), name);
    };
    cmdPrint = button("cmdPrint", QStringLiteral("&Print..."));
    QPushButton *cmdExport = button("cmdExport", QStringLiteral("&Export list..."));
    QPushButton *cmdExport1 = button("cmdExport1", QStringLiteral("Export list (&2)..."));
    QPushButton *Command1 = button("Command1", QStringLiteral("&Trading network file..."));
    QPushButton *cmdEMail = button("cmdEMail", QStringLiteral("E-&Mail list..."));
    QPushButton *cmdFaxList = button("cmdFaxList", QStringLiteral("&Fax list"));
    QPushButton *cmdExportFiles = button("cmdExportFiles", QStringLiteral("Export pictures and certificates..."));
    QPushButton *cmdMergeWithItem = button("cmdMergeWithItem", QStringLiteral("Bind to item"));
    QPushButton *cmdBack = button("cmdBack", QStringLiteral("&Back"));
    QPushButton *cmdHome = button("cmdHome", QStringLiteral("&Home"));
    // Jewellery items are not kept by this program.
    cmdMergeWithItem->setEnabled(m_ctx.screens().available(Screen::Item));

    // Layout
    auto *root = new QVBoxLayout(this);
    auto *memo = new QHBoxLayout;
    memo->addWidget(lblMEMOid);
    memo->addWidget(lblMEMOcust, 1);
    memo->addWidget(txtExchangeRate);
    root->addLayout(memo);

    auto *status = new QHBoxLayout;
    for (QCheckBox *c : {chkInStock, chkMemo, chkReturned, chkPreSold, chkSold, chkHEREonMEMO})
        status->addWidget(c);
    status->addWidget(new QLabel(QStringLiteral("Customer"), this));
    status->addWidget(cboCustomer, 1);
    root->addLayout(status);

    auto *g = new QGridLayout;
    int col = 0;
    auto pair = [&](int row, const QString &caption, QWidget *w) {
        g->addWidget(new QLabel(caption, this), row, col);
        g->addWidget(w, row, col + 1);
    };
    pair(0, QStringLiteral("SKU"), txtSKU);
    pair(1, QStringLiteral("Certificate"), txtCertificate);
    pair(2, QStringLiteral("Lot"), txtLot);
    col = 2;
    pair(0, QStringLiteral("Shape"), cboShape);
    pair(1, QStringLiteral("Laboratory"), cboLab);
    pair(2, QStringLiteral("Cut"), cboCut);
    col = 4;
    pair(0, QStringLiteral("Fluorescence"), cboFlourescence);
    pair(1, QStringLiteral("Weight from"), txtLowWeight);
    pair(2, QStringLiteral("Weight to"), txtHighWeight);
    col = 6;
    pair(0, QStringLiteral("Colour from"), cboLowColour);
    pair(1, QStringLiteral("Colour to"), cboHighColour);
    pair(2, QStringLiteral("Created on"), DTPicker1);
    col = 8;
    pair(0, QStringLiteral("Clarity from"), cboLowClarity);
    pair(1, QStringLiteral("Clarity to"), cboHighClarity);
    g->addWidget(chkAllowRange, 2, 9);
    root->addLayout(g);

    auto *flags = new QHBoxLayout;
    for (QCheckBox *c : {chkCanadian, chkNoneCanadian, chkLabGrown, chkNONELabGrown, chkFinished,
                         chkExcludeBoundStones, chkOnlyBound})
        flags->addWidget(c);
    flags->addStretch(1);
    // The grid's picture column: a choice of what the list shows, beside the
    // other view choices (the command row is full at 1366 pixels).
    flags->addWidget(chkPictures);
    for (QRadioButton *o : {optClass1, optClass2, optClass3})
        flags->addWidget(o);
    root->addLayout(flags);
    root->addWidget(grdResult, 1);

    // The count and the total on a line of their own, wide enough for a
    // large stock's figures; the commands below them take the full width.
    auto *totals = new QHBoxLayout;
    totals->addWidget(new QLabel(QStringLiteral("Stones"), this));
    txtQTY->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000,000")) + 16);
    totals->addWidget(txtQTY);
    totals->addWidget(new QLabel(QStringLiteral("Total RAP US$"), this));
    txtTotalRap->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000,000,000.00")) + 16);
    totals->addWidget(txtTotalRap);
    totals->addStretch(1);
    root->addLayout(totals);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    for (QPushButton *b : {cmdPrint, cmdExport, cmdExport1, Command1, cmdEMail, cmdFaxList, cmdExportFiles, cmdMergeWithItem,
                           cmdBack, cmdHome})
        bottom->addWidget(b);
    root->addLayout(bottom);

    // Every filter restarts the timer.
    for (QLineEdit *e : {txtSKU, txtCertificate, txtLot, txtLowWeight, txtHighWeight})
        connect(e, &QLineEdit::textChanged, this, &frmItemDiamondSearch::later);
    for (QComboBox *c : {cboCustomer, cboShape, cboLab, cboCut, cboFlourescence, cboLowColour, cboHighColour,
                         cboLowClarity, cboHighClarity})
        connect(c, &QComboBox::currentTextChanged, this, &frmItemDiamondSearch::later);
    for (QCheckBox *c : findChildren<QCheckBox *>())
        connect(c, &QCheckBox::toggled, this, &frmItemDiamondSearch::later);
    connect(DTPicker1, &QDateEdit::dateChanged, this, &frmItemDiamondSearch::later);
    for (QRadioButton *o : {optClass1, optClass2, optClass3})
        connect(o, &QRadioButton::toggled, this, &frmItemDiamondSearch::later);
    // Ticking one of the bound filters unticks the other.
    connect(chkExcludeBoundStones, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chkOnlyBound->setChecked(false);
    });
    connect(chkOnlyBound, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chkExcludeBoundStones->setChecked(false);
    });
    connect(tmrSearch, &QTimer::timeout, this, &frmItemDiamondSearch::search);
    connect(m_totals, &db::BackgroundRead::done, this, [this](quint64, const QVariant &answer) {
        const QVariantList v = answer.toList();
        showTotals(SearchTotals{v.value(0).toLongLong(), v.value(1).toDouble()});
    });
    connect(m_totals, &db::BackgroundRead::failed, this,
            [this](quint64, const QString &message, bool noConnection) { totalsFailed(message, noConnection); });
    connect(grdResult->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmItemDiamondSearch::headingClicked);
    connect(grdResult, &QTableView::doubleClicked, this, [this](const QModelIndex &i) { rowChosen(i.row()); });
    connect(grdResult, &QTableView::activated, this, [this](const QModelIndex &i) { rowChosen(i.row()); });
    connect(cmdPrint, &QPushButton::clicked, this, &frmItemDiamondSearch::print);
    connect(cmdExport, &QPushButton::clicked, this, [this] { exportWith(true, 1); });
    connect(cmdExport1, &QPushButton::clicked, this, [this] { exportWith(true, 2); });
    connect(cmdEMail, &QPushButton::clicked, this, [this] { exportWith(false, 1); });
    connect(cmdFaxList, &QPushButton::clicked, this, &frmItemDiamondSearch::writeFaxList);
    connect(chkPictures, &QCheckBox::toggled, this,
            [this, normalRow = grdResult->verticalHeader()->defaultSectionSize()](bool on) {
                m_model->setPictures(on);
                grdResult->setColumnHidden(m_model->pictureColumn(), !on);
                grdResult->verticalHeader()->setDefaultSectionSize(on ? 52 : normalRow);
            });
    connect(cmdExportFiles, &QPushButton::clicked, this, [this] {
        const QString folder = chooseFolder();
        if (!folder.isEmpty())
            exportFiles(folder);
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        const QString f = chooseFile(QStringLiteral("Trading network file"), QStringLiteral("stones.csv"));
        if (!f.isEmpty())
            exportTradeNetwork(f);
    });
    connect(cmdBack, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdHome, &QPushButton::clicked, this, [this] {
        close();
        m_ctx.screens().showHome();
    });
    resize(1300, 700);
}

void frmItemDiamondSearch::fillLists()
{
    m_filling = true;
    const QSqlDatabase db = m_ctx.db();
    cboCustomer->clear();
    cboCustomer->addItem(QStringLiteral("all customers..."), qint64(0));
    auto distinct = [&](QComboBox *c, const char *column) {
        c->clear();
        c->addItem(QStringLiteral("*"));
        try {
            QSqlQuery q = db::exec(db, QStringLiteral("SELECT DISTINCT %1 FROM SingleStone WHERE %1 <> '' ORDER BY %1")
                                           .arg(QLatin1String(column)));
            while (q.next())
                c->addItem(q.value(0).toString());
        } catch (const db::DbError &) {
        }
    };
    try {
        QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer <> 0 "
                                                  "ORDER BY CompanyName"));
        while (q.next())
            cboCustomer->addItem(q.value(1).toString() + QStringLiteral("   --- ") + q.value(0).toString(),
                                 q.value(0).toLongLong());
    } catch (const db::DbError &) {
    }
    distinct(cboShape, "Shape");
    distinct(cboLab, "Laboratory");
    distinct(cboCut, "Cut");
    distinct(cboFlourescence, "Flourescence");
    QStringList colours, clarities;
    try {
        colours = pricing::gradeComboEntries(db, pricing::GradeKind::Colour, false);
        clarities = pricing::gradeComboEntries(db, pricing::GradeKind::Clarity, false);
    } catch (const db::DbError &) {
    }
    for (QComboBox *c : {cboLowColour, cboHighColour}) {
        c->clear();
        c->addItems(colours.isEmpty() ? QStringList{QString()} : colours);
    }
    for (QComboBox *c : {cboLowClarity, cboHighClarity}) {
        c->clear();
        c->addItems(clarities.isEmpty() ? QStringList{QString()} : clarities);
    }
    // "???" while the rate is not known, as the stone screen's title shows it.
    txtExchangeRate->setText(QStringLiteral("US$ 1.00 = ") + rateText(m_ctx.exchangeRateCDN, 5));
    m_filling = false;
}

void frmItemDiamondSearch::later()
{
    if (m_filling)
        return;
    // The filters are kept at each change: a program that ends with the
    // search open loses none of them.
    if (m_restored)
        saveFilters();
    tmrSearch->start();
}

StoneSearchFilter frmItemDiamondSearch::filter() const
{
    StoneSearchFilter f;
    f.inStock = chkInStock->isChecked();
    f.memo = chkMemo->isChecked();
    f.returned = chkReturned->isChecked();
    f.preSold = chkPreSold->isChecked();
    f.sold = chkSold->isChecked();
    f.customerId = cboCustomer->currentIndex() > 0 ? cboCustomer->currentData().toLongLong() : 0;
    f.hereOnMemo = chkHEREonMEMO->isChecked();
    f.sku = txtSKU->text();
    f.certificate = txtCertificate->text();
    f.lot = txtLot->text();
    f.shape = cboShape->currentText();
    f.lab = cboLab->currentText();
    f.cut = cboCut->currentText();
    f.fluorescence = cboFlourescence->currentText();
    f.lowWeight = txtLowWeight->text();
    f.highWeight = txtHighWeight->text();
    f.allowRange = chkAllowRange->isChecked();
    // The numeric value at the start of the entry ("50 - G" is 50).
    f.lowColour = pricing::gradeNumberOfEntry(cboLowColour->currentText());
    f.highColour = pricing::gradeNumberOfEntry(cboHighColour->currentText());
    f.lowClarity = pricing::gradeNumberOfEntry(cboLowClarity->currentText());
    f.highClarity = pricing::gradeNumberOfEntry(cboHighClarity->currentText());
    if (DTPicker1->date() != DTPicker1->minimumDate())
        f.day = DTPicker1->date();
    f.canadian = chkCanadian->isChecked();
    f.notCanadian = chkNoneCanadian->isChecked();
    f.labGrown = chkLabGrown->isChecked();
    f.natural = chkNONELabGrown->isChecked();
    f.finished = chkFinished->isChecked();
    f.excludeBound = chkExcludeBoundStones->isChecked();
    f.onlyBound = chkOnlyBound->isChecked();
    f.priceClass = optClass3->isChecked() ? 3 : optClass2->isChecked() ? 2 : 1;
    return f;
}

void frmItemDiamondSearch::search()
{
    tmrSearch->stop();
    const StoneSearchFilter f = filter();
    // A weight that cannot be read is refused, never searched as no filter.
    const QString refused = weightRefusal(f.lowWeight, f.highWeight);
    for (QLineEdit *e : {txtLowWeight, txtHighWeight})
        e->setToolTip(QString());
    if (!refused.isEmpty()) {
        QLineEdit *bad = refused.contains(QLatin1String("Weight from")) ? txtLowWeight : txtHighWeight;
        bad->setToolTip(refused);
        m_model->reset(m_ctx.db(), f, m_order, 0);
        txtQTY->setText(QStringLiteral("?"));
        txtQTY->setToolTip(refused);
        txtTotalRap->clear();
        return;
    }
    txtQTY->setToolTip(QString());
    txtTotalRap->setToolTip(QString());
    std::optional<SearchTotals> totals;
    try {
        totals = m_model->reset(m_ctx.db(), f, m_order);
    } catch (const db::DbError &e) {
        m_totals->cancel();
        m_model->reset(m_ctx.db(), f, m_order, false);
        txtQTY->setText(QStringLiteral("?"));
        txtTotalRap->clear();
        txtTotalRap->setToolTip(e.message());
        return;
    }
    if (m_model->rowCount() > 0)
        grdResult->resizeColumnsToContents();
    if (totals) {
        m_totals->cancel();
        showTotals(*totals);
        return;
    }
    // Counted on the side: the boxes stay empty until the totals of this
    // search arrive (an older search's never show).
    txtQTY->clear();
    txtTotalRap->clear();
    txtQTY->setToolTip(QStringLiteral("Counting ..."));
    m_totals->request([f](const QSqlDatabase &db) {
        const SearchTotals t = searchTotals(db, f);
        return QVariant(QVariantList{t.count, t.rapSum});
    });
}

void frmItemDiamondSearch::showTotals(const SearchTotals &t)
{
    txtQTY->setToolTip(QString());
    txtTotalRap->setToolTip(QString());
    txtQTY->setText(QString::number(t.count));
    txtTotalRap->setText(moneyText(t.rapSum));
}

void frmItemDiamondSearch::totalsFailed(const QString &message, bool noConnection)
{
    if (noConnection) {
        // No second connection: counted here, on the screen's own.
        try {
            showTotals(searchTotals(m_ctx.db(), m_model->filter()));
            return;
        } catch (const db::DbError &e) {
            totalsFailed(e.message(), false);
            return;
        }
    }
    txtQTY->setText(QStringLiteral("?"));
    txtQTY->setToolTip(QString());
    txtTotalRap->clear();
    txtTotalRap->setToolTip(message);
}

QList<SearchRow> frmItemDiamondSearch::allRows() const
{
    // The rows the grid shows: the filters and order of its last search.
    return searchRows(m_ctx.db(), m_model->filter(), m_model->order());
}

void frmItemDiamondSearch::headingClicked(int column)
{
    m_order.click(searchColumns().value(column));
    search();
}

void frmItemDiamondSearch::rowChosen(int row)
{
    if (row < 0 || row >= m_model->loaded().size())
        return;
    m_ctx.screens().openStone(m_model->loaded().at(row).id);
}

void frmItemDiamondSearch::setMemoSheet(qint64 memoSheetId)
{
    lblMEMOid->clear();
    lblMEMOcust->clear();
    if (memoSheetId <= 0)
        return;
    lblMEMOid->setText(QStringLiteral("MEMO# ") + QString::number(memoSheetId));
    try {
        lblMEMOcust->setText(db::scalar(m_ctx.db(),
                                        QStringLiteral("SELECT customer.CompanyName FROM memosheet INNER JOIN customer "
                                                       "ON memosheet.customerid = customer.id WHERE memosheet.id = ?"),
                                        {memoSheetId})
                                 .toString());
    } catch (const db::DbError &) {
    }
}

// searchtable.ini ----------------------------------------------------------------------

void frmItemDiamondSearch::saveFilters() const
{
    SavedSearch s;
    s.sku = txtSKU->text();
    s.shape = cboShape->currentText();
    s.day = DTPicker1->date() != DTPicker1->minimumDate() ? DTPicker1->date().toString(Qt::ISODate) : QString();
    s.lab = cboLab->currentText();
    s.highWeight = txtHighWeight->text();
    s.lowWeight = txtLowWeight->text();
    s.highColour = cboHighColour->currentText();
    s.lowColour = cboLowColour->currentText();
    s.highClarity = cboHighClarity->currentText();
    s.lowClarity = cboLowClarity->currentText();
    s.allowRange = chkAllowRange->isChecked();
    s.inStock = chkInStock->isChecked();
    s.memo = chkMemo->isChecked();
    s.preSold = chkPreSold->isChecked();
    s.sold = chkSold->isChecked();
    s.certificate = txtCertificate->text();
    writeSavedSearch(m_ctx.workstation, s);
}

void frmItemDiamondSearch::restoreFilters()
{
    const SavedSearch s = readSavedSearch(m_ctx.workstation);
    m_filling = true;
    auto setCombo = [](QComboBox *c, const QString &text) {
        const int i = c->findText(text);
        if (i >= 0)
            c->setCurrentIndex(i);
        else
            c->setEditText(text);
    };
    txtSKU->setText(s.sku);
    setCombo(cboShape, s.shape.isEmpty() ? QStringLiteral("*") : s.shape);
    const QDate day = QDate::fromString(s.day, Qt::ISODate);
    DTPicker1->setDate(day.isValid() ? day : DTPicker1->minimumDate());
    setCombo(cboLab, s.lab.isEmpty() ? QStringLiteral("*") : s.lab);
    txtHighWeight->setText(s.highWeight);
    txtLowWeight->setText(s.lowWeight);
    setCombo(cboHighColour, s.highColour);
    setCombo(cboLowColour, s.lowColour);
    setCombo(cboHighClarity, s.highClarity);
    setCombo(cboLowClarity, s.lowClarity);
    chkAllowRange->setChecked(s.allowRange);
    chkInStock->setChecked(s.inStock);
    chkMemo->setChecked(s.memo);
    chkPreSold->setChecked(s.preSold);
    chkSold->setChecked(s.sold);
    txtCertificate->setText(s.certificate);
    m_filling = false;
}

void frmItemDiamondSearch::closeEvent(QCloseEvent *e)
{
    saveFilters();
    QWidget::closeEvent(e);
}

// Printing -------------------------------------------------------------------------------

SearchCriteria frmItemDiamondSearch::criteria() const
{
    SearchCriteria c;
    c.shape = cboShape->currentText();
    c.lab = cboLab->currentText();
    c.lowWeight = txtLowWeight->text();
    c.highWeight = txtHighWeight->text();
    c.widened = chkAllowRange->isChecked();
    c.lowColour = pricing::gradeTextOfEntry(cboLowColour->currentText());
    c.highColour = pricing::gradeTextOfEntry(cboHighColour->currentText());
    c.lowClarity = pricing::gradeTextOfEntry(cboLowClarity->currentText());
    c.highClarity = pricing::gradeTextOfEntry(cboHighClarity->currentText());
    // Every other filter that narrows the list, as the screen shows it.
    auto text = [&c](const QString &name, const QString &value) {
        if (!value.trimmed().isEmpty())
            c.others << name + QStringLiteral(": ") + value.trimmed();
    };
    text(QStringLiteral("SKU"), txtSKU->text());
    text(QStringLiteral("Certificate"), txtCertificate->text());
    text(QStringLiteral("Lot"), txtLot->text());
    text(QStringLiteral("Cut"), cboCut->currentText());
    text(QStringLiteral("Fluorescence"), cboFlourescence->currentText());
    if (cboCustomer->currentIndex() > 0)
        text(QStringLiteral("Customer"), cboCustomer->currentText());
    if (DTPicker1->date() != DTPicker1->minimumDate())
        text(QStringLiteral("Day"), QLocale(QLocale::English).toString(DTPicker1->date(), QStringLiteral("MMM dd, yyyy")));
    QStringList ticked;
    for (QCheckBox *b : {chkInStock, chkMemo, chkReturned, chkPreSold, chkSold, chkHEREonMEMO, chkCanadian,
                         chkNoneCanadian, chkLabGrown, chkNONELabGrown, chkFinished, chkExcludeBoundStones, chkOnlyBound})
        if (b->isChecked())
            ticked << b->text();
    text(QStringLiteral("Showing"), ticked.join(QStringLiteral(", ")));
    return c;
}

bool frmItemDiamondSearch::printReport(bool simple, const PrintPreferences &p, const printing::PrintTarget &target)
{
    SearchReport r;
    try {
        r.rows = allRows();
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The search result could not be read: ") + e.message(),
                              QStringLiteral("Print"), Icon::Exclamation);
        return false;
    }
    r.criteria = criteria();
    r.simple = simple;
    r.options = p;
    r.localRate = m_ctx.exchangeRateCDN;
    if (!m_ctx.settings.logoPath.isEmpty())
        r.logo = QImage(m_ctx.settings.logoPath);
    const QPalette before = cmdPrint->palette();
    QPalette red = before;
    red.setColor(QPalette::Button, Qt::red);
    cmdPrint->setPalette(red);
    const Settings company = m_ctx.settings;
    const printing::PrintOutcome out = printing::printDocument(
        target, [&](printing::PrintSurface &s, QString *err) { return drawSearchReport(s, company, r, err); },
        QStringLiteral("Diamond Search Report"));
    cmdPrint->setPalette(before);
    if (!out.ok) {
        m_ctx.prompt().inform(QStringLiteral("The search report was not printed: ") + out.error,
                              QStringLiteral("Print"), Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().notice(QStringLiteral("Document was sent to the Printer"));
    return true;
}

void frmItemDiamondSearch::print()
{
    frmDiamondSearchPrinting dlg(m_ctx, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (!dlg.previewWanted()) {
        printReport(dlg.simple(), dlg.preferences(), dlg.target());
        return;
    }
    SearchReport r;
    try {
        r.rows = allRows();
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The search result could not be read"), QStringLiteral("Print"), e);
        return;
    }
    r.criteria = criteria();
    r.simple = dlg.simple();
    r.options = dlg.preferences();
    r.localRate = m_ctx.exchangeRateCDN;
    if (!m_ctx.settings.logoPath.isEmpty())
        r.logo = QImage(m_ctx.settings.logoPath);
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter *p) {
        printing::PrintSurface s(p);
        drawSearchReport(s, m_ctx.settings, r, nullptr);
        s.endDocument();
    });
    preview.exec();
}

// Stone lists ----------------------------------------------------------------------------

namespace {
const QString kSharing = QStringLiteral("Unable to export the File - a sharing Violation has occured!");
const QString kWritingError = QStringLiteral("Writing Error");
} // namespace

void frmItemDiamondSearch::exportWith(bool fileMode, int layout)
{
    frmExportOptions dlg(fileMode, layout, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (!fileMode) {
        emailList(dlg.options(), dlg.layout());
        return;
    }
    QString file = chooseFile(QStringLiteral("Export Diamond List"), QStringLiteral("diamondlist.csv"));
    if (!file.isEmpty())
        exportList(file, dlg.options(), dlg.layout());
}

bool frmItemDiamondSearch::exportFiles(const QString &folder)
{
    ExportReport r;
    m_ctx.prompt().busy(QStringLiteral("Exporting pictures and certificates ..."));
    try {
        r = exportStoneFiles(m_ctx.db(), stoneIdsOf(allRows()), folder);
    } catch (const db::DbError &e) {
        r.problems << e.message();
    }
    m_ctx.prompt().busy(QString());
    QString text = QStringLiteral("%1 files of %2 stones were written into %3.")
                       .arg(r.files)
                       .arg(r.stones)
                       .arg(QDir::toNativeSeparators(folder));
    if (!r.problems.isEmpty())
        text += QStringLiteral("\n\nNot written:\n") + r.problems.join(QLatin1Char('\n'));
    m_ctx.prompt().inform(text, QStringLiteral("Export pictures and certificates"),
                          r.problems.isEmpty() ? Icon::Information : Icon::Exclamation);
    return r.problems.isEmpty();
}

bool frmItemDiamondSearch::exportList(const QString &fileName, const ListOptions &o, int layout)
{
    QString text;
    try {
        const QList<SearchRow> rows = allRows();
        text = stoneListText(rows, o, true, layout, o.files ? fileNamesOf(m_ctx.db(), stoneIdsOf(rows)) : QHash<qint64, QStringList>());
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(kSharing, kWritingError, Icon::Exclamation);
        return false;
    }
    if (!writeTextFile(fileName, text)) {
        m_ctx.prompt().inform(kSharing, kWritingError, Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().notice(QStringLiteral("The List has been exported into ") + fileName);
    return true;
}

bool frmItemDiamondSearch::emailList(const ListOptions &o, int layout)
{
    QString text;
    try {
        const QList<SearchRow> rows = allRows();
        text = stoneListText(rows, o, false, layout, o.files ? fileNamesOf(m_ctx.db(), stoneIdsOf(rows)) : QHash<qint64, QStringList>());
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The search result could not be read: ") + e.message(),
                              QStringLiteral("Diamond List"), Icon::Exclamation);
        return false;
    }
    QUrl url(QStringLiteral("mailto:"));
    const QString query = QStringLiteral("subject=") + QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("Diamond List")))
                          + QStringLiteral("&body=") + QString::fromLatin1(QUrl::toPercentEncoding(text));
    // Mail programs take a link of a few thousand characters at most.
    constexpr int kMaxLink = 2000;
    if (query.size() > kMaxLink) {
        const QString file = m_ctx.workstation.path(QStringLiteral("diamondlist.txt"));
        if (!writeTextFile(file, text)) {
            m_ctx.prompt().inform(kSharing, kWritingError, Icon::Exclamation);
            return false;
        }
        m_ctx.prompt().inform(QStringLiteral("The list is too long for an e-mail text. It was written to %1: "
                                             "attach that file to your e-mail.")
                                  .arg(file),
                              QStringLiteral("Diamond List"), Icon::Information);
        return true;
    }
    url.setQuery(query, QUrl::StrictMode);
    if (!openUrl(url)) {
        m_ctx.prompt().inform(QStringLiteral("No e-mail program could be opened for the list."),
                              QStringLiteral("Diamond List"), Icon::Exclamation);
        return false;
    }
    return true;
}

bool frmItemDiamondSearch::writeFaxList()
{
    const QString file = m_ctx.workstation.path(QStringLiteral("fax.txt"));
    QString text;
    try {
        const QList<SearchRow> rows = allRows();
        // The list gives each price in the local currency too: never at a
        // rate nobody knows (and never as 0.00).
        if (faxNeedsLocalRate(rows) && !rateFigure(m_ctx.exchangeRateCDN)) {
            m_ctx.prompt().inform(QStringLiteral("The fax list was not written.\n\n") + missingRates(m_ctx, true, false),
                                  QStringLiteral("Fax List"), Icon::Exclamation);
            return false;
        }
        text = faxText(rows, m_ctx.settings.currencyName(), m_ctx.exchangeRateCDN);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The search result could not be read"), QStringLiteral("Fax List"), e);
        return false;
    }
    if (!writeTextFile(file, text)) {
        m_ctx.prompt().inform(kSharing, kWritingError, Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().inform(QStringLiteral("The fax list was written to %1. There is no fax service on this "
                                         "workstation: send that file from your fax program.")
                              .arg(file),
                          QStringLiteral("Fax List"), Icon::Information);
    return true;
}

bool frmItemDiamondSearch::exportTradeNetwork(const QString &fileName)
{
    QString text;
    try {
        text = tradeNetworkCsv(allRows());
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The search result could not be read"), QStringLiteral("Export"), e);
        return false;
    }
    if (!writeTextFile(fileName, text)) {
        m_ctx.prompt().inform(kSharing, kWritingError, Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().notice(QStringLiteral("The List has been exported into ") + fileName);
    return true;
}

} // namespace velmor::ui
