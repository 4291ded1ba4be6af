// Several shops on one stock: Velmor's selling code on the three-node test
// cluster, each workstation on a node of its own.  The races that the single
// server settles with locks, fifty rounds each, and a node killed in the
// middle of a stream of sales.
#include "ClusterDb.h"
#include "ScriptedPrompt.h"
#include "WorkstationThread.h"
#include "core/AppContext.h"
#include "core/Backups.h"
#include "db/Cluster.h"
#include "db/Sql.h"
#include "invoices/Posting.h"
#include "memos/MemoMoves.h"
#include "parcels/ParcelMemo.h"
#include "parcels/ParcelRecord.h"
#include "shell/BackupCommands.h"
#include "shell/BooksCheck.h"
#include "stones/StoneRecord.h"

#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

using namespace velmor;
using test::ClusterDb;
using test::ScriptedPrompt;
using test::WorkstationThread;

namespace {

constexpr int kRounds = 50;

struct Env {
    ClusterDb c;
    ScriptedPrompt prompt;
    QTemporaryDir dir;
    AppContext ctx;

    Env() : ctx(Workstation(dir.path(), dir.path()), c.node(1), &prompt)
    {
        ctx.adopt(c.db());
        ctx.user.ID = 7;
        ctx.user.AllowEdit = true;
        for (const char *r : {"AllowDiamond2Create", "AllowDiamond1Create", "AllowRestockParcel", "AllowMemoAssigning",
                              "AllowInvoiceView"})
            ctx.user.set(QString::fromLatin1(r), true);
        ctx.exchangeRateCDN = 1.25;
        ctx.exchangeRateZAR = 14.0;
    }
    qint64 customer(const QString &name, bool supplier = false)
    {
        return db::insert(c.db(), "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES (?, ?, ?)",
                          {name, supplier ? 0 : -1, supplier ? -1 : 0});
    }
    qint64 stone(const QString &sku)
    {
        return db::insert(c.db(),
                          "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, Certificate, "
                          "RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, Canadian) "
                          "VALUES (?, 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', ?, 5000, 30, 3535, -1, 'Stock', 0)",
                          {sku, "C" + sku});
    }
    qint64 parcel(const QString &sku, qint64 supplier, const QString &carat)
    {
        const qint64 id = db::insert(c.db(), "INSERT INTO parcel (SKU, Shape, Carat, SellPerCarat) "
                                             "VALUES (?, 'Round Brilliant [BR]', 0, 400)",
                                     {sku});
        parcels::Receipt r{id, supplier, carat, "200"};
        if (parcels::receiveStock(ctx, r).result != parcels::Result::Done)
            return 0;
        return id;
    }
    QVariant value(const QString &sql, const QVariantList &binds = {}) { return db::scalar(c.db(), sql, binds); }
    int count(const QString &sql, const QVariantList &binds = {}) { return value(sql, binds).toInt(); }
};

// The books check finds nothing wrong: its errors, rule by rule.
QString booksErrors(const QSqlDatabase &db)
{
    const books::Report r = books::checkBooks(db);
    QStringList out;
    for (const books::RuleResult &res : r.results)
        if (res.rule.severity == books::Severity::Error && !res.clean())
            out << res.rule.key + QStringLiteral(": ") + (res.failure.isEmpty() ? QString::number(res.rows.size()) + QStringLiteral(" rows") : res.failure);
    return out.join(QLatin1Char('\n'));
}

enum class Race { StoneSoldTwice, MemoVersusSale, OneOpenInvoice, AutomaticSku, ParcelLastCarats, OneParcelMemo };

// What one workstation's operation came to: done or not, and its words.
struct Side {
    bool done = false;
    QString said;
};

// Runs the two operations at one moment on two nodes.
void race(const ClusterDb &c, int round, const std::function<bool(int, AppContext &)> &op, Side (&sides)[2])
{
    std::atomic<int> ready{0};
    auto side = [&](int i) {
        return [&, i](AppContext &ctx, ScriptedPrompt &p) {
            ctx.user.AllowMemoAssigning = true;
            ctx.exchangeRateCDN = 1.25;
            ctx.exchangeRateZAR = 14.0;
            ready.fetch_add(1);
            while (ready.load() < 2)
                std::this_thread::yield();
            sides[i].done = op(i, ctx);
            sides[i].said = p.messages().join(QLatin1Char('|'));
        };
    };
    WorkstationThread a(c.node(1 + round % 3), side(0));
    WorkstationThread b(c.node(1 + (round + 1) % 3), side(1));
    a.join();
    b.join();
    // An error that escaped an operation is written where the round's
    // account shows it (and fails the round: nothing was done).
    if (!a.error().isEmpty())
        sides[0].said += QStringLiteral("|escaped: ") + a.error();
    if (!b.error().isEmpty())
        sides[1].said += QStringLiteral("|escaped: ") + b.error();
}

} // namespace

class tst_cluster : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!ClusterDb::available())
            QSKIP("no cluster: run through ctest");
    }

    // Every table replicates (InnoDB) and takes deletes (a primary key), and
    // the database made through node 1 is there on node 3.
    void schemaPassesTheClusterRules()
    {
        ClusterDb c;
        const QString where = "TABLE_SCHEMA = ? AND TABLE_TYPE = 'BASE TABLE'";
        QCOMPARE(db::scalar(c.db(), "SELECT COUNT(*) FROM information_schema.TABLES WHERE " + where
                                        + " AND ENGINE <> 'InnoDB'", {c.name()}).toInt(), 0);
        QSqlQuery q = db::exec(c.db(),
                               "SELECT TABLE_NAME FROM information_schema.TABLES t WHERE " + where
                                   + " AND NOT EXISTS (SELECT 1 FROM information_schema.TABLE_CONSTRAINTS k "
                                     "WHERE k.TABLE_SCHEMA = t.TABLE_SCHEMA AND k.TABLE_NAME = t.TABLE_NAME "
                                     "AND k.CONSTRAINT_TYPE = 'PRIMARY KEY')",
                               {c.name()});
        QStringList without;
        while (q.next())
            without << q.value(0).toString();
        QVERIFY2(without.isEmpty(), qPrintable(without.join(", ")));
        {
            QSqlDatabase n3 = db::openConnection(c.node(3), "schema-node3");
            QCOMPARE(db::tableNames(n3).size(), db::tableNames(c.db()).size());
            const db::ClusterInfo info = db::clusterInfo(n3);
            QCOMPARE(info.size, 3);
            QCOMPARE(info.state, QStringLiteral("Synced"));
            QCOMPARE(info.node, QStringLiteral("127.0.0.1:%1").arg(ClusterDb::port(3)));
            n3.close();
        }
        QSqlDatabase::removeDatabase("schema-node3");
    }

    // `velmor db status` on a workstation whose database.ini names the three
    // nodes: the cluster, its size and the node in use.
    void statusNamesTheCluster()
    {
        ClusterDb c;
        QTemporaryDir home;
        QFile ini(home.filePath("database.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("mode=server\nhost=127.0.0.1:%1, 127.0.0.1:%2\nhost=127.0.0.1:%3\nuser=root\n"
                                 "database=%4\n")
                      .arg(ClusterDb::port(2)).arg(ClusterDb::port(3)).arg(ClusterDb::port(1)).arg(c.name())
                      .toUtf8());
        ini.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMOR_HOME", home.path());
        env.insert("VELMOR_PROGRAM_DIR", home.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home.path());
        p.start(qEnvironmentVariable("VELMOR_BINARY"), {"db", "status"});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(p.exitCode() == 0, qPrintable(out + p.readAllStandardError()));
        QVERIFY2(out.contains(QStringLiteral("Cluster: \"velmor-test\", 3 nodes; this workstation uses 127.0.0.1:%1 "
                                             "(Synced)")
                                  .arg(ClusterDb::port(2))),
                 qPrintable(out));
    }

    void races_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("stone sold twice") << int(Race::StoneSoldTwice);
        QTest::newRow("memo versus sale") << int(Race::MemoVersusSale);
        QTest::newRow("one open invoice per customer") << int(Race::OneOpenInvoice);
        QTest::newRow("automatic SKU") << int(Race::AutomaticSku);
        QTest::newRow("parcel last carats") << int(Race::ParcelLastCarats);
        QTest::newRow("one open parcel memo per customer") << int(Race::OneParcelMemo);
    }

    // Two workstations on two nodes at once, fifty rounds: exactly one winner
    // (or, where both may succeed, one invoice, memo or number between them),
    // then the books agree with what the workstations were told.
    void races()
    {
        QFETCH(int, kind);
        const Race r = Race(kind);
        Env e;
        const qint64 supplier = e.customer("Antwerp Rough", true);
        const qint64 sheetCustomer = e.customer("Memo Customer");
        const qint64 sheet = db::insert(e.c.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)",
                                        {sheetCustomer});
        int wins = 0;
        for (int round = 0; round < kRounds; ++round) {
            const QString tag = QString::number(round);
            const qint64 buyer = e.customer("Buyer " + tag), other = e.customer("Other " + tag);
            const qint64 s1 = e.stone("A" + tag);
            const qint64 s2 = r == Race::OneOpenInvoice ? e.stone("B" + tag) : s1;
            const qint64 p = r == Race::ParcelLastCarats || r == Race::OneParcelMemo
                ? e.parcel("P" + tag, supplier, "1.00")
                : 0;
            Side sides[2];
            race(e.c, round,
                 [&](int i, AppContext &ctx) -> bool {
                     switch (r) {
                     case Race::StoneSoldTwice:
                         return invoices::sellStoneOnInvoice(ctx, s1, i ? other : buyer, "1.01", "3500").result
                             == invoices::SellResult::Done;
                     case Race::MemoVersusSale:
                         return i ? memos::putOnMemo(ctx, sheet, s1, "10", 7).ok()
                                  : invoices::sellStoneOnInvoice(ctx, s1, buyer, "1.01", "3500").result
                                 == invoices::SellResult::Done;
                     case Race::OneOpenInvoice:
                         return invoices::sellStoneOnInvoice(ctx, i ? s2 : s1, buyer, "1.01", "3500").result
                             == invoices::SellResult::Done;
                     case Race::AutomaticSku: {
                         ctx.settings.AutoSku = true;
                         ctx.settings.SKUOther = "AU";
                         stones::StoneForm f = stones::newStoneForm(stones::addStoneRow(ctx));
                         using F = stones::StonePriceModel::Field;
                         f.Shape = "Pear [PS]";
                         f.Carat = "0.75";
                         f.colourEntry = "30 - F";
                         f.clarityEntry = "50 - VS2";
                         f.Cut = "EX";
                         f.Laboratory = "GIA";
                         f.Dim1 = "6.1";
                         f.setPrice(F::LatestRapPrice, "4000");
                         f.setPrice(F::SellOffRap, "20");
                         f.setPrice(F::SellPrice, "2400.00");
                         f.SKU = stones::autoSkuPlaceholder(ctx, f.Shape);
                         stones::EditState st;
                         st.mode = stones::EditState::Adding;
                         return stones::saveStone(ctx, f, st) == stones::SaveResult::Saved;
                     }
                     case Race::ParcelLastCarats:
                         return parcels::putOnMemo(ctx, {p, i ? other : buyer, "1.00", "300", parcels::LineChoice::NewLine})
                                    .result
                             == parcels::Result::Done;
                     case Race::OneParcelMemo:
                         return parcels::putOnMemo(ctx, {p, buyer, "0.40", "300", parcels::LineChoice::NewLine}).result
                             == parcels::Result::Done;
                     }
                     return false;
                 },
                 sides);
            const QString what = QStringLiteral("round %1: done %2 and %3 (%4 / %5); the stone %6, %7 memo and %8 "
                                                "invoice lines")
                                     .arg(round)
                                     .arg(sides[0].done)
                                     .arg(sides[1].done)
                                     .arg(sides[0].said, sides[1].said,
                                          e.value("SELECT Status FROM SingleStone WHERE ID=?", {s1}).toString())
                                     .arg(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=?", {s1}))
                                     .arg(e.count("SELECT COUNT(*) FROM invoicelist WHERE diamondid=?", {s1}));
            QVERIFY2(!(sides[0].said + sides[1].said).contains(QLatin1String("escaped: ")), qPrintable(what));
            const int done = int(sides[0].done) + int(sides[1].done);
            switch (r) {
            case Race::StoneSoldTwice:
            case Race::MemoVersusSale:
            case Race::ParcelLastCarats:
                QVERIFY2(done == 1, qPrintable(what));
                break;
            case Race::OneOpenInvoice:
            case Race::AutomaticSku:
            case Race::OneParcelMemo:
                QVERIFY2(done == 2, qPrintable(what));
                break;
            }
            wins += done;
            if (r == Race::MemoVersusSale) {
                const bool memo = sides[1].done;
                QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID=?", {s1}).toString(),
                         memo ? QStringLiteral("Memo") : QStringLiteral("Sold"));
                QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID=?", {s1}), memo ? 1 : 0);
            }
        }

        // The books: the books check finds them whole; one line per stone sold, one open invoice and one open
        // parcel memo per customer, no SKU twice, every parcel carat found.
        const QString errors = booksErrors(e.c.db());
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), e.count("SELECT COUNT(*) FROM SingleStone WHERE Status='Sold'"));
        QCOMPARE(e.count("SELECT COUNT(*) FROM (SELECT diamondid FROM invoicelist GROUP BY diamondid HAVING COUNT(*) > 1) x"), 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM (SELECT customerid FROM invoice WHERE status='open' GROUP BY customerid "
                         "HAVING COUNT(*) > 1) x"),
                 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM (SELECT CustomerID FROM memoparcel WHERE IFNULL(closed, 0) = 0 "
                         "GROUP BY CustomerID HAVING COUNT(*) > 1) x"),
                 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM (SELECT SKU FROM SingleStone WHERE SKU <> ' ' GROUP BY SKU "
                         "HAVING COUNT(*) > 1) x"),
                 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM parcel p WHERE p.Carat + IFNULL((SELECT SUM(carat) FROM memoparcellist m "
                         "WHERE m.parcelid = p.ID), 0) <> (SELECT SUM(Carat) FROM parceladd a WHERE a.parcelid = p.ID)"),
                 0);
        QCOMPARE(e.count("SELECT COUNT(*) FROM parcel WHERE Carat < 0"), 0);
        switch (r) {
        case Race::StoneSoldTwice:
        case Race::OneOpenInvoice:
            QCOMPARE(e.count("SELECT COUNT(*) FROM invoicelist"), wins);
            QCOMPARE(e.count("SELECT COUNT(*) FROM invoice"), r == Race::OneOpenInvoice ? kRounds : wins);
            break;
        case Race::MemoVersusSale:
            QCOMPARE(e.count("SELECT COUNT(*) FROM SingleStone WHERE Status IN ('Sold', 'Memo')"), kRounds);
            break;
        case Race::AutomaticSku:
            QCOMPARE(e.count("SELECT COUNT(DISTINCT SKU) FROM SingleStone WHERE SKU LIKE 'AU%'"), 2 * kRounds);
            break;
        case Race::ParcelLastCarats:
            QCOMPARE(e.count("SELECT COUNT(*) FROM parcel WHERE Carat <> 0"), 0);
            QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcellist"), kRounds);
            break;
        case Race::OneParcelMemo:
            QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcel"), kRounds);
            QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcellist"), 2 * kRounds);
            break;
        }
    }

    // A workstation sells stone after stone on node 3 while node 3 is
    // killed: it carries on on another node, every sale it was told about is
    // in the books once, and nothing else is (a sale whose commit was under
    // way when the node went is named as not known, and is in the books at
    // most once).  The node is started again afterwards.
    // A backup made through one node (verified in a scratch database that
    // the cluster carries) and restored through another into a new database
    // holds what the source holds, seen from a third.
    void backupAndRestoreThroughNodes()
    {
        ClusterDb c;
        db::exec(c.db(), "INSERT INTO Customer (CompanyName, CompanyCity) VALUES ('O''Neil & Söhne', 'Zürich'), ('日本', NULL)");
        QTemporaryDir dir;
        const Workstation ws(dir.path(), dir.path());
        const QString file = dir.filePath("cluster.sql.gz");
        backups::Outcome o = backups::backUp(ws, c.cluster(2), file, true, backupCommon());
        QVERIFY2(o.code == 0, qPrintable(o.error + o.lines.join('\n')));
        QVERIFY(o.lines.last().startsWith("Verified:"));
        const QString copy = c.name() + "_r";
        backups::RestoreRequest r;
        r.file = file;
        r.connection = c.cluster(3);
        r.database = copy;
        r.booksCheck = restoreBooksCheck();
        r.common = backupCommon();
        o = backups::restore(r);
        QVERIFY2(o.code == 0, qPrintable(o.error + o.lines.join('\n')));
        auto sums = [&](const QString &database) {
            QStringList tables;
            for (const QString &t : db::tableNames(c.db()))
                tables << QStringLiteral("`%1`.`%2`").arg(database, t);
            QSqlQuery q = db::exec(c.db(), "CHECKSUM TABLE " + tables.join(','));
            QStringList out;
            while (q.next())
                out << q.value(0).toString().section('.', 1) + '=' + q.value(1).toString();
            return out;
        };
        const QStringList restored = sums(copy);
        db::exec(c.db(), QStringLiteral("DROP DATABASE `%1`").arg(copy));
        QCOMPARE(restored, sums(c.name()));
    }

    void nodeKilledDuringSales()
    {
        Env e;
        const qint64 c = e.customer("Stream Buyer");
        // The stream runs on until ten sales after the node is gone.
        const int stock = 150, killAfter = 20, afterKill = 10;
        QList<qint64> stones;
        for (int i = 0; i < stock; ++i)
            stones << e.stone(QStringLiteral("K%1").arg(i));

        ScriptedPrompt prompt;
        QTemporaryDir dir;
        AppContext ws(Workstation(dir.path(), dir.path()), e.c.cluster(3), &prompt);
        ws.open();
        ws.user.ID = 8;
        ws.user.AllowEdit = true;
        ws.user.AllowMemoAssigning = true;
        QCOMPARE(db::clusterInfo(ws.db()).node, QStringLiteral("127.0.0.1:%1").arg(ClusterDb::port(3)));

        std::atomic<int> sold{0};
        std::atomic<int> killedAt{-1};
        std::thread killer([&] {
            while (sold.load() < killAfter)
                QThread::msleep(2);
            ClusterDb::nodeCommand("kill-node", 3);
            killedAt.store(sold.load());
        });
        QList<qint64> told, unknown;
        QStringList failures;
        int attempted = 0;
        while (attempted < stock && (killedAt.load() < 0 || attempted < killedAt.load() + afterKill)) {
            const qint64 stone = stones[attempted++];
            const invoices::SellOutcome o = invoices::sellStoneOnInvoice(ws, stone, c, "1.01", "3500");
            if (o.result == invoices::SellResult::Done)
                told << stone;
            else if (o.message.contains("not known"))
                unknown << stone;
            else
                failures << o.message;
            sold.fetch_add(1);
        }
        killer.join();
        const bool restarted = ClusterDb::nodeCommand("start-node", 3);

        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
        QVERIFY2(unknown.size() <= 1, qPrintable(QString::number(unknown.size())));
        QVERIFY(db::clusterInfo(ws.db()).node != QStringLiteral("127.0.0.1:%1").arg(ClusterDb::port(3)));
        const QStringList moves = prompt.messages().filter("cannot be reached any more");
        QCOMPARE(moves.size(), 1);
        for (qint64 s : stones) {
            const int lines = e.count("SELECT COUNT(*) FROM invoicelist WHERE diamondid=?", {s});
            const QString status = e.value("SELECT Status FROM SingleStone WHERE ID=?", {s}).toString();
            if (told.contains(s)) {
                QCOMPARE(lines, 1);
                QCOMPARE(status, QStringLiteral("Sold"));
            } else if (unknown.contains(s)) {
                QCOMPARE(lines, status == QLatin1String("Sold") ? 1 : 0);
            } else {
                QCOMPARE(lines, 0);
                QCOMPARE(status, QStringLiteral("Stock"));
            }
        }
        QCOMPARE(told.size() + unknown.size(), attempted);
        QVERIFY2(attempted < stock, "the stream ran out before the node was gone");
        QVERIFY(told.contains(stones[attempted - 1])); // sold on the node it moved to
        const QString errors = booksErrors(e.c.db());
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
        QCOMPARE(e.count("SELECT COUNT(*) FROM invoice WHERE customerid=?", {c}), 1);
        QVERIFY(restarted);
    }
};

QTEST_GUILESS_MAIN(tst_cluster)
#include "tst_cluster.moc"
