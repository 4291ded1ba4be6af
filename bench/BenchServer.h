#pragma once
// The benchmark's own MariaDB server in a folder of its own on /dev/shm, and
// the databases it holds: one per size, plus pristine copies that the
// scenarios which change rows are restored from before each run.
#include "db/Connection.h"
#include "db/PrivateServer.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmor::bench {

class BenchServer {
public:
    BenchServer();
    ~BenchServer();
    BenchServer(const BenchServer &) = delete;
    BenchServer &operator=(const BenchServer &) = delete;

    // Starts the server (after clearing what an interrupted run left behind).
    void start();
    void stop();
    // Leaves the server running when the object goes (for inspection).
    void detach();

    QString dir() const { return m_dir; }
    QString socket() const;
    db::ConnectionSettings settings(const QString &database) const;

    // A connection to the database (created when asked and missing).  One
    // connection per database name, kept open for the run.
    QSqlDatabase connect(const QString &database, bool create = false);
    void close(const QString &database);
    void drop(const QString &database);
    // A fresh copy of every table of one database into another.
    void cloneDatabase(const QString &from, const QString &to);
    // The rows of these tables put back as they are in another database.
    void restoreTables(const QString &from, const QString &to, const QStringList &tables);

    QString serverVersion();

private:
    QSqlDatabase admin();

    QString m_dir;
    std::unique_ptr<db::PrivateServer> m_server;
    QStringList m_connections;
};

} // namespace velmor::bench
