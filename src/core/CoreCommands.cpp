// `velmor user list` and `velmor config show`.
#include "core/AppContext.h"
#include "core/Cli.h"
#include "core/Configuration.h"
#include "core/SettingsFields.h"
#include "core/Users.h"
#include "db/Connection.h"
#include "db/Sql.h"

namespace velmor {

namespace {

int runUserList(const QStringList &, CliIo &io)
{
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        // A new database has no user yet: make the first one, as the stone
        // screen does when it opens.
        if (db::scalar(ctx.db(), QStringLiteral("SELECT COUNT(*) FROM `user`")).toLongLong() == 0) {
            ensureFirstUser(ctx);
            io.err << "velmor: there was no user; added the first user \"user\" with the default password "
                      "(change it after the first login)."
                   << Qt::endl;
        }
        const QList<UserRecord> users = listUsers(ctx.db());
        io.out << QStringLiteral("%1  %2  %3  %4\n")
                      .arg(QStringLiteral("ID"), 5)
                      .arg(QStringLiteral("User name"), -20)
                      .arg(QStringLiteral("Name"), -30)
                      .arg(QStringLiteral("Administrator"));
        for (const UserRecord &u : users) {
            const QString name = (u.FirstName + QLatin1Char(' ') + u.LastName).trimmed();
            io.out << QStringLiteral("%1  %2  %3  %4\n")
                          .arg(u.ID, 5)
                          .arg(u.UserName, -20)
                          .arg(name, -30)
                          .arg(u.right(QStringLiteral("Administrator")) ? QStringLiteral("yes") : QStringLiteral("no"));
        }
        io.out.flush();
    } catch (const db::DbError &e) {
        io.err << "velmor: the users could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

int runConfigShow(const QStringList &, CliIo &io)
{
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        GetConfigurationModule(ctx);
        GetPrintersModule(ctx);
    } catch (const db::DbError &e) {
        io.err << "velmor: the settings could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    const Settings &s = ctx.settings;
    for (const SettingsField &f : settingsFields()) {
        // A password is told as set or not, never shown: anyone may run this.
        if (f.column.compare(QLatin1String("RapPassword"), Qt::CaseInsensitive) == 0)
            io.out << f.column << " = " << (f.display(s).isEmpty() ? "(not set)" : "(set)") << "\n";
        else
            io.out << f.column << " = " << f.display(s) << "\n";
    }
    for (int i = 0; i < 20; ++i)
        io.out << "Colour" << (i + 1) << " = " << s.Colour[i] << "\n";
    auto line = [&](const char *name, const QString &value) { io.out << name << " = " << value << "\n"; };
    line("localCurrencyName", s.localCurrencyName);
    line("scanningTable", s.scanningTable);
    line("sharedFolder", s.sharedFolder);
    line("logoPath", s.logoPath);
    line("labelPrinterPort", s.labelPrinterPort);
    line("labelLeftOffset", QString::number(s.labelLeftOffset));
    line("labelRightOffset", QString::number(s.labelRightOffset));
    line("scannerPort", s.scannerPort);
    static const char *printerNames[] = {"printerInvoice", "printerProductionSheet", "printerShipForm",
                                         "printerStatement", "printerConsignmentForm"};
    for (int i = 0; i < 5; ++i)
        line(printerNames[i], s.printers[i]);
    line("labelQuill", s.labelQuill ? QStringLiteral("true") : QStringLiteral("false"));
    line("printDiamondComment", s.printDiamondComment ? QStringLiteral("true") : QStringLiteral("false"));
    line("homeScreen", ctx.WholeSaleMode ? QStringLiteral("frmFront (wholesale)")
                                         : QStringLiteral("frmDiamondDetail"));
    io.out.flush();
    return 0;
}

} // namespace

CliRegistry coreCommands()
{
    CliRegistry r;
    r.append(CliCommand{{QStringLiteral("user"), QStringLiteral("list")},
                        {},
                        QStringLiteral("list the users (ID, user name, name, administrator)"),
                        runUserList});
    r.append(CliCommand{{QStringLiteral("config"), QStringLiteral("show")},
                        {},
                        QStringLiteral("print the loaded settings, one name = value a line"),
                        runConfigShow});
    return r;
}

} // namespace velmor
