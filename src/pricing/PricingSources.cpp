#include "pricing/PricingSources.h"

#include "core/Workstation.h"

namespace velmor::pricing {

PricingSources PricingSources::fromWorkstation(const Workstation &ws)
{
    PricingSources s;
    s.priceListHost = QStringLiteral("https://technet.rapaport.com");
    s.exchangeRateHost = QStringLiteral("https://www.x-rates.com");
    s.metalHost = QStringLiteral("http://www.kitco.com");
#ifdef Q_OS_WIN
    s.metalFile = QStringLiteral("C:/mertz.ini");
#else
    s.metalFile = ws.path(QStringLiteral("mertz.ini"));
#endif
    for (const QString &line : ws.readLines(QStringLiteral("pricing.ini"))) {
        const QString t = line.trimmed();
        const int eq = t.indexOf(QLatin1Char('='));
        if (t.startsWith(QLatin1Char('#')) || t.startsWith(QLatin1Char(';')) || eq < 0)
            continue;
        const QString key = t.left(eq).trimmed().toLower();
        QString value = t.mid(eq + 1).trimmed();
        while (value.endsWith(QLatin1Char('/')) && key != QLatin1String("metalfile"))
            value.chop(1);
        if (value.isEmpty())
            continue;
        if (key == QLatin1String("pricelist"))
            s.priceListHost = value;
        else if (key == QLatin1String("exchangerates"))
            s.exchangeRateHost = value;
        else if (key == QLatin1String("metals"))
            s.metalHost = value;
        else if (key == QLatin1String("timeout") && value.toDouble() > 0)
            s.timeoutMs = int(value.toDouble() * 1000);
        else if (key == QLatin1String("metalfile"))
            s.metalFile = ws.path(value);
    }
    return s;
}

} // namespace velmor::pricing
