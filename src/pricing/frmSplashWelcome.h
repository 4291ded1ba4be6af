#pragma once
// The welcome window with the day's rates, and the rate fetch that shows it.
#include "pricing/Rates.h"

#include <QDialog>

class QLabel;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

class frmSplashWelcome : public QDialog {
    Q_OBJECT
public:
    explicit frmSplashWelcome(QWidget *parent = nullptr);
    void setRates(double cdn, double zar, double gold);

    QLabel *lblCDN, *lblZAR, *lblGOLD;
    QTimer *Timer1; // its first tick closes the window

protected:
    void showEvent(QShowEvent *e) override;
};

// Fetches the rates (storing the two currency rates in ctx) and, when all
// three came, shows the welcome window modally until its timer closes it.
// A failed fetch shows nothing.  Returns what was fetched.
RatesFetch GetExchangeRateModule(AppContext &ctx, QWidget *parent = nullptr, int welcomeMs = 4000);

} // namespace velmor::pricing
