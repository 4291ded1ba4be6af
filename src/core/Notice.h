#pragma once
// The timed notice's rules: how long it stays and how tall its labels are.
// Lengths are in twips as the screens were drawn (15 twips a pixel).
#include <QString>

namespace velmor {

// length/2*20 ms (ten a character), at least 3000, or the given minimum when larger.
int noticeDisplayMs(const QString &text, int minimumMs = 0);

struct NoticeGeometry {
    int labelHeightTwips = 0;  // each of the two labels
    int windowHeightTwips = 0; // label height + 1250
    int shadowOffsetTwips = 25; // label 1 sits this far below and to the right
};
// 735 twips for every whole 15 characters, at least one line so that a
// short text is not drawn in a label of no height.
NoticeGeometry noticeGeometry(const QString &text);

inline int twipsToPixels(int twips) { return (twips + 7) / 15; }

} // namespace velmor
