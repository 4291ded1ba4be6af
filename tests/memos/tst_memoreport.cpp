// The memo and consignment report's rows and payment sums against generated
// stones and payments, compared with the report's rules written here in C++:
// every view, narrowed to one party or to one kind of stone.
#include "../stones/StoneTestEnv.h"
#include "memos/MemoReport.h"

#include <QRandomGenerator>
#include <QtTest>
#include <functional>
#include <optional>

using namespace velmor;
using velmor::test::StoneEnv;

namespace {

struct Gen {
    qint64 id = 0;
    QString sku, status;
    std::optional<int> paidOff;
    qint64 customer = 0, consignor = 0, supplier = 0; // 0: Null
    qint64 recdUS = 0, recdLocal = 0, madeUS = 0, madeLocal = 0; // cents
    bool hasReceived = false, hasMade = false;
};

using Setter = std::function<void(memos::ReportFilter &)>;

bool eqi(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool unpaidSold(const Gen &s) { return eqi(s.status, "Sold") && s.paidOff.value_or(0) == 0; }

// The report's rules over the stones in memory.
bool shown(const Gen &s, const memos::ReportFilter &f)
{
    switch (f.view) {
    case memos::ReportFilter::MemoOut:
        if (!(eqi(s.status, "Memo") || unpaidSold(s)) || !s.hasReceived)
            return false;
        if (f.partyId && s.customer != f.partyId)
            return false;
        if (f.memoOnly && !eqi(s.status, "Memo"))
            return false;
        return !f.preSoldOnly || unpaidSold(s);
    case memos::ReportFilter::MemoIn:
        return s.consignor != 0 && (!f.partyId || s.consignor == f.partyId) && s.hasMade;
    case memos::ReportFilter::Suppliers:
        if (!((f.statusMemo && eqi(s.status, "Memo")) || (f.statusStock && eqi(s.status, "Stock"))
              || (f.statusPreSold && unpaidSold(s))))
            return false;
        return (!f.partyId || s.supplier == f.partyId) && s.hasMade;
    }
    return false;
}

qint64 cents(const QString &money) { return qRound64(QString(money).remove(',').toDouble() * 100); }

} // namespace

class tst_memoreport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsAndSums_data();
    void rowsAndSums();

private:
    std::unique_ptr<StoneEnv> env;
    QList<Gen> stones;
    qint64 custA = 0, custB = 0, consignor = 0, supplier = 0;
};

void tst_memoreport::initTestCase()
{
    env = std::make_unique<StoneEnv>();
    custA = env->customer("Alpha Jewellers");
    custB = env->customer("Beta Bijoux");
    consignor = env->customer("Cutter Consigning", true);
    supplier = env->customer("Mine Supply", true);
    const QStringList statuses = {"Memo", "memo", "Sold", "Stock", "returned", "Vendor"};
    QRandomGenerator rnd(29);
    auto var = [](qint64 v) { return v ? QVariant(v) : QVariant(); };
    for (int i = 0; i < 240; ++i) {
        Gen g;
        g.sku = QStringLiteral("M%1").arg(i, 3, 10, QLatin1Char('0'));
        g.status = statuses.at(rnd.bounded(int(statuses.size())));
        const int paid = rnd.bounded(3);
        if (paid < 2)
            g.paidOff = paid == 0 ? 0 : -1;
        g.customer = i % 4 == 0 ? 0 : (i % 3 ? custA : custB);
        g.consignor = i % 5 == 0 ? consignor : 0;
        g.supplier = i % 3 == 0 ? supplier : 0;
        g.id = db::insert(env->t.db(),
                          "INSERT INTO SingleStone (SKU, Status, StoneIsPaidOff, CustomerID, ConsignmentInCustomerID, "
                          "SupplierID, Shape, Carat, SellPriceUS, BoughtPriceUS, BuyingInUS) "
                          "VALUES (?, ?, ?, ?, ?, ?, 'Oval', 1.1, 2000, 900, -1)",
                          {g.sku, g.status, g.paidOff ? QVariant(*g.paidOff) : QVariant(), var(g.customer),
                           var(g.consignor), var(g.supplier)});
        // None, one or several payments each way; an amount may be Null
        // (the zero row written when a stone goes out has 0).
        for (const char *table : {"PaymentReceived", "PaymentMade"}) {
            const bool received = QLatin1String(table) == QLatin1String("PaymentReceived");
            const int n = rnd.bounded(4) == 0 ? 0 : 1 + rnd.bounded(3);
            for (int k = 0; k < n; ++k) {
                const qint64 us = rnd.bounded(3) == 0 ? 0 : rnd.bounded(100000);
                const bool nullLocal = rnd.bounded(4) == 0;
                const qint64 local = nullLocal ? 0 : rnd.bounded(100000);
                db::exec(env->t.db(),
                         QStringLiteral("INSERT INTO %1 (StoneID, PaymentUS, PaymentLocal) VALUES (?, ?, ?)")
                             .arg(QLatin1String(table)),
                         {g.id, QString::number(us / 100.0, 'f', 2),
                          nullLocal ? QVariant() : QVariant(QString::number(local / 100.0, 'f', 2))});
                (received ? g.recdUS : g.madeUS) += us;
                (received ? g.recdLocal : g.madeLocal) += local;
                (received ? g.hasReceived : g.hasMade) = true;
            }
        }
        stones << g;
    }
}

void tst_memoreport::rowsAndSums_data()
{
    QTest::addColumn<Setter>("set");
    auto row = [](const char *name, Setter s) { QTest::newRow(name) << s; };
    using F = memos::ReportFilter;
    row("memo out", [](F &) {});
    row("memo out, memo only", [](F &f) { f.memoOnly = true; });
    row("memo out, presold only (Null paid-off counts as unpaid)", [](F &f) { f.preSoldOnly = true; });
    row("memo out, one customer", [this](F &f) { f.partyId = custB; });
    row("memo in", [](F &f) { f.view = F::MemoIn; });
    row("memo in, one consignor", [this](F &f) { f.view = F::MemoIn, f.partyId = consignor; });
    row("suppliers, every status", [](F &f) { f.view = F::Suppliers; });
    row("suppliers, stock of one supplier", [this](F &f) {
        f.view = F::Suppliers, f.statusMemo = f.statusPreSold = false, f.partyId = supplier;
    });
}

void tst_memoreport::rowsAndSums()
{
    QFETCH(Setter, set);
    memos::ReportFilter f;
    f.orderBy = "SKU";
    set(f);
    QList<const Gen *> expected;
    for (const Gen &s : stones)
        if (shown(s, f))
            expected << &s;
    const memos::Report r = memos::runReport(env->ctx, f);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(r.rows.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const Gen &g = *expected.at(i);
        const memos::ReportRow &row = r.rows.at(i);
        QCOMPARE(row.stoneId, g.id);
        QCOMPARE(cents(row.cells.at(16)), g.recdUS);
        QCOMPARE(cents(row.cells.at(17)), g.recdLocal);
        QCOMPARE(cents(row.cells.at(21)), g.madeUS);
        QCOMPARE(cents(row.cells.at(22)), g.madeLocal);
        QCOMPARE(qRound64(row.paid * 100), g.recdUS);
    }
}

QTEST_GUILESS_MAIN(tst_memoreport)
#include "tst_memoreport.moc"
