#pragma once
// Who is logged in, as the stone screen and the front screen show it.
#include <QString>

namespace velmor {

class AppContext;

// "Logged in: anna (Anna Berg)" or "Not logged in".
QString loggedInText(AppContext &ctx);

} // namespace velmor
