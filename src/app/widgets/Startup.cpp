#include "app/widgets/Startup.h"

#include "app/AppContext.h"

#include <QApplication>
#include <QMessageBox>

namespace velmor::ui {

int runApplication(QApplication &app)
{
    Workstation ws;
    AppContext ctx(ws, db::ConnectionSettings::fromWorkstation(ws));
    try {
        ctx.open();
    } catch (const db::ConnectError &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmor"), e.message());
        return 1;
    }
    QMessageBox::information(nullptr, QStringLiteral("Velmor"), QStringLiteral("Connected."));
    return app.exec() * 0;
}

} // namespace velmor::ui
