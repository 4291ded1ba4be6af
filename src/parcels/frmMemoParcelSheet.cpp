#include "parcels/frmMemoParcelSheet.h"

#include "core/Users.h"
#include "core/widgets/RightsOnScreen.h"
#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "core/widgets/Named.h"
#include "db/Sql.h"
#include "parcels/ParcelMemoPrint.h"
#include "parcels/frmMemoParcelRemove.h"
#include "pricing/Grades.h"
#include "printing/PrintJob.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

using namespace velmor::parcels;

namespace {
const QString kPrinterFile = QStringLiteral("lastprinterformemosheet.ini");
const QString kTitle = QStringLiteral("Parcel Memo");
} // namespace

frmMemoParcelSheet::frmMemoParcelSheet(AppContext &ctx, qint64 memoId, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_memoId(memoId)
{
    setObjectName(QStringLiteral("frmMemoParcelSheet"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Parcel Memo #P%1").arg(memoId));
    auto *root = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    lblCustomer = named(new QLabel(this), "lblCustomer");
    auto *dates = new QVBoxLayout;
    lblCreated = named(new QLabel(this), "lblCreated");
    lblStatus = named(new QLabel(this), "lblStatus");
    dates->addWidget(lblCreated);
    dates->addWidget(lblStatus);
    head->addWidget(lblCustomer, 1);
    head->addLayout(dates);
    root->addLayout(head);
    auto *view = new QHBoxLayout;
    Option1 = named(new QRadioButton(QStringLiteral("current"), this), "Option1");
    Option2 = named(new QRadioButton(QStringLiteral("history"), this), "Option2");
    Option1->setChecked(true);
    view->addWidget(Option1);
    view->addWidget(Option2);
    view->addStretch();
    root->addLayout(view);
    grdMemo = named(new QTableWidget(0, 9, this), "grdMemo");
    grdMemo->setHorizontalHeaderLabels({QStringLiteral("SKU"), QStringLiteral("Carat"), QStringLiteral("Action"),
                                        QStringLiteral("Size"), QStringLiteral("Colour"), QStringLiteral("Clarity"),
                                        QStringLiteral("Date"), QStringLiteral("Price"), QStringLiteral("ID")});
    grdMemo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdMemo->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdMemo->setSelectionMode(QAbstractItemView::SingleSelection);
    grdMemo->verticalHeader()->hide();
    root->addWidget(grdMemo);
    auto *cmds = new QHBoxLayout;
    cmdRemove = named(new QPushButton(this), "cmdRemove");
    cmdSell = named(new QPushButton(this), "cmdSell");
    chkCDN = named(new QCheckBox(ctx.settings.currencyName(), this), "chkCDN");
    chkZAR = named(new QCheckBox(QStringLiteral("ZAR"), this), "chkZAR");
    Command5 = named(new QPushButton(QStringLiteral("&Print"), this), "Command5");
    cboPrinter = named(new QComboBox(this), "cboPrinter");
    cboPrinter->addItems(printing::printerChoices(true));
    cboPrinter->setCurrentIndex(
        printing::choiceIndex(printing::printerChoices(true), printing::readPrinterChoice(ctx.workstation, kPrinterFile)));
    txtPdfFile = named(new QLineEdit(this), "txtPdfFile");
    txtPdfFile->setPlaceholderText(QStringLiteral("PDF file"));
    for (QWidget *w : {static_cast<QWidget *>(cmdRemove), static_cast<QWidget *>(cmdSell), static_cast<QWidget *>(chkCDN),
                       static_cast<QWidget *>(chkZAR), static_cast<QWidget *>(cboPrinter),
                       static_cast<QWidget *>(txtPdfFile), static_cast<QWidget *>(Command5)})
        cmds->addWidget(w);
    root->addLayout(cmds);
    connect(Option1, &QRadioButton::toggled, this, &frmMemoParcelSheet::reload);
    connect(grdMemo, &QTableWidget::itemSelectionChanged, this, &frmMemoParcelSheet::selectionChanged);
    connect(cmdRemove, &QPushButton::clicked, this, &frmMemoParcelSheet::remove);
    connect(cmdSell, &QPushButton::clicked, this, &frmMemoParcelSheet::sell);
    connect(Command5, &QPushButton::clicked, this, &frmMemoParcelSheet::print);
    // The memo, one of its parcels or its customer changed on another
    // screen of this workstation.
    connect(&changeEvents(ctx), &ChangeEvents::parcelMemoChanged, this, [this](qint64 id) {
        if (id == 0 || id == m_memoId)
            reload();
    });
    connect(&changeEvents(ctx), &ChangeEvents::parcelChanged, this, [this](qint64 id) {
        bool shown = id == 0;
        for (int r = 0; r < grdMemo->rowCount() && !shown; ++r)
            shown = grdMemo->item(r, 8)->text().toLongLong() == id;
        if (shown)
            reload();
    });
    connect(&changeEvents(ctx), &ChangeEvents::customerChanged, this, [this] { reload(); });
    // Carats go back or are sold by a logged-in user with the memo right.
    connect(&ctx.events(), &ContextEvents::rightsChanged, this, &frmMemoParcelSheet::selectionChanged);
    resize(980, 480);
    reload();
}

void frmMemoParcelSheet::reload()
{
    std::optional<ParcelMemoHeader> h;
    QList<ParcelMemoLine> lines;
    const bool history = Option2->isChecked();
    try {
        h = loadParcelMemo(m_ctx.db(), m_memoId);
        lines = parcelMemoLines(m_ctx.db(), m_memoId, history);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The parcel memo could not be read"), QStringLiteral("Parcel Memo"), e);
    }
    if (h) {
        lblCustomer->setText(QStringList{h->companyName, h->street1, h->street2,
                                         h->city + (h->province.isEmpty() ? QString() : QStringLiteral(", ") + h->province),
                                         h->zip, h->phone}
                                 .join(QLatin1Char('\n')));
        lblCreated->setText(createdCaption(*h));
        lblStatus->setText(statusCaption(*h));
    }
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    grdMemo->clearSelection();
    grdMemo->setRowCount(int(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        const ParcelMemoLine &l = lines.at(r);
        const QStringList cells = {
            l.sku,
            l.carat.fixed(2) + QStringLiteral(" ct"),
            l.action,
            l.caratLow.fixed(2) + QStringLiteral(" - ") + l.caratHigh.fixed(2),
            pricing::colourCodeText(l.colourLow) + QStringLiteral(" - ") + pricing::colourCodeText(l.colourHigh),
            pricing::clarityCodeText(l.clarityLow) + QStringLiteral(" - ") + pricing::clarityCodeText(l.clarityHigh),
            us.toString(l.date, QStringLiteral("MMM dd, yyyy  HH:mm")),
            l.priceCarat.grouped2() + QStringLiteral(" US$/ct"),
            QString::number(l.parcelId)};
        for (int c = 0; c < cells.size(); ++c)
            grdMemo->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    grdMemo->resizeColumnsToContents();
    cmdRemove->setVisible(!history);
    cmdSell->setVisible(!history);
    selectionChanged();
}

bool frmMemoParcelSheet::selected(qint64 &parcelId, QString &sku) const
{
    const auto rows = grdMemo->selectionModel()->selectedRows();
    if (rows.isEmpty() || Option2->isChecked())
        return false;
    const int r = rows.first().row();
    parcelId = grdMemo->item(r, 8)->text().toLongLong();
    sku = grdMemo->item(r, 0)->text();
    return true;
}

void frmMemoParcelSheet::selectionChanged()
{
    qint64 id = 0;
    QString sku;
    if (selected(id, sku)) {
        cmdRemove->setText(QStringLiteral("REMOVE Parcel ") + sku + QStringLiteral(" BACK INTO STOCK"));
        cmdSell->setText(QStringLiteral("SELL the Parcel ") + sku);
    } else {
        cmdRemove->setText(QStringLiteral("REMOVE Parcel BACK INTO STOCK"));
        cmdSell->setText(QStringLiteral("set this Parcel to ---SOLD---"));
    }
    cmdRemove->setEnabled(id != 0 && mayUse(m_ctx, rights::Memo));
    cmdSell->setEnabled(id != 0 && mayUse(m_ctx, rights::Memo));
}

bool frmMemoParcelSheet::selectedWithCaratsOut(qint64 &parcel, QString &sku, Decimal5 &out)
{
    if (!selected(parcel, sku))
        return false;
    out = caratsOut(m_ctx.db(), m_memoId, parcel);
    if (out <= Decimal5()) {
        m_ctx.prompt().inform(QStringLiteral("Parcel ") + sku + QStringLiteral(" is already at 0.00 ct. on this Memo"),
                              kTitle, Icon::Information);
        return false;
    }
    return true;
}

frmMemoParcelRemove *frmMemoParcelSheet::remove()
{
    qint64 parcel = 0;
    QString sku;
    Decimal5 out;
    if (!selectedWithCaratsOut(parcel, sku, out))
        return nullptr;
    auto *d = new frmMemoParcelRemove(sku, out, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setLines(outLines(m_ctx.db(), m_memoId, parcel));
    connect(d, &QDialog::accepted, this, [this, d, parcel] {
        if (returnFromMemo(m_ctx, m_memoId, parcel, d->carat(), d->lineId()).result == Result::Done)
            emit memoChanged();
        reload();
    });
    d->open();
    return d;
}

frmMemoParcelSell *frmMemoParcelSheet::sell()
{
    qint64 parcel = 0;
    QString sku;
    Decimal5 out;
    if (!selectedWithCaratsOut(parcel, sku, out))
        return nullptr;
    auto *d = new frmMemoParcelSell(sku, out, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setLines(outLines(m_ctx.db(), m_memoId, parcel));
    connect(d, &QDialog::accepted, this, [this, d, parcel] {
        if (sellFromMemo(m_ctx, m_memoId, parcel, d->carat(), d->lineId()).result == Result::Done)
            emit memoChanged();
        reload();
    });
    d->open();
    return d;
}

bool frmMemoParcelSheet::print()
{
    const QString entry = cboPrinter->currentText();
    if (entry == printing::kPdfEntry && txtPdfFile->text().trimmed().isEmpty()) {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("PDF file"),
                                                          QStringLiteral("parcel-memo-%1.pdf").arg(m_memoId),
                                                          QStringLiteral("PDF (*.pdf)"));
        if (file.isEmpty())
            return false;
        txtPdfFile->setText(file);
    }
    printing::writePrinterChoice(m_ctx.workstation, kPrinterFile, entry);
    const printing::PrintOutcome out =
        printParcelMemo(m_ctx, m_memoId, printing::PrintTarget::fromEntry(entry, txtPdfFile->text().trimmed()),
                        chkCDN->isChecked(), chkZAR->isChecked());
    reload();
    if (out.ok)
        emit memoChanged();
    return out.ok;
}

} // namespace velmor::ui
