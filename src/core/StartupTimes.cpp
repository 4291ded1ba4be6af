#include "core/StartupTimes.h"

#include <QElapsedTimer>
#include <QFile>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

#include <cstdio>

namespace velmor {

void startupMark(const QString &step)
{
    static const bool enabled = qEnvironmentVariableIntValue("VELMOR_STARTUP_TIMES") != 0;
    if (!enabled)
        return;
    static QElapsedTimer clock;
    static qint64 last = 0;
    if (!clock.isValid())
        clock.start();
    const qint64 now = clock.nsecsElapsed();
    // The resident memory at this point (second field of statm, in pages).
    double residentMb = 0;
#ifdef Q_OS_LINUX
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> f = statm.readAll().split(' ');
        if (f.size() > 1)
            residentMb = double(f.at(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    }
#endif
    fprintf(stderr, "start-up %9.1f ms  (+%7.1f)  %7.1f MB  %s\n", double(now) / 1e6, double(now - last) / 1e6,
            residentMb, qPrintable(step));
    fflush(stderr);
    last = now;
}

} // namespace velmor
