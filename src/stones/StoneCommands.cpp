// `velmor stones repair` and `velmor stones changelog`: the repair of the stone
// screen and the change-log export without a window.
#include "core/AppContext.h"
#include "stones/StoneCommands.h"
#include "core/CliLogin.h"
#include "core/Configuration.h"
#include "core/Users.h"
#include "db/Connection.h"
#include "db/Sql.h"
#include "stones/StoneChangeLog.h"
#include "stones/StoneRepair.h"

#include <QElapsedTimer>

namespace velmor {

namespace {

// Progress words of the repair go to the terminal.
class CliPrompt : public SilentPrompt {
public:
    explicit CliPrompt(QTextStream &out) : m_out(out) {}
    void progress(const QString &text) override { m_out << "  " << text << Qt::endl; }

private:
    QTextStream &m_out;
};

// The repair changes stones, customers and memo sheets: --user names who
// does it, with the right to edit stones.  (The stone screen runs it on
// opening, before anybody logs on: that is the program's own upkeep.)
int runRepair(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    const bool literal = args.contains(QStringLiteral("--literal"));
    for (const QString &a : args)
        if (a != QLatin1String("--literal")) {
            io.err << "velmor: unknown option " << a << Qt::endl;
            return 2;
        }
    Workstation ws;
    CliPrompt prompt(io.out);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    if (const int refused = loginWithRight(ctx, user, rights::Edit, io))
        return refused;
    QElapsedTimer t;
    t.start();
    stones::RepairReport r = literal ? stones::repairLiteral(ctx) : stones::repairOnOpen(ctx);
    const stones::RepairReport a = literal ? stones::repairOnActivateLiteral(ctx) : stones::repairOnActivate(ctx);
    r.failedSteps << a.failedSteps;
    for (const QString &f : r.failedSteps)
        io.err << "velmor: repair step " << f << Qt::endl;
    io.out << "Stone repair " << (literal ? "(row by row) " : "") << "done in " << t.elapsed() << " ms"
           << (r.failedSteps.isEmpty() ? "" : ", with failed steps") << Qt::endl;
    return r.failedSteps.isEmpty() ? 0 : 1;
}

int runChangeLog(const QStringList &args, CliIo &io)
{
    stones::ChangeLogFilter f;
    QString file;
    QDate from, to;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        const bool takesValue = a == QLatin1String("--stone") || a == QLatin1String("--from") || a == QLatin1String("--to");
        if (takesValue && i + 1 >= args.size()) {
            io.err << "velmor: " << a << " needs a value" << Qt::endl;
            return 2;
        }
        if (a == QLatin1String("--stone")) {
            // A stone's ID, or nothing: "abc" is not all stones.
            const QString v = args.at(++i);
            bool ok = false;
            f.stoneId = v.toLongLong(&ok);
            if (!ok || f.stoneId <= 0) {
                io.err << "velmor: --stone takes a stone's ID (a whole number above 0), not \"" << v << "\"" << Qt::endl;
                return 2;
            }
        } else if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
            const QString v = args.at(++i);
            const QDate d = QDate::fromString(v, Qt::ISODate);
            if (!d.isValid()) {
                io.err << "velmor: " << a << " takes a date as YYYY-MM-DD, not \"" << v << "\"" << Qt::endl;
                return 2;
            }
            (a == QLatin1String("--from") ? from : to) = d;
        } else if (file.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            file = a;
        } else {
            io.err << "velmor: unexpected argument " << a
                   << (file.isEmpty() ? QString() : QStringLiteral(" (the file is %1)").arg(file)) << Qt::endl;
            return 2;
        }
    }
    if (file.isEmpty()) {
        io.err << "velmor: give the file to write" << Qt::endl;
        return 2;
    }
    if (from.isValid() != to.isValid()) {
        io.err << "velmor: a date range needs both --from and --to" << Qt::endl;
        return 2;
    }
    f.dateRange = from.isValid();
    f.from = from;
    f.to = to;
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 2;
    try {
        const stones::ChangeLogGrid g = stones::loadChangeLog(ctx, f);
        QString why;
        const QString written = stones::exportChangeLog(g, file, &why);
        if (written.isEmpty()) {
            io.err << "velmor: " << file << " could not be written: " << why << Qt::endl;
            return 1;
        }
        io.out << "The List has been exported into " << written << " (" << g.rows.size() << " rows)" << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the change log could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace

CliRegistry stoneCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("stones"), QStringLiteral("repair")}, QStringLiteral("[--literal] --user NAME"),
              QStringLiteral("run the stone screen's data repair (row by row with --literal)"), runRepair});
    r.append({{QStringLiteral("stones"), QStringLiteral("changelog")},
              QStringLiteral("[--stone ID] [--from DATE --to DATE] FILE"),
              QStringLiteral("export the stone change log as CSV"), runChangeLog});
    r << searchCommands();
    r << stoneFileCommands();
    return r;
}

} // namespace velmor
