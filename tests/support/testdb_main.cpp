// Starts or stops the private MariaDB server that one test run shares.
#include "db/Connection.h"
#include "db/PrivateServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2 || (args[0] != QLatin1String("start") && args[0] != QLatin1String("stop"))) {
        err << "usage: velmor_testdb start|stop DIR\n";
        return 2;
    }
    velmor::db::PrivateServer server(args[1], /*forTests=*/true);
    try {
        if (args[0] == QLatin1String("start")) {
            server.start();
        } else {
            server.stop();
            QDir(args[1]).removeRecursively();
        }
    } catch (const velmor::db::DbError &e) {
        err << e.message() << "\n";
        return 1;
    }
    return 0;
}
