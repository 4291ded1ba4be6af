#pragma once
// Two workstations scanning into one count at once, each a `velmor count
// scan` process of its own with its own workstation folder: B scans its
// half of the safe while A scans the other half and is killed outright
// right after its 60th scan reached the database and before it said so.  A
// is started again (it sends what its journal kept) and then told the codes
// it had not taken in.  Every code told is in the count once.  Used on one
// server and on the cluster.
#include "TestUsers.h"
#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Connection.h"
#include "db/Sql.h"
#include "shell/BooksCheck.h"
#include "stones/StockCount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace velmor::test {

inline QString databaseIni(const db::ConnectionSettings &s)
{
    QString ini = QStringLiteral("mode=server\nuser=%1\ndatabase=%2\n").arg(s.user, s.database);
    if (!s.socket.isEmpty())
        ini += QStringLiteral("socket=%1\n").arg(s.socket);
    else
        ini += QStringLiteral("host=%1\nport=%2\n").arg(s.host).arg(s.port);
    if (!s.password.isEmpty())
        ini += QStringLiteral("password=%1\n").arg(s.password);
    return ini;
}

struct StationRun {
    bool killed = false;
    int exitCode = -1;
    QString out, err;
};

class Station {
public:
    explicit Station(const db::ConnectionSettings &s)
    {
        QFile ini(QDir(m_home.path()).filePath(QStringLiteral("database.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(databaseIni(s).toUtf8());
    }
    QString home() const { return m_home.path(); }

    // Starts `velmor count scan ID`, writes the codes to its standard input
    // (one a line, then the end).
    void start(qint64 countId, const QStringList &codes, const QString &killAt = {})
    {
        m_p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMOR_HOME"), m_home.path());
        env.insert(QStringLiteral("VELMOR_PROGRAM_DIR"), m_home.path());
        env.insert(QStringLiteral("VELMOR_USER"), QStringLiteral("user"));
        env.insert(QStringLiteral("VELMOR_PASSWORD"), test::kAdminPassword);
        env.remove(QStringLiteral("VELMOR_KILL_AT"));
        if (!killAt.isEmpty())
            env.insert(QStringLiteral("VELMOR_KILL_AT"), killAt);
        m_p->setProcessEnvironment(env);
        m_p->setWorkingDirectory(m_home.path());
        // No terminal to ask a password at.
        m_p->setChildProcessModifier([] { ::setsid(); });
        const QString binary = qEnvironmentVariable("VELMOR_BINARY", QStringLiteral(VELMOR_BINARY));
        m_p->start(binary, {QStringLiteral("count"), QStringLiteral("scan"), QString::number(countId)});
        if (!m_p->waitForStarted(30000))
            return;
        QByteArray lines;
        for (const QString &c : codes)
            lines += c.toUtf8() + '\n';
        m_p->write(lines);
        m_p->closeWriteChannel();
    }
    StationRun finish()
    {
        StationRun r;
        if (!m_p->waitForFinished(180000)) {
            m_p->kill();
            m_p->waitForFinished();
        }
        r.killed = m_p->exitStatus() == QProcess::CrashExit;
        r.exitCode = r.killed ? -1 : m_p->exitCode();
        r.out = QString::fromUtf8(m_p->readAllStandardOutput());
        r.err = QString::fromUtf8(m_p->readAllStandardError());
        m_p.reset();
        return r;
    }

private:
    QTemporaryDir m_home;
    std::unique_ptr<QProcess> m_p;
};

// The stone IDs a station's output says are in the count (found or
// written before), in order.
inline QList<qint64> stonesTold(const QString &out)
{
    static const QRegularExpression line(QStringLiteral("^(?:\\(again\\) )?found +\\S+ \\(ID (\\d+)\\)"),
                                         QRegularExpression::MultilineOption);
    QList<qint64> ids;
    for (auto it = line.globalMatch(out); it.hasNext();)
        ids << it.next().captured(1).toLongLong();
    return ids;
}

// `db` reaches the test's database; `a` and `b` are the stations' settings.
inline void twoStationsOneKilled(const QSqlDatabase &db, const db::ConnectionSettings &a,
                                 const db::ConnectionSettings &b, Workstation ws)
{
    constexpr int kEach = 120;
    QStringList values;
    for (int i = 0; i < 2 * kEach; ++i)
        values << QStringLiteral("('K-%1', 'Round Brilliant [BR]', 0.5, 5000, 'Stock', 0)").arg(i, 4, 10, QLatin1Char('0'));
    db::exec(db, QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, RapaportPrice, Status, Canadian) VALUES ")
                     + values.join(QStringLiteral(", ")));
    QList<qint64> ids;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone WHERE SKU LIKE 'K-%' ORDER BY SKU"));
    while (q.next())
        ids << q.value(0).toLongLong();
    QCOMPARE(ids.size(), 2 * kEach);
    auto code = [](qint64 id) { return QString::number(id) + QStringLiteral("01"); };
    QStringList codesA, codesB;
    for (int i = 0; i < kEach; ++i) {
        codesA << code(ids.at(i));
        codesB << code(ids.at(kEach + i));
    }

    SilentPrompt silent;
    AppContext ctx(ws, a, &silent);
    ctx.adopt(db);
    if (noUserYet(ctx.db()))
        test::addAdministrator(ctx.db());
    QString user = QStringLiteral("user"), password = test::kAdminPassword;
    QVERIFY(login(ctx, user, password));
    const stones::CountOutcome count = stones::startCount(ctx, QStringLiteral("Two safes"), {});
    QVERIFY2(count.ok, qPrintable(count.error));
    QCOMPARE(count.figures.expected, 2 * kEach);

    Station stationA(a), stationB(b);
    stationB.start(count.id, codesB);
    stationA.start(count.id, codesA, QStringLiteral("count-scan-written@60"));
    const StationRun killed = stationA.finish();
    QVERIFY2(killed.killed, qPrintable(killed.out + killed.err));
    const QList<qint64> acked = stonesTold(killed.out);
    QCOMPARE(acked.size(), 59); // the 60th was written, not told back
    // Started again: it sends the scan its journal kept (written already).
    stationA.start(count.id, {});
    const StationRun again = stationA.finish();
    QVERIFY2(again.exitCode == 0, qPrintable(again.out + again.err));
    QCOMPARE(again.out.count(QStringLiteral("(written before)")), 1);
    const QList<qint64> replayed = stonesTold(again.out);
    QCOMPARE(replayed, QList<qint64>{ids.at(59)});
    // And goes on with the codes it had not taken in.
    stationA.start(count.id, codesA.mid(60));
    const StationRun rest = stationA.finish();
    QVERIFY2(rest.exitCode == 0, qPrintable(rest.out + rest.err));
    const StationRun other = stationB.finish();
    QVERIFY2(other.exitCode == 0, qPrintable(other.out + other.err));

    // Every code told is in the count once.
    QCOMPARE(db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM stockcountscan WHERE CountID = ?"), {count.id}).toInt(),
             2 * kEach);
    QCOMPARE(db::scalar(db, QStringLiteral("SELECT COUNT(DISTINCT StoneID) FROM stockcountscan WHERE CountID = ? AND "
                                           "Result = 'found'"),
                        {count.id})
                 .toInt(),
             2 * kEach);
    const stones::CountFigures f = stones::countFigures(db, count.id);
    QCOMPARE(f.found, 2 * kEach);
    QCOMPARE(f.twice, 0);
    QCOMPARE(f.unknown, 0);
    QVERIFY(rest.out.contains(QStringLiteral("Count %1: found %2 of %2 expected").arg(count.id).arg(2 * kEach))
            || other.out.contains(QStringLiteral("Count %1: found %2 of %2 expected").arg(count.id).arg(2 * kEach)));
    QStringList findings;
    for (const books::RuleResult &r : books::checkBooks(db).results)
        if (r.rule.key.startsWith(QLatin1String("count-")) && !r.clean())
            findings << r.rule.key;
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QStringLiteral(", "))));
}

} // namespace velmor::test
