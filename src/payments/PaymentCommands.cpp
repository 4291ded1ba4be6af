#include "payments/PaymentCommands.h"

#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "db/Sql.h"
#include "payments/Ledger.h"
#include "payments/Payments.h"
#include "printing/PrintJob.h"

namespace velmor {

namespace {

using namespace payments;

struct Session {
    Workstation ws;
    AppContext ctx;
    Session() : ctx(ws, ws.connectionSettings()) {}
};

// The arguments once --user and the options asked for are taken out.
struct Args {
    QStringList rest;
    QString user;
    QMap<QString, QString> values; // option -> value
    QStringList flags;             // flag options given
    QStringList lines;             // --line LINE=US (repeatable)
    bool ok = true;
};

Args parse(const QStringList &args, const QStringList &valueOptions, const QStringList &flagOptions, CliIo &io)
{
    Args a;
    a.rest = args;
    if (!takeUserOption(a.rest, &a.user, io)) {
        a.ok = false;
        return a;
    }
    QStringList left;
    for (int i = 0; i < a.rest.size(); ++i) {
        const QString &w = a.rest.at(i);
        if (valueOptions.contains(w)) {
            if (i + 1 >= a.rest.size()) {
                io.err << "velmor: " << w << " needs a value" << Qt::endl;
                a.ok = false;
                return a;
            }
            if (w == QLatin1String("--line"))
                a.lines << a.rest.at(i + 1);
            else
                a.values.insert(w, a.rest.at(i + 1));
            ++i;
        } else if (flagOptions.contains(w)) {
            a.flags << w;
        } else if (w.startsWith(QLatin1String("--"))) {
            io.err << "velmor: unknown option " << w << Qt::endl;
            a.ok = false;
            return a;
        } else {
            left << w;
        }
    }
    a.rest = left;
    return a;
}

bool idOf(const QString &text, const QString &what, qint64 *id, CliIo &io)
{
    bool ok = false;
    *id = text.trimmed().toLongLong(&ok);
    if (!ok || *id <= 0) {
        io.err << "velmor: \"" << text << "\" is not " << what << Qt::endl;
        return false;
    }
    return true;
}

bool dateOf(const QString &text, const QString &option, QDate *date, CliIo &io)
{
    if (text.isEmpty())
        return true;
    *date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!date->isValid()) {
        io.err << "velmor: " << option << " \"" << text << "\" is not a date (YYYY-MM-DD)" << Qt::endl;
        return false;
    }
    return true;
}

void printRows(AppContext &ctx, const Outcome &o, const QString &verb, bool showBalance, CliIo &io)
{
    for (const WrittenRow &w : o.rows) {
        io.out << "Payment " << w.paymentId << " " << verb << ": " << w.sku << " US$ " << w.us.grouped2() << " ("
               << ctx.settings.currencyName() << " " << w.local.grouped2() << ")";
        if (showBalance)
            io.out << ", balance " << amountText(ctx, w.balance, w.local_);
        if (w.paidOff)
            io.out << ", paid off";
        io.out << Qt::endl;
    }
}

int report(AppContext &ctx, const Outcome &o, const QString &verb, bool showBalance, CliIo &io)
{
    if (o.ok()) {
        printRows(ctx, o, verb, showBalance, io);
        return 0;
    }
    io.err << "velmor: " << o.message << Qt::endl;
    if (o.state == Outcome::Overpayment)
        io.err << "velmor: run the command again with --overpay to take the overpayment" << Qt::endl;
    return 1;
}

const QStringList kEntryOptions = {QStringLiteral("--stone"), QStringLiteral("--invoice"), QStringLiteral("--amount"),
                                   QStringLiteral("--local"), QStringLiteral("--date"), QStringLiteral("--reference"),
                                   QStringLiteral("--line")};

bool entryInput(const Args &a, PaymentInput *in, CliIo &io)
{
    in->us = a.values.value(QStringLiteral("--amount"));
    in->local = a.values.value(QStringLiteral("--local"));
    in->reference = a.values.value(QStringLiteral("--reference"));
    in->confirmOverpayment = a.flags.contains(QStringLiteral("--overpay"));
    if (!a.rest.isEmpty()) {
        io.err << "velmor: unexpected argument " << a.rest.first() << Qt::endl;
        return false;
    }
    if (in->us.isEmpty() && in->local.isEmpty()) {
        io.err << "velmor: give the amount with --amount US (and/or --local AMOUNT)" << Qt::endl;
        return false;
    }
    return dateOf(a.values.value(QStringLiteral("--date")), QStringLiteral("--date"), &in->date, io);
}

int runReceive(const QStringList &args, CliIo &io)
{
    Args a = parse(args, kEntryOptions, {QStringLiteral("--overpay")}, io);
    if (!a.ok)
        return 2;
    PaymentInput in;
    if (!entryInput(a, &in, io))
        return 2;
    const bool byStone = a.values.contains(QStringLiteral("--stone"));
    const bool byInvoice = a.values.contains(QStringLiteral("--invoice"));
    if (byStone == byInvoice) {
        io.err << "velmor: give either --stone ID or --invoice ID" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!idOf(a.values.value(byStone ? QStringLiteral("--stone") : QStringLiteral("--invoice")),
              byStone ? QStringLiteral("a stone number") : QStringLiteral("an invoice number"), &id, io))
        return 2;
    QList<LineShare> shares;
    if (!a.lines.isEmpty() && byStone) {
        io.err << "velmor: --line is for a payment of an invoice" << Qt::endl;
        return 2;
    }
    for (const QString &l : a.lines) {
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        qint64 line = 0;
        if (eq <= 0 || !idOf(l.left(eq), QStringLiteral("an invoice line number"), &line, io)) {
            if (eq <= 0)
                io.err << "velmor: --line takes LINE=US, not \"" << l << "\"" << Qt::endl;
            return 2;
        }
        shares << LineShare{line, l.mid(eq + 1)};
    }
    Session s;
    if (!openCliContext(s.ctx, io, true) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    const Outcome o = byStone ? receiveForStone(s.ctx, id, in) : receiveForInvoice(s.ctx, id, in, shares);
    return report(s.ctx, o, QStringLiteral("received"), true, io);
}

int runMake(const QStringList &args, CliIo &io)
{
    Args a = parse(args, kEntryOptions, {QStringLiteral("--overpay")}, io);
    if (!a.ok)
        return 2;
    PaymentInput in;
    if (!entryInput(a, &in, io))
        return 2;
    if (a.values.contains(QStringLiteral("--invoice")) || !a.lines.isEmpty()) {
        io.err << "velmor: a payment made is for one stone: give --stone ID" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!a.values.contains(QStringLiteral("--stone"))) {
        io.err << "velmor: give the stone with --stone ID" << Qt::endl;
        return 2;
    }
    if (!idOf(a.values.value(QStringLiteral("--stone")), QStringLiteral("a stone number"), &id, io))
        return 2;
    Session s;
    if (!openCliContext(s.ctx, io, true) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    return report(s.ctx, makeForStone(s.ctx, id, in), QStringLiteral("made"), s.ctx.user.ViewCost, io);
}

int runReverse(const QStringList &args, CliIo &io)
{
    Args a = parse(args, {QStringLiteral("--date")}, {QStringLiteral("--made")}, io);
    if (!a.ok)
        return 2;
    if (a.rest.size() != 1) {
        io.err << "velmor: give the number of the payment to reverse" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    QDate date;
    if (!idOf(a.rest.first(), QStringLiteral("a payment number"), &id, io)
        || !dateOf(a.values.value(QStringLiteral("--date")), QStringLiteral("--date"), &date, io))
        return 2;
    const bool made = a.flags.contains(QStringLiteral("--made"));
    Session s;
    if (!openCliContext(s.ctx, io, true) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    const Outcome o = reversePayment(s.ctx, made ? Side::Made : Side::Received, id, date);
    return report(s.ctx, o, QStringLiteral("reverses payment %1").arg(id), !made || s.ctx.user.ViewCost, io);
}

int runList(const QStringList &args, CliIo &io)
{
    Args a = parse(args, {QStringLiteral("--customer"), QStringLiteral("--stone"), QStringLiteral("--invoice")},
                   {QStringLiteral("--made")}, io);
    if (!a.ok)
        return 2;
    if (!a.rest.isEmpty()) {
        io.err << "velmor: unexpected argument " << a.rest.first() << Qt::endl;
        return 2;
    }
    PaymentFilter f;
    if (a.values.contains(QStringLiteral("--customer"))
        && !idOf(a.values.value(QStringLiteral("--customer")), QStringLiteral("a customer number"), &f.customerId, io))
        return 2;
    if (a.values.contains(QStringLiteral("--stone"))
        && !idOf(a.values.value(QStringLiteral("--stone")), QStringLiteral("a stone number"), &f.stoneId, io))
        return 2;
    if (a.values.contains(QStringLiteral("--invoice"))
        && !idOf(a.values.value(QStringLiteral("--invoice")), QStringLiteral("an invoice number"), &f.invoiceId, io))
        return 2;
    const Side side = a.flags.contains(QStringLiteral("--made")) ? Side::Made : Side::Received;
    if (f.invoiceId && side == Side::Made) {
        io.err << "velmor: --invoice is for payments received" << Qt::endl;
        return 2;
    }
    Session s;
    if (!openCliContext(s.ctx, io, true))
        return 2;
    try {
        const QList<PaymentRow> rows = listPayments(s.ctx.db(), side, f);
        const QString local = s.ctx.settings.currencyName();
        io.out << "ID\tDate\tStone\tSKU\t" << (side == Side::Received ? "Customer" : "Supplier") << "\tUS$\t" << local
               << "\tInvoice\tReference\tNote" << Qt::endl;
        for (const PaymentRow &r : rows) {
            QString note;
            if (r.reversesId)
                note = QStringLiteral("reverses %1").arg(r.reversesId);
            else if (r.reversedBy)
                note = QStringLiteral("reversed by %1").arg(r.reversedBy);
            if (r.overpaid)
                note += (note.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("overpayment");
            io.out << r.id << '\t' << r.date.toString(Qt::ISODate) << '\t' << r.stoneId << '\t' << r.sku << '\t'
                   << r.partyName << '\t' << r.us.grouped2() << '\t' << r.local.grouped2() << '\t'
                   << (r.invoiceId ? QString::number(r.invoiceId) : QString()) << '\t' << r.reference << '\t' << note
                   << Qt::endl;
        }
        io.out << rows.size() << (rows.size() == 1 ? " payment" : " payments") << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the payments could not be read: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

int runStatement(const QStringList &args, CliIo &io)
{
    QStringList rest;
    QString user, error;
    rest = args;
    if (!takeUserOption(rest, &user, io))
        return 2;
    printing::TargetArgs target;
    QString from, to;
    QStringList positional;
    for (int i = 0; i < rest.size(); ++i) {
        if (target.take(rest, i))
            continue;
        const QString &w = rest.at(i);
        if (w == QLatin1String("--from") || w == QLatin1String("--to")) {
            if (i + 1 >= rest.size()) {
                io.err << "velmor: " << w << " needs a value" << Qt::endl;
                return 2;
            }
            (w == QLatin1String("--from") ? from : to) = rest.at(++i);
        } else if (w.startsWith(QLatin1String("--"))) {
            io.err << "velmor: unknown option " << w << Qt::endl;
            return 2;
        } else {
            positional << w;
        }
    }
    qint64 customer = 0;
    QDate fromDate, toDate;
    if (positional.size() != 1) {
        io.err << "velmor: give the customer's number" << Qt::endl;
        return 2;
    }
    if (!idOf(positional.first(), QStringLiteral("a customer number"), &customer, io)
        || !dateOf(from, QStringLiteral("--from"), &fromDate, io) || !dateOf(to, QStringLiteral("--to"), &toDate, io))
        return 2;
    if (!target.complete()) {
        io.err << "velmor: give --pdf FILE or --printer NAME" << Qt::endl;
        return 2;
    }
    if (fromDate.isValid() && toDate.isValid() && fromDate > toDate) {
        io.err << "velmor: --from is after --to" << Qt::endl;
        return 2;
    }
    Session s;
    if (!openCliContext(s.ctx, io, true) || !loginForCommand(s.ctx, user, io))
        return 2;
    if (const QString why = viewRefusal(s.ctx, false); !why.isEmpty()) {
        io.err << "velmor: " << why << Qt::endl;
        return 1;
    }
    try {
        const std::optional<Statement> st = statementOf(s.ctx, customer, fromDate, toDate);
        if (!st) {
            io.err << "velmor: there is no customer " << customer << Qt::endl;
            return 1;
        }
        const printing::PrintOutcome p = printStatement(s.ctx, *st, target.target());
        if (!p.ok) {
            io.err << "velmor: " << p.error << Qt::endl;
            return 1;
        }
        for (int cur = 0; cur < 2; ++cur)
            if (st->used[cur] || cur == 0)
                io.out << "Balance due " << amountText(s.ctx, st->closing[cur], cur == 1) << Qt::endl;
        io.out << "Statement of " << st->customer << " written to " << p.where << " (" << p.pages
               << (p.pages == 1 ? " page" : " pages") << ")" << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the statement could not be read: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

int runBalances(const QStringList &args, CliIo &io, bool payablesWanted)
{
    Args a = parse(args, {QStringLiteral("--as-of"), QStringLiteral("--csv"), QStringLiteral("--pdf"),
                          QStringLiteral("--printer")},
                   {}, io);
    if (!a.ok)
        return 2;
    if (!a.rest.isEmpty()) {
        io.err << "velmor: unexpected argument " << a.rest.first() << Qt::endl;
        return 2;
    }
    const bool toPdf = a.values.contains(QStringLiteral("--pdf")), toPrinter = a.values.contains(QStringLiteral("--printer"));
    if (toPdf && toPrinter) {
        io.err << "velmor: give --pdf FILE or --printer NAME, not both" << Qt::endl;
        return 2;
    }
    if ((toPdf && a.values.value(QStringLiteral("--pdf")).isEmpty())
        || (toPrinter && a.values.value(QStringLiteral("--printer")).isEmpty())) {
        io.err << "velmor: " << (toPdf ? "--pdf" : "--printer") << " needs a value" << Qt::endl;
        return 2;
    }
    QDate asOf;
    if (!dateOf(a.values.value(QStringLiteral("--as-of")), QStringLiteral("--as-of"), &asOf, io))
        return 2;
    Session s;
    if (!openCliContext(s.ctx, io, true) || !loginForCommand(s.ctx, a.user, io))
        return 2;
    if (const QString why = viewRefusal(s.ctx, payablesWanted); !why.isEmpty()) {
        io.err << "velmor: " << why << Qt::endl;
        return 1;
    }
    try {
        const Balances b = payablesWanted ? payables(s.ctx, asOf) : receivables(s.ctx, asOf);
        for (const QString &l : balancesText(b))
            io.out << l << Qt::endl;
        const QString csv = a.values.value(QStringLiteral("--csv"));
        if (!csv.isEmpty()) {
            QString why;
            if (!writeBalancesCsv(b, csv, &why)) {
                io.err << "velmor: the CSV file " << csv << " could not be written: " << why << Qt::endl;
                return 1;
            }
            io.out << "CSV written to " << csv << Qt::endl;
        }
        if (toPdf || toPrinter) {
            const printing::PrintOutcome p = printBalances(
                s.ctx, b,
                toPdf ? printing::PrintTarget::pdf(a.values.value(QStringLiteral("--pdf")))
                      : printing::PrintTarget::printer(a.values.value(QStringLiteral("--printer"))));
            if (!p.ok) {
                io.err << "velmor: " << p.error << Qt::endl;
                return 1;
            }
            io.out << (payablesWanted ? "Payables" : "Receivables") << " written to " << p.where << " (" << p.pages
                   << (p.pages == 1 ? " page" : " pages") << ")" << Qt::endl;
        }
    } catch (const db::DbError &e) {
        io.err << "velmor: the balances could not be read: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

bool paymentCommandNeedsGui(const QStringList &args)
{
    if (args.isEmpty())
        return false;
    // Printing draws text: the statement, and the balances when printed.
    if (args.first() == QLatin1String("statement"))
        return true;
    return (args.first() == QLatin1String("receivables") || args.first() == QLatin1String("payables"))
           && (args.contains(QStringLiteral("--pdf")) || args.contains(QStringLiteral("--printer")));
}

CliRegistry paymentCommands()
{
    CliRegistry r;
    const QString user = QStringLiteral(" [--user NAME]");
    const QString entry = QStringLiteral("--amount US [--local AMOUNT] [--date YYYY-MM-DD] [--reference TEXT] [--overpay]");
    r.append({{QStringLiteral("payment"), QStringLiteral("receive")},
              QStringLiteral("--stone ID | --invoice ID [--line LINE=US ...] ") + entry + user,
              QStringLiteral("record a payment received for a stone, or for an invoice spread over its lines"),
              runReceive});
    r.append({{QStringLiteral("payment"), QStringLiteral("make")}, QStringLiteral("--stone ID ") + entry + user,
              QStringLiteral("record a payment made to the supplier or consignor of a stone"), runMake});
    r.append({{QStringLiteral("payment"), QStringLiteral("reverse")},
              QStringLiteral("PAYMENT_ID [--made] [--date YYYY-MM-DD]") + user,
              QStringLiteral("reverse a payment by a reversing row (nothing is deleted)"), runReverse});
    r.append({{QStringLiteral("payment"), QStringLiteral("list")},
              QStringLiteral("[--customer ID | --stone ID | --invoice ID] [--made]"),
              QStringLiteral("the payments received (or made) with reversals and overpayments"), runList});
    r.append({{QStringLiteral("statement")},
              QStringLiteral("CUSTOMER_ID [--from YYYY-MM-DD --to YYYY-MM-DD] (--pdf FILE | --printer NAME)") + user,
              QStringLiteral("a customer's statement: invoices, payments and reversals, the balance aged"),
              runStatement});
    r.append({{QStringLiteral("receivables")},
              QStringLiteral("[--as-of YYYY-MM-DD] [--csv FILE] [--pdf FILE | --printer NAME]") + user,
              QStringLiteral("every customer with a balance, aged, totals per currency"),
              [](const QStringList &a, CliIo &io) { return runBalances(a, io, false); }});
    r.append({{QStringLiteral("payables")},
              QStringLiteral("[--as-of YYYY-MM-DD] [--csv FILE] [--pdf FILE | --printer NAME]") + user,
              QStringLiteral("every supplier and consignor the dealer owes, aged, totals per currency"),
              [](const QStringList &a, CliIo &io) { return runBalances(a, io, true); }});
    return r;
}

} // namespace velmor
