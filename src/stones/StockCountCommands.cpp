#include "stones/StockCountCommands.h"

#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "db/Sql.h"
#include "printing/PrintJob.h"
#include "stones/ScanJournal.h"
#include "stones/StockCountReport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace velmor {

namespace {

using namespace stones;

// The arguments of a count command once --user is taken out.
struct Args {
    QStringList rest;
    QString user;
    bool ok = true;
};

Args parse(const QStringList &args, CliIo &io)
{
    Args a;
    a.rest = args;
    a.ok = takeUserOption(a.rest, &a.user, io);
    return a;
}

// Takes "--name VALUE" out of the arguments; false when the value is missing.
bool takeValue(QStringList &args, const QString &option, QString *value, bool *given, CliIo &io)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) != option)
            continue;
        if (i + 1 >= args.size()) {
            io.err << "velmor: " << option << " needs a value" << Qt::endl;
            return false;
        }
        *value = args.at(i + 1);
        if (given)
            *given = true;
        args.remove(i, 2);
        --i;
    }
    return true;
}

bool countIdOf(const QString &text, qint64 *id, CliIo &io)
{
    bool ok = false;
    *id = text.trimmed().toLongLong(&ok);
    if (!ok || *id <= 0) {
        io.err << "velmor: \"" << text << "\" is not a count number" << Qt::endl;
        return false;
    }
    return true;
}

bool refuseOptions(const QStringList &rest, int positional, CliIo &io)
{
    for (int i = positional; i < rest.size(); ++i) {
        io.err << "velmor: unexpected argument " << rest.at(i) << Qt::endl;
        return false;
    }
    return true;
}

struct Session {
    Workstation ws;
    AppContext ctx;
    Session() : ctx(ws, ws.connectionSettings()) {}
};

QString outcomeLine(const ScanOutcome &o)
{
    const QString again = o.state == ScanOutcome::AlreadyWritten ? QStringLiteral(" (written before)") : QString();
    switch (o.state) {
    case ScanOutcome::Refused:
        return QStringLiteral("refused     %1: %2").arg(o.code, o.message);
    case ScanOutcome::Failed:
        return QStringLiteral("kept        %1: %2").arg(o.code, o.message);
    default:
        break;
    }
    const QString stone = QStringLiteral("%1 (ID %2)").arg(o.sku).arg(o.stoneId);
    switch (o.result) {
    case ScanResult::Found:
        return QStringLiteral("found       ") + stone + (o.place.isEmpty() ? QString() : QStringLiteral(", ") + o.place)
               + again;
    case ScanResult::Twice:
        return QStringLiteral("twice       ") + stone + QStringLiteral(": scanned before, counted once") + again;
    case ScanResult::Unexpected:
        return QStringLiteral("unexpected  ") + stone + QStringLiteral(": ") + o.status + QStringLiteral(", ") + o.place
               + again;
    case ScanResult::Unknown:
        break;
    }
    return QStringLiteral("unknown     ") + o.code + QStringLiteral(": no stone carries this code") + again;
}

QString figuresLine(qint64 id, const CountFigures &f)
{
    return QStringLiteral("Count %1: found %2 of %3 expected, %4 not expected, %5 scanned twice, %6 unknown codes")
        .arg(id)
        .arg(f.found)
        .arg(f.expected)
        .arg(f.unexpected)
        .arg(f.twice)
        .arg(f.unknown);
}

// One line of standard input, read a byte at a time so that nothing is
// taken from the stream beyond the code in hand.  False at the end.
bool readCodeLine(QString *line)
{
#ifdef Q_OS_UNIX
    QByteArray bytes;
    char c = 0;
    ssize_t n = 0;
    while ((n = ::read(0, &c, 1)) == 1) {
        if (c == '\n')
            break;
        bytes += c;
    }
    if (n <= 0 && bytes.isEmpty())
        return false;
    *line = QString::fromUtf8(bytes);
    return true;
#else
    static QFile in;
    if (!in.isOpen() && !in.open(stdin, QIODevice::ReadOnly))
        return false;
    if (in.atEnd())
        return false;
    *line = QString::fromUtf8(in.readLine());
    return true;
#endif
}

int runStart(const QStringList &args, CliIo &io)
{
    Args a = parse(args, io);
    QString name, location, tolerance;
    if (!a.ok || !takeValue(a.rest, QStringLiteral("--name"), &name, nullptr, io)
        || !takeValue(a.rest, QStringLiteral("--location"), &location, nullptr, io)
        || !takeValue(a.rest, QStringLiteral("--tolerance"), &tolerance, nullptr, io) || !refuseOptions(a.rest, 0, io))
        return 2;
    Session s;
    if (!openCliContext(s.ctx, io) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    const CountOutcome o = startCount(s.ctx, name, location, tolerance);
    if (!o.ok) {
        io.err << "velmor: " << o.error << Qt::endl;
        return 1;
    }
    const auto h = loadCount(s.ctx.db(), o.id);
    io.out << "Count " << o.id << " started: " << (h ? h->name : name) << Qt::endl;
    io.out << "  " << o.figures.expected << " stones expected"
           << (location.trimmed().isEmpty() ? QStringLiteral(" (every location)")
                                            : QStringLiteral(" at ") + location.trimmed())
           << ", " << o.figures.parcels << " parcels on hand (tolerance " << (h ? h->tolerance.fixed(2) : QString())
           << " ct)" << Qt::endl;
    return 0;
}

int runScan(const QStringList &args, CliIo &io)
{
    Args a = parse(args, io);
    if (!a.ok)
        return 2;
    if (a.rest.isEmpty()) {
        io.err << "velmor: give the count number (and the codes, or one a line on standard input)" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!countIdOf(a.rest.first(), &id, io))
        return 2;
    const QStringList codes = a.rest.mid(1);
    Session s;
    if (!openCliContext(s.ctx, io) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    ScanJournal journal(s.ctx.workstation);
    QString why;
    const std::optional<Desk> desk =
        joinCount(s.ctx, id, QSysInfo::machineHostName() + QStringLiteral(" (command line)"), &why);
    if (!desk) {
        io.err << "velmor: " << why << Qt::endl;
        const QList<ScanInput> left = journal.waiting(id);
        if (!left.isEmpty() && why.contains(QLatin1String("closed"))) {
            // Told before the closing and never written: they cannot be now.
            for (const ScanInput &w : left) {
                io.err << "velmor: the scan of " << w.code << " told " << w.toldAt.toString(Qt::ISODate)
                       << " was not written before the count was closed" << Qt::endl;
                journal.done(w.token);
            }
        }
        return 1;
    }
    int failures = 0;
    bool serverGone = false;
    QElapsedTimer sinceLoss;
    auto send = [&](const ScanInput &scan, bool replay) {
        if (serverGone && sinceLoss.isValid() && sinceLoss.elapsed() < 5000) {
            io.out << "kept        " << scan.code << ": waiting for the server" << Qt::endl;
            ++failures;
            return;
        }
        const ScanOutcome o = recordScan(s.ctx, *desk, scan);
        io.out << (replay ? QStringLiteral("(again) ") : QString()) << outcomeLine(o) << Qt::endl;
        if (o.state == ScanOutcome::Failed) {
            serverGone = true;
            sinceLoss.start();
            ++failures;
            return;
        }
        serverGone = false;
        if (o.state == ScanOutcome::Refused)
            ++failures;
        journal.done(scan.token);
    };
    // What this workstation was told before and did not write (a kill, a
    // lost server) goes first, in the order it was told.
    for (const ScanInput &w : journal.waiting(id))
        send(w, true);
    auto tell = [&](const QString &raw) {
        const QString code = cleanCode(raw);
        if (code.isEmpty())
            return;
        bool kept = true;
        const ScanInput scan = journal.tell(id, code, QStringLiteral("command"), &kept);
        if (!kept)
            io.err << "velmor: the scan could not be noted in " << journal.path() << " (it is sent all the same)"
                   << Qt::endl;
        send(scan, false);
    };
    if (!codes.isEmpty()) {
        for (const QString &c : codes)
            tell(c);
    } else {
        QString line;
        while (readCodeLine(&line))
            tell(line);
    }
    // The end of the codes: what waits is tried once more.
    const QList<ScanInput> left = journal.waiting(id);
    if (!left.isEmpty()) {
        serverGone = false;
        failures = 0;
        for (const ScanInput &w : left)
            send(w, true);
    }
    const int waiting = int(journal.waiting(id).size());
    if (waiting > 0)
        io.err << "velmor: " << waiting << " scans could not be written; they are kept on this workstation and "
               << "`velmor count scan " << id << "` sends them" << Qt::endl;
    try {
        io.out << figuresLine(id, countFigures(s.ctx.db(), id)) << Qt::endl;
    } catch (const db::DbError &) {
    }
    return waiting > 0 || failures > 0 ? 1 : 0;
}

int runParcel(const QStringList &args, CliIo &io)
{
    Args a = parse(args, io);
    if (!a.ok)
        return 2;
    if (a.rest.size() != 3) {
        io.err << "velmor: give the count number, the parcel's SKU and the carats weighed" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!countIdOf(a.rest.first(), &id, io))
        return 2;
    Session s;
    if (!openCliContext(s.ctx, io) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    const WeighOutcome o = weighParcel(s.ctx, id, a.rest.at(1), a.rest.at(2));
    if (!o.ok) {
        io.err << "velmor: " << o.error << Qt::endl;
        return 1;
    }
    const auto h = loadCount(s.ctx.db(), id);
    io.out << "Parcel " << o.line.sku << ": weighed " << o.line.weighedCarats.fixed(2) << " ct, on hand "
           << o.line.onHand.fixed(2) << " ct, difference " << o.line.difference().fixed(2) << " ct"
           << (o.beyond ? QStringLiteral(" (beyond the tolerance of %1 ct)").arg(h ? h->tolerance.fixed(2) : QString())
                        : QString())
           << Qt::endl;
    return 0;
}

// Writes the report's PDF and CSV when asked; false when one failed.
bool writeFiles(const CountReport &r, const QString &pdf, const QString &csv, CliIo &io)
{
    bool ok = true;
    if (!csv.isEmpty()) {
        QString why;
        if (writeCountCsv(r, csv, &why)) {
            io.out << "CSV written to " << csv << Qt::endl;
        } else {
            io.err << "velmor: the CSV file " << csv << " could not be written: " << why << Qt::endl;
            ok = false;
        }
    }
    if (!pdf.isEmpty()) {
        const printing::PrintOutcome p = printing::printDocument(
            printing::PrintTarget::pdf(pdf), [&r](printing::PrintSurface &s, QString *e) { return drawCountReport(s, r, e); },
            QStringLiteral("Stock count %1").arg(r.header.id));
        if (p.ok) {
            io.out << "PDF written to " << p.where << " (" << p.pages << (p.pages == 1 ? " page" : " pages") << ")"
                   << Qt::endl;
        } else {
            io.err << "velmor: " << p.error << Qt::endl;
            ok = false;
        }
    }
    return ok;
}

int runShowOrClose(const QStringList &args, CliIo &io, bool close)
{
    Args a = parse(args, io);
    QString pdf, csv;
    if (!a.ok || !takeValue(a.rest, QStringLiteral("--pdf"), &pdf, nullptr, io)
        || !takeValue(a.rest, QStringLiteral("--csv"), &csv, nullptr, io))
        return 2;
    if (a.rest.isEmpty()) {
        io.err << "velmor: give the count number" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!countIdOf(a.rest.first(), &id, io) || !refuseOptions(a.rest, 1, io))
        return 2;
    Session s;
    if (!openCliContext(s.ctx, io))
        return 2;
    // Closing needs its user; showing needs one only for the costs.
    if ((close || !a.user.isEmpty()) && !loginForCommand(s.ctx, a.user, io))
        return 2;
    try {
        if (!loadCount(s.ctx.db(), id)) {
            io.err << "velmor: there is no stock count " << id << Qt::endl;
            return 1;
        }
        if (close) {
            const CountOutcome o = closeCount(s.ctx, id);
            if (!o.ok) {
                io.err << "velmor: " << o.error << Qt::endl;
                return 1;
            }
        }
        const CountReport r = countReport(s.ctx, id);
        io.out << reportText(r);
        return writeFiles(r, pdf, csv, io) ? 0 : 1;
    } catch (const db::DbError &e) {
        io.err << "velmor: the count could not be read: " << e.message() << Qt::endl;
        return 2;
    }
}

int runList(const QStringList &args, CliIo &io)
{
    if (!args.isEmpty()) {
        io.err << "velmor: unexpected argument " << args.first() << Qt::endl;
        return 2;
    }
    Session s;
    if (!openCliContext(s.ctx, io))
        return 2;
    try {
        const QList<CountHeader> counts = listCounts(s.ctx.db());
        io.out << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                      .arg(QStringLiteral("ID"), 5)
                      .arg(QStringLiteral("Name"), -30)
                      .arg(QStringLiteral("Location"), -15)
                      .arg(QStringLiteral("Status"), -6)
                      .arg(QStringLiteral("Started"), -17)
                      .arg(QStringLiteral("Found"));
        for (const CountHeader &h : counts) {
            const CountFigures f = countFigures(s.ctx.db(), h.id);
            io.out << QStringLiteral("%1  %2  %3  %4  %5  %6 of %7\n")
                          .arg(h.id, 5)
                          .arg(h.name, -30)
                          .arg(h.location.isEmpty() ? QStringLiteral("(all)") : h.location, -15)
                          .arg(h.closed ? QStringLiteral("closed") : QStringLiteral("open"), -6)
                          .arg(h.startedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")), -17)
                          .arg(f.found)
                          .arg(f.expected);
        }
        if (counts.isEmpty())
            io.out << "(no stock count yet)\n";
        io.out.flush();
    } catch (const db::DbError &e) {
        io.err << "velmor: the counts could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace

bool stockCountCommandNeedsGui(const QStringList &args)
{
    return args.size() >= 2 && args.at(0) == QLatin1String("count")
           && (args.at(1) == QLatin1String("show") || args.at(1) == QLatin1String("close")) && args.contains(QStringLiteral("--pdf"));
}

CliRegistry stockCountCommands()
{
    CliRegistry r;
    const QString user = QStringLiteral(" [--user NAME]");
    r.append({{QStringLiteral("count"), QStringLiteral("start")},
              QStringLiteral("[--name TEXT] [--location TEXT] [--tolerance CT]") + user,
              QStringLiteral("start a stock count of the stones in stock (at the location) and the parcels on hand"),
              runStart});
    r.append({{QStringLiteral("count"), QStringLiteral("scan")}, QStringLiteral("COUNT_ID [CODE...]") + user,
              QStringLiteral("scan codes into a count (one a line on standard input when none are given)"), runScan});
    r.append({{QStringLiteral("count"), QStringLiteral("parcel")}, QStringLiteral("COUNT_ID SKU CARATS") + user,
              QStringLiteral("the carats weighed of a parcel"), runParcel});
    r.append({{QStringLiteral("count"), QStringLiteral("show")},
              QStringLiteral("COUNT_ID [--pdf FILE] [--csv FILE]") + user,
              QStringLiteral("a count's report (missing, not expected, parcels, totals)"),
              [](const QStringList &a, CliIo &io) { return runShowOrClose(a, io, false); }});
    r.append({{QStringLiteral("count"), QStringLiteral("close")},
              QStringLiteral("COUNT_ID [--pdf FILE] [--csv FILE]") + user,
              QStringLiteral("close a count and print its report"),
              [](const QStringList &a, CliIo &io) { return runShowOrClose(a, io, true); }});
    r.append({{QStringLiteral("count"), QStringLiteral("list")}, QString(),
              QStringLiteral("the stock counts, newest first"), runList});
    return r;
}

} // namespace velmor
