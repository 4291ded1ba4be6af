#include "parcels/Decimal5.h"

#include <QRegularExpression>

namespace velmor::parcels {

namespace {

// The largest magnitude the parcel columns hold, with room for sums.
constexpr qint64 kLimit = qint64(1000000000000) * Decimal5::kScale;

// n / d rounded half away from zero (d > 0).
__int128 roundedDiv(__int128 n, __int128 d)
{
    const bool neg = n < 0;
    if (neg)
        n = -n;
    __int128 q = n / d;
    if ((n % d) * 2 >= d)
        ++q;
    return neg ? -q : q;
}

} // namespace

std::optional<Decimal5> Decimal5::parse(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return std::nullopt;
    const QString intPart = m.captured(2);
    QString frac = m.captured(3);
    // Leading zeros do not count towards the size.
    QString digits = intPart;
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() > 12)
        return std::nullopt;
    __int128 units = digits.isEmpty() ? 0 : __int128(digits.toLongLong()) * kScale;
    const QString five = (frac + QStringLiteral("00000")).left(5);
    units += five.toLongLong();
    if (frac.size() > 5 && frac.at(5) >= QLatin1Char('5'))
        ++units;
    if (units > kLimit)
        return std::nullopt;
    const qint64 u = qint64(units);
    return Decimal5(m.captured(1) == QLatin1String("-") ? -u : u);
}

Decimal5 Decimal5::fromDb(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    return parse(v.toString()).value_or(Decimal5());
}

QString Decimal5::fixed(int places) const
{
    places = qBound(0, places, 5);
    qint64 div = 1;
    for (int i = places; i < 5; ++i)
        div *= 10;
    const qint64 r = qint64(roundedDiv(m_units, div)); // units of 10^-places
    const qint64 mag = r < 0 ? -r : r;
    qint64 pow = 1;
    for (int i = 0; i < places; ++i)
        pow *= 10;
    QString s = QString::number(mag / pow);
    if (places > 0)
        s += QLatin1Char('.') + QString::number(mag % pow).rightJustified(places, QLatin1Char('0'));
    return r < 0 ? QLatin1Char('-') + s : s;
}

QString Decimal5::grouped2() const
{
    QString s = fixed(2);
    const bool neg = s.startsWith(QLatin1Char('-'));
    if (neg)
        s.remove(0, 1);
    const int point = s.indexOf(QLatin1Char('.'));
    for (int i = point - 3; i > 0; i -= 3)
        s.insert(i, QLatin1Char(','));
    return neg ? QLatin1Char('-') + s : s;
}

Decimal5 Decimal5::times(Decimal5 other) const
{
    return Decimal5(qint64(roundedDiv(__int128(m_units) * other.m_units, kScale)));
}

Decimal5 Decimal5::dividedBy(Decimal5 other) const
{
    if (other.m_units == 0)
        return {};
    __int128 n = __int128(m_units) * kScale;
    __int128 d = other.m_units;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    return Decimal5(qint64(roundedDiv(n, d)));
}

} // namespace velmor::parcels
