#include "core/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace velmor::ui {

void placeWindow(QWidget *window, QSize wanted, const QWidget *opener)
{
    const QWidget *ref = opener ? opener->window() : nullptr;
    QScreen *screen = ref ? ref->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), wanted);
    const QSize size = wanted.boundedTo(free.size());
    window->resize(size);
    const QPoint centre = ref && ref->isVisible() ? ref->frameGeometry().center() : free.center();
    QPoint topLeft = centre - QPoint(size.width() / 2, size.height() / 2);
    topLeft.setX(qBound(free.left(), topLeft.x(), qMax(free.left(), free.right() - size.width())));
    topLeft.setY(qBound(free.top(), topLeft.y(), qMax(free.top(), free.bottom() - size.height())));
    window->move(topLeft);
}

} // namespace velmor::ui
