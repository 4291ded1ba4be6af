#pragma once
// The memo and consignment report: stones out with customers (on memo, or
// sold and not paid yet), stones held for consignors, and stones by
// supplier, with prices, payments and balances; its sums and its export.
#include "printing/PrintJob.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace velmor {
class AppContext;
}

namespace velmor::memos {

struct ReportFilter {
    enum View { MemoOut, MemoIn, Suppliers } view = MemoOut;
    qint64 partyId = 0;          // one customer, consignor or supplier; 0: all
    // memo out
    bool memoOnly = false;       // chkMemoOnly
    bool preSoldOnly = false;    // chkPreSoldStonesOnly
    // memo in
    bool downPaymentMade = false; // chkDownPaymentMade
    bool soldOnly = false;        // chkSoldStonesOnly
    // suppliers
    bool supplierIsCustomer = false; // chkSuppCust
    bool statusMemo = true, statusStock = true, statusPreSold = true; // chkMemo, chkStock, chkPreSold
    // memo in and suppliers: optMemo (1), optInventory (2), optAll (0)
    int origin = 0;
    // status-change date
    bool ofThisDay = false;      // chkOfThisDay
    bool afterThisDay = false;   // chkAfterThisDay (dtMemoDay .. dtMemoDay2)
    QDate day, day2;
    // memo aging: only stones out more than this many days (0: all)
    int minDays = 0;
    bool toggleMemoRef = false;  // chkToggleMemoRef
    bool skuLot = false;         // chkSKULot
    QString orderBy;             // a header caption, empty: none
};

struct ReportRow {
    qint64 stoneId = 0;
    QStringList cells; // in the order of reportHeaders()
    bool local = false; // the stone's price is in local currency
    bool priceKnown = true; // false: a local price at an unknown rate (shown "???", not summed)
    double price = 0, paid = 0, balance = 0;
    QString memoId;       // what txtMemoID shows for the row
    QString measurement;  // what txtMeasurement shows
};

struct Report {
    QString title; // "Memo/Consignment Report", "Memo-IN Report", "Inventory Report"
    QStringList headers;
    QList<ReportRow> rows;
    // Set when a row's price is a local amount at an unknown rate: why the
    // report cannot be exported or printed (it names the rate).
    QString unknownRate;
};

// The captions: "my$" replaced by the local currency sign.
QStringList reportHeaders(const QString &localSign);
// The captions a click on the header orders by.
bool isOrderColumn(const QString &caption);

// Throws db::DbError.
Report runReport(AppContext &ctx, const ReportFilter &f);

struct ReportSums {
    double usStone = 0, usPaid = 0, usBalance = 0;
    double localStone = 0, localPaid = 0, localBalance = 0;
};
ReportSums sumReport(const Report &r); // cmdSum

// cmdExport's text (commas removed, values separated by ", ").
QString exportText(const Report &r);
// Writes it whole or not at all (a temporary file renamed into place) to the
// file as named (a device or a pipe is written to as it is, a folder
// refused).  Empty on success, else why not.
QString exportReport(const Report &r, const QString &fileName, QString *written = nullptr);

// cmdPrint: the list in landscape with the view's title, the dealer's name,
// address, "Phone: " and "Fax: ".
printing::PrintOutcome printReport(AppContext &ctx, const Report &r, const printing::PrintTarget &target);

} // namespace velmor::memos
