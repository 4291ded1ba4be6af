// The parcel screens driven by their controls: a parcel created, stock
// received twice, carats put on memo (new line, then the same line),
// returned, sold and the memo printed to PDF, an older parcel split; the
// linked fields and the currency coupling; the parcel screen's untouched
// save.
#include "PdfLayoutCheck.h"
#include "../printing/PrintTestKit.h"
#include "ParcelTestEnv.h"
#include "parcels/ParcelMemo.h"
#include "parcels/PriceCoupling.h"
#include "parcels/frmMemoLoadParcel.h"
#include "parcels/frmMemoParcelRemove.h"
#include "parcels/frmMemoParcelSheet.h"
#include "parcels/frmParcel.h"
#include "parcels/frmParcelAdd.h"
#include "parcels/frmParcelHistory.h"
#include "parcels/frmParcelPutOnMemo.h"
#include "parcels/frmSplitParcel.h"
#include "printing/PrintJob.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace velmor;
using namespace velmor::parcels;
using velmor::test::ParcelEnv;

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

} // namespace

class tst_parcelscreens : public QObject {
    Q_OBJECT

private slots:
    // With a Canadian rate of 1.25 and a rand rate of 10, 125 typed as
    // Canadian dollars shows 100.00 US and 1000.00 rand.
    void currencyCoupling()
    {
        PriceCoupling p(1.25, 10);
        QVERIFY(p.cdnChanged("125"));
        QCOMPARE(p.us, QStringLiteral("100.00"));
        QCOMPARE(p.zar, QStringLiteral("1000.00"));
        QVERIFY(p.usChanged("80"));
        QCOMPARE(p.cdn, QStringLiteral("100.00"));
        // Text that is not a figure changes nothing.
        QVERIFY(!p.zarChanged("abc"));
        QCOMPARE(p.cdn, QStringLiteral("100.00"));
        p.guard = true;
        QVERIFY(!p.usChanged("1"));
    }

    // Without any supplier the receipt says where one is added.
    void receiveWithoutSupplier()
    {
        ParcelEnv e;
        e.customer("Only A Customer");
        ui::frmParcelAdd add(e.ctx, e.parcel("NS-1", "0"));
        QVERIFY(!add.cmdFill->isEnabled());
        QVERIFY2(add.lblWhy->text().startsWith("There is no supplier yet.") && add.lblWhy->text().contains("Supplier..."),
                 qPrintable(add.lblWhy->text()));
    }

    void parcelLife()
    {
        ParcelEnv e;
        e.ctx.settings.CompanyName = "Screen Dealer";
        const qint64 supplier = e.customer("Rough Supply", true);
        const qint64 customer = e.customer("Memo Customer");
        ui::frmParcel f(e.ctx);
        QVERIFY(!f.Command3->isEnabled());
        QCOMPARE(f.Command3->text(), QStringLiteral("put on MEMO Parcel"));

        // Create: the linked weight fields fill the average and the stones.
        f.cmdAddDiamond->click();
        type(f.txtSKU, "GP-1");
        f.cboShape->setEditText("Round Brilliant [BR]");
        type(f.txtLowCarat, "0.10");
        type(f.txtHighCarat, "0.20");
        QCOMPARE(f.txtAvrgCarat->text(), QStringLiteral("0.15"));
        type(f.txtCarat, "30");
        QCOMPARE(f.txtQuantity->text(), QStringLiteral("200"));
        type(f.txtCarat, "0");
        pick(f.cboColourLow, "20 ");
        pick(f.cboColourHigh, "40 ");
        type(f.txtSellPerCarat, "400");
        f.cmdUpdate->click();
        const qint64 id = f.currentId();
        QVERIFY(id > 0);
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', SKU, Shape, CaratLow, CaratHigh, ColourLow, ColourHigh, Quantity) "
                        "FROM parcel WHERE ID=?",
                        {id}),
                 QStringLiteral("GP-1 Round Brilliant [BR] 0.10000 0.20000 20 40 0"));
        QCOMPARE(f.Command3->text(), QStringLiteral("put on MEMO GP-1"));
        QVERIFY(f.grdParcels->rowCount() == 1);

        // Receive twice: 10 ct at 200 US, then 10 ct at 125 Canadian (100 US).
        QPointer<ui::frmParcelAdd> add = f.receive();
        // Grey, and saying why.
        QVERIFY(!add->cmdFill->isEnabled());
        QCOMPARE(add->cmdFill->toolTip(), QStringLiteral("Choose the supplier the carats come from."));
        QCOMPARE(add->lblWhy->text(), add->cmdFill->toolTip());
        pick(add->cboSupplier, "Rough Supply");
        QVERIFY(add->cmdFill->toolTip().isEmpty());
        type(add->txtCarat, "10");
        type(add->txtUS, "200");
        add->cmdFill->click();
        add = f.receive();
        pick(add->cboSupplier, "Rough Supply");
        type(add->txtCarat, "10");
        type(add->txtCDN, "125");
        QCOMPARE(add->txtUS->text(), QStringLiteral("100.00"));
        QCOMPARE(add->txtZAR->text(), QStringLiteral("1000.00"));
        add->cmdFill->click();
        QCOMPARE(f.txtCarat->text(), QStringLiteral("20.00"));
        QCOMPARE(f.txtAVRUSCost->text(), QStringLiteral("150.00"));
        QCOMPARE(f.txtLastUSCost->text(), QStringLiteral("100.00"));
        QCOMPARE(f.txtLastVendor->text(), QStringLiteral("Rough Supply"));
        QCOMPARE(f.history()->grdHistory->rowCount(), 2);
        Q_UNUSED(supplier);

        // On memo: 2 ct on a new line, then 1 ct onto the same line.
        QPointer<ui::frmParcelPutOnMemo> put = f.putOnMemo();
        QCOMPARE(put->txtUScarat->text(), QStringLiteral("400.00"));
        QCOMPARE(put->txtCDNcarat->text(), QStringLiteral("500.00"));
        pick(put->cboCustomer, "Memo Customer");
        QVERIFY(!put->cmdPutOnMemo->isEnabled());
        type(put->txtCarat, "2");
        put->cmdPutOnMemo->click();
        QPointer<ui::frmMemoParcelSheet> sheet = put->sheet();
        QVERIFY(sheet);
        const qint64 memo = sheet->memoId();
        QCOMPARE(f.txtCarat->text(), QStringLiteral("18.00"));
        QCOMPARE(f.txtCaratonMEMO->text(), QStringLiteral("2.00"));
        put = f.putOnMemo();
        QCOMPARE(put->cboCustomer->currentText(), QStringLiteral("Memo Customer   --- %1").arg(customer)); // remembered
        type(put->txtCarat, "1");
        e.prompt.answer(true);
        put->cmdPutOnMemo->click();
        QCOMPARE(e.count("SELECT COUNT(*) FROM memoparcellist"), 1);
        QCOMPARE(f.txtCaratonMEMO->text(), QStringLiteral("3.00"));

        // Return 0.50 and sell 1.50 from the memo sheet.
        sheet->reload();
        QCOMPARE(sheet->cmdRemove->text(), QStringLiteral("REMOVE Parcel BACK INTO STOCK"));
        QCOMPARE(sheet->cmdSell->text(), QStringLiteral("set this Parcel to ---SOLD---"));
        sheet->grdMemo->selectRow(0);
        QCOMPARE(sheet->cmdRemove->text(), QStringLiteral("REMOVE Parcel GP-1 BACK INTO STOCK"));
        QCOMPARE(sheet->cmdSell->text(), QStringLiteral("SELL the Parcel GP-1"));
        QPointer<ui::frmMemoParcelRemove> back = sheet->remove();
        type(back->txtCarat, "3.5");
        QVERIFY(!back->cmdOK->isEnabled());
        type(back->txtCarat, "0.5");
        QVERIFY(back->cmdOK->isEnabled());
        back->cmdOK->click();
        QCOMPARE(caratsOut(e.t.db(), memo, id).fixed(2), QStringLiteral("2.50"));
        QCOMPARE(loadParcel(e.t.db(), id)->carat.fixed(2), QStringLiteral("17.50"));
        sheet->grdMemo->selectRow(0);
        QPointer<ui::frmMemoParcelSell> sell = sheet->sell();
        type(sell->txtCarat, "1.50");
        sell->cmdOK->click();
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', parcelid, carat, pricecarat) FROM invoicelist"),
                 QStringLiteral("%1 1.50000 400.00000").arg(id));
        QCOMPARE(sheet->grdMemo->item(0, 1)->text(), QStringLiteral("1.00 ct"));
        sheet->Option2->setChecked(true);
        QCOMPARE(sheet->grdMemo->rowCount(), 3);
        QVERIFY(sheet->cmdRemove->isHidden());
        sheet->Option1->setChecked(true);

        // Printed to PDF with carats still out: closed afterwards.
        if (test::haveTool("pdftotext")) {
            sheet->cboPrinter->setCurrentIndex(sheet->cboPrinter->findText(printing::kPdfEntry));
            const QString pdf = e.dir.filePath("parcel-memo.pdf");
            sheet->txtPdfFile->setText(pdf);
            sheet->Command5->click();
            QCOMPARE(e.ctx.workstation.readFirstLine("lastprinterformemosheet.ini"), printing::kPdfEntry);
            QVERIFY(loadParcelMemo(e.t.db(), memo)->closed);
            QVERIFY(sheet->lblStatus->text().startsWith("Status: CLOSED! "));
            QVERIFY(test::pdfText(pdf).contains(QStringLiteral("Parcel-Memo#: %1").arg(memo)));
            VELMOR_VERIFY_PDF_LAYOUT(pdf);
        }

        // The finder lists it as closed.
        QPointer<ui::frmMemoLoadParcel> finder = f.findMemo();
        finder->chkOnlyOpen->setChecked(false);
        QCOMPARE(finder->grdMemos->item(0, 4)->text(), QStringLiteral("closed"));
        QVERIFY(finder->openMemo(0));

        // Split: 17.50 ct on hand at 150 (2625.00); 7.50 ct worth 1500.00 split
        // off.  The value in over the carats in: 20 ct received for 3000.00,
        // 7.50 ct worth 1500.00 gone, leave 12.50 ct worth 1500.00 (120.00 a
        // carat, what the split screen showed).
        QPointer<ui::frmSplitParcel> split = f.split();
        QCOMPARE(split->txtUSParcelValue->text(), QStringLiteral("2625.00"));
        type(split->txtSKUNew, "GP-");
        split->imgAuto->click(); // after GP-1
        QCOMPARE(split->txtSKUNew->text(), QStringLiteral("GP-0002"));
        type(split->txtSKUNew, "GP-2");
        type(split->txtCaratNew, "7.5");
        QCOMPARE(split->txtCaratOld->text(), QStringLiteral("10.00"));
        type(split->txtUSParcelValueNew, "1500");
        QCOMPARE(split->txtUSParcelValueOld->text(), QStringLiteral("1125.00"));
        QCOMPARE(split->txtCostUSOld->text(), QStringLiteral("120.00"));
        QCOMPARE(split->txtCostUSNew->text(), QStringLiteral("200.00"));
        split->cmdUpdate->click();
        QCOMPARE(f.txtCarat->text(), QStringLiteral("10.00"));
        QCOMPARE(f.txtAVRUSCost->text(), QStringLiteral("120.00"));
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Carat, ColourLow, ColourHigh) FROM parcel WHERE SKU='GP-2'"),
                 QStringLiteral("7.50000 20 40"));
    }

    // A clerk who may change parcels but not see costs receives and splits,
    // and sees no cost on the parcel, its history or the split screen; the
    // costs come back when the right to see them does.
    void costsOnlyWithTheCostRight()
    {
        ParcelEnv e;
        QVERIFY(!e.ctx.user.ViewCost);
        const qint64 id = e.parcel("VC-1", "10", "200");
        ui::frmParcel f(e.ctx);
        f.show();
        f.loadParcel(id);
        QVERIFY(!f.txtAVRUSCost->isVisible());
        QVERIFY(!f.txtLastUSCost->isVisible());
        QPointer<ui::frmParcelHistory> history = f.history();
        QVERIFY(history->grdHistory->isColumnHidden(2));

        // Receiving: 10 ct more at 100 US$.
        QPointer<ui::frmParcelAdd> add = f.receive();
        QVERIFY(add);
        pick(add->cboSupplier, "Antwerp Rough");
        type(add->txtCarat, "10");
        type(add->txtUS, "100");
        QVERIFY(add->cmdFill->isEnabled());
        add->cmdFill->click();
        QCOMPARE(e.prompt.messages(), QStringList{});
        QCOMPARE(loadParcel(e.t.db(), id)->carat.fixed(2), QStringLiteral("20.00"));

        // Splitting: no cost or value shown; the part takes the average cost.
        QPointer<ui::frmSplitParcel> split = f.split();
        QVERIFY(split);
        split->show();
        for (QLineEdit *cost : {split->txtCostUS, split->txtUSParcelValue, split->txtCostUSOld,
                                split->txtUSParcelValueOld, split->txtCostUSNew, split->txtUSParcelValueNew})
            QVERIFY2(!cost->isVisible(), qPrintable(cost->objectName()));
        type(split->txtSKUNew, "VC-2");
        type(split->txtCaratNew, "5");
        QVERIFY(split->cmdUpdate->isEnabled());
        split->cmdUpdate->click();
        QCOMPARE(e.prompt.messages(), QStringList{});
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Carat, CostPerCarat) FROM parcel WHERE SKU='VC-2'"),
                 QStringLiteral("5.00000 150.00000"));
        QCOMPARE(loadParcel(e.t.db(), id)->carat.fixed(2), QStringLiteral("15.00"));

        e.ctx.user.ViewCost = true;
        emit e.ctx.events().rightsChanged();
        QVERIFY(f.txtAVRUSCost->isVisible());
        QVERIFY(!history->grdHistory->isColumnHidden(2));
    }

    // Load and save untouched: the whole row stays (a grade the combos do not
    // list, more decimals than the fields show); then one edit is written.
    void untouchedSave()
    {
        ParcelEnv e;
        const qint64 id = e.parcel("RT-9", "10");
        db::exec(e.t.db(), "UPDATE parcel SET ColourLow=33, ClarityHigh=999, CaratHigh=0.23456, SellPerCarat=123.456, "
                           "Quantity='about 60', Comment=NULL WHERE ID=?",
                 {id});
        const QString before = e.row("parcel", id);
        ui::frmParcel f(e.ctx);
        f.loadParcel(id);
        f.cmdEditDiamond->click();
        QVERIFY(f.cmdUpdate->isEnabled());
        f.cmdUpdate->click();
        QCOMPARE(e.row("parcel", id), before);
        f.cmdEditDiamond->click();
        type(f.txtComment, "fine white");
        f.cmdUpdate->click();
        QCOMPARE(e.text("SELECT CONCAT_WS(' ', Comment, ColourLow, ClarityHigh, CaratHigh, SellPerCarat, Quantity) "
                        "FROM parcel WHERE ID=?",
                        {id}),
                 QStringLiteral("fine white 33 999 0.23456 123.45600 about 60"));
    }
};

QTEST_MAIN(tst_parcelscreens)
#include "tst_parcelscreens.moc"
