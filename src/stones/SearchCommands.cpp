// `velmor stones search`, `velmor stones history` and `velmor print memo-out`:
// the stone search, a stone's history and the memo-out list without a window.
#include "core/AppContext.h"
#include "db/Sql.h"
#include "pricing/Grades.h"
#include "printing/PrintJob.h"
#include "stones/StoneCommands.h"
#include "stones/StoneHistory.h"
#include "stones/StoneLists.h"
#include "stones/StoneSearch.h"

#include <QLocale>

namespace velmor {

namespace {

// "G", "G/H", "45": the grade number, 0 when unknown.
int gradeNumber(const QString &text, bool colour)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (ok)
        return n;
    return colour ? pricing::colourNumberOf(text.trimmed()) : pricing::clarityNumberOf(text.trimmed());
}

// "LOW-HIGH", "LOW-", "-HIGH" or one value.
bool splitRange(const QString &text, QString &low, QString &high)
{
    const int dash = text.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        low = text.trimmed();
        high.clear();
        return !low.isEmpty();
    }
    low = text.left(dash).trimmed();
    high = text.mid(dash + 1).trimmed();
    return !(low.isEmpty() && high.isEmpty());
}

QString csvField(QString v)
{
    if (v.contains(QLatin1Char('"')) || v.contains(QLatin1Char(',')) || v.contains(QLatin1Char('\n')))
        v = QLatin1Char('"') + v.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return v;
}

} // namespace

bool takeSearchFilter(const QStringList &args, int &i, stones::StoneSearchFilter &f, QString *why)
{
    const QString a = args.at(i);
    bool missing = false;
    auto value = [&]() {
        if (i + 1 >= args.size()) {
            missing = true;
            return QString();
        }
        return args.at(++i);
    };
    auto bad = [&](const QString &w) {
        *why = w;
        return false;
    };
    if (a == QLatin1String("--status")) {
        f.inStock = f.memo = f.returned = f.preSold = f.sold = false;
        for (const QString &w : value().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString s = w.trimmed().toLower();
            if (s == QLatin1String("stock"))
                f.inStock = true;
            else if (s == QLatin1String("memo"))
                f.memo = true;
            else if (s == QLatin1String("returned"))
                f.returned = true;
            else if (s == QLatin1String("presold"))
                f.preSold = true;
            else if (s == QLatin1String("sold"))
                f.sold = true;
            else if (s == QLatin1String("all"))
                f.inStock = f.memo = f.returned = f.preSold = f.sold = true;
            else
                return bad(QStringLiteral("unknown status word \"%1\"").arg(w));
        }
    } else if (a == QLatin1String("--customer")) {
        bool ok = false;
        f.customerId = value().toLongLong(&ok);
        if (!ok || f.customerId <= 0)
            return bad(QStringLiteral("--customer takes a customer number"));
    } else if (a == QLatin1String("--here-on-memo")) {
        f.hereOnMemo = true;
    } else if (a == QLatin1String("--sku")) {
        f.sku = value();
    } else if (a == QLatin1String("--cert")) {
        f.certificate = value();
    } else if (a == QLatin1String("--lot")) {
        f.lot = value();
    } else if (a == QLatin1String("--shape")) {
        f.shape = value();
    } else if (a == QLatin1String("--lab")) {
        f.lab = value();
    } else if (a == QLatin1String("--cut")) {
        f.cut = value();
    } else if (a == QLatin1String("--fluorescence")) {
        f.fluorescence = value();
    } else if (a == QLatin1String("--weight")) {
        const QString v = value();
        if (!splitRange(v, f.lowWeight, f.highWeight))
            return bad(QStringLiteral("--weight takes LOW-HIGH"));
        for (const QString &w : {f.lowWeight, f.highWeight})
            if (!w.isEmpty() && stones::weightText(w).isEmpty())
                return bad(QStringLiteral("\"%1\" is not a weight in carats").arg(w));
    } else if (a == QLatin1String("--range")) {
        f.allowRange = true;
    } else if (a == QLatin1String("--colour") || a == QLatin1String("--clarity")) {
        const bool colour = a == QLatin1String("--colour");
        QString low, high;
        if (!splitRange(value(), low, high))
            return bad(a + QStringLiteral(" takes LOW-HIGH"));
        const int l = low.isEmpty() ? 0 : gradeNumber(low, colour);
        const int h = high.isEmpty() ? 0 : gradeNumber(high, colour);
        if ((!low.isEmpty() && l <= 0) || (!high.isEmpty() && h <= 0))
            return bad(QStringLiteral("unknown grade in %1 %2-%3").arg(a, low, high));
        (colour ? f.lowColour : f.lowClarity) = l;
        (colour ? f.highColour : f.highClarity) = h;
    } else if (a == QLatin1String("--day")) {
        f.day = QDate::fromString(value(), Qt::ISODate);
        if (!f.day.isValid())
            return bad(QStringLiteral("--day takes YYYY-MM-DD"));
    } else if (a == QLatin1String("--canadian")) {
        f.canadian = true;
    } else if (a == QLatin1String("--not-canadian")) {
        f.notCanadian = true;
    } else if (a == QLatin1String("--lab-grown")) {
        f.labGrown = true;
    } else if (a == QLatin1String("--natural")) {
        f.natural = true;
    } else if (a == QLatin1String("--finished")) {
        f.finished = true;
    } else if (a == QLatin1String("--unbound")) {
        f.excludeBound = true;
    } else if (a == QLatin1String("--bound")) {
        f.onlyBound = true;
    } else {
        return false;
    }
    if (missing)
        return bad(a + QStringLiteral(" needs a value"));
    return true;
}

namespace {

const char kSearchUsage[] =
    "velmor stones search [--status stock,memo,returned,presold,sold|all] [--customer ID] [--here-on-memo]\n"
    "  [--sku PREFIX] [--cert PREFIX] [--lot TEXT] [--shape S] [--lab L] [--cut C] [--fluorescence F]\n"
    "  [--weight LOW-HIGH] [--range] [--colour LOW-HIGH] [--clarity LOW-HIGH] [--day YYYY-MM-DD]\n"
    "  [--canadian|--not-canadian] [--lab-grown|--natural] [--finished] [--unbound|--bound]\n"
    "  [--sort HEADING [--desc]] [--csv FILE]";

int runSearch(const QStringList &args, CliIo &io)
{
    stones::StoneSearchFilter f;
    stones::SearchOrder order;
    QString csv, sortHeading;
    bool desc = false;
    if (args.contains(QStringLiteral("--help"))) {
        io.out << kSearchUsage << Qt::endl;
        return 0;
    }
    auto bad = [&](const QString &why) {
        io.err << "velmor: " << why << "\n" << kSearchUsage << Qt::endl;
        return 2;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        QString why;
        if (takeSearchFilter(args, i, f, &why))
            continue;
        if (!why.isEmpty())
            return bad(why);
        bool missing = false;
        auto value = [&]() {
            if (i + 1 >= args.size()) {
                missing = true;
                return QString();
            }
            return args.at(++i);
        };
        if (a == QLatin1String("--sort")) {
            sortHeading = value();
        } else if (a == QLatin1String("--desc")) {
            desc = true;
        } else if (a == QLatin1String("--csv")) {
            csv = value();
            if (csv.isEmpty())
                return bad(QStringLiteral("--csv takes a file name"));
        } else {
            return bad(QStringLiteral("unexpected argument ") + a);
        }
        if (missing)
            return bad(a + QStringLiteral(" needs a value"));
    }
    if (f.excludeBound && f.onlyBound)
        return bad(QStringLiteral("--unbound and --bound exclude each other"));
    // Ascending by the heading's column (a first click on the column that
    // already orders would turn it round).
    if (!sortHeading.isEmpty() && stones::SearchOrder::columnFor(sortHeading) != order.column())
        order.click(sortHeading);
    // The same heading again turns the order round.
    if (desc)
        order.click(sortHeading.isEmpty() ? QStringLiteral("Weight") : sortHeading);
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 2;
    try {
        const stones::SearchTotals t = stones::searchTotals(ctx.db(), f);
        const QList<stones::SearchRow> rows = stones::searchRows(ctx.db(), f, order);
        if (!csv.isEmpty()) {
            QStringList lines;
            QStringList head;
            for (const QString &c : stones::searchColumns())
                head << csvField(c);
            lines << head.join(QLatin1Char(','));
            for (const stones::SearchRow &r : rows) {
                QStringList cells;
                for (const QString &c : r.cells)
                    cells << csvField(c);
                lines << cells.join(QLatin1Char(','));
            }
            QString why;
            if (!stones::writeTextFile(csv, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), &why)) {
                io.err << "velmor: " << csv << " could not be written: " << why << Qt::endl;
                return 1;
            }
        } else {
            for (const stones::SearchRow &r : rows)
                io.out << r.id << '\t' << r.cells.value(stones::ColSKU) << '\t' << r.cells.value(stones::ColHash)
                       << '\t' << r.cells.value(stones::ColShape) << '\t' << r.cells.value(stones::ColWeight) << '\t'
                       << r.cells.value(stones::ColColour) << '\t' << r.cells.value(stones::ColClarity) << '\t'
                       << r.cells.value(stones::ColCert) << '\t' << r.cells.value(stones::ColRapPerStone) << '\n';
        }
        io.out << t.count << " stones, total RAP US$ " << stones::moneyText(t.rapSum);
        if (!csv.isEmpty())
            io.out << ", written to " << csv;
        io.out << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the search failed: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

int runHistory(const QStringList &args, CliIo &io)
{
    bool ok = false;
    const qint64 id = args.size() == 1 ? args.first().toLongLong(&ok) : 0;
    if (!ok || id <= 0) {
        io.err << "velmor: give one stone number: velmor stones history ID" << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        if (db::scalar(ctx.db(), QStringLiteral("SELECT COUNT(*) FROM SingleStone WHERE ID = ?"), {id}).toInt() == 0) {
            io.err << "velmor: there is no stone number " << id << Qt::endl;
            return 1;
        }
        const stones::StoneHistory h = stones::loadStoneHistory(ctx.db(), id);
        io.out << h.columns.join(QLatin1Char('\t')) << '\n';
        for (const QStringList &r : h.rows)
            io.out << r.join(QLatin1Char('\t')) << '\n';
        io.out << h.rows.size() << " entries" << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the history could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

int runMemoOut(const QStringList &args, CliIo &io)
{
    printing::TargetArgs target;
    for (int i = 0; i < args.size(); ++i) {
        if (!target.take(args, i)) {
            io.err << "velmor: unexpected argument " << args.at(i) << Qt::endl;
            return 2;
        }
    }
    if (!target.complete()) {
        io.err << "velmor: give either --pdf FILE or --printer NAME" << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 2;
    QList<stones::MemoOutCustomer> list;
    try {
        list = stones::loadMemoOutList(ctx.db());
    } catch (const db::DbError &e) {
        io.err << "velmor: the stones on memo could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    const printing::PrintOutcome out = printing::printDocument(
        target.target(),
        [&](printing::PrintSurface &s, QString *err) {
            return stones::drawMemoOutList(s, list, QDate::currentDate(), err);
        },
        QStringLiteral("Daily Memo Information Sheet"));
    if (!out.ok) {
        io.err << "velmor: " << out.error << Qt::endl;
        return 1;
    }
    int stones = 0;
    for (const auto &g : list)
        stones += int(g.lines.size());
    io.out << "Document was sent to the Printer: " << out.where << " (" << stones << " stones on memo, "
           << list.size() << " customers)" << Qt::endl;
    return 0;
}

} // namespace

CliRegistry searchCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("stones"), QStringLiteral("search")},
              QStringLiteral("[filters] [--sort HEADING [--desc]] [--csv FILE]"),
              QStringLiteral("search the stones as the search screen does (--help for the filters)"), runSearch});
    r.append({{QStringLiteral("stones"), QStringLiteral("history")}, QStringLiteral("ID"),
              QStringLiteral("show a stone's memo, invoice and vendor history"), runHistory});
    r.append({{QStringLiteral("print"), QStringLiteral("memo-out")}, QStringLiteral("(--pdf FILE | --printer NAME)"),
              QStringLiteral("print the Daily Memo Information Sheet"), runMemoOut});
    return r;
}

} // namespace velmor
