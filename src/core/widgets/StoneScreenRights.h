#pragma once
// What a login, a log-off and the settings menu do to the stone screen.
// They find the stone screen's controls by name (see
// stones/frmDiamondDetail.h), so any stone screen with those names works;
// a null stone screen is skipped.
#include <QWidget>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

// Show or hide txtBuyOffRap, txtOriginalBuyOffRap, txtBoughtPriceUSCT,
// txtCode and their labels.
void DiamondCostShowModule(QWidget *stone);
void DiamondCostHideModule(QWidget *stone);

// Sets the stone screen from the rights of the context: mnuConfiguration
// and txtSellPriceLocalCT2 for an administrator, the cost fields by ViewCost,
// cmdLogOff shown while somebody is logged in.  The stone screen calls it
// whenever the rights change (login, failed login, log-off on any screen).
void applyRightsToStoneScreen(const AppContext &ctx, QWidget *stone);

// The stone screen's log-off: every right off and nobody logged in; every
// open screen follows.
void LogOffModule(AppContext &ctx);

// frmLogin, modally.  True when somebody logged in.
bool showLogin(AppContext &ctx, QWidget *parent = nullptr);

// The stone screen's settings menu (frmConfigMenu) and the screen it chose.
// Returns the choice (0 when closed without one).  The memo disclaimer (2)
// is offered when the caller can open it, and opened by the caller.
int runConfigMenu(AppContext &ctx, QWidget *stone, bool memoDisclaimer = false);

} // namespace velmor::ui
