#pragma once
// Named moments at which a test may have the process killed outright, to
// show that what a killed process leaves behind is picked up again.  When
// VELMOR_KILL_AT names the point ("point", or "point@N" for its N-th pass),
// the process dies there with SIGKILL (no clean-up of any kind runs).  Unset, a fault point costs one look-up.
#include <QString>

namespace velmor::db {

void faultPoint(const char *name);

} // namespace velmor::db
