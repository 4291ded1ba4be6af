// The older memo sheet screen driven by its controls: a stone and an older
// parcel on one sheet, each returned; the older screen's refusals; the carat
// bounds of a parcel line; the price overwrite of a floating stone; the
// reference edit; and the holders of a parcel on memo.
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "ParcelTestEnv.h"
#include "RecordingScreens.h"
#include "memos/frmMemoAddNewDiamondToIt.h"
#include "memos/MemoMoves.h"
#include "memos/MemoPrint.h"
#include "memos/MemoSheetView.h"
#include "parcels/OlderParcelMemo.h"
#include "parcels/frmMemoSheet.h"
#include "parcels/frmParcelHistory.h"
#include "parcels/frmParcelHistoryMemo.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using namespace velmor;
using namespace velmor::parcels;
using velmor::test::ParcelEnv;

namespace {

struct SheetEnv : ParcelEnv {
    qint64 cust = 0, sheet = 0;
    SheetEnv()
    {
        ctx.user.AllowMemoAssigning = true;
        cust = customer(QStringLiteral("Lumière & Co"));
        sheet = db::insert(t.db(), "INSERT INTO memosheet (Date, CustomerID) VALUES (NOW(), ?)", {cust});
    }
    // A floating stone: 5000 per carat, 1.01 ct, 30 off for class 1.
    qint64 stone(const QString &sku, const QString &status = "Stock", qint64 holdFor = 0)
    {
        return db::insert(t.db(),
                          "INSERT INTO SingleStone (SKU, Carat, RapaportPrice, SellOffRap, SellPriceUS, LockPercent, "
                          "PaidOffPercentageUS, PaidOffUS, Status, OnHoldForCustomerID) "
                          "VALUES (?, 1.01, 5000, 30, 3535, 0, -1, 0, ?, ?)",
                          {sku, status, holdFor ? QVariant(holdFor) : QVariant()});
    }
    qint64 olderParcel(const QString &sku, const QString &carat = "10")
    {
        return db::insert(t.db(),
                          "INSERT INTO ParcelStock (SKU, Carat, CaratLow, CaratHigh, SellUS, PriceUSPerCarat, "
                          "PriceLocalPerCarat) VALUES (?, ?, 0.01, 0.03, -1, 400, 500)",
                          {sku, carat});
    }
    QString carat(qint64 parcel) { return text("SELECT CAST(Carat AS CHAR) FROM ParcelStock WHERE ID = ?", {parcel}); }
    int memoRows() { return count("SELECT COUNT(*) FROM Memo"); }
};

void pick(QComboBox *c, const QString &startsWith)
{
    for (int i = 0; i < c->count(); ++i)
        if (c->itemText(i).startsWith(startsWith)) {
            c->setCurrentIndex(i);
            return;
        }
    QFAIL(qPrintable("no entry " + startsWith));
}

// "Type SKU Weight" per grid row.
QStringList lines(QTableWidget *g)
{
    auto col = [g](const QString &name) {
        for (int c = 0; c < g->columnCount(); ++c)
            if (g->horizontalHeaderItem(c)->text() == name)
                return c;
        return -1;
    };
    QStringList out;
    for (int r = 0; r < g->rowCount(); ++r)
        out << g->item(r, col("Type"))->text() + " " + g->item(r, col("SKU"))->text() + " "
                   + g->item(r, col("Weight"))->text();
    return out;
}

void selectRow(QTableWidget *g, const QString &type)
{
    for (int r = 0; r < g->rowCount(); ++r)
        for (int c = 0; c < g->columnCount(); ++c)
            if (g->horizontalHeaderItem(c)->text() == "Type" && g->item(r, c)->text() == type) {
                g->setCurrentCell(r, 0);
                return;
            }
    QFAIL("no such row");
}

} // namespace

class tst_oldermemosheet : public QObject {
    Q_OBJECT

private slots:
    void stoneAndParcelOnOneSheet()
    {
        SheetEnv e;
        const qint64 stone = e.stone("S1");
        const qint64 parcel = e.olderParcel("P1", "10.00000");
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(e.sheet));
        QCOMPARE(w.txtCompanyName->text(), QString("Lumière & Co"));
        QCOMPARE(w.lblPriceClass->text(), QString("Price Class 1"));

        pick(w.cboStone, "S1");
        QCOMPARE(w.txtPriceUS->text(), QString("3535.00"));
        QVERIFY(w.cmdAddStone->isEnabled());
        w.cmdAddStone->click();
        QCOMPARE(e.text("SELECT Status FROM SingleStone WHERE ID = ?", {stone}), QString("Memo"));
        QCOMPARE(e.text("SELECT CAST(MemoUS AS CHAR) FROM SingleStone WHERE ID = ?", {stone}).toDouble(), 3535.0);

        pick(w.cboParcel, "P1");
        QCOMPARE(w.lblParcelOnHand->text(), QString("10.00"));
        w.txtParcelCarat->setText("2.345");
        w.cmdAddParcel->click();
        QCOMPARE(e.carat(parcel), QString("7.65500"));
        QCOMPARE(lines(w.grdLines), (QStringList{"S S1 1.01", "P P1 Parcel 2.35"}));
        QCOMPARE(e.count("SELECT COUNT(*) FROM PaymentReceived WHERE CustomerID = ?", {e.cust}), 2);

        // A line opens its stone, or its parcel in the stone screen's parcel mode.
        {
            test::RecordingScreens screens;
            screens.installed = {Screen::Stone, Screen::Parcel};
            e.ctx.setScreens(&screens);
            emit w.grdLines->cellDoubleClicked(0, 0);
            emit w.grdLines->cellDoubleClicked(1, 0);
            QCOMPARE(screens.asked, (QStringList{QString("openStone %1").arg(stone), QString("openOlderParcel %1").arg(parcel)}));
            e.ctx.setScreens(nullptr);
        }

        // The parcel back: every carat out, the parcel whole again, the line gone.
        selectRow(w.grdLines, "P");
        e.prompt.answer(true);
        w.cmdBackToStock->click();
        QVERIFY(e.prompt.messages().last().contains("the Parcel \r\nSKU#: P1 Parcel\r\nCarat: 2.35 of 7.66"));
        QCOMPARE(e.carat(parcel), QString("10.00000"));
        QCOMPARE(e.text("SELECT CAST(SUM(Carat) AS CHAR) FROM Memo WHERE ParcelID = ?", {parcel}), QString("0.00000"));
        QCOMPARE(lines(w.grdLines), (QStringList{"S S1 1.01"}));
        w.optShowAsHistory->setChecked(true);
        QCOMPARE(w.grdLines->rowCount(), 3);
        w.optShowAsCurrent->setChecked(true);

        // A "No" leaves the stone out.
        selectRow(w.grdLines, "S");
        e.prompt.answer(false);
        w.cmdBackToStock->click();
        QCOMPARE(e.text("SELECT Status FROM SingleStone WHERE ID = ?", {stone}), QString("Memo"));
        selectRow(w.grdLines, "S");
        e.prompt.answer(true);
        w.cmdBackToStock->click();
        QCOMPARE(e.text("SELECT Status FROM SingleStone WHERE ID = ?", {stone}), QString("Stock"));
        QCOMPARE(lines(w.grdLines), QStringList());
        QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE DiamondID = ?", {stone}), 2);
    }

    // The signed sheet lists all the customer holds: three stones and 3.25 ct
    // of a parcel print with a summary equal to the screen's lines, under the
    // reference typed on the memo screen; returning the last parcel carats
    // closes the sheet as the last stone does.
    void signedSheetShowsAllThatIsOut()
    {
        if (!test::haveTool("pdftotext"))
            QSKIP("pdftotext is not installed");
        SheetEnv e;
        e.ctx.settings.ShowReferenceNumber = true;
        e.ctx.settings.CompanyCity = "Montreal";
        e.ctx.settings.CompanyProvince.clear();
        QList<qint64> stones;
        for (const char *sku : {"S1", "S2", "S3"})
            stones << e.stone(sku);
        e.olderParcel("OP-1", "10.00000");
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(e.sheet));
        for (const char *sku : {"S1", "S2", "S3"}) {
            pick(w.cboStone, sku);
            w.cmdAddStone->click();
        }
        pick(w.cboParcel, "OP-1");
        w.txtParcelCarat->setText("3.25");
        w.cmdAddParcel->click();
        QCOMPARE(lines(w.grdLines).size(), 4);

        // One reference: typed on the memo screen, shown here and printed.
        QVERIFY(memos::saveMemoRef(e.ctx, e.sheet, "PO-7731"));
        QVERIFY(w.loadSheet(e.sheet));
        QCOMPARE(w.txtReference->text(), QString("PO-7731"));

        memos::MemoPrintRequest r;
        r.memoSheetId = e.sheet;
        r.options.usDollar = true;
        const QString pdf = e.dir.filePath("sheet.pdf");
        QVERIFY(memos::printMemoSheet(e.ctx, r, printing::PrintTarget::pdf(pdf)).ok);
        VELMOR_VERIFY_PDF_LAYOUT(pdf);
        const QString text = test::pdfText(pdf).simplified();
        // 3 × 3,535.00 + 3.25 ct × 400.00
        for (const QString &p : {"OP-1", "3.25 ct.", "400.00 /ct", "Summary US$ 11,905.00", "Reference: PO-7731"})
            QVERIFY2(text.contains(p), qPrintable(p + " missing in: " + text));
        QVERIFY2(text.contains("Montreal") && !text.contains("Montreal,"), qPrintable(text));

        for (qint64 id : stones)
            QVERIFY(memos::returnToStock(e.ctx, e.sheet, id, 7).ok());
        QVERIFY(w.loadSheet(e.sheet));
        QCOMPARE(e.count("SELECT IFNULL(closed, 0) <> 0 FROM memosheet WHERE ID = ?", {e.sheet}), 0);
        selectRow(w.grdLines, "P");
        e.prompt.clear();
        e.prompt.answer(true);
        w.cmdBackToStock->click();
        QCOMPARE(e.count("SELECT IFNULL(closed, 0) <> 0 FROM memosheet WHERE ID = ?", {e.sheet}), 1);
        QVERIFY2(e.prompt.messages().last().endsWith("This Memo has been closed now!"),
                 qPrintable(e.prompt.messages().join('\n')));
    }

    // The older screen refuses sold, held and consigned stones and unknown
    // SKUs with its own messages and writes nothing; a stone held for this
    // sheet's customer goes out.
    void stoneRefusals_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("heldForOther");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<QString>("message");
        QTest::newRow("sold") << "Sold" << false << "R1" << "Stone is sold: This Stone is already sold!";
        QTest::newRow("held") << "Stock" << true << "R1" << "Stone on Hold: This Stone is on Hold for another Customer!";
        QTest::newRow("memo") << "Memo" << false << "R1" << "Stone Status: This Stone is already on Memo/Consignment";
        QTest::newRow("unknown") << "Stock" << false << "NOPE'\\" << "Stone Status: Unknown Stone";
    }
    void stoneRefusals()
    {
        QFETCH(QString, status);
        QFETCH(bool, heldForOther);
        QFETCH(QString, sku);
        QFETCH(QString, message);
        SheetEnv e;
        const qint64 other = e.customer("Other");
        const qint64 stone = e.stone("R1", status, heldForOther ? other : 0);
        const QString before = e.row("SingleStone", stone);
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(e.sheet));
        w.cboStone->setEditText(sku);
        w.cmdAddStone->click();
        QCOMPARE(e.prompt.messages().last(), message);
        QCOMPARE(e.row("SingleStone", stone), before);
        QCOMPARE(e.memoRows(), 0);
    }
    void stoneHeldForThisCustomer()
    {
        SheetEnv e;
        const qint64 stone = e.stone("H1", "Stock", e.cust);
        QVERIFY(memos::putOnMemoAtPrice(e.ctx, e.sheet, stone, "100", "125", false).ok());
        QCOMPARE(e.text("SELECT Status FROM SingleStone WHERE ID = ?", {stone}), QString("Memo"));
    }

    // A changed price fixes a floating stone's basis; the message says so.
    void priceOverwriteFixesFloatingStone()
    {
        SheetEnv e;
        const qint64 stone = e.stone("F1");
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(e.sheet));
        QVERIFY(w.txtPriceUS->isReadOnly());
        w.chkAllowMemoPriceOverWrite->setChecked(true);
        pick(w.cboStone, "F1");
        w.txtPriceUS->setText("3000");
        w.txtPriceLocal->setText("3750");
        w.cmdAddStone->click();
        QCOMPARE(e.prompt.messages().last().left(40), QString("Diamond memoing: This Diamond was origin"));
        QCOMPARE(e.count("SELECT PaidOffUS FROM SingleStone WHERE ID = ?", {stone}), -1);
        QCOMPARE(e.count("SELECT PaidOffPercentageUS FROM SingleStone WHERE ID = ?", {stone}), 0);
        QCOMPARE(e.text("SELECT CAST(US AS CHAR) FROM Memo WHERE DiamondID = ?", {stone}).toDouble(), 3000.0);
        QCOMPARE(e.text("SELECT CAST(MemoLocal AS CHAR) FROM SingleStone WHERE ID = ?", {stone}).toDouble(), 3750.0);
    }

    // 0 < carats <= on hand, to the last 0.00001 ct; a parcel already on the
    // sheet is refused; a return takes at most what is out.
    void parcelCaratBounds()
    {
        SheetEnv e;
        const qint64 parcel = e.olderParcel("B1", "1.25");
        for (const QString bad : {"0", "-1", "abc", "", "1.25001"}) {
            QVERIFY(addOlderParcelToMemo(e.ctx, e.sheet, parcel, bad, "400", "500").result == Result::Refused);
            QCOMPARE(e.carat(parcel), QString("1.25000"));
            QCOMPARE(e.memoRows(), 0);
        }
        QVERIFY(addOlderParcelToMemo(e.ctx, e.sheet, parcel, "1.25", "400", "500").result == Result::Done);
        QCOMPARE(e.carat(parcel), QString("0.00000"));
        QVERIFY(addOlderParcelToMemo(e.ctx, e.sheet, parcel, "0.1", "", "").result == Result::Refused);
        QCOMPARE(e.prompt.messages().last(), QString("Parcel found: This Parcel is already part of this Memo Sheet!"));
        QVERIFY(returnOlderParcelFromMemo(e.ctx, e.sheet, parcel, "1.25001").result == Result::Refused);
        QVERIFY(returnOlderParcelFromMemo(e.ctx, e.sheet, parcel, "0.25").result == Result::Done);
        QCOMPARE(olderParcelOnSheet(e.t.db(), e.sheet, parcel).toDb(), QString("1.00000"));
        QCOMPARE(e.carat(parcel), QString("0.25000"));
        // The return keeps the line's price.
        QCOMPARE(e.count("SELECT COUNT(*) FROM Memo WHERE ParcelID = ? AND US = 400", {parcel}), 2);
        QVERIFY(returnOlderParcelFromMemo(e.ctx, e.sheet, parcel, "1").result == Result::Done);
        QVERIFY(returnOlderParcelFromMemo(e.ctx, e.sheet, parcel, "0.1").result == Result::Conflict);
        QCOMPARE(e.carat(parcel), QString("1.25000"));
    }

    // A sheet without a customer takes one before anything goes out.
    void sheetWithoutCustomer()
    {
        SheetEnv e;
        const qint64 bare = db::insert(e.t.db(), "INSERT INTO memosheet (Date) VALUES (NOW())");
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(bare));
        QVERIFY(!w.cmdAddStone->isEnabled());
        QVERIFY(w.cmdThisCustomer->isEnabled());
        w.cmdThisCustomer->click();
        QCOMPARE(e.prompt.messages().last(), QString("Missing Customer Information: You need to select a Customer first!"));
        pick(w.cboCustomer, QString::number(e.cust) + " - ");
        w.cmdThisCustomer->click();
        QCOMPARE(e.count("SELECT CustomerID FROM memosheet WHERE ID = ?", {bare}), int(e.cust));
        QVERIFY(w.cmdAddStone->isEnabled());
        QVERIFY(!w.cmdThisCustomer->isEnabled());
    }

    // Edit then Save untouched leaves the row as it was; a reference of
    // another sheet is refused.
    void referenceEdit()
    {
        SheetEnv e;
        db::exec(e.t.db(), "UPDATE memosheet SET Reference = 'A-1' WHERE ID = ?", {e.sheet});
        db::insert(e.t.db(), "INSERT INTO memosheet (Date, CustomerID, Reference) VALUES (NOW(), ?, 'B_2')", {e.cust});
        const QString before = e.row("memosheet", e.sheet);
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(e.sheet));
        w.cmdReference->click();
        QCOMPARE(w.cmdReference->text(), QString("Save"));
        w.cmdReference->click();
        QCOMPARE(e.row("memosheet", e.sheet), before);
        w.cmdReference->click();
        w.txtReference->setText("B_2");
        w.cmdReference->click();
        QVERIFY(e.prompt.messages().last().startsWith("Duplicate Reference Number found: "));
        QCOMPARE(e.row("memosheet", e.sheet), before);
        w.txtReference->setText("B%");
        w.cmdReference->click();
        QCOMPARE(e.text("SELECT Reference FROM memosheet WHERE ID = ?", {e.sheet}), QString("B%"));
    }

    // The holders of a parcel: net carats per customer, none listed once all
    // came back; opened from the parcel's history.
    void parcelHolders()
    {
        SheetEnv e;
        const qint64 parcel = e.parcel("H-P", "10");
        const qint64 a = e.customer("Alpha"), b = e.customer("Beta");
        auto memo = [&](qint64 c) {
            return db::insert(e.t.db(), "INSERT INTO memoparcel (CustomerID, Date) VALUES (?, NOW())", {c});
        };
        auto line = [&](qint64 m, const QString &carat, const QString &action) {
            db::exec(e.t.db(),
                     "INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, date) VALUES (?, ?, ?, ?, NOW())",
                     {m, parcel, carat, action});
        };
        const qint64 ma = memo(a), mb = memo(b);
        line(ma, "2.004", "memo-out");
        line(ma, "-0.5", "memo-return");
        line(mb, "1.5", "memo-out");
        line(mb, "-1", "memo-return");
        line(mb, "-0.5", "sell");
        ui::frmParcelHistory history(e.ctx, parcel);
        QVERIFY(history.imgHistoryMemo->isEnabled());
        history.imgHistoryMemo->click();
        auto *holders = history.findChild<ui::frmParcelHistoryMemo *>();
        QVERIFY(holders);
        QCOMPARE(holders->grdHolders->rowCount(), 1);
        QCOMPARE(holders->grdHolders->item(0, 0)->text(), QString("1.50"));
        QCOMPARE(holders->grdHolders->item(0, 1)->text(), QString("Alpha"));
    }

    // The stone-on-memo screen opens this sheet on the older screen, and the
    // older screen's search opens the stone search for it, each only where
    // that screen is built.
    void openedThroughScreens()
    {
        SheetEnv e;
        test::RecordingScreens screens;
        e.ctx.setScreens(&screens);
        {
            ui::frmMemoAddNewDiamondToIt memo(e.ctx);
            memo.setMemoSheet(e.sheet);
            memo.reload();
            auto *open = memo.findChild<QPushButton *>("cmdMemoSheet");
            QVERIFY(open && !open->isEnabled());
            screens.installed = {Screen::OlderMemoSheet};
            memo.reload();
            QVERIFY(open->isEnabled());
            open->click();
            QCOMPARE(screens.asked.last(), QString("openOlderMemoSheet %1").arg(e.sheet));
        }
        ui::frmMemoSheet w(e.ctx);
        QVERIFY(w.loadSheet(e.sheet));
        QVERIFY(!w.cmdSearch->isEnabled());
        screens.installed = {Screen::StoneSearch};
        QVERIFY(w.loadSheet(e.sheet));
        w.cmdSearch->click();
        QCOMPARE(screens.asked.last(), QString("openStoneSearch %1").arg(e.sheet));
        e.ctx.setScreens(nullptr);
    }
};

QTEST_MAIN(tst_oldermemosheet)
#include "tst_oldermemosheet.moc"
