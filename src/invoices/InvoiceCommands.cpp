#include "invoices/InvoiceCommands.h"

#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "db/Sql.h"
#include "invoices/Invoice.h"
#include "invoices/InvoicePrint.h"

namespace velmor {

namespace {

using namespace invoices;

bool numberArg(const QString &text, const char *what, qint64 &id, CliIo &io)
{
    bool ok = false;
    id = text.toLongLong(&ok);
    if (!ok || id <= 0) {
        io.err << "velmor: \"" << text << "\" is not " << what << Qt::endl;
        return false;
    }
    return true;
}

struct CliSession {
    Workstation ws;
    SilentPrompt prompt;
    AppContext ctx{ws, ws.connectionSettings(), &prompt};
};

// Columns padded to their widest cell.
void table(QTextStream &out, const QStringList &headings, const QList<QStringList> &rows)
{
    QList<int> widths;
    for (const QString &h : headings)
        widths << h.size();
    for (const QStringList &r : rows)
        for (int i = 0; i < r.size() && i < widths.size(); ++i)
            widths[i] = qMax(widths[i], r.at(i).size());
    auto line = [&](const QStringList &cells) {
        QString t;
        for (int i = 0; i < cells.size(); ++i)
            t += cells.at(i).leftJustified(widths.at(i)) + (i + 1 < cells.size() ? QStringLiteral("  ") : QString());
        out << t.trimmed() << '\n';
    };
    line(headings);
    for (const QStringList &r : rows)
        line(r);
}

int runShow(const QStringList &args, CliIo &io)
{
    qint64 id = 0;
    if (args.size() != 1 || !numberArg(args.first(), "an invoice number", id, io)) {
        if (args.size() != 1)
            io.err << "velmor: give the invoice number" << Qt::endl;
        return 2;
    }
    CliSession s;
    if (!openCliContext(s.ctx, io, true))
        return 2;
    Invoice inv;
    try {
        if (!loadInvoice(s.ctx.db(), id, inv)) {
            io.err << "velmor: there is no invoice number " << id << Qt::endl;
            return 1;
        }
    } catch (const db::DbError &e) {
        io.err << "velmor: the invoice could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    QTextStream &o = io.out;
    o << "Invoice# " << inv.id << "  " << inv.status << "  created " << invoiceDate(inv.created.date());
    if (inv.closed.isValid())
        o << "  closed " << invoiceDate(inv.closed.date());
    o << '\n';
    const QString cityZip = inv.CompanyZIP.isEmpty() ? inv.CompanyCity : inv.CompanyCity + QStringLiteral(", ") + inv.CompanyZIP;
    for (const QString &t : {inv.CompanyName, inv.CompanyStreet1, inv.CompanyStreet2, cityZip, inv.PhoneNumber1,
                             inv.FaxNumber, inv.EMail})
        if (!t.trimmed().isEmpty())
            o << "  " << t << '\n';
    o << '\n';
    QList<QStringList> rows;
    for (const InvoiceLine &l : inv.lines)
        rows << gridRow(l);
    table(o, gridHeadings(), rows);
    const Totals t = inv.totals();
    o << '\n';
    o << "Sub Total: " << (t.any ? centsText(t.subTotal) : QString()) << '\n';
    o << "Tax: " << (t.any ? centsText(t.tax) : QString()) << '\n';
    o << "Summary: " << (t.any ? centsText(t.summary()) : QString()) << '\n';
    o.flush();
    return 0;
}

// An open invoice is closed by its print: --user names who does it.  A
// closed one prints for anyone who may read the books.
int runPrint(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    InvoicePrintOptions opt;
    bool currencyGiven = false;
    QString idText;
    printing::TargetArgs target;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        auto value = [&](bool &given) {
            given = true;
            return i + 1 < args.size() ? args.at(++i) : QString();
        };
        if (a == QLatin1String("--rap")) {
            opt.rap = true;
        } else if (a == QLatin1String("--rap-discount")) {
            opt.rapDiscount = true;
        } else if (target.take(args, i)) {
            continue;
        } else if (a == QLatin1String("--currency")) {
            const std::optional<Currency> c = currencyOf(value(currencyGiven));
            if (!c) {
                io.err << "velmor: the currency is one of us, cdn, zar" << Qt::endl;
                return 2;
            }
            opt.currency = *c;
        } else if (idText.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            idText = a;
        } else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    if (idText.isEmpty() || !target.complete()) {
        io.err << "velmor: give the invoice number and either --pdf FILE or --printer NAME" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!numberArg(idText, "an invoice number", id, io))
        return 2;
    CliSession s;
    if (!openCliContext(s.ctx, io, true) || (!user.isEmpty() && !loginForCommand(s.ctx, user, io)))
        return 2;
    // Without --currency: the workstation's print currency, as on the screens.
    if (!currencyGiven)
        opt.currency = printCurrency(s.ctx);
    const InvoicePrinted r = printInvoice(
        s.ctx, id, target.target(), opt);
    if (!r.printed && !r.found) {
        io.err << "velmor: " << r.error << Qt::endl;
        return 1;
    }
    if (!r.printed) {
        io.err << "velmor: "
               << QString(notPrintedMessage(r.error))
                      .replace(QStringLiteral("\n\nIt stays open."), r.wasOpen ? QStringLiteral(" It stays open.") : QString())
               << Qt::endl;
        return 1;
    }
    io.out << kInvoicePrinted << ": " << r.where << (r.closed ? " (closed)" : "") << Qt::endl;
    if (!r.error.isEmpty()) {
        io.err << "velmor: " << QString(r.error).replace(QStringLiteral("\n\n"), QStringLiteral(" ")) << Qt::endl;
        return 1;
    }
    return 0;
}

// velmor invoice rate ID (--cdn RATE | --zar RATE) --user NAME
int runRate(const QStringList &given, CliIo &io)
{
    static const char *const usage = "velmor: velmor invoice rate ID (--cdn RATE | --zar RATE) --user NAME";
    QStringList args = given;
    QString user, error;
    if (!takeUserOption(args, &user, io))
        return 2;
    QString idText, rate;
    std::optional<Currency> currency;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if ((a == QLatin1String("--cdn") || a == QLatin1String("--zar")) && !currency && i + 1 < args.size()) {
            currency = a == QLatin1String("--cdn") ? Currency::CDN : Currency::ZAR;
            rate = args.at(++i);
        } else if (idText.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            idText = a;
        } else {
            io.err << "velmor: unexpected argument " << a << Qt::endl << usage << Qt::endl;
            return 2;
        }
    }
    if (idText.isEmpty() || !currency) {
        io.err << usage << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!numberArg(idText, "an invoice number", id, io))
        return 2;
    CliSession s;
    if (!openCliContext(s.ctx, io) || !loginForCommand(s.ctx, user, io))
        return 2;
    const RateRecorded r = recordSaleRate(s.ctx, id, *currency, rate);
    if (!r.ok) {
        io.err << "velmor: " << QString(r.error).replace(QStringLiteral("\n\n"), QStringLiteral(" ")) << Qt::endl;
        return 1;
    }
    io.out << "Invoice# " << id << ": the " << currencyWord(*currency).toUpper() << " rate " << rate.trimmed()
           << " recorded on " << r.lines << (r.lines == 1 ? " line" : " lines") << Qt::endl;
    return 0;
}

int runList(const QStringList &args, CliIo &io)
{
    InvoiceFilter f;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--open")) {
            f.open = true;
        } else if (a == QLatin1String("--closed")) {
            f.closed = true;
        } else if (a == QLatin1String("--customer") && i + 1 < args.size()) {
            if (!numberArg(args.at(++i), "a customer number", f.customerId, io))
                return 2;
        } else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    CliSession s;
    if (!openCliContext(s.ctx, io))
        return 2;
    QList<QStringList> rows;
    try {
        for (const InvoiceListRow &r : findInvoices(s.ctx.db(), f))
            rows << QStringList{QString::number(r.id), r.created, r.closed, r.status, r.customer};
    } catch (const db::DbError &e) {
        io.err << "velmor: the invoices could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    table(io.out, findHeadings(), rows);
    io.out.flush();
    return 0;
}

} // namespace

CliRegistry invoiceCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("invoice"), QStringLiteral("show")}, QStringLiteral("ID"),
              QStringLiteral("an invoice's lines and totals"), runShow});
    r.append({{QStringLiteral("invoice"), QStringLiteral("print")},
              QStringLiteral("ID (--pdf FILE | --printer NAME) [--rap] [--rap-discount] [--currency us|cdn|zar] "
                             "[--user NAME]"),
              QStringLiteral("print an invoice (an open one is closed: --user NAME with the invoice right)"),
              runPrint});
    r.append({{QStringLiteral("invoice"), QStringLiteral("rate")},
              QStringLiteral("ID (--cdn RATE | --zar RATE) --user NAME"),
              QStringLiteral("record the rate of the sale on an open invoice's lines sold while it was not known"),
              runRate});
    r.append({{QStringLiteral("invoice"), QStringLiteral("list")}, QStringLiteral("[--open|--closed] [--customer ID]"),
              QStringLiteral("the invoices, newest first"), runList});
    return r;
}

} // namespace velmor
