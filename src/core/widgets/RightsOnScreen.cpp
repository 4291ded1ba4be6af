#include "core/widgets/RightsOnScreen.h"

#include "core/AppContext.h"

#include <QFormLayout>
#include <QWidget>

namespace velmor {

void setFormRowsVisible(const QList<QWidget *> &fields, bool visible)
{
    for (QWidget *field : fields) {
        if (!field || !field->parentWidget())
            continue;
        auto *form = qobject_cast<QFormLayout *>(field->parentWidget()->layout());
        bool done = false;
        for (int row = 0; form && row < form->rowCount() && !done; ++row) {
            QLayoutItem *item = form->itemAt(row, QFormLayout::FieldRole);
            if (item && (item->widget() == field || (item->layout() && item->layout()->indexOf(field) >= 0))) {
                form->setRowVisible(row, visible);
                done = true;
            }
        }
        if (!done)
            field->setVisible(visible);
    }
}

bool mayUse(const AppContext &ctx, const QString &right) { return ctx.user.ID != 0 && ctx.user.has(right); }

void followRights(AppContext &ctx, QWidget *screen, const std::function<void()> &apply)
{
    apply();
    QObject::connect(&ctx.events(), &ContextEvents::rightsChanged, screen, apply);
}

} // namespace velmor
