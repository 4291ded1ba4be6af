#pragma once
// The program-wide settings record.  Fields are named after the Config
// columns they come from (a column whose name starts with a digit, such as
// 10ktRatio, is ktRatio10 here); GetConfigurationModule fills it.
#include <QString>
#include <array>

namespace velmor {

struct Settings {
    // Company
    QString CompanyName, CompanyStreet1, CompanyStreet2, CompanyCity, CompanyZIP, CompanyProvince,
        CompanyCountry, CompanyPhone, CompanyFax, CompanyEMail, CompanyWWW;
    QString CompanyLogo;

    // Price grid and pricing
    double PriceRound = 0;
    QString RapUserName, RapPassword;
    bool RapWeekly = false, RapMonthly = false;
    bool AverageQuality = false, LowerQuality = false;
    QString MemoDisclaimer, SalesDisclaimer;
    bool OvalEQPear = false, AsserEQPear = false, PrincessEQPear = false, MarquiseEQPear = false,
         EmeraldEQPear = false, CushionEQPear = false, RadiantEQPear = false, TriangleEQPear = false,
         HeartEQPear = false;
    bool SquareBrilliantEQRound = false, RectangleBrilliantEQRound = false;
    QString roundstonename;
    bool GIAanythingelse = false;
    bool CheckLiveStonesOnly = false;
    bool HideRapUS_CT = false, HideRapUS_Stone = false, HideRapMY_Stone = false, HideCostMY_ST = false,
         HideCostUS_ST = false, HideSellPriceMY_ST = false, HideSellPriceUS_ST = false, ShowCostMY_CT = false,
         ShowCostUS_CT = false, ShowSellPriceMY_CT = false, ShowSellPriceUS_CT = false;
    bool ShowLot = false, ShowDimension = false, ShowMemoID = false, ShowReferenceNumber = false;
    bool BuyUS = false, Buylocal = false, BuyOffRap = false;
    bool SellUS = false, SellLocal = false, SellOffRap = false, SellOffRapLX = false, SellFixedValue = false;
    bool LockMemo = false, FloatValue = false;
    bool PublishDiamondPrices = false;

    // Taxes
    QString Tax1Name, Tax2Name, Tax3Name;
    double Tax1 = 0, Tax2 = 0, Tax3 = 0;
    std::array<QString, 4> _taxname{}; // _tax1name .. _tax4name
    std::array<double, 4> _tax{};      // _tax1 .. _tax4
    double ExciseTax = 0;

    // Stone entry
    bool ForceCertificate = false, ForceClarity = false, ForceColour = false, ForceCut = false,
         ForceDimension = false, ForceLab = false;
    bool AutoSku = false;
    QString SKURound, SKUOther;
    bool StoneChange = false;
    QString MyCurrencyName;
    bool VelmorWholeSale = false;
    bool DontUseSplits = false;
    double StoneFileLimitMB = 0; // the largest file a stone takes; 0: the default (200 MB)
    double dbVersion = 0;
    double ExchangeRate = 0; // stored US-to-local rate (edited on the rate screen)

    // Store side (loaded and saved, not used by the diamond side)
    QString InvoiceTemplate;
    double DefaultMarkup = 0, DefaultDiscount = 0;
    std::array<double, 4> ClassThreshold{}; // Class1Threshold .. Class4Threshold
    std::array<QString, 4> ClassLabel{};    // Class1Label .. Class4Label
    std::array<double, 4> ClassMarkup{};    // Class1Markup .. Class4Markup
    double DefaultCreditLimit = 0;
    double OverDue = 0;
    bool MaterialAvailabe = false, PrintJobBagsGroupedByType = false, AlwaysUseSeperateJobBags = false,
         ForceRepEntry = false, LongStatement = false;
    std::array<double, 6> AlloyCost{};  // AlloyCost10,14,18,19,22,25
    double TagMarkup = 0, TagEnd = 0;
    std::array<double, 6> ktRatio{};    // 10ktRatio,14,18,19,22,25
    std::array<double, 6> CostFactor{}; // CostFactor10,14,18,19,22,25
    double IntrinsicGoldValueMarkup = 0, GoldRate = 0, GoldRateBase = 0, PlatinumRate = 0, CommissionRate = 0;
    QString ShippingSheetDisclaimer, MemoFormDisclaimer;
    std::array<QString, 20> Colour{}; // Colour1 .. Colour20 of Colours

    // Second group (scanning stations)
    bool serialscanning = false;
    QString scanningTable; // "track" or "trackpar"
    std::array<QString, 20> Description{};
    std::array<bool, 20> Deactivate{};

    // Not from Config
    QString localCurrencyName = QStringLiteral("CDN");
    // The local currency's name wherever a screen shows it: MyCurrencyName
    // when the configuration sets one, else localCurrencyName.
    QString currencyName() const
    {
        const QString mine = MyCurrencyName.trimmed();
        return mine.isEmpty() ? localCurrencyName : mine;
    }
    QString sharedFolder;  // from server.ini, else the workstation folder
    QString logoPath;      // logo.jpg in the shared folder, empty when absent
    // labelprinter.ini: label-printer port, left offset, right offset, scanner port
    QString labelPrinterPort;
    double labelLeftOffset = 0, labelRightOffset = 0;
    QString scannerPort;   // "0" or empty: none; a number (COMn) or a device path
    // printers.ini: invoice, production sheet, ship form, statement, consignment form
    std::array<QString, 5> printers{};
    QString defaultPrinter;
    // chklabelquill.txt and printDIAMONDcomment.txt: options of the stone label
    bool labelQuill = false;
    bool printDiamondComment = false;
};

} // namespace velmor
