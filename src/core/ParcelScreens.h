#pragma once
// The older parcel's screens as the stone screen asks for them.  The program's
// Screens implementation offers this too; a screen finds it with
// parcelScreens(ctx.screens()) and treats its absence as "not installed".
#include "core/Screens.h"

namespace velmor {

class ParcelScreens {
public:
    virtual ~ParcelScreens() = default;
    // The stone screen in its parcel mode with an older parcel (ParcelStock);
    // false when it is not there or the parcel does not exist.
    virtual bool openOlderParcel(qint64 /*parcelId*/) { return false; }
    // Whether receiveOlderParcel can open the receipt screen.
    virtual bool receiptAvailable() const { return false; }
    // Receives stock into an older parcel over `parent`; true when a receipt
    // was written (the caller shows the parcel again).
    virtual bool receiveOlderParcel(qint64 /*parcelId*/, QWidget * /*parent*/ = nullptr) { return false; }
    // Whether splitOlderParcel can open the split screen; the split screen
    // over `parent`, true when the split was written.
    virtual bool splitAvailable() const { return false; }
    virtual bool splitOlderParcel(qint64 /*parcelId*/, QWidget * /*parent*/ = nullptr) { return false; }
};

inline ParcelScreens *parcelScreens(Screens &s) { return dynamic_cast<ParcelScreens *>(&s); }

} // namespace velmor
