#include "db/Connection.h"

#include "db/PrivateServer.h"

#include <QDir>
#include <QFileInfo>
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
                                                 const QDir &folder)
{
    ConnectionSettings s;
    s.sourceFile = sourceFile;
    s.privateDir = folder.filePath(QStringLiteral("mariadb"));
    bool userGiven = false;
    for (const QString &line : lines) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')) || t.startsWith(QLatin1Char(';')))
            continue;
        const int eq = t.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = t.left(eq).trimmed().toLower();
        const QString value = t.mid(eq + 1).trimmed();
        if (key == QLatin1String("mode")) {
            const QString m = value.toLower();
            s.mode = m == QLatin1String("odbc")     ? Mode::Odbc
                : m == QLatin1String("server") ? Mode::Server
                                               : Mode::Private;
        } else if (key == QLatin1String("host")) {
            s.host = value;
        } else if (key == QLatin1String("port")) {
            s.port = value.toInt();
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
            s.privateDir = folder.filePath(value);
        }
    }
    if (s.mode == Mode::Odbc && !userGiven)
        s.user.clear(); // the data source holds them
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
        return QStringLiteral("the database \"%1\" on the server %2:%3").arg(database, host).arg(port);
    }
    return {};
}

QSqlDatabase openConnection(const ConnectionSettings &s, const QString &connectionName,
                            bool createDatabase)
{
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);

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
    return db;
}

QString serverVersion(const QSqlDatabase &db)
{
    return scalar(db, QStringLiteral("SELECT VERSION()")).toString();
}

} // namespace velmor::db
