#include "db/Row.h"

#include <QByteArray>

namespace velmor::db {

QString textOf(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray());
    return v.toString();
}

double numOf(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return 0.0;
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
