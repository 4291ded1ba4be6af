#include "core/Figures.h"

#include "db/Sql.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>

namespace velmor {

namespace {

// The largest magnitude a Decimal5 takes, with room for sums.
constexpr qint64 kLimit = qint64(1000000000000) * Decimal5::kScale;

qint64 pow10(int n)
{
    qint64 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

} // namespace

std::optional<Decimal5> Decimal5::parse(const QString &text)
{
    // [+-] digits [. digits], at least one digit, blanks around: read by hand
    // (a report reads this for every figure of every row).
    const QStringView t = QStringView(text).trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    auto digitsFrom = [&](qsizetype from) {
        qsizetype k = from;
        while (k < n && t[k] >= QLatin1Char('0') && t[k] <= QLatin1Char('9'))
            ++k;
        return k;
    };
    const qsizetype intEnd = digitsFrom(i);
    QStringView intPart = t.mid(i, intEnd - i);
    QStringView frac;
    qsizetype end = intEnd;
    if (end < n && t[end] == QLatin1Char('.')) {
        const qsizetype fracEnd = digitsFrom(end + 1);
        frac = t.mid(end + 1, fracEnd - end - 1);
        end = fracEnd;
    }
    if (end != n || (intPart.isEmpty() && frac.isEmpty()))
        return std::nullopt;
    // Leading zeros do not count towards the size.
    while (intPart.size() > 1 && intPart.front() == QLatin1Char('0'))
        intPart = intPart.mid(1);
    if (intPart.size() > 12)
        return std::nullopt;
    __int128 units = intPart.isEmpty() ? 0 : __int128(intPart.toLongLong()) * kScale;
    qint64 five = 0;
    for (int k = 0; k < 5; ++k)
        five = five * 10 + (k < frac.size() ? frac[k].unicode() - '0' : 0);
    units += five;
    if (frac.size() > 5 && frac[5] >= QLatin1Char('5'))
        ++units;
    if (units > kLimit)
        return std::nullopt;
    const qint64 u = qint64(units);
    return Decimal5(negative ? -u : u);
}

Decimal5 Decimal5::fromDb(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    return parse(v.toString()).value_or(Decimal5());
}

Decimal5 Decimal5::fromDouble(double v)
{
    if (!std::isfinite(v))
        return {};
    // 15 significant digits take the noise of binary fractions off
    // (2.675 is 2.67499.. in a double).
    return parse(QString::number(v, 'f', 15 - qBound(0, int(std::log10(std::fabs(v) + 1)) + 1, 15)))
        .value_or(Decimal5());
}

QString Decimal5::fixed(int places) const
{
    places = qBound(0, places, 5);
    const qint64 r = qint64(figures::roundedDiv(m_units, pow10(5 - places))); // units of 10^-places
    const qint64 mag = r < 0 ? -r : r;
    const qint64 pow = pow10(places);
    QString s = QString::number(mag / pow);
    if (places > 0)
        s += QLatin1Char('.') + QString::number(mag % pow).rightJustified(places, QLatin1Char('0'));
    return r < 0 ? QLatin1Char('-') + s : s;
}

Decimal5 Decimal5::rounded(int places) const
{
    places = qBound(0, places, 5);
    const qint64 div = pow10(5 - places);
    return Decimal5(qint64(figures::roundedDiv(m_units, div)) * div);
}

QString Decimal5::grouped(int places) const
{
    QString s = fixed(places);
    const bool neg = s.startsWith(QLatin1Char('-'));
    if (neg)
        s.remove(0, 1);
    int point = s.indexOf(QLatin1Char('.'));
    if (point < 0)
        point = s.size();
    for (int i = point - 3; i > 0; i -= 3)
        s.insert(i, QLatin1Char(','));
    return neg ? QLatin1Char('-') + s : s;
}

Decimal5 Decimal5::times(Decimal5 other) const
{
    return Decimal5(qint64(figures::roundedDiv(__int128(m_units) * other.m_units, kScale)));
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
    return Decimal5(qint64(figures::roundedDiv(n, d)));
}

Decimal5 Decimal5::times(Decimal5 other, int places) const
{
    places = qBound(0, places, 5);
    const qint64 div = pow10(5 - places);
    return Decimal5(qint64(figures::roundedDiv(__int128(m_units) * other.m_units, __int128(kScale) * div)) * div);
}

Decimal5 Decimal5::dividedBy(Decimal5 other, int places) const
{
    if (other.m_units == 0)
        return {};
    places = qBound(0, places, 5);
    const qint64 div = pow10(5 - places);
    __int128 n = __int128(m_units) * kScale;
    __int128 d = __int128(other.m_units) * div;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    return Decimal5(qint64(figures::roundedDiv(n, d)) * div);
}

namespace figures {

Decimal5 Column::largest() const
{
    const int s = qBound(0, scale, 5);
    const int whole = qBound(0, precision - scale, 12);
    // 10^whole - 10^-s
    return Decimal5::fromUnits(pow10(whole) * Decimal5::kScale - pow10(5 - s));
}

Column columnOf(const QSqlDatabase &db, const QString &table, const QString &column)
{
    static QMutex mutex;
    static QHash<QString, Column> known;
    const QString key = db.connectionName() + QLatin1Char('|') + db.databaseName() + QLatin1Char('|')
                        + table.toLower() + QLatin1Char('.') + column.toLower();
    {
        QMutexLocker lock(&mutex);
        const auto it = known.constFind(key);
        if (it != known.constEnd())
            return *it;
    }
    Column c;
    try {
        static const QRegularExpression re(QStringLiteral("^decimal\\((\\d+),(\\d+)\\)"));
        const QRegularExpressionMatch m = re.match(db::columnType(db, table, column).remove(QLatin1Char(' ')));
        if (m.hasMatch()) {
            c.precision = m.captured(1).toInt();
            c.scale = m.captured(2).toInt();
        }
    } catch (...) {
        return c; // not kept: the next call asks again
    }
    QMutexLocker lock(&mutex);
    known.insert(key, c);
    return c;
}

namespace {
// Digits in groups of three with commas, as "1,234,567.5".
const QRegularExpression &groupedNumber()
{
    static const QRegularExpression re(QStringLiteral("^[+-]?\\$?[0-9]{1,3}(,[0-9]{3})+(\\.[0-9]*)?$"));
    return re;
}
const QRegularExpression &plainNumber()
{
    static const QRegularExpression re(QStringLiteral("^[+-]?\\$?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    return re;
}
} // namespace

bool isTyped(const QString &text)
{
    const QString t = text.trimmed();
    return t.isEmpty() || plainNumber().match(t).hasMatch() || groupedNumber().match(t).hasMatch();
}

std::optional<Decimal5> parseTyped(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return Decimal5();
    if (!isTyped(t))
        return std::nullopt;
    t.remove(QLatin1Char('$'));
    t.remove(QLatin1Char(','));
    return Decimal5::parse(t);
}

QString notANumberMessage(const QString &field, const QString &typed)
{
    return QStringLiteral("The %1 \"%2\" is not a number.\n\nPlease type decimals with a point (0.75); "
                          "a comma may only separate thousands (1,234.56).")
        .arg(field, typed.trimmed());
}

QString tooLargeMessage(const QString &field, const QString &typed, const Column &column)
{
    return QStringLiteral("The %1 \"%2\" is too large: the largest value it takes is %3.")
        .arg(field, typed.trimmed(), column.largest().grouped(qBound(0, column.scale, 5)));
}

QString notPositiveMessage(const QString &field, const QString &typed, const Column &column)
{
    const QString t = typed.trimmed();
    const std::optional<Decimal5> v = parseTyped(t);
    static const QRegularExpression someDigit(QStringLiteral("[1-9]"));
    if (!t.isEmpty() && v && !(*v < Decimal5()) && !t.startsWith(QLatin1Char('-')) && t.contains(someDigit))
        return QStringLiteral("The %1 must be more than 0: \"%2\" is 0 at %3 decimals.")
            .arg(field, t)
            .arg(qBound(0, column.scale, 5));
    return QStringLiteral("The %1 must be more than 0.").arg(field);
}

Reading read(const QString &typed, const Field &field)
{
    Reading r;
    const QString t = typed.trimmed();
    r.empty = t.isEmpty();
    const std::optional<Decimal5> v = parseTyped(t);
    if (!v) {
        // Digits beyond what any column holds are a figure too large, not
        // a figure of the wrong shape.
        r.error = isTyped(t) ? tooLargeMessage(field.name, t, field.column) : notANumberMessage(field.name, t);
        return r;
    }
    r.value = v->rounded(field.column.scale);
    const Decimal5 largest = field.column.largest();
    if (r.value > largest || r.value < -largest) {
        r.error = tooLargeMessage(field.name, t, field.column);
        return r;
    }
    if (field.need == Need::Positive && r.value <= Decimal5())
        r.error = notPositiveMessage(field.name, t, field.column);
    else if (field.need == Need::NotNegative && r.value < Decimal5())
        r.error = QStringLiteral("The %1 cannot be below 0.").arg(field.name);
    return r;
}

Decimal5 Reader::operator()(const QString &typed, const QString &name, const QString &column, Need need)
{
    if (!m_error.isEmpty())
        return {};
    const Reading r = read(typed, {name, columnOf(m_db, m_table, column), need});
    if (!r.ok()) {
        m_error = r.error;
        return {};
    }
    return r.value;
}

QString boxText(double value, int places)
{
    QString s = Decimal5::fromDouble(value).fixed(places);
    if (s.startsWith(QLatin1Char('-')) && Decimal5::parse(s)->isZero())
        s.remove(0, 1);
    return s;
}

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

} // namespace figures
} // namespace velmor
