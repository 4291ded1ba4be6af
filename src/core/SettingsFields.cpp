#include "core/SettingsFields.h"

#include "db/Row.h"

namespace velmor {

QVariant SettingsField::value(const Settings &s) const
{
    Settings &m = const_cast<Settings &>(s);
    switch (kind) {
    case FieldKind::Text: return *text(m);
    case FieldKind::Number: return *number(m);
    case FieldKind::Flag: return *flag(m);
    }
    return {};
}

void SettingsField::assign(Settings &s, const QVariant &v) const
{
    switch (kind) {
    case FieldKind::Text: {
        const bool null = v.isNull() || !v.isValid();
        *text(s) = null ? nullText : db::textOf(v);
        if (!nullText.isEmpty() && text(s)->isEmpty())
            *text(s) = nullText;
        break;
    }
    case FieldKind::Number: *number(s) = db::numOf(v); break;
    case FieldKind::Flag: *flag(s) = db::flagOf(v); break;
    }
}

QString SettingsField::display(const Settings &s) const
{
    Settings &m = const_cast<Settings &>(s);
    switch (kind) {
    case FieldKind::Text: return *text(m);
    case FieldKind::Number: return QString::number(*number(m), 'g', 15);
    case FieldKind::Flag: return *flag(m) ? QStringLiteral("true") : QStringLiteral("false");
    }
    return {};
}

namespace {

#define REF(member) [](Settings &s) -> void * { return &s.member; }

class Builder {
public:
    std::vector<SettingsField> out;
    bool store = false;
    Builder &text(const char *col, std::function<void *(Settings &)> r, const QString &def = {})
    {
        out.push_back({QString::fromLatin1(col), FieldKind::Text, store, def, std::move(r)});
        return *this;
    }
    Builder &num(const char *col, std::function<void *(Settings &)> r)
    {
        out.push_back({QString::fromLatin1(col), FieldKind::Number, store, {}, std::move(r)});
        return *this;
    }
    Builder &flag(const char *col, std::function<void *(Settings &)> r)
    {
        out.push_back({QString::fromLatin1(col), FieldKind::Flag, store, {}, std::move(r)});
        return *this;
    }
    Builder &numArray(const QString &pattern, const QList<int> &suffixes,
                      std::function<double *(Settings &, int)> at)
    {
        for (int i = 0; i < suffixes.size(); ++i)
            out.push_back({pattern.arg(suffixes[i]), FieldKind::Number, store, {},
                           [at, i](Settings &s) -> void * { return at(s, i); }});
        return *this;
    }
};

std::vector<SettingsField> makeFields()
{
    Builder b;
    const QList<int> karats = {10, 14, 18, 19, 22, 25};

    // Store side.
    b.store = true;
    b.text("InvoiceTemplate", REF(InvoiceTemplate), QStringLiteral("DEFAULT"))
        .num("DefaultMarkup", REF(DefaultMarkup))
        .num("DefaultDiscount", REF(DefaultDiscount));
    b.numArray(QStringLiteral("Class%1Threshold"), {1, 2, 3, 4},
               [](Settings &s, int i) { return &s.ClassThreshold[i]; });
    for (int i = 0; i < 4; ++i)
        b.out.push_back({QStringLiteral("Class%1Label").arg(i + 1), FieldKind::Text, true,
                         QStringLiteral("Class %1").arg(i + 1),
                         [i](Settings &s) -> void * { return &s.ClassLabel[i]; }});
    b.numArray(QStringLiteral("Class%1Markup"), {1, 2, 3, 4},
               [](Settings &s, int i) { return &s.ClassMarkup[i]; });
    b.num("DefaultCreditLimit", REF(DefaultCreditLimit))
        .num("OverDue", REF(OverDue))
        .flag("MaterialAvailabe", REF(MaterialAvailabe))
        .flag("PrintJobBagsGroupedByType", REF(PrintJobBagsGroupedByType))
        .flag("AlwaysUseSeperateJobBags", REF(AlwaysUseSeperateJobBags))
        .flag("ForceRepEntry", REF(ForceRepEntry))
        .flag("LongStatement", REF(LongStatement));
    b.numArray(QStringLiteral("AlloyCost%1"), karats, [](Settings &s, int i) { return &s.AlloyCost[i]; });
    b.num("TagMarkup", REF(TagMarkup)).num("TagEnd", REF(TagEnd));
    b.numArray(QStringLiteral("%1ktRatio"), karats, [](Settings &s, int i) { return &s.ktRatio[i]; });
    b.numArray(QStringLiteral("CostFactor%1"), karats, [](Settings &s, int i) { return &s.CostFactor[i]; });
    b.num("IntrinsicGoldValueMarkup", REF(IntrinsicGoldValueMarkup))
        .num("GoldRate", REF(GoldRate))
        .num("GoldRateBase", REF(GoldRateBase))
        .num("PlatinumRate", REF(PlatinumRate))
        .num("CommissionRate", REF(CommissionRate))
        .text("ShippingSheetDisclaimer", REF(ShippingSheetDisclaimer))
        .text("MemoFormDisclaimer", REF(MemoFormDisclaimer));

    // Diamond side.
    b.store = false;
    b.text("CompanyName", REF(CompanyName))
        .text("CompanyStreet1", REF(CompanyStreet1))
        .text("CompanyStreet2", REF(CompanyStreet2))
        .text("CompanyCity", REF(CompanyCity))
        .text("CompanyZIP", REF(CompanyZIP))
        .text("CompanyProvince", REF(CompanyProvince))
        .text("CompanyCountry", REF(CompanyCountry))
        .text("CompanyPhone", REF(CompanyPhone))
        .text("CompanyFax", REF(CompanyFax))
        .text("CompanyEMail", REF(CompanyEMail))
        .text("CompanyWWW", REF(CompanyWWW))
        .text("CompanyLogo", REF(CompanyLogo))
        .num("PriceRound", REF(PriceRound))
        .text("RapUserName", REF(RapUserName))
        .text("RapPassword", REF(RapPassword))
        .flag("RapWeekly", REF(RapWeekly))
        .flag("RapMonthly", REF(RapMonthly))
        .flag("AverageQuality", REF(AverageQuality))
        .flag("LowerQuality", REF(LowerQuality))
        .text("MemoDisclaimer", REF(MemoDisclaimer))
        .text("SalesDisclaimer", REF(SalesDisclaimer))
        .flag("OvalEQPear", REF(OvalEQPear))
        .flag("AsserEQPear", REF(AsserEQPear))
        .flag("PrincessEQPear", REF(PrincessEQPear))
        .flag("MarquiseEQPear", REF(MarquiseEQPear))
        .flag("EmeraldEQPear", REF(EmeraldEQPear))
        .flag("CushionEQPear", REF(CushionEQPear))
        .flag("RadiantEQPear", REF(RadiantEQPear))
        .flag("TriangleEQPear", REF(TriangleEQPear))
        .flag("HeartEQPear", REF(HeartEQPear))
        .flag("SquareBrilliantEQRound", REF(SquareBrilliantEQRound))
        .flag("RectangleBrilliantEQRound", REF(RectangleBrilliantEQRound))
        .text("roundstonename", REF(roundstonename))
        .flag("GIAanythingelse", REF(GIAanythingelse))
        .flag("CheckLiveStonesOnly", REF(CheckLiveStonesOnly))
        .flag("HideRapUS_CT", REF(HideRapUS_CT))
        .flag("HideRapUS_Stone", REF(HideRapUS_Stone))
        .flag("HideRapMY_Stone", REF(HideRapMY_Stone))
        .flag("HideCostMY_ST", REF(HideCostMY_ST))
        .flag("HideCostUS_ST", REF(HideCostUS_ST))
        .flag("HideSellPriceMY_ST", REF(HideSellPriceMY_ST))
        .flag("HideSellPriceUS_ST", REF(HideSellPriceUS_ST))
        .flag("ShowCostMY_CT", REF(ShowCostMY_CT))
        .flag("ShowCostUS_CT", REF(ShowCostUS_CT))
        .flag("ShowSellPriceMY_CT", REF(ShowSellPriceMY_CT))
        .flag("ShowSellPriceUS_CT", REF(ShowSellPriceUS_CT))
        .flag("ShowLot", REF(ShowLot))
        .flag("ShowDimension", REF(ShowDimension))
        .flag("ShowMemoID", REF(ShowMemoID))
        .flag("ShowReferenceNumber", REF(ShowReferenceNumber))
        .flag("BuyUS", REF(BuyUS))
        .flag("Buylocal", REF(Buylocal))
        .flag("BuyOffRap", REF(BuyOffRap))
        .flag("SellUS", REF(SellUS))
        .flag("SellLocal", REF(SellLocal))
        .flag("SellOffRap", REF(SellOffRap))
        .flag("SellOffRapLX", REF(SellOffRapLX))
        .flag("SellFixedValue", REF(SellFixedValue))
        .flag("LockMemo", REF(LockMemo))
        .flag("FloatValue", REF(FloatValue))
        .flag("PublishDiamondPrices", REF(PublishDiamondPrices))
        .text("Tax1Name", REF(Tax1Name))
        .text("Tax2Name", REF(Tax2Name))
        .text("Tax3Name", REF(Tax3Name))
        .num("Tax1", REF(Tax1))
        .num("Tax2", REF(Tax2))
        .num("Tax3", REF(Tax3));
    for (int i = 0; i < 4; ++i)
        b.out.push_back({QStringLiteral("_tax%1name").arg(i + 1), FieldKind::Text, false, {},
                         [i](Settings &s) -> void * { return &s._taxname[i]; }});
    b.numArray(QStringLiteral("_tax%1"), {1, 2, 3, 4}, [](Settings &s, int i) { return &s._tax[i]; });
    b.num("ExciseTax", REF(ExciseTax))
        .flag("ForceCertificate", REF(ForceCertificate))
        .flag("ForceClarity", REF(ForceClarity))
        .flag("ForceColour", REF(ForceColour))
        .flag("ForceCut", REF(ForceCut))
        .flag("ForceDimension", REF(ForceDimension))
        .flag("ForceLab", REF(ForceLab))
        .flag("AutoSku", REF(AutoSku))
        .text("SKURound", REF(SKURound))
        .text("SKUOther", REF(SKUOther))
        .flag("StoneChange", REF(StoneChange))
        .text("MyCurrencyName", REF(MyCurrencyName))
        .flag("VelmorWholeSale", REF(VelmorWholeSale))
        .flag("DontUseSplits", REF(DontUseSplits))
        .num("StoneFileLimitMB", REF(StoneFileLimitMB))
        .num("dbVersion", REF(dbVersion))
        .num("ExchangeRate", REF(ExchangeRate));

    // The second group: the scanning stations.
    b.store = true;
    b.flag("serialscanning", REF(serialscanning));
    for (int i = 0; i < 20; ++i)
        b.out.push_back({QStringLiteral("Description%1").arg(i + 1), FieldKind::Text, true, {},
                         [i](Settings &s) -> void * { return &s.Description[i]; }});
    for (int i = 0; i < 20; ++i)
        b.out.push_back({QStringLiteral("Deactivate%1").arg(i + 1), FieldKind::Flag, true, {},
                         [i](Settings &s) -> void * { return &s.Deactivate[i]; }});
    return b.out;
}

#undef REF

} // namespace

const std::vector<SettingsField> &settingsFields()
{
    static const std::vector<SettingsField> fields = makeFields();
    return fields;
}

const SettingsField *settingsField(const QString &column)
{
    for (const SettingsField &f : settingsFields())
        if (f.column.compare(column, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

} // namespace velmor
