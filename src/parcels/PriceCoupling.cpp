#include "parcels/PriceCoupling.h"

#include "core/Figures.h"
#include "parcels/Decimal5.h"

namespace velmor::parcels {

namespace {
Decimal5 value(const QString &t) { return figures::parseTyped(t).value_or(Decimal5()); }
// An amount at a rate; nothing at an unknown rate (0).
QString at(Decimal5 us, const QString &rate) { return value(rate).isZero() ? QString() : us.times(value(rate)).fixed(2); }
} // namespace

PriceCoupling::PriceCoupling(double rateCDN, double rateZAR)
    : m_rateCDN(QString::number(rateCDN, 'f', 5)), m_rateZAR(QString::number(rateZAR, 'f', 5))
{
}

bool PriceCoupling::typedAtUnknownRate() const
{
    return (typedIn == 'C' && value(m_rateCDN).isZero()) || (typedIn == 'Z' && value(m_rateZAR).isZero());
}

bool PriceCoupling::usChanged(const QString &text)
{
    if (guard)
        return false;
    us = text;
    typedIn = 'U';
    // A text that is not a figure fills nothing; the save refuses it.
    if (!figures::isTyped(text))
        return false;
    const Decimal5 u = value(text);
    cdn = at(u, m_rateCDN);
    zar = at(u, m_rateZAR);
    return true;
}

bool PriceCoupling::cdnChanged(const QString &text)
{
    if (guard)
        return false;
    cdn = text;
    typedIn = 'C';
    if (!figures::isTyped(text) || value(m_rateCDN).isZero())
        return false;
    const Decimal5 u = value(text).dividedBy(value(m_rateCDN));
    us = u.fixed(2);
    zar = at(u, m_rateZAR);
    return true;
}

bool PriceCoupling::zarChanged(const QString &text)
{
    if (guard)
        return false;
    zar = text;
    typedIn = 'Z';
    if (!figures::isTyped(text) || value(m_rateZAR).isZero())
        return false;
    const Decimal5 u = value(text).dividedBy(value(m_rateZAR));
    us = u.fixed(2);
    cdn = at(u, m_rateCDN);
    return true;
}

} // namespace velmor::parcels
