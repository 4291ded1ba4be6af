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

// After a successful login: mnuConfiguration and txtSellPriceLocalCT2 for an
// administrator, the cost fields by ViewCost, cmdLogOff shown.
void applyLoginToStoneScreen(AppContext &ctx, QWidget *stone);

// Every right off (and nobody logged in); disables mnuConfiguration and
// txtSellPriceLocalCT2.  The front screen's log-off.
void ResetUserRightsModule(AppContext &ctx, QWidget *stone);

// The stone screen's log-off: every right off, mnuConfiguration and
// txtSellPriceLocalCT2 disabled, cmdLogOff hidden, the cost fields hidden.
void LogOffModule(AppContext &ctx, QWidget *stone);

// frmLogin, modally.  True when somebody logged in.
bool showLogin(AppContext &ctx, QWidget *stone, QWidget *parent = nullptr);

// The stone screen's settings menu (frmConfigMenu) and the screen it chose.
// Returns the choice (0 when closed without one).
int runConfigMenu(AppContext &ctx, QWidget *stone);

} // namespace velmor::ui
