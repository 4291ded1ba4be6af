#include "invoices/SellPrices.h"

#include "core/KnownRates.h"
#include "pricing/SellingPrice.h"

#include <cmath>

namespace velmor::invoices {

QString SellPrices::money(double v)
{
    return Decimal5::fromDouble(v).fixed(2).replace(QStringLiteral("-0.00"), QStringLiteral("0.00"));
}

QString SellPrices::fieldName(Field f)
{
    static const char *const names[] = {"Weight",         "RAP $/ct",       "% off RAP",
                                        "US$ per carat",  "US$ per stone",  "CDN$ per carat",
                                        "CDN$ per stone", "ZAR per carat",  "ZAR per stone"};
    return f >= 0 && f < FieldCount ? QString::fromLatin1(names[f]) : QString();
}

void SellPrices::setRates(double cdn, double zar)
{
    m_cdn = rateFigure(cdn);
    m_zar = rateFigure(zar);
}

void SellPrices::open(const QString &carat, const QString &rap, const QString &discount, const QString &usCarat)
{
    m_text[Carat] = carat;
    m_text[Rap] = rap;
    m_text[RapDiscount] = discount;
    m_text[UScarat] = usCarat;
    m_basis = UScarat;
    recompute();
    m_text[RapDiscount] = discount; // as the stone holds it
}

void SellPrices::openStone(const QString &carat, const QString &rap, const QString &discount, const QString &usStone)
{
    m_text[Carat] = carat;
    m_text[Rap] = rap;
    m_text[RapDiscount] = discount;
    m_text[USstone] = usStone;
    m_basis = USstone;
    recompute();
    m_text[RapDiscount] = discount;
}

void SellPrices::edit(Field f, const QString &text)
{
    m_text[f] = text;
    if (f == Carat || f == Rap)
        return; // the stone's own figures
    m_basis = f;
    recompute();
}

void SellPrices::recompute()
{
    m_usStone.reset();
    m_usCarat.reset();
    m_agreedCDN.reset();
    m_agreedZAR.reset();
    // A text that is not a figure changes nothing else; the sale refuses it.
    const std::optional<Decimal5> typed = figure(m_basis);
    if (!typed)
        return;
    const Decimal5 w = figure(Carat).value_or(Decimal5());
    const Decimal5 rap = figure(Rap).value_or(Decimal5());
    const bool weighed = w > Decimal5();
    std::optional<Decimal5> us, perCarat;
    auto fromLocal = [&](const std::optional<Decimal5> &rate, bool perStone, std::optional<Decimal5> &agreed) {
        if (!rate)
            return false; // nothing can follow from a price at an unknown rate
        if (perStone)
            agreed = typed->rounded(2);
        else if (weighed)
            agreed = typed->times(w, 2);
        if (!agreed)
            return false;
        us = agreed->dividedBy(*rate, 2);
        return true;
    };
    switch (m_basis) {
    case RapDiscount:
        perCarat = pricing::sellPerCarat(rap, *typed, m_step);
        break;
    case UScarat:
        perCarat = *typed;
        break;
    case USstone:
        us = typed->rounded(2);
        break;
    case CDNcarat:
    case CDNstone:
        if (!fromLocal(m_cdn, m_basis == CDNstone, m_agreedCDN))
            return;
        break;
    case ZARcarat:
    case ZARstone:
        if (!fromLocal(m_zar, m_basis == ZARstone, m_agreedZAR))
            return;
        break;
    default:
        return;
    }
    if (perCarat && weighed)
        us = perCarat->times(w, 2);
    if (!perCarat && us && weighed)
        perCarat = us->dividedBy(w, 5);
    m_usStone = us;
    m_usCarat = perCarat;

    if (perCarat)
        put(UScarat, perCarat->fixed(2));
    if (us)
        put(USstone, us->fixed(2));
    auto local = [&](const std::optional<Decimal5> &rate, const std::optional<Decimal5> &agreed, Field ct, Field st) {
        if (!rate) {
            put(ct, QString());
            put(st, QString());
            return;
        }
        const std::optional<Decimal5> amount = agreed ? agreed : us ? std::optional<Decimal5>(convertedAmount(*us, *rate))
                                                                  : std::nullopt;
        if (!amount)
            return;
        put(st, amount->fixed(2));
        if (weighed)
            put(ct, amount->dividedBy(w, 2).fixed(2));
    };
    local(m_cdn, m_agreedCDN, CDNcarat, CDNstone);
    local(m_zar, m_agreedZAR, ZARcarat, ZARstone);
    if (perCarat && rap != Decimal5())
        put(RapDiscount, (rap - *perCarat).times(Decimal5::whole(100)).dividedBy(rap, 2).fixed(2));
}

SellPrices::Sale SellPrices::sale(const figures::Column &caratColumn, const figures::Column &priceColumn) const
{
    Sale s;
    for (int i = 0; i < FieldCount; ++i)
        if (!figures::isTyped(m_text[i])) {
            s.error = figures::notANumberMessage(fieldName(Field(i)), m_text[i]);
            return s;
        }
    if ((m_basis == CDNcarat || m_basis == CDNstone) && !m_cdn) {
        s.missingRate = 'C';
        return s;
    }
    if ((m_basis == ZARcarat || m_basis == ZARstone) && !m_zar) {
        s.missingRate = 'Z';
        return s;
    }
    const figures::Reading carat =
        figures::read(m_text[Carat], {fieldName(Carat), caratColumn, figures::Need::Positive});
    if (!carat.ok()) {
        s.error = carat.error;
        return s;
    }
    const bool perStone = m_basis == USstone || m_basis == CDNstone || m_basis == ZARstone;
    if (perStone) {
        const figures::Reading stone =
            figures::read(m_text[m_basis], {fieldName(m_basis), figures::Column{19, 2}, figures::Need::Positive});
        if (!stone.ok()) {
            s.error = stone.error;
            return s;
        }
    }
    const QString typed = m_usCarat ? m_usCarat->toDb() : m_text[UScarat];
    const figures::Reading price = figures::read(typed, {fieldName(UScarat), priceColumn, figures::Need::Positive});
    if (!price.ok()) {
        // A price typed elsewhere is refused under the name of its field.
        s.error = m_basis == UScarat ? price.error
                                     : QStringLiteral("The %1 \"%2\" cannot be invoiced: %3")
                                           .arg(fieldName(m_basis), m_text[m_basis].trimmed(), price.error);
        return s;
    }
    s.carat = carat.value.toDb();
    s.priceCarat = price.value.toDb();
    if (m_agreedCDN)
        s.amountCDN = m_agreedCDN->fixed(2);
    if (m_agreedZAR)
        s.amountZAR = m_agreedZAR->fixed(2);
    return s;
}

} // namespace velmor::invoices
