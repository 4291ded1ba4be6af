#include "stones/frmDiamondDetail.h"

#include "core/ChangeEvents.h"
#include "core/AppContext.h"
#include "core/StartupTimes.h"
#include "core/Failures.h"
#include "core/UserCaption.h"
#include "core/Users.h"
#include "core/widgets/NumberBox.h"
#include "core/widgets/WindowPlacement.h"
#include "core/widgets/StoneScreenRights.h"
#include "db/ConvertSql.h"
#include "db/Identifiers.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "online/CertLookup.h"
#include "pricing/GridImport.h"
#include "core/KnownRates.h"
#include "pricing/Rates.h"
#include "pricing/SellingPrice.h"
#include "stones/PricingBridge.h"
#include "stones/StoneChangeLog.h"
#include "stones/StonePrintout.h"
#include "stones/StoneRepair.h"
#include "stones/StoneStatus.h"
#include "stones/StoneWordLists.h"
#include "stones/frmDiamondDetailPrices.h"
#include "stones/frmStoneChange.h"
#include "stones/widgets/StoneFilesTab.h"
#include "stones/widgets/StoneHistoryTab.h"
#include "stones/widgets/StoneIdentityPanel.h"
#include "stones/widgets/StonePanelControls.h"
#include "stones/widgets/StonePricesPanel.h"
#include "stones/widgets/StoneStatusPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDrag>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QShortcut>
#include <QStyleOption>
#include <QStatusBar>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QAbstractListModel>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

namespace velmor::ui {

using stones::EditState;
using stones::StoneForm;
using F = stones::StonePriceModel::Field;

namespace {
const char *kStoneMime = "application/x-velmor-stone";

// The text-valued grading combos and the column each one lists.
const std::pair<const char *, const char *> kWordCombos[] = {
    {"cboCut", "Cut"},           {"cboFlourescence", "Flourescence"},   {"cboFancyColour", "FancyColour"},
    {"cboFinishPolish", "FinishPolish"}, {"cboFinishSymetry", "FinishSymetry"}, {"cboGirdle", "Girdle"},
    {"cboCulet", "Culet"},
};

// Plain line edits of the form and their members.
struct TextField {
    const char *name;
    QString StoneForm::*member;
};
const TextField kTextFields[] = {
    {"txtSKU", &StoneForm::SKU},
    {"txtCode", &StoneForm::Code},
    {"txtLocation", &StoneForm::Location},
    {"txtDescription", &StoneForm::Description},
    {"txtCertificate", &StoneForm::Certificate},
    {"txtInscription1", &StoneForm::Inscription1},
    {"txtInscription2", &StoneForm::Inscription2},
    {"txtDim1", &StoneForm::Dim1},
    {"txtDim2", &StoneForm::Dim2},
    {"txtDim3", &StoneForm::Dim3},
    {"txtTableSize", &StoneForm::TableSize},
    {"txtTotalDepth", &StoneForm::TotalDepth},
    {"txtCrownHeight", &StoneForm::CrownHeight},
    {"txtPavillionDepth", &StoneForm::PavillionDepth},
    {"txtCrownAngle", &StoneForm::CrownAngle},
    {"txtPavillionAngle", &StoneForm::PavillionAngle},
    {"txtGirdleDimension", &StoneForm::GirdleDimension},
};
struct ComboField {
    const char *name;
    QString StoneForm::*member;
};
const ComboField kComboFields[] = {
    {"cboLot", &StoneForm::Lot},           {"cboShape", &StoneForm::Shape},
    {"cboColour", &StoneForm::colourEntry}, {"cboClarity", &StoneForm::clarityEntry},
    {"cboCut", &StoneForm::Cut},           {"cboFlourescence", &StoneForm::Flourescence},
    {"cboFancyColour", &StoneForm::FancyColour}, {"cboFinishPolish", &StoneForm::FinishPolish},
    {"cboFinishSymetry", &StoneForm::FinishSymetry}, {"cboGirdle", &StoneForm::Girdle},
    {"cboCulet", &StoneForm::Culet},       {"cboLaboratory", &StoneForm::Laboratory},
};
struct CheckField {
    const char *name;
    bool StoneForm::*member;
};
const CheckField kCheckFields[] = {
    {"chkCanadian", &StoneForm::Canadian},
    {"chkLabGrown", &StoneForm::labGrown},
    {"chkFinished", &StoneForm::finished},
    {"chkMEMOhere", &StoneForm::hereOnMemo},
    {"chkPublishPriceOnLustrabay", &StoneForm::publishPrice},
    {"chkPublishOnLustrabay", &StoneForm::publishListing},
    {"chkPublishPriceOnLustrabayLocal", &StoneForm::publishPriceLocal},
    {"chkPublishOnLustrabayLocal", &StoneForm::publishListingLocal},
};
const CheckField kOptionFields[] = {
    {"optLockPercent", &StoneForm::lockPercent},
    {"optLockPercentLX", &StoneForm::lockPercentLX},
    {"optBuyInUS", &StoneForm::buyInUS},
    {"optBuyInLocal", &StoneForm::buyInLocal},
    {"optPaidOffUS", &StoneForm::paidOffUS},
    {"optPaidOffUSPercentage", &StoneForm::paidOffUSPercentage},
    {"optPaidOffLocal", &StoneForm::paidOffLocal},
    {"optPaidOffLocalPercentage", &StoneForm::paidOffLocalPercentage},
};

QString fixed(double v, int decimals) { return QString::number(v, 'f', decimals); }
} // namespace

frmDiamondDetail::frmDiamondDetail(AppContext &ctx, QWidget *parent) : QMainWindow(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmDiamondDetail"));
    m_wordLists = new stones::WordListLoader(this);
    connect(m_wordLists, &stones::WordListLoader::loaded, this, &frmDiamondDetail::fillWordLists);
    connect(m_wordLists, &stones::WordListLoader::noConnection, this, &frmDiamondDetail::readWordListsHere);
    buildMenus();
    build();
    m_prices.onWrite = [this](F f, const QString &t) {
        if (auto *e = le(stones::StonePriceModel::fieldName(f).toLatin1().constData()))
            e->setText(t);
    };
    ClearfrmDiamondDetailModule();
    DisablefrmDiamondModule();
    updateCommands();
    certificateLookup = [this](frmDiamondDetail *) { m_ctx.screens().openCertificateLookup(m_form.id); };
    applyRightsToStoneScreen(m_ctx, this);
    auto *lblLoggedIn = new QLabel(this);
    lblLoggedIn->setObjectName(QStringLiteral("lblLoggedIn"));
    statusBar()->addPermanentWidget(lblLoggedIn);
    lblLoggedIn->setText(loggedInText(m_ctx));
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, [this, lblLoggedIn] {
        applyRightsToStoneScreen(m_ctx, this);
        // A stone being added or edited turns read-only while the right is
        // gone (a log-off, a failed login) and keeps what was typed; it opens
        // again when a user with the right logs on.
        if (m_state.mode != EditState::Displayed) {
            if (m_ctx.user.has(rightOfMode()))
                EnablefrmDiamondModule();
            else
                DisablefrmDiamondModule(false);
        }
        updateCommands();
        lblLoggedIn->setText(loggedInText(m_ctx));
    });
    // A rate saved on the rate screen or fetched by any screen.
    connect(&m_ctx.events(), &ContextEvents::ratesChanged, this, &frmDiamondDetail::updateCaptions);
    // The stone shown was moved or changed by another screen of this
    // workstation (memo, sale, invoice): it is read again unless the user
    // is editing it.
    connect(&changeEvents(m_ctx), &ChangeEvents::stoneChanged, this, [this](qint64 id) {
        if (m_form.id != 0 && (id == 0 || id == m_form.id) && m_state.mode == EditState::Displayed)
            loadStone(int(m_form.id));
    });
    // The periodic rate refresh: every second it asks whether the rates are due.
    auto *tmrRates = new QTimer(this);
    tmrRates->setObjectName(QStringLiteral("tmrRates"));
    tmrRates->setInterval(1000);
    connect(tmrRates, &QTimer::timeout, this, [this] {
        if (!pricing::rateRefreshDue(isActiveWindow(), QTime::currentTime()))
            return;
        m_ctx.screens().refreshRates(this);
        updateCaptions();
    });
    tmrRates->start();
    updateCaptions();
    placeWindow(this, defaultSize());
}

QSize frmDiamondDetail::defaultSize() { return {1340, 700}; }

QLineEdit *frmDiamondDetail::le(const char *name) const { return w<QLineEdit>(name); }
QComboBox *frmDiamondDetail::cb(const char *name) const { return w<QComboBox>(name); }
QCheckBox *frmDiamondDetail::ck(const char *name) const { return w<QCheckBox>(name); }
QRadioButton *frmDiamondDetail::rb(const char *name) const { return w<QRadioButton>(name); }

// Building the screen ------------------------------------------------------------------

void frmDiamondDetail::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *changeLog = file->addAction(QStringLiteral("Stone &change log..."));
    changeLog->setObjectName(QStringLiteral("mnuStoneChange"));
    connect(changeLog, &QAction::triggered, this, &frmDiamondDetail::openChangeLog);
    QAction *memoOut = file->addAction(QStringLiteral("Print &memo-out list..."));
    memoOut->setObjectName(QStringLiteral("mnuPrintMEmoOutList"));
    connect(memoOut, &QAction::triggered, this, [this] { printMemoOutList(m_ctx, this); });
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *rap = menuBar()->addMenu(QStringLiteral("&Rapaport"));
    rap->setObjectName(QStringLiteral("mnuRap"));
    QAction *sheet = rap->addAction(QStringLiteral("Price &sheet..."));
    sheet->setObjectName(QStringLiteral("mnuRapPriceSheet"));
    connect(sheet, &QAction::triggered, this, [this] {
        m_ctx.screens().openPriceSheet();
    });
    // The grid from the provider's four files in a folder (no download).
    QAction *importFiles = rap->addAction(QStringLiteral("&Import price files..."));
    importFiles->setObjectName(QStringLiteral("mnuImportPriceFiles"));
    connect(importFiles, &QAction::triggered, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Folder of the four price files"),
                                                                 m_ctx.workstation.folder());
        if (!folder.isEmpty())
            pricing::ImportPriceFiles(m_ctx, folder, [this] { reloadCurrent(); });
    });
    QAction *download = rap->addAction(QStringLiteral("&Download and update prices"));
    download->setObjectName(QStringLiteral("mnuDownloadAndUpgrade"));
    connect(download, &QAction::triggered, this,
            [this] { pricing::DownloadAndUpgrade(m_ctx, [this] { reloadCurrent(); }); });

    QMenu *settings = menuBar()->addMenu(QStringLiteral("Se&ttings"));
    settings->setObjectName(QStringLiteral("mnuSettings"));
    QAction *mnuConfiguration = settings->addAction(QStringLiteral("&Configuration..."));
    mnuConfiguration->setObjectName(QStringLiteral("mnuConfiguration"));
    mnuConfiguration->setEnabled(false);
    // The main menu screen: customers, reps, invoices, rates and the
    // settings tables, under the same rights as in the wholesale set-up.
    QAction *mnuMainMenu = menuBar()->addAction(QStringLiteral("&Main menu"));
    mnuMainMenu->setObjectName(QStringLiteral("mnuMainMenu"));
    mnuMainMenu->setEnabled(false);
    connect(mnuMainMenu, &QAction::triggered, this, &frmDiamondDetail::mainMenuRequested);
    QAction *mnuLogOn = menuBar()->addAction(QStringLiteral("&Log on"));
    mnuLogOn->setObjectName(QStringLiteral("mnuLogOn"));
    QAction *cmdLogOff = menuBar()->addAction(QStringLiteral("Log o&ff"));
    cmdLogOff->setObjectName(QStringLiteral("cmdLogOff"));
    cmdLogOff->setVisible(false);
    connect(mnuConfiguration, &QAction::triggered, this, [this] {
        const bool memoDisclaimer = isSignalConnected(QMetaMethod::fromSignal(&frmDiamondDetail::memoDisclaimerRequested));
        if (runConfigMenu(m_ctx, this, memoDisclaimer) == 2 && memoDisclaimer)
            emit memoDisclaimerRequested();
    });
    connect(mnuLogOn, &QAction::triggered, this, [this] { showLogin(m_ctx, this); });
    connect(cmdLogOff, &QAction::triggered, this, [this] { LogOffModule(m_ctx); });
}

void frmDiamondDetail::build()
{
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto *central = new QWidget(scroll);
    scroll->setWidget(central);
    setCentralWidget(scroll);
    auto *root = new QVBoxLayout(central);
    const StonePanelControls make(central, m_entryFields);

    // Commands of the record
    auto *commands = new QHBoxLayout;
    make.button(commands, "cmdAddDiamond", QStringLiteral("&Add"));
    make.button(commands, "cmdEditDiamond", QStringLiteral("&Edit"));
    make.button(commands, "cmdUpdate", QStringLiteral("&Save"));
    make.button(commands, "cmdCancel", QStringLiteral("&Cancel"));
    make.button(commands, "cmdDelete", QStringLiteral("&Delete"));
    commands->addSpacing(20);
    make.button(commands, "cmdSearch", QStringLiteral("Search..."));
    make.button(commands, "cmdGetGIA", QStringLiteral("Certificate look-up"));
    make.button(commands, "cmdPrintLabel", QStringLiteral("Label"));
    make.button(commands, "cmdPrintPaper", QStringLiteral("Paper..."));
    make.button(commands, "cmdPrices", QStringLiteral("Currencies..."));
    commands->addStretch(1);
    auto *status = make.lineEdit("txtStatus", false);
    status->setReadOnly(true);
    status->setMaximumWidth(90);
    commands->addWidget(make.label("lblStatus", QString()));
    commands->addWidget(status);
    // The company logo (logo.jpg of the shared folder), scaled into its frame.
    auto *imgLogo = make.label("imgLogo", QString());
    imgLogo->setFixedSize(160, 36);
    imgLogo->setAlignment(Qt::AlignCenter);
    commands->addWidget(imgLogo);
    root->addLayout(commands);

    // Four boxes side by side, the prices below across the width: every
    // control in view on a 1366x768 display.  The boxes are made in the
    // order of the tab order.
    root->setContentsMargins(6, 4, 6, 4);
    root->setSpacing(4);
    auto *boxes = new QHBoxLayout;
    boxes->setSpacing(4);
    root->addLayout(boxes);
    auto *identity = new StoneIdentityPanel(m_ctx, central);
    auto *grading = new StoneGradingPanel(central);
    auto *proportions = new StoneProportionsPanel(central);
    auto *prices = new StonePricesPanel(central);
    auto *statusBox = new StoneStatusPanel(central);
    m_entryFields << identity->entryFields() << grading->entryFields() << proportions->entryFields()
                  << prices->entryFields() << statusBox->entryFields();
    boxes->addWidget(identity);
    boxes->addWidget(grading);
    boxes->addWidget(proportions);
    // The status box shares its place with the stone's history (TabStrip1)
    // and its pictures and files.
    auto *tabs = new StoneHistoryTab(m_ctx, central);
    tabs->insertTab(0, statusBox, QStringLiteral("Status"));
    tabs->addTab(identity->filesTab(), QStringLiteral("Pictures and files"));
    tabs->setCurrentIndex(0);
    // The boxes keep the width their controls need; the rest goes to the
    // status, the history and the files.
    boxes->addWidget(tabs, 1);
    root->addWidget(prices);
    // Long names do not widen the combos past the screen: each makes room
    // for 8 characters, a list of grades or words for its longest entry
    // (refillCombo), and the customers' boxes run across the status box.
    for (QComboBox *c : central->findChildren<QComboBox *>()) {
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(8);
    }
    // The commands of the boxes' controls.
    wireCommands();
    wireIdentity();
    wirePrices();
    wireStatus(statusBox->identifierFields());
}

// The command row.
void frmDiamondDetail::wireCommands()
{
    connect(w<QPushButton>("cmdAddDiamond"), &QPushButton::clicked, this, &frmDiamondDetail::addDiamond);
    connect(w<QPushButton>("cmdEditDiamond"), &QPushButton::clicked, this, &frmDiamondDetail::editDiamond);
    connect(w<QPushButton>("cmdUpdate"), &QPushButton::clicked, this, &frmDiamondDetail::update);
    // Ctrl+S saves (Alt+S too, from the caption); no menu uses either.
    auto *saveKey = new QShortcut(QKeySequence::Save, this);
    saveKey->setObjectName(QStringLiteral("keySave"));
    connect(saveKey, &QShortcut::activated, this, [this] {
        if (w<QPushButton>("cmdUpdate")->isEnabled())
            update();
    });
    connect(w<QPushButton>("cmdCancel"), &QPushButton::clicked, this, &frmDiamondDetail::cancel);
    connect(w<QPushButton>("cmdDelete"), &QPushButton::clicked, this, &frmDiamondDetail::deleteDiamond);
    connect(w<QPushButton>("cmdPrices"), &QPushButton::clicked, this, &frmDiamondDetail::openPrices);
    // Commands whose screens belong to other parts of the program go through
    // the context's screens (a shell that wires the signals instead still
    // hears them).
    connect(w<QPushButton>("cmdSearch"), &QPushButton::clicked, this, [this] {
        if (!m_ctx.screens().openStoneSearch())
            emit searchRequested();
    });
    connect(w<QPushButton>("cmdPrintLabel"), &QPushButton::clicked, this, [this] {
        if (m_form.id)
            stones::printStoneLabel(m_ctx, m_form.id);
    });
    connect(w<QPushButton>("cmdPrintPaper"), &QPushButton::clicked, this, [this] {
        if (m_form.id)
            m_ctx.screens().printStonePaper(m_form.id, this);
    });
    connect(w<QPushButton>("cmdGetGIA"), &QPushButton::clicked, this, &frmDiamondDetail::getGIA);
}

// The identity, grading and proportions boxes.
void frmDiamondDetail::wireIdentity()
{
    // txtID: a stone's ID or SKU typed here and Enter loads it.
    auto *id = le("txtID");
    connect(id, &QLineEdit::returnPressed, this, &frmDiamondDetail::openTypedStone);
    // Left without Enter, the box shows the stone on screen again.
    connect(id, &QLineEdit::editingFinished, this, [this, id] {
        if (!id->hasFocus() && m_state.mode == EditState::Displayed)
            id->setText(m_form.id ? QString::number(m_form.id) : QString());
    });
    // Typing a grade's wording ("G", "VS1") picks it in the grade combos.
    for (const char *name : {"cboColour", "cboClarity"})
        cb(name)->installEventFilter(this);
    connect(w<QDateEdit>("dtDate"), &QDateEdit::dateChanged, this, [this] {
        if (!m_filling)
            m_dateEdited = true;
    });
    connect(w<QPushButton>("imgAuto"), &QPushButton::clicked, this, &frmDiamondDetail::autoNumber);
    connect(cb("cboShape"), &QComboBox::textActivated, this, [this](const QString &shape) {
        if (m_ctx.settings.AutoSku && m_state.mode == EditState::Adding)
            le("txtSKU")->setText(stones::autoSkuPlaceholder(m_ctx, shape));
    });
    numberBoxes(this, {"txtWeight", "txtDim1", "txtDim2", "txtDim3", "txtTableSize", "txtTotalDepth", "txtCrownHeight",
                       "txtPavillionDepth", "txtCrownAngle", "txtPavillionAngle", "txtGirdleDimension"});
}

// The prices box: the Rap buttons, the hold options and the price fields.
void frmDiamondDetail::wirePrices()
{
    connect(w<QPushButton>("imgGetRAP1"), &QPushButton::clicked, this, [this] { getRap(true); });
    connect(w<QPushButton>("imgGetRAP2"), &QPushButton::clicked, this, [this] { getRap(false); });
    connect(rb("optLockPercent"), &QRadioButton::toggled, this, [this](bool on) { m_prices.lockPercent = on; });
    connect(rb("optLockPercentLX"), &QRadioButton::toggled, this, [this](bool on) { m_prices.lockPercentLX = on; });
    // Every price field forwards what the user types to the price model.
    for (int i = 0; i < stones::StonePriceModel::FieldCount; ++i) {
        const F f = F(i);
        if (auto *e = le(stones::StonePriceModel::fieldName(f).toLatin1().constData())) {
            numberBox(e);
            connect(e, &QLineEdit::textEdited, this, [this, f](const QString &t) { priceEdited(f, t); });
        }
    }
}

// The status box: the state pictures, the sale, memo, hold and supplier
// commands and choices, binding into an item.
void frmDiamondDetail::wireStatus(const QList<QLineEdit *> &identifierFields)
{
    // The status pictures: a stone out on memo is dragged onto the safe; the
    // memo picture tells whose memo the stone is on.
    for (const char *name : {"imgSafe", "imgDiaMemo2", "imgMemo"})
        w<QLabel>(name)->installEventFilter(this);
    for (QLineEdit *h : identifierFields)
        connect(h, &QLineEdit::textChanged, this, [this] { syncDisplay(); });
    connect(w<QDateEdit>("dtOnHoldDate"), &QDateEdit::dateChanged, this, [this] {
        if (!m_filling)
            m_holdDateEdited = true;
    });
    connect(w<QPushButton>("cmdSold"), &QPushButton::clicked, this, &frmDiamondDetail::sell);
    connect(w<QPushButton>("cmdReturn"), &QPushButton::clicked, this, &frmDiamondDetail::returnFromCustomer);
    connect(w<QPushButton>("cmdReturnVendor"), &QPushButton::clicked, this, &frmDiamondDetail::vendor);
    connect(w<QPushButton>("cmdEditHold"), &QPushButton::clicked, this, &frmDiamondDetail::editHold);
    connect(w<QPushButton>("cmdMergeWithItem"), &QPushButton::clicked, this, &frmDiamondDetail::mergeWithItem);
    connect(w<QPushButton>("cmdViewBoundItem"), &QPushButton::clicked, this, [this] {
        if (m_form.itemId && !m_ctx.screens().openItem(m_form.itemId))
            emit boundItemRequested(m_form.itemId);
    });
    connect(w<QPushButton>("cmdNewPayment"), &QPushButton::clicked, this, [this] {
        if (m_form.id && !m_ctx.screens().openPayment(m_form.id, m_form.customerId))
            emit paymentRequested(m_form.id, m_form.customerId);
    });
    connect(w<QPushButton>("cmdNewPaymentMade"), &QPushButton::clicked, this, [this] {
        if (stones::canEnterPaymentMade(m_ctx, m_form.id, m_form.consignmentInId)
            && !m_ctx.screens().openPaymentMade(m_form.id, m_form.consignmentInId))
            emit paymentMadeRequested(m_form.id, m_form.consignmentInId);
    });
    connect(w<QPushButton>("cmdLoadMemo"), &QPushButton::clicked, this, &frmDiamondDetail::memoLoadRequested);
    connect(w<QPushButton>("cmdNewMemo"), &QPushButton::clicked, this, [this] {
        const qint64 customer = idOf(cb("cboCustomer"));
        if (customer == 0) {
            m_ctx.prompt().inform(QStringLiteral("You have to select a Customer before you can proceed!"),
                                  QStringLiteral("Message"), Icon::Information);
            return;
        }
        // The customer subsystem makes the memo sheet; it becomes the current one.
        if (const qint64 sheet = m_ctx.screens().newMemoSheet(customer)) {
            w<QLabel>("lblMemoIDIS")->setText(QString::number(sheet));
            syncDisplay();
        }
    });
    connect(w<QPushButton>("cmdFindCustomer"), &QPushButton::clicked, this, [this] {
        CustomerSearchPreset p;
        p.customers = true;
        p.pickForStone = true;
        m_ctx.screens().openCustomerSearchWith(p);
    });
    connect(w<QPushButton>("cmdConsignedTo"), &QPushButton::clicked, this, [this] {
        Prompt &p = m_ctx.prompt();
        const QString sheet = w<QLabel>("lblMemoIDIS")->text();
        if (sheet.isEmpty()) {
            p.inform(QStringLiteral("You need to open a Memo Sheet before you can put a Diamond on Memo for a Customer!"),
                     QStringLiteral("Message"), Icon::Information);
        } else if (m_form.id == 0) {
            p.inform(QStringLiteral("You need to select a Diamond first!"), QStringLiteral("Message"), Icon::Information);
        } else if (m_state.mode != EditState::Displayed) {
            p.inform(QStringLiteral("You cannot change this field while you are editing or adding this Diamond!"),
                     QStringLiteral("Message"), Icon::Information);
        } else if (!m_ctx.user.AllowMemoAssigning) {
            MsgPermissionModule(p);
        } else {
            QComboBox *c = cb("cboConsignedTo");
            c->clear();
            try {
                QSqlQuery q = db::exec(m_ctx.db(), QStringLiteral("SELECT Customer.ID, Customer.CompanyName FROM Customer "
                                                                  "INNER JOIN MemoSheet ON MemoSheet.CustomerID=Customer.ID "
                                                                  "WHERE MemoSheet.ID=?"),
                                       {sheet.toLongLong()});
                if (q.next())
                    c->addItem(q.value(0).toString() + QStringLiteral(" - ") + db::textOf(q.value(1)), q.value(0));
            } catch (const db::DbError &) {
            }
        }
    });
    connect(cb("cboConsignedTo"), &QComboBox::activated, this, [this] {
        emit memoPlacementRequested(m_form.id, w<QLabel>("lblMemoIDIS")->text().toLongLong());
    });
    connect(cb("cboOnHoldFor"), &QComboBox::activated, this, [this] {
        const qint64 c = idOf(cb("cboOnHoldFor"));
        // A stone being added has no row yet: its save writes the choice.
        if (m_form.id == 0 ? m_state.mode == EditState::Adding && mayWrite(m_ctx, stones::kStatusRight)
                           : stones::setHold(m_ctx, m_form.id, c) == stones::StatusResult::Done) {
            m_form.onHoldForId = c;
            le("txtOnHoldForCustomerID")->setText(c ? QString::number(c) : QString());
        } else {
            selectById(cb("cboOnHoldFor"), m_form.onHoldForId);
        }
    });
    connect(cb("cboSupplier"), &QComboBox::activated, this, [this] {
        const qint64 s = idOf(cb("cboSupplier"));
        if (m_form.id == 0 ? m_state.mode == EditState::Adding && mayWrite(m_ctx, stones::kStatusRight)
                           : stones::setSupplier(m_ctx, m_form.id, s) == stones::StatusResult::Done) {
            m_form.supplierId = s;
            le("txtSupplier")->setText(s ? QString::number(s) : QString());
        } else {
            selectById(cb("cboSupplier"), m_form.supplierId);
        }
    });
    connect(cb("cboConsignmentInCustomer"), &QComboBox::activated, this, [this] {
        if (m_state.mode == EditState::Displayed)
            return;
        const qint64 s = idOf(cb("cboConsignmentInCustomer"));
        selectById(cb("cboSupplier"), s);
        // A stone being added asks the same question; its save writes the
        // supplier and the opening payment row.
        const bool taken = s != 0
            && (m_form.id == 0 ? mayWrite(m_ctx, stones::kStatusRight) && stones::confirmConsignmentIn(m_ctx, s)
                               : stones::setConsignmentIn(m_ctx, m_form.id, s) == stones::StatusResult::Done);
        if (taken) {
            m_form.consignmentInId = s;
            m_form.supplierId = s;
            le("txtConsignmentInCustomer")->setText(QString::number(s));
            le("txtSupplier")->setText(QString::number(s));
        } else {
            selectById(cb("cboConsignmentInCustomer"), m_form.consignmentInId);
            selectById(cb("cboSupplier"), m_form.supplierId);
        }
    });
}

// Shared procedures --------------------------------------------------------------------

namespace {

// The word lists' columns, in the order of their boxes.
QStringList wordListColumns()
{
    QStringList columns{QStringLiteral("Laboratory")};
    for (const auto &[name, column] : kWordCombos)
        columns << QString::fromLatin1(column);
    columns << QStringLiteral("Lot") << QStringLiteral("Shape");
    return columns;
}

// Refills a box, keeping what it shows (typed text in an editable one).
// The box makes room for its longest entry ("Round Brilliant [BR]"), up
// to 18 characters: a longer word of a dealer's shows whole in the list.
void refillCombo(QComboBox *c, const QStringList &items)
{
    const QString keep = c->currentText();
    c->clear();
    c->addItems(items);
    const QFontMetrics fm(c->font());
    int widest = 0;
    for (const QString &item : items)
        widest = qMax(widest, fm.horizontalAdvance(item));
    widest = qMin(widest, fm.horizontalAdvance(QString(18, QLatin1Char('X'))));
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    // (The text of an editable box keeps its own margins inside the field.)
    const QSize text(widest + (c->isEditable() ? 8 : 2), fm.height());
    c->setMinimumWidth(c->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, text, c).width());
    c->setCurrentIndex(-1);
    if (c->isEditable())
        c->setEditText(keep);
    else
        c->setCurrentIndex(c->findText(keep));
}

} // namespace

void frmDiamondDetail::PopulateCBOsModule(bool wordLists)
{
    const bool was = m_filling;
    m_filling = true;
    // The shapes in use come with the word lists; until then the fixed ones.
    if (cb("cboShape")->count() == 0)
        refillCombo(cb("cboShape"), stones::pricing_bridge::shapeEntries(QStringList()));
    try {
        refillCombo(cb("cboColour"), stones::pricing_bridge::gradeEntries(m_ctx.db(), true, m_ctx.settings.DontUseSplits));
        refillCombo(cb("cboClarity"), stones::pricing_bridge::gradeEntries(m_ctx.db(), false, m_ctx.settings.DontUseSplits));
    } catch (const db::DbError &) {
    }
    m_filling = was;
    // The word lists read every stone: on a connection of their own, the
    // boxes filled when they arrive.
    if (wordLists)
        m_wordLists->start(m_ctx.connection, wordListColumns(), m_ctx.db());
}

void frmDiamondDetail::fillWordLists(const QList<QStringList> &lists)
{
    const bool was = m_filling;
    m_filling = true;
    refillCombo(cb("cboLaboratory"), lists.value(0));
    int i = 1;
    for (const auto &[name, column] : kWordCombos)
        refillCombo(cb(name), lists.value(i++));
    refillCombo(cb("cboLot"), lists.value(i++));
    refillCombo(cb("cboShape"), stones::pricing_bridge::shapeEntries(lists.value(i)));
    m_combosFilled.start();
    m_filling = was;
}

void frmDiamondDetail::readWordListsHere()
{
    try {
        fillWordLists(stones::readWordLists(m_ctx.db(), wordListColumns()));
    } catch (const db::DbError &) {
    }
}

namespace {

// A party box's entries (text and ID): a plain list, so that a box of tens of
// thousands of firms costs one list and no item objects.  The two boxes of
// one kind start from the same list (shared until one of them adds a firm).
class PartyListModel : public QAbstractListModel
{
public:
    using Entries = QList<QPair<QString, qint64>>;
    PartyListModel(const Entries &entries, QObject *parent) : QAbstractListModel(parent), m_entries(entries) {}

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_entries.size()); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_entries.size())
            return {};
        const auto &e = m_entries.at(index.row());
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return e.first;
        if (role == Qt::UserRole)
            return e.second;
        return {};
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!index.isValid() || index.row() >= m_entries.size())
            return false;
        auto &e = m_entries[index.row()];
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            e.first = value.toString();
        else if (role == Qt::UserRole)
            e.second = value.toLongLong();
        else
            return false;
        emit dataChanged(index, index, {role});
        return true;
    }
    bool insertRows(int row, int count, const QModelIndex &parent = {}) override
    {
        if (parent.isValid() || row < 0 || row > m_entries.size() || count <= 0)
            return false;
        beginInsertRows(parent, row, row + count - 1);
        m_entries.insert(row, count, {QString(), 0});
        endInsertRows();
        return true;
    }
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override
    {
        if (parent.isValid() || row < 0 || count <= 0 || row + count > m_entries.size())
            return false;
        beginRemoveRows(parent, row, row + count - 1);
        m_entries.remove(row, count);
        endRemoveRows();
        return true;
    }

private:
    Entries m_entries;
};

} // namespace

void frmDiamondDetail::fillPartyCombos()
{
    const bool was = m_filling;
    m_filling = true;
    auto read = [this](const QString &sql, bool idFirst) {
        PartyListModel::Entries rows{{QString(), 0}};
        try {
            QSqlQuery q = db::exec(m_ctx.db(), sql);
            while (q.next()) {
                const qint64 id = q.value(0).toLongLong();
                const QString name = db::textOf(q.value(1));
                rows.append({idFirst ? QString::number(id) + QStringLiteral(" - ") + name : db::entryWithId(name, id), id});
            }
        } catch (const db::DbError &) {
        }
        return rows;
    };
    auto fill = [this](QComboBox *c, const PartyListModel::Entries &rows) {
        const qint64 keep = idOf(c);
        c->setModel(new PartyListModel(rows, c)); // the box deletes the list it made before
        selectById(c, keep);
    };
    const auto suppliers = read(QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Supplier<>0 OR "
                                               "(Supplier=0 AND Customer=0) ORDER BY CompanyName"),
                                true);
    const auto customers = read(QStringLiteral("SELECT ID, CompanyName FROM Customer WHERE Customer<>0 ORDER BY CompanyName"),
                                false);
    fill(cb("cboSupplier"), suppliers);
    fill(cb("cboConsignmentInCustomer"), suppliers);
    fill(cb("cboCustomer"), customers);
    fill(cb("cboOnHoldFor"), customers);
    m_filling = was;
}

void frmDiamondDetail::selectById(QComboBox *c, qint64 id)
{
    const int i = c->findData(id);
    c->setCurrentIndex(i >= 0 ? i : (id == 0 ? c->findData(0) : -1));
}

// Selects a party's entry; a party the combo's list leaves out (a firm
// flagged otherwise, a row with both flags Null) gets an entry of its own, so
// the screen shows the stored link.
void frmDiamondDetail::showParty(QComboBox *c, qint64 id, bool idFirst)
{
    if (id != 0 && c->findData(id) < 0) {
        QString name;
        try {
            name = db::textOf(db::scalar(m_ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {id}));
        } catch (const db::DbError &) {
        }
        c->addItem(idFirst ? QString::number(id) + QStringLiteral(" - ") + name : db::entryWithId(name, id), id);
    }
    selectById(c, id);
}

qint64 frmDiamondDetail::idOf(const QComboBox *c) const
{
    return c->currentIndex() >= 0 ? c->currentData().toLongLong() : 0;
}

void frmDiamondDetail::RefreshfrmDiamondDetailModule(qint64 id)
{
    StoneForm f;
    bool found = false;
    try {
        found = stones::loadStone(m_ctx, id, f);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The Diamond could not be read"), QStringLiteral("Open Diamond"), e);
    }
    if (auto *history = findChild<StoneHistoryTab *>(QStringLiteral("TabStrip1")))
        history->showStone(found ? id : 0);
    if (auto *files = findChild<StoneFilesTab *>())
        files->showStone(found ? id : 0);
    if (!found) {
        // Nothing to show: the fields are emptied; txtID keeps what was asked
        // for (a scanned number stays visible).
        m_form = StoneForm();
        ClearfrmDiamondDetailModule();
        showStatus(QString());
        updateCommands();
        return;
    }
    m_form = f;
    controlsFromForm(f);
}

void frmDiamondDetail::ClearfrmDiamondDetailModule()
{
    const bool was = m_filling;
    m_filling = true;
    for (const TextField &t : kTextFields)
        if (auto *e = le(t.name))
            e->clear();
    for (const ComboField &c : kComboFields) {
        QComboBox *box = cb(c.name);
        box->setCurrentIndex(-1);
        if (box->isEditable())
            box->setEditText(QString());
    }
    le("txtWeight")->clear();
    for (int i = 0; i < stones::StonePriceModel::FieldCount; ++i)
        if (auto *e = le(stones::StonePriceModel::fieldName(F(i)).toLatin1().constData()))
            e->clear();
    m_prices.clear();
    for (const CheckField &c : kCheckFields)
        ck(c.name)->setChecked(false);
    w<QPlainTextEdit>("txtComment")->clear();
    m_filling = was;
}

void frmDiamondDetail::EnablefrmDiamondModule()
{
    for (QWidget *x : std::as_const(m_entryFields)) {
        if (auto *e = qobject_cast<QLineEdit *>(x))
            e->setReadOnly(false);
        else if (auto *t = qobject_cast<QPlainTextEdit *>(x))
            t->setReadOnly(false);
        else
            x->setEnabled(true);
    }
    le("txtSellPriceLocalCT2")->setReadOnly(!m_ctx.user.Administrator);
    le("txtSellPriceLocalCT2")->setEnabled(m_ctx.user.Administrator);
    w<QDateEdit>("dtDate")->setEnabled(true);
}

QString frmDiamondDetail::rightOfMode() const
{
    return m_state.mode == EditState::Adding ? QStringLiteral("AllowDiamond2Create") : QStringLiteral("AllowEdit");
}

bool frmDiamondDetail::mayChange(const char *right) const
{
    return m_ctx.user.ID != 0 && m_ctx.user.has(QString::fromLatin1(right));
}

void frmDiamondDetail::DisablefrmDiamondModule() { DisablefrmDiamondModule(true); }

void frmDiamondDetail::DisablefrmDiamondModule(bool showStoredDate)
{
    for (QWidget *x : std::as_const(m_entryFields)) {
        if (auto *e = qobject_cast<QLineEdit *>(x))
            e->setReadOnly(true);
        else if (auto *t = qobject_cast<QPlainTextEdit *>(x))
            t->setReadOnly(true);
        else
            x->setEnabled(false);
    }
    le("txtSellPriceLocalCT2")->setEnabled(m_ctx.user.Administrator);
    if (!showStoredDate) {
        w<QDateEdit>("dtDate")->setEnabled(false);
        return;
    }
    w<QDateEdit>("dtDate")->setVisible(false);
    le("txtDateCreated")->setVisible(true);
}

// Form <-> controls --------------------------------------------------------------------

void frmDiamondDetail::controlsFromForm(const StoneForm &f)
{
    const bool was = m_filling;
    m_filling = true;
    le("txtID")->setText(f.id ? QString::number(f.id) : QString());
    for (const TextField &t : kTextFields)
        le(t.name)->setText(f.*(t.member));
    for (const ComboField &c : kComboFields) {
        QComboBox *box = cb(c.name);
        const QString value = f.*(c.member);
        const int i = box->findText(value);
        box->setCurrentIndex(i);
        if (box->isEditable()) {
            box->setEditText(value);
            // Shown from its start ("Round Brilliant [BR]", not its end).
            box->lineEdit()->setCursorPosition(0);
        } else if (i < 0 && !value.isEmpty()) {
            box->addItem(value);
            box->setCurrentIndex(box->count() - 1);
        }
    }
    for (const CheckField &c : kCheckFields)
        ck(c.name)->setChecked(f.*(c.member));
    rb("optLockPercent")->setChecked(f.lockPercent);
    rb("optLockDollar")->setChecked(!f.lockPercent);
    rb("optLockPercentLX")->setChecked(f.lockPercentLX);
    rb("optLockDollarLX")->setChecked(!f.lockPercentLX);
    // Options that the record leaves all off show none chosen.
    for (const CheckField &o : kOptionFields) {
        QRadioButton *b = rb(o.name);
        if (b->group() && b->group()->checkedButton() && !(f.*(o.member))) {
            QButtonGroup *g = b->group();
            bool any = false;
            for (const CheckField &other : kOptionFields)
                any = any || (rb(other.name)->group() == g && f.*(other.member));
            if (!any) {
                g->setExclusive(false);
                for (QAbstractButton *x : g->buttons())
                    x->setChecked(false);
                g->setExclusive(true);
            }
        }
    }
    for (const CheckField &o : kOptionFields)
        if (f.*(o.member))
            rb(o.name)->setChecked(true);
    w<QLabel>("imgBuyInUS")->setVisible(f.buyInUS);
    w<QLabel>("imgBuyInLocal")->setVisible(f.buyInLocal);
    w<QPlainTextEdit>("txtComment")->setPlainText(f.Comment);
    le("txtDateCreated")->setText(f.DateCreated.isValid() ? f.DateCreated.toString(QStringLiteral("MMM dd, yyyy")) : QString());
    w<QDateEdit>("dtDate")->setDate(f.DateCreated.isValid() ? f.DateCreated : QDate::currentDate());

    m_prices.clear();
    m_prices.lockPercent = f.lockPercent;
    m_prices.lockPercentLX = f.lockPercentLX;
    m_prices.rate = m_ctx.exchangeRateCDN;
    m_prices.priceStep = pricing::sellingPriceStep(m_ctx.settings);
    for (int i = 0; i < stones::StonePriceModel::FieldCount; ++i) {
        const F pf = F(i);
        m_prices.set(pf, f.price(pf));
        if (auto *e = le(stones::StonePriceModel::fieldName(pf).toLatin1().constData()))
            e->setText(f.price(pf));
    }
    le("txtWeight")->setText(f.Carat);
    m_prices.set(F::Weight, f.Carat);
    showBuyOffCurrentRap();
    le("txtMemoUS")->setText(f.memoUS);
    le("txtMemoLocal")->setText(f.memoLocal);
    le("txtPaymentUS")->setText(QStringLiteral("$") + f.paymentsUS);
    le("txtPaymentLocal")->setText(f.paymentsLocal);
    const double perCarat = stones::fieldValue(f.price(F::SellPriceCT));
    w<QLabel>("lblSellCT")->setText(QStringLiteral("sell US$ /ct @ ") + fixed(perCarat, 3));
    w<QLabel>("lblSellStone")->setText(QStringLiteral("sell US$ /Stone @ ")
                                       + fixed(stones::fieldValue(f.price(F::SellPrice)), 3));
    le("txtOnHoldNote")->setText(f.onHoldNote);
    w<QDateEdit>("dtOnHoldDate")->setDate(f.onHoldDate.isValid() ? f.onHoldDate : QDate::currentDate());
    m_dateEdited = false;
    m_holdDateEdited = false;
    le("txtMergeItemID")->setText(f.itemId ? QString::number(f.itemId) : QString());

    le("txtStatusCustomerID")->setText(f.customerId ? QString::number(f.customerId) : QString());
    le("txtConsignedTo")->setText(f.customerId ? QString::number(f.customerId) : QString());
    le("txtOnHoldForCustomerID")->setText(f.onHoldForId ? QString::number(f.onHoldForId) : QString());
    le("txtConsignmentInCustomer")->setText(f.consignmentInId ? QString::number(f.consignmentInId) : QString());
    le("txtSupplier")->setText(f.supplierId ? QString::number(f.supplierId) : QString());
    w<QLabel>("lblMEMOid")->setText(f.memoSheetId && f.Status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0
                                        ? QString::number(f.memoSheetId)
                                        : QString());
    showStatus(f.Status);
    syncDisplay();
    updateCommands();
    m_filling = was;
}

void frmDiamondDetail::updateCommands()
{
    const bool displayed = m_state.mode == EditState::Displayed;
    const bool loaded = m_form.id != 0;
    // Every command that writes is for a logged-in user with its right.
    const bool edit = mayChange("AllowEdit");
    const bool memo = mayChange("AllowMemoAssigning");
    w<QPushButton>("cmdAddDiamond")->setEnabled(displayed && mayChange("AllowDiamond2Create"));
    w<QPushButton>("cmdEditDiamond")->setEnabled(displayed && loaded && edit);
    w<QPushButton>("cmdDelete")->setEnabled(displayed && loaded && mayChange("AllowDelete"));
    w<QPushButton>("cmdUpdate")->setEnabled(!displayed && m_ctx.user.ID != 0 && m_ctx.user.has(rightOfMode()));
    w<QPushButton>("cmdCancel")->setEnabled(!displayed);
    // Another stone is opened only while none is being added or edited.
    le("txtID")->setReadOnly(!displayed);
    // Status changes reload the stone: not while it is being added or edited.
    const stones::StatusDisplay d = stones::statusDisplay(m_form.Status);
    w<QPushButton>("cmdSold")->setEnabled(displayed && loaded && edit && d.sellEnabled && !m_form.Status.isEmpty()
                                          && m_ctx.screens().available(Screen::SellStone));
    w<QPushButton>("cmdReturn")->setEnabled(displayed && loaded && edit
                                            && m_form.Status.compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0);
    w<QPushButton>("cmdReturnVendor")->setEnabled(displayed && loaded && edit && d.vendorEnabled);
    // Written at once: the hold, its note and date, the supplier, the item.
    const bool stoneInHand = loaded || m_state.mode == EditState::Adding;
    cb("cboOnHoldFor")->setEnabled(stoneInHand && edit);
    cb("cboSupplier")->setEnabled(stoneInHand && edit);
    w<QPushButton>("cmdEditHold")->setEnabled(loaded && edit);
    w<QPushButton>("cmdMergeWithItem")->setEnabled(displayed && loaded && edit);
    le("txtMergeItemID")->setReadOnly(!(displayed && loaded && edit));
    // Back from memo (the stone dropped on the safe) and new memo sheets.
    w<QLabel>("imgSafe")->setEnabled(displayed && memo);
    w<QLabel>("imgSafe")->setAcceptDrops(displayed && memo);
    if (auto *download = findChild<QAction *>(QStringLiteral("mnuDownloadAndUpgrade")))
        download->setEnabled(edit);
    if (auto *importFiles = findChild<QAction *>(QStringLiteral("mnuImportPriceFiles")))
        importFiles->setEnabled(edit);
    // Commands whose screens live elsewhere: enabled once those screens are installed.
    const Screens &screens = m_ctx.screens();
    w<QPushButton>("cmdSearch")->setEnabled(screens.available(Screen::StoneSearch));
    // The look-up fills fields that a save then writes: adding or editing only.
    w<QPushButton>("cmdGetGIA")->setEnabled(!displayed && !m_lookingUp);
    w<QPushButton>("cmdPrintLabel")->setEnabled(displayed && loaded);
    w<QPushButton>("cmdPrintPaper")->setEnabled(displayed && loaded && screens.available(Screen::StonePaper));
    w<QPushButton>("cmdLoadMemo")->setEnabled(screens.available(Screen::MemoSheet));
    w<QPushButton>("cmdConsignedTo")->setEnabled(screens.available(Screen::MemoSheet) && memo);
    w<QPushButton>("cmdNewMemo")->setEnabled(screens.available(Screen::Customer) && memo);
    w<QPushButton>("cmdNewPayment")->setEnabled(loaded && screens.available(Screen::Payment));
    w<QPushButton>("cmdNewPaymentMade")->setEnabled(loaded && screens.available(Screen::PaymentMade));
    w<QPushButton>("cmdViewBoundItem")->setEnabled(m_form.itemId != 0 && screens.available(Screen::Item));
}

StoneForm frmDiamondDetail::formFromControls() const
{
    StoneForm f = m_form;
    for (const TextField &t : kTextFields)
        f.*(t.member) = le(t.name)->text();
    for (const ComboField &c : kComboFields)
        f.*(c.member) = cb(c.name)->currentText();
    for (const CheckField &c : kCheckFields)
        f.*(c.member) = ck(c.name)->isChecked();
    for (const CheckField &o : kOptionFields)
        f.*(o.member) = rb(o.name)->isChecked();
    f.Comment = w<QPlainTextEdit>("txtComment")->toPlainText();
    f.Carat = le("txtWeight")->text();
    for (int i = 0; i < stones::StonePriceModel::FieldCount; ++i)
        if (auto *e = le(stones::StonePriceModel::fieldName(F(i)).toLatin1().constData()))
            f.prices[i] = e->text();
    f.prices[F::Weight] = f.Carat;
    // A date box shows today for a stone without a date: its date counts only
    // once the user has changed it.
    if (m_state.mode != EditState::Displayed && w<QDateEdit>("dtDate")->isVisible() && m_dateEdited)
        f.DateCreated = w<QDateEdit>("dtDate")->date();
    // Supplier, consignment-in and hold-for are written the moment they are
    // chosen and kept in m_form; a combo whose list lacks the stored party
    // must not read as "none".
    f.onHoldNote = le("txtOnHoldNote")->text();
    if (m_holdDateEdited)
        f.onHoldDate = w<QDateEdit>("dtOnHoldDate")->date();
    return f;
}

void frmDiamondDetail::showStatus(const QString &status)
{
    const stones::StatusDisplay d = stones::statusDisplay(status);
    le("txtStatus")->setText(status);
    w<QLabel>("lblStatus")->setText(status.isEmpty() ? QString() : d.statusText);
    w<QLabel>("imgDiaStock")->setVisible(d.stockPicture);
    w<QPushButton>("cmdReturnVendor")->setText(d.vendorCaption);
    updateCommands();
}

void frmDiamondDetail::syncDisplay()
{
    const bool was = m_filling;
    m_filling = true;
    const qint64 customer = le("txtStatusCustomerID")->text().toLongLong();
    QString shown;
    if (customer) {
        try {
            const QVariant name =
                db::scalar(m_ctx.db(), QStringLiteral("SELECT CompanyName FROM Customer WHERE ID = ?"), {customer});
            shown = QString::number(customer) + QStringLiteral(" - ") + db::textOf(name);
        } catch (const db::DbError &) {
        }
    }
    le("txtCustomer")->setText(shown);
    if (le("txtStatus")->text().compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0) {
        QComboBox *c = cb("cboConsignedTo");
        const qint64 to = le("txtConsignedTo")->text().toLongLong();
        if (c->findData(to) < 0 && to != 0)
            c->addItem(QString::number(to) + QStringLiteral(" - ") + shown.section(QStringLiteral(" - "), 1), to);
        selectById(c, to);
    } else if (le("txtStatus")->text().compare(QLatin1String("Sold"), Qt::CaseInsensitive) == 0 && customer) {
        // A sold stone's customer boxes show its buyer, not the customer
        // chosen or consigned to before the sale.
        selectById(cb("cboCustomer"), customer);
        cb("cboConsignedTo")->setCurrentIndex(-1);
    }
    showParty(cb("cboOnHoldFor"), le("txtOnHoldForCustomerID")->text().toLongLong(), false);
    showParty(cb("cboConsignmentInCustomer"), le("txtConsignmentInCustomer")->text().toLongLong(), true);
    showParty(cb("cboSupplier"), le("txtSupplier")->text().toLongLong(), true);
    // Pointing at a memo number shows the memo sheet's reference, where the
    // settings show reference numbers.
    for (const char *name : {"lblMEMOid", "lblMemoIDIS"}) {
        QLabel *l = w<QLabel>(name);
        QString tip;
        if (!l->text().isEmpty() && m_ctx.settings.ShowReferenceNumber) {
            try {
                tip = QStringLiteral("Reference# ")
                    + db::textOf(db::scalar(m_ctx.db(), QStringLiteral("SELECT Reference FROM MemoSheet WHERE ID = ?"),
                                            {l->text().toLongLong()}));
            } catch (const db::DbError &) {
            }
        }
        l->setToolTip(tip);
    }
    w<QLabel>("imgDiaMemo1")->setVisible(!w<QLabel>("lblMemoIDIS")->text().isEmpty());
    w<QLabel>("imgDiaMemo2")->setVisible(!w<QLabel>("lblMEMOid")->text().isEmpty());
    m_filling = was;
}

void frmDiamondDetail::updateCaptions()
{
    const QString cur = m_ctx.settings.currencyName();
    const QString titleCur = cur == QLatin1String("CDN") ? QStringLiteral("CDN$") : cur;
    // An unknown rate shows as "???", never as 0.0000.
    setWindowTitle(QStringLiteral("Diamond Details US$/") + titleCur + QStringLiteral(" 1/") + rateText(m_ctx.exchangeRateCDN, 4)
                   + QStringLiteral(" US$/ZAR 1/") + rateText(m_ctx.exchangeRateZAR, 4) + QStringLiteral("   ---   ")
                   + m_ctx.settings.CompanyName);
    // The price rows hold US dollars; the local columns say their currency.
    w<QLabel>("lblCostST")->setText(QStringLiteral("Cost US$"));
    w<QLabel>("lblRapStone")->setText(QStringLiteral("Rap US$ when bought"));
    w<QLabel>("lblCurrentRapST")->setText(QStringLiteral("current Rap US$"));
    w<QLabel>("lblHeadLocalCT")->setText(cur + QStringLiteral(" /ct"));
    w<QLabel>("lblHeadLocalStone")->setText(cur + QStringLiteral(" /Stone"));
    w<QLabel>("lblPaymentRecd")->setText(QStringLiteral("Payment recd US$ | ") + cur);
    w<QLabel>("lblMemoStatic")->setText(QStringLiteral("Memo US$ | ") + cur + QStringLiteral(" (Static)"));
    w<QLabel>("lblValue")->setText(cur + QStringLiteral(" Value"));
    m_prices.rate = m_ctx.exchangeRateCDN;
    m_prices.priceStep = pricing::sellingPriceStep(m_ctx.settings);
}

void frmDiamondDetail::priceEdited(F f, const QString &text)
{
    if (m_filling)
        return;
    m_prices.lockPercent = rb("optLockPercent")->isChecked();
    m_prices.lockPercentLX = rb("optLockPercentLX")->isChecked();
    m_prices.rate = m_ctx.exchangeRateCDN;
    m_prices.priceStep = pricing::sellingPriceStep(m_ctx.settings);
    m_prices.edit(f, text);
    showBuyOffCurrentRap();
}

// The buying price against today's list price (shown only).
void frmDiamondDetail::showBuyOffCurrentRap()
{
    const double latest = m_prices.value(F::LatestRapPrice);
    le("txtBuyOffRap")->setText(latest != 0 && !m_prices.text(F::BoughtPriceUSCT).isEmpty()
                                    ? stones::fmt(100 - m_prices.value(F::BoughtPriceUSCT) * 100 / latest)
                                    : QString());
}

// Commands -------------------------------------------------------------------------

void frmDiamondDetail::loadStone(int id)
{
    if (m_state.mode != EditState::Displayed)
        return;
    RefreshfrmDiamondDetailModule(id);
    DisablefrmDiamondModule();
}

void frmDiamondDetail::reloadCurrent()
{
    if (m_form.id)
        RefreshfrmDiamondDetailModule(m_form.id);
}

void frmDiamondDetail::addDiamond()
{
    if (m_state.mode != EditState::Displayed)
        return;
    if (!mayWrite(m_ctx, QStringLiteral("AllowDiamond2Create")))
        return;
    // The new stone gets its row when it is saved: an Add that is cancelled
    // or refused (or a program that ends meanwhile) leaves none behind.
    m_shownBeforeAdd = m_form.id;
    StoneForm f = stones::newStoneForm(0);
    m_form = f;
    EnablefrmDiamondModule();
    ClearfrmDiamondDetailModule();
    controlsFromForm(f);
    w<QDateEdit>("dtDate")->setVisible(true);
    le("txtDateCreated")->setVisible(false);
    m_state = EditState();
    m_state.mode = EditState::Adding;
    m_dateEdited = true; // a new stone takes the date shown
    showStatus(QString());
    updateCommands();
    // Step 1, the certificate look-up, fills the new stone's grading (after
    // the clearing above, so nothing of the stone shown before is carried over).
    if (certificateLookup)
        certificateLookup(this);
}

void frmDiamondDetail::editDiamond()
{
    if (m_state.mode != EditState::Displayed)
        return;
    StoneForm f = formFromControls();
    if (!stones::beginEdit(m_ctx, f, m_state))
        return;
    m_dateEdited = false;
    m_holdDateEdited = false;
    w<QDateEdit>("dtDate")->setVisible(true);
    le("txtDateCreated")->setVisible(false);
    EnablefrmDiamondModule();
    updateCommands();
}

void frmDiamondDetail::update()
{
    if (m_state.mode == EditState::Displayed)
        return;
    StoneForm f = formFromControls();
    const stones::SaveResult r = stones::saveStone(m_ctx, f, m_state);
    if (r == stones::SaveResult::Saved) {
        PopulateCBOsModule();
        RefreshfrmDiamondDetailModule(f.id);
        DisablefrmDiamondModule();
        updateCommands();
    }
    // A refused save leaves the boxes as typed: an automatic SKU is drawn
    // afresh from the prefix at the next save.
}

void frmDiamondDetail::cancel()
{
    // A cancelled Add shows again the stone that was shown before it.
    const qint64 id = m_state.mode == EditState::Adding ? m_shownBeforeAdd : m_form.id;
    m_state = EditState();
    RefreshfrmDiamondDetailModule(id);
    DisablefrmDiamondModule();
    updateCommands();
}

void frmDiamondDetail::deleteDiamond()
{
    if (m_form.id == 0 || m_state.mode != EditState::Displayed)
        return;
    if (stones::deleteStone(m_ctx, m_form.id) == stones::DeleteResult::Deleted) {
        m_form = StoneForm();
        ClearfrmDiamondDetailModule();
        le("txtID")->clear();
        showStatus(QString());
        PopulateCBOsModule();
        updateCommands();
    }
}

void frmDiamondDetail::autoNumber()
{
    QString sku = le("txtSKU")->text();
    sku.remove(QStringLiteral("......"));
    if (stones::autoNumberSku(m_ctx, sku))
        le("txtSKU")->setText(sku);
}

void frmDiamondDetail::sell()
{
    if (m_state.mode != EditState::Displayed)
        return;
    // The sale goes through the sell dialog onto the customer's invoice;
    // afterwards the screen shows the stone as it now is (also when another
    // workstation sold it meanwhile).
    if (m_form.id == 0)
        return;
    m_ctx.screens().openSellDialog(m_form.id, this);
    reloadCurrent();
}

void frmDiamondDetail::returnFromCustomer()
{
    if (m_form.id == 0 || m_state.mode != EditState::Displayed)
        return;
    stones::returnFromCustomer(m_ctx, m_form.id);
    reloadCurrent();
}

void frmDiamondDetail::vendor()
{
    if (m_form.id == 0 || m_state.mode != EditState::Displayed)
        return;
    // The caption tells the direction.
    if (w<QPushButton>("cmdReturnVendor")->text() == QLatin1String("from VENDOR, RECEIVE"))
        stones::receiveFromVendor(m_ctx, m_form.id);
    else
        stones::returnToVendor(m_ctx, m_form.id);
    reloadCurrent();
}

void frmDiamondDetail::dropOnSafe()
{
    if (m_form.id == 0 || m_state.mode != EditState::Displayed
        || m_form.Status.compare(QLatin1String("Memo"), Qt::CaseInsensitive) != 0)
        return;
    stones::returnFromMemo(m_ctx, m_form.id);
    reloadCurrent();
}

void frmDiamondDetail::getRap(bool original)
{
    const QString colour = stones::pricing_bridge::gradeText(cb("cboColour")->currentText());
    const QString clarity = stones::pricing_bridge::gradeText(cb("cboClarity")->currentText());
    double price = 0;
    try {
        price = stones::pricing_bridge::listPrice(m_ctx, cb("cboShape")->currentText(),
                                                  stones::fieldValue(le("txtWeight")->text()), colour, clarity);
    } catch (const db::DbError &) {
        return;
    }
    const F f = original ? F::OriginalRapPrice : F::LatestRapPrice;
    const QString text = stones::fmt(price);
    le(original ? "txtOriginalRapPrice" : "txtLatestRapPrice")->setText(text);
    priceEdited(f, text);
}

void frmDiamondDetail::editHold()
{
    QPushButton *b = w<QPushButton>("cmdEditHold");
    if (b->text() == QLatin1String("...")) {
        b->setText(QStringLiteral("save"));
        w<QDateEdit>("dtOnHoldDate")->setEnabled(true);
        le("txtOnHoldNote")->setReadOnly(false);
        return;
    }
    b->setText(QStringLiteral("..."));
    w<QDateEdit>("dtOnHoldDate")->setEnabled(false);
    le("txtOnHoldNote")->setReadOnly(true);
    if (m_form.id
        && stones::saveHoldNote(m_ctx, m_form.id, le("txtOnHoldNote")->text(), w<QDateEdit>("dtOnHoldDate")->date())
               == stones::StatusResult::Done) {
        m_form.onHoldNote = le("txtOnHoldNote")->text();
        m_form.onHoldDate = w<QDateEdit>("dtOnHoldDate")->date();
        m_state.atStart.onHoldNote = m_form.onHoldNote;
        m_state.atStart.onHoldDate = m_form.onHoldDate;
        m_holdDateEdited = false;
    }
}

void frmDiamondDetail::mergeWithItem()
{
    // The item number as typed: "12abc" is no item 12.
    const QString typed = le("txtMergeItemID")->text().trimmed();
    bool whole = false;
    const qint64 item = typed.toLongLong(&whole);
    if (!typed.isEmpty() && (!whole || item < 0)) {
        m_ctx.prompt().inform(QStringLiteral("The Item ID \"%1\" is not a number.").arg(typed),
                              QStringLiteral("Diamond Assembly"), Icon::Exclamation);
        return;
    }
    if (stones::bindIntoItem(m_ctx, m_form.id, item) == stones::StatusResult::Done)
        reloadCurrent();
}

void frmDiamondDetail::openPrices()
{
    if (m_form.id == 0 && m_state.mode != EditState::Adding)
        return;
    StoneForm f = formFromControls();
    frmDiamondDetailPrices dlg(m_ctx, f, this);
    // Amounts are taken over only while the stone is being added or edited:
    // the next save writes them.
    const bool displayed = m_state.mode == EditState::Displayed;
    if (displayed)
        dlg.setViewOnly();
    if (dlg.exec() != QDialog::Accepted || displayed)
        return;
    m_form.boughtPriceLocal = stones::fmt(dlg.model().boughtLocal());
    m_form.boughtRateCDN = dlg.model().boughtRateCDN();
    m_form.boughtRateZAR = dlg.model().boughtRateZAR();
    if (m_state.mode != EditState::Displayed) {
        const QString us = stones::fmt(dlg.model().boughtUS());
        le("txtBoughtPriceUS")->setText(us);
        priceEdited(F::BoughtPriceUS, us);
    }
}

void frmDiamondDetail::openChangeLog()
{
    auto *s = new frmStoneChange(m_ctx, this);
    s->setAttribute(Qt::WA_DeleteOnClose);
    s->show();
}

// Activation and the start-up ------------------------------------------------------------

void frmDiamondDetail::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!m_started) {
        activateWindow();
        // Without a window manager that hands over focus the window may never
        // become active: finish the start-up shortly after it is shown anyway.
        QTimer::singleShot(400, this, [this] {
            if (!m_started && isVisible())
                firstActivation();
        });
    }
}

void frmDiamondDetail::changeEvent(QEvent *e)
{
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    if (!m_started)
        firstActivation();
    else
        activated();
}

void frmDiamondDetail::firstActivation()
{
    m_started = true;
    m_repairing = true;
    // The repair on opening, with its progress words on the splash screen.
    startupMark(QStringLiteral("stone repair"));
    stones::repairOnOpen(m_ctx);
    m_ctx.currentScreen = QStringLiteral("frmDiamondDetail");
    m_ctx.prompt().progress(QStringLiteral("Initialize User ID"));
    try {
        // No user is made here: a database without users gets its first
        // administrator on the log-on screen.
        keepOldestUserAdministrator(m_ctx);
    } catch (const db::DbError &) {
        // The start-up goes on without it.
    }
    if (m_ctx.WholeSaleMode) {
        // The front screen is the home screen: log-on and settings live there.
        if (auto *a = findChild<QAction *>(QStringLiteral("mnuLogOn")))
            a->setVisible(false);
        if (auto *m = findChild<QMenu *>(QStringLiteral("mnuSettings")))
            m->menuAction()->setVisible(false);
    }
    m_repairing = false;
    activated();
    emit startUpFinished();
}

void frmDiamondDetail::activated()
{
    if (m_repairing)
        return;
    m_ctx.currentScreen = QStringLiteral("frmDiamondDetail");
    updateCaptions();
    showLogo();
    applyDisplaySettings();
    findChild<QAction *>(QStringLiteral("mnuMainMenu"))
        ->setEnabled(isSignalConnected(QMetaMethod::fromSignal(&frmDiamondDetail::mainMenuRequested)));
    if (m_state.mode != EditState::Displayed)
        return;
    startupMark(QStringLiteral("activation repairs"));
    stones::repairOnActivate(m_ctx);
    startupMark(QStringLiteral("word lists"));
    // The word lists read the whole stone table: refreshed when they are a
    // minute old (other workstations add words), not after every message box.
    // At start-up they are filled once the screen is up (a large stock takes
    // a noticeable moment, and the empty screen needs none of them).
    if (!m_combosFilled.isValid() && !m_combosScheduled) {
        m_combosScheduled = true;
        PopulateCBOsModule();
    } else if (m_combosFilled.isValid() && m_combosFilled.elapsed() > 60000) {
        PopulateCBOsModule();
    }
    startupMark(QStringLiteral("customer and supplier lists"));
    fillPartyCombos();
    startupMark(QStringLiteral("stone screen activated"));
    if (m_form.id)
        syncDisplay();
    w<QPushButton>("cmdFindCustomer")->setEnabled(m_ctx.screens().available(Screen::CustomerSearch));
    updateCommands();
    // A memo sheet made on the customer screen is the open one here too.
    if (const qint64 sheet = m_ctx.screens().currentMemoSheet()) {
        w<QLabel>("lblMemoIDIS")->setText(QString::number(sheet));
        syncDisplay();
    }
}

namespace {

// Shows or hides the row of a form that holds `field` (alone or in the row's
// own layout), with its caption.
void setFormRowVisible(QWidget *field, bool visible)
{
    auto *form = field && field->parentWidget() ? qobject_cast<QFormLayout *>(field->parentWidget()->layout()) : nullptr;
    if (!form)
        return;
    for (int row = 0; row < form->rowCount(); ++row) {
        QLayoutItem *item = form->itemAt(row, QFormLayout::FieldRole);
        if (item && (item->widget() == field || (item->layout() && item->layout()->indexOf(field) >= 0))) {
            form->setRowVisible(row, visible);
            return;
        }
    }
}

} // namespace

void frmDiamondDetail::applyDisplaySettings()
{
    const Settings &st = m_ctx.settings;
    // The price columns the settings hide: the per-stone columns unless a
    // Hide flag is set, the per-carat ones only when a Show flag is set.  The
    // stone screen has no local list price, no local cost per stone and no
    // local cost per carat (those are in the currency window).
    const std::pair<bool, std::vector<const char *>> hidden[] = {
        {st.HideRapUS_CT, {"txtOriginalRapPrice", "txtLatestRapPrice"}},
        {st.HideRapUS_Stone, {"txtOriginalRapPriceUS", "txtUSRap"}},
        {st.HideCostUS_ST, {"txtBoughtPriceUS"}},
        {!st.ShowCostUS_CT, {"txtBoughtPriceUSCT"}},
        {st.HideSellPriceUS_ST, {"txtSellPrice", "txtSellPriceLX", "txtSellPrice2", "txtSellPrice3"}},
        {!st.ShowSellPriceUS_CT, {"txtSellPriceCT", "txtSellPriceCTLX", "txtSellPriceCT2", "txtSellPriceCT3"}},
        {st.HideSellPriceMY_ST, {"txtSellPriceLocal2", "txtSellPriceLocal3"}},
        {!st.ShowSellPriceMY_CT, {"txtSellPriceLocalCT2", "txtSellPriceLocalCT3"}},
    };
    for (const auto &[hide, names] : hidden)
        for (const char *name : names) {
            auto *e = w<QLineEdit>(name);
            if (hide) {
                e->setProperty("hiddenBySettings", true);
                e->setVisible(false);
            } else if (e->property("hiddenBySettings").toBool()) {
                e->setProperty("hiddenBySettings", false);
                // A cost comes back only for a user who may see costs.
                const bool cost = qstrcmp(name, "txtBoughtPriceUS") == 0 || qstrcmp(name, "txtBoughtPriceUSCT") == 0;
                e->setVisible(!cost || m_ctx.user.ViewCost);
            }
        }
    setFormRowVisible(cb("cboLot"), st.ShowLot);
    // Measurements that must be given are shown whatever the setting says.
    setFormRowVisible(le("txtDim1"), st.ShowDimension || st.ForceDimension);
    w<QLabel>("lblMEMOid")->setVisible(st.ShowMemoID);
}

void frmDiamondDetail::showLogo()
{
    const QString path = m_ctx.settings.logoPath;
    const QDateTime stamp = path.isEmpty() ? QDateTime() : QFileInfo(path).lastModified();
    if (path == m_logoPath && stamp == m_logoStamp)
        return;
    m_logoPath = path;
    m_logoStamp = stamp;
    auto *imgLogo = w<QLabel>("imgLogo");
    const QPixmap logo(path);
    imgLogo->setPixmap(logo.isNull() ? QPixmap()
                                     : logo.scaled(imgLogo->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void frmDiamondDetail::showPickedParty(const PartyPick &pick)
{
    fillPartyCombos();
    selectById(cb("cboCustomer"), pick.customerId);
    cb("cboCustomer")->setToolTip(pick.addressBlock);
}

bool frmDiamondDetail::hasUnsavedChanges() const
{
    if (m_state.mode == EditState::Adding)
        return true;
    if (m_state.mode != EditState::Editing)
        return false;
    const StoneForm now = formFromControls();
    const StoneForm &was = m_state.atStart;
    for (const TextField &t : kTextFields)
        if (now.*(t.member) != was.*(t.member))
            return true;
    for (const ComboField &c : kComboFields)
        if (now.*(c.member) != was.*(c.member))
            return true;
    for (const CheckField &c : kCheckFields)
        if (now.*(c.member) != was.*(c.member))
            return true;
    return now.Comment != was.Comment || now.Carat != was.Carat || now.prices != was.prices
        || now.DateCreated != was.DateCreated || now.onHoldNote != was.onHoldNote;
}

bool frmDiamondDetail::confirmClose()
{
    if (!hasUnsavedChanges())
        return true;
    const bool adding = m_state.mode == EditState::Adding;
    if (!m_ctx.prompt().askYesNo(adding ? QStringLiteral("The Diamond you are adding has not been saved.\n\n"
                                                         "Close and lose it?")
                                        : QStringLiteral("Your changes to this Diamond have not been saved.\n\n"
                                                         "Close and lose them?"),
                                 QStringLiteral("Unsaved changes"), Icon::Question))
        return false;
    // Lost as asked: nothing of it is written (a new stone has no row yet).
    cancel();
    return true;
}

void frmDiamondDetail::closeEvent(QCloseEvent *e)
{
    if (!confirmClose() || (canClose && !canClose())) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
    if (e->isAccepted())
        emit closed();
}

void frmDiamondDetail::openTypedStone()
{
    if (m_state.mode != EditState::Displayed)
        return;
    const QString typed = le("txtID")->text().trimmed();
    if (typed.isEmpty())
        return;
    qint64 id = 0;
    try {
        // The box holds IDs: a number that is a stone's ID opens that stone,
        // anything else is looked up as a SKU#.
        bool isNumber = false;
        const qint64 n = typed.toLongLong(&isNumber);
        if (isNumber && n > 0)
            id = db::scalar(m_ctx.db(), QStringLiteral("SELECT ID FROM SingleStone WHERE ID = ?"), {n}).toLongLong();
        if (id == 0) {
            QVariantList binds;
            const QString sku = db::sameIdentifier(QStringLiteral("SKU"), typed, binds);
            id = db::scalar(m_ctx.db(), QStringLiteral("SELECT ID FROM SingleStone WHERE %1 ORDER BY ID LIMIT 1").arg(sku),
                            binds)
                     .toLongLong();
        }
    } catch (const db::DbError &e) {
        // Not "there is no such Diamond": the look-up itself failed.
        informFailure(m_ctx, QStringLiteral("The Diamond could not be looked up"), QStringLiteral("Open Diamond"), e);
        return;
    }
    if (id == 0) {
        m_ctx.prompt().inform(QStringLiteral("There is no Diamond with the ID or SKU# \"%1\".").arg(typed),
                              QStringLiteral("Open Diamond"), Icon::Information);
        le("txtID")->setText(m_form.id ? QString::number(m_form.id) : QString());
        return;
    }
    loadStone(int(id));
}

// Keyboard search of the grade combos by wording: "G" finds "50 - G",
// "VS1" finds "40 - VS1"; letters typed in quick succession add up.
bool frmDiamondDetail::gradeKey(QComboBox *c, QKeyEvent *k)
{
    const QString text = k->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    if (!m_gradeTypedAt.isValid() || m_gradeTypedAt.elapsed() > 1000 || m_gradeTypedIn != c)
        m_gradeTyped.clear();
    m_gradeTyped += text;
    m_gradeTypedAt.start();
    m_gradeTypedIn = c;
    int exact = -1, prefix = -1, whole = -1;
    for (int i = 0; i < c->count(); ++i) {
        const QString item = c->itemText(i);
        const QString wording = item.section(QStringLiteral(" - "), 1).trimmed();
        if (exact < 0 && wording.compare(m_gradeTyped, Qt::CaseInsensitive) == 0)
            exact = i;
        if (prefix < 0 && wording.startsWith(m_gradeTyped, Qt::CaseInsensitive))
            prefix = i;
        if (whole < 0 && item.startsWith(m_gradeTyped, Qt::CaseInsensitive))
            whole = i;
    }
    const int found = exact >= 0 ? exact : prefix >= 0 ? prefix : whole;
    if (found >= 0)
        c->setCurrentIndex(found);
    return true;
}

bool frmDiamondDetail::eventFilter(QObject *o, QEvent *e)
{
    const QString name = o->objectName();
    if ((name == QLatin1String("cboColour") || name == QLatin1String("cboClarity")) && e->type() == QEvent::KeyPress)
        return gradeKey(static_cast<QComboBox *>(o), static_cast<QKeyEvent *>(e)) || QMainWindow::eventFilter(o, e);
    if (name == QLatin1String("imgDiaMemo2") && e->type() == QEvent::MouseButtonPress) {
        auto *drag = new QDrag(o);
        auto *mime = new QMimeData;
        mime->setData(QString::fromLatin1(kStoneMime), QByteArray::number(m_form.id));
        drag->setMimeData(mime);
        drag->exec(Qt::MoveAction);
        return true;
    }
    if (name == QLatin1String("imgSafe")) {
        if (e->type() == QEvent::DragEnter) {
            auto *d = static_cast<QDragEnterEvent *>(e);
            if (d->mimeData()->hasFormat(QString::fromLatin1(kStoneMime)))
                d->acceptProposedAction();
            return true;
        }
        if (e->type() == QEvent::Drop) {
            static_cast<QDropEvent *>(e)->acceptProposedAction();
            QTimer::singleShot(0, this, &frmDiamondDetail::dropOnSafe);
            return true;
        }
    }
    if (name == QLatin1String("imgMemo") && e->type() == QEvent::MouseButtonDblClick && m_form.id) {
        try {
            QSqlQuery q = db::exec(m_ctx.db(),
                                   QStringLiteral("SELECT customer.CompanyName, memosheet.ID FROM customer INNER JOIN "
                                                  "memosheet ON customer.id=memosheet.CustomerID INNER JOIN singlestone ON "
                                                  "singlestone.MemoSheetID=memosheet.ID WHERE singlestone.ID=? AND "
                                                  "singlestone.status LIKE 'memo'"),
                                   {m_form.id});
            if (q.next())
                m_ctx.prompt().inform(QStringLiteral("This Diamond is already on MEMO for ") + db::textOf(q.value(0))
                                          + QStringLiteral(" on Memo# ") + q.value(1).toString(),
                                      QStringLiteral("Memo"), Icon::Information);
        } catch (const db::DbError &) {
        }
        return true;
    }
    return QMainWindow::eventFilter(o, e);
}

// The certificate look-up ----------------------------------------------------------

void frmDiamondDetail::getGIA()
{
    if (m_state.mode == EditState::Displayed || m_lookingUp)
        return;
    const online::GiaRequest r{online::readIpAddress(m_ctx.workstation), le("txtWeight")->text().trimmed(),
                               online::compactCertificate(le("txtCertificate")->text())};
    if (r.certificate.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("Please type the certificate number."), QStringLiteral("GIA Certificate"),
                              Icon::Information);
        return;
    }
    if (!online::writeRequestFile(m_ctx.workstation, r)) {
        m_ctx.prompt().inform(QStringLiteral("The request could not be written to %1.")
                                  .arg(m_ctx.workstation.path(QStringLiteral("requestgia.ini"))),
                              QStringLiteral("GIA Certificate"), Icon::Exclamation);
        return;
    }
    lookupCertificate(r);
}

void frmDiamondDetail::lookupCertificate(const online::GiaRequest &request)
{
    if (m_lookingUp)
        return;
    m_lookingUp = true;
    updateCommands();
    const qint64 id = m_form.id;
    const EditState::Mode mode = m_state.mode;
    online::waitFor([] { return false; }, 100);
    online::runCertificateLookup(m_ctx, request, [&](const online::GiaAnswer &a) {
        // The answer belongs to the stone the look-up started on.
        if (m_form.id != id || m_state.mode != mode || mode == EditState::Displayed)
            return false;
        ExtractGIAinfo(a, request.certificate);
        return true;
    }, [&](const QString &report) { // attached to the stone at once, as its certificate
        if (auto *files = findChild<StoneFilesTab *>())
            files->attachLookupReport(id, report, QStringLiteral("GIA"));
    });
    m_lookingUp = false;
    updateCommands();
}

void frmDiamondDetail::ExtractGIAinfo(const online::GiaAnswer &a, const QString &certificate)
{
    cb("cboLaboratory")->setEditText(QStringLiteral("GIA"));
    le("txtCertificate")->setText(certificate);
    for (const online::GiaField &f : online::giaFields()) {
        const QString tag = QString::fromLatin1(f.tag);
        if (!a.has(tag))
            continue;
        const QString v = a.value(tag);
        const QByteArray name(f.control);
        if (name == "cboColour" || name == "cboClarity") {
            QComboBox *c = cb(f.control);
            QStringList entries;
            for (int i = 0; i < c->count(); ++i)
                entries << c->itemText(i);
            const int i = online::matchGradeEntry(entries, v);
            if (i >= 0)
                c->setCurrentIndex(i);
        } else if (name == "cboShape") {
            // "Round Brilliant" picks "Round Brilliant [BR]".
            QComboBox *c = cb(f.control);
            int i = c->findText(v, Qt::MatchFixedString);
            for (int k = 0; i < 0 && k < c->count(); ++k)
                if (c->itemText(k).section(QStringLiteral(" ["), 0, 0).compare(v, Qt::CaseInsensitive) == 0)
                    i = k;
            if (i >= 0)
                c->setCurrentIndex(i);
            else
                c->setEditText(v);
        } else if (name.startsWith("cbo")) {
            cb(f.control)->setEditText(v);
        } else if (name == "txtComment") {
            w<QPlainTextEdit>("txtComment")->setPlainText(v);
        } else if (QLineEdit *e = le(f.control)) {
            e->setText(v);
        }
    }
}

} // namespace velmor::ui
