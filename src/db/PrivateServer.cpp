#include "db/PrivateServer.h"

#include "db/Connection.h"
#include "db/FaultPoint.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor::db {

namespace {

// Written into the data folder while it is being made: only a folder that
// holds it is cleared when a making was cut short.
constexpr char kMakingMarker[] = "velmor-making-this-folder";

// Fixed at the creation of the data folder; every start must repeat it.
QStringList serverOptions()
{
    return {QStringLiteral("--no-defaults"),
            QStringLiteral("--lower-case-table-names=1"),
            QStringLiteral("--character-set-server=utf8mb4"),
            QStringLiteral("--collation-server=utf8mb4_unicode_ci"),
            QStringLiteral("--innodb-log-file-size=8M"),
            QStringLiteral("--skip-log-bin")};
}

bool runningAsRoot() { return ::geteuid() == 0; }

bool processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) != 0)
        return false;
    // A zombie still answers kill(0); look at its state.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray s = stat.readAll();
        const int close = s.lastIndexOf(')');
        if (close > 0 && close + 2 < s.size() && s.at(close + 2) == 'Z')
            return false;
    }
    return true;
}

qint64 readPid(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().trimmed().toLongLong();
}

// The server processes running on a data folder, found by their command
// line: a server whose starter died before it wrote a pid file, or that has
// not made its socket yet, is still found.
QList<qint64> serverProcesses(const QString &dataDir)
{
    const QByteArray wanted = QStringLiteral("--datadir=%1").arg(dataDir).toLocal8Bit();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool isPid = false;
        const qint64 pid = e.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = f.readAll().split('\0');
        if (args.isEmpty() || !args.first().endsWith("mariadbd"))
            continue;
        if (args.contains(wanted) && processAlive(pid))
            found << pid;
    }
    return found;
}

QString generatedPassword()
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString out;
    for (int i = 0; i < 32; ++i)
        out += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    return out;
}

// Opens the server as its root account over the socket: with the password
// of the file, else without one (a folder made before there was a file).
QSqlDatabase rootConnection(const QString &name, const QString &socket, const QString &password)
{
    for (const QString &pw : {password, QString()}) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
        db.setConnectOptions(QStringLiteral("UNIX_SOCKET=%1;MYSQL_OPT_CONNECT_TIMEOUT=15").arg(socket));
        db.setHostName(QStringLiteral("localhost"));
        db.setUserName(QStringLiteral("root"));
        db.setPassword(pw);
        if (db.open())
            return db;
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        if (password.isEmpty())
            break;
    }
    return {};
}

} // namespace

bool keepToOwner(const QString &path, bool folder)
{
    const QByteArray native = QFile::encodeName(path);
    // The mode is narrowed on what the path names itself, never on what a
    // symbolic link in its place points at (run as root, a link to a system
    // file would lock other accounts out of it).
    int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0 && errno == EACCES) {
        // A file of ours we may not read: looked at without opening.
        struct stat st {};
        if (::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            errno = ELOOP;
        else
            errno = EACCES;
    }
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR) {
            qWarning("velmor: %s is a symbolic link or not a %s; its mode is left alone", native.constData(),
                     folder ? "folder" : "file");
            return false;
        }
        return true; // missing, or not ours to look at
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    // Only what this account owns; a shared folder such as /tmp (sticky) is
    // never narrowed.
    if (!known || st.st_uid != ::geteuid() || (st.st_mode & S_ISVTX) || (st.st_mode & 077) == 0) {
        ::close(fd);
        return true;
    }
    const mode_t wanted = folder ? 0700 : 0600;
    const bool narrowed = ::fchmod(fd, wanted) == 0;
    ::close(fd);
    if (!narrowed) {
        qWarning("velmor: %s is open to other accounts (mode %o) and could not be narrowed", native.constData(),
                 unsigned(st.st_mode & 0777));
        return false;
    }
    qWarning("velmor: %s was open to other accounts (mode %o); it is now %o, this account's only",
             native.constData(), unsigned(st.st_mode & 0777), unsigned(wanted));
    return true;
}

bool makeOwnFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    if (!QFileInfo::exists(path)) {
        const QString parent = QFileInfo(QString::fromLocal8Bit(native)).absolutePath();
        if (!QDir().mkpath(parent))
            return false;
        if (::mkdir(native.constData(), 0700) != 0 && !QFileInfo(path).isDir())
            return false;
    }
    return keepToOwner(path, true);
}

PrivateServer::PrivateServer(const QString &dir, bool forTests)
    : m_dir(QDir::cleanPath(QDir(dir).absolutePath())), m_forTests(forTests)
{
}

PrivateServer::~PrivateServer()
{
    if (m_held)
        release();
}

namespace {

// A folder of this account's own for sockets: under the session's runtime
// folder ($XDG_RUNTIME_DIR, when it is this account's and closed to others),
// else /tmp/velmor-<uid>.
QString runtimeSocketFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
        struct stat st {};
        if (::lstat(QFile::encodeName(xdg).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
            && (st.st_mode & 077) == 0) {
            const QString dir = QDir::cleanPath(xdg) + QStringLiteral("/velmor");
            if (dir.toLocal8Bit().size() < 70)
                return dir;
        }
    }
    return QStringLiteral("/tmp/velmor-%1").arg(::geteuid());
}

// Whether a socket folder is this account's alone: made 0700 when missing,
// narrowed when this account's and wider, refused when it is a link or
// belongs to another account.
void checkSocketFolder(const QString &dir)
{
    const QByteArray native = QFile::encodeName(dir);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw ConnectError(QStringLiteral("The folder %1 for the private database's socket cannot be made: %2")
                               .arg(dir, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        throw ConnectError(QStringLiteral("The folder %1 for the private database's socket is not this account's "
                                          "own (it is a link, not a folder, or another account made it), so Velmor "
                                          "does not use it: another account could listen there in its place. "
                                          "Remove it, or set XDG_RUNTIME_DIR to a folder of this account's own.")
                               .arg(dir));
    if ((st.st_mode & 077) != 0 && !keepToOwner(dir, true))
        throw ConnectError(QStringLiteral("The folder %1 for the private database's socket is open to other "
                                          "accounts and cannot be narrowed.")
                               .arg(dir));
}

} // namespace

QString PrivateServer::socketPath() const
{
    const QString inDir = m_dir + QStringLiteral("/mysql.sock");
    if (inDir.toLocal8Bit().size() < 100)
        return inDir;
    // Unix socket paths are short: a deep workstation folder gets its socket
    // in a folder of this account's own, named from a hash of the folder.
    const QByteArray h = QCryptographicHash::hash(m_dir.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return runtimeSocketFolder() + QStringLiteral("/%1.sock").arg(QString::fromLatin1(h));
}

void PrivateServer::checkSocket() const
{
    const QString socket = socketPath();
    const QString folder = QFileInfo(socket).absolutePath();
    if (folder != m_dir)
        checkSocketFolder(folder);
    // What answers there must be this account's server (or nothing yet).
    struct stat st {};
    if (::lstat(QFile::encodeName(socket).constData(), &st) != 0)
        return;
    if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid())
        throw ConnectError(QStringLiteral("%1 is not the socket of this account's private database (%2); Velmor "
                                          "does not connect to it. Remove it and start Velmor again.")
                               .arg(socket, !S_ISSOCK(st.st_mode) ? QStringLiteral("it is no socket")
                                                                  : QStringLiteral("account %1 owns it").arg(st.st_uid)));
}

QString PrivateServer::errorLog() const { return m_dir + QStringLiteral("/err.log"); }

QString PrivateServer::passwordFile() const { return m_dir + QStringLiteral("/root.password"); }

QString PrivateServer::rootPassword() const { return readPasswordFile(passwordFile()); }

QString PrivateServer::readPasswordFile(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// The server's root account answers the owner of the workstation only: the
// account running as the operating system's root through its socket (the
// unix_socket plugin), anybody else with the generated password kept in a
// 0600 file in the 0700 server folder.  No anonymous account, no root from
// another host.  Run at every start of the server, so a folder made before
// any of this is brought to the same state.
void PrivateServer::secureAccounts() const
{
    QString password = rootPassword();
    if (password.isEmpty()) {
        password = generatedPassword();
        QFile::remove(passwordFile());
        QFile f(passwordFile());
        if (!f.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            || f.write(password.toUtf8() + '\n') <= 0 || !f.flush())
            throw ConnectError(QStringLiteral("The password file %1 of the private database cannot be written.")
                                   .arg(QDir::toNativeSeparators(passwordFile())));
    }
    keepToOwner(passwordFile(), false);

    static QAtomicInt counter;
    const QString name = QStringLiteral("velmor-secure-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1));
    QString failure;
    {
        QSqlDatabase db = rootConnection(name, socketPath(), password);
        if (!db.isValid()) {
            failure = QStringLiteral("the server's root account does not accept this workstation");
        } else {
            QSqlQuery q(db);
            QStringList statements{
                QStringLiteral("ALTER USER 'root'@'localhost' IDENTIFIED VIA unix_socket OR mysql_native_password "
                               "USING PASSWORD('%1')")
                    .arg(password)};
            if (q.exec(QStringLiteral("SELECT User, Host FROM mysql.global_priv WHERE User = '' "
                                      "OR (User = 'root' AND Host <> 'localhost')")))
                while (q.next())
                    statements << QStringLiteral("DROP USER '%1'@'%2'").arg(q.value(0).toString(), q.value(1).toString());
            for (const QString &sql : statements)
                if (!q.exec(sql))
                    failure = q.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw ConnectError(QStringLiteral("The private database in %1 could not be kept to this account: %2")
                               .arg(QDir::toNativeSeparators(m_dir), failure));
}

QString PrivateServer::findProgram(const QString &name)
{
    // VELMOR_SERVER_BIN_DIR points at the MariaDB programs to use (and only those).
    const QString binDir = qEnvironmentVariable("VELMOR_SERVER_BIN_DIR");
    if (!binDir.isEmpty())
        return QStandardPaths::findExecutable(name, {binDir});
    QString p = QStandardPaths::findExecutable(name);
    if (p.isEmpty())
        p = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"),
                                                  QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin")});
    return p;
}

bool PrivateServer::answers() const
{
    QLocalSocket s;
    s.connectToServer(socketPath());
    const bool ok = s.waitForConnected(1000);
    s.abort();
    return ok;
}

void PrivateServer::initialise()
{
    if (QFileInfo::exists(m_dir + QStringLiteral("/data/mysql")))
        return;
    const QString installDb = findProgram(QStringLiteral("mariadb-install-db"));
    if (installDb.isEmpty())
        throw ConnectError(QStringLiteral("The database server program is not installed (mariadb-install-db "
                                          "was not found). Install MariaDB (scripts/run does it), or set "
                                          "another connection mode in %1.")
                               .arg(QDir::toNativeSeparators(QFileInfo(m_dir).absolutePath()
                                                             + QStringLiteral("/database.ini"))));
    // A data folder without its database is one whose making was cut short
    // (Velmor's marker is in it) and is made again; a folder holding
    // anything else is not Velmor's to clear.
    const QString data = m_dir + QStringLiteral("/data");
    const QString marker = data + QStringLiteral("/") + QLatin1String(kMakingMarker);
    const QFileInfo dataInfo(data);
    if (dataInfo.isSymLink() || (dataInfo.exists() && !dataInfo.isDir()))
        throw ConnectError(QStringLiteral("%1 is not a folder Velmor made for the private database; Velmor leaves it "
                                          "alone. Move it away to have the database made there.")
                               .arg(QDir::toNativeSeparators(data)));
    if (dataInfo.exists() && !QDir(data).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (!QFileInfo(marker).isFile())
            throw ConnectError(QStringLiteral("The folder %1 holds files but no database, and Velmor did not make "
                                              "them; it leaves them alone. Move them away to have the private "
                                              "database made there.")
                                   .arg(QDir::toNativeSeparators(data)));
        QDir(data).removeRecursively();
    }
    if (!makeOwnFolder(data))
        throw ConnectError(QStringLiteral("The folder %1 for the private database cannot be made.")
                               .arg(QDir::toNativeSeparators(data)));
    {
        QFile mark(marker);
        if (!mark.open(QIODevice::WriteOnly) || mark.write("Velmor is making this database folder.\n") <= 0)
            throw ConnectError(QStringLiteral("The folder %1 for the private database cannot be written.")
                                   .arg(QDir::toNativeSeparators(data)));
    }
    QStringList args = serverOptions() + m_extraOptions;
    // The bootstrap server clears every temporary table it finds in its
    // temporary folder when it comes up; in the shared /tmp that is another
    // workstation's (or test's) bootstrap running at the same moment.
    args << QStringLiteral("--datadir=%1/data").arg(m_dir) << QStringLiteral("--tmpdir=%1/tmp").arg(m_dir)
         << QStringLiteral("--auth-root-authentication-method=normal") << QStringLiteral("--skip-test-db")
         << QStringLiteral("--skip-name-resolve");
    if (runningAsRoot())
        args << QStringLiteral("--user=root");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(installDb, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        // The installer's own advice fills the end of its output; the lines
        // that say what went wrong come first.
        const QString all = QString::fromLocal8Bit(p.readAll()).trimmed();
        const QStringList errors = all.split(QLatin1Char('\n')).filter(QStringLiteral("ERROR"));
        const QString output = errors.isEmpty() ? all.right(600) : errors.mid(0, 8).join(QLatin1Char('\n'));
        QDir(data).removeRecursively(); // made just now, marker and all
        throw ConnectError(QStringLiteral("The private database could not be created in %1:\n%2")
                               .arg(QDir::toNativeSeparators(m_dir), output));
    }
    QFile::remove(marker);
}

void PrivateServer::start()
{
    m_launchedPid = 0;
    if (!makeOwnFolder(m_dir))
        throw ConnectError(QStringLiteral("The folder %1 for the private database cannot be created. "
                                          "Set VELMOR_HOME to a folder you may write to, or choose another "
                                          "connection mode in database.ini.")
                               .arg(QDir::toNativeSeparators(m_dir)));
    checkSocket();
    if (answers())
        return;
    const QString mariadbd = findProgram(QStringLiteral("mariadbd"));
    if (mariadbd.isEmpty())
        throw ConnectError(QStringLiteral("The database server program is not installed (mariadbd was not "
                                          "found). Install MariaDB (scripts/run does it), or set another "
                                          "connection mode in %1.")
                               .arg(QDir::toNativeSeparators(QFileInfo(m_dir).absolutePath()
                                                             + QStringLiteral("/database.ini"))));
    // A server on this data folder that is still coming up (its starter died
    // meanwhile, or started it a moment ago): wait for it rather than start
    // a second one on the same files.
    QDeadlineTimer waitForRunning(60000);
    while (!serverProcesses(m_dir + QStringLiteral("/data")).isEmpty()) {
        if (answers())
            return;
        if (waitForRunning.hasExpired())
            throw ConnectError(QStringLiteral("The private database server in %1 is running but does not "
                                              "answer.  See %2.")
                                   .arg(QDir::toNativeSeparators(m_dir), QDir::toNativeSeparators(errorLog())));
        QThread::msleep(50);
    }
    // The temporary folder serves the data folder's making and the server.
    QDir().mkpath(m_dir + QStringLiteral("/tmp"));
    initialise();

    // A pid file left by a server that died is in the way of a new one.
    const QString pidFile = m_dir + QStringLiteral("/mysqld.pid");
    if (QFileInfo::exists(pidFile) && !processAlive(readPid(pidFile)))
        QFile::remove(pidFile);
    QFile::remove(socketPath());

    QStringList args = serverOptions() + m_extraOptions;
    args << QStringLiteral("--datadir=%1/data").arg(m_dir) << QStringLiteral("--socket=%1").arg(socketPath())
         << QStringLiteral("--pid-file=%1").arg(pidFile) << QStringLiteral("--skip-networking")
         // Its temporary tables in a folder of its own, out of reach of
         // whatever cleans /tmp while the server runs.
         << QStringLiteral("--tmpdir=%1/tmp").arg(m_dir)
         << QStringLiteral("--log-error=%1").arg(errorLog())
         << QStringLiteral("--innodb-buffer-pool-size=%1").arg(m_forTests ? QStringLiteral("64M")
                                                                          : QStringLiteral("256M"));
    if (m_forTests)
        args << QStringLiteral("--innodb-flush-log-at-trx-commit=0") << QStringLiteral("--innodb-doublewrite=0")
             << QStringLiteral("--max-connections=500");
    if (runningAsRoot())
        args << QStringLiteral("--user=root");

    // Watched from before its launch: a starter killed at any moment after
    // it leaves no server behind (the watcher waits while the starter lives).
    if (m_watchLaunch)
        startWatchdog();
    qint64 pid = 0;
    QProcess p;
    p.setProgram(mariadbd);
    p.setArguments(args);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    if (!p.startDetached(&pid))
        throw ConnectError(QStringLiteral("The private database server could not be started (%1).").arg(mariadbd));
    faultPoint("private-server-launched");

    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(socketPath()) && answers()) {
            m_launchedPid = pid;
            try {
                secureAccounts();
            } catch (const ConnectError &) {
                ::kill(pid_t(pid), SIGTERM);
                throw;
            }
            return;
        }
        if (!processAlive(pid) && !answers())
            break;
        QThread::msleep(50);
    }
    QFile log(errorLog());
    QString tail;
    if (log.open(QIODevice::ReadOnly))
        tail = QString::fromLocal8Bit(log.readAll()).trimmed().right(800);
    throw ConnectError(QStringLiteral("The private database server in %1 did not start.\n%2")
                           .arg(QDir::toNativeSeparators(m_dir), tail));
}

void PrivateServer::stop()
{
    // Every server on the data folder, whether or not it wrote its pid file.
    QList<qint64> pids = serverProcesses(m_dir + QStringLiteral("/data"));
    const qint64 filed = readPid(m_dir + QStringLiteral("/mysqld.pid"));
    if (filed > 0 && processAlive(filed) && !pids.contains(filed))
        pids << filed;
    for (qint64 pid : pids)
        ::kill(pid_t(pid), SIGTERM);
    QDeadlineTimer deadline(60000);
    for (qint64 pid : pids)
        while (!deadline.hasExpired() && processAlive(pid))
            QThread::msleep(20);
}

void PrivateServer::cleanDeadClients() const
{
    QDir clients(m_dir + QStringLiteral("/clients"));
    for (const QString &name : clients.entryList(QDir::Files)) {
        if (!processAlive(name.section(QLatin1Char('-'), 0, 0).toLongLong()))
            clients.remove(name);
    }
}

int PrivateServer::clientCount() const
{
    cleanDeadClients();
    return QDir(m_dir + QStringLiteral("/clients")).entryList(QDir::Files).size();
}

void PrivateServer::acquire()
{
    if (m_held)
        return;
    if (!makeOwnFolder(m_dir) || !QDir().mkpath(m_dir + QStringLiteral("/clients")))
        throw ConnectError(QStringLiteral("The folder %1 for the private database cannot be created. "
                                          "Set VELMOR_HOME to a folder you may write to, or choose another "
                                          "connection mode in database.ini.")
                               .arg(QDir::toNativeSeparators(m_dir)));
    QLockFile lock(m_dir + QStringLiteral("/server.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(120000))
        throw ConnectError(QStringLiteral("Another Velmor on this workstation is starting the private "
                                          "database server in %1 and has not finished.")
                               .arg(QDir::toNativeSeparators(m_dir)));
    m_watchLaunch = true;
    start();
    m_watchLaunch = false;
    static QAtomicInt leaseCounter;
    m_leaseName = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(leaseCounter.fetchAndAddRelaxed(1));
    QFile mine(m_dir + QStringLiteral("/clients/") + m_leaseName);
    mine.open(QIODevice::WriteOnly);
    m_held = true;
    faultPoint("private-server-leased");
}

// A Velmor that is killed never releases its lease, and the last one out
// stops the server only when it leaves normally.  The Velmor that launches
// the server therefore starts a small watcher first, beside it: every two
// seconds it looks for the server's processes (by their data folder) and
// for a live lease holder (or a Velmor holding the start-up lock) and, when
// twice in a row there is a server but nobody, stops it and ends.  It ends
// when there is no server and nobody starting one.  Started before the
// server, it also covers a starter killed before it took its lease.
void PrivateServer::startWatchdog() const
{
    static const QString script = QStringLiteral(
        "dir=$1; quiet=0\n"
        "while :; do\n"
        "  sleep 2\n"
        "  pids=$(grep -lzxF -- \"--datadir=$dir/data\" /proc/[0-9]*/cmdline 2>/dev/null | cut -d/ -f3)\n"
        "  if [ -e \"$dir/server.lock\" ]; then\n"
        "    lp=$(head -n 1 \"$dir/server.lock\" 2>/dev/null)\n"
        "    if [ -n \"$lp\" ] && kill -0 \"$lp\" 2>/dev/null; then quiet=0; continue; fi\n"
        "  fi\n"
        "  [ -n \"$pids\" ] || exit 0\n"
        "  alive=0\n"
        "  for f in \"$dir\"/clients/*; do\n"
        "    [ -e \"$f\" ] || continue\n"
        "    p=${f##*/}; p=${p%%-*}\n"
        "    if kill -0 \"$p\" 2>/dev/null; then alive=1; break; fi\n"
        "  done\n"
        "  if [ $alive = 1 ]; then quiet=0; continue; fi\n"
        "  quiet=$((quiet + 1))\n"
        "  if [ $quiet -ge 2 ]; then kill -TERM $pids; exit 0; fi\n"
        "done\n");
    QProcess p;
    p.setProgram(QStringLiteral("/bin/sh"));
    p.setArguments({QStringLiteral("-c"), script, QStringLiteral("velmor-server-watch"), m_dir});
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.startDetached();
}

void PrivateServer::release()
{
    if (!m_held)
        return;
    m_held = false;
    QLockFile lock(m_dir + QStringLiteral("/server.lock"));
    lock.setStaleLockTime(0);
    lock.tryLock(120000);
    QFile::remove(m_dir + QStringLiteral("/clients/") + m_leaseName);
    if (clientCount() == 0)
        stop();
}

} // namespace velmor::db
