#include "parcels/frmParcel.h"

#include "core/Users.h"
#include "core/Failures.h"
#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/widgets/ListColumns.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Sql.h"
#include "parcels/frmMemoLoadParcel.h"
#include "parcels/frmParcelAdd.h"
#include "parcels/frmParcelHistory.h"
#include "parcels/frmParcelPutOnMemo.h"
#include "parcels/frmSplitParcel.h"
#include "pricing/Grades.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

using namespace velmor::parcels;

namespace {

const QString kLockedStyle = QStringLiteral("background-color: #ececec;");

QString dateText(const QDateTime &d)
{
    return d.isValid() ? QLocale(QLocale::English, QLocale::UnitedStates).toString(d, QStringLiteral("MMM dd, yyyy   h:mm"))
                       : QString();
}

template <class W> void openWindow(W *w, QWidget *opener)
{
    w->setAttribute(Qt::WA_DeleteOnClose);
    if (opener)
        w->move(opener->geometry().center() - QPoint(w->sizeHint().width() / 2, w->sizeHint().height() / 2));
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

frmParcel::frmParcel(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmParcel"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Parcels"));
    auto *root = new QHBoxLayout(this);

    // Finding.
    auto *find = new QVBoxLayout;
    auto *filters = new QHBoxLayout;
    txtCaratSearch = named(new QLineEdit(this), "txtCaratSearch");
    numberBox(txtCaratSearch);
    txtCaratSearch->setPlaceholderText(QStringLiteral("ct"));
    cboColorSearch = named(new QComboBox(this), "cboColorSearch");
    cboClaritySearch = named(new QComboBox(this), "cboClaritySearch");
    Command1 = named(new QPushButton(QStringLiteral("Clear"), this), "Command1");
    filters->addWidget(new QLabel(QStringLiteral("Weight"), this));
    filters->addWidget(txtCaratSearch);
    filters->addWidget(new QLabel(QStringLiteral("Colour"), this));
    filters->addWidget(cboColorSearch);
    filters->addWidget(new QLabel(QStringLiteral("Clarity"), this));
    filters->addWidget(cboClaritySearch);
    filters->addWidget(Command1);
    find->addLayout(filters);
    grdParcels = named(new QTableWidget(0, 10, this), "grdParcels");
    grdParcels->setHorizontalHeaderLabels({QStringLiteral("sku"), QStringLiteral("ct on-hand"), QStringLiteral("shape"),
                                           QStringLiteral("<<< ct"), QStringLiteral("ct >>>"), QStringLiteral("<<< Colour"),
                                           QStringLiteral("Colour >>>"), QStringLiteral("<<< Clarity"),
                                           QStringLiteral("Clarity >>>"), QStringLiteral("id")});
    grdParcels->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdParcels->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdParcels->verticalHeader()->hide();
    find->addWidget(grdParcels);
    root->addLayout(find, 3);

    // The parcel.
    auto *rec = new QVBoxLayout;
    auto *form = new QFormLayout;
    txtSKU = named(new QLineEdit(this), "txtSKU");
    cboShape = named(new QComboBox(this), "cboShape");
    cboShape->setEditable(true);
    cboShape->addItems({QString(), QStringLiteral("Round Brilliant [BR]"), QStringLiteral("Pear [PS]"),
                        QStringLiteral("Marquise [MQ]"), QStringLiteral("Princess [PR]"), QStringLiteral("Cushion"),
                        QStringLiteral("Emerald"), QStringLiteral("Heart"), QStringLiteral("Radiant"),
                        QStringLiteral("Triangle")});
    txtCarat = named(new QLineEdit(this), "txtCarat");
    numberBox(txtCarat);
    txtLowCarat = named(new QLineEdit(this), "txtLowCarat");
    numberBox(txtLowCarat);
    txtHighCarat = named(new QLineEdit(this), "txtHighCarat");
    numberBox(txtHighCarat);
    txtAvrgCarat = named(new QLineEdit(this), "txtAvrgCarat");
    txtQuantity = named(new QLineEdit(this), "txtQuantity");
    cboColourLow = named(new QComboBox(this), "cboColourLow");
    cboColourHigh = named(new QComboBox(this), "cboColourHigh");
    cboClarityLow = named(new QComboBox(this), "cboClarityLow");
    cboClarityHigh = named(new QComboBox(this), "cboClarityHigh");
    txtSellPerCarat = named(new QLineEdit(this), "txtSellPerCarat");
    numberBox(txtSellPerCarat);
    txtComment = named(new QLineEdit(this), "txtComment");
    lblDates = named(new QLabel(this), "lblDates");
    txtLastUSCost = named(new QLineEdit(this), "txtLastUSCost");
    txtLastVendor = named(new QLineEdit(this), "txtLastVendor");
    txtAVRUSCost = named(new QLineEdit(this), "txtAVRUSCost");
    txtCaratonMEMO = named(new QLineEdit(this), "txtCaratonMEMO");
    for (QLineEdit *e : {txtLastUSCost, txtLastVendor, txtAVRUSCost, txtCaratonMEMO}) {
        e->setReadOnly(true);
        e->setStyleSheet(kLockedStyle);
    }
    auto pair = [this](QWidget *a, QWidget *b) {
        auto *h = new QHBoxLayout;
        h->addWidget(a);
        h->addWidget(new QLabel(QStringLiteral("-"), this));
        h->addWidget(b);
        return h;
    };
    form->addRow(QStringLiteral("SKU"), txtSKU);
    form->addRow(QStringLiteral("Shape"), cboShape);
    form->addRow(QStringLiteral("Carats on hand"), txtCarat);
    form->addRow(QStringLiteral("Stone weight"), pair(txtLowCarat, txtHighCarat));
    form->addRow(QStringLiteral("Average weight"), txtAvrgCarat);
    form->addRow(QStringLiteral("Stones"), txtQuantity);
    form->addRow(QStringLiteral("Colour"), pair(cboColourLow, cboColourHigh));
    form->addRow(QStringLiteral("Clarity"), pair(cboClarityLow, cboClarityHigh));
    form->addRow(QStringLiteral("Selling US$/ct"), txtSellPerCarat);
    form->addRow(QStringLiteral("Comment"), txtComment);
    form->addRow(QStringLiteral("Last cost US$/ct"), txtLastUSCost);
    form->addRow(QStringLiteral("Last vendor"), txtLastVendor);
    form->addRow(QStringLiteral("Average cost US$/ct"), txtAVRUSCost);
    form->addRow(QStringLiteral("Carats on memo"), txtCaratonMEMO);
    form->addRow(lblDates);
    rec->addLayout(form);
    // What the parcel cost is seen only with the right to see costs.
    auto showCosts = [this, form] {
        for (QWidget *e : {static_cast<QWidget *>(txtLastUSCost), static_cast<QWidget *>(txtLastVendor),
                           static_cast<QWidget *>(txtAVRUSCost)})
            form->setRowVisible(e, m_ctx.user.ViewCost);
    };
    showCosts();
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, [this, showCosts] {
        showCosts();
        updateCommands();
    });
    // Carats moved by any screen of this workstation: the grid and the
    // parcel shown are read again (not while the user edits it).
    connect(&changeEvents(m_ctx), &ChangeEvents::parcelChanged, this, [this](qint64 id) {
        if (busy())
            return;
        runSearch();
        if (m_loaded && (id == 0 || id == m_loaded->id))
            loadParcel(m_loaded->id);
    });
    auto *cmds = new QGridLayout;
    cmdAddDiamond = named(new QPushButton(QStringLiteral("&New"), this), "cmdAddDiamond");
    cmdEditDiamond = named(new QPushButton(QStringLiteral("&Edit"), this), "cmdEditDiamond");
    cmdUpdate = named(new QPushButton(QStringLiteral("&Save"), this), "cmdUpdate");
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel");
    cmdReceive = named(new QPushButton(QStringLiteral("&Receive stock"), this), "cmdReceive");
    cmdHistory = named(new QPushButton(QStringLiteral("&History"), this), "cmdHistory");
    Command3 = named(new QPushButton(QStringLiteral("put on MEMO Parcel"), this), "Command3");
    Command4 = named(new QPushButton(QStringLiteral("Find parcel &memo"), this), "Command4");
    cmdSplit = named(new QPushButton(QStringLiteral("S&plit"), this), "cmdSplit");
    const QList<QPushButton *> buttons = {cmdAddDiamond, cmdEditDiamond, cmdUpdate, cmdCancel, cmdReceive,
                                          cmdHistory,    Command3,       Command4,  cmdSplit};
    for (int i = 0; i < buttons.size(); ++i) {
        buttons[i]->setAutoDefault(false);
        cmds->addWidget(buttons[i], i / 4, i % 4);
    }
    rec->addLayout(cmds);
    root->addLayout(rec, 2);

    try {
        for (QComboBox *c : {cboColorSearch, cboColourLow, cboColourHigh})
            c->addItems(pricing::gradeComboEntries(ctx.db(), pricing::GradeKind::Colour, ctx.settings.DontUseSplits));
        for (QComboBox *c : {cboClaritySearch, cboClarityLow, cboClarityHigh})
            c->addItems(pricing::gradeComboEntries(ctx.db(), pricing::GradeKind::Clarity, ctx.settings.DontUseSplits));
    } catch (const db::DbError &) {
    }

    tmrSearch = new QTimer(this);
    tmrSearch->setObjectName(QStringLiteral("tmrSearch"));
    tmrSearch->setSingleShot(true);
    tmrSearch->setInterval(250);
    connect(tmrSearch, &QTimer::timeout, this, &frmParcel::runSearch);
    tmrButtons = new QTimer(this);
    tmrButtons->setObjectName(QStringLiteral("tmrButtons"));
    tmrButtons->setInterval(300);
    connect(tmrButtons, &QTimer::timeout, this, &frmParcel::updateCommands);
    tmrButtons->start();
    auto restart = [this] { tmrSearch->start(); };
    connect(txtCaratSearch, &QLineEdit::textChanged, this, restart);
    connect(cboColorSearch, &QComboBox::currentIndexChanged, this, restart);
    connect(cboClaritySearch, &QComboBox::currentIndexChanged, this, restart);
    connect(Command1, &QPushButton::clicked, this, &frmParcel::clearSearch);
    connect(grdParcels, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (!busy())
            loadParcel(grdParcels->item(row, 9)->text().toLongLong());
    });
    connect(txtLowCarat, &QLineEdit::textEdited, this, &frmParcel::weightsChanged);
    connect(txtHighCarat, &QLineEdit::textEdited, this, &frmParcel::weightsChanged);
    connect(txtCarat, &QLineEdit::textEdited, this, &frmParcel::caratsChanged);
    connect(txtAvrgCarat, &QLineEdit::textEdited, this, &frmParcel::caratsChanged);
    connect(cmdAddDiamond, &QPushButton::clicked, this, &frmParcel::addParcel);
    connect(cmdEditDiamond, &QPushButton::clicked, this, &frmParcel::editParcel);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmParcel::update);
    connect(cmdCancel, &QPushButton::clicked, this, &frmParcel::cancel);
    connect(cmdReceive, &QPushButton::clicked, this, &frmParcel::receive);
    connect(cmdHistory, &QPushButton::clicked, this, &frmParcel::history);
    connect(Command3, &QPushButton::clicked, this, &frmParcel::putOnMemo);
    connect(Command4, &QPushButton::clicked, this, &frmParcel::findMemo);
    connect(cmdSplit, &QPushButton::clicked, this, &frmParcel::split);
    lock(true);
    resize(1200, 640);
    runSearch();
    updateCommands();
}

void frmParcel::runSearch()
{
    ParcelSearch s;
    s.weight = txtCaratSearch->text();
    s.colour = pricing::gradeNumberOfEntry(cboColorSearch->currentText());
    s.clarity = pricing::gradeNumberOfEntry(cboClaritySearch->currentText());
    QList<ParcelHit> hits;
    try {
        hits = searchParcels(m_ctx.db(), s);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The parcel search failed"), QStringLiteral("Parcels"), e);
    }
    grdParcels->setRowCount(int(hits.size()));
    for (int r = 0; r < hits.size(); ++r) {
        const ParcelHit &h = hits.at(r);
        const QStringList cells = {h.sku,        h.onHand,     h.shape,      h.caratLow,    h.caratHigh,
                                   h.colourLow, h.colourHigh, h.clarityLow, h.clarityHigh, QString::number(h.id)};
        for (int c = 0; c < cells.size(); ++c)
            grdParcels->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    // Every column in view, the SKU and the ID to their last character.
    showAllColumns(grdParcels);
}

void frmParcel::clearSearch()
{
    txtCaratSearch->clear();
    cboColorSearch->setCurrentIndex(0);
    cboClaritySearch->setCurrentIndex(0);
    runSearch();
}

void frmParcel::setGrade(QComboBox *c, int number)
{
    int idx = 0;
    if (number) {
        idx = -1;
        for (int i = 0; i < c->count(); ++i)
            if (pricing::gradeNumberOfEntry(c->itemText(i)) == number && !c->itemText(i).isEmpty())
                idx = i;
    }
    c->setCurrentIndex(idx);
    m_shownGrade[c] = c->currentText();
}

int frmParcel::gradeOf(QComboBox *c, int loaded) const
{
    if (m_loaded && !m_adding && c->currentText() == m_shownGrade.value(c))
        return loaded;
    return pricing::gradeNumberOfEntry(c->currentText());
}

void frmParcel::showParcel(const std::optional<Parcel> &p)
{
    m_filling = true;
    const ParcelFields f = p ? fieldsOf(*p) : ParcelFields{};
    txtSKU->setText(f.sku);
    cboShape->setEditText(f.shape);
    txtCarat->setText(p ? f.carat : QString());
    txtLowCarat->setText(p ? f.caratLow : QString());
    txtHighCarat->setText(p ? f.caratHigh : QString());
    txtAvrgCarat->setText(p ? averageWeight(f.caratLow, f.caratHigh) : QString());
    txtQuantity->setText(f.quantity);
    txtSellPerCarat->setText(p ? f.sellPerCarat : QString());
    txtComment->setText(f.comment);
    setGrade(cboColourLow, f.colourLow);
    setGrade(cboColourHigh, f.colourHigh);
    setGrade(cboClarityLow, f.clarityLow);
    setGrade(cboClarityHigh, f.clarityHigh);
    ParcelFigures fig;
    if (p) {
        try {
            fig = parcelFigures(m_ctx.db(), p->id);
        } catch (const db::DbError &) {
        }
        lblDates->setText(QStringLiteral("created %1   added %2   removed %3   updated %4")
                              .arg(dateText(p->datecreated), dateText(p->dateadded), dateText(p->dateremoved),
                                   dateText(p->dateupdated)));
    } else {
        lblDates->clear();
    }
    txtLastUSCost->setText(p && fig.hasLastCost ? fig.lastCost.grouped2() : QString());
    txtLastVendor->setText(p ? fig.lastVendor : QString());
    txtAVRUSCost->setText(p && fig.hasAverageCost ? fig.averageCost.grouped2() : QString());
    txtCaratonMEMO->setText(p ? fig.onMemo.fixed(2) : QString());
    m_filling = false;
}

void frmParcel::loadParcel(qint64 id)
{
    if (busy())
        return;
    try {
        m_loaded = parcels::loadParcel(m_ctx.db(), id);
    } catch (const db::DbError &e) {
        m_loaded.reset();
        informFailure(m_ctx, QStringLiteral("The parcel could not be read"), QStringLiteral("Parcels"), e);
    }
    showParcel(m_loaded);
    lock(true);
    updateCommands();
}

void frmParcel::lock(bool locked)
{
    for (QLineEdit *e : {txtSKU, txtCarat, txtLowCarat, txtHighCarat, txtAvrgCarat, txtQuantity, txtSellPerCarat,
                         txtComment}) {
        e->setReadOnly(locked);
        e->setStyleSheet(locked ? kLockedStyle : QString());
    }
    for (QComboBox *c : {cboShape, cboColourLow, cboColourHigh, cboClarityLow, cboClarityHigh})
        c->setEnabled(!locked);
}

void frmParcel::weightsChanged()
{
    if (m_filling)
        return;
    txtAvrgCarat->setText(averageWeight(txtLowCarat->text(), txtHighCarat->text()));
    caratsChanged();
}

void frmParcel::caratsChanged()
{
    if (m_filling)
        return;
    const QString n = stoneCount(txtCarat->text(), txtAvrgCarat->text());
    if (!n.isEmpty())
        txtQuantity->setText(n);
}

void frmParcel::addParcel()
{
    if (busy())
        return;
    m_adding = true;
    m_loaded.reset();
    showParcel(std::nullopt);
    lock(false);
    updateCommands();
    txtSKU->setFocus();
}

void frmParcel::editParcel()
{
    if (busy() || !m_loaded)
        return;
    m_editing = true;
    lock(false);
    updateCommands();
}

ParcelFields frmParcel::fieldsFromControls() const
{
    ParcelFields f;
    f.sku = txtSKU->text();
    f.shape = cboShape->currentText();
    f.quantity = txtQuantity->text();
    f.comment = txtComment->text();
    f.carat = txtCarat->text();
    f.caratLow = txtLowCarat->text();
    f.caratHigh = txtHighCarat->text();
    f.sellPerCarat = txtSellPerCarat->text();
    const ParcelFields loaded = m_loaded ? fieldsOf(*m_loaded) : ParcelFields{};
    f.colourLow = gradeOf(cboColourLow, loaded.colourLow);
    f.colourHigh = gradeOf(cboColourHigh, loaded.colourHigh);
    f.clarityLow = gradeOf(cboClarityLow, loaded.clarityLow);
    f.clarityHigh = gradeOf(cboClarityHigh, loaded.clarityHigh);
    return f;
}

bool frmParcel::update()
{
    if (!busy())
        return false;
    const Outcome o = saveParcel(m_ctx, m_adding ? std::nullopt : m_loaded, fieldsFromControls());
    if (o.result != Result::Done && o.result != Result::Unchanged)
        return false;
    m_adding = m_editing = false;
    loadParcel(o.id);
    runSearch();
    return true;
}

void frmParcel::cancel()
{
    if (!busy())
        return;
    const qint64 id = currentId();
    m_adding = m_editing = false;
    loadParcel(id);
}

frmParcelAdd *frmParcel::receive()
{
    if (busy() || !m_loaded)
        return nullptr;
    auto *w = new frmParcelAdd(m_ctx, m_loaded->id, this);
    connect(w, &frmParcelAdd::received, this, [this, id = m_loaded->id] { loadParcel(id); });
    openWindow(w, this);
    return w;
}

frmParcelHistory *frmParcel::history()
{
    if (!m_loaded)
        return nullptr;
    auto *w = new frmParcelHistory(m_ctx, m_loaded->id, this);
    openWindow(w, this);
    return w;
}

frmParcelPutOnMemo *frmParcel::putOnMemo()
{
    if (busy() || !m_loaded)
        return nullptr;
    // Start from the figures as they are now (memos and other workstations
    // move carats while the screen is open).
    loadParcel(m_loaded->id);
    if (!m_loaded)
        return nullptr;
    auto *w = new frmParcelPutOnMemo(m_ctx, m_loaded->id, this);
    w->txtOnHand->setText(txtCarat->text());
    w->txtAverageCost->setText(QString(txtAVRUSCost->text()).remove(QLatin1Char(',')));
    w->txtLastCost->setText(QString(txtLastUSCost->text()).remove(QLatin1Char(',')));
    w->setPrice(QString(txtSellPerCarat->text()).remove(QLatin1Char(',')));
    connect(w, &frmParcelPutOnMemo::memoChanged, this, [this, id = m_loaded->id] { loadParcel(id); });
    openWindow(w, this);
    return w;
}

frmMemoLoadParcel *frmParcel::findMemo()
{
    auto *w = new frmMemoLoadParcel(m_ctx, this);
    connect(w, &frmMemoLoadParcel::memoChanged, this, [this] { loadParcel(currentId()); });
    openWindow(w, this);
    return w;
}

frmSplitParcel *frmParcel::split()
{
    if (busy() || !m_loaded)
        return nullptr;
    // Start from the figures as they are now (memos and other workstations
    // move carats while the screen is open).
    loadParcel(m_loaded->id);
    if (!m_loaded)
        return nullptr;
    auto *w = new frmSplitParcel(m_ctx, *m_loaded, this);
    connect(w, &frmSplitParcel::split, this, [this](qint64) {
        loadParcel(currentId());
        runSearch();
    });
    openWindow(w, this);
    return w;
}

void frmParcel::updateCommands()
{
    const bool shown = m_loaded.has_value();
    // Each command that writes is for a logged-in user with its right.
    auto may = [this](const QString &right) { return m_ctx.user.ID != 0 && m_ctx.user.has(right); };
    const bool change = may(rights::ParcelChange);
    cmdAddDiamond->setEnabled(!busy() && may(rights::ParcelCreate));
    cmdEditDiamond->setEnabled(!busy() && shown && change);
    cmdUpdate->setEnabled(busy() && may(m_adding ? rights::ParcelCreate : rights::ParcelChange));
    cmdCancel->setEnabled(busy());
    cmdReceive->setEnabled(!busy() && shown && change);
    cmdHistory->setEnabled(shown);
    cmdSplit->setEnabled(!busy() && shown && change);
    Command3->setEnabled(!busy() && shown && may(rights::Memo));
    const QString sku = shown ? m_loaded->sku : QString();
    Command3->setText(QStringLiteral("put on MEMO ") + (sku.isEmpty() ? QStringLiteral("Parcel") : sku));
}

} // namespace velmor::ui
