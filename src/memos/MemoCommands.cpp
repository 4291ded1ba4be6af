// `velmor memo show ID`, `velmor memo print ID (--pdf FILE | --printer NAME)
// [--cdn] [--zar]` and `velmor memo report [--customer ID] [--days N] FILE.csv`.
#include "memos/MemoCommands.h"

#include "core/AppContext.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "memos/MemoFiles.h"
#include "memos/MemoPrint.h"
#include "memos/MemoReport.h"
#include "memos/MemoSheetView.h"

namespace velmor {

namespace {

// Messages of the operations go to the terminal.
class CliPrompt : public SilentPrompt {
public:
    explicit CliPrompt(CliIo &io) : m_io(io) {}
    void inform(const QString &text, const QString &title, Icon icon) override
    {
        (icon == Icon::Exclamation || icon == Icon::Critical ? m_io.err : m_io.out)
            << (title.isEmpty() ? QString() : title + QStringLiteral(": ")) << text << Qt::endl;
    }

private:
    CliIo &m_io;
};

bool sheetId(const QStringList &args, int at, qint64 *id, CliIo &io)
{
    bool ok = false;
    *id = args.value(at).toLongLong(&ok);
    if (!ok || *id <= 0) {
        io.err << "velmor: give the memo sheet's number" << Qt::endl;
        return false;
    }
    return true;
}

// The working rates of a command line: the stored exchange rate and the
// last good rand rate (none stored: unknown, and rand amounts are refused).
void loadRates(AppContext &ctx)
{
    const double cdn =
        db::numOf(db::scalar(ctx.db(), QStringLiteral("SELECT ExchangeRate FROM Config ORDER BY ID LIMIT 1")));
    if (cdn > 0)
        ctx.exchangeRateCDN = cdn;
    double zar = 0;
    try {
        zar = db::numOf(db::scalar(ctx.db(), QStringLiteral("SELECT ExchangeRateZAR FROM Config ORDER BY ID LIMIT 1")));
    } catch (const db::DbError &) {
    }
    // A database from before the kept rand rate: the newest invoice line's.
    if (!(zar > 0))
        zar = db::numOf(db::scalar(ctx.db(), QStringLiteral("SELECT exchangerateZAR FROM invoicelist WHERE "
                                                            "exchangerateZAR>0 ORDER BY ID DESC LIMIT 1")));
    if (zar > 0)
        ctx.exchangeRateZAR = zar;
}

int runShow(const QStringList &args, CliIo &io)
{
    qint64 id = 0;
    if (args.size() != 1 || !sheetId(args, 0, &id, io))
        return 2;
    Workstation ws;
    CliPrompt prompt(io);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    try {
        const memos::MemoSheetData d = memos::loadMemoSheet(ctx, id);
        if (!d.found) {
            io.err << "velmor: there is no memo sheet " << id << Qt::endl;
            return 1;
        }
        io.out << "Memo Sheet# " << id << (d.header.closed ? "  (closed)" : "") << Qt::endl
               << d.header.company << Qt::endl
               << "Date: " << memos::memoDate(d.header.date) << "   Ref: " << d.header.ref << Qt::endl;
        const QStringList h = memos::memoLineHeaders();
        io.out << h.mid(0, h.size() - 1).join(QLatin1Char('\t')) << Qt::endl;
        for (const memos::MemoLine &l : d.lines)
            io.out << QStringList{l.sku, l.weight, l.colour, l.clarity, l.lab, l.cert, l.rap, l.discount, l.stonePrice,
                                  QString::number(l.days)}
                          .join(QLatin1Char('\t'))
                   << Qt::endl;
        io.out << d.lines.size() << " stone(s) on this memo sheet" << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

int runPrint(const QStringList &args, CliIo &io)
{
    memos::MemoPrintRequest r;
    printing::PrintTarget target;
    bool haveTarget = false;
    bool pictures = false;
    if (args.isEmpty() || !sheetId(args, 0, &r.memoSheetId, io))
        return 2;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--cdn")) {
            r.cdn = true;
        } else if (a == QLatin1String("--zar")) {
            r.zar = true;
        } else if (a == QLatin1String("--pictures")) {
            pictures = true;
        } else if ((a == QLatin1String("--pdf") || a == QLatin1String("--printer")) && i + 1 < args.size() && !haveTarget) {
            target = a == QLatin1String("--pdf") ? printing::PrintTarget::pdf(args.at(++i))
                                                 : printing::PrintTarget::printer(args.at(++i));
            haveTarget = true;
        } else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    if (!haveTarget) {
        io.err << "velmor: give --pdf FILE or --printer NAME" << Qt::endl;
        return 2;
    }
    Workstation ws;
    CliPrompt prompt(io);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    try {
        loadRates(ctx);
    } catch (const db::DbError &) {
    }
    r.options = memos::MemoFiles(ctx.workstation).printOptions();
    r.options.pictures = r.options.pictures || pictures;
    return memos::printMemoSheet(ctx, r, target).ok ? 0 : 1;
}

int runReport(const QStringList &args, CliIo &io)
{
    memos::ReportFilter f;
    QString file;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--customer") || a == QLatin1String("--days")) {
            if (i + 1 >= args.size()) {
                io.err << "velmor: " << a << " needs a value" << Qt::endl;
                return 2;
            }
            const QString v = args.at(++i);
            bool ok = false;
            if (a == QLatin1String("--customer")) {
                f.partyId = v.toLongLong(&ok);
                if (!ok || f.partyId <= 0) {
                    io.err << "velmor: --customer takes a customer's ID (a whole number above 0), not \"" << v << "\""
                           << Qt::endl;
                    return 2;
                }
            } else {
                f.minDays = v.toInt(&ok);
                if (!ok || f.minDays < 0) {
                    io.err << "velmor: --days takes a number of days (0 or more), not \"" << v << "\"" << Qt::endl;
                    return 2;
                }
            }
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
    Workstation ws;
    CliPrompt prompt(io);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    try {
        loadRates(ctx);
        const memos::Report r = memos::runReport(ctx, f);
        QString written;
        const QString error = memos::exportReport(r, file, &written);
        if (!error.isEmpty()) {
            io.err << "velmor: " << error << Qt::endl;
            return 1;
        }
        io.out << r.rows.size() << " stone(s) written to " << written << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

CliRegistry memoCommands()
{
    return {
        {{QStringLiteral("memo"), QStringLiteral("show")}, QStringLiteral("ID"),
         QStringLiteral("the memo sheet's customer and stones"), runShow},
        {{QStringLiteral("memo"), QStringLiteral("print")},
         QStringLiteral("ID (--pdf FILE | --printer NAME) [--cdn] [--zar]"), QStringLiteral("prints the memo sheet"),
         runPrint},
        {{QStringLiteral("memo"), QStringLiteral("report")}, QStringLiteral("[--customer ID] [--days N] FILE.csv"),
         QStringLiteral("exports the stones out on memo (and sold, not paid)"), runReport},
    };
}

} // namespace velmor
