#pragma once
// The MariaDB programs a backup runs (the dump tool and the client), behind
// one small interface: the real one starts the program, a test's one plays
// back what the program once printed.
#include "db/Connection.h"

#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <functional>
#include <memory>

namespace velmor::db::backup {

// One run of a program: its output read as it comes, its input fed.
class ToolRun {
public:
    virtual ~ToolRun() = default;
    // Standard output: up to `max` bytes, waiting for some; 0 once the
    // program has ended and all is read; -1 when it cannot be read.
    virtual qsizetype read(char *out, qsizetype max) = 0;
    // Standard input; false once the program takes no more.
    virtual bool write(const char *data, qsizetype size) = 0;
    virtual void closeInput() = 0;
    // Waits for the end: true when the program ended by itself with 0.
    virtual bool finish() = 0;
    virtual int exitCode() const = 0;
    // What it wrote on standard error.
    virtual QString errors() const = 0;
    virtual void stop() = 0;
};

// Starts a program; nullptr with the reason when it cannot be started.
using ToolStarter =
    std::function<std::unique_ptr<ToolRun>(const QString &program, const QStringList &args, QString *why)>;

// Starts the installed MariaDB programs (found like the private server's).
ToolStarter installedTools();

// How the tools reach a database: everything goes into a private option
// file (the password never shows in the process list).
struct ToolConnection {
    QString socket;
    QString host;
    int port = 3306;
    QString user;
    QString password;
    QString database;

    // From connection settings that reach one server (private mode once its
    // server runs, or server mode); a cluster's settings give the node
    // `node` ("host:port").  Empty `why` when it can be used.
    static ToolConnection from(const ConnectionSettings &s, QString *why, const QString &node = {});
    // Writes the option file; nullptr with the reason when it cannot.
    std::unique_ptr<QTemporaryFile> optionFile(QString *why) const;
};

// The program's path (mariadb-dump, mariadb), empty when not installed.
QString toolPath(const QString &name);

// The dump tool's arguments for one database (after --defaults-file).
QStringList dumpArguments(const QString &database);
// The client's arguments to run a script into one database.
QStringList clientArguments(const QString &database);

// The tool's own words about a failure, made short, with a hint when the
// account lacks a right.
QString toolFailure(const QString &tool, int exitCode, const QString &errors);

} // namespace velmor::db::backup
