#pragma once
// Receiving stock into an older parcel (`ParcelStock`, journal `addparcel`):
// the receipt screen's five checks, the duplicate check and the weighted
// re-costing, in one transaction.  The selling price follows the new cost
// through the parcel's own selling markup `dmarkup` (the markup the parcel
// record keeps for its price; `costmarkup` is the store side's cost factor);
// a parcel without a markup keeps its selling price.
#include "parcels/ParcelRecord.h"

namespace velmor::parcels {

struct OlderReceipt {
    qint64 parcelId = 0;
    qint64 supplierId = 0;
    QString invoice;
    QString pricePerCarat;
    QString carat;
    QString quantity;
};

// cmdContinue of frmAddParcel.
Outcome receiveOlderParcel(AppContext &ctx, const OlderReceipt &r);

} // namespace velmor::parcels
