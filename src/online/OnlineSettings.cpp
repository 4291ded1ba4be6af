#include "online/OnlineSettings.h"

#include "core/Workstation.h"

namespace velmor::online {

OnlineSettings OnlineSettings::fromWorkstation(const Workstation &ws)
{
    OnlineSettings s;
    for (const QString &line : ws.readLines(fileName())) {
        const QString t = line.trimmed();
        const int eq = t.indexOf(QLatin1Char('='));
        if (t.startsWith(QLatin1Char('#')) || t.startsWith(QLatin1Char(';')) || eq < 0)
            continue;
        const QString key = t.left(eq).trimmed().toLower();
        const QString value = t.mid(eq + 1).trimmed();
        if (value.isEmpty())
            continue;
        auto seconds = [&](int &ms) {
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (ok && v > 0 && v < 86400)
                ms = int(v * 1000);
        };
        if (key == QLatin1String("ipecho"))
            s.ipEcho = value;
        else if (key == QLatin1String("service"))
            s.service = value;
        else if (key == QLatin1String("key"))
            s.key = value;
        else if (key == QLatin1String("servicetimeout"))
            seconds(s.serviceTimeoutMs);
        else if (key == QLatin1String("timeout"))
            seconds(s.answerTimeoutMs);
        else if (key == QLatin1String("agent"))
            s.agent = ws.path(value);
        else if (key == QLatin1String("agenturl"))
            s.agentUrl = value;
        else if (key == QLatin1String("agentsha256"))
            s.agentSha256 = value.toLower();
        else if (key == QLatin1String("documents"))
            s.documents = ws.path(value);
        else if (key == QLatin1String("allowhttp"))
            s.allowHttp = value.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0
                || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || value == QLatin1String("1");
    }
    return s;
}

} // namespace velmor::online
