#pragma once
// The window side of the program: connect, show the splash screen and run
// the start-up sequence, then the event loop until the program ends.
class QApplication;

namespace velmor::ui {

int runApplication(QApplication &app);

} // namespace velmor::ui
