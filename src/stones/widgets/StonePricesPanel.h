#pragma once
// The stone screen's "Prices" box: the price rows (Rap when bought, bought,
// current Rap, the three selling prices and the listing price, each per
// carat, per stone and off Rap, with the local columns), and beside them the
// memo and payment amounts, the hold/price options, the currency the stone
// was bought and paid in, and the online listing flags.  It makes the
// controls with their control names; the stone screen fills and reads them,
// forwards the typed figures to the price model and wires the Rap buttons.
//
// Controls by objectName: every price field of the price model
// (txtOriginalRapPrice ... txtSellPriceLocal3), txtBuyOffRap (read only),
// imgGetRAP1, imgGetRAP2, the column headings lblHeadUSCT, lblHeadUSStone,
// lblHeadLocalCT, lblHeadLocalStone, lblSellCT, lblSellStone and the row
// captions lblRapStone, lblCostST, lblCurrentRapST, lblOriginalBuyOffRap,
// lblBoughtPriceUSCT, lblBuyOffRap; txtMemoUS, txtMemoLocal, lblMemoStatic,
// txtPaymentUS, txtPaymentLocal, lblPaymentRecd, lblValue; optLockPercent,
// optLockDollar, optLockPercentLX, optLockDollarLX, optBuyInUS,
// optBuyInLocal, imgBuyInUS, imgBuyInLocal, optPaidOffUS,
// optPaidOffUSPercentage, optPaidOffLocal, optPaidOffLocalPercentage,
// chkPublishOnLustrabay, chkPublishPriceOnLustrabay,
// chkPublishOnLustrabayLocal, chkPublishPriceOnLustrabayLocal.
#include <QGroupBox>
#include <QList>

namespace velmor::ui {

class StonePricesPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit StonePricesPanel(QWidget *parent);
    // The controls typed into while a stone is added or edited.
    const QList<QWidget *> &entryFields() const { return m_entryFields; }

private:
    QList<QWidget *> m_entryFields;
};

} // namespace velmor::ui
