#pragma once
// WaitModule: a pause of whole seconds that keeps the screens alive.  It
// counts by the seconds field of the clock with one wrap of the minute, so
// the longest pause is 59 seconds; longer requests are cut to 59 rather
// than waiting for ever.
#include <functional>

namespace velmor {

struct WaitClock {
    std::function<int()> currentSecond; // 0..59
    std::function<void()> yield;        // one turn of the message loop
};

// The wall clock and QCoreApplication::processEvents (with a short sleep so
// that the loop does not spin a core).
WaitClock systemWaitClock();

// Returns the number of turns the loop took.
int WaitModule(int seconds, const WaitClock &clock = systemWaitClock());

} // namespace velmor
