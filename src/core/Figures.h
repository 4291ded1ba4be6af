#pragma once
// Figures: the one exact decimal type, the one rule for reading a figure a
// user typed, and the range of the column a figure is stored in.
//
// Decimal5 holds a whole number of units of 0.00001 (the finest scale of any
// column).  Sums, differences and comparisons are exact; a product or a
// quotient is rounded half away from zero to the scale once.  Values travel
// to and from the database as decimal texts, never through a double.
//
// A typed figure is accepted in the stone screen's shape only: "1234.56",
// "1,234.56" (commas between groups of three), ".5", an optional sign and an
// optional "$".  "0,75", "2,5", "10,000.5.1", "1e6" and "abc" are refused
// with a message that names the field.  The figure is then rounded to the
// scale of its column and checked against the largest value the column
// holds, before anything is written.
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <optional>

namespace velmor {

class Decimal5 {
public:
    static constexpr qint64 kScale = 100000;

    constexpr Decimal5() = default;
    static constexpr Decimal5 fromUnits(qint64 units) { return Decimal5(units); }
    static constexpr Decimal5 whole(qint64 n) { return Decimal5(n * kScale); }

    // A plain decimal text as the database gives it: "12", "-0.5",
    // " +1.25 ", ".5"; more than five decimals are rounded half away from
    // zero.  Empty for anything else ("1,5", "abc", "", beyond 12 digits).
    static std::optional<Decimal5> parse(const QString &text);
    // A database value: Null and an empty text are 0; a value that is not a
    // decimal number gives 0 as well (the columns hold numbers).
    static Decimal5 fromDb(const QVariant &v);
    // A double from a calculation, rounded half away from zero to the scale.
    static Decimal5 fromDouble(double v);

    qint64 units() const { return m_units; }
    bool isZero() const { return m_units == 0; }
    double toDouble() const { return double(m_units) / double(kScale); }

    // Five decimals ("12.50000"), the way the columns store it.
    QString toDb() const { return fixed(5); }
    // Rounded half away from zero to `places` (0..5) decimals.
    QString fixed(int places) const;
    // Rounded to `places` decimals, as a value.
    Decimal5 rounded(int places) const;
    // "#,##0.00": thousands commas, two decimals.
    QString grouped2() const { return grouped(2); }
    // Thousands commas, `places` decimals ("99,999.99999").
    QString grouped(int places) const;

    // this × other, rounded to the scale.
    Decimal5 times(Decimal5 other) const;
    // this ÷ other, rounded to the scale; 0 when other is 0.
    Decimal5 dividedBy(Decimal5 other) const;
    // The exact product or quotient, rounded once, half away from zero, to
    // `places` decimals (0..5): an amount in cents is never rounded twice.
    Decimal5 times(Decimal5 other, int places) const;
    Decimal5 dividedBy(Decimal5 other, int places) const;

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

namespace figures {

// The shape of a DECIMAL(precision, scale) column.
struct Column {
    int precision = 19;
    int scale = 5;
    // The largest value the column holds (99999.99999 for DECIMAL(10,5)).
    Decimal5 largest() const;
};

// The column as the database defines it; DECIMAL(19,5) when the database
// does not say (a column that is not DECIMAL, or no such column).  Answers
// are kept per connection, table and column.
Column columnOf(const QSqlDatabase &db, const QString &table, const QString &column);

// Whether text has the shape of a typed figure (an empty text has).
bool isTyped(const QString &text);
// The typed figure; 0 for an empty text; nothing when the shape is refused.
std::optional<Decimal5> parseTyped(const QString &text);

enum class Need {
    Any,         // any value the column holds (a discount may be negative)
    NotNegative, // 0 or more
    Positive,    // more than 0 after rounding to the column's scale (prices, weights)
};

// One field of a screen: the name the messages use, its column and its need.
struct Field {
    QString name;
    Column column;
    Need need = Need::Any;
};

struct Reading {
    Decimal5 value;  // rounded to the column's scale
    bool empty = false;
    QString error;   // the refusal, naming the field; empty when accepted
    bool ok() const { return error.isEmpty(); }
    double toDouble() const { return value.toDouble(); }
};

// Reads a typed figure for a field: shape, scale, need and range.
Reading read(const QString &typed, const Field &field);

// Reads the figures of one form that go into one table: each call reads a
// field against its column; the first refusal is kept and later calls give
// 0.  A screen reads every field, then shows error() when !ok() and writes
// nothing.
class Reader {
public:
    Reader(const QSqlDatabase &db, const QString &table) : m_db(db), m_table(table) {}
    Decimal5 operator()(const QString &typed, const QString &name, const QString &column, Need need = Need::Any);
    double number(const QString &typed, const QString &name, const QString &column, Need need = Need::Any)
    {
        return (*this)(typed, name, column, need).toDouble();
    }
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    QSqlDatabase m_db;
    QString m_table;
    QString m_error;
};

// The refusal texts, for checks made elsewhere.
QString notANumberMessage(const QString &field, const QString &typed);
QString tooLargeMessage(const QString &field, const QString &typed, const Column &column);
QString notPositiveMessage(const QString &field, const QString &typed, const Column &column);

// A figure for a box: two decimals, "0.00" for zero (never ".00" or "-0.00").
QString boxText(double value, int places = 2);

// n / d rounded half away from zero (d > 0): the one rounding of exact sums.
__int128 roundedDiv(__int128 n, __int128 d);

} // namespace figures
} // namespace velmor
