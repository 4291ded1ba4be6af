#include "stones/widgets/StonePricesPanel.h"

#include "stones/widgets/StonePanelControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace velmor::ui {

StonePricesPanel::StonePricesPanel(QWidget *parent) : QGroupBox(QStringLiteral("Prices"), parent)
{
    const StonePanelControls make(this, m_entryFields);
    auto *pricesRow = new QHBoxLayout(this);
    pricesRow->setContentsMargins(6, 2, 6, 4);
    auto *gp = new QGridLayout;
    gp->setVerticalSpacing(2);
    auto *pricesSide = new QGridLayout;
    pricesSide->setVerticalSpacing(2);
    pricesRow->addLayout(gp, 3);
    pricesRow->addSpacing(12);
    pricesRow->addLayout(pricesSide, 2);
    int row = 0;
    auto priceRow = [&](const QString &caption, std::initializer_list<QWidget *> ws, const char *labelName = nullptr) {
        gp->addWidget(make.label(labelName, caption), row, 0);
        int col = 1;
        for (QWidget *x : ws)
            gp->addWidget(x, row, col++);
        ++row;
    };
    auto *imgGetRAP1 = new QPushButton(QStringLiteral("Rap"), this);
    imgGetRAP1->setObjectName(QStringLiteral("imgGetRAP1"));
    auto *imgGetRAP2 = new QPushButton(QStringLiteral("Rap"), this);
    imgGetRAP2->setObjectName(QStringLiteral("imgGetRAP2"));
    make.entry(imgGetRAP1);
    make.entry(imgGetRAP2);
    // Each column names the currency of its figures.
    gp->addWidget(make.label("lblHeadUSCT", QStringLiteral("US$ /ct")), row, 1);
    gp->addWidget(make.label("lblHeadUSStone", QStringLiteral("US$ /Stone")), row, 2);
    gp->addWidget(make.label(nullptr, QStringLiteral("% off Rap")), row, 3);
    gp->addWidget(make.label("lblHeadLocalCT", QString()), row, 4);
    gp->addWidget(make.label("lblHeadLocalStone", QString()), row, 5);
    ++row;
    priceRow(QStringLiteral("Rap when bought"),
             {make.lineEdit("txtOriginalRapPrice"), make.lineEdit("txtOriginalRapPriceUS"), imgGetRAP1}, "lblRapStone");
    auto *buyOff = make.lineEdit("txtOriginalBuyOffRap");
    priceRow(QStringLiteral("Bought"), {make.lineEdit("txtBoughtPriceUSCT"), make.lineEdit("txtBoughtPriceUS"), buyOff},
             "lblCostST");
    gp->addWidget(make.label("lblOriginalBuyOffRap", QStringLiteral("bought % off Rap")), row - 1, 4);
    gp->addWidget(make.label("lblBoughtPriceUSCT", QStringLiteral("bought /ct")), row - 1, 5);
    auto *buyOffNow = make.lineEdit("txtBuyOffRap", false);
    buyOffNow->setReadOnly(true);
    priceRow(QStringLiteral("current Rap"),
             {make.lineEdit("txtLatestRapPrice"), make.lineEdit("txtUSRap"), imgGetRAP2, buyOffNow}, "lblCurrentRapST");
    gp->addWidget(make.label("lblBuyOffRap", QStringLiteral("bought % off current Rap")), row - 1, 5);
    priceRow(QStringLiteral("Sell 1"),
             {make.lineEdit("txtSellPriceCT"), make.lineEdit("txtSellPrice"), make.lineEdit("txtSellOffRap")});
    priceRow(QStringLiteral("Sell listing"),
             {make.lineEdit("txtSellPriceCTLX"), make.lineEdit("txtSellPriceLX"), make.lineEdit("txtSellOffRapLX")});
    priceRow(QStringLiteral("Sell 2"),
             {make.lineEdit("txtSellPriceCT2"), make.lineEdit("txtSellPrice2"), make.lineEdit("txtSellOffRap2"),
              make.lineEdit("txtSellPriceLocalCT2"), make.lineEdit("txtSellPriceLocal2")});
    priceRow(QStringLiteral("Sell 3"),
             {make.lineEdit("txtSellPriceCT3"), make.lineEdit("txtSellPrice3"), make.lineEdit("txtSellOffRap3"),
              make.lineEdit("txtSellPriceLocalCT3"), make.lineEdit("txtSellPriceLocal3")});

    // Memo, payments and the options to the right of the price rows.
    gp = pricesSide;
    row = 0;
    auto *memoUS = make.lineEdit("txtMemoUS", false);
    auto *memoLocal = make.lineEdit("txtMemoLocal", false);
    memoUS->setReadOnly(true);
    memoLocal->setReadOnly(true);
    priceRow(QStringLiteral("Memo"), {memoUS, memoLocal}, "lblMemoStatic");
    auto *payUS = make.lineEdit("txtPaymentUS", false);
    auto *payLocal = make.lineEdit("txtPaymentLocal", false);
    payUS->setReadOnly(true);
    payLocal->setReadOnly(true);
    priceRow(QStringLiteral("Payment recd"), {payUS, payLocal}, "lblPaymentRecd");
    gp->addWidget(make.label("lblValue", QString()), row++, 0, 1, 6);
    // The selling price to the tenth of a cent, beside the options (a line
    // below the price rows would push the screen past a laptop's height).
    gp->addWidget(make.label("lblSellCT", QString()), row, 0);
    gp->addWidget(make.label("lblSellStone", QString()), row++, 1, 1, 5);

    auto *lock = new QButtonGroup(this);
    auto *lockBox = new QHBoxLayout;
    for (auto *o : {make.option("optLockPercent", QStringLiteral("hold % off Rap")),
                    make.option("optLockDollar", QStringLiteral("hold price"))}) {
        lock->addButton(o);
        lockBox->addWidget(o);
    }
    auto *lockLX = new QButtonGroup(this);
    for (auto *o : {make.option("optLockPercentLX", QStringLiteral("listing: hold %")),
                    make.option("optLockDollarLX", QStringLiteral("listing: hold price"))}) {
        lockLX->addButton(o);
        lockBox->addWidget(o);
    }
    gp->addLayout(lockBox, row++, 0, 1, 6);
    auto *buyIn = new QButtonGroup(this);
    auto *buyBox = new QHBoxLayout;
    for (auto *o : {make.option("optBuyInUS", QStringLiteral("bought in US$")),
                    make.option("optBuyInLocal", QStringLiteral("bought in local"))}) {
        buyIn->addButton(o);
        buyBox->addWidget(o);
    }
    auto *imgBuyInUS = make.picture("imgBuyInUS", QStringLiteral("US$"), QStringLiteral("Bought in US dollars"));
    auto *imgBuyInLocal =
        make.picture("imgBuyInLocal", QStringLiteral("local"), QStringLiteral("Bought in the local currency"));
    buyBox->addWidget(imgBuyInUS);
    buyBox->addWidget(imgBuyInLocal);
    gp->addLayout(buyBox, row++, 0, 1, 6);
    auto *paid = new QButtonGroup(this);
    auto *paidBox = new QHBoxLayout;
    for (auto *o : {make.option("optPaidOffUS", QStringLiteral("paid US$")),
                    make.option("optPaidOffUSPercentage", QStringLiteral("paid US %")),
                    make.option("optPaidOffLocal", QStringLiteral("paid local")),
                    make.option("optPaidOffLocalPercentage", QStringLiteral("paid local %"))}) {
        paid->addButton(o);
        paidBox->addWidget(o);
    }
    gp->addLayout(paidBox, row++, 0, 1, 6);
    auto *listing = new QHBoxLayout;
    listing->addWidget(make.check("chkPublishOnLustrabay", QStringLiteral("list online")));
    listing->addWidget(make.check("chkPublishPriceOnLustrabay", QStringLiteral("show price online")));
    listing->addWidget(make.check("chkPublishOnLustrabayLocal", QStringLiteral("list locally")));
    listing->addWidget(make.check("chkPublishPriceOnLustrabayLocal", QStringLiteral("show local price")));
    gp->addLayout(listing, row++, 0, 1, 6);

    // The picture of the currency bought in follows the choice.
    auto *buyInUS = findChild<QRadioButton *>(QStringLiteral("optBuyInUS"));
    auto *buyInLocal = findChild<QRadioButton *>(QStringLiteral("optBuyInLocal"));
    const auto showBuyIn = [buyInUS, buyInLocal, imgBuyInUS, imgBuyInLocal] {
        imgBuyInUS->setVisible(buyInUS->isChecked());
        imgBuyInLocal->setVisible(buyInLocal->isChecked());
    };
    connect(buyInUS, &QRadioButton::toggled, this, showBuyIn);
    connect(buyInLocal, &QRadioButton::toggled, this, showBuyIn);
}

} // namespace velmor::ui
