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

// One pane of the split of an older parcel, as typed.  Weight bounds and
// grades may come in either order; 0 stands for none.
struct OlderSplitPane {
    QString weightLow, weightHigh;
    int colourA = 0, colourB = 0, clarityA = 0, clarityB = 0;
    QString costUS, costLocal, priceUS, priceLocal;
};

struct OlderSplit {
    qint64 sourceId = 0;
    QString sourceCarat; // the source's carats as the screen was filled
    QString newSku, newShape;
    QString newCarat;
    bool sellUS = false;
    OlderSplitPane old, neu;
};

// cmdUpdate of frmSplitParcel on an older parcel: the SKU checks, then the
// source keeps its carats less the new parcel's and the new row is added,
// in one transaction; the source's UPDATE states the carats the screen was
// filled with, so a parcel changed meanwhile is refused.  Bounds are stored
// smaller in CaratLow, better grade in ColourHigh / ClarityHigh, 0 as empty.
// Done: id = the new parcel.
Outcome splitOlderParcel(AppContext &ctx, const OlderSplit &s);

} // namespace velmor::parcels
