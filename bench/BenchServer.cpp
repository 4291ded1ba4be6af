#include "BenchServer.h"

#include "db/Sql.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>

#include <csignal>
#include <unistd.h>

namespace velmor::bench {

namespace {

volatile pid_t g_serverPid = 0;

// Ctrl-C must not leave a server running on /dev/shm.
void onSignal(int sig)
{
    if (g_serverPid > 0)
        ::kill(g_serverPid, SIGTERM);
    ::_exit(128 + sig);
}

qint64 pidFromFile(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().trimmed().toLongLong();
}

bool alive(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

QString quoted(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + n + QLatin1Char('`');
}

} // namespace

BenchServer::BenchServer()
    : m_dir(QStringLiteral("/dev/shm/velmor-bench-%1").arg(QCoreApplication::applicationPid()))
{
}

BenchServer::~BenchServer() { stop(); }

QString BenchServer::socket() const { return m_server ? m_server->socketPath() : m_dir + QStringLiteral("/mysql.sock"); }

void BenchServer::start()
{
    // Folders of earlier runs whose program is gone.
    const QDir shm(QStringLiteral("/dev/shm"));
    for (const QString &name : shm.entryList({QStringLiteral("velmor-bench-*")}, QDir::Dirs)) {
        const qint64 owner = name.section(QLatin1Char('-'), 2).toLongLong();
        if (owner == QCoreApplication::applicationPid() || alive(owner))
            continue;
        const QString dir = shm.filePath(name);
        db::PrivateServer(dir).stop();
        QDir(dir).removeRecursively();
    }

    QDir(m_dir).removeRecursively();
    // The server's temporary tables go to a folder of its own, away from
    // whatever else cleans /tmp.
    const QString tmp = m_dir + QStringLiteral("/tmp");
    QDir().mkpath(tmp);
    qputenv("TMPDIR", QFile::encodeName(tmp));
    m_server = std::make_unique<db::PrivateServer>(m_dir, /*forTests=*/false);
    m_server->start();
    g_serverPid = pid_t(pidFromFile(m_dir + QStringLiteral("/mysqld.pid")));
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

void BenchServer::stop()
{
    for (const QString &c : std::as_const(m_connections)) {
        {
            QSqlDatabase d = QSqlDatabase::database(c, false);
            d.close();
        }
        QSqlDatabase::removeDatabase(c);
    }
    m_connections.clear();
    if (m_server) {
        m_server->stop();
        m_server.reset();
        g_serverPid = 0;
        QDir(m_dir).removeRecursively();
    }
}

void BenchServer::detach()
{
    m_server.reset();
    g_serverPid = 0;
}

db::ConnectionSettings BenchServer::settings(const QString &database) const
{
    db::ConnectionSettings s;
    s.mode = db::Mode::Server;
    s.socket = socket();
    s.user = QStringLiteral("root");
    s.database = database;
    s.sourceFile = QStringLiteral("(benchmark)");
    return s;
}

QSqlDatabase BenchServer::connect(const QString &database, bool create)
{
    const QString name = QStringLiteral("bench-") + database;
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase d = QSqlDatabase::database(name, true);
        if (d.isOpen())
            return d;
    }
    QSqlDatabase d = db::openConnection(settings(database), name, create);
    if (!m_connections.contains(name))
        m_connections << name;
    return d;
}

void BenchServer::close(const QString &database)
{
    const QString name = QStringLiteral("bench-") + database;
    if (!m_connections.removeAll(name))
        return;
    {
        QSqlDatabase d = QSqlDatabase::database(name, false);
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase BenchServer::admin() { return connect(QStringLiteral("mysql")); }

void BenchServer::drop(const QString &database)
{
    close(database);
    db::exec(admin(), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(quoted(database)));
}

namespace {
// Copies a table's rows; columns the database computes itself are left out
// (the engine refuses a value for them).
void copyRows(const QSqlDatabase &a, const QString &from, const QString &to, const QString &table)
{
    QSqlQuery c = db::exec(a,
                           QStringLiteral("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = ? "
                                          "AND TABLE_NAME = ? AND IS_GENERATED = 'NEVER' ORDER BY ORDINAL_POSITION"),
                           {from, table});
    QStringList cols;
    while (c.next())
        cols << QLatin1Char('`') + c.value(0).toString() + QLatin1Char('`');
    const QString list = cols.join(QStringLiteral(", "));
    db::exec(a, QStringLiteral("INSERT INTO %1.%2 (%4) SELECT %4 FROM %3.%2").arg(quoted(to), quoted(table), quoted(from), list));
}
} // namespace

namespace {

void analyze(const QSqlDatabase &a, const QString &database, const QString &table)
{
    QSqlQuery q = db::exec(a, QStringLiteral("ANALYZE TABLE %1.%2").arg(quoted(database), quoted(table)));
    while (q.next()) {
    }
}

} // namespace

void BenchServer::cloneDatabase(const QString &from, const QString &to)
{
    drop(to);
    QSqlDatabase a = admin();
    db::exec(a, QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci").arg(quoted(to)));
    QSqlQuery q = db::exec(a, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = ?"), {from});
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    for (const QString &t : std::as_const(tables)) {
        db::exec(a, QStringLiteral("CREATE TABLE %1.%2 LIKE %3.%2").arg(quoted(to), quoted(t), quoted(from)));
        copyRows(a, from, to, t);
        analyze(a, to, t);
    }
}

void BenchServer::restoreTables(const QString &from, const QString &to, const QStringList &tables)
{
    QSqlDatabase a = admin();
    for (const QString &t : tables) {
        db::exec(a, QStringLiteral("TRUNCATE TABLE %1.%2").arg(quoted(to), quoted(t)));
        copyRows(a, from, to, t);
        // The server's own statistics, taken while the copy ran, can keep a
        // few rows for the whole table; the next scenario's plans would then
        // be made for a table no dealer has.
        analyze(a, to, t);
    }
    // The copied pages written out before anything is measured: a dealer's
    // database is not still writing a million fresh rows when the next
    // piece of work comes, and the server's background flush of them would
    // otherwise be timed with the next scenario's first runs.
    if (!tables.isEmpty()) {
        QStringList names;
        for (const QString &t : tables)
            names << quoted(to) + QLatin1Char('.') + quoted(t);
        db::exec(a, QStringLiteral("FLUSH TABLES %1 FOR EXPORT").arg(names.join(QStringLiteral(", "))));
        db::exec(a, QStringLiteral("UNLOCK TABLES"));
    }
}

QString BenchServer::serverVersion() { return db::serverVersion(admin()); }

} // namespace velmor::bench
