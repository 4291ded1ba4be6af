#include "stones/frmDiamondDetailParcel.h"

#include "core/AppContext.h"
#include "core/ContextEvents.h"
#include "core/Screens.h"
#include "core/Prompt.h"
#include "core/Users.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "stones/OlderParcelView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

frmDiamondDetailParcel::frmDiamondDetailParcel(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmDiamondDetailParcel"));
    setWindowTitle(QStringLiteral("Parcel"));
    auto edit = [this](const char *name) {
        auto *e = named(new QLineEdit(this), name);
        e->setReadOnly(true);
        return e;
    };
    auto combo = [this](const char *name) {
        auto *c = named(new QComboBox(this), name);
        c->setEnabled(false);
        return c;
    };
    txtParcelID = edit("txtParcelID");
    txtParcelSKU = edit("txtParcelSKU");
    txtParcelLot = edit("txtParcelLot");
    cboParcelShape = combo("cboParcelShape");
    txtParcelCarat = edit("txtParcelCarat");
    txtParcelQuantity = edit("txtParcelQuantity");
    txtParcelCaratLow = edit("txtParcelCaratLow");
    txtParcelCaratHigh = edit("txtParcelCaratHigh");
    cboParcelColourLow = combo("cboParcelColourLow");
    cboParcelColourHigh = combo("cboParcelColourHigh");
    cboParcelClarityLow = combo("cboParcelClarityLow");
    cboParcelClarityHigh = combo("cboParcelClarityHigh");
    txtParcelDim1 = edit("txtParcelDim1");
    txtParcelDim2 = edit("txtParcelDim2");
    txtParcelComment = edit("txtParcelComment");
    txtParcelCostUS = edit("txtParcelCostUS");
    txtParcelCostLocal = edit("txtParcelCostLocal");
    txtParcelPriceUS = edit("txtParcelPriceUS");
    txtParcelPriceLocal = edit("txtParcelPriceLocal");
    chkParcelSellUS = named(new QCheckBox(QStringLiteral("sell in US$"), this), "chkParcelSellUS");
    chkParcelSellUS->setEnabled(false);

    auto *root = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    auto pair = [grid, this](int row, int col, const QString &caption, QWidget *a, QWidget *b = nullptr) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("lbl") + a->objectName().mid(3));
        grid->addWidget(label, row, col);
        grid->addWidget(a, row, col + 1);
        if (b)
            grid->addWidget(b, row, col + 2);
    };
    const QString local = ctx.settings.currencyName();
    pair(0, 0, QStringLiteral("ID"), txtParcelID);
    pair(0, 3, QStringLiteral("SKU#"), txtParcelSKU);
    pair(1, 0, QStringLiteral("Lot"), txtParcelLot);
    pair(1, 3, QStringLiteral("Shape"), cboParcelShape);
    pair(2, 0, QStringLiteral("Carats"), txtParcelCarat);
    pair(2, 3, QStringLiteral("# of Stones"), txtParcelQuantity);
    pair(3, 0, QStringLiteral("Weight from / to"), txtParcelCaratLow, txtParcelCaratHigh);
    pair(3, 3, QStringLiteral("Dimensions"), txtParcelDim1, txtParcelDim2);
    pair(4, 0, QStringLiteral("Colour from / to"), cboParcelColourLow, cboParcelColourHigh);
    pair(4, 3, QStringLiteral("Clarity from / to"), cboParcelClarityLow, cboParcelClarityHigh);
    pair(5, 0, QStringLiteral("Cost US$/ct"), txtParcelCostUS);
    pair(5, 3, QStringLiteral("Cost %1/ct").arg(local), txtParcelCostLocal);
    pair(6, 0, QStringLiteral("Price US$/ct"), txtParcelPriceUS);
    pair(6, 3, QStringLiteral("Price %1/ct").arg(local), txtParcelPriceLocal);
    pair(7, 0, QStringLiteral("Comment"), txtParcelComment);
    grid->addWidget(chkParcelSellUS, 7, 4);
    root->addLayout(grid);

    grdAddParcel = named(new QTableWidget(this), "grdAddParcel");
    grdAddParcel->setColumnCount(6);
    grdAddParcel->setHorizontalHeaderLabels({QStringLiteral("Supplier"), QStringLiteral("Date"),
                                             QStringLiteral("Invoice"), QStringLiteral("Carat"), QStringLiteral("#"),
                                             QStringLiteral("$/ct")});
    grdAddParcel->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdAddParcel->verticalHeader()->hide();
    root->addWidget(grdAddParcel);
    auto *cmds = new QHBoxLayout;
    cmdAddParcel = named(new QPushButton(QStringLiteral("&Add Stock"), this), "cmdAddParcel");
    cmds->addWidget(cmdAddParcel);
    cmdSplitParcel = named(new QPushButton(QStringLiteral("&Split"), this), "cmdSplitParcel");
    cmds->addWidget(cmdSplitParcel);
    cmdEditParcel = named(new QPushButton(QStringLiteral("&Edit"), this), "cmdEditParcel");
    cmdUpdateParcel = named(new QPushButton(QStringLiteral("Sa&ve"), this), "cmdUpdateParcel");
    cmdCancelParcel = named(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancelParcel");
    cmds->addSpacing(20);
    cmds->addWidget(cmdEditParcel);
    cmds->addWidget(cmdUpdateParcel);
    cmds->addWidget(cmdCancelParcel);
    cmds->addStretch();
    root->addLayout(cmds);
    connect(cmdEditParcel, &QPushButton::clicked, this, &frmDiamondDetailParcel::editParcel);
    connect(cmdUpdateParcel, &QPushButton::clicked, this, &frmDiamondDetailParcel::updateParcel);
    connect(cmdCancelParcel, &QPushButton::clicked, this, &frmDiamondDetailParcel::cancelParcel);
    connect(&ctx.events(), &ContextEvents::rightsChanged, this, &frmDiamondDetailParcel::applyRights);
    connect(cmdAddParcel, &QPushButton::clicked, this, &frmDiamondDetailParcel::addParcel);
    connect(cmdSplitParcel, &QPushButton::clicked, this, &frmDiamondDetailParcel::splitParcel);
    PopulateParcelCBOs();
    updateCommands();
    applyRights();
}

void frmDiamondDetailParcel::applyRights()
{
    // Editing ends (nothing saved) when the right to edit goes.
    if (m_editing && !m_ctx.user.AllowEdit)
        cancelParcel();
    // Costs as on the stone screen: only for users who may see them.
    const bool cost = m_ctx.user.ViewCost;
    for (QWidget *w : {static_cast<QWidget *>(txtParcelCostUS), static_cast<QWidget *>(txtParcelCostLocal)}) {
        w->setVisible(cost);
        if (auto *l = findChild<QLabel *>(QStringLiteral("lbl") + w->objectName().mid(3)))
            l->setVisible(cost);
    }
    grdAddParcel->setColumnHidden(5, !cost);
    updateCommands();
}

void frmDiamondDetailParcel::PopulateParcelCBOs()
{
    try {
        const QSqlDatabase db = m_ctx.db();
        cboParcelShape->clear();
        cboParcelShape->addItem(QString());
        cboParcelShape->addItems(stones::olderParcelShapes(db));
        const QStringList colours = stones::olderParcelGrades(db, true);
        const QStringList clarities = stones::olderParcelGrades(db, false);
        for (QComboBox *c : {cboParcelColourLow, cboParcelColourHigh}) {
            c->clear();
            c->addItems(colours);
        }
        for (QComboBox *c : {cboParcelClarityLow, cboParcelClarityHigh}) {
            c->clear();
            c->addItems(clarities);
        }
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The parcel choices could not be read:\n\n") + e.message(), QStringLiteral("Parcel"), Icon::Critical);
    }
}

void frmDiamondDetailParcel::showEntry(QComboBox *c, const QString &entry)
{
    // A value the list does not hold is still shown as stored.
    int i = c->findText(entry);
    if (i < 0 && !entry.isEmpty()) {
        c->addItem(entry);
        i = c->count() - 1;
    }
    c->setCurrentIndex(i < 0 ? 0 : i);
}

void frmDiamondDetailParcel::clear()
{
    for (QLineEdit *e : findChildren<QLineEdit *>())
        e->clear();
    for (QComboBox *c : {cboParcelShape, cboParcelColourLow, cboParcelColourHigh, cboParcelClarityLow,
                         cboParcelClarityHigh})
        c->setCurrentIndex(0);
    chkParcelSellUS->setChecked(false);
    grdAddParcel->setRowCount(0);
}

bool frmDiamondDetailParcel::RefreshfrmDiamondDetailParcel(qint64 id)
{
    std::optional<stones::OlderParcelView> v;
    QList<stones::OlderReceiptLine> lines;
    try {
        v = stones::readOlderParcel(m_ctx.db(), id);
        if (v)
            lines = stones::olderReceipts(m_ctx.db(), id);
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The parcel could not be read:\n\n") + e.message(), QStringLiteral("Parcel"), Icon::Critical);
        v.reset();
    }
    clear();
    m_id = v ? id : 0;
    m_editing = false;
    lock(true);
    m_loaded = v ? *v : stones::OlderParcelView{};
    if (v) {
        txtParcelID->setText(QString::number(v->id));
        txtParcelSKU->setText(v->sku);
        txtParcelLot->setText(v->lot);
        showEntry(cboParcelShape, v->shape);
        txtParcelCarat->setText(v->carat);
        txtParcelQuantity->setText(v->quantity);
        txtParcelCaratLow->setText(v->caratLow);
        txtParcelCaratHigh->setText(v->caratHigh);
        txtParcelDim1->setText(v->dim1);
        txtParcelDim2->setText(v->dim2);
        showEntry(cboParcelColourLow, v->colourLow);
        showEntry(cboParcelColourHigh, v->colourHigh);
        showEntry(cboParcelClarityLow, v->clarityLow);
        showEntry(cboParcelClarityHigh, v->clarityHigh);
        txtParcelComment->setText(v->comment);
        txtParcelCostUS->setText(v->costUS);
        txtParcelCostLocal->setText(v->costLocal);
        txtParcelPriceUS->setText(v->priceUS);
        txtParcelPriceLocal->setText(v->priceLocal);
        chkParcelSellUS->setChecked(v->sellUS);
        grdAddParcel->setRowCount(int(lines.size()));
        for (int r = 0; r < lines.size(); ++r) {
            const auto &l = lines[r];
            const QStringList cells{l.supplier, l.date, l.invoice, l.carat, l.quantity, l.pricePerCarat};
            for (int c = 0; c < cells.size(); ++c) {
                auto *item = new QTableWidgetItem(cells[c]);
                if (c >= 3)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                grdAddParcel->setItem(r, c, item);
            }
        }
    }
    updateCommands();
    return v.has_value();
}

void frmDiamondDetailParcel::updateCommands()
{
    const Screens *s = &m_ctx.screens();
    // Receipts and splits change the parcel: the right to change parcels.
    const bool change = m_ctx.user.ID != 0 && m_ctx.user.has(QStringLiteral("AllowRestockParcel"));
    cmdAddParcel->setEnabled(!m_editing && m_id > 0 && change && s && s->receiptAvailable());
    cmdSplitParcel->setEnabled(!m_editing && m_id > 0 && change && s && s->splitAvailable());
    cmdEditParcel->setEnabled(!m_editing && m_id > 0);
    cmdUpdateParcel->setEnabled(m_editing);
    cmdCancelParcel->setEnabled(m_editing);
}

void frmDiamondDetailParcel::lock(bool locked)
{
    for (QLineEdit *e : {txtParcelSKU, txtParcelLot, txtParcelCaratLow, txtParcelCaratHigh, txtParcelDim1, txtParcelDim2,
                         txtParcelComment, txtParcelCostUS, txtParcelCostLocal, txtParcelPriceUS, txtParcelPriceLocal})
        e->setReadOnly(locked);
    for (QComboBox *c : {cboParcelShape, cboParcelColourLow, cboParcelColourHigh, cboParcelClarityLow,
                         cboParcelClarityHigh})
        c->setEnabled(!locked);
    chkParcelSellUS->setEnabled(!locked);
}

stones::OlderParcelView frmDiamondDetailParcel::fromControls() const
{
    stones::OlderParcelView v = m_loaded;
    v.sku = txtParcelSKU->text();
    v.lot = txtParcelLot->text();
    v.shape = cboParcelShape->currentText();
    v.caratLow = txtParcelCaratLow->text();
    v.caratHigh = txtParcelCaratHigh->text();
    v.dim1 = txtParcelDim1->text();
    v.dim2 = txtParcelDim2->text();
    v.colourLow = cboParcelColourLow->currentText();
    v.colourHigh = cboParcelColourHigh->currentText();
    v.clarityLow = cboParcelClarityLow->currentText();
    v.clarityHigh = cboParcelClarityHigh->currentText();
    v.comment = txtParcelComment->text();
    // Costs a user may not see are not edited by that user.
    if (m_ctx.user.ViewCost) {
        v.costUS = txtParcelCostUS->text();
        v.costLocal = txtParcelCostLocal->text();
    }
    v.priceUS = txtParcelPriceUS->text();
    v.priceLocal = txtParcelPriceLocal->text();
    v.sellUS = chkParcelSellUS->isChecked();
    return v;
}

void frmDiamondDetailParcel::editParcel()
{
    if (m_id <= 0 || m_editing || !checkRight(m_ctx, QStringLiteral("AllowEdit")))
        return;
    m_editing = true;
    lock(false);
    updateCommands();
    txtParcelSKU->setFocus();
}

bool frmDiamondDetailParcel::updateParcel()
{
    if (!m_editing || !checkRight(m_ctx, QStringLiteral("AllowEdit")))
        return false;
    stones::OlderParcelSave r;
    try {
        r = stones::saveOlderParcel(m_ctx.db(), m_loaded, fromControls());
    } catch (const db::DbError &e) {
        r.message = QStringLiteral("The parcel could not be saved:\n\n") + e.message();
    }
    if (!r.ok) {
        m_ctx.prompt().inform(r.message, QStringLiteral("Parcel"), Icon::Information);
        return false;
    }
    RefreshfrmDiamondDetailParcel(m_id);
    if (r.changed)
        m_ctx.prompt().notice(QStringLiteral("The parcel has been saved."));
    return true;
}

void frmDiamondDetailParcel::cancelParcel()
{
    if (!m_editing)
        return;
    RefreshfrmDiamondDetailParcel(m_id);
}

void frmDiamondDetailParcel::addParcel()
{
    Screens *s = &m_ctx.screens();
    if (m_id <= 0 || !s || !s->receiptAvailable())
        return;
    if (s->receiveOlderParcel(m_id, this))
        RefreshfrmDiamondDetailParcel(m_id);
}

void frmDiamondDetailParcel::splitParcel()
{
    Screens *s = &m_ctx.screens();
    if (m_id <= 0 || !s || !s->splitAvailable())
        return;
    if (s->splitOlderParcel(m_id, this))
        RefreshfrmDiamondDetailParcel(m_id);
}

} // namespace velmor::ui
