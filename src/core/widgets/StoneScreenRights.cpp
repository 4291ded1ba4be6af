#include "core/widgets/StoneScreenRights.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "core/frmConfigMenu.h"
#include "core/frmConfigUsers.h"
#include "core/frmConfiguration.h"
#include "core/frmLogin.h"

#include <QAction>
#include <QApplication>

namespace velmor::ui {

namespace {

const char *const kCostFields[] = {"txtBuyOffRap",  "txtOriginalBuyOffRap", "txtBoughtPriceUSCT", "txtCode",
                                   "lblBuyOffRap",  "lblOriginalBuyOffRap", "lblBoughtPriceUSCT", "lblCode",
                                   "txtBoughtPriceUS", "lblCostST"};

void setWidgetVisible(QWidget *stone, const char *name, bool visible)
{
    if (auto *w = stone->findChild<QWidget *>(QString::fromLatin1(name)))
        w->setVisible(visible);
}

void setEnabledByName(QWidget *stone, const char *name, bool enabled)
{
    const QString n = QString::fromLatin1(name);
    if (auto *a = stone->findChild<QAction *>(n))
        a->setEnabled(enabled);
    if (auto *w = stone->findChild<QWidget *>(n))
        w->setEnabled(enabled);
}

void setActionVisible(QWidget *stone, const char *name, bool visible)
{
    const QString n = QString::fromLatin1(name);
    if (auto *a = stone->findChild<QAction *>(n))
        a->setVisible(visible);
    else if (auto *w = stone->findChild<QWidget *>(n))
        w->setVisible(visible);
}

} // namespace

void DiamondCostShowModule(QWidget *stone)
{
    if (!stone)
        return;
    // A cost column the settings hide stays hidden.
    for (const char *name : kCostFields)
        if (auto *w = stone->findChild<QWidget *>(QString::fromLatin1(name)))
            w->setVisible(!w->property("hiddenBySettings").toBool());
}

void DiamondCostHideModule(QWidget *stone)
{
    if (!stone)
        return;
    for (const char *name : kCostFields)
        setWidgetVisible(stone, name, false);
}

void applyRightsToStoneScreen(const AppContext &ctx, QWidget *stone)
{
    if (!stone)
        return;
    setEnabledByName(stone, "mnuConfiguration", ctx.user.Administrator);
    setEnabledByName(stone, "txtSellPriceLocalCT2", ctx.user.Administrator);
    if (ctx.user.ViewCost)
        DiamondCostShowModule(stone);
    else
        DiamondCostHideModule(stone);
    setActionVisible(stone, "cmdLogOff", ctx.user.ID != 0);
}

void LogOffModule(AppContext &ctx) { ResetUserRightsModule(ctx); }

bool showLogin(AppContext &ctx, QWidget *parent)
{
    frmLogin dlg(ctx, parent);
    return dlg.exec() == QDialog::Accepted;
}
int runConfigMenu(AppContext &ctx, QWidget *stone, bool memoDisclaimer)
{
    // The menu's screens change settings, passwords and rights.
    if (!checkRight(ctx, QStringLiteral("Administrator")))
        return 0;
    int choice = 0;
    const double cdn = ctx.exchangeRateCDN, zar = ctx.exchangeRateZAR;
    {
        frmConfigMenu menu(ctx, stone, nullptr, memoDisclaimer);
        menu.exec();
        choice = menu.choice();
    }
    // The working rates typed on the menu: every open screen shows them.
    if (ctx.exchangeRateCDN != cdn || ctx.exchangeRateZAR != zar)
        emit ctx.events().ratesChanged();
    switch (choice) {
    case 1: {
        auto *w = new frmConfiguration(ctx, stone);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        break;
    }
    case 4: {
        auto *w = new frmConfigUsers(ctx, stone);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        break;
    }
    case 3:
        ctx.screens().openSalesDisclaimer();
        break;
    default:
        // 2 is opened by the caller; 5 (labour) belongs to the store side.
        break;
    }
    return choice;
}

} // namespace velmor::ui
