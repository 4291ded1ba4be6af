#include "db/FaultPoint.h"

#include <QByteArray>

#include <csignal>
#include <unistd.h>

namespace velmor::db {

void faultPoint(const char *name)
{
    // "name" kills at the first pass, "name@N" at the N-th.
    static const QByteArray wanted = qgetenv("VELMOR_KILL_AT");
    static int passes = 0;
    if (wanted.isEmpty())
        return;
    const int at = wanted.indexOf('@');
    const QByteArray point = at < 0 ? wanted : wanted.left(at);
    if (point != name)
        return;
    const int nth = at < 0 ? 1 : wanted.mid(at + 1).toInt();
    if (++passes < nth)
        return;
    ::kill(::getpid(), SIGKILL);
    ::pause();
}

} // namespace velmor::db
