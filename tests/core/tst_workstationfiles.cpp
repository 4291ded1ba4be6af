// The workstation folder's files as Velmor meets them on a machine shared
// with other accounts: a file that is a link to a place outside the folder
// is neither narrowed, read nor written; a FIFO or a device where a file
// belongs never holds the program; a database.ini that cannot be read or
// understood stops the start naming the file and the line, instead of
// opening a new, empty database of Velmor's own.  The file-system cases run
// as root and, through the program, as the account `nobody`.
#include "core/AppContext.h"
#include "core/Workstation.h"
#include "db/Connection.h"
#include "stones/ScanJournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace velmor;

namespace {

int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

void writeFile(const QString &path, const QByteArray &bytes, int mode = 0644)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
    f.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool canSwitchAccounts()
{
    return ::geteuid() == 0 &&
           !QStandardPaths::findExecutable(QStringLiteral("runuser"),
                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                .isEmpty();
}

struct Run {
    int code = -1;
    QString out, err;
    qint64 ms = 0;
};

// The velmor program on a workstation folder, as this account or as
// `nobody`; a run that takes longer than 30 s is killed (code -1).
Run runVelmor(const QString &home, const QStringList &args, bool asNobody = false)
{
    const QString program = qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), home);
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    if (asNobody)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                            QStringLiteral("env"), QStringLiteral("VELMOR_HOME=") + home, program} +
                    args);
    else
        p.start(program, args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        r.ms = t.elapsed();
        return r;
    }
    r.ms = t.elapsed();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// A place every account may pass through, with a workstation folder and a
// file outside it, both owned by `owner` (root or nobody).
struct Place {
    QTemporaryDir root{QStringLiteral("/dev/shm/vwf-XXXXXX")};
    QString home, outside;
    explicit Place(bool forNobody = false)
    {
        ::chmod(QFile::encodeName(root.path()).constData(), 0755);
        home = root.filePath(QStringLiteral("ws"));
        outside = root.filePath(QStringLiteral("system-file"));
        QDir().mkpath(home);
        ::chmod(QFile::encodeName(home).constData(), 0700);
        writeFile(outside, "kept as it was\n", 0644);
        if (forNobody)
            for (const QString &p : {home, outside})
                QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), p});
    }
    QString at(const QString &name) const { return home + QLatin1Char('/') + name; }
};

} // namespace

class TestWorkstationFiles : public QObject {
    Q_OBJECT
private slots:
    void linksOutsideAreNotFollowed_data();
    void linksOutsideAreNotFollowed();
    void linksOutsideAsAnotherAccount();
    void linkInsideTheFolderStillWorks();
    void databaseIniRefused_data();
    void databaseIniRefused();
    void databaseIniRefusedByTheProgram();
    void fifoNeverHolds();
    void countScanNotesKeepToTheFolder();
};

void TestWorkstationFiles::linksOutsideAreNotFollowed_data()
{
    QTest::addColumn<QString>("name");
    for (const char *n : {"database.ini", "listing.ini", "online.ini"})
        QTest::newRow(n) << QString::fromLatin1(n);
}

void TestWorkstationFiles::linksOutsideAreNotFollowed()
{
    QFETCH(QString, name);
    Place place;
    QVERIFY(QFile::link(place.outside, place.at(name)));
    Workstation ws(place.home, place.root.filePath(QStringLiteral("program")));
    QVERIFY(ws.ensureFolder());
    // The mode of the file the link points at stays as it was.
    QCOMPARE(modeOf(place.outside), 0644);
    QVERIFY2(ws.outsideRefusal(name).contains(QStringLiteral("outside the workstation folder")),
             qPrintable(ws.outsideRefusal(name)));
    // Neither read nor written through the link.
    QVERIFY(ws.readLines(name).isEmpty());
    QVERIFY(!ws.writeText(name, QStringLiteral("mode=private\n")));
    QCOMPARE(readFile(place.outside), QByteArray("kept as it was\n"));
    if (name == QLatin1String("database.ini")) {
        const db::ConnectionSettings cs = ws.connectionSettings();
        QVERIFY2(cs.problem.contains(place.at(name)) && cs.problem.contains(QStringLiteral("outside")),
                 qPrintable(cs.problem));
    }
    // The checkpoint file is not written through a link either.
    QVERIFY(QFile::link(place.outside, place.at(QStringLiteral("errrotrap.txt"))));
    ws.checkpoint(QStringLiteral("qwrbwr"));
    QCOMPARE(readFile(place.outside), QByteArray("kept as it was\n"));
}

void TestWorkstationFiles::linksOutsideAsAnotherAccount()
{
    if (!canSwitchAccounts())
        QSKIP("switching to another account needs root and runuser (as the tests run in CI)");
    // The folder and the file outside belong to `nobody`, who runs Velmor:
    // a link to that file must not narrow it either.
    Place place(true);
    QVERIFY(QFile::link(place.outside, place.at(QStringLiteral("listing.ini"))));
    writeFile(place.at(QStringLiteral("database.ini")), "mode=server\nsocket=/nonexistent/velmor.sock\n",
              0600);
    QProcess::execute(QStringLiteral("chown"),
                      {QStringLiteral("-h"), QStringLiteral("nobody"),
                       place.at(QStringLiteral("listing.ini")), place.at(QStringLiteral("database.ini"))});
    Run r = runVelmor(place.home, {QStringLiteral("config"), QStringLiteral("show")}, true);
    QVERIFY2(r.code > 0, qPrintable(r.out + r.err)); // no database at that socket
    QCOMPARE(modeOf(place.outside), 0644);
    QVERIFY2(r.err.contains(place.at(QStringLiteral("listing.ini")) + QStringLiteral(" is a link to ")),
             qPrintable(r.err));

    // database.ini itself a link out of the folder: refused, nothing made.
    QFile::remove(place.at(QStringLiteral("database.ini")));
    QVERIFY(QFile::link(place.outside, place.at(QStringLiteral("database.ini"))));
    r = runVelmor(place.home, {QStringLiteral("config"), QStringLiteral("show")}, true);
    QVERIFY2(r.code > 0 && r.err.contains(place.at(QStringLiteral("database.ini"))),
             qPrintable(r.out + r.err));
    QVERIFY(!QFileInfo::exists(place.at(QStringLiteral("mariadb"))));
    QCOMPARE(modeOf(place.outside), 0644);
    QCOMPARE(readFile(place.outside), QByteArray("kept as it was\n"));
}

void TestWorkstationFiles::linkInsideTheFolderStillWorks()
{
    // A link to a file in the folder is the file: read, and narrowed.
    Place place;
    QDir().mkpath(place.at(QStringLiteral("conf")));
    writeFile(place.at(QStringLiteral("conf/db.ini")), "mode=odbc\ndsn=ShopData\n", 0644);
    QVERIFY(QFile::link(place.at(QStringLiteral("conf/db.ini")), place.at(QStringLiteral("database.ini"))));
    Workstation ws(place.home, place.root.filePath(QStringLiteral("program")));
    QVERIFY(ws.ensureFolder());
    QCOMPARE(modeOf(place.at(QStringLiteral("conf/db.ini"))), 0600);
    const db::ConnectionSettings cs = ws.connectionSettings();
    QVERIFY2(cs.problem.isEmpty(), qPrintable(cs.problem));
    QCOMPARE(cs.dsn, QStringLiteral("ShopData"));
}

void TestWorkstationFiles::databaseIniRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("named"); // what the refusal names besides the file
    QTest::newRow("misspelt mode") << QByteArray("mode=sever\nhost=10.0.0.5\n")
                                   << "line 1: \"mode=sever\" is no mode";
    QTest::newRow("misspelt key") << QByteArray("mode=server\nhots=10.0.0.5\n")
                                  << "line 2: \"hots=...\" names no setting";
    QTest::newRow("no mode line") << QByteArray("host=10.0.0.5\nuser=shop\n") << "needs a line mode=";
    QTest::newRow("a port that is none")
        << QByteArray("mode=server\nport=33o6\n") << "line 2: \"port=33o6\" is no port";
    QTest::newRow("a key twice") << QByteArray("mode=server\nmode=private\n")
                                 << "line 2: \"mode=...\" gives mode a second time";
    QTest::newRow("words, no settings")
        << QByteArray("the shared server is in the back office\n")
        << "line 1: \"the shared server is in the back office\" is not a setting";
    QTest::newRow("empty file") << QByteArray() << "needs a line mode=";
    QByteArray noise;
    QRandomGenerator rng(46);
    for (int i = 0; i < 600; ++i)
        noise += char(rng.bounded(256));
    QTest::newRow("random bytes") << noise << "line";
    QTest::newRow("data folder elsewhere")
        << QByteArray("mode=private\ndatadir=/var/lib\n")
        << "line 2: \"datadir=/var/lib\" is not a folder inside the workstation folder";
    QTest::newRow("data folder climbing out")
        << QByteArray("mode=private\ndatadir=../x\n") << "is not a folder inside";
    QTest::newRow("a folder in its place") << QByteArray("<folder>") << "it is a folder, not a file";
    QTest::newRow("unreadable") << QByteArray("<unreadable>") << "cannot be read";
}

void TestWorkstationFiles::databaseIniRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    Place place;
    const QString ini = place.at(QStringLiteral("database.ini"));
    if (content == "<folder>") {
        QVERIFY(QDir().mkpath(ini));
    } else if (content == "<unreadable>") {
        if (::geteuid() == 0)
            QSKIP("root reads a file of any mode");
        writeFile(ini, "mode=server\n", 0);
    } else {
        writeFile(ini, content, 0600);
    }
    Workstation ws(place.home, place.root.filePath(QStringLiteral("program")));
    const db::ConnectionSettings cs = ws.connectionSettings();
    QVERIFY2(cs.problem.contains(ini) && cs.problem.contains(named), qPrintable(cs.problem));
    // Opening stops there: no private server, no database of its own.
    AppContext ctx(ws, cs);
    try {
        ctx.open();
        QFAIL("opening should be refused");
    } catch (const db::ConnectError &e) {
        QCOMPARE(e.message(), cs.problem);
    }
    QVERIFY(!QFileInfo::exists(place.at(QStringLiteral("mariadb"))));
}

void TestWorkstationFiles::databaseIniRefusedByTheProgram()
{
    // The program says so and exits non-zero, as root and as another account.
    for (const bool asNobody : {false, true}) {
        if (asNobody && !canSwitchAccounts())
            continue;
        Place place(asNobody);
        const QString ini = place.at(QStringLiteral("database.ini"));
        writeFile(ini, "# the shop's server\nmode=sever\nhost=10.0.0.5\n", 0600);
        if (asNobody)
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), ini});
        const Run r = runVelmor(place.home, {QStringLiteral("db"), QStringLiteral("status")}, asNobody);
        QVERIFY2(r.code > 0, qPrintable(r.out + r.err));
        QVERIFY2(r.err.contains(ini + QStringLiteral(", line 2: \"mode=sever\"")), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(place.at(QStringLiteral("mariadb"))));
    }
}

void TestWorkstationFiles::fifoNeverHolds()
{
    // A FIFO nobody writes to in place of a workstation file: refused at
    // once, never waited on (as root and as another account).
    for (const bool asNobody : {false, true}) {
        if (asNobody && !canSwitchAccounts())
            continue;
        Place place(asNobody);
        for (const char *name : {"database.ini", "labelprinter.ini", "errrotrap.txt"}) {
            const QString path = place.at(QString::fromLatin1(name));
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            if (asNobody)
                QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), path});
        }
        const Run r = runVelmor(place.home, {QStringLiteral("config"), QStringLiteral("show")}, asNobody);
        QVERIFY2(r.code > 0 && r.ms < 20000, qPrintable(QString::number(r.ms) + r.out + r.err));
        QVERIFY2(r.err.contains(place.at(QStringLiteral("database.ini"))) &&
                     r.err.contains(QStringLiteral("FIFO")),
                 qPrintable(r.err));
        // In this process too: the files read as missing, the checkpoint is
        // not written, and nothing waits.
        Workstation ws(place.home, place.root.filePath(QStringLiteral("program")));
        QElapsedTimer t;
        t.start();
        QVERIFY(ws.readLines(QStringLiteral("labelprinter.ini")).isEmpty());
        ws.checkpoint(QStringLiteral("q3nh35h3h5"));
        QVERIFY(t.elapsed() < 5000);
    }
}

void TestWorkstationFiles::countScanNotesKeepToTheFolder()
{
    // The stock count notes each scan in the folder: through a link out of
    // it nothing is written or emptied; a FIFO in its place holds nothing up.
    Place place;
    const QString notes = place.at(QStringLiteral("stockcount-scans.txt"));
    Workstation ws(place.home, place.root.filePath(QStringLiteral("program")));
    QVERIFY(QFile::link(place.outside, notes));
    {
        stones::ScanJournal j(ws);
        bool kept = true;
        const stones::ScanInput s = j.tell(7, QStringLiteral("1201"), QStringLiteral("serial"), &kept);
        QVERIFY(!kept);
        QVERIFY(j.waiting(7).isEmpty());
        j.done(s.token);
        QCOMPARE(readFile(place.outside), QByteArray("kept as it was\n"));
    }
    QVERIFY(QFile::remove(notes));
    QVERIFY(::mkfifo(QFile::encodeName(notes).constData(), 0600) == 0);
    QElapsedTimer t;
    t.start();
    stones::ScanJournal j(ws);
    bool kept = true;
    const stones::ScanInput s = j.tell(7, QStringLiteral("1202"), QStringLiteral("serial"), &kept);
    QVERIFY(!kept);
    j.done(s.token);
    QVERIFY(j.countsWaiting().isEmpty());
    QVERIFY(t.elapsed() < 5000);
}

QTEST_GUILESS_MAIN(TestWorkstationFiles)
#include "tst_workstationfiles.moc"
