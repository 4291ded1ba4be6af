#include "core/Wait.h"

#include <QCoreApplication>
#include <QThread>
#include <QTime>
#include <algorithm>

namespace velmor {

WaitClock systemWaitClock()
{
    return {[] { return QTime::currentTime().second(); },
            [] {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                QThread::msleep(10);
            }};
}

int WaitModule(int seconds, const WaitClock &clock)
{
    seconds = std::min(seconds, 59);
    const int s0 = clock.currentSecond();
    int elapsed = 0;
    int turns = 0;
    while (elapsed < seconds) {
        clock.yield();
        ++turns;
        int s = clock.currentSecond();
        if (s < s0)
            s += 60;
        elapsed = s - s0;
    }
    return turns;
}

} // namespace velmor
