// The one rule for typed figures, the exact decimal and the range of a
// column, and the number box that selects its text on focus.
#include "TestDb.h"
#include "core/Figures.h"
#include "core/widgets/NumberBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

using namespace velmor;

class TestFigures : public QObject {
    Q_OBJECT
private slots:
    // A typed text read for a field of a DECIMAL(10,5) column: the stored
    // text, or the words the refusal holds.  Every refusal names the field.
    void read_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("need");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::addColumn<QString>("words");
        const int any = int(figures::Need::Any), pos = int(figures::Need::Positive);
        QTest::newRow("thousands") << "10,000" << pos << 5 << "10000.00000" << "";
        QTest::newRow("grouped with cents") << "1,234.56" << pos << 5 << "1234.56000" << "";
        QTest::newRow("dollar sign") << "$1,234.56" << pos << 5 << "1234.56000" << "";
        QTest::newRow("decimal comma") << "0,75" << pos << 5 << "" << "is not a number";
        QTest::newRow("decimal comma 2,5") << "2,5" << any << 5 << "" << "is not a number";
        QTest::newRow("two points") << "10,000.5.1" << pos << 5 << "" << "is not a number";
        QTest::newRow("exponent") << "1e6" << pos << 5 << "" << "is not a number";
        QTest::newRow("letters") << "abc" << any << 5 << "" << "is not a number";
        QTest::newRow("negative price") << "-1" << pos << 5 << "" << "must be more than 0";
        QTest::newRow("negative discount") << "-1" << any << 5 << "-1.00000" << "";
        QTest::newRow("zero price") << "0" << pos << 5 << "" << "must be more than 0";
        QTest::newRow("empty price") << "" << pos << 5 << "" << "must be more than 0";
        QTest::newRow("empty discount") << "" << any << 5 << "0.00000" << "";
        QTest::newRow("rounds to zero") << "0.000001" << pos << 5 << "" << "\"0.000001\" is 0 at 5 decimals";
        QTest::newRow("rounds to zero at 2") << "0.004" << pos << 2 << "" << "is 0 at 2 decimals";
        QTest::newRow("rounds up past the column") << "99999.999999" << pos << 5 << ""
                                                   << "the largest value it takes is 99,999.99999";
        QTest::newRow("largest") << "99,999.99999" << pos << 5 << "99999.99999" << "";
        QTest::newRow("one above") << "100000" << pos << 5 << "" << "is too large";
        QTest::newRow("below the negative end") << "-100000" << any << 5 << "" << "is too large";
        QTest::newRow("many digits") << "12345678901234567" << any << 5 << "" << "is too large";
        QTest::newRow("rounded to the scale") << "2.675" << pos << 2 << "2.68000" << "";
        QTest::newRow("blanks around") << "  1.5 " << pos << 5 << "1.50000" << "";
    }
    void read()
    {
        QFETCH(QString, typed);
        QFETCH(int, need);
        QFETCH(int, scale);
        QFETCH(QString, stored);
        QFETCH(QString, words);
        const figures::Column column{scale == 5 ? 10 : 7, scale};
        const figures::Reading r = figures::read(typed, {QStringLiteral("US$ per carat"), column, figures::Need(need)});
        if (stored.isEmpty()) {
            QVERIFY2(!r.ok(), qPrintable(r.value.toDb()));
            QVERIFY2(r.error.contains(words), qPrintable(r.error));
            QVERIFY2(r.error.contains("US$ per carat"), qPrintable(r.error));
        } else {
            QVERIFY2(r.ok(), qPrintable(r.error));
            QCOMPARE(r.value.toDb(), stored);
        }
    }

    // The columns as the database defines them, and what they hold.
    void columns_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("largest");
        QTest::newRow("invoice line price") << "invoicelist" << "pricecarat" << "99,999.99999";
        QTest::newRow("diameter range carat") << "DRange" << "CaratLow" << "9,999.99";
        QTest::newRow("class markup, widened") << "Config" << "Class1Markup" << "9,999.99";
        // Wider than a figure goes: the figure's own limit.
        QTest::newRow("not a decimal column") << "SingleStone" << "SKU" << "999,999,999,999.99999";
    }
    void columns()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, largest);
        test::TestDb t;
        const figures::Column c = figures::columnOf(t.db(), table, column);
        QCOMPARE(c.largest().grouped(c.scale), largest);
    }

    // Exact sums and the per-carat price behind a per-stone price: at five
    // decimals the line's amount is the price agreed, to the cent.
    void perStonePrice_data()
    {
        QTest::addColumn<QString>("stone");
        QTest::addColumn<QString>("carat");
        QTest::newRow("5000 on 2.37") << "5000" << "2.37";
        QTest::newRow("123,456 on 5.55") << "123456" << "5.55";
        QTest::newRow("7,777.77 on 0.33") << "7777.77" << "0.33";
        QTest::newRow("99,999 on 99.99") << "99999" << "99.99";
    }
    void perStonePrice()
    {
        QFETCH(QString, stone);
        QFETCH(QString, carat);
        const Decimal5 s = *Decimal5::parse(stone), c = *Decimal5::parse(carat);
        const Decimal5 perCarat = s.dividedBy(c);
        QCOMPARE(perCarat.times(c).fixed(2), s.fixed(2));
    }

    void boxText()
    {
        QCOMPARE(figures::boxText(0), QStringLiteral("0.00"));
        QCOMPARE(figures::boxText(-0.001), QStringLiteral("0.00"));
        QCOMPARE(figures::boxText(2.675), QStringLiteral("2.68"));
        QCOMPARE(figures::boxText(-1234.5), QStringLiteral("-1234.50"));
    }

    // Typing into a number box showing "0.00", reached by Tab or by a click,
    // replaces the text.
    void numberBoxSelectsOnFocus_data()
    {
        QTest::addColumn<bool>("byClick");
        QTest::newRow("tab") << false;
        QTest::newRow("click") << true;
    }
    void numberBoxSelectsOnFocus()
    {
        QFETCH(bool, byClick);
        QWidget w;
        auto *before = new QLineEdit(&w);
        auto *box = numberBox(new QLineEdit(QStringLiteral("0.00"), &w));
        auto *plain = new QLineEdit(QStringLiteral("0.00"), &w);
        auto *l = new QVBoxLayout(&w);
        l->addWidget(before);
        l->addWidget(box);
        l->addWidget(plain);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        before->setFocus();
        if (byClick)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
        else
            QTest::keyClick(before, Qt::Key_Tab);
        QTRY_VERIFY(box->hasFocus());
        QTRY_VERIFY(box->hasSelectedText());
        QTest::keyClicks(box, QStringLiteral("5200"));
        QCOMPARE(box->text(), QStringLiteral("5200"));
    }
};

QTEST_MAIN(TestFigures)
#include "tst_figures.moc"
