#include "db/Row.h"

#include <QByteArray>

#include <algorithm>

namespace velmor::db {

QString textOf(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray());
    return v.toString();
}

namespace {

// A decimal as the server writes it ("-1234.56780": a sign, digits, a point,
// digits) with at most 15 digits: the digits make an integer below 2^53 and
// the point a power of ten up to 10^15, both exact as doubles, so their
// quotient is the double nearest the decimal, the number a full reading of
// the text gives.  Anything else is left to that reading (false).
bool plainDecimal(QStringView s, double *out)
{
    static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0;
    const qsizetype n = s.size();
    const bool negative = n > 0 && s[0] == QLatin1Char('-');
    if (negative)
        ++i;
    qint64 digits = 0;
    int count = 0, decimals = -1;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c >= u'0' && c <= u'9') {
            if (++count > 15)
                return false;
            digits = digits * 10 + (c - u'0');
            if (decimals >= 0)
                ++decimals;
        } else if (c == u'.' && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (count == 0)
        return false;
    const double d = double(digits) / kTens[std::max(decimals, 0)];
    *out = negative ? -d : d;
    return true;
}

} // namespace

double numOf(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return 0.0;
    // The driver hands a decimal over as its text.
    if (v.typeId() == QMetaType::QString) {
        double d;
        if (plainDecimal(*static_cast<const QString *>(v.constData()), &d))
            return d;
    }
    bool ok = false;
    double d = v.toDouble(&ok);
    if (ok)
        return d;
    return leadingNumber(textOf(v));
}

bool flagOf(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return false;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (ok)
        return n != 0;
    const double d = v.toDouble(&ok);
    if (ok)
        return d != 0.0;
    const QString s = v.toString().trimmed().toLower();
    if (s == QLatin1String("true"))
        return true;
    return leadingNumber(s) != 0.0;
}

double leadingNumber(const QString &text)
{
    const QString s = text.trimmed();
    int i = 0;
    const int n = s.size();
    QString digits;
    if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        digits += s[i++];
    bool seenDot = false, seenDigit = false;
    for (; i < n; ++i) {
        const QChar c = s[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            seenDigit = true;
        } else if (c == QLatin1Char('.') && !seenDot) {
            digits += c;
            seenDot = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0.0;
    return digits.toDouble();
}

bool Row::isNull(const QString &name) const
{
    const int i = m_rec.indexOf(name);
    return i < 0 || m_rec.isNull(i);
}

QVariant Row::raw(const QString &name) const
{
    const int i = m_rec.indexOf(name);
    return i < 0 ? QVariant() : m_rec.value(i);
}

QString Row::text(const QString &name) const { return textOf(raw(name)); }
double Row::num(const QString &name) const { return numOf(raw(name)); }
qint64 Row::integer(const QString &name) const { return qint64(numOf(raw(name))); }
bool Row::flag(const QString &name) const { return flagOf(raw(name)); }

QDate Row::date(const QString &name) const
{
    const QVariant v = raw(name);
    if (v.isNull())
        return {};
    return v.toDate();
}

QDateTime Row::dateTime(const QString &name) const
{
    const QVariant v = raw(name);
    if (v.isNull())
        return {};
    return v.toDateTime();
}

} // namespace velmor::db
