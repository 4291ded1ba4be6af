#include "stones/StoneWordLists.h"

#include "db/Row.h"
#include "db/Sql.h"

#include <QAtomicInt>
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
    m_serverThread = 0;
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
                m_serverThread = db::scalar(d, QStringLiteral("SELECT CONNECTION_ID()")).toLongLong();
                if (!m_cancelled) {
                    lists = readWordLists(d, columns);
                    read = true;
                }
            } catch (const db::DbError &) {
            }
            m_serverThread = 0;
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
        const qint64 id = m_serverThread;
        if (id > 0 && m_killer.isValid() && m_killer.isOpen()) {
            try {
                db::exec(m_killer, QStringLiteral("KILL QUERY %1").arg(id));
            } catch (const db::DbError &) {
                // Another server of a cluster: the read ends on its own.
            }
        }
    }
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace velmor::stones
