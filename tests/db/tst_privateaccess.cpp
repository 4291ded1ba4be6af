// The private server and the workstation folder belong to the workstation's
// account: another account on the same machine reaches neither the books nor
// the files that hold passwords, not even through a folder left open, and a
// folder made before any of this is brought to the same state at its next
// start.  Switching accounts needs root, as the test runs in CI.
#include "core/AppContext.h"
#include "core/Workstation.h"
#include "db/PrivateServer.h"
#include "db/Sql.h"

#include <QFile>
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

QStringList g_log;
void keepLog(QtMsgType, const QMessageLogContext &, const QString &text) { g_log << text; }

} // namespace

class TestPrivateAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void otherAccountsAreRefused();
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

QTEST_GUILESS_MAIN(TestPrivateAccess)
#include "tst_privateaccess.moc"
