#include "db/Connection.h"

#include "db/Cluster.h"
#include "db/PrivateServer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace velmor::db {

namespace {

QString quotedName(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + n + QLatin1Char('`');
}

QString whereToChange(const ConnectionSettings &s)
{
    return QStringLiteral("Check the connection settings in %1.")
        .arg(s.sourceFile.isEmpty() ? QStringLiteral("database.ini") : s.sourceFile);
}

} // namespace

ConnectionSettings ConnectionSettings::fromLines(const QStringList &lines, const QString &sourceFile,
                                                 const QDir &folder, const QStringList &otherKeys, bool needMode)
{
    ConnectionSettings s;
    s.sourceFile = sourceFile;
    s.privateDir = folder.filePath(QStringLiteral("mariadb"));
    static const QStringList known = {QStringLiteral("mode"),     QStringLiteral("host"),     QStringLiteral("port"),
                                      QStringLiteral("user"),     QStringLiteral("password"), QStringLiteral("database"),
                                      QStringLiteral("socket"),   QStringLiteral("dsn"),      QStringLiteral("datadir")};
    const QString file = QDir::toNativeSeparators(sourceFile.isEmpty() ? QStringLiteral("database.ini") : sourceFile);
    // The first fault found, named with its line and what was expected.
    auto refuse = [&](int lineNo, const QString &line, const QString &expected) {
        if (s.problem.isEmpty())
            s.problem = QStringLiteral("%1, line %2: \"%3\" %4.\nVelmor does not start on another database in its "
                                       "place: mend the line (or remove the file to use Velmor's own private "
                                       "database).")
                            .arg(file)
                            .arg(lineNo)
                            .arg(line.left(80), expected);
    };
    bool userGiven = false;
    bool modeGiven = false;
    QStringList seen;
    QStringList hosts; // one host= line each, or several on one line
    for (int i = 0; i < lines.size(); ++i) {
        const QString t = lines.at(i).trimmed();
        const int lineNo = i + 1;
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')) || t.startsWith(QLatin1Char(';')))
            continue;
        for (const QChar c : t)
            if ((c.category() == QChar::Other_Control && c != QLatin1Char('\t')) || c == QChar::ReplacementCharacter) {
                refuse(lineNo, QStringLiteral("..."), QStringLiteral("holds bytes that are not text; a line is key=value"));
                break;
            }
        const int eq = t.indexOf(QLatin1Char('='));
        if (eq < 0) {
            refuse(lineNo, t, QStringLiteral("is not a setting; a line is key=value (mode=, host=, port=, user=, "
                                             "password=, database=, socket=, dsn=, datadir=)"));
            continue;
        }
        const QString key = t.left(eq).trimmed().toLower();
        const QString value = t.mid(eq + 1).trimmed();
        // A value is shown only where it cannot be a password.
        const QString shown = t.left(eq).trimmed() + QStringLiteral("=...");
        if (!known.contains(key) && !otherKeys.contains(key, Qt::CaseInsensitive)) {
            refuse(lineNo, shown, QStringLiteral("names no setting; the settings are %1")
                                  .arg((known + otherKeys).join(QStringLiteral(", "))));
            continue;
        }
        if (key != QLatin1String("host") && seen.contains(key)) {
            refuse(lineNo, shown, QStringLiteral("gives %1 a second time; give it once").arg(key));
            continue;
        }
        seen << key;
        if (key == QLatin1String("mode")) {
            const QString m = value.toLower();
            modeGiven = true;
            if (m == QLatin1String("odbc"))
                s.mode = Mode::Odbc;
            else if (m == QLatin1String("server"))
                s.mode = Mode::Server;
            else if (m == QLatin1String("private"))
                s.mode = Mode::Private;
            else
                refuse(lineNo, t, QStringLiteral("is no mode; the mode is private, odbc or server"));
        } else if (key == QLatin1String("host")) {
            hosts << value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            s.port = value.toInt(&ok);
            if (!ok || s.port < 1 || s.port > 65535)
                refuse(lineNo, t, QStringLiteral("is no port; a port is a number from 1 to 65535"));
        } else if (key == QLatin1String("user")) {
            s.user = value;
            userGiven = true;
        } else if (key == QLatin1String("password")) {
            s.password = value;
        } else if (key == QLatin1String("database")) {
            s.database = value;
        } else if (key == QLatin1String("socket")) {
            s.socket = value;
        } else if (key == QLatin1String("dsn")) {
            s.dsn = value;
        } else if (key == QLatin1String("datadir")) {
            // The private server's folder is made, narrowed and (when its
            // making was cut short) cleared by Velmor: it lives inside the
            // workstation folder, never elsewhere on the machine.
            const QString base = QDir::cleanPath(folder.absolutePath());
            const QString dir = QDir::cleanPath(folder.absoluteFilePath(value));
            const QString real = QFileInfo(dir).canonicalFilePath();
            const QString realBase = QFileInfo(base).canonicalFilePath();
            auto under = [](const QString &x, const QString &b) { return x.startsWith(b + QLatin1Char('/')); };
            if (value.isEmpty() || !under(dir, base) || (!real.isEmpty() && !realBase.isEmpty() && !under(real, realBase)))
                refuse(lineNo, t, QStringLiteral("is not a folder inside the workstation folder %1; the private "
                                                 "database's folder is a folder of it (datadir=mariadb)")
                                      .arg(QDir::toNativeSeparators(base)));
            else
                s.privateDir = dir;
        }
    }
    if (needMode && !modeGiven && s.problem.isEmpty())
        s.problem = QStringLiteral("%1 says nothing about the mode: it needs a line mode=private, mode=odbc or "
                                   "mode=server.\nVelmor does not start on another database in its place: add the "
                                   "line (or remove the file to use Velmor's own private database).")
                        .arg(file);
    if (s.mode == Mode::Odbc && !userGiven)
        s.user.clear(); // the data source holds them
    if (!hosts.isEmpty()) {
        s.host = hosts.join(QLatin1Char(','));
        // One server written as host:port.
        const QStringList nodes = clusterNodes(s);
        if (nodes.size() == 1 && s.host.contains(QLatin1Char(':'))) {
            const int colon = nodes.first().lastIndexOf(QLatin1Char(':'));
            s.port = nodes.first().mid(colon + 1).toInt();
            s.host = nodes.first().left(colon);
        }
    }
    return s;
}

ConnectionSettings ConnectionSettings::unreadable(const QString &sourceFile, const QString &why)
{
    ConnectionSettings s;
    s.sourceFile = sourceFile;
    s.problem = QStringLiteral("%1\nVelmor does not start on another database in its place: mend the file (or "
                               "remove it to use Velmor's own private database).")
                    .arg(why);
    return s;
}

QString ConnectionSettings::modeName() const
{
    switch (mode) {
    case Mode::Private: return QStringLiteral("private");
    case Mode::Odbc: return QStringLiteral("odbc");
    case Mode::Server: return QStringLiteral("server");
    }
    return {};
}

QString ConnectionSettings::describe() const
{
    switch (mode) {
    case Mode::Private:
        return QStringLiteral("Velmor's private database server in %1").arg(QDir::toNativeSeparators(privateDir));
    case Mode::Odbc:
        return QStringLiteral("the ODBC data source \"%1\"").arg(dsn);
    case Mode::Server:
        if (!socket.isEmpty())
            return QStringLiteral("the database \"%1\" on the server at %2").arg(database, socket);
        if (clusterNodes(*this).size() > 1)
            return QStringLiteral("the database \"%1\" on the cluster %2")
                .arg(database, clusterNodes(*this).join(QStringLiteral(", ")));
        return QStringLiteral("the database \"%1\" on the server %2:%3").arg(database, host).arg(port);
    }
    return {};
}

namespace {

struct NodeRecord {
    ConnectionSettings settings;
    int current = 0;
    bool inTransaction = false;
    std::function<void(const QString &)> notice;
};

QMutex g_nodesMutex;
QHash<QString, NodeRecord> g_nodes;
QSet<QString> g_members; // connections whose server is a cluster member

ConnectionSettings nodeSettings(const ConnectionSettings &s, int i)
{
    ConnectionSettings one = s;
    const QString n = clusterNodes(s).at(i);
    const int colon = n.lastIndexOf(QLatin1Char(':'));
    one.host = n.left(colon);
    one.port = n.mid(colon + 1).toInt();
    return one;
}

// The state of a cluster member, empty for a server of its own.
QString wsrepState(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SHOW STATUS LIKE 'wsrep_local_state_comment'")) && q.next())
        return q.value(1).toString();
    return {};
}

// On a cluster a write committed on one node is applied on the others a
// moment later: reads wait for the writes the cluster has already taken, so
// that a shop sees the stone another shop has just sold, and an operation run
// again after a conflict sees the one that won.
void waitForClusterWrites(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SET SESSION wsrep_sync_wait = 1"));
}

bool usableState(const QString &state)
{
    return state.isEmpty() || state == QLatin1String("Synced");
}

} // namespace

QSqlDatabase openConnection(const ConnectionSettings &s, const QString &connectionName,
                            bool createDatabase)
{
    if (!s.problem.isEmpty())
        throw ConnectError(s.problem);
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    {
        QMutexLocker lock(&g_nodesMutex);
        g_nodes.remove(connectionName);
        g_members.remove(connectionName);
    }

    const QStringList nodes = clusterNodes(s);
    if (s.mode == Mode::Server && s.socket.isEmpty() && nodes.size() > 1) {
        // The first node that answers and is a synced member.
        QStringList why;
        for (int i = 0; i < nodes.size(); ++i) {
            try {
                QSqlDatabase db = openConnection(nodeSettings(s, i), connectionName, createDatabase);
                QMutexLocker lock(&g_nodesMutex);
                NodeRecord &r = g_nodes[connectionName];
                r.settings = s;
                r.current = i;
                return db;
            } catch (const ConnectError &e) {
                why << QStringLiteral("%1: %2").arg(nodes.at(i), e.message().section(QLatin1Char('\n'), 0, 0));
            }
        }
        throw ConnectError(QStringLiteral("Velmor cannot reach %1; no server of the cluster answers as a synced "
                                          "member:\n%2\n%3")
                               .arg(s.describe(), why.join(QLatin1Char('\n')), whereToChange(s)));
    }

    const bool odbc = s.mode == Mode::Odbc;
    const QString driver = odbc ? QStringLiteral("QODBC") : QStringLiteral("QMYSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        throw ConnectError(QStringLiteral("The %1 database driver of Qt is not installed (package %2), "
                                          "so %3 cannot be reached.")
                               .arg(driver,
                                    odbc ? QStringLiteral("libqt6sql6-odbc") : QStringLiteral("libqt6sql6-mysql"),
                                    s.describe()));
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName);
    if (odbc) {
        // The bare data-source name connects through SQLConnect, which reads a
        // DSN file named by ODBCINI; user and password come from the data
        // source unless database.ini gives them.
        db.setDatabaseName(s.dsn);
        if (!s.user.isEmpty()) {
            db.setUserName(s.user);
            db.setPassword(s.password);
        }
    } else {
        QStringList options{QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=15"),
                            QStringLiteral("MYSQL_OPT_READ_TIMEOUT=600")};
        const QString socket = s.socket;
        if (!socket.isEmpty()) {
            options << QStringLiteral("UNIX_SOCKET=%1").arg(socket);
            db.setHostName(QStringLiteral("localhost"));
        } else {
            db.setHostName(s.host);
            db.setPort(s.port);
        }
        db.setConnectOptions(options.join(QLatin1Char(';')));
        db.setUserName(s.user);
        db.setPassword(s.password);
        // A private server's root account (the test server's, a workstation's
        // reached as a server) keeps its password beside its socket, readable
        // by the owner only.
        if (!socket.isEmpty() && s.password.isEmpty() && s.user == QLatin1String("root"))
            db.setPassword(PrivateServer(QFileInfo(socket).absolutePath()).rootPassword());
        if (!createDatabase)
            db.setDatabaseName(s.database);
    }

    if (!db.open()) {
        const QString why = db.lastError().databaseText().isEmpty() ? db.lastError().text()
                                                                     : db.lastError().databaseText();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw ConnectError(QStringLiteral("Velmor cannot reach %1: %2\n%3")
                               .arg(s.describe(), why.trimmed(), whereToChange(s)));
    }

    if (!odbc && createDatabase) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE DATABASE IF NOT EXISTS %1 CHARACTER SET utf8mb4 "
                                   "COLLATE utf8mb4_unicode_ci")
                        .arg(quotedName(s.database)))
            || !q.exec(QStringLiteral("USE %1").arg(quotedName(s.database)))) {
            const QString why = q.lastError().databaseText();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
            throw ConnectError(QStringLiteral("Velmor cannot open the database \"%1\" on %2: %3\n%4")
                                   .arg(s.database, s.describe(), why, whereToChange(s)));
        }
    }
    QSqlQuery q(db);
    q.exec(QStringLiteral("SET NAMES utf8mb4"));

    // The program and the store-side program spell table names in varying
    // case (Config, config): a server that tells them apart finds half the
    // tables missing.  Velmor's own server is always made the right way.
    if (s.mode != Mode::Private && q.exec(QStringLiteral("SELECT @@lower_case_table_names")) && q.next()
        && q.value(0).toInt() == 0) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw ConnectError(
            QStringLiteral("%1 compares table names with regard to letter case (lower_case_table_names = 0), "
                           "so Velmor cannot work with it.\nSet lower_case_table_names=1 in the [mysqld] section "
                           "of the server's configuration (on MariaDB and MySQL 8 only when its data folder is "
                           "made), or use a server that has it.\n%2")
                .arg(s.describe(), whereToChange(s)));
    }
    // A member of a Galera cluster serves only once it is in step with the
    // others (a data source may name one too).
    if (s.mode != Mode::Private) {
        const QString state = wsrepState(db);
        if (!usableState(state)) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
            throw ConnectError(QStringLiteral("%1 is a member of a cluster that is not in step with the others yet "
                                              "(state \"%2\").\n%3")
                                   .arg(s.describe(), state, whereToChange(s)));
        }
        if (!state.isEmpty()) {
            waitForClusterWrites(db);
            QMutexLocker lock(&g_nodesMutex);
            g_members.insert(connectionName);
        }
    }
    return db;
}

QString serverVersion(const QSqlDatabase &db)
{
    return scalar(db, QStringLiteral("SELECT VERSION()")).toString();
}

QStringList clusterNodes(const ConnectionSettings &s)
{
    QStringList out;
    for (const QString &part : s.host.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString h = part.trimmed();
        if (h.isEmpty())
            continue;
        const int colon = h.lastIndexOf(QLatin1Char(':'));
        bool numeric = false;
        if (colon > 0 && h.indexOf(QLatin1Char(':')) == colon)
            h.mid(colon + 1).toInt(&numeric);
        out << (numeric ? h : h + QLatin1Char(':') + QString::number(s.port));
    }
    return out;
}

ClusterInfo clusterInfo(const QSqlDatabase &db)
{
    ClusterInfo c;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SHOW STATUS WHERE Variable_name IN ('wsrep_cluster_size', 'wsrep_local_state_comment')")))
        while (q.next()) {
            const QString name = q.value(0).toString().toLower();
            if (name == QLatin1String("wsrep_cluster_size"))
                c.size = q.value(1).toInt();
            else
                c.state = q.value(1).toString();
        }
    if (c.size > 0 && q.exec(QStringLiteral("SELECT @@wsrep_cluster_name")) && q.next())
        c.name = q.value(0).toString();
    c.node = db.hostName() == QLatin1String("localhost") ? db.hostName()
                                                          : db.hostName() + QLatin1Char(':') + QString::number(db.port());
    return c;
}

bool isNodeLost(int nativeCode)
{
    switch (nativeCode) {
    case 2006: // server has gone away
    case 2013: // lost connection during query
    case 2055: // lost connection (system error)
    case 1047: // not yet prepared for application use (not a synced member)
    case 1053: // server shutdown in progress
    case 1927: // connection was killed
        return true;
    default:
        return false;
    }
}

bool moveToNextNode(const QSqlDatabase &conn)
{
    NodeRecord r;
    {
        QMutexLocker lock(&g_nodesMutex);
        auto it = g_nodes.constFind(conn.connectionName());
        if (it == g_nodes.constEnd())
            return false;
        r = *it;
    }
    QSqlDatabase db = conn; // the same connection: every copy follows
    const QStringList nodes = clusterNodes(r.settings);
    const int n = int(nodes.size());
    for (int k = 1; k < n; ++k) {
        const int i = (r.current + k) % n;
        const ConnectionSettings one = nodeSettings(r.settings, i);
        db.close();
        db.setHostName(one.host);
        db.setPort(one.port);
        if (!db.open())
            continue;
        QSqlQuery q(db);
        q.exec(QStringLiteral("SET NAMES utf8mb4"));
        const QString state = wsrepState(db);
        if (!usableState(state))
            continue;
        if (!state.isEmpty())
            waitForClusterWrites(db);
        std::function<void(const QString &)> notice;
        {
            QMutexLocker lock(&g_nodesMutex);
            auto it = g_nodes.find(conn.connectionName());
            if (it != g_nodes.end()) {
                it->current = i;
                it->inTransaction = false;
                notice = it->notice;
            }
        }
        if (notice)
            notice(QStringLiteral("The database server %1 cannot be reached any more. Velmor now works on %2, "
                                  "another server of the cluster.")
                       .arg(nodes.at(r.current), nodes.at(i)));
        return true;
    }
    return false;
}

void setNodeNotice(const QString &connectionName, std::function<void(const QString &)> notice)
{
    QMutexLocker lock(&g_nodesMutex);
    auto it = g_nodes.find(connectionName);
    if (it != g_nodes.end())
        it->notice = std::move(notice);
}

bool onCluster(const QSqlDatabase &db)
{
    QMutexLocker lock(&g_nodesMutex);
    return g_members.contains(db.connectionName());
}

bool hasNodes(const QSqlDatabase &db)
{
    QMutexLocker lock(&g_nodesMutex);
    return g_nodes.contains(db.connectionName());
}

void setInTransaction(const QSqlDatabase &db, bool open)
{
    QMutexLocker lock(&g_nodesMutex);
    auto it = g_nodes.find(db.connectionName());
    if (it != g_nodes.end())
        it->inTransaction = open;
}

bool inTransaction(const QSqlDatabase &db)
{
    QMutexLocker lock(&g_nodesMutex);
    auto it = g_nodes.constFind(db.connectionName());
    return it != g_nodes.constEnd() && it->inTransaction;
}

} // namespace velmor::db
