#include "app/UserState.h"

namespace velmor {

const QStringList &UserState::frontRightColumns()
{
    static const QStringList cols = {
        QStringLiteral("ViewParcelMarkup"), QStringLiteral("AllowCustomerHold"), QStringLiteral("AllowShipmentHold"),
        QStringLiteral("AllowCustomerAdd"), QStringLiteral("AllowCustomerEdit"), QStringLiteral("AllowCustomerView"),
        QStringLiteral("AllowItemAdd"), QStringLiteral("AllowItemEdit"), QStringLiteral("AllowItemView"),
        QStringLiteral("AllowItemViewCost"), QStringLiteral("AllowRepAdd"), QStringLiteral("AllowRepEdit"),
        QStringLiteral("AllowRepView"), QStringLiteral("AllowCollectionAdd"), QStringLiteral("AllowCollectionView"),
        QStringLiteral("AllowPackageAdd"), QStringLiteral("AllowPackageView"), QStringLiteral("AllowInvoiceView"),
        QStringLiteral("AllowShipFormView"), QStringLiteral("AllowStatementView"), QStringLiteral("AllowPastDueView"),
        QStringLiteral("AllowApplyPayment"), QStringLiteral("AllowPostChequeNew"), QStringLiteral("AllowPostChequeView"),
        QStringLiteral("AllowCustomerHoldView"), QStringLiteral("AllowShipmentHoldView"),
        QStringLiteral("AllowRestockParcel"), QStringLiteral("AllowRestockGem"),
        QStringLiteral("AllowEditPricingDiamond1"), QStringLiteral("AllowDiamondView"), QStringLiteral("AllowGemView"),
        QStringLiteral("AllowChainView"), QStringLiteral("AllowFindingView"), QStringLiteral("AllowPearlView"),
        QStringLiteral("AllowSalesView"), QStringLiteral("AllowTrackingView"), QStringLiteral("AllowTrackingViewBasic"),
        QStringLiteral("AllowDiamond1Create"), QStringLiteral("AllowDiamond1Delete"),
        QStringLiteral("AllowDiamond2Create"), QStringLiteral("AllowGemCreate"), QStringLiteral("AllowChainCreate"),
        QStringLiteral("AllowFindingCreate"), QStringLiteral("AllowPearlCreate"), QStringLiteral("AllowOrderFormView"),
        QStringLiteral("AllowOrderFormCreate"), QStringLiteral("AllowProductionFormView"),
        QStringLiteral("AllowQuoteView"), QStringLiteral("AllowQuoteNew"), QStringLiteral("AllowConsignmentView"),
        QStringLiteral("AllowCommissionView"), QStringLiteral("AllowBackOrdersView"), QStringLiteral("AllowJobBagsView"),
        QStringLiteral("AllowGemEdit"), QStringLiteral("AllowChainEdit"), QStringLiteral("AllowFindingEdit"),
        QStringLiteral("AllowPearlEdit"), QStringLiteral("AllowEarnedDiscountView"),
        QStringLiteral("AllowCreditAccountView"), QStringLiteral("AllowDeleteCheque"),
        QStringLiteral("AllowSplitProduction"), QStringLiteral("AllowProductionComplete"),
        QStringLiteral("AllowMarkAsShipped"), QStringLiteral("AllowCostUpdate"), QStringLiteral("AllowParcelCostUpdate"),
        QStringLiteral("AllowGemPriceView"), QStringLiteral("AllowParcelPriceView")};
    return cols;
}

const QStringList &UserState::diamondRightColumns()
{
    static const QStringList cols = {QStringLiteral("Administrator"), QStringLiteral("ViewCost"),
                                     QStringLiteral("AllowExchangeRateChanging"), QStringLiteral("AllowMemoAssigning"),
                                     QStringLiteral("AllowEdit"), QStringLiteral("AllowDelete")};
    return cols;
}

bool UserState::has(const QString &right) const
{
    const QString r = right.toLower();
    if (r == QLatin1String("administrator")) return Administrator;
    if (r == QLatin1String("viewcost")) return ViewCost;
    if (r == QLatin1String("allowexchangeratechanging")) return AllowExchangeRateChanging;
    if (r == QLatin1String("allowmemoassigning")) return AllowMemoAssigning;
    if (r == QLatin1String("allowedit")) return AllowEdit;
    if (r == QLatin1String("allowdelete")) return AllowDelete;
    auto it = rights.find(r);
    return it != rights.end() && it->second;
}

void UserState::set(const QString &right, bool on)
{
    const QString r = right.toLower();
    if (r == QLatin1String("administrator")) Administrator = on;
    else if (r == QLatin1String("viewcost")) ViewCost = on;
    else if (r == QLatin1String("allowexchangeratechanging")) AllowExchangeRateChanging = on;
    else if (r == QLatin1String("allowmemoassigning")) AllowMemoAssigning = on;
    else if (r == QLatin1String("allowedit")) AllowEdit = on;
    else if (r == QLatin1String("allowdelete")) AllowDelete = on;
    else rights[r] = on;
}

void UserState::reset()
{
    Administrator = ViewCost = AllowExchangeRateChanging = AllowMemoAssigning = AllowEdit = AllowDelete = false;
    rights.clear();
}

} // namespace velmor
