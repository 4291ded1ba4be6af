// Backups with the real MariaDB tools on the test server: books with every
// table filled (odd values and Null everywhere) backed up while a shop works
// on them and restored whole; backups and restores killed at random moments;
// damaged files, a full disk and an unwritable folder refused with their
// reason; a database that holds data kept unless replaced; an account with
// only the rights the README lists; the daily automatic backup.
#include "RecordedTools.h"
#include "ServerProcesses.h"
#include "TestDb.h"

#include "core/Backups.h"
#include "db/Backup.h"
#include "db/PrivateServer.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "shell/BackupCommands.h"
#include "shell/BooksCheck.h"

#ifdef VELMOR_HAVE_SOAK
#include "DealerData.h"
#include "Soak.h"
#endif

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace velmor;
using velmor::test::TestDb;

namespace {

QString velmorBinary()
{
    const QString b = qEnvironmentVariable("VELMOR_BINARY");
    return b.isEmpty() ? QStringLiteral(VELMOR_BINARY) : b;
}

struct Run {
    bool killed = false;
    int exitCode = -1;
    QString out, err;
    qint64 ms = 0;
};

// `velmor ARGS` with the workstation folder `home`; killed with SIGKILL
// after `killAfterMs` when given; `fileLimit` caps the size of the files it
// writes (a full disk).
Run runVelmor(const QString &home, const QStringList &args, int killAfterMs = -1, qint64 fileLimit = 0,
              const QString &password = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), home);
    env.remove(QStringLiteral("VELMOR_USER"));
    env.remove(QStringLiteral("VELMOR_PASSWORD"));
    if (!password.isEmpty())
        env.insert(QStringLiteral("VELMOR_PASSWORD"), password);
    p.setProcessEnvironment(env);
    if (fileLimit > 0)
        p.setChildProcessModifier([fileLimit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit l{rlim_t(fileLimit), rlim_t(fileLimit)};
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
    QElapsedTimer t;
    t.start();
    p.start(velmorBinary(), args);
    p.waitForStarted();
    if (killAfterMs >= 0 && !p.waitForFinished(killAfterMs)) {
        p.kill();
        p.waitForFinished(30000);
    } else {
        p.waitForFinished(300000);
    }
    Run r;
    r.ms = t.elapsed();
    r.killed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = r.killed ? -1 : p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// When to kill a run: at a random moment within the time a whole run takes.
// A busy machine makes runs slower or faster than the one measured; a run
// that finished before its kill narrows the window to its own time, so that
// most tries are cut short wherever the machine's load goes.
class KillWindow {
public:
    explicit KillWindow(qint64 wholeMs) : m_ms(qMax<qint64>(wholeMs, 2)) {}
    int next(QRandomGenerator &rnd) const { return int(rnd.bounded(m_ms)) + 1; }
    void ran(const Run &r)
    {
        if (!r.killed)
            m_ms = qMax<qint64>(2, qMin(m_ms, r.ms * 9 / 10));
    }

private:
    qint64 m_ms;
};

// A workstation folder whose database.ini reaches a database of the test
// server (as its root, like the tests).
QString serverHome(const QString &folder, const QString &database)
{
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/database.ini"));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n").arg(TestDb::socketPath(), database).toUtf8());
    return folder;
}

db::ConnectionSettings settingsFor(const QString &database)
{
    db::ConnectionSettings s;
    s.mode = db::Mode::Server;
    s.socket = TestDb::socketPath();
    s.user = QStringLiteral("root");
    s.database = database;
    s.sourceFile = QStringLiteral("(test)");
    return s;
}

QString odd(int length, bool fourByte)
{
    // Quotes of every kind, a backslash, a NUL byte, a line break, accents,
    // a dash and a fraction, and text of other scripts.
    QString s = QStringLiteral("O'Neil \"5\" \\ ; ),( ") + QChar(0) + QStringLiteral("\nZürich – ½ ct Ú 日本語");
    if (fourByte)
        s += QStringLiteral(" 💎");
    return s.left(length);
}

// Two rows more in every table: one with Null wherever a column allows it,
// one with odd text in every text column (only where the column holds it)
// and every byte value in the binary ones; generated columns are left to
// the server.  An invoice line names an invoice that exists, and a stock
// count's scan a count and an unknown code (anything else is a fault of the
// books).
void fillOddRows(const QSqlDatabase &db)
{
    QVariant invoice = db::scalar(db, QStringLiteral("SELECT MIN(ID) FROM invoice"));
    if (invoice.isNull())
        invoice = db::insert(db, QStringLiteral("INSERT INTO invoice (status) VALUES ('open')"));
    QHash<QString, QHash<QString, QVariant>> fixed{{QStringLiteral("invoicelist"), {{QStringLiteral("invoiceid"), invoice}}}};
    if (db::tableExists(db, QStringLiteral("stockcountscan"))) {
        const QVariant count = db::insert(db, QStringLiteral("INSERT INTO stockcount (Name, Status) VALUES ('Zürich – ½', 'open')"));
        fixed.insert(QStringLiteral("stockcountscan"), {{QStringLiteral("countid"), count},
                                                        {QStringLiteral("result"), QStringLiteral("unknown")},
                                                        {QStringLiteral("code"), QStringLiteral("O'Neil – ½ \\ ct")}});
    }
    QSqlQuery cols = db::exec(db, QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, IS_NULLABLE, "
                                                 "IFNULL(CHARACTER_MAXIMUM_LENGTH, 0), IFNULL(CHARACTER_SET_NAME, ''), "
                                                 "EXTRA, COLUMN_DEFAULT IS NOT NULL FROM information_schema.COLUMNS "
                                                 "WHERE TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME, ORDINAL_POSITION"));
    struct Col {
        QString name, type;
        bool nullable, hasDefault;
        int length;
        QString charset;
    };
    std::map<QString, QList<Col>> tables;
    while (cols.next()) {
        const QString extra = cols.value(6).toString().toLower();
        if (extra.contains(QLatin1String("auto_increment")) || extra.contains(QLatin1String("generated"))
            || extra.contains(QLatin1String("stored")) || extra.contains(QLatin1String("virtual")))
            continue;
        tables[cols.value(0).toString()] << Col{cols.value(1).toString(), cols.value(2).toString().toLower(),
                                                 cols.value(3).toString() == QLatin1String("YES"), cols.value(7).toBool(),
                                                 cols.value(4).toInt(), cols.value(5).toString()};
    }
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.append(char(i));
    for (const auto &[table, columns] : tables) {
        for (int row = 0; row < 2; ++row) {
            QStringList names, marks;
            QVariantList values;
            for (const Col &c : columns) {
                if (fixed.value(table.toLower()).contains(c.name.toLower())) {
                    names << QLatin1Char('`') + c.name + QLatin1Char('`');
                    marks << QStringLiteral("?");
                    values << fixed.value(table.toLower()).value(c.name.toLower());
                    continue;
                }
                const bool text = c.type.contains(QLatin1String("char")) || c.type.contains(QLatin1String("text"));
                const bool binary = c.type.contains(QLatin1String("blob")) || c.type.contains(QLatin1String("binary"));
                QVariant v;
                if (row == 1 && text)
                    v = odd(c.length > 0 ? c.length : 200, c.charset == QLatin1String("utf8mb4"));
                else if (row == 1 && binary)
                    v = c.length > 0 ? allBytes.left(c.length) : allBytes;
                else if (!c.nullable && !c.hasDefault)
                    v = text || binary ? QVariant(QString()) : c.type.contains(QLatin1String("date")) ? QVariant(QStringLiteral("2000-01-01")) : QVariant(0);
                else
                    continue; // Null, or the column's default
                names << QLatin1Char('`') + c.name + QLatin1Char('`');
                marks << QStringLiteral("?");
                values << v;
            }
            db::exec(db, QStringLiteral("INSERT INTO `%1` (%2) VALUES (%3)")
                             .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                     values);
        }
    }
}

// CHECKSUM TABLE of every table, as the server computes it.
std::map<QString, QString> serverChecksums(const QSqlDatabase &db, const QString &database)
{
    std::map<QString, QString> out;
    QStringList tables;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? "
                                              "AND TABLE_TYPE = 'BASE TABLE'"),
                           {database});
    while (q.next())
        tables << QStringLiteral("`%1`.`%2`").arg(database, q.value(0).toString());
    QSqlQuery c = db::exec(db, QStringLiteral("CHECKSUM TABLE ") + tables.join(QLatin1Char(',')));
    while (c.next())
        out[c.value(0).toString().section(QLatin1Char('.'), 1).toLower()] = c.value(1).toString();
    return out;
}

QByteArray fileHash(const QString &file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

int tableCount(const QSqlDatabase &db, const QString &database)
{
    return db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = ?"), {database})
        .toInt();
}

backups::RestoreRequest restoreRequest(const QString &file, const QString &home, const QString &database, bool replace = false)
{
    backups::RestoreRequest r;
    r.file = file;
    r.home = home;
    r.database = database;
    r.replace = replace;
    r.booksCheck = restoreBooksCheck();
    r.common = backupCommon();
    return r;
}

} // namespace

class TestBackups : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void quietRoundTripKeepsEveryValue();
    void roundTripWhileTheShopWorks();
    void killedBackupsLeaveNoDamagedFile();
    void killedRestoresLeaveNothingThatLooksComplete();
    void damagedBackupIsRefused_data();
    void damagedBackupIsRefused();
    void diskProblems_data();
    void diskProblems();
    void databaseWithDataIsKeptUnlessReplaced();
    void viewsAndRoutinesAreKeptOnAServer();
    void schemaVersions_data();
    void schemaVersions();
    void accountWithTheListedRights();
    void automaticDailyBackup();

private:
    std::unique_ptr<TestDb> m_small; // a few hundred stones and the odd rows
    QTemporaryDir m_dir{QStringLiteral("/dev/shm/vbk-XXXXXX")};
    QString m_smallHome;
    QString m_smallBackup;
    QString m_olderKind; // the same books in a file of the older kind (gzip)
    QStringList m_dropAtEnd;
};

void TestBackups::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_small = std::make_unique<TestDb>(TestDb::Shape::Full);
#ifdef VELMOR_HAVE_SOAK
    bench::writeDealerSettings(m_small->db());
    bench::DealerDataOptions o;
    o.stones = 300;
    o.repairShare = 0;
    const bench::PriceGrid grid(7u, QDate(2026, 11, 20));
    bench::insertGrid(m_small->db(), grid);
    bench::fillDealerData(m_small->db(), o, grid);
#endif
    fillOddRows(m_small->db());
    m_smallHome = serverHome(m_dir.filePath(QStringLiteral("small")), m_small->name());
    m_smallBackup = m_dir.filePath(QStringLiteral("small.sql.zst"));
    m_olderKind = m_dir.filePath(QStringLiteral("small.sql.gz"));
    for (const QString &file : {m_smallBackup, m_olderKind}) {
        const Run r = runVelmor(m_smallHome, {QStringLiteral("db"), QStringLiteral("backup"), file});
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    }
    QCOMPARE(db::backup::checkFile(m_olderKind, true).packing, db::backup::Packing::Gzip);
}

void TestBackups::cleanupTestCase()
{
    if (!m_small)
        return;
    for (const QString &d : std::as_const(m_dropAtEnd))
        db::exec(m_small->db(), QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(d));
    m_small.reset();
}

// No writer: the restored database equals the source in every table as the
// server itself sums it (an account independent of the backup's own
// checksums), on a strict server, generated column included.
void TestBackups::quietRoundTripKeepsEveryValue()
{
    const QSqlDatabase db = m_small->db();
    QVERIFY(db::scalar(db, QStringLiteral("SELECT @@GLOBAL.sql_mode")).toString().contains(QStringLiteral("STRICT_TRANS_TABLES")));
    QCOMPARE(db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM SingleStone WHERE SKU LIKE 'O''Neil%'")).toInt(), 1);
    // Both kinds of file: zstd, and gzip as the older backups are.
    for (const QString &file : {m_smallBackup, m_olderKind}) {
        const QString target = m_small->name() + (file == m_smallBackup ? QStringLiteral("_rt") : QStringLiteral("_rtgz"));
        m_dropAtEnd << target;
        const backups::Outcome o = backups::restore(restoreRequest(file, m_smallHome, target));
        QVERIFY2(o.code == 0, qPrintable(o.lines.join(QLatin1Char('\n')) + o.error));
        QVERIFY(o.lines.contains(QStringLiteral("Every table's checksum equals the backup's (%1 tables).").arg(tableCount(db, m_small->name()))));
        QVERIFY(o.lines.contains(QStringLiteral("The books check finds nothing wrong.")));

        const auto source = serverChecksums(db, m_small->name());
        const auto restored = serverChecksums(db, target);
        QCOMPARE(restored.size(), source.size());
        for (const auto &[table, sum] : source)
            QVERIFY2(restored.count(table) && restored.at(table) == sum, qPrintable(table));
        // The odd text came back as it went in, NUL byte and all.
        const QString sku = QStringLiteral("SELECT SKU FROM `%1`.SingleStone WHERE SKU LIKE 'O''Neil%%'");
        const QString back = db::scalar(db, sku.arg(target)).toString();
        QCOMPARE(back, db::scalar(db, sku.arg(m_small->name())).toString());
        QVERIFY(back.contains(QChar(0)) && back.contains(QStringLiteral("Zürich")) && back.endsWith(QStringLiteral("💎")));
        QCOMPARE(db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM `%1`.SingleStone WHERE RepairDue IS NULL").arg(target)).toInt(), 0);
        // Nothing of the restore's own is left on the server.
        QCOMPARE(tableCount(db, target + QStringLiteral("_restoring")), 0);
    }
}

void TestBackups::roundTripWhileTheShopWorks()
{
#ifndef VELMOR_HAVE_SOAK
    QSKIP("the soak station is not built (VELMOR_BUILD_BENCH=OFF)");
#else
    TestDb books(TestDb::Shape::Empty);
    soak::Options o;
    o.stones = 10000;
    o.stations = 2;
    o.ops = 400;
    o.kills = 0;
    soak::prepareDatabase(books.db(), o);
    fillOddRows(books.db());
    const QString home = serverHome(m_dir.filePath(QStringLiteral("shop")), books.name());
    const QString file = m_dir.filePath(QStringLiteral("shop.sql.zst"));

    // The shop works on two workstations; the backup is started once it is
    // under way (the soak's driver runs this thread's events meanwhile).
    auto moves = [&] { return db::scalar(books.db(), QStringLiteral("SELECT COUNT(*) FROM Memo")).toLongLong(); };
    const qint64 before = moves();
    QProcess backup;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMOR_HOME"), home);
    backup.setProcessEnvironment(env);
    qint64 started = -1, finished = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (moves() > before + 5) {
            poll.stop();
            started = moves();
            backup.start(velmorBinary(), {QStringLiteral("db"), QStringLiteral("backup"), file});
        }
    });
    QObject::connect(&backup, &QProcess::finished, &backup, [&] { finished = moves(); });
    poll.start(100);
    const soak::Report week =
        soak::run(books.settings(), QStringLiteral(VELMOR_SOAKSTATION), m_dir.filePath(QStringLiteral("soak")), o);
    QVERIFY2(started >= 0, "the shop did not get to work");
    backup.waitForFinished(120000);
    QVERIFY2(backup.exitCode() == 0, qPrintable(backup.readAllStandardOutput() + backup.readAllStandardError()));
    QVERIFY2(finished >= 0 && finished < moves(), "the shop had finished before the backup did");
    // The shop's own ledger is not asked: it counts parcels by their SKU,
    // and the odd rows hold parcels without one.
    if (!week.booksWhole || !week.stationFaults.isEmpty() || week.done < o.ops / 2)
        for (const QString &l : soak::reportText(week).split(QLatin1Char('\n')))
            qWarning("%s", qPrintable(l));
    QVERIFY2(week.booksWhole && week.stationFaults.isEmpty() && week.done >= o.ops / 2,
             "the shop's books are not whole (above)");

    // Into a new workstation folder: its own private database.
    const QString restored = m_dir.filePath(QStringLiteral("restored"));
    const Run r = runVelmor(m_dir.path(), {QStringLiteral("db"), QStringLiteral("restore"), file, QStringLiteral("--home"), restored});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("Every table's checksum equals the backup's")), qPrintable(r.out));
    QVERIFY(QFileInfo::exists(restored + QStringLiteral("/mariadb/data/velmor")));
    QVERIFY(!QFileInfo::exists(restored + QStringLiteral("/mariadb.restoring")));
    const Run check = runVelmor(restored, {QStringLiteral("db"), QStringLiteral("check")});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
    QTRY_COMPARE_WITH_TIMEOUT(serversOn(restored + QStringLiteral("/mariadb/data")), 0, 15000);
#endif
}

void TestBackups::killedBackupsLeaveNoDamagedFile()
{
    const QString folder = m_dir.filePath(QStringLiteral("killed-backups"));
    QDir().mkpath(folder);
    const QStringList older{folder + QStringLiteral("/older-1.sql.zst"), folder + QStringLiteral("/older-2.sql.zst")};
    QVERIFY(QFile::copy(m_smallBackup, older[0]));
    QVERIFY(QFile::copy(m_smallBackup, older[1]));
    const QByteArray olderHash = fileHash(m_smallBackup);
    const Run whole = runVelmor(m_smallHome, {QStringLiteral("db"), QStringLiteral("backup"), folder + QStringLiteral("/whole.sql.zst")});
    QVERIFY2(whole.exitCode == 0, qPrintable(whole.err));

    QRandomGenerator rnd(42);
    int cut = 0;
    KillWindow window(whole.ms);
    for (int i = 0; i < 20; ++i) {
        const QString file = folder + QStringLiteral("/try-%1.sql.zst").arg(i);
        const Run r = runVelmor(m_smallHome, {QStringLiteral("db"), QStringLiteral("backup"), file}, window.next(rnd));
        window.ran(r);
        if (r.killed)
            ++cut;
        // Whatever carries a final name reads whole; the older ones are as they were.
        for (const QFileInfo &fi : QDir(folder).entryInfoList({QStringLiteral("*.sql.zst")}, QDir::Files)) {
            const db::backup::Check c = db::backup::checkFile(fi.filePath(), true);
            QVERIFY2(c.ok, qPrintable(QStringLiteral("try %1: %2").arg(i).arg(c.problem)));
        }
        QVERIFY2(r.killed || QFileInfo::exists(file), qPrintable(r.err));
        for (const QString &f : older)
            QCOMPARE(fileHash(f), olderHash);
    }
    QVERIFY2(cut >= 10, qPrintable(QStringLiteral("only %1 of 20 tries were cut short").arg(cut)));
}

void TestBackups::killedRestoresLeaveNothingThatLooksComplete()
{
    const QSqlDatabase db = m_small->db();
    const db::backup::Check backup = db::backup::checkFile(m_smallBackup, true);
    QVERIFY(backup.ok);
    // Complete: every table there with the backup's rows.
    auto complete = [&](const QString &database) {
        for (const db::backup::TableSum &t : backup.header.tables)
            if (db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM `%1`.`%2`").arg(database, t.name)).toLongLong() != t.rows)
                return false;
        return true;
    };
    const QString name = m_small->name() + QStringLiteral("_k");
    auto restoreArgs = [&](const QString &target) {
        return QStringList{QStringLiteral("db"), QStringLiteral("restore"), m_smallBackup, QStringLiteral("--database"), target};
    };
    const Run whole = runVelmor(m_smallHome, restoreArgs(name + QStringLiteral("w")));
    m_dropAtEnd << name + QStringLiteral("w");
    QVERIFY2(whole.exitCode == 0, qPrintable(whole.out + whole.err));

    QRandomGenerator rnd(7);
    int cut = 0;
    KillWindow window(whole.ms);
    for (int i = 0; i < 16; ++i) {
        const QString target = name + QString::number(i);
        m_dropAtEnd << target << target + QStringLiteral("_restoring");
        const Run r = runVelmor(m_smallHome, restoreArgs(target), window.next(rnd));
        window.ran(r);
        cut += r.killed ? 1 : 0;
        const int tables = tableCount(db, target);
        QVERIFY2(tables == 0 || complete(target),
                 qPrintable(QStringLiteral("try %1: %2 tables, not the backup's").arg(i).arg(tables)));
    }
    // Into new workstation folders: no database folder until it is whole.
    const QString homes = m_dir.filePath(QStringLiteral("killed-homes"));
    const Run first = runVelmor(m_dir.path(), {QStringLiteral("db"), QStringLiteral("restore"), m_smallBackup,
                                               QStringLiteral("--home"), homes + QStringLiteral("/whole")});
    QVERIFY2(first.exitCode == 0, qPrintable(first.out + first.err));
    KillWindow homeWindow(first.ms);
    for (int i = 0; i < 4; ++i) {
        const QString home = homes + QStringLiteral("/h%1").arg(i);
        const Run r = runVelmor(m_dir.path(), {QStringLiteral("db"), QStringLiteral("restore"), m_smallBackup, QStringLiteral("--home"), home},
                                homeWindow.next(rnd));
        homeWindow.ran(r);
        cut += r.killed ? 1 : 0;
        if (r.killed)
            QVERIFY2(!QFileInfo::exists(home + QStringLiteral("/mariadb")), qPrintable(home));
    }
    QVERIFY2(cut >= 10, qPrintable(QStringLiteral("only %1 of 20 tries were cut short").arg(cut)));
    // A restore after a killed one finds its way (the leftovers cleared).
    const Run again = runVelmor(m_smallHome, restoreArgs(name + QStringLiteral("0")));
    QVERIFY2(again.exitCode == 0 || again.err.contains(QStringLiteral("already holds data")), qPrintable(again.out + again.err));
    const Run home = runVelmor(m_dir.path(), {QStringLiteral("db"), QStringLiteral("restore"), m_smallBackup,
                                              QStringLiteral("--home"), homes + QStringLiteral("/h0")});
    QVERIFY2(home.exitCode == 0 || home.err.contains(QStringLiteral("already holds data")), qPrintable(home.out + home.err));
    // The servers of killed restores do not outlive them.
    for (const QString &h : QDir(homes).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QTRY_COMPARE_WITH_TIMEOUT(serversOn(homes + QLatin1Char('/') + h + QStringLiteral("/mariadb.restoring/data")), 0, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(serversOn(homes + QLatin1Char('/') + h + QStringLiteral("/mariadb/data")), 0, 15000);
    }
}

void TestBackups::damagedBackupIsRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("cut short") << "cut" << "is cut short: it holds";
    QTest::newRow("a byte changed") << "flip" << "is damaged: its contents differ from the checksum written when it was made";
    QTest::newRow("another program's file") << "other" << "is not a Velmor backup: it is a plain SQL dump made by another program";
}

void TestBackups::damagedBackupIsRefused()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    const QString file = m_dir.filePath(QStringLiteral("damaged.sql.zst"));
    QFile::remove(file);
    QVERIFY(QFile::copy(m_smallBackup, file));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    if (damage == QLatin1String("cut"))
        bytes.chop(bytes.size() / 3);
    else if (damage == QLatin1String("flip"))
        bytes[bytes.size() - 100] = char(bytes[bytes.size() - 100] ^ 1);
    else
        bytes = test::RecordedTools::dataFile(QStringLiteral("dump-shop.sql"));
    if (damage == QLatin1String("other"))
        bytes = bytes.mid(bytes.indexOf("-- MariaDB dump"));
    f.resize(0);
    f.seek(0);
    f.write(bytes);
    f.close();

    // Into the database it came from (holding data, with --replace) and
    // into an empty one: refused, nothing changed, nothing made.
    const auto before = serverChecksums(m_small->db(), m_small->name());
    const QString fresh = m_small->name() + QStringLiteral("_dmg");
    for (const QString &target : {m_small->name(), fresh}) {
        const backups::Outcome o = backups::restore(restoreRequest(file, m_smallHome, target, true));
        QCOMPARE(o.code, 2);
        QVERIFY2(o.error.contains(reason), qPrintable(o.error));
        QVERIFY(o.error.endsWith(QStringLiteral("Nothing was changed.")));
    }
    QCOMPARE(tableCount(m_small->db(), fresh), 0);
    QCOMPARE(tableCount(m_small->db(), fresh + QStringLiteral("_restoring")), 0);
    QVERIFY(serverChecksums(m_small->db(), m_small->name()) == before);
    const Run cli = runVelmor(m_smallHome, {QStringLiteral("db"), QStringLiteral("restore"), file, QStringLiteral("--database"), fresh});
    QCOMPARE(cli.exitCode, 2);
    QVERIFY2(cli.err.contains(reason), qPrintable(cli.err));
}

void TestBackups::diskProblems_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<qint64>("fileLimit");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a full disk") << "full/velmor.sql.zst" << qint64(48 * 1024) << "velmor.sql.zst.part cannot be written: File too large";
    QTest::newRow("a folder nobody may write") << "/sys/velmor-backups/velmor.sql.zst" << qint64(0)
                                               << "the folder /sys/velmor-backups cannot be made: (Permission denied|Operation not permitted)";
    QTest::newRow("a file where the folder goes") << "in-the-way/velmor.sql.zst" << qint64(0) << "in-the-way is not a folder";
}

void TestBackups::diskProblems()
{
    QFETCH(QString, where);
    QFETCH(qint64, fileLimit);
    QFETCH(QString, reason);
    const QString base = m_dir.filePath(QStringLiteral("disk"));
    QDir().mkpath(base + QStringLiteral("/full"));
    QFile way(base + QStringLiteral("/in-the-way"));
    way.open(QIODevice::WriteOnly);
    way.close();
    const QString file = QFileInfo(where).isAbsolute() ? where : base + QLatin1Char('/') + where;
    const QString previous = QFileInfo(file).absolutePath() + QStringLiteral("/previous.sql.zst");
    if (QFileInfo(QFileInfo(file).absolutePath()).isDir())
        QVERIFY(QFile::copy(m_smallBackup, previous));
    const Run r = runVelmor(m_smallHome, {QStringLiteral("db"), QStringLiteral("backup"), file}, -1, fileLimit);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(QRegularExpression(reason).match(r.err).hasMatch(), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("the backups made before are as they were")), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!QFileInfo::exists(file + QStringLiteral(".part")));
    if (QFileInfo::exists(previous)) {
        QCOMPARE(fileHash(previous), fileHash(m_smallBackup));
        QFile::remove(previous);
    }
}

void TestBackups::databaseWithDataIsKeptUnlessReplaced()
{
    TestDb other(TestDb::Shape::Full); // a new database's settings row and grades: data
    db::exec(other.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES ('Kept Ltd')"));
    db::exec(other.db(), QStringLiteral("INSERT INTO user (UserName, Password, Administrator) VALUES "
                                        "('boss', 'Boss-1', -1), ('clerk', 'Clerk-1', 0)"));
    const QString home = serverHome(m_dir.filePath(QStringLiteral("other")), other.name());
    const auto before = serverChecksums(other.db(), other.name());
    const QStringList restore{QStringLiteral("db"), QStringLiteral("restore"), m_smallBackup};

    // Refused: without --replace; with it, but without one of the books'
    // administrators.  Nothing is changed.
    Run r = runVelmor(home, restore);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("already holds data (")) && r.err.contains(QStringLiteral("customer (1 rows)"))
                 && r.err.contains(QStringLiteral("Restore with --replace")),
             qPrintable(r.err));
    r = runVelmor(home, restore + QStringList{QStringLiteral("--replace")});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("name the user with --user")), qPrintable(r.err));
    r = runVelmor(home, restore + QStringList{QStringLiteral("--replace"), QStringLiteral("--user"), QStringLiteral("clerk")}, -1, 0,
                  QStringLiteral("Clerk-1"));
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("clerk is not an administrator of them")), qPrintable(r.err));
    QVERIFY(serverChecksums(other.db(), other.name()) == before);
    QVERIFY(backups::listBackups(home + QStringLiteral("/backups")).isEmpty());

    r = runVelmor(home, restore + QStringList{QStringLiteral("--replace"), QStringLiteral("--user"), QStringLiteral("boss")}, -1, 0,
                  QStringLiteral("Boss-1"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    // What it held went into a backup first, which restores to what it was.
    const QList<backups::Found> found = backups::listBackups(home + QStringLiteral("/backups"));
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().kind, QStringLiteral("before-restore"));
    QVERIFY(found.first().whole);
    QVERIFY(serverChecksums(other.db(), other.name()) == serverChecksums(other.db(), m_small->name()));
    const QString back = other.name() + QStringLiteral("_back");
    m_dropAtEnd << back;
    const backups::Outcome o = backups::restore(restoreRequest(found.first().file, home, back));
    QVERIFY2(o.code == 0, qPrintable(o.error + o.lines.join(QLatin1Char('\n'))));
    QVERIFY(serverChecksums(other.db(), back) == before);
    // Nothing of the swap is left over.
    QCOMPARE(tableCount(other.db(), other.name() + QStringLiteral("_replaced")), 0);
    QCOMPARE(tableCount(other.db(), other.name() + QStringLiteral("_restoring")), 0);
}

// A server's restore moves the tables into place; the store side's views and
// stored routines cannot move between databases: they stay restored where
// they were made and the restore says so (they were dropped unsaid).
void TestBackups::viewsAndRoutinesAreKeptOnAServer()
{
    TestDb other(TestDb::Shape::Full);
    db::exec(other.db(), QStringLiteral("CREATE VIEW shop_customers AS SELECT ID, CompanyName FROM Customer"));
    db::exec(other.db(), QStringLiteral("CREATE PROCEDURE close_day() SELECT COUNT(*) FROM Customer"));
    const QString home = serverHome(m_dir.filePath(QStringLiteral("views")), other.name());
    const QString file = m_dir.filePath(QStringLiteral("views.sql.zst"));
    const Run r = runVelmor(home, {QStringLiteral("db"), QStringLiteral("backup"), file});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    const QString target = other.name() + QStringLiteral("_v");
    const QString scratch = target + QStringLiteral("_restoring");
    m_dropAtEnd << target << scratch;
    const backups::Outcome o = backups::restore(restoreRequest(file, home, target));
    QCOMPARE(o.code, 1);
    QVERIFY2(o.lines.contains(QStringLiteral("Not carried over into %1: procedure close_day, view shop_customers. They are "
                                             "restored in the database %2; make them again in %1 from there.")
                                  .arg(target, scratch)),
             qPrintable(o.lines.join(QLatin1Char('\n'))));
    QVERIFY(serverChecksums(other.db(), target) == serverChecksums(other.db(), other.name()));
    QCOMPARE(db::backup::otherObjects(other.settings(), scratch),
             QStringList({QStringLiteral("procedure close_day"), QStringLiteral("view shop_customers")}));
}

void TestBackups::schemaVersions_data()
{
    QTest::addColumn<QString>("made");
    QTest::newRow("an older database: brought up to date") << "older";
    QTest::newRow("a newer program's database: refused") << "newer";
}

// A backup of an older schema is restored as it was, compared, and then
// brought up to the program's; one of a newer program is refused.
void TestBackups::schemaVersions()
{
    QFETCH(QString, made);
    TestDb source(made == QLatin1String("older") ? TestDb::Shape::BaseTables : TestDb::Shape::Full);
    if (made == QLatin1String("older")) {
        db::exec(source.db(), QStringLiteral("INSERT INTO Customer (CompanyName) VALUES ('Old Shop')"));
        QCOMPARE(db::schema::storedVersion(source.db()), 0.0);
    } else {
        db::exec(source.db(), QStringLiteral("UPDATE Config SET dbVersion = %1").arg(db::schema::kSchemaVersion + 5));
    }
    const QString home = serverHome(m_dir.filePath(QStringLiteral("versions-") + made), source.name());
    const QString file = m_dir.filePath(QStringLiteral("versions-%1.sql.zst").arg(made));
    const Workstation ws(home, home);
    QCOMPARE(backups::backUp(ws, settingsFor(source.name()), file, false, backupCommon()).code, 0);
    const QString target = source.name() + QStringLiteral("_v");
    m_dropAtEnd << target;
    const backups::Outcome o = backups::restore(restoreRequest(file, home, target));
    if (made == QLatin1String("newer")) {
        QCOMPARE(o.code, 2);
        QVERIFY2(o.error.contains(QStringLiteral("was made by a newer Velmor (schema version %1; this program knows %2)")
                                      .arg(db::schema::kSchemaVersion + 5)
                                      .arg(db::schema::kSchemaVersion)),
                 qPrintable(o.error));
        QCOMPARE(tableCount(source.db(), target), 0);
        return;
    }
    QVERIFY2(o.code == 0, qPrintable(o.error + o.lines.join(QLatin1Char('\n'))));
    QVERIFY(o.lines.contains(QStringLiteral("The schema was brought up from version 0 to %1.").arg(db::schema::kSchemaVersion)));
    QSqlDatabase copy = db::openConnection(settingsFor(target), QStringLiteral("versions-copy"));
    QCOMPARE(db::schema::storedVersion(copy), double(db::schema::kSchemaVersion));
    QCOMPARE(db::scalar(copy, QStringLiteral("SELECT CompanyName FROM Customer")).toString(), QStringLiteral("Old Shop"));
    copy.close();
    copy = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("versions-copy"));
}

// A shared server's account with the rights the README lists backs up,
// verifies and restores; one that may only read can back up, and its
// verification says which right is missing.
void TestBackups::accountWithTheListedRights()
{
    const QSqlDatabase db = m_small->db();
    const QString prefix = m_small->name();
    const QString user = QStringLiteral("bk%1").arg(QCoreApplication::applicationPid());
    db::exec(db, QStringLiteral("CREATE USER '%1'@'localhost' IDENTIFIED BY 'Pw-1'").arg(user));
    db::exec(db, QStringLiteral("CREATE USER '%1r'@'localhost' IDENTIFIED BY 'Pw-1'").arg(user));
    // The README's grant, on the databases of this test.
    db::exec(db, QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, ALTER, INDEX, LOCK TABLES, SHOW VIEW, "
                                "TRIGGER, CREATE VIEW, CREATE ROUTINE, ALTER ROUTINE, EXECUTE ON `%1%%`.* TO '%2'@'localhost'")
                     .arg(prefix, user));
    db::exec(db, QStringLiteral("GRANT SELECT ON `%1`.* TO '%2r'@'localhost'").arg(prefix, user));
    const auto cleanUp = qScopeGuard([&] {
        db::exec(db, QStringLiteral("DROP USER '%1'@'localhost'").arg(user));
        db::exec(db, QStringLiteral("DROP USER '%1r'@'localhost'").arg(user));
    });
    db::ConnectionSettings s = settingsFor(prefix);
    s.user = user;
    s.password = QStringLiteral("Pw-1");
    const Workstation ws(m_dir.filePath(QStringLiteral("account")), m_dir.filePath(QStringLiteral("account")));
    const QString file = m_dir.filePath(QStringLiteral("account.sql.zst"));
    backups::Outcome o = backups::backUp(ws, s, file, true, backupCommon());
    QVERIFY2(o.code == 0, qPrintable(o.error + o.lines.join(QLatin1Char('\n'))));
    QVERIFY(o.lines.last().startsWith(QStringLiteral("Verified:")));

    // Restore through the same account, into an empty database.
    QDir().mkpath(ws.folder());
    QFile ini(ws.path(QStringLiteral("database.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=%2\npassword=Pw-1\ndatabase=%3_acct\n").arg(TestDb::socketPath(), user, prefix).toUtf8());
    ini.close();
    m_dropAtEnd << prefix + QStringLiteral("_acct");
    o = backups::restore(restoreRequest(file, ws.folder(), {}));
    QVERIFY2(o.code == 0, qPrintable(o.error + o.lines.join(QLatin1Char('\n'))));
    QVERIFY(serverChecksums(db, prefix + QStringLiteral("_acct")) == serverChecksums(db, prefix));

    s.user = user + QLatin1Char('r');
    const QString readOnly = m_dir.filePath(QStringLiteral("read-only.sql.zst"));
    o = backups::backUp(ws, s, readOnly, true, backupCommon());
    QCOMPARE(o.code, 1);
    QVERIFY2(o.lines.first().startsWith(QStringLiteral("Backed up")), qPrintable(o.lines.join(QLatin1Char('\n'))));
    QVERIFY2(o.lines.last().contains(QStringLiteral("The account lacks a right the backup needs")), qPrintable(o.lines.join(QLatin1Char('\n'))));
}

// Private mode: the daily backup is made once a day, verified in its first
// week, listed with its state.
void TestBackups::automaticDailyBackup()
{
    const QString home = m_dir.filePath(QStringLiteral("private"));
    Run r = runVelmor(home, {QStringLiteral("db"), QStringLiteral("status")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    r = runVelmor(home, {QStringLiteral("db"), QStringLiteral("backup"), QStringLiteral("--automatic")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.startsWith(QStringLiteral("Backed up")) && r.out.contains(QStringLiteral("\nVerified:")), qPrintable(r.out));
    r = runVelmor(home, {QStringLiteral("db"), QStringLiteral("backup"), QStringLiteral("--automatic")});
    QVERIFY2(r.exitCode == 0 && r.out.startsWith(QStringLiteral("Today's backup was made already.")), qPrintable(r.out + r.err));

    // A damaged file in the folder is listed as such and never taken for a
    // good one; a backup of the older kind (gzip) is listed as ever.
    const QList<backups::Found> found = backups::listBackups(home + QStringLiteral("/backups"));
    QCOMPARE(found.size(), 1);
    QVERIFY(found.first().file.endsWith(QStringLiteral("-daily.sql.zst")));
    const QString damaged = home + QStringLiteral("/backups/velmor-2000-01-01-000000-daily.sql.zst");
    QFile::copy(found.first().file, damaged);
    QFile cut(damaged);
    QVERIFY(cut.open(QIODevice::ReadWrite));
    cut.resize(cut.size() - 10);
    cut.close();
    QVERIFY(QFile::copy(m_olderKind, home + QStringLiteral("/backups/velmor-2000-01-02-000000.sql.gz")));
    r = runVelmor(home, {QStringLiteral("db"), QStringLiteral("backups")});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].endsWith(QStringLiteral("backups: 3")), qPrintable(r.out));
    auto line = [&](const QString &file) {
        for (const QString &l : lines)
            if (l.endsWith(QStringLiteral("  ") + file))
                return l;
        return QString();
    };
    const QString daily = line(QFileInfo(found.first().file).fileName());
    QVERIFY2(QRegularExpression(QStringLiteral("^  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d +[0-9.,]+ (MB|KB|bytes)  schema %1  daily +verified \\d{4}-")
                                    .arg(db::schema::kSchemaVersion))
                 .match(daily)
                 .hasMatch(),
             qPrintable(r.out));
    QVERIFY2(line(QStringLiteral("velmor-2000-01-01-000000-daily.sql.zst")).contains(QStringLiteral("DAMAGED: "))
                 && line(QStringLiteral("velmor-2000-01-01-000000-daily.sql.zst")).contains(QStringLiteral("is cut short")),
             qPrintable(r.out));
    QVERIFY2(line(QStringLiteral("velmor-2000-01-02-000000.sql.gz")).contains(QStringLiteral("  manual  ")), qPrintable(r.out));
    QTRY_COMPARE_WITH_TIMEOUT(serversOn(home + QStringLiteral("/mariadb/data")), 0, 15000);
}

QTEST_GUILESS_MAIN(TestBackups)
#include "tst_backups.moc"
