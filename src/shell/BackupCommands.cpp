#include "shell/BackupCommands.h"

#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "core/Workstation.h"
#include "db/Connection.h"
#include "shell/BooksCheck.h"
#include "shell/StartupSteps.h"

#include <QDir>
#include <QLocale>

#include <sys/resource.h>

namespace velmor {

namespace {

int report(const backups::Outcome &o, CliIo &io)
{
    for (const QString &l : o.lines)
        io.out << l << "\n";
    io.out.flush();
    if (!o.error.isEmpty())
        io.err << "velmor: " << o.error << Qt::endl;
    return o.code;
}

int usage(CliIo &io, const QString &command, const QString &arguments, const QString &bad)
{
    io.err << "velmor: db " << command << " takes " << arguments << ", not \"" << bad << "\"" << Qt::endl;
    return 2;
}

// `velmor db backup [FILE] [--verify]`, `velmor db backup --automatic`
int runBackup(const QStringList &args, CliIo &io)
{
    QString file;
    bool verify = false, automatic = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--verify"))
            verify = true;
        else if (a == QLatin1String("--automatic"))
            automatic = true;
        else if (!a.startsWith(QLatin1Char('-')) && file.isEmpty())
            file = a;
        else
            return usage(io, QStringLiteral("backup"), QStringLiteral("[FILE] [--verify] or --automatic"), a);
    }
    Workstation ws;
    if (automatic) {
        if (!file.isEmpty() || verify)
            return usage(io, QStringLiteral("backup"), QStringLiteral("[FILE] [--verify] or --automatic"),
                         file.isEmpty() ? QStringLiteral("--verify") : file);
        // Made in the background while the dealer works: it yields to Velmor.
        ::setpriority(PRIO_PROCESS, 0, 10);
        return report(backups::automatic(ws, backupCommon()), io);
    }
    db::ConnectionSettings cs;
    try {
        cs = ws.connectionSettings();
    } catch (const db::DbError &e) {
        io.err << "velmor: " << e.message() << Qt::endl;
        return 2;
    }
    return report(backups::backUp(ws, cs, file, verify, backupCommon()), io);
}

// `velmor db verify FILE`
int runVerify(const QStringList &args, CliIo &io)
{
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')))
        return usage(io, QStringLiteral("verify"), QStringLiteral("FILE"), args.join(QLatin1Char(' ')));
    Workstation ws;
    db::ConnectionSettings cs;
    try {
        cs = ws.connectionSettings();
    } catch (const db::DbError &e) {
        io.err << "velmor: " << e.message() << Qt::endl;
        return 2;
    }
    return report(backups::verify(cs, args.first(), backupCommon()), io);
}

// `velmor db restore FILE [--home DIR | --database NAME] [--replace --user NAME]`
int runRestore(const QStringList &given, CliIo &io)
{
    backups::RestoreRequest r;
    static const QString shape = QStringLiteral("FILE [--home DIR] [--database NAME] [--replace --user NAME]");
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    // Books that hold data are replaced only by one of their administrators.
    r.mayReplace = [&io, user](const db::ConnectionSettings &reachable, QString *why) {
        Workstation ws;
        AppContext ctx(ws, reachable);
        const QString name = QStringLiteral("velmor-restore-owner");
        bool may = false;
        {
            QSqlDatabase db;
            try {
                db = db::openConnection(reachable, name, false);
            } catch (const db::DbError &e) {
                *why = e.message();
                return false;
            }
            ctx.adopt(db);
            if (!loginForCommand(ctx, user, io))
                *why = QStringLiteral("The books were not replaced: no user of theirs logged on. (Books whose users "
                                      "cannot be read can still be restored apart: --home with a new folder, or "
                                      "--database with a new name.)");
            else if (!ctx.user.has(QStringLiteral("Administrator")))
                *why = QStringLiteral("The books were not replaced: %1 is not an administrator of them.").arg(user);
            else
                may = true;
            ctx.close();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return may;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--replace"))
            r.replace = true;
        else if (a == QLatin1String("--home") && i + 1 < args.size())
            r.home = args[++i];
        else if (a == QLatin1String("--database") && i + 1 < args.size())
            r.database = args[++i];
        else if (!a.startsWith(QLatin1Char('-')) && r.file.isEmpty())
            r.file = a;
        else
            return usage(io, QStringLiteral("restore"), shape, a);
    }
    if (r.file.isEmpty())
        return usage(io, QStringLiteral("restore"), shape, QString());
    r.booksCheck = restoreBooksCheck();
    r.common = backupCommon();
    return report(backups::restore(r), io);
}

// `velmor db backups [FOLDER]`
int runList(const QStringList &args, CliIo &io)
{
    if (args.size() > 1 || (args.size() == 1 && args.first().startsWith(QLatin1Char('-'))))
        return usage(io, QStringLiteral("backups"), QStringLiteral("[FOLDER]"), args.join(QLatin1Char(' ')));
    Workstation ws;
    const QString folder = args.isEmpty() ? backups::Settings::load(ws).folderPath(ws) : QDir(args.first()).absolutePath();
    const QList<backups::Found> found = backups::listBackups(folder);
    io.out << "Backups in " << QDir::toNativeSeparators(folder) << ": " << found.size() << "\n";
    for (const backups::Found &f : found) {
        const QString size = backups::sizeText(f.bytes);
        QString line = QStringLiteral("  %1  %2  ").arg(f.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")), size.rightJustified(10));
        if (f.whole) {
            line += QStringLiteral("schema %1  %2  %3")
                        .arg(QString::number(f.schemaVersion, 'g', 10), f.kind.leftJustified(14),
                             f.verified ? QStringLiteral("verified %1").arg(f.verifiedAt.toString(QStringLiteral("yyyy-MM-dd")))
                                        : QStringLiteral("not verified"));
        } else {
            line += QStringLiteral("DAMAGED: ") + f.problem;
        }
        io.out << line << "  " << QDir::toNativeSeparators(f.file).section(QLatin1Char('/'), -1) << "\n";
    }
    const backups::Settings st = backups::Settings::load(ws);
    const QString warning = backups::staleWarning(found, st.warnDays, QDateTime::currentDateTime());
    if (!warning.isEmpty())
        io.out << warning << "\n";
    io.out.flush();
    return 0;
}

} // namespace

backups::Common backupCommon()
{
    backups::Common c;
    c.program = QStringLiteral("Velmor ") + programVersion();
    return c;
}

backups::BooksCheck restoreBooksCheck()
{
    return [](const QSqlDatabase &db) {
        QStringList faults;
        const books::Report r = books::checkBooks(db);
        for (const books::RuleResult &res : r.results) {
            if (res.clean() || res.rule.severity != books::Severity::Error)
                continue;
            faults << (res.failure.isEmpty()
                           ? QStringLiteral("%1: %2 (%3 rows)").arg(res.rule.key, res.rule.title).arg(res.rows.size())
                           : QStringLiteral("%1: could not be checked: %2").arg(res.rule.key, res.failure));
        }
        return faults;
    };
}

CliRegistry backupCommands()
{
    CliRegistry r;
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("backup")},
                        QStringLiteral("[FILE] [--verify] | --automatic"),
                        QStringLiteral("back up the whole database into FILE (default: a new file in the backup folder)"),
                        runBackup});
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("restore")},
                        QStringLiteral("FILE [--home DIR] [--database NAME] [--replace --user NAME]"),
                        QStringLiteral("restore a backup into an empty database, compare it and check the books"),
                        runRestore});
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("backups")}, QStringLiteral("[FOLDER]"),
                        QStringLiteral("list the backups found (date, size, schema version, verified)"), runList});
    r.append(CliCommand{{QStringLiteral("db"), QStringLiteral("verify")}, QStringLiteral("FILE"),
                        QStringLiteral("restore a backup into a scratch database and compare its checksums"),
                        runVerify});
    return r;
}

} // namespace velmor
