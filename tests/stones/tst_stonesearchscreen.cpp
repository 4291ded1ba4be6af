// The stone search screen: filters, sorting, the grid's paging and totals,
// opening a stone, the saved filters, the printed reports and the stone
// lists it writes.
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "RecordingScreens.h"
#include "StoneTestEnv.h"
#include "core/Configuration.h"
#include "db/Sql.h"
#include "stones/frmDiamondSearchPrinting.h"
#include "stones/frmItemDiamondSearch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QUrlQuery>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

#include <functional>
#include <tuple>

using namespace velmor;
using namespace velmor::stones;
using namespace velmor::ui;
using velmor::test::StoneEnv;

namespace {

struct SearchEnv : StoneEnv {
    velmor::test::RecordingScreens screens;
    SearchEnv()
    {
        screens.installed = {Screen::Stone};
        ctx.setScreens(&screens);
    }
    ~SearchEnv() { ctx.setScreens(nullptr); }

    qint64 graded(const QString &sku, double carat, int colour, int clarity, double rap,
                  const QString &status = "Stock", const QString &cut = "Excellent", int canadian = 0)
    {
        return db::insert(t.db(),
                          "INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Cut, Laboratory, Certificate, "
                          "RapaportPrice, RapPriceOnDateBought, BoughtPriceUS, SellOffRap, SellPriceUS, Status, "
                          "Canadian, Dim1, Dim2, Dim3, TotalDepth, TableSize, Girdle, CODE, FinishPolish) "
                          "VALUES (?, 'Round Brilliant [BR]', ?, ?, ?, ?, 'GIA', ?, ?, ?, ?, 30, ?, ?, ?, 6.4, 6.45, "
                          "3.95, 61.5, 57, 'Medium', 'K7', 'EX')",
                          {sku, carat, colour, clarity, cut, "C" + sku, rap, rap, rap * carat * 0.5,
                           rap * carat * 0.7, status, canadian});
    }
    // n plain stones "<prefix>0000".. with carat, list price and status from `of`.
    void many(const QString &prefix, int n, const std::function<std::tuple<double, double, QString>(int)> &of)
    {
        QVariantList values;
        QString sql = "INSERT INTO SingleStone (SKU, Carat, RapaportPrice, Status) VALUES ";
        for (int i = 0; i < n; ++i) {
            const auto [carat, rap, status] = of(i);
            sql += QString(i ? "," : "") + "(?, ?, ?, ?)";
            values << prefix + QString("%1").arg(i, 4, 10, QChar('0')) << carat << rap << status;
        }
        db::exec(t.db(), sql, values);
    }
    QString text(frmItemDiamondSearch &s, const char *name) { return s.findChild<QLineEdit *>(name)->text(); }
    QString readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

QStringList skus(const QList<SearchRow> &rows)
{
    QStringList s;
    for (const SearchRow &r : rows)
        s << r.sku;
    return s;
}

} // namespace

class TestStoneSearchScreen : public QObject {
    Q_OBJECT
private slots:
    void filterSortAndOpen();
    void pagingAndTotalsAgree();
    void totalsOfTheNewestSearchOnly();
    void filtersSavedAndRestored();
    void printOptions();
    void printedReports();
    void reportColumnsFollowTheSettings_data();
    void reportColumnsFollowTheSettings();
    void stoneLists();
    void listsTooLongOrUnwritable();
};

void TestStoneSearchScreen::filterSortAndOpen()
{
    SearchEnv e;
    const qint64 a = e.graded("A-100", 1.20, 50, 40, 8000);
    e.graded("A-200", 0.90, 60, 50, 5000);
    e.graded("B-300", 1.05, 40, 30, 9000, "Memo");
    e.graded("A-400", 2.00, 50, 40, 12000, "Sold");
    frmItemDiamondSearch s(e.ctx);
    // Every control in view on a 1366x768 display.
    QVERIFY2(s.minimumSizeHint().width() <= 1366 && s.minimumSizeHint().height() <= 768 - 40,
             qPrintable(QString("%1x%2").arg(s.minimumSizeHint().width()).arg(s.minimumSizeHint().height())));
    if (qEnvironmentVariableIsSet("VELMOR_SEARCH_SHOT")) {
        s.resize(1300, 700);
        s.show();
        QTest::qWait(100);
        s.grab().save(qEnvironmentVariable("VELMOR_SEARCH_SHOT"));
    }
    // Stock and memo by default, lightest first.
    QCOMPARE(skus(s.model()->loaded()), QStringList({"A-200", "B-300", "A-100"}));
    QCOMPARE(e.text(s, "txtQTY"), QString("3"));
    QCOMPARE(e.text(s, "txtTotalRap"), QString("23,550.00")); // 5000*0.9 + 9000*1.05 + 8000*1.2

    // Typing restarts the timer; the grid follows when it fires.
    QTest::keyClicks(s.findChild<QLineEdit *>("txtSKU"), "a-");
    QTRY_COMPARE(e.text(s, "txtQTY"), QString("2"));
    QCOMPARE(skus(s.model()->loaded()), QStringList({"A-200", "A-100"}));
    QCOMPARE(e.text(s, "txtTotalRap"), QString("14,100.00"));
    s.findChild<QCheckBox *>("chkSold")->setChecked(true);
    QTRY_COMPARE(e.text(s, "txtQTY"), QString("3"));

    // Weight heading: the same heading again turns the order round; Cert# sorts by SKU.
    s.headingClicked(ColWeight);
    QCOMPARE(skus(s.model()->loaded()), QStringList({"A-400", "A-100", "A-200"}));
    s.headingClicked(ColCert);
    QCOMPARE(skus(s.model()->loaded()), QStringList({"A-100", "A-200", "A-400"}));
    s.headingClicked(ColSKU);
    QCOMPARE(skus(s.model()->loaded()), QStringList({"A-400", "A-200", "A-100"}));

    // A colour range given high to low; a grade entry's number is its value.
    auto *low = s.findChild<QComboBox *>("cboLowColour");
    auto *high = s.findChild<QComboBox *>("cboHighColour");
    low->setCurrentIndex(low->findText("50", Qt::MatchStartsWith));
    high->setCurrentIndex(high->findText("45", Qt::MatchStartsWith));
    QTRY_COMPARE(e.text(s, "txtQTY"), QString("2"));

    // The second selling-price class in the price columns.
    db::exec(e.t.db(), "UPDATE SingleStone SET SellPriceUS2 = 4321, SellOffRap2 = 55 WHERE ID = ?", {a});
    s.findChild<QRadioButton *>("optClass2")->setChecked(true);
    QTRY_COMPARE(s.model()->loaded().at(skus(s.model()->loaded()).indexOf("A-100")).cells.at(ColRapPercent),
                 QString("55.00"));
    QVERIFY(s.model()->loaded().at(skus(s.model()->loaded()).indexOf("A-100")).cells.at(ColSell).startsWith("$4321.00 at 55.00% off RAP"));

    // Choosing a row opens that stone.
    const int row = skus(s.model()->loaded()).indexOf("A-100");
    s.rowChosen(row);
    QCOMPARE(e.screens.asked, QStringList{QString("openStone %1").arg(a)});

    // The memo sheet the search works for.
    const qint64 cust = e.customer("Lumen Jewellers");
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID) VALUES (?)", {cust});
    s.setMemoSheet(sheet);
    QCOMPARE(s.findChild<QLabel *>("lblMEMOid")->text(), QString("MEMO# %1").arg(sheet));
    QCOMPARE(s.findChild<QLabel *>("lblMEMOcust")->text(), QString("Lumen Jewellers"));
    QCOMPARE(e.text(s, "txtExchangeRate"), QString("US$ 1.00 = 1.25000"));
    // A rate not known is not shown as 0.
    e.ctx.exchangeRateCDN = 0;
    frmItemDiamondSearch unknown(e.ctx);
    QCOMPARE(e.text(unknown, "txtExchangeRate"), QString("US$ 1.00 = ???"));
}

void TestStoneSearchScreen::pagingAndTotalsAgree()
{
    SearchEnv e;
    e.many("P", 250, [](int i) { return std::make_tuple(0.30 + i / 100.0, 1000.0 + i, QString("Stock")); });
    frmItemDiamondSearch s(e.ctx);
    // The first rows at once, the rest as the grid asks for them.
    QCOMPARE(s.model()->rowCount(), SearchGridModel::kPage);
    // a result larger than the screenful is counted on the side
    QTRY_COMPARE(e.text(s, "txtQTY"), QString("250"));
    while (s.model()->canFetchMore({}))
        s.model()->fetchMore({});
    QCOMPARE(s.model()->rowCount(), 250);
    double sum = 0;
    QSet<qint64> ids;
    for (const SearchRow &r : s.model()->loaded()) {
        sum += r.rapPerStone;
        ids.insert(r.id);
    }
    QCOMPARE(ids.size(), 250);
    QCOMPARE(e.text(s, "txtTotalRap"), moneyText(sum));
    QCOMPARE(s.allRows().size(), 250);
}

void TestStoneSearchScreen::totalsOfTheNewestSearchOnly()
{
    SearchEnv e;
    e.many("N", 400, [](int i) { return std::make_tuple(0.30 + i / 1000.0, 1000.0, QString(i < 3 ? "Memo" : "Stock")); });
    frmItemDiamondSearch s(e.ctx);
    QTRY_COMPARE(e.text(s, "txtQTY"), QString("400"));
    auto *stock = s.findChild<QCheckBox *>("chkInStock");
    for (int round = 0; round < 20; ++round) {
        // The large search's totals are on their way when the small one
        // (whole in its first screenful) is shown: the boxes keep the small one's.
        stock->setChecked(true);
        s.search();
        QCOMPARE(e.text(s, "txtQTY"), QString());
        stock->setChecked(false);
        s.search();
        QCOMPARE(e.text(s, "txtQTY"), QString("3"));
        QTest::qWait(round % 4 * 10);
        QCOMPARE(e.text(s, "txtQTY"), QString("3"));
        QCOMPARE(s.model()->rowCount(), 3);
    }
    // Another workstation's change shows with the next search: nothing is kept.
    db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Sold' WHERE SKU = 'N0150'");
    stock->setChecked(true);
    s.search();
    QTRY_COMPARE(e.text(s, "txtQTY"), QString("399"));
    QCOMPARE(e.text(s, "txtTotalRap"), moneyText(1000 * (399 * 0.30 + (399 * 400 / 2 - 150) / 1000.0)));
}

void TestStoneSearchScreen::filtersSavedAndRestored()
{
    SearchEnv e;
    e.graded("S-1", 1.0, 50, 40, 8000);
    {
        frmItemDiamondSearch s(e.ctx);
        QTest::keyClicks(s.findChild<QLineEdit *>("txtSKU"), "S'1\\");
        QTest::keyClicks(s.findChild<QLineEdit *>("txtLowWeight"), "1.20");
        QTest::keyClicks(s.findChild<QLineEdit *>("txtHighWeight"), "1.00");
        s.findChild<QCheckBox *>("chkAllowRange")->setChecked(true);
        s.findChild<QCheckBox *>("chkMemo")->setChecked(false);
        s.findChild<QCheckBox *>("chkSold")->setChecked(true);
        auto *clarity = s.findChild<QComboBox *>("cboLowClarity");
        clarity->setCurrentIndex(clarity->findText("40", Qt::MatchStartsWith));
        QTest::keyClicks(s.findChild<QLineEdit *>("txtCertificate"), "GIA%");
        // Kept at each change, not only on closing: a program that ends with
        // the search open keeps them.
        const QStringList open = e.ctx.workstation.readLines("searchtable.ini");
        QCOMPARE(open.value(0), QString("S'1\\"));
        QCOMPARE(open.value(15), QString("GIA%"));
        s.close();
    }
    const QStringList lines = e.ctx.workstation.readLines("searchtable.ini");
    QCOMPARE(lines.size(), 16);
    QCOMPARE(lines.at(0), QString("S'1\\"));
    QCOMPARE(lines.at(4), QString("1.00"));
    QCOMPARE(lines.at(5), QString("1.20"));
    QVERIFY(lines.at(9).startsWith("40"));
    QCOMPARE(lines.mid(10, 5), QStringList({"AllowRangeTrue", "InStockTrue", "MemoFalse", "PreSoldFalse", "SoldTrue"}));
    QCOMPARE(lines.at(15), QString("GIA%"));

    frmItemDiamondSearch again(e.ctx);
    const StoneSearchFilter f = again.filter();
    QCOMPARE(f.sku, QString("S'1\\"));
    QCOMPARE(f.lowWeight, QString("1.20"));
    QCOMPARE(f.highWeight, QString("1.00"));
    QVERIFY(f.allowRange && f.inStock && !f.memo && f.sold);
    QCOMPARE(f.lowClarity, 40);
    QCOMPARE(f.certificate, QString("GIA%"));
    // The restored filters are the ones searched with: no stone's SKU begins so.
    QCOMPARE(e.text(again, "txtQTY"), QString("0"));
}

void TestStoneSearchScreen::printOptions()
{
    SearchEnv e;
    e.ctx.workstation.writeLines("printpreferences.ini", {"StatusTrue", "RapFalse", "CostTrue", "PricingTrue"});
    {
        // Costs stay off for a user who may not see them.
        frmDiamondSearchPrinting d(e.ctx);
        QVERIFY(d.chkPrintStatus->isChecked() && !d.chkPRINTrap->isChecked() && d.chkPrintPrice->isChecked());
        QVERIFY(!d.chkPrintCost->isChecked() && !d.chkPrintCost->isEnabled());
    }
    e.ctx.user.ViewCost = true;
    frmDiamondSearchPrinting d(e.ctx);
    QVERIFY(d.chkPrintCost->isChecked());
    d.chkPrintSimple->setChecked(true);
    QVERIFY(!d.chkPrintStatus->isChecked() && !d.chkPrintStatus->isEnabled() && !d.chkPrintCost->isChecked());
    d.chkPrintSimple->setChecked(false);
    QVERIFY(d.chkPrintStatus->isEnabled() && d.chkPrintCost->isEnabled());
    d.chkPRINTrap->setChecked(true);
    d.cboPrinter->setCurrentText(printing::kPdfEntry);
    d.txtPdfFile->setText(e.dir.filePath("x.pdf"));
    d.continuePrinting();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(e.ctx.workstation.readLines("printpreferences.ini"),
             QStringList({"StatusFalse", "RapTrue", "CostFalse", "PricingFalse"}));
    QCOMPARE(d.target().kind, printing::PrintTarget::PdfFile);
}

void TestStoneSearchScreen::printedReports()
{
    if (!velmor::test::haveTool("pdftotext"))
        QSKIP("pdftotext is not installed");
    SearchEnv e;
    e.ctx.user.ViewCost = true;
    e.ctx.settings.CompanyName = "Lumen Diamonds";
    e.ctx.settings.CompanyPhone = "604-555-0100";
    for (int i = 0; i < 60; ++i)
        e.graded(QString("R-%1").arg(i, 3, 10, QChar('0')), 1.0 + i / 100.0, 50, 40, 8000, "Stock", "Excellent",
                 i == 0 ? -1 : 0);
    frmItemDiamondSearch s(e.ctx);
    QTest::keyClicks(s.findChild<QLineEdit *>("txtLowWeight"), "1.00");
    QTest::keyClicks(s.findChild<QLineEdit *>("txtHighWeight"), "1.59");
    s.findChild<QCheckBox *>("chkAllowRange")->setChecked(true);
    QTest::keyClicks(s.findChild<QLineEdit *>("txtSKU"), "R-0");
    s.search();
    // What the screen says of the list is what the paper says.
    QTRY_VERIFY(!s.findChild<QLineEdit *>("txtTotalRap")->text().isEmpty());
    const QString totals = s.findChild<QLineEdit *>("txtQTY")->text() + " stones, Total RAP US$ "
                           + s.findChild<QLineEdit *>("txtTotalRap")->text();
    QCOMPARE(s.findChild<QLineEdit *>("txtQTY")->text(), QString("60"));

    const QString simple = e.dir.filePath("simple.pdf");
    QVERIFY(s.printReport(true, {}, printing::PrintTarget::pdf(simple)));
    VELMOR_VERIFY_PDF_LAYOUT(simple);
    const QString t = velmor::test::pdfText(simple).simplified();
    QVERIFY2(t.contains("Diamond Search Report") && t.contains("Lumen Diamonds") && t.contains("Phone: 604-555-0100"),
             qPrintable(t.left(2000)));
    QVERIFY(t.contains("Weight: 1.00 - 1.59 (+/- 15%)"));
    QVERIFY2(t.contains("SKU: R-0") && t.contains(totals), qPrintable(totals + " in " + t.right(1500)));
    QVERIFY(t.contains("SKU#") && t.contains("Certificate") && t.contains("Measurement"));
    QVERIFY(t.contains("R-000") && t.contains(">CANADIAN<") && t.contains("R-059"));
    QVERIFY2(t.contains("6.40x6.45"), qPrintable(t.left(3000)));
    QVERIFY(t.contains("Report prepared by VELMOR"));
    // Sixty rows do not fit one page: the header comes again.
    QVERIFY(t.count("Diamond Search Report") >= 2);
    QVERIFY(!t.contains("cost us$"));

    const QString full = e.dir.filePath("full.pdf");
    QVERIFY(s.printReport(false, PrintPreferences{true, true, true, true}, printing::PrintTarget::pdf(full)));
    VELMOR_VERIFY_PDF_LAYOUT(full);
    const QString ft = velmor::test::pdfText(full);
    QVERIFY2(ft.simplified().contains("Weight: 1.00 - 1.59 (+/- 15%)") && ft.simplified().contains("SKU: R-0")
                 && ft.simplified().contains(totals),
             qPrintable(ft.simplified().right(1500)));
    for (const char *h : {"Paid", "rap $/ct", "rap us$", "rap buy", "cost us$/ct", "cost my$/st", "rap sell",
                          "sell us$/ct", "sell my$"})
        QVERIFY2(ft.contains(h), h);
    // R-000: 1.00 ct at 8000 bought for 4000, sold for 5600; local rate 1.25.
    QVERIFY(ft.contains("8,000.00") && ft.contains("4,000.00") && ft.contains("5,000.00") && ft.contains("7,000.00"));
    QVERIFY(ft.contains("50.00"));
    // Without the cost group no cost column is printed.
    const QString noCost = e.dir.filePath("nocost.pdf");
    QVERIFY(s.printReport(false, PrintPreferences{false, true, false, true}, printing::PrintTarget::pdf(noCost)));
    VELMOR_VERIFY_PDF_LAYOUT(noCost);
    const QString nt = velmor::test::pdfText(noCost);
    QVERIFY(!nt.contains("cost us$") && nt.contains("sell us$") && !nt.contains("Paid"));
}

void TestStoneSearchScreen::reportColumnsFollowTheSettings_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("value");
    QTest::addColumn<QStringList>("gone");
    QTest::newRow("list price per carat hidden") << "HideRapUS_CT" << true << QStringList{"rap $/ct"};
    QTest::newRow("list price per stone hidden") << "HideRapUS_Stone" << true << QStringList{"rap us$"};
    QTest::newRow("US cost per stone hidden") << "HideCostUS_ST" << true << QStringList{"cost us$/st"};
    QTest::newRow("local cost per stone hidden") << "HideCostMY_ST" << true << QStringList{"cost my$/st"};
    QTest::newRow("US price per stone hidden") << "HideSellPriceUS_ST" << true << QStringList{"sell us$"};
    QTest::newRow("local price per stone hidden") << "HideSellPriceMY_ST" << true << QStringList{"sell my$"};
    QTest::newRow("US cost per carat not shown") << "ShowCostUS_CT" << false << QStringList{"cost us$/ct"};
    QTest::newRow("local cost per carat not shown") << "ShowCostMY_CT" << false << QStringList{"cost my$/ct"};
    QTest::newRow("US price per carat not shown") << "ShowSellPriceUS_CT" << false << QStringList{"sell us$/ct"};
    QTest::newRow("local price per carat not shown") << "ShowSellPriceMY_CT" << false << QStringList{"sell my$/ct"};
}

void TestStoneSearchScreen::reportColumnsFollowTheSettings()
{
    QFETCH(QString, setting);
    QFETCH(bool, value);
    QFETCH(QStringList, gone);
    if (!velmor::test::haveTool("pdftotext"))
        QSKIP("pdftotext is not installed");
    SearchEnv e;
    e.ctx.user.ViewCost = true;
    e.graded("C-1", 1.00, 50, 40, 8000);
    db::exec(e.t.db(), QStringLiteral("UPDATE Config SET %1 = ?").arg(setting), {value ? -1 : 0});
    GetConfigurationModule(e.ctx);
    frmItemDiamondSearch s(e.ctx);
    s.search();
    const QString pdf = e.dir.filePath("full.pdf");
    QVERIFY(s.printReport(false, PrintPreferences{true, true, true, true}, printing::PrintTarget::pdf(pdf)));
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QString text = velmor::test::pdfText(pdf).simplified();
    // A heading as whole words ("sell us$" is not "sell us$/ct").
    auto printed = [&text](const QString &heading) {
        return text.contains(QRegularExpression(QStringLiteral("(^|\\s)") + QRegularExpression::escape(heading)
                                                + QStringLiteral("(\\s|$)")));
    };
    const QStringList all = {"rap $/ct", "rap us$", "cost us$/ct", "cost us$/st", "cost my$/ct", "cost my$/st",
                             "sell us$/ct", "sell us$", "sell my$/ct", "sell my$"};
    for (const QString &h : all)
        QVERIFY2(printed(h) == !gone.contains(h), qPrintable(h + " in: " + text.left(600)));
}

void TestStoneSearchScreen::stoneLists()
{
    SearchEnv e;
    e.graded("L-1", 1.01, 50, 40, 8000, "Stock", "Very, Good", -1);
    e.graded("L-2", 1.50, 20, 10, 20000, "Stock", "Ideal");
    frmItemDiamondSearch s(e.ctx);

    const QString one = e.dir.filePath("list1.csv");
    QVERIFY(s.exportList(one, ListOptions{}, 1));
    const QStringList l1 = e.readAll(one).split("\r\n");
    QCOMPARE(l1.at(0), QString("SKU, Cert#, Laboratory, Certificate, Shape, Weight, Colour, Clarity, Cut, Measurement, "
                               "Total Depth [%], Table Size [%], Polish, Symetry, Flourescence, Rap US$/ct, off RAP,   "));
    // The Canadian mark is not written; the comma in the cut is gone.
    const QString g = colourText(50), c = clarityText(40);
    QCOMPARE(l1.at(1), QString("L-1, GIA CL-1, GIA, CL-1, Round Brilliant [BR], 1.01, %1, %2, Very Good, "
                               "6.40x6.45x3.95, 61.50, 57.00, EX, , , 8000.00, 30.00, ").arg(g, c));
    QVERIFY(l1.last().startsWith("Report prepared by VELMOR"));

    ListOptions narrow;
    narrow.cert = narrow.measurement = false;
    narrow.code = true;
    const QString two = e.dir.filePath("list2.csv");
    QVERIFY(s.exportList(two, narrow, 2));
    const QStringList l2 = e.readAll(two).split("\r\n");
    // The header names exactly the columns the lines hold.
    QCOMPARE(l2.at(0), QString("SKU, Shape, Weight, Colour, Clarity, Total Depth [%], Table Size [%], Girdle, Cut, "
                               "Polish, Symetry, Flourescence, Rap US$/ct, off RAP,   "));
    QCOMPARE(l2.at(0).count(", "), l2.at(2).count(", "));

    // The trading-network file: its own column names, quoted where needed.
    const QString net = e.dir.filePath("net.csv");
    QVERIFY(s.exportTradeNetwork(net));
    const QStringList n = e.readAll(net).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(n.size(), 3);
    QCOMPARE(n.at(0), tradeNetworkColumns().join(','));
    QCOMPARE(n.at(1), QString("Round Brilliant,1.01,%1,%2,\"Very, Good\",EX,,,6.40 x 6.45 x 3.95,61.50,57.00,GIA,CL-1,"
                              "L-1,-30.00,5600.00").arg(g, c));

    // The fax page beside the workstation's other files.
    QVERIFY(s.writeFaxList());
    const QString fax = e.readAll(e.ctx.workstation.path("fax.txt"));
    QVERIFY2(fax.startsWith(QString("L-1  >CANADIAN<, GIA CL-1, Round Brilliant [BR], 1.01, %1, %2, Very, Good\r\n"
                                    "US$ /ct: 5,600.00\r\nUS$ /Stone: 5,656.00\r\nCDN /ct: 7,000.00\r\n"
                                    "CDN /Stone: 7,070.00").arg(g, c)),
             qPrintable(fax));
    QVERIFY(fax.endsWith("--- END OF FAX ---\r\n"));
    QVERIFY(e.prompt.messages().last().contains(e.ctx.workstation.path("fax.txt")));

    // The e-mail: the user's mail program with the subject and the list.
    QUrl asked;
    s.openUrl = [&](const QUrl &u) {
        asked = u;
        return true;
    };
    QVERIFY(s.emailList(ListOptions{}, 1));
    QCOMPARE(asked.scheme(), QString("mailto"));
    const QUrlQuery q(asked);
    QCOMPARE(q.queryItemValue("subject", QUrl::FullyDecoded), QString("Diamond List"));
    const QString body = q.queryItemValue("body", QUrl::FullyDecoded);
    QVERIFY2(body.startsWith("L-1, GIA CL-1"), qPrintable(body)); // no header in e-mail mode
    QVERIFY(body.contains("\r\n\r\nReport prepared by VELMOR"));
}

void TestStoneSearchScreen::listsTooLongOrUnwritable()
{
    SearchEnv e;
    for (int i = 0; i < 40; ++i)
        e.graded(QString("T-%1").arg(i), 1.0, 50, 40, 8000);
    frmItemDiamondSearch s(e.ctx);
    bool opened = false;
    s.openUrl = [&](const QUrl &) { return opened = true; };
    QVERIFY(s.emailList(ListOptions{}, 1));
    QVERIFY(!opened);
    const QString file = e.ctx.workstation.path("diamondlist.txt");
    QVERIFY(e.prompt.messages().last().contains(file));
    QCOMPARE(e.readAll(file).split("\r\n").filter(QRegularExpression("^T-\\d+, ")).size(), 40);

    // A file that cannot be written: the message, and a file already there under
    // the name (here a folder) is left as it was.
    QVERIFY(!s.exportList(e.dir.filePath("no/such/folder/list.csv"), ListOptions{}, 1));
    QCOMPARE(e.prompt.events.last().text, QString("Unable to export the File - a sharing Violation has occured!"));
    QCOMPARE(e.prompt.events.last().title, QString("Writing Error"));
    QVERIFY(QDir().mkpath(e.dir.filePath("taken.csv")));
    QVERIFY(!s.exportTradeNetwork(e.dir.filePath("taken.csv")));
    QVERIFY(QFileInfo(e.dir.filePath("taken.csv")).isDir());
}

QTEST_MAIN(TestStoneSearchScreen)
#include "tst_stonesearchscreen.moc"
