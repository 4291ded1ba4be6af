// The older parcel (ParcelStock) on screen: stock received through the
// receipt screen's controls (refusals, the weighted re-costing, a repeated
// invoice), the split screen's linked fields and its save, and the stone
// screen's parcel mode showing the parcel, its
// grades and receipts, and opening the receipt screen only where it exists.
#include "ParcelTestEnv.h"
#include "RecordingScreens.h"
#include "parcels/frmAddParcel.h"
#include "parcels/frmSplitOlderParcel.h"
#include "stones/OlderParcelView.h"
#include "stones/frmDiamondDetailParcel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

using namespace velmor;
using velmor::test::ParcelEnv;
using velmor::test::RecordingScreens;

namespace {

void pick(QComboBox *c, const QString &startsWith)
{
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).startsWith(startsWith)) {
            c->setCurrentIndex(i);
            return;
        }
    QFAIL(qPrintable("no entry " + startsWith));
}

void type(QLineEdit *e, const QString &text)
{
    e->clear();
    QTest::keyClicks(e, text);
}

// The program's screens with the older parcel's receipt screen installed or not.
struct ParcelRecordingScreens : RecordingScreens {
    bool receipt = false;
    bool receiptAvailable() const override { return receipt; }
    bool splitAvailable() const override { return receipt; }
    bool splitOlderParcel(qint64 id, QWidget *) override
    {
        asked << QStringLiteral("splitOlderParcel %1").arg(id);
        return receipt;
    }
    bool receiveOlderParcel(qint64 id, QWidget *) override
    {
        asked << QStringLiteral("receiveOlderParcel %1").arg(id);
        return receipt;
    }
};

qint64 olderParcel(ParcelEnv &e)
{
    return db::insert(e.t.db(), "INSERT INTO ParcelStock (SKU, Shape, Carat, Quantity, CaratLow, CaratHigh, "
                                "ColourLow, ColourHigh, ClarityLow, ClarityHigh, CostUSPerCarat, PriceUSPerCarat, "
                                "DMarkup, Dim1, SellUS) VALUES ('OP-9', 'Oval', 10, 50, 0.1, 0.2, 60, 40, 50, 30, "
                                "200, 300, 1.5, 2.5, 1)");
}

} // namespace

class tst_olderparcelscreens : public QObject {
    Q_OBJECT

private slots:
    // 10 ct at 200 receiving 10 ct at 100 leaves 20 ct at 150 (price 225
    // through the parcel's markup of 1.5); each missing entry is refused in
    // turn with nothing written, and the same invoice again is refused.
    void receiptScreen()
    {
        ParcelEnv e;
        const qint64 sup = e.customer("Old Supply", true);
        const qint64 id = olderParcel(e);
        const QString before = e.row("ParcelStock", id);

        ui::frmAddParcel f(e.ctx, id);
        QCOMPARE(f.grdReceipts->rowCount(), 0);
        f.cmdContinue->click();
        pick(f.cboSupplier, "Old Supply");
        f.cmdContinue->click();
        type(f.txtInvoice, "INV-7");
        type(f.txtPricePerCarat, "abc");
        f.cmdContinue->click();
        type(f.txtPricePerCarat, "100");
        f.cmdContinue->click();
        type(f.txtCarats, "10");
        type(f.txtQuantity, "0");
        f.cmdContinue->click();
        QCOMPARE(e.prompt.messages(),
                 (QStringList{"Message: You need to define a Supplier!", "Message: You need to define an Invoice Number!",
                              "Message: The Price per Carat \"abc\" is not a number.\n\nPlease type decimals with a "
                              "point (0.75); a comma may only separate thousands (1,234.56).",
                              "Message: You need to define the Carats received!", "Message: Wrong Amount of Stones!"}));
        QCOMPARE(e.row("ParcelStock", id), before);
        QCOMPARE(e.count("SELECT COUNT(*) FROM AddParcel"), 0);

        QSignalSpy received(&f, &ui::frmAddParcel::received);
        type(f.txtQuantity, "40");
        f.cmdContinue->click();
        QCOMPARE(received.count(), 1);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Carat, Quantity, CostUSPerCarat, PriceUSPerCarat) FROM ParcelStock "
                        "WHERE ID=?",
                        {id}),
                 QStringLiteral("20.00000 90 150.00000 225.00000"));

        ui::frmAddParcel again(e.ctx, id);
        QCOMPARE(again.grdReceipts->rowCount(), 1);
        QCOMPARE(again.grdReceipts->item(0, 0)->text(), QStringLiteral("Old Supply"));
        QCOMPARE(again.grdReceipts->item(0, 2)->text(), QStringLiteral("INV-7"));
        QCOMPARE(again.grdReceipts->item(0, 5)->text(), QStringLiteral("100.00"));
        const QString after = e.row("ParcelStock", id);
        pick(again.cboSupplier, "Old Supply");
        type(again.txtInvoice, "inv-7");
        type(again.txtPricePerCarat, "100");
        type(again.txtCarats, "1");
        type(again.txtQuantity, "1");
        e.prompt.clear();
        again.cmdContinue->click();
        QCOMPARE(e.prompt.messages(), QStringList{"Message: This Information was already entered!"});
        QCOMPARE(e.row("ParcelStock", id), after);
        QCOMPARE(e.count("SELECT COUNT(*) FROM AddParcel"), 1);
        Q_UNUSED(sup);
    }

    // 10.00 ct at 200 (price 300): 4.00 ct split off with a value of 1000.00
    // leaves 6.00 ct worth 1000.00 at 166.67, the new part at 250.00; the
    // remaining part's ticked markup box keeps the price at 1.5 times the
    // cost and locks the price.  Reversed bounds and grades are stored in
    // order; the same new SKU again is refused with nothing written.
    void splitScreen()
    {
        ParcelEnv e;
        const qint64 id = olderParcel(e);
        const auto view = stones::readOlderParcel(e.t.db(), id);
        QVERIFY(view);
        ui::frmSplitOlderParcel f(e.ctx, *view);
        QCOMPARE(f.txtUSParcelValue->text(), QStringLiteral("2000.00"));
        type(f.neu.sku, "OP-10");
        type(f.neu.carat, "4");
        QCOMPARE(f.old.carat->text(), QStringLiteral("6.00"));
        QCOMPARE(f.neu.value->text(), QStringLiteral("800.00"));
        QCOMPARE(f.old.value->text(), QStringLiteral("1200.00"));
        f.old.useMarkup->setChecked(true);
        QVERIFY(f.old.priceUS->isReadOnly());
        type(f.neu.value, "1000");
        QCOMPARE(f.old.value->text(), QStringLiteral("1000.00"));
        QCOMPARE(f.neu.value->text(), QStringLiteral("1000"));
        QCOMPARE(f.old.costUS->text(), QStringLiteral("166.67"));
        QCOMPARE(f.neu.costUS->text(), QStringLiteral("250.00"));
        QCOMPARE(f.neu.costLocal->text(), QStringLiteral("312.50"));
        QCOMPARE(f.neu.priceUS->text(), QStringLiteral("300.00"));
        QCOMPARE(f.old.priceUS->text(), QStringLiteral("250.01"));
        type(f.neu.priceLocal, "500");
        QCOMPARE(f.neu.priceUS->text(), QStringLiteral("400.00"));
        type(f.old.weightLow, "0.30");
        type(f.old.weightHigh, "0.20");
        pick(f.neu.colourLow, "20 ");
        pick(f.neu.colourHigh, "50 ");
        QVERIFY(f.update());
        const qint64 added = f.newParcelId();
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Carat, CaratLow, CaratHigh, CostUSPerCarat, PriceUSPerCarat) "
                        "FROM ParcelStock WHERE ID=?",
                        {id}),
                 QStringLiteral("6.00000 0.20000 0.30000 166.67000 250.01000"));
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', SKU, Shape, Carat, ColourHigh, ColourLow, CostUSPerCarat, "
                        "PriceUSPerCarat) FROM ParcelStock WHERE ID=?",
                        {added}),
                 QStringLiteral("OP-10 Oval 4.00000 20 50 250.00000 400.00000"));

        const QString before = e.row("ParcelStock", id);
        const auto again = stones::readOlderParcel(e.t.db(), id);
        ui::frmSplitOlderParcel g(e.ctx, *again);
        type(g.neu.sku, "op-10");
        type(g.neu.carat, "1");
        e.prompt.clear();
        QVERIFY(!g.update());
        QCOMPARE(e.prompt.messages().size(), 1);
        QVERIFY(e.prompt.messages().first().contains("already been used"));
        QCOMPARE(e.row("ParcelStock", id), before);
        QCOMPARE(e.count("SELECT COUNT(*) FROM ParcelStock"), 2);
    }

    // A split that only moves carats leaves the rest of the source's row as
    // it was: its costs, prices (local ones not known stay so), grades,
    // bounds and selling currency.
    void splitMovingOnlyCaratsKeepsTheRow()
    {
        ParcelEnv e;
        const qint64 id = olderParcel(e);
        auto rest = [&] {
            QStringList fields = e.row("ParcelStock", id).split(QLatin1Char('|'));
            fields.removeIf([](const QString &f) { return f.startsWith("Carat=") || f.startsWith("lastupdated="); });
            return fields;
        };
        const QStringList before = rest();
        const auto view = stones::readOlderParcel(e.t.db(), id);
        QVERIFY(view);
        ui::frmSplitOlderParcel f(e.ctx, *view);
        type(f.neu.sku, "OP-12");
        type(f.neu.carat, "4");
        QVERIFY(f.update());
        QCOMPARE(rest(), before);
        QCOMPARE(e.text("SELECT CAST(Carat AS CHAR) FROM ParcelStock WHERE ID = ?", {id}), QStringLiteral("6.00000"));
    }

    // Without a known CDN rate the split converts nothing: a local figure a
    // change of cost empties is stored as not known (Null), never as 0;
    // local figures typed are stored as typed.
    void splitWithoutTheRate()
    {
        ParcelEnv e;
        const qint64 id = olderParcel(e);
        db::exec(e.t.db(), "UPDATE ParcelStock SET CostLocalPerCarat = 250, PriceLocalPerCarat = 375 WHERE ID = ?", {id});
        e.ctx.exchangeRateCDN = 0;
        const auto view = stones::readOlderParcel(e.t.db(), id);
        QVERIFY(view);
        ui::frmSplitOlderParcel f(e.ctx, *view);
        QCOMPARE(f.neu.costLocal->text(), QStringLiteral("250.00"));
        type(f.neu.sku, "OP-11");
        type(f.neu.carat, "4");
        type(f.neu.value, "1000");
        QCOMPARE(f.neu.costUS->text(), QStringLiteral("250.00"));
        QCOMPARE(f.neu.costLocal->text(), QString());
        QCOMPARE(f.old.costLocal->text(), QString());
        type(f.neu.priceUS, "400");
        QCOMPARE(f.neu.priceLocal->text(), QString());
        type(f.neu.priceLocal, "550");
        QCOMPARE(f.neu.priceUS->text(), QStringLiteral("400")); // not worked back either
        type(f.neu.costLocal, "312.5");
        QCOMPARE(f.neu.costUS->text(), QStringLiteral("250.00"));
        QVERIFY(f.update());
        const QString figures = "SELECT CONCAT_WS(' ', CostUSPerCarat, IFNULL(CostLocalPerCarat, 'Null'), PriceUSPerCarat, "
                                "IFNULL(PriceLocalPerCarat, 'Null')) FROM ParcelStock WHERE ID=?";
        QCOMPARE(e.text(figures, {f.newParcelId()}), QStringLiteral("250.00000 312.50000 400.00000 550.00000"));
        // The rest: its cost moved, its local cost is not known; its price
        // did not move and keeps its local price.
        QCOMPARE(e.text(figures, {id}), QStringLiteral("166.67000 Null 300.00000 375.00000"));
    }

    // The parcel mode shows the stored values (a shape not on the fixed list,
    // grade words, two-place dimensions) and its receipts, hides costs from
    // users who may not see them, and receives stock and splits only where
    // those screens are there.
    void stoneScreenParcelMode()
    {
        ParcelEnv e;
        ParcelRecordingScreens screens;
        e.ctx.setScreens(&screens);
        const qint64 sup = e.customer("Old Supply", true);
        const qint64 id = olderParcel(e);
        db::exec(e.t.db(), "INSERT INTO AddParcel (ParcelID, SupplierID, Date, Invoice, Carat, Quantity, "
                           "PricePerCarat) VALUES (?, ?, NOW(), 'A''1', 2.5, 12, 180)",
                 {id, sup});
        // A receipt from a supplier deleted since is still listed.
        db::exec(e.t.db(), "INSERT INTO AddParcel (ParcelID, SupplierID, Date, Invoice, Carat, Quantity, "
                           "PricePerCarat) VALUES (?, ?, NOW(), 'B-2', 1, 3, 150)",
                 {id, sup + 1000});

        e.ctx.user.ViewCost = true;
        ui::frmDiamondDetailParcel f(e.ctx);
        QVERIFY(!f.cmdAddParcel->isEnabled());
        QCOMPARE(f.cboParcelShape->itemText(1), QStringLiteral("Round Brilliant [BR]"));
        QVERIFY(f.cboParcelShape->findText("Oval") > 0);
        QVERIFY(f.RefreshfrmDiamondDetailParcel(id));
        QCOMPARE(f.txtParcelSKU->text(), QStringLiteral("OP-9"));
        QCOMPARE(f.cboParcelShape->currentText(), QStringLiteral("Oval"));
        QCOMPARE(f.txtParcelCarat->text(), QStringLiteral("10.00"));
        QCOMPARE(f.txtParcelDim1->text(), QStringLiteral("2.50"));
        const QString h = e.text("SELECT Wording FROM DiamondGrades WHERE Number=40 AND Colour<>0 AND Clarity=0");
        QCOMPARE(f.cboParcelColourHigh->currentText(), QStringLiteral("40 - ") + h);
        QVERIFY(f.chkParcelSellUS->isChecked());
        QCOMPARE(f.grdAddParcel->rowCount(), 2);
        QCOMPARE(f.grdAddParcel->item(0, 2)->text(), QStringLiteral("A'1"));
        QCOMPARE(f.grdAddParcel->item(1, 2)->text(), QStringLiteral("B-2"));
        QCOMPARE(f.grdAddParcel->item(0, 4)->text(), QStringLiteral("12"));
        // The receipt screen is not installed: the command is disabled.
        QVERIFY(!f.cmdAddParcel->isEnabled());
        QVERIFY(!f.cmdSplitParcel->isEnabled());

        screens.receipt = true;
        QVERIFY(f.RefreshfrmDiamondDetailParcel(id));
        QVERIFY(f.cmdAddParcel->isEnabled());
        f.cmdAddParcel->click();
        f.cmdSplitParcel->click();
        QCOMPARE(screens.asked, (QStringList{QStringLiteral("receiveOlderParcel %1").arg(id),
                                             QStringLiteral("splitOlderParcel %1").arg(id)}));

        // Without the right to see costs the cost fields and the receipts'
        // prices are hidden.
        f.show();
        QVERIFY(f.txtParcelCostUS->isVisible());
        e.ctx.user.ViewCost = false;
        emit e.ctx.events().rightsChanged();
        QVERIFY(!f.txtParcelCostUS->isVisible());
        QVERIFY(!f.findChild<QWidget *>("lblParcelCostLocal")->isVisible());
        QVERIFY(f.grdAddParcel->isColumnHidden(5));
        QVERIFY(f.txtParcelPriceUS->isVisible());

        // A parcel deleted meanwhile leaves an empty pane with nothing to receive into.
        db::exec(e.t.db(), "DELETE FROM ParcelStock WHERE ID=?", {id});
        QVERIFY(!f.RefreshfrmDiamondDetailParcel(id));
        QVERIFY(f.txtParcelSKU->text().isEmpty());
        QCOMPARE(f.grdAddParcel->rowCount(), 0);
        QVERIFY(!f.cmdAddParcel->isEnabled());
    }

    // The parcel mode edits and saves the older parcel: an untouched save
    // writes nothing, bad figures and a taken SKU are refused with nothing
    // written, an edit is stored; without the edit right there is no edit,
    // and editing ends when the right goes.
    void parcelModeEditsAndSaves()
    {
        ParcelEnv e;
        ParcelRecordingScreens screens;
        e.ctx.setScreens(&screens);
        const qint64 id = olderParcel(e);
        db::exec(e.t.db(), "INSERT INTO ParcelStock (SKU, Carat) VALUES ('OP-10', 1)");
        e.ctx.user.ViewCost = true;
        ui::frmDiamondDetailParcel f(e.ctx);
        f.show();
        QVERIFY(f.RefreshfrmDiamondDetailParcel(id));
        const QString before = e.row("ParcelStock", id);

        // Without AllowEdit: refused.
        f.cmdEditParcel->click();
        QVERIFY(!f.editing());
        QCOMPARE(e.prompt.messages().size(), 1);
        e.prompt.clear();

        e.ctx.user.AllowEdit = true;
        f.cmdEditParcel->click();
        QVERIFY(f.editing());
        QVERIFY(!f.txtParcelSKU->isReadOnly());
        QVERIFY(f.txtParcelCarat->isReadOnly()); // carats follow receipts, memos and splits
        QVERIFY(f.updateParcel());
        QCOMPARE(e.row("ParcelStock", id), before);
        QVERIFY(e.prompt.events.isEmpty());

        const struct {
            QLineEdit *box;
            QString text;
            QString message;
        } refused[] = {
            {f.txtParcelPriceUS, "0,75", "Price US$/ct must be a number (for example 1,234.56)."},
            {f.txtParcelCaratLow, "abc", "Weight from must be a number (for example 1,234.56)."},
            {f.txtParcelSKU, "OP-10",
             "This SKU number is already been used for another Diamond, please choose another SKU number!"},
            {f.txtParcelSKU, "", "You must define a SKU Number for this Parcel"},
        };
        for (const auto &r : refused) {
            f.cmdEditParcel->click();
            type(r.box, r.text);
            e.prompt.clear();
            QVERIFY(!f.updateParcel());
            QCOMPARE(e.prompt.messages(), QStringList{"Parcel: " + r.message});
            QCOMPARE(e.row("ParcelStock", id), before);
            f.cmdCancelParcel->click();
            QVERIFY(!f.editing());
        }

        f.cmdEditParcel->click();
        type(f.txtParcelSKU, "OP-9B");
        type(f.txtParcelPriceUS, "1,250.50");
        type(f.txtParcelComment, "re-sorted");
        f.cboParcelClarityHigh->setCurrentIndex(2);
        const int clarity = f.cboParcelClarityHigh->currentText().section(' ', 0, 0).toInt();
        QVERIFY(clarity > 0);
        f.chkParcelSellUS->setChecked(false);
        QVERIFY(f.updateParcel());
        QVERIFY(!f.editing());
        QCOMPARE(e.text("SELECT CONCAT_WS('|', SKU, Comment, ClarityHigh) FROM ParcelStock WHERE ID=?", {id}),
                 QStringLiteral("OP-9B|re-sorted|%1").arg(clarity));
        QCOMPARE(e.value("SELECT PriceUSPerCarat FROM ParcelStock WHERE ID=?", {id}).toDouble(), 1250.5);
        QCOMPARE(e.value("SELECT Carat FROM ParcelStock WHERE ID=?", {id}).toDouble(), 10.0);
        QCOMPARE(e.value("SELECT SellUS FROM ParcelStock WHERE ID=?", {id}).toInt(), 0);
        QVERIFY(e.value("SELECT SellLocal FROM ParcelStock WHERE ID=?", {id}).toInt() != 0);
        QCOMPARE(f.txtParcelPriceUS->text(), QStringLiteral("1250.50"));

        // The right goes while editing: the edit ends and nothing is written.
        f.cmdEditParcel->click();
        type(f.txtParcelLot, "L-1");
        const QString edited = e.row("ParcelStock", id);
        e.ctx.user.AllowEdit = false;
        emit e.ctx.events().rightsChanged();
        QVERIFY(!f.editing());
        QVERIFY(f.txtParcelLot->isReadOnly());
        QVERIFY(f.txtParcelLot->text().isEmpty());
        QVERIFY(!f.updateParcel());
        QCOMPARE(e.row("ParcelStock", id), edited);
    }

    // imgAuto on the older split screen: the next number after the letters
    // typed into the new SKU, four digits at least, up to the limit.
    void splitScreenAutoNumber_data()
    {
        QTest::addColumn<QStringList>("skus");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("P0099 -> P0100") << QStringList{"P0007", "P0099", "Q0500"} << "P" << "P0100" << "";
        QTest::newRow("the last number before the limit") << QStringList{"P1499999"} << "P" << "P1500000" << "";
        QTest::newRow("the limit") << QStringList{"P1500000"} << "P" << "P"
                                   << "Auto-Number: Cannot assign an Auto-Number.\n\nPlease try to change or add "
                                      "some leading letters in the item number.";
        QTest::newRow("no parcel with the letters") << QStringList{"P0001"} << "ZZ" << "ZZ"
                                                    << "Auto-Number: Unable to assign a Auto-Number to the Item Number";
    }

    void splitScreenAutoNumber()
    {
        QFETCH(QStringList, skus);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QFETCH(QString, message);
        ParcelEnv e;
        const qint64 id = olderParcel(e);
        for (const QString &sku : skus)
            db::exec(e.t.db(), "INSERT INTO ParcelStock (SKU, Carat) VALUES (?, 1)", {sku});
        const auto view = stones::readOlderParcel(e.t.db(), id);
        QVERIFY(view);
        ui::frmSplitOlderParcel f(e.ctx, *view);
        auto *sku = f.findChild<QLineEdit *>("txtSKUNew");
        type(sku, typed);
        QVERIFY(f.imgAuto);
        f.imgAuto->click();
        QCOMPARE(sku->text(), result);
        QCOMPARE(e.prompt.messages().join('|'), message);
        QCOMPARE(f.txtSKU->text(), QStringLiteral("OP-9")); // the source keeps its SKU
    }
};

QTEST_MAIN(tst_olderparcelscreens)
#include "tst_olderparcelscreens.moc"
