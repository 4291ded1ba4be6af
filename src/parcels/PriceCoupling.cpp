#include "parcels/PriceCoupling.h"

#include "parcels/Decimal5.h"

namespace velmor::parcels {

namespace {
Decimal5 value(const QString &t) { return Decimal5::parse(t).value_or(Decimal5()); }
} // namespace

PriceCoupling::PriceCoupling(double rateCDN, double rateZAR)
    : m_rateCDN(QString::number(rateCDN, 'f', 5)), m_rateZAR(QString::number(rateZAR, 'f', 5))
{
}

bool PriceCoupling::usChanged(const QString &text)
{
    if (guard)
        return false;
    us = text;
    const Decimal5 u = value(text);
    cdn = u.times(value(m_rateCDN)).fixed(2);
    zar = u.times(value(m_rateZAR)).fixed(2);
    return true;
}

bool PriceCoupling::cdnChanged(const QString &text)
{
    if (guard)
        return false;
    cdn = text;
    const Decimal5 u = value(text).dividedBy(value(m_rateCDN));
    us = u.fixed(2);
    zar = u.times(value(m_rateZAR)).fixed(2);
    return true;
}

bool PriceCoupling::zarChanged(const QString &text)
{
    if (guard)
        return false;
    zar = text;
    const Decimal5 u = value(text).dividedBy(value(m_rateZAR));
    us = u.fixed(2);
    cdn = u.times(value(m_rateCDN)).fixed(2);
    return true;
}

} // namespace velmor::parcels
