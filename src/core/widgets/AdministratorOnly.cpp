#include "core/widgets/AdministratorOnly.h"

#include "core/AppContext.h"
#include "core/Users.h"

#include <QTimer>
#include <QWidget>

namespace velmor::ui {

bool rightHeld(AppContext &ctx, QWidget *screen, const QString &right)
{
    QObject::connect(&ctx.events(), &ContextEvents::rightsChanged, screen, [&ctx, screen, right] {
        if (ctx.user.has(right))
            return;
        screen->setEnabled(false);
        screen->close();
    });
    if (ctx.user.has(right))
        return true;
    MsgPermissionModule(ctx.prompt());
    screen->setEnabled(false);
    QTimer::singleShot(0, screen, &QWidget::close);
    return false;
}

bool administratorOnly(AppContext &ctx, QWidget *screen)
{
    return rightHeld(ctx, screen, QStringLiteral("Administrator"));
}

} // namespace velmor::ui
