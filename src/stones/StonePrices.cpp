#include "stones/StonePrices.h"

#include "core/Figures.h"
#include "core/KnownRates.h"
#include "db/Row.h"

#include <QStringList>
#include <cmath>

namespace velmor::stones {

namespace {

// x with the noise of binary fractions taken off (2.675 * 100 is
// 267.49999999999997 in a double; 15 significant digits give 267.5 back).
double clean(double x)
{
    if (!std::isfinite(x))
        return 0.0;
    return QString::number(x, 'g', 15).toDouble();
}

const std::array<const char *, StonePriceModel::FieldCount> kNames = {
    "txtOriginalRapPrice", "txtOriginalRapPriceUS", "txtOriginalBuyOffRap", "txtBoughtPriceUSCT",
    "txtBoughtPriceUS",    "txtLatestRapPrice",     "txtUSRap",             "txtSellOffRap",
    "txtSellPriceCT",      "txtSellPrice",          "txtSellOffRapLX",      "txtSellPriceCTLX",
    "txtSellPriceLX",      "txtSellOffRap2",        "txtSellPriceCT2",      "txtSellPrice2",
    "txtSellPriceLocalCT2", "txtSellPriceLocal2",   "txtSellOffRap3",       "txtSellPriceCT3",
    "txtSellPrice3",       "txtSellPriceLocalCT3",  "txtSellPriceLocal3",   "txtWeight",
};

} // namespace

QString fmt(double value)
{
    const double scaled = clean(value * 100.0);
    const double r = std::copysign(std::floor(std::fabs(scaled) + 0.5), scaled) / 100.0;
    QString s = QString::number(r, 'f', 2);
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

double round2(double value)
{
    return std::floor(clean(value * 100.0) + 0.5) / 100.0;
}

bool isTypedNumber(const QString &text) { return figures::isTyped(text); }

double fieldValue(const QString &text)
{
    // The figure at full precision for the calculations; 0 for a text that
    // is not one (a save refuses such a text before it is used).
    if (!figures::isTyped(text))
        return 0.0;
    QString t = text.trimmed();
    t.remove(QLatin1Char('$'));
    t.remove(QLatin1Char(','));
    return t.toDouble();
}

class StonePriceModel::Guard {
public:
    explicit Guard(bool &flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~Guard() { m_flag = m_was; }

private:
    bool &m_flag;
    bool m_was;
};

QString StonePriceModel::fieldName(Field f)
{
    return f >= 0 && f < FieldCount ? QString::fromLatin1(kNames[f]) : QString();
}

StonePriceModel::Field StonePriceModel::fieldByName(const QString &name)
{
    for (int i = 0; i < FieldCount; ++i)
        if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0)
            return Field(i);
    return FieldCount;
}

void StonePriceModel::clear()
{
    for (QString &s : m_text)
        s.clear();
}

void StonePriceModel::write(Field f, const QString &text)
{
    m_text[f] = text;
    if (onWrite)
        onWrite(f, text);
}

void StonePriceModel::edit(Field f, const QString &text)
{
    if (m_guard) {
        // A handler is writing this field: keep the text it wrote.
        return;
    }
    m_text[f] = text;
    runHandler(f);
}

void StonePriceModel::runHandler(Field f)
{
    switch (f) {
    case BoughtPriceUS: boughtPriceUSChanged(); break;
    case BoughtPriceUSCT: boughtPriceUSCTChanged(); break;
    case OriginalBuyOffRap: originalBuyOffRapChanged(); break;
    case OriginalRapPrice: originalRapPriceChanged(); break;
    case LatestRapPrice: latestRapPriceChanged(); break;
    case SellOffRap: sellOffRapChanged(false); break;
    case SellPrice: sellPriceChanged(false); break;
    case SellPriceCT: sellPriceCTChanged(false); break;
    case SellOffRapLX: sellOffRapChanged(true); break;
    case SellPriceLX: sellPriceChanged(true); break;
    case SellPriceCTLX: sellPriceCTChanged(true); break;
    case SellOffRap2: sellOffRapTierChanged(2); break;
    case SellOffRap3: sellOffRapTierChanged(3); break;
    case SellPrice2: sellPriceTierChanged(2); break;
    case SellPrice3: sellPriceTierChanged(3); break;
    case SellPriceCT2: sellPriceCTTierChanged(2); break;
    case SellPriceCT3: sellPriceCTTierChanged(3); break;
    case SellPriceLocal2: sellPriceLocalTierChanged(2); break;
    case SellPriceLocal3: sellPriceLocalTierChanged(3); break;
    case SellPriceLocalCT2: sellPriceLocalCTTierChanged(2); break;
    case SellPriceLocalCT3: sellPriceLocalCTTierChanged(3); break;
    case Weight: weightChanged(); break;
    default: break; // the list values are shown only
    }
}

// Buying side ---------------------------------------------------------------

void StonePriceModel::boughtPriceUSChanged()
{
    Guard g(m_guard);
    if (v(BoughtPriceUS) == 0 || w() == 0)
        return;
    write(BoughtPriceUSCT, fmt(v(BoughtPriceUS) / w()));
    if (v(OriginalRapPrice) != 0)
        write(OriginalBuyOffRap, fmt(100 - v(BoughtPriceUSCT) * 100 / v(OriginalRapPrice)));
}

void StonePriceModel::boughtPriceUSCTChanged()
{
    Guard g(m_guard);
    if (v(BoughtPriceUSCT) == 0)
        return;
    if (v(OriginalRapPrice) != 0)
        write(OriginalBuyOffRap, fmt(100 - v(BoughtPriceUSCT) * 100 / v(OriginalRapPrice)));
    write(BoughtPriceUS, fmt(v(BoughtPriceUSCT) * w()));
}

void StonePriceModel::originalBuyOffRapChanged()
{
    Guard g(m_guard);
    write(BoughtPriceUSCT, fmt(v(OriginalRapPrice) / 100 * (100 - v(OriginalBuyOffRap))));
    write(BoughtPriceUS, fmt(v(BoughtPriceUSCT) * w()));
}

void StonePriceModel::originalRapPriceChanged()
{
    Guard g(m_guard);
    write(OriginalRapPriceUS, fmt(v(OriginalRapPrice) * w()));
    write(BoughtPriceUSCT, fmt(v(OriginalRapPrice) / 100 * (100 - v(OriginalBuyOffRap))));
    write(BoughtPriceUS, fmt(v(BoughtPriceUSCT) * w()));
}

// Selling tier 1 and the listing tier ----------------------------------------

void StonePriceModel::sellOffRapChanged(bool listing)
{
    Guard g(m_guard);
    const Field off = listing ? SellOffRapLX : SellOffRap;
    const Field ct = listing ? SellPriceCTLX : SellPriceCT;
    const Field st = listing ? SellPriceLX : SellPrice;
    write(ct, discounted(off));
    write(st, fmt(v(ct) * w()));
}

void StonePriceModel::sellPriceChanged(bool listing)
{
    Guard g(m_guard);
    const Field off = listing ? SellOffRapLX : SellOffRap;
    const Field ct = listing ? SellPriceCTLX : SellPriceCT;
    const Field st = listing ? SellPriceLX : SellPrice;
    if (v(st) == 0 || w() == 0)
        return;
    write(ct, fmt(v(st) / w()));
    if (v(LatestRapPrice) != 0)
        write(off, fmt(100 - v(ct) * 100 / v(LatestRapPrice)));
}

void StonePriceModel::sellPriceCTChanged(bool listing)
{
    Guard g(m_guard);
    const Field off = listing ? SellOffRapLX : SellOffRap;
    const Field ct = listing ? SellPriceCTLX : SellPriceCT;
    const Field st = listing ? SellPriceLX : SellPrice;
    if (v(ct) == 0)
        return;
    if (v(LatestRapPrice) != 0)
        write(off, fmt(100 - v(ct) * 100 / v(LatestRapPrice)));
    write(st, fmt(v(ct) * w()));
}

void StonePriceModel::latestRapPriceChanged()
{
    Guard g(m_guard);
    write(USRap, fmt(v(LatestRapPrice) * w()));
    auto follow = [this](bool byPercent, Field off, Field ct, Field st) {
        if (byPercent) {
            write(ct, discounted(off));
            write(st, fmt(v(ct) * w()));
        } else if (v(LatestRapPrice) != 0) {
            write(off, fmt(100 - v(ct) * 100 / v(LatestRapPrice)));
            write(st, fmt(v(ct) * w()));
        }
    };
    follow(lockPercent, SellOffRap, SellPriceCT, SellPrice);
    follow(lockPercentLX, SellOffRapLX, SellPriceCTLX, SellPriceLX);
}

QString StonePriceModel::discounted(Field off) const
{
    const double price = v(LatestRapPrice) / 100 * (100 - v(off));
    if (priceStep <= 0)
        return fmt(price);
    return fmt(std::floor(clean(price / priceStep) + 0.5) * priceStep);
}

// Tiers 2 and 3 ----------------------------------------------------------------

QString StonePriceModel::local(double us) const
{
    return rateKnown(rate) ? fmt(round2(us * rate)) : QString();
}

StonePriceModel::Field StonePriceModel::tierField(int tier, Field tier2Field) const
{
    // Tier 3's fields follow tier 2's in the same order.
    return tier == 3 ? Field(tier2Field + (SellOffRap3 - SellOffRap2)) : tier2Field;
}

void StonePriceModel::sellPriceTierChanged(int tier)
{
    Guard g(m_guard);
    const Field off = tierField(tier, SellOffRap2), ct = tierField(tier, SellPriceCT2),
                st = tierField(tier, SellPrice2), lct = tierField(tier, SellPriceLocalCT2),
                lst = tierField(tier, SellPriceLocal2);
    if (w() == 0)
        return;
    const double price = v(st);
    write(ct, fmt(round2(price / w())));
    write(lct, local(price / w()));
    write(lst, local(price));
    if (!lockPercent && v(USRap) != 0)
        write(off, fmt(100 - round2(price * 100 / v(USRap))));
}

void StonePriceModel::sellPriceCTTierChanged(int tier)
{
    Guard g(m_guard);
    const Field ct = tierField(tier, SellPriceCT2), st = tierField(tier, SellPrice2),
                lct = tierField(tier, SellPriceLocalCT2), lst = tierField(tier, SellPriceLocal2);
    const double perCarat = v(ct);
    write(lct, local(perCarat));
    write(st, fmt(round2(perCarat * w())));
    write(lst, local(perCarat * w()));
}

void StonePriceModel::sellPriceLocalTierChanged(int tier)
{
    Guard g(m_guard);
    const Field ct = tierField(tier, SellPriceCT2), st = tierField(tier, SellPrice2),
                lct = tierField(tier, SellPriceLocalCT2), lst = tierField(tier, SellPriceLocal2);
    const double local = v(lst);
    if (rate != 0)
        write(st, fmt(round2(local / rate)));
    if (w() != 0) {
        write(lct, fmt(round2(local / w())));
        if (rate != 0)
            write(ct, fmt(round2(local / rate / w())));
    }
}

void StonePriceModel::sellPriceLocalCTTierChanged(int tier)
{
    Guard g(m_guard);
    const Field ct = tierField(tier, SellPriceCT2), st = tierField(tier, SellPrice2),
                lct = tierField(tier, SellPriceLocalCT2), lst = tierField(tier, SellPriceLocal2);
    const double localPerCarat = v(lct);
    if (rate != 0) {
        write(ct, fmt(round2(localPerCarat / rate)));
        write(st, fmt(round2(localPerCarat / rate * w())));
    }
    write(lst, fmt(round2(localPerCarat * w())));
}

// A tier's discount was typed: its per-carat price follows from the current
// list price and the rest of the tier from the per-carat price.
void StonePriceModel::sellOffRapTierChanged(int tier)
{
    Guard g(m_guard);
    const Field off = tierField(tier, SellOffRap2), ct = tierField(tier, SellPriceCT2);
    if (v(LatestRapPrice) == 0)
        return;
    write(ct, discounted(off));
    sellPriceCTTierChanged(tier);
}

void StonePriceModel::weightChanged()
{
    Guard g(m_guard);
    latestRapPriceChanged();
    boughtPriceUSChanged();
    sellPriceChanged(false);
    sellPriceTierChanged(2);
    sellPriceTierChanged(3);
}

} // namespace velmor::stones
