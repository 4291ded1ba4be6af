// velmor grid import [FOLDER] --user NAME | grid price SHAPE CARAT COLOUR CLARITY | rates fetch
#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "core/Users.h"
#include "pricing/PricingCli.h"
#include "core/Configuration.h"
#include "core/Figures.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "pricing/GridImport.h"
#include "pricing/Grades.h"
#include "pricing/Rates.h"
#include "pricing/Shapes.h"

#include <QDir>

namespace velmor {

namespace {

class PrintingPrompt : public SilentPrompt {
public:
    explicit PrintingPrompt(QTextStream &out) : m_out(out) {}
    void notice(const QString &text, int) override { m_out << text << "\n"; }

private:
    QTextStream &m_out;
};

// The new grid re-prices every stone: --user names who does it, with the
// right to edit stones (as the stone screen's import asks).
int gridImport(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    if (args.size() > 1 || (args.size() == 1 && args.first().startsWith(QLatin1String("--")))) {
        io.err << "usage: velmor grid import [FOLDER] --user NAME\n";
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 1;
    if (const int refused = loginWithRight(ctx, user, rights::Edit, io))
        return refused;
    const QString folder = args.isEmpty() ? ws.folder() : QDir(args.first()).absolutePath();
    const pricing::GridImportRun run = pricing::importGridAndReprice(ctx, folder);
    if (!run.ok() && run.stage != pricing::GridImportRun::Reading) {
        io.err << "velmor: " << run.failureText() << "\n"
               << "Nothing was changed: the price grid in use and the stones' prices are as they were.\n";
        return 1;
    }
    if (!run.ok()) {
        io.err << "velmor: the price grid was not imported: " << QDir(folder).filePath(run.grid.fileName)
               << (run.grid.line ? QStringLiteral(" ") : QStringLiteral(": ")) << run.grid.detail << "\n"
               << "The price grid in use is kept.\n";
        return 1;
    }
    for (pricing::Grid g : pricing::kAllGrids)
        io.out << pricing::gridFileName(g) << ": " << run.grid.rows[int(g)] << " rows imported\n";
    io.out << "Imported " << run.grid.totalRows() << " grid rows from " << folder << "\n";
    for (const pricing::PhaseReport &p : run.repricing.phases)
        io.out << p.text << ": " << p.selected << " stones re-priced (" << p.priced << " with a list price, "
               << p.cleared << " without)\n";
    io.out << "Stones updated: " << run.repricing.stonesWritten << "\n";
    return 0;
}

QString gradeText(const QString &arg, bool colour)
{
    bool isNumber = false;
    arg.toInt(&isNumber);
    if (!isNumber)
        return arg;
    QString out = arg;
    if (colour)
        pricing::ConvertColourCodeModule(arg, out);
    else
        pricing::ConvertClarityCodeModule(arg, out);
    return out;
}

int gridPrice(const QStringList &args, CliIo &io)
{
    if (args.size() != 4) {
        io.err << "usage: velmor grid price SHAPE CARAT COLOUR CLARITY\n";
        return 2;
    }
    // The weight as a typed weight is read: "nan", "inf", "1e3" or "0,5"
    // are no weight.
    const figures::Reading weight =
        figures::read(args[1], {QStringLiteral("weight in carats"), figures::Column{19, 5}, figures::Need::NotNegative});
    if (!weight.ok() || weight.empty) {
        io.err << "velmor: "
               << (weight.empty ? QStringLiteral("give the weight in carats") : weight.error.section(QLatin1Char('\n'), 0, 0))
               << "\n";
        return 2;
    }
    const double carat = weight.toDouble();
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io, true))
        return 1;
    PrintingPrompt prompt(io.err);
    const QString colour = gradeText(args[2], true), clarity = gradeText(args[3], false);
    pricing::Resolution r;
    try {
        r = pricing::resolveListPrice(pricing::SqlPriceSource(ctx.db()), ctx.settings, args[0], carat, colour, clarity,
                                      &prompt);
    } catch (const db::DbError &e) {
        io.err << "velmor: the price grid could not be read: " << e.message() << "\n";
        return 1;
    }
    if (r.price == 0) {
        io.err << "No list price for " << args[0] << " " << args[1] << " ct " << colour << " " << clarity << "\n";
        return 1;
    }
    io.out << QString::number(r.price, 'f', 2) << "\n";
    io.err << "list price per carat from the " << pricing::gridName(r.grid).toLower() << " grid (rule " << r.step
           << ")\n";
    return 0;
}

int ratesFetch(const QStringList &args, CliIo &io)
{
    if (!args.isEmpty()) {
        io.err << "usage: velmor rates fetch\n";
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    const pricing::RatesFetch r = pricing::fetchRates(ctx);
    if (r.cad)
        io.out << pricing::cdnLabelText(*r.cad) << "\n";
    if (r.zar)
        io.out << pricing::zarLabelText(*r.zar) << "\n";
    if (r.gold)
        io.out << pricing::goldLabelText(*r.gold) << "\n";
    if (!r.complete()) {
        io.err << "velmor: the " << r.failedStep << " failed: " << r.error << "\n";
        return 1;
    }
    return 0;
}

} // namespace

CliRegistry pricingCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("grid"), QStringLiteral("import")}, QStringLiteral("[FOLDER] --user NAME"),
              QStringLiteral("import the four grid files and re-price every stone"), gridImport});
    r.append({{QStringLiteral("grid"), QStringLiteral("price")}, QStringLiteral("SHAPE CARAT COLOUR CLARITY"),
              QStringLiteral("the list price per carat of one stone"), gridPrice});
    r.append({{QStringLiteral("rates"), QStringLiteral("fetch")}, QString(),
              QStringLiteral("fetch the exchange rates and the gold price"), ratesFetch});
    return r;
}

} // namespace velmor
