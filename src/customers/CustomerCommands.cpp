// `velmor customers find|export` and `velmor overdue check`: the customer
// search and the overdue check without a window.
#include "customers/CustomerCommands.h"

#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "customers/CustomerSearch.h"
#include "customers/OverDue.h"
#include "db/Sql.h"

namespace velmor {

namespace {

// Reads the search options; the rest are the words.  False on a bad option.
bool parseFilter(const QStringList &args, customers::CustomerFilter &f, QString *file, CliIo &io)
{
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--customers")) {
            f.customers = true;
        } else if (a == QLatin1String("--suppliers")) {
            f.suppliers = true;
        } else if (a == QLatin1String("--hold")) {
            f.onHold = true;
        } else if (a == QLatin1String("--rep")) {
            bool ok = false;
            f.repId = i + 1 < args.size() ? args.at(++i).toLongLong(&ok) : 0;
            if (!ok || f.repId <= 0) {
                io.err << "velmor: --rep needs a rep number" << Qt::endl;
                return false;
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            io.err << "velmor: unknown option " << a << Qt::endl;
            return false;
        } else if (file && file->isEmpty()) {
            *file = a;
        } else {
            words << a;
        }
    }
    f.words = words.join(QLatin1Char(' '));
    return true;
}

int runFind(const QStringList &args, CliIo &io)
{
    customers::CustomerFilter f;
    if (!parseFilter(args, f, nullptr, io))
        return 2;
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        const customers::CustomerGrid g = customers::searchCustomers(ctx.db(), f);
        // The grid as a table: every column as wide as its longest cell.
        QList<int> widths;
        for (const QString &h : g.header)
            widths << h.size();
        for (const QStringList &r : g.rows)
            for (int i = 0; i < r.size(); ++i)
                widths[i] = std::max(widths[i], int(r.at(i).simplified().size()));
        auto line = [&](const QStringList &cells) {
            QString s;
            for (int i = 0; i < cells.size(); ++i)
                s += cells.at(i).simplified().leftJustified(widths[i]) + (i + 1 < cells.size() ? QStringLiteral("  ") : QString());
            io.out << s.trimmed() << Qt::endl;
        };
        line(g.header);
        for (const QStringList &r : g.rows)
            line(r);
        io.out << g.countText() << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the search failed: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

int runExport(const QStringList &args, CliIo &io)
{
    customers::CustomerFilter f;
    QString file;
    if (!parseFilter(args, f, &file, io))
        return 2;
    if (file.isEmpty()) {
        io.err << "velmor: give the file to write" << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        const customers::CustomerGrid g = customers::searchCustomers(ctx.db(), f);
        QString why;
        if (!customers::exportGrid(g, file, &why)) {
            io.err << "velmor: " << file << " could not be written: " << why << Qt::endl;
            return 1;
        }
        io.out << "The List has been exported into " << file << " (" << g.rows.size() << " customers)" << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the search failed: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

// The check marks instalments and invoices: --user names who runs it, with
// the right of the front screen's overdue button.
int runOverDue(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    if (!args.isEmpty()) {
        io.err << "velmor: unexpected argument " << args.first() << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 2;
    if (const int refused = loginWithRight(ctx, user, customers::kOverDueRight, io))
        return refused;
    const customers::OverDueReport r = customers::CheckOverDueModule(ctx);
    if (!r.ran) {
        io.out << "The overdue check is switched off (grace period " << ctx.settings.OverDue
               << " days in the settings); nothing marked" << Qt::endl;
        return 0;
    }
    if (!r.ok) {
        io.err << "velmor: the overdue check failed, nothing was marked: " << r.error << Qt::endl;
        return 1;
    }
    io.out << "Due before " << r.referenceDate.toString(Qt::ISODate) << ": " << r.instalments
           << " instalments and " << r.invoices << " invoices marked overdue" << Qt::endl;
    return 0;
}

} // namespace

CliRegistry customerCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("customers"), QStringLiteral("find")},
              QStringLiteral("[--customers] [--suppliers] [--hold] [--rep ID] WORDS..."),
              QStringLiteral("list the customers the customer search finds"), runFind});
    r.append({{QStringLiteral("customers"), QStringLiteral("export")},
              QStringLiteral("[--customers] [--suppliers] [--hold] [--rep ID] FILE [WORDS...]"),
              QStringLiteral("write the customer search as CSV"), runExport});
    r.append({{QStringLiteral("overdue"), QStringLiteral("check")}, QStringLiteral("--user NAME"),
              QStringLiteral("mark overdue instalments and invoices (grace period of the settings)"), runOverDue});
    return r;
}

} // namespace velmor
