#pragma once
// Where a window opens: at its default size, but never larger than the
// screen's free area, and centred on the window that opened it (or on the
// screen when there is none).  A window whose controls need more room than
// the screen has (a 1366x768 laptop) gets its content in a scroll area, so
// that every control can still be reached.
#include <QObject>
#include <QSize>

class QWidget;

namespace velmor::ui {

void placeWindow(QWidget *window, QSize wanted, const QWidget *opener = nullptr);

// When `window` cannot be made as small as `area`, its content moves into a
// scroll area (once); true when it did.  The window is then no larger than
// `area`.
bool fitWindowInto(QWidget *window, const QSize &area);

// The room a window has on its screen: the free area less its title bar and
// frame.
QSize roomOnScreen(const QWidget *window);

// A window's content scrolled back to its top left: a window shown again
// shows its top (the company of a customer, the first fields of a stone),
// wherever it was scrolled to when it closed.
void showFromTop(QWidget *window);

// Installed on the application: every window that is shown is fitted to
// the room on its screen, and shown from its top.  A drop-down box whose
// choice it cuts (a customer's long name) shows it whole as its tip, when
// it has no tip of its own.
class ScreenFitter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace velmor::ui
