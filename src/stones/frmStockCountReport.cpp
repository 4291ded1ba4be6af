#include "stones/frmStockCountReport.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "printing/PrintJob.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace velmor::ui {

using namespace stones;

namespace {

const QString kTitle = QStringLiteral("Stock count report");
// The printer the report went to last.
const QString kPrinterFile = QStringLiteral("lastprinterforcount.ini");

// Rows of texts for a list of any length (a count of a whole stock may miss
// many thousands of stones); each row may carry a stone's ID.
class RowsModel : public QAbstractTableModel {
public:
    RowsModel(QStringList heads, QObject *parent) : QAbstractTableModel(parent), m_heads(std::move(heads)) {}
    void set(QList<QStringList> rows, QList<qint64> ids, QList<bool> right)
    {
        beginResetModel();
        m_rows = std::move(rows);
        m_ids = std::move(ids);
        m_right = std::move(right);
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_heads.size()); }
    QVariant data(const QModelIndex &i, int role) const override
    {
        if (!i.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return m_rows.at(i.row()).value(i.column());
        if (role == Qt::TextAlignmentRole && m_right.value(i.column()))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return m_heads.value(section);
        return {};
    }
    qint64 idAt(int row) const { return m_ids.value(row); }
    const QList<QStringList> &rows() const { return m_rows; }

private:
    QStringList m_heads;
    QList<QStringList> m_rows;
    QList<qint64> m_ids;
    QList<bool> m_right;
};

RowsModel *modelOf(const QTableView *v) { return static_cast<RowsModel *>(v->model()); }

} // namespace

QTableView *frmStockCountReport::view(const char *name)
{
    auto *v = named(new QTableView, name);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->verticalHeader()->hide();
    v->horizontalHeader()->setStretchLastSection(true);
    return v;
}

frmStockCountReport::frmStockCountReport(AppContext &ctx, qint64 countId, QWidget *parent)
    : QDialog(parent),
      lblSummary(named(new QLabel, "lblSummary")),
      tabLists(named(new QTabWidget, "tabLists")),
      grdMissing(view("grdMissing")),
      grdLeft(view("grdLeft")),
      grdUnexpected(view("grdUnexpected")),
      grdTwice(view("grdTwice")),
      grdUnknown(view("grdUnknown")),
      grdParcels(view("grdParcels")),
      grdFound(view("grdFound")),
      txtFile(named(new QLineEdit, "txtFile")),
      txtNewLocation(named(new QLineEdit, "txtNewLocation")),
      cmdBrowse(named(new QPushButton(QStringLiteral("...")), "cmdBrowse")),
      cmdPdf(named(new QPushButton(QStringLiteral("Save PDF")), "cmdPdf")),
      cmdCsv(named(new QPushButton(QStringLiteral("Save CSV")), "cmdCsv")),
      cmdPrint(named(new QPushButton(QStringLiteral("Print")), "cmdPrint")),
      cmdOpenStone(named(new QPushButton(QStringLiteral("Open stone")), "cmdOpenStone")),
      cmdSetLocation(named(new QPushButton(QStringLiteral("Set location")), "cmdSetLocation")),
      cmdRefresh(named(new QPushButton(QStringLiteral("Refresh")), "cmdRefresh")),
      cmdClose(named(new QPushButton(QStringLiteral("Close")), "cmdClose")),
      cboPrinter(named(new QComboBox, "cboPrinter")),
      m_ctx(ctx),
      m_countId(countId)
{
    setObjectName(QStringLiteral("frmStockCountReport"));
    setWindowTitle(kTitle);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtFile->setPlaceholderText(QStringLiteral("File for the PDF or CSV"));
    txtNewLocation->setPlaceholderText(QStringLiteral("New location"));

    auto setModel = [this](QTableView *v, const QStringList &heads) { v->setModel(new RowsModel(heads, v)); };
    setModel(grdMissing, {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Shape"), QStringLiteral("Carat"),
                          QStringLiteral("Location"), QStringLiteral("List value US$"), QStringLiteral("Cost US$")});
    setModel(grdLeft, {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Status"), QStringLiteral("Where")});
    setModel(grdUnexpected, {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Status"),
                             QStringLiteral("Where"), QStringLiteral("Scans")});
    setModel(grdTwice, {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Scans")});
    setModel(grdUnknown, {QStringLiteral("Code"), QStringLiteral("Scans")});
    setModel(grdParcels, {QStringLiteral("SKU"), QStringLiteral("At start ct"), QStringLiteral("On hand ct"),
                          QStringLiteral("Weighed ct"), QStringLiteral("Difference ct"), QString()});
    setModel(grdFound, {QStringLiteral("SKU"), QStringLiteral("ID"), QStringLiteral("Location"), QString()});

    tabLists->addTab(grdMissing, QStringLiteral("Missing"));
    tabLists->addTab(grdLeft, QStringLiteral("Left stock"));
    tabLists->addTab(grdUnexpected, QStringLiteral("Not expected"));
    tabLists->addTab(grdTwice, QStringLiteral("Scanned twice"));
    tabLists->addTab(grdUnknown, QStringLiteral("Unknown codes"));
    tabLists->addTab(grdParcels, QStringLiteral("Parcels"));
    tabLists->addTab(grdFound, QStringLiteral("Found"));

    cboPrinter->addItems(printing::printerChoices(false));
    cboPrinter->setCurrentIndex(
        printing::choiceIndex(printing::printerChoices(false), printing::readPrinterChoice(ctx.workstation, kPrinterFile)));

    auto *root = new QVBoxLayout(this);
    root->addWidget(lblSummary);
    root->addWidget(tabLists, 1);
    auto *stoneRow = new QHBoxLayout;
    stoneRow->addWidget(cmdOpenStone);
    stoneRow->addStretch(1);
    stoneRow->addWidget(new QLabel(QStringLiteral("Location of the stones found")));
    stoneRow->addWidget(txtNewLocation);
    stoneRow->addWidget(cmdSetLocation);
    root->addLayout(stoneRow);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdBrowse);
    fileRow->addWidget(cmdPdf);
    fileRow->addWidget(cmdCsv);
    fileRow->addWidget(cboPrinter);
    fileRow->addWidget(cmdPrint);
    root->addLayout(fileRow);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cmdRefresh);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    root->addLayout(bottom);

    // Enter in a box does not close the report or open a stone: no button is
    // pressed by it but the one the box belongs to.
    for (QPushButton *b : {cmdBrowse, cmdPdf, cmdCsv, cmdPrint, cmdOpenStone, cmdSetLocation, cmdRefresh, cmdClose})
        b->setAutoDefault(false);
    connect(txtNewLocation, &QLineEdit::returnPressed, cmdSetLocation, &QPushButton::click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmStockCountReport::reload);
    connect(cmdPdf, &QPushButton::clicked, this, &frmStockCountReport::savePdf);
    connect(cmdCsv, &QPushButton::clicked, this, &frmStockCountReport::saveCsv);
    connect(cmdPrint, &QPushButton::clicked, this, &frmStockCountReport::print);
    connect(cmdOpenStone, &QPushButton::clicked, this, &frmStockCountReport::openChosenStone);
    connect(cmdSetLocation, &QPushButton::clicked, this, [this] { setLocation(txtNewLocation->text()); });
    connect(cmdBrowse, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, kTitle,
                                                       QStringLiteral("stock-count-%1").arg(m_countId),
                                                       QStringLiteral("PDF or CSV (*.pdf *.csv)"));
        if (!f.isEmpty())
            txtFile->setText(f);
    });
    for (QTableView *v : {grdMissing, grdLeft, grdUnexpected})
        connect(v, &QTableView::doubleClicked, this, [this] { openChosenStone(); });
    connect(tabLists, &QTabWidget::currentChanged, this, [this] {
        QTableView *v = currentView();
        cmdOpenStone->setEnabled(v == grdMissing || v == grdLeft || v == grdUnexpected || v == grdTwice
                                 || v == grdFound);
    });
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmStockCountReport::reload);
    reload();
}

void frmStockCountReport::reload()
{
    try {
        m_report = countReport(m_ctx, m_countId);
        m_found = foundStones(m_ctx.db(), m_countId);
    } catch (const db::DbError &e) {
        lblSummary->setText(QStringLiteral("The count could not be read: ") + e.message());
        return;
    }
    fill();
}

void frmStockCountReport::fill()
{
    const CountReport &r = m_report;
    QString head = QStringLiteral("<b>Stock count %1: %2</b>%3<br>")
                       .arg(r.header.id)
                       .arg(r.header.name.toHtmlEscaped(),
                            r.header.location.isEmpty() ? QStringLiteral(" (every location)")
                                                        : QStringLiteral(" (location %1)").arg(r.header.location.toHtmlEscaped()));
    head += (r.header.closed ? QStringLiteral("Closed %1 by %2").arg(r.header.closedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                                                    r.header.closedBy.toHtmlEscaped())
                             : QStringLiteral("Open: as the books stand now"))
            + QStringLiteral("<br>");
    QStringList lines;
    for (const QString &l : reportSummary(r))
        lines << l.toHtmlEscaped();
    lblSummary->setText(head + lines.join(QStringLiteral("<br>")));
    setWindowTitle(kTitle + QStringLiteral(" %1").arg(r.header.id));

    QList<QStringList> rows;
    QList<qint64> ids;
    for (const MissingStone &m : r.missing) {
        rows << QStringList{m.sku, QString::number(m.stoneId), m.shape, m.carat.fixed(2), m.location, m.listValue.grouped2(),
                            r.withCost ? m.cost.grouped2() : QString()};
        ids << m.stoneId;
    }
    modelOf(grdMissing)->set(rows, ids, {false, true, false, true, false, true, true});
    grdMissing->setColumnHidden(6, !r.withCost);

    rows.clear();
    ids.clear();
    for (const LeftStone &l : r.leftStock) {
        rows << QStringList{l.sku, QString::number(l.stoneId), l.status, l.place};
        ids << l.stoneId;
    }
    modelOf(grdLeft)->set(rows, ids, {false, true});

    rows.clear();
    ids.clear();
    for (const UnexpectedStone &u : r.unexpected) {
        rows << QStringList{u.sku, QString::number(u.stoneId), u.status, u.place, QString::number(u.scans)};
        ids << u.stoneId;
    }
    modelOf(grdUnexpected)->set(rows, ids, {false, true, false, false, true});

    rows.clear();
    ids.clear();
    for (const TwiceStone &w : r.twice) {
        rows << QStringList{w.sku, QString::number(w.stoneId), QString::number(w.scans)};
        ids << w.stoneId;
    }
    modelOf(grdTwice)->set(rows, ids, {false, true, true});

    rows.clear();
    for (const UnknownCode &u : r.unknown)
        rows << QStringList{u.code, QString::number(u.scans)};
    modelOf(grdUnknown)->set(rows, {}, {false, true});

    rows.clear();
    for (const ParcelLine &p : r.parcels)
        rows << QStringList{p.sku,
                            p.atStart.fixed(2),
                            p.onHand.fixed(2),
                            p.weighed ? p.weighedCarats.fixed(2) : QStringLiteral("-"),
                            p.weighed ? p.difference().fixed(2) : QString(),
                            !p.weighed                        ? QStringLiteral("not weighed")
                            : p.beyond(r.header.tolerance) ? QStringLiteral("beyond tolerance")
                                                              : QString()};
    modelOf(grdParcels)->set(rows, {}, {false, true, true, true, true});

    rows.clear();
    ids.clear();
    for (const FoundStone &f : m_found) {
        rows << QStringList{f.sku, QString::number(f.stoneId), f.location,
                            f.expected ? QString() : QStringLiteral("not expected here")};
        ids << f.stoneId;
    }
    modelOf(grdFound)->set(rows, ids, {false, true});
    if (txtNewLocation->text().isEmpty())
        txtNewLocation->setText(r.header.location);

    const bool may = countWriteRefusal(m_ctx).isEmpty();
    cmdSetLocation->setEnabled(may && !m_found.isEmpty());
    txtNewLocation->setEnabled(may);
    for (QTableView *v : {grdMissing, grdLeft, grdUnexpected, grdTwice, grdUnknown, grdParcels, grdFound})
        if (v->model()->rowCount() < 2000)
            v->resizeColumnsToContents();
}

QTableView *frmStockCountReport::currentView() const
{
    return qobject_cast<QTableView *>(tabLists->currentWidget());
}

QList<QStringList> frmStockCountReport::rowsOf(const QString &listName) const
{
    const auto *v = findChild<QTableView *>(listName);
    return v ? modelOf(v)->rows() : QList<QStringList>{};
}

bool frmStockCountReport::savePdf()
{
    const QString file = txtFile->text().trimmed();
    if (file.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("Please give the name of the PDF file."), kTitle, Icon::Information);
        return false;
    }
    const printing::PrintOutcome o = printing::printDocument(
        printing::PrintTarget::pdf(file),
        [this](printing::PrintSurface &s, QString *e) { return drawCountReport(s, m_report, e); },
        QStringLiteral("Stock count %1").arg(m_countId));
    if (!o.ok) {
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().notice(QStringLiteral("Document was sent to the Printer"));
    return true;
}

bool frmStockCountReport::saveCsv()
{
    const QString file = txtFile->text().trimmed();
    if (file.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("Please give the name of the CSV file."), kTitle, Icon::Information);
        return false;
    }
    QString why;
    if (!writeCountCsv(m_report, file, &why)) {
        m_ctx.prompt().inform(QStringLiteral("The file \"%1\" could not be written: %2").arg(file, why), kTitle,
                              Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().notice(QStringLiteral("The report was written to %1").arg(file));
    return true;
}

bool frmStockCountReport::print()
{
    const QString entry = cboPrinter->currentText();
    printing::writePrinterChoice(m_ctx.workstation, kPrinterFile, entry);
    const printing::PrintOutcome o = printing::printDocument(
        printing::PrintTarget::fromEntry(entry),
        [this](printing::PrintSurface &s, QString *e) { return drawCountReport(s, m_report, e); },
        QStringLiteral("Stock count %1").arg(m_countId));
    if (!o.ok) {
        m_ctx.prompt().inform(o.error, kTitle, Icon::Exclamation);
        return false;
    }
    m_ctx.prompt().notice(QStringLiteral("Document was sent to the Printer"));
    return true;
}

bool frmStockCountReport::openChosenStone()
{
    QTableView *v = currentView();
    if (!v || !v->selectionModel())
        return false;
    const QModelIndexList rows = v->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? v->currentIndex().row() : rows.first().row();
    const qint64 id = row >= 0 ? modelOf(v)->idAt(row) : 0;
    if (id <= 0)
        return false;
    return m_ctx.screens().openStone(id);
}

int frmStockCountReport::setLocation(const QString &location)
{
    const QString refusal = countWriteRefusal(m_ctx);
    if (!refusal.isEmpty()) {
        m_ctx.prompt().inform(refusal, kTitle, Icon::Information);
        return -1;
    }
    QList<qint64> ids;
    if (grdFound->selectionModel())
        for (const QModelIndex &i : grdFound->selectionModel()->selectedRows())
            ids << modelOf(grdFound)->idAt(i.row());
    if (ids.isEmpty())
        for (const FoundStone &f : m_found)
            ids << f.stoneId;
    if (ids.isEmpty())
        return 0;
    const QString where = location.trimmed();
    if (!m_ctx.prompt().askYesNo(QStringLiteral("Set the location of %1 stones found to \"%2\"?")
                                     .arg(ids.size())
                                     .arg(where.isEmpty() ? QStringLiteral("(none)") : where),
                                 kTitle, Icon::Question))
        return 0;
    QString why;
    const int n = setStoneLocation(m_ctx, ids, where, &why);
    if (n < 0) {
        m_ctx.prompt().inform(why, kTitle, Icon::Exclamation);
        return -1;
    }
    m_ctx.prompt().notice(QStringLiteral("The location of %1 stones was set to \"%2\".").arg(n).arg(where));
    reload();
    return n;
}

} // namespace velmor::ui
