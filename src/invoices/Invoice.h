#pragma once
// One invoice as the invoice screen, the printed invoice and the command
// line show it: the header with the customer's address, the lines (stone,
// parcel and free lines) with their figures held exactly, and the totals.
// Also the invoice list of the find screen and the small writes of the
// invoice screens (a free line, a line's text, closing after a print).
#include "invoices/Money.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmor {
class AppContext;
}

namespace velmor::invoices {

enum class Currency { US, CDN, ZAR };
// "us", "cdn", "zar"; anything else is nothing.
std::optional<Currency> currencyOf(const QString &word);
QString currencyWord(Currency c);
// The print currency of this workstation (sellcurrency.ini, "cdn" without it).
Currency printCurrency(const AppContext &ctx);
bool setPrintCurrency(const AppContext &ctx, Currency c);

// Grade number as the invoice shows it: the fixed scale's text, empty for 0,
// any other number as stored.
QString colourText(int number);
QString clarityText(int number);
// "Mar 05, 2026"
QString invoiceDate(const QDate &d);
// A tax rate as it is stored, with two to three decimals ("13.00", "9.975").
QString taxRateText(qint64 fixedRate);

struct InvoiceLine {
    enum Kind { Stone, Parcel, Free } kind = Free;
    qint64 id = 0;
    qint64 diamondId = 0, parcelId = 0;
    qint64 carat = 0, priceCarat = 0, rateCDN = 0, rateZAR = 0, taxRate = 0; // fixed
    QDateTime dateAdded;
    QString details;
    // Of the stone or parcel (empty when the row is gone).
    bool itemFound = false;
    QString sku, shape;
    int colour = 0, clarity = 0;
    qint64 itemCarat = 0;                        // stone Carat, parcel CaratLow
    qint64 rapaportPrice = 0, sellOffRap = 0;    // stones only, as the stone is now
    // The list price and the discount given, kept on the line at the sale
    // (lines written before they were kept have neither).
    std::optional<qint64> listPriceAtSale, discountAtSale;
    // The line's amount in that currency as the dealer agreed it (cents);
    // without it the US amount at the line's rate.
    std::optional<qint64> agreedCDN, agreedZAR;
    // The stone came back into stock after this sale (Null: it did not).
    QDateTime returned;
    // What the invoice shows in its RAP and RAP discount columns: the
    // figures of the sale where the line keeps them, else the stone's
    // (`grouped`: "5,000.00", as the printed invoice shows it).
    QString listPriceText(bool grouped = false) const;
    QString discountText() const;

    qint64 amountCents() const { return lineAmountCents(priceCarat, carat); }
    // In another currency: the amount agreed in it, else the US amount at
    // the line's rate.  Only meaningful where amountKnown(c).
    qint64 amountCents(Currency c) const;
    // False where the line holds neither an agreed amount nor the rate of
    // its sale in that currency: its amount there is not known.
    bool amountKnown(Currency c) const;
    // Per carat, derived from the amount: amount / carats, to the cent.
    qint64 priceCaratCents(Currency c) const;
    // "1.01ct. Round Brilliant [BR] - E / VS1" (stone or parcel lines)
    QString description() const;
};

struct Invoice {
    qint64 id = 0;
    qint64 customerId = 0;
    QDateTime created, closed;
    QString status;
    // Customer columns by name (CompanyName, CompanyStreet1, ...); "" for Null.
    QString CompanyName, CompanyStreet1, CompanyStreet2, CompanyCity, CompanyProvince, CompanyZIP, CompanyCountry,
        PhoneNumber1, FaxNumber, EMail;
    QList<InvoiceLine> lines;

    bool isOpen() const { return status.compare(QLatin1String("open"), Qt::CaseInsensitive) == 0; }
    Totals totals(Currency c = Currency::US) const;
    // Empty when every line's amount in the currency is known; else the
    // refusal that names the rate and the lines.
    QString unknownAmounts(Currency c) const;
};

// False when there is no invoice with that id.  Throws db::DbError.
bool loadInvoice(const QSqlDatabase &db, qint64 id, Invoice &out);

// The invoice screen's grid: SKU, Carat, Shape, Colour, Clarity, Details,
// RAP, $/ct, $/ Stone /Parcel, Tax Rate.
QStringList gridHeadings();
QStringList gridRow(const InvoiceLine &line);

// The find screen's list.
struct InvoiceFilter {
    bool open = false, closed = false; // both or neither: every status
    qint64 customerId = 0;             // 0: every customer
    QDate createdOn;                   // invalid: any day
};
struct InvoiceListRow {
    qint64 id = 0;
    QString created, closed, status, customer;
};
QList<InvoiceListRow> findInvoices(const QSqlDatabase &db, const InvoiceFilter &f);
QStringList findHeadings();

// frmInvoiceADD: a free line on the invoice (tax rate of its customer, the
// day's rates), in one transaction.  Throws std::invalid_argument for a carat
// or price that is not a number, an unknown invoice or one that is no longer
// open (printed and closed: closedInvoiceMessage()); db::DbError.  0 (its
// refusal shown) for nobody logged in or a user without AllowInvoiceView.
qint64 addFreeLine(AppContext &ctx, qint64 invoiceId, const QString &details, const QString &carat,
                   const QString &priceCarat);
QString closedInvoiceMessage(qint64 invoiceId);
// The rate a sale had in CDN or ZAR, recorded afterwards: the lines of an
// open invoice sold while that rate was not known (no rate and no amount
// agreed in the currency) take `typedRate`; no other line changes.  The
// user must hold the rate right and the invoice right (checked here).  The
// number of lines given the rate, or the refusal.
struct RateRecorded {
    bool ok = false;
    int lines = 0;
    QString error;
};
RateRecorded recordSaleRate(AppContext &ctx, qint64 invoiceId, Currency c, const QString &typedRate);
// frmInvoiceEdit: the line's text; false when the line is gone.
bool saveLineDetails(const QSqlDatabase &db, qint64 lineId, const QString &details);
QString lineDetails(const QSqlDatabase &db, qint64 lineId, bool *found = nullptr);
// After a print that produced the document of `printed` (as it was read for
// the print): an open invoice becomes closed only when the lines printed are
// still all its lines.  The invoice row is locked for the check and the
// UPDATE states the status and the lines it expects, so a sale posted on
// another workstation after the invoice was read leaves it open; a closed
// invoice stays as it is.  Throws db::DbError.
enum class CloseResult { Closed, WasClosed, LinesChanged, Gone };
CloseResult closeAfterPrint(const QSqlDatabase &db, const Invoice &printed);
// What the user is told when lines came in after the invoice was read.
QString linesChangedMessage(qint64 invoiceId);
// frmSalesDisclaimer: the first Config row's SalesDisclaimer.
void saveSalesDisclaimer(AppContext &ctx, const QString &text);

} // namespace velmor::invoices
