#include "core/AppContext.h"
#include "core/DatabaseOpening.h"

#include "db/Cluster.h"
#include "db/PrivateServer.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlQuery>

namespace velmor {

namespace {
QAtomicInt g_contextCounter;

// The user hears once that the workstation now works on another server of
// the cluster; an operation under way is run again there or named for checking.
void tellNodeMoves(AppContext &ctx, const QSqlDatabase &db)
{
    db::setNodeNotice(db.connectionName(), [&ctx](const QString &text) {
        ctx.prompt().inform(text, QStringLiteral("Database"), Icon::Information);
    });
}
} // namespace

AppContext::AppContext(Workstation ws, db::ConnectionSettings cs, Prompt *prompt)
    : workstation(std::move(ws)), connection(std::move(cs)), m_prompt(prompt ? prompt : &m_silent)
{
    m_connectionName = QStringLiteral("velmor-%1").arg(g_contextCounter.fetchAndAddRelaxed(1));
    // No working rate is known until one is fetched, saved, typed or loaded
    // as the last good one stored (core/KnownRates.h): never 1.0.
    exchangeRateCDN = 0.0;
    exchangeRateZAR = 0.0;
    // Until the settings are loaded everything is shown, as in a new set-up.
    settings.ShowCostMY_CT = settings.ShowCostUS_CT = settings.ShowSellPriceMY_CT = settings.ShowSellPriceUS_CT = true;
    settings.ShowLot = settings.ShowDimension = settings.ShowMemoID = settings.ShowReferenceNumber = true;
}

AppContext::~AppContext() { close(); }

void AppContext::setPrompt(Prompt *p) { m_prompt = p ? p : &m_silent; }

void AppContext::setScreens(Screens *s) { m_screens = s ? s : &m_noScreens; }

bool makesPrivateDatabase(const db::ConnectionSettings &cs)
{
    return cs.problem.isEmpty() && cs.mode == db::Mode::Private
        && !QFileInfo::exists(cs.privateDir + QStringLiteral("/data/mysql"));
}

QString AppContext::openingMessage() const
{
    return makesPrivateDatabase(connection) ? QStringLiteral("Making the database ...")
                                            : QStringLiteral("Opening the database ...");
}

void AppContext::prepareOpen(const std::function<void(const QString &)> &progress)
{
    workstation.ensureFolder();
    // A connection file that cannot be used stops here, before anything is
    // started or made.
    if (!connection.problem.isEmpty())
        throw db::ConnectError(connection.problem);
    if (connection.mode == db::Mode::Private && !m_server) {
        auto server = std::make_unique<db::PrivateServer>(connection.privateDir);
        server->acquire();
        m_server = std::move(server);
        connection.socket = m_server->socketPath();
        connection.user = QStringLiteral("root");
        connection.password = m_server->rootPassword();
        // A database of our own that has no table yet is brand new; one
        // whose creation was cut short (a start killed meanwhile) is finished.
        const QString name = m_connectionName + QStringLiteral("-making");
        {
            const QSqlDatabase making = db::openConnection(connection, name, true);
            db::schema::finishCreation(making, [&progress](const db::schema::Progress &) {
                if (progress)
                    progress(QStringLiteral("Making the database ..."));
            });
        }
        QSqlDatabase::removeDatabase(name);
    }
    m_prepared = true;
}

void AppContext::open()
{
    if (!m_prepared) {
        // Said before the wait: making a private database takes seconds.
        prompt().progress(openingMessage());
        prepareOpen();
    }
    m_db = db::openConnection(connection, m_connectionName, connection.mode == db::Mode::Private);
    tellNodeMoves(*this, m_db);
}

void AppContext::adopt(const QSqlDatabase &db)
{
    m_db = db;
    tellNodeMoves(*this, m_db);
}

void AppContext::close()
{
    const bool owned = m_db.isValid() && m_db.connectionName() == m_connectionName;
    if (m_db.isValid())
        db::setNodeNotice(m_db.connectionName(), {});
    if (owned) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    } else {
        m_db = QSqlDatabase();
    }
    if (m_server) {
        m_server->release();
        m_server.reset();
    }
    m_prepared = false;
}

QSqlDatabase AppContext::newConnection(const QString &name) const
{
    return db::openConnection(connection, m_connectionName + QLatin1Char('-') + name, false);
}

} // namespace velmor
