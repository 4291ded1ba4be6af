#include "core/StartupTimes.h"
#include "shell/CliDispatch.h"
#include "shell/widgets/Startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    // A subcommand runs without a window.
    const bool batch = !args.isEmpty() && !args.first().startsWith(QLatin1Char('-'));
    const bool help = !args.isEmpty()
        && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")
            || args.first() == QLatin1String("--version"));
    if (batch || help) {
        std::unique_ptr<QCoreApplication> app;
        if (velmor::cliNeedsGui(args)) {
            // Printing draws text without a window: the offscreen platform
            // serves, with or without a display.
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        QCoreApplication::setApplicationName(QStringLiteral("velmor"));
        QTextStream out(stdout);
        QTextStream err(stderr);
        const int rc = velmor::runCli(args, out, err);
        if (rc >= 0)
            return rc;
    }

    velmor::startupMark(QStringLiteral("program started"));
    QApplication app(argc, argv);
    velmor::startupMark(QStringLiteral("window system ready"));
    QApplication::setApplicationName(QStringLiteral("Velmor"));
    QApplication::setOrganizationName(QStringLiteral("Velmor"));
    return velmor::ui::runApplication(app);
}
