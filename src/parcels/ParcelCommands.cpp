#include "parcels/ParcelCommands.h"

#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "core/Users.h"
#include "db/Sql.h"
#include "parcels/ParcelMemoPrint.h"

#include <QLocale>

namespace velmor {

namespace {

class CliPrompt : public SilentPrompt {
public:
    explicit CliPrompt(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}
    void inform(const QString &text, const QString &, Icon icon) override
    {
        QTextStream &s = icon == Icon::Information || icon == Icon::None ? m_out : m_err;
        s << QString(text).replace(QStringLiteral("\n\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '))
          << Qt::endl;
    }

private:
    QTextStream &m_out, &m_err;
};

int runShow(const QStringList &args, CliIo &io)
{
    if (args.size() != 1 || args.first().trimmed().isEmpty()) {
        io.err << "velmor: give the parcel's SKU or ID" << Qt::endl;
        return 2;
    }
    Workstation ws;
    CliPrompt prompt(io.out, io.err);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, false))
        return 2;
    try {
        const auto id = parcels::findParcel(ctx.db(), args.first());
        if (!id) {
            io.err << "velmor: there is no parcel \"" << args.first() << "\"" << Qt::endl;
            return 1;
        }
        const auto p = parcels::loadParcel(ctx.db(), *id);
        const parcels::ParcelFigures f = parcels::parcelFigures(ctx.db(), *id);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        io.out << "Parcel " << p->sku << " (ID " << p->id << ")" << Qt::endl;
        io.out << "  Shape:         " << p->shape << Qt::endl;
        io.out << "  Weight range:  " << p->caratLow.fixed(2) << " - " << p->caratHigh.fixed(2) << " ct" << Qt::endl;
        io.out << "  On hand:       " << p->carat.fixed(5) << " ct" << Qt::endl;
        io.out << "  On memo:       " << f.onMemo.fixed(5) << " ct" << Qt::endl;
        io.out << "  Last cost:     "
               << (f.hasLastCost ? f.lastCost.grouped2() + QStringLiteral(" US$/ct (") + f.lastVendor + QLatin1Char(')')
                                 : QStringLiteral("-"))
               << Qt::endl;
        io.out << "  Average cost:  " << (f.hasAverageCost ? f.averageCost.grouped2() + QStringLiteral(" US$/ct") : QStringLiteral("-"))
               << Qt::endl;
        io.out << "  Selling price: " << p->sellPerCarat.grouped2() << " US$/ct" << Qt::endl;
        io.out << "Journal:" << Qt::endl;
        const auto journal = parcels::parcelJournal(ctx.db(), *id);
        if (journal.isEmpty())
            io.out << "  (none)" << Qt::endl;
        for (const parcels::JournalRow &j : journal)
            io.out << "  " << us.toString(j.date, QStringLiteral("MMM dd, yyyy  HH:mm")) << "  "
                   << j.action.leftJustified(8) << j.carat.fixed(5).rightJustified(12) << " ct  "
                   << (j.hasCost ? j.costUS.grouped2() + QStringLiteral(" US$/ct") : QString()).leftJustified(16)
                   << j.party << (j.user.isEmpty() ? QString() : QStringLiteral("  (") + j.user + QLatin1Char(')'))
                   << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the parcel could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

// The print closes the memo: --user names who does it, with the memo right
// (asked for every print, as the parcel memo screen asks it).
int runMemoPrint(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    QString idText;
    printing::TargetArgs target;
    bool cdn = false, zar = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (target.take(args, i))
            continue;
        else if (a == QLatin1String("--cdn"))
            cdn = true;
        else if (a == QLatin1String("--zar"))
            zar = true;
        else if (idText.isEmpty() && !a.startsWith(QLatin1Char('-')))
            idText = a;
        else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    if (idText.isEmpty() || !target.complete()) {
        io.err << "velmor: give the parcel memo number and either --pdf FILE or --printer NAME" << Qt::endl;
        return 2;
    }
    bool ok = false;
    const qint64 id = QString(idText).remove(QStringLiteral("#P")).toLongLong(&ok);
    if (!ok || id <= 0) {
        io.err << "velmor: \"" << idText << "\" is not a parcel memo number" << Qt::endl;
        return 2;
    }
    Workstation ws;
    CliPrompt prompt(io.out, io.err);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    if (const int refused = loginWithRight(ctx, user, rights::Memo, io))
        return refused;
    parcels::PrintedClose closing = parcels::PrintedClose::Gone;
    const printing::PrintOutcome out = parcels::printParcelMemo(
        ctx, id, target.target(), cdn, zar, &closing);
    if (!out.ok)
        return 1;
    // The prompt has said why a printed memo stayed open.
    if (!out.error.isEmpty()) {
        io.out << "Parcel-Memo #P" << id << " printed to " << out.where << " but left open" << Qt::endl;
        return 1;
    }
    io.out << "Parcel-Memo #P" << id << " printed to " << out.where
           << (closing == parcels::PrintedClose::Closed      ? " and closed"
               : closing == parcels::PrintedClose::WasClosed ? " (it was closed already)"
                                                              : "")
           << Qt::endl;
    return 0;
}

} // namespace

bool parcelCommandNeedsGui(const QStringList &args)
{
    return args.size() >= 3 && args.at(0) == QLatin1String("parcel") && args.at(1) == QLatin1String("memo")
           && args.at(2) == QLatin1String("print");
}

CliRegistry parcelCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("parcel"), QStringLiteral("show")}, QStringLiteral("SKU|ID"),
              QStringLiteral("a parcel's carats on hand and on memo, last and average cost, journal"), runShow});
    r.append({{QStringLiteral("parcel"), QStringLiteral("memo"), QStringLiteral("print")},
              QStringLiteral("ID [--cdn] [--zar] (--pdf FILE | --printer NAME) --user NAME"),
              QStringLiteral("print a parcel memo (and close it)"), runMemoPrint});
    return r;
}

} // namespace velmor
