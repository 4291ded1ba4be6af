#include "shell/widgets/Startup.h"

#include "core/AppContext.h"
#include "core/StartupTimes.h"
#include "core/widgets/QtPrompt.h"
#include "core/widgets/WindowPlacement.h"
#include "shell/widgets/BackupWarning.h"
#include "shell/widgets/StartupFlow.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace velmor::ui {

namespace {

// VELMOR_SCREENSHOT=PREFIX: saves PREFIX-splash.png while the splash screen
// is up and PREFIX-home.png once the home screen is shown, then ends the
// program (for checking a build on a virtual display).
void grabScreen(const QString &file)
{
    if (QScreen *s = QApplication::primaryScreen())
        s->grabWindow(0).save(file);
}

} // namespace

int runApplication(QApplication &app)
{
    // Every window fits the screen it opens on (its content scrolls on a
    // small laptop screen rather than leaving controls out of reach).
    app.installEventFilter(new ScreenFitter(&app));
    QtPrompt prompt;
    Workstation ws;
    db::ConnectionSettings cs;
    try {
        cs = ws.connectionSettings();
    } catch (const db::DbError &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmor - no database"), e.message());
        return 1;
    }
    AppContext ctx(ws, cs, &prompt);
    // The splash screen is up before the database is opened: on an empty
    // workstation folder making the private database takes seconds.
    auto *splash = new frmSplash(ctx);
    prompt.setProgressLine([splash = QPointer<frmSplash>(splash)](const QString &text) {
        startupMark(text);
        if (splash)
            SplashMessageModule(splash, text);
    });
    startupMark(QStringLiteral("splash screen made"));
    // Painted before any database work starts, and kept painted while the
    // private server is started (on a first start, made) off this thread.
    splash->showOpening();
    startupMark(QStringLiteral("opening the database"));
    try {
        splash->openDatabase();
    } catch (const db::ConnectError &e) {
        delete splash;
        // One message naming what failed and where to change it (also on
        // the terminal, for a start from a shell).
        fprintf(stderr, "velmor: %s\n", qPrintable(e.message()));
        QMessageBox::critical(nullptr, QStringLiteral("Velmor - no database"), e.message());
        return 1;
    } catch (const db::DbError &e) {
        delete splash;
        QMessageBox::critical(nullptr, QStringLiteral("Velmor - no database"),
                              QStringLiteral("The database was reached but could not be prepared: %1\n\n"
                                             "The connection is set in %2.")
                                  .arg(e.message(), ctx.connection.sourceFile.isEmpty()
                                                        ? ws.path(QStringLiteral("database.ini"))
                                                        : ctx.connection.sourceFile));
        return 1;
    }

    // The windows come and go during start-up; the flow says when to end.
    app.setQuitOnLastWindowClosed(false);
    StartupFlow flow(ctx, &prompt);
    QObject::connect(&flow, &StartupFlow::quitRequested, &app, &QCoreApplication::quit);
    // VELMOR_EXIT_WHEN_HOME=1 ends the program once the home screen is shown
    // (the benchmark times the launch with it).
    if (qEnvironmentVariableIntValue("VELMOR_EXIT_WHEN_HOME") != 0)
        QObject::connect(&flow, &StartupFlow::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    const QString shots = qEnvironmentVariable("VELMOR_SCREENSHOT");
    if (!shots.isEmpty()) {
        QObject::connect(&flow, &StartupFlow::finished, &app, [shots] {
            QTimer::singleShot(800, [shots] {
                grabScreen(shots + QStringLiteral("-home.png"));
                QCoreApplication::quit();
            });
        });
    }
    startupMark(QStringLiteral("database open"));
    flow.start(splash);
    if (!shots.isEmpty() && flow.splash()) {
        // Timer1's tick: the splash screen shows "Starting..." and its picture.
        QObject::connect(flow.splash(), &frmSplash::frontScreenNeeded, &app,
                         [shots] { grabScreen(shots + QStringLiteral("-splash.png")); });
    }
    // Private mode's daily backup: made in the background once the home
    // screen is up, or at the last exit when that did not happen today.
    QObject::connect(&flow, &StartupFlow::finished, &app, [ws] { startAutomaticBackup(ws, false); });
    const int rc = app.exec();
    startAutomaticBackup(ws, true);
    return rc;
}

} // namespace velmor::ui
