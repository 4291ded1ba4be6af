// `velmor user list` and `velmor config show`.
#include "core/AppContext.h"
#include "core/Cli.h"
#include "core/CliLogin.h"
#include "core/Configuration.h"
#include "core/SettingsFields.h"
#include "core/Users.h"
#include "db/Connection.h"
#include "db/Sql.h"

#include <iostream>
#include <string>
#include <unistd.h>

namespace velmor {

namespace {

// Says what an operation refuses, on standard error.
class ErrorPrompt : public SilentPrompt {
public:
    explicit ErrorPrompt(QTextStream &err) : m_err(err) {}
    void inform(const QString &text, const QString &, Icon) override
    {
        m_err << "velmor: " << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << Qt::endl;
    }

private:
    QTextStream &m_err;
};

int runUserList(const QStringList &, CliIo &io)
{
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        if (noUserYet(ctx.db())) {
            io.out << "There is no user yet. Make the first administrator on the log-on screen (Log on on the "
                      "stone screen or the main menu) or with `velmor user add NAME --administrator`."
                   << Qt::endl;
            return 0;
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

// A secret typed at the terminal (not shown), or one line of standard input
// when that is no terminal.
QString readSecretLine(const QString &question, bool *ok)
{
    if (isatty(STDIN_FILENO)) {
        bool terminal = false;
        const QString typed = readPasswordFromTerminal(question, &terminal);
        *ok = terminal;
        return typed;
    }
    std::string line;
    *ok = bool(std::getline(std::cin, line));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// `velmor user add NAME --administrator`: the first administrator of a
// database without users, the password read from the terminal (twice) or
// from standard input (one line), never from the command line.
int runUserAdd(const QStringList &args, CliIo &io)
{
    QString name;
    bool administrator = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--administrator"))
            administrator = true;
        else if (a.startsWith(QLatin1String("--")) || !name.isEmpty()) {
            io.err << "velmor: user add takes NAME --administrator (the password is asked for, never given as an "
                      "argument), not \""
                   << a << "\"" << Qt::endl;
            return 2;
        } else
            name = a;
    }
    if (name.isEmpty() || !administrator) {
        io.err << "velmor: usage: velmor user add NAME --administrator (further users are made on the user set-up "
                  "screen by an administrator)"
               << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    if (!openCliContext(ctx, io))
        return 2;
    try {
        if (!noUserYet(ctx.db())) {
            io.err << "velmor: the database has users already; an administrator adds users on the user set-up screen "
                      "(Configuration > Users). Nothing was changed."
                   << Qt::endl;
            return 1;
        }
    } catch (const db::DbError &e) {
        io.err << "velmor: the users could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    bool ok = false;
    const QString password = readSecretLine(QStringLiteral("Password for %1: ").arg(name), &ok);
    if (!ok) {
        io.err << "velmor: no password was given. Nothing was changed." << Qt::endl;
        return 1;
    }
    QString confirm = password;
    if (isatty(STDIN_FILENO)) {
        confirm = readSecretLine(QStringLiteral("The same password again: "), &ok);
        if (!ok) {
            io.err << "velmor: the password was not repeated. Nothing was changed." << Qt::endl;
            return 1;
        }
    }
    ErrorPrompt prompt(io.err);
    ctx.setPrompt(&prompt);
    const FirstAdministrator r = addFirstAdministrator(ctx, name, password, confirm);
    if (r != FirstAdministrator::Made)
        return 1;
    io.out << "Made the first administrator \"" << name.remove(QLatin1Char('\'')).trimmed()
           << "\" with every right." << Qt::endl;
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
    r.append(CliCommand{{QStringLiteral("user"), QStringLiteral("add")},
                        QStringLiteral("NAME --administrator"),
                        QStringLiteral("make the first administrator of a database without users (the password is "
                                       "asked for)"),
                        runUserAdd});
    r.append(CliCommand{{QStringLiteral("config"), QStringLiteral("show")},
                        {},
                        QStringLiteral("print the loaded settings, one name = value a line"),
                        runConfigShow});
    return r;
}

} // namespace velmor
