#include "shell/CliDispatch.h"

#include "customers/CustomerCommands.h"
#include "invoices/InvoiceCommands.h"
#include "memos/MemoCommands.h"
#include "online/OnlineCommands.h"
#include "parcels/ParcelCommands.h"
#include "payments/PaymentCommands.h"
#include "pricing/PricingCli.h"
#include "printing/PrintingCommands.h"
#include "stones/StockCountCommands.h"
#include "stones/StoneCommands.h"
#include "stones/StonePrintout.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "shell/BackupCommands.h"
#include "shell/StartupSteps.h"

namespace velmor {

namespace {

CliRegistry buildRegistry()
{
    CliRegistry r;
    r << dbCommands() << backupCommands() << coreCommands() << pricingCommands() << stoneCommands() << customerCommands();
    r << onlineCommands();
    r << invoiceCommands();
    r << parcelCommands();
    r << memoCommands();
    r << printingCommands({stones::stonePaper, stones::stoneLabel});
    r << stockCountCommands();
    r << paymentCommands();
    return r;
}

} // namespace

bool cliNeedsGui(const QStringList &args)
{
    // Printing draws text: fonts need the GUI application.
    return (!args.isEmpty()
            && (args.first() == QLatin1String("print")
                || (args.size() > 1 && args.at(0) == QLatin1String("invoice") && args.at(1) == QLatin1String("print"))
                || (args.first() == QLatin1String("memo") && args.value(1) == QLatin1String("print"))))
           || parcelCommandNeedsGui(args) || stockCountCommandNeedsGui(args)
           || paymentCommandNeedsGui(args);
}

QString cliHelp()
{
    QString h = QStringLiteral("Usage: velmor [SUBCOMMAND ...]\n"
                               "Without a subcommand Velmor opens its window.\n"
                               "velmor --version prints the version, velmor --help this list.\n\nSubcommands:\n");
    for (const CliCommand &c : buildRegistry()) {
        QString line = QStringLiteral("  ") + c.words.join(QLatin1Char(' '));
        if (!c.arguments.isEmpty())
            line += QLatin1Char(' ') + c.arguments;
        h += line.leftJustified(40) + QLatin1Char(' ') + c.help + QLatin1Char('\n');
    }
    h += QStringLiteral("\nThe workstation folder is $VELMOR_HOME (default ~/.velmor); its database.ini "
                        "chooses the database.\n");
    return h;
}

QString cliVersion()
{
    return QStringLiteral("Velmor %1 (schema version %2)").arg(programVersion()).arg(db::schema::kSchemaVersion);
}

int runCli(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.isEmpty())
        return -1;
    if (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")
        || args.first() == QLatin1String("help")) {
        out << cliHelp();
        return 0;
    }
    if (args.first() == QLatin1String("--version")) {
        out << cliVersion() << '\n';
        return 0;
    }
    const CliRegistry registry = buildRegistry();
    const CliCommand *best = nullptr;
    for (const CliCommand &c : registry) {
        if (args.size() < c.words.size())
            continue;
        bool match = true;
        for (int i = 0; i < c.words.size(); ++i)
            if (args.at(i) != c.words.at(i))
                match = false;
        if (match && (!best || c.words.size() > best->words.size()))
            best = &c;
    }
    if (!best) {
        if (args.first().startsWith(QLatin1Char('-')) && args.first() != QLatin1String("--help")) {
            // Options that Qt itself takes (-platform and the like) open the window.
            return -1;
        }
        err << "velmor: unknown command \"" << args.join(QLatin1Char(' ')) << "\"\n\n" << cliHelp();
        return 2;
    }
    CliIo io{out, err};
    int rc = 1;
    try {
        rc = best->run(args.mid(best->words.size()), io);
    } catch (const db::DbError &e) {
        // A command that let a refusal through ends with it, not with an abort.
        err << "velmor: the database refused the work: " << e.message() << "\n";
        rc = 1;
    }
    out.flush();
    err.flush();
    return rc;
}

} // namespace velmor
