#include "core/widgets/NumberBox.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPointer>
#include <QTimer>

namespace velmor {

namespace {

class SelectOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            auto *edit = qobject_cast<QLineEdit *>(watched);
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (edit && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                // After the event: a click places the cursor once it is
                // handled, which would take the selection away again.
                QPointer<QLineEdit> p(edit);
                QTimer::singleShot(0, edit, [p] {
                    if (p && p->hasFocus())
                        p->selectAll();
                });
            }
        }
        return false;
    }
};

} // namespace

QLineEdit *numberBox(QLineEdit *edit)
{
    if (edit && !edit->property("velmorNumberBox").toBool()) {
        edit->setProperty("velmorNumberBox", true);
        edit->installEventFilter(new SelectOnFocus(edit));
    }
    return edit;
}

void numberBoxes(QWidget *parent, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (auto *e = parent->findChild<QLineEdit *>(QLatin1String(n)))
            numberBox(e);
}

} // namespace velmor
