#include "ServerProcesses.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

int serversOn(const QString &dataDir)
{
    const QByteArray wanted = QStringLiteral("--datadir=%1").arg(dataDir).toLocal8Bit();
    int n = 0;
    for (const QString &e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(e));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = f.readAll().split('\0');
        if (!args.isEmpty() && args.first().endsWith("mariadbd") && args.contains(wanted)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(e));
            if (stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z "))
                ++n;
        }
    }
    return n;
}
