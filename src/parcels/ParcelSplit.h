#pragma once
// Splitting a parcel: part of its carats becomes a new parcel with its own
// SKU; the source keeps the rest.  Both rows and both journal rows are
// written in one transaction, and the source's UPDATE takes the carats only
// while more than that many are on hand (a split leaves the source with
// carats; taking all of them is not a split).  The journal rows carry the
// cost per carat of the part split off, so that the average cost of each
// parcel follows the value moved: 10.00 ct at 200 split into 4.00 ct worth
// 1000.00 leaves 6.00 ct at 166.67.
#include "parcels/ParcelRecord.h"

namespace velmor::parcels {

struct SplitRequest {
    qint64 sourceId = 0;
    QString newSku;
    QString carat;        // carats of the new parcel
    QString newValueUS;   // the US value of the new part; empty: at the source's average cost
    QString sellPerCarat; // the new parcel's selling price; empty: the source's
};

// cmdUpdate of frmSplitParcel.  Done: id = the new parcel.
Outcome splitParcel(AppContext &ctx, const SplitRequest &r);

// imgAuto: the next SKU after the highest number carried by SKUs of the
// parcel table that start with `prefix` (with no prefix: the SKUs that
// start with a digit); four digits at least.  Empty, with the message shown,
// when no SKU carries the prefix or the numbers are used up (1,500,000).
QString autoNumber(AppContext &ctx, const QString &table, const QString &prefix);

} // namespace velmor::parcels
