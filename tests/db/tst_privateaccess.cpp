// The private server and the workstation folder belong to the workstation's
// account: another account on the same machine reaches neither the books nor
// the files that hold passwords, not even through a folder left open, and a
// folder made before any of this is brought to the same state at its next
// start.  Switching accounts needs root, as the test runs in CI.
#include "core/AppContext.h"
#include "core/Workstation.h"
#include "db/PrivateServer.h"
#include "db/Sql.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace velmor;

namespace {

struct Run {
    int code = -1;
    QString output;
};

// The command as the account `nobody`.
Run asNobody(const QStringList &command)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")}
                                           + command);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromLocal8Bit(p.readAll());
    return r;
}

// The books as `nobody`, through the socket, as root (true) or as itself.
Run sqlAsNobody(const QString &socket, bool asRoot)
{
    QStringList args{QStringLiteral("mariadb"), QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket};
    if (asRoot)
        args << QStringLiteral("--user=root");
    args << QStringLiteral("--execute=SELECT COUNT(*) FROM velmor.user");
    return asNobody(args);
}

int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

void setMode(const QString &path, int mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

uint ownerOf(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return uint(-1);
    return st.st_uid;
}

uint nobodyUid()
{
    QProcess p;
    p.start(QStringLiteral("id"), {QStringLiteral("-u"), QStringLiteral("nobody")});
    p.waitForFinished();
    return p.readAll().trimmed().toUInt();
}

QString refusalOf(const Workstation &ws)
{
    AppContext ctx(ws, ws.connectionSettings());
    try {
        ctx.open();
    } catch (const db::ConnectError &e) {
        return e.message();
    }
    return QString();
}

QStringList g_log;
void keepLog(QtMsgType, const QMessageLogContext &, const QString &text) { g_log << text; }

} // namespace

class TestPrivateAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void otherAccountsAreRefused();
    void socketOfADeepFolderIsPrivate();
};

void TestPrivateAccess::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("switching to another account needs root (as the tests run in CI)");
    if (QStandardPaths::findExecutable(QStringLiteral("runuser"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
            .isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("mariadb")).isEmpty())
        QSKIP("runuser or the mariadb client is missing");
}

void TestPrivateAccess::otherAccountsAreRefused()
{
    // A parent every account may pass through; the workstation folder is
    // Velmor's to make.
    QTemporaryDir parent(QStringLiteral("/dev/shm/vpa-XXXXXX"));
    QVERIFY(parent.isValid());
    setMode(parent.path(), 0755);
    const QString home = parent.filePath(QStringLiteral("ws"));
    const QString serverDir = home + QStringLiteral("/mariadb");
    Workstation ws(home, parent.filePath(QStringLiteral("program")));
    QVERIFY(ws.writeText(QStringLiteral("database.ini"), QStringLiteral("mode=private\n")));
    QVERIFY(ws.writeText(QStringLiteral("listing.ini"), QStringLiteral("password=Listing-Secret-1\n")));

    auto everyoneRefused = [&](const QString &socket, const QString &when) {
        for (const bool asRoot : {true, false}) {
            const Run r = sqlAsNobody(socket, asRoot);
            QVERIFY2(r.code > 0, qPrintable(when + (asRoot ? ": as root: " : ": as itself: ") + r.output));
        }
    };
    auto keptToOwner = [&] {
        QCOMPARE(modeOf(home), 0700);
        QCOMPARE(modeOf(serverDir), 0700);
        QCOMPARE(modeOf(home + QStringLiteral("/database.ini")), 0600);
        QCOMPARE(modeOf(home + QStringLiteral("/listing.ini")), 0600);
        QCOMPARE(modeOf(serverDir + QStringLiteral("/root.password")), 0600);
    };
    auto openEverything = [&] {
        setMode(home, 0755);
        setMode(serverDir, 0755);
        setMode(home + QStringLiteral("/database.ini"), 0644);
        setMode(home + QStringLiteral("/listing.ini"), 0644);
    };

    QString socket;
    {
        AppContext ctx(ws, ws.connectionSettings());
        ctx.open();
        socket = ctx.connection.socket;
        keptToOwner();
        if (QTest::currentTestFailed())
            return;
        // Neither the books nor the files.
        everyoneRefused(socket, QStringLiteral("the folder as made"));
        for (const QString &file : {home + QStringLiteral("/database.ini"), home + QStringLiteral("/listing.ini"),
                                    serverDir + QStringLiteral("/root.password")}) {
            const Run r = asNobody({QStringLiteral("cat"), file});
            QVERIFY2(r.code > 0 && !r.output.contains(QStringLiteral("Secret")), qPrintable(file + r.output));
        }
        // A socket another account can reach still lets nobody in.
        openEverything();
        everyoneRefused(socket, QStringLiteral("the folders left open"));
        if (QTest::currentTestFailed())
            return;

        // What a folder made before looked like: root without a password, an
        // anonymous account, no password file, everything open.
        for (const char *sql : {"ALTER USER 'root'@'localhost' IDENTIFIED BY ''", "CREATE USER ''@'localhost'"})
            db::exec(ctx.db(), QString::fromLatin1(sql));
        QVERIFY(QFile::remove(serverDir + QStringLiteral("/root.password")));
        const Run before = sqlAsNobody(socket, true);
        QVERIFY2(before.code == 0, qPrintable(before.output)); // the fault this guards against
    }

    // Its next start brings it to the same state, and says so.
    g_log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepLog);
    AppContext again(ws, ws.connectionSettings());
    again.open();
    qInstallMessageHandler(previous);
    keptToOwner();
    for (const QString &path : {home, serverDir, home + QStringLiteral("/database.ini")})
        QVERIFY2(g_log.filter(path + QStringLiteral(" was open to other accounts")).size() == 1,
                 qPrintable(g_log.join(QLatin1Char('\n'))));
    QCOMPARE(db::scalar(again.db(), QStringLiteral("SELECT COUNT(*) FROM mysql.global_priv WHERE User = ''")).toInt(), 0);
    openEverything();
    everyoneRefused(again.connection.socket, QStringLiteral("the older folder after its next start"));
    again.close();
}

// A workstation folder too deep for a socket inside it: the socket goes to
// a folder of the account's own (0700) under the runtime folder, never to a
// predictable name in the shared /tmp; a folder or a socket there that
// another account made is refused, not connected to.
void TestPrivateAccess::socketOfADeepFolderIsPrivate()
{
    QTemporaryDir parent(QStringLiteral("/dev/shm/vpa-XXXXXX"));
    setMode(parent.path(), 0755);
    const QString home = parent.filePath(QString(110, QLatin1Char('d')));
    QTemporaryDir runtime(QStringLiteral("/dev/shm/vrun-XXXXXX"));
    setMode(runtime.path(), 0700);
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString place = runtime.filePath(QStringLiteral("velmor"));
    Workstation ws(home, parent.filePath(QStringLiteral("program")));
    QString socket;
    {
        AppContext ctx(ws, ws.connectionSettings());
        ctx.open();
        socket = ctx.connection.socket;
        QVERIFY2(socket.startsWith(place + QLatin1Char('/')), qPrintable(socket));
        QCOMPARE(modeOf(place), 0700);
        QCOMPARE(ownerOf(place), uint(::geteuid()));
        QCOMPARE(ownerOf(socket), uint(::geteuid()));
        for (const bool asRoot : {true, false}) {
            const Run r = sqlAsNobody(socket, asRoot);
            QVERIFY2(r.code > 0, qPrintable(r.output));
        }
    }
    // Another account's folder in its place.
    QVERIFY(::chown(QFile::encodeName(place).constData(), nobodyUid(), 0) == 0);
    QString refusal = refusalOf(ws);
    QVERIFY2(refusal.contains(place) && refusal.contains(QStringLiteral("not this account's own")), qPrintable(refusal));
    QVERIFY(::chown(QFile::encodeName(place).constData(), ::geteuid(), 0) == 0);
    // Another account listening first at the socket's name.
    QFile::remove(socket);
    QLocalServer first;
    QVERIFY(first.listen(socket));
    QVERIFY(::lchown(QFile::encodeName(socket).constData(), nobodyUid(), 0) == 0);
    refusal = refusalOf(ws);
    QVERIFY2(refusal.contains(socket) && refusal.contains(QStringLiteral("account %1 owns it").arg(nobodyUid())),
             qPrintable(refusal));
    QCoreApplication::processEvents();
    QVERIFY(!first.hasPendingConnections());
    first.close();
    if (oldRuntime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", oldRuntime);

    // As another account, without a runtime folder: its place under /tmp is
    // made its own, and refused when someone else made it first.
    const QString nobodyHome = parent.filePath(QStringLiteral("n") + QString(110, QLatin1Char('d')));
    QVERIFY(QDir().mkpath(nobodyHome));
    QVERIFY(::chown(QFile::encodeName(nobodyHome).constData(), nobodyUid(), 0) == 0);
    const QString nobodyPlace = QStringLiteral("/tmp/velmor-%1").arg(nobodyUid());
    const bool madeBefore = QFileInfo::exists(nobodyPlace);
    if (madeBefore && ownerOf(nobodyPlace) != nobodyUid())
        QSKIP("/tmp/velmor-<nobody> is there already, made by another account");
    const QString velmor = qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY);
    auto statusAsNobody = [&] {
        return asNobody({QStringLiteral("env"), QStringLiteral("-u"), QStringLiteral("XDG_RUNTIME_DIR"),
                         QStringLiteral("VELMOR_HOME=") + nobodyHome, velmor, QStringLiteral("db"),
                         QStringLiteral("status")});
    };
    if (!madeBefore) {
        QVERIFY(QDir().mkdir(nobodyPlace));
        setMode(nobodyPlace, 0700);
        const Run r = statusAsNobody();
        QVERIFY(QDir().rmdir(nobodyPlace));
        QVERIFY2(r.code > 0 && r.output.contains(nobodyPlace) && r.output.contains(QStringLiteral("not this account's own")),
                 qPrintable(r.output));
    }
    const Run r = statusAsNobody();
    QVERIFY2(r.code == 0, qPrintable(r.output));
    QCOMPARE(ownerOf(nobodyPlace), nobodyUid());
    QCOMPARE(modeOf(nobodyPlace), 0700);
    if (!madeBefore)
        QDir(nobodyPlace).removeRecursively();
}

QTEST_GUILESS_MAIN(TestPrivateAccess)
#include "tst_privateaccess.moc"
