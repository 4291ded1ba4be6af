// The stock count's rows: what each kind of scan becomes, a scan told twice
// written once, nothing written to a closed count, rights on every write,
// parcels against the tolerance, stones that leave stock while the count
// runs, the report kept at the closing, the workstation's journal, the books
// check's rules, and two workstations at once.
#include "StoneTestEnv.h"
#include "WorkstationThread.h"
#include "shell/BooksCheck.h"
#include "stones/ScanJournal.h"
#include "stones/StockCount.h"
#include "stones/StockCountReport.h"

#include <QFile>
#include <QtTest>
#include <atomic>

using namespace velmor;
using namespace velmor::stones;
using velmor::test::StoneEnv;
using velmor::test::WorkstationThread;

namespace {

struct CountEnv : StoneEnv {
    qint64 stoneAt(const QString &sku, const QString &location, const QString &status = "Stock", qint64 customer = 0)
    {
        const qint64 id = stone(sku, status, customer);
        db::exec(t.db(), "UPDATE SingleStone SET Location = ?, BoughtPriceUS = 2500 WHERE ID = ?",
                 {location.isEmpty() ? QVariant() : QVariant(location), id});
        return id;
    }
    qint64 parcel(const QString &sku, const QString &carat)
    {
        return db::insert(t.db(), "INSERT INTO parcel (SKU, Shape, Carat) VALUES (?, 'Round Brilliant [BR]', ?)",
                          {sku, carat});
    }
    Desk joined(qint64 countId)
    {
        QString why;
        const auto d = joinCount(ctx, countId, "test desk", &why);
        if (!d)
            qWarning("join refused: %s", qPrintable(why));
        return d.value_or(Desk{});
    }
    ScanOutcome scan(const Desk &d, const QString &code)
    {
        return recordScan(ctx, d, ScanInput{newScanToken(), code, "keyboard", QDateTime::currentDateTime()});
    }
    int rows(const QString &table, qint64 countId)
    {
        return count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CountID = ?").arg(table), {countId});
    }
};

QString label(qint64 id) { return QString::number(id) + QStringLiteral("01"); }

// The errors of the books check's count rules, "rule: n".
QStringList countRuleFindings(const QSqlDatabase &db)
{
    QStringList out;
    for (const books::RuleResult &r : books::checkBooks(db).results)
        if (r.rule.key.startsWith(QLatin1String("count-")) && !r.clean())
            out << r.rule.key + QStringLiteral(": ") + (r.failure.isEmpty() ? QString::number(r.rows.size()) : r.failure);
    return out;
}

} // namespace

class TestStockCount : public QObject {
    Q_OBJECT
private slots:
    void whatEachScanBecomes();
    void scanToldTwiceIsWrittenOnce();
    void closedCountTakesNothing();
    void everyWriteNeedsTheRight_data();
    void everyWriteNeedsTheRight();
    void parcelsAgainstTheTolerance_data();
    void parcelsAgainstTheTolerance();
    void stonesLeavingStockAreNotMissing();
    void reportFiguresAndCosts();
    void journalKeepsWhatWasNotWritten();
    void booksCheckFindsBrokenCountRows_data();
    void booksCheckFindsBrokenCountRows();
    void twoWorkstationsOnOneStone();
    void closingWhileAnotherWorkstationScans();
    void settingTheLocationOfStonesFound();
    void lostConnectionIsOpenedAgain();
};

void TestStockCount::whatEachScanBecomes()
{
    CountEnv e;
    const qint64 lumen = e.customer("Lumen Jewellers");
    const qint64 bright = e.customer("Brightwater & Co");
    const qint64 vendor = e.customer("Antwerp Rough", true);
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {lumen});
    const qint64 s1 = e.stoneAt("S-1", "Safe 1"), s2 = e.stoneAt("S-2", "safe 1 "), s3 = e.stoneAt("S-3", "Safe 1");
    const qint64 office = e.stoneAt("OF-1", "Office");
    const qint64 memo = e.stoneAt("M-1", "Safe 1", "Memo", lumen);
    db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID = ? WHERE ID = ?", {sheet, memo});
    const qint64 sold = e.stoneAt("SO-1", "Safe 1", "Sold", bright);
    const qint64 returned = e.stoneAt("RV-1", "Safe 1", "returned");
    db::exec(e.t.db(), "UPDATE SingleStone SET SupplierID = ? WHERE ID = ?", {vendor, returned});
    const qint64 back = e.stoneAt("BK-1", "Safe 1", "Memo", lumen);

    const CountOutcome started = startCount(e.ctx, "Safe one", "Safe 1");
    QVERIFY2(started.ok, qPrintable(started.error));
    // Stones in stock at the location (its letter case and a trailing blank aside).
    QCOMPARE(started.figures.expected, 3);
    // Back from memo after the count started: in stock here now.
    db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Stock', CustomerID = NULL WHERE ID = ?", {back});
    const Desk d = e.joined(started.id);
    QVERIFY(d.id);

    struct Case {
        const char *what;
        QString code;
        ScanResult result;
        qint64 stone;
        QString place;
    };
    const QList<Case> cases = {
        {"a stone paper's barcode", label(s1), ScanResult::Found, s1, {}},
        {"the same label again", label(s1), ScanResult::Twice, s1, {}},
        {"an SKU typed in small letters with blanks", QStringLiteral(" s-2 \r\n"), ScanResult::Found, s2, {}},
        {"a label with a scanner's start and end characters", QChar(2) + label(s3) + QChar(3), ScanResult::Found, s3, {}},
        {"a stone on memo", label(memo), ScanResult::Unexpected, memo,
         QStringLiteral("on memo with Lumen Jewellers (memo sheet %1)").arg(sheet)},
        {"a sold stone by its SKU", QStringLiteral("SO-1"), ScanResult::Unexpected, sold, "sold to Brightwater & Co"},
        {"a stone returned to its vendor", label(returned), ScanResult::Unexpected, returned,
         "returned to the vendor Antwerp Rough"},
        {"a stone in stock elsewhere", label(office), ScanResult::Unexpected, office, "in stock at Office"},
        {"a stone back in stock since the start", label(back), ScanResult::Found, back, {}},
        {"a code that is no stone", QStringLiteral("ZX-99-FOREIGN"), ScanResult::Unknown, 0, {}},
        {"a number that is no stone's label", QStringLiteral("99999901"), ScanResult::Unknown, 0, {}},
    };
    for (const Case &c : cases) {
        const ScanOutcome o = e.scan(d, c.code);
        QVERIFY2(o.state == ScanOutcome::Written, c.what);
        QVERIFY2(o.result == c.result, qPrintable(QString("%1: %2").arg(c.what, scanResultWord(o.result))));
        QVERIFY2(o.stoneId == c.stone, c.what);
        QVERIFY2(o.place == c.place, qPrintable(QString("%1: %2").arg(c.what, o.place)));
    }
    const CountFigures f = countFigures(e.t.db(), started.id);
    QCOMPARE(f.expected, 4); // the stone back from memo joined
    QCOMPARE(f.found, 4);
    QCOMPARE(f.unexpected, 4);
    QCOMPARE(f.twice, 1);
    QCOMPARE(f.unknown, 2);
    QCOMPARE(f.scans, int(cases.size()));
    // Every scan carries its time and its user.
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountscan WHERE UserID = 7 AND ScannedAt IS NOT NULL AND "
                     "WrittenAt IS NOT NULL"),
             int(cases.size()));
    QVERIFY2(countRuleFindings(e.t.db()).isEmpty(), qPrintable(countRuleFindings(e.t.db()).join(", ")));
}

void TestStockCount::scanToldTwiceIsWrittenOnce()
{
    CountEnv e;
    const qint64 s = e.stoneAt("T-1", {});
    const CountOutcome c = startCount(e.ctx, {}, {});
    QVERIFY(c.ok);
    const Desk d = e.joined(c.id);
    const ScanInput told{newScanToken(), label(s), "serial", QDateTime::currentDateTime()};
    const ScanOutcome first = recordScan(e.ctx, d, told);
    QCOMPARE(first.state, ScanOutcome::Written);
    // Sent again (a retry after a lost answer, a journal replayed after a kill).
    const ScanOutcome again = recordScan(e.ctx, d, told);
    QCOMPARE(again.state, ScanOutcome::AlreadyWritten);
    QCOMPARE(again.result, ScanResult::Found);
    QCOMPARE(again.sku, QStringLiteral("T-1"));
    QCOMPARE(e.rows("stockcountscan", c.id), 1);
    // Still after the closing: it is in the count, not refused.
    QVERIFY(closeCount(e.ctx, c.id).ok);
    QCOMPARE(recordScan(e.ctx, d, told).state, ScanOutcome::AlreadyWritten);
    QCOMPARE(e.rows("stockcountscan", c.id), 1);
}

void TestStockCount::closedCountTakesNothing()
{
    CountEnv e;
    const qint64 s = e.stoneAt("C-1", {});
    e.parcel("P-1", "3.5");
    const CountOutcome c = startCount(e.ctx, "Closing", {});
    const Desk d = e.joined(c.id);
    QCOMPARE(e.scan(d, label(s)).result, ScanResult::Found);
    const CountOutcome closed = closeCount(e.ctx, c.id);
    QVERIFY2(closed.ok, qPrintable(closed.error));
    QCOMPARE(e.value("SELECT ScansAtClose FROM stockcount WHERE ID = ?", {c.id}).toInt(), 1);

    const QString word = QStringLiteral("Stock count %1 is closed; nothing more can be written to it.").arg(c.id);
    const ScanOutcome late = e.scan(d, label(s));
    QCOMPARE(late.state, ScanOutcome::Refused);
    QCOMPARE(late.message, word);
    QString why;
    QVERIFY(!joinCount(e.ctx, c.id, "late desk", &why));
    QCOMPARE(why, word);
    const WeighOutcome w = weighParcel(e.ctx, c.id, "P-1", "3.5");
    QVERIFY(!w.ok);
    QCOMPARE(w.error, word);
    const CountOutcome twice = closeCount(e.ctx, c.id);
    QVERIFY(!twice.ok);
    QCOMPARE(twice.error, word);
    QVERIFY(!closeCount(e.ctx, 999999).ok);
    QCOMPARE(e.rows("stockcountscan", c.id), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountparcel WHERE Weighed IS NOT NULL"), 0);
    QVERIFY2(countRuleFindings(e.t.db()).isEmpty(), qPrintable(countRuleFindings(e.t.db()).join(", ")));
    // Closing changed no stone.
    QCOMPARE(e.value("SELECT Status FROM SingleStone WHERE ID = ?", {s}).toString(), QStringLiteral("Stock"));
}

void TestStockCount::everyWriteNeedsTheRight_data()
{
    QTest::addColumn<int>("userId");
    QTest::addColumn<bool>("allowEdit");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("nobody logged on") << 0 << false << "Please log on first.";
    QTest::newRow("logged off after the right was given") << 0 << true << "Please log on first.";
    QTest::newRow("a user without the right")
        << 9 << false << "No Permission, please login or contact the System Administrator!";
}

void TestStockCount::everyWriteNeedsTheRight()
{
    QFETCH(int, userId);
    QFETCH(bool, allowEdit);
    QFETCH(QString, refusal);
    CountEnv e;
    const qint64 s = e.stoneAt("R-1", "Safe");
    e.parcel("P-R", "1.0");
    const CountOutcome open = startCount(e.ctx, "Open", {});
    const Desk d = e.joined(open.id);
    e.ctx.user.ID = userId;
    e.ctx.user.AllowEdit = allowEdit;

    const CountOutcome start = startCount(e.ctx, "Refused", {});
    QCOMPARE(start.error, refusal);
    QString why;
    QVERIFY(!joinCount(e.ctx, open.id, "desk", &why));
    QCOMPARE(why, refusal);
    const ScanOutcome scan = e.scan(d, label(s));
    QCOMPARE(scan.state, ScanOutcome::Refused);
    QCOMPARE(scan.message, refusal);
    QCOMPARE(weighParcel(e.ctx, open.id, "P-R", "1.0").error, refusal);
    QCOMPARE(closeCount(e.ctx, open.id).error, refusal);
    QCOMPARE(setStoneLocation(e.ctx, {s}, "Office", &why), -1);
    QCOMPARE(why, refusal);
    // Nothing was written.
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcount"), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountdesk"), 1);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountscan"), 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountparcel WHERE Weighed IS NOT NULL"), 0);
    QCOMPARE(e.value("SELECT Status FROM stockcount").toString(), QStringLiteral("open"));
    QCOMPARE(e.value("SELECT Location FROM SingleStone WHERE ID = ?", {s}).toString(), QStringLiteral("Safe"));
}

void TestStockCount::parcelsAgainstTheTolerance_data()
{
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<QString>("sku");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("difference");
    QTest::addColumn<bool>("beyond");
    QTest::newRow("as on hand") << "" << "P-A" << "12.5" << "" << "0.00000" << false;
    QTest::newRow("within the default 0.01") << "" << "P-A" << "12.51" << "" << "0.01000" << false;
    QTest::newRow("beyond the default") << "" << "P-A" << "12.489" << "" << "-0.01100" << true;
    QTest::newRow("within a tolerance of 0.05") << "0.05" << "P-A" << "12.45" << "" << "-0.05000" << false;
    QTest::newRow("a parcel not on hand at the start") << "" << "P-EMPTY" << "0.20" << "" << "0.20000" << true;
    QTest::newRow("by its ID") << "" << "#ID" << "12.5" << "" << "0.00000" << false;
    QTest::newRow("a comma decimal refused") << "" << "P-A" << "12,5" << "Weighed carats" << "" << false;
    QTest::newRow("a negative weight refused") << "" << "P-A" << "-1" << "Weighed carats" << "" << false;
    QTest::newRow("nothing typed") << "" << "P-A" << "" << "Type the carats weighed." << "" << false;
    QTest::newRow("no such parcel") << "" << "P-NONE" << "1" << "There is no parcel \"P-NONE\"." << "" << false;
    QTest::newRow("an SKU two parcels share") << "" << "P-TWIN" << "1" << "Several parcels carry the SKU" << ""
                                              << false;
}

void TestStockCount::parcelsAgainstTheTolerance()
{
    QFETCH(QString, tolerance);
    QFETCH(QString, sku);
    QFETCH(QString, typed);
    QFETCH(QString, error);
    QFETCH(QString, difference);
    QFETCH(bool, beyond);
    CountEnv e;
    const qint64 a = e.parcel("P-A", "12.50000");
    e.parcel("P-EMPTY", "0");
    e.parcel("P-TWIN", "1");
    e.parcel("P-TWIN", "2");
    const CountOutcome c = startCount(e.ctx, {}, {}, tolerance);
    QVERIFY2(c.ok, qPrintable(c.error));
    QCOMPARE(c.figures.parcels, 3); // the empty parcel is not on hand
    if (sku == QLatin1String("#ID"))
        sku = QString::number(a);
    const WeighOutcome w = weighParcel(e.ctx, c.id, sku, typed);
    if (!error.isEmpty()) {
        QVERIFY2(!w.ok && w.error.contains(error), qPrintable(w.error));
        QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountparcel WHERE Weighed IS NOT NULL"), 0);
        return;
    }
    QVERIFY2(w.ok, qPrintable(w.error));
    QCOMPARE(w.line.difference().toDb(), difference);
    QCOMPARE(w.beyond, beyond);
    // A second weighing replaces the first.
    QVERIFY(weighParcel(e.ctx, c.id, sku, w.line.onHand.toDb()).ok);
    const CountReport r = countReport(e.ctx, c.id);
    QCOMPARE(r.parcelDifferences, 0);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountparcel WHERE CountID = ? AND Weighed IS NOT NULL", {c.id}), 1);
}

void TestStockCount::stonesLeavingStockAreNotMissing()
{
    CountEnv e;
    const qint64 buyer = e.customer("Brightwater & Co");
    const qint64 kept = e.stoneAt("L-KEPT", "Safe"), sold = e.stoneAt("L-SOLD", "Safe"),
                 memo = e.stoneAt("L-MEMO", "Safe"), lost = e.stoneAt("L-LOST", "Safe");
    const CountOutcome c = startCount(e.ctx, {}, "Safe");
    const Desk d = e.joined(c.id);
    QCOMPARE(e.scan(d, label(kept)).result, ScanResult::Found);
    // Another workstation sells one and puts one on memo while the count runs.
    db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Sold', CustomerID = ? WHERE ID = ?", {buyer, sold});
    db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Memo', CustomerID = ? WHERE ID = ?", {buyer, memo});
    auto check = [&](const CountReport &r) {
        QCOMPARE(r.missing.size(), 1);
        QCOMPARE(r.missing.first().stoneId, lost);
        QCOMPARE(r.missing.first().listValue.toDb(), QStringLiteral("5050.00000")); // 5000 x 1.01
        QCOMPARE(r.leftStock.size(), 2);
        QCOMPARE(r.leftStock.at(0).sku, QStringLiteral("L-MEMO"));
        QCOMPARE(r.leftStock.at(0).place, QStringLiteral("on memo with Brightwater & Co"));
        QCOMPARE(r.leftStock.at(1).sku, QStringLiteral("L-SOLD"));
        QCOMPARE(r.leftStock.at(1).place, QStringLiteral("sold to Brightwater & Co"));
    };
    check(countReport(e.ctx, c.id));
    QVERIFY(closeCount(e.ctx, c.id).ok);
    check(countReport(e.ctx, c.id));
    // The closed count reads as it was closed, whatever happens afterwards.
    db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Stock', CustomerID = NULL WHERE ID IN (?, ?)", {sold, memo});
    db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice = 9000, Status = 'Sold' WHERE ID = ?", {lost});
    check(countReport(e.ctx, c.id));
}

void TestStockCount::reportFiguresAndCosts()
{
    CountEnv e;
    const qint64 a = e.stoneAt("V-A", {}), b = e.stoneAt("V-B", {});
    e.stoneAt("V-C", {});
    db::exec(e.t.db(), "UPDATE SingleStone SET RapaportPrice = 4321.5, Carat = 0.333, BoughtPriceUS = 999.995 WHERE ID = ?",
             {b});
    const CountOutcome c = startCount(e.ctx, "Values", {});
    const Desk d = e.joined(c.id);
    e.scan(d, "V-C");
    e.scan(d, "=HYPERLINK(\"http://x\")");
    e.ctx.user.ViewCost = false;
    CountReport r = countReport(e.ctx, c.id);
    QVERIFY(!r.withCost);
    QCOMPARE(r.missing.size(), 2);
    // 4321.5 x 0.333 = 1439.0595: to the cent, half away from zero.
    QCOMPARE(r.missing.at(1).listValue.toDb(), QStringLiteral("1439.06000"));
    QCOMPARE(r.missingValue.toDb(), QStringLiteral("6489.06000"));
    QVERIFY(!reportText(r).contains(QLatin1String("Cost")));
    QTemporaryDir dir;
    const QString csv = dir.filePath("count.csv");
    QVERIFY(writeCountCsv(r, csv, nullptr));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY(!text.contains(QLatin1String("Cost")));
    QVERIFY(!text.contains(QLatin1String("2500")));
    // A scanned code a spreadsheet would run is written as text.
    QVERIFY2(text.contains(QLatin1String("\"'=HYPERLINK(\"\"http://x\"\")\"")), qPrintable(text));
    e.ctx.user.ViewCost = true;
    r = countReport(e.ctx, c.id);
    QVERIFY(r.withCost);
    QCOMPARE(r.missingCost.toDb(), QStringLiteral("3499.99500"));
    QVERIFY2(reportText(r).contains(QLatin1String("cost US$ 3,500.00")), qPrintable(reportText(r)));
    QCOMPARE(r.missing.first().stoneId, a);
}

void TestStockCount::journalKeepsWhatWasNotWritten()
{
    QTemporaryDir dir;
    Workstation ws(dir.path(), dir.path());
    ScanJournal j(ws);
    const ScanInput a = j.tell(5, " 1201\r\n", "serial");
    const ScanInput b = j.tell(5, "1301", "serial");
    const ScanInput other = j.tell(6, "1401", "keyboard");
    QCOMPARE(a.code, QStringLiteral("1201"));
    QCOMPARE(j.waiting(5).size(), 2);
    j.done(a.token);
    const QList<ScanInput> left = j.waiting(5);
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first().token, b.token);
    QCOMPARE(left.first().code, QStringLiteral("1301"));
    QCOMPARE(left.first().toldAt.toString(Qt::ISODateWithMs), b.toldAt.toString(Qt::ISODateWithMs));
    QCOMPARE(j.countsWaiting(), (QList<qint64>{5, 6}));
    // A line cut short by a kill was never sent: it is left out.
    {
        QFile f(j.path());
        QVERIFY(f.open(QIODevice::Append));
        f.write("T\tcut-token\t5\tserial");
    }
    QCOMPARE(j.waiting(5).size(), 1);
    j.done(b.token);
    j.done(other.token);
    QVERIFY(j.countsWaiting().isEmpty());
    QCOMPARE(QFileInfo(j.path()).size(), 0); // emptied once nothing waits
}

void TestStockCount::booksCheckFindsBrokenCountRows_data()
{
    QTest::addColumn<QString>("breakage");
    QTest::addColumn<QString>("rule");
    QTest::newRow("a scan of a count that is gone")
        << "UPDATE stockcountscan SET CountID = 999999 WHERE Result = 'unknown'" << "count-scan-target";
    QTest::newRow("an unknown code without its code")
        << "UPDATE stockcountscan SET Code = '' WHERE Result = 'unknown'" << "count-scan-target";
    QTest::newRow("a stone scan without a result")
        << "UPDATE stockcountscan SET Result = 'maybe' WHERE Result = 'found'" << "count-scan-target";
    QTest::newRow("a second found scan of one stone")
        << "UPDATE stockcountscan SET Result = 'found' WHERE Result = 'twice'" << "count-stone-once";
    QTest::newRow("a stone marked found without its scan")
        << "DELETE FROM stockcountscan WHERE Result = 'found'" << "count-stone-once";
    QTest::newRow("a scan written after the closing")
        << "UPDATE stockcountscan SET WrittenAt = NOW() + INTERVAL 1 HOUR WHERE Result = 'unknown'"
        << "count-closed-written";
    QTest::newRow("a scan added after the closing")
        << "INSERT INTO stockcountscan (CountID, Token, Code, Result, WrittenAt) SELECT ID, 'hand-made', 'X', "
           "'unknown', ClosedAt FROM stockcount"
        << "count-closed-written";
    QTest::newRow("a weighing after the closing")
        << "UPDATE stockcountparcel SET Weighed = 1, WeighedAt = NOW() + INTERVAL 1 DAY" << "count-closed-written";
    QTest::newRow("a workstation left open") << "UPDATE stockcountdesk SET IsOpen = -1" << "count-closed-written";
}

void TestStockCount::booksCheckFindsBrokenCountRows()
{
    QFETCH(QString, breakage);
    QFETCH(QString, rule);
    CountEnv e;
    const qint64 s = e.stoneAt("B-1", {});
    e.parcel("P-B", "2");
    const CountOutcome c = startCount(e.ctx, {}, {});
    const Desk d = e.joined(c.id);
    e.scan(d, label(s));
    e.scan(d, label(s));
    e.scan(d, "NOT-A-STONE");
    QVERIFY(closeCount(e.ctx, c.id).ok);
    QVERIFY2(countRuleFindings(e.t.db()).isEmpty(), qPrintable(countRuleFindings(e.t.db()).join(", ")));
    db::exec(e.t.db(), breakage);
    const QStringList found = countRuleFindings(e.t.db());
    QVERIFY2(found.filter(rule + ":").size() == 1, qPrintable(found.join(", ")));
}

// Two workstations scan the same stones at the same moment: each stone is
// found once, the other scan is noted as twice.
void TestStockCount::twoWorkstationsOnOneStone()
{
    CountEnv e;
    QList<qint64> stones;
    for (int i = 0; i < 40; ++i)
        stones << e.stoneAt(QStringLiteral("W-%1").arg(i), {});
    const CountOutcome c = startCount(e.ctx, {}, {});
    std::atomic<int> ready{0};
    auto side = [&](AppContext &ctx, test::ScriptedPrompt &) {
        QString why;
        const auto d = joinCount(ctx, c.id, "thread", &why);
        ready.fetch_add(1);
        if (!d) {
            qWarning("join refused: %s", qPrintable(why));
            return;
        }
        while (ready.load() < 2)
            std::this_thread::yield();
        for (qint64 s : stones) {
            const ScanOutcome o = recordScan(ctx, *d, ScanInput{newScanToken(), label(s), "serial", {}});
            if (o.state != ScanOutcome::Written)
                qWarning("scan not written: %s", qPrintable(o.message));
        }
    };
    {
        WorkstationThread a(e.t.settings(), side), b(e.t.settings(), side);
        a.join();
        b.join();
        QVERIFY(a.error().isEmpty() && b.error().isEmpty());
    }
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountscan WHERE Result = 'found'"), 40);
    QCOMPARE(e.count("SELECT COUNT(*) FROM stockcountscan WHERE Result = 'twice'"), 40);
    QCOMPARE(countFigures(e.t.db(), c.id).found, 40);
    QVERIFY2(countRuleFindings(e.t.db()).isEmpty(), qPrintable(countRuleFindings(e.t.db()).join(", ")));
}

// A count closed while another workstation scans: every scan is written
// before the closing or refused, none after it.
void TestStockCount::closingWhileAnotherWorkstationScans()
{
    CountEnv e;
    QList<qint64> stones;
    for (int i = 0; i < 300; ++i)
        stones << e.stoneAt(QStringLiteral("Z-%1").arg(i), {});
    const CountOutcome c = startCount(e.ctx, {}, {});
    std::atomic<int> written{0}, refused{0};
    WorkstationThread scanner(e.t.settings(), [&](AppContext &ctx, test::ScriptedPrompt &) {
        QString why;
        const auto d = joinCount(ctx, c.id, "thread", &why);
        if (!d)
            return;
        for (qint64 s : stones) {
            const ScanOutcome o = recordScan(ctx, *d, ScanInput{newScanToken(), label(s), "serial", {}});
            (o.state == ScanOutcome::Written ? written : refused).fetch_add(1);
        }
    });
    QTRY_VERIFY(written.load() > 20);
    QVERIFY(closeCount(e.ctx, c.id).ok);
    scanner.join();
    QVERIFY2(refused.load() > 0, "the scanner finished before the closing");
    QCOMPARE(e.rows("stockcountscan", c.id), written.load());
    QCOMPARE(e.value("SELECT ScansAtClose FROM stockcount WHERE ID = ?", {c.id}).toInt(), written.load());
    QVERIFY2(countRuleFindings(e.t.db()).isEmpty(), qPrintable(countRuleFindings(e.t.db()).join(", ")));
}

void TestStockCount::settingTheLocationOfStonesFound()
{
    CountEnv e;
    const qint64 here = e.stoneAt("N-1", "Safe"), moved = e.stoneAt("N-2", "Office"), gone = e.stoneAt("N-3", "Safe");
    const CountOutcome c = startCount(e.ctx, {}, "Safe");
    const Desk d = e.joined(c.id);
    e.scan(d, label(here));
    QCOMPARE(e.scan(d, label(moved)).result, ScanResult::Unexpected);
    const QList<FoundStone> found = foundStones(e.t.db(), c.id);
    QCOMPARE(found.size(), 2);
    QVERIFY(closeCount(e.ctx, c.id).ok);
    const QString rndBefore = e.value("SELECT RND FROM SingleStone WHERE ID = ?", {gone}).toString();
    QString why;
    // The stone already there does not move; the one from the office does.
    QCOMPARE(setStoneLocation(e.ctx, {here, moved}, " Safe ", &why), 1);
    QCOMPARE(e.value("SELECT Location FROM SingleStone WHERE ID = ?", {moved}).toString(), QStringLiteral("Safe"));
    QCOMPARE(e.value("SELECT RND FROM SingleStone WHERE ID = ?", {gone}).toString(), rndBefore);
    QCOMPARE(setStoneLocation(e.ctx, {here}, QString(300, QLatin1Char('x')), &why), -1);
    QVERIFY(why.contains(QLatin1String("255")));
}

// The server drops the workstation's connection (a restart, a network
// blip): the scan opens it again and is written once.
void TestStockCount::lostConnectionIsOpenedAgain()
{
    CountEnv e;
    const qint64 s = e.stoneAt("LC-1", {});
    const CountOutcome c = startCount(e.ctx, {}, {});
    const Desk d = e.joined(c.id);
    const qint64 connection = e.value("SELECT CONNECTION_ID()").toLongLong();
    {
        QSqlDatabase other = e.t.secondConnection("killer");
        db::exec(other, QStringLiteral("KILL CONNECTION %1").arg(connection));
    }
    const ScanOutcome o = e.scan(d, label(s));
    QVERIFY2(o.state == ScanOutcome::Written, qPrintable(o.message));
    QCOMPARE(o.result, ScanResult::Found);
    QVERIFY(e.value("SELECT CONNECTION_ID()").toLongLong() != connection);
    QCOMPARE(e.rows("stockcountscan", c.id), 1);
}

QTEST_GUILESS_MAIN(TestStockCount)
#include "tst_stockcount.moc"
