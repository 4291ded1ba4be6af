#pragma once
// Stand-in for the stone detail screen: only what start-up, login and the
// scanner need of it, until the full screen replaces this file.
//
// The surface other code relies on (keep it when replacing the file):
//   - class velmor::ui::frmDiamondDetail : QMainWindow, objectName
//     "frmDiamondDetail", constructed as frmDiamondDetail(AppContext&, QWidget*);
//   - controls by objectName: the menu actions mnuConfiguration (disabled
//     until an administrator logs in), mnuLogOn and cmdLogOff (hidden until a
//     login); txtSellPriceLocalCT2 (disabled until an administrator logs in);
//     the cost fields txtBuyOffRap, txtOriginalBuyOffRap, txtBoughtPriceUSCT,
//     txtCode and their labels lblBuyOffRap, lblOriginalBuyOffRap,
//     lblBoughtPriceUSCT, lblCode (hidden until a user with ViewCost logs in);
//     txtID, txtItemID; the button cmdAddDiamond (the front screen's
//     mnuAddDiamondSingle clicks it);
//   - loadStone(id): the scanner dispatch has put id into txtID and txtItemID;
//   - on its first activation: ctx.currentScreen = "frmDiamondDetail",
//     ensureFirstUser(ctx) (with the progress text "Initialize User ID"),
//     then the signal startUpFinished() (the splash screen closes on it);
//   - closing emits closed(); the start-up flow ends the program unless the
//     wholesale set-up is on (then the front screen comes back).
// The rights helpers of app/widgets/StoneScreenRights.h work on these names.
#include <QMainWindow>

class QLineEdit;
class QLabel;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmDiamondDetail : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDiamondDetail(AppContext &ctx, QWidget *parent = nullptr);

    // Loads the stone whose number the scanner put into txtID/txtItemID.
    void loadStone(int id);
    bool startUpDone() const { return m_started; }

signals:
    void startUpFinished();
    void closed();

protected:
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void firstActivation();

    AppContext &m_ctx;
    bool m_started = false;
};

} // namespace velmor::ui
