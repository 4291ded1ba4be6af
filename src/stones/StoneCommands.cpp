// `velmor stones repair` and `velmor stones changelog`: the repair of the stone
// screen and the change-log export without a window.
#include "core/AppContext.h"
#include "stones/StoneCommands.h"
#include "core/Configuration.h"
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

int runRepair(const QStringList &args, CliIo &io)
{
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
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        auto value = [&]() { return i + 1 < args.size() ? args.at(++i) : QString(); };
        if (a == QLatin1String("--stone")) {
            f.stoneId = value().toLongLong();
        } else if (a == QLatin1String("--from")) {
            f.from = QDate::fromString(value(), Qt::ISODate);
            f.dateRange = true;
        } else if (a == QLatin1String("--to")) {
            f.to = QDate::fromString(value(), Qt::ISODate);
            f.dateRange = true;
        } else if (file.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            file = a;
        } else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    if (file.isEmpty() || (f.dateRange && (!f.from.isValid() || !f.to.isValid()))) {
        io.err << "velmor: give the file, and both --from and --to as YYYY-MM-DD for a date range" << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 2;
    try {
        const stones::ChangeLogGrid g = stones::loadChangeLog(ctx, f);
        const QString written = stones::exportChangeLog(g, file);
        if (written.isEmpty()) {
            io.err << "velmor: " << file << " could not be written" << Qt::endl;
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
    r.append({{QStringLiteral("stones"), QStringLiteral("repair")}, QStringLiteral("[--literal]"),
              QStringLiteral("run the stone screen's data repair (row by row with --literal)"), runRepair});
    r.append({{QStringLiteral("stones"), QStringLiteral("changelog")},
              QStringLiteral("[--stone ID] [--from DATE --to DATE] FILE"),
              QStringLiteral("export the stone change log as CSV"), runChangeLog});
    r << searchCommands();
    r << stoneFileCommands();
    return r;
}

} // namespace velmor
