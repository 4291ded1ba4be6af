// The memo and consignment report's rows and payment sums against generated
// stones and payments, compared with the report's rules written here in C++:
// every view, narrowed to one party or to one kind of stone, and every cell
// of every row (texts, dates, price basis, costs, days out).
#include "../stones/StoneTestEnv.h"
#include "core/Figures.h"
#include "memos/MemoReport.h"
#include "pricing/Grades.h"

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
    // What the cells show.
    qint64 sheet = 0;                // 0: Null
    QString lot, lab, cert;          // cert may be Null ("")
    int colour = 0, clarity = 0;
    double carat = 0, dim1 = 0, dim2 = 0, dim3 = 0;
    int basis = 0;                   // 0 none, 1 PaidOffUS, 2 PaidOffPercentageUS, 3 PaidOffLocal, 4 PaidOffPercentageLocal
    qint64 sellUS = 0, memoUS = 0, memoLocal = 0, boughtUS = 0, boughtLocal = 0; // cents
    bool costLocal = false;
    QDateTime changed, onMemo;       // invalid: Null
};

using Setter = std::function<void(memos::ReportFilter &)>;

// A money cell: its prefix and its amount in cents.
std::pair<QString, qint64> money(const QString &cell)
{
    const int blank = int(cell.lastIndexOf(QLatin1Char(' ')));
    return {cell.left(blank + 1), qRound64(cell.mid(blank + 1).remove(QLatin1Char(',')).toDouble() * 100)};
}
qint64 cents(double v) { return qint64(std::floor(v * 100.0 + 0.5)); }

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

const QStringList kCaptions = {"Alpha Jewellers", "Beta Bijoux", "Cutter Consigning", "Mine Supply"};

} // namespace

class tst_memoreport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsAndSums_data();
    void rowsAndSums();

private:
    void compareCells(const Gen &g, const memos::ReportFilter &f, const memos::ReportRow &row);
    std::unique_ptr<StoneEnv> env;
    QList<Gen> stones;
    qint64 custA = 0, custB = 0, consignor = 0, supplier = 0, sheetRef = 0, sheetBare = 0;
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
    sheetRef = db::insert(env->t.db(), "INSERT INTO memosheet (Date, CustomerID, Reference) VALUES (NOW(), ?, 'R-17')",
                          {custA});
    sheetBare = db::insert(env->t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {custB});
    const QList<int> colours = {10, 15, 25, 60, 95}, clarities = {4, 20, 45, 89, 101};
    const QDateTime base(QDate(2026, 3, 14), QTime(23, 45, 10));
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
        g.sheet = i % 3 == 0 ? 0 : (i % 2 ? sheetRef : sheetBare);
        g.lot = i % 7 ? QStringLiteral("L%1").arg(i) : QString();
        g.lab = QStringLiteral("GIA");
        g.cert = i % 6 ? QString::number(2200000 + i) : QString();
        g.colour = colours.at(i % colours.size());
        g.clarity = clarities.at((i / 5) % clarities.size());
        // Values that DECIMAL columns hold exactly.
        g.carat = (300 + (i % 17) * 137) / 1000.0;
        g.dim1 = (4100 + (i % 5) * 335) / 1000.0, g.dim2 = 4.125, g.dim3 = (2500 + (i % 3) * 255) / 1000.0;
        g.basis = rnd.bounded(5);
        g.sellUS = 100000 + rnd.bounded(900000);
        g.memoUS = 50000 + rnd.bounded(900000);
        g.memoLocal = 50000 + rnd.bounded(900000);
        g.costLocal = i % 4 == 1;
        g.boughtUS = 20000 + rnd.bounded(500000);
        g.boughtLocal = 20000 + rnd.bounded(500000);
        if (i % 5)
            g.changed = base.addDays(-i);
        if (i % 8)
            g.onMemo = base.addDays(-3 * i);
        auto money = [](qint64 c) { return QString::number(c / 100.0, 'f', 2); };
        auto flag = [&g](int b) { return g.basis == b ? -1 : 0; };
        g.id = db::insert(env->t.db(),
                          "INSERT INTO SingleStone (SKU, Status, StoneIsPaidOff, CustomerID, ConsignmentInCustomerID, "
                          "SupplierID, Shape, Carat, SellPriceUS, BoughtPriceUS, BuyingInUS, MemoSheetID, Lot, "
                          "Laboratory, Certificate, Colour, Clarity, Cut, Dim1, Dim2, Dim3, MemoUS, MemoLocal, "
                          "PaidOffUS, PaidOffPercentageUS, PaidOffLocal, PaidOffPercentageLocal, BoughtPriceLocal, "
                          "BuyingInLocal, DateStatusChange, DateOnMemo) "
                          "VALUES (?, ?, ?, ?, ?, ?, 'Oval', ?, ?, ?, ?, ?, ?, 'GIA', ?, ?, ?, 'Very Good', ?, ?, ?, "
                          "?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                          {g.sku, g.status, g.paidOff ? QVariant(*g.paidOff) : QVariant(), var(g.customer),
                           var(g.consignor), var(g.supplier), QString::number(g.carat, 'f', 3), money(g.sellUS),
                           money(g.boughtUS), g.costLocal ? 0 : -1, var(g.sheet),
                           g.lot.isEmpty() ? QVariant() : QVariant(g.lot), g.cert.isEmpty() ? QVariant() : QVariant(g.cert),
                           g.colour, g.clarity, QString::number(g.dim1, 'f', 3), QString::number(g.dim2, 'f', 3),
                           QString::number(g.dim3, 'f', 3), money(g.memoUS), money(g.memoLocal), flag(1),
                           flag(2), flag(3), flag(4), money(g.boughtLocal), g.costLocal ? -1 : 0,
                           g.changed.isValid() ? QVariant(g.changed) : QVariant(),
                           g.onMemo.isValid() ? QVariant(g.onMemo) : QVariant()});
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
    row("memo out, references and lots", [](F &f) { f.toggleMemoRef = f.skuLot = true; });
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
        compareCells(g, f, row);
        if (QTest::currentTestFailed())
            return;
    }
}

// Every cell of a row against the stone as it was written.
void tst_memoreport::compareCells(const Gen &g, const memos::ReportFilter &f, const memos::ReportRow &row)
{
    const QString sign = env->ctx.settings.currencyName() + QLatin1Char(' ');
    const QHash<qint64, QString> names = {{custA, kCaptions[0]}, {custB, kCaptions[1]}, {consignor, kCaptions[2]},
                                          {supplier, kCaptions[3]}};
    const qint64 party = f.view == memos::ReportFilter::MemoOut  ? g.customer
                         : f.view == memos::ReportFilter::MemoIn ? g.consignor
                         : f.supplierIsCustomer                  ? g.customer
                                                                 : g.supplier;
    const bool onMemo = eqi(g.status, "Memo");
    const QString reference = g.sheet == sheetRef ? QStringLiteral("R-17") : QString();
    const QStringList &c = row.cells;
    QCOMPARE(c.size(), 25);
    QCOMPARE(c.at(0), names.value(party));
    QCOMPARE(c.at(1), onMemo                    ? QStringLiteral("Memo#%1").arg(g.sheet)
                      : eqi(g.status, "Sold")  ? QStringLiteral("Sold")
                      : eqi(g.status, "Stock") ? QStringLiteral("Stock")
                                               : QStringLiteral("unknown"));
    QCOMPARE(c.at(2), f.toggleMemoRef ? reference : g.sheet ? QString::number(g.sheet) : QString());
    QCOMPARE(c.at(3), g.paidOff.value_or(0) ? QStringLiteral("YES") : QStringLiteral("NO"));
    QCOMPARE(c.at(4), g.changed.isValid() ? g.changed.toString("yyyy-MM-dd") : QString());
    QCOMPARE(c.at(5), f.skuLot ? g.lot : g.sku);
    QCOMPARE(c.at(6), QStringLiteral("Oval"));
    QCOMPARE(c.at(7), g.lab + QLatin1Char(' ') + g.cert);
    QCOMPARE(c.at(8), QString::number(g.carat, 'f', 2));
    QCOMPARE(c.at(9), pricing::GetDiamondGradeColourModule(env->t.db(), g.colour));
    QCOMPARE(c.at(10), pricing::GetDiamondGradeClarityModule(env->t.db(), g.clarity));
    QCOMPARE(c.at(11), QStringLiteral("Very Good"));
    QCOMPARE(c.at(12), QStringLiteral("%1x%2x%3").arg(g.dim1, 0, 'f', 2).arg(g.dim2, 0, 'f', 2).arg(g.dim3, 0, 'f', 2));
    QCOMPARE(c.at(13), QString::number(g.id));
    // The price by its basis, per carat rounded to cents; in US dollars the
    // price agreed on the memo for a stone out on memo or sold from it.
    const bool local = g.basis >= 3;
    const bool agreed = g.basis == 1 || eqi(g.status, "Memo") || eqi(g.status, "Sold");
    // The US price at the rate: exactly, to the cent.
    const double atRate = double(velmor::Decimal5::fromUnits(g.sellUS * 1000)
                                     .times(velmor::Decimal5::fromDouble(env->ctx.exchangeRateCDN), 2)
                                     .units())
                          / velmor::Decimal5::kScale;
    const double price = g.basis == 3   ? g.memoLocal / 100.0
                         : g.basis == 4 ? atRate
                         : agreed       ? g.memoUS / 100.0
                                        : g.sellUS / 100.0;
    const QString prefix = local ? sign : QStringLiteral("US$ ");
    const qint64 paid = local ? g.recdLocal : g.recdUS;
    // Per carat from the price to the cent, halves away from zero, exactly.
    QCOMPARE(money(c.at(14)),
             std::make_pair(prefix, velmor::Decimal5::fromUnits(cents(price) * 1000)
                                            .dividedBy(velmor::Decimal5::parse(QString::number(g.carat, 'f', 3)).value(), 2)
                                            .units()
                                        / 1000));
    QCOMPARE(money(c.at(15)), std::make_pair(prefix, cents(price)));
    QCOMPARE(money(c.at(18)), std::make_pair(prefix, cents(price) - paid));
    QCOMPARE(row.local, local);
    QCOMPARE(qRound64(row.paid * 100), paid);
    QCOMPARE(qRound64(row.balance * 100), cents(price) - paid);
    const qint64 cost = g.costLocal ? g.boughtLocal : g.boughtUS;
    const QString costPrefix = g.costLocal ? sign : QStringLiteral("US$ ");
    QCOMPARE(money(c.at(19)), std::make_pair(costPrefix, cents(cost / 100.0 / g.carat)));
    QCOMPARE(money(c.at(20)), std::make_pair(costPrefix, cost));
    QCOMPARE(money(c.at(23)), std::make_pair(costPrefix, cost - (g.costLocal ? g.madeLocal : g.madeUS)));
    QCOMPARE(c.at(24), onMemo && g.onMemo.isValid()
                           ? QString::number(g.onMemo.date().daysTo(QDate::currentDate()))
                           : QString());
    QCOMPARE(row.memoId, !onMemo ? QString()
                         : reference.isEmpty() ? QString::number(g.sheet)
                                               : QStringLiteral("Memo#%1 - Ref# R-17").arg(g.sheet));
    QCOMPARE(row.measurement, QStringLiteral("%1 x %2 x %3").arg(g.dim1).arg(g.dim2).arg(g.dim3));
}

QTEST_GUILESS_MAIN(tst_memoreport)
#include "tst_memoreport.moc"
