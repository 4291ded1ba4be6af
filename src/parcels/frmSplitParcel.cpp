#include "parcels/frmSplitParcel.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/Figures.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "parcels/ParcelSplit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

using namespace velmor::parcels;

frmSplitParcel::frmSplitParcel(AppContext &ctx, const Parcel &source, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_source(source)
{
    setObjectName(QStringLiteral("frmSplitParcel"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Split Parcel %1").arg(source.sku));
    try {
        const ParcelFigures f = parcelFigures(ctx.db(), source.id);
        m_cost = f.hasAverageCost ? f.averageCost : source.costPerCarat;
        m_costedCarats = f.hasAverageCost ? f.costedCarats : source.carat;
    } catch (const db::DbError &) {
        m_cost = source.costPerCarat;
        m_costedCarats = source.carat;
    }
    auto *root = new QVBoxLayout(this);
    auto *panes = new QHBoxLayout;
    auto pane = [&](const QString &title) {
        auto *g = new QGroupBox(title, this);
        auto *f = new QFormLayout(g);
        panes->addWidget(g);
        return f;
    };
    auto field = [this](const char *name, bool readOnly) {
        auto *e = named(new QLineEdit(this), name);
        e->setReadOnly(readOnly);
        if (readOnly)
            e->setStyleSheet(QStringLiteral("background-color: #ececec;"));
        return e;
    };
    QFormLayout *now = pane(QStringLiteral("Parcel now"));
    txtID = field("txtID", true);
    txtSKU = field("txtSKU", true);
    txtShape = field("txtShape", true);
    txtCarat = field("txtCarat", true);
    txtCostUS = field("txtCostUS", true);
    txtUSParcelValue = field("txtUSParcelValue", true);
    now->addRow(QStringLiteral("ID"), txtID);
    now->addRow(QStringLiteral("SKU"), txtSKU);
    now->addRow(QStringLiteral("Shape"), txtShape);
    now->addRow(QStringLiteral("Carats"), txtCarat);
    now->addRow(QStringLiteral("Cost US$/ct"), txtCostUS);
    now->addRow(QStringLiteral("Value US$"), txtUSParcelValue);
    QFormLayout *old = pane(QStringLiteral("Parcel after the split"));
    txtCaratOld = field("txtCaratOld", true);
    txtCostUSOld = field("txtCostUSOld", true);
    txtUSParcelValueOld = field("txtUSParcelValueOld", true);
    old->addRow(QStringLiteral("Carats"), txtCaratOld);
    old->addRow(QStringLiteral("Cost US$/ct"), txtCostUSOld);
    old->addRow(QStringLiteral("Value US$"), txtUSParcelValueOld);
    QFormLayout *neu = pane(QStringLiteral("New parcel"));
    txtSKUNew = field("txtSKUNew", false);
    imgAuto = named(new QPushButton(QStringLiteral("Auto"), this), "imgAuto");
    auto *skuRow = new QHBoxLayout;
    skuRow->addWidget(txtSKUNew);
    skuRow->addWidget(imgAuto);
    txtCaratNew = field("txtCaratNew", false);
    txtUSParcelValueNew = field("txtUSParcelValueNew", false);
    txtCostUSNew = field("txtCostUSNew", true);
    txtPriceUSNew = field("txtPriceUSNew", false);
    neu->addRow(QStringLiteral("SKU"), skuRow);
    neu->addRow(QStringLiteral("Carats"), txtCaratNew);
    neu->addRow(QStringLiteral("Value US$"), txtUSParcelValueNew);
    neu->addRow(QStringLiteral("Cost US$/ct"), txtCostUSNew);
    neu->addRow(QStringLiteral("Selling US$/ct"), txtPriceUSNew);
    root->addLayout(panes);
    auto *cmds = new QHBoxLayout;
    cmdUpdate = named(new QPushButton(QStringLiteral("&Split"), this), "cmdUpdate");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmds->addStretch();
    cmds->addWidget(cmdUpdate);
    cmds->addWidget(cmdCancel);
    root->addLayout(cmds);

    txtID->setText(QString::number(source.id));
    txtSKU->setText(source.sku);
    txtShape->setText(source.shape);
    txtCarat->setText(source.carat.fixed(2));
    txtCostUS->setText(m_cost.fixed(2));
    txtUSParcelValue->setText(m_cost.times(source.carat).fixed(2));
    txtCaratOld->setText(source.carat.fixed(2));
    txtCostUSOld->setText(m_cost.fixed(2));
    txtUSParcelValueOld->setText(txtUSParcelValue->text());
    txtPriceUSNew->setText(source.sellPerCarat.fixed(2));

    connect(txtCaratNew, &QLineEdit::textChanged, this, &frmSplitParcel::caratNewChanged);
    connect(txtUSParcelValueNew, &QLineEdit::textChanged, this, &frmSplitParcel::valueNewChanged);
    connect(imgAuto, &QPushButton::clicked, this, &frmSplitParcel::autoSku);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmSplitParcel::update);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    // Costs and values are seen with the right to see costs only (the new
    // part then takes the average cost); splitting needs the right to change
    // parcels.
    followRights(ctx, this, [this] {
        setFormRowsVisible({txtCostUS, txtUSParcelValue, txtCostUSOld, txtUSParcelValueOld, txtUSParcelValueNew,
                            txtCostUSNew},
                           m_ctx.user.ViewCost);
        cmdUpdate->setEnabled(mayUse(m_ctx, rights::ParcelChange));
    });
}

void frmSplitParcel::caratNewChanged()
{
    if (m_guard)
        return;
    const Decimal5 c = figures::parseTyped(txtCaratNew->text()).value_or(Decimal5());
    m_guard = true;
    txtCaratOld->setText((m_source.carat - c).fixed(2));
    txtUSParcelValueNew->setText(m_cost.times(c).fixed(2));
    m_guard = false;
    valueNewChanged();
}

void frmSplitParcel::valueNewChanged()
{
    if (m_guard)
        return;
    m_guard = true;
    const Decimal5 total = m_cost.times(m_source.carat);
    const Decimal5 valueNew = figures::parseTyped(txtUSParcelValueNew->text()).value_or(Decimal5());
    const Decimal5 caratNew = figures::parseTyped(txtCaratNew->text()).value_or(Decimal5());
    const Decimal5 caratOld = m_source.carat - caratNew;
    const Decimal5 valueOld = total - valueNew;
    txtUSParcelValueOld->setText(valueOld.fixed(2));
    // The cost per carat the parcel keeps is the journal's average after the
    // split: its costed carats less the new part, at their value less the
    // new part's (with every carat on hand this is the old value / old carats).
    const Decimal5 journalCarats = m_costedCarats - caratNew;
    const Decimal5 journalValue = m_cost.times(m_costedCarats) - valueNew;
    txtCostUSOld->setText(caratOld.isZero() || journalCarats <= Decimal5()
                              ? QString()
                              : journalValue.dividedBy(journalCarats).fixed(2));
    txtCostUSNew->setText(caratNew.isZero() ? QString() : valueNew.dividedBy(caratNew).fixed(2));
    m_guard = false;
}

void frmSplitParcel::autoSku()
{
    const QString next = autoNumber(m_ctx, QStringLiteral("parcel"), txtSKUNew->text().trimmed());
    if (!next.isEmpty())
        txtSKUNew->setText(next);
}

bool frmSplitParcel::update()
{
    const Outcome o = splitParcel(m_ctx, {m_source.id, txtSKUNew->text(), txtCaratNew->text(),
                                          txtUSParcelValueNew->text(), txtPriceUSNew->text()});
    if (o.result != Result::Done)
        return false;
    emit split(o.id);
    close();
    return true;
}

} // namespace velmor::ui
