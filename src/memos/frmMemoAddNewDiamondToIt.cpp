#include "memos/frmMemoAddNewDiamondToIt.h"

#include "core/Figures.h"

#include "core/Failures.h"
#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/Screens.h"
#include "core/widgets/Named.h"
#include "core/widgets/NumberBox.h"
#include "db/Sql.h"
#include "memos/MemoFiles.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrint.h"
#include "memos/frmMEMOsetup.h"
#include "pricing/SellingPrice.h"
#include "printing/PrintSurface.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {
bool sameMinute(const QDateTime &a, const QDateTime &b)
{
    return a.date() == b.date() && a.time().hour() == b.time().hour() && a.time().minute() == b.time().minute();
}

qint64 idOfEntry(const QString &entry)
{
    const int at = entry.lastIndexOf(QLatin1String("--- ID"));
    return at < 0 ? 0 : entry.mid(at + 6).trimmed().toLongLong();
}
} // namespace

frmMemoAddNewDiamondToIt::frmMemoAddNewDiamondToIt(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMemoAddNewDiamondToIt"));
    setWindowTitle(QStringLiteral("Memo Sheet"));
    build();
    // Form_Load: the check boxes, the printers, the employees, the last discount.
    const memos::MemoFiles files(m_ctx.workstation);
    bool cdn = false, zar = false;
    files.currencies(&cdn, &zar);
    w<QCheckBox>("chkCDN")->setChecked(cdn);
    w<QCheckBox>("chkZAR")->setChecked(zar);
    QComboBox *printers = w<QComboBox>("cboPrinter");
    // Every printer, and a PDF file, as for the other documents.
    const QStringList choices = printing::printerChoices(true);
    printers->addItems(choices);
    printers->setCurrentIndex(printing::choiceIndex(choices, files.printer()));
    QComboBox *users = w<QComboBox>("cboUser");
    users->addItem(QString());
    try {
        users->addItems(memos::employeeEntries(m_ctx));
    } catch (const db::DbError &) {
    }
    if (m_ctx.user.ID)
        for (int i = 0; i < users->count(); ++i)
            if (idOfEntry(users->itemText(i)) == m_ctx.user.ID)
                users->setCurrentIndex(i);
    w<QLabel>("lblRapDiscount1")->setText(files.lastDiscount().isEmpty()
                                              ? QString()
                                              : QStringLiteral("last: ") + files.lastDiscount() + QStringLiteral(" %"));
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmMemoAddNewDiamondToIt::updateCommands);
    // The sheet or one of its stones changed on another screen.
    connect(&changeEvents(m_ctx), &ChangeEvents::memoChanged, this, [this](qint64 id) {
        if (m_sheet != 0 && (id == 0 || id == m_sheet))
            reload();
    });
    connect(&changeEvents(m_ctx), &ChangeEvents::stoneChanged, this, [this](qint64 id) {
        if (m_sheet == 0)
            return;
        bool shown = id == 0 || id == m_stone;
        for (const memos::MemoLine &l : m_data.lines)
            shown = shown || l.stoneId == id;
        if (shown)
            reload();
    });
}

void frmMemoAddNewDiamondToIt::build()
{
    auto *top = new QVBoxLayout(this);
    auto ro = [this](const char *name) {
        auto *e = named(new QLineEdit(this), name);
        e->setReadOnly(true);
        return e;
    };
    auto *head = new QGridLayout;
    head->addWidget(named(new QLabel(this), "lblMemoSheet"), 0, 0);
    head->addWidget(ro("txtCompanyName"), 1, 0, 1, 2);
    head->addWidget(ro("txtStreet1"), 2, 0, 1, 2);
    head->addWidget(ro("txtStreet2"), 3, 0, 1, 2);
    head->addWidget(ro("txtCity"), 4, 0);
    head->addWidget(ro("txtZIP"), 4, 1);
    head->addWidget(ro("txtPhone"), 5, 0);
    head->addWidget(ro("txtFax"), 5, 1);
    head->addWidget(new QLabel(QStringLiteral("Date:"), this), 0, 2);
    head->addWidget(named(new QLabel(this), "lblMemoDate"), 0, 3);
    auto *dt1 = named(new QDateTimeEdit(this), "dt1");
    dt1->setCalendarPopup(true);
    dt1->setDisplayFormat(QStringLiteral("MMM dd, yyyy HH:mm"));
    dt1->setVisible(false);
    head->addWidget(dt1, 1, 3);
    head->addWidget(named(new QPushButton(QStringLiteral("edit ->"), this), "cmdDate"), 0, 4);
    head->addWidget(new QLabel(QStringLiteral("Ref:"), this), 2, 2);
    head->addWidget(named(new QLabel(this), "lblMemoRef"), 2, 3);
    auto *ref = named(new QLineEdit(this), "txtMemoRef");
    ref->setMaxLength(25);
    ref->setVisible(false);
    head->addWidget(ref, 3, 3);
    head->addWidget(named(new QPushButton(QStringLiteral("edit ->"), this), "cmdRef"), 2, 4);
    head->addWidget(new QLabel(QStringLiteral("Employee:"), this), 4, 2);
    head->addWidget(named(new QComboBox(this), "cboUser"), 4, 3, 1, 2);
    top->addLayout(head);

    auto *stone = new QGroupBox(QStringLiteral("Diamond"), this);
    auto *sl = new QGridLayout(stone);
    auto *scan = named(new QLineEdit(stone), "txtScanData");
    scan->setPlaceholderText(QStringLiteral("SKU or scan"));
    sl->addWidget(scan, 0, 0);
    int col = 1;
    for (const char *name : {"lblSKU", "lblWeight", "lblColour", "lblClarity", "lblStatus"})
        sl->addWidget(named(new QLabel(stone), name), 0, col++);
    sl->addWidget(new QLabel(QStringLiteral("% off RAP"), stone), 1, 0);
    sl->addWidget(named(new QLineEdit(stone), "txtDiscount"), 1, 1);
    sl->addWidget(named(new QLabel(stone), "lblRapDiscount2"), 1, 2);
    sl->addWidget(named(new QLabel(stone), "lblRapDiscount1"), 1, 3);
    sl->addWidget(new QLabel(QStringLiteral("US$ /Stone"), stone), 2, 0);
    sl->addWidget(named(new QLineEdit(stone), "txtDiscountDollar"), 2, 1);
    sl->addWidget(new QLabel(QStringLiteral("US$ /ct"), stone), 2, 2);
    sl->addWidget(named(new QLineEdit(stone), "txtPriceCarat"), 2, 3);
    numberBoxes(stone, {"txtDiscount", "txtDiscountDollar", "txtPriceCarat"});
    sl->addWidget(named(new QPushButton(QStringLiteral("Add to this Memo-Sheet"), stone), "cmdAdd"), 2, 4, 1, 2);
    auto *done = named(new QLabel(QStringLiteral("done"), stone), "fraDone");
    done->setVisible(false);
    sl->addWidget(done, 1, 4);
    top->addWidget(stone);

    auto *grid = named(new QTableWidget(this), "Flex");
    grid->setColumnCount(memos::memoLineHeaders().size());
    grid->setHorizontalHeaderLabels(memos::memoLineHeaders());
    grid->setColumnHidden(grid->columnCount() - 1, true);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    top->addWidget(grid, 1);

    auto *lineRow = new QHBoxLayout;
    auto *sel = named(new QLineEdit(this), "txtSelectedDiamondID");
    sel->setVisible(false);
    lineRow->addWidget(sel);
    lineRow->addWidget(named(new QPushButton(QStringLiteral("REMOVE from this Memo-Sheet"), this), "cmdRemove"));
    lineRow->addWidget(named(new QPushButton(QStringLiteral("SELL"), this), "cmdSell"));
    // The price a sale from the memo is made at: the memo price of the line
    // chosen, which the dealer may change before selling.
    lineRow->addWidget(new QLabel(QStringLiteral("at US$ /Stone"), this));
    auto *sellPrice = named(new QLineEdit(this), "txtSellPrice");
    numberBox(sellPrice);
    lineRow->addWidget(sellPrice);
    top->addLayout(lineRow);

    auto *bulk = new QHBoxLayout;
    bulk->addWidget(named(new QCheckBox(QStringLiteral("all back into Stock"), this), "chkAllStock"));
    bulk->addWidget(named(new QCheckBox(QStringLiteral("all Sold"), this), "chkAllSold"));
    bulk->addWidget(named(new QPushButton(QStringLiteral("Execute"), this), "cmdExecute"));
    bulk->addStretch();
    bulk->addWidget(named(new QCheckBox(QStringLiteral("CDN"), this), "chkCDN"));
    bulk->addWidget(named(new QCheckBox(QStringLiteral("ZAR"), this), "chkZAR"));
    bulk->addWidget(named(new QComboBox(this), "cboPrinter"));
    auto *pdfFile = named(new QLineEdit(this), "txtPdfFile");
    pdfFile->setPlaceholderText(QStringLiteral("PDF file"));
    bulk->addWidget(pdfFile);
    bulk->addWidget(named(new QPushButton(QStringLiteral("Preview"), this), "cmdPreview"));
    bulk->addWidget(named(new QPushButton(QStringLiteral("Print Memo Sheet"), this), "Command5"));
    auto *setup = named(new QPushButton(QStringLiteral("Setup..."), this), "cmdSetup");
    auto *disclaimer = named(new QPushButton(QStringLiteral("Disclaimer..."), this), "cmdDisclaimer");
    bulk->addWidget(setup);
    bulk->addWidget(disclaimer);
    // The older sheet screen shows the same sheet with its parcel lines.
    auto *older = named(new QPushButton(QStringLiteral("Stones && Parcels..."), this), "cmdMemoSheet");
    bulk->addWidget(older);
    connect(older, &QPushButton::clicked, this, [this] { m_ctx.screens().openOlderMemoSheet(m_sheet); });
    connect(setup, &QPushButton::clicked, this, [this] { frmMEMOsetup(m_ctx, this).exec(); });
    connect(disclaimer, &QPushButton::clicked, this, [this] { frmMemoDisclaimer(m_ctx, this).exec(); });
    top->addLayout(bulk);

    // Handlers.
    connect(w<QPushButton>("cmdAdd"), &QPushButton::clicked, this, &frmMemoAddNewDiamondToIt::add);
    connect(w<QPushButton>("cmdRemove"), &QPushButton::clicked, this, &frmMemoAddNewDiamondToIt::remove);
    connect(w<QPushButton>("cmdSell"), &QPushButton::clicked, this, &frmMemoAddNewDiamondToIt::sell);
    connect(w<QPushButton>("cmdExecute"), &QPushButton::clicked, this, &frmMemoAddNewDiamondToIt::execute);
    connect(w<QPushButton>("Command5"), &QPushButton::clicked, this, &frmMemoAddNewDiamondToIt::print);
    connect(w<QPushButton>("cmdPreview"), &QPushButton::clicked, this, &frmMemoAddNewDiamondToIt::preview);
    connect(w<QComboBox>("cboPrinter"), &QComboBox::currentTextChanged, this, [this](const QString &entry) {
        w<QLineEdit>("txtPdfFile")->setEnabled(entry == printing::kPdfEntry);
    });
    connect(grid, &QTableWidget::cellClicked, this, [this](int row, int) { chooseLine(row); });
    connect(sel, &QLineEdit::textChanged, this, &frmMemoAddNewDiamondToIt::updateCommands);
    connect(scan, &QLineEdit::returnPressed, this, [this] {
        qint64 id = 0;
        try {
            id = memos::stoneIdOfScan(m_ctx, w<QLineEdit>("txtScanData")->text());
        } catch (const db::DbError &e) {
            informFailure(m_ctx, QStringLiteral("The scanned Diamond could not be looked up"), QStringLiteral("Memo"), e);
            return;
        }
        setSelectedStone(id);
    });
    // The three price fields: each edit recomputes the other two.
    auto bindPrice = [this](const char *name, void (memos::MemoPriceFields::*handler)(const QString &)) {
        connect(w<QLineEdit>(name), &QLineEdit::textEdited, this, [this, handler](const QString &t) {
            (m_prices.*handler)(t);
            const QSignalBlocker b1(w<QLineEdit>("txtDiscount")), b2(w<QLineEdit>("txtDiscountDollar")),
                b3(w<QLineEdit>("txtPriceCarat"));
            for (auto [field, text] : {std::pair{"txtDiscount", &m_prices.discount},
                                       std::pair{"txtDiscountDollar", &m_prices.stonePrice},
                                       std::pair{"txtPriceCarat", &m_prices.priceCarat}})
                if (w<QLineEdit>(field)->text() != *text)
                    w<QLineEdit>(field)->setText(*text);
        });
    };
    bindPrice("txtDiscount", &memos::MemoPriceFields::discountChanged);
    bindPrice("txtDiscountDollar", &memos::MemoPriceFields::stonePriceChanged);
    bindPrice("txtPriceCarat", &memos::MemoPriceFields::priceCaratChanged);
    connect(w<QLineEdit>("txtDiscount"), &QLineEdit::editingFinished, this, [this] {
        m_prices.discount = w<QLineEdit>("txtDiscount")->text();
        m_prices.discountLeft();
        w<QLineEdit>("txtDiscount")->setText(m_prices.discount);
    });
    for (const char *box : {"chkAllStock", "chkAllSold"})
        connect(w<QCheckBox>(box), &QCheckBox::toggled, this, [this, box](bool on) {
            if (on) {
                const char *other = QLatin1String(box) == QLatin1String("chkAllStock") ? "chkAllSold" : "chkAllStock";
                const QSignalBlocker b(w<QCheckBox>(other));
                w<QCheckBox>(other)->setChecked(false);
            }
            updateCommands();
        });
    // Header edits: "edit ->" shows the editor, "Save" writes it.
    connect(w<QPushButton>("cmdDate"), &QPushButton::clicked, this, [this] {
        QPushButton *b = w<QPushButton>("cmdDate");
        auto *editor = w<QDateTimeEdit>("dt1");
        if (b->text() == QLatin1String("edit ->")) {
            editor->setDateTime(m_data.header.date.isValid() ? m_data.header.date : QDateTime::currentDateTime());
            editor->setVisible(true);
            b->setText(QStringLiteral("Save"));
        } else if (sameMinute(editor->dateTime(), m_data.header.date)
                   || memos::saveMemoDate(m_ctx, m_sheet, editor->dateTime())) {
            // An untouched date keeps its stored seconds.
            editor->setVisible(false);
            b->setText(QStringLiteral("edit ->"));
            reload();
        }
    });
    connect(w<QPushButton>("cmdRef"), &QPushButton::clicked, this, [this] {
        QPushButton *b = w<QPushButton>("cmdRef");
        auto *editor = w<QLineEdit>("txtMemoRef");
        if (b->text() == QLatin1String("edit ->")) {
            editor->setText(m_data.header.refIsNull ? QString() : m_data.header.ref);
            editor->setVisible(true);
            b->setText(QStringLiteral("Save"));
        } else if ((m_data.header.refIsNull ? editor->text().isEmpty() : editor->text() == m_data.header.ref)
                   || memos::saveMemoRef(m_ctx, m_sheet, editor->text())) {
            // An untouched reference is not written again.
            editor->setVisible(false);
            b->setText(QStringLiteral("edit ->"));
            reload();
        }
    });
}

void frmMemoAddNewDiamondToIt::changeEvent(QEvent *e)
{
    // The active stone-on-memo screen receives the scanner's barcodes.
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        m_ctx.currentScreen = QStringLiteral("frmMemoAddNewDiamondToIt");
    QWidget::changeEvent(e);
}

qint64 frmMemoAddNewDiamondToIt::employee() const { return idOfEntry(w<QComboBox>("cboUser")->currentText()); }

void frmMemoAddNewDiamondToIt::setSelectedStone(qint64 id)
{
    m_stone = id;
    showStone();
}

void frmMemoAddNewDiamondToIt::reload()
{
    try {
        m_data = memos::loadMemoSheet(m_ctx, m_sheet);
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The Memo Sheet could not be read:\n\n") + e.message(),
                              QStringLiteral("Memo"), Icon::Exclamation);
        m_data = {};
    }
    const memos::MemoHeader &h = m_data.header;
    w<QLabel>("lblMemoSheet")->setText(QStringLiteral("Memo Sheet# ") + QString::number(m_sheet));
    w<QLineEdit>("txtCompanyName")->setText(h.company);
    w<QLineEdit>("txtStreet1")->setText(h.street1);
    w<QLineEdit>("txtStreet2")->setText(h.street2);
    w<QLineEdit>("txtCity")->setText(h.city);
    w<QLineEdit>("txtZIP")->setText(h.zip);
    w<QLineEdit>("txtPhone")->setText(h.phone);
    w<QLineEdit>("txtFax")->setText(h.fax);
    w<QLabel>("lblMemoDate")->setText(memos::memoDate(h.date));
    w<QLabel>("lblMemoRef")->setText(h.ref);

    QTableWidget *grid = w<QTableWidget>("Flex");
    grid->setRowCount(int(m_data.lines.size()));
    for (int r = 0; r < m_data.lines.size(); ++r) {
        const memos::MemoLine &l = m_data.lines[r];
        const QStringList cells{l.sku,  l.weight,   l.colour,     l.clarity,              l.lab,
                                l.cert, l.rap,      l.discount,   l.stonePrice,           QString::number(l.days),
                                QString::number(l.stoneId)};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == 1 || (c >= 6 && c <= 9))
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(r, c, item);
        }
    }
    grid->resizeColumnsToContents();
    w<QLineEdit>("txtSelectedDiamondID")->setText(QStringLiteral("0"));
    w<QPushButton>("cmdRemove")->setText(QStringLiteral("REMOVE from this Memo-Sheet"));
    w<QPushButton>("cmdSell")->setText(QStringLiteral("SELL"));
    w<QLineEdit>("txtSellPrice")->clear();
    showStone();
}

void frmMemoAddNewDiamondToIt::showStone()
{
    try {
        m_selected = memos::loadSelectedStone(m_ctx, m_stone);
    } catch (const db::DbError &e) {
        m_selected = {};
        informFailure(m_ctx, QStringLiteral("The Diamond could not be read"), QStringLiteral("Memo"), e);
    }
    const memos::SelectedStone &s = m_selected;
    w<QLabel>("lblSKU")->setText(s.sku);
    w<QLabel>("lblWeight")->setText(s.weight);
    w<QLabel>("lblColour")->setText(s.colour);
    w<QLabel>("lblClarity")->setText(s.clarity);
    w<QLabel>("lblStatus")->setText(s.status);
    m_prices = {};
    m_prices.setStone(s.rap, s.carat);
    m_prices.setStep(pricing::sellingPriceStep(m_ctx.settings));
    w<QLabel>("lblRapDiscount2")->setText(s.found && !s.locked ? s.rapDiscount : QString());
    if (s.found) {
        // A floating stone proposes its own discount, a locked one its price.
        if (!s.locked)
            m_prices.discountChanged(s.rapDiscount == QLatin1String("n/a") ? QString() : s.rapDiscount);
        else
            m_prices.stonePriceChanged(s.proposedPrice);
    }
    w<QLineEdit>("txtDiscount")->setText(m_prices.discount);
    w<QLineEdit>("txtDiscountDollar")->setText(m_prices.stonePrice);
    w<QLineEdit>("txtPriceCarat")->setText(m_prices.priceCarat);
    updateCommands();
}

void frmMemoAddNewDiamondToIt::chooseLine(int row)
{
    if (row < 0 || row >= m_data.lines.size())
        return;
    const memos::MemoLine &l = m_data.lines[row];
    w<QLineEdit>("txtSelectedDiamondID")->setText(QString::number(l.stoneId));
    w<QPushButton>("cmdRemove")->setText(QStringLiteral("REMOVE ") + l.sku
                                         + QStringLiteral(" from this Memo-Sheet, BACK INTO STOCK..."));
    w<QPushButton>("cmdSell")->setText(QStringLiteral("SELL ") + l.sku + QStringLiteral(" of this  Memo-Sheet..."));
    w<QLineEdit>("txtSellPrice")->setText(l.stonePrice);
    updateCommands();
}

void frmMemoAddNewDiamondToIt::updateCommands()
{
    const bool right = m_ctx.user.ID != 0 && m_ctx.user.AllowMemoAssigning;
    const bool line = w<QLineEdit>("txtSelectedDiamondID")->text().toLongLong() != 0;
    // The sheet's date and reference are changed by the memo right too.
    w<QPushButton>("cmdDate")->setEnabled(right && m_data.found);
    w<QPushButton>("cmdRef")->setEnabled(right && m_data.found);
    w<QPushButton>("cmdAdd")->setEnabled(right && m_selected.found && m_data.found);
    w<QPushButton>("cmdRemove")->setEnabled(right && line);
    w<QPushButton>("cmdSell")->setEnabled(right && line);
    w<QLineEdit>("txtSellPrice")->setEnabled(right && line);
    const bool stock = w<QCheckBox>("chkAllStock")->isChecked();
    const bool sold = w<QCheckBox>("chkAllSold")->isChecked();
    QPushButton *exec = w<QPushButton>("cmdExecute");
    exec->setEnabled(right && (stock || sold) && !m_data.lines.isEmpty());
    exec->setText(stock   ? QStringLiteral("Execute, all back into Stock")
                  : sold ? QStringLiteral("Execute, all Sold")
                         : QStringLiteral("Execute"));
    w<QPushButton>("Command5")->setEnabled(m_data.found);
    w<QPushButton>("cmdPreview")->setEnabled(m_data.found);
    w<QLineEdit>("txtPdfFile")->setEnabled(w<QComboBox>("cboPrinter")->currentText() == printing::kPdfEntry);
    w<QPushButton>("cmdMemoSheet")->setEnabled(m_data.found && m_ctx.screens().available(Screen::OlderMemoSheet));
}

void frmMemoAddNewDiamondToIt::add()
{
    if (employee() == 0) {
        m_ctx.prompt().notice(QStringLiteral("please select an user first!"));
        w<QComboBox>("cboUser")->setFocus();
        return;
    }
    // The per-carat box only fills the price per stone: text in it that is
    // no figure is refused, never passed over for the price shown beside it.
    const QString perCarat = w<QLineEdit>("txtPriceCarat")->text();
    if (!figures::isTyped(perCarat)) {
        m_ctx.prompt().inform(figures::notANumberMessage(QStringLiteral("price US$ /ct"), perCarat),
                              QStringLiteral("Memo"), Icon::Exclamation);
        return;
    }
    QPushButton *cmd = w<QPushButton>("cmdAdd");
    cmd->setVisible(false);
    const memos::MoveOutcome o =
        memos::putOnMemo(m_ctx, m_sheet, m_stone, w<QLineEdit>("txtDiscount")->text(), employee(),
                         w<QLineEdit>("txtDiscountDollar")->text());
    if (o.ok()) {
        auto *done = w<QLabel>("fraDone");
        done->setVisible(true);
        QTimer::singleShot(1000, done, [done] { done->setVisible(false); });
        w<QLabel>("lblRapDiscount1")->setText(QStringLiteral("last: ") + w<QLineEdit>("txtDiscount")->text().trimmed()
                                              + QStringLiteral(" %"));
        reload();
    }
    cmd->setVisible(true);
}

void frmMemoAddNewDiamondToIt::remove()
{
    const qint64 id = w<QLineEdit>("txtSelectedDiamondID")->text().toLongLong();
    if (id == 0)
        return;
    if (employee() == 0) {
        m_ctx.prompt().notice(QStringLiteral("please select an user first!"));
        w<QComboBox>("cboUser")->setFocus();
        return;
    }
    memos::returnToStock(m_ctx, m_sheet, id, employee());
    reload();
}

void frmMemoAddNewDiamondToIt::sell()
{
    const qint64 id = w<QLineEdit>("txtSelectedDiamondID")->text().toLongLong();
    if (id == 0)
        return;
    const memos::MemoLine *line = nullptr;
    for (const memos::MemoLine &l : m_data.lines)
        if (l.stoneId == id)
            line = &l;
    if (!line)
        return;
    // Asked first, as the sell dialog asks: the stone, the customer and the
    // price it is sold at (the memo price unless the dealer changed it).
    const QString typed = w<QLineEdit>("txtSellPrice")->text().trimmed();
    const std::optional<Decimal5> price = figures::parseTyped(typed);
    if (!price || typed.isEmpty()) {
        m_ctx.prompt().inform(figures::notANumberMessage(QStringLiteral("US$ /Stone"), typed),
                              QStringLiteral("Selling Diamond"), Icon::Exclamation);
        return;
    }
    // A price of 0 or below is refused by the sale itself, naming the stone.
    if (*price <= Decimal5()) {
        memos::sellFromMemo(m_ctx, m_sheet, id, typed);
        reload();
        return;
    }
    QString question = QStringLiteral("Are you sure you want to sell this Stone to\n\n%1\n\n%2 at US$ %3")
                           .arg(m_data.header.company, line->sku, price->grouped2());
    if (price->rounded(2) != figures::parseTyped(line->stonePrice).value_or(Decimal5()))
        question += QStringLiteral(" (the memo price is US$ %1)").arg(line->stonePrice);
    if (!m_ctx.prompt().askYesNo(question + QStringLiteral("?"), QStringLiteral("Selling Diamond"), Icon::Question))
        return;
    memos::sellFromMemo(m_ctx, m_sheet, id, typed);
    reload();
}

void frmMemoAddNewDiamondToIt::execute()
{
    if (w<QCheckBox>("chkAllStock")->isChecked()) {
        if (employee() == 0) {
            m_ctx.prompt().notice(QStringLiteral("please select an user first!"));
            return;
        }
        memos::returnAll(m_ctx, m_sheet, employee());
    } else if (w<QCheckBox>("chkAllSold")->isChecked()) {
        memos::sellAll(m_ctx, m_sheet);
    } else {
        return;
    }
    w<QCheckBox>("chkAllStock")->setChecked(false);
    w<QCheckBox>("chkAllSold")->setChecked(false);
    reload();
}

memos::MemoPrintRequest frmMemoAddNewDiamondToIt::printRequest() const
{
    memos::MemoPrintRequest r;
    r.memoSheetId = m_sheet;
    r.cdn = w<QCheckBox>("chkCDN")->isChecked();
    r.zar = w<QCheckBox>("chkZAR")->isChecked();
    r.options = memos::MemoFiles(m_ctx.workstation).printOptions();
    return r;
}

void frmMemoAddNewDiamondToIt::print()
{
    const memos::MemoFiles files(m_ctx.workstation);
    const QString printer = w<QComboBox>("cboPrinter")->currentText();
    QLineEdit *pdf = w<QLineEdit>("txtPdfFile");
    if (printer == printing::kPdfEntry && pdf->text().trimmed().isEmpty()) {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("PDF file"),
                                                          QStringLiteral("memo-%1.pdf").arg(m_sheet),
                                                          QStringLiteral("PDF files (*.pdf)"));
        if (file.isEmpty())
            return;
        pdf->setText(file);
    }
    const memos::MemoPrintRequest r = printRequest();
    files.setCurrencies(r.cdn, r.zar);
    files.setPrinter(printer);
    memos::printMemoSheet(m_ctx, r, printing::PrintTarget::fromEntry(printer, pdf->text().trimmed()));
}

void frmMemoAddNewDiamondToIt::preview()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat); // the pages as a PDF would have them
    const memos::MemoPrintRequest r = printRequest();
    QString error;
    QPrintPreviewDialog dlg(&printer, this);
    dlg.setObjectName(QStringLiteral("dlgPreview"));
    dlg.setWindowTitle(QStringLiteral("Memo Sheet %1").arg(m_sheet));
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter *p) {
        printing::PrintSurface s(p);
        error.clear();
        bool drawn = false;
        try {
            drawn = memos::PrintMemoSheet(m_ctx, s, r, &error);
        } catch (const db::DbError &e) {
            error = QStringLiteral("The Memo Sheet could not be read:\n\n") + e.message();
        }
        if (drawn)
            s.endDocument();
        else
            s.abort();
    });
    dlg.exec();
    if (!error.isEmpty())
        m_ctx.prompt().inform(error, QStringLiteral("Memo Printing"), Icon::Exclamation);
}

} // namespace velmor::ui
