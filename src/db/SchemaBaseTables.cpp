// The base tables: what an old database already has before the upgrade list
// runs.  The upgrade only extends them, so a column listed here is one the
// upgrade never adds.  Types follow what the program stores in a column;
// where the upgrade later modifies a column, the base type is the older one
// and the upgrade brings it to its final type.
#include "db/SchemaTables.h"

#include <QStringList>

namespace velmor::db::schema {

namespace {

// Kinds of column as the program uses them.
const QString kText = QStringLiteral("VARCHAR(255)");
const QString kShort = QStringLiteral("VARCHAR(50)");
const QString kDecimal = QStringLiteral("DECIMAL(19,5)");
const QString kPrice = QStringLiteral("DECIMAL(19,4)"); // per-stone selling prices
const QString kInt = QStringLiteral("INT");
const QString kFlag = QStringLiteral("TINYINT(1)");
const QString kDate = QStringLiteral("DATETIME");
const QString kLong = QStringLiteral("BLOB");

class Builder {
public:
    explicit Builder(const QString &name)
    {
        m_t.name = name;
        m_t.columns.push_back({QStringLiteral("ID"), QString::fromLatin1(kIdColumnType)});
    }
    Builder &add(const QString &type, const QStringList &names)
    {
        for (const QString &n : names)
            m_t.columns.push_back({n, type});
        return *this;
    }
    TableDef done() { return m_t; }

private:
    TableDef m_t;
};

std::vector<TableDef> makeBaseTables()
{
    std::vector<TableDef> out;

    out.push_back(
        Builder(QStringLiteral("SingleStone"))
            .add(kShort, {"SKU", "Shape"})
            .add(kText, {"Lot", "Cut", "Flourescence", "FancyColour", "FinishPolish",
                         "FinishSymetry", "Girdle", "Culet", "Laboratory"})
            .add(kShort, {"Certificate"})
            .add(kText, {"Inscription1", "Inscription2"})
            .add(kShort, {"CODE"})
            .add(kText, {"Location"})
            .add(kShort, {"Status"})
            .add(kText, {"certfilename1", "certfilename2"})
            .add(kInt, {"Colour", "Clarity", "CustomerID", "MemoSheetID", "OnHoldForCustomerID",
                        "ConsignmentInCustomerID", "SupplierID"})
            .add(kDecimal, {"TableSize", "TotalDepth", "CrownHeight", "PavillionDepth",
                            "CrownAngle", "PavillionAngle", "GirdleDimension", "Dim1", "Dim2",
                            "Dim3", "Carat", "BoughtPriceUS", "BoughtPriceLocal",
                            "RapPriceOnDateBought", "RapaportPrice", "SellOffRap", "SellOffRap2",
                            "SellOffRap3"})
            .add(kPrice, {"SellPriceUS", "SellPriceUS2", "SellPriceUS3"})
            .add(kDecimal, {"PaidOffPercentageUS", "PaidOffPercentageLocal", "PaidOffUS",
                            "PaidOffLocal", "MemoUS", "MemoLocal"})
            .add(kFlag, {"Canadian", "LockPercent", "BuyingInUS", "BuyingInLocal",
                         "StoneIsPaidOff", "StoneIsPaidOffMemoIn", "MemoInPaymentMade",
                         "MemoInPaidOff", "PublishPriceOnLustrabay", "DontPublishOnLustrabay",
                         "PublishPriceOnLustrabayLocal", "DontPublishOnLustrabayLocal"})
            .add(kDate, {"DateCreated", "DateStatusChange"})
            .add(kLong, {"Comment"})
            .done());

    out.push_back(
        Builder(QStringLiteral("StoneChange"))
            .add(kInt, {"StoneID", "EmployeeID", "Colour", "Clarity", "SupplierID",
                        "ConsignmentInCustomerID"})
            .add(kDate, {"Date"})
            .add(kShort, {"Status", "SKU", "Shape"})
            .add(kText, {"Cut", "Flourescence", "FancyColour", "FinishPolish", "FinishSymetry"})
            .add(kShort, {"CODE"})
            .add(kText, {"Laboratory"})
            .add(kShort, {"Certificate"})
            .add(kText, {"Inscription1", "Inscription2", "Culet", "Girdle", "Location"})
            .add(kFlag, {"LockPercent", "Canadian"})
            .add(kDecimal, {"Carat", "RapPriceOnDateBought", "TotalDepth", "TableSize",
                            "CrownHeight", "PavillionDepth", "CrownAngle", "PavillionAngle",
                            "GirdleDimension", "Dim1", "Dim2", "Dim3", "BoughtPriceUS",
                            "BoughtPriceLocal", "SellOffRap", "SellOffRap2", "SellOffRap3"})
            .add(kPrice, {"SellPriceUS", "SellPriceUS2", "SellPriceUS3"})
            .add(kLong, {"Comment"})
            .done());

    out.push_back(Builder(QStringLiteral("ParcelStock"))
                      .add(kShort, {"SKU", "Shape", "Lot"})
                      .add(kText, {"Comment"})
                      .add(kDecimal, {"Carat", "CaratLow", "CaratHigh", "CostUSPerCarat",
                                      "CostLocalPerCarat", "PriceUSPerCarat",
                                      "PriceLocalPerCarat", "SellUS", "SellLocal"})
                      .add(kInt, {"ColourLow", "ColourHigh", "ClarityLow", "ClarityHigh",
                                  "Quantity"})
                      .done());

    out.push_back(Builder(QStringLiteral("Customer"))
                      .add(kText, {"CompanyName", "ContactName", "CompanyStreet1",
                                   "CompanyStreet2", "CompanyCity", "CompanyProvince"})
                      .add(kShort, {"CompanyZIP"})
                      .add(kText, {"CompanyCountry"})
                      .add(kShort, {"PhoneNumber1", "PhoneNumber2", "PhoneNumber3"})
                      .add(kText, {"PhoneName1", "PhoneName2", "PhoneName3"})
                      .add(kShort, {"FaxNumber"})
                      .add(kText, {"EMail", "WWW"})
                      .add(kShort, {"Extension"})
                      .add(kText, {"Info"})
                      .add(kFlag, {"Customer", "Supplier"})
                      .done());

    out.push_back(Builder(QStringLiteral("memosheet"))
                      .add(kInt, {"CustomerID"})
                      .add(kDate, {"Date"})
                      .add(kText, {"Reference"})
                      .done());

    out.push_back(Builder(QStringLiteral("Memo"))
                      .add(kInt, {"MemoSheetID", "DiamondID", "ParcelID", "CustomerID"})
                      .add(kDate, {"Date"})
                      .add(kInt, {"Quantity"})
                      .add(kDecimal, {"Carat", "US", "Local"})
                      .done());

    for (const char *name : {"PaymentMade", "PaymentReceived"}) {
        Builder b{QString::fromLatin1(name)};
        b.add(kInt, {"StoneID", "CustomerID"})
            .add(kDate, {"Date"})
            .add(kText, {"Reference"})
            .add(kDecimal, {"PaymentUS", "PaymentLocal"});
        if (QLatin1String(name) == QLatin1String("PaymentMade"))
            b.add(kInt, {"EmployeeID"});
        out.push_back(b.done());
    }

    out.push_back(Builder(QStringLiteral("DiamondGrades"))
                      .add(kInt, {"Number"})
                      .add(kShort, {"Wording"})
                      .add(kFlag, {"Colour", "Clarity"})
                      .done());

    out.push_back(Builder(QStringLiteral("user"))
                      .add(kShort, {"UserName", "Password", "FirstName", "LastName"})
                      .add(kFlag, {"Administrator", "ViewCost", "AllowExchangeRateChanging",
                                   "AllowMemoAssigning", "AllowEdit", "AllowDelete"})
                      .done());

    // The settings row.  Tax1/Tax2 are the older decimal that the upgrade
    // narrows to DECIMAL(15,5); Tax3, Tax3Name and the store side's settings
    // come with the upgrade.
    out.push_back(
        Builder(QStringLiteral("Config"))
            .add(kText, {"CompanyName", "CompanyStreet1", "CompanyStreet2", "CompanyCity"})
            .add(kShort, {"CompanyZIP"})
            .add(kText, {"CompanyProvince", "CompanyCountry"})
            .add(kShort, {"CompanyPhone", "CompanyFax"})
            .add(kText, {"CompanyEMail", "CompanyWWW"})
            .add(kShort, {"CompanyLogo", "RapUserName", "RapPassword"})
            .add(kFlag, {"RapWeekly", "RapMonthly", "AverageQuality", "LowerQuality"})
            .add(QStringLiteral("VARCHAR(1000)"), {"MemoDisclaimer", "SalesDisclaimer"})
            .add(kFlag, {"PrincessEQPear", "MarquiseEQPear", "EmeraldEQPear", "CushionEQPear",
                         "RadiantEQPear", "TriangleEQPear", "HeartEQPear",
                         "SquareBrilliantEQRound", "RectangleBrilliantEQRound",
                         "CheckLiveStonesOnly", "HideRapUS_CT", "HideRapUS_Stone",
                         "HideRapMY_Stone", "HideCostMY_ST", "HideCostUS_ST",
                         "HideSellPriceMY_ST", "HideSellPriceUS_ST", "ShowCostMY_CT",
                         "ShowCostUS_CT", "ShowSellPriceMY_CT", "ShowSellPriceUS_CT", "ShowLot",
                         "ShowDimension", "ShowMemoID", "ShowReferenceNumber", "BuyUS",
                         "Buylocal", "BuyOffRap", "SellUS", "SellLocal", "SellOffRap",
                         "SellOffRapLX", "SellFixedValue", "LockMemo", "FloatValue",
                         "PublishDiamondPrices"})
            .add(QStringLiteral("VARCHAR(25)"), {"Tax1Name", "Tax2Name"})
            .add(kDecimal, {"Tax1", "Tax2"})
            .add(QStringLiteral("DECIMAL(15,5)"), {"ExciseTax", "ExchangeRate"})
            .add(kFlag, {"ForceCertificate", "ForceClarity", "ForceColour", "ForceCut",
                         "ForceDimension", "ForceLab", "AutoSku"})
            .add(kShort, {"SKURound", "SKUOther"})
            .add(kFlag, {"StoneChange"})
            .add(kShort, {"MyCurrencyName"})
            .done());

    return out;
}

} // namespace

const std::vector<TableDef> &baseTables()
{
    static const std::vector<TableDef> tables = makeBaseTables();
    return tables;
}

} // namespace velmor::db::schema
