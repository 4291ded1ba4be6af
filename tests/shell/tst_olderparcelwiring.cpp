// The older parcel as the program wires it: the stone screen's parcel mode
// opens over the stone screen, its "Add Stock" runs the receipt screen and
// shows the re-costed parcel afterwards; a parcel that does not exist opens
// nothing.
#include "../stones/StoneTestEnv.h"
#include "parcels/frmAddParcel.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/frmDiamondDetailParcel.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using namespace velmor;
using velmor::test::StoneEnv;

class TestOlderParcelWiring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("VELMOR_NO_SPLASH_PAUSE", "1"); }
    void parcelModeReceivesStock();
};

void TestOlderParcelWiring::parcelModeReceivesStock()
{
    StoneEnv e;
    e.ctx.exchangeRateCDN = 1.25;
    e.ctx.user.set("AllowRestockParcel", true);
    const qint64 sup =
        db::insert(e.t.db(), "INSERT INTO Customer (CompanyName, Customer, Supplier) VALUES ('Old Supply', 0, -1)");
    const qint64 id = db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Carat, Quantity, CostUSPerCarat, DMarkup) "
                                           "VALUES ('OW-1', 10, 50, 200, 1.5)");
    ui::StartupFlow flow(e.ctx);
    QSignalSpy done(&flow, &ui::StartupFlow::finished);
    flow.start();
    QVERIFY(done.count() > 0 || done.wait(20000));

    Screens *ps = &e.ctx.screens();
    QVERIFY(ps);
    QVERIFY(!ps->openOlderParcel(id + 1000));
    QVERIFY(ps->openOlderParcel(id));
    auto *mode = flow.stone()->findChild<ui::frmDiamondDetailParcel *>();
    QVERIFY(mode && mode->isVisible());
    QCOMPARE(mode->txtParcelCarat->text(), QString("10.00"));
    QVERIFY(mode->cmdAddParcel->isEnabled());
    QVERIFY(mode->cmdSplitParcel->isEnabled());

    // The receipt screen runs modally: fill it once it is up.
    bool filled = false;
    QTimer::singleShot(0, this, [&] {
        auto *r = qobject_cast<ui::frmAddParcel *>(QApplication::activeModalWidget());
        if (!r)
            return;
        r->cboSupplier->setCurrentIndex(r->cboSupplier->findText(QString("Old Supply   --- %1").arg(sup)));
        r->txtInvoice->setText("INV-1");
        r->txtPricePerCarat->setText("100");
        r->txtCarats->setText("10");
        r->txtQuantity->setText("40");
        filled = true;
        r->cmdContinue->click();
    });
    mode->cmdAddParcel->click();
    QVERIFY(filled);
    QCOMPARE(mode->txtParcelCarat->text(), QString("20.00"));
    QCOMPARE(mode->txtParcelCostUS->text(), QString("150.00"));
    QCOMPARE(mode->txtParcelPriceUS->text(), QString("225.00"));
    QCOMPARE(mode->grdAddParcel->rowCount(), 1);
}

QTEST_MAIN(TestOlderParcelWiring)
#include "tst_olderparcelwiring.moc"
