#pragma once
// What opening the database will do first, for the splash screen's line.
#include "db/Connection.h"

namespace velmor {

// True when the connection is the private database and its data folder is
// not made yet (an empty workstation folder): opening it makes it first,
// which takes seconds.
bool makesPrivateDatabase(const db::ConnectionSettings &cs);

} // namespace velmor
