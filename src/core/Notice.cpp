#include "core/Notice.h"

#include <algorithm>

namespace velmor {

int noticeDisplayMs(const QString &text, int minimumMs)
{
    int ms = int(text.size()) * 10; // length / 2 * 20
    if (ms < 3000)
        ms = 3000;
    return std::max(ms, minimumMs);
}

NoticeGeometry noticeGeometry(const QString &text)
{
    NoticeGeometry g;
    const int lines = std::max<int>(1, int(text.size()) / 15);
    g.labelHeightTwips = 735 * lines;
    g.windowHeightTwips = g.labelHeightTwips + 1250;
    return g;
}

} // namespace velmor
