#include "parcels/frmSplitOlderParcel.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/Figures.h"
#include "core/KnownRates.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "parcels/OlderParcel.h"
#include "parcels/ParcelSplit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

using parcels::Decimal5;

namespace {

// The number a field holds; 0 when it holds none.
Decimal5 val(const QLineEdit *e)
{
    return figures::parseTyped(e->text()).value_or(Decimal5());
}

int gradeOf(const QComboBox *c)
{
    return c->currentText().section(QLatin1Char(' '), 0, 0).toInt();
}

void select(QComboBox *c, const QString &entry)
{
    int i = c->findText(entry);
    if (i < 0 && !entry.isEmpty()) {
        c->addItem(entry);
        i = c->count() - 1;
    }
    c->setCurrentIndex(i < 0 ? 0 : i);
}

void lockPrice(QLineEdit *e, bool locked)
{
    e->setReadOnly(locked);
    e->setStyleSheet(locked ? QStringLiteral("background-color: #ececec;") : QString());
}

} // namespace

frmSplitOlderParcel::frmSplitOlderParcel(AppContext &ctx, const stones::OlderParcelView &src, QWidget *parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmSplitParcel"));
    setWindowTitle(QStringLiteral("Split Parcel %1").arg(src.sku));
    m_rate = rateFigure(ctx.exchangeRateCDN);
    auto *root = new QVBoxLayout(this);
    auto *panes = new QHBoxLayout;
    root->addLayout(panes);

    auto *now = new QGroupBox(QStringLiteral("Parcel now"), this);
    auto *nf = new QFormLayout(now);
    auto field = [this](const char *name) {
        auto *e = named(new QLineEdit(this), name);
        e->setReadOnly(true);
        e->setStyleSheet(QStringLiteral("background-color: #ececec;"));
        return e;
    };
    txtID = field("txtID");
    txtSKU = field("txtSKU");
    txtShape = field("txtShape");
    txtCarat = field("txtCarat");
    txtWeightLow = field("txtWeightLow");
    txtWeightHigh = field("txtWeightHigh");
    txtColourLow = field("txtColourLow");
    txtColourHigh = field("txtColourHigh");
    txtClarityLow = field("txtClarityLow");
    txtClarityHigh = field("txtClarityHigh");
    txtCostUS = field("txtCostUS");
    txtCostLocal = field("txtCostLocal");
    txtPriceUS = field("txtPriceUS");
    txtPriceLocal = field("txtPriceLocal");
    txtUSParcelValue = field("txtUSParcelValue");
    const QString local = ctx.settings.currencyName();
    nf->addRow(QStringLiteral("ID"), txtID);
    nf->addRow(QStringLiteral("SKU"), txtSKU);
    nf->addRow(QStringLiteral("Shape"), txtShape);
    nf->addRow(QStringLiteral("Carats"), txtCarat);
    nf->addRow(QStringLiteral("Weight from"), txtWeightLow);
    nf->addRow(QStringLiteral("Weight to"), txtWeightHigh);
    nf->addRow(QStringLiteral("Colour from"), txtColourLow);
    nf->addRow(QStringLiteral("Colour to"), txtColourHigh);
    nf->addRow(QStringLiteral("Clarity from"), txtClarityLow);
    nf->addRow(QStringLiteral("Clarity to"), txtClarityHigh);
    nf->addRow(QStringLiteral("Cost US$/ct"), txtCostUS);
    nf->addRow(QStringLiteral("Cost %1/ct").arg(local), txtCostLocal);
    nf->addRow(QStringLiteral("Price US$/ct"), txtPriceUS);
    nf->addRow(QStringLiteral("Price %1/ct").arg(local), txtPriceLocal);
    nf->addRow(QStringLiteral("Value US$"), txtUSParcelValue);
    panes->addWidget(now);
    old = buildPane("Old", false);
    neu = buildPane("New", true);

    auto *cmds = new QHBoxLayout;
    cmdUpdate = named(new QPushButton(QStringLiteral("&Update"), this), "cmdUpdate");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmds->addStretch();
    cmds->addWidget(cmdUpdate);
    cmds->addWidget(cmdCancel);
    root->addLayout(cmds);

    // The source as it is; the remaining source and the new parcel start
    // from it.
    m_sellUS = src.sellUS;
    const Decimal5 carat = Decimal5::parse(src.carat).value_or(Decimal5());
    const Decimal5 cost = Decimal5::parse(src.costUS).value_or(Decimal5());
    txtID->setText(QString::number(src.id));
    txtSKU->setText(src.sku);
    txtShape->setText(src.shape);
    txtCarat->setText(src.carat);
    txtWeightLow->setText(src.caratLow);
    txtWeightHigh->setText(src.caratHigh);
    txtColourLow->setText(src.colourLow);
    txtColourHigh->setText(src.colourHigh);
    txtClarityLow->setText(src.clarityLow);
    txtClarityHigh->setText(src.clarityHigh);
    txtCostUS->setText(src.costUS);
    txtCostLocal->setText(src.costLocal);
    txtPriceUS->setText(src.priceUS);
    txtPriceLocal->setText(src.priceLocal);
    set(txtUSParcelValue, carat.times(cost));
    for (Pane *p : {&old, &neu}) {
        if (!m_rate)
            for (QLineEdit *e : {p->costLocal, p->priceLocal})
                e->setPlaceholderText(QStringLiteral("rate not known"));
        p->shape->setText(src.shape);
        p->weightLow->setText(src.caratLow);
        p->weightHigh->setText(src.caratHigh);
        select(p->colourLow, src.colourLow);
        select(p->colourHigh, src.colourHigh);
        select(p->clarityLow, src.clarityLow);
        select(p->clarityHigh, src.clarityHigh);
        p->costUS->setText(src.costUS);
        p->costLocal->setText(src.costLocal);
        p->priceUS->setText(src.priceUS);
        p->priceLocal->setText(src.priceLocal);
    }
    old.id->setText(QString::number(src.id));
    old.sku->setText(src.sku);
    old.carat->setText(src.carat);
    set(old.value, carat.times(cost));
    set(neu.value, Decimal5());

    connect(neu.carat, &QLineEdit::textEdited, this, &frmSplitOlderParcel::caratNewChanged);
    connect(neu.value, &QLineEdit::textEdited, this, &frmSplitOlderParcel::valueNewChanged);
    for (Pane *p : {&old, &neu}) {
        connect(p->costUS, &QLineEdit::textEdited, this, [this, p] { costChanged(*p); });
        // Programmatic writes do not raise textEdited: a conversion never
        // runs its own reverse.
        connect(p->costLocal, &QLineEdit::textEdited, this, [this, p] {
            if (!m_rate)
                return; // a local cost typed is taken as typed
            toUS(p->costUS, p->costLocal);
            costChanged(*p, true, false); // the box being typed into keeps its text
        });
        connect(p->priceUS, &QLineEdit::textEdited, this, [this, p] { toLocal(p->priceLocal, val(p->priceUS)); });
        connect(p->priceLocal, &QLineEdit::textEdited, this, [this, p] { toUS(p->priceUS, p->priceLocal); });
        connect(p->useMarkup, &QCheckBox::toggled, this, [this, p] { markupToggled(*p); });
    }
    connect(cmdUpdate, &QPushButton::clicked, this, &frmSplitOlderParcel::update);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Costs and values are seen with the right to see costs only; splitting
    // needs the right to change parcels.
    followRights(ctx, this, [this] {
        setFormRowsVisible({txtCostUS, txtCostLocal, txtUSParcelValue, old.costUS, old.costLocal, old.value, neu.costUS,
                            neu.costLocal, neu.value},
                           m_ctx.user.ViewCost);
        cmdUpdate->setEnabled(mayUse(m_ctx, rights::ParcelChange));
    });
}

frmSplitOlderParcel::Pane frmSplitOlderParcel::buildPane(const char *suffix, bool isNew)
{
    auto *box = new QGroupBox(isNew ? QStringLiteral("New parcel") : QStringLiteral("Parcel after the split"), this);
    auto *f = new QFormLayout(box);
    const QString sfx = QString::fromLatin1(suffix);
    auto edit = [&](const char *base, bool editable) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(base) + sfx);
        e->setReadOnly(!editable);
        if (!editable)
            e->setStyleSheet(QStringLiteral("background-color: #ececec;"));
        return e;
    };
    QStringList colours, clarities;
    try {
        colours = stones::olderParcelGrades(m_ctx.db(), true);
        clarities = stones::olderParcelGrades(m_ctx.db(), false);
    } catch (const db::DbError &) {
        colours = clarities = QStringList{QString()};
    }
    auto combo = [&](const char *base, const QStringList &items) {
        auto *c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(base) + sfx);
        c->addItems(items);
        return c;
    };
    Pane p;
    p.id = edit("txtID", false);
    p.sku = edit("txtSKU", isNew);
    p.shape = edit("txtShape", isNew);
    p.carat = edit("txtCarat", isNew);
    p.weightLow = edit("txtWeightLow", true);
    p.weightHigh = edit("txtWeightHigh", true);
    p.colourLow = combo("cboColourLow", colours);
    p.colourHigh = combo("cboColourHigh", colours);
    p.clarityLow = combo("cboClarityLow", clarities);
    p.clarityHigh = combo("cboClarityHigh", clarities);
    p.costUS = edit("txtCostUS", true);
    p.costLocal = edit("txtCostLocal", true);
    p.priceUS = edit("txtPriceUS", true);
    p.priceLocal = edit("txtPriceLocal", true);
    p.value = edit("txtUSParcelValue", isNew);
    p.useMarkup = new QCheckBox(QStringLiteral("keep the markup"), this);
    p.useMarkup->setObjectName(QStringLiteral("chkUseMarkup") + sfx);
    const QString local = m_ctx.settings.currencyName();
    f->addRow(QStringLiteral("ID"), p.id);
    if (isNew) {
        // imgAuto: the next number after the letters typed into the new SKU.
        auto *row = new QHBoxLayout;
        row->addWidget(p.sku, 1);
        imgAuto = named(new QPushButton(QStringLiteral("Auto"), this), "imgAuto");
        imgAuto->setToolTip(QStringLiteral("The next free number after the letters typed"));
        row->addWidget(imgAuto);
        f->addRow(QStringLiteral("SKU"), row);
        connect(imgAuto, &QPushButton::clicked, this, &frmSplitOlderParcel::autoSku);
    } else {
        f->addRow(QStringLiteral("SKU"), p.sku);
    }
    f->addRow(QStringLiteral("Shape"), p.shape);
    f->addRow(QStringLiteral("Carats"), p.carat);
    f->addRow(QStringLiteral("Weight from"), p.weightLow);
    f->addRow(QStringLiteral("Weight to"), p.weightHigh);
    f->addRow(QStringLiteral("Colour from"), p.colourLow);
    f->addRow(QStringLiteral("Colour to"), p.colourHigh);
    f->addRow(QStringLiteral("Clarity from"), p.clarityLow);
    f->addRow(QStringLiteral("Clarity to"), p.clarityHigh);
    f->addRow(QStringLiteral("Cost US$/ct"), p.costUS);
    f->addRow(QStringLiteral("Cost %1/ct").arg(local), p.costLocal);
    f->addRow(QStringLiteral("Price US$/ct"), p.priceUS);
    f->addRow(QStringLiteral("Price %1/ct").arg(local), p.priceLocal);
    f->addRow(QStringLiteral("Value US$"), p.value);
    f->addRow(QString(), p.useMarkup);
    static_cast<QHBoxLayout *>(layout()->itemAt(0)->layout())->addWidget(box);
    return p;
}

void frmSplitOlderParcel::autoSku()
{
    const QString next = parcels::autoNumber(m_ctx, QStringLiteral("ParcelStock"), neu.sku->text().trimmed());
    if (!next.isEmpty())
        neu.sku->setText(next);
}

void frmSplitOlderParcel::set(QLineEdit *e, const Decimal5 &v)
{
    e->setText(v.fixed(2));
}

void frmSplitOlderParcel::caratNewChanged()
{
    set(old.carat, val(txtCarat) - val(neu.carat));
    set(neu.value, val(neu.costUS).times(val(neu.carat)));
    set(old.value, val(old.costUS).times(val(old.carat)));
}

void frmSplitOlderParcel::valueNewChanged()
{
    const Decimal5 oldValue = val(txtUSParcelValue) - val(neu.value);
    set(old.value, oldValue);
    // Both parts' cost per carat follow the value moved; the values stay as
    // they are.
    if (!val(old.carat).isZero()) {
        set(old.costUS, oldValue.dividedBy(val(old.carat)));
        costChanged(old, false);
    }
    if (!val(neu.carat).isZero()) {
        set(neu.costUS, val(neu.value).dividedBy(val(neu.carat)));
        costChanged(neu, false);
    }
}

void frmSplitOlderParcel::costChanged(Pane &p, bool setValue, bool setLocal)
{
    const Decimal5 cost = val(p.costUS);
    const Decimal5 sourceCost = val(txtCostUS);
    if (p.useMarkup->isChecked() && !sourceCost.isZero()) {
        set(p.priceUS, val(txtPriceUS).dividedBy(sourceCost).times(cost));
        toLocal(p.priceLocal, val(p.priceUS));
    }
    if (setLocal)
        toLocal(p.costLocal, cost);
    if (setValue)
        set(p.value, cost.times(val(p.carat)));
}

void frmSplitOlderParcel::toLocal(QLineEdit *local, const Decimal5 &us)
{
    if (m_rate)
        set(local, convertedAmount(us, *m_rate));
    else
        local->clear();
}

void frmSplitOlderParcel::toUS(QLineEdit *us, const QLineEdit *local)
{
    if (m_rate)
        set(us, val(local).dividedBy(*m_rate, 2)); // rounded once, to the cent
}

void frmSplitOlderParcel::markupToggled(Pane &p)
{
    const bool on = p.useMarkup->isChecked();
    lockPrice(p.priceUS, on);
    lockPrice(p.priceLocal, on);
    if (on)
        costChanged(p);
}

bool frmSplitOlderParcel::update()
{
    // The value box only fills the new parcel's costs: text in it that is no
    // figure is refused, never passed over.
    if (!figures::isTyped(neu.value->text())) {
        m_ctx.prompt().inform(figures::notANumberMessage(QStringLiteral("value of the new Parcel"), neu.value->text()),
                              QStringLiteral("Split Parcel"), Icon::Information);
        return false;
    }
    auto pane = [](const Pane &p) {
        parcels::OlderSplitPane o;
        o.weightLow = p.weightLow->text();
        o.weightHigh = p.weightHigh->text();
        o.colourA = gradeOf(p.colourLow);
        o.colourB = gradeOf(p.colourHigh);
        o.clarityA = gradeOf(p.clarityLow);
        o.clarityB = gradeOf(p.clarityHigh);
        o.costUS = p.costUS->text();
        o.costLocal = p.costLocal->text();
        o.priceUS = p.priceUS->text();
        o.priceLocal = p.priceLocal->text();
        return o;
    };
    parcels::OlderSplit s;
    s.sourceId = txtID->text().toLongLong();
    s.sourceCarat = txtCarat->text();
    s.newSku = neu.sku->text();
    s.newShape = neu.shape->text();
    s.newCarat = neu.carat->text();
    s.sellUS = m_sellUS;
    s.old = pane(old);
    s.neu = pane(neu);
    const parcels::Outcome o = parcels::splitOlderParcel(m_ctx, s);
    if (o.result != parcels::Result::Done)
        return false;
    m_newId = o.id;
    accept();
    return true;
}

} // namespace velmor::ui
