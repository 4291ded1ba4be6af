#include "db/Backup.h"

#include "db/Cluster.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>

#include <mutex>

namespace velmor::db::backup {

namespace {

QAtomicInt g_connections;

QString quoted(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + n + QLatin1Char('`');
}

// A connection of its own for the duration of one step.
class Conn {
public:
    Conn(const ConnectionSettings &s, const QString &database)
    {
        m_name = QStringLiteral("velmor-backup-%1-%2").arg(QCoreApplication::applicationPid()).arg(g_connections.fetchAndAddRelaxed(1));
        ConnectionSettings c = s;
        c.database = database;
        m_db = openConnection(c, m_name, false);
    }
    ~Conn()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    const QSqlDatabase &db() const { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

QStringList baseTables(const QSqlDatabase &db, const QString &schema)
{
    QStringList out;
    QSqlQuery q = exec(db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? "
                                          "AND TABLE_TYPE = 'BASE TABLE' ORDER BY TABLE_NAME"),
                       {schema});
    while (q.next())
        out << q.value(0).toString();
    return out;
}

struct Started {
    std::unique_ptr<QTemporaryFile> options;
    std::unique_ptr<ToolRun> run;
};

Started startTool(const ConnectionSettings &s, const QString &node, const ToolStarter &tools, const QString &program,
                  const QStringList &args, QString *error)
{
    Started st;
    QString why;
    const ToolConnection tc = ToolConnection::from(s, &why, node);
    if (!why.isEmpty()) {
        *error = why;
        return st;
    }
    st.options = tc.optionFile(&why);
    if (!st.options) {
        *error = why;
        return st;
    }
    st.run = tools(program, QStringList{QStringLiteral("--defaults-file=%1").arg(st.options->fileName())} + args, &why);
    if (!st.run)
        *error = why;
    return st;
}

} // namespace

SourceInfo readSourceInfo(const ConnectionSettings &s)
{
    SourceInfo info;
    info.database = s.database;
    info.description = s.describe();
    Conn c(s, s.database);
    info.server = serverVersion(c.db());
    info.schemaVersion = schema::storedVersion(c.db());
    for (const QString &t : baseTables(c.db(), s.database))
        info.tables << t.toLower();
    info.estimatedRows = scalar(c.db(), QStringLiteral("SELECT IFNULL(SUM(TABLE_ROWS), 0) FROM information_schema.TABLES "
                                                       "WHERE TABLE_SCHEMA = ? AND TABLE_TYPE = 'BASE TABLE'"),
                                {s.database})
                             .toLongLong();
    if (hasNodes(c.db()))
        info.node = c.db().hostName() + QLatin1Char(':') + QString::number(c.db().port());
    return info;
}

MakeResult makeBackup(const MakeRequest &r)
{
    MakeResult res;
    // The rows are summed on the writer's thread, beside the compression:
    // this thread only reads the dump tool's output, so that the tool never
    // waits for the pipe.  What the progress shows comes across under a lock.
    DumpDigest digest;
    std::mutex seenLock;
    qint64 seenRows = 0;
    QString seenTable;
    Writer w;
    const auto sum = [&](const char *data, qsizetype size) {
        digest.feed(data, size);
        std::lock_guard<std::mutex> lock(seenLock);
        seenRows = digest.rows();
        if (seenTable != digest.currentTable())
            seenTable = digest.currentTable();
    };
    if (!w.open(r.file, headerReserve(int(r.source.tables.size())), sum)) {
        res.error = w.error();
        return res;
    }
    Started st = startTool(r.settings, r.source.node, r.tools, QStringLiteral("mariadb-dump"),
                           dumpArguments(r.source.database), &res.error);
    if (!st.run) {
        w.abandon();
        return res;
    }
    QByteArray buf(1024 * 1024, Qt::Uninitialized);
    QElapsedTimer tick;
    tick.start();
    for (;;) {
        const qsizetype n = st.run->read(buf.data(), buf.size());
        if (n < 0) {
            st.run->stop();
            w.abandon();
            res.error = QStringLiteral("the dump tool's output could not be read");
            return res;
        }
        if (n == 0)
            break;
        if (!w.write(buf.constData(), n)) {
            st.run->stop();
            res.error = w.error();
            return res;
        }
        if (r.progress && tick.elapsed() > 200) {
            tick.restart();
            qint64 rows;
            QString table;
            {
                std::lock_guard<std::mutex> lock(seenLock);
                rows = seenRows;
                table = seenTable;
            }
            r.progress(QStringLiteral("Backing up %1 ...").arg(table), rows, std::max(r.source.estimatedRows, rows));
        }
    }
    if (!st.run->finish()) {
        w.abandon();
        res.error = toolFailure(QStringLiteral("mariadb-dump"), st.run->exitCode(), st.run->errors());
        return res;
    }
    if (!w.drain()) {
        res.error = w.error();
        return res;
    }
    digest.finish();
    QStringList missing;
    for (const QString &t : r.source.tables)
        if (!digest.tables().count(t))
            missing << t;
    if (!missing.isEmpty()) {
        w.abandon();
        res.error = QStringLiteral("the dump left out tables: %1").arg(missing.join(QStringLiteral(", ")));
        return res;
    }
    Header &h = res.header;
    h.program = r.program;
    h.schemaVersion = r.source.schemaVersion;
    // To the second, with the local offset written out.
    const QDateTime now = QDateTime::currentDateTime();
    h.made = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()))
                 .toOffsetFromUtc(now.offsetFromUtc());
    h.kind = r.kind;
    h.database = r.source.database;
    h.source = r.source.description;
    h.server = r.source.server;
    h.tool = digest.tool().isEmpty() ? QStringLiteral("mariadb-dump") : digest.tool();
    h.tables = digest.tableList();
    if (r.progress)
        r.progress(QStringLiteral("Writing the backup to the disk ..."), digest.rows(), digest.rows());
    if (!w.finish(h)) {
        res.error = w.error();
        return res;
    }
    res.fileBytes = QFileInfo(r.file).size();
    res.ok = true;
    return res;
}

bool feedBackup(const ConnectionSettings &target, const QString &file, const Check &check, const ToolStarter &tools,
                const Progress &progress, QString *error)
{
    BodyReader body;
    if (!body.open(file, check)) {
        *error = body.error();
        return false;
    }
    Started st = startTool(target, {}, tools, QStringLiteral("mariadb"), clientArguments(target.database), error);
    if (!st.run)
        return false;
    QByteArray buf(1024 * 1024, Qt::Uninitialized);
    QElapsedTimer tick;
    tick.start();
    bool fed = true;
    for (;;) {
        const qsizetype n = body.read(buf.data(), buf.size());
        if (n < 0) {
            st.run->stop();
            *error = body.error();
            return false;
        }
        if (n == 0)
            break;
        if (!st.run->write(buf.constData(), n)) {
            fed = false; // the client has stopped: its own words say why
            break;
        }
        if (progress && tick.elapsed() > 200) {
            tick.restart();
            progress(QStringLiteral("Restoring ..."), body.textRead(), check.header.bodyTextBytes);
        }
    }
    st.run->closeInput();
    if (!st.run->finish() || !fed) {
        *error = toolFailure(QStringLiteral("mariadb"), st.run->exitCode(), st.run->errors());
        return false;
    }
    if (progress)
        progress(QStringLiteral("Restored; comparing ..."), check.header.bodyTextBytes, check.header.bodyTextBytes);
    return true;
}

bool currentSums(const ConnectionSettings &s, const ToolStarter &tools, QList<TableSum> *sums, QString *error)
{
    Started st = startTool(s, {}, tools, QStringLiteral("mariadb-dump"), dumpArguments(s.database), error);
    if (!st.run)
        return false;
    DumpDigest digest;
    QByteArray buf(1024 * 1024, Qt::Uninitialized);
    for (;;) {
        const qsizetype n = st.run->read(buf.data(), buf.size());
        if (n < 0) {
            st.run->stop();
            *error = QStringLiteral("the dump tool's output could not be read");
            return false;
        }
        if (n == 0)
            break;
        digest.feed(buf.constData(), n);
    }
    if (!st.run->finish()) {
        *error = toolFailure(QStringLiteral("mariadb-dump"), st.run->exitCode(), st.run->errors());
        return false;
    }
    digest.finish();
    *sums = digest.tableList();
    return true;
}

void createDatabase(const ConnectionSettings &s, const QString &name)
{
    Conn c(s, QStringLiteral("information_schema"));
    exec(c.db(), QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci").arg(quoted(name)));
}

void dropDatabase(const ConnectionSettings &s, const QString &name)
{
    Conn c(s, QStringLiteral("information_schema"));
    exec(c.db(), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(quoted(name)));
}

bool databaseExists(const ConnectionSettings &s, const QString &name)
{
    Conn c(s, QStringLiteral("information_schema"));
    return scalar(c.db(), QStringLiteral("SELECT 1 FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = ?"), {name})
        .isValid();
}

QStringList tablesWithRows(const ConnectionSettings &s, const QString &name)
{
    Conn c(s, QStringLiteral("information_schema"));
    QStringList out;
    for (const QString &t : baseTables(c.db(), name)) {
        const QString table = quoted(name) + QLatin1Char('.') + quoted(t);
        if (!scalar(c.db(), QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table)).isValid())
            continue;
        const qint64 rows = scalar(c.db(), QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toLongLong();
        out << QStringLiteral("%1 (%2 rows)").arg(t).arg(rows);
    }
    return out;
}

void swapTables(const ConnectionSettings &s, const QString &from, const QString &to, const QString &aside)
{
    Conn c(s, QStringLiteral("information_schema"));
    QStringList moves;
    const QStringList old = baseTables(c.db(), to);
    if (!old.isEmpty()) {
        exec(c.db(), QStringLiteral("CREATE DATABASE IF NOT EXISTS %1").arg(quoted(aside)));
        for (const QString &t : old)
            moves << QStringLiteral("%1.%2 TO %3.%2").arg(quoted(to), quoted(t), quoted(aside));
    }
    for (const QString &t : baseTables(c.db(), from))
        moves << QStringLiteral("%1.%2 TO %3.%2").arg(quoted(from), quoted(t), quoted(to));
    if (!moves.isEmpty())
        exec(c.db(), QStringLiteral("RENAME TABLE ") + moves.join(QStringLiteral(", ")));
}

QStringList otherObjects(const ConnectionSettings &s, const QString &name)
{
    Conn c(s, QStringLiteral("information_schema"));
    QStringList out;
    QSqlQuery q = exec(c.db(), QStringLiteral("SELECT 'view', TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? "
                                              "AND TABLE_TYPE <> 'BASE TABLE' UNION ALL "
                                              "SELECT LOWER(ROUTINE_TYPE), ROUTINE_NAME FROM information_schema.ROUTINES "
                                              "WHERE ROUTINE_SCHEMA = ? ORDER BY 1, 2"),
                       {name, name});
    while (q.next())
        out << q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString();
    return out;
}

} // namespace velmor::db::backup
