#include "core/widgets/WindowPlacement.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidget>

namespace velmor::ui {

namespace {
// What the window manager takes around a window: title bar and frame.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 40;

QSize smallest(const QWidget *w)
{
    return w->minimumSize().expandedTo(w->minimumSizeHint());
}

QScrollArea *scrollAreaFor(QWidget *content, QWidget *parent)
{
    auto *area = new QScrollArea(parent);
    area->setObjectName(QStringLiteral("scrWindowContent"));
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(content);
    return area;
}
} // namespace

QSize roomOnScreen(const QWidget *window)
{
    QScreen *screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QSize free = screen ? screen->availableGeometry().size() : QSize(1366, 768);
    return QSize(free.width() - kFrameWidth, free.height() - kFrameHeight);
}

bool fitWindowInto(QWidget *window, const QSize &area)
{
    if (!window || area.isEmpty())
        return false;
    window->ensurePolished();
    const QSize need = smallest(window);
    bool wrapped = false;
    if ((need.width() > area.width() || need.height() > area.height())
        && !window->property("velmorScrolled").toBool()) {
        if (auto *main = qobject_cast<QMainWindow *>(window)) {
            if (QWidget *central = main->takeCentralWidget()) {
                main->setCentralWidget(scrollAreaFor(central, main));
                wrapped = true;
            }
        } else if (QLayout *layout = window->layout()) {
            // The layout and its controls move onto a page inside the scroll
            // area; the controls keep their names and their order.
            auto *page = new QWidget;
            page->setObjectName(window->objectName() + QStringLiteral("_page"));
            page->setLayout(layout);
            auto *outer = new QVBoxLayout(window);
            outer->setContentsMargins(0, 0, 0, 0);
            outer->addWidget(scrollAreaFor(page, window));
            wrapped = true;
        }
        if (wrapped) {
            window->setProperty("velmorScrolled", true);
            window->setMinimumSize(window->minimumSize().boundedTo(area));
        }
    }
    if (window->width() > area.width() || window->height() > area.height())
        window->resize(window->size().boundedTo(area));
    return wrapped;
}

void placeWindow(QWidget *window, QSize wanted, const QWidget *opener)
{
    const QWidget *ref = opener ? opener->window() : nullptr;
    QScreen *screen = ref ? ref->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), wanted);
    fitWindowInto(window, roomOnScreen(window));
    const QSize size = wanted.boundedTo(free.size());
    window->resize(size);
    const QPoint centre = ref && ref->isVisible() ? ref->frameGeometry().center() : free.center();
    QPoint topLeft = centre - QPoint(size.width() / 2, size.height() / 2);
    topLeft.setX(qBound(free.left(), topLeft.x(), qMax(free.left(), free.right() - size.width())));
    topLeft.setY(qBound(free.top(), topLeft.y(), qMax(free.top(), free.bottom() - size.height())));
    window->move(topLeft);
}

bool ScreenFitter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        const Qt::WindowType type = w->windowType();
        if (w->isWindow() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen) {
            fitWindowInto(w, roomOnScreen(w));
            showFromTop(w);
        }
    } else if (event->type() == QEvent::ToolTip) {
        auto *box = qobject_cast<QComboBox *>(watched);
        if (box && box->toolTip().isEmpty() && !box->currentText().isEmpty()) {
            QStyleOptionComboBox opt;
            opt.initFrom(box);
            opt.editable = box->isEditable();
            const QRect field =
                box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
            if (box->fontMetrics().horizontalAdvance(box->currentText()) > field.width() - 2) {
                QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), box->currentText(), box);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void showFromTop(QWidget *window)
{
    auto *main = qobject_cast<QMainWindow *>(window);
    QScrollArea *areas[] = {window->findChild<QScrollArea *>(QStringLiteral("scrWindowContent")),
                            main ? qobject_cast<QScrollArea *>(main->centralWidget()) : nullptr};
    for (QScrollArea *area : areas)
        if (area) {
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->minimum());
            area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->minimum());
        }
}

} // namespace velmor::ui
