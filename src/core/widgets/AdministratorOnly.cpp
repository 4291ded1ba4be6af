#include "core/widgets/AdministratorOnly.h"

#include "core/AppContext.h"
#include "core/Users.h"

#include <QTimer>
#include <QWidget>

namespace velmor::ui {

bool administratorOnly(AppContext &ctx, QWidget *screen)
{
    QObject::connect(&ctx.events(), &ContextEvents::rightsChanged, screen, [&ctx, screen] {
        if (ctx.user.Administrator)
            return;
        screen->setEnabled(false);
        screen->close();
    });
    if (ctx.user.Administrator)
        return true;
    MsgPermissionModule(ctx.prompt());
    screen->setEnabled(false);
    QTimer::singleShot(0, screen, &QWidget::close);
    return false;
}

} // namespace velmor::ui
