// Memo sheets on the dealer's inventory: a sheet of 300 stones opened on the
// stone-on-memo screen, one stone put on memo, the bulk return of the whole
// sheet, and the memo-out report over every stone out on memo.  The literal
// road walks the rows one by one, a query per step, as the record sets did.
#include "Scenarios.h"

#include "db/Sql.h"
#include "memos/MemoMoves.h"
#include "memos/MemoReport.h"
#include "memos/MemoSheetView.h"
#include "pricing/Grades.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>

namespace velmor::bench {

namespace {

constexpr int kSheetStones = 300;
const QStringList kMoved = {QStringLiteral("SingleStone"), QStringLiteral("Memo"), QStringLiteral("StoneChange"),
                            QStringLiteral("PaymentReceived"), QStringLiteral("memosheet")};

// The literal grid load: every row, its grade words looked up one by one.
void literalOpen(const QSqlDatabase &db, qint64 sheet)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT * FROM singlestone WHERE MemoSheetID=%1 ORDER BY dateonmemo DESC").arg(sheet));
    while (q.next()) {
        const QSqlRecord r = q.record();
        pricing::GetDiamondGradeColourModule(db, r.value(QStringLiteral("Colour")).toInt());
        pricing::GetDiamondGradeClarityModule(db, r.value(QStringLiteral("Clarity")).toInt());
    }
}

// The literal movement: each row read and written on its own, no transaction.
void literalMove(const QSqlDatabase &db, qint64 sheet, qint64 customer, qint64 stone, bool out)
{
    auto run = [&db](const QString &sql) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw db::DbError(q.lastError().text(), sql);
        return q;
    };
    QSqlQuery s = run(QStringLiteral("SELECT * FROM SingleStone WHERE id=%1").arg(stone));
    s.next();
    const QString sku = s.value(QStringLiteral("SKU")).toString();
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (out)
        run(QStringLiteral("UPDATE SingleStone SET Status='Memo', DateOnMemo='%1', currentRAPdiscountFORmemo=30, "
                           "MemoUS=NULL, MemoLocal=NULL, CustomerID=%2, MemoSheetID=%3, DateStatusChange='%1' WHERE ID=%4")
                .arg(now).arg(customer).arg(sheet).arg(stone));
    else
        run(QStringLiteral("UPDATE SingleStone SET Status='Stock', CustomerID=NULL, DateStatusChange=NULL, MemoUS=NULL, "
                           "MemoLocal=NULL, MemoSheetID=NULL WHERE ID=%1")
                .arg(stone));
    QSqlQuery c = run(QStringLiteral("SELECT * FROM Customer WHERE ID=%1").arg(customer));
    c.next();
    const QString status =
        ((out ? QStringLiteral("out ") : QStringLiteral("in ")) + c.value(QStringLiteral("CompanyName")).toString()).left(20);
    QSqlQuery ins(db);
    ins.prepare(QStringLiteral("INSERT INTO StoneChange (SKU, StoneID, Date, Status, EmployeeID, LockPercent, Canadian) "
                               "VALUES (?, ?, ?, ?, 1, 0, 0)"));
    ins.addBindValue(sku);
    ins.addBindValue(stone);
    ins.addBindValue(now);
    ins.addBindValue(status);
    ins.exec();
    run(QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, userID, Quantity, MemoSheetID, US, Local) "
                       "VALUES ('%1', %2, %3, 1, %4, %5, %6, %6)")
            .arg(now).arg(customer).arg(stone).arg(out ? 1 : -1).arg(sheet).arg(out ? QStringLiteral("NULL") : QStringLiteral("0")));
    if (out)
        run(QStringLiteral("INSERT INTO PaymentReceived (Date, PaymentUS, PaymentLocal, StoneID, CustomerID) "
                           "VALUES ('%1', 0, 0, %2, %3)")
                .arg(now).arg(stone).arg(customer));
}

QList<qint64> stockStones(const QSqlDatabase &db, int count)
{
    QList<qint64> ids;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone WHERE Status='Stock' ORDER BY ID LIMIT %1").arg(count));
    while (q.next())
        ids << q.value(0).toLongLong();
    return ids;
}

} // namespace

void runMemoScenarios(SizeEnv &env)
{
    bool any = false;
    for (const char *name : {"memo sheet open (300 stones)", "put on memo (per stone)", "memo bulk return (300 stones)",
                             "memo-out report (all stones out)", "memo-out report (every memo with its zero payment row)"})
        any = any || env.bench.wants(QString::fromLatin1(name));
    if (!any)
        return;
    BenchContext ctx(env);
    const QSqlDatabase db = env.workDb();
    const qint64 customer =
        db::scalar(db, QStringLiteral("SELECT ID FROM Customer WHERE Customer<>0 ORDER BY ID LIMIT 1")).toLongLong();
    const qint64 sheet = db::insert(db, QStringLiteral("INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)"), {customer});
    // 300 stones (fewer on a tiny inventory).
    const QList<qint64> stones = stockStones(db, kSheetStones);
    if (stones.isEmpty() || customer == 0) {
        env.bench.failed(QStringLiteral("memo sheet"), env.size, QStringLiteral("no stones in stock or no customer"));
        return;
    }
    // The sheet of 300 stones, set-based, as the starting state of every road.
    auto resetSheet = [&env, db, sheet, customer] {
        env.restoreWork(kMoved);
        db::exec(db, QStringLiteral("INSERT INTO memosheet (ID, Date, CustomerID) VALUES (?, NOW(), ?) "
                                    "ON DUPLICATE KEY UPDATE CustomerID=VALUES(CustomerID)"),
                 {sheet, customer});
    };
    auto fillSheet = [resetSheet, db, sheet, customer, stones] {
        resetSheet();
        QStringList idList;
        for (qint64 id : stones)
            idList << QString::number(id);
        const QString in = idList.join(QLatin1Char(','));
        db::exec(db, QStringLiteral("UPDATE SingleStone SET Status='Memo', MemoSheetID=?, CustomerID=?, DateOnMemo=NOW(), "
                                    "currentRAPdiscountFORmemo=30 WHERE ID IN (%1)").arg(in),
                 {sheet, customer});
        db::exec(db, QStringLiteral("INSERT INTO Memo (setdate, CustomerID, DiamondID, userID, Quantity, MemoSheetID) "
                                    "SELECT NOW(), ?, ID, 1, 1, ? FROM SingleStone WHERE ID IN (%1)").arg(in),
                 {customer, sheet});
    };

    const QString open = QStringLiteral("memo sheet open (300 stones)");
    if (env.bench.wants(open)) {
        fillSheet();
        env.bench.measure(open, env.size,
                          {Road{QStringLiteral("velmor"), {}, [&ctx, sheet] { memos::loadMemoSheet(*ctx, sheet); }},
                           Road{QStringLiteral("literal"), {}, [db, sheet] { literalOpen(db, sheet); }, true}});
    }

    const QString put = QStringLiteral("put on memo (per stone)");
    if (env.bench.wants(put)) {
        constexpr int kPut = 20;
        auto prepare = resetSheet;
        const QList<qint64> some = stones.mid(0, kPut);
        env.bench.measure(put, env.size,
                          {Road{QStringLiteral("velmor"), prepare,
                                [&ctx, sheet, some] {
                                    for (qint64 id : some)
                                        if (!memos::putOnMemo(*ctx, sheet, id, QStringLiteral("30"), 1, QStringLiteral("5000")).ok())
                                            throw db::DbError(QStringLiteral("not put on memo: ") + ctx.prompt().last);
                                },
                                false, int(some.size())},
                           Road{QStringLiteral("literal"), prepare,
                                [db, sheet, customer, some] {
                                    for (qint64 id : some)
                                        literalMove(db, sheet, customer, id, true);
                                },
                                true, int(some.size())}});
    }

    const QString bulk = QStringLiteral("memo bulk return (300 stones)");
    if (env.bench.wants(bulk)) {
        env.bench.measure(bulk, env.size,
                          {Road{QStringLiteral("velmor"), fillSheet,
                                [&ctx, sheet, stones] {
                                    if (memos::returnAll(*ctx, sheet, 1).moved != stones.size())
                                        throw db::DbError(QStringLiteral("bulk return: ") + ctx.prompt().last);
                                }},
                           Road{QStringLiteral("literal"), fillSheet,
                                [db, sheet, customer, stones] {
                                    for (qint64 id : stones)
                                        literalMove(db, sheet, customer, id, false);
                                },
                                true}});
    }

    // The literal report: one query for the stones, then one per stone for
    // its payments.
    auto literalReport = [db] {
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT SingleStone.* FROM SingleStone WHERE SingleStone.Status='Memo' "
                              "OR (SingleStone.Status='Sold' AND SingleStone.StoneIsPaidOff=0)"));
        while (q.next()) {
            QSqlQuery p(db);
            p.exec(QStringLiteral("SELECT SUM(PaymentUS), SUM(PaymentLocal) FROM PaymentReceived WHERE StoneID=%1")
                       .arg(q.value(QStringLiteral("ID")).toLongLong()));
            p.next();
        }
    };
    const QString report = QStringLiteral("memo-out report (all stones out)");
    if (env.bench.wants(report)) {
        env.restoreWork(kMoved);
        env.bench.measure(report, env.size,
                          {Road{QStringLiteral("velmor"), {},
                                [&ctx] { memos::runReport(*ctx, memos::ReportFilter()); }},
                           Road{QStringLiteral("literal"), {}, literalReport, true}});
    }
    // The generated books have no payment row for a stone on memo; the
    // program writes a zero row for each stone it puts on memo, and the
    // report lists every stone out that has one.  The same report on books
    // where every stone on memo has its zero row: some ten times the rows.
    const QString zeroRows = QStringLiteral("memo-out report (every memo with its zero payment row)");
    if (env.bench.wants(zeroRows)) {
        env.restoreWork(kMoved);
        db::exec(db, QStringLiteral("INSERT INTO PaymentReceived (Date, Reference, PaymentUS, PaymentLocal, StoneID, "
                                    "CustomerID) SELECT s.DateOnMemo, NULL, 0, 0, s.ID, s.CustomerID FROM SingleStone s "
                                    "WHERE s.Status='Memo' AND NOT EXISTS (SELECT 1 FROM PaymentReceived p "
                                    "WHERE p.StoneID=s.ID)"));
        env.bench.measure(zeroRows, env.size,
                          {Road{QStringLiteral("velmor"), {},
                                [&ctx] { memos::runReport(*ctx, memos::ReportFilter()); }},
                           Road{QStringLiteral("literal"), {}, literalReport, true}});
    }
    env.restoreWork(kMoved);
}

} // namespace velmor::bench
