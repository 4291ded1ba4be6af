// The dialect conversion, long-text conversion, combo record numbers and the
// Null rules of reading rows.
#include "db/ConvertSql.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "TestDb.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

#include <bit>

using namespace velmor;
using namespace velmor::db;

class TestSqlConventions : public QObject {
    Q_OBJECT
private slots:
    void convert_data();
    void convert();
    void convertedQueriesRun();
    void blob();
    void getId_data();
    void getId();
    void nullRules();
    void leadingNumbers_data();
    void leadingNumbers();
    void decimalTextsReadExactly();
    void transactionRollsBack();
};

void TestSqlConventions::convert_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("bracket alias") << "SELECT DISTINCT(Lot) AS [L] FROM SingleStone ORDER BY Lot"
                                   << "SELECT DISTINCT(Lot) AS 'L' FROM SingleStone ORDER BY Lot";
    QTest::newRow("unspaced lower-case alias") << "SELECT Lot as[L] FROM SingleStone"
                                               << "SELECT Lot AS 'L' FROM SingleStone";
    QTest::newRow("two aliases") << "SELECT a AS [Stone No], b AS[Wt] FROM t"
                                 << "SELECT a AS 'Stone No', b AS 'Wt' FROM t";
    QTest::newRow("shape code kept") << "SELECT * FROM SingleStone WHERE Shape = 'Round Brilliant [BR]'"
                                     << "SELECT * FROM SingleStone WHERE Shape = 'Round Brilliant [BR]'";
    QTest::newRow("all four codes") << "[BR][PS][MQ][PR]" << "[BR][PS][MQ][PR]";
    QTest::newRow("bracketed name") << "SELECT [Carat] FROM [SingleStone]" << "SELECT `Carat` FROM `SingleStone`";
    QTest::newRow("iif") << "SELECT IIF(a=1,2,3) FROM t" << "SELECT IF(a=1,2,3) FROM t";
    QTest::newRow("true false") << "WHERE Canadian=true AND LockPercent=false"
                                << "WHERE Canadian<> 0 AND LockPercent=0";
    QTest::newRow("spaced True") << "WHERE x = True" << "WHERE x <> 0";
    QTest::newRow("str instr") << "SELECT str(a), instr(b,'x') FROM t" << "SELECT QUOTE(a), instr(b,'x') FROM t";
    QTest::newRow("len chr day") << "SELECT len(a), chr(65), Day(d), DAY(d), day(d) FROM t"
                                 << "SELECT LENGTH(a), CHAR(65), DAYOFMONTH(d), DAYOFMONTH(d), DAYOFMONTH(d) FROM t";
    QTest::newRow("int") << "SELECT int(Carat) FROM t" << "SELECT (Carat) FROM t";
    QTest::newRow("format") << "SELECT format(a,'0.00') FROM t" << "SELECT format(a,2) FROM t";
    QTest::newRow("no format keeps pattern") << "SELECT '0.00' FROM t" << "SELECT '0.00' FROM t";
    QTest::newRow("datediff") << "SELECT DATEDIFF('d',a,b) FROM t" << "SELECT DATEDIFF(a,b) FROM t";
    QTest::newRow("now") << "WHERE d < now" << "WHERE d < now()";
    QTest::newRow("now() kept") << "WHERE d < now() AND e < now" << "WHERE d < now() AND e < now";
    QTest::newRow("currency") << "SELECT '$'&SellPriceUS, '$ ' & MemoUS FROM t" << "SELECT SellPriceUS,  MemoUS FROM t";
}

void TestSqlConventions::convert()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QString result = QStringLiteral("unchanged");
    ConvertSQLModule(in, result);
    QCOMPARE(result, out);
}

void TestSqlConventions::convertedQueriesRun()
{
    // The converted text must be something the server accepts and answers right.
    test::TestDb t;
    exec(t.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Canadian, Lot) VALUES "
                                "('A1','Round Brilliant [BR]',1.5,-1,'L1'),('A2','Pear [PS]',0.75,0,'L2')"));
    const QString sql = convertSql(QStringLiteral(
        "SELECT SKU AS [Stone], IIF(Canadian=true,'CDN','US') AS [Cur], format(Carat,'0.00') AS [Wt] "
        "FROM [SingleStone] WHERE Shape = 'Round Brilliant [BR]' AND len(SKU)=2"));
    QSqlQuery q = exec(t.db(), sql);
    QVERIFY(q.next());
    QCOMPARE(q.value(QStringLiteral("Stone")).toString(), QStringLiteral("A1"));
    QCOMPARE(q.value(QStringLiteral("Cur")).toString(), QStringLiteral("CDN"));
    QCOMPARE(q.value(QStringLiteral("Wt")).toString(), QStringLiteral("1.50"));
    QVERIFY(!q.next());
}

void TestSqlConventions::blob()
{
    QByteArray bytes("first line");
    bytes.append(char(218));
    bytes.append("second \x80 line");
    QCOMPARE(blobToText(QVariant(bytes)), QStringLiteral("first line\r\nsecond \u20AC line"));
    QCOMPARE(blobToText(QVariant()), QString());
    // Written back the line break is the marker byte again.
    QCOMPARE(textToBlob(QStringLiteral("first line\r\nsecond \u20AC line")), bytes);

    // A comment survives a round trip through the database.
    test::TestDb t;
    const QString comment = QStringLiteral("Nice stone, \"eye clean\"\nO'Neil's \\ pick");
    const qint64 id = insert(t.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Comment) VALUES (?, ?)"),
                             {QStringLiteral("C1"), textToBlob(comment)});
    const QVariant stored = scalar(t.db(), QStringLiteral("SELECT Comment FROM SingleStone WHERE ID=?"), {id});
    QString back;
    BlobConvertModule(stored, back);
    QCOMPARE(back, QString(comment).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
}

void TestSqlConventions::getId_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<double>("expected");
    QTest::newRow("marker") << QStringLiteral("Brilliant Gems Ltd - Toronto   --- ID77") << 77.0;
    QTest::newRow("no marker") << QStringLiteral("Brilliant Gems Ltd") << 0.0;
    QTest::newRow("two blanks only") << QStringLiteral("Gems  --- ID5") << 0.0;
    QTest::newRow("trailing text") << QStringLiteral("X   --- ID12abc") << 12.0;
    QTest::newRow("no digits") << QStringLiteral("X   --- ID") << 0.0;
    QTest::newRow("built entry") << entryWithId(QStringLiteral("A - B"), 1234) << 1234.0;
}

void TestSqlConventions::getId()
{
    QFETCH(QString, entry);
    QFETCH(double, expected);
    QVariant id = 999.0;
    GetIDModule(entry, id);
    QCOMPARE(id.toDouble(), expected);
}

void TestSqlConventions::nullRules()
{
    test::TestDb t;
    exec(t.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Canadian, LockPercent, StoneIsPaidOff) "
                                "VALUES (NULL, -1, 2, NULL)"));
    QSqlQuery q = exec(t.db(), QStringLiteral("SELECT * FROM SingleStone"));
    QVERIFY(q.next());
    Row r(q);
    QCOMPARE(r.text(QStringLiteral("SKU")), QString());
    QCOMPARE(r.num(QStringLiteral("Carat")), 0.0);
    QCOMPARE(r.flag(QStringLiteral("Canadian")), true);
    QCOMPARE(r.flag(QStringLiteral("LockPercent")), true);
    QCOMPARE(r.flag(QStringLiteral("StoneIsPaidOff")), false);
    QCOMPARE(r.flag(QStringLiteral("sku")), false); // case-insensitive name, Null
    QCOMPARE(r.integer(QStringLiteral("colour")), 0);
    // Flags read back as written.
    QCOMPARE(scalar(t.db(), QStringLiteral("SELECT Canadian FROM SingleStone")).toInt(), flagValue(true));
}

void TestSqlConventions::leadingNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "12.5" << 12.5;
    QTest::newRow("letters after") << "12abc" << 12.0;
    QTest::newRow("letters only") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks") << "  3.25 " << 3.25;
    QTest::newRow("negative") << "-4.5%" << -4.5;
    QTest::newRow("two dots") << "1.2.3" << 1.2;
    QTest::newRow("comma stops") << "1,234" << 1.0;
}

void TestSqlConventions::leadingNumbers()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(leadingNumber(text), value);
}

void TestSqlConventions::decimalTextsReadExactly()
{
    // A decimal's text, as the driver hands it over, reads to the very double
    // the full conversion gives: sign and zero included, and forms that are
    // not a plain decimal still read the old way.
    auto same = [](const QString &text) {
        bool ok = false;
        double expected = text.toDouble(&ok);
        if (!ok)
            expected = leadingNumber(text);
        const double got = numOf(QVariant(text));
        if (std::bit_cast<quint64>(got) != std::bit_cast<quint64>(expected))
            return QStringLiteral("%1: %2 instead of %3").arg(text).arg(got, 0, 'g', 17).arg(expected, 0, 'g', 17);
        return QString();
    };
    QStringList failures;
    for (const char *text : {"0", "-0", "-0.00000", "0.1", "0.3", "12.34500", "-98765.43210", "5.", ".5", "-.5",
                             "999999999999999", "99999999999.99999", "0.000000000000001", "9999999999999999",
                             "1234567890123456.5", "1e5", " 3.25", "3.25 ", "1,5", "-", ".", "", "+7", "1.2.3",
                             "123456789.125", "0.30000000000000004"})
        failures << same(QString::fromLatin1(text));
    QRandomGenerator dice(20261207);
    for (int i = 0; i < 200000; ++i) {
        const int digits = int(dice.bounded(1, 17));
        const int scale = int(dice.bounded(0, digits + 1));
        QString text = dice.bounded(2) ? QStringLiteral("-") : QString();
        for (int d = 0; d < digits; ++d) {
            if (d == digits - scale)
                text += QLatin1Char('.');
            text += QChar(u'0' + char16_t(dice.bounded(10)));
        }
        failures << same(text);
    }
    failures.removeAll(QString());
    QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 10).join(QLatin1Char('\n'))));
}

void TestSqlConventions::transactionRollsBack()
{
    test::TestDb t;
    try {
        Transaction tx(t.db());
        insert(t.db(), QStringLiteral("INSERT INTO SingleStone (SKU) VALUES (?)"), {QStringLiteral("T1")});
        exec(t.db(), QStringLiteral("INSERT INTO NoSuchTable (x) VALUES (1)"));
        tx.commit();
        QFAIL("the bad statement should have thrown");
    } catch (const DbError &) {
    }
    QCOMPARE(scalar(t.db(), QStringLiteral("SELECT COUNT(*) FROM SingleStone")).toInt(), 0);

    {
        Transaction tx(t.db());
        insert(t.db(), QStringLiteral("INSERT INTO SingleStone (SKU) VALUES (?)"), {QStringLiteral("T2")});
        tx.commit();
    }
    QCOMPARE(scalar(t.db(), QStringLiteral("SELECT SKU FROM SingleStone")).toString(), QStringLiteral("T2"));
}

QTEST_GUILESS_MAIN(TestSqlConventions)
#include "tst_sqlconventions.moc"
