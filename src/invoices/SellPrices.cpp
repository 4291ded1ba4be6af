#include "invoices/SellPrices.h"

#include "db/Row.h"

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
    return db::leadingNumber(m_text[f]);
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
        if (num(Carat) != 0)
            put(UScarat, num(USstone) / num(Carat));
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
