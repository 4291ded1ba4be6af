#pragma once
// How a screen opens another subsystem's screen.  A screen asks the context
// (`ctx.screens().openCustomer(id)`); the shell, the only place that knows how
// every screen is built, answers.  A screen never includes another
// subsystem's screen header.  Tests plug in a recording implementation.
//
// It also carries the values that screens hand each other: the current memo
// sheet, a picked customer's address block for the stone screen.
#include <QString>
#include <QtGlobal>

class QWidget;

namespace velmor {

enum class Screen {
    Home,
    Stone,
    StoneSearch,
    Customer,
    CustomerSearch,
    MemoSheet,
    Invoice,
    Parcel,
    PriceSheet,
    CertificateLookup,
    Payment,     // a payment received for a stone
    PaymentMade, // a payment made to a stone's supplier
    Item,        // the jewellery item a stone is bound into
    Rep,
    StonePaper, // the printer choice and print-out of a stone's paper
    SellStone,       // the sell dialog of a stone
    InvoiceFind,     // the invoice list
    InvoicePrint,    // the printer choice and print of an invoice
    SalesDisclaimer, // the sales disclaimer printed on invoices
    MemoHistory, // a customer's memo history and stones on memo
    OlderMemoSheet, // the older memo sheet screen: stones and older parcels on one sheet
};

// A customer or supplier picked on the customer screens for the stone screen.
struct PartyPick {
    qint64 customerId = 0;
    QString addressBlock; // the lines the stone screen shows, one per line
};

// How the customer search opens: its filters, and whether a choice is a
// party picked for the stone screen.
struct CustomerSearchPreset {
    bool customers = false; // chkCustomer
    bool suppliers = false; // chkSupplier
    bool onHold = false;    // chkOnHold
    qint64 repId = 0;       // cboRep
    bool pickForStone = false;
};

class Screens {
public:
    virtual ~Screens() = default;

    // True when the screen is installed: a command that would open a screen
    // that is not there is disabled, never a button that does nothing.
    virtual bool available(Screen) const { return false; }

    // Each returns false when the screen is not installed (nothing happens).
    virtual bool openStone(qint64 /*stoneId*/) { return false; }
    virtual bool openStoneSearch(qint64 /*memoSheetId*/ = 0) { return false; }
    virtual bool openCustomer(qint64 /*customerId*/) { return false; }
    virtual bool openCustomerSearch() { return false; }
    virtual bool openCustomerSearchWith(const CustomerSearchPreset &) { return false; }
    virtual bool openMemoSheet(qint64 /*memoSheetId*/) { return false; }
    // The memo sheet with a stone selected for putting on it.
    virtual bool openMemoSheetWithStone(qint64 /*memoSheetId*/, qint64 /*stoneId*/) { return false; }
    // A customer's memo history, or the stones the customer has on memo now.
    virtual bool openOlderMemoSheet(qint64 /*memoSheetId*/) { return false; }
    virtual bool openMemoHistory(qint64 /*customerId*/, bool /*onMemoNow*/ = false) { return false; }
    virtual bool openInvoice(qint64 /*invoiceId*/) { return false; }
    virtual bool openParcel(qint64 /*parcelId*/) { return false; }
    virtual bool openPriceSheet() { return false; }
    virtual bool openCertificateLookup(qint64 /*stoneId*/) { return false; }
    virtual bool openPayment(qint64 /*stoneId*/, qint64 /*customerId*/) { return false; }
    virtual bool openPaymentMade(qint64 /*stoneId*/, qint64 /*supplierId*/) { return false; }
    // A payment received for an invoice, spread over its stones; true when
    // one was written.
    virtual bool openInvoicePayment(qint64 /*invoiceId*/) { return false; }
    virtual bool openItem(qint64 /*itemId*/) { return false; }
    // Prints the stone's paper after the printer choice over `parent`;
    // true when it was printed.
    virtual bool printStonePaper(qint64 /*stoneId*/, QWidget * /*parent*/ = nullptr) { return false; }
    // Invoices: the sell dialog (true when the stone was sold), the invoice
    // list (today's only when asked), the print of an invoice after the
    // printer choice (true when printed), the sales disclaimer.
    virtual bool openSellDialog(qint64 /*stoneId*/, QWidget * /*parent*/ = nullptr) { return false; }
    virtual bool openInvoiceFind(bool /*todayOnly*/ = false) { return false; }
    virtual bool printInvoice(qint64 /*invoiceId*/, bool /*rap*/, bool /*rapDiscount*/, QWidget * /*parent*/ = nullptr)
    {
        return false;
    }
    virtual bool openSalesDisclaimer() { return false; }
    // The older parcel (ParcelStock): the stone screen in its parcel mode
    // (false when the parcel does not exist), and the receipt and split
    // screens over `parent` (true when a receipt or split was written).
    virtual bool openOlderParcel(qint64 /*parcelId*/) { return false; }
    virtual bool receiptAvailable() const { return false; }
    virtual bool receiveOlderParcel(qint64 /*parcelId*/, QWidget * /*parent*/ = nullptr) { return false; }
    virtual bool splitAvailable() const { return false; }
    virtual bool splitOlderParcel(qint64 /*parcelId*/, QWidget * /*parent*/ = nullptr) { return false; }
    // The first steps of a new set-up (the home screen's "Getting started"
    // list), each under the right its menu command needs: the settings
    // screen (company name, address, logo), the exchange rates, the price
    // grid imported from the provider's files (true when imported), a new
    // customer, a new stone on the stone screen.
    virtual bool openSettings() { return false; }
    virtual bool openExchangeRates() { return false; }
    virtual bool importPriceGrid(QWidget * /*parent*/ = nullptr) { return false; }
    virtual bool addCustomer() { return false; }
    virtual bool addStone() { return false; }
    virtual void showHome() {}
    // Shows the stone screen as it is (the customer screens' way back).
    virtual void showStoneScreen() {}
    // Fetches the day's rates and shows the welcome window over `parent`
    // (the periodic refresh of the stone screen).  One fetch at a time.
    virtual void refreshRates(QWidget * /*parent*/) {}

    // The customer screens hand a picked party to the stone screen.
    virtual void partyPicked(const PartyPick &) {}
    // A new memo sheet for a customer, made by the customer subsystem; it
    // becomes the current memo sheet.  0 when none was made.
    virtual qint64 newMemoSheet(qint64 /*customerId*/) { return 0; }

    // The memo sheet new stones go onto ("the current memo sheet"); 0 for none.
    qint64 currentMemoSheet() const { return m_currentMemoSheet; }
    void setCurrentMemoSheet(qint64 id) { m_currentMemoSheet = id; }

private:
    qint64 m_currentMemoSheet = 0;
};

} // namespace velmor
