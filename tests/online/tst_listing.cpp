// The online listing against a second database on the test server: the row
// follows the stone (grading, prices, on memo), a stone kept out of the
// listing or another dealer's row is left alone, a sold stone's row goes,
// and an unreachable listing is reported once without holding anything up.
#include "TestDb.h"
#include "core/Workstation.h"
#include "online/Listing.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
using namespace velmor::online;
using namespace velmor::test;

namespace {

int addStone(const QSqlDatabase &db, const QString &status, bool keptOut = false, bool showPrice = true)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Cut, Laboratory, Certificate,"
        " SellPriceUS, SellOffRap, Status, DontPublishOnLustrabay, PublishPriceOnLustrabay)"
        " VALUES ('A1','Round',1.01,(SELECT MIN(Number) FROM DiamondGrades WHERE Colour<>0 AND Clarity=0),"
        " NULL,'Ex','GIA','1234567',5050.00,-35,?,?,?)"));
    q.addBindValue(status);
    q.addBindValue(keptOut ? 1 : 0);
    q.addBindValue(showPrice ? 1 : 0);
    if (!q.exec())
        qFatal("%s", qPrintable(q.lastError().text()));
    return q.lastInsertId().toInt();
}

void listRow(const QSqlDatabase &listing, int stoneId, const QString &vendor)
{
    QSqlQuery q(listing);
    q.prepare(QStringLiteral("INSERT INTO Stones (velmorstoneid, vendorid, sku) VALUES (?,?,'old')"));
    q.addBindValue(stoneId);
    q.addBindValue(vendor);
    QVERIFY(q.exec());
}

QVariantList row(const QSqlDatabase &listing, int stoneId, const QString &vendor)
{
    QSqlQuery q(listing);
    q.prepare(QStringLiteral("SELECT sku, weight, colour, clarity, price_per_carat, total_price,"
                             " off_rap, stone_is_on_memo FROM Stones WHERE velmorstoneid=? AND vendorid=?"));
    q.addBindValue(stoneId);
    q.addBindValue(vendor);
    QVariantList out;
    if (q.exec() && q.next())
        for (int i = 0; i < 8; ++i)
            out << q.value(i);
    return out;
}

} // namespace

class tst_listing : public QObject {
    Q_OBJECT
private slots:
    void followsTheStone();
    void unreachableIsToldOnceAndNothingElseHappens();
};

void tst_listing::followsTheStone()
{
    TestDb velmorDb;
    TestDb listingDb(TestDb::Shape::Empty);
    createListingTable(listingDb.db());
    QTemporaryDir dir;
    Workstation ws{dir.path(), dir.path()};

    // Without the file nothing is configured and nothing is sent.
    {
        Listing none(ws);
        QVERIFY(!none.configured());
        QVERIFY(!none.remove(1));
        QVERIFY(none.failure().isEmpty());
    }

    QVERIFY(ws.writeLines(ListingSettings::fileName(),
                          {QStringLiteral("# the listing"),
                           QStringLiteral("socket=") + TestDb::socketPath(),
                           QStringLiteral("user=root"),
                           QStringLiteral("database=") + listingDb.name(),
                           QStringLiteral("vendor=D'42")}));
    const QString vendor = QStringLiteral("D'42");

    const int onMemo = addStone(velmorDb.db(), QStringLiteral("Memo"));
    const int inStock = addStone(velmorDb.db(), QStringLiteral("Stock"), false, false);
    const int keptOut = addStone(velmorDb.db(), QStringLiteral("Memo"), true);
    const int notListed = addStone(velmorDb.db(), QStringLiteral("Memo"));
    for (int id : {onMemo, inStock, keptOut})
        listRow(listingDb.db(), id, vendor);
    listRow(listingDb.db(), onMemo, QStringLiteral("other"));

    Listing listing(ws);
    QVERIFY(listing.configured());
    QVERIFY(listing.update(velmorDb.db(), onMemo));
    QVariantList r = row(listingDb.db(), onMemo, vendor);
    QCOMPARE(r.value(0).toString(), QStringLiteral("A1"));
    QCOMPARE(r.value(1).toDouble(), 1.01);
    QVERIFY(!r.value(2).toString().isEmpty());
    QVERIFY(r.value(3).isNull());
    QCOMPARE(r.value(4).toDouble(), 5000.0);
    QCOMPARE(r.value(5).toDouble(), 5050.0);
    QCOMPARE(r.value(6).toDouble(), -35.0);
    QCOMPARE(r.value(7).toInt(), 1);
    QCOMPARE(row(listingDb.db(), onMemo, QStringLiteral("other")).value(0).toString(), QStringLiteral("old"));

    // Price hidden: no prices in the listing; not on memo.
    QVERIFY(listing.update(velmorDb.db(), inStock));
    r = row(listingDb.db(), inStock, vendor);
    QVERIFY(r.value(4).isNull() && r.value(5).isNull() && r.value(6).isNull());
    QCOMPARE(r.value(7).toInt(), 0);

    QVERIFY(!listing.update(velmorDb.db(), keptOut));
    QCOMPARE(row(listingDb.db(), keptOut, vendor).value(0).toString(), QStringLiteral("old"));
    QVERIFY(!listing.update(velmorDb.db(), notListed));
    QVERIFY(row(listingDb.db(), notListed, vendor).isEmpty());

    QVERIFY(listing.remove(onMemo));
    QVERIFY(row(listingDb.db(), onMemo, vendor).isEmpty());
    QVERIFY(!row(listingDb.db(), onMemo, QStringLiteral("other")).isEmpty());
    QVERIFY(!listing.remove(onMemo));
    QVERIFY(listing.failure().isEmpty());
}

void tst_listing::unreachableIsToldOnceAndNothingElseHappens()
{
    TestDb velmorDb;
    QTemporaryDir dir;
    Workstation ws{dir.path(), dir.path()};
    QVERIFY(ws.writeLines(ListingSettings::fileName(),
                          {QStringLiteral("socket=") + dir.path() + QStringLiteral("/no.sock"),
                           QStringLiteral("database=listing"), QStringLiteral("vendor=7")}));
    const int stone = addStone(velmorDb.db(), QStringLiteral("Memo"));
    Listing listing(ws);
    QVERIFY(!listing.update(velmorDb.db(), stone));
    const QString told = listing.failure();
    QVERIFY2(told.contains(QStringLiteral("online listing could not be reached")), qPrintable(told));
    QVERIFY(!listing.remove(stone));
    QCOMPARE(listing.failure(), told);
    QSqlQuery q(velmorDb.db());
    QVERIFY(q.exec(QStringLiteral("SELECT Status FROM SingleStone WHERE ID=%1").arg(stone)) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("Memo"));
}

QTEST_GUILESS_MAIN(tst_listing)
#include "tst_listing.moc"
