#pragma once
// Where a window opens: at its default size, but never larger than the
// screen's free area, and centred on the window that opened it (or on the
// screen when there is none).
#include <QSize>

class QWidget;

namespace velmor::ui {

void placeWindow(QWidget *window, QSize wanted, const QWidget *opener = nullptr);

} // namespace velmor::ui
