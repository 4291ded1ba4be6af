#pragma once
// Screens for administrators only (the configuration, the user set-up) check
// the right themselves when they open, not only the menu that opens them.
class QWidget;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

// True when the logged-in user is an administrator.  Otherwise shows "No
// Permission, ..." and disables the screen, which closes as soon as the event
// loop runs.  Either way the screen closes when the administrator right goes
// (a log-off or another login on any screen) while it is open.
bool administratorOnly(AppContext &ctx, QWidget *screen);

} // namespace velmor::ui
