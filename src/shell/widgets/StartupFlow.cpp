#include "shell/widgets/StartupFlow.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/StartupTimes.h"
#include "shell/frmFront.h"
#include "shell/frmSplash.h"
#include "shell/widgets/GettingStartedPanel.h"
#include "core/ChangeEvents.h"
#include "core/Configuration.h"
#include "core/frmConfiguration.h"
#include "core/Users.h"
#include "core/widgets/QtPrompt.h"
#include "core/widgets/WindowPlacement.h"
#include "online/frmGIA.h"
#include "parcels/frmAddParcel.h"
#include "parcels/frmSplitOlderParcel.h"
#include "stones/OlderParcelView.h"
#include "customers/CustomerRecord.h"
#include "customers/OverDue.h"
#include "customers/frmCustomer.h"
#include "customers/frmCustomerSearch.h"
#include "customers/frmRep.h"
#include "customers/frmRepSearch.h"
#include "memos/frmMemo.h"
#include "memos/frmMemoAddNewDiamondToIt.h"
#include "memos/frmMemoHistory.h"
#include "memos/frmNewMemo.h"
#include "memos/frmMEMOsetup.h"
#include "online/frmMain.h"
#include "pricing/frmConfigD_Range.h"
#include "pricing/GridImport.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigQs.h"
#include "pricing/frmRapPriceSheet.h"
#include "pricing/frmShapes.h"
#include "pricing/frmSplashWelcome.h"
#include "printing/frmConfigLabelPrinter.h"
#include "printing/frmConfigPrinter.h"
#include "printing/frmPrintTo.h"
#include "stones/StonePrintout.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmStockCount.h"
#include "shell/widgets/BackupWarning.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QLineEdit>

namespace velmor::ui {

StartupFlow::StartupFlow(AppContext &ctx, QtPrompt *prompt, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_prompt(prompt)
{
    m_ctx.setScreens(this);
}

StartupFlow::~StartupFlow()
{
    if (&m_ctx.screens() == this)
        m_ctx.setScreens(nullptr);
    if (m_prompt)
        m_prompt->setProgressLine({});
    delete m_splash.data();
    delete m_customerSearch.data();
    delete m_customer.data();
    delete m_rep.data();
    delete m_repSearch.data();
    delete m_invoice.data();
    delete m_invoiceFind.data();
    delete m_stoneSearch.data();
    delete m_stockCount.data();
    delete m_stone.data();
    delete m_front.data();
}

void StartupFlow::start(frmSplash *shown)
{
    m_splash = shown ? shown : new frmSplash(m_ctx);
    if (m_prompt)
        m_prompt->setProgressLine([splash = QPointer<frmSplash>(m_splash)](const QString &text) {
            startupMark(text);
            if (splash)
                SplashMessageModule(splash, text);
        });
    connect(m_splash, &frmSplash::frontScreenNeeded, this, &StartupFlow::loadFront);
    connect(m_splash, &frmSplash::homeScreenNeeded, this, &StartupFlow::startHome);
    m_splash->start();
    m_upgraded = m_splash->schemaCheck().upgraded;
    m_versionBefore = m_splash->schemaCheck().storedBefore;
}

void StartupFlow::loadFront()
{
    if (m_front)
        return;
    startupMark(QStringLiteral("main menu screen"));
    m_front = new frmFront(m_ctx);
    // In the wholesale set-up the main menu is the home screen: closing it
    // ends the program once every other window may close.  In the ordinary
    // set-up it is a window over the stone screen and only goes away.
    m_front->canClose = [this] { return !m_ctx.WholeSaleMode || closeOtherWindows(m_front); };
    connect(m_front, &frmFront::closed, this, [this] {
        if (m_ctx.WholeSaleMode)
            emit quitRequested();
    });
    attachBackupWarning(m_ctx, m_front);

    // The screens of the pricing settings open from the front screen's menus.
    AppContext &ctx = m_ctx;
    auto showWindow = [](QWidget *w) {
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setWindowFlag(Qt::Window);
        placeWindow(w, w->size().expandedTo(w->sizeHint()), w->parentWidget());
        w->show();
        w->raise();
        w->activateWindow();
    };
    m_front->setOpener(QStringLiteral("mnuExchangeAndGold"), [this] { openExchangeRates(); });
    m_front->setOpener(QStringLiteral("mnuConfigQs"),
                       [&ctx, showWindow, this] { showWindow(new pricing::frmConfigQs(ctx, m_front)); });
    m_front->setOpener(QStringLiteral("mnuConfigD_Range"),
                       [&ctx, showWindow, this] { showWindow(new pricing::frmConfigD_Range(ctx, m_front)); });
    m_front->setOpener(QStringLiteral("mnuShapeWords"),
                       [&ctx, showWindow, this] { showWindow(new pricing::frmShapes(ctx, m_front)); });
    m_front->setOpener(QStringLiteral("mnuLabWords"),
                       [&ctx, showWindow, this] { showWindow(new pricing::frmLabs(ctx, m_front)); });

    // Customers, reps and the overdue check.
    auto addCustomerFromMenu = [this] {
        if (addCustomer())
            m_customer->setOpenedFromMainMenu(true);
    };
    m_front->setOpener(QStringLiteral("cmdAddCustomer"), addCustomerFromMenu);
    m_front->setOpener(QStringLiteral("mnuAddCustomer"), addCustomerFromMenu);
    // A supplier is a customer record with the supplier box ticked.
    m_front->setOpener(QStringLiteral("mnuAddSupplier"), [this] {
        if (addCustomer(true))
            m_customer->setOpenedFromMainMenu(true);
    });
    m_front->setOpener(QStringLiteral("cmdFindCustomer"), [this] { openCustomerSearch(); });
    // Memos: the report, and finding a memo sheet.
    m_front->setOpener(QStringLiteral("cmdShowMemo"), [&ctx, showWindow, this] {
        auto *report = new frmMemo(ctx, m_front);
        report->stoneChosen = [this](qint64 id) { loadStoneBehind(id); };
        showWindow(report);
    });
    m_front->setOpener(QStringLiteral("cmdMemo"), [this] {
        frmMemoLoad dialog(m_ctx, m_front);
        if (dialog.exec() == QDialog::Accepted)
            openMemoSheet(dialog.chosen());
    });
    m_front->setOpener(QStringLiteral("mnuHoldCust"), [this] {
        CustomerSearchPreset p;
        p.customers = true;
        p.onHold = true;
        openCustomerSearchWith(p);
    });
    auto addRep = [this] {
        frmRep *r = repScreen();
        r->show();
        r->raise();
        r->activateWindow();
        r->addRep();
    };
    m_front->setOpener(QStringLiteral("cmdDiamondParcel"), [this] { openParcel(0); });
    m_front->setOpener(QStringLiteral("mnuAddDiamondParcel"), [this] {
        if (openParcel(0))
            m_parcel->addParcel();
    });
    m_front->setOpener(QStringLiteral("cmdAddRep"), addRep);
    m_front->setOpener(QStringLiteral("mnuAddRep"), addRep);
    m_front->setOpener(QStringLiteral("cmdFindRep"), [this] { openRepSearch(); });
    // The disclaimers and the HTTP client's test screen.
    m_front->setOpener(QStringLiteral("mnuMemoDisclaimer"), [this] { openMemoDisclaimer(); });
    m_front->setOpener(QStringLiteral("mnuSalesDisclaimer"), [this] { openSalesDisclaimer(); });
    wirePaymentCommands();
    m_front->setOpener(QStringLiteral("mnuHttpTest"), [showWindow, this] { showWindow(new online::frmMain(m_front)); });
    m_front->setOpener(QStringLiteral("cmdOverDue"), [this] {
        if (!checkRight(m_ctx, customers::kOverDueRight))
            return;
        const customers::OverDueReport r = customers::CheckOverDueModule(m_ctx);
        if (!r.ran) {
            // Said, not silently skipped: the dealer learns where the days are set.
            m_ctx.prompt().inform(QStringLiteral("The overdue check is off: the grace period is 0 days.\n\nSet the "
                                                 "days under Configuration, tab \"Store\", \"Overdue after (days)\"."),
                                  QStringLiteral("Overdue"), Icon::Information);
            return;
        }
        if (!r.ok)
            m_ctx.prompt().inform(QStringLiteral("The overdue check could not be completed; nothing was marked."),
                                  QStringLiteral("Overdue"), Icon::Exclamation);
        else
            m_ctx.prompt().notice(QStringLiteral("Overdue check: %1 instalments and %2 invoices marked overdue.")
                                      .arg(r.instalments)
                                      .arg(r.invoices));
    });

    // Invoices.
    m_front->setOpener(QStringLiteral("cmdInvoiceLookUp"), [this] { openInvoiceFind(false); });
    m_front->setOpener(QStringLiteral("cmdInvoiceLookUpToday"), [this] { openInvoiceFind(true); });
    m_front->setOpener(QStringLiteral("cmdLoadInvoice"), [this] {
        if (!checkRight(m_ctx, QStringLiteral("AllowInvoiceView")))
            return;
        auto *box = m_front->findChild<QLineEdit *>(QStringLiteral("txtInvoiceID"));
        bool ok = false;
        const qint64 id = box ? box->text().trimmed().toLongLong(&ok) : 0;
        if (!ok || id <= 0) {
            m_ctx.prompt().inform(QStringLiteral("Type the number of the invoice first."), QStringLiteral("Invoice"),
                                  Icon::Information);
            return;
        }
        openInvoice(id);
    });
    // The stone search.
    m_front->setOpener(QStringLiteral("cmdSingleDiamonds"), [this] { openStoneSearch(0); });
    // The stock count.
    m_front->setOpener(QStringLiteral("cmdStockCount"), [this] { openStockCount(); });
    m_front->setOpener(QStringLiteral("mnuStockCount"), [this] { openStockCount(); });

    // The printer set-up screens.
    m_front->setOpener(QStringLiteral("mnuConfigPrinters"),
                       [&ctx, showWindow, this] { showWindow(new printing::frmConfigPrinter(ctx, m_front)); });
    m_front->setOpener(QStringLiteral("mnuSetupLabelPrinter"), [&ctx, showWindow, this] {
        auto *w = new printing::frmConfigLabelPrinter(ctx, m_front);
        w->saved = [front = m_front] {
            if (front)
                front->reopenScanner();
        };
        showWindow(w);
    });
}

void StartupFlow::startHome(bool wholesale)
{
    m_wholesale = wholesale;
    startupMark(QStringLiteral("stone screen"));
    if (!m_stone) {
        m_stone = new frmDiamondDetail(m_ctx);
        // Closing the stone screen ends the program in the ordinary set-up:
        // every other window with unsaved work is asked first.
        m_stone->canClose = [this] { return m_ctx.WholeSaleMode || closeOtherWindows(m_stone); };
        connect(m_stone, &frmDiamondDetail::startUpFinished, this, &StartupFlow::stoneStarted);
        connect(m_stone, &frmDiamondDetail::closed, this, &StartupFlow::stoneClosed);
        connect(m_stone, &frmDiamondDetail::memoPlacementRequested, this,
                [this](qint64 stone, qint64 sheet) { openMemoSheetWithStone(sheet, stone); });
        connect(m_stone, &frmDiamondDetail::memoLoadRequested, this, &StartupFlow::openMemoLoad);
        connect(m_stone, &frmDiamondDetail::mainMenuRequested, this, &StartupFlow::showMainMenu);
        connect(m_stone, &frmDiamondDetail::memoDisclaimerRequested, this, &StartupFlow::openMemoDisclaimer);
        attachBackupWarning(m_ctx, m_stone);
    }
    if (m_front)
        m_front->setStoneScreen(m_stone);
    if (!m_gettingStarted) {
        // Across the top of the wide stone screen, at the side of the main menu.
        if (wholesale && m_front)
            m_gettingStarted = installGettingStarted(m_ctx, m_front, Qt::RightDockWidgetArea);
        else
            m_gettingStarted = installGettingStarted(m_ctx, m_stone, Qt::TopDockWidgetArea);
    }
    startupMark(QStringLiteral("stone screen made; showing it"));
    m_stone->show();
    if (wholesale && m_front) {
        m_front->show();
        m_front->raise();
        m_front->activateWindow();
        m_front->activated();
    } else {
        m_stone->raise();
        m_stone->activateWindow();
    }
    if (wholesale)
        emit finished();
}

void StartupFlow::stoneStarted()
{
    startupMark(QStringLiteral("home screen shown"));
    // The stone screen's first activation ends the splash screen.
    if (m_splash) {
        m_splash->close();
        m_splash->deleteLater();
    }
    if (!m_wholesale)
        emit finished();
}

bool StartupFlow::closeOtherWindows(QWidget *closing)
{
    // Each window decides in its own close event (a screen with unsaved
    // changes asks); one that stays open keeps the program running.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w == closing || !w->isVisible() || w->isHidden())
            continue;
        if (qobject_cast<QMenu *>(w) || w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup)
            continue;
        if (!w->close())
            return false;
    }
    return true;
}

void StartupFlow::stoneClosed()
{
    if (m_ctx.WholeSaleMode && m_front) {
        m_front->show();
        m_front->raise();
        m_front->activateWindow();
    } else {
        emit quitRequested();
    }
}

// What the screens may ask of each other.

bool StartupFlow::available(Screen s) const
{
    switch (s) {
    case Screen::Home:
    case Screen::Stone:
    case Screen::PriceSheet:
    case Screen::CertificateLookup:
    case Screen::Customer:
    case Screen::CustomerSearch:
    case Screen::Rep:
    case Screen::StonePaper:
    case Screen::SellStone:
    case Screen::Invoice:
    case Screen::InvoiceFind:
    case Screen::InvoicePrint:
    case Screen::SalesDisclaimer:
    case Screen::Parcel:
    case Screen::StoneSearch:
    case Screen::MemoSheet:
    case Screen::MemoHistory:
    case Screen::OlderMemoSheet:
    case Screen::Payment:
    case Screen::PaymentMade:
        return true;
    default:
        return false;
    }
}

bool StartupFlow::openStone(qint64 stoneId)
{
    if (!m_stone)
        return false;
    m_stone->show();
    m_stone->raise();
    m_stone->activateWindow();
    m_stone->loadStone(int(stoneId));
    return true;
}

bool StartupFlow::loadStoneBehind(qint64 stoneId)
{
    if (!m_stone)
        return false;
    m_stone->loadStone(int(stoneId));
    return true;
}

bool StartupFlow::openPriceSheet()
{
    auto *w = new pricing::frmRapPriceSheet(m_ctx);
    w->setAttribute(Qt::WA_DeleteOnClose);
    // Both grids whole: the sheet's size follows its contents.
    placeWindow(w, w->sizeHint(), QApplication::activeWindow());
    w->show();
    return true;
}

bool StartupFlow::openCertificateLookup(qint64)
{
    if (!m_stone)
        return false;
    online::frmGIA dialog(m_ctx, m_stone);
    dialog.lookup = [stone = m_stone](const online::GiaRequest &r) {
        if (stone)
            stone->lookupCertificate(r);
    };
    dialog.exec();
    return true;
}

bool StartupFlow::printStonePaper(qint64 stoneId, QWidget *parent)
{
    printing::DiamondPaper paper;
    if (!stones::stonePaper(m_ctx, stoneId, paper)) {
        m_ctx.prompt().inform(QStringLiteral("There is no stone number %1.").arg(stoneId),
                              QStringLiteral("Stone paper"), Icon::Exclamation);
        return false;
    }
    printing::frmPrintTo dlg(m_ctx, QStringLiteral("Stone paper %1").arg(stoneId),
                             QStringLiteral("lastprinterforlabel.ini"), QStringLiteral("lastprinterforlabelturn.ini"),
                             parent);
    const bool quill = m_ctx.settings.labelQuill;
    dlg.draw = [&paper, quill](printing::PrintSurface &s, bool flip, QString *error) {
        return stones::drawStonePaper(quill, s, paper, flip, error);
    };
    dlg.suggestedPdfName = QStringLiteral("stone-%1.pdf").arg(stoneId);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_ctx.prompt().notice(QStringLiteral("Document was sent to the Printer"));
    return true;
}

bool StartupFlow::openStoneSearch(qint64 memoSheetId)
{
    QWidget *opener = QApplication::activeWindow();
    if (!m_stoneSearch) {
        m_stoneSearch = new frmItemDiamondSearch(m_ctx);
        m_stoneSearch->setAttribute(Qt::WA_DeleteOnClose);
        placeWindow(m_stoneSearch, m_stoneSearch->size(), opener);
    } else {
        m_stoneSearch->search();
    }
    m_stoneSearch->setMemoSheet(memoSheetId);
    m_stoneSearch->show();
    m_stoneSearch->raise();
    m_stoneSearch->activateWindow();
    return true;
}

void StartupFlow::showHome()
{
    QWidget *home = m_wholesale && m_front ? static_cast<QWidget *>(m_front) : m_stone.data();
    if (!home)
        return;
    home->show();
    home->raise();
    home->activateWindow();
}

bool StartupFlow::showMainMenu()
{
    if (!m_front)
        return false;
    m_front->show();
    m_front->raise();
    m_front->activateWindow();
    m_front->activated();
    return true;
}

bool StartupFlow::addCustomer(bool supplier)
{
    if (!checkRight(m_ctx, QStringLiteral("AllowCustomerAdd")))
        return false;
    frmCustomer *c = customerScreen();
    c->show();
    c->raise();
    c->activateWindow();
    c->addCustomer(supplier);
    return true;
}

bool StartupFlow::openSettings()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return false;
    auto *w = new frmConfiguration(m_ctx, QApplication::activeWindow());
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->raise();
    w->activateWindow();
    return true;
}

bool StartupFlow::openExchangeRates()
{
    // The main menu's command; it checks its right when chosen.
    if (!checkRight(m_ctx, QStringLiteral("AllowExchangeRateChanging")))
        return false;
    auto *w = new pricing::frmConfigExchangeRate(m_ctx, m_front ? static_cast<QWidget *>(m_front) : m_stone.data());
    w->reloadConfiguration = [&ctx = m_ctx] { GetConfigurationModule(ctx); };
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowFlag(Qt::Window);
    placeWindow(w, w->size().expandedTo(w->sizeHint()), w->parentWidget());
    w->show();
    w->raise();
    w->activateWindow();
    return true;
}

bool StartupFlow::importPriceGrid(QWidget *parent)
{
    // The grid is shared by every workstation and re-prices every stone.
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return false;
    QFileDialog dialog(parent ? parent : QApplication::activeWindow(),
                       QStringLiteral("The folder of the price files (round.csv, pear.csv, marquise.csv, princess.csv)"),
                       m_ctx.workstation.folder());
    dialog.setObjectName(QStringLiteral("dlgPriceFiles"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    if (!pricing::ImportPriceFiles(m_ctx, dialog.selectedFiles().constFirst()))
        return false;
    // Every stone has its new prices: open screens show them.
    changeEvents(m_ctx).announceStone(0);
    return true;
}

bool StartupFlow::addStone()
{
    if (!m_stone)
        return false;
    m_stone->show();
    m_stone->raise();
    m_stone->activateWindow();
    if (auto *b = m_stone->findChild<QAbstractButton *>(QStringLiteral("cmdAddDiamond")))
        b->click();
    return true;
}

bool StartupFlow::openRep(qint64 repId)
{
    frmRep *r = repScreen();
    if (!r->busy())
        r->showRep(repId);
    r->show();
    r->raise();
    r->activateWindow();
    return true;
}

bool StartupFlow::openRepSearch()
{
    if (!checkRight(m_ctx, QStringLiteral("AllowRepView")))
        return false;
    if (!m_repSearch) {
        auto *list = new frmRepSearch(m_ctx);
        list->openRep = [this](qint64 id) { openRep(id); };
        m_repSearch = list;
        m_repSearch->setAttribute(Qt::WA_DeleteOnClose);
        placeWindow(m_repSearch, m_repSearch->size(), QApplication::activeWindow());
    } else {
        static_cast<frmRepSearch *>(m_repSearch.data())->search();
    }
    m_repSearch->show();
    m_repSearch->raise();
    m_repSearch->activateWindow();
    return true;
}

bool StartupFlow::openMemoDisclaimer()
{
    frmMemoDisclaimer dialog(m_ctx, QApplication::activeWindow());
    dialog.exec();
    return true;
}

void StartupFlow::refreshRates(QWidget *parent)
{
    // The fetch waits in an event loop of its own; a timer tick meanwhile
    // must not start a second one.
    if (m_fetchingRates)
        return;
    // The due second may see two ticks (the timer drifts): one refresh per
    // due minute.
    if (m_lastRatesRefresh.isValid() && m_lastRatesRefresh.elapsed() < 60000)
        return;
    m_fetchingRates = true;
    m_lastRatesRefresh.start();
    struct Release {
        bool &flag;
        ~Release() { flag = false; }
    } release{m_fetchingRates};
    pricing::GetExchangeRateModule(m_ctx, parent);
    emit m_ctx.events().ratesChanged();
}

// Customers -----------------------------------------------------------------------------

namespace {
void bringUp(QWidget *w)
{
    w->show();
    w->raise();
    w->activateWindow();
}
} // namespace

frmCustomer *StartupFlow::customerScreen(bool create)
{
    if (!m_customer && create) {
        m_customer = new frmCustomer(m_ctx);
        m_customer->setAttribute(Qt::WA_DeleteOnClose);
    }
    return m_customer;
}

frmRep *StartupFlow::repScreen(bool create)
{
    if (!m_rep && create) {
        m_rep = new frmRep(m_ctx);
        m_rep->setAttribute(Qt::WA_DeleteOnClose);
    }
    return m_rep;
}

bool StartupFlow::openCustomer(qint64 customerId)
{
    frmCustomer *c = customerScreen();
    if (c->adding() || c->editing()) {
        // The customer being entered stays; the screen comes to the front.
        bringUp(c);
        return true;
    }
    bringUp(c);
    c->showCustomer(customerId);
    return true;
}

bool StartupFlow::openOlderParcel(qint64 parcelId)
{
    if (!m_stone)
        return false;
    if (!m_olderParcel) {
        m_olderParcel = new frmDiamondDetailParcel(m_ctx, m_stone);
        m_olderParcel->setWindowFlag(Qt::Window);
    }
    if (!m_olderParcel->RefreshfrmDiamondDetailParcel(parcelId))
        return false;
    bringUp(m_olderParcel);
    return true;
}

bool StartupFlow::receiveOlderParcel(qint64 parcelId, QWidget *parent)
{
    if (parcelId <= 0)
        return false;
    frmAddParcel dialog(m_ctx, parcelId, parent ? parent : QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool StartupFlow::splitOlderParcel(qint64 parcelId, QWidget *parent)
{
    std::optional<stones::OlderParcelView> source;
    try {
        source = stones::readOlderParcel(m_ctx.db(), parcelId);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The parcel could not be read"), QStringLiteral("Split Parcel"), e);
    }
    if (!source)
        return false;
    frmSplitOlderParcel dialog(m_ctx, *source, parent ? parent : QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool StartupFlow::openParcel(qint64 parcelId)
{
    if (!m_parcel) {
        m_parcel = new frmParcel(m_ctx);
        m_parcel->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringUp(m_parcel);
    if (parcelId)
        m_parcel->loadParcel(parcelId);
    return true;
}

bool StartupFlow::openOlderMemoSheet(qint64 memoSheetId)
{
    auto *w = qobject_cast<frmMemoSheet *>(m_olderMemoSheet.data());
    if (!w) {
        w = new frmMemoSheet(m_ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        placeWindow(w, w->sizeHint().expandedTo(QSize(1100, 700)), QApplication::activeWindow());
        m_olderMemoSheet = w;
    }
    if (memoSheetId > 0)
        w->loadSheet(memoSheetId);
    bringUp(w);
    return true;
}

bool StartupFlow::openCustomerSearch()
{
    return openCustomerSearchWith(CustomerSearchPreset{});
}

bool StartupFlow::openCustomerSearchWith(const CustomerSearchPreset &preset)
{
    QWidget *opener = QApplication::activeWindow();
    if (!m_customerSearch) {
        m_customerSearch = new frmCustomerSearch(m_ctx);
        m_customerSearch->addCustomer = [this] { addCustomer(); };
        m_customerSearch->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_customerSearch->setOpener(opener == m_customerSearch ? nullptr : opener);
    bringUp(m_customerSearch);
    m_customerSearch->applyPreset(preset);
    return true;
}

void StartupFlow::partyPicked(const PartyPick &pick)
{
    if (m_stone)
        m_stone->showPickedParty(pick);
}

qint64 StartupFlow::newMemoSheet(qint64 customerId)
{
    if (customerId)
        return customers::createMemoSheet(m_ctx, customerId);
    frmNewMemo dialog(m_ctx, QApplication::activeWindow());
    dialog.exec();
    return dialog.created();
}

bool StartupFlow::openMemoSheet(qint64 memoSheetId) { return openMemoSheetWithStone(memoSheetId, 0); }

bool StartupFlow::openMemoSheetWithStone(qint64 memoSheetId, qint64 stoneId)
{
    if (memoSheetId <= 0)
        return false;
    auto *w = qobject_cast<frmMemoAddNewDiamondToIt *>(m_memoSheet.data());
    if (!w) {
        w = new frmMemoAddNewDiamondToIt(m_ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        placeWindow(w, w->sizeHint().expandedTo(QSize(1000, 700)), QApplication::activeWindow());
        m_memoSheet = w;
    }
    w->setMemoSheet(memoSheetId);
    w->setSelectedStone(stoneId);
    w->reload();
    bringUp(w);
    return true;
}

bool StartupFlow::openMemoHistory(qint64 customerId, bool onMemoNow)
{
    QWidget *w = onMemoNow ? static_cast<QWidget *>(new frmDiamondsOnMemo(m_ctx, customerId))
                           : static_cast<QWidget *>(new frmMemoHistory(m_ctx, customerId));
    w->setAttribute(Qt::WA_DeleteOnClose);
    placeWindow(w, w->sizeHint().expandedTo(QSize(900, 500)), QApplication::activeWindow());
    w->show();
    return true;
}

void StartupFlow::openMemoLoad()
{
    // The chosen sheet becomes the current one; the stone screen shows it
    // when it is active again.
    frmMemoLoad dialog(m_ctx, QApplication::activeWindow());
    dialog.exec();
}

bool StartupFlow::openStockCount()
{
    if (!checkRight(m_ctx, QStringLiteral("AllowDiamondView")))
        return false;
    auto *w = qobject_cast<frmStockCount *>(m_stockCount.data());
    if (!w) {
        w = new frmStockCount(m_ctx);
        w->setAttribute(Qt::WA_DeleteOnClose);
        m_stockCount = w;
        // While the screen is open a scan counts; it does not open the stone.
        if (m_front) {
            m_front->setScanReceiver([w = QPointer<frmStockCount>(w)](const QString &code) {
                if (w)
                    w->scanned(code, QStringLiteral("serial"));
            });
            connect(w, &QObject::destroyed, m_front, [front = m_front] {
                if (front)
                    front->setScanReceiver({});
            });
        }
    }
    bringUp(w);
    return true;
}

void StartupFlow::showStoneScreen()
{
    if (m_stone)
        bringUp(m_stone);
}

} // namespace velmor::ui
