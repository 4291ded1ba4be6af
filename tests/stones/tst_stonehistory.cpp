// A stone's history (memo out and back, invoiced, vendor), the memo-out list
// on paper, and the search, history and memo-out commands of the program.
#include "../printing/PrintTestKit.h"
#include "PdfLayoutCheck.h"
#include "StoneTestEnv.h"
#include "printing/PrintJob.h"
#include "stones/StoneHistory.h"
#include "stones/StoneSearch.h"
#include "stones/frmDiamondDetail.h"

#include <QFile>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

using namespace velmor;
using namespace velmor::stones;
using namespace velmor::ui;
using velmor::test::StoneEnv;
using velmor::test::TestDb;

namespace {

// A stone that went out on memo, came back and was invoiced.
struct HistoryEnv : StoneEnv {
    qint64 stoneId = 0, sheet = 0, invoice = 0;
    HistoryEnv()
    {
        const qint64 cust = customer("O'Hara Gems");
        stoneId = stone("H-1");
        const qint64 user = db::insert(t.db(), "INSERT INTO `user` (UserName, FirstName, LastName) VALUES ('m', 'Maeve', 'Ng')");
        sheet = db::insert(t.db(), "INSERT INTO memosheet (CustomerID, Reference) VALUES (?, 'PO 7')", {cust});
        db::exec(t.db(),
                 "INSERT INTO memo (MemoSheetID, DiamondID, CustomerID, Quantity, setdate, outonmemorapdiscount, userid) "
                 "VALUES (?, ?, ?, 1, '2026-03-02 10:00', 25.4, ?), (?, ?, ?, -1, '2026-03-09 11:00', NULL, ?)",
                 {sheet, stoneId, cust, user, sheet, stoneId, cust, user});
        invoice = db::insert(t.db(), "INSERT INTO invoice (customerid, datecreated, status) VALUES (?, '2026-04-01', 'open')",
                             {cust});
        db::exec(t.db(), "INSERT INTO invoicelist (invoiceid, diamondid, dateadded) VALUES (?, ?, '2026-04-02')",
                 {invoice, stoneId});
        // Another stone's movements stay out of this history.
        const qint64 other = stone("H-2");
        db::exec(t.db(), "INSERT INTO memo (DiamondID, CustomerID, Quantity, setdate) VALUES (?, ?, 1, '2026-03-03')",
                 {other, cust});
    }
};

int runVelmor(const StoneEnv &e, const QStringList &args, QString *out, QString *err = nullptr)
{
    QFile ini(e.dir.filePath("database.ini"));
    if (!ini.exists() && ini.open(QIODevice::WriteOnly))
        ini.write(QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                      .arg(TestDb::socketPath(), e.t.name())
                      .toUtf8());
    ini.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMOR_HOME", e.dir.path());
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY), args);
    p.waitForFinished(60000);
    *out = QString::fromUtf8(p.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitCode();
}

} // namespace

class TestStoneHistory : public QObject {
    Q_OBJECT
private slots:
    void threeRowsOfHistory();
    void historyOnTheStoneScreen();
    void memoOutList();
    void commandLine();
};

void TestStoneHistory::threeRowsOfHistory()
{
    HistoryEnv e;
    db::exec(e.t.db(), "INSERT INTO returntovendor (diamondid, `date`, action) VALUES (?, '2026-05-05 14:30', 'remove')",
             {e.stoneId});
    const StoneHistory h = loadStoneHistory(e.t.db(), e.stoneId);
    QCOMPARE(h.columns, QStringList({"Date", "Customer", "% off RAP", "Status", "Memo#/Inv#", "Reference", "user"}));
    QCOMPARE(h.rows.size(), 4);
    const QString ref = QString("%1 Ref# PO 7").arg(e.sheet);
    QCOMPARE(h.rows.at(0), QStringList({"Mar 02, 2026", "O'Hara Gems", "25", "sent to Customer", ref,
                                        h.rows.at(0).at(5), "Maeve Ng"}));
    QCOMPARE(h.rows.at(1).mid(2, 3), QStringList({"", "returned from Customer", ref}));
    QCOMPARE(h.rows.at(2), QStringList({"Apr 01, 2026", "O'Hara Gems", "", "invoiced", QString("INV# %1").arg(e.invoice),
                                        QString("added to Inv# %1 on: Apr 02, 2026").arg(e.invoice), ""}));
    QCOMPARE(h.rows.at(3), QStringList({"May 05, 2026", "", "", "remove", "", "May 05, 2026  14:30", ""}));
    // A stone without movements has an empty history.
    QVERIFY(loadStoneHistory(e.t.db(), e.stone("H-3")).rows.isEmpty());
    // Out and back within one second: in the order they happened, whatever
    // order the server would pick for equal times.
    const qint64 quick = e.stone("H-4");
    for (int i = 0; i < 3; ++i)
        db::exec(e.t.db(),
                 "INSERT INTO memo (DiamondID, CustomerID, Quantity, setdate) VALUES (?, NULL, 1, '2026-06-01 09:00'), "
                 "(?, NULL, -1, '2026-06-01 09:00')",
                 {quick, quick});
    QStringList moves;
    for (const QStringList &row : loadStoneHistory(e.t.db(), quick).rows)
        moves << row.at(3);
    QCOMPARE(moves, QStringList({"sent to Customer", "returned from Customer", "sent to Customer",
                                 "returned from Customer", "sent to Customer", "returned from Customer"}));
}

void TestStoneHistory::historyOnTheStoneScreen()
{
    HistoryEnv e;
    frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    s.loadStone(int(e.stoneId));
    auto *grid = s.findChild<QTableWidget *>("DataGrid1");
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(0, 3)->text(), QString("sent to Customer"));
    QCOMPARE(grid->item(1, 3)->text(), QString("returned from Customer"));
    QCOMPARE(grid->item(2, 3)->text(), QString("invoiced"));
    QVERIFY(!(grid->item(0, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(grid->wordWrap());
    // The next stone shows its own history.
    s.loadStone(int(e.stone("H-9")));
    QCOMPARE(grid->rowCount(), 0);
}

void TestStoneHistory::memoOutList()
{
    StoneEnv e;
    const qint64 a = e.customer("Aurum Ltd");
    const qint64 b = e.customer("Brill & Co");
    db::exec(e.t.db(), "UPDATE Customer SET PhoneNumber1 = '6045550100' WHERE ID = ?", {a});
    const qint64 sa = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID) VALUES (?)", {a});
    const qint64 sb = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID) VALUES (?)", {b});
    const qint64 orphan = db::insert(e.t.db(), "INSERT INTO memosheet (CustomerID) VALUES (NULL)");
    auto onMemo = [&](const QString &sku, qint64 sheet, const QString &day) {
        const qint64 id = e.stone(sku, "Memo");
        db::exec(e.t.db(), "UPDATE SingleStone SET MemoSheetID = ?, DateOnMemo = ?, currentRAPdiscountFORmemo = 28 "
                           "WHERE ID = ?", {sheet, day, id});
    };
    onMemo("M-A2", sa, "2026-02-10");
    onMemo("M-A1", sa, "2026-01-05");
    onMemo("M-B1", sb, "2026-01-07");
    onMemo("M-X1", orphan, "2026-01-08");
    e.stone("S-1"); // in stock: not on the list

    const QList<MemoOutCustomer> list = loadMemoOutList(e.t.db());
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).company, QString()); // the memo sheet without a customer
    QCOMPARE(list.at(1).company, QString("Aurum Ltd"));
    QCOMPARE(list.at(1).phone, QString("604-555-0100"));
    QCOMPARE(list.at(1).lines.size(), 2);
    QCOMPARE(list.at(1).lines.at(0).sku, QString("M-A1"));
    QCOMPARE(list.at(1).lines.at(0).memoDate, QString("Jan 05, 2026"));
    QCOMPARE(list.at(1).lines.at(0).rapStone, QString("5,050.00"));
    QCOMPARE(list.at(1).lines.at(0).offRap, QString("28%"));
    QCOMPARE(list.at(2).phone, QString());

    if (!velmor::test::haveTool("pdftotext"))
        QSKIP("pdftotext is not installed");
    const QString pdf = e.dir.filePath("memoout.pdf");
    const printing::PrintOutcome out = printing::printDocument(
        printing::PrintTarget::pdf(pdf),
        [&](printing::PrintSurface &s, QString *err) { return drawMemoOutList(s, list, QDate(2026, 6, 1), err); });
    QVERIFY(out.ok);
    VELMOR_VERIFY_PDF_LAYOUT(pdf);
    const QString t = velmor::test::pdfText(pdf).simplified();
    QVERIFY2(t.contains("Daily Memo Information Sheet as of Jun 01, 2026"), qPrintable(t));
    QVERIFY(t.contains("Aurum Ltd --- 604-555-0100") && t.contains("Stones on MEMO: 2"));
    QVERIFY(t.contains("Brill & Co Stones on MEMO: 1"));
    QVERIFY(t.contains("M-X1") && t.contains("offRap (*)") && t.contains("RAP /Stone"));
}

void TestStoneHistory::commandLine()
{
    HistoryEnv e;
    db::exec(e.t.db(), "UPDATE SingleStone SET Carat = 1.10, Colour = 45 WHERE ID = ?", {e.stoneId});
    e.stone("Q'1\\"); // 1.01 ct, colour 20
    db::exec(e.t.db(), "INSERT INTO SingleStone (SKU, Carat, Status) VALUES ('Q_X', 1.3, 'Sold')");
    QString out, err;
    QCOMPARE(runVelmor(e, {"stones", "search", "--sku", "Q'1\\"}, &out, &err), 0);
    QVERIFY2(out.contains("Q'1\\") && out.contains("1 stones, total RAP US$ 5,050.00"), qPrintable(out + err));
    QCOMPARE(runVelmor(e, {"stones", "search", "--sku", "Q_"}, &out, &err), 0);
    QVERIFY2(out.contains("0 stones"), qPrintable(out));
    QCOMPARE(runVelmor(e, {"stones", "search", "--status", "all", "--sku", "Q_"}, &out, &err), 0);
    QVERIFY(out.contains("1 stones"));
    // Weight and colour ranges, the same rules as the screen's.
    const QString csv = e.dir.filePath("found.csv");
    QCOMPARE(runVelmor(e, {"stones", "search", "--weight", "1.20-1.00", "--colour", "E-G/H", "--sort", "Weight",
                           "--desc", "--csv", csv},
                       &out, &err),
             0);
    QVERIFY2(out.contains("3 stones"), qPrintable(out + err));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(0).startsWith("SKU,Type,Lot,#,"));
    QVERIFY(lines.at(1).startsWith("H-1,")); // 1.10 ct first
    QCOMPARE(runVelmor(e, {"stones", "search", "--weight", "heavy"}, &out, &err), 2);
    QVERIFY(err.contains("not a weight"));
    QCOMPARE(runVelmor(e, {"stones", "search", "--status", "gone"}, &out, &err), 2);

    QCOMPARE(runVelmor(e, {"stones", "history", QString::number(e.stoneId)}, &out, &err), 0);
    QVERIFY2(out.contains("sent to Customer") && out.contains("returned from Customer") && out.contains("invoiced")
                 && out.contains("3 entries"),
             qPrintable(out + err));
    QCOMPARE(runVelmor(e, {"stones", "history", "999999"}, &out, &err), 1);
    QCOMPARE(runVelmor(e, {"stones", "history", "x"}, &out, &err), 2);

    db::exec(e.t.db(), "UPDATE SingleStone SET Status = 'Memo', MemoSheetID = ? WHERE ID = ?", {e.sheet, e.stoneId});
    const QString pdf = e.dir.filePath("memo-out.pdf");
    QCOMPARE(runVelmor(e, {"print", "memo-out", "--pdf", pdf}, &out, &err), 0);
    QVERIFY2(out.contains("1 stones on memo, 1 customers"), qPrintable(out + err));
    QVERIFY(QFileInfo(pdf).size() > 0);
    QCOMPARE(runVelmor(e, {"print", "memo-out"}, &out, &err), 2);
}

QTEST_MAIN(TestStoneHistory)
#include "tst_stonehistory.moc"
