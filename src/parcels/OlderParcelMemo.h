#pragma once
// The parcel lines of the older memo sheet screen: carats of an older parcel
// (`ParcelStock`) lent out on a memo sheet and returned.  A line is a set of
// `Memo` journal rows (ParcelID, Carat; the return is a row of negative
// carats), so the sheet's net carats of a parcel are the sum of its rows.
//
// Each movement is one transaction.  The parcel's UPDATE states the carats
// the movement expects on hand (adding) or the sheet states the net carats
// it expects out (returning), so two workstations taking the last carats at
// once cannot both succeed.  Carats are exact decimals: 0 < carats <= on
// hand when adding, 0 < carats <= out on the sheet when returning.
#include "parcels/ParcelRecord.h"

namespace velmor::parcels {

// cboParcel: "SKU - carats on hand".
struct OlderParcelEntry {
    qint64 id = 0;
    QString sku;
    Decimal5 onHand;
};
QList<OlderParcelEntry> olderParcels(const QSqlDatabase &db);
// Net carats of the parcel out on the sheet.
Decimal5 olderParcelOnSheet(const QSqlDatabase &db, qint64 memoSheetId, qint64 parcelId);

// Adding: `carat` is the carat dialog's text, `us` and `local` the prices per
// carat (empty: 0).  Refused when the parcel is already on the sheet
// ("This Parcel is already part of this Memo Sheet!").
Outcome addOlderParcelToMemo(AppContext &ctx, qint64 memoSheetId, qint64 parcelId, const QString &carat,
                             const QString &us, const QString &local);
// Returning `carat` of the parcel from the sheet into the parcel's stock.
Outcome returnOlderParcelFromMemo(AppContext &ctx, qint64 memoSheetId, qint64 parcelId, const QString &carat);

} // namespace velmor::parcels
