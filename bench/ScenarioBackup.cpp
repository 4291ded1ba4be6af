// Backups of the generated books: Velmor's backup (the dump tool, its SQL
// compressed and every table's checksum taken as it streams, written whole
// and synced) next to the dump tool alone writing its SQL to a file; and
// Velmor's restore (the client fed from the compressed file, every table
// read back and compared, the books checked, the tables put in place) next
// to the client alone running the same SQL.
#include "Scenarios.h"

#include "core/Backups.h"
#include "db/Backup.h"
#include "db/Sql.h"
#include "shell/BackupCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace velmor::bench {

namespace {

// Runs one MariaDB tool with its connection file; stdin/stdout from/to files.
void runTool(const db::ConnectionSettings &s, const QString &program, const QStringList &args, const QString &in,
             const QString &out)
{
    QString why;
    const db::backup::ToolConnection tc = db::backup::ToolConnection::from(s, &why);
    std::unique_ptr<QTemporaryFile> options = tc.optionFile(&why);
    if (!options)
        throw db::DbError(why);
    QProcess p;
    if (!in.isEmpty())
        p.setStandardInputFile(in);
    if (!out.isEmpty())
        p.setStandardOutputFile(out);
    p.start(db::backup::toolPath(program), QStringList{QStringLiteral("--defaults-file=%1").arg(options->fileName())} + args);
    if (!p.waitForFinished(3600 * 1000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw db::DbError(QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAllStandardError()).trimmed()));
}

// mariadb-dump ... | zstd -1 > out
void runPipe(const db::ConnectionSettings &s, const QStringList &args, const QString &out)
{
    QString why;
    const db::backup::ToolConnection tc = db::backup::ToolConnection::from(s, &why);
    std::unique_ptr<QTemporaryFile> options = tc.optionFile(&why);
    if (!options)
        throw db::DbError(why);
    QProcess dump, zstd;
    dump.setStandardOutputProcess(&zstd);
    zstd.setStandardOutputFile(out);
    zstd.start(QStringLiteral("zstd"), {QStringLiteral("-1"), QStringLiteral("-q"), QStringLiteral("-c")});
    dump.start(db::backup::toolPath(QStringLiteral("mariadb-dump")),
               QStringList{QStringLiteral("--defaults-file=%1").arg(options->fileName())} + args);
    if (!dump.waitForFinished(3600 * 1000) || dump.exitCode() != 0 || !zstd.waitForFinished(3600 * 1000) || zstd.exitCode() != 0)
        throw db::DbError(QStringLiteral("mariadb-dump | zstd failed: %1").arg(QString::fromLocal8Bit(dump.readAllStandardError()).trimmed()));
}

qint64 rowsIn(const QSqlDatabase &db, const QString &database)
{
    qint64 n = 0;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? AND "
                                              "TABLE_TYPE = 'BASE TABLE'"),
                           {database});
    while (q.next())
        n += db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM `%1`.`%2`").arg(database, q.value(0).toString())).toLongLong();
    return n;
}

} // namespace

void runBackupScenarios(SizeEnv &env)
{
    const QString backupName = QStringLiteral("backup (vs the dump tool alone)");
    const QString restoreName = QStringLiteral("restore (vs the client alone)");
    if (!env.bench.wants(backupName) && !env.bench.wants(restoreName))
        return;
    const db::ConnectionSettings source = env.server.settings(env.pristine);
    const QString dir = env.folder + QStringLiteral("/backups");
    QDir().mkpath(dir);
    const QString file = dir + QStringLiteral("/velmor.sql.zst");
    const QString plain = dir + QStringLiteral("/plain.sql");
    const QString piped = dir + QStringLiteral("/piped.sql.zst");
    const Workstation ws(env.folder, env.folder);
    backups::Common common = backupCommon();

    if (env.bench.wants(backupName)) {
        env.bench.measure(
            backupName, env.size,
            {Road{QStringLiteral("velmor"), [&] { QFile::remove(file); },
                  [&] {
                      const backups::Outcome o = backups::backUp(ws, source, file, false, common);
                      if (o.code != 0)
                          throw db::DbError(o.error);
                  },
                  false, 1,
                  [&] {
                      const db::backup::Check c = db::backup::checkFile(file, false);
                      qint64 rows = 0;
                      for (const auto &t : c.header.tables)
                          rows += t.rows;
                      return QList<double>{double(rows)};
                  }},
             Road{QStringLiteral("floor"), [&] { QFile::remove(plain); },
                  [&] { runTool(source, QStringLiteral("mariadb-dump"), db::backup::dumpArguments(env.pristine), {}, plain); },
                  false, 1, {}},
             // What a shell line gives: the dump tool piped through zstd -1
             // (compressed, no checksums, not written whole first).
             Road{QStringLiteral("dump | zstd"), [&] { QFile::remove(piped); },
                  [&] { runPipe(source, db::backup::dumpArguments(env.pristine), piped); }, false, 1, {}}});
        if (QFileInfo::exists(file) && QFileInfo::exists(plain))
            env.bench.addNote(backupName, env.size, QStringLiteral("velmor"),
                              QStringLiteral("%1 MB compressed from %2 MB of SQL")
                                  .arg(double(QFileInfo(file).size()) / (1024 * 1024), 0, 'f', 1)
                                  .arg(double(QFileInfo(plain).size()) / (1024 * 1024), 0, 'f', 1));
    }

    if (env.bench.wants(restoreName)) {
        if (!QFileInfo::exists(file)) {
            const backups::Outcome o = backups::backUp(ws, source, file, false, common);
            if (o.code != 0)
                throw db::DbError(o.error);
        }
        if (!QFileInfo::exists(plain))
            runTool(source, QStringLiteral("mariadb-dump"), db::backup::dumpArguments(env.pristine), {}, plain);
        const QString target = QStringLiteral("bench_restore_%1").arg(env.size);
        const QString floorTarget = QStringLiteral("bench_restore_floor_%1").arg(env.size);
        QSqlDatabase admin = env.server.connect(env.pristine);
        auto fresh = [&](const QString &name) {
            db::exec(admin, QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
            db::exec(admin, QStringLiteral("DROP DATABASE IF EXISTS `%1_restoring`").arg(name));
        };
        backups::RestoreRequest r;
        r.file = file;
        r.connection = env.server.settings(target);
        r.booksCheck = restoreBooksCheck();
        r.common = common;
        env.bench.measure(
            restoreName, env.size,
            {Road{QStringLiteral("velmor"), [&] { fresh(target); },
                  [&] {
                      const backups::Outcome o = backups::restore(r);
                      if (o.code == 2)
                          throw db::DbError(o.error);
                  },
                  false, 1, [&] { return QList<double>{double(rowsIn(admin, target))}; }},
             Road{QStringLiteral("floor"),
                  [&] {
                      fresh(floorTarget);
                      db::exec(admin, QStringLiteral("CREATE DATABASE `%1` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci").arg(floorTarget));
                  },
                  [&] {
                      runTool(env.server.settings(floorTarget), QStringLiteral("mariadb"), db::backup::clientArguments(floorTarget),
                              plain, {});
                  },
                  false, 1, [&] { return QList<double>{double(rowsIn(admin, floorTarget))}; }}});
        if (!env.bench.options().keep) {
            fresh(target);
            fresh(floorTarget);
        }
    }
    if (!env.bench.options().keep)
        QDir(dir).removeRecursively();
}

} // namespace velmor::bench
