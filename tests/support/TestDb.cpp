#include "TestDb.h"

#include "db/Schema.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <stdexcept>

namespace velmor::test {

namespace {
QAtomicInt g_counter;
}

QString TestDb::serverDir()
{
    const QString dir = qEnvironmentVariable("VELMOR_TEST_SERVER_DIR");
    if (dir.isEmpty())
        qFatal("VELMOR_TEST_SERVER_DIR is not set: run the tests through ctest");
    return dir;
}

QString TestDb::socketPath() { return serverDir() + QStringLiteral("/mysql.sock"); }

TestDb::TestDb(Shape shape)
{
    const int n = g_counter.fetchAndAddRelaxed(1);
    QString app = QCoreApplication::applicationName();
    app.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    m_name = QStringLiteral("t_%1_%2_%3").arg(app.left(30)).arg(QCoreApplication::applicationPid()).arg(n);
    m_connName = QStringLiteral("testdb-%1").arg(m_name);

    m_settings.mode = db::Mode::Server;
    m_settings.socket = socketPath();
    m_settings.user = QStringLiteral("root");
    m_settings.database = m_name;
    m_settings.sourceFile = QStringLiteral("(test)");

    m_db = db::openConnection(m_settings, m_connName, /*createDatabase=*/true);
    switch (shape) {
    case Shape::Empty: break;
    case Shape::BaseTables: db::schema::createBaseTables(m_db); break;
    case Shape::Full: db::schema::createNewDatabase(m_db); break;
    }
}

TestDb::~TestDb()
{
    for (const QString &c : m_extra) {
        { QSqlDatabase d = QSqlDatabase::database(c, false); d.close(); }
        QSqlDatabase::removeDatabase(c);
    }
    dropTestDatabase(m_db, m_name, m_connName);
}

void dropTestDatabase(QSqlDatabase &db, const QString &name, const QString &connectionName)
{
    if (db.isOpen()) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

QSqlDatabase TestDb::secondConnection(const QString &tag)
{
    const QString name = m_connName + QLatin1Char('-') + tag;
    m_extra << name;
    return db::openConnection(m_settings, name, false);
}

} // namespace velmor::test
