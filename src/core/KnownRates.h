#pragma once
// The working exchange rates are known (fetched today, saved on the rate
// screen, typed as a working rate, or the last good one stored) or unknown,
// which the context holds as 0.  An amount converted at an unknown rate is
// neither stored nor printed; a rate is never taken to be 1.0.
#include <QString>
#include <QVariant>

namespace velmor {

class AppContext;

inline bool rateKnown(double rate) { return rate > 0; }

// A rate as a column value: five decimals, or Null when unknown.
QVariant rateValue(double rate);

// Empty when every rate asked for is known; else which is missing and where
// to set it.
QString missingRates(const AppContext &ctx, bool cdn, bool zar);

} // namespace velmor
