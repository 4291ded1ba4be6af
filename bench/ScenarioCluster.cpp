// Several shops on one stock: a sale posted to an invoice and a stone put on
// memo, on the benchmark's single server and on a three-node Galera cluster
// on this machine's loopback (scripts/cluster), in the same run.  A write on
// a synchronous cluster costs at least one round trip between its nodes at
// commit; the ratio says how much that is against one server.
#include "Scenarios.h"

#include "core/AppContext.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "invoices/Posting.h"
#include "memos/MemoMoves.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace velmor::bench {

namespace {

constexpr int kOps = 20;

// The cluster for the run: the one the test run started when there is one
// (VELMOR_CLUSTER_DIR and VELMOR_CLUSTER_PORT), else one of its own, started
// on first use and stopped when the program ends (the script also stops what
// an earlier, interrupted run left behind).
class BenchCluster {
public:
    ~BenchCluster() { stop(); }
    bool start(QString &why)
    {
        if (m_port)
            return true;
        if (!qEnvironmentVariable("VELMOR_CLUSTER_DIR").isEmpty()) {
            m_port = qEnvironmentVariableIntValue("VELMOR_CLUSTER_PORT");
            return true;
        }
        m_dir = QStringLiteral("/dev/shm/velmor-bench-cluster-%1").arg(QCoreApplication::applicationPid());
        m_port = 40000 + int(QCoreApplication::applicationPid() % 200) * 40;
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("bash"), {script(), QStringLiteral("start"), m_dir, QString::number(m_port)});
        m_started = true; // stop() cleans up whatever got started
        if (!p.waitForFinished(300000) || p.exitCode() != 0) {
            why = QStringLiteral("the cluster did not start: ") + QString::fromLocal8Bit(p.readAll()).trimmed();
            return false;
        }
        return true;
    }
    void stop()
    {
        m_port = 0;
        if (!m_started)
            return;
        m_started = false;
        QProcess::execute(QStringLiteral("bash"), {script(), QStringLiteral("stop"), m_dir});
    }
    db::ConnectionSettings settings(const QString &database) const
    {
        db::ConnectionSettings s;
        s.mode = db::Mode::Server;
        s.user = QStringLiteral("root");
        s.database = database;
        s.host = QStringLiteral("127.0.0.1:%1,127.0.0.1:%2,127.0.0.1:%3") // node 2 first
                     .arg(m_port + 1)
                     .arg(m_port + 2)
                     .arg(m_port);
        return s;
    }
    int port() const { return m_port; }
    static QString script() { return QStringLiteral(VELMOR_SOURCE_DIR "/scripts/cluster"); }

private:
    bool m_started = false;
    QString m_dir;
    int m_port = 0;
};

BenchCluster &cluster()
{
    static BenchCluster c;
    return c;
}

// The same small shop on either database: customers, stones in stock and a memo sheet.
struct Shop {
    QList<qint64> customers, stones;
    qint64 sheet = 0;
};

Shop fillShop(const QSqlDatabase &db)
{
    db::schema::createNewDatabase(db);
    Shop s;
    for (int i = 0; i < 5; ++i)
        s.customers << db::insert(db, QStringLiteral("INSERT INTO Customer (CompanyName, Customer, Supplier) "
                                                     "VALUES (?, -1, 0)"),
                                  {QStringLiteral("Shop customer %1").arg(i)});
    for (int i = 0; i < kOps; ++i)
        s.stones << db::insert(db,
                               QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, "
                                              "RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, Canadian) "
                                              "VALUES (?, 'Round Brilliant [BR]', 1.01, 20, 40, 5000, 30, 3535, -1, "
                                              "'Stock', 0)"),
                               {QStringLiteral("CL%1").arg(i)});
    s.sheet = db::insert(db, QStringLiteral("INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)"),
                         {s.customers.first()});
    return s;
}

// Every stone back in stock, the run's invoices and memo rows gone.
void resetShop(const QSqlDatabase &db)
{
    db::exec(db, QStringLiteral("DELETE FROM invoicelist"));
    db::exec(db, QStringLiteral("DELETE FROM invoice"));
    db::exec(db, QStringLiteral("DELETE FROM Memo"));
    db::exec(db, QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, MemoSheetID=NULL "
                                "WHERE Status <> 'Stock'"));
}

std::unique_ptr<AppContext> shopContext(SizeEnv &env, const db::ConnectionSettings &s, const QSqlDatabase &db,
                                        RecordingPrompt &prompt)
{
    auto ctx = std::make_unique<AppContext>(Workstation(env.folder, env.folder), s, &prompt);
    ctx->adopt(db);
    ctx->user.ID = 1;
    ctx->user.AllowEdit = true;
    ctx->user.AllowMemoAssigning = true;
    return ctx;
}

} // namespace

void runClusterScenarios(SizeEnv &env)
{
    const QString sale = QStringLiteral("sale posting, one server vs cluster (per sale)");
    const QString memo = QStringLiteral("put on memo, one server vs cluster (per stone)");
    if (!env.bench.wants(sale) && !env.bench.wants(memo))
        return;
    // The figures do not depend on the inventory's size: measured once.
    if (env.size != env.bench.options().sizes.first())
        return;
    if (!QFileInfo::exists(QStringLiteral("/usr/lib/galera/libgalera_smm.so"))) {
        for (const QString &n : {sale, memo})
            env.bench.notAvailable(n, env.size, QStringLiteral("cluster"), QStringLiteral("galera-4 is not installed"));
        return;
    }
    QString why;
    if (!cluster().start(why)) {
        for (const QString &n : {sale, memo})
            env.bench.failed(n, env.size, why);
        return;
    }

    const QString name = QStringLiteral("bench_shop_%1").arg(QCoreApplication::applicationPid());
    const QSqlDatabase one = env.server.connect(name, true);
    const db::ConnectionSettings cs = cluster().settings(name);
    QSqlDatabase many;
    {
        // Made through node 1 (as `velmor db upgrade` would), used through node 2.
        db::ConnectionSettings first = cs;
        first.host = QStringLiteral("127.0.0.1");
        first.port = cluster().port();
        QSqlDatabase maker = db::openConnection(first, QStringLiteral("bench-cluster-maker"), true);
        fillShop(maker);
        maker.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-cluster-maker"));
    many = db::openConnection(cs, QStringLiteral("bench-cluster"));
    const Shop shop = fillShop(one);
    const Shop shopMany = [&] {
        Shop s;
        QSqlQuery q = db::exec(many, QStringLiteral("SELECT ID FROM Customer ORDER BY ID"));
        while (q.next())
            s.customers << q.value(0).toLongLong();
        q = db::exec(many, QStringLiteral("SELECT ID FROM SingleStone ORDER BY ID"));
        while (q.next())
            s.stones << q.value(0).toLongLong();
        s.sheet = db::scalar(many, QStringLiteral("SELECT MIN(ID) FROM memosheet")).toLongLong();
        return s;
    }();

    RecordingPrompt promptOne, promptMany;
    auto ctxOne = shopContext(env, env.server.settings(name), one, promptOne);
    auto ctxMany = shopContext(env, cs, many, promptMany);

    auto sell = [](AppContext &ctx, const Shop &s) {
        for (int i = 0; i < s.stones.size(); ++i)
            if (invoices::sellStoneOnInvoice(ctx, s.stones.at(i), s.customers.at(i % s.customers.size()),
                                             QStringLiteral("1.01"), QStringLiteral("4321.5"))
                    .result
                != invoices::SellResult::Done)
                throw db::DbError(QStringLiteral("sale refused"));
    };
    auto put = [](AppContext &ctx, const Shop &s) {
        for (qint64 id : s.stones)
            if (!memos::putOnMemo(ctx, s.sheet, id, QStringLiteral("30"), 1).ok())
                throw db::DbError(QStringLiteral("not put on memo"));
    };
    if (env.bench.wants(sale))
        env.bench.measure(sale, env.size,
                          {Road{QStringLiteral("velmor"), [one] { resetShop(one); },
                                [&] { sell(*ctxOne, shop); }, false, kOps},
                           Road{QStringLiteral("cluster"), [many] { resetShop(many); },
                                [&] { sell(*ctxMany, shopMany); }, false, kOps}});
    if (env.bench.wants(memo))
        env.bench.measure(memo, env.size,
                          {Road{QStringLiteral("velmor"), [one] { resetShop(one); },
                                [&] { put(*ctxOne, shop); }, false, kOps},
                           Road{QStringLiteral("cluster"), [many] { resetShop(many); },
                                [&] { put(*ctxMany, shopMany); }, false, kOps}});

    ctxMany.reset();
    ctxOne.reset();
    many.close();
    many = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench-cluster"));
    env.server.drop(name);
    cluster().stop();
}

} // namespace velmor::bench
