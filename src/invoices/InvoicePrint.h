#pragma once
// The printed invoice (PrintInvoiceNEWModule): fold mark, the customer's
// address, the dealer's heading from the settings, the invoice data, one row
// per line with optional list-price columns, amounts in US dollars and, on
// request, in Canadian dollars or rand, and the totals at the foot of the
// page.  The amounts are the invoice screen's (see Money.h); rows that would
// reach the totals continue on a new page with the headings repeated.
// Printing closes an open invoice, but only once the document was produced.
#include "invoices/Invoice.h"
#include "printing/PrintJob.h"

#include <QDate>

namespace velmor {
struct Settings;
}

namespace velmor::invoices {

struct InvoicePrintOptions {
    bool rap = false;         // the RAP column
    bool rapDiscount = false; // the RAP discount column
    Currency currency = Currency::CDN;
    QDate printDate = QDate::currentDate();
};

// The y (twips) where the totals stand on the last page.
constexpr double kTotalsY = 14000;

bool PrintInvoiceNEWModule(printing::PrintSurface &s, const Invoice &invoice, const Settings &dealer,
                           const InvoicePrintOptions &options, QString *error = nullptr);

struct InvoicePrinted {
    bool printed = false;
    bool closed = false; // this print closed the open invoice
    bool found = false;  // the invoice exists
    bool wasOpen = false;
    bool linesChanged = false; // printed, but left open: lines came in after the read
    QString error;       // why nothing was printed, or why it was not closed
    QString where;
    int pages = 0;
};

// Loads the invoice, prints it to the target and closes it when it was open
// and the document was produced.  An open invoice is printed only for a
// logged-on user with the invoice right (it is closed by the print).  A
// missing invoice, a refusal or a failed print leaves every row as it was.
InvoicePrinted printInvoice(AppContext &ctx, qint64 invoiceId, const printing::PrintTarget &target,
                            const InvoicePrintOptions &options);

// What the user is told afterwards.
inline const QString kInvoicePrinted = QStringLiteral("Invoice has been printed");
QString notPrintedMessage(const QString &why);

} // namespace velmor::invoices
