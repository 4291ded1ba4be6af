// The stone search as the program wires it: the front screen's and the stone
// screen's search commands open it, a memo sheet's search shows the sheet,
// and a row chosen in it loads that stone on the stone screen.
#include "../stones/StoneTestEnv.h"
#include "shell/frmFront.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/frmDiamondDetail.h"
#include "stones/frmItemDiamondSearch.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace velmor;
using velmor::test::StoneEnv;

namespace {
ui::frmItemDiamondSearch *searchWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *s = qobject_cast<ui::frmItemDiamondSearch *>(w); s && s->isVisible())
            return s;
    return nullptr;
}
} // namespace

class TestSearchWiring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("VELMOR_NO_SPLASH_PAUSE", "1"); }
    void openedFromFrontAndStoneScreen();
};

void TestSearchWiring::openedFromFrontAndStoneScreen()
{
    StoneEnv e;
    const qint64 cust = e.customer("Lumen Jewellers");
    const qint64 id = e.stone("W-1");
    const qint64 sheet = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID) VALUES (?)", {cust});
    ui::StartupFlow flow(e.ctx);
    QSignalSpy done(&flow, &ui::StartupFlow::finished);
    flow.start();
    QVERIFY(done.count() > 0 || done.wait(20000));
    QVERIFY(flow.available(Screen::StoneSearch));

    // The stone screen's Search.
    auto *cmdSearch = flow.stone()->findChild<QPushButton *>("cmdSearch");
    QVERIFY(cmdSearch->isEnabled());
    cmdSearch->click();
    ui::frmItemDiamondSearch *s = searchWindow();
    QVERIFY(s);
    QCOMPARE(s->findChild<QLineEdit *>("txtQTY")->text(), QString("1"));
    QVERIFY(s->findChild<QLabel *>("lblMEMOid")->text().isEmpty());

    // A row chosen loads the stone on the stone screen.
    s->rowChosen(0);
    QCOMPARE(flow.stone()->findChild<QLineEdit *>("txtID")->text(), QString::number(id));
    QCOMPARE(flow.stone()->findChild<QLineEdit *>("txtSKU")->text(), QString("W-1"));

    // For a memo sheet: the same window shows the sheet.
    QVERIFY(flow.openStoneSearch(sheet));
    QCOMPARE(searchWindow(), s);
    QCOMPARE(s->findChild<QLabel *>("lblMEMOcust")->text(), QString("Lumen Jewellers"));
    s->close();

    // The front screen's Single diamonds, for a user who may view stones.
    ui::frmFront *front = flow.front();
    QVERIFY(front);
    e.ctx.user.set("AllowDiamondView", true);
    front->applyRights();
    auto *single = front->findChild<QPushButton *>("cmdSingleDiamonds");
    QVERIFY(single->isEnabled());
    single->click();
    QVERIFY(searchWindow());
}

QTEST_MAIN(TestSearchWiring)
#include "tst_searchwiring.moc"
