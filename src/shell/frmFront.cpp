#include "shell/frmFront.h"

#include "core/AppContext.h"
#include "core/Configuration.h"
#include "core/Scanner.h"
#include "shell/StartupSteps.h"
#include "shell/frmBackup.h"
#include "shell/frmBooksCheck.h"
#include "shell/frmRestore.h"
#include "core/UserCaption.h"
#include "core/Users.h"
#include "core/widgets/WindowPlacement.h"
#include "core/frmConfigUsers.h"
#include "core/frmConfiguration.h"
#include "core/widgets/StoneScreenRights.h"
#include "db/Sql.h"
#include "stones/frmDiamondDetail.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {

// Commands the permission step enables by a right.
const std::map<QString, QString> &rightsTable()
{
    static const std::map<QString, QString> table = {
        {QStringLiteral("cmdSingleDiamonds"), QStringLiteral("AllowDiamondView")},
        {QStringLiteral("cmdDiamondParcel"), QStringLiteral("AllowDiamondView")},
        {QStringLiteral("cmdStockCount"), QStringLiteral("AllowDiamondView")},
        {QStringLiteral("mnuStockCount"), QStringLiteral("AllowDiamondView")},
        {QStringLiteral("cmdAddCustomer"), QStringLiteral("AllowCustomerAdd")},
        {QStringLiteral("mnuAddCustomer"), QStringLiteral("AllowCustomerAdd")},
        {QStringLiteral("mnuAddSupplier"), QStringLiteral("AllowCustomerAdd")},
        {QStringLiteral("cmdFindCustomer"), QStringLiteral("AllowCustomerView")},
        {QStringLiteral("mnuHoldCust"), QStringLiteral("AllowCustomerHoldView")},
        {QStringLiteral("cmdAddRep"), QStringLiteral("AllowRepAdd")},
        {QStringLiteral("mnuAddRep"), QStringLiteral("AllowRepAdd")},
        {QStringLiteral("cmdFindRep"), QStringLiteral("AllowRepView")},
        {QStringLiteral("cmdInvoiceLookUpToday"), QStringLiteral("AllowInvoiceView")},
        {QStringLiteral("cmdInvoiceLookUp"), QStringLiteral("AllowInvoiceView")},
        {QStringLiteral("cmdLoadInvoice"), QStringLiteral("AllowInvoiceView")},
        {QStringLiteral("txtInvoiceID"), QStringLiteral("AllowInvoiceView")},
        {QStringLiteral("cmdOverDue"), QStringLiteral("AllowPastDueView")},
        {QStringLiteral("cmdShowMemo"), QStringLiteral("AllowConsignmentView")},
        {QStringLiteral("cmdMemo"), QStringLiteral("AllowConsignmentView")},
        {QStringLiteral("mnuConfig"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuConfigSoftware"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuSetupUsers"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuShapeWords"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuLabWords"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuConfigPrinters"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuSetupLabelPrinter"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuConfigQs"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuConfigD_Range"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuDisclaimers"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuMemoDisclaimer"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuSalesDisclaimer"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuHttpTest"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuBackupNow"), QStringLiteral("Administrator")},
        {QStringLiteral("mnuRestore"), QStringLiteral("Administrator")},
        // Store-side commands, for when their screens are added.
        {QStringLiteral("cmdViewStatements"), QStringLiteral("AllowStatementView")},
        {QStringLiteral("cmdApply"), QStringLiteral("AllowApplyPayment")},
        {QStringLiteral("mnuHoldShipment"), QStringLiteral("AllowShipmentHoldView")},
        {QStringLiteral("cmdQuoteList"), QStringLiteral("AllowQuoteView")},
        {QStringLiteral("cmdCreateQuote"), QStringLiteral("AllowQuoteNew")},
        {QStringLiteral("cmdShowCommission"), QStringLiteral("AllowCommissionView")},
    };
    return table;
}

// Commands that stay enabled and test their right when chosen.
const std::map<QString, QString> &checkedWhenChosen()
{
    static const std::map<QString, QString> table = {
        {QStringLiteral("mnuAddDiamondSingle"), QStringLiteral("AllowDiamond2Create")},
        {QStringLiteral("mnuAddDiamondParcel"), QStringLiteral("AllowDiamond1Create")},
        {QStringLiteral("mnuExchangeAndGold"), QStringLiteral("AllowExchangeRateChanging")},
    };
    return table;
}

} // namespace

QString frmFront::rightFor(const QString &command)
{
    if (auto it = rightsTable().find(command); it != rightsTable().end())
        return it->second;
    if (auto it = checkedWhenChosen().find(command); it != checkedWhenChosen().end())
        return it->second;
    return {};
}

frmFront::frmFront(AppContext &ctx, QWidget *parent)
    : QMainWindow(parent), m_ctx(ctx), m_scanner(new ScannerPort(this))
{
    setObjectName(QStringLiteral("frmFront"));
    setWindowTitle(QStringLiteral("Velmor"));
    buildCommands();

    // The screens this subsystem brings along.
    m_openers[QStringLiteral("mnuAddDiamondSingle")] = [this] {
        if (!m_stone)
            return;
        m_stone->show();
        m_stone->raise();
        m_stone->activateWindow();
        if (auto *b = m_stone->findChild<QAbstractButton *>(QStringLiteral("cmdAddDiamond")))
            b->click();
    };
    m_openers[QStringLiteral("mnuConfigSoftware")] = [this] {
        auto *w = new frmConfiguration(m_ctx, this);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
    };
    m_openers[QStringLiteral("mnuSetupUsers")] = [this] {
        auto *w = new frmConfigUsers(m_ctx, this);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
    };
    m_openers[QStringLiteral("cmdLogIn")] = [this] { logIn(); };
    m_openers[QStringLiteral("cmdLogOff")] = [this] { logOff(); };
    m_openers[QStringLiteral("mnuCheckBooks")] = [this] {
        frmBooksCheck w(m_ctx, this);
        w.exec();
    };
    m_openers[QStringLiteral("mnuBackupNow")] = [this] {
        frmBackup w(m_ctx, this);
        w.exec();
    };
    m_openers[QStringLiteral("mnuRestore")] = [this] {
        frmRestore w(m_ctx, this);
        // The books were replaced under the program: it starts afresh.
        w.restartNeeded = [&w] {
            w.accept();
            QCoreApplication::quit();
        };
        w.exec();
    };
    m_openers[QStringLiteral("mnuExit")] = [this] { close(); };

    // Loading: start-up repairs, then the configuration load.
    try {
        frontScreenLoadRepairs(m_ctx);
    } catch (const db::DbError &) {
    }
    try {
        GetConfigurationModule(m_ctx);
    } catch (const db::DbError &) {
    }
    GetPrintersModule(m_ctx);
    reopenScanner();
    connect(m_scanner, &ScannerPort::received, this, [this](const QString &data) {
        // One code a line; the same code scanned twice still dispatches.
        for (const QString &line : data.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
            txtScannerData->clear();
            txtScannerData->setText(line);
        }
    });
    applyRights();
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmFront::applyRights);
}

void frmFront::showLoggedIn()
{
    if (auto *l = findChild<QLabel *>(QStringLiteral("lblLoggedIn")))
        l->setText(loggedInText(m_ctx));
}

frmFront::~frmFront() = default;

void frmFront::buildCommands()
{
    auto registerAction = [this](QAction *a, const char *name) {
        a->setObjectName(QString::fromLatin1(name));
        m_commands[a->objectName()] = a;
        connect(a, &QAction::triggered, this, [this, n = a->objectName()] { trigger(n); });
        return a;
    };

    QMenu *mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    registerAction(mnuFile->addAction(QStringLiteral("Stock &count...")), "mnuStockCount");
    registerAction(mnuFile->addAction(QStringLiteral("Check the &books...")), "mnuCheckBooks");
    registerAction(mnuFile->addAction(QStringLiteral("Back up now...")), "mnuBackupNow");
    registerAction(mnuFile->addAction(QStringLiteral("Restore...")), "mnuRestore");
    mnuFile->addSeparator();
    registerAction(mnuFile->addAction(QStringLiteral("E&xit")), "mnuExit");

    QMenu *mnuAdd = menuBar()->addMenu(QStringLiteral("&Add"));
    mnuAdd->setObjectName(QStringLiteral("mnuAdd"));
    registerAction(mnuAdd->addAction(QStringLiteral("Single &diamond")), "mnuAddDiamondSingle");
    registerAction(mnuAdd->addAction(QStringLiteral("Diamond &parcel")), "mnuAddDiamondParcel");
    registerAction(mnuAdd->addAction(QStringLiteral("&Customer")), "mnuAddCustomer");
    registerAction(mnuAdd->addAction(QStringLiteral("&Supplier...")), "mnuAddSupplier");
    registerAction(mnuAdd->addAction(QStringLiteral("&Rep")), "mnuAddRep");

    QMenu *mnuCustomers = menuBar()->addMenu(QStringLiteral("&Customers"));
    mnuCustomers->setObjectName(QStringLiteral("mnuCustomers"));
    registerAction(mnuCustomers->addAction(QStringLiteral("Customers on &hold")), "mnuHoldCust");

    QMenu *mnuRates = menuBar()->addMenu(QStringLiteral("&Rates"));
    mnuRates->setObjectName(QStringLiteral("mnuRates"));
    registerAction(mnuRates->addAction(QStringLiteral("&Exchange and gold rates")), "mnuExchangeAndGold");

    QMenu *mnuConfig = menuBar()->addMenu(QStringLiteral("Con&figuration"));
    mnuConfig->setObjectName(QStringLiteral("mnuConfig"));
    m_commands[QStringLiteral("mnuConfig")] = mnuConfig->menuAction();
    const QList<QPair<const char *, QString>> configItems = {
        {"mnuConfigSoftware", QStringLiteral("&Software settings")},
        {"mnuConfigPrinters", QStringLiteral("&Printers")},
        {"mnuSetupLabelPrinter", QStringLiteral("&Label printer")},
        {"mnuConfigQs", QStringLiteral("&Quality classes")},
        {"mnuConfigD_Range", QStringLiteral("&Diameter ranges")},
        {"mnuShapeWords", QStringLiteral("S&hape words")},
        {"mnuLabWords", QStringLiteral("La&boratory words")},
        {"mnuDisclaimers", QStringLiteral("Dis&claimers")},
        {"mnuSetupBarcodeScanners", QStringLiteral("&Barcode scanners")},
        {"mnuSetupUsers", QStringLiteral("&Users")},
        {"mnuSetupCostAddOns", QStringLiteral("Cost &add-ons")},
        {"mnuSetpAdBanner", QStringLiteral("Ad&vertising banner")},
    };
    for (const auto &[name, caption] : configItems)
        registerAction(mnuConfig->addAction(caption), name);
    // The two disclaimer texts, and the HTTP client's test screen.
    if (auto *disclaimers = findChild<QAction *>(QStringLiteral("mnuDisclaimers"))) {
        auto *texts = new QMenu(this);
        registerAction(texts->addAction(QStringLiteral("&Memo disclaimer...")), "mnuMemoDisclaimer");
        registerAction(texts->addAction(QStringLiteral("&Sales disclaimer...")), "mnuSalesDisclaimer");
        disclaimers->setMenu(texts);
    }
    mnuConfig->addSeparator();
    registerAction(mnuConfig->addAction(QStringLiteral("HTTP &test...")), "mnuHttpTest");

    auto *central = new QWidget(this);
    auto *v = new QVBoxLayout(central);
    imgLogo = new QLabel(central);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setFixedHeight(110);
    imgLogo->setAlignment(Qt::AlignCenter);
    v->addWidget(imgLogo);

    auto *grid = new QGridLayout;
    auto group = [&](const QString &title, int row, int col) {
        auto *box = new QGroupBox(title, central);
        auto *l = new QVBoxLayout(box);
        grid->addWidget(box, row, col);
        return l;
    };
    auto button = [&](QVBoxLayout *l, const char *name, const QString &caption) {
        auto *b = new QPushButton(caption);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumHeight(32);
        l->addWidget(b);
        m_commands[b->objectName()] = b;
        connect(b, &QPushButton::clicked, this, [this, n = b->objectName()] { trigger(n); });
        return b;
    };
    QVBoxLayout *diamonds = group(QStringLiteral("Diamonds"), 0, 0);
    button(diamonds, "cmdSingleDiamonds", QStringLiteral("Single diamonds"));
    button(diamonds, "cmdDiamondParcel", QStringLiteral("Diamond parcels"));
    button(diamonds, "cmdStockCount", QStringLiteral("Stock count..."));
    QVBoxLayout *customers = group(QStringLiteral("Customers and reps"), 0, 1);
    button(customers, "cmdAddCustomer", QStringLiteral("Add customer"));
    button(customers, "cmdFindCustomer", QStringLiteral("Find customer"));
    button(customers, "cmdAddRep", QStringLiteral("Add rep"));
    button(customers, "cmdFindRep", QStringLiteral("Find rep"));
    QVBoxLayout *memos = group(QStringLiteral("Memos"), 0, 2);
    button(memos, "cmdShowMemo", QStringLiteral("Show memos"));
    button(memos, "cmdMemo", QStringLiteral("Memo sheet"));
    QVBoxLayout *invoices = group(QStringLiteral("Invoices"), 1, 0);
    button(invoices, "cmdInvoiceLookUpToday", QStringLiteral("Today's invoices"));
    button(invoices, "cmdInvoiceLookUp", QStringLiteral("Look up invoices"));
    auto *invoiceRow = new QHBoxLayout;
    auto *txtInvoiceID = new QLineEdit;
    txtInvoiceID->setObjectName(QStringLiteral("txtInvoiceID"));
    txtInvoiceID->setPlaceholderText(QStringLiteral("Invoice #"));
    m_commands[txtInvoiceID->objectName()] = txtInvoiceID;
    invoiceRow->addWidget(txtInvoiceID);
    invoices->addLayout(invoiceRow);
    button(invoices, "cmdLoadInvoice", QStringLiteral("Load invoice"));
    button(invoices, "cmdOverDue", QStringLiteral("Overdue payments"));
    button(invoices, "cmdApply", QStringLiteral("Payment of an invoice..."));
    button(invoices, "cmdViewStatements", QStringLiteral("Statements and balances"));
    QVBoxLayout *session = group(QStringLiteral("Session"), 1, 1);
    button(session, "cmdLogIn", QStringLiteral("Log in"));
    button(session, "cmdLogOff", QStringLiteral("Log off"));
    v->addLayout(grid);
    v->addStretch(1);

    txtScannerData = new QLineEdit(central);
    txtScannerData->setObjectName(QStringLiteral("txtScannerData"));
    txtScannerData->setVisible(false);
    connect(txtScannerData, &QLineEdit::textChanged, this, &frmFront::scannerDataChanged);

    setCentralWidget(central);
    auto *lblLoggedIn = new QLabel(this);
    lblLoggedIn->setObjectName(QStringLiteral("lblLoggedIn"));
    statusBar()->addPermanentWidget(lblLoggedIn);
    placeWindow(this, QSize(900, 600));
}

void frmFront::setOpener(const QString &command, std::function<void()> open)
{
    m_openers[command] = std::move(open);
    applyRights();
}

void frmFront::applyRights()
{
    showLoggedIn();
    for (const auto &[name, object] : m_commands) {
        bool enabled = true;
        if (auto it = rightsTable().find(name); it != rightsTable().end())
            enabled = m_ctx.user.has(it->second);
        // A menu enables itself; a command needs its screen.
        const QString screen = name == QLatin1String("txtInvoiceID") ? QStringLiteral("cmdLoadInvoice") : name;
        auto *action = qobject_cast<QAction *>(object);
        const bool menu = name == QLatin1String("mnuConfig") || (action && action->menu());
        if (!menu && m_openers.find(screen) == m_openers.end())
            enabled = false;
        if (auto *a = qobject_cast<QAction *>(object)) {
            a->setEnabled(enabled);
            if (QMenu *menu = a->menu())
                menu->setEnabled(enabled);
        } else if (auto *w = qobject_cast<QWidget *>(object)) {
            w->setEnabled(enabled);
        }
    }
}

void frmFront::trigger(const QString &command)
{
    if (auto it = checkedWhenChosen().find(command); it != checkedWhenChosen().end())
        if (!checkRight(m_ctx, it->second))
            return;
    if (auto it = m_openers.find(command); it != m_openers.end() && it->second)
        it->second();
}

void frmFront::logIn()
{
    showLogin(m_ctx, this);
}

void frmFront::logOff()
{
    ResetUserRightsModule(m_ctx);
}

void frmFront::activated()
{
    reopenScanner();
    applyRights();
    setWindowTitle(frontCaption(m_ctx));
    m_ctx.workstation.checkpoint(QStringLiteral("35y4by13"));
    QString shared = m_ctx.workstation.readFirstLine(QStringLiteral("server.ini")).trimmed();
    if (shared.isEmpty())
        shared = m_ctx.workstation.folder();
    const QPixmap logo(QDir(shared).filePath(QStringLiteral("logo.jpg")));
    imgLogo->setPixmap(logo.isNull() ? QPixmap()
                                     : logo.scaled(imgLogo->width(), imgLogo->height(), Qt::KeepAspectRatio,
                                                   Qt::SmoothTransformation));
    try {
        cleanDiameterRanges(m_ctx.db());
    } catch (const db::DbError &) {
    }
}

void frmFront::changeEvent(QEvent *e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        activated();
}

void frmFront::closeEvent(QCloseEvent *e)
{
    if (canClose && !canClose()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
    if (e->isAccepted())
        emit closed();
}

bool frmFront::scannerOpen() const { return m_scanner->isOpen(); }

void frmFront::reopenScanner()
{
    const QString wanted = scannerPortName(m_ctx.settings.scannerPort);
    if (wanted.isEmpty()) {
        m_scanner->close();
        return;
    }
    if (m_scanner->isOpen() && m_scanner->portName() == wanted)
        return;
    QString why;
    if (!m_scanner->open(m_ctx.settings.scannerPort, &why))
        qWarning("velmor: %s", qPrintable(why));
}

void frmFront::scannerDataChanged(const QString &data)
{
    if (data.isEmpty())
        return;
    if (m_scanReceiver) {
        m_scanReceiver(data);
        return;
    }
    const ScanDispatch d = dispatchScan(m_ctx.currentScreen, data);
    switch (d.target) {
    case ScanTarget::Stone:
        if (m_stone) {
            const QString number = QString::number(d.number);
            if (auto *e = m_stone->findChild<QLineEdit *>(QStringLiteral("txtID")))
                e->setText(number);
            if (auto *e = m_stone->findChild<QLineEdit *>(QStringLiteral("txtItemID")))
                e->setText(number);
            if (auto *stone = qobject_cast<frmDiamondDetail *>(m_stone.data()))
                stone->loadStone(d.number);
        }
        break;
    case ScanTarget::Customer:
        m_lastCustomer = d.number;
        emit customerRequested(d.number);
        m_ctx.screens().openCustomer(d.number);
        break;
    case ScanTarget::Other:
    case ScanTarget::None:
        break;
    }
}

} // namespace velmor::ui
