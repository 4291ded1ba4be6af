#pragma once
// The two fixed grade scales: colour and clarity grade numbers with their
// text, in number order.  A new database starts with these as its
// DiamondGrades rows; pricing converts grade numbers with them.
#include <QList>

namespace velmor::db {

struct GradeScaleEntry {
    int number;
    const char *text;
};
const QList<GradeScaleEntry> &colourScale();
const QList<GradeScaleEntry> &clarityScale();

} // namespace velmor::db
