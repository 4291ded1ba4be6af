#include "stones/StonePrices.h"

#include "core/Figures.h"
#include "core/KnownRates.h"
#include "db/Row.h"
#include "pricing/SellingPrice.h"

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
    // A discount off no list price gives no price: the price stays.
    if (v(LatestRapPrice) == 0)
        return;
    write(ct, discounted(off));
    write(st, perStone(ct));
}

void StonePriceModel::sellPriceChanged(bool listing)
{
    Guard g(m_guard);
    const Field off = listing ? SellOffRapLX : SellOffRap;
    const Field ct = listing ? SellPriceCTLX : SellPriceCT;
    const Field st = listing ? SellPriceLX : SellPrice;
    if (v(st) == 0 || w() == 0)
        return;
    write(ct, dec(st).dividedBy(dec(Weight), 2).fixed(2));
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
    write(st, perStone(ct));
}

void StonePriceModel::latestRapPriceChanged()
{
    Guard g(m_guard);
    write(USRap, fmt(v(LatestRapPrice) * w()));
    auto follow = [this](bool byPercent, Field off, Field ct, Field st) {
        if (v(LatestRapPrice) == 0) {
            return; // no list price: the selling prices stay as they were
        } else if (byPercent) {
            write(ct, discounted(off));
            write(st, perStone(ct));
        } else if (v(LatestRapPrice) != 0) {
            write(off, fmt(100 - v(ct) * 100 / v(LatestRapPrice)));
            write(st, perStone(ct));
        }
    };
    follow(lockPercent, SellOffRap, SellPriceCT, SellPrice);
    // The listing tier only where the dealer filled it: an empty tier
    // stays empty (no full list price, no 100 % off).
    if (filled(SellOffRapLX, SellPriceLX))
        follow(lockPercentLX, SellOffRapLX, SellPriceCTLX, SellPriceLX);
}

QString StonePriceModel::discounted(Field off) const
{
    return pricing::sellPerCarat(dec(LatestRapPrice), dec(off), int(priceStep)).fixed(2);
}

Decimal5 StonePriceModel::dec(Field f) const
{
    return figures::parseTyped(m_text[f]).value_or(Decimal5());
}

QString StonePriceModel::perStone(Field perCarat) const
{
    return dec(perCarat).times(dec(Weight), 2).fixed(2);
}

bool StonePriceModel::filled(Field off, Field stone) const
{
    return dec(stone) > Decimal5() || !dec(off).isZero();
}

// Tiers 2 and 3 ----------------------------------------------------------------

QString StonePriceModel::local(Decimal5 us) const
{
    const std::optional<Decimal5> l = convertedAmount(us, rate);
    return l ? l->fixed(2) : QString();
}

QString StonePriceModel::localPerCarat(Field localStone) const
{
    // Derived from the amount per stone, as every per-carat figure is.
    if (m_text[localStone].isEmpty() || dec(Weight).isZero())
        return QString();
    return dec(localStone).dividedBy(dec(Weight), 2).fixed(2);
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
    write(ct, dec(st).dividedBy(dec(Weight), 2).fixed(2));
    write(lst, local(dec(st)));
    write(lct, localPerCarat(lst));
    if (!lockPercent && v(USRap) != 0)
        write(off, fmt(100 - round2(price * 100 / v(USRap))));
}

void StonePriceModel::sellPriceCTTierChanged(int tier)
{
    Guard g(m_guard);
    const Field ct = tierField(tier, SellPriceCT2), st = tierField(tier, SellPrice2),
                lct = tierField(tier, SellPriceLocalCT2), lst = tierField(tier, SellPriceLocal2);
    write(st, perStone(ct));
    write(lst, local(dec(st)));
    write(lct, localPerCarat(lst));
}

void StonePriceModel::sellPriceLocalTierChanged(int tier)
{
    Guard g(m_guard);
    const Field ct = tierField(tier, SellPriceCT2), st = tierField(tier, SellPrice2),
                lct = tierField(tier, SellPriceLocalCT2), lst = tierField(tier, SellPriceLocal2);
    // At an unknown rate nothing follows from a local price (the save
    // refuses it, naming the rate).
    const std::optional<Decimal5> r = rateFigure(rate);
    if (!r)
        return;
    write(st, dec(lst).dividedBy(*r, 2).fixed(2));
    if (w() != 0) {
        write(lct, localPerCarat(lst));
        write(ct, dec(st).dividedBy(dec(Weight), 2).fixed(2));
    }
}

void StonePriceModel::sellPriceLocalCTTierChanged(int tier)
{
    Guard g(m_guard);
    const Field ct = tierField(tier, SellPriceCT2), st = tierField(tier, SellPrice2),
                lct = tierField(tier, SellPriceLocalCT2), lst = tierField(tier, SellPriceLocal2);
    const std::optional<Decimal5> r = rateFigure(rate);
    if (!r)
        return;
    write(lst, perStone(lct));
    write(st, dec(lst).dividedBy(*r, 2).fixed(2));
    if (w() != 0)
        write(ct, dec(st).dividedBy(dec(Weight), 2).fixed(2));
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
    // Tiers the dealer never filled stay empty.
    for (int tier : {2, 3})
        if (dec(tierField(tier, SellPrice2)) > Decimal5())
            sellPriceTierChanged(tier);
}

} // namespace velmor::stones
