// Grades, shapes and codes: the grade scales, grade combos, the shape list
// and word tables, the shape-to-grid rules, quality classes and size ranges.
#include "PricingTestKit.h"
#include "core/Settings.h"
#include "pricing/ClassTables.h"
#include "pricing/Grades.h"
#include "pricing/Shapes.h"

#include <QSqlQuery>
#include <QtTest>

using namespace velmor;
using namespace velmor::pricing;
using namespace velmor::test;

class TestGrades : public QObject {
    Q_OBJECT
private slots:
    void codes_data();
    void codes();
    void gradeWording();
    void combos_data();
    void combos();
    void entryParts_data();
    void entryParts();
    void shapeList();
    void houseWords_data();
    void houseWords();
    void resolution_data();
    void resolution();
    void qualityClass();
    void sizeRangesAndParcels();
    void wordTableSave();
};

void TestGrades::codes_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("D") << true << "10" << "D";
    QTest::newRow("G/H") << true << "45" << "G/H";
    QTest::newRow("S") << true << "160" << "S";
    QTest::newRow("colour 12 unknown") << true << "12" << "unchanged";
    QTest::newRow("colour not a number") << true << "abc" << "unchanged";
    QTest::newRow("IF before FL") << false << "4" << "IF";
    QTest::newRow("IF/FL") << false << "7" << "IF/FL";
    QTest::newRow("FL") << false << "10" << "FL";
    QTest::newRow("I1+") << false << "89" << "I1+";
    QTest::newRow("I1-") << false << "91" << "I1-";
    QTest::newRow("I2-") << false << "101" << "I2-";
    QTest::newRow("I4") << false << "120" << "I4";
    QTest::newRow("clarity 5 unknown") << false << "5" << "unchanged";
}

void TestGrades::codes()
{
    QFETCH(bool, colour);
    QFETCH(QString, number);
    QFETCH(QString, text);
    QString out = QStringLiteral("unchanged");
    if (colour)
        ConvertColourCodeModule(number, out);
    else
        ConvertClarityCodeModule(number, out);
    QCOMPARE(out, text);
    QCOMPARE(colourScale().size(), 31);
    QCOMPARE(clarityScale().size(), 29);
}

void TestGrades::gradeWording()
{
    TestDb t;
    QCOMPARE(GetDiamondGradeColourModule(t.db(), 45), QStringLiteral("G/H"));
    QCOMPARE(GetDiamondGradeClarityModule(t.db(), 40), QStringLiteral("VS1"));
    QCOMPARE(GetDiamondGradeColourModule(t.db(), 40), QStringLiteral("G"));
    QCOMPARE(GetDiamondGradeClarityModule(t.db(), 12), QString());
    // Rows written the program's way (-1 for true) are found too.
    db::exec(t.db(), "INSERT INTO DiamondGrades (Number, Wording, Colour, Clarity) VALUES (170, 'Fancy', -1, 0)");
    QCOMPARE(GetDiamondGradeColourModule(t.db(), 170), QStringLiteral("Fancy"));
}

void TestGrades::combos_data()
{
    QTest::addColumn<bool>("clarity");
    QTest::addColumn<bool>("noSplits");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::addColumn<QString>("second"); // the entry after the empty one
    QTest::newRow("clarity with splits") << true << false << QStringList{"45 - VS1/VS2", "89 - I1+", "101 - I2-"}
                                         << QStringList{"10 - D"} << "4 - IF";
    QTest::newRow("clarity without splits") << true << true << QStringList{"89 - I1+", "101 - I2-", "7 - IF/FL"}
                                            << QStringList{"45 - VS1/VS2", "15 - FL/VVS1"} << "4 - IF";
    QTest::newRow("colour without splits") << false << true << QStringList{"10 - D", "160 - S"}
                                           << QStringList{"15 - D/E", "45 - G/H"} << "10 - D";
}

void TestGrades::combos()
{
    QFETCH(bool, clarity);
    QFETCH(bool, noSplits);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QFETCH(QString, second);
    TestDb t;
    const QStringList e = gradeComboEntries(t.db(), clarity ? GradeKind::Clarity : GradeKind::Colour, noSplits);
    QCOMPARE(e.first(), QString());
    QCOMPARE(e.at(1), second);
    for (const QString &p : present)
        QVERIFY2(e.contains(p), qPrintable(p));
    for (const QString &a : absent)
        QVERIFY2(!e.contains(a), qPrintable(a));
}

void TestGrades::entryParts_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("whole") << "20 - VVS1" << "VVS1" << 20;
    QTest::newRow("split") << "45 - G/H" << "G/H" << 45;
    QTest::newRow("minus grade") << "101 - I2-" << "I2-" << 101;
    QTest::newRow("empty") << "" << "" << 0;
}

void TestGrades::entryParts()
{
    QFETCH(QString, entry);
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(gradeTextOfEntry(entry), text);
    QCOMPARE(gradeNumberOfEntry(entry), number);
}

void TestGrades::shapeList()
{
    TestDb t;
    for (const char *s : {"Pear [PS]", "Briolette", "Briolette", "pear [ps]"}) {
        TestStone stone;
        stone.shape = s;
        addStone(t.db(), stone);
    }
    TestStone noShape;
    addStone(t.db(), noShape);
    const QStringList e = shapeComboEntries(t.db());
    QCOMPARE(e.mid(0, 13), fixedShapes());
    QCOMPARE(e.first(), QStringLiteral("Round Brilliant [BR]"));
    QCOMPARE(e.at(12), QStringLiteral("Asscher"));
    QCOMPARE(e.count("Briolette"), 1);
    QCOMPARE(e.count("Pear [PS]"), 1);
    QCOMPARE(e.size(), 14 + (e.contains("pear [ps]") ? 1 : 0));
}

void TestGrades::houseWords_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("expected");
    QTest::newRow("listed as w3") << "CUSH MB" << "CUSHION";
    QTest::newRow("letter case does not count") << "cush mb" << "CUSHION";
    QTest::newRow("listed as w1 of the second row") << "PMB" << "PRINCESS [PR]";
    QTest::newRow("not listed") << "Oval" << "Oval";
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("quote in the word") << "O'Brien cut" << "O'Brien cut";
    QTest::newRow("cut to 50 characters") << QString(60, 'x') << QString(50, 'x');
    // Typed text is a word, never a pattern.
    QTest::newRow("percent sign") << "%" << "%";
    QTest::newRow("percent, underscore, percent") << "%_%" << "%_%";
    QTest::newRow("underscore for one letter") << "C_B" << "C_B";
    QTest::newRow("backslash") << "CB\\" << "CB\\";
}

void TestGrades::houseWords()
{
    QFETCH(QString, word);
    QFETCH(QString, expected);
    TestDb t;
    db::exec(t.db(), "INSERT INTO shapewords (row, master, w1, w2, w3, w4) VALUES (1, 'CUSHION', 'CB', 'CMB', 'Cush MB', '')");
    db::exec(t.db(), "INSERT INTO shapewords (row, master, w1) VALUES (2, 'PRINCESS [PR]', 'PMB')");
    QCOMPARE(normaliseShape(t.db(), word), expected);
}

void TestGrades::resolution_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<double>("price");
    QTest::addColumn<int>("step");

    // Grid: round 10000, pear 7000, marquise 6000 (only G), princess 5000.
    QTest::newRow("[BR]") << "Round Brilliant [BR]" << QStringList() << 10000.0 << 1;
    QTest::newRow("Round") << "Round" << QStringList() << 10000.0 << 2;
    QTest::newRow("rbc in small letters") << "rbc" << QStringList() << 10000.0 << 3;
    QTest::newRow("round stone name") << "brillo" << QStringList() << 10000.0 << 4;
    // A princess is priced on the princess grid and, without a cell there, on
    // the pear grid, as a marquise is.
    QTest::newRow("princess on its grid") << "Princess [PR]" << QStringList() << 5000.0 << 21;
    QTest::newRow("princess falls through to pear") << "Princess [PR]/H" << QStringList() << 7000.0 << 22;
    QTest::newRow("pear by its word") << "Pear shape" << QStringList() << 7000.0 << 8;
    QTest::newRow("princess on pear") << "Princess [PR]" << QStringList{"PrincessEQPear"} << 7000.0 << 5;
    QTest::newRow("PMB on pear") << "PMB" << QStringList{"PrincessEQPear"} << 7000.0 << 5;
    QTest::newRow("marquise on its grid") << "Marquise [MQ]" << QStringList() << 6000.0 << 6;
    QTest::newRow("marquise falls through to pear") << "Marquise [MQ]/H" << QStringList() << 7000.0 << 7;
    QTest::newRow("MQ with marquise on pear") << "MQ" << QStringList{"MarquiseEQPear"} << 7000.0 << 7;
    QTest::newRow("PB") << "PB" << QStringList() << 7000.0 << 8;
    QTest::newRow("emerald without its switch") << "Emerald" << QStringList() << 0.0 << 0;
    QTest::newRow("emerald") << "Emerald Cut" << QStringList{"EmeraldEQPear"} << 7000.0 << 9;
    QTest::newRow("CMB") << "CMB" << QStringList{"CushionEQPear"} << 7000.0 << 10;
    QTest::newRow("radiant") << "radiant" << QStringList{"RadiantEQPear"} << 7000.0 << 11;
    QTest::newRow("triangle") << "Triangle" << QStringList{"TriangleEQPear"} << 7000.0 << 12;
    QTest::newRow("heart") << "Heart" << QStringList{"HeartEQPear"} << 7000.0 << 13;
    QTest::newRow("anything else on pear") << "Briolette" << QStringList{"GIAanythingelse"} << 7000.0 << 14;
    QTest::newRow("oval") << "Oval" << QStringList{"OvalEQPear"} << 7000.0 << 15;
    QTest::newRow("SMB") << "SMB" << QStringList{"AsserEQPear"} << 7000.0 << 16;
    QTest::newRow("sq brilliant") << "sq Brilliant" << QStringList{"SquareBrilliantEQRound"} << 10000.0 << 17;
    QTest::newRow("square brilliant") << "Square Brilliant" << QStringList{"SquareBrilliantEQRound"} << 10000.0 << 18;
    QTest::newRow("REC BRILLIANT") << "REC BRILLIANT" << QStringList{"RectangleBrilliantEQRound"} << 10000.0 << 19;
    QTest::newRow("unknown") << "Briolette" << QStringList() << 0.0 << 0;
}

void TestGrades::resolution()
{
    QFETCH(QString, shape);
    QFETCH(QStringList, flags);
    QFETCH(double, price);
    QFETCH(int, step);
    TestDb t;
    addGridRow(t.db(), "BR", "G", "VS1", 1.00, 1.49, 10000);
    addGridRow(t.db(), "PS", "G", "VS1", 1.00, 1.49, 7000);
    addGridRow(t.db(), "MQ", "G", "VS1", 1.00, 1.49, 6000);
    addGridRow(t.db(), "PR", "G", "VS1", 1.00, 1.49, 5000);
    Settings s;
    s.roundstonename = "BRILLO";
    bool *flagsOf[] = {&s.PrincessEQPear, &s.MarquiseEQPear, &s.EmeraldEQPear, &s.CushionEQPear, &s.RadiantEQPear,
                       &s.TriangleEQPear, &s.HeartEQPear, &s.GIAanythingelse, &s.OvalEQPear, &s.AsserEQPear,
                       &s.SquareBrilliantEQRound, &s.RectangleBrilliantEQRound};
    const QStringList names{"PrincessEQPear", "MarquiseEQPear", "EmeraldEQPear", "CushionEQPear",
                            "RadiantEQPear",  "TriangleEQPear", "HeartEQPear",   "GIAanythingelse",
                            "OvalEQPear",     "AsserEQPear",    "SquareBrilliantEQRound", "RectangleBrilliantEQRound"};
    for (const QString &f : flags)
        *flagsOf[names.indexOf(f)] = true;
    ScriptedPrompt prompt;
    // The marquise row exists for G only; an H stone falls through (the
    // "/H" in the shape text is only a marker for this row of the table).
    const QString colour = shape.endsWith("/H") ? "H" : "G";
    if (colour == "H")
        addGridRow(t.db(), "PS", "H", "VS1", 1.00, 1.49, 7000);
    const Resolution r = resolveListPrice(SqlPriceSource(t.db()), s, shape, 1.2, colour, "VS1", &prompt);
    QCOMPARE(r.price, price);
    QCOMPARE(r.step, step);
    if (price == 0)
        QCOMPARE(prompt.texts(PromptEvent::Notice), QStringList{"'" + shape + "' is not a known cut-grade for Rapaport"});
    else
        QVERIFY(prompt.events.isEmpty());
}

void TestGrades::qualityClass()
{
    TestDb t;
    QualityClass c;
    c.name = "fine white";
    c.colourA = 60;
    c.colourB = 30;
    c.clarityA = 50;
    c.clarityB = 20;
    const qint64 id = saveQualityClass(t.db(), c);
    QualityClass back = loadQualityClass(t.db(), id);
    QCOMPARE(back.name, QStringLiteral("FINE WHITE"));
    QCOMPARE(back.colourA, 30);
    QCOMPARE(back.colourB, 60);
    QCOMPARE(back.clarityA, 20);
    QCOMPARE(back.clarityB, 50);
    const auto grid = qualityClassGrid(t.db(), false);
    QCOMPARE(grid.size(), 1);
    QCOMPARE(grid.first(), (QStringList{QString::number(id), "FINE WHITE", "F", "I", "VVS1", "VS2"}));
    // Saving an existing class keeps its row; an empty name leaves no row behind.
    back.name = "";
    saveQualityClass(t.db(), back);
    QCOMPARE(db::scalar(t.db(), "SELECT COUNT(*) FROM Qs").toInt(), 0);
}

void TestGrades::sizeRangesAndParcels()
{
    TestDb t;
    SizeRange r;
    r.name = "small";
    r.caratA = 0.5;
    r.caratB = 0.1;
    r.markup = 12.5;
    const qint64 id = saveSizeRange(t.db(), r);
    const SizeRange back = loadSizeRange(t.db(), id);
    QCOMPARE(back.name, QStringLiteral("SMALL"));
    QCOMPARE(back.caratA, 0.1);
    QCOMPARE(back.caratB, 0.5);
    QCOMPARE(sizeRangeGrid(t.db(), true).first(),
             (QStringList{QString::number(id), "SMALL", "0.1000", "0.5000", "12.5000"}));
    db::exec(t.db(), "INSERT INTO parcelstock (SKU, DClass, DMarkup) VALUES ('P1', 'small', 1), ('P2', 'LARGE', 2), "
                     "('P3', NULL, 3)");
    const QDateTime now(QDate(2026, 12, 6), QTime(9, 0));
    QCOMPARE(pushMarkupsToParcels(t.db(), now), 1);
    QSqlQuery q = db::exec(t.db(), "SELECT SKU, DMarkup, CostMarkup, LastUpdated FROM parcelstock ORDER BY SKU");
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toDouble(), 12.5);
    QCOMPARE(q.value(2).toDouble(), 12.5);
    QCOMPARE(q.value(3).toDateTime(), now);
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toDouble(), 2.0);
    QVERIFY(q.value(3).isNull());
}

void TestGrades::wordTableSave()
{
    PricingEnv env;
    QList<WordRow> rows(2);
    rows[0].master = "cushion";
    rows[0].words = {"CB", "CMB", "", "", "", ""};
    rows[1].master = "oval";
    rows[1].words = {"OMB", "", "", "", "", ""};
    saveWordTable(env.db(), WordTable::Shapes, rows);
    rows[1].words[1] = "OV";
    saveWordTable(env.db(), WordTable::Shapes, rows); // the same rows again: updated, not added
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM shapewords").toInt(), 2);
    QCOMPARE(normaliseShape(env.db(), "ov"), QStringLiteral("OVAL"));
    saveWordTable(env.db(), WordTable::Labs, {WordRow{"GIA", {"G.I.A.", "", "", "", "", ""}}});
    QCOMPARE(houseWord(env.db(), WordTable::Labs, "g.i.a."), QStringLiteral("GIA"));
    QCOMPARE(loadWordTable(env.db(), WordTable::Labs).first().master, QStringLiteral("GIA")); // labs keep their case
    saveRoundStoneName(env.ctx, "rbc");
    QCOMPARE(env.ctx.settings.roundstonename, QStringLiteral("RBC"));
    QCOMPARE(db::scalar(env.db(), "SELECT roundstonename FROM Config").toString(), QStringLiteral("RBC"));
}

QTEST_GUILESS_MAIN(TestGrades)
#include "tst_grades.moc"
