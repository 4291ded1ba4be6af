// The stone search's filters against generated stones, compared with a filter
// written here in C++ over the same stones; the totals, the order and the
// grid's texts.
#include "StoneTestEnv.h"
#include "stones/StoneSearch.h"

#include <QRandomGenerator>
#include <QtTest>
#include <functional>
#include <optional>

using namespace velmor;
using namespace velmor::stones;
using velmor::test::StoneEnv;

namespace {

struct Gen {
    qint64 id = 0;
    QString sku, cert, lot, status, shape, lab, cut, fluor;
    qint64 customer = 0;
    std::optional<int> paidOff, labDia, itemId;
    int hereOnMemo = 0, canadian = 0, finished = 0;
    int carat = 0; // hundredths
    std::optional<int> colour, clarity; // Null: not graded
    QDateTime created;
    std::optional<int> rap; // Null: not priced
};

using Filter = std::function<void(StoneSearchFilter &)>;

bool eqi(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Hundredths from a test's weight text ("" or not positive = 0).
int hundredths(const QString &t)
{
    const QString w = weightText(t);
    return w.isEmpty() ? 0 : qRound(w.toDouble() * 100);
}

// The screen's rules, written over the stones in memory.
bool matches(const Gen &s, const StoneSearchFilter &f)
{
    const bool cust = f.customerId > 0;
    const bool st = (f.returned && eqi(s.status, "returned")) || (f.inStock && eqi(s.status, "Stock"))
                    || (f.memo && eqi(s.status, "Memo") && (!cust || s.customer == f.customerId))
                    || (f.preSold && eqi(s.status, "Sold") && s.paidOff && *s.paidOff == 0)
                    || (f.sold && eqi(s.status, "Sold") && (!cust || s.customer == f.customerId));
    if (!st)
        return false;
    if (!f.sku.isEmpty() && !s.sku.startsWith(f.sku, Qt::CaseInsensitive))
        return false;
    if (!f.certificate.isEmpty() && !s.cert.startsWith(f.certificate, Qt::CaseInsensitive))
        return false;
    if (!f.lot.isEmpty() && !s.lot.contains(f.lot, Qt::CaseInsensitive))
        return false;
    if (f.hereOnMemo && s.hereOnMemo == 0)
        return false;
    auto list = [](const QString &want, const QString &have) {
        return want.isEmpty() || want == "*" || eqi(want, have);
    };
    if (!list(f.cut, s.cut) || !list(f.fluorescence, s.fluor) || !list(f.shape, s.shape) || !list(f.lab, s.lab))
        return false;
    if (f.day.isValid() && s.created.date() != f.day)
        return false;
    if ((f.canadian && !s.canadian) || (f.notCanadian && s.canadian))
        return false;
    if ((f.labGrown && !(s.labDia && *s.labDia)) || (f.natural && s.labDia && *s.labDia))
        return false;
    if (f.finished && !s.finished)
        return false;
    if ((f.excludeBound && s.itemId) || (f.onlyBound && !s.itemId))
        return false;
    int lo = hundredths(f.lowWeight), hi = hundredths(f.highWeight);
    if (lo > 0 || hi > 0) {
        if (lo == 0 || hi == 0)
            lo = hi = std::max(lo, hi);
        if (lo > hi)
            std::swap(lo, hi);
        if (f.allowRange) {
            if (!(s.carat * 115 >= lo * 100 && s.carat * 85 <= hi * 100))
                return false;
        } else if (!(s.carat >= lo && s.carat <= hi)) {
            return false;
        }
    }
    // A stone without the grade never meets a condition on it.
    auto grade = [](const std::optional<int> &v, int a, int b) {
        if (a > 0 && b > 0)
            return v && *v >= std::min(a, b) && *v <= std::max(a, b);
        if (a > 0 || b > 0)
            return v && *v == std::max(a, b);
        return true;
    };
    return grade(s.clarity, f.lowClarity, f.highClarity) && grade(s.colour, f.lowColour, f.highColour);
}

QString caratText(int h) { return QString::number(h / 100) + "." + QString::number(h % 100).rightJustified(2, '0'); }

} // namespace

class TestStoneSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void filters_data();
    void filters();
    void sortingToggles();
    void gridTexts();
    void pagesJoinUp();
    void totalsOfAWholeScreenful();

private:
    std::unique_ptr<StoneEnv> env;
    QList<Gen> stones;
    qint64 custA = 0, custB = 0;
};

void TestStoneSearch::initTestCase()
{
    env = std::make_unique<StoneEnv>();
    custA = env->customer("Alpha Jewellers");
    custB = env->customer("O'Brien \\ Sons");
    const QStringList skus = {"A100", "A1000", "A%1", "A_1", "AB1", "O'Neil", "back\\slash", "a!b", "Z9", "a100x"};
    const QStringList certs = {"G123", "G12%", "G_9", "x'y", "\\c", "1234"};
    const QStringList lots = {"LOT-7", "my%lot", "a_b", "plain", "", "it's"};
    const QStringList statuses = {"Stock", "stock", "Memo", "Sold", "returned", "Vendor", "MEMO"};
    const QStringList shapes = {"Round Brilliant [BR]", "Princess", "Oval", "Pear%"};
    const QStringList labs = {"GIA", "AGS", "IGI"};
    const QStringList cuts = {"EX", "VG", "G", ""};
    const QStringList fluors = {"None", "Faint", "Strong"};
    const QList<int> colours = {0, 10, 15, 20, 40, 55, 90};
    const QList<int> clarities = {0, 4, 20, 40, 50, 60, 90};
    QRandomGenerator rnd(17);
    auto pick = [&](const auto &list) { return list.at(rnd.bounded(int(list.size()))); };
    const QDateTime base(QDate(2026, 3, 10), QTime(0, 0));
    const QList<int> weights = {30, 50, 85, 87, 100, 101, 115, 117, 120, 150, 200};
    for (int i = 0; i < 400; ++i) {
        Gen g;
        g.sku = pick(skus) + (i % 3 ? QString::number(i) : QString());
        g.cert = pick(certs) + QString::number(i % 7);
        g.lot = pick(lots);
        g.status = pick(statuses);
        g.customer = i % 5 == 0 ? 0 : (i % 2 ? custA : custB);
        if (i % 4)
            g.paidOff = (i % 3) ? 0 : -1;
        if (i % 3)
            g.labDia = (i % 7 == 0) ? -1 : 0;
        if (i % 6 == 0)
            g.itemId = i;
        g.hereOnMemo = i % 9 == 0 ? -1 : 0;
        g.canadian = i % 8 == 0 ? -1 : 0;
        g.finished = i % 10 == 0 ? -1 : 0;
        g.shape = pick(shapes);
        g.lab = pick(labs);
        g.cut = pick(cuts);
        g.fluor = pick(fluors);
        g.carat = pick(weights);
        if (i % 11) {
            g.colour = pick(colours);
            g.clarity = pick(clarities);
        }
        g.created = base.addSecs(qint64(rnd.bounded(3)) * 86400 + pick(QList<int>{0, 1, 43200, 86399}));
        if (i % 13)
            g.rap = 1000 + rnd.bounded(9000);
        auto opt = [](const std::optional<int> &o) { return o ? QVariant(*o) : QVariant(); };
        g.id = db::insert(env->t.db(),
                          "INSERT INTO SingleStone (SKU, Certificate, Lot, Status, CustomerID, StoneIsPaidOff, lab_dia, "
                          "ItemID, hereonmemo, Canadian, finishedpiece, Shape, Laboratory, Cut, Flourescence, Carat, "
                          "Colour, Clarity, DateCreated, RapaportPrice) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                          {g.sku, g.cert, g.lot, g.status, g.customer ? QVariant(g.customer) : QVariant(), opt(g.paidOff),
                           opt(g.labDia), opt(g.itemId), g.hereOnMemo, g.canadian, g.finished, g.shape, g.lab, g.cut,
                           g.fluor, caratText(g.carat), opt(g.colour), opt(g.clarity),
                           g.created.toString("yyyy-MM-dd HH:mm:ss"), opt(g.rap)});
        stones << g;
    }
}

void TestStoneSearch::filters_data()
{
    QTest::addColumn<Filter>("set");
    auto row = [](const char *name, Filter f) { QTest::newRow(name) << f; };
    auto all = [](StoneSearchFilter &f) { f.inStock = f.memo = f.returned = f.preSold = f.sold = true; };
    row("default: stock and memo", [](StoneSearchFilter &) {});
    row("no status ticked", [](StoneSearchFilter &f) { f.inStock = f.memo = false; });
    row("all statuses", all);
    row("returned only", [](StoneSearchFilter &f) { f.inStock = f.memo = false, f.returned = true; });
    row("presold: paid-off flag 0, Null left out", [](StoneSearchFilter &f) { f.inStock = f.memo = false, f.preSold = true; });
    row("memo and sold of one customer", [this](StoneSearchFilter &f) { f.sold = true, f.customerId = custA; });
    row("customer does not narrow stock", [this](StoneSearchFilter &f) { f.memo = false, f.customerId = custB; });
    row("SKU prefix", [all](StoneSearchFilter &f) { all(f), f.sku = "A1"; });
    row("SKU percent literal", [all](StoneSearchFilter &f) { all(f), f.sku = "A%"; });
    row("SKU underscore literal", [all](StoneSearchFilter &f) { all(f), f.sku = "A_"; });
    row("SKU quote", [all](StoneSearchFilter &f) { all(f), f.sku = "O'N"; });
    row("SKU backslash", [all](StoneSearchFilter &f) { all(f), f.sku = "back\\s"; });
    row("SKU escape character", [all](StoneSearchFilter &f) { all(f), f.sku = "a!"; });
    row("SKU lower case", [all](StoneSearchFilter &f) { all(f), f.sku = "ab"; });
    row("certificate prefix with %", [all](StoneSearchFilter &f) { all(f), f.certificate = "G12%"; });
    row("certificate backslash", [all](StoneSearchFilter &f) { all(f), f.certificate = "\\"; });
    row("lot substring", [all](StoneSearchFilter &f) { all(f), f.lot = "ot"; });
    row("lot percent", [all](StoneSearchFilter &f) { all(f), f.lot = "%"; });
    row("lot quote", [all](StoneSearchFilter &f) { all(f), f.lot = "'s"; });
    row("here on memo", [all](StoneSearchFilter &f) { all(f), f.hereOnMemo = true; });
    row("cut * is any", [all](StoneSearchFilter &f) { all(f), f.cut = "*"; });
    row("cut EX, shape, lab, fluorescence", [all](StoneSearchFilter &f) {
        all(f), f.cut = "EX", f.shape = "Round Brilliant [BR]", f.lab = "gia", f.fluorescence = "None";
    });
    row("shape with % matches only itself", [all](StoneSearchFilter &f) { all(f), f.shape = "Pear%"; });
    row("day", [all](StoneSearchFilter &f) { all(f), f.day = QDate(2026, 3, 11); });
    row("canadian", [all](StoneSearchFilter &f) { all(f), f.canadian = true; });
    row("not canadian", [all](StoneSearchFilter &f) { all(f), f.notCanadian = true; });
    row("lab grown", [all](StoneSearchFilter &f) { all(f), f.labGrown = true; });
    row("natural includes Null", [all](StoneSearchFilter &f) { all(f), f.natural = true; });
    row("finished", [all](StoneSearchFilter &f) { all(f), f.finished = true; });
    row("not bound", [all](StoneSearchFilter &f) { all(f), f.excludeBound = true; });
    row("only bound", [all](StoneSearchFilter &f) { all(f), f.onlyBound = true; });
    row("weights swapped", [all](StoneSearchFilter &f) { all(f), f.lowWeight = "1.20", f.highWeight = "1.00"; });
    row("one weight is exact", [all](StoneSearchFilter &f) { all(f), f.lowWeight = "1.01"; });
    row("high weight only, widened", [all](StoneSearchFilter &f) { all(f), f.highWeight = "1.00", f.allowRange = true; });
    row("range widened", [all](StoneSearchFilter &f) {
        all(f), f.lowWeight = "1.00", f.highWeight = "1.15", f.allowRange = true;
    });
    row("weight not a number is no filter", [all](StoneSearchFilter &f) { all(f), f.lowWeight = "1,5x"; });
    row("negative weight is no filter", [all](StoneSearchFilter &f) { all(f), f.lowWeight = "-1", f.highWeight = "1.5"; });
    row("colour range swapped", [all](StoneSearchFilter &f) { all(f), f.lowColour = 40, f.highColour = 15; });
    row("one clarity", [all](StoneSearchFilter &f) { all(f), f.highClarity = 40; });
    row("combination", [this](StoneSearchFilter &f) {
        f.sold = true, f.customerId = custB, f.lowWeight = "0.5", f.highWeight = "1.5", f.lowClarity = 20,
        f.highClarity = 60, f.lowColour = 10, f.highColour = 55, f.natural = true;
    });
}

void TestStoneSearch::filters()
{
    QFETCH(Filter, set);
    StoneSearchFilter f;
    set(f);
    QList<qint64> expected;
    qint64 rapSum = 0;
    QList<const Gen *> hits;
    for (const Gen &s : stones)
        if (matches(s, f))
            hits << &s;
    std::stable_sort(hits.begin(), hits.end(), [](const Gen *a, const Gen *b) {
        return a->carat != b->carat ? a->carat < b->carat : a->id < b->id;
    });
    for (const Gen *s : hits) {
        expected << s->id;
        rapSum += qint64(s->rap.value_or(0)) * s->carat;
    }
    QList<qint64> got;
    for (const SearchRow &r : searchRows(env->t.db(), f, SearchOrder()))
        got << r.id;
    QCOMPARE(got, expected);
    const SearchTotals t = searchTotals(env->t.db(), f);
    QCOMPARE(t.count, qint64(expected.size()));
    QCOMPARE(qRound64(t.rapSum * 100), rapSum);
}

void TestStoneSearch::sortingToggles()
{
    SearchOrder o;
    QCOMPARE(o.column(), QString("Carat"));
    o.click("Cert#");
    QCOMPARE(o.column(), QString("SKU"));
    QVERIFY(!o.descending());
    o.click("SKU"); // the same column: toggles
    QVERIFY(o.descending());
    o.click("Weight");
    QCOMPARE(o.column(), QString("Carat"));
    QVERIFY(!o.descending());
    o.click("Polish");
    QCOMPARE(o.column(), QString("RapaportPrice"));

    StoneSearchFilter f;
    f.inStock = f.memo = f.returned = f.preSold = f.sold = true;
    // Descending is ascending backwards, ties (same SKU) included.
    SearchOrder up, down;
    up.click("SKU");
    down.click("SKU");
    down.click("SKU");
    QList<qint64> asc, desc;
    for (const SearchRow &r : searchRows(env->t.db(), f, up))
        asc.prepend(r.id);
    for (const SearchRow &r : searchRows(env->t.db(), f, down))
        desc << r.id;
    QVERIFY(desc.size() > 100); // every status but the vendor stones
    QCOMPARE(desc, asc);
}

void TestStoneSearch::gridTexts()
{
    const qint64 cust = env->customer("Grid Co");
    const qint64 id = db::insert(
        env->t.db(),
        "INSERT INTO SingleStone (SKU, Status, CustomerID, Canadian, finishedpiece, Shape, Laboratory, Certificate, "
        "Carat, Colour, Clarity, Dim1, Dim2, Dim3, RapPriceOnDateBought, RapaportPrice, BoughtPriceUS, SellPriceUS, "
        "SellOffRap, DateOnMemo) VALUES ('GRID1', 'Memo', ?, -1, -1, 'Oval', 'GIA', '555', 1.5, 15, 89, 7.1, 5, "
        "3.333, 0, 4000, 2500, 4200, 30, '2026-01-05 10:00:00')",
        {cust});
    StoneSearchFilter f;
    f.sku = "GRID";
    const QList<SearchRow> rows = searchRows(env->t.db(), f, SearchOrder());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].id, id);
    const QStringList c = searchColumns();
    auto cell = [&](const char *col) { return rows[0].cells.value(c.indexOf(col)); };
    QCOMPARE(cell("SKU"), QString("GRID1  >CANADIAN<"));
    QCOMPARE(cell("Type"), QString("F"));
    QCOMPARE(cell("#"), QString("MEMO Jan  5, 26"));
    QCOMPARE(cell("Customer"), QString("Grid Co"));
    QCOMPARE(cell("Cert#"), QString("GIA 555"));
    QCOMPARE(cell("Weight"), QString("1.50"));
    QCOMPARE(cell("Colour"), QString("D/E"));
    QCOMPARE(cell("Clarity"), QString("I1+"));
    QCOMPARE(cell("Measurement"), QString("7.10x5.00x3.33"));
    QCOMPARE(cell("RAP then | current"), QString("0.00 ||| 4000.00"));
    QCOMPARE(cell("RAP /Stone then | current"), QString("0.00 ||| 6000.00"));
    // No list price when bought: no discount, rather than a division by zero.
    QCOMPARE(cell("bought | off-RAP"), QString("$2500.00"));
    QCOMPARE(cell("sell / Stone"), QString("$4200.00 at 30.00% off RAP Jan  5, 2026"));
    QCOMPARE(cell("RapPerStone"), QString("6000.00"));
    db::exec(env->t.db(), "DELETE FROM SingleStone WHERE ID = ?", {id});
}

void TestStoneSearch::pagesJoinUp()
{
    StoneSearchFilter f;
    f.inStock = f.memo = f.returned = f.preSold = f.sold = true;
    const QList<SearchRow> all = searchRows(env->t.db(), f, SearchOrder());
    QList<qint64> paged;
    for (int off = 0;; off += 64) {
        const QList<SearchRow> page = searchRows(env->t.db(), f, SearchOrder(), off, 64);
        for (const SearchRow &r : page)
            paged << r.id;
        if (page.size() < 64)
            break;
    }
    QList<qint64> ids;
    for (const SearchRow &r : all)
        ids << r.id;
    QCOMPARE(paged, ids);
}

void TestStoneSearch::totalsOfAWholeScreenful()
{
    // A screenful that holds the whole result has its totals summed from its
    // own rows: to the last bit what the server's sum gives, or, where a
    // stored figure cannot be read back exactly, the server's sum itself.
    const qint64 cust = env->customer("Totals & Co");
    const QList<std::pair<const char *, const char *>> figures = {
        {"12345.67891", "0.00001"}, {"0.00001", "1.23456"},  {"99999.99999", "99.99999"},
        {"7.5", "3.33333"},         {nullptr, "2.00000"},    {"1234567890.12345", "0.31000"},
        {"0.1", "0.70000"},         {"0.2", "0.10000"},      {"-5.25", "1.10000"},
        // Products whose sum in doubles ends one bit away from the exact sum.
        {"6718.62058", "6.09068"},  {"703.61079", "6.35018"}, {"141.39018", "9.52966"}, {"8992.25579", "4.92026"}};
    QList<qint64> added;
    auto addStone = [&](const char *rap, const char *carat) {
        added << db::insert(env->t.db(),
                            "INSERT INTO SingleStone (SKU, Status, CustomerID, Carat, RapaportPrice) "
                            "VALUES (?, 'Memo', ?, ?, ?)",
                            {QStringLiteral("TOT%1").arg(added.size()), cust, QString::fromLatin1(carat),
                             rap ? QVariant(QString::fromLatin1(rap)) : QVariant()});
    };
    for (const auto &[rap, carat] : figures)
        addStone(rap, carat);
    StoneSearchFilter f;
    f.inStock = false;
    f.customerId = cust;
    const SearchTotals server = searchTotals(env->t.db(), f);
    const FirstPage page = firstPage(env->t.db(), f, SearchOrder(), 50);
    QCOMPARE(page.rows.size(), figures.size());
    const std::optional<SearchTotals> own = totalsOfRows(page.rows);
    QVERIFY(own.has_value());
    QCOMPARE(own->count, server.count);
    QVERIFY2(own->rapSum == server.rapSum, qPrintable(QString::number(own->rapSum, 'g', 17) + " against "
                                                      + QString::number(server.rapSum, 'g', 17)));
    QVERIFY(page.totals && page.totals->rapSum == server.rapSum && page.totals->count == server.count);

    // Nineteen digits are more than a double holds: the server sums.
    addStone("12345678901234.56789", "1.00000");
    const FirstPage wide = firstPage(env->t.db(), f, SearchOrder(), 50);
    QVERIFY(!totalsOfRows(wide.rows).has_value());
    const SearchTotals wideServer = searchTotals(env->t.db(), f);
    QVERIFY(wide.totals && wide.totals->rapSum == wideServer.rapSum && wide.totals->count == wideServer.count);

    for (qint64 id : added)
        db::exec(env->t.db(), "DELETE FROM SingleStone WHERE ID = ?", {id});
}

QTEST_GUILESS_MAIN(TestStoneSearch)
#include "tst_stonesearch.moc"
