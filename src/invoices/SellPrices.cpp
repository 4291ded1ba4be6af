#include "invoices/SellPrices.h"


#include <cmath>

namespace velmor::invoices {

QString SellPrices::money(double v)
{
    // A tiny lift so that 2.675 (2.67499.. in binary) still rounds to 2.68.
    const double r = std::floor(std::abs(v) * 100.0 + 0.5 + 1e-7) / 100.0;
    return QString::number(v < 0 && r != 0 ? -r : r, 'f', 2); // never "-0.00"
}

double SellPrices::num(Field f) const
{
    return figures::parseTyped(m_text[f]).value_or(Decimal5()).toDouble();
}

QString SellPrices::fieldName(Field f)
{
    static const char *const names[] = {"Weight",         "RAP $/ct",       "% off RAP",
                                        "US$ per carat",  "US$ per stone",  "CDN$ per carat",
                                        "CDN$ per stone", "ZAR per carat",  "ZAR per stone"};
    return f >= 0 && f < FieldCount ? QString::fromLatin1(names[f]) : QString();
}

SellPrices::Sale SellPrices::sale(const figures::Column &caratColumn, const figures::Column &priceColumn) const
{
    Sale s;
    for (int i = 0; i < FieldCount; ++i)
        if (!figures::isTyped(m_text[i])) {
            s.error = figures::notANumberMessage(fieldName(Field(i)), m_text[i]);
            return s;
        }
    const figures::Reading carat =
        figures::read(m_text[Carat], {fieldName(Carat), caratColumn, figures::Need::Positive});
    if (!carat.ok()) {
        s.error = carat.error;
        return s;
    }
    if (m_exactUScarat) {
        const figures::Reading stone =
            figures::read(m_text[USstone], {fieldName(USstone), figures::Column{19, 2}, figures::Need::Positive});
        if (!stone.ok()) {
            s.error = stone.error;
            return s;
        }
    }
    const QString typed = m_exactUScarat ? m_exactUScarat->toDb() : m_text[UScarat];
    const figures::Reading price = figures::read(typed, {fieldName(UScarat), priceColumn, figures::Need::Positive});
    if (!price.ok()) {
        // A price typed per stone is refused under the name of that field.
        s.error = m_exactUScarat ? QStringLiteral("The %1 \"%2\" cannot be invoiced: %3")
                                       .arg(fieldName(USstone), m_text[USstone].trimmed(), price.error)
                                 : price.error;
        return s;
    }
    s.carat = carat.value.toDb();
    s.priceCarat = price.value.toDb();
    return s;
}

void SellPrices::stepD()
{
    if (m_cdn != 0)
        put(UScarat, num(CDNcarat) / m_cdn);
}

void SellPrices::stepE()
{
    if (m_zar != 0)
        put(UScarat, num(ZARcarat) / m_zar);
}

void SellPrices::stepH()
{
    if (num(Rap) != 0)
        put(RapDiscount, 100.0 - 100.0 / num(Rap) * num(UScarat));
}

void SellPrices::open(const QString &carat, const QString &rap, const QString &discount, const QString &usCarat)
{
    m_text[Carat] = carat;
    m_text[Rap] = rap;
    m_text[RapDiscount] = discount;
    m_text[UScarat] = usCarat;
    stepA();
    stepF();
    stepB();
    stepG();
    stepC();
}

void SellPrices::edit(Field f, const QString &text)
{
    m_text[f] = text;
    m_exactUScarat.reset();
    // A text that is not a figure changes nothing else; the sale refuses it.
    if (!figures::isTyped(text))
        return;
    switch (f) {
    case RapDiscount:
        put(UScarat, num(Rap) / 100.0 * (100.0 - num(RapDiscount)));
        stepA();
        stepF();
        stepB();
        stepG();
        stepC();
        break;
    case USstone:
        // The per-stone price agreed is the per-carat price of the sale.
        if (num(Carat) != 0) {
            const Decimal5 stone = figures::parseTyped(m_text[USstone]).value_or(Decimal5());
            const Decimal5 carat = figures::parseTyped(m_text[Carat]).value_or(Decimal5());
            put(UScarat, num(USstone) / num(Carat));
            m_exactUScarat = stone.dividedBy(carat);
        }
        stepF();
        stepB();
        stepG();
        stepC();
        stepH();
        break;
    case UScarat:
        stepA();
        stepF();
        stepB();
        stepG();
        stepC();
        stepH();
        break;
    case CDNstone:
        if (num(Carat) != 0)
            put(CDNcarat, num(CDNstone) / num(Carat));
        stepD();
        stepA();
        stepG();
        stepC();
        stepH();
        break;
    case CDNcarat:
        stepB();
        stepD();
        stepA();
        stepG();
        stepC();
        stepH();
        break;
    case ZARstone:
        if (num(Carat) != 0)
            put(ZARcarat, num(ZARstone) / num(Carat));
        stepE();
        stepA();
        stepF();
        stepB();
        stepH();
        break;
    case ZARcarat:
        stepC();
        stepE();
        stepA();
        stepF();
        stepB();
        stepH();
        break;
    default:
        break;
    }
}

} // namespace velmor::invoices
