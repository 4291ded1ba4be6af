#include "stones/frmDiamondDetailPrices.h"

#include "core/AppContext.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

using M = stones::StonePriceWindowModel;

frmDiamondDetailPrices::frmDiamondDetailPrices(AppContext &ctx, const stones::StoneForm &stone, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDiamondDetailPrices"));
    setWindowTitle(QStringLiteral("Prices in other Currencies"));
    auto *v = new QVBoxLayout(this);
    auto *g = new QGridLayout;
    v->addLayout(g);
    const QString cur = ctx.settings.currencyName();
    const QStringList heads = {QString(), QStringLiteral("US$ /Stone"), QStringLiteral("US$ /ct"),
                               cur + QStringLiteral(" /Stone"), cur + QStringLiteral(" /ct"),
                               QStringLiteral("ZAR /Stone"), QStringLiteral("ZAR /ct")};
    for (int c = 0; c < heads.size(); ++c)
        g->addWidget(new QLabel(heads.at(c), this), 0, c);
    auto add = [&](M::Field f, int row, int col) {
        auto *e = new QLineEdit(this);
        e->setObjectName(M::fieldName(f));
        e->installEventFilter(this);
        g->addWidget(e, row, col);
        connect(e, &QLineEdit::textEdited, this, [this, f](const QString &t) { m_model.edit(f, t); });
        return e;
    };
    auto *lblBought = new QLabel(QStringLiteral("Bought"), this);
    lblBought->setObjectName(QStringLiteral("lblBought"));
    g->addWidget(lblBought, 1, 0);
    // What the stone cost is seen only with the right to see costs.
    const bool cost = ctx.user.ViewCost;
    lblBought->setVisible(cost);
    int boughtCol = 1;
    for (M::Field f : {M::BoughtPriceUS, M::BoughtPriceUSCT, M::BoughtPriceLocal, M::BoughtPriceLocalCT,
                       M::BoughtPriceZAR, M::BoughtPriceZARCT}) {
        QLineEdit *e = add(f, 1, boughtCol++);
        e->setVisible(cost);
        e->setEnabled(cost);
    }
    g->addWidget(new QLabel(QStringLiteral("Sell"), this), 2, 0);
    int col = 1;
    for (M::Field f : {M::SellPriceUS, M::SellPriceUSCT, M::SellPriceLocal, M::SellPriceLocalCT, M::SellPriceZAR,
                       M::SellPriceZARCT})
        add(f, 2, col++)->setReadOnly(true);
    g->addWidget(new QLabel(QStringLiteral("Rates now (") + cur + QStringLiteral(", ZAR)"), this), 3, 0);
    add(M::CDN, 3, 3)->setReadOnly(true);
    add(M::ZAR, 3, 5)->setReadOnly(true);
    g->addWidget(new QLabel(QStringLiteral("Rates when bought"), this), 4, 0);
    add(M::CDNbought, 4, 3);
    add(M::ZARbought, 4, 5);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);

    m_model.onWrite = [this](M::Field f, const QString &t) {
        if (auto *e = findChild<QLineEdit *>(M::fieldName(f)))
            e->setText(t);
    };
    M::Opening o;
    o.weight = stones::fieldValue(stone.Carat);
    o.boughtUS = stones::fieldValue(stone.price(stones::StonePriceModel::BoughtPriceUS));
    o.boughtLocal = stones::fieldValue(stone.boughtPriceLocal);
    o.sellUS = stones::fieldValue(stone.price(stones::StonePriceModel::SellPrice));
    o.rateCDN = ctx.exchangeRateCDN;
    o.rateZAR = ctx.exchangeRateZAR;
    o.boughtRateCDN = stone.boughtRateCDN;
    o.boughtRateZAR = stone.boughtRateZAR;
    m_model.open(o);
}

bool frmDiamondDetailPrices::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::FocusOut) {
        const M::Field f = M::fieldByName(o->objectName());
        if (f != M::FieldCount)
            m_model.leave(f);
    }
    return QDialog::eventFilter(o, e);
}

void frmDiamondDetailPrices::setViewOnly()
{
    for (QLineEdit *e : findChildren<QLineEdit *>())
        e->setReadOnly(true);
    auto *ok = findChild<QPushButton *>(QStringLiteral("cmdOK"));
    auto *cancel = findChild<QPushButton *>(QStringLiteral("cmdCancel"));
    ok->setVisible(false);
    ok->setDefault(false);
    cancel->setText(QStringLiteral("Close"));
    cancel->setDefault(true);
}

} // namespace velmor::ui
