#pragma once
// Carats and money of the parcel side as exact decimals: a whole number of
// units of 0.00001, the scale of the DECIMAL(10,5) columns.  Sums,
// differences and comparisons are exact; a product or quotient is rounded
// half away from zero to the scale once.  Values travel to and from the
// database as decimal texts, never through a double.
#include <QString>
#include <QVariant>
#include <optional>

namespace velmor::parcels {

class Decimal5 {
public:
    static constexpr qint64 kScale = 100000;

    constexpr Decimal5() = default;
    static constexpr Decimal5 fromUnits(qint64 units) { return Decimal5(units); }
    static constexpr Decimal5 whole(qint64 n) { return Decimal5(n * kScale); }

    // "12", "-0.5", " +1.25 ", ".5": the number; more than five decimals are
    // rounded half away from zero.  Empty for anything else ("1,5", "abc", "",
    // a number beyond the range of the columns).
    static std::optional<Decimal5> parse(const QString &text);
    // A database value: Null and an empty text are 0; a value that is not a
    // decimal number gives 0 as well (the columns hold numbers).
    static Decimal5 fromDb(const QVariant &v);

    qint64 units() const { return m_units; }
    bool isZero() const { return m_units == 0; }

    // Five decimals ("12.50000"), the way the columns store it.
    QString toDb() const { return fixed(5); }
    // Rounded half away from zero to `places` (0..5) decimals.
    QString fixed(int places) const;
    // "#,##0.00": thousands commas, two decimals.
    QString grouped2() const;

    // this × other, rounded to the scale.
    Decimal5 times(Decimal5 other) const;
    // this ÷ other, rounded to the scale; 0 when other is 0.
    Decimal5 dividedBy(Decimal5 other) const;

    friend constexpr Decimal5 operator+(Decimal5 a, Decimal5 b) { return Decimal5(a.m_units + b.m_units); }
    friend constexpr Decimal5 operator-(Decimal5 a, Decimal5 b) { return Decimal5(a.m_units - b.m_units); }
    friend constexpr Decimal5 operator-(Decimal5 a) { return Decimal5(-a.m_units); }
    Decimal5 &operator+=(Decimal5 b)
    {
        m_units += b.m_units;
        return *this;
    }
    Decimal5 &operator-=(Decimal5 b)
    {
        m_units -= b.m_units;
        return *this;
    }
    friend constexpr auto operator<=>(Decimal5 a, Decimal5 b) = default;

private:
    constexpr explicit Decimal5(qint64 u) : m_units(u) {}
    qint64 m_units = 0;
};

} // namespace velmor::parcels
