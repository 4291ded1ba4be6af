#include "stones/StoneWordLists.h"

#include "db/Row.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QMutexLocker>
#include <QSqlQuery>
#include <QThread>

namespace velmor::stones {

namespace {
QAtomicInt g_loaderCounter;
const QChar kSeparator(0x1f);
} // namespace

QList<QStringList> readWordLists(const QSqlDatabase &db, const QStringList &columns)
{
    QStringList parts;
    for (const QString &c : columns)
        parts << QStringLiteral("GROUP_CONCAT(DISTINCT %1 ORDER BY %1 SEPARATOR '%2')").arg(c, QString(kSeparator));
    db::exec(db, QStringLiteral("SET SESSION group_concat_max_len = 16777216"));
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ") + parts.join(QStringLiteral(", "))
                                   + QStringLiteral(" FROM SingleStone"));
    QList<QStringList> lists;
    if (q.next())
        for (int i = 0; i < columns.size(); ++i)
            lists << (q.value(i).isNull() ? QStringList() : db::textOf(q.value(i)).split(kSeparator));
    while (lists.size() < columns.size())
        lists << QStringList();
    return lists;
}

WordListLoader::WordListLoader(QObject *parent) : QObject(parent) {}

WordListLoader::~WordListLoader() { cancel(); }

bool WordListLoader::busy() const { return m_thread && !m_thread->isFinished(); }

void WordListLoader::start(const db::ConnectionSettings &settings, const QStringList &columns,
                           const QSqlDatabase &killer)
{
    if (busy())
        return;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    m_killer = killer;
    m_cancelled = false;
    {
        QMutexLocker l(&m_readerMutex);
        m_reader = {};
    }
    const QString name = QStringLiteral("velmor-wordlists-%1").arg(g_loaderCounter.fetchAndAddRelaxed(1));
    m_thread = QThread::create([this, settings, columns, name] {
        bool connected = false;
        bool read = false;
        QList<QStringList> lists;
        {
            QSqlDatabase d;
            try {
                d = db::openConnection(settings, name, false);
                connected = true;
                // Stored before the cancel flag is looked at: a cancel
                // either finds this thread's query to stop or stops it
                // from starting.
                {
                    const db::ServerThread t = db::ServerThread::of(d);
                    QMutexLocker l(&m_readerMutex);
                    m_reader = t;
                }
                if (!m_cancelled) {
                    lists = readWordLists(d, columns);
                    read = true;
                }
            } catch (const db::DbError &) {
            }
            {
                QMutexLocker l(&m_readerMutex);
                m_reader = {};
            }
            if (d.isValid())
                d.close();
        }
        QSqlDatabase::removeDatabase(name);
        if (m_cancelled)
            return;
        if (read)
            QMetaObject::invokeMethod(this, [this, lists] { emit loaded(lists); }, Qt::QueuedConnection);
        else if (!connected)
            QMetaObject::invokeMethod(this, [this] { emit noConnection(); }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}

void WordListLoader::cancel()
{
    m_cancelled = true;
    if (!m_thread)
        return;
    if (!m_thread->isFinished()) {
        db::ServerThread t;
        {
            QMutexLocker l(&m_readerMutex);
            t = m_reader;
        }
        // Only on the server that runs it: on another server of a cluster
        // the same number is somebody else's query.
        db::stopQuery(m_killer, t);
    }
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace velmor::stones
