#pragma once
// PrintMemoSheetParcel: the parcel memo the customer signs, one row per
// movement, with the summaries per currency; and the print of a parcel memo,
// which closes the memo once the document was produced (a printer that
// refused it or a PDF that could not be written leaves the memo open).
#include "parcels/ParcelMemo.h"
#include "printing/PrintJob.h"

namespace velmor {
struct Settings;
}

namespace velmor::parcels {

struct ParcelMemoDocument {
    ParcelMemoHeader header;
    QList<ParcelMemoLine> rows; // one per movement
    // The dealer's block.
    QString name, street1, street2, cityProvince, zip, phone, fax, email, www;
    QString logoPath;
    QString disclaimer;
    QString currencySign = QStringLiteral("$");
};

// Reads what the print needs; empty when there is no such memo.
std::optional<ParcelMemoDocument> parcelMemoDocument(const QSqlDatabase &db, const Settings &s, qint64 memoId);

// Empty when every row's rate of a currency asked for is known; else the
// refusal naming the rate and where the lines stand.
QString unknownRates(const ParcelMemoDocument &d, bool cdn, bool zar);

// Draws the memo; a memo without lines refuses with "There are no Parcels on
// this Memo Sheet!", one with an amount at an unknown rate with unknownRates.
bool PrintMemoSheetParcel(printing::PrintSurface &s, const ParcelMemoDocument &d, bool cdn, bool zar,
                          QString *error);

// Command5 of frmMemoParcelSheet and `velmor parcel memo print`: prints and,
// when the document went out, closes the memo.  On success the prompt shows
// "The Memo Sheet has been sent to the Printer!".  A memo printed but left
// open (a movement came in after the read, or the close failed) keeps `ok`
// and has `error` set.  `closing`, when given: what the close found.
printing::PrintOutcome printParcelMemo(AppContext &ctx, qint64 memoId, const printing::PrintTarget &target, bool cdn,
                                       bool zar, PrintedClose *closing = nullptr);

} // namespace velmor::parcels
