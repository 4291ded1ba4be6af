#include "ClusterDb.h"
#include "TestDb.h"

#include "db/Schema.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>

namespace velmor::test {

namespace {
QAtomicInt g_counter;
}

bool ClusterDb::available() { return !qEnvironmentVariable("VELMOR_CLUSTER_DIR").isEmpty(); }

int ClusterDb::port(int i) { return qEnvironmentVariable("VELMOR_CLUSTER_PORT").toInt() + i - 1; }

bool ClusterDb::nodeCommand(const QString &command, int i)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("bash"), {qEnvironmentVariable("VELMOR_CLUSTER_SCRIPT"), command, QString::number(i),
                                     qEnvironmentVariable("VELMOR_CLUSTER_DIR"),
                                     qEnvironmentVariable("VELMOR_CLUSTER_PORT")});
    return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

ClusterDb::ClusterDb()
{
    if (!available())
        qFatal("VELMOR_CLUSTER_DIR is not set: run the cluster tests through ctest");
    QString app = QCoreApplication::applicationName();
    app.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    m_name = QStringLiteral("c_%1_%2_%3").arg(app.left(30)).arg(QCoreApplication::applicationPid())
                 .arg(g_counter.fetchAndAddRelaxed(1));
    m_connName = QStringLiteral("clusterdb-%1").arg(m_name);
    m_db = db::openConnection(node(1), m_connName, /*createDatabase=*/true);
    db::schema::createNewDatabase(m_db);
}

ClusterDb::~ClusterDb()
{
    dropTestDatabase(m_db, m_name, m_connName);
}

db::ConnectionSettings ClusterDb::node(int i) const
{
    db::ConnectionSettings s;
    s.mode = db::Mode::Server;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port(i);
    s.user = QStringLiteral("root");
    s.database = m_name;
    s.sourceFile = QStringLiteral("(test)");
    return s;
}

db::ConnectionSettings ClusterDb::cluster(int first) const
{
    db::ConnectionSettings s = node(first);
    QStringList nodes;
    for (int k = 0; k < 3; ++k)
        nodes << QStringLiteral("127.0.0.1:%1").arg(port((first - 1 + k) % 3 + 1));
    s.host = nodes.join(QLatin1Char(','));
    return s;
}

} // namespace velmor::test
