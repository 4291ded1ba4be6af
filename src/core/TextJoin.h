#pragma once
// Address lines on paper and screen: the parts that are filled, joined, so
// that an empty province leaves no trailing comma ("Montreal", not
// "Montreal,"); and a phone number as every paper prints it.
#include <QString>
#include <QStringList>

namespace velmor {

inline QString joinFilled(const QStringList &parts, const QString &separator = QStringLiteral(", "))
{
    QStringList filled;
    for (const QString &p : parts)
        if (!p.trimmed().isEmpty())
            filled << p.trimmed();
    return filled.join(separator);
}

// "###-###-####" for a number of ten digits (whatever stands between
// them); any other number as typed.
inline QString phoneText(const QString &phone)
{
    QString digits;
    for (QChar c : phone)
        if (c.isDigit())
            digits += c;
    if (digits.size() != 10)
        return phone;
    return digits.left(3) + QLatin1Char('-') + digits.mid(3, 3) + QLatin1Char('-') + digits.mid(6);
}

} // namespace velmor
