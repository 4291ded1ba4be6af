#pragma once
// A read that a screen does not wait for: it runs on a connection of its own
// in a thread of its own and its answer comes back as a signal in the
// owner's thread.  Only the newest request counts: a request made while an
// older one is still running stops the older one on the server (KILL QUERY)
// and the older one's answer is never delivered, so a screen never shows an
// answer to a question it no longer asks.
#include "db/Connection.h"

#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QVariant>
#include <QWaitCondition>

#include <functional>

class QThread;

namespace velmor::db {

// Who a connection is on the server: its thread id and the server it is on
// (host, port and server id), so that a query is only ever stopped on the
// server that runs it; the same thread id on another server of a cluster is
// somebody else's.
struct ServerThread {
    qint64 id = 0;
    QString server;
    static ServerThread of(const QSqlDatabase &db);
};
// Stops the query `t` runs, through `killer`, when killer is on the same
// server; otherwise (or when anything fails) leaves it to end on its own.
void stopQuery(const QSqlDatabase &killer, const ServerThread &t);

class BackgroundRead : public QObject
{
    Q_OBJECT
public:
    using Work = std::function<QVariant(const QSqlDatabase &)>;

    // `killer` is a connection of the owner's, used to stop a superseded
    // query.  The reading connection is opened with `settings` at the
    // first request.
    BackgroundRead(const ConnectionSettings &settings, const QSqlDatabase &killer, QObject *parent = nullptr);
    ~BackgroundRead() override;

    // Runs `work` on the reading connection; returns the request's number.
    // An older request still waiting is dropped, one running is stopped.
    quint64 request(Work work);
    // Drops and stops whatever was asked; nothing more is delivered.
    void cancel();
    // The newest request's number (0 before any).
    quint64 latest() const;

signals:
    // The answer to the newest request.
    void done(quint64 request, const QVariant &answer);
    // The newest request failed: the database's words.  `noConnection` when
    // no reading connection could be made (the owner may read it itself).
    void failed(quint64 request, const QString &message, bool noConnection);

private:
    void run();

    ConnectionSettings m_settings;
    QSqlDatabase m_killer;
    QThread *m_thread = nullptr;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    Work m_pending;
    quint64 m_pendingNumber = 0;
    quint64 m_latest = 0;
    quint64 m_running = 0; // the request the reader works on, 0 when idle
    ServerThread m_reader;
    bool m_stop = false;
};

} // namespace velmor::db
