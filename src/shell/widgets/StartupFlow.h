#pragma once
// Start-up from the splash screen to the home screen: owns the splash, the
// front screen and the stone screen and wires them as the start-up
// sequence asks; it is also the program's Screens, through which screens
// open each other.  runApplication uses it; GUI tests drive it directly.
#include "core/Screens.h"
#include "shell/frmFront.h"
#include "shell/frmSplash.h"
#include "stones/frmDiamondDetail.h"
#include "customers/frmCustomer.h"
#include "customers/frmCustomerSearch.h"
#include "customers/frmRep.h"
#include "parcels/frmMemoSheet.h"
#include "parcels/frmParcel.h"
#include "stones/frmDiamondDetailParcel.h"
#include "stones/frmItemDiamondSearch.h"

#include <QDockWidget>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class QtPrompt;

class StartupFlow : public QObject, public Screens {
    Q_OBJECT
public:
    // The prompt, when given, receives the splash screen's progress words.
    explicit StartupFlow(AppContext &ctx, QtPrompt *prompt = nullptr, QObject *parent = nullptr);
    ~StartupFlow() override;

    // `shown`: a splash screen already up while the database was opened.
    void start(frmSplash *shown = nullptr);

    frmSplash *splash() const { return m_splash; }
    frmFront *front() const { return m_front; }
    frmDiamondDetail *stone() const { return m_stone; }
    // The "Getting started" list docked on the home screen.
    QDockWidget *gettingStarted() const { return m_gettingStarted; }
    bool upgraded() const { return m_upgraded; }
    double storedVersionBefore() const { return m_versionBefore; }

    // The screens this program has, for the screens that open each other.
    bool available(Screen s) const override;
    bool openStone(qint64 stoneId) override;
    // Loads the stone on the stone screen where it stands (the memo report
    // follows its current row there).
    bool loadStoneBehind(qint64 stoneId);
    bool openPriceSheet() override;
    // The stone search (one window), for a memo sheet when given.
    bool openStoneSearch(qint64 memoSheetId = 0) override;
    // The certificate look-up dialog over the stone screen; its request runs
    // on the stone screen.
    bool openCertificateLookup(qint64 stoneId) override;
    bool printStonePaper(qint64 stoneId, QWidget *parent) override;
    void showHome() override;
    // The main menu screen over the home screen (the stone screen's road to
    // every main-menu command, in both set-ups).
    bool showMainMenu();
    // The customer screen with a new customer started (right AllowCustomerAdd).
    bool addCustomer() override { return addCustomer(false); }
    bool addCustomer(bool supplier);
    // The "Getting started" steps (Administrator for the settings and the
    // price grid, AllowExchangeRateChanging, AllowDiamond2Create).
    bool openSettings() override;
    bool openExchangeRates() override;
    bool importPriceGrid(QWidget *parent) override;
    bool addStone() override;
    // The rep screen showing a rep, and the list of reps (right AllowRepView).
    bool openRep(qint64 repId);
    bool openRepSearch();
    bool openMemoDisclaimer();
    void refreshRates(QWidget *parent) override;
    // Customers, their search and reps.
    bool openCustomer(qint64 customerId) override;
    bool openCustomerSearch() override;
    bool openCustomerSearchWith(const CustomerSearchPreset &preset) override;
    void partyPicked(const PartyPick &pick) override;
    // Memo sheets: frmNewMemo when no customer is given, frmMemoLoad, the
    // stone-on-memo screen (one window, reused) and the memo history.
    qint64 newMemoSheet(qint64 customerId) override;
    bool openMemoSheet(qint64 memoSheetId) override;
    bool openMemoSheetWithStone(qint64 memoSheetId, qint64 stoneId) override;
    bool openMemoHistory(qint64 customerId, bool onMemoNow) override;
    void openMemoLoad();
    QWidget *memoSheetScreen() const { return m_memoSheet; }
    void showStoneScreen() override;
    // Invoices (StartupFlowInvoices.cpp).
    bool openSellDialog(qint64 stoneId, QWidget *parent) override;
    bool openInvoice(qint64 invoiceId) override;
    bool openInvoiceFind(bool todayOnly) override;
    bool printInvoice(qint64 invoiceId, bool rap, bool rapDiscount, QWidget *parent) override;
    bool openSalesDisclaimer() override;
    frmCustomer *customerScreen(bool create = true);
    frmCustomerSearch *customerSearch() const { return m_customerSearch; }
    frmRep *repScreen(bool create = true);
    // Parcel stock (0: the screen without a parcel shown).
    bool openParcel(qint64 parcelId) override;
    // The stone screen's parcel mode: a window over the stone screen.
    bool openOlderParcel(qint64 parcelId) override;
    bool receiptAvailable() const override { return true; }
    bool receiveOlderParcel(qint64 parcelId, QWidget *parent) override;
    bool splitAvailable() const override { return true; }
    bool splitOlderParcel(qint64 parcelId, QWidget *parent) override;
    bool openOlderMemoSheet(qint64 memoSheetId) override;
    frmParcel *parcelScreen() const { return m_parcel; }
    // The stock count screen (one window); the serial scanner's codes go to
    // it while it is open.
    bool openStockCount();
    QWidget *stockCountScreen() const { return m_stockCount; }
    // Payments (StartupFlowPayments.cpp): the payment windows (modal; true
    // when something was written) and the statements window.
    bool openPayment(qint64 stoneId, qint64 customerId) override;
    bool openPaymentMade(qint64 stoneId, qint64 supplierId) override;
    bool openInvoicePayment(qint64 invoiceId) override;
    bool openStatements(qint64 customerId);

signals:
    // The home screen is up and the splash screen gone.
    void finished();
    // The program should end (the front screen closed, or the stone screen
    // closed outside the wholesale set-up).
    void quitRequested();

private:
    void loadFront();
    void startHome(bool wholesale);
    void stoneStarted();
    void stoneClosed();
    // Closes every other visible window (each asks about its unsaved work);
    // false when one stays open.
    bool closeOtherWindows(QWidget *closing);

    AppContext &m_ctx;
    QtPrompt *m_prompt;
    QPointer<frmSplash> m_splash;
    QPointer<frmFront> m_front;
    QPointer<frmDiamondDetail> m_stone;
    QPointer<frmCustomer> m_customer;
    QPointer<frmCustomerSearch> m_customerSearch;
    QPointer<frmRep> m_rep;
    QPointer<QWidget> m_repSearch;
    QPointer<QWidget> m_invoice, m_invoiceFind;
    QPointer<frmParcel> m_parcel;
    QPointer<frmItemDiamondSearch> m_stoneSearch;
    QPointer<frmDiamondDetailParcel> m_olderParcel;
    QPointer<QWidget> m_memoSheet;
    QPointer<QWidget> m_olderMemoSheet;
    QPointer<QDockWidget> m_gettingStarted;
    QPointer<QWidget> m_stockCount;
    QPointer<QWidget> m_statements;
    void wirePaymentCommands();
    bool m_upgraded = false;
    double m_versionBefore = 0;
    bool m_wholesale = false;
    bool m_fetchingRates = false;
    QElapsedTimer m_lastRatesRefresh;
};

} // namespace velmor::ui
