#pragma once
// The working exchange rates are known (fetched today, saved on the rate
// screen, typed as a working rate, or the last good one stored) or unknown,
// which the context holds as 0.  An amount converted at an unknown rate is
// neither stored nor printed; a rate is never taken to be 1.0.
//
// Every amount shown, printed or stored in another currency is converted by
// convertedAmount: the US amount to the cent times the rate at the five
// decimals it is stored with, rounded once, half away from zero, to the cent.
#include "core/Figures.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace velmor {

class AppContext;

inline bool rateKnown(double rate) { return rate > 0; }

// A rate as a column value: five decimals, or Null when unknown.
QVariant rateValue(double rate);
// The rate at the five decimals it is stored and worked with; nothing when
// it is not known.
std::optional<Decimal5> rateFigure(double rate);

// amount x rate, to the cent.
Decimal5 convertedAmount(Decimal5 amount, Decimal5 rate);
// The same at a working rate; nothing when the rate is not known.
std::optional<Decimal5> convertedAmount(Decimal5 amount, double rate);

// A rate as a screen shows it ("1.3800"); "???" when it is not known.
QString rateText(double rate, int places);

// The words that name a rate in a message: "the exchange rate to CDN",
// "the rand rate (ZAR)".
QString cdnRateName(const AppContext &ctx);
QString zarRateName();

// Empty when every rate asked for is known; else which is missing and where
// to set it.
QString missingRates(const AppContext &ctx, bool cdn, bool zar);

} // namespace velmor
