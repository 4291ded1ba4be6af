#include "db/BackgroundRead.h"

#include <QAtomicInt>
#include <QMutexLocker>
#include <QSqlQuery>
#include <QThread>

namespace velmor::db {

namespace {

QAtomicInt g_readers;

const QString kWho = QStringLiteral("SELECT CONNECTION_ID(), CONCAT(@@hostname, ':', @@port, ':', @@server_id)");

// The server's code for a statement stopped by KILL QUERY.
constexpr int kInterrupted = 1317;

} // namespace

ServerThread ServerThread::of(const QSqlDatabase &db)
{
    ServerThread t;
    QSqlQuery q = exec(db, kWho);
    if (q.next()) {
        t.id = q.value(0).toLongLong();
        t.server = q.value(1).toString();
    }
    return t;
}

void stopQuery(const QSqlDatabase &killer, const ServerThread &t)
{
    if (t.id <= 0 || !killer.isValid() || !killer.isOpen())
        return;
    try {
        if (ServerThread::of(killer).server != t.server)
            return;
        exec(killer, QStringLiteral("KILL QUERY %1").arg(t.id));
    } catch (const DbError &) {
        // The query ends on its own; its answer is not delivered anyway.
    }
}

BackgroundRead::BackgroundRead(const ConnectionSettings &settings, const QSqlDatabase &killer, QObject *parent)
    : QObject(parent), m_settings(settings), m_killer(killer)
{
}

BackgroundRead::~BackgroundRead()
{
    ServerThread stopIt;
    {
        QMutexLocker l(&m_mutex);
        m_stop = true;
        m_pending = nullptr;
        ++m_latest;
        if (m_running)
            stopIt = m_reader;
    }
    m_wake.wakeAll();
    stopQuery(m_killer, stopIt);
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

quint64 BackgroundRead::latest() const
{
    QMutexLocker l(&m_mutex);
    return m_latest;
}

quint64 BackgroundRead::request(Work work)
{
    ServerThread stopIt;
    quint64 number;
    {
        QMutexLocker l(&m_mutex);
        number = ++m_latest;
        m_pending = std::move(work);
        m_pendingNumber = number;
        if (m_running)
            stopIt = m_reader;
        if (!m_thread) {
            m_thread = QThread::create([this] { run(); });
            m_thread->start(QThread::LowPriority);
        }
    }
    m_wake.wakeAll();
    stopQuery(m_killer, stopIt);
    return number;
}

void BackgroundRead::cancel()
{
    ServerThread stopIt;
    {
        QMutexLocker l(&m_mutex);
        ++m_latest;
        m_pending = nullptr;
        if (m_running)
            stopIt = m_reader;
    }
    stopQuery(m_killer, stopIt);
}

void BackgroundRead::run()
{
    const QString name = QStringLiteral("velmor-background-%1").arg(g_readers.fetchAndAddRelaxed(1));
    {
        QSqlDatabase d;
        for (;;) {
            Work work;
            quint64 number = 0;
            {
                QMutexLocker l(&m_mutex);
                while (!m_stop && !m_pending)
                    m_wake.wait(&m_mutex);
                if (m_stop)
                    break;
                work = std::move(m_pending);
                m_pending = nullptr;
                number = m_pendingNumber;
                m_running = number;
            }
            QVariant answer;
            QString error;
            bool ok = false;
            bool noConnection = false;
            for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
                try {
                    if (!d.isValid() || !d.isOpen()) {
                        d = openConnection(m_settings, name, false);
                        const ServerThread t = ServerThread::of(d);
                        QMutexLocker l(&m_mutex);
                        m_reader = t;
                    }
                    // A newer request that came while this one was taken
                    // (or its connection opened) could not stop a query
                    // not yet sent: the stale one is not sent at all.
                    if (number != latest())
                        break;
                    answer = work(d);
                    ok = true;
                } catch (const ConnectError &e) {
                    error = e.message();
                    noConnection = true;
                    break;
                } catch (const DbError &e) {
                    error = e.message();
                    // A stop meant for the request before this one can reach
                    // this one: asked again once.
                    const bool interrupted = e.nativeCode() == kInterrupted;
                    if (!interrupted || number != latest()) {
                        // A connection that failed is made anew next time.
                        if (d.isValid())
                            d.close();
                        break;
                    }
                }
            }
            {
                QMutexLocker l(&m_mutex);
                m_running = 0;
                if (number != m_latest || m_stop)
                    continue;
            }
            if (ok)
                QMetaObject::invokeMethod(
                    this, [this, number, answer] { if (number == latest()) emit done(number, answer); },
                    Qt::QueuedConnection);
            else
                QMetaObject::invokeMethod(
                    this,
                    [this, number, error, noConnection] {
                        if (number == latest())
                            emit failed(number, error, noConnection);
                    },
                    Qt::QueuedConnection);
        }
        if (d.isValid())
            d.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace velmor::db
