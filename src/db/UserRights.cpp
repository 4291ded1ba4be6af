#include "db/UserRights.h"

namespace velmor::db {

const QStringList &userRightColumns()
{
    static const QStringList cols = {
        "ViewParcelMarkup", "AllowCustomerHold", "AllowShipmentHold", "AllowCustomerAdd",
        "AllowCustomerEdit", "AllowCustomerView", "AllowItemAdd", "AllowItemEdit", "AllowItemView",
        "AllowItemViewCost", "AllowRepAdd", "AllowRepEdit", "AllowRepView", "AllowCollectionAdd",
        "AllowCollectionView", "AllowPackageAdd", "AllowPackageView", "AllowInvoiceView",
        "AllowShipFormView", "AllowStatementView", "AllowPastDueView", "AllowApplyPayment",
        "AllowPostChequeNew", "AllowPostChequeView", "AllowCustomerHoldView",
        "AllowShipmentHoldView", "AllowRestockParcel", "AllowRestockGem",
        "AllowEditPricingDiamond1", "AllowDiamondView", "AllowGemView", "AllowChainView",
        "AllowFindingView", "AllowPearlView", "AllowSalesView", "AllowTrackingView",
        "AllowTrackingViewBasic", "AllowDiamond1Create", "AllowDiamond1Delete",
        "AllowDiamond2Create", "AllowGemCreate", "AllowChainCreate", "AllowFindingCreate",
        "AllowPearlCreate", "AllowOrderFormView", "AllowOrderFormCreate", "AllowProductionFormView",
        "AllowQuoteView", "AllowQuoteNew", "AllowConsignmentView", "AllowCommissionView",
        "AllowBackOrdersView", "AllowJobBagsView", "AllowGemEdit", "AllowChainEdit",
        "AllowFindingEdit", "AllowPearlEdit", "AllowEarnedDiscountView", "AllowCreditAccountView",
        "AllowDeleteCheque", "AllowSplitProduction", "AllowProductionComplete",
        "AllowMarkAsShipped", "AllowCostUpdate", "AllowParcelCostUpdate", "AllowGemPriceView",
        "AllowParcelPriceView"};
    return cols;
}

} // namespace velmor::db
