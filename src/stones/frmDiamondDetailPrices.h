#pragma once
// The price window of a stone: the buying price in US dollars, the local
// currency and rand at the rates of purchase, and the selling price at the
// current rates.  The rules live in StonePriceWindowModel.
#include "stones/StonePriceWindow.h"
#include "stones/StoneRecord.h"

#include <QDialog>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmDiamondDetailPrices : public QDialog {
    Q_OBJECT
public:
    frmDiamondDetailPrices(AppContext &ctx, const stones::StoneForm &stone, QWidget *parent = nullptr);
    const stones::StonePriceWindowModel &model() const { return m_model; }
    // For a stone that is only displayed: the amounts are shown, nothing can
    // be typed or taken over (the window closes with "Close").
    void setViewOnly();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    stones::StonePriceWindowModel m_model;
};

} // namespace velmor::ui
