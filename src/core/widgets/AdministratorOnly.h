#pragma once
// Screens that change settings or shared tables hold the right that opens
// them: they check it themselves when they open, not only the menu that
// opens them, again at each save, and close as soon as the right goes (a
// log-off, a failed login, another user's login) while they are open.
#include <QString>

class QWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

// True when the logged-in user holds `right`.  Otherwise shows "No
// Permission, ..." and disables the screen, which closes as soon as the
// event loop runs.  Either way the screen closes when the right goes while
// it is open.
bool rightHeld(AppContext &ctx, QWidget *screen, const QString &right);

// rightHeld for the administrator right (the configuration, the user set-up,
// the quality classes, the printer set-ups, the disclaimers, ...).
bool administratorOnly(AppContext &ctx, QWidget *screen);

// A save checks the right again with checkRight (core/Users.h).

} // namespace velmor::ui
