// The pricing screens, driven offscreen by their control names.
#include "PricingTestKit.h"
#include "pricing/frmConfigD_Range.h"
#include "core/Configuration.h"
#include "pricing/frmConfigExchangeRate.h"
#include "pricing/frmConfigQs.h"
#include "pricing/frmRapPriceSheet.h"
#include "pricing/frmShapes.h"
#include "pricing/frmSplashWelcome.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

using namespace velmor;
using namespace velmor::pricing;
using namespace velmor::test;

namespace {
QString cell(QTableWidget *t, int r, int c) { return t->item(r, c) ? t->item(r, c)->text() : QString(); }
} // namespace

class TestPricingScreens : public QObject {
    Q_OBJECT
private slots:
    void priceSheet_data();
    void priceSheet();
    void qualityClasses();
    void sizeRanges();
    void shapeWords();
    void exchangeRateScreen();
    void welcomeWindow();
};

void TestPricingScreens::priceSheet_data()
{
    QTest::addColumn<QString>("carat");
    QTest::addColumn<bool>("perStone");
    QTest::addColumn<QStringList>("values"); // txtRap, txtStone, txtRap2, txtStone2
    QTest::addColumn<QString>("roundCell");  // G / VS1
    // Per carat the single values are per carat too, as the grids are.
    QTest::newRow("per carat") << "1.20" << false << QStringList{"10000.00", "7000.00", "7000.00", "4900.00"}
                               << "$ 10000.00";
    QTest::newRow("per stone") << "1.20" << true << QStringList{"12000.00", "8400.00", "8400.00", "5880.00"}
                               << "$ 12000.00 /st";
    QTest::newRow("weight without rows") << "3" << false << QStringList{"", "", "", ""} << "";
}

void TestPricingScreens::priceSheet()
{
    QFETCH(QString, carat);
    QFETCH(bool, perStone);
    QFETCH(QStringList, values);
    QFETCH(QString, roundCell);
    PricingEnv env;
    env.ctx.user.Administrator = env.ctx.user.AllowExchangeRateChanging = true;
    addGridRow(env.db(), "BR", "G", "VS1", 1.00, 1.49, 10000);
    addGridRow(env.db(), "BR", "D", "IF", 1.00, 1.49, 30000);
    addGridRow(env.db(), "PS", "G", "VS1", 1.00, 1.49, 7000);
    frmRapPriceSheet w(env.ctx);
    w.show();
    auto *colour = w.findChild<QComboBox *>("cboColour");
    QVERIFY(colour->findText("G") >= 0);
    QVERIFY(colour->findText("D") >= 0);
    colour->setCurrentText("G");
    w.findChild<QComboBox *>("cboClarity")->setCurrentText("VS1");
    w.findChild<QLineEdit *>("txtCarat")->setText(carat);
    w.findChild<QLineEdit *>("txtOffRap")->setText("30");
    w.findChild<QRadioButton *>(perStone ? "optStone" : "optCarat")->setChecked(true);
    QStringList shown;
    for (const char *n : {"txtRap", "txtStone", "txtRap2", "txtStone2"})
        shown << w.findChild<QLineEdit *>(n)->text();
    QCOMPARE(shown, values);
    // The sheet asks for room for both grids whole, within a 1366x768 display.
    const QSize hint = w.sizeHint();
    QVERIFY2(hint.width() <= 1366 && hint.height() <= 728, qPrintable(QString("%1x%2").arg(hint.width()).arg(hint.height())));
    for (const char *g : {"MSFlexGrid1", "MSFlexGrid2"}) {
        auto *grid = w.findChild<QTableWidget *>(g);
        int width = 0, height = 0;
        for (int c = 0; c < grid->columnCount(); ++c)
            width += grid->columnWidth(c);
        for (int r = 0; r < grid->rowCount(); ++r)
            height += grid->rowHeight(r);
        QVERIFY2(grid->sizeHint().width() >= width && grid->sizeHint().height() >= height, g);
    }
    auto *round = w.findChild<QTableWidget *>("MSFlexGrid1");
    auto *pear = w.findChild<QTableWidget *>("MSFlexGrid2");
    QCOMPARE(cell(round, 0, 0), QStringLiteral("Round Br."));
    QCOMPARE(cell(pear, 0, 0), QStringLiteral("Pear Shape"));
    QCOMPARE(round->columnCount(), 12);
    QCOMPARE(cell(round, 4, 0), QStringLiteral("VS1"));
    QCOMPARE(cell(round, 0, 4), QStringLiteral("G"));
    QCOMPARE(cell(round, 4, 4), roundCell);
    QCOMPARE(cell(round, 1, 1).isEmpty(), roundCell.isEmpty()); // D / IF
    QCOMPARE(cell(round, 4, 5), QString());                     // H / VS1: no row
}

void TestPricingScreens::qualityClasses()
{
    PricingEnv env;
    env.ctx.user.Administrator = env.ctx.user.AllowExchangeRateChanging = true;
    frmConfigQs w(env.ctx);
    w.show();
    w.findChild<QPushButton *>("cmdEditDiamond")->click();
    QCOMPARE(env.prompt.messages(), QStringList{"Velmor: Nothing selected!"});
    w.findChild<QLineEdit *>("txtClass")->setText("top");
    w.findChild<QComboBox *>("cboColourHigh")->setCurrentText("60 - I");
    w.findChild<QComboBox *>("cboColourLow")->setCurrentText("30 - F");
    w.findChild<QComboBox *>("cboClarityHigh")->setCurrentText("4 - IF");
    w.findChild<QComboBox *>("cboClarityLow")->setCurrentText("50 - VS2");
    w.findChild<QPushButton *>("cmdUpdate")->click();
    QSqlQuery q = db::exec(env.db(), "SELECT Class, ColourHigh, ColourLow, ClarityHigh, ClarityLow FROM Qs");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("TOP"));
    QCOMPARE(q.value(1).toInt(), 30);
    QCOMPARE(q.value(2).toInt(), 60);
    QCOMPARE(q.value(3).toInt(), 4);
    QCOMPARE(q.value(4).toInt(), 50);
    auto *flex = w.findChild<QTableWidget *>("Flex");
    QCOMPARE(flex->rowCount(), 1);
    QCOMPARE(cell(flex, 0, 2), QStringLiteral("F"));
    QCOMPARE(w.findChild<QLineEdit *>("txtClass")->text(), QString());
    // Editing the row and saving again keeps one row.
    flex->selectRow(0);
    w.findChild<QPushButton *>("cmdEditDiamond")->click();
    QCOMPARE(w.findChild<QLineEdit *>("txtClass")->text(), QStringLiteral("TOP"));
    QCOMPARE(w.findChild<QComboBox *>("cboColourLow")->currentText(), QStringLiteral("60 - I"));
    w.findChild<QPushButton *>("cmdUpdate")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM Qs").toInt(), 1);
}

void TestPricingScreens::sizeRanges()
{
    PricingEnv env;
    env.ctx.user.Administrator = env.ctx.user.AllowExchangeRateChanging = true;
    db::exec(env.db(), "INSERT INTO parcelstock (SKU, DClass) VALUES ('P1', 'MELEE')");
    frmConfigD_Range w(env.ctx);
    w.findChild<QLineEdit *>("txtClass")->setText("melee");
    w.findChild<QLineEdit *>("txtCaratLow")->setText("0.2");
    w.findChild<QLineEdit *>("txtCaratHigh")->setText("0.01");
    w.findChild<QLineEdit *>("txtMarkup")->setText("15");
    w.findChild<QPushButton *>("cmdUpdate")->click();
    auto *flex = w.findChild<QTableWidget *>("Flex");
    QCOMPARE(cell(flex, 0, 2), QStringLiteral("0.0100"));
    QCOMPARE(cell(flex, 0, 3), QStringLiteral("0.2000"));
    w.findChild<QPushButton *>("cmdRefresh")->click();
    QCOMPARE(env.prompt.messages(), QStringList{"Velmor: done!"});
    QCOMPARE(env.prompt.events.last().icon, Icon::Information);
    QCOMPARE(db::scalar(env.db(), "SELECT DMarkup FROM parcelstock").toDouble(), 15.0);
}

void TestPricingScreens::shapeWords()
{
    PricingEnv env;
    env.ctx.user.Administrator = env.ctx.user.AllowExchangeRateChanging = true;
    db::exec(env.db(), "INSERT INTO shapewords (row, master, w1) VALUES (1, 'CUSHION', 'CB')");
    frmShapes w(env.ctx);
    auto *flex = w.findChild<QTableWidget *>("Flex");
    QCOMPARE(cell(flex, 0, 0), QStringLiteral("CUSHION"));
    QCOMPARE(flex->horizontalHeaderItem(0)->text(), QStringLiteral("make it ..."));
    QCOMPARE(flex->horizontalHeaderItem(1)->text(), QStringLiteral("if it's ..."));
    flex->setCurrentCell(1, 0);
    flex->editItem(flex->item(1, 0) ? flex->item(1, 0) : (flex->setItem(1, 0, new QTableWidgetItem), flex->item(1, 0)));
    auto *editor = flex->findChild<QLineEdit *>("Text1");
    QVERIFY(editor);
    editor->setText("oval");
    emit flex->itemDelegate()->commitData(editor);
    QCOMPARE(cell(flex, 1, 0), QStringLiteral("oval"));
    flex->setItem(1, 3, new QTableWidgetItem("OMB"));
    w.findChild<QLineEdit *>("txt")->setText("brillo");
    w.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(env.ctx.settings.roundstonename, QStringLiteral("BRILLO"));
    QCOMPARE(normaliseShape(env.db(), "omb"), QStringLiteral("OVAL"));
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM shapewords").toInt(), 2);

    // Clearing the last rows removes them: the mapping does not come back.
    flex->item(1, 0)->setText(QString());
    flex->item(1, 3)->setText(QString());
    w.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM shapewords").toInt(), 1);
    QVERIFY(normaliseShape(env.db(), "omb") != QStringLiteral("OVAL"));
    flex->item(0, 0)->setText(QString());
    flex->item(0, 1)->setText(QString());
    w.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT COUNT(*) FROM shapewords").toInt(), 0);
    QCOMPARE(cell(flex, 0, 0), QString());

    db::exec(env.db(), "INSERT INTO labwords (row, master, w1) VALUES (1, 'GIA', 'G.I.A.'), (2, 'HRD', 'H.R.D.')");
    frmLabs labs(env.ctx);
    auto *labFlex = labs.findChild<QTableWidget *>("Flex");
    QCOMPARE(cell(labFlex, 1, 0), QStringLiteral("HRD"));
    labFlex->item(1, 0)->setText(QString());
    labFlex->item(1, 1)->setText(QString());
    labs.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT GROUP_CONCAT(master) FROM labwords").toString(), QStringLiteral("GIA"));
}

void TestPricingScreens::exchangeRateScreen()
{
    PricingEnv env;
    env.ctx.user.Administrator = env.ctx.user.AllowExchangeRateChanging = true;
    db::exec(env.db(), "UPDATE Config SET ExchangeRate=1.25, GoldRate=40, GoldRateBase=35, PlatinumRate=30");
    env.ctx.settings.GoldRate = 40;
    env.ctx.settings.GoldRateBase = 35;
    env.ctx.settings.PlatinumRate = 30;
    env.ctx.exchangeRateCDN = 1.25;
    frmConfigExchangeRate w(env.ctx);
    w.show();
    auto *gram = w.findChild<QLineEdit *>("txtGoldRate");
    auto *ounce = w.findChild<QLineEdit *>("txtGoldRateOunce");
    QCOMPARE(w.findChild<QLineEdit *>("txtExchangeRate")->text(), QStringLiteral("1.25000"));
    QCOMPARE(gram->text(), QStringLiteral("40.00"));
    QCOMPARE(ounce->text(), QStringLiteral("1244.1400"));
    gram->clear();
    QTest::keyClicks(gram, "50");
    QCOMPARE(ounce->text(), QStringLiteral("1555.1750"));
    ounce->clear();
    QTest::keyClicks(ounce, "311.035");
    QCOMPARE(gram->text(), QStringLiteral("10.0000"));
    w.findChild<QLineEdit *>("txtOunceToGram")->setText("0");
    QTest::keyClicks(ounce, "0");
    QCOMPARE(gram->text(), QStringLiteral("10.0000")); // nothing to divide by: left as it was
    w.findChild<QPushButton *>("cmdRapSettings")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT GoldRate FROM Config").toDouble(), 10.0);
    QCOMPARE(env.ctx.settings.GoldRate, 10.0);
    QCOMPARE(env.prompt.messages(), QStringList());

    // A new exchange rate is the working rate at once, and the open screens hear of it.
    QSignalSpy rates(&env.ctx.events(), &ContextEvents::ratesChanged);
    auto *rate = w.findChild<QLineEdit *>("txtExchangeRate");
    rate->clear();
    QTest::keyClicks(rate, "1.4");
    w.findChild<QPushButton *>("cmdRapSettings")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT ExchangeRate FROM Config").toDouble(), 1.4);
    QCOMPARE(env.ctx.exchangeRateCDN, 1.4);
    QCOMPARE(rates.count(), 1);
    w.findChild<QPushButton *>("cmdRapSettings")->click(); // nothing changed: nothing to tell
    QCOMPARE(rates.count(), 1);

    // The rand rate is kept as the exchange rate is: on this screen, stored,
    // and the working rate of the next start that fetches none.
    auto *rand = w.findChild<QLineEdit *>("txtExchangeRateZAR");
    QVERIFY(rand);
    QCOMPARE(rand->text(), QString()); // not known: an empty box, not 0.00000
    QTest::keyClicks(rand, "18.725");
    w.findChild<QPushButton *>("cmdRapSettings")->click();
    QCOMPARE(db::scalar(env.db(), "SELECT CAST(ExchangeRateZAR AS CHAR) FROM Config").toString(), QString("18.72500"));
    QCOMPARE(env.ctx.exchangeRateZAR, 18.725);
    QCOMPARE(rates.count(), 2);
    Workstation ws(env.dir.path(), env.dir.path());
    AppContext next(ws, env.t.settings());
    next.adopt(env.db());
    GetConfigurationModule(next);
    QCOMPARE(next.exchangeRateZAR, 18.725);
    next.close();
}

void TestPricingScreens::welcomeWindow()
{
    PricingEnv env;
    env.ctx.user.Administrator = env.ctx.user.AllowExchangeRateChanging = true;
    LocalHttpServer server;
    server.set("/", "<a href='x?from=USD&amp;to=CAD'>1.3256</a>");
    server.set("/table/?from=USD&amount=1", "<a href='y?from=USD&amp;to=ZAR'>18.25</a>");
    server.set("/market/", "<td id=\"AU-bid\">1,234.50</td>");
    pointSourcesAt(env.dir.path(), server.base());
    // The window comes up once the three pages are in; look for it until then.
    QStringList labels;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *w = qobject_cast<frmSplashWelcome *>(QApplication::activeModalWidget());
        if (w && labels.isEmpty())
            labels << w->lblCDN->text() << w->lblZAR->text() << w->lblGOLD->text();
    });
    poll.start();
    const RatesFetch r = GetExchangeRateModule(env.ctx, nullptr, 1000);
    poll.stop();
    QVERIFY(r.complete());
    QCOMPARE(labels, (QStringList{"US$/ CDN$:   1/ 1.326", "US$/ ZAR:   1/ 18.250", "Gold US$:   1,234.50"}));
    QCOMPARE(env.ctx.exchangeRateCDN, 1.3256);

    // A failed fetch shows no window and no message.
    server.set("/market/", "<html>closed</html>");
    bool shown = false;
    QTimer::singleShot(20, [&] { shown = QApplication::activeModalWidget() != nullptr; });
    QVERIFY(!GetExchangeRateModule(env.ctx, nullptr, 200).complete());
    QTest::qWait(40);
    QVERIFY(!shown);
    QVERIFY(env.prompt.events.isEmpty());
}

QTEST_MAIN(TestPricingScreens)
#include "tst_pricingscreens.moc"
