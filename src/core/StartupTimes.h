#pragma once
// With VELMOR_STARTUP_TIMES=1 in the environment, each start-up step is
// written to standard error with the milliseconds since the program began
// and since the step before, and the program's resident memory
// ("start-up   412.3 ms  (+88.1)  61.2 MB  step"), so that a slow start on a
// large stock can be broken down on the dealer's machine.
#include <QString>

namespace velmor {

// Notes that a step begins (or the start-up reached a point).
void startupMark(const QString &step);

} // namespace velmor
