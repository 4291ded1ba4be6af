#pragma once
// A line edit that takes a figure: its whole text is selected when it takes
// the focus (by Tab or by a click), so that typing 5200 into a box showing
// "0.00" gives 5200, not "0.005200".
#include <QLineEdit>

namespace velmor {

// Gives an existing line edit the behaviour; returns it.
QLineEdit *numberBox(QLineEdit *edit);

// Every line edit under `parent` whose control name is in `names`.
void numberBoxes(QWidget *parent, std::initializer_list<const char *> names);

} // namespace velmor
