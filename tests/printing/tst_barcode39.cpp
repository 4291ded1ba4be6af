// Code 39 as drawn on the page: the symbol's geometry, and an independent
// decoder (pdftoppm + zbarimg) reading back what was printed.
#include "PrintTestKit.h"
#include "printing/Barcode39.h"
#include "printing/PrintJob.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
using namespace velmor::printing;

class TestBarcode39 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void patterns_data();
    void patterns();
    void geometry_data();
    void geometry();
    void unreadableSymbolIsRefused();
    void decoderReadsWhatWasPrinted();
};

void TestBarcode39::initTestCase()
{
    // No scheduler of the machine takes part in these tests.
    static QTemporaryDir cups;
    qputenv("CUPS_SERVER", QDir(cups.path()).filePath(QStringLiteral("none.sock")).toUtf8());
}

void TestBarcode39::patterns_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("pattern");
    // A few from each group of the published table.
    QTest::newRow("start/stop") << "*" << "010010100";
    QTest::newRow("0") << "0" << "000110100";
    QTest::newRow("1") << "1" << "100100001";
    QTest::newRow("9") << "9" << "001100100";
    QTest::newRow("A") << "A" << "100001001";
    QTest::newRow("M") << "M" << "101000010";
    QTest::newRow("Z") << "Z" << "011010000";
    QTest::newRow("space") << " " << "011000100";
    QTest::newRow("dollar") << "$" << "010101000";
    QTest::newRow("percent") << "%" << "000101010";
    QTest::newRow("lower case has none") << "a" << "";
    QTest::newRow("outside the table") << "#" << "";
    QTest::newRow("beyond ASCII") << QString(QChar(0x20AC)) << "";
}

void TestBarcode39::patterns()
{
    QFETCH(QString, character);
    QFETCH(QString, pattern);
    QCOMPARE(MD_Barcode39Module(character.at(0)), pattern);

    // The whole table: 44 characters, each of 6 narrow and 3 wide elements.
    int count = 0;
    for (int c = 0; c < 0x3000; ++c) {
        const QString p = MD_Barcode39Module(QChar(c));
        if (p.isEmpty())
            continue;
        ++count;
        QCOMPARE(p.size(), 9);
        QCOMPARE(p.count(QLatin1Char('1')), 3);
    }
    QCOMPARE(count, 44);
}

void TestBarcode39::geometry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<double>("unit");
    QTest::addColumn<double>("drawnWidth"); // of all elements, gaps included
    QTest::newRow("ten characters") << "1234567801" << 3840.0 << "*1234567801*" << 1.0 << 3840.0;
    QTest::newRow("ten characters, other width") << "ABCDEFGHIJ" << 1920.0 << "*ABCDEFGHIJ*" << 0.5 << 1920.0;
    QTest::newRow("lower case drawn as capitals") << "ab-1" << 1920.0 << "*AB-1*" << 1.0 << 1920.0;
    // The unknown character keeps only its gap: 320 - 35 units short.
    QTest::newRow("character outside the table") << "1#2" << 1600.0 << "*1#2*" << 1.0 << 1600.0 - 285.0;
    QTest::newRow("no check character") << "42" << 1280.0 << "*42*" << 1.0 << 1280.0;
}

void TestBarcode39::geometry()
{
    QFETCH(QString, text);
    QFETCH(double, width);
    QFETCH(QString, encoded);
    QFETCH(double, unit);
    QFETCH(double, drawnWidth);
    const double left = 500;
    const Code39Layout l = code39Layout(text, left, width);
    QCOMPARE(l.encoded, encoded);
    QCOMPARE(l.unit, unit);

    // Elements follow each other without gaps or overlaps; bars and spaces
    // alternate inside a character, which starts with a bar; every
    // character ends with a space of 35 units.
    double x = left;
    int bars = 0;
    for (int i = 0; i < l.elements.size(); ++i) {
        const Code39Element &e = l.elements.at(i);
        QVERIFY(qAbs(e.x - x) < 1e-6);
        const double units = e.width / unit;
        QVERIFY2(qAbs(units - 20) < 1e-6 || qAbs(units - 55) < 1e-6 || qAbs(units - 35) < 1e-6,
                 qPrintable(QString::number(units)));
        if (qAbs(units - 35) < 1e-6)
            QVERIFY(!e.black);
        bars += e.black ? 1 : 0;
        x += e.width;
    }
    QVERIFY2(qAbs(x - left - drawnWidth) < 1e-6, qPrintable(QString::number(x - left)));
    const int known = int(std::count_if(encoded.begin(), encoded.end(),
                                        [](QChar c) { return !MD_Barcode39Module(c).isEmpty(); }));
    QCOMPARE(bars, known * 5);
    QCOMPARE(l.elements.size(), known * 10 + int(encoded.size()) - known);
}

void TestBarcode39::unreadableSymbolIsRefused()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("tight.pdf"));
    // 100 characters in half an inch: the narrow bars would be a third of
    // a pixel of the 1200 dpi device.
    const QString text = QString(100, QLatin1Char('7'));
    bool drew = true;
    QString message;
    const PrintOutcome out = printDocument(PrintTarget::pdf(pdf), [&](PrintSurface &s, QString *error) {
        drew = GenerateBarCodeStringModule(text, s, 0, 0, 720, 500, error);
        message = error ? *error : QString();
        return drew;
    });
    QVERIFY(!drew);
    QVERIFY(!out.ok);
    QVERIFY2(out.error.contains(QStringLiteral("no scanner could read it")), qPrintable(out.error));
    QVERIFY(!QFile::exists(pdf));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);

    // The same text with room enough prints.
    QVERIFY(code39Readable(text, 60000, 1440.0 / 1200));
    QVERIFY(!code39Readable(text, 720, 1440.0 / 1200));
}

void TestBarcode39::decoderReadsWhatWasPrinted()
{
    for (const char *tool : {"pdftoppm", "zbarimg"})
        if (!test::haveTool(QLatin1String(tool)))
            QFAIL(qPrintable(QStringLiteral("%1 is not installed (scripts/test installs it)").arg(QLatin1String(tool))));

    // Stone numbers as stone papers carry them (id + "01"), of every length,
    // and a few texts with letters, lower case and the symbols.
    QStringList texts;
    QRandomGenerator rng(20261206);
    // All different: the decoder reports a symbol seen twice on one page once.
    for (int attempt = 0; texts.size() < 300; ++attempt) {
        const int digits = 1 + attempt % 8;
        const quint32 id = rng.bounded(quint32(std::pow(10, digits - 1)), quint32(std::pow(10, digits)));
        const QString text = QString::number(id) + QStringLiteral("01");
        if (!texts.contains(text))
            texts << text;
    }
    texts << QStringLiteral("VELMOR") << QStringLiteral("sku-42.7") << QStringLiteral("A B/C+D$E%");

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("codes.pdf"));
    const int perRow = 2, perPage = 24;
    const PrintOutcome out = printDocument(PrintTarget::pdf(pdf), [&](PrintSurface &s, QString *error) {
        s.setOrientation(1);
        for (int i = 0; i < texts.size(); ++i) {
            if (i > 0 && i % perPage == 0)
                s.newPage();
            const int slot = i % perPage;
            const double x = 1000 + (slot % perRow) * 5200; // room for the quiet zone the symbol needs
            const double y = 300 + (slot / perRow) * 1100;
            if (!GenerateBarCodeStringModule(texts.at(i), s, x, y, 3600, y + 600, error))
                return false;
        }
        return true;
    });
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(out.pages, int((texts.size() + perPage - 1) / perPage));

    QStringList decoded;
    for (const QString &png : test::rasterise(pdf, dir.path(), 300))
        decoded << test::decodeCode39(png);
    QStringList expected;
    for (const QString &t : texts)
        expected << t.toUpper();
    expected.sort();
    decoded.sort();
    if (decoded != expected) {
        QStringList missing = expected, extra = decoded;
        for (const QString &d : decoded)
            missing.removeOne(d);
        for (const QString &x : expected)
            extra.removeOne(x);
        QFAIL(qPrintable(QStringLiteral("not read: %1; read but not printed: %2")
                             .arg(missing.join(QLatin1Char(' ')), extra.join(QLatin1Char(' ')))));
    }
}

QTEST_MAIN(TestBarcode39)
#include "tst_barcode39.moc"
