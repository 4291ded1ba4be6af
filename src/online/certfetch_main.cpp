// velmor-certfetch [FOLDER]: the certificate look-up's web-service agent
// (online/CertFetchAgent.h).  FOLDER is the workstation folder; without it
// $VELMOR_HOME, else the default workstation folder.
#include "core/Workstation.h"
#include "online/CertFetchAgent.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmor-certfetch"));
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith(QLatin1Char('-')))) {
        err << "Usage: velmor-certfetch [WORKSTATION-FOLDER]\n";
        return 2;
    }
    const QString folder = args.isEmpty() ? velmor::Workstation::defaultFolder() : args.first();
    return velmor::online::runCertFetchAgent(folder, out, err);
}
